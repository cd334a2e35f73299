// State-change relays, the health setter and the on-screen counter of the shared library in
// running levels: which entity each control and turret event activates (and when nothing is
// asked of the host), the health the setter takes away, and what the counter shows and when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

// ---- control_ActivateEntityOnStateChange, turret_ActivateEntityOnStateChange ----------------

// "relay" carries both relays; lamp_a and lamp_b are what they may activate; one event on
// frame 5 (by player1 for the control events).
std::string RelayLevel(const std::string& controlProperties, const std::string& turretProperties,
                       const char* event, bool withBy) {
    return R"({"players": [{"name": "player1"}],
        "entities": [
          {"name": "relay", "class": "kvEntity", "objects": [
             {"class": "control_ActivateEntityOnStateChange", "properties": {)" + controlProperties + R"(}},
             {"class": "turret_ActivateEntityOnStateChange", "properties": {)" + turretProperties + R"(}}]},
          {"name": "lamp_a", "class": "kvLight"}, {"name": "lamp_b", "class": "kvLight"}],
        "timeline": [{"frame": 5, "event": "event", "entity": "relay", "name": ")" + event + "\"" +
           (withBy ? R"(, "by": "player1")" : "") + "}]}";
}

struct StateCase {
    const char* event;
    bool control;        // a control event (with the entity that caused it)
    const char* member;  // the property it reads
};

const StateCase kStateCases[] = {
    {"OnControlActivated", true, "activatedEntity"},   {"OnControlDeactivated", true, "deactivatedEntity"},
    {"OnHackFailed", true, "hackFailedEntity"},         {"OnHackSucceeded", true, "hackSucceededEntity"},
    {"OnDestroyed", false, "destroyedEntity"},          {"OnPoweredDown", false, "poweredDownEntity"},
    {"OnPoweredUp", false, "poweredUpEntity"},
};

class StateRelay : public LevelTest {};

// Each event activates the entity of its own property (the cause as activator for a control,
// none for a turret); with the property unset the event asks nothing of the host; a picked
// entity removed after the load is skipped quietly.
TEST_F(StateRelay, EachEventActivatesItsOwnEntity) {
    for (const StateCase& c : kStateCases) {
        SCOPED_TRACE(c.event);
        const std::string picked = std::string("\"") + c.member + R"(": "lamp_a")";
        const std::string control = c.control ? picked : "", turret = c.control ? "" : picked;
        const std::string wanted = std::string("lamp_a.Activate(") + (c.control ? "player1" : "<none>") + ")";

        StartOver();
        Load(RelayLevel(control, turret, c.event, c.control));
        RunUntil(6);
        EXPECT_EQ(CallTextsFrom(5), std::vector<std::string>{wanted});

        // Every other property set: this event still touches nothing.
        std::string others;
        for (const StateCase& o : kStateCases)
            if (o.control == c.control && o.member != c.member)
                others += std::string(others.empty() ? "" : ", ") + "\"" + o.member + R"(": "lamp_b")";
        StartOver();
        Load(RelayLevel(c.control ? others : "", c.control ? "" : others, c.event, c.control));
        RunUntil(6);
        EXPECT_EQ(CallTextsFrom(5), std::vector<std::string>{});

        StartOver();
        Load(RelayLevel(control, turret, c.event, c.control));
        world->RemoveEntity(Handle("lamp_a"));
        RunUntil(6);
        EXPECT_EQ(CallTextsFrom(5), std::vector<std::string>{});
        EXPECT_EQ(Console("lamp_a"), std::vector<std::string>{});
        EXPECT_EQ(Console("rror"), std::vector<std::string>{});
    }
}

// One entity picked for several events is activated once per event.
TEST_F(StateRelay, OneEntityForSeveralEvents) {
    const std::string json = R"({"players": [{"name": "player1"}],
        "entities": [
          {"name": "relay", "class": "kvEntity", "objects": [{"class": "control_ActivateEntityOnStateChange",
             "properties": {"hackFailedEntity": "lamp_a", "hackSucceededEntity": "lamp_a"}}]},
          {"name": "lamp_a", "class": "kvLight"}],
        "timeline": [{"frame": 5, "event": "event", "entity": "relay", "name": "OnHackFailed", "by": "player1"},
                     {"frame": 6, "event": "event", "entity": "relay", "name": "OnHackSucceeded", "by": "relay"},
                     {"frame": 7, "event": "event", "entity": "relay", "name": "OnHackFailed", "by": "player1"}]})";
    Load(json);
    RunUntil(8);
    EXPECT_EQ(Calls("Activate"), (std::vector<std::string>{"5 lamp_a.Activate(player1)", "6 lamp_a.Activate(relay)",
                                                           "7 lamp_a.Activate(player1)"}));
}

