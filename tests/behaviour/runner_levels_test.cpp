// `qohost run` as a user runs it: the example levels run to completion with the output
// checked in under tests/data/levels/golden (QUORIN_UPDATE_GOLDEN=1 rewrites those files), a
// malformed or hostile level and a wrong command line each get their message and exit code
// before anything runs, `--quiet` prints the console only, and `--trace` writes a trace in the
// Chrome trace event format.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/Qohost.h"

namespace {

using qohost::test::Lines;
using qohost::test::ReadFile;
using qohost::test::RunQohost;
using qohost::test::StartQohost;
using qohost::test::TestTempPath;
using Result = qohost::test::CommandResult;

// Compares output lines with tests/data/levels/golden/<name>.out (QUORIN_UPDATE_GOLDEN=1 rewrites
// the file instead).
void ExpectGolden(const std::string& name, const std::vector<std::string>& lines) {
    const std::string golden = std::string(QUORIN_SOURCE_DIR "/tests/data/levels/golden/") + name + ".out";
    const char* update = std::getenv("QUORIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream out(golden, std::ios::binary);
        for (const std::string& line : lines) out << line << "\n";
        std::printf("updated %s\n", golden.c_str());
        return;
    }
    std::ifstream probe(golden);
    ASSERT_TRUE(probe.good()) << golden << " is missing; run with QUORIN_UPDATE_GOLDEN=1 to write it";
    const std::vector<std::string> expected = Lines(ReadFile(golden));
    for (size_t i = 0; i < std::max(expected.size(), lines.size()); ++i) {
        const std::string want = i < expected.size() ? expected[i] : "<end of output>";
        const std::string got = i < lines.size() ? lines[i] : "<end of output>";
        ASSERT_EQ(got, want) << "first difference at line " << i + 1 << " of " << golden
                             << " (QUORIN_UPDATE_GOLDEN=1 rewrites it when the change is meant)";
    }
}

// ---- the example levels against their golden output -----------------------------------------

struct Example {
    const char* name;   // golden file tests/data/levels/golden/<name>.out
    const char* level;  // relative to the source folder
};

void PrintTo(const Example& e, std::ostream* os) { *os << e.level; }

const Example kExamples[] = {
    {"relay", "examples/levels/relay.json"},
    {"debug", "examples/levels/debug.json"},
    {"kill_counter", "examples/levels/kill_counter.json"},
    {"spawn_fight", "examples/levels/spawn_fight.json"},
    {"music", "examples/levels/music.json"},
    {"monsters", "examples/levels/monsters.json"},
    {"designer_tools", "examples/levels/designer_tools.json"},
    {"objectives", "examples/levels/objectives.json"},
    {"encounter", "examples/levels/encounter.json"},
    {"walk_volumes", "examples/levels/walk_volumes.json"},
    {"intro", "examples/levels/intro.json"},
    {"lift", "examples/levels/lift.json"},
    {"door_sequence", "examples/levels/door_sequence.json"},
};

class RunnerExample : public ::testing::TestWithParam<Example> {};

TEST_P(RunnerExample, RunsToCompletionWithTheGoldenOutput) {
    const Example& ex = GetParam();
    // --hold: a slow machine never splits a count of repeated frames.
    const Result r = RunQohost(std::string("run ") + ex.level + " --hold 3600");
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    // The end line comes last, but for what the objects do while they are shut down.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.rfind("== end at frame ", 0) == 0; }))
        << "the run did not finish: " << lines.back();
    EXPECT_EQ(r.out.find("warning:"), std::string::npos) << "teardown left memory behind:\n" << r.out;

    ExpectGolden(ex.name, lines);
}

INSTANTIATE_TEST_SUITE_P(Levels, RunnerExample, ::testing::ValuesIn(kExamples),
                         [](const ::testing::TestParamInfo<Example>& info) { return std::string(info.param.name); });

// --quiet prints the console exactly as it came; the log folds away only the world utility's
// lookups of entities the level need not have.
TEST(Runner, QuietPrintsOnlyTheConsole) {
    const Result full = RunQohost("run examples/levels/debug.json");
    const Result quiet = RunQohost("run examples/levels/debug.json --quiet");
    ASSERT_EQ(quiet.code, 0) << quiet.err;
    std::string consoleOnly, quietKept;
    for (const std::string& line : Lines(full.out))
        if (line.rfind("== ", 0) != 0 && line.rfind("-- frame", 0) != 0 && line.rfind("   ", 0) != 0)
            consoleOnly += line + "\n";
    for (const std::string& line : Lines(quiet.out))
        if (line.find("qoWorldUtil.Init: entity '") == std::string::npos) quietKept += line + "\n";
    EXPECT_EQ(quietKept, consoleOnly);
    EXPECT_NE(quiet.out.find("world.qoWorldUtil.Init: entity 'player2' not found"), std::string::npos) << quiet.out;
}

// ---- reading a run: outcomes, folds, filters, the summary --------------------------------------

// What happened shows as its own lines; queries show their answer and fold away while it stays
// the same; the world utility's lookups of players the level does not have are not warnings.
TEST(RunnerOutcomes, TheLogShowsWhatHappenedAndFoldsUnchangedAnswers) {
    const Result r = RunQohost("run examples/levels/walk_volumes.json --hold 3600");
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* part : {"   player1 entered ", "   player1 left ", " -> ", "== summary"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    EXPECT_EQ(r.out.find("entity 'player2' not found"), std::string::npos);
    EXPECT_NE(r.out.find("not in the level (optional, looked up by the world utility): player2, player3"), std::string::npos);

    // Every query, once asked for: more lines, no line of the default log missing.
    const Result all = RunQohost("run examples/levels/walk_volumes.json --hold 3600 --all-queries --no-summary");
    ASSERT_EQ(all.code, 0) << all.err;
    EXPECT_GT(Lines(all.out).size(), Lines(r.out).size());
    EXPECT_EQ(all.out.find("== summary"), std::string::npos);
    size_t folded = 0;
    const std::string marker = "queries that answered as in the frame before, not printed: ";
    const size_t at = r.out.find(marker);
    ASSERT_NE(at, std::string::npos) << r.out;
    folded = std::stoul(r.out.substr(at + marker.size()));
    EXPECT_GT(folded, 0u);
}

// --only keeps the records that involve one entity, with no heading left empty; --hide drops a
// kind.
TEST(RunnerOutcomes, OnlyOneEntityAndHiddenKinds) {
    const Result r = RunQohost("run examples/levels/relay.json --hold 3600 --only relay_lights --no-summary");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    bool emptyHeading = false, other = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("-- frame ", 0) == 0 && lines[i].find(": as frame") == std::string::npos)
            emptyHeading |= i + 1 == lines.size() || lines[i + 1].rfind("-- ", 0) == 0 || lines[i + 1].rfind("== ", 0) == 0;
        if (lines[i].rfind("   ", 0) == 0) other |= lines[i].find("relay_lights") == std::string::npos;
    }
    EXPECT_FALSE(emptyHeading) << r.out;
    EXPECT_FALSE(other) << r.out;
    EXPECT_NE(r.out.find("   relay_lights.NumTargets() -> 3"), std::string::npos) << r.out;

