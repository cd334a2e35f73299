// The world utility of the shared library in a running level: the well-known entities it looks
// up (each missing one a warning and a frame), the debug reader it starts, its placement check,
// and what scripts get from it when it is gone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

const char* const kWellKnown[] = {"player1", "player2", "player3", "player4", "player5",
                                  "player6", "player7", "player8", "aiConductor"};

class WorldUtilTest : public LevelTest {};

struct PresentCase {
    const char* name;
    int players;        // player1 .. playerN exist
    bool aiConductor;
};

void PrintTo(const PresentCase& c, std::ostream* os) { *os << c.name; }

class WorldUtilLookups : public WorldUtilTest, public ::testing::WithParamInterface<PresentCase> {};

// Every missing name is one warning in the Init thread, and each costs that thread a frame:
// the warnings come on consecutive frames and the debug reader starts on the frame after the
// last. The fields hold the entities that exist and the null entity for the others.
TEST_P(WorldUtilLookups, FillsTheFieldsAndWarnsOnceAFrameForEachMissingName) {
    const PresentCase& c = GetParam();
    std::string players, entities;
    for (int i = 1; i <= c.players; ++i)
        players += std::string(i > 1 ? ", " : "") + "{\"name\": \"player" + std::to_string(i) + "\"}";
    if (c.aiConductor) entities = R"({"name": "aiConductor", "class": "kvAIConductor"})";
    Load(R"({"players": [)" + players + R"(], "entities": [)" + entities + "]}");
    RunUntil(12);

    kvQOObject* util = Object("world", "qoWorldUtil");
    ASSERT_NE(util, nullptr);
    const uint32_t initThread = ThreadStartedOn("world", "Init");
    ASSERT_NE(initThread, 0u);

    std::vector<std::string> expected;
    uint64_t frame = 0;
    for (size_t k = 0; k < std::size(kWellKnown); ++k) {
        const char* name = kWellKnown[k];
        const bool present = k < 8 ? static_cast<int>(k) < c.players : c.aiConductor;
        EXPECT_EQ(Field<uint32_t>(util, kPlayer1Field + 4 * k), present ? Handle(name) : 0u) << name;
        if (!present)
            expected.push_back(std::to_string(frame++) + " Quorin Warning: world.qoWorldUtil.Init: entity '" +
                               name + "' not found");
    }
    EXPECT_EQ(Console("not found"), expected);
    EXPECT_EQ(Field<uint32_t>(util, kWorldField), Handle("world"));

    // The reader thread on the world's debug utility, created by the Init thread.
    const std::vector<std::string> reader = Records("thread", "\"&qoDebugUtil::ReadDebugActions\"");
    ASSERT_EQ(reader.size(), 1u);
    EXPECT_EQ(reader[0].substr(0, reader[0].find(' ')), std::to_string(frame));
    EXPECT_NE(reader[0].find(" by " + std::to_string(initThread)), std::string::npos) << reader[0];
    EXPECT_NE(Object("world", "qoDebugUtil"), nullptr);
}

const PresentCase kPresentCases[] = {
    {"OnlyPlayer1", 1, false},
    {"ThreePlayersAndConductor", 3, true},
    {"EveryoneThere", 8, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, WorldUtilLookups, ::testing::ValuesIn(kPresentCases),
                         [](const ::testing::TestParamInfo<PresentCase>& info) { return std::string(info.param.name); });

// A world utility placed by hand on another entity reports the placement error, which ends its
// Init: every field stays null and it starts no debug reader. The one on "world" is untouched.
TEST_F(WorldUtilTest, PlacedOnAnotherEntityReportsAndDoesNothing) {
    Load(R"({"players": [{"name": "player1"}],
             "entities": [{"name": "box", "class": "kvProp", "objects": [{"class": "qoWorldUtil"}]}]})");
    RunUntil(12);

    EXPECT_EQ(Console("box."), (std::vector<std::string>{
                                   "0 Quorin Error: box.qoWorldUtil.Init: qoWorldUtil should only be placed "
                                   "on the world entity (worldspawn)."}));
    kvQOObject* misplaced = Object("box", "qoWorldUtil");
    ASSERT_NE(misplaced, nullptr);
    for (size_t offset = kWorldField; offset <= kAiConductorField; offset += 4)
        EXPECT_EQ(Field<uint32_t>(misplaced, offset), 0u) << "field at " << offset;

    const uint32_t boxInit = ThreadStartedOn("box", "Init");
    ASSERT_NE(boxInit, 0u);
    EXPECT_EQ(ThreadEnd(boxInit), "0 ended itself");
    EXPECT_TRUE(Records("thread", " by " + std::to_string(boxInit)).empty()) << "it started a thread";
    EXPECT_EQ(Object("box", "qoDebugUtil"), nullptr);

    EXPECT_EQ(Field<uint32_t>(Object("world", "qoWorldUtil"), kPlayer1Field), Handle("player1"));
}

// Scripts reach player1 through the world utility on every use. When the world's objects are
// gone, the lookup reports "Assertion failed: 0", which ends the asking thread; the call it was
// making still goes out, with the null entity as activator, and the relay never fires again.
TEST_F(WorldUtilTest, AMissingWorldUtilityEndsTheAskingThread) {
    Load(R"({"players": [{"name": "player1"}],
             "entities": [
               {"name": "relay", "class": "kvTarget", "targets": ["lamp_1", "lamp_2"],
                "objects": [{"class": "triggerSequential"}]},
               {"name": "lamp_1", "class": "kvLight"},
               {"name": "lamp_2", "class": "kvLight"}],
             "timeline": [
               {"frame": 12, "event": "activate", "entity": "relay"},
               {"frame": 22, "event": "activate", "entity": "relay"},
               {"frame": 32, "event": "activate", "entity": "relay"}]})");
    RunUntil(15);
    EXPECT_EQ(Calls("Activate("), (std::vector<std::string>{"13 lamp_1.Activate(player1)"}));

    world->RemoveEntity(Handle("world"), /*destroyNow=*/true);
    RunUntil(40);
    EXPECT_EQ(Console("relay."), (std::vector<std::string>{
                                     "23 Quorin Error: relay.triggerSequential.Init: Assertion failed: 0"}));
    EXPECT_EQ(Calls("Activate("),
              (std::vector<std::string>{"13 lamp_1.Activate(player1)", "23 lamp_2.Activate(<none>)"}));
    EXPECT_EQ(ThreadEnd(ThreadStartedOn("relay", "Init")), "23 ended itself");
}

}  // namespace
}  // namespace scripts_test
