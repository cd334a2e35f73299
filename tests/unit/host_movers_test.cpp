// The host's movers family (host/sim/movers/Movers.h): the share of a move covered with speed-up and
// slow-down phases, moves by speed with those phases, bind chains that follow and turn, a
// child's own move on a moving parent, truthful IsMoving / IsRotating, spline angles, and the
// checkpoint stream.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "hostcalls/qoEntity.h"
#include "host/level/Checkpoint.h"
#include "host/level/Level.h"
#include "host/sim/movers/Movers.h"
#include "host/records/TraceSink.h"
#include "host/records/TraceWriter.h"
#include "host/world/World.h"
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

// The per-frame pass visits the movers under way and nothing else; the entities bound to a mover
// follow it in that pass, even when nobody asks where they are. A mover at rest leaves the list.
TEST_F(HostMoversTest, OnlyMoversUnderWayAreVisitedAndTheirChildrenFollow) {
    world->SetFrameTime(10);
    for (int i = 0; i < 50; ++i) Spawn(("idle" + std::to_string(i)).c_str(), "kvProp");
    const qoEntity door = Spawn("door", "kvMover");
    const qoEntity bolt = Spawn("bolt", "kvMover", {10, 0, 0});
    const qoEntity latch = Spawn("latch", "kvProp", {10, 0, 5});
    const qoEntity loose = Spawn("loose", "kvProp", {-10, 0, 0});
    bolt.Bind(door);
    latch.Bind(bolt);
    loose.Bind(door);
    EXPECT_TRUE(world->SimulatedEntities().empty());

    door.Time(1);
    door.MoveToPos({0, 0, 100});
    door.RotateOnce({0, 90, 0});
    EXPECT_EQ(world->SimulatedEntities(), std::vector<uint32_t>{door.handle}) << "listed once for both";
    loose.Unbind();
    world->RunFrames(50);
    EXPECT_NEAR(Get(latch).origin.z, 55.0f, 1e-3f) << "two binds down, moved by the pass alone";
    EXPECT_EQ(Text(Get(loose).origin), "-10,0,0") << "unbound before the move went on";
    world->RunFrames(50);
    EXPECT_TRUE(world->SimulatedEntities().empty());
    EXPECT_FALSE(Get(door).simulated);
    EXPECT_NEAR(Get(bolt).origin.y, 10.0f, 1e-3f);
    EXPECT_NEAR(Get(bolt).origin.z, 100.0f, 1e-3f);

    door.RemoveBinds();
    door.StartSpline(door);  // a spline of one point: no way to go
    door.Rotate({0, 10, 0});
    EXPECT_EQ(world->SimulatedEntities(), std::vector<uint32_t>{door.handle});
    world->RunFrames(10);
    EXPECT_NEAR(Get(bolt).origin.y, 10.0f, 1e-3f) << "no longer bound";
    world->RemoveEntity(door.handle);
    world->RunFrames(1);
    EXPECT_TRUE(world->SimulatedEntities().empty()) << "a removed mover leaves the list";
}

// A level may bind an entity to one it defines further down.
TEST_F(HostMoversTest, ALevelBindsToAnEntityDefinedLater) {
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    ASSERT_TRUE(qohost::ParseLevel(R"({"entities": [
        {"name": "bolt", "class": "kvMover", "origin": [5, 0, 0], "bindTo": "door"},
        {"name": "door", "class": "kvMover"}]})",
                                   "t.json", level, errors))
        << qohost::ErrorLines(errors);
    ASSERT_TRUE(qohost::LoadLevel(*world, level, errors)) << qohost::ErrorLines(errors);
    Entity& door = *world->EntityByName("door");
    EXPECT_EQ(world->EntityByName("bolt")->bindParent, door.handle);
    qohost::PlaceOrigin(*world, door, {0, 0, 10});
    EXPECT_EQ(Text(world->EntityByName("bolt")->origin), "5,0,10");
}

// A trace shows each move and rotation as a slice on its mover's tracks: it ends where it was
// planned to, where StopMoving cut it short, or where the trace ends for an endless turn.
TEST_F(HostMoversTest, TraceShowsMovesAsSlicesOnTheMoverTracks) {
    world->SetFrameTime(10);
    const std::string path = ::testing::TempDir() + "qohost_mover_trace_" + std::to_string(::getpid()) + ".json";
    qohost::TraceWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, "test", error)) << error;
    qohost::TraceSink sink(*world, writer);
    world->AddSink(sink);

    const qoEntity door = Spawn("door", "kvMover");
    door.Time(0.2f);
    door.RotateOnce({0, 90, 0});
    door.Time(0.5f);
    door.MoveToPos({0, 0, 100});
    world->RunFrames(30);
    door.StopMoving();  // the move; the rotation was over already
    door.Time(1);
    door.MoveToPos({0, 0, 0});
    world->RunFrames(100);
    door.Rotate({0, 45, 0});
    world->RunFrames(20);
    sink.Finish();
    world->RemoveSink(sink);
    ASSERT_TRUE(writer.Close(error)) << error;

    std::ifstream in(path);
    const nlohmann::json doc = nlohmann::json::parse(in, nullptr, false);
    std::remove(path.c_str());
    ASSERT_FALSE(doc.is_discarded());
    std::map<int64_t, std::string> tracks;
    std::vector<std::string> slices;
    for (const auto& ev : doc["traceEvents"]) {
        if (ev["ph"] == "M" && ev["name"] == "thread_name") tracks[ev["tid"]] = ev["args"]["name"];
        if (ev["ph"] == "X" && ev["cat"] == "mover")
            slices.push_back(tracks[ev["tid"]] + ": " + std::string(ev["name"]) + " " +
                             std::to_string(int64_t(ev["ts"]) / 1000) + "+" +
                             std::to_string(int64_t(ev["dur"]) / 1000));
    }
    // Each move names where it goes; its arguments say where it came from.
    for (const auto& ev : doc["traceEvents"])
        if (ev["ph"] == "X" && ev["cat"] == "mover" && ev["name"] == "move to (0 0 0)") {
            EXPECT_EQ(ev["args"]["from"], "(0 0 60)") << ev;  // where the stop left it, 0.3 s of 0.5
            EXPECT_EQ(ev["args"]["to"], "(0 0 0)") << ev;
        }
    const int64_t t0 = world->GameTime() - 1500;  // the first move started 1.5 s before the end
    auto at = [&](int64_t ms) { return std::to_string(t0 + ms); };
    EXPECT_EQ(slices, (std::vector<std::string>{
                          "mover door (moves): move to (0 0 100) " + at(0) + "+300",
                          "mover door (rotation): rotate to (0 90 0) " + at(0) + "+200",  // written when the stop came
                          "mover door (moves): move to (0 0 0) " + at(300) + "+1000",
                          "mover door (rotation): spin " + at(1300) + "+200",
                      }));
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
