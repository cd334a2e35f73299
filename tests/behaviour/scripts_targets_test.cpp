// Mover spawn loops and target list tools of the shared library in running levels: spawners
// activated in turn, one "MoverHelper" per spawned mover, stopping the loop once (and the last
// mover after its rest), the distance trigger's front and firing order, map-load activations,
// replaced target lists, colours, and panels rewritten by gui_changeProperties.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/methods/Methods.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

// ---- util_moverSpawner, util_loopStopper ----------------------------------------------------

constexpr size_t kMoversNumField = 80 + 8;  // util_loopStopper::movers.num

// player1; "gate" spawns carts at z 500 from "mover/cart"; "dest" at z 1000, "stop" at z 0;
// "loop" carries the object of `className` with the gate as spawner unless the properties say
// otherwise; extra timeline entries as given.
std::string LoopLevel(const char* className, const std::string& properties, const std::string& timeline = "") {
    return R"({"players": [{"name": "player1"}],
        "decls": {"kvSoundShader": ["cart/move", "cart/decel"]},
        "entityDefs": {"mover/cart": {"class": "kvMover"}},
        "entities": [
          {"name": "gate", "class": "kvTarget_Spawn", "origin": [0, 0, 500], "entityDefs": ["mover/cart"],
           "spawnNames": ["cart_1", "cart_2", "cart_3"]},
          {"name": "dest", "class": "kvPathCorner", "origin": [0, 0, 1000]},
          {"name": "stop", "class": "kvPathCorner", "origin": [0, 0, 0]},
          {"name": "arrive", "class": "kvTarget"},
          {"name": "loop", "class": "kvTarget", "objects": [{"class": ")" + std::string(className) +
           R"(", "properties": {)" + properties + R"(}}]}],
        "timeline": [)" + timeline + "]}";
}

const char* const kStopperProperties = R"("entSpawner": "gate", "numSpawn": 2, "fDelayBetweenSpawns": 0.5,
    "fMoveTime": 2, "position": "dest", "activateOnArrival": "arrive", "fNextMoveDelay": 0.25,
    "fStopTime": 1, "stopPosition": "stop", "soundOnMove": "cart/move", "soundOnDecel": "cart/decel")";

std::string Activation(int frame, const char* entity) {
    return R"({"frame": )" + std::to_string(frame) + R"(, "event": "activate", "entity": ")" + entity + R"(", "by": "player1"})";
}

class LoopTest : public LevelTest {
protected:
    size_t HelpersStarted() const { return Records("thread", "\"MoverHelper\" on").size(); }
};

// Without a spawner neither class spawns anything, and nothing is reported.
TEST_F(LoopTest, UnsetSpawnerSpawnsNothing) {
    for (const char* className : {"util_moverSpawner", "util_loopStopper"}) {
        StartOver();
        Load(LoopLevel(className, R"("numSpawn": 3, "fDelayBetweenSpawns": 0.1)"));
        RunUntil(100);
        EXPECT_EQ(Calls(".Activate("), std::vector<std::string>{}) << className;
        EXPECT_EQ(Records("event", "spawned"), std::vector<std::string>{}) << className;
        EXPECT_EQ(Console("util_"), std::vector<std::string>{}) << className;
        EXPECT_EQ(HelpersStarted(), 0u);
    }
}

