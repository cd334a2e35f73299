// Host methods called by the library's own scripts: a chain of sequential relays, where each
// relay's wrapper calls go through the reference host and its Activate reaches the next relay
// (whose thread, already waiting in the same frame, fires right after).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorin/qoMethodCatalogue.h"
#include "tests/behaviour/scripts_levels.h"

namespace {

using scripts_test::InOrder;

constexpr const char* kChain = R"({
  "players": [{"name": "player1"}],
  "entities": [
    {"name": "relay1", "class": "kvTarget", "targets": ["relay2"],
     "objects": [{"class": "triggerSequential", "properties": {"loop": false}}]},
    {"name": "relay2", "class": "kvTarget", "targets": ["crate"],
     "objects": [{"class": "triggerSequential", "properties": {"loop": false}}]},
    {"name": "crate", "class": "kvProp"}
  ],
  "timeline": [{"frame": 2, "event": "activate", "entity": "relay1", "by": "player1"}]
})";

class HostCallsScriptsTest : public scripts_test::LevelTest {};

TEST_F(HostCallsScriptsTest, ActivateFromOneScriptReachesTheNext) {
    Load(kChain);
    RunUntil(6);
    EXPECT_TRUE(InOrder(Calls(), {"0 relay1.NumTargets()", "0 relay2.NumTargets()",
                                  "3 relay1.GetTarget(0)", "3 relay2.Activate(player1)",
                                  "3 relay2.GetTarget(0)", "3 crate.Activate(player1)"}));
    EXPECT_EQ(Records("event", "relay2"), (std::vector<std::string>{"3 OnActivate relay2 #0 by player1"}));
    EXPECT_TRUE(Console("failed").empty());
}

// A relay whose target was removed: the call fails and the warning names the script's entity,
// class and thread.
TEST_F(HostCallsScriptsTest, CallOnARemovedEntityWarnsInTheScriptsThread) {
    Load(kChain);
    world->RemoveEntity(Handle("relay2"));
    RunUntil(6);
    EXPECT_EQ(Console("failed"), (std::vector<std::string>{
                                     "3 Quorin Warning: relay1.triggerSequential.Init: "
                                     "relay2.Activate failed."}));
    // The log names the method and the entity it was meant for.
    EXPECT_TRUE(InOrder(Calls(), {"3 relay1.GetTarget(0)",
                                  "3 relay2.Activate failed: the entity was removed"}));
}

}  // namespace