// ---- targetSetHealth ------------------------------------------------------------------------

std::string SetterLevel(const std::string& properties, const std::vector<int>& activations) {
    std::string timeline;
    for (int f : activations)
        timeline += std::string(timeline.empty() ? "" : ", ") + R"({"frame": )" + std::to_string(f) +
                    R"(, "event": "activate", "entity": "setter", "by": "player1"})";
    return R"({"players": [{"name": "player1", "health": 150, "shields": 50}],
        "entities": [{"name": "setter", "class": "kvTarget", "origin": [10, 20, 30],
          "objects": [{"class": "targetSetHealth", "properties": {)" + properties + R"(}}]}],
        "timeline": [)" + timeline + "]}";
}

class SetterTest : public LevelTest {};

// The player's health and shields together come down to newHealth: 150 + 50 with the default
// 100 is a decrease of 100 (health 50, shields untouched); a player below newHealth gets a
// negative amount.
TEST_F(SetterTest, DecreasesToTheNewValueOnEveryActivation) {
    Load(SetterLevel("", {5, 10}));
    RunUntil(8);
    EXPECT_EQ(Ent("player1").health, 50);
    EXPECT_EQ(Ent("player1").shields, 50);
    Ent("player1").shields = 0;
    RunUntil(12);
    EXPECT_EQ(Calls("DecreaseHealth"), (std::vector<std::string>{"6 player1.DecreaseHealth(100)",
                                                                  "11 player1.DecreaseHealth(-50)"}));
}

// Without repeat the setter acts once and its thread ends.
TEST_F(SetterTest, WithoutRepeatActsOnce) {
    Load(SetterLevel(R"("repeat": false, "newHealth": 120)", {5, 10}));
    RunUntil(12);
    EXPECT_EQ(Calls("DecreaseHealth"), std::vector<std::string>{"6 player1.DecreaseHealth(80)"});
}

// With debugText the waiting setter shows its value and the player's over its origin.
TEST_F(SetterTest, DebugText) {
    Load(SetterLevel(R"("debugText": true, "newHealth": 75.5)", {}));
    RunUntil(3);
    std::vector<std::string> texts;
    for (const qohost::DebugDraw& d : world->recorder.draws)
        if (d.frame == 2) texts.push_back(d.text + " @" + std::to_string(int(d.a.z) - 30));
    EXPECT_EQ(texts, (std::vector<std::string>{"qoObject: targetSetHealth @20", "newHealth: 75.500 @4",
                                               "pHealth: 150 @-12", "pShield: 50 @-20"}));
}

// ---- targetVisualCounter --------------------------------------------------------------------

std::string CounterLevel(const std::string& properties, const std::vector<int>& activations) {
    std::string timeline;
    for (int f : activations)
        timeline += std::string(timeline.empty() ? "" : ", ") + R"({"frame": )" + std::to_string(f) +
                    R"(, "event": "activate", "entity": "counter"})";
    return R"({"players": [{"name": "player1", "origin": [0, 0, 0], "angles": [0, 90, 0]}],
        "entities": [{"name": "counter", "class": "kvTarget",
          "objects": [{"class": "targetVisualCounter", "properties": {)" + properties + R"(}}]}],
        "timeline": [)" + timeline + "]}";
}

class CounterTest : public LevelTest {
protected:
    // The screen as the host recorded it: "FRAME screen: ...".
    std::vector<std::string> Screen() const { return Records("screen", "screen: "); }
    std::vector<const qohost::DebugDraw*> DrawsOn(uint64_t frame) const {
        std::vector<const qohost::DebugDraw*> out;
        for (const qohost::DebugDraw& d : world->recorder.draws)
            if (d.frame == frame) out.push_back(&d);
        return out;
    }
};

