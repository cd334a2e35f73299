// The sequential relays and the audible countdown timer of the shared library in running
// levels: which targets fire on which frames, the waits between them, the timer's deadline,
// tick sounds and removal, and their debug text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

constexpr int32_t kFrameMs = 16;  // the level default

std::string Activations(const std::vector<int>& frames, const char* entity) {
    std::string out;
    for (int f : frames)
        out += std::string(out.empty() ? "" : ", ") + R"({"frame": )" + std::to_string(f) +
               R"(, "event": "activate", "entity": ")" + entity + R"(", "by": "player1"})";
    return out;
}

// A relay entity with `targets` lamps and one object of `className` with `properties`.
std::string RelayLevel(const char* className, int targets, const std::string& properties,
                       const std::vector<int>& activations) {
    std::string names, lamps;
    for (int i = 1; i <= targets; ++i) {
        const std::string lamp = "lamp_" + std::to_string(i);
        names += std::string(i > 1 ? ", " : "") + "\"" + lamp + "\"";
        lamps += R"(, {"name": ")" + lamp + R"(", "class": "kvLight"})";
    }
    return R"({"players": [{"name": "player1"}],
        "entities": [{"name": "relay", "class": "kvTarget", "origin": [64, 32, 16], "targets": [)" +
           names + R"(], "objects": [{"class": ")" + className + R"(", "properties": {)" + properties +
           "}}]}" + lamps + R"(],
        "timeline": [)" + Activations(activations, "relay") + "]}";
}

class RelayTest : public LevelTest {
protected:
    uint32_t InitThread() const { return ThreadStartedOn("relay", "Init"); }
    // "FRAME REASON" of the relay's Init thread, or "" while it runs.
    std::string InitEnd() const { return ThreadEnd(InitThread()); }
};

// ---- triggerSequential ----------------------------------------------------------------------

struct SequentialCase {
    const char* name;
    int targets;
    bool loop;
    std::vector<int> activations;    // frames
    std::vector<std::string> fired;  // "FRAME target" per Activate call
    std::string initEnd;             // how the Init thread ended, "" while it runs
};

void PrintTo(const SequentialCase& c, std::ostream* os) { *os << c.name; }

class SequentialRelay : public RelayTest, public ::testing::WithParamInterface<SequentialCase> {};

// Each activation fires the next target on the frame after it, with player1 as activator.
TEST_P(SequentialRelay, FiresOneTargetPerActivationInOrder) {
    const SequentialCase& c = GetParam();
    Load(RelayLevel("triggerSequential", c.targets, std::string("\"loop\": ") + (c.loop ? "true" : "false"),
                    c.activations));
    RunUntil(60);
    std::vector<std::string> fired;
    for (const std::string& call : Calls(".Activate(")) {
        EXPECT_NE(call.find(".Activate(player1)"), std::string::npos) << call;
        fired.push_back(call.substr(0, call.find('.')));
    }
    EXPECT_EQ(fired, c.fired);
    EXPECT_EQ(Calls("relay.GetTarget").size(), c.fired.size());
    EXPECT_EQ(InitEnd(), c.initEnd);
}

