// The smallest engine that runs the Quorin script module: entities in memory, a frame clock,
// a console, console variables, a tagged allocator, a handful of entity methods, and script
// threads as simple fibers on ucontext (makecontext / swapcontext).
//
// Only the C++17 standard library and the platform are used. Read it top to bottom next to
// README.md; every choice the module depends on is marked "module:".
#pragma once

#include <ucontext.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include <quorin/quorin.h>

namespace sample {

// module: "no object" is 0xFFFFFFFF, "no entity" and "no thread" are 0.
constexpr uint32_t kNoObject = 0xFFFFFFFFu;

struct Entity {
    std::string name;
    std::string hostClass;           // "kvPlayer", "kvTarget", "kvLight", ...
    qoVector origin;
    std::vector<uint32_t> targets;   // NumTargets, GetTarget, ActivateTargets
    std::vector<kvQOObject*> objects;  // by object index; null once destroyed
    bool removed = false;
};

class SampleHost final : public kvQuorinSystem {
public:
    explicit SampleHost(kvQuorin* module, int32_t frameMs = 16);
    // Destroys every script object and ends every thread (unwinding it).
    ~SampleHost();

    // ---- what the engine does --------------------------------------------------------------
    // Entity handles are index + 1, never reused.
    uint32_t Spawn(const std::string& name, const std::string& hostClass);
    Entity* Find(uint32_t handle);  // live entities only
    // Creates the script object, binds it, and (unless told otherwise) runs its Init as the
    // thread "Init". Returns the object index or kNoObject.
    uint32_t AddObject(uint32_t entity, const char* className, bool startInit = true);
    // Writes a designer property at the offset the module's property table gives.
    template <class T>
    bool SetProperty(uint32_t entity, uint32_t index, const char* property, T value) {
        return WriteProperty(entity, index, property, &value, sizeof value);
    }
    void StartInit(uint32_t entity, uint32_t index);
    // OnActivate to every object of the entity that handles it, then the entity's own reaction.
    void Activate(uint32_t entity, uint32_t activator);
    // The entity becomes invalid now; its objects go at the end of the frame.
    void Remove(uint32_t entity);
    // One frame: the clock, then every script thread that is due, then removed entities.
    void RunFrame();
    // Every object: Shutdown, its threads ended, Destroy(1).
    void DestroyAllObjects();

    std::string TakeConsole();   // text printed since the last call
    void EchoConsole(bool on) { echo_ = on; }
    size_t LiveBlocks() const { return blocks_.size(); }
    size_t LiveThreads() const { return fibers_.size(); }
    int64_t Frame() const { return frame_; }

