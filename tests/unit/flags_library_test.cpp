// The entity-flag library as other scripts call it (qoUtil::SetFlag and its siblings, the flag
// object's own operations, CallFunction), run by the reference host: defining, warnings and the
// gated debug lines, waits in script threads, deferred changes, and the event handlers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/world/Console.h"
#include "host/world/World.h"
#include "hostcheck/ForwardingSystem.h"
#include "scripts/flags/util_entityFlag.h"
#include "tests/support/HostFixture.h"

namespace {

using qohost::Entity;

class FlagLibrary : public qohost::test::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        EndWorldUtilStartup();
        crate = qoEntity(world->SpawnEntity("crate", "kvProp").handle);
    }

    util_entityFlag* Flags(const qoEntity& e) {
        Entity* entity = world->EntityByHandle(e.handle);
        const uint32_t index = world->FindObjectIndex(*entity, "util_entityFlag");
        return index == qohost::kNoObject ? nullptr
                                          : static_cast<util_entityFlag*>(world->ScriptObject(e.handle, index));
    }
    const util_entityFlag::flagDef_t& Flag(const char* name) {
        util_entityFlag* flags = Flags(crate);
        return flags->flags[flags->FindFlag(name)];
    }
    std::vector<std::string> Console() const { return world->console.PlainLines(); }
    std::vector<std::string> Calls() const {
        std::vector<std::string> out;
        for (const qohost::KeptRecord& r : world->recorder.OfKind("script")) out.push_back(r.text);
        return out;
    }
    // Runs body as a script thread; returns its id.
    uint32_t InThread(std::function<void()> body) {
        return world->scheduler.Spawn("Waiter", nullptr, {}, std::move(body));
    }

    qoEntity crate;
};

TEST_F(FlagLibrary, LibraryDefineIsSilentTheObjectsOwnWarns) {
    qoUtil::DefineFlag(crate, "Open");
    qoUtil::DefineFlag(crate, "Open", true, true);
    EXPECT_TRUE(Console().empty());
    EXPECT_EQ(Flags(crate)->flags.Num(), 1);
    EXPECT_FALSE(Flag("Open").state) << "the second define changes nothing";
    EXPECT_EQ(Flag("Open").count, 0);
    EXPECT_EQ(Flag("Open").lastTime, -1.0f);

    Flags(crate)->DefineFlag("Open");
    EXPECT_FALSE(qoUtil::IsFlagSet(crate, "Shut"));
    qoUtil::SetFlag(crate, "Shut");
    EXPECT_EQ(Console(), (std::vector<std::string>{
                             "Quorin Warning: Flag name: Open is already defined on entity: crate",
                             "Quorin Warning: Flag name: Shut is not defined on entity: crate",
                             "Quorin Warning: Flag name: Shut is not defined on entity: crate"}));
    EXPECT_EQ(Flags(crate)->flags.Num(), 1);
}

TEST_F(FlagLibrary, SetCountsAndStampsClearKeepsTheCount) {
    qoUtil::DefineFlag(crate, "Open");
    world->RunFrames(10);
    qoUtil::SetFlag(crate, "Open");
    qoUtil::SetFlag(crate, "Open");
    EXPECT_TRUE(qoUtil::IsFlagSet(crate, "Open"));
    EXPECT_EQ(Flag("Open").count, 2);
    EXPECT_FLOAT_EQ(Flag("Open").lastTime, 0.16f);
    qoUtil::ClearFlag(crate, "Open");
    EXPECT_FALSE(qoUtil::IsFlagSet(crate, "Open"));
    EXPECT_EQ(Flag("Open").count, 2);
    EXPECT_FLOAT_EQ(Flag("Open").lastTime, 0.16f);
}

// Without a flag object the library functions do nothing; with qo_debugPrint above 0 each says
// so with its own name and number. A zero entity is not even looked at.
TEST_F(FlagLibrary, MissingFlagObjectGivesTheGatedDebugLines) {
    const std::vector<std::function<void(const qoEntity&)>> calls = {
        [](const qoEntity& e) { EXPECT_FALSE(qoUtil::IsFlagSet(e, "Open")); },
        [](const qoEntity& e) { qoUtil::SetFlag(e, "Open"); },
        [](const qoEntity& e) { qoUtil::ClearFlag(e, "Open"); },
        [](const qoEntity& e) { EXPECT_FALSE(qoUtil::WaitForFlag(e, "Open")); },
        [](const qoEntity& e) { EXPECT_FALSE(qoUtil::WaitForSignal(e, "Open")); },
    };
    for (const char* level : {"0", "1"}) {
        world->cvars.Define("qo_debugPrint", level);
        for (const auto& call : calls) {
            call(crate);
            call(qoEntity());
        }
    }
    const std::string tail = "^0 : Could not access the entityFlag object on entity: crate";
    std::vector<std::string> expected;
    for (const char* where : {"qoUtil::IsFlagSet::528", "qoUtil::SetFlag::546", "qoUtil::ClearFlag::564",
                              "qoUtil::WaitForFlag::600", "qoUtil::WaitForSignal::638"})
        expected.push_back(std::string("^3") + where + tail);
    EXPECT_EQ(world->console.Lines(), expected);
    EXPECT_EQ(Flags(crate), nullptr) << "only DefineFlag attaches a flag object";
}

