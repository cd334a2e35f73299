// Levels that check themselves: each kind of expectation holding and failing on purpose with
// the text a designer reads, bad expectations refused when the level is read, runs that share
// one file, and `qohost test` over a folder with a failing level (exit code, JUnit XML).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/level/Level.h"
#include "host/world/Module.h"
#include "host/level/LevelTest.h"
#include "tests/support/Qohost.h"

namespace {

using qohost::test::Lines;
using qohost::test::ReadFile;
using qohost::test::RunQohost;
using qohost::test::TestTempPath;

const std::string kDoor = QUORIN_SOURCE_DIR "/tests/data/levels/expect/door.json";

// The module, loaded once like an engine loads it.
qohost::Module& TheModule() {
    static std::unique_ptr<qohost::Module> module = qohost::Module::Load();
    return *module;
}

// The door level with its expectations replaced by `expect` and without its runs.
bool ParseDoorWith(const std::string& expect, qohost::LevelDesc& level, qohost::LevelErrors& errors) {
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(ReadFile(kDoor));
    doc["expect"] = nlohmann::ordered_json::parse(expect);
    doc.erase("runs");
    return qohost::ParseLevel(doc.dump(), "door.json", level, errors);
}

struct ExpectCase {
    const char* expect;   // one expectation, as the level file writes it
    bool holds;
    const char* failure;  // what the failure line says (a part of it)
};

void PrintTo(const ExpectCase& c, std::ostream* os) { *os << c.expect; }

class Expectations : public ::testing::TestWithParam<ExpectCase> {};

TEST_P(Expectations, HoldOrNameWhatWasSeenInstead) {
    const ExpectCase& c = GetParam();
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    ASSERT_TRUE(ParseDoorWith(std::string("[") + c.expect + "]", level, errors)) << qohost::ErrorLines(errors);
    const std::vector<qohost::RunVerdict> verdicts = qohost::TestLevel(TheModule().Api(), level);
    ASSERT_EQ(verdicts.size(), 1u);
    ASSERT_TRUE(verdicts[0].loaded) << qohost::ErrorLines(verdicts[0].loadErrors);
    // The level's own expectation first, then the default "no error" (unless the level's own
    // speaks of errors).
    const bool ofErrors = std::string(c.expect).find(R"("no": "problem")") != std::string::npos;
    ASSERT_EQ(verdicts[0].results.size(), ofErrors ? 1u : 2u);
    const qohost::ExpectationResult& r = verdicts[0].results[0];
    EXPECT_EQ(r.passed, c.holds) << r.Text();
    EXPECT_NE(r.Text().find(c.failure), std::string::npos) << r.Text();
    if (!ofErrors) {
        EXPECT_TRUE(verdicts[0].results[1].passed) << verdicts[0].results[1].Text();
    }
}

const ExpectCase kExpectCases[] = {
    // activated: the player enters the gate at 1 s; its relay activates the door on the next frame.
    {R"({"activated": "door", "after": 0.9, "before": 1.5})", true, "holds"},
    {R"({"activated": "door", "before": 0.5})", false,
     "'door activated before 0.5 s' failed at frame 64: not seen by the end (frame 500 (8.000 s)); seen outside the window at frame 64 (1.024 s): door.Activate(player1)"},
    {R"({"name": "the lamp lights", "activated": "lamp"})", false,
     "'the lamp lights' failed at frame 64: not seen by the end (frame 500 (8.000 s)); nearest: door activated at frame 64 (1.024 s)"},
    {R"({"activated": "door", "never": true})", false, "failed at frame 64: seen at frame 64 (1.024 s): door.Activate(player1)"},
    // removed: the timer removes itself five seconds after its time is out.
    {R"({"removed": "timer"})", true, "holds"},
    {R"({"removed": "timer", "before": 2})", false, "not seen by the end (frame 500 (8.000 s)); seen outside the window at frame"},
    // dead: the imp is shot at 2 s.
    {R"({"dead": "imp", "after": 2, "before": 2.1})", true, "holds"},
    {R"({"dead": "imp", "before": 1})", false, "seen outside the window at frame 125 (2.000 s): dead"},
    {R"({"dead": "player1"})", false, "nearest: alive with health 100 at frame 500 (8.000 s)"},
    {R"({"dead": "imp", "never": true, "before": 1.5})", true, "holds"},
    // at: the player walks to (256 0 0) in one second.
    {R"({"at": "player1", "place": [256, 0, 0], "radius": 1, "after": 1})", true, "holds"},
    {R"({"at": "player1", "place": [1000, 0, 0], "radius": 100})", false,
     "nearest: closest at (256 0 0), 744 away at frame"},
    {R"({"at": "player1", "place": [0, 0, 0], "never": true, "after": 0.5})", true, "holds"},
    // console: the world utility looks for players 2 to 8 and warns.
    {R"({"console": "entity 'player2' not found"})", true, "holds"},
    {R"({"console": "entity 'player9' not found"})", false, "nearest: \"Quorin Warning: world.qoWorldUtil.Init: entity 'player"},
    {R"({"console": "player\\d", "never": true})", false, "seen at frame 0 (0.000 s): \"Quorin Warning:"},
    // no: warnings of a kind, errors.
    {R"({"no": "warning", "matching": "Activate failed"})", true, "holds"},
    {R"({"no": "warning"})", false,
     "'no warning' failed at frame 0: seen at frame 0 (0.000 s): \"Quorin Warning: world.qoWorldUtil.Init: entity 'player2' not found\""},
    {R"({"no": "problem", "after": 1})", true, "holds"},
    // count: three timeline events.
    {R"({"count": "timeline", "min": 3, "max": 3})", true, "holds"},
    {R"({"count": "timeline", "max": 1})", false, "'timeline records: 0 to 1' failed at frame 125: counted 3, the last at frame 125 (2.000 s)"},
    {R"({"count": "console", "matching": "player[2-8]", "min": 8})", false, "counted 7"},
};

INSTANTIATE_TEST_SUITE_P(EachKind, Expectations, ::testing::ValuesIn(kExpectCases));

TEST(ExpectationsDefault, AnErrorFailsARunThatSaysNothingOfErrors) {
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    ASSERT_TRUE(qohost::ReadLevelFile(QUORIN_SOURCE_DIR "/tests/data/levels/expect/broken.json", level, errors))
        << qohost::ErrorLines(errors);
    const std::vector<qohost::RunVerdict> verdicts = qohost::TestLevel(TheModule().Api(), level);
    ASSERT_EQ(verdicts.size(), 1u);
    EXPECT_FALSE(verdicts[0].Passed());
    const std::vector<std::string> failures = verdicts[0].Failures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("expect[0] 'the door opens' failed"), std::string::npos) << failures[0];
    EXPECT_NE(failures[1].find("'no error' failed at frame 125: seen at frame 125 (2.000 s): \"Quorin Error:"),
              std::string::npos)
        << failures[1];
}

