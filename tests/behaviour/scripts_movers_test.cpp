// The movers of the shared library in running levels: moving platforms travelling their chain
// of move keys, moverExtender command lists (repeats, waits, pauses, failures, splines,
// rotation, children, checkpoints through SyncState), mover_modifier and util_bobMover, and the
// layouts an editor reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/level/Checkpoint.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

constexpr int32_t kFrameMs = 16;

std::string Activate(int frame, const char* entity) {
    return R"({"frame": )" + std::to_string(frame) + R"(, "event": "activate", "entity": ")" + entity +
           R"(", "by": "player1"})";
}

// A level: player1, the given entities and timeline events.
std::string Level(const std::vector<std::string>& entities, const std::vector<std::string>& timeline) {
    std::string e = R"({"name": "player1", "class": "kvPlayer"})", t;
    for (const std::string& x : entities) e += ", " + x;
    for (const std::string& x : timeline) t += (t.empty() ? "" : ", ") + x;
    return R"({"players": [], "decls": {"kvSoundShader": ["door/move", "door/stop"]}, "entities": [)" + e +
           R"(], "timeline": [)" + t + "]}";
}

std::string Entity(const char* name, const char* hostClass, const char* origin, const std::string& objects = "",
                   const std::string& extra = "") {
    return R"({"name": ")" + std::string(name) + R"(", "class": ")" + hostClass + R"(", "origin": )" + origin +
           (extra.empty() ? "" : ", " + extra) + (objects.empty() ? "" : R"(, "objects": [)" + objects + "]") + "}";
}

std::string ScriptObject(const char* className, const std::string& properties) {
    return R"({"class": ")" + std::string(className) + R"(", "properties": {)" + properties + "}}";
}

class MoversTest : public LevelTest {
protected:
    qoVector Origin(const char* name) const { return Ent(name).origin; }
    int Count(const std::string& part) const { return static_cast<int>(Calls(part).size()); }
    // Frames of the calls whose text contains `part`.
    std::vector<int> Frames(const std::string& part) const {
        std::vector<int> frames;
        for (const std::string& call : Calls(part)) frames.push_back(std::stoi(call));
        return frames;
    }
    // The movers' warnings without their "Quorin Warning: entity.class.thread: " prefix (the
    // world utility's missing players left out).
    std::vector<std::string> Warnings() const {
        std::vector<std::string> out;
        for (const std::string& line : Console()) {
            if (line.find("Quorin Warning: ") == std::string::npos || line.find("qoWorldUtil") != std::string::npos)
                continue;
            const size_t at = line.find(": ", line.find("Warning: ") + 9);
            out.push_back(line.substr(at + 2));
        }
        return out;
    }
};

// ---- moving platforms -----------------------------------------------------------------------

// A platform at the origin with its first leg's settings, and keys k1 (100, 0, 0) -> k2
// (100, 100, 0) -> k3 (0, 100, 0), each with its own settings.
std::string PlatformLevel(const std::string& platform, const std::string& k1, const std::string& k2,
                          const std::vector<std::string>& timeline = {}) {
    return Level({Entity("lift", "kvMover", "[0, 0, 0]", ScriptObject("pHell_MovingPlatform", platform)),
                  Entity("k1", "kvTarget", "[100, 0, 0]", ScriptObject("pHell_MoveKey", k1)),
                  Entity("k2", "kvTarget", "[100, 100, 0]", ScriptObject("pHell_MoveKey", k2)),
                  Entity("k3", "kvTarget", "[0, 100, 0]", ScriptObject("pHell_MoveKey", R"("moveKeyInfo": {})"))},
                 timeline);
}

struct PlatformCase {
    const char* name;
    std::string platform, k1, k2;
    std::vector<std::string> timeline;
    int32_t runTo;
    std::vector<std::string> calls;  // lift calls in order (other calls may come between)
    std::vector<std::string> warnings;
    const char* endsAt;              // origin at the end
};

