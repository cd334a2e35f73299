#include "host/world/World.h"

#include <strings.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstring>
#include <sstream>

#include "host/level/Level.h"
#include "host/records/Outcomes.h"
#include "host/records/Traces.h"
#include "host/sim/entities/HostClasses.h"
#include "quorin/kvQOObject.h"

namespace qohost {

namespace {

std::string VectorText(const qoVector* v) {
    if (!v) return "(null)";
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%g %g %g)", v->x, v->y, v->z);
    return buf;
}

qoVector Value(const qoVector* v) { return v ? *v : qoVector{}; }
qoColor Value(const qoColor* c) { return c ? *c : qoColor{}; }
const char* Text(const char* s) { return s ? s : ""; }

}  // namespace

World::World(WorldOptions options)
    : scheduler(options.threads), options_(options), frameTimeMs_(options.frameTimeMs), rng_(options.seed) {
    allocator.SetTag(options.initialMemoryTag);
    console.EchoTo(options.echoConsole);
    console.KeepLines(options.keepHistory);
    cvars.KeepCalls(options.keepHistory);
    if (options.keepHistory) AddSink(recorder);
    if (options_.createWorldEntity) SpawnEntity("world", "kvWorldspawn");
}

World::~World() {
    Detach();
    scheduler.EndAll();
}

// ---- module ---------------------------------------------------------------------------------

void World::Attach(kvQuorin* module, bool reset) {
    if (!module) return;
    if (module_) Detach();
    module_ = module;
    previousSystem_ = module->SetSystem(this);
    Record(RecordKind::Module, "SetSystem");
    module->RunRegistrations();
    Record(RecordKind::Module, "RunRegistrations");
    if (reset) {
        module->Reset();
        Record(RecordKind::Module, "Reset");
    }
}

void World::Detach() {
    if (!module_) return;
    module_->Reset();  // closes the dev windows while the host is still attached
    Record(RecordKind::Module, "Reset");
    DestroyAllObjects();
    scheduler.EndAll();  // threads without an object of this world
    module_->SetSystem(previousSystem_);
    Record(RecordKind::Module, "detached");
    module_ = nullptr;
    previousSystem_ = nullptr;
}

// ---- entities -------------------------------------------------------------------------------

Entity& World::SpawnEntity(std::string name, std::string hostClass) {
    const uint32_t handle = nextHandle_++;
    if (name.empty()) name = hostClass + "_" + std::to_string(handle);
    if (entities_.empty()) firstHandle_ = handle;
    entities_.resize(handle - firstHandle_ + 1);
    auto& slot = entities_[handle - firstHandle_];
    slot = std::make_unique<Entity>();
    Entity& ref = *slot;
    ref.handle = handle;
    // One lookup for the usual fresh name; a name already taken gets the handle appended.
    if (!entityNames_.try_emplace(name, handle).second) {
        name += "_" + std::to_string(handle);
        entityNames_.emplace(name, handle);
    }
    ref.name = std::move(name);
    ref.SetHostClass(std::move(hostClass));
    static const HostClassRow kHurt = HostClassRowOf("kvTriggerHurt"), kPlayer = HostClassRowOf("kvPlayer");
    if (ref.IsA(kHurt)) hurtTriggers.emplace_back(handle, 0);
    if (ref.IsA(kPlayer)) players_.push_back(handle);
    if (Wants(RecordKind::Entity))
        Record(RecordKind::Entity,
               "spawn " + ref.name + " (" + ref.hostClass + ") #" + std::to_string(handle), handle);
    return ref;
}

void World::ReserveEntities(size_t count) {
    entities_.reserve(entities_.size() + count);
    entityNames_.reserve(entityNames_.size() + count);
}

Entity* World::EntityByHandle(uint32_t handle) {
    if (handle < firstHandle_ || handle - firstHandle_ >= entities_.size()) return nullptr;
    return entities_[handle - firstHandle_].get();
}

Entity* World::ValidEntity(uint32_t handle) {
    Entity* e = EntityByHandle(handle);
    return e && !e->removed ? e : nullptr;
}

Entity* World::EntityByName(std::string_view name) {
    auto it = entityNames_.find(std::string(name));
    return it == entityNames_.end() ? nullptr : ValidEntity(it->second);
}

