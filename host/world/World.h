// The reference host world: a headless, deterministic implementation of kvQuorinSystem.
//
// A World owns the entities, the script objects attached to them (created through the module),
// the tagged allocator, the console, the console variables, the game clock, the random number
// generator and a recorder of everything the module asks of it. It serves every host slot;
// reserved slots do nothing.
//
// Start-up with a module: World::Attach(api) calls SetSystem(world), RunRegistrations(), Reset().
// Shut-down: World::Detach() calls Reset() (closes the dev windows), destroys every script
// object (Shutdown, then the deleting destructor with flags 1) and hands the module back the
// host pointer it had before.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/world/Allocator.h"
#include "host/world/Console.h"
#include "host/world/Cvars.h"
#include "host/world/Entity.h"
#include "host/sim/gui/Gui.h"
#include "host/sim/hud/Hud.h"
#include "host/methods/Methods.h"
#include "host/sim/paths/Paths.h"
#include "host/records/Recorder.h"
#include "host/world/Scheduler.h"
#include "host/sim/volumes/Volumes.h"
#include "quorin/kvQuorin.h"
#include "quorin/kvQuorinSystem.h"

namespace qohost {

struct WorldOptions {
    uint32_t seed = 1;                 // random number seed (slots 35 and 36)
    int32_t frameTimeMs = 16;          // fixed frame duration
    bool createWorldEntity = true;     // spawn the entity "world" (host class kvWorldspawn)
    uint32_t initialMemoryTag = 0;     // the host's current memory tag at start
    FILE* echoConsole = nullptr;       // copy console lines (colours removed) here as they come
    bool startInitOnCreate = true;     // run Init as thread "Init" for objects created by slot 2
    SchedulerOptions threads;          // fiber stacks, thread log
    // Keep the whole history: attach `recorder` (every record kind), keep the console's lines
    // and the console variable calls. For tests; a long run (qohost run) turns it off and attaches the sinks it needs.
    bool keepHistory = true;
};

// One trace started through host slot 59, with the result slot 60 reports.
struct Trace {
    qoVector start, end;
    uint32_t contentMask = 0;
    uint32_t ignoreEntity = 0;
    float fraction = 1.0f;
    qoVector normal;
    uint32_t hitEntity = 0;
};

// The stream object of host slot 72: records each member pointer handed to it, or, while a
// checkpoint is saved or loaded (host/level/Checkpoint.h), hands it to `sync` instead.
class StateStream final : public qoStateStream {
public:
    struct Entry {
        char kind;  // 'b' bool, 'i' int, 'f' float
        void* member;
    };
    void Reserved0() override {}
    void SyncBool(bool* member) override { Take({'b', member}); }
    void SyncInt(int32_t* member) override { Take({'i', member}); }
    void SyncFloat(float* member) override { Take({'f', member}); }
    std::vector<Entry> entries;
    std::function<void(const Entry&)> sync;

private:
    void Take(const Entry& e) {
        if (sync) sync(e);
        else entries.push_back(e);
    }
};

class World final : public kvQuorinSystem, private ThreadObserver {
public:
    explicit World(WorldOptions options = {});
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // ---- module -----------------------------------------------------------------------------
    // SetSystem(this), RunRegistrations(), then Reset() when reset is true.
    void Attach(kvQuorin* module, bool reset = true);
    // Reset(), destroy every script object, SetSystem(the pointer the module had before).
    // Does nothing when not attached. The destructor detaches too.
    void Detach();
    kvQuorin* Module() const { return module_; }

