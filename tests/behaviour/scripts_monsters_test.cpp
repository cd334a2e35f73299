// Wander points and monster behaviour scripts of the shared library in running levels, with the
// host's monsters (types, awareness from the timeline, latent actions that take their time):
// which points a monster chooses, its idles, the end of wandering, a missing manager, a sleeping
// zombie woken once, the damage threshold, following and path walking.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

// A wander point entity named `name` at (x, 0, 0) registered with `manager`.
std::string Point(const std::string& name, float x, const std::string& properties,
                  const std::string& manager = "wworld") {
    return R"({"name": ")" + name + R"(", "class": "kvPathCorner", "origin": [)" + std::to_string(x) +
           R"(, 0, 0], "objects": [{"class": "wander_point", "properties": {"managerName": ")" + manager + R"(", )" +
           properties + "}}]}";
}

// "wworld", the points, and an imp at the origin with wander_ai (manager `manager`) that gets
// its first think on frame 1; more timeline entries after that.
std::string WanderLevel(const std::vector<std::string>& points, const std::string& timeline = "",
                        const std::string& manager = "wworld") {
    std::string entities = R"({"name": "wworld", "class": "kvTarget", "objects": [{"class": "wander_world"}]})";
    for (const std::string& p : points) entities += ", " + p;
    return R"({"frameMs": 16, "players": [{"name": "player1", "origin": [0, 2000, 0]}],
        "entities": [)" + entities + R"(, {"name": "imp", "class": "kvAI2", "spawnArgs": {"monsterType": "imp"},
            "objects": [{"class": "wander_ai", "properties": {"managerName": ")" + manager + R"("}}]}],
        "timeline": [{"frame": 1, "event": "event", "name": "OnFirstThink", "entity": "imp"})" +
           (timeline.empty() ? "" : ", " + timeline) + "]}";
}

using MonsterTest = LevelTest;

