// Script threads of the reference host: stackful fibers (Boost.Context), run one at a time.
//
// A thread runs an entry (object, argument block) on a fiber of its own. Creating a thread
// runs the entry at once, and creation returns to the creator when the new thread first
// suspends or ends; the creator may itself be a thread. Threads suspend only inside host calls:
// waiting a frame, a time, for another thread, or while held by a latent action. Each frame
// (RunFrame) resumes the threads that are due, ordered by wake time, then by creation order.
//
// Ending a thread that is suspended resumes it with a ThreadUnwind exception thrown from its
// suspension point; the exception unwinds the script's frames, so their destructors run, and
// is caught at the fiber's entry. A thread that is on the running chain (the caller itself, or
// a creator waiting for its new thread to suspend) cannot be unwound from under its callee: it
// is marked ended at once and unwinds at its next suspension point. This is how a thread ends
// itself from an error report: the report returns, the script goes on to its next wait, and
// the wait does not come back.
//
// Thread ids count up from 1 and are never reused by a scheduler. Fiber stacks come from a
// pool of fixed-size stacks with a guard page below each, cut from large mappings. When no
// stack can be had (the pool's limit, memory, the kernel's mapping limit) Create returns 0 and
// LastCreateError says why; nothing is started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quorin/qoTypes.h"

// Whether this is built with AddressSanitizer: GCC says so through __SANITIZE_ADDRESS__, clang
// through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define QOHOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QOHOST_ASAN 1
#endif
#endif
#ifndef QOHOST_ASAN
#define QOHOST_ASAN 0
#endif

namespace qohost {

// The script object a thread belongs to, as the host numbers it (host slot 22).
struct ThreadOwner {
    uint32_t entity = 0;
    uint32_t objectIndex = 0;
};

enum class WaitKind : uint8_t {
    None,
    Frame,    // until the next frame
    Seconds,  // until an amount of game time has passed
    Thread,   // until another thread has ended
    Hold,     // held by a latent action of an entity, for a duration or until released
};

enum class EndReason : uint8_t {
    Returned,         // the entry returned
    EndedById,        // another thread or the host ended it by id
    EndedItself,      // it ended itself (by id or with the "calling thread" id)
    EndedByName,      // ended by name on its object
    ObjectDestroyed,  // its object went away
    Teardown,         // the scheduler ended every thread
};

enum class HoldResult : uint8_t {
    Completed,    // the duration passed
    Released,     // ReleaseHolds ended the hold early
    NotInThread,  // called outside any script thread: nothing was held
};

// One entry of the thread log: the thread's start, each suspension and resumption, its end.
struct ThreadEvent {
    enum class Kind : uint8_t { Start, Suspend, Resume, End };
    Kind kind = Kind::Start;
    WaitKind wait = WaitKind::None;       // Suspend
    EndReason reason = EndReason::Returned;  // End
    bool network = false;                 // Start: created through host slot 19
    uint32_t frame = 0;
    int64_t timeUs = 0;
    uint32_t thread = 0;
    uint32_t other = 0;     // Start: the creating thread (0: the host); Suspend on a thread: it;
                            // Suspend held: the entity the action belongs to
    double seconds = 0.0;   // Suspend for a time or held: the duration (infinity: until released)
};

// A thread as the host knows it. Valid while the thread lives.
struct ThreadInfo {
    uint32_t id = 0;
    std::string name;
    kvQOObject* object = nullptr;
    ThreadOwner owner;
    uint32_t creator = 0;
    bool network = false;
    qoThreadEntry entry = nullptr;
};

// Receives every thread event as it happens (the world's recorder).
class ThreadObserver {
public:
    virtual void OnThreadEvent(const ThreadEvent& event, const ThreadInfo& thread) = 0;

protected:
    ~ThreadObserver() = default;
};

// Thrown from a suspension point into a thread that was ended; caught at the fiber's entry.
// Script code never catches it. Host code that a script thread runs through (latent actions)
// must hold nothing but RAII state across a suspension.
struct ThreadUnwind {};

struct SchedulerOptions {
    // Usable bytes of each fiber stack (rounded up to whole pages), without the guard page.
    size_t stackSize = kDefaultStackSize;
    // Most fiber stacks the pool makes (0: as many as memory allows). Live threads each hold
    // one; an ended thread's stack is reused.
    size_t maxStacks = 0;
    // Also keep every ThreadEvent in Log(); the observer (the world's recorder) is told either
    // way.
    bool keepLog = false;
    // Debug aid: fill each fiber stack with a pattern before a thread starts on it, and when
    // the thread ends measure how deep the pattern was overwritten (StackHighWater). Costs a
    // pass over the whole stack per thread; off by default.
    bool paintStacks = false;

#if QOHOST_ASAN
    static constexpr size_t kDefaultStackSize = 256 * 1024;  // instrumented frames are larger
#else
    static constexpr size_t kDefaultStackSize = 64 * 1024;
#endif
};

class Scheduler {
public:
    explicit Scheduler(SchedulerOptions options = {});
    // Ends every live thread (from the host, never from inside a thread).
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // ---- the host's side --------------------------------------------------------------------
    // Sets the clock and resumes every thread that is due: frame waiters, and timed waits and
    // holds whose time has come, ordered by wake time then creation order. Threads that
    // suspend again during the pass, or become due during it, wait for the next call.
    void RunFrame(uint32_t frame, int64_t timeUs);
    // Sets the clock without resuming anything (level start).
    void SetClock(uint32_t frame, int64_t timeUs);
    uint32_t Frame() const { return frame_; }
    int64_t TimeUs() const { return timeUs_; }