void World::RemoveEntity(uint32_t handle, bool destroyNow) {
    Entity* e = ValidEntity(handle);
    if (!e) return;
    e->removed = true;
    entityNames_.erase(e->name);
    if (auto it = std::find(players_.begin(), players_.end(), handle); it != players_.end())
        players_.erase(it);
    if (Wants(RecordKind::Entity)) Record(RecordKind::Entity, "remove " + e->name, handle);
    // Its children keep the handle of their gone parent, and follow nothing.
    if (auto it = bindChildren_.find(e->bindParent); it != bindChildren_.end()) std::erase(it->second, handle);
    bindChildren_.erase(handle);
    if (destroyNow) {
        std::vector<std::pair<uint32_t, uint32_t>> objects;
        for (uint32_t i = 0; i < e->objects.size(); ++i)
            if (e->objects[i].object) objects.emplace_back(handle, i);
        ShutdownAndDestroy(std::move(objects));
        FreeRemoved(handle);
    } else {
        pendingRemoval_.push_back(handle);
    }
}

std::vector<Entity*> World::Entities() {
    std::vector<Entity*> out;
    for (auto& e : entities_)
        if (e && !e->removed) out.push_back(e.get());
    return out;
}

std::vector<Entity*> World::EntitiesOfClass(std::string_view hostClass) {
    std::vector<Entity*> out;
    for (auto& e : entities_)
        if (e && !e->removed && HostClassIsA(e->hostClass, hostClass)) out.push_back(e.get());
    return out;
}

void World::SetBindParent(Entity& child, uint32_t parent) {
    if (child.bindParent == parent) return;
    if (child.bindParent != 0) {
        auto it = bindChildren_.find(child.bindParent);
        if (it != bindChildren_.end()) {
            std::erase(it->second, child.handle);
            if (it->second.empty()) bindChildren_.erase(it);
        }
    }
    child.bindParent = parent;
    if (parent != 0) bindChildren_[parent].push_back(child.handle);
}

std::vector<Entity*> World::BoundTo(uint32_t parent) {
    std::vector<Entity*> children;
    auto it = bindChildren_.find(parent);
    if (it == bindChildren_.end()) return children;
    for (uint32_t handle : it->second)
        if (Entity* child = ValidEntity(handle); child && child->handle != parent) children.push_back(child);
    return children;
}

void World::Simulate(Entity& entity) {
    if (entity.simulated) return;
    entity.simulated = true;
    simulated_.push_back(entity.handle);
}

void World::SetSimulatedEntities(const std::vector<uint32_t>& handles) {
    for (uint32_t handle : simulated_)
        if (Entity* e = EntityByHandle(handle)) e->simulated = false;
    simulated_.clear();
    for (uint32_t handle : handles)
        if (Entity* e = ValidEntity(handle)) Simulate(*e);
}

std::string World::RandomState() const {
    std::ostringstream text;
    text << rng_;
    return text.str();
}

bool World::SetRandomState(const std::string& text) {
    std::istringstream in(text);
    std::mt19937 state;
    if (!(in >> state)) return false;
    rng_ = state;
    return true;
}

// ---- script objects -------------------------------------------------------------------------

uint32_t World::AddScriptObject(Entity& entity, const char* className, uint32_t atIndex) {
    if (!module_ || !className || entity.removed) return kNoObject;
    kvQOObject* object = module_->CreateObject(className);
    if (!object) {
        if (Wants(RecordKind::Object))
            Record(RecordKind::Object, "create " + entity.name + "." + className + " refused",
                   entity.handle);
        return kNoObject;
    }
    object->SetEntity(entity.handle);
    const bool free = atIndex != kNoObject && (atIndex >= entity.objects.size() || !entity.objects[atIndex].object);
    const auto index = free ? atIndex : static_cast<uint32_t>(entity.objects.size());
    if (index >= entity.objects.size()) entity.objects.resize(index + 1);
    entity.objects[index] = {object, className, objectOrder_.size()};
    objectOrder_.push_back({entity.handle, index, true});
    ++liveObjects_;
    if (Wants(RecordKind::Object))
        Record(RecordKind::Object,
               "create " + entity.name + "." + className + " #" + std::to_string(index),
               entity.handle);
    return index;
}

