// A kvQuorinSystem that passes every operation on to another one. Layers that watch or change
// a few operations derive from it and override those.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quorin/kvQuorinSystem.h"

namespace qohostcheck {

class ForwardingSystem : public kvQuorinSystem {
public:
    explicit ForwardingSystem(kvQuorinSystem* engine) : engine_(engine) {}
    virtual ~ForwardingSystem() = default;

    void Reserved0() override { engine_->Reserved0(); }
    uint32_t FindEntity(const char* name) override { return engine_->FindEntity(name); }
    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override {
        return engine_->FindScriptObject(entity, className, create);
    }
    kvQOObject* GetScriptObject(uint32_t entity, uint32_t objectIndex) override {
        return engine_->GetScriptObject(entity, objectIndex);
    }
    const char* GetEntityName(uint32_t entity) override { return engine_->GetEntityName(entity); }
    bool EntityIsValid(uint32_t entity) override { return engine_->EntityIsValid(entity); }
    void Reserved6() override { engine_->Reserved6(); }
    void Reserved7() override { engine_->Reserved7(); }
    void Reserved8() override { engine_->Reserved8(); }
    void Reserved9() override { engine_->Reserved9(); }
    void Reserved10() override { engine_->Reserved10(); }
    void Reserved11() override { engine_->Reserved11(); }
    bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature,
                          void* args) override {
        return engine_->CallEntityMethod(entity, method, signature, args);
    }
    int32_t GetIntResult() override { return engine_->GetIntResult(); }
    float GetFloatResult() override { return engine_->GetFloatResult(); }
    void GetVectorResult(float* xyz) override { engine_->GetVectorResult(xyz); }
    void Reserved16() override { engine_->Reserved16(); }
    const char* GetStringResult() override { return engine_->GetStringResult(); }
    uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                          void* args) override {
        return engine_->CreateThread(name, object, entry, args);
    }
    uint32_t CreateNetworkThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                                 void* args) override {
        return engine_->CreateNetworkThread(name, object, entry, args);
    }
    void Reserved20() override { engine_->Reserved20(); }
    void Reserved21() override { engine_->Reserved21(); }
    bool GetThreadContext(uint32_t thread, qoThreadContext* out) override {
        return engine_->GetThreadContext(thread, out);
    }
    void EndThreadsByName(const char* name, kvQOObject* object) override {
        engine_->EndThreadsByName(name, object);
    }
    void EndThread(uint32_t thread) override { engine_->EndThread(thread); }
    bool IsThreadRunning(uint32_t thread) override { return engine_->IsThreadRunning(thread); }
    uint32_t CurrentThread() override { return engine_->CurrentThread(); }
    void* Allocate(size_t size, uint32_t tag) override { return engine_->Allocate(size, tag); }
    void Free(void* memory, uint32_t tag) override { engine_->Free(memory, tag); }
    uint32_t GetMemoryTag() override { return engine_->GetMemoryTag(); }
    uint32_t SetMemoryTag(uint32_t tag) override { return engine_->SetMemoryTag(tag); }
    // Formats the text and prints it through the engine with "%s".
    void Printf(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void WaitSeconds(float seconds) override { engine_->WaitSeconds(seconds); }
    void WaitFrame() override { engine_->WaitFrame(); }
    void WaitForThread(uint32_t thread) override { engine_->WaitForThread(thread); }
    int32_t RandomInt(int32_t n) override { return engine_->RandomInt(n); }
    float RandomFloat() override { return engine_->RandomFloat(); }
    int32_t GameTimeMs() override { return engine_->GameTimeMs(); }
    int32_t FrameTimeMs() override { return engine_->FrameTimeMs(); }
    void DebugLine(const qoColor* color, const qoVector* start, const qoVector* end,
                   float lifetime, bool depthTest) override {
        engine_->DebugLine(color, start, end, lifetime, depthTest);
    }
    void Reserved40() override { engine_->Reserved40(); }
    void DebugArrow(const qoColor* color, const qoVector* start, const qoVector* end, int size,
                    float lifetime) override {
        engine_->DebugArrow(color, start, end, size, lifetime);
    }
    void DebugCircle(const qoColor* color, const qoVector* origin, const qoVector* dir,
                     float radius, int points, float lifetime, bool depthTest) override {
        engine_->DebugCircle(color, origin, dir, radius, points, lifetime, depthTest);
    }
    void DebugBox(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                  const qoVector* origin, const qoVector* angles, float lifetime,
                  bool depthTest) override {
        engine_->DebugBox(color, mins, maxs, origin, angles, lifetime, depthTest);
    }
    void DebugSphere(const qoColor* color, const qoVector* origin, float radius, float lifetime,
                     bool depthTest) override {
        engine_->DebugSphere(color, origin, radius, lifetime, depthTest);
    }
    void Reserved45() override { engine_->Reserved45(); }
    void DebugText(const char* text, const qoVector* rgb, const qoVector* position, float scale,
                   int alignment, bool flag1, bool flag2, float lifetime) override {
        engine_->DebugText(text, rgb, position, scale, alignment, flag1, flag2, lifetime);
    }
    void DebugBounds(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                     float lifetime) override {
        engine_->DebugBounds(color, mins, maxs, lifetime);
    }
    void Reserved48() override { engine_->Reserved48(); }
    void SetCvarString(const char* name, const char* value) override {
        engine_->SetCvarString(name, value);
    }
    void SetCvarBool(const char* name, bool value) override { engine_->SetCvarBool(name, value); }
    void SetCvarInt(const char* name, int32_t value) override { engine_->SetCvarInt(name, value); }
    void SetCvarFloat(const char* name, float value) override { engine_->SetCvarFloat(name, value); }
    const char* GetCvarString(const char* name, const char* defaultValue, const char* reserved,
                              int zero) override {
        return engine_->GetCvarString(name, defaultValue, reserved, zero);
    }
    bool GetCvarBool(const char* name, bool defaultValue) override {
        return engine_->GetCvarBool(name, defaultValue);
    }
    int32_t GetCvarInt(const char* name, int32_t defaultValue) override {
        return engine_->GetCvarInt(name, defaultValue);
    }
    float GetCvarFloat(const char* name, float defaultValue) override {
        return engine_->GetCvarFloat(name, defaultValue);
    }
    uint32_t SpawnEntityFromDef(const void* entityDef) override {
        return engine_->SpawnEntityFromDef(entityDef);
    }
    void Reserved58() override { engine_->Reserved58(); }
    int32_t StartTrace(const qoVector* start, const qoVector* end, uint32_t contentMask,
                       uint32_t ignoreEntity) override {
        return engine_->StartTrace(start, end, contentMask, ignoreEntity);
    }
    void GetTraceResult(int32_t trace, float* fraction, qoVector* normal,
                        uint32_t* hitEntity) override {
        engine_->GetTraceResult(trace, fraction, normal, hitEntity);
    }
    bool IsTraceDone(int32_t trace) override { return engine_->IsTraceDone(trace); }
    void CallScriptFunction(uint32_t entity, const char* functionName) override {
        engine_->CallScriptFunction(entity, functionName);
    }
    void Reserved63() override { engine_->Reserved63(); }
    void Reserved64() override { engine_->Reserved64(); }
    void Reserved65() override { engine_->Reserved65(); }
    void Reserved66() override { engine_->Reserved66(); }
    int32_t NumPlayers() override { return engine_->NumPlayers(); }
    void Reserved68() override { engine_->Reserved68(); }
    uint32_t GetPlayer(int32_t index) override { return engine_->GetPlayer(index); }
    void DevWindowItem(const char* name, const char* value) override {
        engine_->DevWindowItem(name, value);
    }
    void DevWindowFlush() override { engine_->DevWindowFlush(); }
    qoStateStream* GetStateStream() override { return engine_->GetStateStream(); }

protected:
    kvQuorinSystem* engine_;
};

}  // namespace qohostcheck
