// The module's side of script threads: what it passes to the host (checked against a recording
// host), and what scripts see when the reference host runs their threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <string>
#include <vector>

#include "object/qoThreads.h"
#include "tests/unit/hostcalls_null_system.h"
#include "tests/unit/threads_test_classes.h"

namespace threads_test {
namespace {

using qohost::Entity;
using qohost::World;

// ---- the protocol, against a recording host ----------------------------------------------------

class RecordingSystem final : public hostcalls_test::NullSystem {
public:
    struct Creation {
        int slot;
        std::string name;
        long liveBlocksDuringCall;
        kvQOObject* object;
        qoThreadEntry entry;
        void* args;
    };
    std::vector<Creation> creations;
    std::vector<std::string> calls;  // the thread and lookup slots, in order
    std::vector<std::string> printed;
    kvQOObject* objectOnEntity = nullptr;
    int runningAnswers = 0;          // IsThreadRunning answers true this many times
    uint32_t current = 0;
    bool waitingOnAction = false;
    std::vector<int32_t> methods;

    uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                          void* args) override {
        creations.push_back({18, name, liveBlocks, object, entry, args});
        return 40 + static_cast<uint32_t>(creations.size());
    }
    uint32_t CreateNetworkThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                                 void* args) override {
        creations.push_back({19, name, liveBlocks, object, entry, args});
        return 40 + static_cast<uint32_t>(creations.size());
    }
    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override {
        calls.push_back("2 " + std::to_string(entity) + " " + className + " " + std::to_string(create));
        return 3;
    }
    kvQOObject* GetScriptObject(uint32_t entity, uint32_t index) override {
        calls.push_back("3 " + std::to_string(entity) + " " + std::to_string(index));
        return objectOnEntity;
    }
    void EndThreadsByName(const char* name, kvQOObject*) override {
        calls.push_back(std::string("23 ") + name);
    }
    void EndThread(uint32_t id) override { calls.push_back("24 " + std::to_string(id)); }
    bool IsThreadRunning(uint32_t id) override {
        calls.push_back("25 " + std::to_string(id));
        return runningAnswers-- > 0;
    }
    uint32_t CurrentThread() override { return current; }
    void WaitSeconds(float s) override { calls.push_back("32 " + std::to_string(s)); }
    void WaitFrame() override { calls.push_back("33"); }
    void WaitForThread(uint32_t id) override { calls.push_back("34 " + std::to_string(id)); }
    void Printf(const char* format, ...) override {
        char buf[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buf, sizeof buf, format, args);
        va_end(args);
        printed.push_back(buf);
    }
    bool CallEntityMethod(uint32_t, int32_t method, const char*, void*) override {
        methods.push_back(method);
        return true;
    }
    int32_t GetIntResult() override { return waitingOnAction ? 1 : 0; }
};

class ThreadProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = qoSys;
        qoSys = &host;
    }
    void TearDown() override {
        EXPECT_EQ(host.liveBlocks, 0) << "the module left host blocks behind";
        qoSys = previous;
    }
    RecordingSystem host;
    kvQuorinSystem* previous = nullptr;
};

class probeOwner : public kvQuorinObject {
    QO_SCRIPT_CLASS(probeOwner, kvQuorinObject)
    QO_FUNCTIONS(QO_FUNCTION(Tick))

public:
    void Tick() {}
    void Aim(const qoEntity&, float) {}
    void Shoot(qoEntity, float) {}
    void Swapped(float, qoEntity) {}
};

TEST_F(ThreadProtocolTest, OwnObjectThreadPassesNameTextObjectEntryThunkAndNoBlock) {
    alignas(probeOwner) unsigned char storage[sizeof(probeOwner)];
    auto* object = new (storage) probeOwner();
    const uint32_t id = qoStartThread<&probeOwner::Tick>(object, "Tick");
    ASSERT_EQ(host.creations.size(), 1u);
    const auto& c = host.creations[0];
    EXPECT_EQ(c.slot, 18);
    EXPECT_EQ(c.name, "Tick");
    EXPECT_EQ(c.liveBlocksDuringCall, 1) << "the name is a module string during the call";
    EXPECT_EQ(c.object, object);
    EXPECT_EQ(c.entry, &qoEntryThunk<&probeOwner::Tick>);
    EXPECT_EQ(c.entry, object->GetFunction("tick"));
    EXPECT_EQ(c.args, nullptr);
    EXPECT_EQ(id, 41u);
    qoStartNetworkThread<&probeOwner::Tick>(object, "ExpandNeuralNetwork");
    EXPECT_EQ(host.creations[1].slot, 19);
    object->~probeOwner();
}

