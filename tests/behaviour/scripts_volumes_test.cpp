// The volume utilities of the shared library in running levels, and the host's volumes that
// notice entities crossing them: notify rows at once and after their delay, the push step at
// 16 ms frames and the push thread's restart, the fall zone's health limit, ambient speakers
// switched off for good, and a walker's enter and exit frames.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/sim/volumes/Volumes.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

class VolumeTest : public LevelTest {
protected:
    // Delivers an entity event the way a sensing volume does: on a thread of its own.
    void Send(const char* entity, const char* event, const char* by) {
        qohost::DeliverOnThreads(*world, Handle(entity), event, Handle(by));
    }
    int Count(const std::vector<std::string>& lines) const { return static_cast<int>(lines.size()); }
    // Sends the player falling slowly: in the air from now on, so the fall zone samples no
    // new safe position.
    void Fall(const char* player) {
        qohost::Waypoint down;
        down.to = {0, 0, -100000};
        down.speed = 10;
        down.ground = false;
        world->paths.Follow(*world, Ent(player), {down});
    }
};

// ---- util_volumeNotify ---------------------------------------------------------------------------

TEST_F(VolumeTest, NotifyActivatesRowsAtOnceOrAfterTheirDelayForPlayersOnly) {
    Load(R"({"frameMs": 16, "players": [{"name": "player1"}],
        "entities": [
          {"name": "imp", "class": "kvAI2"},
          {"name": "now", "class": "kvTarget"}, {"name": "later", "class": "kvTarget"},
          {"name": "gone", "class": "kvTarget"}, {"name": "out", "class": "kvTarget"},
          {"name": "vol", "class": "kvVolume", "objects": [{"class": "util_volumeNotify", "properties": {
             "onEnterEvents": [{"target": "now", "delay": 0}, {"target": "gone", "delay": 0},
                               {"target": "later", "delay": 0.5}, {"target": null, "delay": 0}],
             "onExitEvents": [{"target": "out", "delay": 0}]}}]}]})");
    world->RemoveEntity(Handle("gone"));
    RunUntil(2);
    Send("vol", "OnEnter", "imp");  // not a player: nothing
    RunUntil(3);
    EXPECT_TRUE(Calls(".Activate(").empty());

    Send("vol", "OnEnter", "player1");
    const uint64_t entered = world->Frame();
    EXPECT_EQ(Calls(".Activate("), std::vector<std::string>{std::to_string(entered) + " now.Activate(player1)"});
    EXPECT_NE(ThreadStartedOn("vol", "EventHelper"), 0u);
    RunUntil(static_cast<int32_t>(entered) + 31);  // 0.5 s = 31.25 frames of 16 ms
    EXPECT_EQ(Calls("later.Activate("), std::vector<std::string>{});
    RunUntil(static_cast<int32_t>(entered) + 32);
    EXPECT_EQ(Calls("later.Activate("),
              std::vector<std::string>{std::to_string(entered + 32) + " later.Activate(player1)"});

    Send("vol", "OnExit", "player1");
    EXPECT_EQ(Count(Calls("out.Activate(player1)")), 1);
}

// ---- util_volumePush -------------------------------------------------------------------------

TEST_F(VolumeTest, PushStepsByTwiceTheDirectionOverFramesPerSecondEveryOtherFrame) {
    // 16 ms frames: 1000 / 16 = 62 frames per second, so the step is direction × 2 / 62.
    Load(R"({"frameMs": 16, "players": [{"name": "player1", "origin": [0, 0, 0]}],
        "entities": [{"name": "vol", "class": "kvVolume", "objects": [{"class": "util_volumePush",
          "properties": {"pushDirection": [31, -62, 0]}}]}]})");
    RunUntil(1);
    Send("vol", "OnEnter", "player1");
    RunUntil(7);
    const std::vector<std::string> moves = Calls("player1.SetWorldOrigin(");
    ASSERT_EQ(moves.size(), 4u);  // frames 1, 3, 5, 7
    EXPECT_FLOAT_EQ(Ent("player1").origin.x, 4.0f);
    EXPECT_FLOAT_EQ(Ent("player1").origin.y, -8.0f);
    EXPECT_EQ(Console("Found pushee: player1").size(), 1u);
}