const SequentialCase kSequentialCases[] = {
    {"NoTargetsEndsAtOnceAndIgnoresActivations", 0, true, {12, 22}, {}, "0 returned"},
    {"WithoutLoopDiesAfterTheLast", 3, false, {12, 22, 32, 42}, {"13 lamp_1", "23 lamp_2", "33 lamp_3"}, "33 returned"},
    {"LoopStartsOver", 3, true, {12, 22, 32, 42}, {"13 lamp_1", "23 lamp_2", "33 lamp_3", "43 lamp_1"}, ""},
    {"ActivationsOfOneFrameFireOnce", 3, false, {12, 12, 22}, {"13 lamp_1", "23 lamp_2"}, ""},
    {"SingleTargetWithLoopFiresItEveryTime", 1, true, {12, 22}, {"13 lamp_1", "23 lamp_1"}, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, SequentialRelay, ::testing::ValuesIn(kSequentialCases),
                         [](const ::testing::TestParamInfo<SequentialCase>& info) { return std::string(info.param.name); });

// With debugText the waiting relay draws five lines over its origin every frame; the last fired
// target reads "<NULL>" before the first firing and again once that target is gone.
TEST_F(RelayTest, SequentialDebugTextWhileWaiting) {
    Load(RelayLevel("triggerSequential", 2, R"("loop": false, "debugText": true)", {12}));
    auto textsOn = [&](uint64_t frame) {
        std::vector<std::string> texts;
        for (const qohost::DebugDraw& d : world->recorder.draws) {
            if (d.frame != frame) continue;
            EXPECT_EQ(d.shape, "text");
            EXPECT_FLOAT_EQ(d.scale, 0.3f);
            EXPECT_FLOAT_EQ(d.lifetime, 0.016f);
            const bool title = d.text.rfind("qoObject", 0) == 0;
            EXPECT_EQ(d.color.r, title ? 0.75f : 1.0f) << d.text;
            EXPECT_EQ(d.color.g, title ? 0.75f : 0.5f) << d.text;
            EXPECT_EQ(d.color.b, title ? 0.75f : 0.0f) << d.text;
            EXPECT_EQ(d.a.x, 64.0f);
            EXPECT_EQ(d.a.y, 32.0f);
            texts.push_back(d.text + " @" + std::to_string(int(d.a.z) - 16));
        }
        return texts;
    };
    RunUntil(20);
    EXPECT_EQ(textsOn(5), (std::vector<std::string>{"qoObject: triggerSequential @20", "lastFiredTarget: <NULL> @12",
                                                    "curTarget: 0 @4", "numTargets: 2 @-4", "looping: false @-12"}));
    EXPECT_EQ(textsOn(14)[1], "lastFiredTarget: lamp_1 @12");
    EXPECT_EQ(textsOn(14)[2], "curTarget: 1 @4");
    world->RemoveEntity(Handle("lamp_1"));
    RunUntil(22);
    EXPECT_EQ(textsOn(22)[1], "lastFiredTarget: <NULL> @12");
}

// ---- triggerLerpDelay -----------------------------------------------------------------------

struct LerpCase {
    const char* name;
    int targets;
    const char* properties;
    std::vector<std::string> waits;  // seconds, as the host records them
};

void PrintTo(const LerpCase& c, std::ostream* os) { *os << c.name; }

class LerpRelay : public RelayTest, public ::testing::WithParamInterface<LerpCase> {};

// One activation fires every target in order, each after its delay: firstDelay before the
// first, lastDelay before the last, evenly between. Later activations do nothing.
TEST_P(LerpRelay, WaitsTheLerpedDelayBeforeEachTarget) {
    const LerpCase& c = GetParam();
    Load(RelayLevel("triggerLerpDelay", c.targets, c.properties, {12, 300}));
    RunUntil(400);
    const uint32_t id = InitThread();
    std::vector<std::string> waits;
    std::vector<uint64_t> resumed;
    bool waitingSeconds = false;
    for (const qohost::KeptRecord& r : world->recorder.OfKind("thread")) {
        const std::string suspend = "suspend " + std::to_string(id) + " seconds ";
        if (r.text.rfind(suspend, 0) == 0) {
            waits.push_back(r.text.substr(suspend.size()));
            waitingSeconds = true;
        } else if (waitingSeconds && r.text == "resume " + std::to_string(id)) {
            resumed.push_back(r.frame);
            waitingSeconds = false;
        }
    }
    EXPECT_EQ(waits, c.waits);

    // Target i fires on the frame its wait ends, and the wait lasted its delay (to the frame).
    const std::vector<std::string> fired = Calls(".Activate(");
    ASSERT_EQ(fired.size(), c.waits.size());
    ASSERT_EQ(resumed.size(), c.waits.size());
    uint64_t previous = 13;  // the thread sees the activation of frame 12 on frame 13
    for (size_t i = 0; i < fired.size(); ++i) {
        EXPECT_EQ(fired[i], std::to_string(resumed[i]) + " lamp_" + std::to_string(i + 1) + ".Activate(player1)");
        const double waitedMs = double(resumed[i] - previous) * kFrameMs;
        const double delayMs = std::stod(c.waits[i]) * 1000.0;
        EXPECT_GE(waitedMs, delayMs - 0.01) << i;
        EXPECT_LE(waitedMs, delayMs + kFrameMs) << i;
        previous = resumed[i];
    }
    EXPECT_NE(InitEnd().find(" returned"), std::string::npos);
}

const LerpCase kLerpCases[] = {
    {"ThreeTargetsFromTheDefaults", 3, "", {"2", "1.125", "0.25"}},
    {"FourTargets", 4, R"("firstDelay": 1.5, "lastDelay": 0.25)", {"1.5", "1.08333", "0.666667", "0.25"}},
    {"TwoTargetsGetFirstAndLast", 2, R"("firstDelay": 0.5, "lastDelay": 1)", {"0.5", "1"}},
    {"OneTargetGetsTheFirstDelay", 1, R"("firstDelay": 0.75, "lastDelay": 3)", {"0.75"}},
    {"NoTargetsEndsAtOnce", 0, "", {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LerpRelay, ::testing::ValuesIn(kLerpCases),
                         [](const ::testing::TestParamInfo<LerpCase>& info) { return std::string(info.param.name); });

// ---- audibleTimer ---------------------------------------------------------------------------

constexpr size_t kElapsedField = 24;
constexpr size_t kTargetTimeField = 32;

std::string TimerLevel(const std::string& properties, const std::vector<int>& activations,
                       const std::string& extraEvents = "") {
    std::string timeline = Activations(activations, "timer");
    if (!extraEvents.empty()) timeline += ", " + extraEvents;
    return R"({"players": [{"name": "player1"}],
        "decls": {"kvSoundShader": ["tick/slow", "tick/mid", "tick/fast", "timer/start", "timer/done"]},
        "entities": [
          {"name": "timer", "class": "kvTarget", "origin": [100, 50, 0], "targets": ["door", "alarm"],
           "objects": [{"class": "audibleTimer", "properties": {)" +
           properties + R"(}}]},
          {"name": "door", "class": "kvMover"},
          {"name": "alarm", "class": "kvSpeaker"}],
        "timeline": [)" + timeline + "]}";
}

class TimerTest : public LevelTest {
protected:
    kvQOObject* Timer() const { return Object("timer", "audibleTimer"); }
};

struct ExtendCase {
    const char* name;
    bool cap;
    float triggerTime;
    std::vector<int> activations;   // the first starts the countdown, the others extend it
    float targetTime;               // the deadline (seconds of countdown) after the last
    int timeOutFrame;               // ActivateTargets
};

void PrintTo(const ExtendCase& c, std::ostream* os) { *os << c.name; }

class TimerExtension : public TimerTest, public ::testing::WithParamInterface<ExtendCase> {};

// The countdown (2.01 s) starts on frame 13 (game time 0.208 s). Each later activation adds
// triggerTime; with capTargetTime the time left never exceeds the initial 2.01 s. The targets
// fire on the frame after the countdown passes its deadline.
TEST_P(TimerExtension, ExtendsTheDeadline) {
    const ExtendCase& c = GetParam();
    Load(TimerLevel(R"("targetTime": 2.01, "triggerTime": )" + std::to_string(c.triggerTime) +
                        R"(, "capTargetTime": )" + (c.cap ? "true" : "false"),
                    c.activations));
    for (size_t i = 1; i < c.activations.size(); ++i) {
        RunUntil(c.activations[i]);
        const float left = Field<float>(Timer(), kTargetTimeField) - Field<float>(Timer(), kElapsedField);
        if (c.cap) {
            EXPECT_LE(left, 2.01f + 1e-5f) << "after the activation of frame " << c.activations[i];
        }
    }
    EXPECT_NEAR(Field<float>(Timer(), kTargetTimeField), c.targetTime, 1e-4f);
    RunUntil(c.timeOutFrame + 5);
    EXPECT_EQ(Calls("ActivateTargets"), (std::vector<std::string>{std::to_string(c.timeOutFrame) +
                                                                    " timer.ActivateTargets(player1)"}));
}

const ExtendCase kExtendCases[] = {
    {"NotTriggeredAgain", false, 1.0f, {12}, 2.01f, 140},
    {"UncappedAddsTriggerTime", false, 1.0f, {12, 40}, 3.01f, 203},
    {"UncappedAddsItEachTime", false, 1.0f, {12, 40, 60}, 4.01f, 265},
    {"CappedKeepsTheInitialTimeLeft", true, 1.0f, {12, 40}, 2.442f, 167},
    {"CappedTwice", true, 1.0f, {12, 40, 60}, 2.762f, 187},
    {"CappedButBelowTheCap", true, 0.5f, {12, 106}, 2.51f, 171},
};

INSTANTIATE_TEST_SUITE_P(Cases, TimerExtension, ::testing::ValuesIn(kExtendCases),
                         [](const ::testing::TestParamInfo<ExtendCase>& info) { return std::string(info.param.name); });

// The countdown also ends when player1 dies: the targets fire on the next frame.
TEST_F(TimerTest, FiresItsTargetsWhenPlayer1Dies) {
    Load(TimerLevel(R"("targetTime": 20)", {12}, R"({"frame": 30, "event": "death", "entity": "player1"})"));
    RunUntil(40);
    EXPECT_EQ(Calls("ActivateTargets"), (std::vector<std::string>{"32 timer.ActivateTargets(player1)"}));
    EXPECT_EQ(Calls("player1.IsDead()").size(), size_t(31 - 13 + 1));
}

struct TickCase {
    const char* name;
    const char* properties;
    std::vector<std::string> sounds;  // "FRAME sound"
};

void PrintTo(const TickCase& c, std::ostream* os) { *os << c.name; }

class TimerTicks : public TimerTest, public ::testing::WithParamInterface<TickCase> {};

// Ticks every 0.255 s of a 2.1 s countdown that starts on frame 13, on frames 29, 45, 61, 77,
// 93, 109, 125 and 141 (time left 1.844, 1.588, 1.332, 1.076, 0.82, 0.564, 0.308, 0.052); the
// countdown ends on frame 145. A tick plays the sound of the last class whose count divides
// the tick number and whose threshold is above the time left; a count of 0 turns a class off.
TEST_P(TimerTicks, PlayTheSoundOfTheLastQualifyingClass) {
    const TickCase& c = GetParam();
    Load(TimerLevel(std::string(R"("targetTime": 2.1, "tickRate": 0.255, "playTimeOutSound": false,
        "slowTickSound": "tick/slow", "midTickSound": "tick/mid", "fastTickSound": "tick/fast")") +
                        c.properties,
                    {12}));
    RunUntil(150);
    std::vector<std::string> sounds;
    for (const std::string& call : Calls("timer.StartSoundShader(")) {
        const size_t open = call.find('(');
        sounds.push_back(call.substr(0, call.find(' ')) + " " + call.substr(open + 1, call.find(',') - open - 1));
    }
    EXPECT_EQ(sounds, c.sounds);
    EXPECT_EQ(Field<int32_t>(Timer(), 16), 8) << "tickCount";
}

const TickCase kTickCases[] = {
    {"EachClassInItsRange",
     R"(, "slowTickThreshold": 16, "slowTickCount": 4, "midTickThreshold": 1, "midTickCount": 2,
         "fastTickThreshold": 0.5, "fastTickCount": 1)",
     {"77 tick/slow", "109 tick/mid", "125 tick/fast", "141 tick/fast"}},
    {"SlowCountZeroPlaysNoSlowTick",
     R"(, "slowTickThreshold": 16, "slowTickCount": 0, "midTickThreshold": 1, "midTickCount": 2,
         "fastTickThreshold": 0.5, "fastTickCount": 1)",
     {"109 tick/mid", "125 tick/fast", "141 tick/fast"}},
    {"ThresholdAboveTheTimeLeft", R"(, "slowTickThreshold": 1, "slowTickCount": 4, "midTickCount": 0, "fastTickCount": 0)",
     {"141 tick/slow"}},
    {"EveryTick", R"(, "slowTickThreshold": 16, "slowTickCount": 1, "midTickCount": 0, "fastTickCount": 0)",
     {"29 tick/slow", "45 tick/slow", "61 tick/slow", "77 tick/slow", "93 tick/slow", "109 tick/slow",
      "125 tick/slow", "141 tick/slow"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, TimerTicks, ::testing::ValuesIn(kTickCases),
                         [](const ::testing::TestParamInfo<TickCase>& info) { return std::string(info.param.name); });

// Without repeat the timer removes its entity 5 s after the time-out; with repeat it waits for
// the next activation and counts down again from the initial time, extensions forgotten.
TEST_F(TimerTest, RemovesItselfAfterFiveSecondsUnlessItRepeats) {
    struct Case {
        bool repeat;
        std::vector<std::string> calls;  // ActivateTargets, sounds and Remove
    };
    const Case cases[] = {
        {false,
         {"13 timer.StartSoundShader(timer/start, 0)", "77 timer.ActivateTargets(player1)",
          "77 timer.StartSoundShader(timer/done, 0)", "390 timer.Remove()"}},
        {true,
         {"13 timer.StartSoundShader(timer/start, 0)", "77 timer.ActivateTargets(player1)",
          "77 timer.StartSoundShader(timer/done, 0)", "101 timer.StartSoundShader(timer/start, 0)",
          "134 timer.ActivateTargets(player1)", "134 timer.StartSoundShader(timer/done, 0)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.repeat ? "repeat" : "once");
        StartOver();
        Load(TimerLevel(std::string(R"("targetTime": 0.5, "triggerTime": 0.5, "slowTickCount": 0,
                            "midTickCount": 0, "fastTickCount": 0, "playTriggerSound": true,
                            "triggerSound": "timer/start", "timeOutSound": "timer/done", "repeat": )") +
                            (c.repeat ? "true" : "false"),
                        {12, 30, 100}));
        RunUntil(400);
        std::vector<std::string> calls;
        for (const std::string& call : Calls("timer."))
            if (call.find("ActivateTargets") != std::string::npos || call.find("Sound") != std::string::npos ||
                call.find("Remove") != std::string::npos)
                calls.push_back(call);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(world->EntityByName("timer") == nullptr, !c.repeat);
        EXPECT_EQ(Timer() == nullptr, !c.repeat);
    }
}

// With debugText the counting timer draws six orange lines 140 units over its origin, every
// frame, with no lifetime of their own.
TEST_F(TimerTest, DebugTextWhileCounting) {
    Load(TimerLevel(R"("targetTime": 2.5, "debugText": true, "capTargetTime": true)", {12}));
    RunUntil(14);
    std::vector<std::string> texts;
    for (const qohost::DebugDraw& d : world->recorder.draws) {
        if (d.frame != 13) continue;
        EXPECT_EQ(d.shape, "text");
        EXPECT_FLOAT_EQ(d.scale, 0.3f);
        EXPECT_EQ(d.lifetime, 0.0f);
        EXPECT_EQ(d.color.r, 1.0f);
        EXPECT_EQ(d.color.g, 0.5f);
        EXPECT_EQ(d.color.b, 0.0f);
        EXPECT_EQ(d.a.x, 100.0f);
        EXPECT_EQ(d.a.y, 50.0f);
        texts.push_back(d.text + " @" + std::to_string(int(d.a.z) - 140));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"timeLeft: 2.500 @12", "timer: 0 @4", "targetTime: 2.500 @-4",
                                               "triggerTime: 10 @-12", "repeat: false @-20",
                                               "capTargetTime: true @-28"}));
    EXPECT_EQ(world->recorder.draws.back().frame, 14u);
}

}  // namespace
}  // namespace scripts_test
