// Quorin script module: the module interface the host obtains from GetQuorinAPI(1).
#pragma once

#include <cstdint>

#include "quorin/kvQuorinSystem.h"
#include "quorin/kvQOObject.h"
#include "quorin/qoTypes.h"

class kvQuorin {
public:
    virtual kvQuorin* Destroy(uint32_t flags) = 0;                              // 0
    virtual kvQuorinSystem* SetSystem(kvQuorinSystem* system) = 0;              // 1
    virtual void RunRegistrations() = 0;                                        // 2
    virtual void Reset() = 0;                                                   // 3
    virtual void DrawDevWindows() = 0;                                          // 4
    virtual const char* const* GetClassNames() = 0;                             // 5
    virtual const char* const* GetClassPrefixes() = 0;                          // 6
    virtual kvQOObject* CreateObject(const char* className) = 0;                // 7
    virtual const qoPropertyInfo* GetPropertyTable(const char* typeName) = 0;   // 8
    virtual const char* GetComment(const char* className) = 0;                  // 9
    virtual const qoEnumInfo* GetEnumTable(const char* enumName) = 0;           // 10
    virtual uint32_t GetElementSize(const char* typeName) = 0;                  // 11
    virtual const char* const* GetEditorMetadata(const char* typeName) = 0;     // 12
    virtual void* AllocateElements(const char* typeName, int count) = 0;        // 13
    virtual bool CheckVersionHash(int hash) = 0;                                // 14

protected:
    ~kvQuorin() = default;
};

// The interface version this header describes and the hash CheckVersionHash accepts.
constexpr int qoInterfaceVersion = 1;
constexpr int qoVersionHash = 0x31bbe464;

extern "C" kvQuorin* GetQuorinAPI(int version);
typedef kvQuorin* (*qoGetQuorinAPIFn)(int version);