TEST_F(ThreadProtocolTest, OneTrampolinePerArgumentTypeList) {
    alignas(probeOwner) unsigned char storage[sizeof(probeOwner)];
    auto* object = new (storage) probeOwner();
    // The host would run the entry before returning; this one does not, so nothing is read.
    qoStartThread<&probeOwner::Aim>(object, "Aim", qoEntity(1), 1.0f);
    qoStartThread<&probeOwner::Shoot>(object, "Shoot", qoEntity(1), 2.0f);
    qoStartThread<&probeOwner::Swapped>(object, "Swapped", 2.0f, qoEntity(1));
    qoStartThread<&threadProbe::Run>(nullptr, "Run", qoEntity(1), 3.0f);
    ASSERT_EQ(host.creations.size(), 4u);
    const qoThreadEntry entityFloat = &qoThreadTrampoline<qoEntity, float>::Entry;
    EXPECT_EQ(host.creations[0].entry, entityFloat);
    EXPECT_EQ(host.creations[1].entry, entityFloat);
    EXPECT_EQ(host.creations[2].entry, (&qoThreadTrampoline<float, qoEntity>::Entry));
    EXPECT_EQ(host.creations[3].entry, entityFloat);
    for (const auto& c : host.creations) EXPECT_NE(c.args, nullptr) << c.name;
    object->~probeOwner();
}

// The block as the host receives it: invoker address, then one pointer per argument.
TEST_F(ThreadProtocolTest, TheBlockHoldsTheInvokerThenOnePointerPerArgument) {
    struct Capture final : hostcalls_test::NullSystem {
        uint32_t CreateThread(const char*, kvQOObject*, qoThreadEntry, void* args) override {
            auto** words = static_cast<void**>(args);
            invoker = words[0];
            entity = *static_cast<const qoEntity*>(words[1]);
            value = *static_cast<const float*>(words[2]);
            return 1;
        }
        void* invoker = nullptr;
        qoEntity entity;
        float value = 0.0f;
    } capture;
    qoSys = &capture;
    qoStartThread<&threadProbe::Run>(nullptr, "Run", qoEntity(77), 1);  // int converted to float
    qoSys = &host;
    EXPECT_EQ(capture.invoker, reinterpret_cast<void*>(&qoThreadInvoker<&threadProbe::Run, qoEntity, float>));
    EXPECT_EQ(capture.entity.handle, 77u);
    EXPECT_EQ(capture.value, 1.0f);
    EXPECT_EQ(capture.liveBlocks, 0);
}

TEST_F(ThreadProtocolTest, ThreadOnAnotherObjectLooksItUpWithCreateAndNamesIt) {
    alignas(threadProbe) unsigned char storage[sizeof(threadProbe)];
    auto* target = new (storage) threadProbe();
    host.objectOnEntity = target;
    const uint32_t id = qoStartThreadOn<&threadProbe::Update>(qoEntity(12), "Update");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"2 12 threadProbe 1", "3 12 3"}));
    ASSERT_EQ(host.creations.size(), 1u);
    EXPECT_EQ(host.creations[0].name, "&threadProbe::Update");
    EXPECT_EQ(host.creations[0].object, target);
    EXPECT_EQ(id, 41u);
    target->~threadProbe();
}

TEST_F(ThreadProtocolTest, ThreadOnAMissingObjectWarnsAndStartsNothing) {
    const uint32_t id = QO_THREAD_ON(qoEntity(12), healthPickup, Run, 5.0f);
    EXPECT_EQ(id, 0u);
    EXPECT_TRUE(host.creations.empty());
    EXPECT_EQ(host.printed, (std::vector<std::string>{
                                "^1Quorin Warning:^3 Could not create thread &healthPickup::Run on "
                                "null object^0\n"}));
}

TEST_F(ThreadProtocolTest, StoppingAStoredId) {
    struct Case {
        int64_t stored;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {0, {}},
        {1, {"24 1"}},
        {57, {"24 57"}},
        {-3, {}},  // a signed member below 1 is no thread
    };
    for (const Case& c : cases) {
        host.calls.clear();
        uint32_t unsignedId = static_cast<uint32_t>(c.stored);
        int32_t signedId = static_cast<int32_t>(c.stored);
        if (c.stored >= 0) {
            qoStopThread(unsignedId);
            EXPECT_EQ(unsignedId, 0u);
        } else {
            qoStopThread(signedId);
            EXPECT_EQ(signedId, 0);
        }
        EXPECT_EQ(host.calls, c.calls) << c.stored;
    }
}

