// The host's world state in a checkpoint (host/level/WorldState.h): a world saved part-way and
// put back into a fresh load of the same entities goes on as the saved one does. Worlds here
// have no module: what is checked is the host's own state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/level/Checkpoint.h"
#include "host/level/WorldState.h"
#include "host/sim/movers/Movers.h"
#include "host/world/World.h"

namespace {

using qohost::Entity;
using qohost::World;

// What a level file gives every load: a door, a lamp that a script removes, a walker.
void LoadLevel(World& world) {
    world.SpawnEntity("door", "kvMover");
    world.SpawnEntity("lamp", "kvEntity");
    Entity& walker = world.SpawnEntity("guard", "kvAI2");
    std::vector<qohost::Waypoint> path(2);
    path[0].to = {0, 400, 0};
    path[1].to = {400, 400, 0};
    world.paths.Follow(world, walker, path);
}

TEST(HostWorldState, AMoverUnderWayASpawnedAndARemovedEntityAndACvarComeBack) {
    World saved;
    LoadLevel(saved);
    saved.RunFrames(10);
    qohost::StartMoveTo(saved, *saved.EntityByName("door"), {0, 0, 256}, 2000);
    Entity& imp = saved.SpawnEntity("imp_9", "kvAI2");
    imp.spawnArgs["lifetime"] = "4";
    imp.health = 35;
    saved.RemoveEntity(saved.EntityByName("lamp")->handle, /*destroyNow=*/true);
    saved.cvars.SetString("qo_debugAction", "kill imp_9");
    saved.RunFrames(20);

    qohost::Checkpoint checkpoint = qohost::SaveCheckpoint(saved, /*withWorld=*/true);
    qohost::Checkpoint reread;
    std::string error;
    ASSERT_TRUE(qohost::ParseCheckpoint(qohost::CheckpointText(checkpoint), reread, error)) << error;

    World loaded;
    LoadLevel(loaded);
    std::vector<std::string> notes;
    ASSERT_TRUE(qohost::RestoreWorldEntities(loaded, reread.world, notes));
    qohost::RestoreWorldState(loaded, reread.world, notes);
    loaded.SetClock(reread.frame, reread.timeMs);
    EXPECT_TRUE(notes.empty()) << notes.front();

    EXPECT_EQ(loaded.EntityByName("lamp"), nullptr);
    const Entity* back = loaded.EntityByName("imp_9");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->handle, imp.handle);
    EXPECT_EQ(back->health, 35);
    EXPECT_EQ(back->spawnArgs.at("lifetime"), "4");
    EXPECT_EQ(loaded.cvars.Value("qo_debugAction"), "kill imp_9");
    // Both worlds go on the same way: the door ends its move, the guard its walk.
    for (int frame = 0; frame < 300; ++frame) {
        saved.RunFrame();
        loaded.RunFrame();
        for (const char* name : {"door", "guard"}) {
            const qoVector a = saved.EntityByName(name)->origin, b = loaded.EntityByName(name)->origin;
            ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << name << " at frame " << saved.Frame();
        }
    }
    EXPECT_EQ(loaded.EntityByName("door")->origin.z, 256.0f);
    EXPECT_EQ(loaded.EntityByName("guard")->origin.x, 400.0f);
    // Entities spawned later get the handles the saved run would give them.
    EXPECT_EQ(loaded.SpawnEntity("", "kvAI2").handle, saved.SpawnEntity("", "kvAI2").handle);
}

// A saved entity that this world has with another class or handle means another level: nothing
// is changed.
TEST(HostWorldState, AStateThatDoesNotFitIsRefusedWholly) {
    World saved;
    LoadLevel(saved);
    const qohost::Checkpoint checkpoint = qohost::SaveCheckpoint(saved, /*withWorld=*/true);
    World other;
    other.SpawnEntity("lamp", "kvEntity");
    other.SpawnEntity("door", "kvMover");
    std::vector<std::string> notes;
    EXPECT_FALSE(qohost::RestoreWorldEntities(other, checkpoint.world, notes));
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes.front().find("entity 'door' is #"), std::string::npos) << notes.front();
    EXPECT_NE(other.EntityByName("lamp"), nullptr);
}

TEST(HostWorldState, CheckpointVersionsAreRead) {
    struct Case {
        const char* text;
        bool reads;
        int version;
        const char* error;
    } cases[] = {
        {R"({"frame": 3, "objects": []})", true, 1, ""},
        {R"({"version": 2, "level": "Vault", "frame": 3, "objects": [], "world": {"cvars": {}}})", true, 2, ""},
        {R"({"version": 3, "frame": 3, "objects": []})", false, 0,
         "not a checkpoint: version 3 is newer than this qohost reads (2)"},
        {R"({"version": 2, "frame": 3, "objects": [], "world": []})", false, 0,
         "not a checkpoint: 'world' must be an object"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        qohost::Checkpoint checkpoint;
        std::string error;
        EXPECT_EQ(qohost::ParseCheckpoint(c.text, checkpoint, error), c.reads);
        if (c.reads) EXPECT_EQ(checkpoint.version, c.version);
        else EXPECT_EQ(error, c.error);
    }
}

}  // namespace
