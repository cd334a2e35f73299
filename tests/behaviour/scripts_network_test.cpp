// The encounter network's counter, sequencer and printing in the real library: signals sent
// through the nodes' slot 89 as a transmitting node would, activations read from the host's
// record of method calls, console text as printed; and the network classes' tables as an
// editor reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/behaviour/scripts_levels.h"

namespace {

using qohost::test::CallSlot;
using scripts_test::LevelTest;

constexpr int kOnSignalSlot = 89, kConfigureNodeSlot = 90, kProcessStepsSlot = 92;
constexpr int32_t kJobEvents = 8;
constexpr int32_t kAiKilled = 1, kAiSpawned = 0;
constexpr size_t kNodeTypeField = 16, kEventCountField = 208, kStepsNumField = 184 + 8;

// A level with one counting node and two doors it may activate.
std::string CounterLevel(const std::string& className, const std::string& eventType, const std::string& steps) {
    return R"({ "players": [ { "name": "player1" } ], "entities": [
      { "name": "d1", "class": "kvMover" }, { "name": "d2", "class": "kvMover" }, { "name": "d3", "class": "kvMover" },
      { "name": "seq", "class": "kvTarget", "objects": [ { "class": ")" + className +
           R"(", "properties": { "eventType": ")" + eventType + R"(", "sequenceSteps": )" + steps + R"( } } ] } ] })";
}

struct StepCase {
    const char* name;
    const char* className;
    const char* steps;             // JSON list of sequence steps
    std::vector<int32_t> events;   // signalled in order (eventType is GAMEPLAY_EVENT_AI_KILLED)
    const char* fired;             // "event number:door ..." for each activation
};

const StepCase kStepCases[] = {
    {"FiresOnTheSecondKillThenIsRemoved", "pHell_EventCounter",
     R"([ { "entityToActivate": "d1", "targetCount": 2, "timesToFire": 1 } ])", {1, 1, 1, 1}, "2:d1"},
    {"TimesToFireZeroRepeatsForEver", "pHell_EventCounter",
     R"([ { "entityToActivate": "d1", "targetCount": 3, "timesToFire": 0 } ])", {1, 1, 1, 1, 1, 1, 1, 1, 1},
     "3:d1 6:d1 9:d1"},
    {"TwoStepsFireOnTheSameEventFirstStepFirst", "pHell_EventCounter",
     R"([ { "entityToActivate": "d1", "targetCount": 1, "timesToFire": 0 },
          { "entityToActivate": "d2", "targetCount": 2, "timesToFire": 0 } ])", {1, 1, 1, 1},
     "1:d1 2:d1 2:d2 3:d1 4:d1 4:d2"},
    {"AStepRemovedLetsTheNextOneFireOnTheSameEvent", "pHell_EventCounter",
     R"([ { "entityToActivate": "d1", "targetCount": 1, "timesToFire": 1 },
          { "entityToActivate": "d2", "targetCount": 1, "timesToFire": 2 } ])", {1, 1, 1}, "1:d1 1:d2 2:d2"},
    {"UnmatchedEventsAreNotCounted", "pHell_EventCounter",
     R"([ { "entityToActivate": "d1", "targetCount": 1, "timesToFire": 0 } ])", {0, 1, 0, 1}, "2:d1 4:d1"},
    {"TargetCountZeroNeverFiresAndStopsNothing", "pHell_EventCounter",
     R"([ { "entityToActivate": "d1", "targetCount": 0, "timesToFire": 1 },
          { "entityToActivate": "d2", "targetCount": 2, "timesToFire": 0 } ])", {1, 1, 1, 1}, "2:d2 4:d2"},
    {"NegativeTargetCountCountsAsItsAbsoluteValue", "pHell_EventCounter",
     R"([ { "entityToActivate": "d1", "targetCount": -2, "timesToFire": 0 } ])", {1, 1, 1, 1}, "2:d1 4:d1"},
    {"SequencerTakesItsStepsInTurn", "pHell_EventSequencer",
     R"([ { "entityToActivate": "d1", "targetCount": 2, "timesToFire": 0 },
          { "entityToActivate": "d2", "targetCount": 1, "timesToFire": 0 } ])", {1, 1, 1, 1, 1, 1},
     "2:d1 3:d2 5:d1 6:d2"},
    {"SequencerPassesOverTheStepThatMovesIntoARemovedOne", "pHell_EventSequencer",
     R"([ { "entityToActivate": "d1", "targetCount": 1, "timesToFire": 1 },
          { "entityToActivate": "d2", "targetCount": 1, "timesToFire": 0 },
          { "entityToActivate": "d3", "targetCount": 1, "timesToFire": 0 } ])", {1, 1, 1, 1}, "1:d1 2:d3 3:d2 4:d3"},
    {"SequencerWithATargetCountOfZeroStaysOnThatStep", "pHell_EventSequencer",
     R"([ { "entityToActivate": "d1", "targetCount": 0, "timesToFire": 0 } ])", {1, 1, 1}, ""},
    {"SequencerWithoutStepsOnlyCounts", "pHell_EventSequencer", "[]", {1, 1}, ""},
};

