// The designer classes around entity flags, objectives, usable and player-facing props and the
// sliding door volume, in running levels: which flags they set, which host methods they call
// on which frames, and what they leave alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

// The flag object's list (util_entityFlag::flags at 16) and its 88-byte elements: name at 0,
// state at 25, count at 28.
constexpr size_t kFlagsField = 16;
constexpr size_t kFlagSize = 88;

struct FlagView {
    bool defined = false;
    bool state = false;
    int32_t count = 0;
    bool operator==(const FlagView&) const = default;
};

std::ostream& operator<<(std::ostream& os, const FlagView& f) {
    return os << (f.defined ? "" : "undefined ") << (f.state ? "set" : "clear") << " x" << f.count;
}

class FlagLevelTest : public LevelTest {
protected:
    FlagView FlagOf(const char* entity, const char* name) const {
        kvQOObject* flags = Object(entity, "util_entityFlag");
        if (!flags) return {};
        const auto list = Field<qoListLayout>(flags, kFlagsField);
        for (int32_t i = 0; i < list.num; ++i) {
            const auto* element = static_cast<const unsigned char*>(list.list) + kFlagSize * i;
            const auto text = Raw<qoStringLayout>(element, 0);
            if (text.data && std::string(text.data) == name)
                return {true, Raw<bool>(element, 25), Raw<int32_t>(element, 28)};
        }
        return {};
    }
    // Script functions called through the host ("call world.Opened").
    std::vector<std::string> ScriptCalls() const { return Records("script"); }
};

std::string Event(int frame, const char* kind, const char* entity, const char* by = "player1") {
    return R"({"frame": )" + std::to_string(frame) + R"(, "event": ")" + kind + R"(", "entity": ")" +
           entity + R"(", "by": ")" + by + R"("})";
}

std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
}

// ---- util_entityFlagActivate --------------------------------------------------------------------

struct ActivateCase {
    const char* name;
    const char* behavior;
    int count;
    int activations;
    FlagView after;
};

void PrintTo(const ActivateCase& c, std::ostream* os) { *os << c.name; }

class FlagActivate : public FlagLevelTest, public ::testing::WithParamInterface<ActivateCase> {};