// A host may answer "the entity carries none" with an index that resolves to no object (0
// here) instead of 0xFFFFFFFF: the library functions take that as "no flag object" too.
class NoneIsZeroSystem final : public qohostcheck::ForwardingSystem {
public:
    using ForwardingSystem::ForwardingSystem;
    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override {
        const uint32_t index = ForwardingSystem::FindScriptObject(entity, className, create);
        return index == qohost::kNoObject ? 0u : index;
    }
};

TEST_F(FlagLibrary, LookupResolvingToNoObjectCountsAsNone) {
    world->cvars.Define("qo_debugPrint", "1");
    NoneIsZeroSystem host(world.get());
    kvQuorinSystem* const previous = qoSys;
    qoSys = &host;
    EXPECT_FALSE(qoUtil::IsFlagSet(crate, "Open"));
    qoUtil::SetFlag(crate, "Open");
    qoSys = previous;
    const std::string tail = "^0 : Could not access the entityFlag object on entity: crate";
    EXPECT_EQ(world->console.Lines(), (std::vector<std::string>{"^3qoUtil::IsFlagSet::528" + tail,
                                                                "^3qoUtil::SetFlag::546" + tail}));
}

struct WaitCase {
    const char* name;
    bool signal;          // WaitForSignal, else WaitForFlag
    bool setBefore;       // the flag is set when the wait starts
    float timeout;
    int setAtFrame;       // the host sets the flag after this frame (-1: never)
    int removeAtFrame;    // the entity is removed after this frame (-1: never)
    bool result;
    uint64_t returnFrame;
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.name; }

