// References to kill counters: their own operations forward to the counter's Init and
// DrawStatus, resolved through the host on every call; a missing counter is the assertion.
#include <gtest/gtest.h>

#include <type_traits>

#include "hostcalls/qoObjectRef.h"
#include "scripts/goals/combatGoal.h"
#include "tests/support/HostFixture.h"

namespace {

static_assert(std::is_base_of_v<qoObject<_combatGoal>, qoObject<_goalKillCounter>>);
static_assert(sizeof(qoObject<_goalKillCounter>) == 16);

class KillCounterReference : public qohost::test::HostFixture {};

TEST_F(KillCounterReference, ForwardsInitAndDrawStatusThroughItsOwnOperations) {
    qohost::Entity& e = world->SpawnEntity("goal", "kvTarget");
    e.origin = {8, 0, 0};
    const uint32_t index = world->AddScriptObject(e, "_goalKillCounter");
    auto* counter = static_cast<_goalKillCounter*>(world->ScriptObject(e.handle, index));
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->goalState, _combatGoal::GOAL_WAITING);

    qoObject<_goalKillCounter> ref;
    ref.Bind(qoEntity(e.handle));
    // The reference's table: the root's Resolve, then Init, then DrawStatus.
    qohost::test::CallSlot<void>(&ref, 1);
    EXPECT_EQ(counter->goalState, _combatGoal::GOAL_RUNNING);
    EXPECT_EQ(counter->nCount, 1) << "Init raised nCount to 1";
    qohost::test::CallSlot<void>(&ref, 2);
    ASSERT_EQ(world->recorder.draws.size(), 1u);
    EXPECT_EQ(world->recorder.draws[0].text, "Running - Count: 1");

    // Resolved again on each call: once the entity is gone the call reports the assertion.
    world->RemoveEntity(e.handle, true);
    ref.DrawStatus();
    EXPECT_EQ(world->recorder.draws.size(), 1u);
    EXPECT_TRUE(world->console.Contains("Assertion failed: 0")) << ConsoleText();
}

}  // namespace
