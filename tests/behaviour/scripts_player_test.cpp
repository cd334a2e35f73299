// The player state actions, view and light effects, hit stop, health watcher, scaling, render
// parameter and drag volume of the shared library in running levels: which host methods each
// activation, damage or entry calls on whom, and what the per-frame loops do.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

// One script object on "tool" (a kvTarget at the origin, with the given targets) in a level
// with one player and `more` entities; activations of "tool" by the player on `frames`.
std::string ToolLevel(const char* className, const std::string& properties,
                      const std::vector<int>& frames, const std::string& more = "",
                      const std::string& targets = "", const std::string& player = "player1") {
    std::string timeline;
    for (int f : frames)
        timeline += std::string(timeline.empty() ? "" : ", ") + R"({"frame": )" + std::to_string(f) +
                    R"(, "event": "activate", "entity": "tool", "by": ")" + player + R"("})";
    return R"({"decls": {"kvDeclRenderParm": ["scale", "bloommaskscale"]},
        "players": [{"name": ")" + player + R"(", "origin": [0, 0, 0], "health": 100}],
        "entities": [{"name": "tool", "class": "kvTarget", "origin": [0, 0, 0], "targets": [)" + targets +
           R"(], "objects": [{"class": ")" + className + R"(", "properties": {)" + properties + "}}]}" + more +
           R"(], "timeline": [)" + timeline + "]}";
}

class PlayerToolTest : public LevelTest {
protected:
    // Method calls from frame 1 on (after the loader's own start-up calls), without the frame.
    std::vector<std::string> ToolCalls() const { return CallTextsFrom(1); }
};

// ---- player state actions ---------------------------------------------------------------------

struct HealthCase {
    int health;
    const char* newValue;
    const char* call;
};

// The player exactly at the value still gets IncreaseHealth(0).
TEST_F(PlayerToolTest, SetPlayerHealthRaisesOrLowersToTheValue) {
    const HealthCase cases[] = {{100, "100", "player1.IncreaseHealth(0)"},
                                {60, "100", "player1.IncreaseHealth(40)"},
                                {100, "25", "player1.DecreaseHealth(75)"}};
    for (const HealthCase& c : cases) {
        SCOPED_TRACE(c.call);
        StartOver();
        Load(ToolLevel("setPlayerHealth", std::string(R"("newHealthValue": )") + c.newValue, {2}));
        Ent("player1").health = c.health;
        RunUntil(4);
        EXPECT_TRUE(InOrder(ToolCalls(), {"player1.GetPlayerHealth()", c.call}));
        EXPECT_EQ(Calls("Health(").size(), 2u);
    }
}

// Each HUD state calls its method; a value outside the enumeration calls none.
TEST_F(PlayerToolTest, IntroHudStateByValue) {
    const char* methods[] = {"HideHudForNone", "StartIntroHud", "SetTutorialHud1", "SetTutorialHud2",
                             "SetFullHud", nullptr};
    for (int32_t state = 0; state <= 5; ++state) {
        SCOPED_TRACE(state);
        StartOver();
        Load(ToolLevel("setIntroHUDState", "", {2}));
        std::memcpy(reinterpret_cast<unsigned char*>(Object("tool", "setIntroHUDState")) + 16, &state, 4);
        RunUntil(4);
        const std::vector<std::string> calls = ToolCalls();
        if (methods[state])
            EXPECT_EQ(calls, std::vector<std::string>{std::string("player1.") + methods[state] + "()"});
        else
            EXPECT_TRUE(calls.empty()) << calls.front();
    }
}

struct RestrictCase {
    const char* name;
    const char* properties;
    std::vector<std::string> calls;  // binds and control inhibition
    int trackCalls;
    std::string threadEnd;
};

void PrintTo(const RestrictCase& c, std::ostream* os) { *os << c.name; }

class RestrictInput : public PlayerToolTest, public ::testing::WithParamInterface<RestrictCase> {};

// The first activation (frame 2) restricts and tracks, the second (frame 10, after that frame's
// tracking) undoes it; the tracking thread ends on its next frame (at once without anything to look at).
TEST_P(RestrictInput, TogglesAndTheTrackingThreadEnds) {
    const RestrictCase& c = GetParam();
    Load(ToolLevel("restrictPlayerInput", c.properties, {2, 10},
                   R"(, {"name": "eye", "class": "kvTarget", "origin": [100, 0, 0]},
                       {"name": "seat", "class": "kvTarget", "origin": [0, 50, 0]})"));
    RunUntil(14);
    std::vector<std::string> others;
    for (const std::string& call : ToolCalls())
        if (call.rfind("player1.Bind", 0) == 0 || call.rfind("player1.Unbind", 0) == 0 ||
            call.find("InhibitControl") != std::string::npos)
            others.push_back(call);
    EXPECT_EQ(others, c.calls);
    EXPECT_EQ(static_cast<int>(Calls("player1.TrackEntity(eye, 0.5)").size()), c.trackCalls);
    EXPECT_EQ(ThreadEnd(ThreadStartedOn("tool", "TrackEntityLoop")), c.threadEnd);
}

const RestrictCase kRestrictCases[] = {
    {"InhibitsControl", R"("lookAtEnt": "eye", "turnLimitingStrength": 0.5)",
     {"player1.SetForceInhibitControl(true)", "player1.SetForceInhibitControl(false)"}, 9, "11 returned"},
    {"BindsToTheGivenEntity",
     R"("lookAtEnt": "eye", "turnLimitingStrength": 0.5, "limitTurningOnly": true, "bindPlayerToEntity": "seat")",
     {"player1.Bind(seat)", "player1.Unbind()"}, 9, "11 returned"},
    {"BindsToItselfWithoutOne", R"("lookAtEnt": "eye", "turnLimitingStrength": 0.5, "limitTurningOnly": true)",
     {"player1.Bind(tool)", "player1.Unbind()"}, 9, "11 returned"},
    {"NothingToLookAt", R"("limitTurningOnly": true)", {"player1.Bind(tool)", "player1.Unbind()"}, 0, "2 returned"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RestrictInput, ::testing::ValuesIn(kRestrictCases),
                         [](const ::testing::TestParamInfo<RestrictCase>& info) { return std::string(info.param.name); });

// Default num 1 plays once; an empty name never plays; -1 plays every time.
TEST_F(PlayerToolTest, BodyReactionCountsDown) {
    struct Case {
        const char* properties;
        size_t plays;
    } cases[] = {{R"("reactionName": "stagger")", 1}, {R"("reactionName": "", "num": -1)", 0},
                 {R"("reactionName": "stagger", "num": -1)", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.properties);
        StartOver();
        Load(ToolLevel("player_PlayBodyReaction", c.properties, {2, 4, 6}));
        RunUntil(8);
        EXPECT_EQ(Calls("player1.PlayBodyReaction((0 0 0), \"stagger\")").size(), c.plays);
        EXPECT_EQ(Calls("PlayBodyReaction").size(), c.plays);
    }
}

// Only a player activator plays the reaction, on itself.
TEST_F(PlayerToolTest, UtilBodyReactionIgnoresMonsters) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "tool", "class": "kvTarget", "objects": [{"class": "util_playBodyReaction",
                      "properties": {"anim_name": "flinch"}}]},
                     {"name": "imp", "class": "kvAI2"}],
        "timeline": [{"frame": 2, "event": "activate", "entity": "tool", "by": "imp"},
                     {"frame": 3, "event": "activate", "entity": "tool", "by": "player1"}]})");
    RunUntil(5);
    EXPECT_EQ(ToolCalls(), (std::vector<std::string>{"imp.IsClass(\"kvPlayer\")", "player1.IsClass(\"kvPlayer\")",
                                                     "player1.GetViewAngles(true)",
                                                     "player1.PlayBodyReaction((0 0 0), \"flinch\")"}));
}