    // ---- entities ---------------------------------------------------------------------------
    // Creates an entity; an empty name becomes hostClass + "_" + handle. Names must be unique:
    // a taken name gets "_" + handle appended.
    Entity& SpawnEntity(std::string name, std::string hostClass);
    // Room for `count` more entities, so that spawning as many moves nothing.
    void ReserveEntities(size_t count);
    // Any entity ever created in this world (removed ones too), or null.
    Entity* EntityByHandle(uint32_t handle);
    // Only entities that were not removed.
    Entity* ValidEntity(uint32_t handle);
    Entity* EntityByName(std::string_view name);
    // Live entities of host class kvPlayer (or derived) in creation order (slots 67 and 69).
    const std::vector<uint32_t>& Players() const { return players_; }
    // Removes the entity: it becomes invalid at once; its script objects are shut down and
    // destroyed at the end of the current frame (or at once when destroyNow is true).
    void RemoveEntity(uint32_t handle, bool destroyNow = false);
    // Live entities in creation order.
    std::vector<Entity*> Entities();
    // Entities with a motion to advance each frame (host/sim/movers/Movers.cpp adds them when a move or
    // rotation starts; AdvanceSimulation drops them when it is over).
    void Simulate(Entity& entity);
    std::vector<uint32_t>& SimulatedEntities() { return simulated_; }
    // Replaces the list of simulated entities (a checkpoint puts it back, in its order).
    void SetSimulatedEntities(const std::vector<uint32_t>& handles);
    // The handle the next entity gets; entities spawned later count up from `next` when it
    // is above it (a checkpoint gives its spawned entities their handles back).
    uint32_t NextHandle() const { return nextHandle_; }
    void SkipHandlesTo(uint32_t next) { nextHandle_ = std::max(nextHandle_, next); }
    // Spawned entities whose death their spawner has not heard of yet (host/sim/spawning/Spawning.h).
    std::vector<uint32_t>& SpawnWatched() { return spawnWatched_; }
    // Entities with a sound channel fading over time (host/sim/sound/Sound.h adds them when a fade
    // starts; AdvanceSounds drops them when their fades are over).
    std::vector<uint32_t>& SoundFades() { return soundFades_; }
    // One frame of a per-frame list: calls `advance` on each live entity of the list and keeps
    // those for which it answers true; removed entities drop out.
    template <class Advance>
    void AdvanceList(std::vector<uint32_t>& list, Advance&& advance) {
        size_t kept = 0;
        for (size_t i = 0; i < list.size(); ++i)
            if (Entity* e = ValidEntity(list[i]); e && advance(*e)) list[kept++] = list[i];
        list.resize(kept);
    }
    // Binds: `child` follows `parent` (0 unbinds). The world keeps who is bound to whom, so a
    // move finds the entities it carries without looking at every entity.
    void SetBindParent(Entity& child, uint32_t parent);
    // The live entities bound directly to `parent`, in the order they were bound.
    std::vector<Entity*> BoundTo(uint32_t parent);
    std::vector<Entity*> EntitiesOfClass(std::string_view hostClass);  // includes derived

    // ---- script objects ---------------------------------------------------------------------
    // Creates an object of the class through the module, binds it to the entity (SetEntity)
    // and returns its object index, or kNoObject when the module refused. With `atIndex`, the
    // object takes that index when it is free (a module reload puts objects back where they
    // were); else it gets the next one.
    uint32_t AddScriptObject(Entity& entity, const char* className, uint32_t atIndex = kNoObject);
    kvQOObject* ScriptObject(uint32_t entity, uint32_t objectIndex);
    // First live object of exactly that class on the entity, or kNoObject.
    uint32_t FindObjectIndex(const Entity& entity, std::string_view className) const;
    // Shutdown, then the deleting destructor (slot 48, flags 1).
    void DestroyScriptObject(uint32_t entity, uint32_t objectIndex);
    // Every live object: all Shutdowns first (creation order), then all destructions.
    void DestroyAllObjects();
    size_t LiveObjectCount() const;
    // Objects in creation order as (entity, object index).
    std::vector<std::pair<uint32_t, uint32_t>> ObjectOrder() const;

    // Destroys every object and removes every entity (handles keep counting up); then spawns
    // the "world" entity again when the options ask for it.
    void ClearLevel();

    // ---- decls ------------------------------------------------------------------------------
    const Decl* DefineDecl(std::string type, std::string name, std::string hostClass = "");
    const Decl* FindDecl(std::string_view type, std::string_view name) const;
    bool IsDecl(const void* pointer) const;

    // ---- clock ------------------------------------------------------------------------------
    // Advances one frame: frame counter, game time, then runs due script work and destroys
    // objects of removed entities.
    void RunFrame();
    void RunFrames(int count) { for (int i = 0; i < count; ++i) RunFrame(); }
    uint64_t Frame() const { return frame_; }
    // Game time in milliseconds. Host slot 37 (GameTimeMs) answers it as 32 bits: it stays at
    // INT32_MAX once the game time passes it (after 24.8 days), never wrapping to negative.
    int64_t GameTime() const { return gameTimeMs_; }
    void SetFrameTime(int32_t ms) { frameTimeMs_ = ms; }
    // Sets the clock to a frame and game time, as a checkpoint continued from there does; the
    // next RunFrame advances from it. Script threads keep their wake times.
    void SetClock(uint64_t frame, int64_t gameTimeMs) {
        frame_ = frame;
        gameTimeMs_ = gameTimeMs;
    }
    void Seed(uint32_t seed) { rng_.seed(seed); }
    // The random number generator's whole state as text, and back (false for a text that is
    // not one).
    std::string RandomState() const;
    bool SetRandomState(const std::string& text);

