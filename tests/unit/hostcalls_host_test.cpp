// The reference host's entity methods, driven through the module's wrappers (the module is
// linked in and attached to a world) and, where the raw protocol matters, through host slot 12.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "hostcalls/qoEntity.h"
#include "host/methods/Methods.h"
#include "host/sim/sound/Sound.h"
#include "host/world/World.h"
#include "quorin/qoMethodCatalogue.h"
#include "tests/unit/threads_test_classes.h"

namespace {

using qohost::Entity;
using threads_test::journal;

const qoMethodInfo& Method(const char* name) {
    for (const qoMethodInfo& m : qoMethodTable)
        if (std::strcmp(m.name, name) == 0) return m;
    ADD_FAILURE() << "no method " << name;
    return qoMethodTable[0];
}

std::string Text(const qoVector& v) { return threads_test::Text(v); }

class HostMethodTest : public threads_test::TestClassesFixture {
protected:
    qoEntity Spawn(const char* name, const char* hostClass, qoVector origin = {}) {
        Entity& e = world->SpawnEntity(name, hostClass);
        e.origin = origin;
        return qoEntity(e.handle);
    }
    Entity& Get(const qoEntity& e) { return *world->EntityByHandle(e.handle); }

    // Host slot 12 with an all-zero argument buffer and the catalogue's signature.
    bool Raw(const qoEntity& e, const char* method) {
        const qoMethodInfo& m = Method(method);
        alignas(8) unsigned char buffer[96] = {};
        return world->CallEntityMethod(e.handle, m.number, m.signature, *m.signature ? buffer : nullptr);
    }

    // The console lines of failed method calls (other scripts of the world may print too).
    std::string FailureLines() const {
        std::string text;
        for (const std::string& line : world->console.PlainLines()) {
            const size_t at = line.rfind(" failed.");
            if (at != std::string::npos && at + 8 == line.size()) text += line + "\n";
        }
        return text;
    }

    std::vector<std::string> MethodRecords() const { return world->recorder.TextsOfKind("method"); }
    std::string LastMethodRecord() const {
        const auto r = MethodRecords();
        return r.empty() ? "" : r.back();
    }

