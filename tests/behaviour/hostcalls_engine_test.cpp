// Host entity methods with the shared library loaded as an engine loads it: the reference host
// dispatches through the public method catalogue and delivers the effects of activation to the
// library's own script objects.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/world/World.h"
#include "quorin/qoMethodCatalogue.h"
#include "tests/support/HostFixture.h"

namespace {

using qohost::Entity;

class HostCallsEngineTest : public qohost::test::HostFixture {
protected:
    // Slot 12 as an engine's own code would call it, with the handle packed in slot 0.
    bool CallWithEntity(uint32_t entity, int32_t method, uint32_t argument) {
        alignas(8) unsigned char buffer[16];
        std::memcpy(buffer, &argument, 4);
        return world->CallEntityMethod(entity, method, "e", buffer);
    }
};

TEST_F(HostCallsEngineTest, ActivateReachesTheLibrarysObjectsThatHandleIt) {
    Entity& player = world->SpawnEntity("player1", "kvPlayer");
    Entity& relay = world->SpawnEntity("relay", "kvTarget");
    Entity& note = world->SpawnEntity("note", "kvTarget");
    ASSERT_NE(world->AddScriptObject(relay, "triggerSequential"), qohost::kNoObject);
    ASSERT_NE(world->AddScriptObject(note, "qoComment"), qohost::kNoObject);
    Entity& trigger = world->SpawnEntity("trigger", "kvTrigger");
    trigger.targets = {relay.handle, note.handle};

    EXPECT_TRUE(CallWithEntity(trigger.handle, qoMethod_ActivateTargets, player.handle));
    EXPECT_EQ(world->recorder.TextsOfKind("event"),
              (std::vector<std::string>{"OnActivate relay #0 by player1"}));
    EXPECT_EQ(world->recorder.TextsOfKind("method"),
              (std::vector<std::string>{"trigger.ActivateTargets(player1)"}));
}

TEST_F(HostCallsEngineTest, ResultsComeFromTheGetterOfTheirKind) {
    Entity& mover = world->SpawnEntity("lift", "kvMover");
    mover.origin = {1, 2, 3};
    ASSERT_TRUE(world->CallEntityMethod(mover.handle, qoMethod_GetOrigin, "", nullptr));
    float xyz[3] = {};
    world->GetVectorResult(xyz);
    EXPECT_EQ(xyz[0], 1.0f);
    EXPECT_EQ(xyz[2], 3.0f);
    ASSERT_TRUE(world->CallEntityMethod(mover.handle, qoMethod_GetName, "", nullptr));
    EXPECT_STREQ(world->GetStringResult(), "lift");
    ASSERT_TRUE(world->CallEntityMethod(mover.handle, qoMethod_IsMoving, "", nullptr));
    EXPECT_EQ(world->GetIntResult(), 0);
    EXPECT_FALSE(world->CallEntityMethod(mover.handle, qoMethod_GetOrigin, "v", nullptr));
}

}  // namespace
