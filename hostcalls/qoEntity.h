// qoEntity: a host entity handle (4 bytes), with one member operation per host entity method.
#pragma once

#include <cstdint>

#include "core/qoString.h"
#include "hostcalls/qoHostCall.h"
#include "quorin/qoTypes.h"

// A reference to a host decl (8 bytes), opaque to the module.
typedef const void* qoDeclRef;

class qoEntity {
public:
    qoEntity() : handle(0) {}
    qoEntity(uint32_t h) : handle(h) {}
    // Looks the entity up by name through the host (0 when not found, with the warning
    // "entity '<name>' not found"). A null text or an empty qoString is not looked up: 0 with
    // the warning "empty string entity not found". The text "" is looked up like any name.
    explicit qoEntity(const char* name);
    explicit qoEntity(const qoString& name);

    // False for 0; otherwise asks the host whether the entity still exists.
    bool IsValid() const;
    // The entity's name as the host reports it.
    qoString Name() const;

    bool operator==(const qoEntity& o) const { return handle == o.handle; }
    bool operator!=(const qoEntity& o) const { return handle != o.handle; }

    uint32_t handle;

    // Host entity method wrappers, one per catalogue row.
#include "hostcalls/qoEntityMethods.inc"
};

static_assert(sizeof(qoEntity) == 4);
static_assert(sizeof(qoDeclRef) == 8);
