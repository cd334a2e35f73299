// A host that hands every call of the module on to a reference-host world and counts them:
// install it with SetSystem after World::Attach (the world keeps doing the work; only the
// module's calls pass through here). For benchmarks that report host calls.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/world/World.h"
#include "quorin/kvQuorinSystem.h"

namespace qohost::test {

class CountingSystem final : public kvQuorinSystem {
public:
    explicit CountingSystem(World& w) : world(w) {}

    uint64_t calls = 0;

    void Reserved0() override { ++calls; world.Reserved0(); }
    uint32_t FindEntity(const char* name) override { ++calls; return world.FindEntity(name); }
    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override { ++calls; return world.FindScriptObject(entity, className, create); }
    kvQOObject* GetScriptObject(uint32_t entity, uint32_t objectIndex) override { ++calls; return world.GetScriptObject(entity, objectIndex); }
    const char* GetEntityName(uint32_t entity) override { ++calls; return world.GetEntityName(entity); }
    bool EntityIsValid(uint32_t entity) override { ++calls; return world.EntityIsValid(entity); }
    void Reserved6() override { ++calls; world.Reserved6(); }
    void Reserved7() override { ++calls; world.Reserved7(); }
    void Reserved8() override { ++calls; world.Reserved8(); }
    void Reserved9() override { ++calls; world.Reserved9(); }
    void Reserved10() override { ++calls; world.Reserved10(); }
    void Reserved11() override { ++calls; world.Reserved11(); }
    bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature, void* args) override { ++calls; return world.CallEntityMethod(entity, method, signature, args); }
    int32_t GetIntResult() override { ++calls; return world.GetIntResult(); }
    float GetFloatResult() override { ++calls; return world.GetFloatResult(); }
    void GetVectorResult(float* xyz) override { ++calls; world.GetVectorResult(xyz); }
    void Reserved16() override { ++calls; world.Reserved16(); }
    const char* GetStringResult() override { ++calls; return world.GetStringResult(); }
    uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args) override { ++calls; return world.CreateThread(name, object, entry, args); }
    uint32_t CreateNetworkThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args) override { ++calls; return world.CreateNetworkThread(name, object, entry, args); }
    void Reserved20() override { ++calls; world.Reserved20(); }
    void Reserved21() override { ++calls; world.Reserved21(); }
    bool GetThreadContext(uint32_t thread, qoThreadContext* out) override { ++calls; return world.GetThreadContext(thread, out); }
    void EndThreadsByName(const char* name, kvQOObject* object) override { ++calls; world.EndThreadsByName(name, object); }
    void EndThread(uint32_t thread) override { ++calls; world.EndThread(thread); }
    bool IsThreadRunning(uint32_t thread) override { ++calls; return world.IsThreadRunning(thread); }
    uint32_t CurrentThread() override { ++calls; return world.CurrentThread(); }
    void* Allocate(size_t size, uint32_t tag) override { ++calls; return world.Allocate(size, tag); }
    void Free(void* memory, uint32_t tag) override { ++calls; world.Free(memory, tag); }
    uint32_t GetMemoryTag() override { ++calls; return world.GetMemoryTag(); }
    uint32_t SetMemoryTag(uint32_t tag) override { ++calls; return world.SetMemoryTag(tag); }
    void WaitSeconds(float seconds) override { ++calls; world.WaitSeconds(seconds); }
    void WaitFrame() override { ++calls; world.WaitFrame(); }
    void WaitForThread(uint32_t thread) override { ++calls; world.WaitForThread(thread); }
    int32_t RandomInt(int32_t n) override { ++calls; return world.RandomInt(n); }
    float RandomFloat() override { ++calls; return world.RandomFloat(); }
    int32_t GameTimeMs() override { ++calls; return world.GameTimeMs(); }
    int32_t FrameTimeMs() override { ++calls; return world.FrameTimeMs(); }
    void DebugLine(const qoColor* color, const qoVector* start, const qoVector* end, float lifetime, bool depthTest) override { ++calls; world.DebugLine(color, start, end, lifetime, depthTest); }
    void Reserved40() override { ++calls; world.Reserved40(); }
    void DebugArrow(const qoColor* color, const qoVector* start, const qoVector* end, int size, float lifetime) override { ++calls; world.DebugArrow(color, start, end, size, lifetime); }
    void DebugCircle(const qoColor* color, const qoVector* origin, const qoVector* dir, float radius, int points, float lifetime, bool depthTest) override { ++calls; world.DebugCircle(color, origin, dir, radius, points, lifetime, depthTest); }
    void DebugBox(const qoColor* color, const qoVector* mins, const qoVector* maxs, const qoVector* origin, const qoVector* angles, float lifetime, bool depthTest) override { ++calls; world.DebugBox(color, mins, maxs, origin, angles, lifetime, depthTest); }
    void DebugSphere(const qoColor* color, const qoVector* origin, float radius, float lifetime, bool depthTest) override { ++calls; world.DebugSphere(color, origin, radius, lifetime, depthTest); }
    void Reserved45() override { ++calls; world.Reserved45(); }
    void DebugText(const char* text, const qoVector* rgb, const qoVector* position, float scale, int alignment, bool flag1, bool flag2, float lifetime) override { ++calls; world.DebugText(text, rgb, position, scale, alignment, flag1, flag2, lifetime); }
    void DebugBounds(const qoColor* color, const qoVector* mins, const qoVector* maxs, float lifetime) override { ++calls; world.DebugBounds(color, mins, maxs, lifetime); }
    void Reserved48() override { ++calls; world.Reserved48(); }
    void SetCvarString(const char* name, const char* value) override { ++calls; world.SetCvarString(name, value); }
    void SetCvarBool(const char* name, bool value) override { ++calls; world.SetCvarBool(name, value); }
    void SetCvarInt(const char* name, int32_t value) override { ++calls; world.SetCvarInt(name, value); }
    void SetCvarFloat(const char* name, float value) override { ++calls; world.SetCvarFloat(name, value); }
    const char* GetCvarString(const char* name, const char* defaultValue, const char* reserved, int zero) override { ++calls; return world.GetCvarString(name, defaultValue, reserved, zero); }
    bool GetCvarBool(const char* name, bool defaultValue) override { ++calls; return world.GetCvarBool(name, defaultValue); }
    int32_t GetCvarInt(const char* name, int32_t defaultValue) override { ++calls; return world.GetCvarInt(name, defaultValue); }
    float GetCvarFloat(const char* name, float defaultValue) override { ++calls; return world.GetCvarFloat(name, defaultValue); }
    uint32_t SpawnEntityFromDef(const void* entityDef) override { ++calls; return world.SpawnEntityFromDef(entityDef); }
    void Reserved58() override { ++calls; world.Reserved58(); }
    int32_t StartTrace(const qoVector* start, const qoVector* end, uint32_t contentMask, uint32_t ignoreEntity) override { ++calls; return world.StartTrace(start, end, contentMask, ignoreEntity); }
    void GetTraceResult(int32_t trace, float* fraction, qoVector* normal, uint32_t* hitEntity) override { ++calls; world.GetTraceResult(trace, fraction, normal, hitEntity); }
    bool IsTraceDone(int32_t trace) override { ++calls; return world.IsTraceDone(trace); }
    void CallScriptFunction(uint32_t entity, const char* functionName) override { ++calls; world.CallScriptFunction(entity, functionName); }
    void Reserved63() override { ++calls; world.Reserved63(); }
    void Reserved64() override { ++calls; world.Reserved64(); }
    void Reserved65() override { ++calls; world.Reserved65(); }
    void Reserved66() override { ++calls; world.Reserved66(); }
    int32_t NumPlayers() override { ++calls; return world.NumPlayers(); }
    void Reserved68() override { ++calls; world.Reserved68(); }
    uint32_t GetPlayer(int32_t index) override { ++calls; return world.GetPlayer(index); }
    void DevWindowItem(const char* name, const char* value) override { ++calls; world.DevWindowItem(name, value); }
    void DevWindowFlush() override { ++calls; world.DevWindowFlush(); }
    qoStateStream* GetStateStream() override { ++calls; return world.GetStateStream(); }
    void Printf(const char* format, ...) override {
        ++calls;
        va_list args;
        va_start(args, format);
        va_list copy;
        va_copy(copy, args);
        const int length = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        std::string text(length > 0 ? static_cast<size_t>(length) : 0u, '\0');
        if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
        va_end(args);
        world.Printf("%s", text.c_str());
    }

private:
    World& world;
};

}  // namespace qohost::test