TEST(ExpectationRuns, EachRunPlaysTheLevelWithItsOwnEventsAndExpectations) {
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    ASSERT_TRUE(qohost::ReadLevelFile(kDoor, level, errors)) << qohost::ErrorLines(errors);
    ASSERT_EQ(level.runs.size(), 2u);
    const std::vector<qohost::RunVerdict> verdicts = qohost::TestLevel(TheModule().Api(), level);
    ASSERT_EQ(verdicts.size(), 2u);
    EXPECT_EQ(verdicts[0].run, "walk");
    EXPECT_EQ(verdicts[1].run, "walk twice");
    for (const qohost::RunVerdict& v : verdicts) {
        EXPECT_TRUE(v.Passed()) << v.run;
        for (const std::string& line : v.Failures()) ADD_FAILURE() << v.run << ": " << line;
        // The level's four, the run's one, the default "no error".
        EXPECT_EQ(v.results.size(), 6u) << v.run;
    }
    // The second entry into the gate reaches the lamp only in the run that has it.
    EXPECT_EQ(verdicts[1].results[4].expectation.field, "runs.walk twice.expect[0]");
}

struct BadExpectation {
    const char* expect;
    const char* error;
};

void PrintTo(const BadExpectation& c, std::ostream* os) { *os << c.expect; }

class BadExpectations : public ::testing::TestWithParam<BadExpectation> {};

TEST_P(BadExpectations, AreRefusedWithFileFieldAndReason) {
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    EXPECT_FALSE(ParseDoorWith(GetParam().expect, level, errors));
    ASSERT_EQ(errors.size(), 1u) << qohost::ErrorLines(errors);
    // The whole line (a pattern's message goes on with the regular expression library's own words).
    const std::string line = errors[0].Text(), want = GetParam().error;
    EXPECT_EQ(want.back() == ' ' ? line.substr(0, want.size()) : line, want);
}