void PrintTo(const PlatformCase& c, std::ostream* os) { *os << c.name; }

class PlatformTest : public MoversTest, public ::testing::WithParamInterface<PlatformCase> {};

TEST_P(PlatformTest, TravelsTheChainOfKeys) {
    const PlatformCase& c = GetParam();
    Load(PlatformLevel(c.platform, c.k1, c.k2, c.timeline));
    RunUntil(c.runTo);
    EXPECT_TRUE(InOrder(Calls("lift."), c.calls));
    EXPECT_EQ(Warnings(), c.warnings);
    EXPECT_EQ(Text(Origin("lift")), c.endsAt);
}

const std::string kToK1 = R"("moveKeyInfo": {"nextKey": "k1", "moveSpeed": 100})";

INSTANTIATE_TEST_SUITE_P(
    Cases, PlatformTest,
    ::testing::Values(
        PlatformCase{"SpeedMinusOneKeepsTheSpeed", kToK1, R"("moveKeyInfo": {"nextKey": "k2", "moveSpeed": -1})",
                     R"("moveKeyInfo": {"nextKey": "k3", "moveSpeed": 50})", {}, 400,
                     {"lift.SetParmsForSpeed(100, 0, 0)", "lift.MoveTo(k1)", "lift.SetParmsForSpeed(100, 0, 0)",
                      "lift.MoveTo(k2)", "lift.SetParmsForSpeed(50, 0, 0)", "lift.MoveTo(k3)"},
                     {}, "(0 100 0)"},
        PlatformCase{"MinusFiveBecomesSixteenWithAWarning", kToK1,
                     R"("moveKeyInfo": {"nextKey": "k2", "moveSpeed": -5})", R"("moveKeyInfo": {})", {}, 200,
                     {"lift.MoveTo(k1)", "lift.SetParmsForSpeed(16, 0, 0)", "lift.MoveTo(k2)"},
                     {"Invalid moveKeyInfo.moveSpeed"}, "(100 35.072 0)"},
        PlatformCase{"InstantaneousKeysJump", kToK1,
                     R"("moveKeyInfo": {"nextKey": "k2", "instantaneous": true})",
                     R"("moveKeyInfo": {"nextKey": "k3", "instantaneous": true})", {}, 100,
                     {"lift.MoveTo(k1)", "lift.SetWorldOrigin((100 100 0))", "lift.SetWorldOrigin((0 100 0))"},
                     {}, "(0 100 0)"},
        PlatformCase{"WaitsAtAKeyForATrigger", kToK1,
                     R"("moveKeyInfo": {"nextKey": "k2", "moveSpeed": 200, "waitForTrigger": true})",
                     R"("moveKeyInfo": {})", {}, 300, {"lift.MoveTo(k1)"}, {}, "(100 0 0)"},
        PlatformCase{"GoesOnOnceTriggered", kToK1,
                     R"("moveKeyInfo": {"nextKey": "k2", "moveSpeed": 200, "waitForTrigger": true})",
                     R"("moveKeyInfo": {})", {Activate(200, "lift")}, 300,
                     {"lift.MoveTo(k1)", "lift.SetParmsForSpeed(200, 0, 0)", "lift.MoveTo(k2)"}, {}, "(100 100 0)"},
        PlatformCase{"StartOnMapLoadOffStays", R"("startOnMapLoad": false, )" + kToK1, R"("moveKeyInfo": {})",
                     R"("moveKeyInfo": {})", {}, 100, {}, {}, "(0 0 0)"},
        PlatformCase{"StartOnMapLoadOffGoesWhenActivated", R"("startOnMapLoad": false, )" + kToK1,
                     R"("moveKeyInfo": {})", R"("moveKeyInfo": {})", {Activate(50, "lift")}, 200,
                     {"lift.MoveTo(k1)"}, {}, "(100 0 0)"}),
    [](const auto& info) { return std::string(info.param.name); });