kvQOObject* World::ScriptObject(uint32_t entity, uint32_t objectIndex) {
    Entity* e = EntityByHandle(entity);
    if (!e || objectIndex >= e->objects.size()) return nullptr;
    return e->objects[objectIndex].object;
}

uint32_t World::FindObjectIndex(const Entity& entity, std::string_view className) const {
    for (uint32_t i = 0; i < entity.objects.size(); ++i)
        if (entity.objects[i].object && entity.objects[i].className == className) return i;
    return kNoObject;
}

void World::DestroyScriptObject(uint32_t entity, uint32_t objectIndex) {
    if (ScriptObject(entity, objectIndex)) ShutdownAndDestroy({{entity, objectIndex}});
}

void World::ShutdownAndDestroy(std::vector<std::pair<uint32_t, uint32_t>> objects) {
    // Shutdown hooks may reach other objects, so every hook runs before anything is freed.
    for (const auto& [entity, index] : objects)
        if (kvQOObject* object = ScriptObject(entity, index)) object->Shutdown();
    for (const auto& [entity, index] : objects) {
        kvQOObject* object = ScriptObject(entity, index);
        if (!object) continue;
        EndThreadsOf(object);
        Entity* e = EntityByHandle(entity);
        ScriptObjectSlot& slot = e->objects[index];
        slot.object = nullptr;
        objectOrder_[slot.order].live = false;
        --liveObjects_;
        object->Destroy(1);
        if (Wants(RecordKind::Object))
            Record(RecordKind::Object,
                   "destroy " + e->name + "." + slot.className + " #" + std::to_string(index),
                   entity);
    }
    // Drop the holes once they outnumber the live objects.
    if (objectOrder_.size() > 64 && liveObjects_ < objectOrder_.size() / 2) {
        size_t kept = 0;
        for (const ObjectRef& ref : objectOrder_) {
            if (!ref.live) continue;
            EntityByHandle(ref.entity)->objects[ref.index].order = kept;
            objectOrder_[kept++] = ref;
        }
        objectOrder_.resize(kept);
    }
}

std::vector<std::pair<uint32_t, uint32_t>> World::ObjectOrder() const {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    out.reserve(liveObjects_);
    for (const ObjectRef& ref : objectOrder_)
        if (ref.live) out.emplace_back(ref.entity, ref.index);
    return out;
}

void World::DestroyAllObjects() {
    // Shutdown hooks may create objects; go round until none is left (bounded).
    for (int round = 0; round < 8 && liveObjects_ > 0; ++round) ShutdownAndDestroy(ObjectOrder());
    pendingRemoval_.clear();
}

size_t World::LiveObjectCount() const { return liveObjects_; }

void World::ClearLevel() {
    DestroyAllObjects();
    scheduler.EndAll();
    entities_.clear();
    entityNames_.clear();
    players_.clear();
    simulated_.clear();
    soundFades_.clear();
    bindChildren_.clear();
    objectOrder_.clear();
    pendingRemoval_.clear();
    traces.clear();
    Record(RecordKind::Level, "cleared");
    if (options_.createWorldEntity) SpawnEntity("world", "kvWorldspawn");
}

void World::DestroyPendingObjects() {
    std::vector<uint32_t> removed;
    removed.swap(pendingRemoval_);
    for (uint32_t handle : removed) {
        Entity* e = EntityByHandle(handle);
        if (!e) continue;
        std::vector<std::pair<uint32_t, uint32_t>> objects;
        for (uint32_t i = 0; i < e->objects.size(); ++i)
            if (e->objects[i].object) objects.emplace_back(handle, i);
        ShutdownAndDestroy(std::move(objects));
        FreeRemoved(handle);
    }
}

// A removed entity whose objects are gone keeps what logs name it by (handle, name, host class)
// and its empty object slots; the state of its methods and its level key/values are freed.
void World::FreeRemoved(uint32_t handle) {
    Entity* e = EntityByHandle(handle);
    if (!e || !e->removed) return;
    e->methods.Reset();
    std::map<std::string, std::string>().swap(e->spawnArgs);
}

