// Console variable declarations. Each declaration is the operations table, the registration
// list link, the name and the default. Declarations constructed before the host is attached
// queue on the registration list; later ones register at once.
#pragma once

#include <cstdint>

#include "core/qoString.h"

class cvar_ {
public:
    virtual void Register() = 0;  // slot 0: ask the host for the value once, with the default

    cvar_* next;
    const char* name;

protected:
    explicit cvar_(const char* n) : next(nullptr), name(n) {}
    ~cvar_() = default;
    // The construction rule: register now when a host is attached, else push on the list.
    void Attach();
};

class cvarBool_ : public cvar_ {
public:
    cvarBool_(const char* n, bool def) : cvar_(n), defaultValue(def) { Attach(); }
    void Register() override;
    bool Get() const;
    void Set(bool value) const;
    bool defaultValue;
};

class cvarInt_ : public cvar_ {
public:
    cvarInt_(const char* n, int32_t def) : cvar_(n), defaultValue(def) { Attach(); }
    void Register() override;
    int32_t Get() const;
    int32_t defaultValue;
};

class cvarFloat_ : public cvar_ {
public:
    cvarFloat_(const char* n, float def) : cvar_(n), defaultValue(def) { Attach(); }
    void Register() override;
    float Get() const;
    void Set(float value) const;
    float defaultValue;
};

class cvarString_ : public cvar_ {
public:
    cvarString_(const char* n, const char* def) : cvar_(n), defaultValue(def) { Attach(); }
    void Register() override;
    qoString Get() const;
    void Set(const char* value) const;
    const char* defaultValue;
};

// Head of the registration list (the most recently queued declaration first).
extern cvar_* qoRegistrationList;

// The file-scope declarations.
extern cvarFloat_ cvar_timescale;
extern cvarFloat_ cvar_pm_normalViewHeight;
extern cvarFloat_ cvar_pm_runspeed;
extern cvarBool_ cvar_af_neverRest;
extern cvarInt_ cvar_qo_musicState;
extern cvarInt_ cvar_qo_musicTestManager;
extern cvarString_ cvar_qo_musicTestEnt;

// Debug print gated by qo_debugPrint (declared in the calling function's frame, registered and
// read: two GetCvarInt calls). Prints color + where + "::" + line + "^0 : " + message.
void qoDebugPrint(const char* color, const char* where, int line, const qoString& message);
#define QO_DEBUG_PRINT(color, where, message) qoDebugPrint(color, where, __LINE__, message)