// The platform's first leg goes only when activated; the frames of its moves show the 1 s leg.
TEST_F(MoversTest, PlatformWaitingForTriggerMovesOnlyAfterIt) {
    Load(PlatformLevel(kToK1, R"("moveKeyInfo": {"nextKey": "k2", "moveSpeed": 100, "waitForTrigger": true})",
                       R"("moveKeyInfo": {})", {Activate(150, "lift")}));
    RunUntil(149);
    EXPECT_EQ(Count("lift.MoveTo("), 1);
    EXPECT_EQ(Text(Origin("lift")), "(100 0 0)");
    RunUntil(300);
    // Then once more at k2, whose own next key is itself: a move of length 0 that ends the chain.
    EXPECT_EQ(Frames("lift.MoveTo(k2)"), (std::vector<int>{150, 213}));
    EXPECT_EQ(Text(Origin("lift")), "(100 100 0)");
}

// ---- moverExtender --------------------------------------------------------------------------

// A command moving by a direction in `time` seconds, with extra fields.
std::string Step(const char* direction, const char* time = "0.1", const std::string& extra = "") {
    return R"({"moverInfo": {"time": )" + std::string(time) + R"(}, "direction": )" + direction +
           (extra.empty() ? "" : ", " + extra) + "}";
}

std::string Commands(const std::vector<std::string>& steps) {
    std::string out;
    for (const std::string& s : steps) out += (out.empty() ? "" : ", ") + s;
    return R"("moveCommands": [)" + out + "]";
}

const std::vector<std::string> kTriangle = {Step("[10, 0, 0]"), Step("[0, 10, 0]"), Step("[-10, -10, 0]")};

std::string DoorLevel(const std::string& properties, const std::vector<std::string>& timeline,
                      const std::vector<std::string>& more = {}) {
    std::vector<std::string> entities{Entity("door", "kvMover", "[0, 0, 0]", ScriptObject("moverExtender", properties)),
                                      Entity("lamp", "kvLight", "[0, 0, 0]")};
    entities.insert(entities.end(), more.begin(), more.end());
    return Level(entities, timeline);
}

struct RepeatCase {
    const char* name;
    int numRepeat;
    int moves;           // MoveToPos calls by frame 300
    bool stillRunning;   // the sequence goes on
};

void PrintTo(const RepeatCase& c, std::ostream* os) { *os << c.name; }

class RepeatTest : public MoversTest, public ::testing::WithParamInterface<RepeatCase> {};

