// The trigger utilities of the shared library in running levels: the order of enabling and
// disabling, the push platform shown while pushes come and hidden 133 ms after the last, AI
// pushed by velocity, the pulse's order at equal distances, teleport without targets, forced
// animations that kill only when asked, and the object sizes an editor reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/sim/volumes/Volumes.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

class TriggerTest : public LevelTest {
protected:
    // Delivers an entity event the way the host's triggers do: on a thread of its own.
    void Send(const char* entity, const char* event, const char* by) {
        qohost::DeliverOnThreads(*world, Handle(entity), event, Handle(by));
    }
};

TEST_F(TriggerTest, EnableListFirstThenDisableListOneFrameLater) {
    Load(R"({"players": [{"name": "player1"}], "entities": [
        {"name": "a", "class": "kvTrigger"}, {"name": "b", "class": "kvTrigger"},
        {"name": "switch", "class": "kvTarget", "objects": [{"class": "util_triggerEnable",
           "properties": {"enableList": ["a", "b"], "disableList": ["b"]}}]}]})");
    RunUntil(2);
    Send("switch", "OnActivate", "player1");
    EXPECT_TRUE(Calls("able(").empty());
    RunUntil(3);
    EXPECT_EQ(Calls("able("), (std::vector<std::string>{"3 a.Enable()", "3 b.Enable()", "3 b.Disable()"}));
    EXPECT_FALSE(Ent("b").methods->enabled);
}

// ---- util_triggerPush ------------------------------------------------------------------------

constexpr const char* kPushLevel = R"({"frameMs": 1, "players": [{"name": "player1", "origin": [5, 5, 0]}],
    "entities": [{"name": "imp", "class": "kvAI2"},
      {"name": "platform", "class": "kvMover", "origin": [0, 0, -8]},
      {"name": "end1", "class": "kvTarget", "origin": [0, 0, 0]},
      {"name": "end2", "class": "kvTarget", "origin": [0, 400, 0]},
      {"name": "push", "class": "kvTrigger", "objects": [{"class": "util_triggerPush", "properties": {
         "pushPlatform": "platform", "endpoint1": "end1", "endpoint2": "end2"}}]}]})";

TEST_F(TriggerTest, PushPlatformStaysWhilePushedAndHides133MsAfterTheLastPush) {
    Load(kPushLevel);
    // Pushes within 99 ms of the trigger's start count as the same push: start later.
    RunUntil(200);
    for (int frame = 201; frame <= 220; ++frame) {
        Send("push", "OnActivate", "player1");
        RunUntil(frame);
    }
    // The last push came between frames 219 and 220 (game time 219 ms).
    EXPECT_EQ(Calls("platform.MoveToPos(").size(), 1u);  // one new push, the rest within 99 ms
    EXPECT_EQ(Calls("platform.SetWorldOrigin(").size(), 1u);
    EXPECT_FALSE(Ent("platform").hidden);
    const size_t hidesBefore = Calls("platform.Hide(").size();
    RunUntil(219 + 132);
    EXPECT_EQ(Calls("platform.Hide(").size(), hidesBefore);
    EXPECT_FALSE(Ent("platform").hidden);
    RunUntil(219 + 133);
    EXPECT_EQ(Calls("platform.Hide(").size(), hidesBefore + 1);
    EXPECT_TRUE(Ent("platform").hidden);
}

TEST_F(TriggerTest, PushGivesAiAVelocityOfFrameSecondsTimesForceAlongTheNormalisedDirection) {
    Load(std::string(kPushLevel).replace(std::string(kPushLevel).find("\"frameMs\": 1"), 12, "\"frameMs\": 16"));
    RunUntil(2);
    Send("push", "OnActivate", "imp");
    // 0.016 s × 128 along (0, 1, 0).
    const std::vector<std::string> pushes = Calls("imp.SetAIExternalVelocity(");
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_NE(pushes[0].find("2.048"), std::string::npos) << pushes[0];
    EXPECT_FLOAT_EQ(Field<float>(Object("push", "util_triggerPush"), 24), 1.0f);  // pushDirection.y
    EXPECT_TRUE(Calls("platform.MoveToPos(").empty());
    EXPECT_EQ(Calls("platform.Show(").size(), 1u);
    const float before = Ent("imp").origin.y;
    RunUntil(3);
    EXPECT_NEAR(Ent("imp").origin.y - before, 2.048f * 0.016f, 1e-5f);
}

TEST_F(TriggerTest, PushEnableClearedStopsPushesAndHidesThePlatform) {
    Load(std::string(R"({"players": [{"name": "player1"}], "entities": [
        {"name": "platform", "class": "kvMover"},
        {"name": "push", "class": "kvTrigger", "objects": [{"class": "util_triggerPush", "properties": {"pushPlatform": "platform"}}]},
        {"name": "off", "class": "kvTarget", "objects": [{"class": "util_triggerPushEnable",
           "properties": {"targetPushTrigger": "push", "enable": false}}]}]})"));
    RunUntil(1);
    Send("off", "OnActivate", "player1");
    EXPECT_TRUE(Ent("platform").hidden);
    EXPECT_FALSE(Field<bool>(Object("push", "util_triggerPush"), 48));
    Send("push", "OnActivate", "player1");
    EXPECT_TRUE(Calls("platform.Show(").empty());
}

