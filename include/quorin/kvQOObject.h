// Quorin script module: a script object as the host sees it.
//
// Slot order is contract: 0 Init, 1 Shutdown, 2-40 host event entries (raw arguments, see
// qoEvents.h), 41-49 identity and lifetime. Slots 50-88 (script handlers) exist in every
// object the module creates but are the module's own; the host never calls them.
#pragma once

#include <cstdint>

#include "quorin/qoEvents.h"
#include "quorin/qoTypes.h"

class kvQOObject {
public:
    virtual void Init() = 0;      // 0: the object's main script function, run as thread "Init"
    virtual void Shutdown() = 0;  // 1

#define QO_DECLARE_HOST_ENTRY(slot, id, name, shape) \
    virtual void Entry_##id(QO_ENTRY_PARAMS_##shape) = 0;
    QO_EVENT_TABLE(QO_DECLARE_HOST_ENTRY)  // 2 .. 40
#undef QO_DECLARE_HOST_ENTRY

    virtual const char* GetClassName() = 0;                        // 41
    virtual bool IsClass(const char* name) = 0;                    // 42
    virtual uint32_t GetEntity() = 0;                              // 43
    virtual void SetEntity(uint32_t entity) = 0;                   // 44
    virtual qoThreadEntry GetFunction(const char* name) = 0;       // 45
    virtual bool HandlesEvent(const char* eventName) = 0;          // 46
    virtual const qoDeclDefault* GetDeclDefaults() = 0;            // 47
    virtual kvQOObject* Destroy(uint32_t flags) = 0;               // 48: bit 0 frees the storage
    virtual void SyncState(bool flag) = 0;                         // 49

protected:
    ~kvQOObject() = default;
};
