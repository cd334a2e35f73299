// Quorin script module: the host service interface.
//
// The host implements kvQuorinSystem and hands it to the module with kvQuorin::SetSystem.
// The module calls these operations by slot number; the declaration order below is the slot
// order and must not change. Unused slots are declared so that every later slot keeps its
// number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quorin/qoTypes.h"

// Stream object handed out by host slot 72; script objects pass pointers to the members
// whose state the host carries over.
class qoStateStream {
public:
    virtual void Reserved0() = 0;                  // 0
    virtual void SyncBool(bool* member) = 0;       // 1
    virtual void SyncInt(int32_t* member) = 0;     // 2
    virtual void SyncFloat(float* member) = 0;     // 3

protected:
    ~qoStateStream() = default;
};

class kvQuorinSystem {
public:
    virtual void Reserved0() = 0;                                                          // 0
    virtual uint32_t FindEntity(const char* name) = 0;                                      // 1
    virtual uint32_t FindScriptObject(uint32_t entity, const char* className, int create) = 0;  // 2
    virtual kvQOObject* GetScriptObject(uint32_t entity, uint32_t objectIndex) = 0;         // 3
    virtual const char* GetEntityName(uint32_t entity) = 0;                                 // 4
    virtual bool EntityIsValid(uint32_t entity) = 0;                                        // 5
    virtual void Reserved6() = 0;                                                           // 6
    virtual void Reserved7() = 0;                                                           // 7
    virtual void Reserved8() = 0;                                                           // 8
    virtual void Reserved9() = 0;                                                           // 9
    virtual void Reserved10() = 0;                                                          // 10
    virtual void Reserved11() = 0;                                                          // 11
    virtual bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature,
                                  void* args) = 0;                                          // 12
    virtual int32_t GetIntResult() = 0;                                                     // 13
    virtual float GetFloatResult() = 0;                                                     // 14
    virtual void GetVectorResult(float* xyz) = 0;                                           // 15
    virtual void Reserved16() = 0;                                                          // 16
    virtual const char* GetStringResult() = 0;                                              // 17
    virtual uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                                  void* args) = 0;                                          // 18
    virtual uint32_t CreateNetworkThread(const char* name, kvQOObject* object,
                                         qoThreadEntry entry, void* args) = 0;              // 19
    virtual void Reserved20() = 0;                                                          // 20
    virtual void Reserved21() = 0;                                                          // 21
    virtual bool GetThreadContext(uint32_t thread, qoThreadContext* out) = 0;               // 22
    virtual void EndThreadsByName(const char* name, kvQOObject* object) = 0;                // 23
    virtual void EndThread(uint32_t thread) = 0;                                            // 24
    virtual bool IsThreadRunning(uint32_t thread) = 0;                                      // 25
    virtual uint32_t CurrentThread() = 0;                                                   // 26
    virtual void* Allocate(size_t size, uint32_t tag) = 0;                                  // 27
    virtual void Free(void* memory, uint32_t tag) = 0;                                      // 28
    virtual uint32_t GetMemoryTag() = 0;                                                    // 29
    virtual uint32_t SetMemoryTag(uint32_t tag) = 0;                                        // 30
    virtual void Printf(const char* format, ...) = 0;                                       // 31
    virtual void WaitSeconds(float seconds) = 0;                                            // 32
    virtual void WaitFrame() = 0;                                                           // 33
    virtual void WaitForThread(uint32_t thread) = 0;                                        // 34
    virtual int32_t RandomInt(int32_t n) = 0;                                               // 35
    virtual float RandomFloat() = 0;                                                        // 36
    virtual int32_t GameTimeMs() = 0;                                                       // 37
    virtual int32_t FrameTimeMs() = 0;                                                      // 38
    virtual void DebugLine(const qoColor* color, const qoVector* start, const qoVector* end,
                           float lifetime, bool depthTest) = 0;                            // 39
    virtual void Reserved40() = 0;                                                          // 40
    virtual void DebugArrow(const qoColor* color, const qoVector* start, const qoVector* end,
                            int size, float lifetime) = 0;                                  // 41
    virtual void DebugCircle(const qoColor* color, const qoVector* origin, const qoVector* dir,
                             float radius, int points, float lifetime, bool depthTest) = 0;  // 42
    virtual void DebugBox(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                          const qoVector* origin, const qoVector* angles, float lifetime,
                          bool depthTest) = 0;                                              // 43
    virtual void DebugSphere(const qoColor* color, const qoVector* origin, float radius,
                             float lifetime, bool depthTest) = 0;                           // 44
    virtual void Reserved45() = 0;                                                          // 45
    virtual void DebugText(const char* text, const qoVector* rgb, const qoVector* position,
                           float scale, int alignment, bool flag1, bool flag2,
                           float lifetime) = 0;                                             // 46
    virtual void DebugBounds(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                             float lifetime) = 0;                                           // 47
    virtual void Reserved48() = 0;                                                          // 48
    virtual void SetCvarString(const char* name, const char* value) = 0;                    // 49
    virtual void SetCvarBool(const char* name, bool value) = 0;                             // 50
    virtual void SetCvarInt(const char* name, int32_t value) = 0;                           // 51
    virtual void SetCvarFloat(const char* name, float value) = 0;                           // 52
    virtual const char* GetCvarString(const char* name, const char* defaultValue,
                                      const char* reserved, int zero) = 0;                  // 53
    virtual bool GetCvarBool(const char* name, bool defaultValue) = 0;                      // 54
    virtual int32_t GetCvarInt(const char* name, int32_t defaultValue) = 0;                 // 55
    virtual float GetCvarFloat(const char* name, float defaultValue) = 0;                   // 56
    virtual uint32_t SpawnEntityFromDef(const void* entityDef) = 0;                         // 57
    virtual void Reserved58() = 0;                                                          // 58
    virtual int32_t StartTrace(const qoVector* start, const qoVector* end, uint32_t contentMask,
                               uint32_t ignoreEntity) = 0;                                  // 59
    virtual void GetTraceResult(int32_t trace, float* fraction, qoVector* normal,
                                uint32_t* hitEntity) = 0;                                   // 60
    virtual bool IsTraceDone(int32_t trace) = 0;                                            // 61
    virtual void CallScriptFunction(uint32_t entity, const char* functionName) = 0;         // 62
    virtual void Reserved63() = 0;                                                          // 63
    virtual void Reserved64() = 0;                                                          // 64
    virtual void Reserved65() = 0;                                                          // 65
    virtual void Reserved66() = 0;                                                          // 66
    virtual int32_t NumPlayers() = 0;                                                       // 67
    virtual void Reserved68() = 0;                                                          // 68
    virtual uint32_t GetPlayer(int32_t index) = 0;                                          // 69
    virtual void DevWindowItem(const char* name, const char* value) = 0;                    // 70
    virtual void DevWindowFlush() = 0;                                                      // 71
    virtual qoStateStream* GetStateStream() = 0;                                            // 72

protected:
    ~kvQuorinSystem() = default;
};

// Thread id that names the calling script thread.
constexpr uint32_t qoCurrentThread = 0xFFFFFFFFu;