// ---- util_triggerPulse -----------------------------------------------------------------------

TEST_F(TriggerTest, PulseFiresNearestFirstAndEqualDistancesInTargetOrderOnePerFrame) {
    // 16 ms frames: 62 frames per second; speed 6200 grows the radius by 100 a pass.
    Load(R"({"frameMs": 16, "players": [{"name": "player1"}], "entities": [
        {"name": "b300", "class": "kvTarget", "origin": [300, 0, 0]},
        {"name": "a100", "class": "kvTarget", "origin": [0, 100, 0]},
        {"name": "c300", "class": "kvTarget", "origin": [0, -300, 0]},
        {"name": "pulse", "class": "kvTarget", "targets": ["b300", "a100", "c300"],
         "objects": [{"class": "util_triggerPulse", "properties": {"speed": 6200}}]}]})");
    EXPECT_EQ(Console("PD "), std::vector<std::string>{"0 PD 100.000"});
    RunUntil(5);
    Send("pulse", "OnActivate", "player1");
    RunUntil(12);
    EXPECT_EQ(Calls(".Activate("), (std::vector<std::string>{"5 a100.Activate(player1)", "6 b300.Activate(player1)",
                                                             "7 c300.Activate(player1)"}));
}

TEST_F(TriggerTest, PulseWithoutTargetsEndsItsInitOnTheIndexCheck) {
    Load(R"({"players": [{"name": "player1"}], "entities": [{"name": "pulse", "class": "kvTarget",
        "objects": [{"class": "util_triggerPulse"}]}]})");
    EXPECT_EQ(Records("console", "Assertion failed: ( index >= 0 ) && ( index < num )").size(), 1u);
    EXPECT_TRUE(Console("PD ").empty());
}

// ---- teleport, ragdoll, forced animation ------------------------------------------------------

TEST_F(TriggerTest, TeleportMovesTheActivatorToItsFirstTargetOnlyWhenThereIsOne) {
    Load(R"({"players": [{"name": "player1", "origin": [1, 2, 3]}], "entities": [
        {"name": "dest", "class": "kvTarget", "origin": [100, 200, 300], "angles": [0, 45, 0]},
        {"name": "none", "class": "kvTrigger", "objects": [{"class": "util_triggerTeleport"}]},
        {"name": "tele", "class": "kvTrigger", "targets": ["dest"], "objects": [{"class": "util_triggerTeleport"}]}]})");
    RunUntil(1);
    Send("none", "OnTrigger", "player1");
    EXPECT_TRUE(Calls("player1.").empty());
    Send("tele", "OnTrigger", "player1");
    EXPECT_EQ(Calls("player1.Set").size(), 2u);
    EXPECT_FLOAT_EQ(Ent("player1").origin.z, 300.0f);
    EXPECT_FLOAT_EQ(Ent("player1").angles.y, 45.0f);
}

TEST_F(TriggerTest, ForcedAnimationKillsOnlyWhenItIsADeathAnimation) {
    struct Case {
        bool isDeathAnim;
        int health;
    };
    for (const Case& c : {Case{false, 60}, Case{true, 0}}) {
        SCOPED_TRACE(c.isDeathAnim);
        StartOver();
        Load(std::string(R"({"players": [{"name": "player1"}], "entities": [{"name": "imp", "class": "kvAI2", "health": 60},
            {"name": "anim", "class": "kvTrigger", "objects": [{"class": "util_triggerForceAnim",
               "properties": {"animName": "death/death", "isDeathAnim": )") +
             (c.isDeathAnim ? "true" : "false") + "}}]}]}");
        RunUntil(1);
        Send("anim", "OnTrigger", "imp");
        RunUntil(100);
        EXPECT_EQ(Calls("imp.Action_ForceAnimState(").size(), 1u);
        EXPECT_EQ(Ent("imp").health, c.health);
    }
}

TEST_F(TriggerTest, RagdollKillsAnExistingActivator) {
    Load(R"({"players": [{"name": "player1"}], "entities": [{"name": "imp", "class": "kvAI2", "health": 60},
        {"name": "rag", "class": "kvTrigger", "objects": [{"class": "util_triggerRagdoll"}]}]})");
    RunUntil(1);
    Send("rag", "OnTrigger", "imp");
    EXPECT_EQ(Calls("imp.StartRagdoll(").size(), 1u);
    EXPECT_EQ(Ent("imp").health, 0);
}

TEST_F(TriggerTest, ObjectSizes) {
    Load(R"({"players": [{"name": "player1"}]})");
    ExpectObjectSizes({{"util_triggerEnable", 64}, {"util_triggerPush", 64}, {"util_triggerPushEnable", 24},
                       {"util_triggerPulse", 56}, {"util_triggerTeleport", 16}, {"util_triggerRagdoll", 16},
                       {"util_triggerForceAnim", 48}, {"util_nodeModifierTrigger", 24},
                       {"util_removeActorOnTriggerTouched", 32}});
}

}  // namespace
}  // namespace scripts_test
