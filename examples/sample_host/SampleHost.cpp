#include "SampleHost.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <quorin/qoMethodCatalogue.h>

namespace sample {

namespace {

// module: a script thread needs a real stack; 256 KiB is ample for every script class.
constexpr size_t kStackSize = 256 * 1024;

// Method numbers by name, taken from the module's catalogue.
namespace method {
enum Number : int32_t {
#define SAMPLE_METHOD_NUMBER(number, name, signature, result) name = number,
    QO_METHOD_CATALOGUE(SAMPLE_METHOD_NUMBER)
#undef SAMPLE_METHOD_NUMBER
};
}  // namespace method

// Argument k of a method call starts at byte 16 * k of the buffer.
template <class T>
T Arg(const void* args, int k) {
    T value;
    std::memcpy(&value, static_cast<const char*>(args) + 16 * k, sizeof value);
    return value;
}

}  // namespace

SampleHost::SampleHost(kvQuorin* module, int32_t frameMs) : module_(module), frameMs_(frameMs) {}

SampleHost::~SampleHost() { DestroyAllObjects(); }

// ---- entities and objects -------------------------------------------------------------------

uint32_t SampleHost::Spawn(const std::string& name, const std::string& hostClass) {
    entities_.push_back(std::make_unique<Entity>());
    entities_.back()->name = name;
    entities_.back()->hostClass = hostClass;
    return static_cast<uint32_t>(entities_.size());
}

Entity* SampleHost::Find(uint32_t handle) {
    if (handle == 0 || handle > entities_.size()) return nullptr;
    Entity* e = entities_[handle - 1].get();
    return e->removed ? nullptr : e;
}

uint32_t SampleHost::AddObject(uint32_t entity, const char* className, bool startInit) {
    Entity* e = Find(entity);
    kvQOObject* object = e ? module_->CreateObject(className) : nullptr;
    if (!object) return kNoObject;
    object->SetEntity(entity);
    e->objects.push_back(object);
    const auto index = static_cast<uint32_t>(e->objects.size() - 1);
    if (startInit) StartInit(entity, index);
    return index;
}

void SampleHost::StartInit(uint32_t entity, uint32_t index) {
    // module: Init (slot 0) runs as a script thread named "Init"; it waits, so it needs one.
    kvQOObject* object = GetScriptObject(entity, index);
    if (object) CreateThread("Init", object, [](kvQOObject* o, void*) { o->Init(); }, nullptr);
}

bool SampleHost::WriteProperty(uint32_t entity, uint32_t index, const char* property, const void* value,
                               size_t size) {
    kvQOObject* object = GetScriptObject(entity, index);
    if (!object) return false;
    for (const qoPropertyInfo* row = module_->GetPropertyTable(object->GetClassName()); row && row->name; ++row)
        if (std::strcmp(row->name, property) == 0 && row->size == size) {
            std::memcpy(reinterpret_cast<char*>(object) + row->offset, value, size);
            return true;
        }
    return false;
}

uint32_t SampleHost::FindEntity(const char* name) {
    for (size_t i = 0; name && i < entities_.size(); ++i)
        if (!entities_[i]->removed && entities_[i]->name == name) return static_cast<uint32_t>(i + 1);
    return 0;
}

uint32_t SampleHost::FindScriptObject(uint32_t entity, const char* className, int create) {
    Entity* e = Find(entity);
    if (!e || !className) return kNoObject;
    for (size_t i = 0; i < e->objects.size(); ++i)
        if (e->objects[i] && e->objects[i]->IsClass(className)) return static_cast<uint32_t>(i);
    // module: with create 1 the answer is always an object, whose Init starts at once.
    return create ? AddObject(entity, className) : kNoObject;
}

kvQOObject* SampleHost::GetScriptObject(uint32_t entity, uint32_t objectIndex) {
    Entity* e = Find(entity);
    return e && objectIndex < e->objects.size() ? e->objects[objectIndex] : nullptr;
}

const char* SampleHost::GetEntityName(uint32_t entity) {
    // Removed entities keep their names for the module's warnings; no entity is "".
    return entity && entity <= entities_.size() ? entities_[entity - 1]->name.c_str() : "";
}

void SampleHost::Activate(uint32_t entity, uint32_t activator) {
    Entity* e = Find(entity);
    if (!e) return;
    // Handlers of these classes only note the event; an engine whose handlers may wait runs
    // each delivery on a script thread of its own.
    for (size_t i = 0; i < e->objects.size(); ++i)
        if (e->objects[i] && e->objects[i]->HandlesEvent("OnActivate")) e->objects[i]->Entry_OnActivate(activator);
    if (e->hostClass == "kvLight") Say(e->name + " switched on by " + GetEntityName(activator));
    if (e->hostClass == "kvMover") Say(e->name + " opens");
}

void SampleHost::Remove(uint32_t entity) {
    if (Entity* e = Find(entity)) {
        e->removed = true;
        removed_.push_back(entity);
        Say(e->name + " removed");
    }
}

void SampleHost::DestroyObjects(Entity& e) {
    // module: Shutdown first, then the threads (unwound), then Destroy(1) frees the object.
    for (kvQOObject* object : e.objects)
        if (object) object->Shutdown();
    for (kvQOObject*& object : e.objects) {
        if (!object) continue;
        std::vector<uint32_t> threads;
        for (const auto& [id, fiber] : fibers_)
            if (fiber->object == object) threads.push_back(id);
        for (uint32_t id : threads) EndThread(id);
        object->Destroy(1);
        object = nullptr;
    }
}

void SampleHost::DestroyAllObjects() {
    for (const auto& e : entities_) DestroyObjects(*e);
    removed_.clear();
}

void SampleHost::CallScriptFunction(uint32_t entity, const char* functionName) {
    if (Entity* e = Find(entity))
        for (kvQOObject* object : std::vector<kvQOObject*>(e->objects))
            if (qoThreadEntry function = object ? object->GetFunction(functionName) : nullptr)
                CreateThread(functionName, object, function, nullptr);
}

int32_t SampleHost::NumPlayers() {
    return static_cast<int32_t>(std::count_if(entities_.begin(), entities_.end(), [](const auto& e) {
        return !e->removed && e->hostClass == "kvPlayer";
    }));
}

uint32_t SampleHost::GetPlayer(int32_t index) {
    for (size_t i = 0; i < entities_.size(); ++i)
        if (!entities_[i]->removed && entities_[i]->hostClass == "kvPlayer" && index-- == 0)
            return static_cast<uint32_t>(i + 1);
    return 0;
}

// ---- entity methods -------------------------------------------------------------------------

bool SampleHost::CallEntityMethod(uint32_t entity, int32_t number, const char*, void* args) {
    result_ = Result{};
    Entity* e = Find(entity);
    if (!e) return false;  // module: it then warns "<name>.<Method> failed." and goes on
    switch (number) {
    case method::Remove: Remove(entity); return true;
    case method::GetName: result_.s = e->name; return true;
    case method::GetOrigin:
    case method::GetWorldOrigin: result_.v = e->origin; return true;
    case method::DistanceTo: {
        const Entity* other = Find(Arg<uint32_t>(args, 0));
        if (!other) return false;
        const float dx = other->origin.x - e->origin.x, dy = other->origin.y - e->origin.y,
                    dz = other->origin.z - e->origin.z;
        result_.f = std::sqrt(dx * dx + dy * dy + dz * dz);
        return true;
    }
    case method::NumTargets: result_.i = static_cast<int32_t>(e->targets.size()); return true;
    case method::GetTarget: {
        const auto k = Arg<int32_t>(args, 0);
        if (k < 0 || static_cast<size_t>(k) >= e->targets.size()) return false;
        result_.i = static_cast<int32_t>(e->targets[static_cast<size_t>(k)]);
        return true;
    }
    case method::Activate: Activate(entity, Arg<uint32_t>(args, 0)); return true;
    case method::ActivateTargets:
        for (uint32_t target : std::vector<uint32_t>(e->targets)) Activate(target, Arg<uint32_t>(args, 0));
        return true;
    case method::StartSoundShader: return true;  // no sound in this engine
    case method::IsDead: result_.i = 0; return true;
    case method::GetDebugTarget: result_.i = 0; return true;
    default: return false;  // a method this engine does not have
    }
}

void SampleHost::GetVectorResult(float* xyz) {
    xyz[0] = result_.v.x;
    xyz[1] = result_.v.y;
    xyz[2] = result_.v.z;
}

void SampleHost::GetTraceResult(int32_t, float* fraction, qoVector* normal, uint32_t* hitEntity) {
    if (fraction) *fraction = 1.0f;
    if (normal) *normal = qoVector{};
    if (hitEntity) *hitEntity = 0;
}

// ---- script threads: fibers on ucontext -----------------------------------------------------

SampleHost::Fiber* SampleHost::FindFiber(uint32_t id) {
    if (id == qoCurrentThread) return current_;
    auto it = fibers_.find(id);
    return it == fibers_.end() ? nullptr : it->second.get();
}

void SampleHost::FiberMain(unsigned high, unsigned low) {
    auto* fiber = reinterpret_cast<Fiber*>((static_cast<uintptr_t>(high) << 32) | low);
    try {
        fiber->entry(fiber->object, fiber->args);
    } catch (const ThreadEnd&) {
        // module: the throw at the suspension point ran the destructors of every script frame.
    }
    fiber->finished = true;
    setcontext(&fiber->resumer);  // back to whoever resumed it last; never returns
}

uint32_t SampleHost::CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args) {
    if (!entry) return 0;
    auto fiber = std::make_unique<Fiber>();
    fiber->id = nextThread_++;
    fiber->name = name ? name : "";  // module: the name is only valid during this call
    fiber->object = object;
    fiber->entry = entry;
    fiber->args = args;
    fiber->stack = std::make_unique<char[]>(kStackSize);
    getcontext(&fiber->context);
    fiber->context.uc_stack.ss_sp = fiber->stack.get();
    fiber->context.uc_stack.ss_size = kStackSize;
    fiber->context.uc_link = nullptr;
    const auto address = reinterpret_cast<uintptr_t>(fiber.get());
    makecontext(&fiber->context, reinterpret_cast<void (*)()>(&FiberMain), 2,
                static_cast<unsigned>(address >> 32), static_cast<unsigned>(address & 0xFFFFFFFFu));
    Fiber* raw = fiber.get();
    const uint32_t id = raw->id;
    fibers_[id] = std::move(fiber);
    // module: the new thread runs at once, until it first suspends or ends; its argument block
    // lives in the creator's frame.
    Resume(raw);
    return id;
}