// ---- decls ----------------------------------------------------------------------------------

const Decl* World::DefineDecl(std::string type, std::string name, std::string hostClass) {
    auto& slot = decls_[{type, name}];
    if (!slot) {
        slot = std::make_unique<Decl>();
        slot->type = std::move(type);
        slot->name = std::move(name);
    }
    if (!hostClass.empty()) slot->hostClass = std::move(hostClass);
    return slot.get();
}

const Decl* World::FindDecl(std::string_view type, std::string_view name) const {
    auto it = decls_.find({std::string(type), std::string(name)});
    return it == decls_.end() ? nullptr : it->second.get();
}

bool World::IsDecl(const void* pointer) const {
    for (const auto& [key, decl] : decls_)
        if (decl.get() == pointer) return true;
    return false;
}

// ---- clock and recording --------------------------------------------------------------------

void World::RunFrame() {
    ++frame_;
    // Saturating: a frame time from a file never wraps the clock.
    gameTimeMs_ = gameTimeMs_ > INT64_MAX - frameTimeMs_ ? INT64_MAX : gameTimeMs_ + frameTimeMs_;
    AdvanceSimulation(*this);  // movers and rotations (host/methods/Methods.cpp)
    paths.Advance(*this);      // walkers and pushes, then the crossings they cause
    volumes.Advance(*this);
    AdvanceHostClasses(*this);  // hurt triggers
    RunScheduledWork();
    DestroyPendingObjects();
}

void World::AddSink(RecordSink& sink) {
    if (std::find(sinks_.begin(), sinks_.end(), &sink) == sinks_.end()) sinks_.push_back(&sink);
    SinksChanged();
}

void World::RemoveSink(RecordSink& sink) {
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), &sink), sinks_.end());
    SinksChanged();
}

void World::SinksChanged() {
    wanted_ = 0;
    for (const RecordSink* sink : sinks_) wanted_ |= sink->wants;
    // The scheduler describes its threads' lives only when someone listens.
    scheduler.SetObserver(Wants(RecordKind::Thread) ? this : nullptr);
}

void World::Emit(qohost::Record record) {
    if (!Wants(record.kind)) return;
    record.frame = frame_;
    record.timeMs = gameTimeMs_;
    record.thread = CurrentThread();
    for (RecordSink* sink : sinks_)
        if (sink->wants & MaskOf(record.kind)) sink->Take(record);
}

void World::Record(RecordKind kind, std::string_view text, uint32_t entity, Severity severity) {
    if (!Wants(kind)) return;
    qohost::Record r;
    r.kind = kind;
    r.severity = severity;
    r.entity = entity;
    r.text = text;
    Emit(r);
}

// ---- script threads -------------------------------------------------------------------------
// Slots 18, 19, 22 to 26 and 32 to 34 are the scheduler's (host/world/Scheduler.h).

void World::RunScheduledWork() {
    const int64_t us = gameTimeMs_ > INT64_MAX / 1000 ? INT64_MAX : gameTimeMs_ * 1000;
    scheduler.RunFrame(static_cast<uint32_t>(frame_), us);
}
void World::EndThreadsOf(kvQOObject* object) { scheduler.EndThreadsOf(object); }

// The entity and object index of an object of this world; kNoObject when it has none here.
ThreadOwner World::OwnerOf(kvQOObject* object) {
    const uint32_t entity = object ? object->GetEntity() : 0;
    if (Entity* e = EntityByHandle(entity))
        for (uint32_t i = 0; i < e->objects.size(); ++i)
            if (e->objects[i].object == object) return {entity, i};
    return {entity, kNoObject};
}

void World::OnThreadEvent(const ThreadEvent& event, const ThreadInfo& thread) {
    const ThreadRecord detail{event, thread};
    qohost::Record r;
    r.kind = RecordKind::Thread;
    r.entity = thread.owner.entity;
    r.number = static_cast<int32_t>(event.thread);
    if (event.kind == ThreadEvent::Kind::Start) r.name = names.Intern(thread.name);
    r.detail = &detail;
    r.format = &FormatThreadRecord;
    Emit(r);
}