    // Runs the object's Init (slot 0) as a thread named "Init".
    uint32_t StartInit(kvQOObject* object, ThreadOwner owner);
    // Runs a host function object as a thread (for example an event delivery whose handler may
    // wait). The function object is moved onto the new thread before this returns.
    template <class F>
    uint32_t Spawn(const char* name, kvQOObject* object, ThreadOwner owner, F body) {
        qoThreadEntry entry = [](kvQOObject*, void* args) {
            F local = std::move(*static_cast<F*>(args));
            local();
        };
        return Create(name, object, entry, &body, owner);
    }
    // Ends every thread of the object (it is about to be destroyed).
    void EndThreadsOf(const kvQOObject* object);
    // Ends every thread, repeatedly, until none is left.
    void EndAll();

    void SetObserver(ThreadObserver* observer) { observer_ = observer; }
    const std::vector<ThreadEvent>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }

    // A live thread, or null once it has ended (or never existed).
    const ThreadInfo* Find(uint32_t id) const;
    // Ids of the live threads in creation order.
    std::vector<uint32_t> LiveThreads() const;
    size_t LiveCount() const { return live_; }
    // Why the last Create that returned 0 failed ("the limit of 8 fiber stacks is reached").
    const std::string& LastCreateError() const;
    // Kernel mappings the stack pool holds.
    size_t StackMappings() const;
    // With SchedulerOptions::paintStacks: the most stack bytes any ended thread used, counted
    // from the top its entry started at; 0 otherwise.
    size_t StackHighWater() const;
    // True while script code is running (inside a thread).
    bool InThread() const { return current_ != nullptr; }

    // ---- host slots -------------------------------------------------------------------------
    // Slots 18 and 19. The name is copied. The entry runs on the new thread before this
    // returns; the id is returned even when the thread has already ended.
    uint32_t Create(const char* name, kvQOObject* object, qoThreadEntry entry, void* args,
                    ThreadOwner owner, bool network = false);
    // Slot 22: entity, object index and name of a live thread (qoCurrentThread: the caller).
    // The name stays valid while the thread lives.
    bool GetContext(uint32_t id, qoThreadContext* out) const;
    // Slot 23: every thread of the object that carries exactly that name.
    void EndByName(const char* name, const kvQOObject* object);
    // Slot 24 (qoCurrentThread: the caller). Unknown and ended ids do nothing.
    void End(uint32_t id);
    // Slot 25: true until the thread is ended; false from then on, also while an ended thread
    // runs on to its next suspension point or unwinds.
    bool IsRunning(uint32_t id) const;
    // Slot 26: the calling thread, 0 outside threads.
    uint32_t Current() const;
    // Slots 32, 33, 34. Outside a thread they return at once. A time of zero, a negative time
    // or NaN waits until the next frame. Waiting for a thread lasts until it ends (the waiter
    // goes on in the next frame); for a thread that is not running it returns at once, and
    // waiting for oneself gives one frame back instead of never ending.
    void WaitSeconds(double seconds);
    void WaitFrame();
    void WaitForThread(uint32_t id);