// The mover spawner activates its spawner numSpawn times with player1 as activator: after the
// initial delay, then once per delay between spawns (each wait counted from the frame it began).
TEST_F(LoopTest, MoverSpawnerActivatesItsSpawnerInTurn) {
    Load(LoopLevel("util_moverSpawner", R"("entSpawner": "gate", "numSpawn": 3, "fInitialDelay": 0.5,
                                           "fDelayBetweenSpawns": 1)"));
    RunUntil(300);
    EXPECT_EQ(Calls("gate.Activate"), (std::vector<std::string>{"32 gate.Activate(player1)", "95 gate.Activate(player1)",
                                                                "158 gate.Activate(player1)"}));
    EXPECT_EQ(Records("event", "spawned").size(), 3u);
}

// A spawner that hands back the same mover twice: the mover is listed once, but it gets a
// second "MoverHelper".
TEST_F(LoopTest, DuplicateMoverListedOnceWithTwoHelpers) {
    std::string json = LoopLevel("util_loopStopper", kStopperProperties);
    Load(json.replace(json.find(R"("entSpawner": "gate")"), 20, R"("entSpawner": "arrive")"));
    Ent("arrive").lastSpawned = Handle("dest");
    RunUntil(60);
    EXPECT_EQ(Field<int32_t>(Object("loop", "util_loopStopper"), kMoversNumField), 1);
    EXPECT_EQ(HelpersStarted(), 2u);
}

// Each helper sends its mover to the destination, plays the move sound, and on arrival
// activates activateOnArrival with the mover; stopping (twice) sends every mover that is still
// high enough above the stop position to it, decelerating, once.
TEST_F(LoopTest, StoppingSendsHighMoversToTheStopOnce) {
    Load(LoopLevel("util_loopStopper", std::string(kStopperProperties) + R"(, "fMinDistantToStop": 10)",
                   Activation(200, "loop") + ", " + Activation(210, "loop")));
    RunUntil(400);
    const std::vector<std::string> calls = CallTextsFrom(0);
    EXPECT_TRUE(InOrder(calls, {"gate.Activate(player1)", "gate.GetLastSpawned()", "cart_1.StartSoundShader(cart/move, 0)",
                                "cart_1.MoveToOverTime(dest, 2, 0, 0)", "cart_1.StartSoundShader(cart/move, 0)",
                                "arrive.Activate(cart_1)", "cart_1.MoveToOverTime(dest, 2, 0, 0)"}));
    EXPECT_EQ(Calls("MoveToOverTime(stop"), (std::vector<std::string>{"200 cart_1.MoveToOverTime(stop, 1, 0, 1)",
                                                                        "200 cart_2.MoveToOverTime(stop, 1, 0, 1)"}));
    EXPECT_EQ(Calls("cart/decel"), std::vector<std::string>{});
    EXPECT_EQ(Text(Ent("cart_1").origin), "(0 0 0)");
}

// When no mover is high enough, only the last one is stopped: after it has come to rest, and
// 0.2 s more, with the deceleration sound.
TEST_F(LoopTest, LastMoverStoppedAfterItsRest) {
    Load(LoopLevel("util_loopStopper", std::string(kStopperProperties) + R"(, "fMinDistantToStop": 10000)",
                   Activation(100, "loop")));
    RunUntil(400);
    const std::vector<std::string> stops = Calls("MoveToOverTime(stop");
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_NE(stops[0].find(" cart_2.MoveToOverTime(stop, 1, 0, 1)"), std::string::npos);
    // cart_2 started its move on frame `start`; it is at rest 2 s later, then 0.2 s pass.
    const std::vector<std::string> moves = Calls("cart_2.MoveToOverTime(dest");
    ASSERT_FALSE(moves.empty());
    const int start = std::stoi(moves.back());
    const int arrived = start + 2000 / 16;
    const int stopped = std::stoi(stops[0]);
    EXPECT_GE(stopped, arrived + 200 / 16);
    EXPECT_LE(stopped, arrived + 200 / 16 + 2);
    EXPECT_EQ(Calls("cart/decel"), std::vector<std::string>{std::to_string(stopped) +
                                                            " cart_2.StartSoundShader(cart/decel, 0)"});
}

// ---- util_distanceTrigger -------------------------------------------------------------------

constexpr size_t kDistancesField = 48;  // sortedDistances (list pointer, then num at +8)
constexpr size_t kFrontField = 72;
constexpr size_t kFrontStepField = 76;

// "sweep" at the origin targeting the named entities placed as given.
std::string SweepLevel(const std::string& properties, const std::vector<std::pair<const char*, qoVector>>& targets,
                       int frameMs = 16, int activateFrame = 5) {
    std::string names, entities;
    for (const auto& [name, at] : targets) {
        names += std::string(names.empty() ? "" : ", ") + "\"" + name + "\"";
        entities += R"(, {"name": ")" + std::string(name) + R"(", "class": "kvTarget", "origin": [)" +
                    std::to_string(at.x) + ", " + std::to_string(at.y) + ", " + std::to_string(at.z) + "]}";
    }
    return R"({"frameMs": )" + std::to_string(frameMs) + R"(, "players": [{"name": "player1"}],
        "entities": [{"name": "sweep", "class": "kvTarget", "targets": [)" + names +
           R"(], "objects": [{"class": "util_distanceTrigger", "properties": {)" + properties + "}}]}" + entities +
           R"(], "timeline": [)" + Activation(activateFrame, "sweep") + "]}";
}

class SweepTest : public LevelTest {
protected:
    kvQOObject* Sweep() const { return Object("sweep", "util_distanceTrigger"); }
    std::vector<float> Distances() const {
        const float* list = Field<const float*>(Sweep(), kDistancesField);
        const int32_t num = Field<int32_t>(Sweep(), kDistancesField + 8);
        return std::vector<float>(list, list + num);
    }
    // The targets in the order fired.
    std::vector<std::string> Fired() const {
        std::vector<std::string> out;
        for (const std::string& call : Calls(".Activate(sweep)")) out.push_back(call.substr(call.find(' ') + 1, 1));
        return out;
    }
};

// The exchange sort is not stable: a, b, c at 5, 5 and 3 fire c, b, a; with reverse the
// farthest fires at once and the nearest last.
TEST_F(SweepTest, FiresInSortedOrder) {
    const std::vector<std::pair<const char*, qoVector>> targets = {{"a", {5, 0, 0}}, {"b", {0, 5, 0}}, {"c", {3, 0, 0}}};
    Load(SweepLevel("", targets));
    RunUntil(40);
    EXPECT_EQ(Distances(), (std::vector<float>{3, 5, 5}));
    EXPECT_EQ(Fired(), (std::vector<std::string>{"c", "b", "a"}));

    StartOver();
    Load(SweepLevel(R"("reverse": true, "speed": 50)", {{"a", {10, 0, 0}}, {"b", {0, 50, 0}}, {"c", {0, 0, 100}}}));
    EXPECT_FLOAT_EQ(Field<float>(Sweep(), kFrontField), 100.0f);
    RunUntil(300);
    const std::vector<std::string> calls = Calls(".Activate(sweep)");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(Fired(), (std::vector<std::string>{"c", "b", "a"}));
    // 50 u/s at 62 whole frames per second: about 62 frames from 100 down to 50.
    const int first = std::stoi(calls[0]), second = std::stoi(calls[1]);
    EXPECT_LE(first, 6);
    EXPECT_NEAR(second - first, 62, 2);
}

// The front moves speed / (whole frames per second) per frame: 100 u/s at 20 ms is 2 units.
// Frames longer than a second have no whole frame per second; the front then moves
// speed x frame seconds instead of dividing by zero.
TEST_F(SweepTest, FrontStepPerFrame) {
    Load(SweepLevel(R"("speed": 100)", {{"a", {10, 0, 0}}}, 20));
    EXPECT_FLOAT_EQ(Field<float>(Sweep(), kFrontStepField), 2.0f);

    StartOver();
    Load(SweepLevel(R"("speed": 100)", {{"a", {10, 0, 0}}}, 1000));
    EXPECT_FLOAT_EQ(Field<float>(Sweep(), kFrontStepField), 100.0f);

    // A host with 1.5-second frames (beyond what a level file sets).
    StartOver();
    Load(SweepLevel("", {{"a", {10, 0, 0}}}, 16, 100));
    world->SetFrameTime(1500);
    qohost::Entity& sweep = Ent("sweep");
    kvQOObject* probe = api->CreateObject("util_distanceTrigger");
    ASSERT_NE(probe, nullptr);
    probe->SetEntity(sweep.handle);
    const float speed = 40.0f;
    std::memcpy(reinterpret_cast<unsigned char*>(probe) + 16, &speed, sizeof speed);
    world->CreateThread("Init", probe, [](kvQOObject* o, void*) { o->Init(); }, nullptr);
    RunUntil(3);
    EXPECT_FLOAT_EQ(Field<float>(probe, kFrontStepField), 60.0f);
    probe->Destroy(1);
}

// Ignoring all three axes is reported and then ignores none; a speed of 0 or less is reported
// and becomes 50.
TEST_F(SweepTest, DefaultsForAllAxesIgnoredAndNoSpeed) {
    Load(SweepLevel(R"("ignore": {"x": true, "y": true, "z": true}, "speed": -5)", {{"a", {3, 4, 12}}}));
    EXPECT_EQ(Distances(), std::vector<float>{13});
    EXPECT_FLOAT_EQ(Field<float>(Sweep(), 16), 50.0f);
    const std::vector<std::string> printed = Console("util_distanceTrigger::Init");
    ASSERT_EQ(printed.size(), 2u);
    EXPECT_NE(printed[0].find(" : Can't ignore x, y, and z. Defaulting."), std::string::npos) << printed[0];
    EXPECT_NE(printed[1].find("Speed <= 0.0f. Defaulting."), std::string::npos) << printed[1];

    StartOver();
    Load(SweepLevel(R"("ignore": {"x": true, "z": true})", {{"a", {3, 4, 12}}}));
    EXPECT_EQ(Distances(), std::vector<float>{4});
    EXPECT_EQ(Console("util_distanceTrigger"), std::vector<std::string>{});
}

// ---- util_mapLoad, util_replaceTargets, util_setColor, gui_changeProperties -----------------

class TargetToolsTest : public LevelTest {};

// An entry with delay 0 fires during Init; one with a delay from its own "ActivateHelper"
// thread that much later; an unset target is skipped.
TEST_F(TargetToolsTest, MapLoadActivatesEachEntryAfterItsDelay) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "loader", "class": "kvTarget", "objects": [{"class": "util_mapLoad", "properties": {
            "activationList": [{"target": "lamp_b", "delay": 2.5}, {"target": "", "delay": 0},
                               {"target": "lamp_a", "delay": 0}]}}]},
          {"name": "lamp_a", "class": "kvLight"}, {"name": "lamp_b", "class": "kvLight"}]})");
    RunUntil(200);
    EXPECT_EQ(Calls(".Activate("), (std::vector<std::string>{"0 lamp_a.Activate(player1)", "157 lamp_b.Activate(player1)"}));
    EXPECT_EQ(Records("thread", "\"ActivateHelper\" on").size(), 1u);
}