uint32_t World::CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args) {
    return StartThread(name, object, entry, args, false);
}
uint32_t World::CreateNetworkThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                                    void* args) {
    return StartThread(name, object, entry, args, true);
}

uint32_t World::StartThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args,
                            bool network) {
    const ThreadOwner owner = OwnerOf(object);
    const uint32_t id = scheduler.Create(name, object, entry, args, owner, network);
    if (id == 0 && entry) ThreadFailed(name, owner);
    return id;
}

uint32_t World::StartInit(kvQOObject* object, ThreadOwner owner) {
    const uint32_t id = scheduler.StartInit(object, owner);
    if (id == 0) ThreadFailed("Init", owner);
    return id;
}

// A thread the scheduler could not create: said on the console (the first few), counted always.
void World::ThreadFailed(const char* name, ThreadOwner owner) {
    constexpr uint64_t kReported = 10;
    if (++threadFailures_ > kReported) return;
    std::string where = "entity #" + std::to_string(owner.entity);
    if (const Entity* e = EntityByHandle(owner.entity)) {
        where = e->name;
        if (owner.objectIndex < e->objects.size()) where += "." + e->objects[owner.objectIndex].className;
    }
    Printf("^1qohost: script thread \"%s\" on %s was not created: %s^0\n", name ? name : "",
           where.c_str(), scheduler.LastCreateError().c_str());
    if (threadFailures_ == kReported)
        Printf("^1qohost: further script threads that cannot be created are counted, not reported^0\n");
}
bool World::GetThreadContext(uint32_t thread, qoThreadContext* out) { return scheduler.GetContext(thread, out); }
void World::EndThreadsByName(const char* name, kvQOObject* object) { scheduler.EndByName(name, object); }
void World::EndThread(uint32_t thread) { scheduler.End(thread); }
bool World::IsThreadRunning(uint32_t thread) { return scheduler.IsRunning(thread); }
uint32_t World::CurrentThread() { return scheduler.Current(); }
void World::WaitSeconds(float seconds) { scheduler.WaitSeconds(seconds); }
void World::WaitFrame() { scheduler.WaitFrame(); }
void World::WaitForThread(uint32_t thread) { scheduler.WaitForThread(thread); }

// ---- entities and objects (slots 1 to 5) ----------------------------------------------------

uint32_t World::FindEntity(const char* name) {
    if (!name) return 0;
    Entity* e = EntityByName(name);
    return e ? e->handle : 0;
}

uint32_t World::FindScriptObject(uint32_t entity, const char* className, int create) {
    Entity* e = ValidEntity(entity);
    if (!e || !className) return kNoObject;
    uint32_t index = FindObjectIndex(*e, className);
    // An object of a derived class answers for its base classes too (IsClass, which ignores
    // case; a case variant of the object's own class name is still no match).
    for (uint32_t i = 0; index == kNoObject && i < e->objects.size(); ++i)
        if (e->objects[i].object && strcasecmp(e->objects[i].className.c_str(), className) != 0 &&
            e->objects[i].object->IsClass(className))
            index = i;
    if (index != kNoObject || create == 0) return index;
    index = AddScriptObject(*e, className);
    kvQOObject* object = index != kNoObject ? ScriptObject(entity, index) : nullptr;
    if (object) FillDeclDefaults(*this, *object);  // as a level's objects get them
    if (object && options_.startInitOnCreate) StartInit(object, {entity, index});
    return index;
}

kvQOObject* World::GetScriptObject(uint32_t entity, uint32_t objectIndex) {
    return ValidEntity(entity) ? ScriptObject(entity, objectIndex) : nullptr;
}

namespace {
// Marks noneFrom_ after a call on its none failed: the module's failure warning, which asks for
// the entity's name next, names what the script asked for ("targets[5] of ticker.Activate
// failed.").
constexpr uint32_t kCallJustFailed = 0x80000000u;
}  // namespace

const char* World::GetEntityName(uint32_t entity) {
    if (entity == 0 && noneFrom_.thread == (CurrentThread() | kCallJustFailed)) {
        noneFrom_.thread = 0;  // once; the text stays until the next none replaces it
        return noneFrom_.what.c_str();
    }
    Entity* e = EntityByHandle(entity);
    return e ? e->name.c_str() : "";
}