// A monster chooses only points of its type strictly within their radius; without one it
// never starts "RunWander" and never enables perception.
TEST_F(MonsterTest, NoPointInRangeNeverStartsWandering) {
    const struct {
        const char* name;
        std::string point;
    } cases[] = {
        {"out of range", Point("p", 300, R"("monsterType": "imp", "radius": 299)")},
        {"radius 0 at the monster's feet", Point("p", 0, R"("monsterType": "imp", "radius": 0)")},
        {"another type", Point("p", 100, R"("monsterType": "zombie", "radius": 500)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        Load(WanderLevel({c.point}));
        RunUntil(200);
        EXPECT_EQ(ThreadStartedOn("imp", "RunWander"), 0u);
        EXPECT_EQ(Calls("imp.EnablePerception").size(), 0u);
        EXPECT_EQ(Calls("Action_").size(), 0u);
    }
}

// With waitTimeMin = waitTimeMax = 2 every idle lasts 2000 ms, between walks that take
// distance / 200 units per second; awareness from the timeline ends the wandering for good.
TEST_F(MonsterTest, WandersWithTwoSecondIdlesUntilAware) {
    const std::string props = R"("monsterType": "imp", "radius": 1000, "waitTimeMin": 2.0, "waitTimeMax": 2.0,
                                 "idleAnimName": "prowl/idle")";
    Load(WanderLevel({Point("a", 400, props), Point("b", -400, props)},
                     R"({"frame": 1000, "event": "aware", "entity": "imp", "by": "player1"})"));
    RunUntil(1100);
    const uint32_t wander = ThreadStartedOn("imp", "RunWander");
    ASSERT_NE(wander, 0u);
    EXPECT_EQ(Calls("imp.EnablePerception(true)").size(), 1u);

    const std::vector<std::string> idles = Calls("imp.Action_LoopAnim(");
    ASSERT_GE(idles.size(), 3u);
    for (const std::string& idle : idles) EXPECT_NE(idle.find("Action_LoopAnim(\"prowl/idle\", 2000)"), std::string::npos) << idle;
    // Each idle holds 125 frames before the next walk starts.
    const std::vector<std::string> walks = Calls("imp.Action_MoveToPoint(");
    for (size_t i = 0; i + 1 < walks.size() && i < idles.size(); ++i) {
        const int idleFrame = std::stoi(idles[i]), nextWalk = std::stoi(walks[i + 1]);
        EXPECT_EQ(nextWalk - idleFrame, 125) << idles[i] << " / " << walks[i + 1];
    }
    EXPECT_EQ(ThreadEnd(wander), "1001 ended by name") << "seen the frame after the timeline's aware";
    EXPECT_EQ(Calls("imp.EndCurrentScriptAction").size(), 1u);
    const size_t walked = Calls("imp.Action_").size();
    RunUntil(1400);
    EXPECT_EQ(Calls("imp.Action_").size(), walked) << "no action after awareness";
}

// A point whose manager entity does not exist warns and fails its assertion; a monster whose
// manager does not exist fails the assertion and never wanders.
TEST_F(MonsterTest, MissingManagerIsReported) {
    Load(WanderLevel({Point("lost", 100, R"("monsterType": "imp", "radius": 500)", "nobody")}, "",
                     "nobody"));
    RunUntil(200);
    const std::vector<std::string> console = Console();
    EXPECT_TRUE(InOrder(console, {"entity 'nobody' not found", "Assertion failed: 0"}));
    EXPECT_GE(Console("Assertion failed: 0").size(), 2u) << ::testing::PrintToString(console);
    EXPECT_EQ(ThreadStartedOn("imp", "RunWander"), 0u);
}

// Asleep: pain off and a loop until interrupted. Damage wakes the zombie through its own
// activation: the wake-up targets fire once, the sleep loop ends, the wake animation starts and
// pain comes back. The activation runs on its delivery thread, which a latent action does not
// hold, so pain comes back in the frame of the damage, not after the 1.5 s animation. Further
// damage and activations do nothing.
TEST_F(MonsterTest, SleepingZombieWakesOnce) {
    Load(R"({"frameMs": 16, "players": [{"name": "player1"}],
        "entities": [{"name": "lamp", "class": "kvTarget"},
          {"name": "zombie", "class": "kvAI2", "spawnArgs": {"anim:spawn/wake2": 1.5},
           "objects": [{"class": "zombie_sleep", "properties": {"animation": "ASLEEP2", "activeUponWakeup": ["lamp"]}}]}],
        "timeline": [{"frame": 50, "event": "damage", "entity": "zombie", "by": "player1", "amount": 5},
                     {"frame": 60, "event": "damage", "entity": "zombie", "by": "player1", "amount": 5},
                     {"frame": 70, "event": "activate", "entity": "zombie", "by": "player1"}]})");
    const uint32_t init = ThreadStartedOn("zombie", "Init");
    RunUntil(40);
    EXPECT_EQ(Calls("zombie."), (std::vector<std::string>{"0 zombie.EnablePain(false)",
                                                          "0 zombie.Action_LoopAnim(\"spawn/asleep2\", -1)"}));
    EXPECT_EQ(ThreadEnd(init), "") << "asleep until woken";
    RunUntil(200);
    EXPECT_EQ(Calls("lamp.Activate(zombie)").size(), 1u);
    EXPECT_EQ(Calls("zombie.Action_WaitForAnimVia(\"spawn/wake2\", \"hands_combat/idle\")").size(), 1u);
    EXPECT_EQ(Calls("zombie.EnablePain(true)"), std::vector<std::string>{"50 zombie.EnablePain(true)"});
    EXPECT_EQ(ThreadEnd(init).substr(0, 3), "51 ") << "the sleep loop ends the frame after the wake";
}

