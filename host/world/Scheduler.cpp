#include "host/world/Scheduler.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include <boost/context/fiber.hpp>

#include "host/records/Recorder.h"
#include "quorin/kvQOObject.h"
#include "quorin/kvQuorinSystem.h"

#if QOHOST_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace qohost {

namespace ctx = boost::context;

// A fiber switch leaves the processor's return predictions for the other stack, so every return
// that crosses a switch is mispredicted. The switches therefore sit directly in the functions
// the host calls (the waits) and in the frame loop, not in helpers that would return across them.
#define QOHOST_SWITCH_INLINE inline __attribute__((always_inline))

namespace {

// Waits longer than this never end by themselves (they still end with their thread).
constexpr double kForeverSeconds = 1.0e9;

void InitEntry(kvQOObject* object, void*) {
    if (object) object->Init();
}

}  // namespace

// ---- fiber stacks ----------------------------------------------------------------------------

// Fixed-size stacks, each with an inaccessible guard page below it, kept for reuse until the
// scheduler goes away. Stacks are cut from large mappings (chunks) so that a hundred thousand
// threads need about a thousand kernel mappings, not two each: the guard pages are guard
// regions (MADV_GUARD_INSTALL), which do not split a mapping; on a kernel without them they
// are protected pages, one extra mapping each. Every stack starts right at its top: a suspended
// thread of the common classes then lies within the top page, so a thread holds one resident
// page. (Staggering the tops to spread the hot frames over cache sets pushed half the threads
// into a second page and made no difference to the frame time that stood out of the noise.)
class Scheduler::StackPool {
public:
    StackPool(size_t usable, size_t maxStacks, bool paint) : maxStacks_(maxStacks), paint_(paint) {
        const long page = sysconf(_SC_PAGESIZE);
        page_ = page > 0 ? static_cast<size_t>(page) : 4096;
        usable_ = (std::max(usable, 4 * page_) + page_ - 1) / page_ * page_;
        perChunk_ = std::max(kMinPerChunk, kChunkBytes / (usable_ + page_));
    }
    ~StackPool() {
        for (const auto& [base, bytes] : chunks_) munmap(base, bytes);
    }
    StackPool(const StackPool&) = delete;
    StackPool& operator=(const StackPool&) = delete;

    // Throws std::bad_alloc when no stack can be had; Error() then says why.
    ctx::stack_context Allocate() {
        error_.clear();
        if (free_.empty()) AddChunk();
        char* top = free_.back();
        free_.pop_back();
        if (free_.size() < fresh_) {
            // A stack never used before: its top page, where the thread starts, is made
            // resident in one system call, which costs a fraction of the page fault that the
            // first write would take (on virtual machines most of all). Older kernels refuse
            // the advice; the first write then faults the page in as usual.
            fresh_ = free_.size();
            if (!paint_) madvise(top - page_, page_, MADV_POPULATE_WRITE);
        }
        ctx::stack_context sc;
        sc.sp = top;
        sc.size = usable_;
        if (paint_) std::memset(top - usable_, kPaint, usable_);
        return sc;
    }

    void Deallocate(ctx::stack_context& sc) noexcept {
        const auto sp = reinterpret_cast<uintptr_t>(sc.sp);
        char* top = reinterpret_cast<char*>((sp + page_ - 1) / page_ * page_);
        if (paint_) {
            // The lowest byte that no longer holds the pattern marks the deepest frame.
            const char* p = top - usable_;
            const char* sp0 = static_cast<const char*>(sc.sp);
            while (p < sp0 && static_cast<unsigned char>(*p) == kPaint) ++p;
            highWater_ = std::max(highWater_, static_cast<size_t>(sp0 - p));
        }
#if QOHOST_ASAN
        ASAN_UNPOISON_MEMORY_REGION(top - usable_, usable_);
#endif
        free_.push_back(top);
    }

