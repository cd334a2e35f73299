#include "object/kvQuorinObject.h"

#include "core/qoDiagnostics.h"
#include "core/qoSystem.h"

const char qoWrongPrototypeMessage[] =
    "System Callback defined with the wrong number of parameters. Check qonotify.h for the "
    "prototype of the function.";

void qoFreeObjectStorage(void* storage) { qoSys->Free(storage, qoDefaultMemoryTag); }

kvQOObject* kvQuorinObject::Destroy(uint32_t flags) { return DestroyAs(this, flags); }

bool qoSelfGuard::Gone() const {
    if (!qoSys) return true;
    // The first object of the class on the entity, else (an entity that carries two of the
    // class) any of its first slots.
    constexpr uint32_t kSlotsSearched = 64;
    const uint32_t first = qoSys->FindScriptObject(entity_, className_, 0);
    if (qoSys->GetScriptObject(entity_, first) == object_) return false;
    for (uint32_t i = 0; i < kSlotsSearched; ++i)
        if (qoSys->GetScriptObject(entity_, i) == object_) return false;
    return true;
}

// Host entries: entities become qoEntity temporaries, texts become new strings owned by the
// handler, numbers pass unchanged. Written out per shape with the handler name substituted.
#define QO_DEFINE_ENTRY(slot, id, name, shape) QO_DEFINE_ENTRY_##shape(id)
#define QO_DEFINE_ENTRY_E(id) void kvQuorinObject::Entry_##id(uint32_t entity) { qoEntity a(entity); id(a); }
#define QO_DEFINE_ENTRY_N(id) void kvQuorinObject::Entry_##id() { id(); }
#define QO_DEFINE_ENTRY_EEB(id) void kvQuorinObject::Entry_##id(uint32_t entity, uint32_t other, bool flag) { qoEntity a(entity); qoEntity b(other); id(a, b, flag); }
#define QO_DEFINE_ENTRY_EF(id) void kvQuorinObject::Entry_##id(uint32_t entity, float value) { qoEntity a(entity); id(a, value); }
#define QO_DEFINE_ENTRY_S(id) void kvQuorinObject::Entry_##id(const char* text) { id(qoString(text)); }
#define QO_DEFINE_ENTRY_I(id) void kvQuorinObject::Entry_##id(int32_t value) { id(value); }
#define QO_DEFINE_ENTRY_EE(id) void kvQuorinObject::Entry_##id(uint32_t entity, uint32_t other) { qoEntity a(entity); qoEntity b(other); id(a, b); }
QO_EVENT_TABLE(QO_DEFINE_ENTRY)

// Default handlers: the class announced an event it does not implement.
#define QO_DEFINE_DEFAULT_HANDLER(slot, id, name, shape) QO_DEFINE_DEFAULT_##shape(id)
#define QO_DEFINE_DEFAULT_E(id) void kvQuorinObject::id(const qoEntity&) { ReportError(qoWrongPrototypeMessage); }
#define QO_DEFINE_DEFAULT_N(id) void kvQuorinObject::id() { ReportError(qoWrongPrototypeMessage); }
#define QO_DEFINE_DEFAULT_EEB(id) void kvQuorinObject::id(const qoEntity&, const qoEntity&, bool) { ReportError(qoWrongPrototypeMessage); }
#define QO_DEFINE_DEFAULT_EF(id) void kvQuorinObject::id(const qoEntity&, float) { ReportError(qoWrongPrototypeMessage); }
#define QO_DEFINE_DEFAULT_S(id) void kvQuorinObject::id(qoString text) { ReportError(qoWrongPrototypeMessage); text.Clear(); }
#define QO_DEFINE_DEFAULT_I(id) void kvQuorinObject::id(int32_t) { ReportError(qoWrongPrototypeMessage); }
#define QO_DEFINE_DEFAULT_EE(id) void kvQuorinObject::id(const qoEntity&, const qoEntity&) { ReportError(qoWrongPrototypeMessage); }
QO_EVENT_TABLE(QO_DEFINE_DEFAULT_HANDLER)