class FlagWaits : public FlagLibrary, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(FlagWaits, ReturnWhenTheFlagIsSetSignalledTimedOutOrGone) {
    const WaitCase& c = GetParam();
    qoUtil::DefineFlag(crate, "Open");
    if (c.setBefore) qoUtil::SetFlag(crate, "Open");
    bool result = !c.result;
    uint64_t returned = 0;
    const qoEntity e = crate;
    InThread([&, e] {
        result = c.signal ? qoUtil::WaitForSignal(e, "Open", c.timeout) : qoUtil::WaitForFlag(e, "Open", c.timeout);
        returned = world->Frame();
    });
    for (int frame = 0; frame < 200 && returned == 0 && result != c.result; ++frame) {
        if (frame == c.setAtFrame) qoUtil::SetFlag(crate, "Open");
        if (frame == c.removeAtFrame) world->RemoveEntity(crate.handle);
        world->RunFrame();
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(returned, c.returnFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlagWaits,
    ::testing::Values(
        WaitCase{"FlagAlreadySetReturnsAtOnce", false, true, 0.0f, -1, -1, true, 0},
        WaitCase{"SignalOnASetFlagWaitsForTheNextSet", true, true, 0.0f, 5, -1, true, 6},
        WaitCase{"FlagSetLater", false, false, 0.0f, 5, -1, true, 6},
        // 2 s at 16 ms a frame: the first frame at or past 2.0 s is frame 125 (2.000 s).
        WaitCase{"TimeoutTwoSeconds", false, false, 2.0f, -1, -1, false, 125},
        WaitCase{"SignalTimeout", true, true, 2.0f, -1, -1, false, 125},
        WaitCase{"EntityRemoved", false, false, 0.0f, -1, 3, false, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FlagLibrary, WaitOnAnUndefinedFlagWarnsAndAnswersFalse) {
    qoUtil::DefineFlag(crate, "Open");
    bool result = true;
    InThread([&] { result = qoUtil::WaitForFlag(crate, "Shut", 0.0f); });
    world->RunFrames(2);
    EXPECT_FALSE(result);
    ASSERT_EQ(Console().size(), 1u);
    EXPECT_NE(Console()[0].find("Waiter: Flag name: Shut is not defined on entity: crate"), std::string::npos)
        << Console()[0];
}

// A deferred change runs in its own thread and lands after its delay, even when the opposite
// change came in between.
TEST_F(FlagLibrary, DeferredSetAndClearRunInTheirOwnThreads) {
    qoUtil::DefineFlag(crate, "Open");
    qoUtil::SetFlag(crate, "Open", 0.5f);
    qoUtil::ClearFlag(crate, "Open");
    EXPECT_FALSE(qoUtil::IsFlagSet(crate, "Open"));
    world->RunFrames(31);  // 0.496 s
    EXPECT_FALSE(qoUtil::IsFlagSet(crate, "Open"));
    world->RunFrame();
    EXPECT_TRUE(qoUtil::IsFlagSet(crate, "Open"));
    EXPECT_EQ(Flag("Open").count, 1);
    qoUtil::ClearFlag(crate, "Open", 0.1f);
    world->RunFrames(7);
    EXPECT_FALSE(qoUtil::IsFlagSet(crate, "Open"));
    std::vector<std::string> names;
    for (const qohost::KeptRecord& r : world->recorder.OfKind("thread"))
        if (r.text.find("Deferred") != std::string::npos) names.push_back(r.text.substr(r.text.find('"')));
    EXPECT_EQ(names, (std::vector<std::string>{"\"SetDeferredThread\" on " + std::to_string(crate.handle) + ".0 by 0",
                                               "\"ClearDeferredThread\" on " + std::to_string(crate.handle) + ".0 by 0"}));
}

// Threads listed on a flag end and functions listed on it are called when it is set, once.
TEST_F(FlagLibrary, SettingEndsListedThreadsAndCallsListedFunctions) {
    qoUtil::DefineFlag(crate, "Open");
    const uint32_t sleeper = InThread([this] {
        for (;;) world->WaitFrame();
    });
    Entity& door = world->SpawnEntity("door", "kvMover");
    util_entityFlag::flagDef_t& flag = Flags(crate)->flags[0];
    flag.terminateThreads.Append(static_cast<int32_t>(sleeper));
    util_entityFlag::callFunction_t call;
    call.target = qoEntity(door.handle);
    call.function = "Slam";
    flag.callFunctions.Append(call);

    qoUtil::SetFlag(crate, "Open");
    qoUtil::SetFlag(crate, "Open");
    EXPECT_FALSE(world->IsThreadRunning(sleeper));
    EXPECT_EQ(Calls(), std::vector<std::string>{"call door.Slam"});
    EXPECT_EQ(Flag("Open").terminateThreads.Num(), 0);
    EXPECT_EQ(Flag("Open").callFunctions.Num(), 0);
}

TEST_F(FlagLibrary, CallFunctionNamesAnEntityOrTheWorld) {
    world->SpawnEntity("door", "kvMover");
    qoUtil::CallFunction("door.Open.Wide");
    qoUtil::CallFunction("Celebrate");
    qoUtil::CallFunction("");
    qoUtil::CallFunction("nobody.Open");
    EXPECT_EQ(Calls(), (std::vector<std::string>{"call door.Open.Wide", "call world.Celebrate"}));
    EXPECT_EQ(Console(), std::vector<std::string>{"Quorin Warning: entity 'nobody' not found"});
}

// The flag object's handlers set the flag named after the event when it is defined, and say
// nothing about names that are not.
TEST_F(FlagLibrary, EventsSetTheFlagsNamedAfterThem) {
    struct Case {
        const char* flag;
        std::function<void(kvQOObject*)> deliver;
    };
    const uint32_t by = crate.handle;
    const Case cases[] = {
        {"Activate", [by](kvQOObject* o) { o->Entry_OnActivate(by); }},
        {"Trigger", [by](kvQOObject* o) { o->Entry_OnTrigger(by); }},
        {"PropUsed", [by](kvQOObject* o) { o->Entry_OnUse(by); }},
        {"Damage", [by](kvQOObject* o) { o->Entry_OnDamage(by, 5.0f); }},
        {"Death", [by](kvQOObject* o) { o->Entry_OnDeath(by); }},
        {"AnimStart", [](kvQOObject* o) { o->Entry_OnAnimStart(); }},
        {"AnimEnd", [](kvQOObject* o) { o->Entry_OnAnimEnd(); }},
        {"GoalReach", [by](kvQOObject* o) { o->Entry_OnGoalReach(by); }},
        {"ReachGoal", [by](kvQOObject* o) { o->Entry_OnReachGoal(by); }},
        {"LeftGoal", [by](kvQOObject* o) { o->Entry_OnLeftGoal(by); }},
        {"AicMobWaveSpawned", [](kvQOObject* o) { o->Entry_OnWaveActivate(2); }},
        {"AicSentinelWaveSpawned", [](kvQOObject* o) { o->Entry_OnWaveActivate(4); }},
        {"AicBossWaveSpawned", [](kvQOObject* o) { o->Entry_OnWaveActivate(16); }},
        {"step", [](kvQOObject* o) { o->Entry_OnAnimNotify("step"); }},
    };
    qoUtil::DefineFlag(crate, "Unrelated");
    kvQOObject* object = Flags(crate);
    // Undefined: nothing set, nothing said (but the goal line).
    for (const Case& c : cases) c.deliver(object);
    object->Entry_OnWaveActivate(8);
    EXPECT_EQ(Flags(crate)->flags.Num(), 1);
    EXPECT_EQ(Console(), std::vector<std::string>{"On Goal Reach has been hit"});

    for (const Case& c : cases) qoUtil::DefineFlag(crate, c.flag, /*animNotify=*/true);
    qoUtil::DefineFlag(crate, "hit");  // a notify name without animNotify
    for (const Case& c : cases) {
        c.deliver(object);
        EXPECT_EQ(Flag(c.flag).count, 1) << c.flag;
    }
    object->Entry_OnWaveActivate(8);
    object->Entry_OnAnimNotify("hit");
    EXPECT_FALSE(Flag("hit").state);
    EXPECT_FALSE(Flag("Unrelated").state);
}

}  // namespace
