// Quorin script module: the module interface the host obtains from GetQuorinAPI(1).
//
// Call order: GetQuorinAPI, SetSystem, RunRegistrations, then per level Reset, CreateObject
// and the objects' life (kvQOObject.h). Returned tables and texts live in the module's constant
// data for as long as the library is loaded. No operation suspends; none may run while other
// module code runs. Full contract: docs/host-contract.md.
#pragma once

#include <cstdint>

#include "quorin/kvQuorinSystem.h"
#include "quorin/kvQOObject.h"
#include "quorin/qoTypes.h"

class kvQuorin {
public:
    // Fills the deleting-destructor slot; never call it on the static interface object.
    virtual kvQuorin* Destroy(uint32_t flags) = 0;                              // 0
    // Stores the host (null detaches); returns the previous one. First call after GetQuorinAPI.
    virtual kvQuorinSystem* SetSystem(kvQuorinSystem* system) = 0;              // 1
    // Registers the console variables built at load through GetCvar*; after SetSystem.
    virtual void RunRegistrations() = 0;                                        // 2
    // Rebinds the world utility (entity "world") and closes dev windows; per level and at the end.
    virtual void Reset() = 0;                                                   // 3
    // Lays out and draws the debug watch windows (DevWindowItem, DevWindowFlush); outside threads.
    virtual void DrawDevWindows() = 0;                                          // 4
    // Sorted class names designers place, null-terminated; needs no host.
    virtual const char* const* GetClassNames() = 0;                             // 5
    // Sorted class-name prefixes ("util_"), null-terminated; needs no host.
    virtual const char* const* GetClassPrefixes() = 0;                          // 6
    // New object of exactly that class (tag qoDefaultMemoryTag); null if unknown or out of memory.
    virtual kvQOObject* CreateObject(const char* className) = 0;                // 7
    // Property rows of a class or struct type, ended by an all-zero row; null if unknown.
    virtual const qoPropertyInfo* GetPropertyTable(const char* typeName) = 0;   // 8
    // The class's editor comment, or null.
    virtual const char* GetComment(const char* className) = 0;                  // 9
    // Values of a script enumeration, or null.
    virtual const qoEnumInfo* GetEnumTable(const char* enumName) = 0;           // 10
    // Bytes of one list element of the type; 0 if unknown.
    virtual uint32_t GetElementSize(const char* typeName) = 0;                  // 11
    // Editor display statements of a class, null-terminated, or null.
    virtual const char* const* GetEditorMetadata(const char* typeName) = 0;     // 12
    // count constructed elements in one host block (qoDefaultMemoryTag); null on failure.
    virtual void* AllocateElements(const char* typeName, int count) = 0;        // 13
    // True for qoVersionHash: the library was built from these headers. Needs no host.
    virtual bool CheckVersionHash(int hash) = 0;                                // 14

protected:
    ~kvQuorin() = default;
};

// The interface version this header describes and the hash CheckVersionHash accepts.
constexpr int qoInterfaceVersion = 1;
constexpr int qoVersionHash = 0x31bbe464;

extern "C" kvQuorin* GetQuorinAPI(int version);
typedef kvQuorin* (*qoGetQuorinAPIFn)(int version);