TEST_P(RepeatTest, PlaysTheListTheGivenNumberOfTimes) {
    const RepeatCase& c = GetParam();
    Load(DoorLevel(R"("numRepeat": )" + std::to_string(c.numRepeat) + ", " + Commands(kTriangle), {Activate(1, "door")}));
    RunUntil(300);
    if (c.stillRunning) {
        EXPECT_GE(Count("door.MoveToPos("), c.moves);
        EXPECT_EQ(Count("door.Deactivate("), 0);
    } else {
        EXPECT_EQ(Count("door.MoveToPos("), c.moves);
        EXPECT_EQ(Count("door.Deactivate("), 1) << "the sequence ends once";
        EXPECT_EQ(Text(Origin("door")), "(0 0 0)");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RepeatTest,
                         ::testing::Values(RepeatCase{"TwoPlaysTwice", 2, 6, false},
                                           RepeatCase{"ZeroPlaysOnce", 0, 3, false},
                                           RepeatCase{"MinusOneNeverStops", -1, 30, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoversTest, WaitForNextActivateStopsTheRunUntilTheNextActivation) {
    Load(DoorLevel(Commands({Step("[10, 0, 0]"), Step("[0, 10, 0]", "0.1", R"("waitForNextActivate": true)"),
                             Step("[0, 0, 10]")}),
                   {Activate(1, "door"), Activate(100, "door")}));
    RunUntil(99);
    EXPECT_EQ(Count("door.MoveToPos("), 2);
    EXPECT_EQ(Text(Origin("door")), "(10 10 0)");
    RunUntil(200);
    EXPECT_EQ(Frames("door.MoveToPos("), (std::vector<int>{1, 8, 100}));
    EXPECT_EQ(Text(Origin("door")), "(10 10 10)");
}

TEST_F(MoversTest, ActivationWithoutCommandsIsIgnored) {
    Load(DoorLevel(R"("numRepeat": 1)", {Activate(1, "door")}));
    RunUntil(10);
    EXPECT_EQ(Console("Activate ignored."),
              std::vector<std::string>{
                  "1 door: no move commands have been set up on this moverExtender. Activate ignored."});
    EXPECT_EQ(Field<int32_t>(Object("door", "moverExtender"), 132), 0) << "activationCount unchanged";
    EXPECT_EQ(Count("door.SetParms"), 0);
}

TEST_F(MoversTest, NeitherSpeedNorTimeHaltsTheSequenceWithBothWarnings) {
    Load(DoorLevel(Commands({Step("[10, 0, 0]", "0"), Step("[0, 10, 0]")}), {Activate(1, "door")}));
    RunUntil(60);
    EXPECT_EQ(Warnings(), (std::vector<std::string>{
                              "Parms not set for time or speed on moveCommands[ 0 ].  At least one of these must be "
                              "set to > 0.",
                              "Unable to execute moveCommand[ 0 ].  Halting move sequence."}));
    EXPECT_EQ(Count("door.MoveToPos("), 0);
    EXPECT_EQ(Field<int32_t>(Object("door", "moverExtender"), 132), 0) << "activationCount reset";
    EXPECT_EQ(Field<int32_t>(Object("door", "moverExtender"), 140), 1) << "currentStep moved on";
}

TEST_F(MoversTest, SplinePositionIsTravelledAndStopped) {
    const std::string spline = R"({"moverInfo": {"speed": 100}, "position": "path", "activateOnArrival": "lamp"})";
    Load(DoorLevel(Commands({spline}), {Activate(1, "door")},
                   {Entity("path", "kvSplinePath", "[0, 0, 0]", "", R"("targets": ["p1", "p2"])"),
                    Entity("p1", "kvTarget", "[100, 0, 0]"), Entity("p2", "kvTarget", "[100, 100, 0]")}));
    RunUntil(200);
    EXPECT_TRUE(InOrder(Calls("door."), {"door.SetParmsForSpeed(100, 0, 0)", "door.StartSpline(path)",
                                         "door.StopSpline()", "door.Deactivate()"}));
    EXPECT_EQ(Count("door.MoveTo("), 0);
    // 200 units at 100 units/s from frame 1: arrival at 2.016 s, frame 126.
    EXPECT_EQ(Frames("door.StopSpline()"), std::vector<int>{126});
    EXPECT_EQ(Frames("lamp.Activate(door)"), std::vector<int>{126});
    EXPECT_EQ(Text(Origin("door")), "(100 100 0)");
}

TEST_F(MoversTest, ContinuousRotationGoesStraightToTheArrival) {
    const std::string spin =
        R"({"moverInfo": {"time": 1}, "rotation": [0, 90, 0], "rotateOnce": false, "activateOnArrival": "lamp"})";
    Load(DoorLevel(Commands({spin}), {Activate(1, "door")}));
    RunUntil(126);
    EXPECT_EQ(Frames("door.Rotate((0 90 0))"), std::vector<int>{1});
    EXPECT_EQ(Frames("lamp.Activate(door)"), std::vector<int>{1});
    EXPECT_EQ(Count("door.Deactivate("), 0) << "a mover still turning does not end its sequence";
    EXPECT_NEAR(Ent("door").angles.y, 180.0f, 0.01f) << "90 degrees per second for 2 s";
}

// The child is activated on its own; the parent's second command waits until it has arrived.
TEST_F(MoversTest, CommandWaitsForChildrenToFinish) {
    const std::string parent = Commands({Step("[0, 0, 10]"), Step("[0, 0, -10]", "0.1", R"("waitForChildrenBeforeMove": true)")});
    const std::string child = Entity("arm", "kvMover", "[20, 0, 0]", ScriptObject("moverExtender", Commands({Step("[50, 0, 0]", "1")})),
                                     R"("bindTo": "door")");
    Load(DoorLevel(parent, {Activate(2, "door"), Activate(2, "arm")}, {child}));
    RunUntil(200);
    const std::vector<int> armDone = Frames("arm.Deactivate()");
    const std::vector<int> doorMoves = Frames("door.MoveToPos(");
    ASSERT_EQ(armDone.size(), 1u);
    ASSERT_EQ(doorMoves.size(), 2u);
    EXPECT_GE(doorMoves[1], 2 + 62) << "the child's 1 s move is over first";
    EXPECT_EQ(Text(Origin("door")), "(0 0 0)");
    EXPECT_EQ(Text(Origin("arm")), "(70 0 0)") << "the child followed the parent up and down";
}

TEST_F(MoversTest, PauseHoldsTheSequenceAndResumeActivatesOnce) {
    const std::vector<std::string> timeline{Activate(1, "door"), Activate(10, "pauser"), Activate(150, "pauser")};
    Load(DoorLevel(Commands({Step("[10, 0, 0]", "0.5"), Step("[0, 10, 0]", "0.5"), Step("[0, 0, 10]", "0.5")}),
                   timeline,
                   {Entity("pauser", "kvTarget", "[0, 0, 0]", ScriptObject("moverExtenderPauser", R"("moverToControl": "door")"))}));
    RunUntil(149);
    EXPECT_EQ(Count("door.MoveToPos("), 1) << "the command under way ends, then the sequence holds";
    EXPECT_EQ(Text(Origin("door")), "(10 0 0)");
    RunUntil(300);
    EXPECT_EQ(Frames("door.Activate(player1)"), std::vector<int>{150});
    EXPECT_EQ(Count("door.MoveToPos("), 3);
    EXPECT_EQ(Text(Origin("door")), "(10 10 10)");
}

// Saved part-way and loaded into a fresh level, the sequence ends where an uninterrupted run
// ends.
TEST_F(MoversTest, CheckpointRoundTripEndsWhereAnUninterruptedRunEnds) {
    const std::string properties =
        R"("saveCheckpointState": true, )" +
        Commands({Step("[100, 0, 0]", "0.5"), Step("[0, 100, 0]", "0.5"), Step("[0, 0, 100]", "0.5")});
    Load(DoorLevel(properties, {Activate(1, "door")}));
    RunUntil(200);
    const std::string uninterrupted = Text(Origin("door"));
    EXPECT_EQ(uninterrupted, "(100 100 100)");

    StartOver();
    Load(DoorLevel(properties, {Activate(1, "door")}));
    RunUntil(45);  // the second command is under way
    const qohost::Checkpoint saved = SaveCheckpoint(*world);
    ASSERT_EQ(saved.objects.size(), 1u);
    EXPECT_EQ(saved.objects[0].entity, "door");
    qohost::Checkpoint reread;
    std::string error;
    ASSERT_TRUE(qohost::ParseCheckpoint(qohost::CheckpointText(saved), reread, error)) << error;

    StartOver();
    Load(DoorLevel(properties, {}));
    EXPECT_EQ(qohost::LoadCheckpoint(*world, reread).mismatches, 0u);
    RunUntil(1);
    EXPECT_EQ(Text(Origin("door")), "(100 0 0)") << "back where the second command began";
    RunUntil(200);
    EXPECT_EQ(Text(Origin("door")), uninterrupted);
    EXPECT_EQ(Count("door.MoveToPos("), 2) << "the first command is not played again";
}

TEST_F(MoversTest, KeyCommandsAreConvertedWithANotice) {
    Load(DoorLevel(R"("keyCommands": [{"moverInfo": {"time": 0.2}, "position": "lamp", "delay": 0.5}])",
                   {Activate(1, "door")}));
    RunUntil(100);
    EXPECT_EQ(Console("Converting keyCommands").size(), 1u);
    kvQOObject* ext = Object("door", "moverExtender");
    EXPECT_EQ(Field<int32_t>(ext, 24 + 8), 1) << "moveCommands.num";
    EXPECT_EQ(Field<int32_t>(ext, 48 + 8), 0) << "keyCommands.num";
    EXPECT_EQ(Count("door.MoveTo(lamp)"), 0) << "already at the position: no move";
    EXPECT_EQ(Frames("door.Deactivate()"), std::vector<int>{2 + 32}) << "arrival, then the 0.5 s delay";
}

TEST_F(MoversTest, LayoutsAnEditorReads) {
    Load(Level({}, {}));
    ExpectObjectSizes({{"moverExtender", 272}, {"moverExtenderPauser", 24}, {"pHell_MoveKey", 224},
                       {"pHell_MovingPlatform", 232}, {"mover_modifier", 48}, {"util_bobMover", 72}});
    EXPECT_EQ(api->GetElementSize("moverExtender::moveCommands_t"), 96);
    EXPECT_EQ(api->GetElementSize("moverExtender::keyCommands_t"), 56);
}

// ---- simple movers --------------------------------------------------------------------------

struct ModifierCase {
    const char* name;
    std::string properties;
    std::vector<std::string> calls;  // in order
    int lampActivations;
    const char* endsAt;
};

void PrintTo(const ModifierCase& c, std::ostream* os) { *os << c.name; }

class ModifierTest : public MoversTest, public ::testing::WithParamInterface<ModifierCase> {};

TEST_P(ModifierTest, MovesTheMoverOnce) {
    const ModifierCase& c = GetParam();
    Load(Level({Entity("lift", "kvMover", "[0, 0, 0]"), Entity("bottom", "kvTarget", "[0, 0, -50]"),
                Entity("top", "kvTarget", "[0, 0, 100]", "", R"("angles": [0, 90, 0])"),
                Entity("lamp", "kvLight", "[0, 0, 0]"),
                Entity("mod", "kvTarget", "[0, 0, 0]", ScriptObject("mover_modifier", c.properties), R"("targets": ["lamp"])")},
               {Activate(1, "mod")}));
    RunUntil(200);
    EXPECT_TRUE(InOrder(Calls("lift."), c.calls));
    EXPECT_EQ(Count("lamp.Activate(mod)"), c.lampActivations);
    EXPECT_EQ(Text(Origin("lift")), c.endsAt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModifierTest,
    ::testing::Values(
        ModifierCase{"NoStartMovesFromWhereItStands", R"("mover": "lift", "end": "top", "speed": 100)",
                     {"lift.Speed(100)", "lift.AccelTime(0)", "lift.DecelTime(0)", "lift.MoveTo(top)",
                      "lift.RotateToShortest((0 90 0))"},
                     1, "(0 0 100)"},
        ModifierCase{"StartPlacesItFirst", R"("mover": "lift", "start": "bottom", "end": "top", "speed": 150)",
                     {"lift.SetWorldOrigin((0 0 -50))", "lift.SetAngles((0 0 0))", "lift.MoveTo(top)"}, 1,
                     "(0 0 100)"},
        ModifierCase{"NoTriggerOnComplete",
                     R"("mover": "lift", "end": "top", "speed": 100, "triggerOnComplete": false)",
                     {"lift.MoveTo(top)"}, 0, "(0 0 100)"},
        ModifierCase{"NoMover", R"("end": "top")", {}, 0, "(0 0 0)"},
        ModifierCase{"NoEnd", R"("mover": "lift")", {}, 0, "(0 0 0)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoversTest, ModifierFiresTargetsOnArrival) {
    Load(Level({Entity("lift", "kvMover", "[0, 0, 0]"), Entity("top", "kvTarget", "[0, 0, 100]"),
                Entity("lamp", "kvLight", "[0, 0, 0]"),
                Entity("mod", "kvTarget", "[0, 0, 0]", ScriptObject("mover_modifier", R"("mover": "lift", "end": "top", "speed": 100)"),
                       R"("targets": ["lamp"])"),
                Entity("bad", "kvTarget", "[0, 0, 0]", ScriptObject("mover_modifier", R"("mover": "lift")"))},
               {Activate(1, "mod"), Activate(1, "bad")}));
    RunUntil(100);
    EXPECT_EQ(Frames("lamp.Activate(mod)"), std::vector<int>{64}) << "100 units at 100 units/s from frame 1";
    EXPECT_EQ(Console("Mover Modifier"), std::vector<std::string>{"1 Mover Modifier has not destination"});
}

// Each leg runs on a thread of its own that ends once it has started the next: hundreds of legs
// later the mover still has one thread, not one handler call nested in another per leg.
TEST_F(MoversTest, BobbingForLongKeepsOneThread) {
    Load(Level({Entity("bob", "kvMover", "[0, 0, 0]", ScriptObject("util_bobMover", R"("target": "far", "travelTimeMs": 100)")),
                Entity("far", "kvTarget", "[0, 0, 10]")},
               {}));
    const size_t threadsAtStart = world->scheduler.LiveCount();
    RunUntil(3500);
    EXPECT_GE(Count("bob.MoveToPos("), 450);
    EXPECT_LE(world->scheduler.LiveCount(), threadsAtStart);
}

struct BobCase {
    const char* name;
    std::string properties;
    const char* targetOrigin;        // level form, "[0, 0, 10]"
    std::vector<std::string> warnings;
    const char* speedCall;
    std::vector<int> legs;           // frames of MoveToPos calls up to frame 120 (each leg's wait
                                     // rounds up to whole frames; the clamp warning costs a frame)
};

void PrintTo(const BobCase& c, std::ostream* os) { *os << c.name; }

class BobTest : public MoversTest, public ::testing::WithParamInterface<BobCase> {};

TEST_P(BobTest, BouncesBetweenStartAndTarget) {
    const BobCase& c = GetParam();
    const bool inactive = c.properties.find("startActive") != std::string::npos;
    Load(Level({Entity("bob", "kvMover", "[0, 0, 0]", ScriptObject("util_bobMover", c.properties)),
                Entity("far", "kvTarget", c.targetOrigin)},
               inactive ? std::vector<std::string>{Activate(30, "bob")} : std::vector<std::string>{}));
    RunUntil(120);
    EXPECT_EQ(Warnings(), c.warnings);
    EXPECT_EQ(Count(c.speedCall), 1) << c.speedCall;
    EXPECT_EQ(Frames("bob.MoveToPos("), c.legs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BobTest,
    ::testing::Values(
        BobCase{"TravelTimeClampedTo100ms", R"("target": "far", "travelTimeMs": 50)", "[0, 0, 10]",
                {"util_bobMover Travel time is less than 100ms -- clamping to 100ms"}, "bob.Speed(99.999)",
                {2, 9, 16, 23, 30, 37, 44, 51, 58, 65, 72, 79, 86, 93, 100, 107, 114}},
        BobCase{"ZeroDistanceHasSpeedZero", R"("target": "far", "travelTimeMs": 500)", "[0, 0, 0]", {},
                "bob.Speed(0)", {1, 33, 65, 97}},
        BobCase{"StartingInactiveWaitsForActivation",
                R"("target": "far", "travelTimeMs": 400, "startActive": false)", "[0, 0, 10]", {},
                "bob.Speed(24.9999)", {30, 55, 80, 105}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace scripts_test
