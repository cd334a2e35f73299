// The debug utility of the shared library in a running level: commands typed into
// qo_debugAction, the player's view trace, the selection box, the reader thread and the
// placement check.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

constexpr int kCommandFrame = 20;  // the world utility's start-up is over by then

// player1 at the origin looks along +x (eye at z 64): the view ray meets the imp's front face
// at (240, 0, 64). Nothing else is on the ray unless a case puts it there.
std::string DebugLevel(const std::string& command, float yaw = 0.0f, const std::string& extra = "") {
    return R"({"players": [{"name": "player1", "angles": [0, )" + std::to_string(yaw) + R"(, 0]}],
        "entities": [
          {"name": "imp", "class": "kvAI2", "origin": [256, 0, 0], "health": 10},
          {"name": "box", "class": "kvProp", "origin": [128, 200, 0]},
          {"name": "panel", "class": "kvDesignSystems_HackBox", "origin": [0, -200, 0]})" +
           extra + R"(],
        "timeline": [{"frame": )" + std::to_string(kCommandFrame) +
           R"(, "event": "cvar", "name": "qo_debugAction", "value": ")" + command + R"("}]})";
}

// The debug utility draws in (1, 0, 0, 0) with the depth test on.
void ExpectDebugRed(const qohost::DebugDraw& d) {
    EXPECT_EQ(d.color.r, 1.0f);
    EXPECT_EQ(d.color.g, 0.0f);
    EXPECT_EQ(d.color.b, 0.0f);
    EXPECT_EQ(d.color.a, 0.0f);
    EXPECT_TRUE(d.depthTest);
}

class DebugUtilTest : public LevelTest {
protected:
    // Selects an entity the way a finished "select" leaves it: as player1's debug target.
    void Preselect(const char* name) { Ent("player1").methods->debugTarget = Handle(name); }
    uint32_t DebugTarget() { return Ent("player1").methods->debugTarget; }
    size_t ActionSets() const { return world->cvars.CountCalls(qohost::CvarOp::SetString, "qo_debugAction"); }
};

struct CommandCase {
    const char* name;
    const char* command;
    const char* preselected;               // player1's debug target before the command, or null
    float yaw;                             // player1's view
    std::vector<std::string> calls;        // method calls made for the command, in this order
    std::vector<std::string> forbidden;    // method calls it must not make
    std::vector<std::string> console;      // lines it prints
    const char* selectedAfter;             // the debug target afterwards ("" = none)
    const char* deadAfter;                 // an entity the command killed, or null
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class DebugCommands : public DebugUtilTest, public ::testing::WithParamInterface<CommandCase> {};

// Each command, in whatever case it is typed, does what its lower-case form does, and
// afterwards the variable reads "idle" again (set once, by the one reader).
TEST_P(DebugCommands, ActLikeTheirLowerCaseFormAndEndIdle) {
    const CommandCase& c = GetParam();
    Load(DebugLevel(c.command, c.yaw));
    RunUntil(kCommandFrame - 1);
    if (c.preselected) Preselect(c.preselected);
    RunUntil(kCommandFrame + 10);

    const std::vector<std::string> calls = CallTextsFrom(kCommandFrame);
    EXPECT_TRUE(InOrder(calls, c.calls));
    for (const std::string& f : c.forbidden)
        for (const std::string& call : calls) EXPECT_EQ(call.find(f), std::string::npos) << call;
    std::vector<std::string> printed;
    for (const std::string& line : Console())
        if (std::stoi(line) >= kCommandFrame) printed.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(printed, c.console);
    EXPECT_EQ(DebugTarget(), Handle(c.selectedAfter)) << "debug target";
    if (c.deadAfter) {
        EXPECT_TRUE(Ent(c.deadAfter).dead) << c.deadAfter;
    }
    EXPECT_FALSE(Ent("player1").dead);
    EXPECT_EQ(Ent("player1").health, 100);

    EXPECT_EQ(world->cvars.Value("qo_debugAction"), "idle");
    EXPECT_EQ(ActionSets(), 1u);
}

const std::string kDamage = "Damage(damage/code_referenced/suicide, (0 0 0), 0, 1, player1, false)";
const std::vector<std::string> kAnyEffect = {"SetDebugTarget", "Damage", "SetWorldOrigin", "SetActiveState",
                                             "Action_", "IsClass"};

const CommandCase kCommandCases[] = {
    {"SelectInCapitals", "SELECT", nullptr, 0.0f,
     {"player1.GetViewPos()", "player1.GetViewAngles(true)", "imp.GetName()", "player1.SetDebugTarget(imp)"},
     {}, {"Selecting: imp"}, "imp", nullptr},
    {"SelectNothingClearsTheSelection", "select", "box", 180.0f,
     {"player1.SetDebugTarget(<none>)"}, {}, {}, "", nullptr},
    {"KillByNameInMixedCase", "Kill imp", nullptr, 0.0f,
     {"imp.IsClass(\"kvActor\")", "imp." + kDamage}, {"GetViewPos"}, {}, "", "imp"},
    {"KillWithoutANameKillsWhatIsInView", "KILL", nullptr, 0.0f,
     {"player1.GetViewPos()", "imp.IsClass(\"kvActor\")", "imp." + kDamage}, {}, {}, "", "imp"},
    {"KillThePlayerDoesNothing", "KILL player1", nullptr, 0.0f, {}, kAnyEffect, {}, "", nullptr},
    {"KillANonActorDoesNothing", "kill box", nullptr, 0.0f, {"box.IsClass(\"kvActor\")"}, {"Damage"}, {}, "",
     nullptr},
    {"KillAMissingName", "kill nobody", nullptr, 0.0f, {}, kAnyEffect,
     {"Quorin Warning: world.qoDebugUtil.ReadDebugActions: entity 'nobody' not found"}, "", nullptr},
    {"BreachByName", "BREACH panel", nullptr, 0.0f,
     {"panel.IsClass(\"kvDesignSystems_HackBox\")", "panel.SetActiveState(true)"}, {}, {}, "", nullptr},
    {"BreachANonHackBoxDoesNothing", "breach imp", nullptr, 0.0f, {"imp.IsClass(\"kvDesignSystems_HackBox\")"},
     {"SetActiveState"}, {}, "", nullptr},
    {"FindClearsTheSelection", "Find imp", "box", 0.0f, {"player1.SetDebugTarget(<none>)"}, {}, {}, "", nullptr},
    {"FindWithoutANameKeepsIt", "find", "box", 0.0f, {}, {"SetDebugTarget"}, {}, "box", nullptr},
    {"MoveAMonsterBetweenFrames", "MOVE", "imp", 0.0f,
     {"imp.IsClass(\"kvAI2\")", "player1.GetViewPos()", "imp.SetWorldOrigin((240 0 64))", "imp.IsClass(\"kvAI2\")"},
     {}, {}, "imp", nullptr},
    {"MoveAProp", "move", "box", 0.0f, {"box.IsClass(\"kvAI2\")", "box.SetWorldOrigin((240 0 64))"}, {}, {},
     "box", nullptr},
    {"MoveWithoutASelection", "move", nullptr, 0.0f, {}, kAnyEffect, {}, "", nullptr},
    {"AcceptedCommandDoesNothing", "showTargets", "box", 0.0f, {}, kAnyEffect, {}, "box", nullptr},
    {"UnknownCommandDoesNothing", "dance   wildly", nullptr, 0.0f, {}, kAnyEffect, {}, "", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, DebugCommands, ::testing::ValuesIn(kCommandCases),
                         [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

// "moveto" walks the selected monster to the point in view, facing along the walk: yaw and
// pitch from the direction (degrees by 57.29747, raised into 0..360), and straight down or up
// when the walk is vertical.
TEST_F(DebugUtilTest, MoveToWalksTheSelectionFacingAlongTheWalk) {
    struct Case {
        const char* name;
        const char* origin;    // the walker's origin, off the view ray
        qoVector angles;       // pitch, yaw, roll it ends with
    };
    const float k = 57.29747f / 57.295779f;  // the factor's error against 180 / pi
    const Case cases[] = {
        {"Sideways", "[240, -100, 64]", {0.0f, 90.0f * k, 0.0f}},
        {"Backwards", "[340, 0, 200]", {std::atan2(136.0f, 100.0f) * 57.29747f, 180.0f * k, 0.0f}},
        {"StraightDown", "[240, 0, 200]", {90.0f, 0.0f, 0.0f}},
        {"StraightUp", "[240, 0, -100]", {270.0f, 0.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        Load(DebugLevel("moveto", 0.0f,
                        std::string(R"(, {"name": "walker", "class": "kvAI2", "origin": )") + c.origin + "}"));
        RunUntil(kCommandFrame - 1);
        Preselect("walker");
        RunUntil(kCommandFrame + 60);
        const qohost::Entity& walker = Ent("walker");
        EXPECT_TRUE(InOrder(CallTextsFrom(kCommandFrame),
                            {"walker.GetWorldOrigin()", "walker.Action_MoveToPoint((240 0 64), 1, 10, false, "}));
        EXPECT_NEAR(walker.origin.x, 240.0f, 1e-3f);
        EXPECT_NEAR(walker.origin.y, 0.0f, 1e-3f);
        EXPECT_NEAR(walker.origin.z, 64.0f, 1e-3f);
        EXPECT_NEAR(walker.angles.x, c.angles.x, 1e-3f);
        EXPECT_NEAR(walker.angles.y, c.angles.y, 1e-3f);
        EXPECT_EQ(walker.angles.z, 0.0f);
        EXPECT_EQ(world->cvars.Value("qo_debugAction"), "idle");
    }
}

// The view trace: a red line from 4 to 4096 units ahead of the eye for two seconds, and a trace
// along it that ignores the player, with the entity mask for "select" and the point mask for
// "move".
TEST_F(DebugUtilTest, ViewTraceLineAndMasks) {
    struct Case {
        const char* command;
        uint32_t mask;
    };
    for (const Case& c : {Case{"select", 0x100481u}, Case{"move", 0x100019u}}) {
        SCOPED_TRACE(c.command);
        StartOver();
        Load(DebugLevel(c.command));
        RunUntil(kCommandFrame - 1);
        Preselect("box");
        world->recorder.draws.clear();
        RunUntil(kCommandFrame + 3);
        ASSERT_EQ(world->traces.size(), 1u);
        const qohost::Trace& t = world->traces[0];
        EXPECT_EQ(t.contentMask, c.mask);
        EXPECT_EQ(t.ignoreEntity, Handle("player1"));
        EXPECT_EQ(t.hitEntity, Handle("imp"));
        int lines = 0;
        for (const qohost::DebugDraw& d : world->recorder.draws) {
            if (d.shape != "line") continue;
            ++lines;
            EXPECT_EQ(d.frame, uint64_t(kCommandFrame + 1));
            EXPECT_EQ(Text(d.a), "(4 0 64)");
            EXPECT_EQ(Text(d.b), "(4096 0 64)");
            EXPECT_EQ(d.lifetime, 2.0f);
            ExpectDebugRed(d);
        }
        EXPECT_EQ(lines, 1);
    }
}

// While idle the reader outlines the selection every frame, once: a red box with the entity's
// bounds, origin and angles that lasts one frame.
TEST_F(DebugUtilTest, OutlinesTheSelectionEveryIdleFrame) {
    Load(DebugLevel("find imp"));
    RunUntil(kCommandFrame - 6);
    Preselect("imp");
    world->recorder.draws.clear();
    RunUntil(kCommandFrame + 5);
    std::vector<uint64_t> frames;
    for (const qohost::DebugDraw& d : world->recorder.draws) {
        ASSERT_EQ(d.shape, "box");
        frames.push_back(d.frame);
        EXPECT_EQ(Text(d.a), "(-16 -16 0)");
        EXPECT_EQ(Text(d.b), "(16 16 72)");
        EXPECT_EQ(Text(d.c), "(256 0 0)");
        EXPECT_EQ(Text(d.d), "(0 0 0)");
        EXPECT_FLOAT_EQ(d.lifetime, 0.016f);
        ExpectDebugRed(d);
    }
    // Frames 15 to 21: the command typed on frame 20 is read on frame 21 after that frame's box;
    // "find imp" then clears the selection and no box follows.
    std::vector<uint64_t> expected;
    for (uint64_t f = kCommandFrame - 5; f <= kCommandFrame + 1; ++f) expected.push_back(f);
    EXPECT_EQ(frames, expected);
}

// The world utility starts a second reader on the debug utility that already runs its own. Only
// the debug utility's reader stays: the second stops on its first pass, so a command that waits
// between frames is still carried out once.
TEST_F(DebugUtilTest, OneReaderActsThoughTwoAreStarted) {
    Load(DebugLevel("MOVE"));
    RunUntil(kCommandFrame - 1);
    Preselect("imp");
    RunUntil(kCommandFrame + 10);

    const uint32_t own = ThreadStartedOn("world", "ReadDebugActions");
    const uint32_t second = ThreadStartedOn("world", "&qoDebugUtil::ReadDebugActions");
    ASSERT_NE(own, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(ThreadEnd(second), "9 returned");
    EXPECT_EQ(ThreadEnd(own), "");
    EXPECT_EQ(Calls("SetWorldOrigin").size(), 1u);
    EXPECT_EQ(Calls("imp.IsClass(\"kvAI2\")").size(), 2u);
    EXPECT_EQ(ActionSets(), 1u);
}

// qo_debugAction is declared once in the reader (registered with its default "idle") and read
// every frame. A value the host already has is kept, so a command typed before the level
// started runs on the reader's first pass.
TEST_F(DebugUtilTest, TheCommandVariableIsDeclaredOnceAndReadEveryFrame) {
    Load(DebugLevel("idle"));
    RunUntil(kCommandFrame);
    const uint32_t own = ThreadStartedOn("world", "ReadDebugActions");
    ASSERT_NE(own, 0u);
    const std::vector<std::string> start = Records("thread", "start " + std::to_string(own) + " ");
    ASSERT_EQ(start.size(), 1u);
    const int startFrame = std::stoi(start[0]);
    // Each of the two readers registers it when it starts; then the one that stays reads it on
    // each frame after that.
    EXPECT_EQ(world->cvars.CountCalls(qohost::CvarOp::GetString, "qo_debugAction"),
              size_t(2 + kCommandFrame - startFrame));
    EXPECT_EQ(world->cvars.Value("qo_debugAction"), "idle");
}

TEST_F(DebugUtilTest, ACommandSetBeforeTheLevelRunsFirst) {
    std::string json = DebugLevel("idle");
    json.insert(1, R"("cvars": {"qo_debugAction": "Select"}, )");
    Load(json);
    RunUntil(kCommandFrame);
    EXPECT_EQ(Console("Selecting"), (std::vector<std::string>{"9 Selecting: imp"}));
    EXPECT_EQ(world->cvars.Value("qo_debugAction"), "idle");
}

// A debug utility anywhere but on "world" reports the placement error and starts no reader.
TEST_F(DebugUtilTest, PlacedOnAnotherEntityStartsNoReader) {
    std::string json = DebugLevel("select", 0.0f, R"(, {"name": "note", "class": "kvEntity", "origin": [0, 300, 0],
                                                       "objects": [{"class": "qoDebugUtil"}]})");
    Load(json);
    RunUntil(kCommandFrame + 2);
    EXPECT_EQ(Console("note."), (std::vector<std::string>{
                                    "0 Quorin Error: note.qoDebugUtil.Init: qoDebugUtil should only be placed on "
                                    "the world qoEntity (worldspawn)."}));
    EXPECT_EQ(ThreadStartedOn("note", "ReadDebugActions"), 0u);
    kvQOObject* misplaced = Object("note", "qoDebugUtil");
    ASSERT_NE(misplaced, nullptr);
    EXPECT_EQ(Field<uint32_t>(misplaced, 16), 0u) << "readerThread";
    // The world's reader still serves the command, once.
    EXPECT_EQ(Console("Selecting"), (std::vector<std::string>{std::to_string(kCommandFrame + 1) + " Selecting: imp"}));
}

}  // namespace
}  // namespace scripts_test
