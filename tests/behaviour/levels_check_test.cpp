// qohost check: the mistakes designers make, each caught with a message that says what to do
// (a table over one small level that is clean to begin with), every problem of a level reported
// in one pass, the JSON report for editors, and `qohost graph` drawing a level's links.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/level/Level.h"
#include "host/world/Module.h"
#include "host/world/World.h"
#include "host/level/Checks.h"
#include "tests/support/Qohost.h"

namespace {

using Json = nlohmann::ordered_json;
using qohost::test::Lines;
using qohost::test::RunQohost;

// A level without a single error or warning; each case breaks it in one place.
const char* const kClean = R"({
  "name": "mistakes", "seconds": 2,
  "entityDefs": { "monster/imp": { "class": "kvAI2", "args": { "health": 60, "lifetime": 4 } } },
  "players": [ { "name": "player1" } ],
  "entities": [
    { "name": "gate", "class": "kvTrigger", "targets": ["relay"] },
    { "name": "relay", "class": "kvTarget", "targets": ["door"],
      "objects": [ { "class": "triggerSequential", "properties": { "loop": false } } ] },
    { "name": "door", "class": "kvMover" },
    { "name": "spawn", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"] },
    { "name": "fight", "class": "kvTarget",
      "objects": [ { "class": "spawnManager", "properties": { "spawnList": ["spawn"] } } ] }
  ],
  "timeline": [ { "time": 1, "event": "enter", "entity": "gate", "by": "player1" } ]
})";

qohost::Module& TheModule() {
    static std::unique_ptr<qohost::Module> module = qohost::Module::Load();
    return *module;
}

// Everything `qohost check` finds: errors, then warnings as "warning: " lines.
std::vector<std::string> Findings(const Json& doc) {
    qohost::LevelDesc level;
    qohost::LevelErrors errors, warnings;
    qohost::ParseLevel(doc.dump(), "t.json", level, errors);
    qohost::WorldOptions options;
    options.keepHistory = false;
    qohost::World world(options);
    world.Attach(TheModule().Api(), false);
    qohost::CheckLevel(world, level, errors);
    world.Detach();
    qohost::LintLevel(level, warnings);
    qohost::LintAgainstModule(*TheModule().Api(), level, warnings);
    std::vector<std::string> lines;
    for (const qohost::LevelError& e : errors) lines.push_back(e.Text());
    for (const qohost::LevelError& w : warnings) lines.push_back("warning: " + w.Text());
    return lines;
}

TEST(LevelCheck, TheCleanLevelHasNoFindings) { EXPECT_EQ(Findings(Json::parse(kClean)), std::vector<std::string>{}); }

struct Mistake {
    const char* name;
    std::function<void(Json&)> make;
    const char* finding;
};

void PrintTo(const Mistake& m, std::ostream* os) { *os << m.name; }

class DesignerMistakes : public ::testing::TestWithParam<Mistake> {};

TEST_P(DesignerMistakes, AreFoundWithAMessageThatSaysWhatToDo) {
    Json doc = Json::parse(kClean);
    GetParam().make(doc);
    EXPECT_EQ(Findings(doc), std::vector<std::string>{GetParam().finding});
}

Json& Entity(Json& doc, size_t i) { return doc["entities"][i]; }

const Mistake kMistakes[] = {
    {"script class in the wrong case", [](Json& d) { Entity(d, 1)["objects"][0]["class"] = "TriggerSequential"; },
     "t.json: entity 'relay', field 'objects[0].class': unknown script class 'TriggerSequential' (did you mean "
     "'triggerSequential'?)"},
    {"host class in the wrong case", [](Json& d) { Entity(d, 1)["class"] = "KvTarget"; },
     "t.json: entity 'relay', field 'class': unknown host class 'KvTarget' (did you mean 'kvTarget'?)"},
    {"misspelt event entry",
     [](Json& d) { d["timeline"].push_back({{"time", 1}, {"event", "event"}, {"entity", "relay"}, {"name", "OnPowerdDown"}}); },
     "t.json: field 'timeline[1].name': unknown event entry 'OnPowerdDown' (did you mean 'OnPoweredDown'?)"},
    {"misspelt target", [](Json& d) { Entity(d, 1)["targets"][0] = "dor"; },
     "t.json: entity 'relay', field 'targets[0]': unknown target entity 'dor' (did you mean 'door'?)"},
    {"property of the wrong type", [](Json& d) { Entity(d, 1)["objects"][0]["properties"]["loop"] = "yes"; },
     "t.json: entity 'relay', field 'objects[0].properties.loop': expected true or false, got a string \"yes\""},
    {"misspelt spawn arg of an entity def",
     [](Json& d) { d["entityDefs"]["monster/imp"]["args"] = {{"health", 60}, {"lifetim", 4}}; },
     "warning: t.json: field 'entityDefs.monster/imp.args.lifetim': the host does not read spawn arg 'lifetim' "
     "(did you mean 'lifetime'?)"},
    {"misspelt spawn arg of an entity", [](Json& d) { Entity(d, 3)["spawnArgs"] = {{"spawnCooldown", 1000}}; },
     "warning: t.json: entity 'spawn', field 'spawnArgs.spawnCooldown': the host does not read spawn arg "
     "'spawnCooldown' (did you mean 'spawnCooldownMs'?)"},
    {"a mover in a spawn list", [](Json& d) { Entity(d, 4)["objects"][0]["properties"]["spawnList"] = {"spawn", "door"}; },
     "warning: t.json: entity 'fight', field 'objects[0].properties.spawnList[1]': 'door' is a kvMover, but "
     "spawnManager takes only kvTarget_Spawn here"},
    {"an event after the end", [](Json& d) { d["timeline"][0]["time"] = 3; },
     "warning: t.json: field 'timeline[0].time': comes at frame 188, after the level's end at frame 125: it never "
     "happens (make the level longer with 'seconds')"},
    {"a target listed twice", [](Json& d) { Entity(d, 0)["targets"] = {"relay", "relay"}; },
     "warning: t.json: entity 'gate', field 'targets[1]': target 'relay' is listed twice (also targets[0]); the "
     "host activates it once"},
    {"two entities activating each other", [](Json& d) { Entity(d, 2)["targets"] = {"relay"}; },
     "warning: t.json: entity 'relay', field 'targets': activation cycle: relay -> door -> relay (each activates "
     "the next, for ever if none stops)"},
    {"a relay nothing refers to", [](Json& d) { d["entities"].push_back({{"name", "relay_2"}, {"class", "kvTarget"}}); },
     "warning: t.json: entity 'relay_2': nothing refers to this kvTarget and it does nothing (no script objects, "
     "targets, path or volume)"},
};