    // ---- latent actions (entity methods) ----------------------------------------------------
    // Holds the calling thread inside the action of `actor` for `seconds` of game time
    // (infinity: until released). Resumes in the first frame at or after the end, or the frame
    // after a release. Does not return if the thread is ended meanwhile (ThreadUnwind).
    HoldResult Hold(double seconds, uint32_t actor);
    // The thread held by an action of the actor (the first in creation order), 0 if none.
    uint32_t HeldBy(uint32_t actor) const;
    // Ends every hold of the actor; the threads go on in the next frame. Returns how many.
    int ReleaseHolds(uint32_t actor);

private:
    struct Thread;
    struct Entry;
    class StackPool;

    void Switch(Thread* thread);
    void Suspend(WaitKind wait, int64_t wakeUs, double seconds, uint32_t other);
    void Resumed(Thread* thread);
    void Park(Thread* thread, WaitKind wait, int64_t wakeUs, double seconds, uint32_t other);
    void MarkParked(Thread* thread, WaitKind wait);
    void ParkForFrame(Thread* thread);
    void RecordSuspend(const Thread& thread, WaitKind wait, double seconds, uint32_t other);
    void MakeDue(Thread* thread);
    void Request(Thread* thread, EndReason reason);
    void Finish(Thread* thread);
    static void FiberMain(Thread* thread);
    Thread* Lookup(uint32_t id) const;
    Thread* NewThread();
    void Forget(Thread* thread);
    bool Recording() const { return options_.keepLog || observer_ != nullptr; }
    void Emit(ThreadEvent& event, const Thread& thread);

    SchedulerOptions options_;
    std::unique_ptr<StackPool> stacks_;
    std::vector<std::unique_ptr<Thread>> records_;  // every record ever made
    std::vector<Thread*> freeRecords_;
    std::unordered_map<uint32_t, Thread*> byId_;  // live threads
    // An object's live threads in creation order, linked through the threads themselves.
    struct ObjectThreads {
        Thread* first = nullptr;
        Thread* last = nullptr;
    };
    std::unordered_map<const kvQOObject*, ObjectThreads> byObject_;
    uint32_t nextId_ = 1;
    size_t live_ = 0;
    Thread* current_ = nullptr;

    uint32_t frame_ = 0;
    int64_t timeUs_ = 0;
    uint64_t parkSerial_ = 0;
    std::vector<Entry> nextFrame_;  // due at the next frame, in the order they became due
    std::vector<Entry> timed_;      // min-heap on (wake time, id)
    std::vector<Entry> ready_;      // this frame's pass
    std::vector<Entry> dueTimed_;
    std::vector<Thread*> held_;     // threads parked in a hold, any order

    ThreadObserver* observer_ = nullptr;
    std::string lastError_;
    std::vector<ThreadEvent> log_;
};

// The detail of a thread record (RecordKind::Thread).
struct ThreadRecord {
    const ThreadEvent& event;
    const ThreadInfo& info;
};
// Appends FormatThreadEvent of a thread record's detail.
void FormatThreadRecord(const struct Record& record, std::string& out);

// One line for the world's recorder, e.g. "start 3 \"Update\" on #7.0 by 1",
// "suspend 3 seconds 0.5", "resume 3", "end 3 ended by name".
std::string FormatThreadEvent(const ThreadEvent& event, const ThreadInfo& thread);

}  // namespace qohost