void SampleHost::Resume(Fiber* fiber) {
    Fiber* previous = current_;
    current_ = fiber;
    fiber->wait = Wait::Running;
    swapcontext(&fiber->resumer, &fiber->context);
    current_ = previous;
    if (fiber->finished) fibers_.erase(fiber->id);  // its stack is no longer in use
}

void SampleHost::Suspend(Wait wait, int64_t dueMs, uint32_t waitFor) {
    Fiber* fiber = current_;
    if (!fiber) return;  // outside a script thread a wait returns at once
    if (fiber->ending) throw ThreadEnd{};
    fiber->wait = wait;
    fiber->dueMs = dueMs;
    fiber->waitFor = waitFor;
    fiber->queued = ++serial_;
    swapcontext(&fiber->context, &fiber->resumer);
    // module: an ended thread never comes back from its wait; its frames unwind instead.
    if (fiber->ending) throw ThreadEnd{};
}

void SampleHost::WaitFrame() { Suspend(Wait::Frame, timeMs_, 0); }

void SampleHost::WaitSeconds(float seconds) {
    // Zero, negative and NaN times give the frame back: scripts poll in loops around them.
    if (!(seconds > 0.0f)) return WaitFrame();
    Suspend(Wait::Time, timeMs_ + static_cast<int64_t>(std::ceil(seconds * 1000.0f)), 0);
}