    // ---- recording --------------------------------------------------------------------------
    // Sinks receive the records of the kinds they want from now on, in attachment order.
    void AddSink(RecordSink& sink);
    void RemoveSink(RecordSink& sink);
    // Rereads the sinks' wanted kinds.
    void SinksChanged();
    // True when some sink wants records of this kind: check before building one.
    bool Wants(RecordKind kind) const { return (wanted_ & MaskOf(kind)) != 0; }
    // Stamps the record with the frame, game time and calling thread and hands it to every
    // sink that wants its kind.
    void Emit(qohost::Record record);
    // A record whose text is built up front (rare kinds), about `entity`.
    void Record(RecordKind kind, std::string_view text, uint32_t entity = 0, Severity severity = Severity::None);
    // Thread creations the scheduler refused (stack limit or memory); each is reported on the
    // console.
    uint64_t ThreadFailures() const { return threadFailures_; }
    // Event deliveries running inside one another right now: a handler that activates an entity
    // runs that entity's handlers before it goes on (host/methods/Events.cpp bounds the depth).
    unsigned deliveryDepth = 0;
    // A count that starts again at 0 in every frame: the budgets that bound what one frame may do.
    struct FrameCount {
        uint64_t frame = 0, count = 0;
        uint64_t& In(uint64_t now) {
            if (frame != now) {
                frame = now;
                count = 0;
            }
            return count;
        }
    };
    // Deliveries scripts caused this frame (bounded as well: a loop whose handlers each
    // activate two targets and wait doubles its threads at every step).
    FrameCount scriptDeliveries;
    // Activations relays passed on this frame: a chain is cut at a depth, but relays that each
    // fire two or three relays of the chain fan out to billions well within it.
    FrameCount relayedActivations;
    // Entities spawners spawned this frame: a spawn point that activates itself spawns on
    // every activation, tens of thousands a frame.
    FrameCount spawns;

    Allocator allocator;
    Console console;
    Cvars cvars;
    NameTable names;     // names in records
    Recorder recorder;   // attached when the options keep the history
    MethodResult lastResult;  // filled by the entity methods, read by slots 13 to 15 and 17
    // The most recent traces (at most kKeptTraces); handle = number of traces before it + 1.
    // Results of older handles read as "no hit".
    static constexpr size_t kKeptTraces = 1024;
    std::deque<Trace> traces;
    DevWindowItems devWindowItems;  // since the last flush
    StateStream stateStream;
    Scheduler scheduler;  // script threads (slots 18, 19, 22 to 26, 32 to 34)
    Paths paths;          // walkers and pushed entities (host/sim/paths/Paths.h)
    Volumes volumes;      // volumes that notice crossings (host/sim/volumes/Volumes.h)
    Screen screen;        // one-frame texts on the player's screen (host/sim/hud/Hud.h)
    Panels panels;        // panels changed since the frame began (host/sim/gui/Gui.h)
    // Hurt triggers and the game time of their next hit (host/sim/entities/HostClasses.h).
    std::vector<std::pair<uint32_t, int64_t>> hurtTriggers;

