// The combat goals of the shared library in running levels: when kill and remaining counters
// complete, what the bTriggerFirst wait and bRepeat change, the delay before the targets fire,
// spawned AI reported to a kill counter, the status text of each state, and the object layout
// an editor reads at raw offsets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

constexpr size_t kGoalStateField = 48;
constexpr size_t kKillCountField = 120;     // _goalKillCounter
constexpr size_t kKillActorListField = 72;  // _goalKillCounter::actorList (num at +8)

std::string Deaths(const std::vector<int>& frames) {
    std::string out;
    for (size_t i = 0; i < frames.size(); ++i)
        out += std::string(out.empty() ? "" : ", ") + R"({"frame": )" + std::to_string(frames[i]) +
               R"(, "event": "death", "entity": "imp_)" + std::to_string(i + 1) + R"(", "by": "player1"})";
    return out;
}

std::string Activations(const std::vector<int>& frames) {
    std::string out;
    for (int f : frames)
        out += std::string(out.empty() ? "" : ", ") + R"({"frame": )" + std::to_string(f) +
               R"(, "event": "activate", "entity": "goal", "by": "player1"})";
    return out;
}

// A goal entity "goal" (targets: "door") with one object of `className` watching the actors
// imp_1 .. imp_N, and a timeline.
std::string GoalLevel(const char* className, int actors, const std::string& properties,
                      const std::string& timeline) {
    std::string names, imps;
    for (int i = 1; i <= actors; ++i) {
        const std::string imp = "imp_" + std::to_string(i);
        names += std::string(i > 1 ? ", " : "") + "\"" + imp + "\"";
        imps += R"(, {"name": ")" + imp + R"(", "class": "kvAI2", "origin": [)" + std::to_string(100 * i) + ", 0, 0]}";
    }
    return std::string(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "goal", "class": "kvTarget", "origin": [64, 32, 16], "targets": ["door"],
          "objects": [{"class": ")") +
           className + R"(", "properties": {"actorList": [)" + names + "]" +
           (properties.empty() ? "" : ", " + properties) + R"(}}]},
          {"name": "door", "class": "kvMover"})" +
           imps + R"(],
        "timeline": [)" + timeline + "]}";
}

class GoalTest : public LevelTest {
protected:
    // Frames on which the goal activated its targets.
    std::vector<int> Completions() const {
        std::vector<int> frames;
        for (const std::string& call : Calls("goal.ActivateTargets(")) {
            EXPECT_NE(call.find("goal.ActivateTargets(goal)"), std::string::npos) << call;
            frames.push_back(std::stoi(call));
        }
        return frames;
    }
};

// ---- when a goal completes ----------------------------------------------------------------------

struct CompletionCase {
    const char* name;
    const char* className;
    int actors;
    const char* properties;
    std::vector<int> activations;  // frames
    std::vector<int> deaths;       // imp_i dies on deaths[i - 1]
    std::vector<int> completions;  // frames of ActivateTargets
};

void PrintTo(const CompletionCase& c, std::ostream* os) { *os << c.name; }

class GoalCompletion : public GoalTest, public ::testing::WithParamInterface<CompletionCase> {};

// Each completion prints its line and activates the goal's targets with the goal as activator,
// on the frame of the death that completed it.
TEST_P(GoalCompletion, ActivatesTheTargetsOnTheDeathThatCompletesIt) {
    const CompletionCase& c = GetParam();
    std::string timeline = Activations(c.activations);
    if (!c.deaths.empty()) timeline += (timeline.empty() ? "" : ", ") + Deaths(c.deaths);
    Load(GoalLevel(c.className, c.actors, c.properties, timeline));
    RunUntil(c.deaths.empty() ? 30 : c.deaths.back() + 5);
    EXPECT_EQ(Completions(), c.completions);
    std::vector<std::string> lines;
    for (int f : c.completions) lines.push_back(std::to_string(f) + " Combat Goal Complete. Activating all targets.");
    EXPECT_EQ(Console("Combat Goal"), lines);
    EXPECT_EQ(Console("Assertion"), std::vector<std::string>{});
}