// healthPercent 50: fires on the first damage that leaves less than half the starting health,
// and never again.
TEST_F(MonsterTest, DamageThresholdFiresOnce) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "alarm", "class": "kvTarget"},
          {"name": "brute", "class": "kvAI2", "health": 200,
           "objects": [{"class": "ai_activateOnDamageAmount", "properties": {"healthPercent": 50, "entsToActivate": ["alarm"]}}]}],
        "timeline": [{"frame": 5, "event": "damage", "entity": "brute", "amount": 60},
                     {"frame": 6, "event": "damage", "entity": "brute", "amount": 40},
                     {"frame": 7, "event": "damage", "entity": "brute", "amount": 10},
                     {"frame": 8, "event": "damage", "entity": "brute", "amount": 60}]})");
    RunUntil(20);
    EXPECT_EQ(Calls("alarm.Activate"), std::vector<std::string>{"7 alarm.Activate(brute)"});
}

// A target inside the follow distance (distance + half width + 4) only makes the follower wait;
// one outside it sets a goal, and the follower walks until it is that near.
TEST_F(MonsterTest, FollowerWalksOnlyWhenOutsideTheDistance) {
    const struct {
        float leaderX;
        bool walks;
    } cases[] = {{110.0f, false}, {500.0f, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leaderX);
        StartOver();
        Load(R"({"frameMs": 16, "players": [{"name": "leader", "origin": [)" + std::to_string(c.leaderX) + R"(, 0, 0]}],
            "entities": [{"name": "dog", "class": "kvAI2", "objects": [{"class": "ai_follow_entity"}]}],
            "timeline": [{"frame": 1, "event": "event", "name": "OnActivateAIFollowEntity", "entity": "dog",
                          "by": "leader", "amount": 100}]})");
        RunUntil(600);
        ASSERT_NE(ThreadStartedOn("dog", "CheckDistFromEntity"), 0u);
        const std::vector<std::string> goals = Calls("dog.SetGoalPosition");
        if (!c.walks) {
            EXPECT_EQ(goals.size(), 0u);
            EXPECT_FLOAT_EQ(Ent("dog").origin.x, 0.0f);
            continue;
        }
        ASSERT_EQ(goals.size(), 1u) << ::testing::PrintToString(goals);
        EXPECT_NE(goals[0].find("SetGoalPosition((500 0 0), 120, true)"), std::string::npos) << goals[0];
        EXPECT_NEAR(Ent("dog").origin.x, 380.0f, 0.5f);
    }
}

// Path entries that were removed are skipped without a message; the others are walked in order.
TEST_F(MonsterTest, FollowPathSkipsRemovedEntries) {
    Load(R"({"frameMs": 16, "players": [{"name": "player1"}],
        "entities": [{"name": "a", "class": "kvPathCorner", "origin": [200, 0, 0]},
          {"name": "b", "class": "kvPathCorner", "origin": [400, 0, 0]},
          {"name": "c", "class": "kvPathCorner", "origin": [400, 200, 0]},
          {"name": "walker", "class": "kvAI2", "objects": [{"class": "ai_followPath", "properties": {"pathEnts": ["a", "b", "c"]}}]}]})");
    world->RemoveEntity(Handle("b"));
    RunUntil(300);
    std::vector<std::string> calls;
    for (const std::string& call : Calls("walker.")) calls.push_back(call.substr(call.find(' ') + 1));
    EXPECT_EQ(calls, (std::vector<std::string>{"walker.SetScriptAbort(false, false)", "walker.ClearAimFocus()",
                                                "walker.ClearLookFocus()", "walker.Action_MoveToPathPoint(a)",
                                                "walker.Action_MoveToPathPoint(c)"}));
    EXPECT_EQ(Console("walker"), std::vector<std::string>{});
    EXPECT_EQ(Console("Assertion"), std::vector<std::string>{});
    EXPECT_NEAR(Ent("walker").origin.y, 200.0f, 0.01f);
}

}  // namespace
}  // namespace scripts_test