TEST_F(ThreadProtocolTest, WaitsAndQueries) {
    host.runningAnswers = 2;
    qoWaitForThread(9);
    qoWaitFrame();
    qoWait(0.25f);
    EXPECT_FALSE(qoIsThreadRunning(0));
    qoEndThreads(nullptr, "CloseDoor");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"25 9", "34 9", "25 9", "34 9", "25 9", "33",
                                                    "32 0.250000", "23 CloseDoor"}));
}

TEST_F(ThreadProtocolTest, LatentActionsKeepTheBusyFlagAroundTheAction) {
    const qoEntity actor(4);
    bool busy = false;
    std::vector<bool> busyDuringAction;
    auto action = [&] { busyDuringAction.push_back(busy); };

    host.waitingOnAction = true;
    EXPECT_FALSE(qoRunLatentAction(actor, busy, action));
    EXPECT_TRUE(busyDuringAction.empty());
    EXPECT_FALSE(busy);

    host.waitingOnAction = false;
    EXPECT_TRUE(qoRunLatentAction(actor, busy, action));
    EXPECT_EQ(busyDuringAction, std::vector<bool>{true});
    EXPECT_FALSE(busy);
    EXPECT_EQ(host.methods, (std::vector<int32_t>{1409, 1409}));  // IsScriptWaitingOnAction
}

// ---- scripts on the reference host -------------------------------------------------------------

class ThreadWorldTest : public TestClassesFixture {};

TEST_F(ThreadWorldTest, TheUpdateThreadEntryIsTheOneGetFunctionAnswers) {
    threadProbe* probe = Make<threadProbe>("probe");
    const uint32_t id = QO_THREAD_ON(qoEntity(probe->entity), threadProbe, Update);
    const qohost::ThreadInfo* info = world->scheduler.Find(id);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->name, "&threadProbe::Update");
    EXPECT_EQ(info->entry, probe->GetFunction("update"));
    EXPECT_EQ(info->entry, probe->GetFunction("UPDATE"));
    EXPECT_EQ(info->object, probe);
    EXPECT_EQ(probe->frames, 1);
    world->RunFrames(3);
    EXPECT_EQ(probe->frames, 4);
}

TEST_F(ThreadWorldTest, ArgumentsAreTheCreatorsValuesAtCreation) {
    threadProbe* probe = Make<threadProbe>("probe");
    probe->StartRunWithLocal(5);
    probe->StartTake();
    world->RunFrame();
    EXPECT_EQ(journal, (std::vector<std::string>{"Run 5 2.5", "Take 5 7 0.5 1,2,3 'first'"}));
}

TEST_F(ThreadWorldTest, ThreadsOnOtherObjects) {
    threadProbe* probe = Make<threadProbe>("probe");
    Entity& bare = world->SpawnEntity("bare", "kvEntity");

    // On an entity without the object, the lookup creates it (and starts its Init).
    const uint32_t id = QO_THREAD_ON(qoEntity(bare.handle), healthPickup, Run, 25);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(journal, std::vector<std::string>{"healthPickup::Run 25"});
    ASSERT_EQ(bare.objects.size(), 1u);
    EXPECT_STREQ(bare.objects[0].object->GetClassName(), "healthPickup");

    // On no entity at all: the warning, and no thread.
    const size_t threadsBefore = world->scheduler.LiveCount();
    EXPECT_EQ(QO_THREAD_ON(qoEntity(), healthPickup, Run, 25), 0u);
    EXPECT_EQ(world->scheduler.LiveCount(), threadsBefore);
    EXPECT_TRUE(world->console.Contains("Could not create thread &healthPickup::Run on null object"));
    (void)probe;
}

TEST_F(ThreadWorldTest, AnErrorEndsOnlyTheThreadThatRaisedIt) {
    threadProbe* probe = Make<threadProbe>("probe");
    const uint32_t update = QO_THREAD_ON(qoEntity(probe->entity), threadProbe, Update);
    const uint32_t fail = qoStartThread<&threadProbe::Fail>(probe, "Fail");
    EXPECT_EQ(journal, std::vector<std::string>{"after error"});
    EXPECT_FALSE(world->scheduler.IsRunning(fail));
    world->RunFrames(2);
    EXPECT_TRUE(world->scheduler.IsRunning(update));
    EXPECT_EQ(probe->frames, 3);
    EXPECT_EQ(journal, std::vector<std::string>{"after error"});
    EXPECT_EQ(world->console.CountContaining("Quorin Error: probe.threadProbe.Fail: boom"), 1u);
}

TEST_F(ThreadWorldTest, AWarningCostsTheThreadExactlyOneFrame) {
    threadProbe* probe = Make<threadProbe>("probe");
    qoStartThread<&threadProbe::Warn>(probe, "Warn");
    EXPECT_TRUE(journal.empty());
    world->RunFrame();
    EXPECT_EQ(journal, std::vector<std::string>{"warned after 16 ms"});
    EXPECT_EQ(world->console.Lines().back(), "^1Quorin Warning:^3 probe.threadProbe.Warn: careful^0");
    // Outside any thread the warning is only printed.
    ReportWarning("loose");
    EXPECT_EQ(world->console.Lines().back(), "^1Quorin Warning:^3 loose^0");
}