TEST_F(VolumeTest, PushThreadEndsWithTheLastPusheeAndStartsAgainOnTheNextEnter) {
    Load(R"({"players": [{"name": "player1"}], "entities": [{"name": "imp", "class": "kvAI2"},
        {"name": "vol", "class": "kvVolume", "objects": [{"class": "util_volumePush",
          "properties": {"pushDirection": [0, 0, 62]}}]}]})");
    constexpr size_t kPushing = 56;
    RunUntil(1);
    Send("vol", "OnEnter", "player1");
    Send("vol", "OnEnter", "imp");
    EXPECT_EQ(Console("Starting push thread").size(), 1u);
    Send("vol", "OnExit", "player1");
    RunUntil(4);
    EXPECT_TRUE(Field<bool>(Object("vol", "util_volumePush"), kPushing));
    Send("vol", "OnExit", "imp");
    RunUntil(8);
    EXPECT_FALSE(Field<bool>(Object("vol", "util_volumePush"), kPushing));
    Send("vol", "OnEnter", "player1");
    EXPECT_EQ(Console("Starting push thread").size(), 2u);
    EXPECT_TRUE(Field<bool>(Object("vol", "util_volumePush"), kPushing));
}

// ---- util_volumePlayerFallZone ---------------------------------------------------------------

TEST_F(VolumeTest, FallZoneReturnsOnlyPlayersAboveTwentyHealth) {
    // Health is whole points in this host: 20 is the limit itself, 21 lies above it.
    struct Case {
        int health;
        bool returned;
    };
    for (const Case& c : {Case{20, false}, Case{21, true}}) {
        SCOPED_TRACE(c.health);
        StartOver();
        Load(R"({"decls": {"kvDeclDamage": ["damage/code_referenced/softfall"]},
            "players": [{"name": "player1", "origin": [10, 20, 30], "angles": [0, 90, 0], "health": )" +
             std::to_string(c.health) + R"(}],
            "entities": [{"name": "zone", "class": "kvVolume", "objects": [{"class": "util_volumePlayerFallZone"}]}]})");
        RunUntil(1);
        Send("zone", "OnEnter", "player1");  // samples the safe position at once
        Fall("player1");
        Send("zone", "OnActivate", "player1");
        RunUntil(80);
        const std::vector<std::string> teleports = Calls("player1.Teleport(");
        EXPECT_EQ(teleports.size(), c.returned ? 1u : 0u);
        EXPECT_EQ(Calls("player1.FadeView(").size(), c.returned ? 2u : 0u);
        EXPECT_EQ(Calls("player1.Damage(").size(), c.returned ? 1u : 0u);
        if (c.returned) {
            EXPECT_FLOAT_EQ(Ent("player1").origin.x, 10.0f);
            EXPECT_FLOAT_EQ(Ent("player1").angles.y, 90.0f);
        }
    }
}

TEST_F(VolumeTest, FallZoneKeepsOneSafePositionPerPlayer) {
    // Two players inside: each is returned to where he stood himself, and a player leaving
    // takes his own position with him.
    Load(R"({"players": [{"name": "player1", "origin": [1, 0, 0]}, {"name": "player2", "origin": [2, 0, 0]},
                         {"name": "player3", "origin": [3, 0, 0]}],
        "entities": [{"name": "zone", "class": "kvVolume", "objects": [{"class": "util_volumePlayerFallZone"}]}]})");
    RunUntil(1);
    Send("zone", "OnEnter", "player1");
    Send("zone", "OnEnter", "player2");
    Send("zone", "OnEnter", "player3");
    Send("zone", "OnExit", "imp_never_there");
    RunUntil(40);  // a sampling pass after all three entered
    Send("zone", "OnExit", "player1");
    Fall("player3");
    Send("zone", "OnActivate", "player3");
    RunUntil(100);
    EXPECT_FLOAT_EQ(Ent("player3").origin.x, 3.0f);
    EXPECT_TRUE(Records("console", "Assertion failed").empty());
}

// ---- util_volumeAmbientMonsterSounds ---------------------------------------------------------