    const Result hidden = RunQohost("run examples/levels/relay.json --hold 3600 --hide method,console --no-summary");
    ASSERT_EQ(hidden.code, 0) << hidden.err;
    EXPECT_EQ(hidden.out.find(".GetTarget("), std::string::npos);
    EXPECT_NE(hidden.out.find("   > enter trigger_hall_1 by player1"), std::string::npos) << hidden.out;
}

// A level with mistakes: the summary counts its warnings by kind, the failed calls with what
// the script tried, and activations that nothing handled.
TEST(RunnerOutcomes, TheSummaryNamesWhatWentWrong) {
    const std::string level = TestTempPath(".level.json");
    std::ofstream(level) << R"({
      "seconds": 1,
      "players": [ { "name": "player1" } ],
      "entities": [
        { "name": "ticker", "class": "kvEntity", "targets": ["lamp"],
          "objects": [ { "class": "triggerLerpDelay", "properties": { "firstDelay": 0, "lastDelay": 0 } } ] },
        { "name": "lamp", "class": "kvEntity" }
      ],
      "timeline": [ { "frame": 2, "event": "activate", "entity": "ticker", "by": "player1" } ]
    })";
    const Result r = RunQohost("run '" + level + "' --hold 3600");
    std::remove(level.c_str());
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    const size_t summary = r.out.find("== summary");
    ASSERT_NE(summary, std::string::npos) << r.out;
    const std::string tail = r.out.substr(summary);
    EXPECT_NE(tail.find("   activations nothing handled: "), std::string::npos) << tail;
    EXPECT_NE(tail.find("      lamp (x"), std::string::npos) << tail;
}

// More kinds than the summary lists: the first ten in text order with their counts, then how
// many more; the count in the heading is of all of them.
TEST(RunnerOutcomes, TheSummaryListsTheFirstTenKindsInTextOrder) {
    // Activated in this order; "lamp_c" twice. Nothing handles a plain entity's activation.
    const std::vector<std::string> activated = {"lamp_l", "lamp_c", "lamp_k", "lamp_a", "lamp_j", "lamp_b", "lamp_c",
                                                "lamp_i", "lamp_d", "lamp_h", "lamp_e", "lamp_g", "lamp_f"};
    std::string entities, timeline;
    for (size_t i = 0; i < activated.size(); ++i) {
        const std::string& name = activated[i];
        if (std::find(activated.begin(), activated.begin() + i, name) == activated.begin() + i)
            entities += R"(, { "name": ")" + name + R"(", "class": "kvEntity" })";
        timeline += std::string(i ? ", " : "") + R"({ "frame": )" + std::to_string(2 + i) +
                    R"(, "event": "activate", "entity": ")" + name + R"(", "by": "player1" })";
    }
    const std::string level = TestTempPath(".level.json");
    std::ofstream(level) << R"({ "seconds": 1, "players": [ { "name": "player1" } ], "entities": [ )" +
                                entities.substr(2) + R"( ], "timeline": [ )" + timeline + " ] }";
    const Result r = RunQohost("run '" + level + "' --hold 3600");
    std::remove(level.c_str());
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    const std::string expected = "   activations nothing handled: 13\n"
                                 "      lamp_a (x1)\n      lamp_b (x1)\n      lamp_c (x2)\n      lamp_d (x1)\n"
                                 "      lamp_e (x1)\n      lamp_f (x1)\n      lamp_g (x1)\n      lamp_h (x1)\n"
                                 "      lamp_i (x1)\n      lamp_j (x1)\n      ... and 2 more kinds\n";
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out.substr(r.out.find("== summary"));
}