bool World::EntityIsValid(uint32_t entity) { return ValidEntity(entity) != nullptr; }

// ---- entity methods (slots 12 to 17) --------------------------------------------------------

bool World::CallEntityMethod(uint32_t entity, int32_t method, const char* signature, void* args) {
    lastResult = MethodResult{};
    Entity* e = ValidEntity(entity);
    const uint32_t thread = CurrentThread();
    if (!e) {
        // "relay2.Activate failed: the entity was removed", "Activate on targets[5] of ticker
        // failed: no such entity" (a none the thread was just handed), "#0.GetTarget failed: no
        // such entity"
        if (Wants(RecordKind::Method)) {
            const char* known = MethodName(method);
            const std::string name = known ? std::string(known) : "#" + std::to_string(method);
            const Entity* gone = EntityByHandle(entity);
            Record(RecordKind::Method,
                   gone ? gone->name + "." + name + " failed: the entity was removed"
                   : entity == 0 && noneFrom_.thread == thread && !noneFrom_.what.empty()
                       ? name + " on " + noneFrom_.what + " failed: no such entity"
                       : "#" + std::to_string(entity) + "." + name + " failed: no such entity",
                   entity);
        }
        if (entity == 0 && noneFrom_.thread == thread && !noneFrom_.what.empty()) noneFrom_.thread = thread | kCallJustFailed;
        return false;
    }
    const bool done = DispatchMethod(*this, *e, method, signature, args, lastResult);
    // Where the thread's next none comes from: an entity method that answered none.
    if (MethodReturnsEntity(method) && (!done || lastResult.i == 0)) {
        int32_t index = 0;
        if (signature && std::string_view(signature) == "i" && args) std::memcpy(&index, args, sizeof index);
        const char* known = MethodName(method);
        noneFrom_ = {thread, std::string_view(known) == "GetTarget"
                                 ? "targets[" + std::to_string(index) + "] of " + e->name
                                 : "what " + e->name + "." + known + " answered"};
    } else if ((noneFrom_.thread & ~kCallJustFailed) == thread) {
        noneFrom_ = {};
    }
    return done;
}

int32_t World::GetIntResult() { return lastResult.i; }
float World::GetFloatResult() { return lastResult.f; }
void World::GetVectorResult(float* xyz) {
    if (!xyz) return;
    xyz[0] = lastResult.v.x;
    xyz[1] = lastResult.v.y;
    xyz[2] = lastResult.v.z;
}
const char* World::GetStringResult() { return lastResult.s.c_str(); }

// ---- memory, console, random, clock (slots 27 to 38) ----------------------------------------

void* World::Allocate(size_t size, uint32_t tag) { return allocator.Allocate(size, tag); }
void World::Free(void* memory, uint32_t tag) { allocator.Free(memory, tag); }
uint32_t World::GetMemoryTag() { return allocator.GetTag(); }
uint32_t World::SetMemoryTag(uint32_t tag) { return allocator.SetTag(tag); }

void World::Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = console.Vprintf(format, args);
    va_end(args);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    Record(RecordKind::Console, text);
    RecordMusicState(*this, text);
}

int32_t World::RandomInt(int32_t n) {
    if (n <= 0) return 0;
    return static_cast<int32_t>((static_cast<uint64_t>(rng_()) * static_cast<uint64_t>(n)) >> 32);
}

float World::RandomFloat() { return static_cast<float>(rng_() >> 8) * (1.0f / 16777216.0f); }

int32_t World::GameTimeMs() {
    return gameTimeMs_ > INT32_MAX ? INT32_MAX : static_cast<int32_t>(gameTimeMs_);
}
int32_t World::FrameTimeMs() { return frameTimeMs_; }

// ---- debug drawing (slots 39, 41 to 47) -----------------------------------------------------

void World::DebugLine(const qoColor* color, const qoVector* start, const qoVector* end,
                      float lifetime, bool depthTest) {
    if (!Wants(RecordKind::Draw)) return;
    Draw({frame_, "line", "", Value(color), Value(start), Value(end), {}, {}, 0, 0, 0, lifetime,
          depthTest});
}

