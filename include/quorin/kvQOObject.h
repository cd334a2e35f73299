// Quorin script module: a script object as the host sees it.
//
// Slot order is contract: 0 Init, 1 Shutdown, 2-40 host event entries (raw arguments, see
// qoEvents.h), 41-49 identity and lifetime. Slots 50-88 (script handlers) exist in every
// object the module creates but are the module's own; the host never calls them.
//
// Life of an object: CreateObject, SetEntity, property values and decl members written, Init
// on a script thread, events, Shutdown, every thread of the object ended, Destroy(1). Never
// destroy an object while its code is on the running call chain. Full contract:
// docs/host-contract.md.
#pragma once

#include <cstdint>

#include "quorin/qoEvents.h"
#include "quorin/qoTypes.h"

class kvQOObject {
public:
    // The main script function: run it once, on a script thread named "Init". May suspend.
    virtual void Init() = 0;      // 0
    // Teardown hook before Destroy: the object stops its threads and restores what it changed.
    virtual void Shutdown() = 0;  // 1

    // Event entries (qoEvents.h): deliver only events HandlesEvent accepts; raw host values.
#define QO_DECLARE_HOST_ENTRY(slot, id, name, shape) \
    virtual void Entry_##id(QO_ENTRY_PARAMS_##shape) = 0;
    QO_EVENT_TABLE(QO_DECLARE_HOST_ENTRY)  // 2 .. 40
#undef QO_DECLARE_HOST_ENTRY

    // The class name (constant text).
    virtual const char* GetClassName() = 0;                        // 41
    // True for the class or a script base class, ignoring ASCII case.
    virtual bool IsClass(const char* name) = 0;                    // 42
    // The bound entity, 0 before SetEntity.
    virtual uint32_t GetEntity() = 0;                              // 43
    // Binds the object to its entity; the host calls it before any code of the object runs.
    virtual void SetEntity(uint32_t entity) = 0;                   // 44
    // Entry of a named script function (case-insensitive) to run on a new thread, or null.
    virtual qoThreadEntry GetFunction(const char* name) = 0;       // 45
    // True when the class handles the named event (case-insensitive); ask before delivering.
    virtual bool HandlesEvent(const char* eventName) = 0;          // 46
    // Decl members and their default decl names, ended by an all-zero row, or null.
    virtual const qoDeclDefault* GetDeclDefaults() = 0;            // 47
    // Destructor; flag bit 0 also frees the storage. Call Shutdown and end its threads first.
    virtual kvQOObject* Destroy(uint32_t flags) = 0;               // 48: bit 0 frees the storage
    // Hands members to GetStateStream(): flag 1 saves (host reads), 0 loads (host writes).
    virtual void SyncState(bool flag) = 0;                         // 49

protected:
    ~kvQOObject() = default;
};