const CompletionCase kCompletionCases[] = {
    {"KillCountZeroCountsAsOne", "_goalKillCounter", 3, R"("nCount": 0)", {}, {10, 20}, {10}},
    {"KillCounterCompletesOnce", "_goalKillCounter", 3, R"("nCount": 2)", {}, {10, 20, 30}, {20}},
    {"KillCounterRepeatsEveryThirdKill", "_goalKillCounter", 9, R"("nCount": 3, "bRepeat": true)", {},
     {10, 20, 30, 40, 50, 60, 70, 80, 90}, {30, 60, 90}},
    {"KillCounterTriggerFirstIgnoresEarlierDeaths", "_goalKillCounter", 4, R"("nCount": 2, "bTriggerFirst": true)",
     {25}, {10, 20, 30, 40}, {40}},
    {"KillCounterNeverTriggeredCountsNothing", "_goalKillCounter", 2, R"("nCount": 1, "bTriggerFirst": true)", {},
     {10, 20}, {}},
    {"KillCounterActivatedAgainRegistersNothingNew", "_goalKillCounter", 2, R"("nCount": 2)", {5, 6}, {10, 20}, {20}},
    {"RemainingCompletesOnTheThirdOfFourDeaths", "_goalRemainingCounter", 4, R"("nCount": 1)", {},
     {10, 20, 30, 40}, {30}},
    {"RemainingAboveTheActorCountCompletesOnTheFirstDeath", "_goalRemainingCounter", 4, R"("nCount": 5)", {},
     {10, 20}, {10}},
    {"RemainingTriggerFirstCountsTheActorsAtActivation", "_goalRemainingCounter", 4,
     R"("nCount": 1, "bTriggerFirst": true)", {25}, {10, 30, 40, 50}, {50}},
};

INSTANTIATE_TEST_SUITE_P(Cases, GoalCompletion, ::testing::ValuesIn(kCompletionCases),
                         [](const ::testing::TestParamInfo<CompletionCase>& info) { return std::string(info.param.name); });

// A death delivered by the host outside any script thread completes the goal at once; the
// delay is waited on a thread of the goal's own, and kills meanwhile change nothing.
TEST_F(GoalTest, WaitsTheDelayBeforeActivatingTheTargets) {
    Load(GoalLevel("_goalKillCounter", 2, R"("nCount": 1, "delay": 0.5)", Deaths({10, 20})));
    RunUntil(10);
    kvQOObject* goal = Object("goal", "_goalKillCounter");
    EXPECT_EQ(Field<int32_t>(goal, kGoalStateField), 2) << "complete while it waits";
    EXPECT_EQ(Completions(), std::vector<int>{});
    RunUntil(60);
    // The wait starts at 0.16 s and ends at 0.66 s, in the frame that reaches it (0.672 s).
    EXPECT_EQ(Completions(), std::vector<int>{42});
    EXPECT_EQ(Console("Combat Goal"),
              std::vector<std::string>{"42 Combat Goal Complete. Activating all targets."});
    // The death came from the host: the delay holds the thread that delivered it.
    EXPECT_EQ(ThreadEnd(ThreadStartedOn("imp_1", "OnDeath")), "42 returned");
}