    // Runs frames until the entity stops moving; the game time it took.
    int32_t MsUntilStopped(const qoEntity& e, int limitFrames = 1000) {
        const int32_t start = world->GameTime();
        for (int i = 0; i < limitFrames && e.IsMoving(); ++i) world->RunFrame();
        return world->GameTime() - start;
    }
};

// ---- protocol checks of the dispatch ---------------------------------------------------------

struct RefusalCase {
    const char* label;
    int32_t method;
    const char* signature;
    bool withBuffer;
    bool accepted;
};

class DispatchCheckTest : public HostMethodTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(DispatchCheckTest, NumberAndSignatureMustAgreeWithTheCatalogue) {
    const RefusalCase& r = GetParam();
    const qoEntity mover = Spawn("mover", "kvMover");
    const qoVector to{5, 6, 7};
    alignas(8) unsigned char buffer[16] = {};
    std::memcpy(buffer, &to, sizeof to);
    EXPECT_EQ(world->CallEntityMethod(mover.handle, r.method, r.signature, r.withBuffer ? buffer : nullptr),
              r.accepted);
    EXPECT_EQ(Text(Get(mover).origin), r.accepted ? "5,6,7" : "0,0,0");
    if (!r.accepted) {
        EXPECT_NE(LastMethodRecord().find("refused"), std::string::npos) << LastMethodRecord();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DispatchCheckTest,
    ::testing::Values(RefusalCase{"SetOriginAsListed", 198, "v", true, true},
                      RefusalCase{"WrongCharacter", 198, "a", true, false},
                      RefusalCase{"ExtraCharacter", 198, "vv", true, false},
                      RefusalCase{"EmptySignature", 198, "", true, false},
                      RefusalCase{"NullSignature", 198, nullptr, true, false},
                      RefusalCase{"NullBuffer", 198, "v", false, false},
                      RefusalCase{"NumberBetweenRows", 199 + 1000, "v", true, false},
                      RefusalCase{"NegativeNumber", -198, "v", true, false},
                      RefusalCase{"BeyondTheLastNumber", 1565, "v", true, false},
                      RefusalCase{"NeighbourNumber", 196 + 1, "v", true, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(HostMethodTest, MissingEntityFailsWithTheWarning) {
    const qoEntity gone = Spawn("crate", "kvProp");
    world->RemoveEntity(gone.handle, true);
    EXPECT_EQ(Text(gone.GetOrigin()), "0,0,0");
    EXPECT_EQ(qoEntity(9999u).GetName(), "0");
    EXPECT_NE(ConsoleText().find("crate.GetOrigin failed."), std::string::npos) << ConsoleText();
    EXPECT_NE(ConsoleText().find(".GetName failed."), std::string::npos) << ConsoleText();
    // The host's log names the method, and the entity when it once existed.
    EXPECT_EQ(MethodRecords(), (std::vector<std::string>{
                                   "crate.GetOrigin failed: the entity was removed",
                                   "#9999.GetName failed: no such entity"}));
}

TEST_F(HostMethodTest, EveryCallIsRecordedWithDecodedArguments) {
    const qoEntity ai = Spawn("imp", "kvAI2");
    const qoEntity player = Spawn("player1", "kvPlayer");
    world->RunFrames(3);
    ai.SetOrigin({1, 2.5f, -3});
    ai.BindToJoint(player, "neck", "origin", 4);
    ai.FakeAnimMethod(player, "anims/a.anim", "neck_base", 0, qoColor{1, 1, 1, 1});
    ai.SetCanBecomeDormant(true);
    ai.StartSoundShader(nullptr, 26);
    const auto records = world->recorder.OfKind("method");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].text, "imp.SetOrigin((1 2.5 -3))");
    EXPECT_EQ(records[1].text, "imp.BindToJoint(player1, \"neck\", \"origin\", 4)");
    EXPECT_EQ(records[2].text, "imp.FakeAnimMethod(player1, \"anims/a.anim\", \"neck_base\", 0, (1 1 1 1))");
    EXPECT_EQ(records[3].text, "imp.SetCanBecomeDormant(true)");
    EXPECT_EQ(records[4].text, "imp.StartSoundShader(null, 26)");
    EXPECT_EQ(records[0].frame, 3u);
    EXPECT_EQ(records[0].thread, 0u);
}

TEST_F(HostMethodTest, CallsFromAScriptThreadCarryItsId) {
    const qoEntity box = Spawn("box", "kvProp");
    const uint32_t id = world->scheduler.Spawn("caller", nullptr, {}, [box] {
        box.Hide();
        qoSys->WaitFrame();
        box.Show();
    });
    world->RunFrame();
    const auto records = world->recorder.OfKind("method");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].thread, id);
    EXPECT_EQ(records[1].thread, id);
    EXPECT_EQ(records[1].frame, records[0].frame + 1);
}

// Inside a script thread the failure warning names the thread and costs it one frame.
TEST_F(HostMethodTest, FailedCallInAThreadCostsOneFrame) {
    const qoEntity door = Spawn("door", "kvProp");
    std::vector<int32_t> times;
    world->scheduler.Spawn("Opener", nullptr, {}, [&] {
        times.push_back(qoSys->GameTimeMs());
        door.StopMoving();  // a mover method: the prop does not support it
        times.push_back(qoSys->GameTimeMs());
    });
    world->RunFrames(3);
    EXPECT_EQ(times, (std::vector<int32_t>{0, 16}));
    EXPECT_EQ(FailureLines(), "Quorin Warning: .<null>.Opener: door.StopMoving failed.\n");
}

// No module allocation for a successful call without string arguments.
TEST_F(HostMethodTest, SuccessfulCallsAllocateOnlyStringCopies) {
    const qoEntity mover = Spawn("mover", "kvMover");
    const qoEntity player = Spawn("player1", "kvPlayer");
    mover.AddTarget(player);
    struct Row {
        const char* label;
        std::function<void()> call;
        uint64_t allocations;
    } rows[] = {
        {"SetOrigin", [&] { mover.SetOrigin({1, 2, 3}); }, 0},
        {"GetOrigin", [&] { (void)mover.GetOrigin(); }, 0},
        {"Activate", [&] { mover.Activate(player); }, 0},
        {"IsMoving", [&] { (void)mover.IsMoving(); }, 0},
        {"GetTarget", [&] { (void)mover.GetTarget(0); }, 0},
        {"GetPlayerHealth", [&] { (void)player.GetPlayerHealth(); }, 0},
        {"SetParmsForSpeed", [&] { mover.SetParmsForSpeed(10, 0, 0); }, 0},
        {"Remove", [&] { Spawn("temp", "kvProp").Remove(); }, 0},
        {"IsClass (one argument copy)", [&] { (void)mover.IsClass("kvMover"); }, 1},
        {"GetName (the result)", [&] { (void)mover.GetName(); }, 1},
    };
    for (const Row& row : rows) {
        const uint64_t before = world->allocator.Allocations();
        const size_t live = world->allocator.LiveBlocks();
        row.call();
        EXPECT_EQ(world->allocator.Allocations() - before, row.allocations) << row.label;
        EXPECT_EQ(world->allocator.LiveBlocks(), live) << row.label;
    }
    EXPECT_EQ(FailureLines(), "") << "no call may fail here";
}

// ---- which entities support which methods ----------------------------------------------------

struct SupportCase {
    const char* hostClass;
    const char* method;
    bool supported;
};

class SupportTest : public HostMethodTest, public ::testing::WithParamInterface<SupportCase> {};

TEST_P(SupportTest, HostClassDecides) {
    const SupportCase& s = GetParam();
    const qoEntity e = Spawn("subject", s.hostClass);
    EXPECT_EQ(Raw(e, s.method), s.supported) << s.hostClass << " " << s.method;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SupportTest,
    ::testing::Values(SupportCase{"kvMover", "MoveToPos", true},
                      SupportCase{"kvMoverSpline", "MoveToPos", true},
                      SupportCase{"kvEntity", "MoveToPos", false},
                      SupportCase{"kvEntity", "GetSplineLength", true},
                      SupportCase{"kvPlayer", "GetPlayerHealth", true},
                      SupportCase{"kvAI2", "GetPlayerHealth", false},
                      SupportCase{"kvAI2", "Action_WaitForAnim", true},
                      SupportCase{"kvPlayer", "Action_WaitForAnim", false},
                      SupportCase{"kvPlayer", "GetHealth", true},
                      SupportCase{"kvMover", "GetHealth", false},
                      SupportCase{"kvLight", "On", true},
                      SupportCase{"kvProp", "On", false},
                      SupportCase{"kvProp", "IsDead", true},
                      SupportCase{"kvAASObstacle", "SetEnabledState", true},
                      SupportCase{"kvAASObstacle", "GetName", true},
                      SupportCase{"kvVolume", "NumPlayersInVolume", true},
                      SupportCase{"kvTarget_Spawn", "GetNumEntityDefs", true}),
    [](const auto& info) { return std::string(info.param.hostClass) + "_" + info.param.method; });

// Every catalogue method either runs on a plain entity or names the class it needs, and every
// method has its effect documented.
TEST_F(HostMethodTest, EveryMethodHasAClassAndADocumentedEffect) {
    for (const qoMethodInfo& m : qoMethodTable) {
        const char* hostClass = qohost::MethodHostClass(m.number);
        ASSERT_NE(hostClass, nullptr) << m.name;
        EXPECT_TRUE(qohost::IsKnownHostClass(hostClass)) << m.name << ": " << hostClass;
        ASSERT_NE(qohost::MethodEffectText(m.number), nullptr) << m.name;
        EXPECT_GT(std::strlen(qohost::MethodEffectText(m.number)), 0u) << m.name;
    }
    EXPECT_EQ(qohost::MethodEffectText(1), nullptr);
}

// Every method runs on a fresh entity of the class it needs, with an all-zero argument buffer.
// Only those whose arguments must name something that exists fail.
TEST_F(HostMethodTest, EveryMethodDispatchesWithZeroArguments) {
    const std::set<std::string> needsSomething = {
        // a live entity argument
        "GetTarget", "AddTarget", "Bind", "BindPosition", "BindToJoint", "DistanceTo", "MoveTo",
        "MoveToOverTime", "StartSpline", "TravelSpline", "InFOV", "Action_MoveToEntity",
        "Action_MoveToPathPoint", "Action_MoveToPathPointNoFail", "TrackEntity",
        // a render parm decl
        "SetRenderParm",
        // an existing HUD element, a perk given before, an entity def
        "ShowHUDElement", "SetHUDElementUV", "SetHUDElementPosition", "SetHUDElementColor",
        "SetHUDElementText", "SetHUDElementTextScale", "SetHUDElementTextAlignment",
        "ActivatePlayerPerk", "SpawnEntity"};
    for (const qoMethodInfo& m : qoMethodTable) {
        const qoEntity e = Spawn("", qohost::MethodHostClass(m.number));
        EXPECT_EQ(Raw(e, m.name), needsSomething.count(m.name) == 0) << m.name << ": " << LastMethodRecord();
    }
}

// ---- names, classes and targets --------------------------------------------------------------

TEST_F(HostMethodTest, NamesAndClasses) {
    const qoEntity player = Spawn("player1", "kvPlayer");
    struct Row {
        std::function<std::string()> ask;
        std::string answer;
    } rows[] = {
        {[&] { return std::string(player.GetName().c_str()); }, "player1"},
        {[&] { return std::string(player.GetClass().c_str()); }, "kvPlayer"},
        {[&] { return threads_test::Text(player.IsClass("kvActor")); }, "true"},
        {[&] { return threads_test::Text(player.IsClass("kvEntity")); }, "true"},
        {[&] { return threads_test::Text(player.IsClass("kvAI2")); }, "false"},
        {[&] { return threads_test::Text(player.IsSpecificClass("kvPlayer")); }, "true"},
        {[&] { return threads_test::Text(player.IsSpecificClass("kvActor")); }, "false"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.ask(), row.answer);
}

TEST_F(HostMethodTest, TargetList) {
    const qoEntity relay = Spawn("relay", "kvTarget_Relay");
    const qoEntity a = Spawn("a", "kvProp"), b = Spawn("b", "kvProp");
    relay.AddTarget(a);
    relay.AddTarget(b);
    relay.AddTarget(a);
    EXPECT_EQ(relay.NumTargets(), 2);
    EXPECT_EQ(relay.GetTarget(1), b);
    EXPECT_TRUE(relay.RemoveTarget(a));
    EXPECT_FALSE(relay.RemoveTarget(a));
    EXPECT_EQ(relay.NumTargets(), 1);
    EXPECT_EQ(relay.GetTarget(0), b);
    EXPECT_EQ(FailureLines(), "");
    EXPECT_EQ(relay.GetTarget(1).handle, 0u);
    EXPECT_EQ(relay.GetTarget(-1).handle, 0u);
    relay.AddTarget(qoEntity(12345u));
    EXPECT_EQ(relay.NumTargets(), 1);
    EXPECT_EQ(FailureLines(),
              "Quorin Warning: relay.GetTarget failed.\nQuorin Warning: relay.GetTarget failed.\n"
              "Quorin Warning: relay.AddTarget failed.\n");
}

TEST_F(HostMethodTest, ActivateDeliversOnActivateToObjectsThatHandleIt) {
    const qoEntity player = Spawn("player1", "kvPlayer");
    auto* probe = Make<threads_test::eventProbe>("door");
    const qoEntity door(probe->GetEntity());
    world->AddScriptObject(Get(door), "textKeeper");  // does not handle OnActivate
    const qoEntity relay = Spawn("relay", "kvTarget_Relay");
    relay.AddTarget(door);
    relay.AddTarget(player);  // no objects at all

    door.Activate(player);
    relay.ActivateTargets(player);
    const std::string by = std::to_string(player.handle);
    EXPECT_EQ(journal, (std::vector<std::string>{"OnActivate " + by, "OnActivate " + by}));
    EXPECT_EQ(world->recorder.Count("event"), 2u);
}

TEST_F(HostMethodTest, BindingMakesChildrenFollow) {
    const qoEntity lift = Spawn("lift", "kvMover", {0, 0, 0});
    const qoEntity crate = Spawn("crate", "kvProp", {10, 0, 0});
    crate.Bind(lift);
    EXPECT_EQ(crate.GetBindParent(), lift);
    lift.SetOrigin({0, 0, 100});
    EXPECT_EQ(Text(crate.GetOrigin()), "10,0,100");
    lift.Bind(crate);  // would be a cycle
    EXPECT_EQ(lift.GetBindParent().handle, 0u);
    crate.Unbind();
    lift.SetOrigin({0, 0, 0});
    EXPECT_EQ(Text(crate.GetOrigin()), "10,0,100");
    EXPECT_NE(ConsoleText().find("lift.Bind failed."), std::string::npos);
}

// ---- movers ----------------------------------------------------------------------------------

struct MoveCase {
    const char* label;
    std::function<void(const qoEntity& mover, const qoEntity& goal, const qoEntity& path)> start;
    int32_t durationMs;
    const char* destination;
};

class MoverTest : public HostMethodTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoverTest, TravelsInAStraightLineForTheComputedTime) {
    const MoveCase& m = GetParam();
    world->SetFrameTime(10);
    const qoEntity mover = Spawn("mover", "kvMover", {0, 0, 0});
    const qoEntity goal = Spawn("goal", "kvTarget", {100, 0, 0});
    const qoEntity path = Spawn("path", "kvEntity", {0, 100, 0});
    const qoEntity corner = Spawn("corner", "kvEntity", {0, 100, 100});
    Get(path).targets.push_back(corner.handle);