// Binds, then unbinds the entity named exactly "Player1"; without one each activation warns
// and the calls go to the null entity, while the state toggles all the same.
TEST_F(PlayerToolTest, BindPlayerToSelfToggles) {
    Load(ToolLevel("util_bindPlayerToSelf", "", {2, 4}, "", "", "Player1"));
    RunUntil(6);
    EXPECT_EQ(ToolCalls(), (std::vector<std::string>{"Player1.Bind(tool)", "Player1.Unbind()"}));

    StartOver();
    Load(ToolLevel("util_bindPlayerToSelf", "", {2, 4, 6}));
    RunUntil(8);
    EXPECT_EQ(Console("'Player1' not found").size(), 3u);
    EXPECT_EQ(ToolCalls(), (std::vector<std::string>{"#0.Bind failed: no such entity", "#0.Unbind failed: no such entity",
                                                     "#0.Bind failed: no such entity"}));
    EXPECT_EQ(Field<bool>(Object("tool", "util_bindPlayerToSelf"), 16), true);
}

// Locked doors get their trigger overridden and turned off; unlocking only lifts the override.
TEST_F(PlayerToolTest, DoorLockStateOnTargets) {
    const std::string doors = R"(, {"name": "door_a", "class": "kvMover"}, {"name": "door_b", "class": "kvMover"})";
    Load(ToolLevel("doors_setLockState", "", {2}, doors, R"("door_a", "door_b")"));
    RunUntil(4);
    EXPECT_TRUE(InOrder(ToolCalls(), {"door_a.OverrideActivateTrigger(true)", "door_a.SetActiveState(false)",
                                      "door_b.OverrideActivateTrigger(true)", "door_b.SetActiveState(false)"}));
    StartOver();
    Load(ToolLevel("doors_setLockState", R"("isLocked": false)", {2}, doors, R"("door_a", "door_b")"));
    RunUntil(4);
    EXPECT_EQ(Calls("OverrideActivateTrigger(false)").size(), 2u);
    EXPECT_TRUE(Calls("SetActiveState").empty());
}

