// References to spawners: after the network node's OnSignal, their own operations forward to
// SpawnFor and TimeTillAvailable, and only to a spawn manager, cluster or spawner.
#include <gtest/gtest.h>

#include <type_traits>

#include "hostcalls/qoObjectRef.h"
#include "scripts/encounter/pHell_Spawner.h"
#include "tests/support/HostFixture.h"

namespace {

static_assert(std::is_base_of_v<qoObject<pHell_SpawnCluster>, qoObject<pHell_SpawnManager>>);
static_assert(std::is_base_of_v<qoObject<pHell_NetworkNode>, qoObject<pHell_Spawner>>);
static_assert(sizeof(qoObject<pHell_SpawnManager>) == 16);

class SpawnerReference : public qohost::test::HostFixture {};

TEST_F(SpawnerReference, ForwardsThroughItsOwnOperationsToSpawnersOnly) {
    world->DefineDecl("kvDeclEntityDef", "monster/imp", "kvAI2");
    qohost::Entity& pit = world->SpawnEntity("pit", "kvTarget_Spawn");
    pit.entityDefs = {"monster/imp"};
    pit.spawnArgs["spawnCooldownMs"] = "300";
    auto* spawner = static_cast<pHell_Spawner*>(world->ScriptObject(pit.handle, world->AddScriptObject(pit, "pHell_Spawner")));
    ASSERT_NE(spawner, nullptr);
    spawner->InitNetworkNode();

    qoObject<pHell_Spawner> ref;
    ref.Bind(qoEntity(pit.handle));
    // The table: the root's Resolve, the node's OnSignal, then SpawnFor and TimeTillAvailable.
    EXPECT_FALSE(qohost::test::CallSlot<bool>(&ref, 1, 0u, 8, 9));
    EXPECT_EQ(qohost::test::CallSlot<int32_t>(&ref, 3, qoEntity()), 0);
    const qoEntity spawned = qohost::test::CallSlot<qoEntity>(&ref, 2, qoEntity());
    EXPECT_NE(spawned.handle, 0u);
    EXPECT_EQ(pit.lastSpawned, spawned.handle);
    EXPECT_EQ(qohost::test::CallSlot<int32_t>(&ref, 3, qoEntity()), 300);

    // A node that is no spawner by its type: no spawn, -1, nothing asked of the host.
    spawner->nodeType = pHell_NetworkNode::PH_EVENT_COUNTER;
    EXPECT_EQ(ref.SpawnFor(qoEntity()).handle, 0u);
    EXPECT_EQ(ref.TimeTillAvailable(qoEntity()), -1);
    EXPECT_EQ(pit.lastSpawned, spawned.handle);
    EXPECT_FALSE(world->console.Contains("Assertion failed"));

    // Resolved on every call: once the entity is gone the call reports the assertion.
    world->RemoveEntity(pit.handle, true);
    EXPECT_EQ(ref.TimeTillAvailable(qoEntity()), -1);
    EXPECT_TRUE(world->console.Contains("Assertion failed: 0")) << ConsoleText();
}

}  // namespace