TEST_P(FlagActivate, CountsActivationsAndChangesTheTargetsFlags) {
    const ActivateCase& c = GetParam();
    std::vector<std::string> events;
    for (int i = 0; i < c.activations; ++i) events.push_back(Event(2 + i, "activate", "switch"));
    Load(std::string(R"({"players": [{"name": "player1"}], "entities": [
        {"name": "vault", "class": "kvTarget"},
        {"name": "switch", "class": "kvTarget", "objects": [{"class": "util_entityFlagActivate",
         "properties": {"targetEntity": "vault", "defineFlags": ["Open", "Other"], "activateFlags": ["Open"],
                        "activateBehavior": ")") + c.behavior + R"(", "count": )" + std::to_string(c.count) +
         R"(}}]}],
        "timeline": [)" + Join(events) + "]}");
    RunUntil(10);
    EXPECT_EQ(FlagOf("vault", "Open"), c.after);
    EXPECT_EQ(FlagOf("vault", "Other"), (FlagView{true, false, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlagActivate,
    ::testing::Values(ActivateCase{"CountTwoIgnoresTheThird", "SET", 2, 3, {true, true, 2}},
                      ActivateCase{"CountZeroIsUnlimited", "SET", 0, 3, {true, true, 3}},
                      ActivateCase{"NegativeCountIsUnlimited", "SET", -1, 3, {true, true, 3}},
                      ActivateCase{"ToggleOnceSets", "TOGGLE", 0, 1, {true, true, 1}},
                      ActivateCase{"ToggleTwiceClearsKeepingTheCount", "TOGGLE", 0, 2, {true, false, 1}},
                      ActivateCase{"ToggleThriceSetsAndCountsAgain", "TOGGLE", 0, 3, {true, true, 2}},
                      ActivateCase{"ClearLeavesAClearFlagUncounted", "CLEAR", 0, 2, {true, false, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

// An empty targetEntity means the world; a name nobody carries is said once at start (with
// qo_debugPrint above 0) and leaves the object inert.
TEST_F(FlagLevelTest, ActivateTargetsTheWorldOrNothing) {
    Load(std::string(R"({"players": [{"name": "player1"}], "entities": [
        {"name": "lost", "class": "kvTarget", "objects": [{"class": "util_entityFlagActivate",
         "properties": {"targetEntity": "nobody", "defineFlags": ["Open"], "activateFlags": ["Open"]}}]},
        {"name": "global", "class": "kvTarget", "objects": [{"class": "util_entityFlagActivate",
         "properties": {"targetEntity": "", "defineFlags": ["Open"], "activateFlags": ["Open"], "delay": 0.5}}]}],
        "timeline": [)") + Event(2, "activate", "lost") + ", " + Event(2, "activate", "global") + "]}");
    RunUntil(3);
    EXPECT_EQ(FlagOf("world", "Open"), (FlagView{true, false, 0})) << "the delay holds it back";
    RunUntil(40);
    EXPECT_EQ(FlagOf("world", "Open"), (FlagView{true, true, 1}));
    EXPECT_EQ(Object("nobody", "util_entityFlag"), nullptr);
    EXPECT_EQ(Console("nobody"), (std::vector<std::string>{
                                     "0 Quorin Warning: lost.util_entityFlagActivate.Init: entity 'nobody' not found",
                                     "1 util_entityFlagActivate::Init::626 : Entity: nobody could not be found."}));
}

// ---- util_entityFlagVolume ----------------------------------------------------------------------

TEST_F(FlagLevelTest, VolumeFilterAppliesToEnteringOnly) {
    Load(std::string(R"({"players": [{"name": "player1"}], "entities": [
        {"name": "imp", "class": "kvAI2"},
        {"name": "zone", "class": "kvVolume", "objects": [{"class": "util_entityFlagVolume",
         "properties": {"filter": ["player1"], "callEnter": "ZoneEntered", "callExit": "zone.ZoneLeft"}}]}],
        "timeline": [)") + Join({Event(2, "enter", "zone", "imp"), Event(4, "enter", "zone", "player1"),
                                Event(6, "exit", "zone", "imp")}) + "]}");
    RunUntil(3);
    EXPECT_EQ(FlagOf("zone", "VolumeOccupied"), (FlagView{true, false, 0}));
    RunUntil(5);
    EXPECT_EQ(FlagOf("zone", "VolumeOccupied"), (FlagView{true, true, 1}));
    RunUntil(7);
    EXPECT_EQ(FlagOf("zone", "VolumeOccupied"), (FlagView{true, false, 1}));
    EXPECT_EQ(ScriptCalls(), (std::vector<std::string>{"4 call world.ZoneEntered", "6 call zone.ZoneLeft"}));
    EXPECT_EQ(Field<int32_t>(Object("zone", "util_entityFlagVolume"), 112), 1) << "enterCount";
}

// ---- objectives ---------------------------------------------------------------------------------

// obj1 wants key_a and key_b, then hands over to obj2, which wants the lever. Events at frames.
std::string ObjectiveLevel(const std::string& obj1Properties, const std::vector<std::string>& events,
                           const char* keyAProperties = "{}", const char* obj1Targets = R"("key_a", "key_b", "obj2")") {
    return std::string(R"({"players": [{"name": "player1"}],
        "decls": {"kvSoundShader": ["objective/new", "objective/done"]},
        "entities": [
        {"name": "imp", "class": "kvAI2", "origin": [100, 200, 0]},
        {"name": "obj1", "class": "kvTarget", "targets": [)") + obj1Targets + R"(],
         "objects": [{"class": "objectiveManager", "properties": )" + obj1Properties + R"(}]},
        {"name": "key_a", "class": "kvTarget", "objects": [{"class": "objectiveTarget", "properties": )" +
           keyAProperties + R"(}]},
        {"name": "key_b", "class": "kvTarget", "objects": [{"class": "objectiveTarget"}]},
        {"name": "obj2", "class": "kvTarget", "targets": ["lever"],
         "objects": [{"class": "objectiveManager", "properties": {"sMessage": "Pull the lever", "bPlayNewSound": false}}]},
        {"name": "lever", "class": "kvTarget", "objects": [{"class": "objectiveTarget"}]}],
        "timeline": [)" + Join(events) + "]}";
}

class Objectives : public FlagLevelTest {};

TEST_F(Objectives, ChainShowsCompletesAndHandsOverAfterTheDelay) {
    Load(ObjectiveLevel(R"({"sMessage": "Find both keys", "sNewSound": "objective/new", "fNextObjDelay": 0.5})",
                        {Event(5, "activate", "obj1"), Event(10, "activate", "key_b"), Event(20, "activate", "key_a")},
                        R"({"bPlaySndComplete": true, "sCompleteSound": "objective/done"})"));
    RunUntil(19);
    EXPECT_EQ(FlagOf("key_b", "ObjectiveTargetComplete"), (FlagView{true, true, 1}));
    EXPECT_EQ(FlagOf("obj1", "ObjectiveComplete"), (FlagView{true, false, 0}));
    EXPECT_EQ(Calls("ObjectiveText"), (std::vector<std::string>{
                                     "5 player1.CreateHUDElement(\"ObjectiveText\")",
                                     "5 player1.SetHUDElementText(\"ObjectiveText\", \"Find both keys\")",
                                     "5 player1.SetHUDElementTextScale(\"ObjectiveText\", 0.5)",
                                     "5 player1.SetHUDElementTextAlignment(\"ObjectiveText\", 0)",
                                     "5 player1.SetHUDElementPosition(\"ObjectiveText\", 32, 300, 0, 0)",
                                     "5 player1.SetHUDElementColor(\"ObjectiveText\", 0.75, 0.75, 1, 1)",
                                     "5 player1.ShowHUDElement(\"ObjectiveText\", true)"}));
    EXPECT_EQ(Calls("player1.StartSoundShader"),
              std::vector<std::string>{"5 player1.StartSoundShader(objective/new, 0)"});
    RunUntil(80);
    EXPECT_EQ(FlagOf("obj1", "ObjectiveComplete"), (FlagView{true, true, 1}));
    // key_b's completion is found only when key_a completes the list: its sound plays then.
    // 0.5 s after frame 20 (0.320 s) is frame 52 (0.832 s).
    EXPECT_TRUE(InOrder(CallTextsFrom(20), {"player1.StartSoundShader(objective/done, 0)",
                                            "player1.DestroyHUDElement(\"ObjectiveText\")",
                                            "obj2.Activate(obj1)",
                                            "player1.SetHUDElementText(\"ObjectiveText\", \"Pull the lever\")"}));
    EXPECT_EQ(Calls(".Activate("), std::vector<std::string>{"52 obj2.Activate(obj1)"});
    EXPECT_EQ(Calls("DestroyHUDElement").size(), 1u);
    EXPECT_EQ(Calls("StartSoundShader(objective/done").size(), 1u) << "key_b has no complete sound";
}

struct DelayCase {
    const char* name;
    float delay;
    const char* activation;
};

TEST_F(Objectives, NextObjectiveWaitsAtLeastAQuarterSecond) {
    // 0.25 s after frame 20 (0.320 s) is frame 36 (0.576 s); 1 s after, frame 83 (1.328 s).
    const DelayCase cases[] = {{"Zero", 0.0f, "36 obj2.Activate(obj1)"},
                               {"BelowTheMinimum", 0.1f, "36 obj2.Activate(obj1)"},
                               {"OneSecond", 1.0f, "83 obj2.Activate(obj1)"}};
    for (const DelayCase& c : cases) {
        SCOPED_TRACE(c.name);
        Load(ObjectiveLevel(R"({"fNextObjDelay": )" + std::to_string(c.delay) + "}",
                            {Event(5, "activate", "obj1"), Event(10, "activate", "key_a"),
                             Event(20, "activate", "key_b")}));
        RunUntil(90);
        EXPECT_EQ(Calls(".Activate("), std::vector<std::string>{c.activation});
        StartOver();
    }
}

// Activating a completed target again, or its manager's last target twice, completes nothing
// twice; targets activated before their manager count at the next check.
TEST_F(Objectives, CompletesOnceAndCountsEarlyTargets) {
    Load(ObjectiveLevel("{}", {Event(3, "activate", "key_a"), Event(5, "activate", "obj1"),
                               Event(10, "activate", "key_b"), Event(11, "activate", "key_b"),
                               Event(30, "activate", "key_a")}));
    RunUntil(60);
    EXPECT_EQ(FlagOf("key_b", "ObjectiveTargetComplete"), (FlagView{true, true, 2}));
    EXPECT_EQ(FlagOf("obj1", "ObjectiveComplete"), (FlagView{true, true, 1}));
    EXPECT_EQ(Calls(".Activate("), std::vector<std::string>{"26 obj2.Activate(obj1)"});
    EXPECT_EQ(Calls("DestroyHUDElement").size(), 1u);
}

TEST_F(Objectives, TargetBindsToItsNpcWhenTheObjectiveStarts) {
    Load(ObjectiveLevel("{}", {Event(5, "activate", "obj1")}, R"({"eTargetNPCName": "imp"})"));
    RunUntil(6);
    EXPECT_EQ(Calls("key_a."), (std::vector<std::string>{"5 key_a.SetWorldOrigin((100 200 110))",
                                                         "5 key_a.Bind(imp)"}));
    EXPECT_EQ(Ent("key_a").bindParent, Handle("imp"));
}

TEST_F(Objectives, ManagerWithoutTargetsShowsNothingAndNeverCompletes) {
    Load(ObjectiveLevel(R"({"sMessage": "Nothing to do"})",
                        {Event(5, "activate", "obj1"), Event(8, "activate", "obj1")}, "{}", R"("imp")"));
    RunUntil(60);
    EXPECT_TRUE(Calls("HUDElement").empty());
    EXPECT_EQ(FlagOf("obj1", "ObjectiveComplete"), (FlagView{true, false, 0}));
    EXPECT_TRUE(Calls(".Activate(").empty());
}

// ---- props --------------------------------------------------------------------------------------

struct UsableCase {
    const char* name;
    bool requireActivation;
    bool useOnce;
    const char* call;
    std::vector<std::string> events;
    std::vector<std::string> usable;  // SetUsable calls on the crate
    std::vector<std::string> scriptCalls;
    int usedCount;                    // PropUsed sets
};

void PrintTo(const UsableCase& c, std::ostream* os) { *os << c.name; }

class UsableProp : public FlagLevelTest, public ::testing::WithParamInterface<UsableCase> {};

// The flag object on the crate also answers OnUse with "PropUsed": each use counts twice.
TEST_P(UsableProp, BecomesUsableAndSpentAsConfigured) {
    const UsableCase& c = GetParam();
    Load(std::string(R"({"players": [{"name": "player1"}], "entities": [
        {"name": "crate", "class": "kvProp", "objects": [{"class": "prop_UsableProp", "properties":
         {"requireActivation": )") + (c.requireActivation ? "true" : "false") + R"(, "useOnce": )" +
         (c.useOnce ? "true" : "false") + R"(, "call": ")" + c.call + R"("}}]}],
        "timeline": [)" + Join(c.events) + "]}");
    RunUntil(20);
    EXPECT_EQ(Calls("crate.SetUsable"), c.usable);
    EXPECT_EQ(ScriptCalls(), c.scriptCalls);
    EXPECT_EQ(FlagOf("crate", "PropUsed").count, c.usedCount);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsableProp,
    ::testing::Values(
        UsableCase{"RequiresActivationThenSpent", true, true, "CrateOpened",
                   {Event(3, "activate", "crate"), Event(5, "use", "crate"), Event(7, "activate", "crate")},
                   {"0 crate.SetUsable(false)", "3 crate.SetUsable(true)", "5 crate.SetUsable(false)"},
                   {"5 call world.CrateOpened"},
                   2},
        UsableCase{"ReusableComesBackOnActivation", true, false, "",
                   {Event(3, "activate", "crate"), Event(5, "use", "crate"), Event(7, "activate", "crate")},
                   {"0 crate.SetUsable(false)", "3 crate.SetUsable(true)", "7 crate.SetUsable(true)"},
                   {},
                   2},
        UsableCase{"UsableFromTheStart", false, true, "",
                   {Event(3, "activate", "crate"), Event(5, "use", "crate")},
                   {"5 crate.SetUsable(false)"},
                   {},
                   2}),
    [](const auto& info) { return std::string(info.param.name); });

std::string PickupLevel(const std::string& properties, const char* propOrigin, const std::vector<std::string>& events) {
    return std::string(R"({"players": [{"name": "player1", "origin": [0, 0, 0]}],
        "decls": {"kvSoundShader": ["pickup/chime"]},
        "entities": [
        {"name": "gem", "class": "kvProp", "origin": )") + propOrigin + R"(, "targets": ["door"],
         "objects": [{"class": "playerFacingRotate", "properties": )" + properties + R"(}]},
        {"name": "door", "class": "kvMover"}],
        "timeline": [)" + Join(events) + "]}";
}

class FacingRotate : public FlagLevelTest {};

TEST_F(FacingRotate, NegativeRadiusNeverPicksUpButStillRelaysOnce) {
    Load(PickupLevel(R"({"pickupRadius": -1, "removeDelay": 0.5, "pickupSound": "pickup/chime"})", "[10, 0, 0]",
                     {Event(10, "activate", "gem"), Event(12, "activate", "gem")}));
    RunUntil(9);
    EXPECT_TRUE(Calls("gem.ActivateTargets").empty());
    RunUntil(60);
    EXPECT_EQ(Calls("gem.ActivateTargets"), std::vector<std::string>{"10 gem.ActivateTargets(player1)"});
    EXPECT_EQ(Calls("gem.Hide"), std::vector<std::string>{"10 gem.Hide()"});
    EXPECT_EQ(Calls("gem.StartSoundShader"), std::vector<std::string>{"10 gem.StartSoundShader(pickup/chime, 0)"});
    // Turning on frames 0 to 10, hidden from then on; removed once 0.5 s have passed (frame 42).
    EXPECT_EQ(Calls("gem.SetAngles").size(), 11u);
    EXPECT_EQ(Calls("gem.Remove()"), std::vector<std::string>{"42 gem.Remove()"});
}

TEST_F(FacingRotate, PicksItselfUpWithinTheRadiusOnce) {
    Load(PickupLevel(R"({"pickupRadius": 70})", "[50, 0, 0]", {Event(5, "activate", "gem")}));
    RunUntil(20);
    EXPECT_EQ(Calls("gem.ActivateTargets"), std::vector<std::string>{"0 gem.ActivateTargets(player1)"});
}

// The player stands on the -x side of the prop: the direction from the player has yaw 0. A prop
// with yaw 0 and no spin (delta 0) turns round once and then stays turned.
TEST_F(FacingRotate, FlipsAtDeltaZero) {
    struct Case {
        bool alwaysFacePlayer;
        const char* angles;
    };
    for (const Case& c : {Case{true, "gem.SetAngles((0 -180 0))"}, Case{false, "gem.SetAngles((0 0 0))"}}) {
        Load(PickupLevel(std::string(R"({"yawRate": 0, "pickupRadius": -1, "alwaysFacePlayer": )") +
                             (c.alwaysFacePlayer ? "true" : "false") + "}",
                         "[100, 0, 0]", {}));
        RunUntil(3);
        for (const std::string& call : Calls("gem.SetAngles")) EXPECT_EQ(call.substr(2), c.angles);
        EXPECT_EQ(Calls("gem.SetAngles").size(), 4u);
        StartOver();
    }
}

// ---- sliding door -------------------------------------------------------------------------------

std::string DoorLevel(int accessLevel, const std::vector<std::string>& events, const char* extent = "[0, 64, 0]") {
    return std::string(R"({"players": [{"name": "player1"}],
        "decls": {"kvSoundShader": ["door/open", "door/close", "door/deny", "door/grant"]},
        "entities": [
        {"name": "imp", "class": "kvAI2"},
        {"name": "light", "class": "kvLight"},
        {"name": "left", "class": "kvMover", "origin": [0, 32, 0]},
        {"name": "right", "class": "kvMover", "origin": [0, -32, 0]},
        {"name": "doorway", "class": "kvVolume", "objects": [{"class": "SlidingDoorVolume", "properties": {
          "openSoundDecl": "door/open", "closeSoundDecl": "door/close", "accessDenySoundDecl": "door/deny",
          "accessGrantSoundDecl": "door/grant", "accessIndicator": "light", "leftDoor": "left",
          "rightDoor": "right", "left_extent": )") + extent + R"(, "right_extent": [0, -64, 0],
          "accessLevel": )" + std::to_string(accessLevel) + R"(}}]}],
        "timeline": [)" + Join(events) + "]}";
}

const char* const kIdle = "light.SetLightParms(0.94902, 0.917647, 0.701961, 1)";
const char* const kGranted = "light.SetLightParms(0.643137, 1, 0.478431, 1)";
const char* const kDenied = "light.SetLightParms(0.992157, 0.137255, 0.0196078, 1)";

class SlidingDoor : public FlagLevelTest {
protected:
    std::vector<std::string> Moves() const { return Calls(".MoveToPos("); }
};

TEST_F(SlidingDoor, OpensForAnyoneAndTheFirstLeaverCloses) {
    Load(DoorLevel(0, {Event(2, "enter", "doorway"), Event(4, "enter", "doorway", "imp"),
                       Event(6, "exit", "doorway", "imp")}));
    RunUntil(8);
    EXPECT_EQ(Calls("light."), (std::vector<std::string>{std::string("0 ") + kIdle, std::string("2 ") + kGranted,
                                                        std::string("4 ") + kGranted, std::string("6 ") + kIdle}));
    EXPECT_EQ(Moves(), (std::vector<std::string>{"2 left.MoveToPos((0 96 0))", "2 right.MoveToPos((0 -96 0))",
                                                 "4 left.MoveToPos((0 96 0))", "4 right.MoveToPos((0 -96 0))",
                                                 "6 left.MoveToPos((0 32 0))", "6 right.MoveToPos((0 -32 0))"}));
    EXPECT_TRUE(InOrder(CallTextsFrom(2), {"doorway.StartSoundShader(door/grant, 0)", kGranted,
                                           "doorway.StartSoundShader(door/open, 0)", "left.Speed(80)",
                                           "left.AccelTime(0.15)", "left.DecelTime(0.15)", "left.MoveToPos("}));
    EXPECT_EQ(Calls("door/close"), std::vector<std::string>{"6 doorway.StartSoundShader(door/close, 0)"});
}

TEST_F(SlidingDoor, AccessLevelOneDeniesAndNeverMoves) {
    Load(DoorLevel(1, {Event(2, "enter", "doorway"), Event(4, "exit", "doorway")}));
    RunUntil(6);
    EXPECT_EQ(Calls("light."), (std::vector<std::string>{std::string("0 ") + kIdle, std::string("2 ") + kDenied,
                                                        std::string("4 ") + kIdle}));
    EXPECT_EQ(Calls("doorway.StartSoundShader"), std::vector<std::string>{"2 doorway.StartSoundShader(door/deny, 0)"});
    EXPECT_TRUE(Moves().empty());
}

TEST_F(SlidingDoor, ZeroExtentsOpenInPlace) {
    Load(DoorLevel(0, {Event(2, "enter", "doorway")}, "[0, 0, 0]"));
    RunUntil(3);
    EXPECT_EQ(Moves().front(), "2 left.MoveToPos((0 32 0))");
}

}  // namespace
}  // namespace scripts_test