class NetworkCounterSteps : public LevelTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(NetworkCounterSteps, FireAsCounted) {
    const StepCase& c = GetParam();
    Load(CounterLevel(c.className, "GAMEPLAY_EVENT_AI_KILLED", c.steps));
    RunUntil(10);  // settled: a lone node
    kvQOObject* counter = Object("seq", c.className);
    ASSERT_NE(counter, nullptr);
    std::string fired;
    int32_t matched = 0;
    for (size_t i = 0; i < c.events.size(); ++i) {
        const size_t before = Calls(".Activate(").size();
        const bool counted = CallSlot<bool>(counter, kOnSignalSlot, Handle("d3"), kJobEvents, c.events[i]);
        EXPECT_EQ(counted, c.events[i] == kAiKilled) << "event " << i + 1;
        matched += counted ? 1 : 0;
        const std::vector<std::string> calls = Calls(".Activate(");
        for (size_t k = before; k < calls.size(); ++k) {
            const std::string door = calls[k].substr(calls[k].find(' ') + 1, 2);
            EXPECT_NE(calls[k].find(door + ".Activate(" + door + ")"), std::string::npos) << calls[k];
            fired += (fired.empty() ? "" : " ") + std::to_string(i + 1) + ":" + door;
        }
    }
    EXPECT_EQ(fired, c.fired);
    EXPECT_EQ(Field<int32_t>(counter, kEventCountField), matched);
}

INSTANTIATE_TEST_SUITE_P(Steps, NetworkCounterSteps, ::testing::ValuesIn(kStepCases),
                         [](const ::testing::TestParamInfo<StepCase>& info) { return std::string(info.param.name); });

class NetworkCounter : public LevelTest {};

TEST_F(NetworkCounter, StepsThatRunOutAreRemovedAndCountingGoesOn) {
    Load(CounterLevel("pHell_EventCounter", "GAMEPLAY_EVENT_AI_KILLED",
                      R"([ { "entityToActivate": "d1", "targetCount": 2, "timesToFire": 1 } ])"));
    RunUntil(10);
    kvQOObject* counter = Object("seq", "pHell_EventCounter");
    for (int i = 0; i < 5; ++i) CallSlot<bool>(counter, kOnSignalSlot, 0u, kJobEvents, kAiKilled);
    EXPECT_EQ(Field<int32_t>(counter, kStepsNumField), 0);
    EXPECT_EQ(Field<int32_t>(counter, kEventCountField), 5);
}

TEST_F(NetworkCounter, SequencerPrintsEachFiring) {
    Load(CounterLevel("pHell_EventSequencer", "GAMEPLAY_EVENT_AI_KILLED",
                      R"([ { "entityToActivate": "d1", "targetCount": 2, "timesToFire": 0 } ])"));
    RunUntil(10);
    kvQOObject* sequencer = Object("seq", "pHell_EventSequencer");
    world->console.Clear();
    for (int i = 0; i < 2; ++i) CallSlot<bool>(sequencer, kOnSignalSlot, 0u, kJobEvents, kAiKilled);
    CallSlot<bool>(sequencer, kOnSignalSlot, 0u, kJobEvents, kAiSpawned);
    EXPECT_EQ(ConsoleText(), "\nseq\neventType: 1\ntargetCount: 2\neventCount: 2\n");
}