TEST_F(VolumeTest, AmbientSpeakersFollowPlayersUntilActivatedThenNeverAgain) {
    Load(R"({"players": [{"name": "player1", "origin": [0, 0, 0]}],
        "entities": [{"name": "hum", "class": "kvSpeaker"}, {"name": "lamp", "class": "kvLight"},
          {"name": "vol", "class": "kvVolume", "targets": ["hum", "lamp"],
           "objects": [{"class": "util_volumeAmbientMonsterSounds"}]}]})");
    RunUntil(1);
    Send("vol", "OnEnter", "player1");  // player1 stands inside the bounds
    EXPECT_EQ(Calls("hum.On(").size(), 1u);
    Ent("player1").origin = {1000, 0, 0};
    Send("vol", "OnExit", "player1");
    EXPECT_EQ(Calls("hum.Off(").size(), 1u);
    Send("vol", "OnActivate", "player1");
    EXPECT_EQ(Calls("hum.Off(").size(), 2u);
    Ent("player1").origin = {0, 0, 0};
    Send("vol", "OnEnter", "player1");
    Ent("player1").origin = {1000, 0, 0};
    Send("vol", "OnExit", "player1");
    Send("vol", "OnActivate", "player1");
    EXPECT_EQ(Calls("hum.On(").size(), 1u);
    EXPECT_EQ(Calls("hum.Off(").size(), 2u);
    EXPECT_TRUE(Calls("lamp.On(").empty());
}

// Placed on something that is not a volume, it says so as a warning (yellow), gated by
// qo_debugPrint.
TEST_F(VolumeTest, AmbientSpeakersOffAVolumeWarnInYellow) {
    Load(R"({"cvars": {"qo_debugPrint": 1}, "players": [{"name": "player1"}],
        "entities": [{"name": "crate", "class": "kvProp",
           "objects": [{"class": "util_volumeAmbientMonsterSounds"}]}]})");
    RunUntil(1);
    const std::vector<std::string> lines = Records("console", "Intended to be placed on a volume entity only.");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("0 ^3util_volumeAmbientMonsterSounds::Init", 0), 0u) << lines[0];
}

// ---- the host's crossing volumes -------------------------------------------------------------

TEST_F(VolumeTest, WalkerEntersAndExitsInTheFramesItsBoundsSayOnceEach) {
    // The walker's bounds reach 16 units each side; the volume spans x 99.5 .. 200.5. Walking
    // at 100 units per second from x 0 (1 unit per 10 ms frame) its front edge passes 99.5 at
    // frame 84 and its back edge passes 200.5 at frame 217.
    Load(R"({"frameMs": 10, "players": [{"name": "player1", "origin": [0, 0, 0],
               "path": [{"to": [300, 0, 0], "speed": 100}]}],
        "entities": [{"name": "vol", "class": "kvVolume", "volume": "events", "origin": [150, 0, 0],
           "mins": [-50.5, -50, 0], "maxs": [50.5, 50, 100],
           "objects": [{"class": "util_volumeNotify", "properties": {
              "onEnterEvents": [{"target": "in"}], "onExitEvents": [{"target": "out"}]}}]},
          {"name": "in", "class": "kvTarget"}, {"name": "out", "class": "kvTarget"}]})");
    RunUntil(320);
    EXPECT_EQ(Calls("in.Activate("), std::vector<std::string>{"84 in.Activate(player1)"});
    EXPECT_EQ(Calls("out.Activate("), std::vector<std::string>{"217 out.Activate(player1)"});
    EXPECT_FLOAT_EQ(Ent("player1").origin.x, 300.0f);
    EXPECT_EQ(Records("event", "OnEnter vol").size(), 1u);
    EXPECT_EQ(Records("event", "OnExit vol").size(), 1u);
}

TEST_F(VolumeTest, ObjectSizes) {
    Load(R"({"players": [{"name": "player1"}]})");
    ExpectObjectSizes({{"util_volumeNotify", 64}, {"util_volumeCheckEquipedWeapon", 80}, {"util_volumePush", 64},
                       {"util_volumePlayerFallZone", 96}, {"util_volumeAmbientMonsterSounds", 48}});
}

}  // namespace
}  // namespace scripts_test
