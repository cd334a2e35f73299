// The host conformance checks. Each check sets up a situation through the engine's Driver,
// calls the engine's kvQuorinSystem as the module would (or lets the module's own classes do
// it), and states what it expected, what it saw and what the engine must change.
//
// Script threads are probed with the kit's own thread entries on objects of the module: each
// probe writes what it did into a log the checks read, holds a guard whose destructor shows
// that the thread was unwound, and waits a bounded number of frames, so that a host that never
// ends a thread still lets the kit finish.
#include "quorin/hostcheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostcheck/RecordingSystem.h"
#include "quorin/qoMethodCatalogue.h"

namespace qohostcheck {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;  // "no object" (FindScriptObject) and "the calling thread"
constexpr uint32_t kTestTag = 0x51C0FFEEu;
constexpr int kProbeFrames = 12;  // the longest a probe thread waits before it gives up

// Method numbers by name and their signatures, from the catalogue.
namespace method {
enum Number : int32_t {
#define QO_HOSTCHECK_NUMBER(number, name, signature, result) name = number,
    QO_METHOD_CATALOGUE(QO_HOSTCHECK_NUMBER)
#undef QO_HOSTCHECK_NUMBER
};
}  // namespace method

const char* SignatureOf(int32_t number) {
    struct Row {
        int32_t number;
        const char* signature;
    };
    static constexpr Row kRows[] = {
#define QO_HOSTCHECK_ROW(number, name, signature, result) {number, signature},
        QO_METHOD_CATALOGUE(QO_HOSTCHECK_ROW)
#undef QO_HOSTCHECK_ROW
    };
    for (const Row& row : kRows)
        if (row.number == number) return row.signature;
    return "";
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

std::string Quote(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

// What probe threads use. Each thread holds a share of it, so a host that runs a probe after
// the kit has returned touches nothing that is gone.
struct ProbeState {
    kvQuorinSystem* sys;
    std::vector<std::string> log;
};
using Probes = std::shared_ptr<ProbeState>;

// Shows that a probe thread was unwound: the destructor runs when the thread's frames go.
struct Guard {
    Probes st;
    const char* what;
    ~Guard() { st->log.push_back(std::string(what) + " unwound"); }
};

class Checker {
public:
    Checker(kvQuorinSystem* system, kvQuorin* module, Driver& driver)
        : sys_(system), module_(module), driver_(driver), recorder_(system),
          state_(std::make_shared<ProbeState>(ProbeState{system, {}})), log_(state_->log) {}

    Report Run();

private:
    // ---- reporting -----------------------------------------------------------------------
    void Pass(const std::string& name, const std::string& what) {
        report_.results.push_back({name, true, what});
    }
    void Fail(const std::string& name, const std::string& expected, const std::string& seen,
              const std::string& fix) {
        report_.results.push_back({name, false, "expected " + expected + ", saw " + seen + ". Fix: " + fix});
    }
    // `seen` describes what went wrong; a pass states what was checked.
    void Expect(bool ok, const std::string& name, const std::string& expected,
                const std::string& seen, const std::string& fix) {
        if (ok) Pass(name, expected);
        else Fail(name, expected, seen, fix);
    }

    // ---- situations ------------------------------------------------------------------------
    uint32_t NewEntity(const char* name, const char* hostClass) {
        const uint32_t handle = driver_.CreateEntity(name, hostClass);
        if (handle) {
            recorder_.kitEntities.insert(handle);
            entities_.push_back(handle);
        }
        return handle;
    }
    bool Logged(const std::string& line) const {
        return std::find(log_.begin(), log_.end(), line) != log_.end();
    }
    size_t LogIndex(const std::string& line) const {
        return static_cast<size_t>(std::find(log_.begin(), log_.end(), line) - log_.begin());
    }
    // Starts a probe thread on `object` whose body the kit keeps alive for the whole run (a
    // host that starts threads late still finds it).
    uint32_t Start(const char* name, kvQOObject* object, std::function<void()> body) {
        bodies_.push_back(std::move(body));
        const uint32_t id = sys_->CreateThread(name, object, &RunBody, &bodies_.back());
        probeThreads_.push_back(id);
        return id;
    }
    static void RunBody(kvQOObject*, void* body) {
        const std::function<void()> local = *static_cast<std::function<void()>*>(body);
        local();
    }
    // A probe that logs "<what> start", waits `frames` frames, logs "<what> done" and returns;
    // its guard logs "<what> unwound" when its frames go, however it ends.
    std::function<void()> Waiter(const char* what, int frames) {
        return [st = state_, what, frames] {
            Guard guard{st, what};
            st->log.push_back(std::string(what) + " start");
            for (int i = 0; i < frames; ++i) st->sys->WaitFrame();
            st->log.push_back(std::string(what) + " done");
        };
    }
    // Calls an entity method with its catalogue signature.
    bool Call(uint32_t entity, method::Number number, void* args) {
        return sys_->CallEntityMethod(entity, number, SignatureOf(number), args);
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) driver_.RunFrame();
    }

    // ---- the checks, in the order they run ----------------------------------------------------
    bool Setup();
    void Memory();
    void Lookup();
    void ThreadStart();
    void WakeOrder();
    void Waits();
    void Ending();
    void ModuleUnwind();
    void Cvars();
    void Methods();
    void Relay();
    void Printing();
    void ClockAndRandom();
    void Teardown();

    kvQuorinSystem* sys_;
    kvQuorin* module_;
    Driver& driver_;
    RecordingSystem recorder_;
    kvQuorinSystem* engineSystem_ = nullptr;  // what the module had before the kit
    Report report_;
    Probes state_;
    std::vector<std::string>& log_;  // state_->log
    std::deque<std::function<void()>> bodies_;
    std::vector<uint32_t> entities_;
    std::vector<uint32_t> probeThreads_;

    uint32_t probe_ = 0, probe2_ = 0;
    uint32_t probeIndex_ = kNone, probe2Index_ = kNone;
    kvQOObject* probeObject_ = nullptr;
    kvQOObject* probe2Object_ = nullptr;
};

// ---- setup: the kit's entities and the recording layer --------------------------------------

bool Checker::Setup() {
    const uint32_t world = sys_->FindEntity("world");
    if (!world) {
        Fail("setup", "an entity named \"world\" (FindEntity)", "0",
             "load a level with the world entity and call kvQuorin::Reset before the kit");
        return false;
    }
    engineSystem_ = module_->SetSystem(&recorder_);
    if (engineSystem_ != sys_)
        Fail("setup", "the module attached to the kvQuorinSystem handed to the kit",
             "another pointer", "call kvQuorin::SetSystem with your kvQuorinSystem first");

    probe_ = NewEntity("hostcheck_probe", "kvTarget");
    probe2_ = NewEntity("hostcheck_probe2", "kvTarget");
    if (!probe_ || !probe2_) {
        Fail("setup", "Driver::CreateEntity to create \"hostcheck_probe\"", "handle 0",
             "create the entity and return its non-zero handle");
        return false;
    }
    // A sequential relay without targets: its Init asks NumTargets once and ends.
    const size_t before = recorder_.calls.size();
    probeIndex_ = driver_.AddScriptObject(probe_, "triggerSequential");
    probe2Index_ = driver_.AddScriptObject(probe2_, "triggerSequential");
    probeObject_ = sys_->GetScriptObject(probe_, probeIndex_);
    probe2Object_ = sys_->GetScriptObject(probe2_, probe2Index_);
    if (!probeObject_ || !probe2Object_) {
        Fail("setup", "Driver::AddScriptObject to give \"hostcheck_probe\" a triggerSequential object",
             "object index " + Hex(probeIndex_) + " that GetScriptObject does not resolve",
             "create the object with kvQuorin::CreateObject, bind it with SetEntity and "
             "answer GetScriptObject(entity, index) with it");
        return false;
    }
    const MethodCall* init = nullptr;
    for (size_t i = before; i < recorder_.calls.size() && !init; ++i)
        if (recorder_.calls[i].entity == probe_ && recorder_.calls[i].method == method::NumTargets)
            init = &recorder_.calls[i];
    if (!init)
        Fail("Init.start", "the object's Init to run (it asks NumTargets) before AddScriptObject returns",
             "no call", "run slot 0 (Init) as a script thread named \"Init\" as soon as the object is set up");
    else
        Expect(init->thread != 0 && init->threadName == "Init", "Init.start",
               "Init on a script thread named \"Init\"",
               init->thread ? "thread " + Quote(init->threadName.c_str()) : "a call outside any script thread",
               "run slot 0 (Init) through CreateThread semantics with the name \"Init\"; the module "
               "waits in Init, which needs a script thread");
    return true;
}

// ---- memory ---------------------------------------------------------------------------------

void Checker::Memory() {
    const size_t sizes[] = {1, 3, 8, 16, 24, 40, 100, 256, 4096, 65536};
    std::vector<std::pair<char*, size_t>> blocks;
    std::string fault;
    for (size_t size : sizes) {
        auto* block = static_cast<char*>(sys_->Allocate(size, kTestTag));
        if (!block) {
            fault = "null for " + std::to_string(size) + " bytes";
            break;
        }
        if (fault.empty() && reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t) != 0) {
            char seen[64];
            std::snprintf(seen, sizeof seen, "%p for %zu bytes", static_cast<void*>(block), size);
            fault = seen;
        }
        std::memset(block, 0xA5, size);
        blocks.emplace_back(block, size);
    }
    std::sort(blocks.begin(), blocks.end());
    for (size_t i = 1; i < blocks.size() && fault.empty(); ++i)
        if (blocks[i - 1].first + blocks[i - 1].second > blocks[i].first) fault = "overlapping blocks";
    for (const auto& [block, size] : blocks) sys_->Free(block, kTestTag);
    Expect(fault.empty(), "Allocate.alignment",
           "distinct blocks aligned to " + std::to_string(alignof(std::max_align_t)) + " bytes",
           fault.empty() ? "aligned blocks for 1 to 65536 bytes" : fault,
           "Allocate must return memory aligned like malloc (16 bytes): the module places "
           "script objects, strings and lists in these blocks");

    void* a = sys_->Allocate(0, kTestTag);
    void* b = sys_->Allocate(0, kTestTag);
    Expect(a && b && a != b, "Allocate.size0", "two distinct blocks for size 0",
           !a || !b ? "null" : "the same pointer twice",
           "treat size 0 as a 1-byte block: the module reports a null block as an allocation failure");
    sys_->Free(a, kTestTag);
    sys_->Free(b, kTestTag);
    sys_->Free(nullptr, kTestTag);
    Pass("Free.null", "Free(null) to return");

    const uint32_t old = sys_->GetMemoryTag();
    const uint32_t previous = sys_->SetMemoryTag(kTestTag);
    const uint32_t current = sys_->GetMemoryTag();
    const uint32_t back = sys_->SetMemoryTag(old);
    const uint32_t restored = sys_->GetMemoryTag();
    Expect(previous == old && current == kTestTag && back == kTestTag && restored == old,
           "SetMemoryTag",
           "SetMemoryTag(" + Hex(kTestTag) + ") to return the previous tag " + Hex(old) +
               " and GetMemoryTag to answer " + Hex(kTestTag),
           "SetMemoryTag returned " + Hex(previous) + ", GetMemoryTag answered " + Hex(current) +
               ", restoring returned " + Hex(back) + " and left " + Hex(restored),
           "keep one current tag: SetMemoryTag stores the new tag and returns the one before, "
           "GetMemoryTag returns it; the module brackets list growth with the pair and its strings "
           "free with the tag GetMemoryTag gave them");
}

// ---- entities and script objects ------------------------------------------------------------

void Checker::Lookup() {
    const uint32_t found = sys_->FindEntity("hostcheck_probe");
    const uint32_t missing = sys_->FindEntity("hostcheck_no_such_entity");
    Expect(found == probe_ && missing == 0, "FindEntity",
           "the probe's handle " + Hex(probe_) + " by name and 0 for an unknown name",
           Hex(found) + " and " + Hex(missing),
           "look entities up by exact name and return 0 (\"no entity\") when none has the name");

    const bool valid = sys_->EntityIsValid(probe_);
    const bool zero = sys_->EntityIsValid(0);
    Expect(valid && !zero, "EntityIsValid", "true for the probe, false for handle 0",
           std::string(valid ? "true" : "false") + " and " + (zero ? "true" : "false"),
           "answer true only while the entity exists; 0 is never an entity");

    const char* name = sys_->GetEntityName(probe_);
    const char* none = sys_->GetEntityName(0);
    Expect(name && std::strcmp(name, "hostcheck_probe") == 0 && none, "GetEntityName",
           "\"hostcheck_probe\" for the probe and a text (\"\") for handle 0",
           Quote(name) + " and " + Quote(none),
           "return the entity's name, and \"\" rather than null for a handle with no entity: the "
           "module copies the text at once into its warnings");

    const uint32_t absent = sys_->FindScriptObject(probe_, "audibleTimer", 0);
    Expect(absent == kNone, "FindScriptObject.none",
           "0xffffffff (none) for a class the entity does not carry, with create 0", Hex(absent),
           "FindScriptObject must return 0xFFFFFFFF when the entity has no object of that class "
           "and create is 0; 0 is the index of the entity's first object");

    const uint32_t existing = sys_->FindScriptObject(probe_, "triggerSequential", 0);
    Expect(existing == probeIndex_, "FindScriptObject.existing",
           "the index " + Hex(probeIndex_) + " AddScriptObject gave", Hex(existing),
           "return the index of the entity's object of that class");

    const uint32_t made = NewEntity("hostcheck_created", "kvTarget");
    const size_t before = recorder_.calls.size();
    const uint32_t index = sys_->FindScriptObject(made, "triggerSequential", 1);
    kvQOObject* object = index == kNone ? nullptr : sys_->GetScriptObject(made, index);
    bool initRan = false;
    for (size_t i = before; i < recorder_.calls.size(); ++i)
        initRan |= recorder_.calls[i].entity == made && recorder_.calls[i].threadName == "Init";
    const uint32_t again = sys_->FindScriptObject(made, "triggerSequential", 1);
    std::string seen = "index " + Hex(index);
    if (object) seen += ", class " + Quote(object->GetClassName()) + ", entity " + Hex(object->GetEntity());
    seen += std::string(initRan ? ", Init ran" : ", Init did not run") + ", a second call gave " + Hex(again);
    Expect(object && std::strcmp(object->GetClassName(), "triggerSequential") == 0 &&
               object->GetEntity() == made && initRan && again == index,
           "FindScriptObject.create",
           "with create 1 a new triggerSequential bound to the entity, its Init started at once, "
           "and the same index on a second call",
           seen,
           "with create 1 and no such object: kvQuorin::CreateObject, SetEntity, fill decl defaults, "
           "run Init as thread \"Init\", return the new index; the module relies on create 1 "
           "always giving an object index");

    kvQOObject* outOfRange = sys_->GetScriptObject(probe_, 1000);
    kvQOObject* noneIndex = sys_->GetScriptObject(probe_, kNone);
    kvQOObject* noEntity = sys_->GetScriptObject(0, 0);
    Expect(!outOfRange && !noneIndex && !noEntity, "GetScriptObject.none",
           "null for index 1000, index 0xffffffff and entity 0",
           std::string(outOfRange ? "an object" : "null") + ", " + (noneIndex ? "an object" : "null") +
               ", " + (noEntity ? "an object" : "null"),
           "return null for any entity or index that names no live object");
}

// ---- script threads -------------------------------------------------------------------------

void Checker::ThreadStart() {
    // What the probes see lives as long as the probes (a faulty host may run them late).
    struct Seen {
        uint32_t inside = 0, childId = 0, childSaw = 0;
        qoThreadContext context{};
        bool hasContext = false;
    };
    const auto seen = std::make_shared<Seen>();
    const uint32_t id = Start("hostcheck_start", probeObject_, [seen, st = state_] {
        Guard guard{st, "start"};
        st->log.push_back("start start");
        seen->inside = st->sys->CurrentThread();
        seen->hasContext = st->sys->GetThreadContext(kNone, &seen->context);
        st->sys->WaitFrame();
        st->log.push_back("start done");
    });
    const uint32_t inside = seen->inside;
    const qoThreadContext& context = seen->context;
    const bool hasContext = seen->hasContext;
    const bool ranAtOnce = Logged("start start");
    const bool resumedEarly = Logged("start done");
    const bool running = sys_->IsThreadRunning(id);
    Expect(ranAtOnce && !resumedEarly, "CreateThread.start",
           "the entry to run on the new thread before CreateThread returns, and to stay suspended "
           "in WaitFrame until the next frame",
           !ranAtOnce ? "the entry had not run when CreateThread returned"
                      : "WaitFrame returned before any frame",
           "run the entry at once and return to the creator when the thread first suspends or "
           "ends: the module passes argument blocks that live in the creator's frame only");
    Expect(id != 0 && id != kNone && (!ranAtOnce || inside == id), "CreateThread.id",
           "an id of 1 or more (not 0xffffffff) that CurrentThread answers inside the thread",
           "CreateThread returned " + Hex(id) + ", CurrentThread inside answered " + Hex(inside),
           "number threads from 1; 0 means no thread to the module and 0xffffffff the calling thread");
    Expect(running, "IsThreadRunning.suspended", "true for a thread suspended in WaitFrame", "false",
           "a thread runs until its entry returns or it is ended");

    const bool contextOk = hasContext && context.entity == probe_ && context.objectIndex == probeIndex_ &&
                           context.threadName && std::strcmp(context.threadName, "hostcheck_start") == 0;
    Expect(contextOk, "GetThreadContext.inside",
           "true with entity " + Hex(probe_) + ", object index " + Hex(probeIndex_) +
               ", name \"hostcheck_start\"",
           hasContext ? "entity " + Hex(context.entity) + ", object index " + Hex(context.objectIndex) +
                            ", name " + Quote(context.threadName)
                      : "false",
           "fill the record of the calling thread (0xffffffff) from the object the thread was "
           "created on and a copy of its name: the module's error lines and its error path need it");

    qoThreadContext outside{};
    const bool outsideContext = sys_->GetThreadContext(kNone, &outside);
    const uint32_t outsideId = sys_->CurrentThread();
    Expect(!outsideContext, "GetThreadContext.outside", "false outside any script thread", "true",
           "answer false when no script thread is running: the module then prints its short "
           "error format and ends no thread");
    Expect(outsideId == 0, "CurrentThread.outside", "0 outside any script thread", Hex(outsideId),
           "return 0 when no script thread runs; the module keeps thread ids and compares them "
           "with CurrentThread");

    Frames(1);
    const bool resumed = Logged("start done");
    Expect(resumed, "WaitFrame", "a thread in WaitFrame to resume in the next frame",
           "it had not resumed after one frame",
           "resume every thread waiting a frame in the next frame");
    Frames(1);
    const bool ended = !sys_->IsThreadRunning(id);
    Expect(resumed && ended, "IsThreadRunning.returned", "false once the entry has returned",
           resumed ? "true" : "the thread never got there",
           "end a thread when its entry returns; IsThreadRunning answers false from then on");

    // A thread that starts a thread: the child runs first, the creator goes on when it suspends.
    // The parent uses the kit only before its first wait, while the kit runs.
    Start("hostcheck_parent", probeObject_, [this, seen, st = state_] {
        Guard guard{st, "parent"};
        seen->childId = Start("hostcheck_child", probeObject_, [seen, st] {
            Guard inner{st, "child"};
            st->log.push_back("child start");
            seen->childSaw = st->sys->CurrentThread();
            st->sys->WaitFrame();
            st->log.push_back("child done");
        });
        st->log.push_back("parent after create");
        st->sys->WaitFrame();
    });
    const uint32_t childId = seen->childId, childSaw = seen->childSaw;
    const bool order = Logged("child start") && Logged("parent after create") &&
                       LogIndex("child start") < LogIndex("parent after create");
    Expect(order && childId == childSaw && childId != 0, "CreateThread.nested",
           "a thread created inside a thread to run at once, before its creator goes on, under "
           "the id CreateThread returns",
           order ? "CreateThread returned " + Hex(childId) + ", the child saw " + Hex(childSaw)
                 : "the creator went on before the child ran",
           "CreateThread from a script thread switches to the new thread and comes back when it "
           "suspends: scripts start threads on other objects and go on at once");
    Frames(2);
}

void Checker::WakeOrder() {
    log_.clear();
    for (const char* what : {"a", "b", "c"})
        Start("hostcheck_order", probeObject_, Waiter(what, 1));
    Frames(1);
    const bool ordered = Logged("a done") && Logged("b done") && Logged("c done") &&
                         LogIndex("a done") < LogIndex("b done") && LogIndex("b done") < LogIndex("c done");
    std::string seen;
    for (const std::string& line : log_)
        if (line.size() > 5 && line.compare(line.size() - 4, 4, "done") == 0) seen += line.substr(0, 1);
    Expect(ordered, "WaitFrame.order", "threads waiting a frame to resume in the order they suspended (abc)",
           "order \"" + seen + "\"",
           "keep the threads due in a frame in a queue: first suspended, first resumed");

    // Timed waits: the shorter wait resumes first, neither before its time, neither a frame late.
    log_.clear();
    const int32_t frameMs = sys_->FrameTimeMs();
    const int32_t started = sys_->GameTimeMs();
    const auto at = std::make_shared<std::pair<int32_t, int32_t>>(-1, -1);  // long, short
    Start("hostcheck_timed", probeObject_, [at, st = state_] {
        st->sys->WaitSeconds(0.1f);
        at->first = st->sys->GameTimeMs();
        st->log.push_back("long");
    });
    Start("hostcheck_timed", probeObject_, [at, st = state_] {
        st->sys->WaitSeconds(0.05f);
        at->second = st->sys->GameTimeMs();
        st->log.push_back("short");
    });
    for (int i = 0; i < 40 && at->first < 0; ++i) Frames(1);
    const int32_t longAt = at->first, shortAt = at->second;
    const bool both = longAt >= 0 && shortAt >= 0;
    const bool order = both && LogIndex("short") < LogIndex("long");
    const bool onTime = both && shortAt - started >= 50 && longAt - started >= 100 &&
                        shortAt - started < 50 + 2 * frameMs && longAt - started < 100 + 2 * frameMs;
    Expect(order && onTime, "WaitSeconds",
           "WaitSeconds(0.05) and WaitSeconds(0.1) to resume in the first frame at or after 50 and "
           "100 ms of game time, the shorter first",
           both ? "resumed after " + std::to_string(shortAt - started) + " and " +
                      std::to_string(longAt - started) + " ms" + (order ? "" : ", the longer first")
                : "a thread that never resumed within 40 frames",
           "resume timed waits by game time (GameTimeMs), earliest wake time first");
}

void Checker::Waits() {
    // A wait of zero, a negative or an undefined time gives the frame back.
    log_.clear();
    const float times[] = {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()};
    const char* names[] = {"zero", "negative", "nan"};
    for (int i = 0; i < 3; ++i) {
        const float seconds = times[i];
        const char* what = names[i];
        Start("hostcheck_zero", probeObject_, [st = state_, seconds, what] {
            st->sys->WaitSeconds(seconds);
            st->log.push_back(what);
        });
    }
    std::string atOnce;
    for (const char* what : names)
        if (Logged(what)) atOnce += std::string(atOnce.empty() ? "" : ", ") + what;
    Frames(1);
    std::string late;
    for (const char* what : names)
        if (!Logged(what)) late += std::string(late.empty() ? "" : ", ") + what;
    Expect(atOnce.empty() && late.empty(), "WaitSeconds.zero",
           "WaitSeconds(0), WaitSeconds(-1) and WaitSeconds(NaN) to suspend until the next frame",
           !atOnce.empty() ? "returned at once for " + atOnce : "not resumed after one frame for " + late,
           "treat a time of zero or less, or NaN, as a wait for the next frame: scripts poll in "
           "loops around such waits and would never give the frame back");

    // Waiting for a thread: the waiter goes on once the other thread has ended.
    log_.clear();
    const uint32_t other = Start("hostcheck_waited", probeObject_, Waiter("waited", 3));
    Start("hostcheck_waiter", probeObject_, [st = state_, other] {
        for (int waits = 0; st->sys->IsThreadRunning(other) && waits < kProbeFrames; ++waits)
            st->sys->WaitForThread(other);
        st->log.push_back("waiter done");
    });
    Frames(5);
    const bool after = Logged("waited done") && Logged("waiter done") &&
                       LogIndex("waited done") < LogIndex("waiter done");
    Expect(after, "WaitForThread",
           "a thread looping on IsThreadRunning and WaitForThread to go on within two frames of the "
           "other thread's end",
           !Logged("waited done") ? "the waited thread never ended"
           : !Logged("waiter done") ? "the waiter had not resumed two frames later"
                                    : "the waiter went on before the thread ended",
           "resume a thread waiting for another when that one ends (or every frame; the module "
           "repeats the wait while the thread runs)");

    Start("hostcheck_wait_ended", probeObject_, [st = state_, other] {
        st->sys->WaitForThread(other);
        st->log.push_back("wait ended back");
    });
    Frames(1);
    Expect(Logged("wait ended back"), "WaitForThread.ended", "WaitForThread on an ended thread to return within a frame",
           "it had not returned", "return at once (or after one frame) when the thread is not running");
}

void Checker::Ending() {
    // Ended from outside: unwound at its suspension point, nothing after the wait runs.
    log_.clear();
    const uint32_t id = Start("hostcheck_end", probeObject_, Waiter("ended", kProbeFrames));
    sys_->EndThread(id);
    const bool stopped = !sys_->IsThreadRunning(id);
    Frames(2);
    const bool unwound = Logged("ended unwound");
    std::string seen = std::string(stopped ? "" : "IsThreadRunning true after EndThread; ") +
                       (unwound ? "unwound" : "its destructors never ran") +
                       (Logged("ended done") ? ", and it went on after its wait" : "");
    Expect(stopped && unwound && !Logged("ended done"), "EndThread.unwind",
           "EndThread on a suspended thread to end it: destructors of its frames run (by the next "
           "frame) and its wait never returns",
           seen,
           "end a thread by resuming it with an exception thrown from its suspension point and "
           "caught at the thread's entry; the module's destructors free its strings and lists on "
           "the way. Dropping the stack leaks the module's blocks");

    // A thread that ends itself (an error report does that) does not come back from its next wait.
    log_.clear();
    Start("hostcheck_end_self", probeObject_, [st = state_] {
        Guard guard{st, "self"};
        st->sys->EndThread(kNone);
        st->sys->WaitFrame();
        st->log.push_back("self done");
    });
    Frames(2);
    Expect(Logged("self unwound") && !Logged("self done"), "EndThread.self",
           "EndThread(0xffffffff) to end the calling thread: at the latest its next wait does not return",
           Logged("self done") ? "the wait after it returned" : "its destructors never ran",
           "0xffffffff names the calling thread; end it there or at its next suspension point, "
           "unwinding its frames: the module's error path ends the running thread this way");

    // Ending by name: only that object's threads of that name.
    log_.clear();
    const uint32_t mine = Start("hostcheck_named", probeObject_, Waiter("mine", kProbeFrames));
    const uint32_t otherName = Start("hostcheck_other", probeObject_, Waiter("other name", kProbeFrames));
    const uint32_t otherObject = Start("hostcheck_named", probe2Object_, Waiter("other object", kProbeFrames));
    sys_->EndThreadsByName("hostcheck_named", probeObject_);
    Frames(1);
    const bool mineEnded = !sys_->IsThreadRunning(mine) && Logged("mine unwound");
    const bool othersRun = sys_->IsThreadRunning(otherName) && sys_->IsThreadRunning(otherObject);
    Expect(mineEnded && othersRun, "EndThreadsByName",
           "the object's thread of that name ended (unwound), its other thread and another object's "
           "thread of the same name still running",
           std::string(mineEnded ? "the named thread ended" : "the named thread still ran") + ", " +
               (othersRun ? "the others ran on" : "another thread was ended too"),
           "end exactly the threads created on that object with that name");
    sys_->EndThread(otherName);
    sys_->EndThread(otherObject);
    Frames(1);
}

// A thread of the module ended while it holds the module's memory at its suspension point: a
// relay whose target is gone warns "<target>.Activate failed." and waits a frame holding the
// message. Ending it there must unwind the module's frames so the message is freed.
void Checker::ModuleUnwind() {
    const uint32_t relay = NewEntity("hostcheck_unwind", "kvTarget");
    const uint32_t gone = NewEntity("hostcheck_gone", "kvLight");
    driver_.AddTarget(relay, gone);
    kvQOObject* object = sys_->GetScriptObject(relay, driver_.AddScriptObject(relay, "triggerSequential"));
    driver_.RemoveEntity(gone);
    Frames(1);
    driver_.TakeConsole();
    const size_t before = recorder_.calls.size();
    driver_.Activate(relay, sys_->GetPlayer(0));
    Frames(1);
    const MethodCall* call = nullptr;
    for (size_t i = before; i < recorder_.calls.size(); ++i)
        if (recorder_.calls[i].entity == gone && recorder_.calls[i].method == method::Activate)
            call = &recorder_.calls[i];
    const std::string console = driver_.TakeConsole();
    if (!call || call->ok || !object) {
        Fail("CallEntityMethod.removed", "Activate on a removed target to fail, from the relay's thread",
             !call ? "no Activate call (see the Relay check)" : "Activate succeeded",
             "a removed entity is invalid: CallEntityMethod answers false for it");
        return;
    }
    Pass("CallEntityMethod.removed", "Activate on a removed target to fail");
    Expect(console.find("Quorin Warning:") != std::string::npos && console.find(".Activate failed.") != std::string::npos,
           "Printf.warning", "the module's warning \"... .Activate failed.\" on the console",
           "\"" + console + "\"", "print every Printf of the module, from script threads too");

    const uint32_t thread = call->thread;
    size_t held = 0;
    for (const auto& [block, info] : recorder_.liveBlocks) held += info.thread == thread;
    sys_->EndThreadsByName("Init", object);
    Frames(1);
    size_t left = 0;
    for (const auto& [block, info] : recorder_.liveBlocks) left += info.thread == thread;
    Expect(held > 0 && left == 0 && !sys_->IsThreadRunning(thread), "EndThread.module",
           "the module's thread, ended while its warning waits a frame, to free the " + std::to_string(held) +
               " block(s) it held",
           std::to_string(left) + " still live" + (sys_->IsThreadRunning(thread) ? ", the thread still running" : ""),
           "unwind ended threads through the module's frames (throw at the suspension point; the "
           "module is built with unwind tables and its destructors free what the frames hold)");
}

// ---- console variables ----------------------------------------------------------------------

void Checker::Cvars() {
    const int32_t i1 = sys_->GetCvarInt("hostcheck_int", 7), i2 = sys_->GetCvarInt("hostcheck_int", 9);
    const float f1 = sys_->GetCvarFloat("hostcheck_float", 2.5f), f2 = sys_->GetCvarFloat("hostcheck_float", 4.0f);
    const bool b1 = sys_->GetCvarBool("hostcheck_bool", true), b2 = sys_->GetCvarBool("hostcheck_bool", false);
    std::string s1 = sys_->GetCvarString("hostcheck_string", "alpha", nullptr, 0);
    std::string s2 = sys_->GetCvarString("hostcheck_string", "beta", nullptr, 0);
    char seen[160];
    std::snprintf(seen, sizeof seen, "int %d then %d, float %g then %g, bool %d then %d, string \"%s\" then \"%s\"",
                  i1, i2, f1, f2, b1, b2, s1.c_str(), s2.c_str());
    Expect(i1 == 7 && i2 == 7 && f1 == 2.5f && f2 == 2.5f && b1 && b2 && s1 == "alpha" && s2 == "alpha",
           "GetCvar.register",
           "the first Get to create the variable with its default and later Gets to return the "
           "value it holds (int 7, float 2.5, bool 1, string \"alpha\" both times)",
           seen,
           "a Get of an unknown name creates the variable with the default given; the module "
           "registers its variables only this way");

    sys_->SetCvarFloat("hostcheck_float", 0.5f);
    sys_->SetCvarBool("hostcheck_bool", false);
    sys_->SetCvarString("hostcheck_string", "gamma");
    const float f = sys_->GetCvarFloat("hostcheck_float", 9.0f);
    const bool b = sys_->GetCvarBool("hostcheck_bool", true);
    const std::string s = sys_->GetCvarString("hostcheck_string", "delta", nullptr, 0);
    std::snprintf(seen, sizeof seen, "float %g, bool %d, string \"%s\"", f, b, s.c_str());
    Expect(f == 0.5f && !b && s == "gamma", "SetCvar", "the values set (float 0.5, bool 0, string \"gamma\")",
           seen, "SetCvarFloat, SetCvarBool and SetCvarString store the value a later Get returns");

    // The module registered these in RunRegistrations; their defaults are 0 and "".
    const int32_t manager = sys_->GetCvarInt("qo_musicTestManager", 42);
    const std::string ent = sys_->GetCvarString("qo_musicTestEnt", "unset", nullptr, 0);
    Expect(manager == 0 && ent.empty(), "GetCvar.module",
           "qo_musicTestManager 0 and qo_musicTestEnt \"\", as the module registered them",
           "qo_musicTestManager " + std::to_string(manager) + " and qo_musicTestEnt \"" + ent + "\"",
           "call kvQuorin::RunRegistrations after SetSystem; it registers the module's variables "
           "through the Get operations, which must keep them");
}

// ---- entity methods and result getters ------------------------------------------------------

void Checker::Methods() {
    const bool unknown = sys_->CallEntityMethod(probe_, 99999, "", nullptr);
    const bool noEntity = Call(0, method::NumTargets, nullptr);
    Expect(!unknown && !noEntity, "CallEntityMethod.refusal",
           "false for an unknown method number and for entity 0",
           std::string(unknown ? "true" : "false") + " and " + (noEntity ? "true" : "false"),
           "answer false when the method cannot run on that entity; the module then warns "
           "\"<name>.<Method> failed.\" and uses the zero result");

    const bool named = Call(probe_, method::GetName, nullptr);
    const char* text = named ? sys_->GetStringResult() : nullptr;
    Expect(named && text && std::strcmp(text, "hostcheck_probe") == 0, "GetStringResult",
           "GetName to succeed and GetStringResult to give \"hostcheck_probe\"",
           named ? Quote(text) : "GetName refused",
           "store a method's string result until the next method call and return it from GetStringResult");

    alignas(8) unsigned char other[16] = {};
    std::memcpy(other, &probe2_, sizeof probe2_);
    const bool measured = Call(probe_, method::DistanceTo, other);
    const float distance = measured ? sys_->GetFloatResult() : -1.0f;
    Expect(measured && std::isfinite(distance) && distance >= 0.0f, "GetFloatResult",
           "DistanceTo another entity to succeed and GetFloatResult to give a distance of 0 or more",
           measured ? std::to_string(distance) : "DistanceTo refused",
           "keep the float result of the last successful call for GetFloatResult");

    float xyz[3] = {NAN, NAN, NAN};
    const bool origin = Call(probe_, method::GetOrigin, nullptr);
    if (origin) sys_->GetVectorResult(xyz);
    Expect(origin && !std::isnan(xyz[0]) && !std::isnan(xyz[1]) && !std::isnan(xyz[2]), "GetVectorResult",
           "GetOrigin to succeed and GetVectorResult to write three floats",
           origin ? "floats not written" : "GetOrigin refused",
           "write the vector result of the last call into the three floats given");
}

void Checker::Relay() {
    const uint32_t relay = NewEntity("hostcheck_relay", "kvTarget");
    const uint32_t first = NewEntity("hostcheck_target1", "kvLight");
    const uint32_t second = NewEntity("hostcheck_target2", "kvLight");
    driver_.AddTarget(relay, first);
    driver_.AddTarget(relay, second);

    const bool counted = Call(relay, method::NumTargets, nullptr);
    const int32_t count = counted ? sys_->GetIntResult() : -1;
    alignas(8) unsigned char args[16] = {};
    const int32_t one = 1;
    std::memcpy(args, &one, sizeof one);
    const bool got = Call(relay, method::GetTarget, args);
    const auto target = got ? static_cast<uint32_t>(sys_->GetIntResult()) : 0u;
    Expect(counted && count == 2 && got && target == second, "GetIntResult",
           "NumTargets 2 and GetTarget(1) the second target " + Hex(second),
           (counted ? "NumTargets " + std::to_string(count) : "NumTargets refused") + ", " +
               (got ? "GetTarget(1) " + Hex(target) : "GetTarget refused"),
           "keep the integer (or entity handle) result of the last successful call for GetIntResult; "
           "read arguments from 16-byte slots of the buffer");

    // The module's own relay: each activation fires the next target through Activate.
    const uint32_t player = sys_->GetPlayer(0);
    driver_.AddScriptObject(relay, "triggerSequential");
    const size_t before = recorder_.calls.size();
    std::vector<uint32_t> fired;
    for (int round = 0; round < 2; ++round) {
        driver_.Activate(relay, player);
        Frames(2);
    }
    bool refused = false;
    for (size_t i = before; i < recorder_.calls.size(); ++i)
        if (recorder_.calls[i].method == method::Activate) {
            fired.push_back(recorder_.calls[i].entity);
            refused |= !recorder_.calls[i].ok;
        }
    std::string seen = "Activate on";
    for (uint32_t e : fired) seen += " " + Hex(e);
    if (fired.empty()) seen = "no Activate call";
    if (refused) seen += " (refused)";
    Expect(fired == std::vector<uint32_t>{first, second} && !refused, "Relay",
           "a triggerSequential activated twice to Activate its targets " + Hex(first) + " then " + Hex(second),
           seen,
           "deliver OnActivate through the object's event entry (Entry_OnActivate) to each object "
           "whose HandlesEvent(\"OnActivate\") is true, resume its waiting Init every frame, and run "
           "NumTargets, GetTarget and Activate on the entity's target list");
}

// ---- console, clock, random numbers ---------------------------------------------------------

void Checker::Printing() {
    driver_.TakeConsole();
    sys_->Printf("hostcheck %s %d %.2f %c%%\n", "text", 42, 1.5, 'x');
    const std::string formatted = driver_.TakeConsole();
    Expect(formatted.find("hostcheck text 42 1.50 x%") != std::string::npos, "Printf",
           "the console to show \"hostcheck text 42 1.50 x%\"", "\"" + formatted + "\"",
           "format like printf (vsnprintf with the va_list) and print the result");

    const std::string longLine(3000, 'q');
    sys_->Printf("%s\n", longLine.c_str());
    const std::string printed = driver_.TakeConsole();
    Expect(printed.find(longLine) != std::string::npos, "Printf.long",
           "a line of 3000 characters printed whole",
           std::to_string(std::count(printed.begin(), printed.end(), 'q')) + " of them",
           "size the buffer to the formatted text (vsnprintf(nullptr, 0, ...) first)");
}

void Checker::ClockAndRandom() {
    const int32_t frameMs = sys_->FrameTimeMs();
    const int32_t before = sys_->GameTimeMs();
    Frames(1);
    const int32_t after = sys_->GameTimeMs();
    Expect(frameMs > 0 && after - before == sys_->FrameTimeMs(), "GameTimeMs",
           "a frame to advance GameTimeMs by FrameTimeMs (" + std::to_string(frameMs) + ")",
           "advanced by " + std::to_string(after - before),
           "advance the game time by the frame's duration each frame and answer both in milliseconds");

    bool inRange = true, seenAll = true;
    int counts[10] = {};
    for (int i = 0; i < 2000; ++i) {
        const int32_t r = sys_->RandomInt(10);
        if (r < 0 || r >= 10) inRange = false;
        else ++counts[r];
    }
    for (int c : counts) seenAll &= c > 0;
    const int32_t one = sys_->RandomInt(1), zero = sys_->RandomInt(0), negative = sys_->RandomInt(-3);
    Expect(inRange && seenAll && one == 0 && zero == 0 && negative == 0, "RandomInt",
           "RandomInt(10) in 0 to 9 with every value drawn in 2000 tries, and 0 for n = 1, 0, -3",
           std::string(inRange ? "" : "a value out of range, ") + (seenAll ? "" : "a value never drawn, ") +
               "RandomInt(1) " + std::to_string(one) + ", (0) " + std::to_string(zero) + ", (-3) " +
               std::to_string(negative),
           "return 0 to n-1, and 0 when n is 1 or less");

    bool floatsOk = true;
    float lowest = 1.0f, highest = 0.0f;
    for (int i = 0; i < 2000; ++i) {
        const float r = sys_->RandomFloat();
        if (!(r >= 0.0f && r < 1.0f)) floatsOk = false;
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    Expect(floatsOk && highest - lowest > 0.5f, "RandomFloat", "fractions 0 <= r < 1, spread over the range",
           floatsOk ? "from " + std::to_string(lowest) + " to " + std::to_string(highest) : "a value outside [0, 1)",
           "return a uniform fraction in [0, 1)");

    const int32_t players = sys_->NumPlayers();
    bool valid = true;
    for (int32_t i = 0; i < players; ++i) valid &= sys_->EntityIsValid(sys_->GetPlayer(i));
    const uint32_t below = sys_->GetPlayer(-1), beyond = sys_->GetPlayer(players);
    Expect(players >= 0 && valid && below == 0 && beyond == 0, "GetPlayer",
           "valid entities for 0 to NumPlayers-1 and 0 for -1 and NumPlayers",
           std::to_string(players) + " players" + (valid ? "" : ", one invalid") + ", GetPlayer(-1) " +
               Hex(below) + ", GetPlayer(" + std::to_string(players) + ") " + Hex(beyond),
           "answer 0 for an index with no player");
}

// ---- teardown -------------------------------------------------------------------------------

void Checker::Teardown() {
    for (uint32_t entity : entities_) driver_.RemoveEntity(entity);
    const bool invalid = std::none_of(entities_.begin(), entities_.end(),
                                      [this](uint32_t e) { return sys_->EntityIsValid(e); });
    Frames(2);
    const bool refused = !Call(probe_, method::GetName, nullptr);
    const bool objectGone = sys_->GetScriptObject(probe_, probeIndex_) == nullptr;
    Expect(invalid && refused && objectGone, "RemoveEntity",
           "a removed entity to be invalid at once, its methods refused and its objects gone",
           std::string(invalid ? "invalid" : "still valid") + ", GetName " + (refused ? "refused" : "ran") +
               ", GetScriptObject " + (objectGone ? "null" : "still an object"),
           "a removed entity is invalid from then on: EntityIsValid false, CallEntityMethod false, "
           "GetScriptObject null");

    const size_t running = static_cast<size_t>(std::count_if(
        probeThreads_.begin(), probeThreads_.end(), [this](uint32_t id) { return sys_->IsThreadRunning(id); }));
    Expect(running == 0, "RemoveEntity.threads",
           "every thread of the removed entities' objects ended",
           std::to_string(running) + " of the kit's threads still running",
           "end every thread of an object (unwinding it) before its Destroy(1)");

    size_t bytes = 0;
    for (const auto& [block, info] : recorder_.liveBlocks) bytes += info.size;
    Expect(recorder_.liveBlocks.empty(), "Destroy",
           "every block the module allocated for the kit's objects and threads freed after their "
           "entities were removed",
           std::to_string(recorder_.liveBlocks.size()) + " blocks (" + std::to_string(bytes) + " bytes) still live",
           "when an entity goes, call Shutdown then Destroy(1) on each of its objects and end their "
           "threads by unwinding them");
    Expect(recorder_.allocationFaults.empty(), "Allocate.module",
           "aligned blocks for every allocation of the module",
           recorder_.allocationFaults.empty() ? "all aligned" : recorder_.allocationFaults.front(),
           "Allocate must return memory aligned like malloc (16 bytes), for every size");
}

Report Checker::Run() {
    if (Setup()) {
        Memory();
        Lookup();
        ThreadStart();
        WakeOrder();
        Waits();
        Ending();
        ModuleUnwind();
        Cvars();
        Methods();
        Relay();
        Printing();
        ClockAndRandom();
        Teardown();
    }
    if (engineSystem_) module_->SetSystem(engineSystem_);
    return report_;
}

}  // namespace

int Report::Failures() const {
    return static_cast<int>(std::count_if(results.begin(), results.end(),
                                          [](const CheckResult& r) { return !r.passed; }));
}

std::string Report::Text() const {
    std::string text;
    for (const CheckResult& r : results)
        text += std::string(r.passed ? "PASS  " : "FAIL  ") + r.name + ": " + r.detail + "\n";
    const int failed = Failures();
    text += std::to_string(results.size() - static_cast<size_t>(failed)) + " passed, " +
            std::to_string(failed) + " failed\n";
    return text;
}

Report RunChecks(kvQuorinSystem* system, kvQuorin* module, Driver& driver) {
    return Checker(system, module, driver).Run();
}

int Run(kvQuorinSystem* system, kvQuorin* module, Driver& driver, FILE* out) {
    const Report report = RunChecks(system, module, driver);
    std::fputs(report.Text().c_str(), out);
    return report.Failures() == 0 ? 0 : 1;
}

}  // namespace qohostcheck