    m.start(mover, goal, path);
    EXPECT_TRUE(mover.IsMoving());
    EXPECT_EQ(MsUntilStopped(mover), m.durationMs);
    EXPECT_EQ(Text(mover.GetOrigin()), m.destination);
    EXPECT_EQ(FailureLines(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoverTest,
    ::testing::Values(
        MoveCase{"DefaultSpeed", [](auto& m, auto&, auto&) { m.MoveToPos({0, 0, 200}); }, 2000, "0,0,200"},
        MoveCase{"Speed", [](auto& m, auto&, auto&) { m.Speed(50); m.MoveToPos({0, 0, 200}); }, 4000, "0,0,200"},
        MoveCase{"Time", [](auto& m, auto&, auto&) { m.Time(0.5f); m.MoveToPos({0, 0, 200}); }, 500, "0,0,200"},
        MoveCase{"ParmsForTime", [](auto& m, auto&, auto&) { m.SetParmsForTime(0.3f, 0.1f, 0.1f); m.MoveToPos({0, 0, 200}); }, 300, "0,0,200"},
        MoveCase{"SpeedAfterTime", [](auto& m, auto&, auto&) { m.Time(3); m.SetParmsForSpeed(400, 0, 0); m.MoveToPos({0, 0, 200}); }, 500, "0,0,200"},
        MoveCase{"OverTime", [](auto& m, auto&, auto&) { m.MoveToPosOverTime({0, 0, 200}, 1.0f, 0, 0); }, 1000, "0,0,200"},
        MoveCase{"ToEntity", [](auto& m, auto& g, auto&) { m.MoveTo(g); }, 1000, "100,0,0"},
        MoveCase{"ToEntityOverTime", [](auto& m, auto& g, auto&) { m.MoveToOverTime(g, 0.25f, 0, 0); }, 250, "100,0,0"},
        MoveCase{"MoveUp", [](auto& m, auto&, auto&) { m.Move(-1, 64); }, 640, "0,0,64"},
        MoveCase{"MoveAlongYaw", [](auto& m, auto&, auto&) { m.Move(0, 30); }, 300, "30,0,0"},
        MoveCase{"SplineAsStraightLegs", [](auto& m, auto&, auto& p) { m.StartSpline(p); }, 2000, "0,100,100"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(HostMethodTest, MoverIsHalfWayHalfWayAndStopsWhereItIs) {
    world->SetFrameTime(100);
    const qoEntity mover = Spawn("mover", "kvMover");
    mover.MoveToPos({0, 0, 200});
    world->RunFrames(10);
    EXPECT_EQ(Text(Get(mover).origin), "0,0,100") << "the world advances movers each frame";
    mover.StopMoving();
    EXPECT_FALSE(mover.IsMoving());
    world->RunFrames(10);
    EXPECT_EQ(Text(mover.GetOrigin()), "0,0,100");
}

TEST_F(HostMethodTest, RotationLastsForTheAngleAtTheSpeed) {
    world->SetFrameTime(10);
    const qoEntity door = Spawn("door", "kvMover");
    door.Speed(90);
    door.RotateTo({0, 90, 0});
    EXPECT_TRUE(door.IsRotating());
    int32_t ms = 0;
    for (; door.IsRotating() && ms < 5000; ms += 10) world->RunFrame();
    EXPECT_EQ(ms, 1000);
    EXPECT_EQ(Text(door.GetAngles()), "0,90,0");
    door.RotateToShortest({0, -90, 0});  // 180 either way
    door.RotateOnce({0, 0, 45});
    door.Rotate({0, 10, 0});
    world->RunFrames(100);
    EXPECT_TRUE(door.IsRotating()) << "continuous rotation lasts until stopped";
    door.StopMoving();
    EXPECT_FALSE(door.IsRotating());
}

TEST_F(HostMethodTest, PathQueries) {
    const qoEntity path = Spawn("path", "kvEntity", {0, 0, 0});
    const qoEntity c1 = Spawn("c1", "kvEntity", {100, 0, 0});
    const qoEntity c2 = Spawn("c2", "kvEntity", {100, 50, 0});
    Get(path).targets = {c1.handle, c2.handle};
    EXPECT_EQ(path.GetSplineLength(), 150.0f);
    EXPECT_EQ(Text(path.GetPositionAlongPath(125)), "100,25,0");
    EXPECT_EQ(Text(path.GetPositionAlongPath(1000)), "100,50,0");
    EXPECT_EQ(path.GetDistanceAlongPath({40, -10, 0}, 0, 0, 0), 40.0f);
}

// ---- health ----------------------------------------------------------------------------------

TEST_F(HostMethodTest, DamageTakesShieldsFirstAndKills) {
    const qoEntity player = Spawn("player1", "kvPlayer");
    auto* probe = Make<threads_test::eventProbe>("imp");
    const qoEntity imp(probe->GetEntity());
    Get(player).shields = 20;
    const qohost::Decl* claw = world->DefineDecl("kvDeclDamage", "damage_claw");
    const_cast<qohost::Decl*>(claw)->args["damage"] = "30";

    player.Damage(claw, {}, 0.0f, 1.0f, imp, false);
    EXPECT_EQ(player.GetPlayerShields(), 0.0f);
    EXPECT_EQ(player.GetPlayerHealth(), 90.0f);
    player.NoPlayerDeath(true);
    player.DecreaseHealth(500);
    EXPECT_EQ(player.GetPlayerHealth(), 1.0f);
    EXPECT_FALSE(player.IsDead());

    imp.Damage(nullptr, {}, 0.0f, 2.0f, player, false);  // no decl: 10, times 2
    EXPECT_EQ(Get(imp).health, 80);
    imp.IncreaseHealth(50);
    EXPECT_EQ(Get(imp).health, 100) << "not above the maximum";
    imp.DecreaseHealth(100);
    EXPECT_TRUE(imp.IsDead());
    EXPECT_EQ(journal, (std::vector<std::string>{"OnDamage " + std::to_string(player.handle) + " 20"}));
}

// Amounts beyond any health neither wrap around nor heal: the damage kills (shields or not),
// the health gain stops at the maximum; NaN changes nothing.
TEST_F(HostMethodTest, HugeAmountsSaturateInsteadOfWrapping) {
    const float kInf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        float amount;
        bool dies;
    };
    const Case cases[] = {
        {"2^31", 2147483648.0f, true},
        {"3e9", 3e9f, true},
        {"largest float", std::numeric_limits<float>::max(), true},
        {"infinity", kInf, true},
        {"NaN", std::nanf(""), false},
        {"-3e9", -3e9f, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* method : {"Damage", "DecreaseHealth"}) {
            SCOPED_TRACE(method);
            const std::string name = "player" + std::to_string(++n);
            const qoEntity player = Spawn(name.c_str(), "kvPlayer");
            Get(player).health = Get(player).maxHealth = 100;
            Get(player).shields = 50;
            if (std::string(method) == "Damage") player.Damage(nullptr, {}, 0.0f, c.amount / 10.0f, {}, false);
            else player.DecreaseHealth(c.amount);
            EXPECT_EQ(player.IsDead(), c.dies);
            EXPECT_EQ(player.GetPlayerHealth(), c.dies ? 0.0f : 100.0f);
            EXPECT_GE(player.GetPlayerShields(), 0.0f);
        }
    }
    const qoEntity player = Spawn("healed", "kvPlayer");
    Get(player).maxHealth = 100;
    Get(player).health = 40;
    player.IncreaseHealth(3e9f);
    EXPECT_EQ(player.GetPlayerHealth(), 100.0f);
    player.IncreaseHealth(std::nanf(""));
    EXPECT_EQ(player.GetPlayerHealth(), 100.0f);
    player.IncreaseHealth(-3e9f);
    EXPECT_LE(player.GetPlayerHealth(), 0.0f) << "a huge loss must not wrap around into a gain";
}

// ---- spawning --------------------------------------------------------------------------------

TEST_F(HostMethodTest, SpawnPointSpawnsItsEntityDefsInTurn) {
    world->DefineDecl("kvDeclEntityDef", "monster_imp", "kvAI2");
    world->DefineDecl("kvDeclEntityDef", "monster_zombie", "kvAI2");
    const qoEntity point = Spawn("spawn1", "kvTarget_Spawn", {10, 20, 30});
    Get(point).entityDefs = {"monster_imp", "monster_zombie"};
    Get(point).spawnArgs["spawnCooldownMs"] = "100";
    const qoEntity bare = Spawn("spawn2", "kvTarget_Spawn", {-5, 0, 0});

    EXPECT_EQ(point.GetNumEntityDefs(), 2);
    EXPECT_EQ(bare.GetNumEntityDefs(), 0);
    EXPECT_TRUE(point.IsSpawnAvailable(qoEntity()));
    const qoEntity first = point.SpawnEntity(qoEntity());
    ASSERT_NE(first.handle, 0u);
    EXPECT_EQ(point.GetLastSpawned(), first);
    EXPECT_EQ(std::string(first.GetClass().c_str()), "kvAI2");
    EXPECT_EQ(Text(first.GetOrigin()), "10,20,30");

    // Cooling down: still available, the rest of the cooldown told; a request spawns anyway and
    // starts the cooldown again.
    EXPECT_TRUE(point.IsSpawnAvailable(qoEntity()));
    EXPECT_EQ(point.GetTimeTillAvailable(4000), 100);
    world->RunFrames(2);
    EXPECT_EQ(point.GetTimeTillAvailable(4000), 68);
    const qoEntity second = point.SpawnEntity(qoEntity());
    EXPECT_NE(std::string(Get(second).name).find("monster_zombie"), std::string::npos) << Get(second).name;
    EXPECT_EQ(point.GetTimeTillAvailable(4000), 100);
    world->RunFrames(7);
    EXPECT_EQ(point.GetTimeTillAvailable(4000), 0);

    // A point without defs spawns those of the reference entity.
    EXPECT_FALSE(bare.IsSpawnAvailable(qoEntity()));
    EXPECT_TRUE(bare.IsSpawnAvailable(point));
    const qoEntity borrowed = bare.SpawnEntity(point);
    EXPECT_EQ(Text(borrowed.GetOrigin()), "-5,0,0");
    EXPECT_EQ(bare.SpawnEntity(qoEntity()).handle, 0u);
    EXPECT_NE(ConsoleText().find("spawn2.SpawnEntity failed."), std::string::npos);
}

// ---- HUD, inventory, perks -------------------------------------------------------------------

TEST_F(HostMethodTest, PlayerState) {
    const qoEntity player = Spawn("player1", "kvPlayer");
    EXPECT_TRUE(player.CreateHUDElement("ammo"));
    EXPECT_FALSE(player.CreateHUDElement("ammo"));
    player.SetHUDElementText("ammo", "12");
    player.ShowHUDElement("ammo", true);
    EXPECT_EQ(Get(player).methods->hud.at("ammo").text, "12");
    EXPECT_TRUE(Get(player).methods->hud.at("ammo").visible);
    EXPECT_TRUE(player.DestroyHUDElement("ammo"));
    EXPECT_FALSE(player.DestroyHUDElement("ammo"));
    player.SetHUDElementText("ammo", "13");  // gone: fails

    player.GiveInventoryItem("keycard", 2);
    player.RemoveInventoryItem("keycard", 5);
    player.GiveInventoryItem("shells", 8);
    EXPECT_EQ(player.NumOfItemTypeInInventory("keycard"), 0);
    EXPECT_EQ(player.NumOfItemTypeInInventory("shells"), 8);

    player.ActivatePlayerPerk("speed");  // not given: fails
    player.GivePlayerPerk("speed");
    EXPECT_TRUE(player.DoesPlayerHavePerk("speed"));
    EXPECT_FALSE(player.IsPlayerPerkActive("speed"));
    player.ActivatePlayerPerk("speed");
    EXPECT_TRUE(player.IsPlayerPerkActive("speed"));

    const qohost::Decl* gun = world->DefineDecl("kvDeclWeapon", "weapon_shotgun");
    EXPECT_TRUE(player.EquipItem(gun));
    EXPECT_EQ(player.GetEquippedWeaponDecl(), "weapon_shotgun");
    EXPECT_EQ(FailureLines(),
              "Quorin Warning: player1.SetHUDElementText failed.\n"
              "Quorin Warning: player1.ActivatePlayerPerk failed.\n");
}

TEST_F(HostMethodTest, VolumesAndViews) {
    const qoEntity volume = Spawn("volume", "kvVolume", {0, 0, 0});
    Get(volume).mins = {-50, -50, -50};
    Get(volume).maxs = {50, 50, 50};
    const qoEntity inside = Spawn("player1", "kvPlayer", {10, 10, 0});
    Spawn("player2", "kvPlayer", {100, 0, 0});
    const qoEntity imp = Spawn("imp", "kvAI2", {0, 20, 0});
    EXPECT_EQ(volume.NumPlayersInVolume(), 1);
    EXPECT_TRUE(volume.IsEntityInVolume(imp));
    EXPECT_TRUE(volume.Touches(inside));
    EXPECT_EQ(volume.DistanceTo(imp), 20.0f);

    inside.SetViewAngles({0, 90, 0});  // looking along +y
    EXPECT_TRUE(inside.InFOV(Spawn("ahead", "kvProp", {10, 500, 0}), 90));
    EXPECT_FALSE(inside.InFOV(Spawn("behind", "kvProp", {10, -500, 0}), 90));
    EXPECT_EQ(Text(inside.GetViewPos()), "10,10,64");
}

// ---- latent actions --------------------------------------------------------------------------

TEST_F(HostMethodTest, ActionHoldsTheCallingThreadWhileTheMonsterWalks) {
    world->SetFrameTime(100);
    const qoEntity imp = Spawn("imp", "kvAI2", {0, 0, 0});
    std::vector<std::string> seen;
    world->scheduler.Spawn("walker", nullptr, {}, [&] {
        seen.push_back("before at " + std::to_string(qoSys->GameTimeMs()));
        imp.Action_MoveToPoint({400, 0, 0}, 1, 10.0f, false, {0, 180, 0});  // 2 s at 200 units/s
        seen.push_back("after at " + std::to_string(qoSys->GameTimeMs()));
    });
    EXPECT_TRUE(imp.IsScriptWaitingOnAction());
    world->RunFrames(10);
    EXPECT_EQ(Text(Get(imp).origin), "200,0,0") << "walking";
    EXPECT_TRUE(imp.IsScriptWaitingOnAction());
    world->RunFrames(10);
    EXPECT_EQ(seen, (std::vector<std::string>{"before at 0", "after at 2000"}));
    EXPECT_EQ(Text(imp.GetOrigin()), "400,0,0");
    EXPECT_EQ(Text(imp.GetAngles()), "0,180,0");
    EXPECT_FALSE(imp.IsScriptWaitingOnAction());
}

TEST_F(HostMethodTest, EndCurrentScriptActionReleasesTheCallerWhereTheMonsterIs) {
    world->SetFrameTime(100);
    const qoEntity imp = Spawn("imp", "kvAI2", {0, 0, 0});
    bool after = false;
    world->scheduler.Spawn("walker", nullptr, {}, [&] {
        imp.Action_MoveToPoint({400, 0, 0}, 1, 10.0f, false, {0, 180, 0});
        after = true;
    });
    world->RunFrames(5);
    imp.EndCurrentScriptAction();
    world->RunFrame();
    EXPECT_TRUE(after);
    EXPECT_FALSE(imp.IsScriptWaitingOnAction());
    world->RunFrames(20);
    EXPECT_EQ(Text(imp.GetOrigin()), "100,0,0");
    EXPECT_EQ(Text(imp.GetAngles()), "0,0,0");
}

// A channel plays at 0 dB when started; FadeSound moves its volume in a straight line in
// decibels over the time given (at once for 0), from wherever it is; StopSound silences it, and
// a new sound starts at 0 dB again. Each change is a "sound" record, and so is the volume in
// every frame of a fade, up to its end and no further.
TEST_F(HostMethodTest, SoundChannelsFadeInDecibelsOverTime) {
    world->SetFrameTime(100);
    const qoEntity speaker = Spawn("speaker", "kvSpeaker");
    const auto* track = reinterpret_cast<const kvSoundShader*>(world->DefineDecl("kvSoundShader", "music/low"));
    auto volume = [&] { return qohost::SoundVolumeDb(*world, Get(speaker), 26); };
    speaker.StartSoundShader(track, 26);
    EXPECT_EQ(qohost::SoundOn(Get(speaker), 26), "music/low");
    EXPECT_FLOAT_EQ(volume(), 0.0f);
    speaker.FadeSound(26, -40.0f, 0.0f);
    EXPECT_FLOAT_EQ(volume(), -40.0f);
    speaker.FadeSound(26, -20.0f, 1.0f);
    const float expected[] = {-38.0f, -36.0f, -34.0f, -32.0f, -30.0f};
    for (float db : expected) {
        world->RunFrame();
        EXPECT_NEAR(volume(), db, 1e-4f);
    }
    speaker.FadeSound(26, -60.0f, 0.5f);  // from -30 dB, halfway through the first fade
    world->RunFrames(5);
    EXPECT_NEAR(volume(), -60.0f, 1e-4f);
    world->RunFrames(5);
    EXPECT_NEAR(volume(), -60.0f, 1e-4f) << "a fade stays at its end";
    speaker.StopSound(26);
    EXPECT_EQ(qohost::SoundOn(Get(speaker), 26), "");
    speaker.StartSoundShader(track, 26);
    EXPECT_FLOAT_EQ(volume(), 0.0f);
    EXPECT_EQ(world->recorder.TextsOfKind("sound"),
              (std::vector<std::string>{
                  "speaker ch26 plays music/low at 0.00 dB", "speaker ch26 at -40.00 dB",
                  "speaker ch26 fades to -20.00 dB over 1000 ms", "speaker ch26 -38.00 dB",
                  "speaker ch26 -36.00 dB", "speaker ch26 -34.00 dB", "speaker ch26 -32.00 dB",
                  "speaker ch26 -30.00 dB", "speaker ch26 fades to -60.00 dB over 500 ms",
                  "speaker ch26 -36.00 dB", "speaker ch26 -42.00 dB", "speaker ch26 -48.00 dB",
                  "speaker ch26 -54.00 dB", "speaker ch26 -60.00 dB", "speaker ch26 stopped",
                  "speaker ch26 plays music/low at 0.00 dB"}));
    EXPECT_TRUE(world->SoundFades().empty()) << "a fade that ended leaves the list";
}

TEST_F(HostMethodTest, AnimationActionsHoldForTheirDuration) {
    world->SetFrameTime(100);
    const qoEntity imp = Spawn("imp", "kvAI2");
    world->EntityByHandle(imp.handle)->spawnArgs["anim:spawn/wake1"] = "0.5";
    std::vector<int32_t> times;
    world->scheduler.Spawn("anims", nullptr, {}, [&] {
        imp.Action_WaitForAnim("prowl/idle");  // no length of its own: 1 s
        times.push_back(qoSys->GameTimeMs());
        imp.Action_WaitForAnimVia("spawn/wake1", "hands_combat/idle");  // its length: 0.5 s
        times.push_back(qoSys->GameTimeMs());
        imp.Action_LoopAnim("prowl/idle", 3000);  // milliseconds
        times.push_back(qoSys->GameTimeMs());
        imp.Action_SetWalkState(1);
        times.push_back(qoSys->GameTimeMs());
        imp.Action_ForceAnimState(0, "spawn/wake1", 0, 0);  // the animation is its second argument
        times.push_back(qoSys->GameTimeMs());
    });
    world->RunFrames(60);
    EXPECT_EQ(times, (std::vector<int32_t>{1000, 1500, 4500, 4500, 5000}));
}

// Outside any script thread an action is over at once.
TEST_F(HostMethodTest, ActionOutsideAThreadCompletesAtOnce) {
    const qoEntity imp = Spawn("imp", "kvAI2", {0, 0, 0});
    const qoEntity goal = Spawn("goal", "kvPathCorner", {0, 50, 0});
    imp.Action_MoveToPathPoint(goal);
    EXPECT_EQ(Text(imp.GetOrigin()), "0,50,0");
    EXPECT_FALSE(imp.IsScriptWaitingOnAction());
}

TEST_F(HostMethodTest, EndingAHeldThreadStopsTheAction) {
    world->SetFrameTime(100);
    const qoEntity imp = Spawn("imp", "kvAI2", {0, 0, 0});
    const uint32_t id = world->scheduler.Spawn("walker", nullptr, {}, [&] {
        qoString held("a string the thread holds");
        imp.Action_MoveToPoint({400, 0, 0}, 1, 10.0f, false, {0, 0, 0});
    });
    world->RunFrames(5);
    world->scheduler.End(id);
    EXPECT_FALSE(imp.IsScriptWaitingOnAction());
    world->RunFrames(20);
    EXPECT_EQ(Text(imp.GetOrigin()), "100,0,0");
}

}  // namespace