// A misnamed player: the scripts that query him fail every time, but the log says so once and
// the summary counts them all.
TEST(RunnerOutcomes, AMisnamedPlayerWarnsOnce) {
    const std::string level = TestTempPath(".level.json");
    std::ofstream(level) << R"({
      "seconds": 1,
      "players": [ { "name": "hero" } ],
      "entities": [ { "name": "seat", "class": "kvEntity", "objects": [ { "class": "util_bindPlayerToSelf" } ] } ],
      "timeline": [ { "frame": 2, "event": "activate", "entity": "seat", "by": "hero" },
                    { "frame": 6, "event": "activate", "entity": "seat", "by": "hero" } ]
    })";
    const Result r = RunQohost("run '" + level + "' --hold 3600");
    std::remove(level.c_str());
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    const auto count = [&](const std::string& text) {
        size_t n = 0;
        for (size_t at = r.out.find(text); at != std::string::npos; at = r.out.find(text, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("Quorin Warning: world.qoDebugUtil.ReadDebugActions: .GetDebugTarget failed.\n"), 1u) << r.out;
    EXPECT_EQ(count("   #0.GetDebugTarget failed: no such entity\n"), 1u) << r.out;
    EXPECT_EQ(count("   #0.Bind failed: no such entity\n"), 1u) << r.out;
    EXPECT_NE(r.out.find("      Warning: .GetDebugTarget failed. (x27)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("   warnings and failed calls printed once, repeats not printed: "), std::string::npos) << r.out;
}

// Handlers that activate each other and never wait (a pulse whose target is itself) would
// nest event threads until memory runs out: the run goes on, with the deepest delivery dropped
// and named in the summary.
TEST(RunnerOutcomes, AnActivationLoopThatNeverWaitsIsCutWithAWarning) {
    const std::string level = TestTempPath(".level.json");
    std::ofstream(level) << R"({
      "seconds": 0.5,
      "players": [ { "name": "player1" } ],
      "entities": [ { "name": "pulse", "class": "kvTarget", "targets": ["pulse"],
                      "objects": [ { "class": "util_triggerPulse" } ] } ],
      "timeline": [ { "frame": 2, "event": "activate", "entity": "pulse", "by": "player1" } ]
    })";
    const Result r = RunQohost("run '" + level + "' --hold 3600");
    std::remove(level.c_str());
    ASSERT_EQ(r.code, 0) << r.err << r.out.substr(0, 2000);
    EXPECT_NE(r.out.find("host warning: OnActivate to pulse.util_triggerPulse not delivered: events nested 64 deep"),
              std::string::npos)
        << r.out.substr(r.out.find("== summary") == std::string::npos ? 0 : r.out.find("== summary"));
}

// A refused level says why and nothing else: no warnings of the module letting go of it.
TEST(RunnerOutcomes, ARefusedLevelPrintsNoWarnings) {
    const Result r = RunQohost("run tests/data/levels/unknown_script_class.json");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("not found"), std::string::npos) << r.err;
}

// ---- interrupted runs -----------------------------------------------------------------------

// A long run stopped by SIGINT (or SIGTERM) after some frames: the frames so far are out, the
// run ends at the end of a frame with the interrupted line and the summary, the trace is a
// whole JSON document, and the exit code says it was stopped.
TEST(RunnerInterrupt, ASignalEndsTheRunAtAFrameWithEverythingWritten) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const std::string out = TestTempPath(".out"), trace = TestTempPath(".trace.json");
        std::remove(out.c_str());
        const pid_t pid = StartQohost({"run", "examples/levels/relay.json", "--frames", "2000000000", "--trace", trace}, out);
        ASSERT_GT(pid, 0);
        // Wait until the log has streamed a few frames.
        for (int i = 0; i < 600 && ReadFile(out).find("-- frame 33 ") == std::string::npos; ++i) usleep(50 * 1000);
        ASSERT_NE(ReadFile(out).find("-- frame 33 "), std::string::npos) << "the log did not stream:\n" << ReadFile(out);
        kill(pid, signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 6);
        const std::string text = ReadFile(out);
        EXPECT_NE(text.find("== interrupted at frame "), std::string::npos) << text.substr(text.size() > 2000 ? text.size() - 2000 : 0);
        EXPECT_NE(text.find(signal == SIGINT ? ") by SIGINT\n" : ") by SIGTERM\n"), std::string::npos);
        EXPECT_NE(text.find("== summary"), std::string::npos);
        const nlohmann::json doc = nlohmann::json::parse(ReadFile(trace), nullptr, false);
        EXPECT_FALSE(doc.is_discarded()) << "the trace is not valid JSON";
        std::remove(out.c_str());
        std::remove(trace.c_str());
    }
}

TEST(RunnerInterrupt, ATimeoutEndsTheRunTheSameWay) {
    const Result r = RunQohost("run examples/levels/relay.json --frames 2000000000 --timeout 0.3");
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_NE(r.out.find(") by --timeout 0.3\n"), std::string::npos);
    EXPECT_NE(r.out.find("== summary"), std::string::npos);
}