TEST_F(NetworkCounter, ActivationCountsTheDefaultEventAndPrintsTheOwnNetwork) {
    Load(R"({ "players": [ { "name": "player1" } ], "entities": [
      { "name": "door", "class": "kvMover" },
      { "name": "counter", "class": "kvTarget", "objects": [ { "class": "pHell_EventCounter", "properties": {
          "sequenceSteps": [ { "entityToActivate": "door", "targetCount": 2, "timesToFire": 0 } ] } } ] } ],
      "timeline": [ { "frame": 10, "event": "activate", "entity": "counter", "by": "player1" },
                    { "frame": 11, "event": "activate", "entity": "counter", "by": "player1" },
                    { "frame": 12, "event": "activate", "entity": "counter", "by": "player1" } ] })");
    RunUntil(13);
    EXPECT_EQ(Calls("door.Activate"), (std::vector<std::string>{"11 door.Activate(door)"}));
    EXPECT_EQ(Console("Neural Network for:"),
              (std::vector<std::string>{"10 Neural Network for:  counter", "11 Neural Network for:  counter",
                                        "12 Neural Network for:  counter"}));
    EXPECT_EQ(Field<int32_t>(Object("counter", "pHell_EventCounter"), kEventCountField), 3);
}

TEST_F(NetworkCounter, OperationsSitInTheirSlots) {
    Load(CounterLevel("pHell_EventCounter", "GAMEPLAY_EVENT_DEFAULT",
                      R"([ { "entityToActivate": "d1", "targetCount": 1, "timesToFire": 0 } ])"));
    RunUntil(10);
    kvQOObject* counter = Object("seq", "pHell_EventCounter");
    // 92 ProcessSteps: with the count at 0 every step with a target of 1 fires.
    CallSlot<void>(counter, kProcessStepsSlot);
    EXPECT_EQ(Calls("d1.Activate"), (std::vector<std::string>{"10 d1.Activate(d1)"}));
    // 90 ConfigureNode sets the counter's type again.
    const int32_t zero = 0;
    std::memcpy(reinterpret_cast<char*>(counter) + kNodeTypeField, &zero, sizeof zero);
    CallSlot<void>(counter, kConfigureNodeSlot);
    EXPECT_EQ(Field<int32_t>(counter, kNodeTypeField), 999);
}

// ---- printing the network ------------------------------------------------------------------------

class NetworkPrint : public LevelTest {};

TEST_F(NetworkPrint, DebugPrintNetworkPrintsFromTheTopOnceSettled) {
    Load(R"({ "entities": [
      { "name": "counter", "class": "kvTarget", "objects": [ { "class": "pHell_EventCounter",
          "properties": { "linkedTo": ["t1"] } } ] },
      { "name": "t1", "class": "kvTarget", "objects": [ { "class": "pHell_EventTransceiver" } ] },
      { "name": "t2", "class": "kvTarget", "objects": [ { "class": "pHell_EventTransceiver",
          "properties": { "linkedTo": ["counter"] } } ] } ] })");
    // Still expanding: the top prints nothing.
    world->console.Clear();
    world->CallScriptFunction(Handle("counter"), "DebugPrintNetwork");
    EXPECT_EQ(ConsoleText(), "");

    RunUntil(30);
    world->console.Clear();
    // Asked of a node below the top, the call goes to the top.
    world->CallScriptFunction(Handle("t2"), "DebugPrintNetwork");
    EXPECT_EQ(ConsoleText(),
              "Neural Network for:  t1\n  jobFunction: 8\n   Handler: counter\n   Slaves: \n"
              "Neural Network for:  t2\n  jobFunction: 8\n   Handler: counter\n   Slaves: \n");
}

// ---- the tables an editor reads --------------------------------------------------------------------

