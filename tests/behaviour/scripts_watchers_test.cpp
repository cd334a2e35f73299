// The trigger utilities that watch the player, in running levels: a visibility trigger's
// visible/hidden toggles, berserk watchers that fire on every start, and look-at triggers
// (lookTime 0, triggerOnce, safety triggers, no active period).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/sim/volumes/Volumes.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

class WatcherTest : public LevelTest {
protected:
    void Send(const char* entity, const char* event, const char* by) {
        qohost::DeliverOnThreads(*world, Handle(entity), event, Handle(by));
    }
    // Turns player1 to the yaw: 0 faces the statue at +x, 180 turns his back on it.
    void Face(float yaw) { Ent("player1").angles = {0, yaw, 0}; }
};

// player1 at the origin; a statue 500 units ahead (+x) at eye height; the watcher on `watch`.
std::string StatueLevel(const std::string& watcherObject, const std::string& extra = "",
                        const std::string& timeline = "") {
    return R"({"players": [{"name": "player1", "origin": [0, 0, 0], "angles": [0, 180, 0]}],
        "entities": [{"name": "seen", "class": "kvTarget"}, {"name": "hidden", "class": "kvTarget"},
          {"name": "door", "class": "kvMover"}, {"name": "safe", "class": "kvTrigger"})" + extra + R"(,
          {"name": "statue", "class": "kvTarget", "origin": [500, 0, 64], "targets": ["door"],
           "objects": [)" + watcherObject + R"(]}],
        "timeline": [)" + timeline + "]}";
}

TEST_F(WatcherTest, VisibilityFiresVisibleHiddenVisibleAndSetsTheFlagEachTime) {
    Load(StatueLevel(R"({"class": "util_triggerVisibility", "properties": {"tolerance": 0.2, "testLOS": true,
        "triggerOnVisible": "seen", "triggerOnHidden": "hidden"}})"));
    RunUntil(2);
    Send("statue", "OnActivate", "player1");
    RunUntil(5);
    Face(0);
    RunUntil(10);
    Face(180);
    RunUntil(15);
    Face(0);
    RunUntil(20);
    std::vector<std::string> fired;
    for (const std::string& call : Calls(".Activate(statue)")) fired.push_back(call.substr(call.find(' ') + 1));
    EXPECT_EQ(fired, (std::vector<std::string>{"seen.Activate(statue)", "hidden.Activate(statue)",
                                               "seen.Activate(statue)"}));
    const std::vector<std::string> frames = Calls(".Activate(statue)");
    EXPECT_EQ(frames[0].substr(0, 2), "6 ");
}

TEST_F(WatcherTest, VisibilityToleranceAndLineOfSight) {
    struct Case {
        const char* name;
        float tolerance;
        float yaw;          // the statue lies 0° ahead; 20° off is 0.36 of the half screen
        bool wallBetween;
        bool testLOS;
        bool seen;
    };
    const Case cases[] = {
        {"centre", 0.0f, 0.0f, false, false, true},
        {"20 degrees off, tolerance 0.3", 0.3f, 20.0f, false, false, false},
        {"20 degrees off, tolerance 0.5", 0.5f, 20.0f, false, false, true},
        {"behind", 1.0f, 180.0f, false, false, false},
        {"wall without LOS test", 1.0f, 0.0f, true, false, true},
        {"wall with LOS test", 1.0f, 0.0f, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        Load(StatueLevel(std::string(R"({"class": "util_triggerVisibility", "properties": {"triggerOnVisible": "seen", "tolerance": )") +
                             std::to_string(c.tolerance) + ", \"testLOS\": " + (c.testLOS ? "true" : "false") + "}}",
                         c.wallBetween ? R"(, {"name": "wall", "class": "kvProp", "origin": [250, 0, 0], "mins": [-8, -64, 0], "maxs": [8, 64, 128]})" : ""));
        Face(c.yaw);
        RunUntil(2);
        Send("statue", "OnActivate", "player1");
        RunUntil(4);
        EXPECT_EQ(Calls("seen.Activate(").size(), c.seen ? 1u : 0u);
    }
}

TEST_F(WatcherTest, TwoBerserkStartsInARowActivateTheStartTargetsTwice) {
    Load(R"({"players": [{"name": "player1"}], "entities": [{"name": "rage", "class": "kvTarget"},
          {"name": "calm", "class": "kvTarget"},
          {"name": "watch", "class": "kvTarget", "objects": [{"class": "util_triggerOnBerserk",
             "properties": {"berserkStartTargets": ["rage"], "berserkStopTargets": ["calm"]}}]}],
        "timeline": [{"frame": 10, "event": "event", "name": "OnBerserkStart", "entity": "player1", "by": "player1"},
                     {"frame": 20, "event": "event", "name": "OnBerserkStart", "entity": "player1", "by": "player1"},
                     {"frame": 30, "event": "event", "name": "OnBerserkStop", "entity": "player1", "by": "player1"}]})");
    RunUntil(40);
    EXPECT_NE(Object("player1", "player_triggerOnBerserk"), nullptr);
    EXPECT_EQ(Calls("rage.Activate(player1)").size(), 2u);
    EXPECT_EQ(Calls("calm.Activate(player1)").size(), 1u);
}