// A checkpoint written part-way through the door sequence and loaded into a fresh run: the door
// is put back where the sequence stood, the bolt bound to it with it, and the run goes on.
// A checkpoint that does not read is refused before anything runs; so is a frame that is not one.
TEST(Runner, CheckpointSavedPartWayIsContinuedByALoad) {
    const std::string file = TestTempPath(".checkpoint.json");
    const Result save = RunQohost("run examples/levels/door_sequence.json --quiet --save-at 300 '" + file + "'");
    ASSERT_EQ(save.code, 0) << save.err;
    const nlohmann::json saved = nlohmann::json::parse(ReadFile(file), nullptr, false);
    ASSERT_TRUE(saved.is_object());
    EXPECT_EQ(saved["frame"], 300);
    std::vector<std::string> objects;
    for (const auto& o : saved["objects"]) objects.push_back(o["entity"].get<std::string>() + " " + o["class"].get<std::string>());
    EXPECT_EQ(objects, (std::vector<std::string>{"vault_door moverExtender", "vault_bolt moverExtender"}));
    // The clock, and a name for each value: the property that holds it, or class and offset.
    EXPECT_EQ(saved["timeMs"], 300 * 16);
    for (const auto& o : saved["objects"])
        for (const auto& v : o["values"]) {
            ASSERT_EQ(v.size(), 3u) << v;
            EXPECT_EQ(v[2].get<std::string>().rfind("moverExtender", 0), 0u) << v;
        }
    EXPECT_EQ(saved["objects"][0]["values"][0][2], "moverExtender.saveCheckpointState");

    const Result load = RunQohost("run examples/levels/door_sequence.json --frames 305 --load '" + file + "'");
    ASSERT_EQ(load.code, 0) << load.err;
    EXPECT_NE(load.out.find("== checkpoint " + file + " loaded (saved at frame 300); the run goes on from frame 300 (4.800 s)"),
              std::string::npos)
        << load.out;
    // The frames between the load and the checkpoint are not run, nor their timeline events.
    for (const std::string& line : Lines(load.out)) {
        unsigned long long frame = 0;
        if (std::sscanf(line.c_str(), "-- frame %llu", &frame) == 1) {
            EXPECT_TRUE(frame == 0 || frame > 300) << line;
        }
    }
    EXPECT_NE(load.out.find("vault_door.SetWorldOrigin((0 0 96))"), std::string::npos) << load.out;
    EXPECT_NE(load.out.find("vault_door.RotateOnce((0 90 0))"), std::string::npos) << "the step under way plays again";
    EXPECT_EQ(load.out.find("warning:"), std::string::npos) << load.out;
    std::remove(file.c_str());

    const std::string junk = TestTempPath(".junk.json");
    std::ofstream(junk) << "{\"frame\": -1}";
    const Result bad = RunQohost("run examples/levels/door_sequence.json --load '" + junk + "'");
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("not a checkpoint: 'frame' must be a frame number"), std::string::npos) << bad.err;
    std::remove(junk.c_str());
    const Result frame = RunQohost("run examples/levels/door_sequence.json --save-at soon '" + file + "'");
    EXPECT_EQ(frame.code, 3) << frame.err;
    EXPECT_EQ(bad.out, "");
}

// A level whose objects hand nothing over says so when it is saved.
TEST(Runner, ACheckpointOfNothingSaysSo) {
    const std::string file = TestTempPath(".checkpoint.json");
    const Result empty = RunQohost("run examples/levels/relay.json --frames 10 --save-at 5 '" + file + "' --no-summary");
    std::remove(file.c_str());
    ASSERT_EQ(empty.code, 0) << empty.err;
    EXPECT_NE(empty.out.find("no script object of this level hands any state over"), std::string::npos) << empty.out;
}

// ---- qohost network ----------------------------------------------------------------------------

TEST(RunnerNetwork, DemoSettlesIntoTheGoldenTrees) {
    const std::string dot = TestTempPath(".dot");
    const Result r = RunQohost("network examples/levels/network.json --dot '" + dot + "'");
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("warning:"), std::string::npos) << "teardown left memory behind:\n" << r.out;
    ExpectGolden("network", Lines(r.out));

    const std::string graph = ReadFile(dot);
    std::remove(dot.c_str());
    EXPECT_EQ(graph.rfind("digraph network {\n", 0), 0u) << graph;
    for (const char* part : {"subgraph cluster_job8 {", "subgraph cluster_job9 {",
                             "label=\"kill_counter\\npHell_EventCounter\"", "\"8:10\" -> \"8:12\";"})
        EXPECT_NE(graph.find(part), std::string::npos) << part << "\n" << graph;
    EXPECT_EQ(graph.substr(graph.size() - 2), "}\n");
}

TEST(RunnerNetwork, ANetworkThatHasNotSettledExitsWithFive) {
    const Result r = RunQohost("network examples/levels/network.json --frames 0");
    EXPECT_EQ(r.code, 5) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "== 10 network nodes; not settled at frame 0");
    EXPECT_NE(r.out.find("ExpandNeuralNetwork running"), std::string::npos) << r.out;
}

// ---- refused levels and command lines -------------------------------------------------------

// Each row is a level or a command line that qohost refuses before anything runs: its exit
// code, the first line it prints on stderr, and nothing on stdout. However hostile the input,
// the report stays a few lines long.
struct Refused {
    const char* what;
    const char* args;   // qohost's arguments; {gen} is the folder of the generated files
    int code;
    const char* error;  // the first line on stderr; {gen} as above
};

void PrintTo(const Refused& r, std::ostream* os) { *os << r.args; }