const BadExpectation kBadExpectations[] = {
    {R"({"activated": "door"})", "door.json: field 'expect': expected an array of expectations, got an object"},
    {R"([{"activated": "dor"}])", "door.json: field 'expect[0].activated': unknown entity 'dor' (did you mean 'door'?)"},
    {R"([{"before": 2}])",
     "door.json: field 'expect[0]': give one of 'activated', 'removed', 'dead', 'at', 'console', 'no', 'count'"},
    {R"([{"activated": "door", "dead": "imp"}])", "door.json: field 'expect[0]': give only one of 'activated' and 'dead'"},
    {R"([{"activated": "door", "radius": 3}])", "door.json: field 'expect[0].radius': unknown field"},
    {R"([{"activated": "door", "nevr": true}])", "door.json: field 'expect[0].nevr': unknown field (did you mean 'never'?)"},
    {R"([{"at": "door"}])", "door.json: field 'expect[0]': missing field 'place'"},
    {R"([{"at": "door", "place": [1, 2]}])", "door.json: field 'expect[0].place': expected [x, y, z], got an array of 2 elements"},
    {R"([{"console": "(("}])", "door.json: field 'expect[0].console': not a valid pattern '((': "},
    {R"([{"no": "errors"}])",
     "door.json: field 'expect[0].no': expected \"error\", \"warning\" or \"problem\", got 'errors'"},
    {R"([{"count": "consol"}])",
     "door.json: field 'expect[0].count': unknown record kind 'consol' (did you mean 'console'?) (known: module, level, "
     "entity, object, console, cvar, thread, method, event, timeline, draw, trace, script, devwindow, state, screen, host, "
     "mover, sound, crossing, health, death)"},
    {R"([{"count": "console", "min": 3, "max": 2}])", "door.json: field 'expect[0].max': is less than 'min'"},
    {R"([{"activated": "door", "before": -1}])",
     "door.json: field 'expect[0].before': expected a number of seconds from 0 to 1000000, got -1"},
    {R"([{"activated": "door", "after": 3, "before": 2}])", "door.json: field 'expect[0].before': is earlier than 'after'"},
    {R"([{"dead": "imp", "never": "yes"}])", "door.json: field 'expect[0].never': expected true or false, got a string"},
};

INSTANTIATE_TEST_SUITE_P(Table, BadExpectations, ::testing::ValuesIn(kBadExpectations));

TEST(BadRuns, AreRefusedWithTheRunsPath) {
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(ReadFile(kDoor));
    doc["runs"] = nlohmann::ordered_json::parse(
        R"({"fast": {"timelin": [], "expect": [{"dead": "ipm"}]}, "slow": {"timeline": [{"time": 1, "event": "enter", "entity": "gat", "by": "player1"}]}})");
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    EXPECT_FALSE(qohost::ParseLevel(doc.dump(), "door.json", level, errors));
    EXPECT_EQ(qohost::ErrorLines(errors),
              "door.json: field 'runs.fast.timelin': unknown field\n"
              "door.json: field 'runs.fast.expect[0].dead': unknown entity 'ipm' (did you mean 'imp'?)\n"
              "door.json: field 'runs.slow.timeline[0].entity': unknown entity 'gat' (did you mean 'gate'?)\n");
}

// ---- qohost test -----------------------------------------------------------------------------

TEST(QohostTest, AFolderWithAFailingLevelReportsEachRunAndExitsWithSeven) {
    const std::string junit = TestTempPath(".xml");
    const qohost::test::CommandResult r = RunQohost("test tests/data/levels/expect --junit '" + junit + "'");
    EXPECT_EQ(r.code, 7) << r.out << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_EQ(lines[0].rfind("FAIL  tests/data/levels/expect/broken.json  ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("      expect[0] 'the door opens' failed at frame 125: not seen by the end (frame 250 (4.000 s)); nearest: switch activated", 0), 0u)
        << lines[1];
    EXPECT_NE(lines[2].find("'no error' failed at frame 125"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3].rfind("PASS  tests/data/levels/expect/door.json [walk]  ", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4].rfind("PASS  tests/data/levels/expect/door.json [walk twice]  ", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5], "2 passed, 1 failed");

    // The JUnit file, read by an XML parser as a build server reads it.
    if (std::system("python3 -c 'import xml.etree.ElementTree' 2>/dev/null") != 0) GTEST_SKIP() << "no python3 to parse XML";
    const std::string summary = TestTempPath(".summary");
    const std::string script =
        "import sys, xml.etree.ElementTree as E\n"
        "root = E.parse(sys.argv[1]).getroot()\n"
        "print(root.tag, root.get('tests'), root.get('failures'))\n"
        "for suite in root.findall('testsuite'):\n"
        "    for case in suite.findall('testcase'):\n"
        "        failure = case.find('failure')\n"
        "        print(suite.get('name'), '|', case.get('name'), '|', 'failed' if failure is not None else 'passed',\n"
        "              '|', failure.get('type') if failure is not None else '')\n";
    const std::string py = TestTempPath(".py");
    { std::ofstream(py) << script; }
    ASSERT_EQ(std::system(("python3 '" + py + "' '" + junit + "' > '" + summary + "'").c_str()), 0) << ReadFile(junit);
    EXPECT_EQ(ReadFile(summary),
              "testsuites 3 1\n"
              "tests/data/levels/expect/broken.json | Broken door | failed | expectation\n"
              "tests/data/levels/expect/door.json | Door with expectations [walk] | passed | \n"
              "tests/data/levels/expect/door.json | Door with expectations [walk twice] | passed | \n");
    for (const std::string& path : {junit, summary, py}) std::remove(path.c_str());
}

TEST(QohostTest, APathThatNamesNothingIsRefused) {
    const qohost::test::CommandResult r = RunQohost("test tests/data/levels/expect/none.json");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "qohost test: no such file or folder 'tests/data/levels/expect/none.json'\n");
}

}  // namespace