// Every entity the replacer targets gets the new list (existing entries only): an entity with
// targets loses them first, one without only gains.
TEST_F(TargetToolsTest, ReplaceTargetsGivesEachTargetTheNewList) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [
          {"name": "replacer", "class": "kvTarget", "targets": ["holder_a", "holder_b"],
           "objects": [{"class": "util_replaceTargets", "properties": {"newTargets": ["n1", "gone", "n2"]}}]},
          {"name": "holder_a", "class": "kvTarget", "targets": ["old_1", "old_2"]},
          {"name": "holder_b", "class": "kvTarget"},
          {"name": "old_1", "class": "kvTarget"}, {"name": "old_2", "class": "kvTarget"},
          {"name": "n1", "class": "kvTarget"}, {"name": "n2", "class": "kvTarget"}, {"name": "gone", "class": "kvTarget"}],
        "timeline": [{"frame": 5, "event": "activate", "entity": "replacer"}]})");
    world->RemoveEntity(Handle("gone"));
    RunUntil(6);
    EXPECT_EQ(Ent("holder_a").targets, (std::vector<uint32_t>{Handle("n1"), Handle("n2")}));
    EXPECT_EQ(Ent("holder_b").targets, (std::vector<uint32_t>{Handle("n1"), Handle("n2")}));
    EXPECT_EQ(Calls("holder_b."), (std::vector<std::string>{"5 holder_b.NumTargets()", "5 holder_b.AddTarget(n1)",
                                                            "5 holder_b.AddTarget(n2)"}));
    EXPECT_EQ(Calls("holder_a.RemoveTarget").size(), 2u);
}