void World::DebugArrow(const qoColor* color, const qoVector* start, const qoVector* end, int size,
                       float lifetime) {
    if (!Wants(RecordKind::Draw)) return;
    Draw({frame_, "arrow", "", Value(color), Value(start), Value(end), {}, {}, 0, 0, size, lifetime,
          false});
}

void World::DebugCircle(const qoColor* color, const qoVector* origin, const qoVector* dir,
                        float radius, int points, float lifetime, bool depthTest) {
    if (!Wants(RecordKind::Draw)) return;
    Draw({frame_, "circle", "", Value(color), Value(origin), Value(dir), {}, {}, radius, 0, points,
          lifetime, depthTest});
}

void World::DebugBox(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                     const qoVector* origin, const qoVector* angles, float lifetime,
                     bool depthTest) {
    if (!Wants(RecordKind::Draw)) return;
    Draw({frame_, "box", "", Value(color), Value(mins), Value(maxs), Value(origin), Value(angles), 0,
          0, 0, lifetime, depthTest});
}

void World::DebugSphere(const qoColor* color, const qoVector* origin, float radius,
                        float lifetime, bool depthTest) {
    if (!Wants(RecordKind::Draw)) return;
    Draw({frame_, "sphere", "", Value(color), Value(origin), {}, {}, {}, radius, 0, 0, lifetime,
          depthTest});
}

void World::DebugText(const char* text, const qoVector* rgb, const qoVector* position,
                      float scale, int alignment, bool, bool, float lifetime) {
    if (lifetime == 0.0f) screen.Note(frame_, Text(text));
    if (!Wants(RecordKind::Draw)) return;
    const qoVector c = Value(rgb);
    Draw({frame_, "text", Text(text), qoColor{c.x, c.y, c.z, 1.0f}, Value(position), {}, {}, {}, 0,
          scale, alignment, lifetime, false});
}

void World::DebugBounds(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                        float lifetime) {
    if (!Wants(RecordKind::Draw)) return;
    Draw({frame_, "bounds", "", Value(color), Value(mins), Value(maxs), {}, {}, 0, 0, 0, lifetime,
          false});
}

void World::Draw(const DebugDraw& draw) {
    qohost::Record r;
    r.kind = RecordKind::Draw;
    r.detail = &draw;
    r.format = [](const qohost::Record& record, std::string& out) {
        const DebugDraw& d = *static_cast<const DebugDraw*>(record.detail);
        const std::string a = VectorText(&d.a), b = VectorText(&d.b);
        if (d.shape == "circle" || d.shape == "sphere") out += d.shape + " " + a + " r=" + std::to_string(d.radius);
        else if (d.shape == "box") out += "box " + a + " " + b + " at " + VectorText(&d.c);
        else if (d.shape == "text") out += "text \"" + d.text + "\" at " + a;
        else out += d.shape + " " + a + " " + b;
    };
    Emit(r);
}

// ---- console variables (slots 49 to 56) -----------------------------------------------------

void World::SetCvarString(const char* name, const char* value) {
    cvars.SetString(name, value);
    if (Wants(RecordKind::Cvar))
        Record(RecordKind::Cvar, std::string("set ") + Text(name) + " \"" + Text(value) + "\"");
}
void World::SetCvarBool(const char* name, bool value) {
    cvars.SetBool(name, value);
    if (Wants(RecordKind::Cvar))
        Record(RecordKind::Cvar, std::string("set ") + Text(name) + " " + Cvars::FormatBool(value));
}
void World::SetCvarInt(const char* name, int32_t value) {
    cvars.SetInt(name, value);
    if (Wants(RecordKind::Cvar))
        Record(RecordKind::Cvar, std::string("set ") + Text(name) + " " + Cvars::FormatInt(value));
}
void World::SetCvarFloat(const char* name, float value) {
    cvars.SetFloat(name, value);
    if (Wants(RecordKind::Cvar))
        Record(RecordKind::Cvar, std::string("set ") + Text(name) + " " + Cvars::FormatFloat(value));
}
const char* World::GetCvarString(const char* name, const char* defaultValue, const char*, int) {
    return cvars.GetString(name, defaultValue);
}
bool World::GetCvarBool(const char* name, bool defaultValue) { return cvars.GetBool(name, defaultValue); }
int32_t World::GetCvarInt(const char* name, int32_t defaultValue) { return cvars.GetInt(name, defaultValue); }
float World::GetCvarFloat(const char* name, float defaultValue) { return cvars.GetFloat(name, defaultValue); }