INSTANTIATE_TEST_SUITE_P(Table, DesignerMistakes, ::testing::ValuesIn(kMistakes));

TEST(LevelCheck, AnUnknownClassIsReportedWithoutAFailedAssertion) {
    const qohost::test::CommandResult r = RunQohost("run tests/data/levels/unknown_script_class.json");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "tests/data/levels/unknown_script_class.json: entity 'relay', field 'objects[0].class': unknown script "
              "class 'triggerSequentail' (did you mean 'triggerSequential'?)\n");
}

TEST(LevelCheck, ReportsEveryKindOfProblemInOnePass) {
    const qohost::test::CommandResult r = RunQohost("check tests/data/levels/check/mistakes.json");
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{
                  "tests/data/levels/check/mistakes.json: entity 'relay', field 'colour': unknown field",
                  "tests/data/levels/check/mistakes.json: field 'timeline[0].event': unknown event 'entr' (did you "
                  "mean 'enter'?) (known: activate, trigger, damage, death, enter, exit, use, animNotify, music, "
                  "cvar, event, aware)",
                  "tests/data/levels/check/mistakes.json: entity 'relay', field 'objects[0].properties.loop': "
                  "expected true or false, got an integer 1",
                  "tests/data/levels/check/mistakes.json: entity 'timer', field 'objects[0].class': unknown script "
                  "class 'audibletimer' (did you mean 'audibleTimer'?)",
                  "warning: tests/data/levels/check/mistakes.json: entity 'relay', field 'targets[1]': target 'door' "
                  "is listed twice (also targets[0]); the host activates it once",
                  "tests/data/levels/check/mistakes.json: 4 errors, 1 warning",
              }));
}

TEST(LevelCheck, JsonReportForEditors) {
    const qohost::test::CommandResult r = RunQohost("check tests/data/levels/check/mistakes.json --json");
    EXPECT_EQ(r.code, 2);
    const Json report = Json::parse(r.out);
    EXPECT_EQ(report["file"], "tests/data/levels/check/mistakes.json");
    ASSERT_EQ(report["errors"].size(), 4u) << r.out;
    EXPECT_EQ(report["errors"][3]["entity"], "timer");
    EXPECT_EQ(report["errors"][3]["field"], "objects[0].class");
    EXPECT_EQ(report["errors"][3]["message"], "unknown script class 'audibletimer' (did you mean 'audibleTimer'?)");
    ASSERT_EQ(report["warnings"].size(), 1u);
    EXPECT_EQ(report["warnings"][0]["field"], "targets[1]");
}

TEST(LevelCheck, TheExampleLevelsHaveNoErrors) {
    for (const char* level : {"relay", "kill_counter", "encounter", "door_sequence"}) {
        const qohost::test::CommandResult r = RunQohost(std::string("check examples/levels/") + level + ".json");
        EXPECT_EQ(r.code, 0) << level << "\n" << r.out;
    }
}

// ---- qohost graph ----------------------------------------------------------------------------

TEST(LevelGraph, DrawsEveryKindOfLinkWithTheCycleInRed) {
    const qohost::test::CommandResult r = RunQohost("graph tests/data/levels/check/links.json");
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line : {
             R"(  "gate" -> "relay" [label="targets[0]"];)",
             R"(  "relay" -> "door" [label="targets[0]", color=red, penwidth=2];)",
             R"(  "door" -> "relay" [label="targets[0]", color=red, penwidth=2];)",
             R"(  "bolt" -> "door" [label="bound to", style=dotted];)",
             R"(  "spawn" -> "def:monster/imp" [label="spawns", style=dashed];)",
             R"(  "fight" -> "spawn" [label="spawnManager.spawnList[0]", color="#3465a4"];)",
             R"(  "relay" [label="relay\nkvTarget\n[triggerSequential]", shape=box, style="rounded,filled", fillcolor="#dde8f7", color=red, penwidth=2];)",
             R"(  "player1" [label="player1\nkvPlayer", shape=house, style=filled, fillcolor="#e3f2d9"];)",
         })
        EXPECT_NE(r.out.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << r.out;
}

TEST(LevelGraph, AnExampleLevelRendersWithGraphviz) {
    if (std::system("command -v dot >/dev/null 2>&1") != 0) GTEST_SKIP() << "Graphviz dot is not installed";
    const std::string svg = qohost::test::TestTempPath(".svg");
    const qohost::test::CommandResult r = RunQohost("graph examples/levels/kill_counter.json -o '" + svg + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(qohost::test::ReadFile(svg).find("<svg"), std::string::npos);
    std::remove(svg.c_str());
}

}  // namespace