// The spawner watcher puts a watcher on every AI its spawner spawns; the same AI reported a
// second time is named on the console and watched only once.
TEST_F(GoalTest, ASpawnedAIReportedTwiceIsWatchedOnce) {
    Load(R"({"players": [{"name": "player1"}],
        "entityDefs": {"monster/imp": {"class": "kvAI2"}},
        "entities": [
          {"name": "goal", "class": "kvTarget", "targets": ["door"],
           "objects": [{"class": "_goalKillCounter", "properties": {"nCount": 2, "spawnerList": ["pit"]}}]},
          {"name": "door", "class": "kvMover"},
          {"name": "pit", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"], "spawnNames": ["imp_a", "imp_b"]}],
        "timeline": [
          {"frame": 5, "event": "activate", "entity": "pit", "by": "player1"},
          {"frame": 6, "event": "event", "name": "OnTargetSpawn", "entity": "pit", "by": "imp_a"},
          {"frame": 10, "event": "death", "entity": "imp_a"},
          {"frame": 12, "event": "activate", "entity": "pit", "by": "player1"},
          {"frame": 20, "event": "death", "entity": "imp_b"}]})");
    RunUntil(10);
    kvQOObject* goal = Object("goal", "_goalKillCounter");
    EXPECT_EQ(Console("Goal Kill Counter"),
              std::vector<std::string>{"6 Goal Kill Counter: imp_ais alread in watch list for goal"});
    EXPECT_EQ(Field<int32_t>(goal, kKillActorListField + 8), 1) << "actorList.num";
    EXPECT_EQ(Field<int32_t>(goal, kKillCountField), 1);
    EXPECT_EQ(Ent("imp_a").objects.size(), 1u);
    EXPECT_EQ(Completions(), std::vector<int>{});
    RunUntil(25);
    EXPECT_EQ(Completions(), std::vector<int>{20});
}

// A watcher whose counter has gone reports the missing object.
TEST_F(GoalTest, AWatcherWithoutItsCounterReportsTheAssertion) {
    Load(GoalLevel("_goalKillCounter", 1, R"("nCount": 1)", Deaths({10})));
    RunUntil(5);
    world->RemoveEntity(Handle("goal"));
    RunUntil(12);
    EXPECT_EQ(Console("Assertion"),
              std::vector<std::string>{"10 Quorin Error: imp_1._goalKillCountActor.OnDeath: Assertion failed: 0"});
}

// A counter completed by its watcher waits out its delay on the watcher's thread; a counter
// removed during that wait is not touched again: no completion, no repeat, and the watcher's
// thread ends normally.
TEST_F(GoalTest, ACounterRemovedDuringItsDelayIsNotTouchedAgain) {
    for (const char* repeat : {"false", "true"}) {
        Load(GoalLevel("_goalKillCounter", 1, std::string(R"("nCount": 1, "delay": 1.0, "bRepeat": )") + repeat,
                       Deaths({10})));
        RunUntil(20);
        world->RemoveEntity(Handle("goal"));
        RunUntil(120);
        EXPECT_EQ(Completions(), std::vector<int>{}) << repeat;
        EXPECT_EQ(Console("Combat Goal Complete"), std::vector<std::string>{}) << repeat;
        EXPECT_EQ(Console("OnDeath"), std::vector<std::string>{}) << repeat;
        StartOver();
    }
}

// ---- status text ----------------------------------------------------------------------------------

// Slot 89 draws the state over the goal's origin for one frame: colour (0.5, 0.5, 1), scale
// 0.5, alignment 1. The base class draws nothing.
TEST_F(GoalTest, DrawStatusNamesEachState) {
    struct Step {
        int runUntil;           // frame to run to first
        int32_t forceState;     // written into goalState when >= 0
        const char* text;       // expected, "" for no draw
    };
    struct Case {
        const char* className;
        const char* properties;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"_goalKillCounter", R"("nCount": 2, "bTriggerFirst": true)",
         {{1, -1, "Waiting - Count: 2"}, {6, -1, "Running - Count: 2"}, {21, -1, "Complete - SUCCESS"},
          {22, 3, "Complete - FAILURE"}}},
        {"_goalRemainingCounter", R"("nCount": 1, "bTriggerFirst": true)",
         {{1, -1, "Waiting - Count: 1"}, {6, -1, "Running - Remaining: 3, Count: 1"},
          {11, -1, "Running - Remaining: 2, Count: 1"}, {21, -1, "Complete - SUCCESS"}, {22, 3, "Complete - FAILURE"}}},
        {"_combatGoal", "", {{1, -1, ""}, {6, -1, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        StartOver();
        const int actors = std::string(c.className) == "_combatGoal" ? 0 : 3;
        std::string properties = c.properties;
        Load(actors ? GoalLevel(c.className, actors, properties, Activations({5}) + ", " + Deaths({10, 20}))
                    : R"({"players": [{"name": "player1"}], "entities": [{"name": "goal", "class": "kvTarget",
                          "origin": [64, 32, 16], "objects": [{"class": "_combatGoal"}]}],
                          "timeline": [{"frame": 5, "event": "activate", "entity": "goal"}]})");
        kvQOObject* goal = Object("goal", c.className);
        ASSERT_NE(goal, nullptr);
        for (const Step& step : c.steps) {
            RunUntil(step.runUntil);
            if (step.forceState >= 0)
                std::memcpy(reinterpret_cast<unsigned char*>(goal) + kGoalStateField, &step.forceState, 4);
            world->recorder.draws.clear();
            qohost::test::CallSlot<void>(goal, 89);
            if (*step.text == 0) {
                EXPECT_TRUE(world->recorder.draws.empty()) << step.runUntil;
                continue;
            }
            ASSERT_EQ(world->recorder.draws.size(), 1u) << step.text;
            const qohost::DebugDraw& d = world->recorder.draws[0];
            EXPECT_EQ(d.shape, "text");
            EXPECT_EQ(d.text, step.text);
            EXPECT_EQ(Text(d.a), "(64 32 16)");
            EXPECT_EQ(d.color.r, 0.5f);
            EXPECT_EQ(d.color.g, 0.5f);
            EXPECT_EQ(d.color.b, 1.0f);
            EXPECT_EQ(d.scale, 0.5f);
            EXPECT_EQ(d.size, 1);
            EXPECT_FLOAT_EQ(d.lifetime, 0.016f);
        }
    }
}

// ---- action_moveToGoalEntity --------------------------------------------------------------------