void SampleHost::WaitForThread(uint32_t thread) {
    if (!IsThreadRunning(thread)) return;
    if (FindFiber(thread) == current_) return WaitFrame();  // waiting for oneself: one frame
    Suspend(Wait::Thread, timeMs_, thread);
}

bool SampleHost::IsThreadRunning(uint32_t thread) {
    const Fiber* fiber = FindFiber(thread);
    return fiber && !fiber->ending && !fiber->finished;
}

uint32_t SampleHost::CurrentThread() { return current_ ? current_->id : 0; }

void SampleHost::EndThread(uint32_t thread) {
    Fiber* fiber = FindFiber(thread);
    if (!fiber || fiber->ending) return;
    fiber->ending = true;
    // A suspended thread unwinds now; a running one (the caller, or a creator waiting for its
    // new thread) at its next suspension point.
    if (fiber->wait != Wait::Running) Resume(fiber);
}

void SampleHost::EndThreadsByName(const char* name, kvQOObject* object) {
    std::vector<uint32_t> ids;
    for (const auto& [id, fiber] : fibers_)
        if (fiber->object == object && name && fiber->name == name) ids.push_back(id);
    for (uint32_t id : ids) EndThread(id);
}

bool SampleHost::GetThreadContext(uint32_t thread, qoThreadContext* out) {
    const Fiber* fiber = FindFiber(thread);
    if (!fiber || !out) return false;
    out->entity = fiber->object ? fiber->object->GetEntity() : 0;
    out->objectIndex = kNoObject;
    if (Entity* e = Find(out->entity))
        for (size_t i = 0; i < e->objects.size(); ++i)
            if (e->objects[i] == fiber->object) out->objectIndex = static_cast<uint32_t>(i);
    out->threadName = fiber->name.c_str();
    return true;
}

