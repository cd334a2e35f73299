// Class registry and reflection lookups: every operation copies the name into a temporary
// qoString and looks it up in the module's symbol table (module/qoRegistryTables.h).
#include "module/qoRegistry.h"

#include "core/qoDiagnostics.h"
#include "core/qoString.h"
#include "module/qoClassList.h"
#include "module/qoRegistryTables.h"

namespace {

using Tables = qoRegistryTables<qoModuleSources>;

// Looks the name up through a temporary copy, as every name operation does.
const qoSymbol* Lookup(const char* name) {
    if (name == nullptr) return nullptr;
    const qoString key(name);
    return Tables::Find(key.c_str(), static_cast<size_t>(key.Length()));
}

}  // namespace

namespace qoRegistry {

const char* const* ClassNames() { return Tables::classNames.data(); }

const char* const* ClassPrefixes() { return Tables::classPrefixes.data(); }

kvQOObject* CreateObject(const char* className) {
    const qoSymbol* s = Lookup(className);
    if (s == nullptr || s->create == nullptr) {
        qoAssertFailed("0");
        return nullptr;
    }
    return s->create();
}

const qoPropertyInfo* PropertyTable(const char* typeName) {
    const qoSymbol* s = Lookup(typeName);
    return s ? s->properties : nullptr;
}

const char* Comment(const char* className) {
    const qoSymbol* s = Lookup(className);
    return s ? s->comment : nullptr;
}

const qoEnumInfo* EnumTable(const char* enumName) {
    const qoSymbol* s = Lookup(enumName);
    return s ? s->enumTable : nullptr;
}

uint32_t ElementSize(const char* typeName) {
    const qoSymbol* s = Lookup(typeName);
    return s ? s->elementSize : 0;
}

const char* const* EditorMetadata(const char* typeName) {
    const qoSymbol* s = Lookup(typeName);
    return s ? s->metadata : nullptr;
}

void* AllocateElements(const char* typeName, int count) {
    const qoSymbol* s = Lookup(typeName);
    return s && s->allocate ? s->allocate(count) : nullptr;
}

}  // namespace qoRegistry
