// Placeholder until the class registry lands: no classes.
#include "runtime/qoRegistry.h"

namespace qoRegistry {
static const char* const kEmpty[] = {nullptr};
const char* const* ClassNames() { return kEmpty; }
const char* const* ClassPrefixes() { return kEmpty; }
kvQOObject* CreateObject(const char*) { return nullptr; }
const qoPropertyInfo* PropertyTable(const char*) { return nullptr; }
const char* Comment(const char*) { return nullptr; }
const qoEnumInfo* EnumTable(const char*) { return nullptr; }
uint32_t ElementSize(const char*) { return 0; }
const char* const* EditorMetadata(const char*) { return nullptr; }
void* AllocateElements(const char*, int) { return nullptr; }
}  // namespace qoRegistry