// Only targets that are AAS obstacles are switched.
TEST_F(PlayerToolTest, ObstacleSwitchesOnlyObstacles) {
    Load(ToolLevel("turnAASObstaclesOff", "", {2},
                   R"(, {"name": "crate", "class": "kvProp"}, {"name": "lamp", "class": "kvLight"})",
                   R"("crate", "lamp")"));
    RunUntil(4);
    EXPECT_TRUE(InOrder(ToolCalls(), {"crate.IsSpecificClass(\"kvAASObstacle\")", "lamp.IsSpecificClass"}));
    EXPECT_TRUE(Calls("SetEnabledState").empty());
}

// ---- view and light effects -------------------------------------------------------------------

TEST_F(PlayerToolTest, FadesPassMilliseconds) {
    Load(ToolLevel("util_fadeOutView", R"("color": [1, 0.5, 0, 1], "alpha": 0.75, "fadeTime": 0.5)", {2}));
    RunUntil(3);
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{"player1.FadeOutView((1 0.5 0), 0.75, 500)"});
    StartOver();
    Load(ToolLevel("util_fadeInView", "", {2}));
    RunUntil(3);
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{"player1.FadeView((0 0 0), 0, 1000)"});
}

// Times beyond the 32-bit range of milliseconds stop at its ends instead of wrapping.
TEST_F(PlayerToolTest, HugeTimesStopAtTheEndsOfTheMillisecondRange) {
    const struct {
        const char* className;
        const char* properties;
        const char* call;
    } cases[] = {
        {"util_fadeInView", R"("fadeTime": 1e30)", "player1.FadeView((0 0 0), 0, 2147483647)"},
        {"util_fadeOutView", R"("fadeTime": -1e30)", "player1.FadeOutView((0 0 0), 0, -2147483648)"},
        {"scaleEntity", R"("targetScale": [1, 1, 1], "scaleTimeSec": 3e38)",
         "tool.LerpRenderScale(1, 1, 1, 2147483647, 2147483647, 2147483647)"},
        {"scaleEntity", R"("targetScale": [1, 1, 1], "scaleTimeSec": 1e10)",
         "tool.LerpRenderScale(1, 1, 1, 2147483647, 2000000000, 2000000000)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        StartOver();
        Load(ToolLevel(c.className, c.properties, {2}));
        RunUntil(3);
        EXPECT_EQ(ToolCalls(), std::vector<std::string>{c.call});
    }
}

// With all times 0 the spark goes on (show, emitter, colour 0) and off (hide) on alternate frames.
TEST_F(PlayerToolTest, SparkWithZeroTimesTogglesEveryFrame) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "spark", "class": "kvTarget", "objects": [{"class": "util_SparkController",
                      "properties": {"light": "bulb", "flare": "glow", "emitter": "sparks"}}]},
                     {"name": "bulb", "class": "kvLight"}, {"name": "glow", "class": "kvLight"},
                     {"name": "sparks", "class": "kvTarget"}]})");
    RunUntil(4);
    std::vector<std::string> shown;
    for (const std::string& call : Calls())
        if (call.find("bulb.") != std::string::npos && call.find("GetColor") == std::string::npos)
            shown.push_back(call);
    EXPECT_EQ(shown, (std::vector<std::string>{"0 bulb.Show()", "0 bulb.SetColor(0, 0, 0)", "1 bulb.Hide()",
                                               "2 bulb.Show()", "2 bulb.SetColor(0, 0, 0)", "3 bulb.Hide()",
                                               "4 bulb.Show()", "4 bulb.SetColor(0, 0, 0)"}));
    EXPECT_EQ(Calls("sparks.Activate(<none>)").size(), 3u);
}