TEST_F(WatcherTest, LookAtWithLookTimeZeroFiresOnTheFirstLookAndOnlyOnceWithTriggerOnce) {
    Load(StatueLevel(R"({"class": "util_triggerLookAt", "properties": {"tolerance": 0.3, "lookTime": 0,
        "activePeriod": -1, "triggerOnce": true}})"));
    RunUntil(2);
    Send("statue", "OnActivate", "player1");
    RunUntil(50);  // no period: still watching after many frames looking away
    EXPECT_TRUE(Calls("statue.ActivateTargets(").empty());
    Face(0);
    RunUntil(52);  // seen on the pass of frame 51; the wait of `delay` 0 ends on the next frame
    EXPECT_EQ(Calls("statue.ActivateTargets("), std::vector<std::string>{"52 statue.ActivateTargets(player1)"});
    Face(180);
    RunUntil(55);
    Send("statue", "OnActivate", "player1");
    Face(0);
    RunUntil(70);
    EXPECT_EQ(Calls("statue.ActivateTargets(").size(), 1u);
}

TEST_F(WatcherTest, LookAtCountsEveryPassAsLookingOnceASafetyTriggerFired) {
    Load(StatueLevel(R"({"class": "util_triggerLookAt", "properties": {"tolerance": 0.3, "lookTime": 0.5,
        "activePeriod": -1, "safetyTriggers": ["safe"]}})"));
    RunUntil(2);
    EXPECT_NE(Object("safe", "util_triggerLookAtSafety"), nullptr);
    Send("statue", "OnActivate", "player1");
    RunUntil(40);
    EXPECT_TRUE(Calls("statue.ActivateTargets(").empty());
    Send("safe", "OnTrigger", "player1");  // the player still looks away
    RunUntil(80);
    EXPECT_EQ(Calls("statue.ActivateTargets(").size(), 1u);
}

TEST_F(WatcherTest, LookAtWithAPeriodGivesUpWhenItRunsOut) {
    Load(StatueLevel(R"({"class": "util_triggerLookAt", "properties": {"tolerance": 0.3, "activePeriod": 0.5}})"));
    RunUntil(2);
    Send("statue", "OnActivate", "player1");
    RunUntil(60);
    Face(0);
    RunUntil(70);
    EXPECT_TRUE(Calls("statue.ActivateTargets(").empty());
    EXPECT_FALSE(Field<bool>(Object("statue", "util_triggerLookAt"), 16));
}

TEST_F(WatcherTest, ObjectSizes) {
    Load(R"({"players": [{"name": "player1"}]})");
    ExpectObjectSizes({{"util_triggerVisibility", 48}, {"player_triggerOnBerserk", 16}, {"util_triggerOnBerserk", 72},
                       {"util_triggerLookAt", 104}, {"util_triggerLookAtSafety", 24},
                       {"util_triggerLookAtManagerVolume", 48}});
}

}  // namespace
}  // namespace scripts_test