// ---- spawning, traces, script functions (slots 57 to 62) ------------------------------------

uint32_t World::SpawnEntityFromDef(const void* entityDef) {
    if (!entityDef || !IsDecl(entityDef)) {
        Record(RecordKind::Entity, "spawn from unknown decl refused");
        return 0;
    }
    const Decl& decl = *static_cast<const Decl*>(entityDef);
    Entity& e = SpawnEntity(decl.name + "_" + std::to_string(nextHandle_),
                            decl.hostClass.empty() ? "kvEntity" : decl.hostClass);
    e.spawnArgs = decl.args;
    return e.handle;
}

int32_t World::StartTrace(const qoVector* start, const qoVector* end, uint32_t contentMask,
                          uint32_t ignoreEntity) {
    Trace t;
    t.start = Value(start);
    t.end = Value(end);
    t.contentMask = contentMask;
    t.ignoreEntity = ignoreEntity;
    RunTrace(*this, t);
    traces.push_back(t);
    if (traces.size() > kKeptTraces) traces.pop_front();
    ++tracesStarted_;
    if (Wants(RecordKind::Trace))
        Record(RecordKind::Trace, "start " + VectorText(start) + " " + VectorText(end));
    return tracesStarted_ > INT32_MAX ? INT32_MAX : static_cast<int32_t>(tracesStarted_);
}

void World::GetTraceResult(int32_t trace, float* fraction, qoVector* normal, uint32_t* hitEntity) {
    Trace none;
    const uint64_t oldest = tracesStarted_ - traces.size() + 1;  // handle of traces.front()
    const Trace& t = trace >= 1 && static_cast<uint64_t>(trace) >= oldest &&
                             static_cast<uint64_t>(trace) <= tracesStarted_
                         ? traces[static_cast<uint64_t>(trace) - oldest]
                         : none;
    if (fraction) *fraction = t.fraction;
    if (normal) *normal = t.normal;
    if (hitEntity) *hitEntity = t.hitEntity;
}

// Traces complete at once (host/records/Traces.h); an unknown handle also reads as done so that no poll
// loop hangs.
bool World::IsTraceDone(int32_t) { return true; }

void World::CallScriptFunction(uint32_t entity, const char* functionName) {
    Entity* e = ValidEntity(entity);
    if (Wants(RecordKind::Script)) Record(RecordKind::Script, std::string("call ") + (e ? e->name : std::to_string(entity)) + "." +
                         Text(functionName));
    if (!e || !functionName) return;
    std::vector<kvQOObject*> objects;
    for (const ScriptObjectSlot& slot : e->objects)
        if (slot.object) objects.push_back(slot.object);
    for (kvQOObject* object : objects)
        if (qoThreadEntry entry = object->GetFunction(functionName))
            CreateThread(functionName, object, entry, nullptr);
}

// ---- players, dev windows, state stream (slots 67 to 72) ------------------------------------

int32_t World::NumPlayers() { return static_cast<int32_t>(players_.size()); }

uint32_t World::GetPlayer(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= players_.size()) return 0;
    return players_[static_cast<size_t>(index)];
}

void World::DevWindowItem(const char* name, const char* value) {
    // A window that never flushes does not grow the host without bound.
    constexpr size_t kMaxItems = 4096;
    if (devWindowItems.size() < kMaxItems) devWindowItems.emplace_back(Text(name), Text(value));
}

void World::DevWindowFlush() {
    if (Wants(RecordKind::DevWindow)) {
        const std::string text = "flush " + std::to_string(devWindowItems.size()) + " items";
        qohost::Record r;
        r.kind = RecordKind::DevWindow;
        r.text = text;
        r.detail = &devWindowItems;
        Emit(r);
    }
    devWindowItems.clear();
}

qoStateStream* World::GetStateStream() {
    Record(RecordKind::State, "stream");
    return &stateStream;
}

}  // namespace qohost