    // True when no stack is free and the limit allows no more: a thread refused at the
    // limit is then refused without an exception (a level that keeps starting threads at the
    // limit asks for thousands a frame).
    bool AtLimit() const { return free_.empty() && maxStacks_ != 0 && made_ >= maxStacks_; }
    std::string LimitText() const {
        return "the limit of " + std::to_string(maxStacks_) + " fiber stacks is reached";
    }
    const std::string& Error() const { return error_; }
    size_t HighWater() const { return highWater_; }
    size_t Mappings() const { return chunks_.size() + (guardRegions_ ? 0 : made_); }

private:
    static constexpr size_t kChunkBytes = size_t{8} << 20;  // or kMinPerChunk stacks
    static constexpr size_t kMinPerChunk = 64;
    static constexpr unsigned char kPaint = 0xA5;
#ifndef MADV_GUARD_INSTALL
    static constexpr int MADV_GUARD_INSTALL = 102;
#endif
#ifndef MADV_POPULATE_WRITE
    static constexpr int MADV_POPULATE_WRITE = 23;
#endif

    void AddChunk() {
        size_t count = perChunk_;
        if (maxStacks_ != 0) {
            if (made_ >= maxStacks_) {
                Fail(LimitText());
            }
            count = std::min(count, maxStacks_ - made_);
        }
        const size_t slot = usable_ + page_;
        void* mapped = mmap(nullptr, count * slot, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (mapped == MAP_FAILED)
            Fail("no memory for fiber stacks (" + std::string(std::strerror(errno)) + ")");
        char* base = static_cast<char*>(mapped);
        for (size_t i = 0; i < count; ++i) {
            char* guard = base + i * slot;
            if (guardRegions_ && madvise(guard, page_, MADV_GUARD_INSTALL) != 0)
                guardRegions_ = false;  // an older kernel: protected pages instead
            if (!guardRegions_ && mprotect(guard, page_, PROT_NONE) != 0) {
                const int error = errno;
                munmap(mapped, count * slot);
                Fail("the kernel's limit of memory mappings is reached (" +
                     std::string(std::strerror(error)) + ")");
            }
        }
        chunks_.emplace_back(mapped, count * slot);
        // Hand out the lowest stacks first (the free list is taken from the back).
        for (size_t i = count; i-- > 0;) free_.push_back(base + i * slot + slot);
        fresh_ = free_.size();  // the free list was empty: all of it is new
        made_ += count;
    }

    [[noreturn]] void Fail(std::string why) {
        error_ = std::move(why);
        throw std::bad_alloc();
    }

    size_t page_ = 4096;
    size_t usable_ = 0;
    size_t perChunk_ = 1;
    size_t maxStacks_ = 0;
    size_t made_ = 0;
    size_t fresh_ = 0;  // free_[0, fresh_) have never been used
    bool guardRegions_ = true;
    bool paint_ = false;
    size_t highWater_ = 0;
    std::string error_;
    std::vector<std::pair<void*, size_t>> chunks_;  // base, bytes
    std::vector<char*> free_;
};

// ---- thread records --------------------------------------------------------------------------

struct Scheduler::Entry {
    Entry() = default;
    Entry(Thread* thread, uint64_t serial, int64_t wakeUs, const char* stack, uint32_t id)
        : thread(thread), serial(serial), wakeUs(wakeUs), stack(stack), id(id) {}

    Thread* thread;
    uint64_t serial;    // the thread's park serial when queued; stale once it differs
    int64_t wakeUs;
    const char* stack;  // near where the thread's stack was left, for prefetching
    uint32_t id;
};

namespace {

// Order of resumption: wake time, then creation order. As a heap comparison: "a after b".
struct WakesLater {
    template <class E>
    bool operator()(const E& a, const E& b) const {
        return a.wakeUs != b.wakeUs ? a.wakeUs > b.wakeUs : a.id > b.id;
    }
};

struct WakesEarlier {
    template <class E>
    bool operator()(const E& a, const E& b) const {
        return a.wakeUs != b.wakeUs ? a.wakeUs < b.wakeUs : a.id < b.id;
    }
};

}  // namespace

struct alignas(64) Scheduler::Thread {
    enum class State : uint8_t { Running, Parked, Finished };

    // What every resumption touches comes first, in one cache line.
    ctx::fiber fiber;   // the thread's continuation while it is parked
    ctx::fiber caller;  // the context that resumed it, while it runs
    uint64_t parkSerial = 0;  // 0 while not parked
    uint32_t id = 0;
    State state = State::Running;
    WaitKind wait = WaitKind::None;
    bool endRequested = false;  // ended: no longer "running" for anyone asking
    bool unwinding = false;     // ThreadUnwind is on its way up the fiber
    bool holdReleased = false;
    EndReason endReason = EndReason::Returned;
    uint32_t holdActor = 0;