TEST_F(TargetToolsTest, SetColorColoursItsEntity) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "painter", "class": "kvTarget", "objects": [{"class": "util_setColor",
            "properties": {"newColor": [0.25, 0.5, 1], "entityToSet": "lamp"}}]}, {"name": "lamp", "class": "kvLight"}],
        "timeline": [{"frame": 5, "event": "activate", "entity": "painter"}]})");
    RunUntil(6);
    EXPECT_EQ(Calls("SetColor"), std::vector<std::string>{"5 lamp.SetColor(0.25, 0.5, 1)"});
    EXPECT_EQ(Text(Ent("lamp").methods->color), "(0.25 0.5 1)");
}

// With default properties every targeted panel gets empty white texts aligned 2 on a black
// pane, in nine calls; a target removed meanwhile is skipped and the others get all nine.
TEST_F(TargetToolsTest, ChangePropertiesWritesEveryLivePanel) {
    Load(R"({"players": [{"name": "player1"}],
        "entities": [{"name": "writer", "class": "kvTarget", "targets": ["p1", "p2", "p3"],
                      "objects": [{"class": "gui_changeProperties"}]},
          {"name": "p1", "class": "kvEntity"}, {"name": "p2", "class": "kvEntity"}, {"name": "p3", "class": "kvEntity"}],
        "timeline": [{"frame": 5, "event": "activate", "entity": "writer"}]})");
    Ent("p1").methods->panel.headerText = "OLD";
    Ent("p1").methods->panel.headerAlignment = 7;
    world->RemoveEntity(Handle("p2"));
    RunUntil(7);
    const std::vector<std::string> wanted = {
        "SetHeaderText(\"\")", "SetHeaderBehavior(0)", "SetHeaderColor((1 1 1 1))", "SetHeaderAlignment(2)",
        "SetBodyText(\"\")",   "SetBodyBehavior(0)",   "SetBodyColor((1 1 1 1))",   "SetBodyAlignment(2)",
        "SetPaneBackgroundColor((0 0 0 1))"};
    for (const char* panel : {"p1", "p3"}) {
        std::vector<std::string> sets;
        for (const std::string& call : Calls(std::string(panel) + ".Set")) sets.push_back(call.substr(call.find('.') + 1));
        EXPECT_EQ(sets, wanted) << panel;
    }
    EXPECT_EQ(Calls("p2."), std::vector<std::string>{});
    EXPECT_EQ(Records("screen", "panel "),
              (std::vector<std::string>{
                  "6 panel p1: header \"\" behavior 0 color (1 1 1 1) alignment 2; body \"\" behavior 0 color (1 1 1 1) "
                  "alignment 2; pane (0 0 0 1)",
                  "6 panel p3: header \"\" behavior 0 color (1 1 1 1) alignment 2; body \"\" behavior 0 color (1 1 1 1) "
                  "alignment 2; pane (0 0 0 1)"}));
}