const Refused kRefused[] = {
    // Levels: exit code 2.
    {"syntax error", "run tests/data/levels/syntax_error.json", 2,
     "tests/data/levels/syntax_error.json: invalid JSON: parse error at line 4, column 8: syntax error while "
     "parsing object - unexpected string literal; expected '}'"},
    {"not an object", "run tests/data/levels/not_an_object.json", 2,
     "tests/data/levels/not_an_object.json: expected a JSON object at the top level, got an array"},
    {"wrong field type", "run tests/data/levels/wrong_field_type.json", 2,
     "tests/data/levels/wrong_field_type.json: field 'frameMs': expected an integer, got a string"},
    {"unknown host class", "run tests/data/levels/unknown_host_class.json", 2,
     "tests/data/levels/unknown_host_class.json: entity 'ship', field 'class': unknown host class 'kvSpaceship'"},
    {"unknown script class", "run tests/data/levels/unknown_script_class.json", 2,
     "tests/data/levels/unknown_script_class.json: entity 'relay', field 'objects[0].class': unknown script class "
     "'triggerSequentail' (did you mean 'triggerSequential'?)"},
    {"unknown property", "run tests/data/levels/unknown_property.json", 2,
     "tests/data/levels/unknown_property.json: entity 'relay', field 'objects[0].properties.looping': unknown "
     "property (known: loop, debugText)"},
    {"property value type", "run tests/data/levels/property_value_type.json", 2,
     "tests/data/levels/property_value_type.json: entity 'relay', field 'objects[0].properties.loop': expected "
     "true or false, got a string \"yes\""},
    {"unknown target", "run tests/data/levels/unknown_target.json", 2,
     "tests/data/levels/unknown_target.json: entity 'relay', field 'targets[1]': unknown target entity 'lamp_9' (did you mean 'lamp_1'?)"},
    {"duplicate entity", "run tests/data/levels/duplicate_entity.json", 2,
     "tests/data/levels/duplicate_entity.json: entity 'lamp', field 'entities[1].name': duplicate entity name"},
    {"list element type", "run tests/data/levels/list_element_type.json", 2,
     "tests/data/levels/list_element_type.json: entity 'meta', field 'objects[0].properties.strings[1]': expected "
     "a string, got an integer 2"},
    {"undeclared decl", "run tests/data/levels/undeclared_decl.json", 2,
     "tests/data/levels/undeclared_decl.json: entity 'timer', field 'objects[0].properties.slowTickSound': unknown "
     "kvSoundShader decl 'tick' (declare it under \"decls\")"},
    {"unknown enum value", "run tests/data/levels/unknown_enum_value.json", 2,
     "tests/data/levels/unknown_enum_value.json: entity 'meta', field 'objects[0].properties.drawingTestEnum1': "
     "unknown value 'VALUE_4' of util_debugMetaData::drawingTestEnum1_t (known: VALUE_1, VALUE_2, VALUE_3)"},
    {"unknown entity value", "run tests/data/levels/unknown_entity_value.json", 2,
     "tests/data/levels/unknown_entity_value.json: entity 'meta', field 'objects[0].properties.targetEntity': "
     "unknown entity 'ghost'"},
    {"unknown event entity", "run tests/data/levels/unknown_event_entity.json", 2,
     "tests/data/levels/unknown_event_entity.json: field 'timeline[0].entity': unknown entity 'trigger_1'"},
    {"unknown event activator", "run tests/data/levels/event_field.json", 2,
     "tests/data/levels/event_field.json: field 'timeline[0].by': unknown entity 'player2' (did you mean 'player1'?)"},
    {"unknown event kind", "run tests/data/levels/unknown_event_kind.json", 2,
     "tests/data/levels/unknown_event_kind.json: field 'timeline[0].event': unknown event 'explode' (known: "
     "activate, trigger, damage, death, enter, exit, use, animNotify, music, cvar, event, aware)"},
    {"NUL in a name", "run tests/data/levels/nul_in_name.json", 2,
     "tests/data/levels/nul_in_name.json: field 'entities[1].name': expected a name without control characters"},
    {"vector element", "run tests/data/levels/vector_element.json", 2,
     "tests/data/levels/vector_element.json: entity 'player1', field 'origin[2]': expected a number, got a string"},
    {"damage beyond a float", "run tests/data/levels/damage_amount.json", 2,
     "tests/data/levels/damage_amount.json: field 'timeline[0].amount': number out of range for a float"},
    {"no such file", "run tests/data/levels/no_such_file.json", 2,
     "tests/data/levels/no_such_file.json: cannot open the level file"},
    {"device", "run /dev/zero", 2, "/dev/zero: not a level file: a character device"},
    {"directory", "run {gen}", 2, "{gen}: not a level file: a directory"},
    {"fifo", "run {gen}/fifo.json", 2, "{gen}/fifo.json: not a level file: a fifo"},
    {"file beyond the size limit", "run {gen}/huge.json", 2, "{gen}/huge.json: the level file is larger than 256 MiB"},
    {"50,000 nested arrays", "run {gen}/deep.json", 2,
     "{gen}/deep.json: field 'entities[0].objects[0].properties.x[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]"
     "[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]"
     "[0][0][0][0][0]': values nested more than 64 deep"},
    {"a key repeated 10,000 times", "run {gen}/duplicate_keys.json", 2,
     "{gen}/duplicate_keys.json: field 'entities[0].spawnArgs': duplicate key 'k'"},
    {"10,000 nested objects with a repeated key", "run {gen}/nested_keys.json", 2,
     "{gen}/nested_keys.json: field 'k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k."
     "k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k.k': values nested more than 64 deep"},
    // Command lines: exit code 3, or 1 for an output that cannot be written.
    {"seconds NaN", "run examples/levels/relay.json --seconds nan", 3,
     "qohost run: --seconds: expected a number of seconds from 0 to 1000000, got 'nan'"},
    {"seconds infinite", "run examples/levels/relay.json --seconds inf", 3,
     "qohost run: --seconds: expected a number of seconds from 0 to 1000000, got 'inf'"},
    {"seconds beyond the range", "run examples/levels/relay.json --seconds 1e308", 3,
     "qohost run: --seconds: expected a number of seconds from 0 to 1000000, got '1e308'"},
    {"negative frames", "run examples/levels/relay.json --frames -1", 3,
     "qohost run: --frames: expected an integer from 0 to 2147483647, got '-1'"},
    {"frames beyond an int", "run examples/levels/relay.json --frames 2147483648", 3,
     "qohost run: --frames: expected an integer from 0 to 2147483647, got '2147483648'"},
    {"fractional frames", "run examples/levels/relay.json --frames 1.5", 3,
     "qohost run: --frames: expected an integer from 0 to 2147483647, got '1.5'"},
    {"seed beyond 32 bits", "run examples/levels/relay.json --seed 4294967296", 3,
     "qohost run: --seed: expected an integer from 0 to 4294967295, got '4294967296'"},
    {"frames and seconds", "run examples/levels/relay.json --frames 10 --seconds 1", 3,
     "qohost run: --frames excludes --seconds"},
    {"unknown record kind", "run examples/levels/relay.json --hide methods", 3,
     "qohost run: unknown record kind 'methods' (known: module, level, entity, object, console, cvar, thread, "
     "method, event, timeline, draw, trace, script, devwindow, state, screen, host, mover, sound, crossing, "
     "health, death)"},
    {"no level", "run", 3, "qohost run: level is required"},
    {"unknown option", "run examples/levels/relay.json --fast", 3,
     "qohost run: The following argument was not expected: --fast"},
    {"unknown subcommand", "walk", 3, "qohost: The following argument was not expected: walk"},
    {"trace in a missing folder", "run examples/levels/relay.json --trace /nonexistent/trace.json", 1,
     "qohost: cannot write the trace file '/nonexistent/trace.json': No such file or directory"},
    {"trace onto a folder", "run examples/levels/relay.json --trace {gen}", 1,
     "qohost: cannot write the trace file '{gen}': it is a directory"},
    // Checkpoints: one to load is input (2), one to save an output (1); a save past the run's
    // end is a wrong command line (3).
    {"checkpoint that does not exist", "run examples/levels/door_sequence.json --load tests/data/levels/no_such_file.json", 2,
     "qohost: tests/data/levels/no_such_file.json: cannot open the checkpoint file"},
    {"checkpoint from a fifo", "run examples/levels/door_sequence.json --load {gen}/fifo.json", 2,
     "qohost: {gen}/fifo.json: not a checkpoint file: a fifo"},
    {"checkpoint from a device", "run examples/levels/door_sequence.json --load /dev/zero", 2,
     "qohost: /dev/zero: not a checkpoint file: a character device"},
    {"checkpoint beyond the size limit", "run examples/levels/door_sequence.json --load {gen}/huge.json", 2,
     "qohost: {gen}/huge.json: the checkpoint file is larger than 256 MiB"},
    {"level file as a checkpoint", "run examples/levels/door_sequence.json --load tests/data/levels/not_an_object.json", 2,
     "qohost: tests/data/levels/not_an_object.json: not a checkpoint: expected a JSON object"},
    {"save frame not a number", "run examples/levels/door_sequence.json --save-at soon {gen}/c.json", 3,
     "qohost run: --save-at: expected an integer from 0 to 2147483647, got 'soon'"},
    {"save past the last frame", "run examples/levels/door_sequence.json --frames 10 --save-at 11 {gen}/c.json", 3,
     "qohost run: --save-at: frame 11 is past the run's last frame 10"},
    {"save without a file", "run examples/levels/door_sequence.json --save-at 5", 3,
     "qohost run: --save-at: At least 2 required but received 1"},
    {"save in a missing folder", "run examples/levels/door_sequence.json --save-at 5 /nonexistent/c.json", 1,
     "qohost: cannot write the checkpoint file '/nonexistent/c.json': No such file or directory"},
    {"save onto a folder", "run examples/levels/door_sequence.json --save-at 5 {gen}", 1,
     "qohost: cannot write the checkpoint file '{gen}': it is a directory"},
};