    // ---- kvQuorinSystem ---------------------------------------------------------------------
    void Reserved0() override {}
    uint32_t FindEntity(const char* name) override;
    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override;
    kvQOObject* GetScriptObject(uint32_t entity, uint32_t objectIndex) override;
    const char* GetEntityName(uint32_t entity) override;
    bool EntityIsValid(uint32_t entity) override;
    void Reserved6() override {}
    void Reserved7() override {}
    void Reserved8() override {}
    void Reserved9() override {}
    void Reserved10() override {}
    void Reserved11() override {}
    bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature,
                          void* args) override;
    int32_t GetIntResult() override;
    float GetFloatResult() override;
    void GetVectorResult(float* xyz) override;
    void Reserved16() override {}
    const char* GetStringResult() override;
    uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                          void* args) override;
    uint32_t CreateNetworkThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                                 void* args) override;
    void Reserved20() override {}
    void Reserved21() override {}
    bool GetThreadContext(uint32_t thread, qoThreadContext* out) override;
    void EndThreadsByName(const char* name, kvQOObject* object) override;
    void EndThread(uint32_t thread) override;
    bool IsThreadRunning(uint32_t thread) override;
    uint32_t CurrentThread() override;
    void* Allocate(size_t size, uint32_t tag) override;
    void Free(void* memory, uint32_t tag) override;
    uint32_t GetMemoryTag() override;
    uint32_t SetMemoryTag(uint32_t tag) override;
    void Printf(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void WaitSeconds(float seconds) override;
    void WaitFrame() override;
    void WaitForThread(uint32_t thread) override;
    int32_t RandomInt(int32_t n) override;
    float RandomFloat() override;
    int32_t GameTimeMs() override;
    int32_t FrameTimeMs() override;
    void DebugLine(const qoColor* color, const qoVector* start, const qoVector* end,
                   float lifetime, bool depthTest) override;
    void Reserved40() override {}
    void DebugArrow(const qoColor* color, const qoVector* start, const qoVector* end, int size,
                    float lifetime) override;
    void DebugCircle(const qoColor* color, const qoVector* origin, const qoVector* dir,
                     float radius, int points, float lifetime, bool depthTest) override;
    void DebugBox(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                  const qoVector* origin, const qoVector* angles, float lifetime,
                  bool depthTest) override;
    void DebugSphere(const qoColor* color, const qoVector* origin, float radius, float lifetime,
                     bool depthTest) override;
    void Reserved45() override {}
    void DebugText(const char* text, const qoVector* rgb, const qoVector* position, float scale,
                   int alignment, bool flag1, bool flag2, float lifetime) override;
    void DebugBounds(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                     float lifetime) override;
    void Reserved48() override {}
    void SetCvarString(const char* name, const char* value) override;
    void SetCvarBool(const char* name, bool value) override;
    void SetCvarInt(const char* name, int32_t value) override;
    void SetCvarFloat(const char* name, float value) override;
    const char* GetCvarString(const char* name, const char* defaultValue, const char* reserved,
                              int zero) override;
    bool GetCvarBool(const char* name, bool defaultValue) override;
    int32_t GetCvarInt(const char* name, int32_t defaultValue) override;
    float GetCvarFloat(const char* name, float defaultValue) override;
    uint32_t SpawnEntityFromDef(const void* entityDef) override;
    void Reserved58() override {}
    int32_t StartTrace(const qoVector* start, const qoVector* end, uint32_t contentMask,
                       uint32_t ignoreEntity) override;
    void GetTraceResult(int32_t trace, float* fraction, qoVector* normal,
                        uint32_t* hitEntity) override;
    bool IsTraceDone(int32_t trace) override;
    void CallScriptFunction(uint32_t entity, const char* functionName) override;
    void Reserved63() override {}
    void Reserved64() override {}
    void Reserved65() override {}
    void Reserved66() override {}
    int32_t NumPlayers() override;
    void Reserved68() override {}
    uint32_t GetPlayer(int32_t index) override;
    void DevWindowItem(const char* name, const char* value) override;
    void DevWindowFlush() override;
    qoStateStream* GetStateStream() override;

private:
    // Thread hooks: called around object destruction and every frame.
    void EndThreadsOf(kvQOObject* object);
    ThreadOwner OwnerOf(kvQOObject* object);
    void OnThreadEvent(const ThreadEvent& event, const ThreadInfo& thread) override;
    uint32_t StartThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args,
                         bool network);
    uint32_t StartInit(kvQOObject* object, ThreadOwner owner);
    void ThreadFailed(const char* name, ThreadOwner owner);
    void Draw(const DebugDraw& draw);
    void RunScheduledWork();
    // The last none an entity method answered a thread, and what the script asked for.
    struct NoneFrom {
        uint32_t thread = 0;
        std::string what;  // "targets[5] of ticker"
    } noneFrom_;
    void DestroyPendingObjects();
    void FreeRemoved(uint32_t handle);
    void ShutdownAndDestroy(std::vector<std::pair<uint32_t, uint32_t>> objects);

    WorldOptions options_;
    kvQuorin* module_ = nullptr;
    kvQuorinSystem* previousSystem_ = nullptr;

    // Entities by handle: entities_[handle - firstHandle_] (removed ones stay, as null names).
    std::vector<std::unique_ptr<Entity>> entities_;
    uint32_t firstHandle_ = 1;
    std::unordered_map<std::string, uint32_t> entityNames_;  // live entities only
    std::vector<uint32_t> players_;
    std::vector<uint32_t> simulated_;
    std::vector<uint32_t> spawnWatched_;
    std::vector<uint32_t> soundFades_;
    std::unordered_map<uint32_t, std::vector<uint32_t>> bindChildren_;  // parent -> children
    uint32_t nextHandle_ = 1;
    // Live objects in creation order: a destroyed one leaves a hole until the next compaction.
    struct ObjectRef {
        uint32_t entity, index;
        bool live;
    };
    std::vector<ObjectRef> objectOrder_;
    size_t liveObjects_ = 0;
    std::vector<uint32_t> pendingRemoval_;                      // entities whose objects go at frame end
    uint64_t tracesStarted_ = 0;

    std::vector<RecordSink*> sinks_;
    RecordMask wanted_ = 0;
    uint64_t threadFailures_ = 0;

    std::map<std::pair<std::string, std::string>, std::unique_ptr<Decl>> decls_;

    uint64_t frame_ = 0;
    int64_t gameTimeMs_ = 0;
    int32_t frameTimeMs_ = 16;
    std::mt19937 rng_;
};

}  // namespace qohost