std::vector<std::string> Statements(const char* const* array) {
    std::vector<std::string> out;
    for (; array && *array; ++array) out.push_back(*array);
    return out;
}

class NetworkTables : public qohost::test::HostFixture {};

TEST_F(NetworkTables, EditorStatementsRepeatEveryAncestorsArray) {
    const std::vector<std::string> node = Statements(api->GetEditorMetadata("pHell_NetworkNode"));
    ASSERT_EQ(node.size(), 2u);
    EXPECT_EQ(node[0], "foreach listItem in linkedTo { targetLine { target = listItem; color = gray; showAlways = false; } }");
    EXPECT_EQ(api->GetEditorMetadata("pHell_EventTransceiver"), api->GetEditorMetadata("pHell_NetworkNode"));
    const std::vector<std::string> counter = Statements(api->GetEditorMetadata("pHell_EventCounter"));
    ASSERT_EQ(counter.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(counter.begin(), counter.begin() + 2), node);
    EXPECT_EQ(std::vector<std::string>(counter.begin() + 2, counter.begin() + 4), node);
    EXPECT_EQ(counter[4], "string { string = 'Event Counter'; color = purple; offset = ( 12 -4 0 ); showAlways = true; }");
    EXPECT_EQ(api->GetEditorMetadata("pHell_EventSequencer"), api->GetEditorMetadata("pHell_EventCounter"));
}

TEST_F(NetworkTables, PropertiesStepsAndListing) {
    struct Row {
        const char* type;
        const char* name;
        uint32_t offset, size;
    };
    const Row counterRows[] = {{"pHell_EventTransceiver::gameplayEvent_t", "eventType", 176, 4},
                               {"qoList< pHell_EventCounter::sequenceStep_t >", "sequenceSteps", 184, 24},
                               {"qoList< qoEntity >", "linkedTo", 56, 24}};
    for (const char* cls : {"pHell_EventCounter", "pHell_EventSequencer"}) {
        const qoPropertyInfo* rows = api->GetPropertyTable(cls);
        ASSERT_NE(rows, nullptr) << cls;
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_STREQ(rows[i].type, counterRows[i].type) << cls << " " << i;
            EXPECT_STREQ(rows[i].name, counterRows[i].name);
            EXPECT_EQ(rows[i].offset, counterRows[i].offset);
            EXPECT_EQ(rows[i].size, counterRows[i].size);
        }
        EXPECT_EQ(rows[3].name, nullptr);
    }
    EXPECT_EQ(api->GetElementSize("pHell_EventCounter::sequenceStep_t"), 12u);
    const qoPropertyInfo* step = api->GetPropertyTable("pHell_EventCounter::sequenceStep_t");
    ASSERT_NE(step, nullptr);
    EXPECT_STREQ(step[2].comment, "number of times to fire this event.  If < 1 will repeat infinitely.");
    const qoPropertyInfo* path = api->GetPropertyTable("pHell_NetworkNode::phJobPath_t");
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path[1].type, "pHell_NetworkNode::phJobFunction_t");
    EXPECT_EQ(path[1].offset, 4u);

    // The two bases are creatable but not listed.
    std::vector<std::string> listed;
    for (const char* const* n = api->GetClassNames(); *n; ++n) listed.push_back(*n);
    for (const char* cls : {"pHell_NetworkNode", "pHell_EventTransceiver", "pHell_EventCounter", "pHell_EventSequencer"}) {
        const bool isBase = std::strcmp(cls, "pHell_EventCounter") != 0 && std::strcmp(cls, "pHell_EventSequencer") != 0;
        EXPECT_EQ(std::find(listed.begin(), listed.end(), cls) == listed.end(), isBase) << cls;
        kvQOObject* object = api->CreateObject(cls);
        ASSERT_NE(object, nullptr) << cls;
        EXPECT_TRUE(object->HandlesEvent("onsignal"));
        EXPECT_EQ(object->HandlesEvent("OnActivate"), !isBase);
        EXPECT_NE(object->GetFunction("debugprintnetwork"), nullptr);
        object->Destroy(1);
    }
}

}  // namespace
