// Class registry and reflection lookups behind kvQuorin slots 5 to 13. Every name argument is a
// caller-owned null-terminated byte string; lookups are exact and case-sensitive.
#pragma once

#include <cstdint>

#include "quorin/kvQOObject.h"
#include "quorin/qoTypes.h"

namespace qoRegistry {
const char* const* ClassNames();
const char* const* ClassPrefixes();
kvQOObject* CreateObject(const char* className);
const qoPropertyInfo* PropertyTable(const char* typeName);
const char* Comment(const char* className);
const qoEnumInfo* EnumTable(const char* enumName);
uint32_t ElementSize(const char* typeName);
const char* const* EditorMetadata(const char* typeName);
void* AllocateElements(const char* typeName, int count);
}  // namespace qoRegistry
