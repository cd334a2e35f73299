// Events delivered to the shared library's objects as an engine delivers them: through the
// raw entry slots 2 to 40 by number, with raw host values, and the event and function lookups
// through slots 45 and 46.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/world/World.h"
#include "tests/behaviour/events_delivery.h"
#include "tests/support/HostFixture.h"

namespace {

using qohost::Entity;
using qohost::test::CallSlot;
using events_test::kRawEvents;

const std::string kWrongPrototype =
    "^1Quorin Error:^3 System Callback defined with the wrong number of parameters. Check "
    "qonotify.h for the prototype of the function.^0";

class EventSlotsTest : public qohost::test::HostFixture {
protected:
    kvQOObject* Make(const char* entityName, const char* className) {
        Entity& e = world->SpawnEntity(entityName, "kvTarget");
        const uint32_t index = world->AddScriptObject(e, className);
        return world->ScriptObject(e.handle, index);
    }
};

// triggerSequential handles "OnActivate" only: slot 2 reaches its handler, every other slot a
// default handler that reports the wrong prototype once and still frees a text argument.
TEST_F(EventSlotsTest, UnhandledSlotsReachTheDefaultHandlers) {
    kvQOObject* relay = Make("relay", "triggerSequential");
    ASSERT_NE(relay, nullptr);
    const size_t blocks = world->allocator.LiveBlocks();
    for (const events_test::RawEvent& e : kRawEvents) {
        world->console.Clear();
        e.deliver(relay);
        const std::vector<std::string> expected =
            e.slot == 2 ? std::vector<std::string>{} : std::vector<std::string>{kWrongPrototype};
        EXPECT_EQ(world->console.Lines(), expected) << "entry slot " << e.slot;
        EXPECT_EQ(world->allocator.LiveBlocks(), blocks) << "entry slot " << e.slot;
    }
}

TEST_F(EventSlotsTest, EventAnswersIgnoreCase) {
    kvQOObject* relay = Make("relay", "triggerSequential");
    kvQOObject* note = Make("note", "qoComment");
    struct Case {
        const char* name;
        bool relayHandles;
    };
    const Case cases[] = {
        {"OnActivate", true}, {"onactivate", true},  {"ONACTIVATE", true}, {"OnActivated", false},
        {"OnTrigger", false}, {"OnItemPickup", false}, {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CallSlot<bool>(relay, 46, c.name), c.relayHandles) << c.name;
        EXPECT_FALSE(CallSlot<bool>(note, 46, c.name)) << c.name;
    }
}

TEST_F(EventSlotsTest, FunctionLookupIgnoresCase) {
    kvQOObject* debug = Make("debug", "qoDebugUtil");
    kvQOObject* note = Make("note", "qoComment");
    const auto entry = CallSlot<qoThreadEntry>(debug, 45, "ReadDebugActions");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(CallSlot<qoThreadEntry>(debug, 45, "readdebugactions"), entry);
    EXPECT_EQ(CallSlot<qoThreadEntry>(debug, 45, "READDEBUGACTIONS"), entry);
    EXPECT_EQ(CallSlot<qoThreadEntry>(debug, 45, "ReadDebugAction"), nullptr);
    EXPECT_EQ(CallSlot<qoThreadEntry>(debug, 45, ""), nullptr);
    EXPECT_EQ(CallSlot<qoThreadEntry>(note, 45, "ReadDebugActions"), nullptr);
}

// In a script thread the wrong-prototype error names the object and the thread, and ends that
// thread only.
TEST_F(EventSlotsTest, InAThreadTheErrorEndsThatThreadOnly) {
    kvQOObject* note = Make("note", "qoComment");
    const qohost::ThreadOwner owner{note->GetEntity(), 0};
    int ticks = 0;
    const uint32_t ticker = world->scheduler.Spawn("Ticker", note, owner, [&] {
        for (;;) {
            ++ticks;
            world->WaitFrame();
        }
    });
    bool returned = false, resumed = false;
    const uint32_t delivery = world->scheduler.Spawn("OnAnimNotify", note, owner, [&] {
        CallSlot<void>(note, 22, "footstep");
        returned = true;
        world->WaitFrame();
        resumed = true;
    });
    world->RunFrames(2);
    EXPECT_TRUE(returned);
    EXPECT_FALSE(resumed);
    EXPECT_FALSE(world->IsThreadRunning(delivery));
    EXPECT_TRUE(world->IsThreadRunning(ticker));
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(world->console.Lines(),
              std::vector<std::string>{
                  "^1Quorin Error:^3 note.qoComment.OnAnimNotify: System Callback defined with the "
                  "wrong number of parameters. Check qonotify.h for the prototype of the function.^0"});
}

}  // namespace
