// The reference host's spawn entities: spawning on activation with the level's names, the busy
// time, lifetimes, deaths passed on to the spawner's targets, and the level field that names
// what a spawner spawns.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/level/Level.h"
#include "host/methods/Events.h"
#include "host/sim/spawning/Spawning.h"
#include "host/world/World.h"
#include "tests/support/HostFixture.h"

namespace qohost {
namespace {

class HostSpawning : public test::HostFixture {
protected:
    void SetUp() override {
        test::HostFixture::SetUp();
        Decl* imp = const_cast<Decl*>(world->DefineDecl("kvDeclEntityDef", "monster/imp", "kvAI2"));
        imp->args["health"] = "60";
        imp->args["lifetime"] = "0.1";
        world->DefineDecl("kvDeclEntityDef", "monster/demon", "kvAI2");
        Entity& pit = world->SpawnEntity("pit", "kvTarget_Spawn");
        pit.origin = {64, 32, 0};
        pit.angles = {0, 90, 0};
        pit.entityDefs = {"monster/imp", "monster/demon"};
        pit.methods->spawnNames = {"imp_a"};
        pit.spawnArgs["spawnCooldownMs"] = "100";
        // The pit reports deaths to a relay whose script object takes activations.
        Entity& relay = world->SpawnEntity("relay", "kvTarget");
        world->AddScriptObject(relay, "triggerLerpDelay");
        pit.targets = {relay.handle};
        pitHandle = pit.handle;
    }

    std::vector<std::string> Events() const { return world->recorder.TextsOfKind("event"); }

    uint32_t pitHandle = 0;
};

// Activation spawns the defs in turn at the spawner's place, named from its list and then after
// the def; while busy an activation spawns nothing.
TEST_F(HostSpawning, SpawnsOnActivationInTurnUnlessBusy) {
    ActivateEntity(*world, pitHandle, 0);
    Entity* a = world->EntityByName("imp_a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->hostClass, "kvAI2");
    EXPECT_EQ(a->health, 60);
    EXPECT_EQ(a->origin.x, 64.0f);
    EXPECT_EQ(a->angles.y, 90.0f);
    EXPECT_EQ(world->EntityByName("pit")->lastSpawned, a->handle);

    ActivateEntity(*world, pitHandle, 0);  // busy for 100 ms
    EXPECT_EQ(world->EntityByName("pit")->lastSpawned, a->handle);
    world->RunFrames(7);  // 112 ms
    ActivateEntity(*world, pitHandle, 0);
    const Entity* second = world->EntityByHandle(world->EntityByName("pit")->lastSpawned);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->name, "monster/demon_" + std::to_string(second->handle));
    EXPECT_EQ(second->health, 100);

    const std::vector<std::string> events = Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "pit spawned nothing: busy"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "spawned imp_a from pit"), 1);

    // Activating an entity that is not a spawn entity spawns nothing, whatever defs it has.
    Entity& target = world->SpawnEntity("plain", "kvTarget");
    target.entityDefs = {"monster/imp"};
    ActivateEntity(*world, target.handle, 0);
    EXPECT_EQ(target.lastSpawned, 0u);
}

// A spawned AI dies when its lifetime is over; its death, however it came, reaches the targets
// of its spawner once, with the dead AI as activator.
TEST_F(HostSpawning, LifetimesEndAndDeathsReachTheSpawnersTargets) {
    ActivateEntity(*world, pitHandle, 0);  // imp_a, lifetime 0.1 s
    world->RunFrames(7);
    ActivateEntity(*world, pitHandle, 0);  // a demon, no lifetime
    const uint32_t demon = world->EntityByName("pit")->lastSpawned;
    world->RunFrames(1);
    EXPECT_TRUE(world->EntityByName("imp_a")->dead);
    EXPECT_FALSE(world->EntityByHandle(demon)->dead);

    world->EntityByHandle(demon)->dead = true;  // killed some other way
    world->RunFrames(3);
    std::vector<std::string> notices;
    for (const std::string& e : Events())
        if (e.rfind("OnActivate relay", 0) == 0) notices.push_back(e);
    EXPECT_EQ(notices, (std::vector<std::string>{"OnActivate relay #0 by imp_a",
                                                 "OnActivate relay #0 by " + world->EntityByHandle(demon)->name}));
}

// ---- the level field ----------------------------------------------------------------------------

TEST(LevelSpawnNames, NameWhatASpawnerSpawnsAndMayBeNamedByTheTimeline) {
    const char* level = R"({"entityDefs": {"monster/imp": {"class": "kvAI2"}},
        "entities": [{"name": "pit", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"],
                      "spawnNames": ["imp_a", "imp_b"]}],
        "timeline": [{"frame": 5, "event": "death", "entity": "imp_b"}]})";
    LevelDesc desc;
    LevelErrors errors;
    ASSERT_TRUE(ParseLevel(level, "ok.json", desc, errors)) << ErrorLines(errors);
    ASSERT_NE(desc.FindEntity("pit"), nullptr);
    EXPECT_EQ(desc.FindEntity("pit")->more->spawnNames, (std::vector<std::string>{"imp_a", "imp_b"}));

    struct Case {
        const char* spawnNames;
        const char* error;
    };
    const Case bad[] = {
        {R"(["pit"])", "bad.json: entity 'pit', field 'spawnNames[0]': spawn name 'pit' is already taken"},
        {R"(["a", "a"])", "bad.json: entity 'pit', field 'spawnNames[1]': spawn name 'a' is already taken"},
        {R"("a")", "bad.json: entity 'pit', field 'spawnNames': expected an array of names, got a string"},
    };
    for (const Case& c : bad) {
        LevelDesc out;
        LevelErrors found;
        EXPECT_FALSE(ParseLevel(std::string(R"({"entities": [{"name": "pit", "class": "kvTarget_Spawn", "spawnNames": )") +
                                    c.spawnNames + "}]}",
                                "bad.json", out, found));
        ASSERT_FALSE(found.empty()) << c.spawnNames;
        EXPECT_EQ(found[0].Text(), c.error);
    }
}

}  // namespace
}  // namespace qohost
