// The host's movers family (host/Movers.h): the share of a move covered with speed-up and
// slow-down phases, moves by speed with those phases, bind chains that follow and turn, a
// child's own move on a moving parent, truthful IsMoving / IsRotating, spline angles, and the
// checkpoint stream.
#include <gtest/gtest.h>

#include <string>

#include "core/qoEntity.h"
#include "host/Checkpoint.h"
#include "host/Movers.h"
#include "host/World.h"
#include "tests/support/HostFixture.h"

namespace {

using qohost::Entity;

std::string Text(const qoVector& v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%g,%g,%g", v.x, v.y, v.z);
    return buf;
}

struct ProgressCase {
    const char* name;
    int64_t elapsed;
    int32_t duration, accel, decel;
    float share;
};

class MoveProgressTest : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(MoveProgressTest, ShareOfTheMove) {
    const ProgressCase& c = GetParam();
    EXPECT_NEAR(qohost::MoveProgress(c.elapsed, c.duration, c.accel, c.decel), c.share, 1e-5f);
}

// A 1000 ms move with 200 ms speed-up and slow-down cruises at 1/800 per ms: 0.125 is covered
// by the end of the speed-up, half at half time, all at the end.
INSTANTIATE_TEST_SUITE_P(
    Cases, MoveProgressTest,
    ::testing::Values(ProgressCase{"EvenSpeed", 250, 1000, 0, 0, 0.25f},
                      ProgressCase{"BeforeTheStart", -5, 1000, 200, 200, 0.0f},
                      ProgressCase{"EndOfSpeedUp", 200, 1000, 200, 200, 0.125f},
                      ProgressCase{"HalfInTheSpeedUp", 100, 1000, 200, 200, 0.03125f},
                      ProgressCase{"HalfTime", 500, 1000, 200, 200, 0.5f},
                      ProgressCase{"StartOfSlowDown", 800, 1000, 200, 200, 0.875f},
                      ProgressCase{"AllSpeedUp", 500, 1000, 1000, 0, 0.25f},
                      ProgressCase{"AtTheEnd", 1000, 1000, 200, 200, 1.0f},
                      ProgressCase{"NoDuration", 0, 0, 0, 0, 1.0f}),
    [](const auto& info) { return std::string(info.param.name); });

class HostMoversTest : public qohost::test::HostFixture {
protected:
    qoEntity Spawn(const char* name, const char* hostClass, qoVector origin = {}) {
        Entity& e = world->SpawnEntity(name, hostClass);
        e.origin = origin;
        return qoEntity(e.handle);
    }
    Entity& Get(const qoEntity& e) { return *world->EntityByHandle(e.handle); }
    int32_t MsUntilStopped(const qoEntity& e) {
        const int32_t start = world->GameTime();
        for (int i = 0; i < 10000 && (e.IsMoving() || e.IsRotating()); ++i) world->RunFrame();
        return world->GameTime() - start;
    }
};

// By speed, the speed-up and slow-down add half their times: the cruising speed is the speed
// asked for. By time, they fit inside it.
TEST_F(HostMoversTest, SpeedUpAndSlowDownPhases) {
    world->SetFrameTime(10);
    const qoEntity lift = Spawn("lift", "kvMover");
    lift.SetParmsForSpeed(100, 0.4f, 0.2f);
    lift.MoveToPos({0, 0, 100});
    world->RunFrames(20);
    EXPECT_NEAR(Get(lift).origin.z, 100.0f * 0.2f * 0.2f / 2.0f / 0.4f, 0.01f) << "half the speed-up: a quarter of its way";
    EXPECT_EQ(MsUntilStopped(lift) + 200, 1300);
    EXPECT_EQ(Text(Get(lift).origin), "0,0,100");

    lift.SetParmsForTime(1.0f, 2.0f, 2.0f);  // phases longer than the move: scaled to fit
    lift.MoveToPos({0, 0, 0});
    world->RunFrames(50);
    EXPECT_NEAR(Get(lift).origin.z, 50.0f, 0.01f);
    EXPECT_EQ(MsUntilStopped(lift) + 500, 1000);
}

TEST_F(HostMoversTest, BoundEntitiesFollowAndTurnWithTheirParent) {
    world->SetFrameTime(10);
    const qoEntity door = Spawn("door", "kvMover");
    const qoEntity handle = Spawn("handle", "kvMover", {10, 0, 0});
    const qoEntity knob = Spawn("knob", "kvProp", {10, 0, 5});
    handle.Bind(door);
    knob.Bind(handle);
    door.Time(1);
    door.RotateOnce({0, 90, 0});
    EXPECT_TRUE(door.IsRotating());
    EXPECT_FALSE(handle.IsRotating()) << "a child answers for its own rotation only";
    MsUntilStopped(door);
    EXPECT_NEAR(Get(handle).origin.x, 0.0f, 1e-4f);
    EXPECT_NEAR(Get(handle).origin.y, 10.0f, 1e-4f) << "turned a quarter about the door's origin";
    EXPECT_NEAR(Get(handle).angles.y, 90.0f, 1e-4f);
    EXPECT_NEAR(Get(knob).origin.y, 10.0f, 1e-4f);
    EXPECT_NEAR(Get(knob).origin.z, 5.0f, 1e-4f);

    door.MoveToPos({0, 0, 50});
    MsUntilStopped(door);
    EXPECT_NEAR(Get(knob).origin.z, 55.0f, 1e-4f) << "down the chain";
}

// A child's own move is taken relative to its parent: moving along on a moving parent, it ends
// at its goal shifted by the parent's way.
TEST_F(HostMoversTest, ChildMovesOnAMovingParent) {
    world->SetFrameTime(10);
    const qoEntity lift = Spawn("lift", "kvMover");
    const qoEntity cart = Spawn("cart", "kvMover");
    cart.Bind(lift);
    lift.Time(1);
    cart.Time(0.5f);
    lift.MoveToPos({0, 0, 100});
    cart.MoveToPos({40, 0, 0});
    world->RunFrames(25);
    EXPECT_NEAR(Get(cart).origin.x, 20.0f, 1e-3f);
    EXPECT_NEAR(Get(cart).origin.z, 25.0f, 1e-3f);
    world->RunFrames(100);
    EXPECT_EQ(Text(Get(cart).origin), "40,0,100");
    EXPECT_FALSE(cart.IsMoving());
}

TEST_F(HostMoversTest, MovingAndRotatingAnswerTruthfully) {
    world->SetFrameTime(10);
    const qoEntity m = Spawn("m", "kvMover", {5, 5, 5});
    m.MoveToPos({5, 5, 5});
    EXPECT_FALSE(m.IsMoving()) << "a move of length 0 is over at once";
    m.Speed(0);
    m.MoveToPos({50, 5, 5});
    EXPECT_FALSE(m.IsMoving()) << "speed 0 is no move in time: there at once";
    EXPECT_EQ(Text(Get(m).origin), "50,5,5");
    m.Speed(100);
    m.MoveToPos({60, 5, 5});
    world->RunFrames(9);
    EXPECT_TRUE(m.IsMoving());
    world->RunFrames(1);
    EXPECT_FALSE(m.IsMoving()) << "arrived on the frame the move ends";
    m.Rotate({0, 45, 0});
    world->RunFrames(200);
    EXPECT_TRUE(m.IsRotating());
    EXPECT_NEAR(Get(m).angles.y, 90.0f, 1e-3f);
    m.StopMoving();
    EXPECT_FALSE(m.IsRotating());
}

TEST_F(HostMoversTest, SplineAnglesTurnTheYawAlongTheLeg) {
    world->SetFrameTime(10);
    const qoEntity path = Spawn("path", "kvSplinePath");
    const qoEntity c1 = Spawn("c1", "kvTarget", {0, 100, 0});
    Get(path).targets = {c1.handle};
    EXPECT_EQ(path.GetSplineLength(), 100.0f);
    const qoEntity car = Spawn("car", "kvMover");
    car.EnableSplineAngles(true);
    car.StartSpline(path);
    world->RunFrames(50);
    EXPECT_NEAR(Get(car).angles.y, 90.0f, 1e-3f);
    EXPECT_NEAR(Get(car).origin.y, 50.0f, 1e-3f);
}

// A checkpoint file is read only when it has the checkpoint's form.
TEST_F(HostMoversTest, CheckpointFilesAreChecked) {
    qohost::Checkpoint checkpoint;
    std::string error;
    EXPECT_FALSE(qohost::ParseCheckpoint("[]", checkpoint, error));
    EXPECT_FALSE(qohost::ParseCheckpoint(R"({"frame": 3, "objects": [{"entity": "a"}]})", checkpoint, error));
    EXPECT_FALSE(qohost::ParseCheckpoint(
        R"({"frame": 3, "objects": [{"entity": "a", "class": "c", "index": 0, "values": [["x", 1]]}]})", checkpoint,
        error));
    EXPECT_EQ(error, "not a checkpoint: a value kind is 'b', 'i' or 'f'");
    ASSERT_TRUE(qohost::ParseCheckpoint(
        R"({"frame": 3, "objects": [{"entity": "a", "class": "c", "index": 0, "values": [["i", 1e12], ["f", 2.5]]}]})",
        checkpoint, error))
        << error;
    EXPECT_EQ(checkpoint.objects[0].values.size(), 2u);
}

}  // namespace