// The render parameter is the distance over 1000; the entity turns toward the target.
TEST_F(PlayerToolTest, LookAtTargetScalesWithDistance) {
    Load(R"({"decls": {"kvDeclRenderParm": ["scale"]}, "players": [{"name": "player1"}],
        "entities": [{"name": "eye", "class": "kvMover", "origin": [0, 0, 0],
                      "objects": [{"class": "util_LookAtTarget", "properties": {"lookAtTarget": "ball"}}]},
                     {"name": "ball", "class": "kvTarget", "origin": [0, 1000, 0]}]})");
    RunUntil(2);
    EXPECT_TRUE(InOrder(Calls(), {"eye.Time(0.016)", "eye.RotateTo((-0 90.0027 0))", "eye.SetRenderParm(scale, 1, 1, 1, 1)"}));
}

// Offset (0, 0, 100) places the entity 100 units ahead of the view, raised by the view height.
TEST_F(PlayerToolTest, AttachToPlayerFollowsTheView) {
    Load(R"({"players": [{"name": "player1", "origin": [10, 0, 0], "angles": [0, 90, 0]}],
        "cvars": {"pm_normalViewHeight": "64"},
        "entities": [{"name": "orb", "class": "kvTarget", "objects": [{"class": "util_AttachToPlayer"}]}]})");
    RunUntil(1);
    EXPECT_TRUE(InOrder(Calls(), {"orb.SetWorldOrigin((10 100 64))", "orb.SetAngles((0 90 0))"}));
}

// ---- hit stop ---------------------------------------------------------------------------------

// Defaults give 5 × 0.016 × 0.1 s; each damage slows to stopScale and restores the value read at
// Init, not the one current when the damage arrived.
TEST_F(PlayerToolTest, HitStopSlowsAndRestoresTheInitValue) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "dummy", "class": "kvProp", "health": 1000, "objects": [{"class": "hitStop"}]}],
        "timeline": [{"frame": 3, "event": "cvar", "name": "timescale", "value": 0.5},
                     {"frame": 5, "event": "damage", "entity": "dummy", "amount": 1}]})");
    kvQOObject* stop = Object("dummy", "hitStop");
    EXPECT_FLOAT_EQ(Field<float>(stop, 20), 0.008f);
    EXPECT_FLOAT_EQ(Field<float>(stop, 16), 1.0f);
    RunUntil(5);
    EXPECT_FLOAT_EQ(world->cvars.GetFloat("timescale", 0.0f), 0.1f);
    RunUntil(6);
    EXPECT_FLOAT_EQ(world->cvars.GetFloat("timescale", 0.0f), 1.0f);
}

TEST_F(PlayerToolTest, HitStopClampsFramesAndScale) {
    Load(ToolLevel("hitStop", R"("stopFrames": 0, "stopScale": -1)", {}));
    kvQOObject* stop = Object("tool", "hitStop");
    EXPECT_EQ(Field<int32_t>(stop, 24), 1);
    EXPECT_FLOAT_EQ(Field<float>(stop, 28), 0.01f);
    EXPECT_FLOAT_EQ(Field<float>(stop, 20), 0.016f * 0.01f);
}

// Days into a level an 8 ms stop still lasts one frame: game times in float seconds there are
// 1/32 s apart, and the stop would round away to nothing.
TEST_F(PlayerToolTest, HitStopLateInALevel) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "dummy", "class": "kvProp", "health": 1000, "objects": [{"class": "hitStop"}]}],
        "timeline": [{"frame": 3, "event": "damage", "entity": "dummy", "amount": 1}]})");
    world->SetFrameTime(3 * 24 * 3600 * 1000);  // three days in one frame
    RunUntil(1);
    world->SetFrameTime(16);
    RunUntil(3);
    EXPECT_FLOAT_EQ(world->cvars.GetFloat("timescale", 0.0f), 0.1f);
    RunUntil(4);
    EXPECT_FLOAT_EQ(world->cvars.GetFloat("timescale", 0.0f), 1.0f);
}

// ---- health watcher ---------------------------------------------------------------------------

// At the threshold exactly both modes fire, once, with player1 as activator.
TEST_F(PlayerToolTest, HealthWatcherFiresAtTheThreshold) {
    for (const char* lower : {"true", "false"}) {
        SCOPED_TRACE(lower);
        StartOver();
        Load(ToolLevel("watchPlayerHealth", std::string(R"("healthTriggerValue": 50, "triggerIfLower": )") + lower,
                       {2, 3}, R"(, {"name": "door", "class": "kvMover"})", R"("door")"));
        Ent("player1").health = std::string(lower) == "true" ? 80 : 20;
        RunUntil(6);
        EXPECT_TRUE(Calls("tool.ActivateTargets").empty());
        EXPECT_EQ(Field<bool>(Object("tool", "watchPlayerHealth"), 21), true);
        Ent("player1").health = 50;
        RunUntil(8);
        EXPECT_EQ(Calls("tool.ActivateTargets(player1)").size(), 1u);
        EXPECT_EQ(Field<bool>(Object("tool", "watchPlayerHealth"), 21), false);
        size_t threads = 0;
        for (const qohost::KeptRecord& r : world->recorder.OfKind("thread"))
            threads += r.text.rfind("start ", 0) == 0 && r.text.find("\"Update\"") != std::string::npos;
        EXPECT_EQ(threads, 1u);
    }
}

