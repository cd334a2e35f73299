#include "cvars/cvar.h"

#include "core/qoSystem.h"

cvar_* qoRegistrationList = nullptr;

void cvar_::Attach() {
    if (qoSys) {
        Register();
        return;
    }
    next = qoRegistrationList;
    qoRegistrationList = this;
}

void cvarBool_::Register() { qoSys->GetCvarBool(name, defaultValue); }
bool cvarBool_::Get() const { return qoSys->GetCvarBool(name, defaultValue); }
void cvarBool_::Set(bool value) const { qoSys->SetCvarBool(name, value); }

void cvarInt_::Register() { qoSys->GetCvarInt(name, defaultValue); }
int32_t cvarInt_::Get() const { return qoSys->GetCvarInt(name, defaultValue); }

void cvarFloat_::Register() { qoSys->GetCvarFloat(name, defaultValue); }
float cvarFloat_::Get() const { return qoSys->GetCvarFloat(name, defaultValue); }
void cvarFloat_::Set(float value) const { qoSys->SetCvarFloat(name, value); }

void cvarString_::Register() { qoString dropped(qoSys->GetCvarString(name, defaultValue, nullptr, 0)); }
qoString cvarString_::Get() const { return qoString(qoSys->GetCvarString(name, defaultValue, nullptr, 0)); }
void cvarString_::Set(const char* value) const { qoSys->SetCvarString(name, value); }

// Construction order is registration-list order reversed: qo_musicTestEnt ends up first.
cvarFloat_ cvar_timescale("timescale", 1.0f);
cvarFloat_ cvar_pm_normalViewHeight("pm_normalViewHeight", 0.0f);
cvarFloat_ cvar_pm_runspeed("pm_runspeed", 0.0f);
cvarBool_ cvar_af_neverRest("af_neverRest", false);
cvarInt_ cvar_qo_musicState("qo_musicState", 0);
cvarInt_ cvar_qo_musicTestManager("qo_musicTestManager", 0);
cvarString_ cvar_qo_musicTestEnt("qo_musicTestEnt", "");

void qoDebugPrint(const char* color, const char* where, int line, const qoString& message) {
    // Script code runs only while a host is attached; without one the declaration below would
    // link a stack object into the registration list.
    if (!qoSys) return;
    cvarInt_ debugPrint("qo_debugPrint", 1);
    if (debugPrint.Get() <= 0) return;
    qoString text(color);
    text += where;
    text += "::";
    text += qoString::FromInt(line);
    text += "^0 : ";
    text += message;
    qoSys->Printf("%s\n", text.c_str());
}