TEST_F(ThreadWorldTest, TheSecondCopyOfAJobWarnsAndTheFirstBowsOut) {
    threadProbe* probe = Make<threadProbe>("probe");
    const uint32_t first = qoStartThread<&threadProbe::Job>(probe, "Job");
    const uint32_t second = qoStartThread<&threadProbe::Job>(probe, "Job");
    world->RunFrames(5);
    EXPECT_EQ(journal, (std::vector<std::string>{"job " + std::to_string(first) + " quits",
                                                 "job " + std::to_string(second) + " done"}));
    EXPECT_EQ(world->console.CountContaining(
                  "Multiple ExecuteSequence threads started on this object.  Only 1 thread can be "
                  "active at a time"),
              1u);
}

TEST_F(ThreadWorldTest, EndingByNameLeavesOtherObjectsAlone) {
    threadProbe* a = Make<threadProbe>("a");
    threadProbe* b = Make<threadProbe>("b");
    const uint32_t a1 = qoStartThread<&threadProbe::Update>(a, "Update");
    const uint32_t a2 = qoStartThread<&threadProbe::Update>(a, "Update");
    const uint32_t aIdle = qoStartThread<&threadProbe::Idle>(a, "Idle");
    const uint32_t b1 = qoStartThread<&threadProbe::Update>(b, "Update");
    qoEndThreads(a, "Update");
    EXPECT_FALSE(world->scheduler.IsRunning(a1));
    EXPECT_FALSE(world->scheduler.IsRunning(a2));
    EXPECT_TRUE(world->scheduler.IsRunning(aIdle));
    EXPECT_TRUE(world->scheduler.IsRunning(b1));
}

// Threads holding module strings and lists, ended in each way the host ends threads: every
// block they held goes back, and only the objects' own storage stays.
TEST_F(ThreadWorldTest, EndedThreadsGiveBackEverythingTheyHeld) {
    struct Way {
        const char* name;
        void (*end)(World& world, threadProbe* probe, uint32_t& id);
    };
    const Way ways[] = {
        {"by id", [](World&, threadProbe*, uint32_t& id) { qoStopThread(id); }},
        {"by name", [](World&, threadProbe* probe, uint32_t&) { qoEndThreads(probe, "Idle"); }},
        {"by error", [](World& w, threadProbe*, uint32_t&) { w.RunFrames(2); }},
        {"object destroyed", [](World& w, threadProbe* probe, uint32_t&) {
             w.DestroyScriptObject(probe->entity.handle, 0);
         }},
    };
    for (const Way& way : ways) {
        threadProbe* probe = Make<threadProbe>(way.name);
        const size_t blocksWithObjectOnly = world->allocator.LiveBlocks();
        uint32_t id = std::string(way.name) == "by error"
                          ? qoStartThread<&threadProbe::IdleThenFail>(probe, "Idle")
                          : qoStartThread<&threadProbe::Idle>(probe, "Idle");
        const uint32_t started = id;
        world->RunFrame();
        EXPECT_GT(world->allocator.LiveBlocks(), blocksWithObjectOnly) << way.name;
        way.end(*world, probe, id);
        EXPECT_FALSE(world->scheduler.IsRunning(started)) << way.name;
        const size_t objectBlocks = std::string(way.name) == "object destroyed" ? 1 : 0;
        EXPECT_EQ(world->allocator.LiveBlocks(), blocksWithObjectOnly - objectBlocks)
            << way.name << "\n" << world->allocator.Report();
    }
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "never"), 0);
}

TEST_F(ThreadWorldTest, ThreadsAreRecordedWithTheirFrames) {
    threadProbe* probe = Make<threadProbe>("probe");
    world->recorder.Clear();
    const std::string id = std::to_string(qoStartThread<&threadProbe::Warn>(probe, "Warn"));
    world->RunFrame();
    std::vector<std::string> lines;
    for (const qohost::KeptRecord& r : world->recorder.OfKind("thread"))
        lines.push_back(std::to_string(r.frame) + " " + r.text);
    const std::string owner = std::to_string(probe->entity.handle) + ".0";
    EXPECT_EQ(lines, (std::vector<std::string>{"0 start " + id + " \"Warn\" on " + owner + " by 0",
                                               "0 suspend " + id + " frame", "1 resume " + id,
                                               "1 end " + id + " returned"}));
}

}  // namespace
}  // namespace threads_test