// ---- scaling and render parameters ------------------------------------------------------------

TEST_F(PlayerToolTest, ScaleEntityTruncatesTheTimes) {
    Load(ToolLevel("scaleEntity", R"("targetScale": [2, 2, 0.5], "scaleTimeSec": 2.5)", {2}));
    RunUntil(3);
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{"tool.LerpRenderScale(2, 2, 0.5, 2500, 0, 0)"});
}

TEST_F(PlayerToolTest, BloomMaskScaleSetsTheEndValue) {
    Load(ToolLevel("setBloomMaskScale", R"("targetEntity": "statue", "endValue": 0.25)", {2},
                   R"(, {"name": "statue", "class": "kvProp"})"));
    RunUntil(3);
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{"statue.SetRenderParm(bloommaskscale, 0.25, 0.25, 0.25, 0.25)"});
}

// ---- drag volume ------------------------------------------------------------------------------

std::string DragLevel(const std::string& timeline) {
    return R"({"players": [{"name": "player1"}],
        "entities": [{"name": "pit", "class": "kvVolume", "origin": [0, 0, 0],
                      "objects": [{"class": "volume_dragAI", "properties": {"acceleration_scale": 10}}]},
                     {"name": "chute", "class": "kvVolume", "origin": [0, 0, 0],
                      "objects": [{"class": "volume_dragAI", "properties": {"acceleration_scale": 99,
                                   "drag_target": "hole"}}]},
                     {"name": "hole", "class": "kvTarget", "origin": [0, 0, -50]},
                     {"name": "imp", "class": "kvAI2"}, {"name": "zombie", "class": "kvAI2_Zombie"}],
        "timeline": [)" + timeline + "]}";
}

// Players and classes derived from kvAI2 are ignored without a word.
TEST_F(PlayerToolTest, DragVolumeOnlyTakesExactAI) {
    Load(DragLevel(R"({"frame": 2, "event": "enter", "entity": "pit", "by": "player1"},
                      {"frame": 2, "event": "enter", "entity": "pit", "by": "zombie"})"));
    RunUntil(4);
    EXPECT_TRUE(Console("drag").empty());
    EXPECT_EQ(Object("zombie", "dragAI"), nullptr);
    EXPECT_EQ(Object("player1", "dragAI"), nullptr);
}

// The first volume gives the default direction and its scale; a second one changes nothing.
TEST_F(PlayerToolTest, DragVolumeKeepsTheFirstSettings) {
    Load(DragLevel(R"({"frame": 2, "event": "enter", "entity": "pit", "by": "imp"},
                      {"frame": 4, "event": "activate", "entity": "chute", "by": "imp"})"));
    RunUntil(6);
    EXPECT_EQ(Console("drag"), (std::vector<std::string>{"2 imp entered the drag volume", "2 imp now has a drag object",
                                                         "4 imp entered the drag volume"}));
    kvQOObject* drag = Object("imp", "dragAI");
    ASSERT_NE(drag, nullptr);
    EXPECT_EQ(Text(Field<qoVector>(drag, 16)), "(-1 0 0)");
    EXPECT_FLOAT_EQ(Field<float>(drag, 28), 10.0f);
    EXPECT_EQ(Console("AI is being drug").size(), 1u);
    EXPECT_FALSE(Calls("imp.Action_LoopAnim(\"scripted/drag_backward\", 1000)").empty());
}

// A drag target gives the unit vector toward it.
TEST_F(PlayerToolTest, DragVolumeTowardItsTarget) {
    Load(DragLevel(R"({"frame": 2, "event": "enter", "entity": "chute", "by": "imp"})"));
    RunUntil(3);
    kvQOObject* drag = Object("imp", "dragAI");
    ASSERT_NE(drag, nullptr);
    EXPECT_EQ(Text(Field<qoVector>(drag, 16)), "(0 0 -1)");
    EXPECT_FLOAT_EQ(Field<float>(drag, 28), 99.0f);
}

}  // namespace
}  // namespace scripts_test