std::string Substitute(std::string text, const std::string& gen) {
    for (size_t at; (at = text.find("{gen}")) != std::string::npos;) text.replace(at, 5, gen);
    return text;
}

class RunnerRefuses : public ::testing::TestWithParam<Refused> {
protected:
    // Inputs too large or too strange to check in.
    static void SetUpTestSuite() {
        gen = ::testing::TempDir() + "qohost_refused_" + std::to_string(::getpid());
        ASSERT_EQ(::mkdir(gen.c_str(), 0700), 0);
        ASSERT_EQ(::mkfifo((gen + "/fifo.json").c_str(), 0600), 0);
        // Sparse: one byte beyond 256 MiB costs no disk.
        ASSERT_EQ(::truncate(MakeFile("huge.json", "").c_str(), (off_t(256) << 20) + 1), 0);
        std::string deep = R"({"entities": [{"name": "e", "class": "kvProp", "objects": [{"class": "qoComment",
                               "properties": {"x": )";
        deep += std::string(50000, '[') + std::string(50000, ']') + "}}]}]}";
        MakeFile("deep.json", deep);
        std::string keys = R"({"entities": [{"name": "e", "class": "kvProp", "spawnArgs": {"k": 0)";
        for (int i = 0; i < 10000; ++i) keys += R"(, "k": 1)";
        MakeFile("duplicate_keys.json", keys + "}}]}");
        std::string nested;
        for (int i = 0; i < 10000; ++i) nested += R"({"k": 0, "k": )";
        MakeFile("nested_keys.json", nested + "0" + std::string(10000, '}'));
    }
    static void TearDownTestSuite() {
        for (const char* file : {"fifo.json", "huge.json", "deep.json", "duplicate_keys.json", "nested_keys.json"})
            std::remove((gen + "/" + file).c_str());
        ::rmdir(gen.c_str());
    }
    static std::string MakeFile(const char* name, const std::string& text) {
        const std::string path = gen + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    static std::string gen;
};

std::string RunnerRefuses::gen;

TEST_P(RunnerRefuses, BeforeAnythingRunsWithOneShortReport) {
    const Refused& c = GetParam();
    const Result r = RunQohost(Substitute(c.args, gen));
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(r.out, "") << "nothing runs";
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], Substitute(c.error, gen));
    EXPECT_LE(lines.size(), 21u) << r.err.substr(0, 2000);
    EXPECT_LE(r.err.size(), 21u * 2100) << "the report grows with the input";
}

