// Script threads around the shared library's objects, as the reference host runs them: Init
// threads, threads ended with their object, and the record of every thread's life.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/world/World.h"
#include "tests/support/HostFixture.h"

namespace {

using qohost::Entity;

class ThreadsLibraryTest : public qohost::test::HostFixture {
protected:
    std::vector<std::string> ThreadRecords() const {
        std::vector<std::string> lines;
        for (const qohost::KeptRecord& r : world->recorder.OfKind("thread"))
            lines.push_back(std::to_string(r.frame) + " " + r.text);
        return lines;
    }
};

// An object the library creates on request (slot 2 with the create flag) runs its Init as a
// thread named "Init", owned by that object.
TEST_F(ThreadsLibraryTest, ObjectsCreatedOnRequestRunInitAsAThread) {
    Entity& e = world->SpawnEntity("note", "kvTarget");
    world->recorder.Clear();
    const uint32_t index = world->FindScriptObject(e.handle, "qoComment", 1);
    ASSERT_NE(index, qohost::kNoObject);
    const std::vector<std::string> records = ThreadRecords();
    ASSERT_EQ(records.size(), 2u);
    const std::string owner = std::to_string(e.handle) + "." + std::to_string(index);
    EXPECT_EQ(records[0].substr(0, 8), "0 start ");
    EXPECT_NE(records[0].find("\"Init\" on " + owner + " by 0"), std::string::npos) << records[0];
    EXPECT_EQ(records[1].substr(0, 6), "0 end ");
    EXPECT_NE(records[1].find(" returned"), std::string::npos) << records[1];
}

// Destroying an object unwinds the threads that belong to it, and nothing else.
TEST_F(ThreadsLibraryTest, DestroyingAnObjectUnwindsItsThreads) {
    struct Guard {
        int& count;
        ~Guard() { ++count; }
    };
    Entity& a = world->SpawnEntity("a", "kvTarget");
    Entity& b = world->SpawnEntity("b", "kvTarget");
    const uint32_t ia = world->AddScriptObject(a, "qoComment");
    const uint32_t ib = world->AddScriptObject(b, "qoComment");
    int unwound = 0;
    auto loop = [&] {
        Guard guard{unwound};
        for (;;) world->WaitFrame();
    };
    kvQOObject* objectA = world->ScriptObject(a.handle, ia);
    kvQOObject* objectB = world->ScriptObject(b.handle, ib);
    const uint32_t ta1 = world->scheduler.Spawn("Loop", objectA, {a.handle, ia}, loop);
    const uint32_t ta2 = world->scheduler.Spawn("Other", objectA, {a.handle, ia}, loop);
    const uint32_t tb = world->scheduler.Spawn("Loop", objectB, {b.handle, ib}, loop);
    world->RunFrames(3);
    world->DestroyScriptObject(a.handle, ia);
    EXPECT_EQ(unwound, 2);
    EXPECT_FALSE(world->IsThreadRunning(ta1));
    EXPECT_FALSE(world->IsThreadRunning(ta2));
    EXPECT_TRUE(world->IsThreadRunning(tb));
    const auto records = world->recorder.TextsOfKind("thread");
    EXPECT_EQ(std::count(records.begin(), records.end(),
                         "end " + std::to_string(ta1) + " object destroyed"),
              1);
    world->DestroyScriptObject(b.handle, ib);
    EXPECT_EQ(unwound, 3);
}

// Thread ids count up and are never handed out twice, whatever ended the earlier threads.
TEST_F(ThreadsLibraryTest, ThreadIdsAreNeverReused) {
    Entity& e = world->SpawnEntity("note", "kvTarget");
    const uint32_t index = world->AddScriptObject(e, "qoComment");
    kvQOObject* object = world->ScriptObject(e.handle, index);
    std::vector<uint32_t> ids;
    for (int i = 0; i < 20; ++i) {
        ids.push_back(world->scheduler.Spawn("Short", object, {e.handle, index}, [&] {
            if (i % 2) world->WaitFrame();
        }));
        if (i % 3 == 0) world->EndThread(ids.back());
        if (i % 5 == 0) world->RunFrame();
    }
    for (size_t i = 1; i < ids.size(); ++i) EXPECT_GT(ids[i], ids[i - 1]);
}

}  // namespace