struct MoveCase {
    const char* name;
    const char* properties;
    std::vector<std::string> calls;    // method calls made on activation, in order
    std::vector<std::string> console;  // console lines on activation
};

void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.name; }

class MoveToGoal : public LevelTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveToGoal, SendsTheActorAndActivatesTheListAsItSetsOff) {
    const MoveCase& c = GetParam();
    Load(std::string(R"({"players": [{"name": "player1"}],
        "entities": [
          {"name": "action", "class": "kvTarget", "objects": [{"class": "action_moveToGoalEntity", "properties": {)") +
         c.properties + R"(}}]},
          {"name": "imp", "class": "kvAI2"},
          {"name": "post", "class": "kvPathCorner", "origin": [100, 0, 0], "angles": [0, 90, 0]},
          {"name": "lamp", "class": "kvLight"}, {"name": "alarm", "class": "kvSpeaker"}],
        "timeline": [{"frame": 5, "event": "activate", "entity": "action", "by": "player1"}]})");
    RunUntil(8);
    EXPECT_EQ(CallTextsFrom(5), c.calls);
    EXPECT_EQ(Console("Actor"), c.console);
}

const MoveCase kMoveCases[] = {
    {"WalksToTheEntity", R"("actor": "imp", "goal": "post", "activationEntity": "lamp", "activationList": ["alarm", "lamp"])",
     {"imp.SetAlertCycle(3)", "imp.Action_SetWalkState(2)", "imp.Action_MoveToEntity(post, 0, 16, false, (0 0 0))",
      "lamp.Activate(action)", "alarm.Activate(imp)", "lamp.Activate(imp)"},
     {"5 Actor sent to goal", "6 Actor reached goal"}},
    {"MovesToThePointWithTheGoalsAlignment", R"("actor": "imp", "goal": "post", "moveToPoint": true, "useAlignment": true)",
     {"imp.SetAlertCycle(3)", "imp.Action_SetWalkState(2)", "post.GetOrigin()", "post.GetSpawnAxisForward()",
      "imp.Action_MoveToPoint((100 0 0), 1, 1, true, (-4.37114e-08 1 0))"},
     {"5 Actor sent to goal", "6 Actor reached goal"}},
    {"WithoutAGoalDoesNothing", R"("actor": "imp")", {}, {"5 Actor sent to goal", "5 Actor or goal is not valid"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, MoveToGoal, ::testing::ValuesIn(kMoveCases),
                         [](const ::testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

// ---- layout -------------------------------------------------------------------------------------

// Object sizes as the factory allocates them, and the kill counter's property rows at their raw
// offsets: its own members start at 56, after the whole of _combatGoal (no member in its tail).
TEST_F(GoalTest, ObjectSizesAndKillCounterRows) {
    world->Attach(api);
    ExpectObjectSizes({{"_combatGoal", 56},
                       {"_goalKillCounter", 128},
                       {"_goalRemainingCounter", 120},
                       {"_goalKillCountActor", 24},
                       {"_goalRemainingCountActor", 24},
                       {"_goalKillCountSpawner", 24},
                       {"action_moveToGoalEntity", 64}});

    ExpectPropertyRows("_goalKillCounter",
                       {{"int", "nCount", 56, 4},
                        {"float", "fPlayerContributionThreshold", 60, 4},
                        {"bool", "bRepeat", 64, 1},
                        {"bool", "bKillingBlows", 65, 1},
                        {"qoList< qoEntity >", "actorList", 72, 24},
                        {"qoList< qoEntity >", "spawnerList", 96, 24},
                        {"bool", "bTriggerFirst", 16, 1},
                        {"float", "delay", 20, 4},
                        {"qoString", "call", 24, 24}});
    const qoPropertyInfo* rows = api->GetPropertyTable("_goalKillCounter");
    ASSERT_NE(rows, nullptr);
    EXPECT_STREQ(Raw<const char*>(rows, 24), "") << "nCount has no tooltip";
    EXPECT_STREQ(Raw<const char*>(reinterpret_cast<const char*>(rows) + 40 * 4, 24),
                 "List of actors to include in the kill counter");

    const char* const* editor = api->GetEditorMetadata("_goalKillCounter");
    ASSERT_NE(editor, nullptr);
    EXPECT_STREQ(editor[1], "string { string = va( '%d killed ', nCount ); color = yellow; offset = ( 15 -8 0 ); "
                            "showAlways = true; }");
    EXPECT_EQ(api->GetEditorMetadata("_combatGoal"), nullptr);
}

}  // namespace
}  // namespace scripts_test
