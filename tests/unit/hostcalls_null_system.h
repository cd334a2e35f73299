// A host interface that does nothing: every slot returns zero / null / false. Test doubles and
// benchmarks derive from it and override the few slots they care about. Allocation goes to
// malloc with a live-block count, so module strings work without a world.
#pragma once

#include <cstdlib>

#include "quorin/kvQuorinSystem.h"

namespace hostcalls_test {

class NullSystem : public kvQuorinSystem {
public:
    virtual ~NullSystem() = default;

    long liveBlocks = 0;
    long allocations = 0;

    void Reserved0() override {}
    uint32_t FindEntity(const char*) override { return 0; }
    uint32_t FindScriptObject(uint32_t, const char*, int) override { return 0xFFFFFFFFu; }
    kvQOObject* GetScriptObject(uint32_t, uint32_t) override { return nullptr; }
    const char* GetEntityName(uint32_t) override { return ""; }
    bool EntityIsValid(uint32_t) override { return false; }
    void Reserved6() override {}
    void Reserved7() override {}
    void Reserved8() override {}
    void Reserved9() override {}
    void Reserved10() override {}
    void Reserved11() override {}
    bool CallEntityMethod(uint32_t, int32_t, const char*, void*) override { return false; }
    int32_t GetIntResult() override { return 0; }
    float GetFloatResult() override { return 0.0f; }
    void GetVectorResult(float* xyz) override { xyz[0] = xyz[1] = xyz[2] = 0.0f; }
    void Reserved16() override {}
    const char* GetStringResult() override { return ""; }
    uint32_t CreateThread(const char*, kvQOObject*, qoThreadEntry, void*) override { return 0; }
    uint32_t CreateNetworkThread(const char*, kvQOObject*, qoThreadEntry, void*) override { return 0; }
    void Reserved20() override {}
    void Reserved21() override {}
    bool GetThreadContext(uint32_t, qoThreadContext*) override { return false; }
    void EndThreadsByName(const char*, kvQOObject*) override {}
    void EndThread(uint32_t) override {}
    bool IsThreadRunning(uint32_t) override { return false; }
    uint32_t CurrentThread() override { return 0; }
    void* Allocate(size_t size, uint32_t) override {
        ++liveBlocks;
        ++allocations;
        return std::malloc(size ? size : 1);
    }
    void Free(void* memory, uint32_t) override {
        if (!memory) return;
        --liveBlocks;
        std::free(memory);
    }
    uint32_t GetMemoryTag() override { return 0; }
    uint32_t SetMemoryTag(uint32_t) override { return 0; }
    void Printf(const char*, ...) override {}
    void WaitSeconds(float) override {}
    void WaitFrame() override {}
    void WaitForThread(uint32_t) override {}
    int32_t RandomInt(int32_t) override { return 0; }
    float RandomFloat() override { return 0.0f; }
    int32_t GameTimeMs() override { return 0; }
    int32_t FrameTimeMs() override { return 16; }
    void DebugLine(const qoColor*, const qoVector*, const qoVector*, float, bool) override {}
    void Reserved40() override {}
    void DebugArrow(const qoColor*, const qoVector*, const qoVector*, int, float) override {}
    void DebugCircle(const qoColor*, const qoVector*, const qoVector*, float, int, float,
                     bool) override {}
    void DebugBox(const qoColor*, const qoVector*, const qoVector*, const qoVector*,
                  const qoVector*, float, bool) override {}
    void DebugSphere(const qoColor*, const qoVector*, float, float, bool) override {}
    void Reserved45() override {}
    void DebugText(const char*, const qoVector*, const qoVector*, float, int, bool, bool,
                   float) override {}
    void DebugBounds(const qoColor*, const qoVector*, const qoVector*, float) override {}
    void Reserved48() override {}
    void SetCvarString(const char*, const char*) override {}
    void SetCvarBool(const char*, bool) override {}
    void SetCvarInt(const char*, int32_t) override {}
    void SetCvarFloat(const char*, float) override {}
    const char* GetCvarString(const char*, const char* defaultValue, const char*, int) override {
        return defaultValue;
    }
    bool GetCvarBool(const char*, bool defaultValue) override { return defaultValue; }
    int32_t GetCvarInt(const char*, int32_t defaultValue) override { return defaultValue; }
    float GetCvarFloat(const char*, float defaultValue) override { return defaultValue; }
    uint32_t SpawnEntityFromDef(const void*) override { return 0; }
    void Reserved58() override {}
    int32_t StartTrace(const qoVector*, const qoVector*, uint32_t, uint32_t) override { return 0; }
    void GetTraceResult(int32_t, float*, qoVector*, uint32_t*) override {}
    bool IsTraceDone(int32_t) override { return true; }
    void CallScriptFunction(uint32_t, const char*) override {}
    void Reserved63() override {}
    void Reserved64() override {}
    void Reserved65() override {}
    void Reserved66() override {}
    int32_t NumPlayers() override { return 0; }
    void Reserved68() override {}
    uint32_t GetPlayer(int32_t) override { return 0; }
    void DevWindowItem(const char*, const char*) override {}
    void DevWindowFlush() override {}
    qoStateStream* GetStateStream() override { return nullptr; }
};

}  // namespace hostcalls_test