bool SampleHost::Due(const Fiber& fiber) {
    switch (fiber.wait) {
    case Wait::Frame: return true;
    case Wait::Time: return fiber.dueMs <= timeMs_;
    case Wait::Thread: return !IsThreadRunning(fiber.waitFor);
    case Wait::Running: return false;
    }
    return false;
}

void SampleHost::RunFrame() {
    ++frame_;
    timeMs_ += frameMs_;
    // module: threads suspend only inside host calls; resume the due ones earliest first, and
    // in the order they suspended. Threads that suspend again wait for the next frame.
    std::vector<const Fiber*> due;
    for (const auto& [id, fiber] : fibers_)
        if (Due(*fiber)) due.push_back(fiber.get());
    std::sort(due.begin(), due.end(), [](const Fiber* a, const Fiber* b) {
        return a->dueMs != b->dueMs ? a->dueMs < b->dueMs : a->queued < b->queued;
    });
    std::vector<std::pair<uint32_t, uint64_t>> order;
    for (const Fiber* fiber : due) order.emplace_back(fiber->id, fiber->queued);
    for (const auto& [id, queued] : order) {
        Fiber* fiber = FindFiber(id);
        if (fiber && fiber->queued == queued && fiber->wait != Wait::Running) Resume(fiber);
    }
    std::vector<uint32_t> removed;
    removed.swap(removed_);
    for (uint32_t handle : removed) DestroyObjects(*entities_[handle - 1]);
}

// ---- memory ---------------------------------------------------------------------------------

void* SampleHost::Allocate(size_t size, uint32_t tag) {
    // module: blocks aligned like malloc; size 0 still gives a block of its own.
    void* memory = std::aligned_alloc(16, (std::max<size_t>(size, 1) + 15) / 16 * 16);
    if (memory) blocks_[memory] = {size, tag};
    return memory;
}

void SampleHost::Free(void* memory, uint32_t tag) {
    if (!memory) return;
    auto it = blocks_.find(memory);
    if (it == blocks_.end()) return Say("Free of a block this engine never gave out");
    if (it->second.tag != tag) Say("Free with tag " + std::to_string(tag) + " of a block allocated with tag " +
                                   std::to_string(it->second.tag));
    blocks_.erase(it);
    std::free(memory);
}

uint32_t SampleHost::SetMemoryTag(uint32_t tag) {
    const uint32_t previous = tag_;
    tag_ = tag;
    return previous;
}

// ---- console, console variables, random numbers ---------------------------------------------

void SampleHost::Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    // "^1" .. "^9" and "^0" are colour codes of the module's lines; this console has no colours.
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') ++i;
        else plain += text[i];
    }
    // Each line starts with the frame it was printed in.
    std::string stamped;
    for (char c : plain) {
        if (lineStart_) stamped += "[frame " + std::to_string(frame_) + "] ";
        stamped += c;
        lineStart_ = c == '\n';
    }
    console_ += stamped;
    if (echo_) std::fputs(stamped.c_str(), stdout);
}

void SampleHost::Say(const std::string& line) { Printf("%s\n", line.c_str()); }

std::string SampleHost::TakeConsole() {
    std::string text;
    text.swap(console_);
    return text;
}

// module: a Get of an unknown name creates the variable with the default; that is how the
// module registers its variables.
const char* SampleHost::GetCvarString(const char* name, const char* defaultValue, const char*, int) {
    return cvars_.emplace(name, defaultValue ? defaultValue : "").first->second.c_str();
}
bool SampleHost::GetCvarBool(const char* name, bool defaultValue) {
    return std::atoi(GetCvarString(name, defaultValue ? "1" : "0", nullptr, 0)) != 0;
}
int32_t SampleHost::GetCvarInt(const char* name, int32_t defaultValue) {
    return std::atoi(GetCvarString(name, std::to_string(defaultValue).c_str(), nullptr, 0));
}
float SampleHost::GetCvarFloat(const char* name, float defaultValue) {
    return std::strtof(GetCvarString(name, std::to_string(defaultValue).c_str(), nullptr, 0), nullptr);
}

int32_t SampleHost::RandomInt(int32_t n) {
    if (n <= 0) return 0;
    return static_cast<int32_t>(random_() % static_cast<uint32_t>(n));
}

float SampleHost::RandomFloat() { return static_cast<float>(random_() >> 8) / 16777216.0f; }

}  // namespace sample
