// The reference host's fiber scheduler on its own: thread bodies are host functions, objects
// are identities only. What the module sees of it is tested in threads_module_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "host/world/Scheduler.h"
#include "quorin/kvQuorinSystem.h"

namespace qohost {
namespace {

void RunBody(kvQOObject*, void* args) { (*static_cast<std::function<void()>*>(args))(); }

// Counts destructions: a stand-in for the locals of script code (strings, lists).
struct Local {
    explicit Local(int& counter) : counter(counter) {}
    ~Local() { ++counter; }
    int& counter;
};

kvQOObject* FakeObject(int n) { return reinterpret_cast<kvQOObject*>(static_cast<uintptr_t>(0x1000 * n)); }

class SchedulerTest : public ::testing::Test {
protected:
    uint32_t Start(std::function<void()> body, const char* name = "T",
                   kvQOObject* object = nullptr, ThreadOwner owner = {}) {
        bodies.push_back(std::move(body));
        return s.Create(name, object, &RunBody, &bodies.back(), owner);
    }
    void Frame() {
        ++frame;
        timeUs += frameUs;
        s.RunFrame(frame, timeUs);
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }

    std::deque<std::function<void()>> bodies;  // stable addresses: the thread's argument
    std::vector<std::string> trace;
    static SchedulerOptions Logged() {
        SchedulerOptions options;
        options.keepLog = true;
        return options;
    }
    Scheduler s{Logged()};  // last: its threads unwind while the members above still exist
    uint32_t frame = 0;
    int64_t timeUs = 0;
    int64_t frameUs = 10000;
};

TEST_F(SchedulerTest, CreationRunsTheEntryUntilItFirstSuspends) {
    const uint32_t id = Start([&] {
        trace.push_back("a1");
        s.WaitFrame();
        trace.push_back("a2");
    });
    trace.push_back("created");
    EXPECT_EQ(trace, (std::vector<std::string>{"a1", "created"}));
    EXPECT_TRUE(s.IsRunning(id));
    EXPECT_EQ(s.Current(), 0u);
    Frame();
    EXPECT_EQ(trace, (std::vector<std::string>{"a1", "created", "a2"}));
    EXPECT_FALSE(s.IsRunning(id));
    EXPECT_EQ(s.LiveCount(), 0u);
}

TEST_F(SchedulerTest, ThreadsCreateThreadsAndSeeTheirOwnIds) {
    uint32_t outer = 0, inner = 0, seenInOuter = 0, seenInInner = 0, creatorSeen = 0;
    outer = Start([&] {
        seenInOuter = s.Current();
        inner = Start([&] {
            seenInInner = s.Current();
            creatorSeen = s.Find(s.Current())->creator;
            trace.push_back("inner");
            s.WaitFrame();
            trace.push_back("inner again");
        });
        trace.push_back("outer after create " + std::to_string(s.Current() == seenInOuter));
        s.WaitFrame();
        trace.push_back("outer again");
    });
    EXPECT_EQ(seenInOuter, outer);
    EXPECT_EQ(seenInInner, inner);
    EXPECT_EQ(creatorSeen, outer);
    EXPECT_GT(inner, outer);
    Frame();
    EXPECT_EQ(trace, (std::vector<std::string>{"inner", "outer after create 1", "outer again",
                                               "inner again"}));
}

TEST_F(SchedulerTest, AThreadThatNeverSuspendsHasEndedWhenCreationReturns) {
    bool ran = false;
    const uint32_t id = Start([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_NE(id, 0u);
    EXPECT_FALSE(s.IsRunning(id));
    EXPECT_EQ(s.Find(id), nullptr);
}

TEST_F(SchedulerTest, ANullEntryCreatesNothing) {
    EXPECT_EQ(s.Create("x", nullptr, nullptr, nullptr, {}), 0u);
    EXPECT_EQ(s.LiveCount(), 0u);
}

// How many frames a single wait takes, with 16 ms frames: a wait ends in the first frame whose
// time has reached the wake time, and never in the frame it started in.
TEST_F(SchedulerTest, WaitSecondsEndsInTheFirstFrameAtOrAfterTheWakeTime) {
    struct Case {
        double seconds;
        int frames;
    };
    const Case cases[] = {
        {0.016, 1}, {0.017, 2}, {0.0, 1}, {-1.0, 1}, {std::nan(""), 1},
        {0.048, 3}, {0.1, 7},   {1e-7, 1},
    };
    frameUs = 16000;
    for (const Case& c : cases) {
        int resumedAfter = -1;
        const uint32_t startFrame = frame;
        Start([&] {
            s.WaitSeconds(c.seconds);
            resumedAfter = static_cast<int>(frame - startFrame);
        });
        for (int i = 0; i < 10 && resumedAfter < 0; ++i) Frame();
        EXPECT_EQ(resumedAfter, c.frames) << "seconds " << c.seconds;
    }
}

TEST_F(SchedulerTest, DueThreadsResumeByWakeTimeThenCreationOrder) {
    // 10 ms frames. At frame 3 (30 ms): the frame waiter parked at 20 ms, then the timed
    // waits due at 21, 25 and 30 ms. Threads 4 and 5 both wake at 30 ms: creation order.
    auto timed = [&](const char* name, double seconds) {
        return [&, name, seconds] {
            s.WaitSeconds(seconds);
            trace.push_back(name);
        };
    };
    Start(timed("t25", 0.025));
    Start([&] {
        for (;;) {
            s.WaitFrame();
            if (frame == 3) trace.push_back("frame");
        }
    });
    Start(timed("t21", 0.021));
    Start(timed("t30a", 0.030));
    Start(timed("t30b", 0.030));
    Frames(2);
    EXPECT_TRUE(trace.empty());
    Frame();
    EXPECT_EQ(trace, (std::vector<std::string>{"frame", "t21", "t25", "t30a", "t30b"}));
}

TEST_F(SchedulerTest, FrameWaitersResumeInCreationOrderWhateverOrderTheySuspendedIn) {
    // The later thread suspends first: it was released from a thread wait before the earlier
    // one waited its frame.
    uint32_t target = Start([&] { s.WaitFrame(); });
    Start([&] {
        s.WaitFrame();  // frame 1
        s.WaitFrame();  // frame 2
        trace.push_back("first");
    });
    Start([&] {
        s.WaitForThread(target);  // target ends in frame 1: due in frame 2
        trace.push_back("second");
    });
    Frames(2);
    EXPECT_EQ(trace, (std::vector<std::string>{"first", "second"}));
}

TEST_F(SchedulerTest, WaitingForAThread) {
    uint32_t target = Start([&] {
        s.WaitFrame();
        s.WaitFrame();
        trace.push_back("target done");
    });
    uint32_t waiter = Start([&] {
        while (s.IsRunning(target)) s.WaitForThread(target);
        trace.push_back("waiter sees frame " + std::to_string(frame));
    });
    EXPECT_TRUE(s.IsRunning(waiter));
    Frames(3);
    EXPECT_EQ(trace, (std::vector<std::string>{"target done", "waiter sees frame 3"}));

    // Waiting for an ended thread, an unknown id or 0 does not suspend.
    Start([&] {
        s.WaitForThread(target);
        s.WaitForThread(987654);
        s.WaitForThread(0);
        trace.push_back("no wait");
    });
    EXPECT_EQ(trace.back(), "no wait");

    // Waiting for oneself gives one frame back instead of hanging.
    Start([&] {
        s.WaitForThread(qoCurrentThread);
        trace.push_back("self wait over");
    });
    EXPECT_NE(trace.back(), "self wait over");
    Frame();
    EXPECT_EQ(trace.back(), "self wait over");
}

TEST_F(SchedulerTest, AWaiterOfAThreadEndedByIdGoesOnInTheNextFrame) {
    uint32_t target = Start([&] {
        for (;;) s.WaitFrame();
    });
    Start([&] {
        s.WaitForThread(target);
        trace.push_back("released at " + std::to_string(frame));
    });
    Frames(2);
    s.End(target);
    EXPECT_TRUE(trace.empty());
    Frame();
    EXPECT_EQ(trace, (std::vector<std::string>{"released at 3"}));
}

// ---- ending threads ---------------------------------------------------------------------------

TEST_F(SchedulerTest, EndingASuspendedThreadUnwindsItAtOnce) {
    int destroyed = 0;
    bool pastWait = false;
    const uint32_t id = Start([&] {
        Local a(destroyed);
        {
            Local inner(destroyed);
            Local b(destroyed);
            s.WaitSeconds(5.0);
            pastWait = true;
        }
    });
    Frame();
    EXPECT_EQ(destroyed, 0);
    s.End(id);
    EXPECT_EQ(destroyed, 3);
    EXPECT_FALSE(pastWait);
    EXPECT_FALSE(s.IsRunning(id));
    EXPECT_EQ(s.LiveCount(), 0u);
    // Ids are never reused.
    EXPECT_GT(Start([] {}), id);
    // Ending it again, or ending id 0, does nothing.
    s.End(id);
    s.End(0);
}

TEST_F(SchedulerTest, AThreadEndingItselfGoesOnToItsNextSuspensionPoint) {
    int destroyed = 0;
    std::vector<bool> runningSeen;
    const uint32_t id = Start([&] {
        Local a(destroyed);
        s.End(qoCurrentThread);
        // Like an error report: the call returns, the script carries on.
        runningSeen.push_back(s.IsRunning(s.Current()));
        qoThreadContext context{};
        runningSeen.push_back(s.GetContext(qoCurrentThread, &context));
        trace.push_back("after end");
        s.WaitFrame();
        trace.push_back("after wait");
    });
    EXPECT_EQ(trace, (std::vector<std::string>{"after end"}));
    EXPECT_EQ(runningSeen, (std::vector<bool>{false, true}));
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(s.IsRunning(id));
    EXPECT_EQ(s.LiveCount(), 0u);
    EXPECT_EQ(s.Log().back().reason, EndReason::EndedItself);
}

TEST_F(SchedulerTest, EveryWaitOfAnEndedThreadUnwinds) {
    using Wait = std::function<void(Scheduler&)>;
    const std::pair<const char*, Wait> waits[] = {
        {"frame", [](Scheduler& s) { s.WaitFrame(); }},
        {"seconds", [](Scheduler& s) { s.WaitSeconds(1.0); }},
        {"thread", [](Scheduler& s) { s.WaitForThread(qoCurrentThread); }},
        {"hold", [](Scheduler& s) { s.Hold(1.0, 7); }},
    };
    for (const auto& [name, wait] : waits) {
        bool returned = false;
        Start([&] {
            s.End(qoCurrentThread);
            wait(s);
            returned = true;
        });
        EXPECT_FALSE(returned) << name;
        EXPECT_EQ(s.LiveCount(), 0u) << name;
    }
}

TEST_F(SchedulerTest, DestructorsThatWaitDoNotSuspendAnUnwindingThread) {
    struct WaitsWhenDestroyed {
        Scheduler& s;
        ~WaitsWhenDestroyed() {
            s.WaitFrame();
            s.WaitSeconds(1.0);
        }
    };
    const uint32_t id = Start([&] {
        WaitsWhenDestroyed w{s};
        s.WaitFrame();
    });
    s.End(id);
    EXPECT_EQ(s.LiveCount(), 0u);
}

TEST_F(SchedulerTest, EndingByNameEndsThatNameOnThatObjectOnly) {
    std::vector<uint32_t> ids;
    struct Case {
        const char* name;
        int object;
        bool ends;
    };
    const Case cases[] = {
        {"CloseDoor", 1, true},   {"CloseDoor", 2, false}, {"Update", 1, false},
        {"CloseDoor", 1, true},   {"closedoor", 1, false}, {"CloseDoor2", 1, false},
    };
    for (const Case& c : cases)
        ids.push_back(Start([&] { for (;;) s.WaitFrame(); }, c.name, FakeObject(c.object)));
    Frame();
    s.EndByName("CloseDoor", FakeObject(1));
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(s.IsRunning(ids[i]), !cases[i].ends) << cases[i].name << " on " << cases[i].object;
    Frame();  // the others carry on
    EXPECT_EQ(s.LiveCount(), 4u);
}

TEST_F(SchedulerTest, EndingByNameFromInsideOneOfThoseThreads) {
    int destroyed = 0;
    const uint32_t other = Start([&] {
        Local l(destroyed);
        for (;;) s.WaitFrame();
    }, "Job", FakeObject(1));
    const uint32_t self = Start([&] {
        Local l(destroyed);
        s.WaitFrame();
        s.EndByName("Job", FakeObject(1));
        trace.push_back("self goes on");
        s.WaitFrame();
        trace.push_back("never");
    }, "Job", FakeObject(1));
    Frame();
    EXPECT_EQ(trace, (std::vector<std::string>{"self goes on"}));
    EXPECT_FALSE(s.IsRunning(other));
    EXPECT_FALSE(s.IsRunning(self));
    EXPECT_EQ(destroyed, 2);
}

TEST_F(SchedulerTest, EndingTheThreadsOfAnObject) {
    int destroyed = 0;
    auto loop = [&] {
        Local l(destroyed);
        for (;;) s.WaitFrame();
    };
    Start(loop, "A", FakeObject(1));
    Start(loop, "B", FakeObject(1));
    const uint32_t keep = Start(loop, "A", FakeObject(2));
    s.EndThreadsOf(FakeObject(1));
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(s.LiveThreads(), std::vector<uint32_t>{keep});
    s.EndAll();
    EXPECT_EQ(destroyed, 3);
}

TEST_F(SchedulerTest, AThreadEndedWhileCreatingAnotherUnwindsAfterCreationReturns) {
    int destroyed = 0;
    uint32_t creator = 0, created = 0;
    creator = Start([&] {
        Local l(destroyed);
        creator = s.Current();
        created = Start([&] {
            s.End(creator);  // the creator is on the running chain: marked only
            trace.push_back("created ended its creator");
            for (;;) s.WaitFrame();
        });
        trace.push_back("creator back");
        s.WaitFrame();
        trace.push_back("never");
    });
    EXPECT_EQ(trace, (std::vector<std::string>{"created ended its creator", "creator back"}));
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(s.IsRunning(creator));
    EXPECT_TRUE(s.IsRunning(created));
    s.EndAll();
}

TEST_F(SchedulerTest, AThreadEndsAnotherSuspendedThread) {
    int destroyed = 0;
    const uint32_t victim = Start([&] {
        Local l(destroyed);
        for (;;) s.WaitFrame();
    });
    Start([&] {
        s.WaitFrame();
        s.End(victim);
        trace.push_back("victim unwound: " + std::to_string(destroyed));
        EXPECT_EQ(s.Current(), victim + 1);
    });
    Frame();
    EXPECT_EQ(trace, (std::vector<std::string>{"victim unwound: 1"}));
}

TEST_F(SchedulerTest, EndAllAndDestructionUnwindEveryThread) {
    int destroyed = 0;
    {
        Scheduler local;
        for (int i = 0; i < 5; ++i) {
            bodies.push_back([&] {
                Local l(destroyed);
                local.WaitSeconds(i % 2 ? 100.0 : 0.0);
                local.WaitFrame();
            });
            local.Create("x", nullptr, &RunBody, &bodies.back(), {});
        }
        // An unwinding thread that starts another: that one is ended too.
        bodies.push_back([&] {
            struct StartsOne {
                Scheduler& s;
                std::deque<std::function<void()>>& bodies;
                int& destroyed;
                ~StartsOne() {
                    bodies.push_back([&sch = s, &count = destroyed] {
                        Local l(count);
                        sch.WaitFrame();
                    });
                    s.Create("late", nullptr, &RunBody, &bodies.back(), {});
                }
            } startsOne{local, bodies, destroyed};
            local.WaitFrame();
        });
        local.Create("y", nullptr, &RunBody, &bodies.back(), {});
        EXPECT_EQ(local.LiveCount(), 6u);
    }
    EXPECT_EQ(destroyed, 6);
}

// ---- latent actions ---------------------------------------------------------------------------

TEST_F(SchedulerTest, HoldsLastTheirDurationOrUntilReleased) {
    HoldResult result{};
    int resumedAt = 0;
    auto holder = [&](double seconds) {
        return [&, seconds] {
            result = s.Hold(seconds, 42);
            resumedAt = static_cast<int>(frame);
        };
    };
    const uint32_t id = Start(holder(0.035));
    EXPECT_EQ(s.HeldBy(42), id);
    EXPECT_EQ(s.HeldBy(43), 0u);
    Frames(4);
    EXPECT_EQ(result, HoldResult::Completed);
    EXPECT_EQ(resumedAt, 4);
    EXPECT_EQ(s.HeldBy(42), 0u);

    Start(holder(std::numeric_limits<double>::infinity()));
    Frames(50);
    EXPECT_NE(s.HeldBy(42), 0u);
    EXPECT_EQ(s.ReleaseHolds(43), 0);
    EXPECT_EQ(s.ReleaseHolds(42), 1);
    EXPECT_EQ(s.HeldBy(42), 0u);  // no longer waiting on the action
    EXPECT_EQ(resumedAt, 4);
    Frame();
    EXPECT_EQ(result, HoldResult::Released);
    EXPECT_EQ(resumedAt, 55);
}

TEST_F(SchedulerTest, HoldingOutsideAThreadHoldsNothing) {
    EXPECT_EQ(s.Hold(1.0, 1), HoldResult::NotInThread);
    s.WaitFrame();
    s.WaitSeconds(1.0);
    s.WaitForThread(1);
    EXPECT_EQ(s.Current(), 0u);
}

TEST_F(SchedulerTest, AHeldThreadEndedByIdUnwindsFromTheHold) {
    int destroyed = 0;
    const uint32_t id = Start([&] {
        Local l(destroyed);
        s.Hold(10.0, 5);
    });
    s.End(id);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(s.HeldBy(5), 0u);
    Frames(1100);  // the stale timer entry finds nothing to resume
    EXPECT_EQ(s.LiveCount(), 0u);
}

// ---- context and log --------------------------------------------------------------------------

TEST_F(SchedulerTest, ContextNamesTheRunningThread) {
    qoThreadContext outside{};
    EXPECT_FALSE(s.GetContext(qoCurrentThread, &outside));
    std::string name = "&healthPickup::Run";
    qoThreadContext inside{};
    const char* namePointer = nullptr;
    const uint32_t id = Start([&] {
        ASSERT_TRUE(s.GetContext(qoCurrentThread, &inside));
        namePointer = inside.threadName;
        for (;;) s.WaitFrame();
    }, name.c_str(), FakeObject(3), ThreadOwner{7, 2});
    name.assign("overwritten by the caller");  // the host keeps its own copy
    Frames(3);
    EXPECT_EQ(inside.entity, 7u);
    EXPECT_EQ(inside.objectIndex, 2u);
    EXPECT_STREQ(namePointer, "&healthPickup::Run");
    qoThreadContext byId{};
    ASSERT_TRUE(s.GetContext(id, &byId));
    EXPECT_EQ(byId.threadName, namePointer);  // still the same storage
    s.End(id);
    EXPECT_FALSE(s.GetContext(id, &byId));
}

TEST_F(SchedulerTest, TheLogHasEveryStartSuspensionResumptionAndEnd) {
    const uint32_t creator = Start([&] {
        Start([&] { s.WaitSeconds(0.01); }, "child");
        s.WaitFrame();
    }, "parent");
    Frame();
    using K = ThreadEvent::Kind;
    struct Expect {
        K kind;
        uint32_t thread;
        uint32_t frame;
        WaitKind wait;
    };
    const Expect expected[] = {
        {K::Start, creator, 0, WaitKind::None},      {K::Start, creator + 1, 0, WaitKind::None},
        {K::Suspend, creator + 1, 0, WaitKind::Seconds}, {K::Suspend, creator, 0, WaitKind::Frame},
        {K::Resume, creator, 1, WaitKind::Frame},    {K::End, creator, 1, WaitKind::None},
        {K::Resume, creator + 1, 1, WaitKind::Seconds}, {K::End, creator + 1, 1, WaitKind::None},
    };
    const auto& log = s.Log();
    ASSERT_EQ(log.size(), std::size(expected));
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].kind, expected[i].kind) << i;
        EXPECT_EQ(log[i].thread, expected[i].thread) << i;
        EXPECT_EQ(log[i].frame, expected[i].frame) << i;
        EXPECT_EQ(log[i].wait, expected[i].wait) << i;
    }
    EXPECT_EQ(log[1].other, creator);  // the creator
    EXPECT_EQ(log[0].other, 0u);       // the host
}

TEST_F(SchedulerTest, RecordTextForTheWorldsRecorder) {
    ThreadInfo info;
    info.name = "Update";
    info.owner = {7, 1};
    ThreadEvent e;
    e.thread = 3;
    e.other = 1;
    EXPECT_EQ(FormatThreadEvent(e, info), "start 3 \"Update\" on 7.1 by 1");
    e.kind = ThreadEvent::Kind::Suspend;
    e.wait = WaitKind::Seconds;
    e.seconds = 0.5;
    EXPECT_EQ(FormatThreadEvent(e, info), "suspend 3 seconds 0.5");
    e.wait = WaitKind::Hold;
    e.other = 9;
    EXPECT_EQ(FormatThreadEvent(e, info), "suspend 3 hold 0.5 by 9");
    e.kind = ThreadEvent::Kind::End;
    e.reason = EndReason::EndedByName;
    EXPECT_EQ(FormatThreadEvent(e, info), "end 3 ended by name");
}

// A deep stack in one thread and many parked threads at once: stacks are separate and reused.
TEST_F(SchedulerTest, ManyThreadsWithTheirOwnStacks) {
    std::function<int(int)> recurse = [&](int depth) -> int {
        volatile char pad[256];
        pad[0] = static_cast<char>(depth);
        if (depth == 0) {
            s.WaitFrame();
            return pad[0];
        }
        return recurse(depth - 1) + pad[0];
    };
    int sum = -1;
    Start([&] { sum = recurse(40); });
    for (int i = 0; i < 2000; ++i) Start([&] { s.WaitFrame(); });
    EXPECT_EQ(s.LiveCount(), 2001u);
    Frame();
    EXPECT_EQ(sum, 40 * 41 / 2);
    EXPECT_EQ(s.LiveCount(), 0u);
}

// Stacks are cut from large mappings: thousands of live threads take a handful of kernel
// mappings, not one or two each (the kernel's default limit is 65530 per process).
TEST_F(SchedulerTest, ThousandsOfStacksTakeAFewMappings) {
    for (int i = 0; i < 3000; ++i) Start([&] { s.WaitFrame(); });
    EXPECT_EQ(s.LiveCount(), 3000u);
    EXPECT_LT(s.StackMappings(), 3000u / 50);
    Frame();
}

// A pool with a limit: creation past it fails with a reason and starts nothing; an ended
// thread's stack serves the next creation.
TEST(SchedulerStackLimit, CreationPastTheLimitFailsClearlyAndStacksAreReused) {
    std::vector<std::function<void()>> bodies(6);
    int ran = 0;
    SchedulerOptions options;
    options.maxStacks = 3;
    Scheduler s(options);  // after the bodies: its threads unwind while they still exist
    auto start = [&](int i) {
        bodies[static_cast<size_t>(i)] = [&] {
            ++ran;
            s.WaitFrame();
        };
        return s.Create("T", nullptr, &RunBody, &bodies[static_cast<size_t>(i)], {});
    };
    std::vector<uint32_t> ids;
    for (int i = 0; i < 3; ++i) ids.push_back(start(i));
    EXPECT_NE(ids[2], 0u);
    EXPECT_EQ(start(3), 0u);
    EXPECT_EQ(s.LastCreateError(), "the limit of 3 fiber stacks is reached");
    EXPECT_EQ(ran, 3);
    EXPECT_EQ(s.LiveCount(), 3u);
    s.End(ids[0]);
    const uint32_t again = start(4);
    EXPECT_NE(again, 0u);
    EXPECT_GT(again, ids[2]);  // ids are not reused, stacks are
    EXPECT_EQ(ran, 4);
    EXPECT_EQ(s.LiveCount(), 3u);
}

// With painted stacks the scheduler reports the deepest stack use of any ended thread: a thread
// that touches 20 KiB of locals is measured at least that deep and within its stack, one that
// only waits far less; without painting nothing is measured.
TEST(SchedulerStackDepth, PaintedStacksMeasureTheDeepestThread) {
    constexpr size_t kDeep = 20 * 1024;
    struct Case {
        bool paint;
        bool deep;
    };
    for (const Case c : {Case{true, true}, Case{true, false}, Case{false, true}}) {
        SchedulerOptions options;
        options.paintStacks = c.paint;
        Scheduler s(options);
        int touched = 0;
        std::function<void()> body = [&] {
            if (c.deep) {
                volatile char locals[kDeep];
                for (size_t i = 0; i < kDeep; i += 64) locals[i] = 1;
                locals[kDeep - 1] = 1;
                touched = locals[0] + locals[kDeep - 1];
            }
            s.WaitFrame();
        };
        s.Create("T", nullptr, &RunBody, &body, {});
        EXPECT_EQ(s.StackHighWater(), 0u);  // measured when the thread ends
        s.RunFrame(1, 16000);
        const size_t depth = s.StackHighWater();
        EXPECT_EQ(touched, c.deep ? 2 : 0);
        if (!c.paint) {
            EXPECT_EQ(depth, 0u);
        } else if (c.deep) {
            EXPECT_GE(depth, kDeep);
            EXPECT_LT(depth, options.stackSize);
        } else {
            EXPECT_GT(depth, 0u);
#if !defined(__SANITIZE_ADDRESS__)
            // AddressSanitizer enlarges every frame and keeps locals on a stack of its own,
            // so only a plain build says how shallow a thread that only waits is.
            EXPECT_LT(depth, kDeep / 4);
#endif
        }
    }
}

}  // namespace
}  // namespace qohost