// ---- what an editor reads ------------------------------------------------------------------

TEST_F(TargetToolsTest, LayoutAnEditorReads) {
    Load(R"({"players": [{"name": "player1"}]})");
    ExpectObjectSizes({{"healthDrop", 192}, {"healthDropWorld", 24}, {"healthPickup", 48},
                       {"control_ActivateEntityOnStateChange", 32}, {"turret_ActivateEntityOnStateChange", 32},
                       {"targetSetHealth", 32}, {"targetVisualCounter", 80}, {"util_moverSpawner", 32},
                       {"util_loopStopper", 112}, {"util_distanceTrigger", 80}, {"util_mapLoad", 40},
                       {"util_replaceTargets", 40}, {"util_setColor", 32}, {"gui_changeProperties", 128}});
    ExpectPropertyRows("util_distanceTrigger",
               {{"float", "speed", 16, 4}, {"util_distanceTrigger::ignore_t", "ignore", 20, 3}, {"bool", "reverse", 23, 1}});
    ExpectPropertyRows("util_distanceTrigger::ignore_t", {{"bool", "x", 0, 1}, {"bool", "y", 1, 1}, {"bool", "z", 2, 1}});
    ExpectPropertyRows("util_mapLoad", {{"qoList< util_mapLoad::activationList_t >", "activationList", 16, 24}});
    ExpectPropertyRows("util_mapLoad::activationList_t", {{"qoEntity", "target", 0, 4}, {"float", "delay", 4, 4}});
    ExpectPropertyRows("gui_changeProperties",
               {{"qoString", "headerText", 16, 24}, {"int", "headerBehavior", 40, 4}, {"qoColor", "headerColor", 44, 16},
                {"swfEditTextAlign_t", "headerAlignment", 60, 4}, {"qoString", "bodyText", 64, 24},
                {"int", "bodyBehavior", 88, 4}, {"qoColor", "bodyColor", 92, 16},
                {"swfEditTextAlign_t", "bodyAlignment", 108, 4}, {"qoColor", "paneBackgroundColor", 112, 16}});
    ExpectPropertyRows("targetVisualCounter",
               {{"qoColor", "color0", 20, 16}, {"qoColor", "color1", 36, 16}, {"float", "scale0", 52, 4},
                {"float", "scale1", 56, 4}, {"float", "yPos", 60, 4}, {"float", "yOffset", 64, 4},
                {"float", "fadeTime", 68, 4}, {"int", "startCount", 72, 4}, {"int", "countStep", 76, 4}});
    EXPECT_EQ(api->GetPropertyTable("healthDrop"), nullptr);

    const char* const* editor = api->GetEditorMetadata("turret_ActivateEntityOnStateChange");
    ASSERT_NE(editor, nullptr);
    EXPECT_STREQ(editor[0], "targetLine { target = destroyedEntity; color = orange; showAlways = true; }");
    EXPECT_STREQ(editor[2], "targetLine { target = poweredUpEntity; color = orange; showAlways = true; }");
    EXPECT_EQ(editor[3], nullptr);

    // healthDrop's entity defs, in order, from its decl table.
    kvQOObject* drop = api->CreateObject("healthDrop");
    ASSERT_NE(drop, nullptr);
    std::vector<std::string> defaults;
    for (const qoDeclDefault* d = drop->GetDeclDefaults(); d->declType; ++d)
        defaults.push_back(std::string(d->member) + " " + d->defaultName + " @" + std::to_string(d->offset));
    drop->Destroy(1);
    ASSERT_EQ(defaults.size(), 11u);
    EXPECT_EQ(defaults[0], "smallGui func/mover/healthdrop/gui_sm @48");
    EXPECT_EQ(defaults[2], "small01 prop/moveable/healthdrop/small01 @64");
    EXPECT_EQ(defaults[10], "large06 prop/moveable/healthdrop/large06 @128");
}

}  // namespace
}  // namespace scripts_test
