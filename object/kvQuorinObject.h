// kvQuorinObject: the base of every script class (16 bytes: operations table, entity, padding).
//
// Host entries (slots 2-40) convert raw arguments and call the script handlers (slots 50-88).
// A handler that a class does not override reports the wrong-prototype error.
#pragma once

#include <cstdint>

#include "hostcalls/qoEntity.h"
#include "core/qoString.h"
#include "quorin/kvQOObject.h"

// Script-typed parameter lists of the handlers, by event shape.
#define QO_HANDLER_PARAMS_E const qoEntity& entity
#define QO_HANDLER_PARAMS_N
#define QO_HANDLER_PARAMS_EEB const qoEntity& entity, const qoEntity& other, bool flag
#define QO_HANDLER_PARAMS_EF const qoEntity& entity, float value
#define QO_HANDLER_PARAMS_S qoString text
#define QO_HANDLER_PARAMS_I int32_t value
#define QO_HANDLER_PARAMS_EE const qoEntity& entity, const qoEntity& other

extern const char qoWrongPrototypeMessage[];

class kvQuorinObject : public kvQOObject {
public:
    void Init() override {}
    void Shutdown() override {}

#define QO_DECLARE_ENTRY_OVERRIDE(slot, id, name, shape) \
    void Entry_##id(QO_ENTRY_PARAMS_##shape) final;
    QO_EVENT_TABLE(QO_DECLARE_ENTRY_OVERRIDE)
#undef QO_DECLARE_ENTRY_OVERRIDE

    uint32_t GetEntity() override { return entity.handle; }
    void SetEntity(uint32_t e) override { entity.handle = e; }
    qoThreadEntry GetFunction(const char*) override { return nullptr; }
    bool HandlesEvent(const char*) override { return false; }
    const qoDeclDefault* GetDeclDefaults() override { return nullptr; }
    kvQOObject* Destroy(uint32_t flags) override;
    void SyncState(bool) override {}

    // Script handlers, slots 50 to 88.
#define QO_DECLARE_HANDLER(slot, id, name, shape) virtual void id(QO_HANDLER_PARAMS_##shape);
    QO_EVENT_TABLE(QO_DECLARE_HANDLER)
#undef QO_DECLARE_HANDLER

    qoEntity entity;
    uint32_t pad0 = 0;

protected:
    kvQuorinObject() = default;
    ~kvQuorinObject() = default;
    kvQuorinObject(const kvQuorinObject&) = delete;
    kvQuorinObject& operator=(const kvQuorinObject&) = delete;

    // Runs the complete destructor chain of the object, then frees its storage with the
    // default tag when bit 0 of flags is set. Script classes use it from their slot 48.
    template <class T>
    static kvQOObject* DestroyAs(T* self, uint32_t flags);
};

void qoFreeObjectStorage(void* storage);

// For code of an object that runs on another object's thread (a call through a reference) and
// waits there: the host may destroy the object during the wait while that thread goes on.
// Made before the wait, Gone() after it tells whether the object is still on its entity; when
// it is gone, the code returns without touching a member. Asks the host, comparing addresses
// only, so it never reads the object.
class qoSelfGuard {
public:
    explicit qoSelfGuard(kvQuorinObject& object)
        : entity_(object.entity.handle), className_(object.GetClassName()), object_(&object) {}
    bool Gone() const;

private:
    uint32_t entity_;
    const char* className_;
    const kvQOObject* object_;
};

template <class T>
kvQOObject* kvQuorinObject::DestroyAs(T* self, uint32_t flags) {
    self->T::~T();
    if (flags & 1u) qoFreeObjectStorage(self);
    return self;
}

static_assert(sizeof(kvQuorinObject) == 16);