// With the defaults the first activation shows 29 and the second 28, each for the fade time
// (0.75 s: 47 frames of 16 ms), recorded at the start of the frame after.
TEST_F(CounterTest, CountsDownFromThirtyAndFadesOut) {
    Load(CounterLevel("", {10, 100}));
    RunUntil(200);
    EXPECT_EQ(Screen(), (std::vector<std::string>{"12 screen: \"29\"", "59 screen: cleared", "102 screen: \"28\"",
                                                  "149 screen: cleared"}));
}

// Another activation while the count fades shows the new count and starts the fade again.
TEST_F(CounterTest, ActivationWhileFadingRestartsTheFade) {
    Load(CounterLevel("", {10, 30}));
    RunUntil(120);
    EXPECT_EQ(Screen(), (std::vector<std::string>{"12 screen: \"29\"", "32 screen: \"28\"", "79 screen: cleared"}));
}

// A fade time of 0 is taken as 0.01 s: the count shows for one frame.
TEST_F(CounterTest, ZeroFadeTimeShowsOneFrame) {
    Load(CounterLevel(R"("fadeTime": 0, "startCount": 5, "countStep": 2)", {10}));
    RunUntil(20);
    EXPECT_EQ(Screen(), (std::vector<std::string>{"12 screen: \"7\"", "13 screen: cleared"}));
}

// The screen is followed from the draws as they are made, not from kept ones: with no sink
// wanting draws (as in `qohost run`) the changes are recorded all the same.
TEST_F(CounterTest, ScreenFollowedWithoutRecordedDraws) {
    world->recorder.wants &= ~qohost::MaskOf(qohost::RecordKind::Draw);
    world->SinksChanged();
    Load(CounterLevel("", {10, 30}));
    RunUntil(120);
    EXPECT_TRUE(world->recorder.draws.empty());
    EXPECT_EQ(Screen(), (std::vector<std::string>{"12 screen: \"29\"", "32 screen: \"28\"", "79 screen: cleared"}));
    EXPECT_TRUE(world->screen.Shown().empty());
}

// The count is drawn 36 times a frame, 200 units ahead of the view and yPos up, in color0 at
// scale0 when new, moving up by yOffset toward color1 and scale1 as it fades.
TEST_F(CounterTest, DrawsThickTextThatRisesAndFades) {
    Load(CounterLevel(R"("color0": [1, 0, 0, 1], "color1": [0, 0, 1, 1], "fadeTime": 0.8)", {10}));
    RunUntil(70);
    const auto first = DrawsOn(11);
    ASSERT_EQ(first.size(), 36u);
    for (const qohost::DebugDraw* d : first) {
        EXPECT_EQ(d->text, "29");
        EXPECT_FLOAT_EQ(d->lifetime, 0.0f);
        EXPECT_FLOAT_EQ(d->scale, 1.2f);
        EXPECT_FLOAT_EQ(d->color.r, 1.0f);
        EXPECT_FLOAT_EQ(d->color.b, 0.0f);
        EXPECT_NEAR(d->a.y, 200.0f, 0.001f);  // ahead of a view turned to +y
    }
    // gx runs along the view's right (+x for a view along +y), gy up; (0, 0) is the centre.
    EXPECT_NEAR(first[0]->a.x, -1.5f, 0.001f);
    EXPECT_NEAR(first[0]->a.z, 110.0f - 1.5f, 0.001f);
    EXPECT_NEAR(first[21]->a.x, 0.0f, 0.001f);
    EXPECT_NEAR(first[21]->a.z, 110.0f, 0.001f);

    const auto half = DrawsOn(11 + 25);  // t = 25 frames of 16 ms / 0.8 s = 0.5
    ASSERT_EQ(half.size(), 36u);
    EXPECT_NEAR(half[21]->a.z, 110.0f + 15.0f, 0.001f);
    EXPECT_NEAR(half[21]->scale, 1.5f, 0.001f);
    EXPECT_NEAR(half[21]->color.r, 0.5f, 0.001f);
    EXPECT_NEAR(half[21]->color.b, 0.5f, 0.001f);
}

}  // namespace
}  // namespace scripts_test
