// `qohost run` as a user runs it: the example levels run to completion with the output
// checked in under tests/data/levels/golden (QUORIN_UPDATE_GOLDEN=1 rewrites those files), a
// malformed level of each kind gets its one-line message and exit code 2, `--quiet` prints the
// console only, and `--trace` writes a trace in the Chrome trace event format.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TestTempPath(const std::string& suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return ::testing::TempDir() + "qohost_" + name + suffix;
}

// Runs qohost from the source folder, so that level paths and the printed paths are relative.
Result RunQohost(const std::string& args) {
    const std::string out = TestTempPath(".out"), err = TestTempPath(".err");
    const std::string command = "cd '" QUORIN_SOURCE_DIR "' && '" QOHOST_PATH "' " + args + " >'" + out +
                                "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
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
};

class RunnerExample : public ::testing::TestWithParam<Example> {};

TEST_P(RunnerExample, RunsToCompletionWithTheGoldenOutput) {
    const Example& ex = GetParam();
    const Result r = RunQohost(std::string("run ") + ex.level);
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("== end at frame ", 0), 0u) << "the run did not finish: " << lines.back();
    EXPECT_EQ(r.out.find("warning:"), std::string::npos) << "teardown left memory behind:\n" << r.out;

    const std::string golden = std::string(QUORIN_SOURCE_DIR "/tests/data/levels/golden/") + ex.name + ".out";
    const char* update = std::getenv("QUORIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream(golden, std::ios::binary) << r.out;
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

INSTANTIATE_TEST_SUITE_P(Levels, RunnerExample, ::testing::ValuesIn(kExamples),
                         [](const ::testing::TestParamInfo<Example>& info) { return std::string(info.param.name); });

TEST(Runner, QuietPrintsOnlyTheConsole) {
    const Result full = RunQohost("run examples/levels/debug.json");
    const Result quiet = RunQohost("run examples/levels/debug.json --quiet");
    ASSERT_EQ(quiet.code, 0) << quiet.err;
    std::string consoleOnly;
    for (const std::string& line : Lines(full.out))
        if (line.rfind("== ", 0) != 0 && line.rfind("-- frame", 0) != 0 && line.rfind("   ", 0) != 0)
            consoleOnly += line + "\n";
    EXPECT_EQ(quiet.out, consoleOnly);
}

// ---- malformed levels -------------------------------------------------------------------------

struct Malformed {
    const char* file;  // under tests/data/levels/
    const char* error; // the first line on stderr
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.file; }

const Malformed kMalformed[] = {
    {"syntax_error.json",
     "tests/data/levels/syntax_error.json: invalid JSON: parse error at line 4, column 8: syntax error while "
     "parsing object - unexpected string literal; expected '}'"},
    {"not_an_object.json",
     "tests/data/levels/not_an_object.json: expected a JSON object at the top level, got an array"},
    {"wrong_field_type.json",
     "tests/data/levels/wrong_field_type.json: field 'frameMs': expected an integer, got a string"},
    {"unknown_host_class.json",
     "tests/data/levels/unknown_host_class.json: entity 'ship', field 'class': unknown host class 'kvSpaceship'"},
    {"unknown_script_class.json",
     "tests/data/levels/unknown_script_class.json: entity 'relay', field 'objects[0].class': unknown script class "
     "'triggerSequentail'"},
    {"unknown_property.json",
     "tests/data/levels/unknown_property.json: entity 'relay', field 'objects[0].properties.looping': unknown "
     "property (known: loop, debugText)"},
    {"property_value_type.json",
     "tests/data/levels/property_value_type.json: entity 'relay', field 'objects[0].properties.loop': expected "
     "true or false, got a string"},
    {"unknown_target.json",
     "tests/data/levels/unknown_target.json: entity 'relay', field 'targets[1]': unknown target entity 'lamp_9'"},
    {"duplicate_entity.json",
     "tests/data/levels/duplicate_entity.json: entity 'lamp', field 'entities[1].name': duplicate entity name"},
    {"list_element_type.json",
     "tests/data/levels/list_element_type.json: entity 'meta', field 'objects[0].properties.strings[1]': expected "
     "a string, got an integer"},
    {"undeclared_decl.json",
     "tests/data/levels/undeclared_decl.json: entity 'timer', field 'objects[0].properties.slowTickSound': unknown "
     "kvSoundShader decl 'tick' (declare it under \"decls\")"},
    {"unknown_enum_value.json",
     "tests/data/levels/unknown_enum_value.json: entity 'meta', field 'objects[0].properties.drawingTestEnum1': "
     "unknown value 'VALUE_4' of util_debugMetaData::drawingTestEnum1_t (known: VALUE_1, VALUE_2, VALUE_3)"},
    {"unknown_entity_value.json",
     "tests/data/levels/unknown_entity_value.json: entity 'meta', field 'objects[0].properties.targetEntity': "
     "unknown entity 'ghost'"},
    {"unknown_event_entity.json",
     "tests/data/levels/unknown_event_entity.json: field 'timeline[0]': unknown entity 'trigger_1'"},
    {"unknown_event_kind.json",
     "tests/data/levels/unknown_event_kind.json: field 'timeline[0].event': unknown event 'explode' (known: "
     "activate, trigger, damage, death, enter, exit, use, animNotify, music, cvar, event)"},
    {"no_such_file.json", "tests/data/levels/no_such_file.json: cannot open the level file"},
};

class RunnerMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(RunnerMalformed, NamesTheFileEntityAndFieldAndExitsWithTwo) {
    const Malformed& c = GetParam();
    const Result r = RunQohost(std::string("run tests/data/levels/") + c.file);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "") << "nothing runs when the level does not load";
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], c.error);
}

INSTANTIATE_TEST_SUITE_P(Levels, RunnerMalformed, ::testing::ValuesIn(kMalformed),
                         [](const ::testing::TestParamInfo<Malformed>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

TEST(Runner, RejectsFramesTogetherWithSeconds) {
    const Result r = RunQohost("run examples/levels/relay.json --frames 10 --seconds 1");
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.code, 2);
    EXPECT_NE(r.err.find("excludes"), std::string::npos) << r.err;
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
    std::map<int64_t, std::string> trackNames;
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
            if (ev["name"] == "thread_name") trackNames[tid] = ev["args"]["name"];
            continue;
        }
        ASSERT_TRUE(ph == "X" || ph == "i") << "unexpected phase " << ev;
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
    // each of its script objects and for the world utility, on a track named after it.
    EXPECT_EQ(byCategory["timeline"], 8);
    EXPECT_GE(std::count(threadSlices.begin(), threadSlices.end(), "Init"), 4);
    for (const char* owner : {"world.qoWorldUtil", "relay_lights.triggerSequential",
                              "relay_bridge.triggerLerpDelay", "vault_timer.audibleTimer"}) {
        bool found = false;
        for (const auto& [tid, name] : trackNames)
            found = found || (name.rfind("Init #", 0) == 0 && name.find(owner) != std::string::npos);
        EXPECT_TRUE(found) << "no Init track for " << owner;
    }
    EXPECT_TRUE(trackNames.count(0));
}

}  // namespace
