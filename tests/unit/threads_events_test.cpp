// Events as the host delivers them: raw entry slots 2 to 40 called by number, the handlers at
// n + 48, the default handlers, and the event and function lookups (slots 45 and 46).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorin/qoEvents.h"
#include "tests/behaviour/events_delivery.h"
#include "tests/unit/threads_test_classes.h"

namespace threads_test {
namespace {

using events_test::kRawEvents;
using qohost::test::CallSlot;

// The values of the raw deliveries passed straight to handler slot n + 48 in script types
// (entities by reference, text by value, which on this ABI is the address of a caller-owned
// string), and how the probe notes them.
template <int N> void HandleE(kvQOObject* o) {
    const qoEntity e(5);
    CallSlot<void>(o, N + 48, &e);
}
template <int N> void HandleN(kvQOObject* o) { CallSlot<void>(o, N + 48); }
template <int N> void HandleEEB(kvQOObject* o) {
    const qoEntity a(5), b(6);
    CallSlot<void>(o, N + 48, &a, &b, true);
}
template <int N> void HandleEF(kvQOObject* o) {
    const qoEntity e(5);
    CallSlot<void>(o, N + 48, &e, 2.5f);
}
template <int N> void HandleS(kvQOObject* o) {
    qoString text("footstep");
    CallSlot<void>(o, N + 48, &text);
}
template <int N> void HandleI(kvQOObject* o) { CallSlot<void>(o, N + 48, int32_t{16}); }
template <int N> void HandleEE(kvQOObject* o) {
    const qoEntity a(5), b(6);
    CallSlot<void>(o, N + 48, &a, &b);
}

constexpr const char* kNotedE = " 5";
constexpr const char* kNotedN = "";
constexpr const char* kNotedEEB = " 5 6 true";
constexpr const char* kNotedEF = " 5 2.5";
constexpr const char* kNotedS = " 'footstep'";
constexpr const char* kNotedI = " 16";
constexpr const char* kNotedEE = " 5 6";

struct HandlerSlot {
    void (*handle)(kvQOObject*);
    const char* noted;
};

#define THREADS_TEST_HANDLER_ROW(slot, id, name, shape) {&Handle##shape<slot>, kNoted##shape},
const HandlerSlot kHandlerSlots[] = {QO_EVENT_TABLE(THREADS_TEST_HANDLER_ROW)};
#undef THREADS_TEST_HANDLER_ROW
static_assert(std::size(kHandlerSlots) == std::size(kRawEvents));

const char kWrongPrototype[] =
    "System Callback defined with the wrong number of parameters. Check qonotify.h for the "
    "prototype of the function.";

class EventSlotTest : public TestClassesFixture {};

TEST_F(EventSlotTest, EveryEntrySlotConvertsItsArgumentsAndCallsItsHandler) {
    eventProbe* probe = Make<eventProbe>("probe");
    ASSERT_EQ(std::size(kRawEvents), 39u);
    for (size_t i = 0; i < std::size(kRawEvents); ++i) {
        const auto& e = kRawEvents[i];
        journal.clear();
        e.deliver(probe);
        EXPECT_EQ(journal, std::vector<std::string>{std::string(e.handler) + kHandlerSlots[i].noted})
            << "entry slot " << e.slot;
    }
}

TEST_F(EventSlotTest, HandlersSitAtEntrySlotPlus48) {
    eventProbe* probe = Make<eventProbe>("probe");
    for (size_t i = 0; i < std::size(kRawEvents); ++i) {
        const auto& e = kRawEvents[i];
        journal.clear();
        kHandlerSlots[i].handle(probe);
        EXPECT_EQ(journal, std::vector<std::string>{std::string(e.handler) + kHandlerSlots[i].noted})
            << "handler slot " << e.slot + 48;
    }
}

TEST_F(EventSlotTest, TextArgumentsAreNewStringsWithTheCurrentTagThatTheHandlerGivesUp) {
    textKeeper* keeper = Make<textKeeper>("keeper");
    const uint32_t previous = world->SetMemoryTag(0x77);
    CallSlot<void>(keeper, 22, "footstep");
    world->SetMemoryTag(previous);
    EXPECT_EQ(keeper->argumentTag, 0x77u);
    EXPECT_STREQ(keeper->kept.c_str(), "footstep");
    EXPECT_FALSE(world->allocator.IsLive(keeper->argumentData)) << "the argument outlived the call";
    EXPECT_TRUE(world->allocator.IsLive(keeper->kept.data));
    EXPECT_EQ(world->allocator.LiveBlocks(0x77), 0u);
}

// A class that names events it has no handler for reaches the default handler, through
// whichever slot the event comes: one error each, and text arguments still freed.
TEST_F(EventSlotTest, DefaultHandlersReportTheWrongPrototypeAndFreeTheirText) {
    eventAnnouncer* announcer = Make<eventAnnouncer>("announcer");
    EXPECT_TRUE(announcer->HandlesEvent("onitempickup"));
    EXPECT_TRUE(announcer->HandlesEvent("OnRemove"));
    const size_t blocksBefore = world->allocator.LiveBlocks();
    for (const auto& e : kRawEvents) {
        world->console.Clear();
        e.deliver(announcer);
        EXPECT_EQ(world->console.Lines(),
                  std::vector<std::string>{std::string("^1Quorin Error:^3 ") + kWrongPrototype + "^0"})
            << "entry slot " << e.slot;
        EXPECT_EQ(world->allocator.LiveBlocks(), blocksBefore) << "entry slot " << e.slot;
    }
}

TEST_F(EventSlotTest, InAScriptThreadTheWrongPrototypeEndsTheThread) {
    eventAnnouncer* announcer = Make<eventAnnouncer>("announcer");
    const qohost::ThreadOwner owner{announcer->entity.handle, 0};
    for (int slot : {2, 22}) {
        journal.clear();
        world->console.Clear();
        const uint32_t id = world->scheduler.Spawn("OnItemPickup", announcer, owner, [&] {
            if (slot == 22)
                CallSlot<void>(announcer, slot, "x");
            else
                CallSlot<void>(announcer, slot, 5u);
            Note("handler returned");
            world->scheduler.WaitFrame();
            Note("never");
        });
        EXPECT_FALSE(world->scheduler.IsRunning(id));
        EXPECT_EQ(world->scheduler.LiveCount(), 0u);
        EXPECT_EQ(journal, std::vector<std::string>{"handler returned"});
        EXPECT_EQ(world->console.Lines(),
                  std::vector<std::string>{std::string("^1Quorin Error:^3 announcer.eventAnnouncer."
                                                       "OnItemPickup: ") +
                                           kWrongPrototype + "^0"});
    }
}

TEST_F(EventSlotTest, EventAnswersIgnoreCaseAndFollowTheDeclaration) {
    eventProbe* probe = Make<eventProbe>("probe");
    threadProbe* threads = Make<threadProbe>("threads");
    struct Case {
        const char* name;
        bool handled;
    };
    const Case cases[] = {
        {"OnActivate", true}, {"onactivate", true}, {"ONDAMAGE", true},  {"OnAnimNotify", true},
        {"onAnimEnd", true},  {"OnDeath", false},   {"OnActivat", false}, {"OnActivate ", false},
        {"", false},          {"OnItemPickup", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CallSlot<bool>(probe, 46, c.name), c.handled) << c.name;
        EXPECT_FALSE(CallSlot<bool>(threads, 46, c.name)) << c.name;
    }
    EXPECT_FALSE(CallSlot<bool>(probe, 46, static_cast<const char*>(nullptr)));
}

TEST_F(EventSlotTest, FunctionLookupIgnoresCaseAndAnswersTheThreadEntry) {
    threadProbe* threads = Make<threadProbe>("threads");
    eventProbe* probe = Make<eventProbe>("probe");
    const qoThreadEntry update = &qoEntryThunk<&threadProbe::Update>;
    const qoThreadEntry idle = &qoEntryThunk<&threadProbe::Idle>;
    struct Case {
        const char* name;
        qoThreadEntry entry;
    };
    const Case cases[] = {
        {"Update", update}, {"update", update}, {"UPDATE", update}, {"idle", idle},
        {"Updat", nullptr}, {"Update2", nullptr}, {"", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CallSlot<qoThreadEntry>(threads, 45, c.name), c.entry) << c.name;
        EXPECT_EQ(CallSlot<qoThreadEntry>(probe, 45, c.name), nullptr) << c.name;
    }
    // The entry the class starts its "Update" thread with is that same one.
    const uint32_t id = qoStartThread<&threadProbe::Update>(threads, "Update");
    EXPECT_EQ(world->scheduler.Find(id)->entry, update);
    // Run by the host through the lookup, it runs the member on the object.
    const int framesBefore = threads->frames;
    world->CreateThread("Update", threads, CallSlot<qoThreadEntry>(threads, 45, "update"), nullptr);
    EXPECT_EQ(threads->frames, framesBefore + 1);
}

TEST_F(EventSlotTest, EntriesReachedWithoutAnObjectOnlyReport) {
    const char assertion[] = "^1Quorin Error:^3 Assertion failed: object != NULL^0";
    world->console.Clear();
    qoEntryThunk<&threadProbe::Update>(nullptr, nullptr);
    qoEntity target(3);
    float delay = 1.0f;
    qoThreadArgBlock<qoEntity, float> block{&qoThreadInvoker<&threadProbe::Run, qoEntity, float>,
                                            {&target, &delay}};
    qoThreadTrampoline<qoEntity, float>::Entry(nullptr, &block);
    EXPECT_EQ(world->console.Lines(), (std::vector<std::string>{assertion, assertion}));
    EXPECT_TRUE(journal.empty());
}

}  // namespace
}  // namespace threads_test