    ThreadInfo info;
    Thread* prevOfObject = nullptr;  // its object's threads (Scheduler::byObject_)
    Thread* nextOfObject = nullptr;
    qoThreadEntry entry = nullptr;
    void* args = nullptr;
    std::vector<std::pair<Thread*, uint64_t>> waiters;  // threads waiting for this one to end

    // Stack bounds for the sanitizer's fiber-switch annotations.
    const void* stackBottom = nullptr;
    size_t stackSize = 0;
    const void* callerBottom = nullptr;
    size_t callerSize = 0;
    void* fakeStack = nullptr;
};

namespace {

// The stack allocator handed to Boost: draws from the scheduler's pool and notes the bounds.
template <class Pool, class Thread>
struct PoolAllocator {
    Pool* pool;
    Thread* thread;
    ctx::stack_context allocate() {
        ctx::stack_context sc = pool->Allocate();
        thread->stackBottom = static_cast<char*>(sc.sp) - sc.size;
        thread->stackSize = sc.size;
        return sc;
    }
    void deallocate(ctx::stack_context& sc) noexcept { pool->Deallocate(sc); }
};

// Sanitizer annotations around every fiber switch (no-ops in other builds).
inline void StartSwitch(void** fakeStackSave, const void* bottom, size_t size) {
#if QOHOST_ASAN
    __sanitizer_start_switch_fiber(fakeStackSave, bottom, size);
#else
    (void)fakeStackSave, (void)bottom, (void)size;
#endif
}

inline void FinishSwitch(void* fakeStack, const void** oldBottom, size_t* oldSize) {
#if QOHOST_ASAN
    __sanitizer_finish_switch_fiber(fakeStack, oldBottom, oldSize);
#else
    (void)fakeStack, (void)oldBottom, (void)oldSize;
#endif
}

}  // namespace

// ---- construction ----------------------------------------------------------------------------

Scheduler::Scheduler(SchedulerOptions options)
    : options_(options),
      stacks_(std::make_unique<StackPool>(options.stackSize, options.maxStacks, options.paintStacks)) {}

Scheduler::~Scheduler() { EndAll(); }

void Scheduler::SetClock(uint32_t frame, int64_t timeUs) {
    frame_ = frame;
    timeUs_ = timeUs;
}

Scheduler::Thread* Scheduler::NewThread() {
    if (freeRecords_.empty()) {
        records_.push_back(std::make_unique<Thread>());
        return records_.back().get();
    }
    Thread* t = freeRecords_.back();
    freeRecords_.pop_back();
    return t;
}

Scheduler::Thread* Scheduler::Lookup(uint32_t id) const {
    if (id == qoCurrentThread) return current_;
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
}

// Forgets a thread that has ended (or was never started): by id and by object.
void Scheduler::Forget(Thread* t) {
    byId_.erase(t->id);
    if (auto it = byObject_.find(t->info.object); it != byObject_.end()) {
        ObjectThreads& list = it->second;
        (t->prevOfObject ? t->prevOfObject->nextOfObject : list.first) = t->nextOfObject;
        (t->nextOfObject ? t->nextOfObject->prevOfObject : list.last) = t->prevOfObject;
        t->prevOfObject = t->nextOfObject = nullptr;
        if (!list.first) byObject_.erase(it);
    }
    --live_;
    t->info.object = nullptr;
    freeRecords_.push_back(t);
}

const std::string& Scheduler::LastCreateError() const { return lastError_; }
size_t Scheduler::StackMappings() const { return stacks_->Mappings(); }
size_t Scheduler::StackHighWater() const { return stacks_->HighWater(); }

const ThreadInfo* Scheduler::Find(uint32_t id) const {
    const Thread* t = Lookup(id);
    return t ? &t->info : nullptr;
}

std::vector<uint32_t> Scheduler::LiveThreads() const {
    std::vector<uint32_t> ids;
    ids.reserve(byId_.size());
    for (const auto& [id, t] : byId_) ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

void Scheduler::Emit(ThreadEvent& event, const Thread& thread) {
    event.frame = frame_;
    event.timeUs = timeUs_;
    event.thread = thread.id;
    if (options_.keepLog) log_.push_back(event);
    if (observer_) observer_->OnThreadEvent(event, thread.info);
}

// ---- creation and switching ------------------------------------------------------------------

uint32_t Scheduler::Create(const char* name, kvQOObject* object, qoThreadEntry entry, void* args,
                           ThreadOwner owner, bool network) {
    if (!entry) return 0;
    if (stacks_->AtLimit()) {
        lastError_ = stacks_->LimitText();
        return 0;
    }
    Thread* t = NewThread();
    t->id = nextId_++;
    t->info.id = t->id;
    t->info.name = name ? name : "";
    t->info.object = object;
    t->info.owner = owner;
    t->info.creator = Current();
    t->info.network = network;
    t->info.entry = entry;
    t->entry = entry;
    t->args = args;
    t->state = Thread::State::Running;
    t->endRequested = false;
    t->unwinding = false;
    t->endReason = EndReason::Returned;
    t->wait = WaitKind::None;
    t->parkSerial = 0;
    t->waiters.clear();
    byId_.emplace(t->id, t);
    ObjectThreads& ofObject = byObject_[object];
    t->prevOfObject = ofObject.last;
    t->nextOfObject = nullptr;
    (ofObject.last ? ofObject.last->nextOfObject : ofObject.first) = t;
    ofObject.last = t;
    ++live_;

    try {
        t->fiber = ctx::fiber(std::allocator_arg, PoolAllocator<StackPool, Thread>{stacks_.get(), t},
                              [t](ctx::fiber&& caller) {
                                  t->caller = std::move(caller);
                                  FiberMain(t);
                                  return std::move(t->caller);
                              });
    } catch (const std::bad_alloc&) {
        lastError_ = stacks_->Error().empty() ? "out of memory" : stacks_->Error();
        Forget(t);
        return 0;
    }

    const uint32_t id = t->id;
    if (Recording()) {
        ThreadEvent start;
        start.kind = ThreadEvent::Kind::Start;
        start.network = network;
        start.other = t->info.creator;
        Emit(start, *t);
    }
    Switch(t);
    return id;
}

uint32_t Scheduler::StartInit(kvQOObject* object, ThreadOwner owner) {
    return Create("Init", object, &InitEntry, nullptr, owner);
}

// Runs on the thread's own fiber, from its first resumption to its end.
void Scheduler::FiberMain(Thread* t) {
    FinishSwitch(nullptr, &t->callerBottom, &t->callerSize);
    try {
        t->entry(t->info.object, t->args);
    } catch (const ThreadUnwind&) {
        // Ended at a suspension point; every frame above has been unwound.
    }
    // Leaving for good. Boost's frames above still run on this stack until the switch, so the
    // fake stack (when the sanitizer keeps one for use-after-return checks) is kept, not dropped.
    StartSwitch(&t->fakeStack, t->callerBottom, t->callerSize);
}

// Resumes a thread from the current context (the host or another thread) and returns when it
// suspends or ends.
QOHOST_SWITCH_INLINE void Scheduler::Switch(Thread* t) {
    Thread* previous = current_;
    current_ = t;
    t->state = Thread::State::Running;
    void* fakeStack = nullptr;
    StartSwitch(&fakeStack, t->stackBottom, t->stackSize);
    t->fiber = std::move(t->fiber).resume();
    FinishSwitch(fakeStack, nullptr, nullptr);
    current_ = previous;
    if (!t->fiber) Finish(t);
}


// The thread is done: its fiber has returned and its stack is back in the pool.
void Scheduler::Finish(Thread* t) {
    t->state = Thread::State::Finished;
    if (!t->endRequested) {
        t->endRequested = true;
        t->endReason = EndReason::Returned;
        for (auto [waiter, serial] : t->waiters)
            if (waiter->parkSerial == serial) MakeDue(waiter);
        t->waiters.clear();
    }
    if (Recording()) {
        ThreadEvent end;
        end.kind = ThreadEvent::Kind::End;
        end.reason = t->endReason;
        Emit(end, *t);
    }
    Forget(t);
}

// ---- suspension ------------------------------------------------------------------------------

QOHOST_SWITCH_INLINE void Scheduler::MarkParked(Thread* t, WaitKind wait) {
    t->state = Thread::State::Parked;
    t->wait = wait;
    t->parkSerial = ++parkSerial_;
}

// Parks the calling thread for any wait but a frame.
void Scheduler::Park(Thread* t, WaitKind wait, int64_t wakeUs, double seconds, uint32_t other) {
    MarkParked(t, wait);
    const char* stack = static_cast<const char*>(__builtin_frame_address(0));
    if (wait == WaitKind::Thread) {
        if (Thread* target = Lookup(other)) target->waiters.emplace_back(t, t->parkSerial);
    } else {  // a time, or a hold for a time
        if (wakeUs <= timeUs_) {
            nextFrame_.push_back({t, t->parkSerial, timeUs_, stack, t->id});
        } else if (seconds < kForeverSeconds) {
            timed_.push_back({t, t->parkSerial, wakeUs, stack, t->id});
            std::push_heap(timed_.begin(), timed_.end(), WakesLater{});
        }
        if (wait == WaitKind::Hold) held_.push_back(t);
    }
}

// Parks the calling thread for a frame, the commonest wait: written into the wait itself, so
// that the suspension adds no frames below the wait's own. Every frame resumes and parks each
// such thread again, and each stack line the suspension writes is a line the frame pass has to
// fetch back.
QOHOST_SWITCH_INLINE void Scheduler::ParkForFrame(Thread* t) {
    MarkParked(t, WaitKind::Frame);
    nextFrame_.emplace_back(t, t->parkSerial, timeUs_,
                            static_cast<const char*>(__builtin_frame_address(0)), t->id);
}

void Scheduler::RecordSuspend(const Thread& t, WaitKind wait, double seconds, uint32_t other) {
    ThreadEvent suspend;
    suspend.kind = ThreadEvent::Kind::Suspend;
    suspend.wait = wait;
    suspend.other = other;
    suspend.seconds = seconds;
    Emit(suspend, t);
}

// Queues a parked thread for the next frame, whatever it was waiting for.
void Scheduler::MakeDue(Thread* t) {
    t->parkSerial = ++parkSerial_;
    nextFrame_.push_back({t, t->parkSerial, timeUs_, nullptr, t->id});
}

// Suspends the calling thread; returns when it is resumed, or throws ThreadUnwind when it
// was ended meanwhile (or before: an ended thread does not suspend again).
QOHOST_SWITCH_INLINE void Scheduler::Suspend(WaitKind wait, int64_t wakeUs, double seconds,
                                              uint32_t other) {
    Thread* t = current_;
    if (wait == WaitKind::Frame)
        ParkForFrame(t);
    else
        Park(t, wait, wakeUs, seconds, other);
    if (Recording()) RecordSuspend(*t, wait, seconds, other);
    StartSwitch(&t->fakeStack, t->callerBottom, t->callerSize);
    t->caller = std::move(t->caller).resume();
    FinishSwitch(t->fakeStack, &t->callerBottom, &t->callerSize);
    t->parkSerial = 0;
    if (t->wait == WaitKind::Hold || t->endRequested || Recording()) Resumed(t);
}

// The rarer work after a resumption: leaving a hold, unwinding, recording.
void Scheduler::Resumed(Thread* t) {
    if (t->wait == WaitKind::Hold) held_.erase(std::find(held_.begin(), held_.end(), t));
    if (t->endRequested) {
        t->unwinding = true;
        throw ThreadUnwind{};
    }
    if (Recording()) {
        ThreadEvent resume;
        resume.kind = ThreadEvent::Kind::Resume;
        resume.wait = t->wait;
        Emit(resume, *t);
    }
}

namespace {

// The calling thread when it may suspend: null outside threads and while a thread unwinds
// (destructors that wait do not wait). An ended thread unwinds here.
template <class Thread>
Thread* SuspensionPoint(Thread* t) {
    if (!t || t->unwinding) return nullptr;
    if (t->endRequested) {
        t->unwinding = true;
        throw ThreadUnwind{};
    }
    return t;
}

int64_t Micros(double seconds) { return static_cast<int64_t>(std::llround(seconds * 1.0e6)); }

}  // namespace

void Scheduler::WaitFrame() {
    if (!SuspensionPoint(current_)) return;
    Suspend(WaitKind::Frame, timeUs_, 0.0, 0);
}

void Scheduler::WaitSeconds(double seconds) {
    if (!SuspensionPoint(current_)) return;
    if (!(seconds > 0.0)) seconds = 0.0;  // negative and NaN
    const int64_t wake = seconds < kForeverSeconds ? timeUs_ + Micros(seconds) : INT64_MAX;
    Suspend(WaitKind::Seconds, wake, seconds, 0);
}

void Scheduler::WaitForThread(uint32_t id) {
    Thread* self = SuspensionPoint(current_);
    if (!self) return;
    Thread* target = Lookup(id);
    if (target == self) {
        // Waiting for oneself never ends; give the frame back so the host goes on.
        Suspend(WaitKind::Frame, timeUs_, 0.0, 0);
        return;
    }
    if (!target || target->endRequested) return;
    Suspend(WaitKind::Thread, 0, 0.0, target->id);
}

HoldResult Scheduler::Hold(double seconds, uint32_t actor) {
    Thread* t = SuspensionPoint(current_);
    if (!t) return HoldResult::NotInThread;
    if (!(seconds > 0.0)) seconds = 0.0;
    const int64_t wake = seconds < kForeverSeconds ? timeUs_ + Micros(seconds) : INT64_MAX;
    t->holdActor = actor;
    t->holdReleased = false;
    Suspend(WaitKind::Hold, wake, seconds, actor);
    return t->holdReleased ? HoldResult::Released : HoldResult::Completed;
}

uint32_t Scheduler::HeldBy(uint32_t actor) const {
    uint32_t found = 0;
    for (const Thread* t : held_)
        if (t->holdActor == actor && !t->holdReleased && (found == 0 || t->id < found))
            found = t->id;
    return found;
}

int Scheduler::ReleaseHolds(uint32_t actor) {
    int released = 0;
    for (Thread* t : held_) {
        if (t->holdActor != actor || t->holdReleased) continue;
        t->holdReleased = true;
        MakeDue(t);
        ++released;
    }
    return released;
}

// ---- the frame -------------------------------------------------------------------------------

void Scheduler::RunFrame(uint32_t frame, int64_t timeUs) {
    if (current_) return;  // only the host runs frames
    SetClock(frame, timeUs);
    ready_.clear();
    ready_.swap(nextFrame_);
    dueTimed_.clear();
    while (!timed_.empty() && timed_.front().wakeUs <= timeUs_) {
        std::pop_heap(timed_.begin(), timed_.end(), WakesLater{});
        if (timed_.back().thread->parkSerial == timed_.back().serial)
            dueTimed_.push_back(timed_.back());
        timed_.pop_back();
    }
    // Frame waiters are queued in the order they suspended, which is nearly always creation
    // order already; timed waits come off the heap in order. Merge the two.
    if (!std::is_sorted(ready_.begin(), ready_.end(), WakesEarlier{}))
        std::stable_sort(ready_.begin(), ready_.end(), WakesEarlier{});
    if (!dueTimed_.empty()) {
        const size_t frameWaiters = ready_.size();
        ready_.insert(ready_.end(), dueTimed_.begin(), dueTimed_.end());
        std::inplace_merge(ready_.begin(), ready_.begin() + static_cast<ptrdiff_t>(frameWaiters),
                           ready_.end(), WakesEarlier{});
    }
    // Fetch the records and the stack lines around where the threads a few places ahead were
    // left: with thousands of threads they are no longer in the nearer caches. The window
    // reaches four lines below the mark the suspension left, since the next suspension writes
    // there (saved registers, the switch): with one line below, a profile of 100,000 threads
    // put a fifth of the run on that first touch of the stack. (Tuned on the frame benchmark:
    // fewer lines or a shorter distance cost more than they save.)
    constexpr size_t kAhead = 8;
    const size_t count = ready_.size();
    for (size_t i = 0; i < count; ++i) {
        if (i + kAhead < count) {
            const Entry& next = ready_[i + kAhead];
            __builtin_prefetch(next.thread);
            if (next.stack)
                for (int line = -4; line < 4; ++line) __builtin_prefetch(next.stack + 64 * line);
        }
        const Entry& e = ready_[i];
        if (e.thread->parkSerial == e.serial) Switch(e.thread);
    }
    ready_.clear();
}

// ---- ending ----------------------------------------------------------------------------------

void Scheduler::Request(Thread* t, EndReason reason) {
    if (t->endRequested) return;
    t->endRequested = true;
    t->endReason = reason;
    for (auto [waiter, serial] : t->waiters)
        if (waiter->parkSerial == serial) MakeDue(waiter);
    t->waiters.clear();
    // A parked thread unwinds now; one on the running chain at its next suspension point.
    if (t->state == Thread::State::Parked) Switch(t);
}

void Scheduler::End(uint32_t id) {
    if (id == 0) return;
    Thread* t = Lookup(id);
    if (!t) return;
    Request(t, t == current_ ? EndReason::EndedItself : EndReason::EndedById);
}

void Scheduler::EndByName(const char* name, const kvQOObject* object) {
    if (!name) return;
    std::vector<uint32_t> ids;
    if (auto it = byObject_.find(object); it != byObject_.end())
        for (const Thread* t = it->second.first; t; t = t->nextOfObject)
            if (!t->endRequested && t->info.name == name) ids.push_back(t->id);
    for (uint32_t id : ids)
        if (Thread* t = Lookup(id)) Request(t, EndReason::EndedByName);
}

void Scheduler::EndThreadsOf(const kvQOObject* object) {
    if (!object) return;
    std::vector<uint32_t> ids;
    if (auto it = byObject_.find(object); it != byObject_.end())
        for (const Thread* t = it->second.first; t; t = t->nextOfObject) ids.push_back(t->id);
    for (uint32_t id : ids)
        if (Thread* t = Lookup(id)) Request(t, EndReason::ObjectDestroyed);
}

void Scheduler::EndAll() {
    // Unwinding threads may start others; go round until none is left. From inside a thread
    // the running chain can only be marked, so one round is all there is.
    for (int round = 0; round < 64 && live_ > 0; ++round) {
        for (uint32_t id : LiveThreads())
            if (Thread* t = Lookup(id)) Request(t, EndReason::Teardown);
        if (current_) break;
    }
}

// ---- queries ---------------------------------------------------------------------------------

bool Scheduler::GetContext(uint32_t id, qoThreadContext* out) const {
    const Thread* t = Lookup(id);
    if (!t || !out) return false;
    out->entity = t->info.owner.entity;
    out->objectIndex = t->info.owner.objectIndex;
    out->threadName = t->info.name.c_str();
    return true;
}

bool Scheduler::IsRunning(uint32_t id) const {
    const Thread* t = Lookup(id);
    return t && !t->endRequested;
}

uint32_t Scheduler::Current() const { return current_ ? current_->id : 0; }

// ---- recording -------------------------------------------------------------------------------

namespace {

const char* WaitName(WaitKind wait) {
    switch (wait) {
        case WaitKind::None: return "none";
        case WaitKind::Frame: return "frame";
        case WaitKind::Seconds: return "seconds";
        case WaitKind::Thread: return "thread";
        case WaitKind::Hold: return "hold";
    }
    return "?";
}

const char* ReasonName(EndReason reason) {
    switch (reason) {
        case EndReason::Returned: return "returned";
        case EndReason::EndedById: return "ended";
        case EndReason::EndedItself: return "ended itself";
        case EndReason::EndedByName: return "ended by name";
        case EndReason::ObjectDestroyed: return "object destroyed";
        case EndReason::Teardown: return "teardown";
    }
    return "?";
}

}  // namespace

void FormatThreadRecord(const Record& record, std::string& out) {
    const auto& r = *static_cast<const ThreadRecord*>(record.detail);
    out += FormatThreadEvent(r.event, r.info);
}

std::string FormatThreadEvent(const ThreadEvent& e, const ThreadInfo& thread) {
    char buf[96];
    const std::string id = std::to_string(e.thread);
    switch (e.kind) {
        case ThreadEvent::Kind::Start:
            std::snprintf(buf, sizeof buf, " on %u.%u by %u%s", thread.owner.entity,
                          thread.owner.objectIndex, e.other, e.network ? " (network)" : "");
            return "start " + id + " \"" + thread.name + "\"" + buf;
        case ThreadEvent::Kind::Suspend:
            switch (e.wait) {
                case WaitKind::Seconds: std::snprintf(buf, sizeof buf, " %g", e.seconds); break;
                case WaitKind::Thread: std::snprintf(buf, sizeof buf, " %u", e.other); break;
                case WaitKind::Hold:
                    std::snprintf(buf, sizeof buf, " %g by %u", e.seconds, e.other);
                    break;
                default: buf[0] = 0; break;
            }
            return "suspend " + id + " " + WaitName(e.wait) + buf;
        case ThreadEvent::Kind::Resume: return "resume " + id;
        case ThreadEvent::Kind::End: return "end " + id + " " + ReasonName(e.reason);
    }
    return id;
}

}  // namespace qohost