INSTANTIATE_TEST_SUITE_P(Inputs, RunnerRefuses, ::testing::ValuesIn(kRefused),
                         [](const ::testing::TestParamInfo<Refused>& info) {
                             std::string name = info.param.what;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(Runner, HelpDocumentsTheExitCodes) {
    const Result r = RunQohost("run --help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Exit codes: 0 done; 1 the module or the run failed; 2 the input was refused"),
              std::string::npos)
        << r.out;
}

// ---- the trace ----------------------------------------------------------------------------------

TEST(RunnerTrace, IsValidChromeTraceEventJson) {
    const std::string path = TestTempPath(".json");
    const Result r = RunQohost("run examples/levels/relay.json --quiet --seconds 12 --trace '" + path + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string text = ReadFile(path);
    std::remove(path.c_str());
    const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << "not JSON";
    ASSERT_TRUE(doc.is_object());
    ASSERT_TRUE(doc.contains("traceEvents") && doc["traceEvents"].is_array());
    EXPECT_EQ(doc.value("displayTimeUnit", ""), "ms");

    const int64_t endUs = 12'000'000;
    std::map<int64_t, std::string> trackNames, processNames;
    std::map<int64_t, int64_t> trackProcess;  // the process of each track
    std::map<int64_t, std::vector<std::pair<int64_t, int64_t>>> slices;  // per track
    std::map<std::string, int> byCategory;
    std::vector<std::string> threadSlices;
    for (const nlohmann::json& ev : doc["traceEvents"]) {
        ASSERT_TRUE(ev.is_object());
        ASSERT_TRUE(ev.contains("name") && ev["name"].is_string()) << ev;
        ASSERT_TRUE(ev.contains("ph") && ev["ph"].is_string()) << ev;
        ASSERT_TRUE(ev.contains("pid") && ev["pid"].is_number_integer()) << ev;
        ASSERT_TRUE(ev.contains("tid") && ev["tid"].is_number_integer()) << ev;
        const std::string ph = ev["ph"];
        const int64_t tid = ev["tid"];
        if (ph == "M") {
            ASSERT_TRUE(ev.contains("args") && ev["args"].is_object()) << ev;
            if (ev["name"] == "thread_name") trackNames[tid] = ev["args"]["name"], trackProcess[tid] = ev["pid"];
            if (ev["name"] == "process_name") processNames[ev["pid"]] = ev["args"]["name"];
            continue;
        }
        ASSERT_TRUE(ph == "X" || ph == "i" || ph == "C") << "unexpected phase " << ev;
        ASSERT_TRUE(ev.contains("ts") && ev["ts"].is_number()) << ev;
        ASSERT_TRUE(ev.contains("cat") && ev["cat"].is_string()) << ev;
        const int64_t ts = ev["ts"];
        EXPECT_GE(ts, 0) << ev;
        EXPECT_LE(ts, endUs) << ev;
        ++byCategory[ev["cat"]];
        if (ph == "i") {
            EXPECT_EQ(ev.value("s", ""), "t") << ev;
            continue;
        }
        if (ph == "C") continue;  // sound volumes (RunnerTrace.MusicChannelsAreCounterTracks)
        ASSERT_TRUE(ev.contains("dur") && ev["dur"].is_number()) << ev;
        const int64_t dur = ev["dur"];
        EXPECT_GE(dur, 0) << ev;
        EXPECT_LE(ts + dur, endUs) << ev;
        slices[tid].emplace_back(ts, dur);
        if (ev["cat"] == "thread") threadSlices.push_back(ev["name"]);
    }
    // Every track that carries events is named.
    for (const auto& [tid, spans] : slices) EXPECT_TRUE(trackNames.count(tid)) << "track " << tid << " has no name";
    // Slices on one track nest or follow each other, never overlap partly.
    for (auto& [tid, spans] : slices) {
        std::sort(spans.begin(), spans.end(), [](auto a, auto b) {
            return a.first != b.first ? a.first < b.first : a.second > b.second;
        });
        std::vector<int64_t> open;  // end times of enclosing slices
        for (const auto& [ts, dur] : spans) {
            while (!open.empty() && open.back() <= ts && !(open.back() == ts && dur == 0)) open.pop_back();
            if (!open.empty()) {
                EXPECT_LE(ts + dur, open.back()) << "slices overlap on track " << tid << " at " << ts;
            }
            open.push_back(ts + dur);
        }
    }
    // The relay level's timeline events (all eight fall within 12 s), and an "Init" thread for
    // each of its script objects and for the world utility, on a track named after it and
    // nested under its entity (a process of the entity's name).
    EXPECT_EQ(byCategory["timeline"], 8);
    EXPECT_GE(std::count(threadSlices.begin(), threadSlices.end(), "Init"), 4);
    for (const char* owner : {"world.qoWorldUtil", "relay_lights.triggerSequential",
                              "relay_bridge.triggerLerpDelay", "vault_timer.audibleTimer"}) {
        const std::string entity = std::string(owner).substr(0, std::string(owner).find('.'));
        bool found = false;
        for (const auto& [tid, name] : trackNames)
            if (name.rfind("Init #", 0) == 0 && name.find(owner) != std::string::npos) {
                found = true;
                EXPECT_EQ(processNames[trackProcess[tid]].rfind("entity " + entity + " (", 0), 0u)
                    << name << " is under " << processNames[trackProcess[tid]];
            }
        EXPECT_TRUE(found) << "no Init track for " << owner;
    }
    EXPECT_TRUE(trackNames.count(0));
}

// The music level's trace has a counter track of the volume of each sound channel that played,
// named after the emitter, the channel and its track: the three tracks start together at
// -59 dB, the fades of the tension changes show as a rise or fall frame by frame that ends
// at 0 or -59 dB, the transition sting plays at 0 dB, and the tracks drop to silence (-100)
// when the music is turned off. Between the fades nothing changes.
TEST(RunnerTrace, MusicChannelsAreCounterTracks) {
    const std::string path = TestTempPath(".json");
    const Result r = RunQohost("run examples/levels/music.json --quiet --trace '" + path + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(ReadFile(path), nullptr, false);
    std::remove(path.c_str());
    ASSERT_FALSE(doc.is_discarded()) << "not JSON";

    using Series = std::vector<std::pair<double, double>>;  // seconds, dB
    std::map<std::string, Series> counters;
    for (const nlohmann::json& ev : doc["traceEvents"]) {
        if (ev["ph"] != "C") continue;
        EXPECT_EQ(ev.value("cat", ""), "sound") << ev;
        ASSERT_TRUE(ev["args"].is_object() && ev["args"].size() == 1 && ev["args"]["dB"].is_number()) << ev;
        counters[ev["name"]].emplace_back(ev["ts"].get<int64_t>() / 1e6, ev["args"]["dB"].get<double>());
    }
    auto track = [&](const std::string& tail) -> Series {
        for (const auto& [name, series] : counters)
            if (name.rfind("info/null_", 0) == 0 && name.size() > tail.size() &&
                name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
                return series;
        ADD_FAILURE() << "no counter track ending in '" << tail << "'";
        return {};
    };
    EXPECT_EQ(counters.size(), 4u);

    struct Fade {
        double from, to;  // seconds
        double endDb;
    };
    struct Channel {
        const char* track;
        std::vector<Fade> fades;
    };
    const Channel channels[] = {
        {"ch26 music/explore_low volume", {{0.5, 1.5, 0.0}, {3.0, 3.5, -59.0}, {6.0, 8.0, 0.0}, {10.0, 11.5, -59.0}}},
        {"ch26 music/explore_medium volume", {}},
        {"ch26 music/combat_high volume", {{3.0, 3.5, 0.0}, {6.0, 8.0, -59.0}}},
    };
    for (const Channel& c : channels) {
        SCOPED_TRACE(c.track);
        Series s = track(c.track);
        ASSERT_GE(s.size(), 3u);
        // Started at 0 dB and set to -59 dB at once when the music first starts.
        EXPECT_EQ(s[0], (std::pair<double, double>{0.5, 0.0}));
        EXPECT_EQ(s[1], (std::pair<double, double>{0.5, -59.0}));
        EXPECT_EQ(s.back(), (std::pair<double, double>{11.5, -100.0})) << "stopped after the fade to off";
        s = Series(s.begin() + 2, s.end() - 1);
        size_t seen = 0;
        for (const Fade& f : c.fades) {
            Series part;
            for (const auto& v : s)
                if (v.first >= f.from && v.first < f.to) part.push_back(v);
            seen += part.size();
            ASSERT_GE(part.size(), 5u) << "a fade at " << f.from << " s, frame by frame";
            EXPECT_EQ(part.back().second, f.endDb) << "the fade at " << f.from << " s";
            const bool rises = f.endDb > part.front().second;
            for (size_t i = 1; i < part.size(); ++i) {
                EXPECT_GT(part[i].first, part[i - 1].first);
                EXPECT_TRUE(rises ? part[i].second > part[i - 1].second : part[i].second < part[i - 1].second)
                    << "at " << part[i].first << " s";
            }
        }
        EXPECT_EQ(seen, s.size()) << "the volume changes only while a fade runs";
    }
    EXPECT_EQ(track("ch0 music/sting_combat volume"), (Series{{3.0, 0.0}}));
}

}  // namespace