    // ---- kvQuorinSystem: what the module asks of the engine -------------------------------
    void Reserved0() override {}
    uint32_t FindEntity(const char* name) override;
    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override;
    kvQOObject* GetScriptObject(uint32_t entity, uint32_t objectIndex) override;
    const char* GetEntityName(uint32_t entity) override;
    bool EntityIsValid(uint32_t entity) override { return Find(entity) != nullptr; }
    void Reserved6() override {}
    void Reserved7() override {}
    void Reserved8() override {}
    void Reserved9() override {}
    void Reserved10() override {}
    void Reserved11() override {}
    bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature, void* args) override;
    int32_t GetIntResult() override { return result_.i; }
    float GetFloatResult() override { return result_.f; }
    void GetVectorResult(float* xyz) override;
    void Reserved16() override {}
    const char* GetStringResult() override { return result_.s.c_str(); }
    uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args) override;
    uint32_t CreateNetworkThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                                 void* args) override {
        return CreateThread(name, object, entry, args);
    }
    void Reserved20() override {}
    void Reserved21() override {}
    bool GetThreadContext(uint32_t thread, qoThreadContext* out) override;
    void EndThreadsByName(const char* name, kvQOObject* object) override;
    void EndThread(uint32_t thread) override;
    bool IsThreadRunning(uint32_t thread) override;
    uint32_t CurrentThread() override;
    void* Allocate(size_t size, uint32_t tag) override;
    void Free(void* memory, uint32_t tag) override;
    uint32_t GetMemoryTag() override { return tag_; }
    uint32_t SetMemoryTag(uint32_t tag) override;
    void Printf(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void WaitSeconds(float seconds) override;
    void WaitFrame() override;
    void WaitForThread(uint32_t thread) override;
    int32_t RandomInt(int32_t n) override;
    float RandomFloat() override;
    int32_t GameTimeMs() override { return static_cast<int32_t>(timeMs_); }
    int32_t FrameTimeMs() override { return frameMs_; }
    // Debug drawing: this engine has no renderer.
    void DebugLine(const qoColor*, const qoVector*, const qoVector*, float, bool) override {}
    void Reserved40() override {}
    void DebugArrow(const qoColor*, const qoVector*, const qoVector*, int, float) override {}
    void DebugCircle(const qoColor*, const qoVector*, const qoVector*, float, int, float, bool) override {}
    void DebugBox(const qoColor*, const qoVector*, const qoVector*, const qoVector*, const qoVector*,
                  float, bool) override {}
    void DebugSphere(const qoColor*, const qoVector*, float, float, bool) override {}
    void Reserved45() override {}
    void DebugText(const char*, const qoVector*, const qoVector*, float, int, bool, bool, float) override {}
    void DebugBounds(const qoColor*, const qoVector*, const qoVector*, float) override {}
    void Reserved48() override {}
    void SetCvarString(const char* name, const char* value) override { cvars_[name] = value; }
    void SetCvarBool(const char* name, bool value) override { cvars_[name] = value ? "1" : "0"; }
    void SetCvarInt(const char* name, int32_t value) override { cvars_[name] = std::to_string(value); }
    void SetCvarFloat(const char* name, float value) override { cvars_[name] = std::to_string(value); }
    const char* GetCvarString(const char* name, const char* defaultValue, const char*, int) override;
    bool GetCvarBool(const char* name, bool defaultValue) override;
    int32_t GetCvarInt(const char* name, int32_t defaultValue) override;
    float GetCvarFloat(const char* name, float defaultValue) override;
    uint32_t SpawnEntityFromDef(const void*) override { return 0; }
    void Reserved58() override {}
    // Traces: nothing in this world blocks a line.
    int32_t StartTrace(const qoVector*, const qoVector*, uint32_t, uint32_t) override { return 1; }
    void GetTraceResult(int32_t, float* fraction, qoVector* normal, uint32_t* hitEntity) override;
    bool IsTraceDone(int32_t) override { return true; }
    void CallScriptFunction(uint32_t entity, const char* functionName) override;
    void Reserved63() override {}
    void Reserved64() override {}
    void Reserved65() override {}
    void Reserved66() override {}
    int32_t NumPlayers() override;
    void Reserved68() override {}
    uint32_t GetPlayer(int32_t index) override;
    void DevWindowItem(const char*, const char*) override {}
    void DevWindowFlush() override {}
    qoStateStream* GetStateStream() override { return &stateStream_; }

private:
    // ---- script threads ----------------------------------------------------------------------
    enum class Wait { Running, Frame, Time, Thread };
    struct Fiber {
        uint32_t id = 0;
        std::string name;
        kvQOObject* object = nullptr;
        qoThreadEntry entry = nullptr;
        void* args = nullptr;
        ucontext_t context{};   // the fiber's own
        ucontext_t resumer{};   // whoever switched to it last
        std::unique_ptr<char[]> stack;
        Wait wait = Wait::Running;
        int64_t dueMs = 0;       // Frame and Time waits: resume at or after this game time
        uint32_t waitFor = 0;    // Thread waits
        uint64_t queued = 0;     // order of suspension, for a stable wake order
        bool ending = false;     // ended: unwinds at its suspension point
        bool finished = false;
    };
    struct ThreadEnd {};  // thrown at the suspension point of an ended thread

    static void FiberMain(unsigned high, unsigned low);
    Fiber* FindFiber(uint32_t id);
    void Resume(Fiber* fiber);
    void Suspend(Wait wait, int64_t dueMs, uint32_t waitFor);
    bool Due(const Fiber& fiber);

    // ---- objects -----------------------------------------------------------------------------
    bool WriteProperty(uint32_t entity, uint32_t index, const char* property, const void* value, size_t size);
    void DestroyObjects(Entity& entity);
    void Say(const std::string& line);  // a console line of the engine's own

    class NullStateStream final : public qoStateStream {
    public:
        void Reserved0() override {}
        void SyncBool(bool*) override {}
        void SyncInt(int32_t*) override {}
        void SyncFloat(float*) override {}
    };

    kvQuorin* module_;
    std::vector<std::unique_ptr<Entity>> entities_;
    std::vector<uint32_t> removed_;  // entities whose objects go at the end of the frame

    std::map<uint32_t, std::unique_ptr<Fiber>> fibers_;  // live threads by id
    Fiber* current_ = nullptr;
    uint32_t nextThread_ = 1;
    uint64_t serial_ = 0;

    struct Block {
        size_t size;
        uint32_t tag;
    };
    std::unordered_map<void*, Block> blocks_;
    uint32_t tag_ = 0;

    struct Result {
        int32_t i = 0;
        float f = 0.0f;
        qoVector v;
        std::string s;
    } result_;

    std::map<std::string, std::string> cvars_;
    std::string console_;
    bool echo_ = false;
    bool lineStart_ = true;
    std::mt19937 random_{1};
    int64_t frame_ = 0;
    int64_t timeMs_ = 0;
    int32_t frameMs_;
    NullStateStream stateStream_;
};

}  // namespace sample
