// Level documents: what a well-formed file turns into, and the message each kind of malformed
// file gets (file, entity, field, problem).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "host/level/Level.h"
#include "tests/unit/level_test_names.h"

namespace qohost {
namespace {

LevelDesc ParseOk(const std::string& text) {
    LevelDesc level;
    LevelErrors errors;
    EXPECT_TRUE(ParseLevel(text, "ok.json", level, errors)) << ErrorLines(errors);
    return level;
}

TEST(LevelParse, ReadsEveryPartOfTheDocument) {
    const LevelDesc level = ParseOk(R"({
        "name": "demo", "frameMs": 10, "seed": 42, "seconds": 2.5,
        "cvars": {"qo_debugPrint": 1, "flag": true, "text": "idle", "scale": 0.5},
        "decls": {"kvSoundShader": ["tick", "tock"]},
        "entityDefs": {"monster/imp": {"class": "kvAI2", "args": {"health": 60}}},
        "players": [{"name": "player1", "health": 80, "shields": 20}],
        "entities": [
            {"name": "spawner", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"],
             "origin": [1, 2, 3], "angles": [0, 90, 0], "mins": [-1, -1, -1], "maxs": [1, 1, 1],
             "hidden": true, "spawnArgs": {"count": 3},
             "targets": ["player1"],
             "objects": [{"class": "triggerSequential", "properties": {"loop": false}}]}
        ],
        "timeline": [
            {"time": 0.1, "event": "damage", "entity": "player1", "amount": 5, "by": "spawner"},
            {"frame": 3, "event": "cvar", "name": "qo_debugAction", "value": "select"},
            {"frame": 3, "event": "music", "entity": "spawner", "level": 2},
            {"frame": 0, "event": "event", "entity": "spawner", "name": "OnBerserkStart", "by": "player1"}
        ]
    })");
    EXPECT_EQ(level.name, "demo");
    EXPECT_EQ(level.frameMs, 10);
    EXPECT_EQ(level.seed, 42u);
    EXPECT_EQ(level.DefaultRunFrames(), 250);
    const std::vector<std::pair<std::string, std::string>> cvars = {
        {"qo_debugPrint", "1"}, {"flag", "1"}, {"text", "idle"}, {"scale", "0.5"}};
    EXPECT_EQ(level.cvars, cvars);
    EXPECT_TRUE(level.HasDecl("kvSoundShader", "tock"));
    EXPECT_TRUE(level.HasDecl("kvDeclEntityDef", "monster/imp"));  // an entity def is a decl
    EXPECT_FALSE(level.HasDecl("kvSoundShader", "monster/imp"));
    ASSERT_EQ(level.entityDefs.size(), 1u);
    EXPECT_EQ(level.entityDefs[0].hostClass, "kvAI2");
    EXPECT_EQ(level.entityDefs[0].args[0], (std::pair<std::string, std::string>{"health", "60"}));

    // The implicit world comes first, then the players, then the entities.
    ASSERT_EQ(level.entities.size(), 3u);
    EXPECT_EQ(level.entities[0].name, "world");
    EXPECT_EQ(level.entities[0].hostClass, "kvWorldspawn");
    EXPECT_EQ(level.entities[1].hostClass, "kvPlayer");
    EXPECT_EQ(level.entities[1].more->health, 80);
    EXPECT_EQ(level.entities[1].more->shields, 20);
    const LevelEntity& spawner = *level.FindEntity("spawner");
    EXPECT_EQ(spawner.origin->z, 3.0f);
    EXPECT_EQ(spawner.more->angles->y, 90.0f);
    EXPECT_TRUE(spawner.hidden);
    EXPECT_EQ(spawner.targets, std::vector<std::string>{"player1"});
    EXPECT_EQ(spawner.more->spawnArgs[0].second, "3");
    ASSERT_EQ(spawner.objects.size(), 1u);
    EXPECT_EQ(spawner.objects[0].className, "triggerSequential");
    EXPECT_EQ(spawner.objects[0].properties["loop"], false);

    // Sorted by frame, file order within a frame; 0.1 s at 10 ms frames is frame 10.
    ASSERT_EQ(level.timeline.size(), 4u);
    EXPECT_EQ(level.timeline[0].kind, LevelEventKind::Event);
    EXPECT_EQ(level.timeline[0].more->name, "OnBerserkStart");
    EXPECT_EQ(level.timeline[1].kind, LevelEventKind::Cvar);
    EXPECT_EQ(level.timeline[1].more->text, "select");
    EXPECT_EQ(level.timeline[2].kind, LevelEventKind::Music);
    EXPECT_EQ(level.timeline[2].value, 2);
    EXPECT_EQ(level.timeline[3].kind, LevelEventKind::Damage);
    EXPECT_EQ(level.timeline[3].frame, 10);
    EXPECT_EQ(level.timeline[3].amount, 5.0f);
    EXPECT_EQ(level.timeline[3].by, "spawner");
}

TEST(LevelParse, ListedWorldIsKeptAndNotDuplicated) {
    const LevelDesc level = ParseOk(R"({"entities": [
        {"name": "box", "class": "kvProp"},
        {"name": "world", "class": "kvWorldspawn", "objects": [{"class": "qoDebugUtil"}]}]})");
    ASSERT_EQ(level.entities.size(), 2u);
    EXPECT_EQ(level.entities[1].name, "world");
    EXPECT_EQ(level.entities[1].objects.size(), 1u);
}

TEST(LevelParse, SecondsToFrames) {
    struct Case {
        double seconds;
        int32_t frameMs;
        int32_t frame;
    };
    const Case cases[] = {
        {0.0, 16, 0}, {0.016, 16, 1}, {0.017, 16, 2}, {0.1, 10, 10}, {1.0, 16, 63}, {-1.0, 16, 0},
        {std::nan(""), 16, 0}, {1e300, 1, 2147483647}, {HUGE_VAL, 16, 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FrameForSeconds(c.seconds, c.frameMs), c.frame) << c.seconds << " s at " << c.frameMs;
}

// One malformed document per row and the one line it must produce.
struct Malformed {
    const char* what;
    std::string_view text;
    const char* error;
};

const Malformed kMalformed[] = {
    {"syntax", "{\n  \"name\": }", "bad.json: invalid JSON: parse error at line 2, column 11: syntax error "},
    {"truncated", "{\"entities\": [", "bad.json: invalid JSON: parse error at line 1, column 15: syntax error "},
    {"empty file", "", "bad.json: invalid JSON: parse error at line 1, column 1: syntax error while parsing value"},
    {"top level", "[]", "bad.json: expected a JSON object at the top level, got an array"},
    {"bytes after a NUL", std::string_view("{\"frames\":1}\0{\"frames\":\"garbage", 31),
     "bad.json: a NUL byte at offset 12: a level file holds one JSON document and nothing after it"},
    {"trailing document", R"({"frames": 1} {"frames": 2})", "bad.json: invalid JSON: parse error at line 1, column 15"},
    {"comment not a string", R"({"comment": {"not": "a string"}})",
     "bad.json: field 'comment': expected a string, got an object"},
    {"entity comment", R"({"entities": [{"name": "a", "class": "kvProp", "comment": 3}]})",
     "bad.json: entity 'a', field 'comment': expected a string, got an integer"},
    {"empty cvar name", R"({"cvars": {"": 1}})",
     "bad.json: field 'cvars.': expected a console variable name, got an empty name"},
    {"unknown field", R"({"framems": 16})", "bad.json: field 'framems': unknown field"},
    {"frame time type", R"({"frameMs": "16"})", "bad.json: field 'frameMs': expected an integer, got a string"},
    {"frame time range", R"({"frameMs": 0})", "bad.json: field 'frameMs': integer out of range 1 to 1000"},
    {"fractional frames", R"({"frames": 2.5})", "bad.json: field 'frames': expected an integer, got a number"},
    {"frames and seconds", R"({"frames": 2, "seconds": 1})",
     "bad.json: field 'frames': give at most one of 'frames' and 'seconds'"},
    {"seed range", R"({"seed": -1})", "bad.json: field 'seed': integer out of range 0 to 4294967295"},
    {"duplicate key", R"({"entities": [{"name": "a", "class": "kvProp", "name": "b"}]})",
     "bad.json: field 'entities[0]': duplicate key 'name'"},
    {"duplicate key past the first 16", R"({"cvars": {"k0": 1, "k1": 1, "k2": 1, "k3": 1, "k4": 1, "k5": 1, "k6": 1, "k7": 1, "k8": 1, "k9": 1, "k10": 1, "k11": 1, "k12": 1, "k13": 1, "k14": 1, "k15": 1, "k16": 1, "k17": 1, "k18": 1, "k19": 1, "k3": 2}})",
     "bad.json: field 'cvars': duplicate key 'k3'"},
    {"cvar value", R"({"cvars": {"g_x": [1]}})",
     "bad.json: field 'cvars.g_x': expected a string, number or bool, got an array"},
    {"decl list", R"({"decls": {"kvSoundShader": "tick"}})",
     "bad.json: field 'decls.kvSoundShader': expected an array of names, got a string"},
    {"entity def class", R"({"entityDefs": {"imp": {"args": {}}}})",
     "bad.json: field 'entityDefs.imp': missing field 'class'"},
    {"entities type", R"({"entities": {}})", "bad.json: field 'entities': expected an array of entities, got an object"},
    {"entity type", R"({"entities": [7]})", "bad.json: field 'entities[0]': expected an object, got an integer"},
    {"entity without name", R"({"entities": [{"class": "kvProp"}]})",
     "bad.json: field 'entities[0]': missing field 'name'"},
    {"empty name", R"({"entities": [{"name": "", "class": "kvProp"}]})",
     "bad.json: field 'entities[0].name': expected a non-empty string"},
    {"entity without class", R"({"entities": [{"name": "a"}]})", "bad.json: entity 'a': missing field 'class'"},
    {"unknown entity field", R"({"entities": [{"name": "a", "class": "kvProp", "orign": [0, 0, 0]}]})",
     "bad.json: entity 'a', field 'orign': unknown field"},
    {"duplicate entity", R"({"entities": [{"name": "a", "class": "kvProp"}, {"name": "a", "class": "kvProp"}]})",
     "bad.json: entity 'a', field 'entities[1].name': duplicate entity name"},
    {"players sharing a name", R"({"players": [{"name": "p"}, {"name": "p"}]})",
     "bad.json: entity 'p', field 'players[1].name': duplicate entity name"},
    {"player named like an entity", R"({"players": [{"name": "a"}], "entities": [{"name": "a", "class": "kvProp"}]})",
     "bad.json: entity 'a', field 'entities[0].name': duplicate entity name"},
    {"short vector", R"({"entities": [{"name": "a", "class": "kvProp", "origin": [1, 2]}]})",
     "bad.json: entity 'a', field 'origin': expected [x, y, z], got an array of 2 elements"},
    {"vector of another kind", R"({"entities": [{"name": "a", "class": "kvProp", "angles": "0 90 0"}]})",
     "bad.json: entity 'a', field 'angles': expected [x, y, z], got a string"},
    {"vector component beyond a float", R"({"entities": [{"name": "a", "class": "kvProp", "origin": [0, 0, 1e300]}]})",
     "bad.json: entity 'a', field 'origin[2]': number out of range for a float"},
    {"vector component", R"({"entities": [{"name": "a", "class": "kvProp", "mins": [1, "2", 3]}]})",
     "bad.json: entity 'a', field 'mins[1]': expected a number, got a string"},
    {"negative health", R"({"entities": [{"name": "a", "class": "kvProp", "health": -5}]})",
     "bad.json: entity 'a', field 'health': integer out of range 0 to 2147483647"},
    {"health beyond an int", R"({"entities": [{"name": "a", "class": "kvProp", "health": 3e9}]})",
     "bad.json: entity 'a', field 'health': integer out of range 0 to 2147483647"},
    {"shields beyond any integer", R"({"entities": [{"name": "a", "class": "kvProp", "shields": 18446744073709551615}]})",
     "bad.json: entity 'a', field 'shields': integer out of range 0 to 2147483647"},
    {"number overflow", R"({"seconds": 1e400})", "bad.json: invalid JSON: number overflow parsing '1e400'"},
    {"run length", R"({"seconds": 1e7})", "bad.json: field 'seconds': expected 0 to 1000000 seconds"},
    {"NUL in an entity name", R"({"entities": [{"name": "a\u0000b", "class": "kvProp"}]})",
     "bad.json: field 'entities[0].name': expected a name without control characters"},
    {"escape in a target", R"({"entities": [{"name": "a", "class": "kvProp", "targets": ["a\u001b[2J"]}]})",
     "bad.json: entity 'a', field 'targets[0]': expected a name without control characters"},
    {"control character in a cvar name", R"({"cvars": {"g_\u0007x": 1}})",
     "bad.json: field 'cvars.g_\\x07x': expected a name without control characters"},
    {"NUL in a cvar value", R"({"cvars": {"g_x": "a\u0000b"}})",
     "bad.json: field 'cvars.g_x': expected a text without NUL characters"},
    {"control character in a decl name", R"({"decls": {"kvSoundShader": ["tick\n"]}})",
     "bad.json: field 'decls.kvSoundShader[0]': expected a name without control characters"},
    {"control character in a spawn arg key", R"({"entities": [{"name": "a", "class": "kvProp", "spawnArgs": {"\t": 1}}]})",
     "bad.json: entity 'a', field 'spawnArgs.\\x09': expected a name without control characters"},
    {"hidden type", R"({"entities": [{"name": "a", "class": "kvProp", "hidden": 1}]})",
     "bad.json: entity 'a', field 'hidden': expected true or false, got an integer"},
    {"unknown target", R"({"entities": [{"name": "a", "class": "kvProp", "targets": ["b", "nobody"]},
                                        {"name": "b", "class": "kvProp"}]})",
     "bad.json: entity 'a', field 'targets[1]': unknown target entity 'nobody'"},
    {"unknown bind parent", R"({"entities": [{"name": "a", "class": "kvMover", "bindTo": "nobody"}]})",
     "bad.json: entity 'a', field 'bindTo': unknown entity 'nobody'"},
    {"bind to itself", R"({"entities": [{"name": "a", "class": "kvMover", "bindTo": "a"}]})",
     "bad.json: entity 'a', field 'bindTo': bound to itself through 'a'"},
    {"bind cycle through later entities", R"({"entities": [{"name": "a", "class": "kvMover"},
                                                           {"name": "b", "class": "kvMover", "bindTo": "c"},
                                                           {"name": "c", "class": "kvMover", "bindTo": "d"},
                                                           {"name": "d", "class": "kvMover", "bindTo": "b"}]})",
     "bad.json: entity 'b', field 'bindTo': bound to itself through 'c'"},
    {"target type", R"({"entities": [{"name": "a", "class": "kvProp", "targets": "b"}]})",
     "bad.json: entity 'a', field 'targets': expected an array of names, got a string"},
    {"unknown entity def", R"({"entities": [{"name": "s", "class": "kvTarget_Spawn", "entityDefs": ["imp"]}]})",
     "bad.json: entity 's', field 'entityDefs[0]': unknown entity def 'imp'"},
    {"spawn args type", R"({"entities": [{"name": "a", "class": "kvProp", "spawnArgs": {"k": null}}]})",
     "bad.json: entity 'a', field 'spawnArgs.k': expected a string, number or bool, got null"},
    {"objects type", R"({"entities": [{"name": "a", "class": "kvProp", "objects": {"class": "x"}}]})",
     "bad.json: entity 'a', field 'objects': expected an array of objects, got an object"},
    {"object without class", R"({"entities": [{"name": "a", "class": "kvProp", "objects": [{"properties": {}}]}]})",
     "bad.json: entity 'a', field 'objects[0]': missing field 'class'"},
    {"object placed twice", R"({"entities": [{"name": "a", "class": "kvProp",
                                              "objects": [{"class": "qoComment"}, {"class": "qoComment"}]}]})",
     "bad.json: entity 'a', field 'objects[1].class': script class 'qoComment' is placed twice on this entity"},
    {"properties type", R"({"entities": [{"name": "a", "class": "kvProp", "objects": [{"class": "qoComment", "properties": [1]}]}]})",
     "bad.json: entity 'a', field 'objects[0].properties': expected an object, got an array"},
    {"timeline type", R"({"timeline": {}})", "bad.json: field 'timeline': expected an array of events, got an object"},
    {"event without kind", R"({"timeline": [{"frame": 1}]})", "bad.json: field 'timeline[0]': missing field 'event'"},
    {"unknown event kind", R"({"timeline": [{"frame": 1, "event": "activat", "entity": "world"}]})",
     "bad.json: field 'timeline[0].event': unknown event 'activat' (did you mean 'activate'?) (known: activate, "
     "trigger, damage, death, "
     "enter, exit, use, animNotify, music, cvar, event, aware)"},
    {"no timing", R"({"timeline": [{"event": "activate", "entity": "world"}]})",
     "bad.json: field 'timeline[0]': give exactly one of 'frame' and 'time'"},
    {"both timings", R"({"timeline": [{"frame": 1, "time": 1, "event": "activate", "entity": "world"}]})",
     "bad.json: field 'timeline[0]': give exactly one of 'frame' and 'time'"},
    {"negative frame", R"({"timeline": [{"frame": -1, "event": "activate", "entity": "world"}]})",
     "bad.json: field 'timeline[0].frame': integer out of range 0 to 2147483647"},
    {"negative time", R"({"timeline": [{"time": -0.5, "event": "activate", "entity": "world"}]})",
     "bad.json: field 'timeline[0].time': expected 0 to 1000000 seconds"},
    {"time beyond a run", R"({"timeline": [{"time": 1e300, "event": "activate", "entity": "world"}]})",
     "bad.json: field 'timeline[0].time': expected 0 to 1000000 seconds"},
    {"event without receiver", R"({"timeline": [{"frame": 1, "event": "use"}]})",
     "bad.json: field 'timeline[0]': missing field 'entity'"},
    {"unknown receiver", R"({"timeline": [{"frame": 1, "event": "activate", "entity": "ghost"}]})",
     "bad.json: field 'timeline[0].entity': unknown entity 'ghost'"},
    {"unknown activator", R"({"timeline": [{"frame": 1, "event": "activate", "entity": "world", "by": "ghost"}]})",
     "bad.json: field 'timeline[0].by': unknown entity 'ghost'"},
    {"receiver with a NUL", R"({"timeline": [{"frame": 1, "event": "use", "entity": "world\u0000x"}]})",
     "bad.json: field 'timeline[0].entity': expected a name without control characters"},
    {"negative damage", R"({"timeline": [{"frame": 1, "event": "damage", "entity": "world", "amount": -5}]})",
     "bad.json: field 'timeline[0].amount': expected a number of 0 or more"},
    {"damage beyond a float", R"({"timeline": [{"frame": 1, "event": "damage", "entity": "world", "amount": 1e39}]})",
     "bad.json: field 'timeline[0].amount': number out of range for a float"},
    {"NUL in a notify", R"({"timeline": [{"frame": 1, "event": "animNotify", "entity": "world", "notify": "a\u0000"}]})",
     "bad.json: field 'timeline[0].notify': expected a text without NUL characters"},
    {"enter without who", R"({"timeline": [{"frame": 1, "event": "enter", "entity": "world"}]})",
     "bad.json: field 'timeline[0]': missing field 'by'"},
    {"damage without amount", R"({"timeline": [{"frame": 1, "event": "damage", "entity": "world"}]})",
     "bad.json: field 'timeline[0]': missing field 'amount'"},
    {"field of another kind", R"({"timeline": [{"frame": 1, "event": "use", "entity": "world", "amount": 3}]})",
     "bad.json: field 'timeline[0].amount': unknown field"},
    {"music level type", R"({"timeline": [{"frame": 1, "event": "music", "entity": "world", "level": "high"}]})",
     "bad.json: field 'timeline[0].level': expected an integer, got a string"},
    {"cvar without value", R"({"timeline": [{"frame": 1, "event": "cvar", "name": "qo_debugAction"}]})",
     "bad.json: field 'timeline[0]': missing field 'value'"},
    {"unknown entry", R"({"timeline": [{"frame": 1, "event": "event", "entity": "world", "name": "OnNothing"}]})",
     "bad.json: field 'timeline[0].name': unknown event entry 'OnNothing'"},
    {"argument the entry does not take", R"({"timeline": [{"frame": 1, "event": "event", "entity": "world",
                                                         "name": "OnAnimEnd", "by": "world"}]})",
     "bad.json: field 'timeline[0].by': event 'OnAnimEnd' takes no 'by'"},
    {"entry argument type", R"({"timeline": [{"frame": 1, "event": "event", "entity": "world",
                                             "name": "OnWaveActivate", "value": 1.5}]})",
     "bad.json: field 'timeline[0].value': expected an integer, got a number"},
};

class LevelParseMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(LevelParseMalformed, ReportsTheFileEntityAndField) {
    const Malformed& c = GetParam();
    LevelDesc level;
    LevelErrors errors;
    EXPECT_FALSE(ParseLevel(c.text, "bad.json", level, errors));
    ASSERT_FALSE(errors.empty());
    const std::string first = errors.front().Text();
    EXPECT_EQ(first.substr(0, std::string(c.error).size()), c.error) << ErrorLines(errors);
    // A program's document (the level fuzzer builds one) gets the report its text would get;
    // texts that are not JSON, repeat a key the library keeps once, or hold bytes after a NUL
    // (which ends the text as a document reader sees it) have no such document.
    const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(c.text, nullptr, false);
    if (doc.is_discarded() || ErrorLines(errors).find("duplicate key") != std::string::npos ||
        ErrorLines(errors).find("a NUL byte") != std::string::npos)
        return;
    LevelDesc fromDoc;
    LevelErrors docErrors;
    EXPECT_FALSE(ParseLevelDocument(doc, "bad.json", fromDoc, docErrors));
    EXPECT_EQ(ErrorLines(docErrors), ErrorLines(errors));
}

INSTANTIATE_TEST_SUITE_P(Table, LevelParseMalformed, ::testing::ValuesIn(kMalformed),
                         LevelRowName<Malformed>);

// Every example level reads the same from its document as from its text: numbers keep their
// kinds (a whole number stays an integer, a fraction a float), and entities, objects and the
// timeline arrive in document order.
TEST(LevelParse, ADocumentReadsAsItsText) {
    for (const auto& entry : std::filesystem::directory_iterator(QUORIN_SOURCE_DIR "/examples/levels")) {
        if (entry.path().extension() != ".json") continue;
        std::ifstream file(entry.path());
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LevelDesc a, b;
        LevelErrors errorsA, errorsB;
        ASSERT_TRUE(ParseLevel(text, "x.json", a, errorsA)) << entry.path() << ErrorLines(errorsA);
        ASSERT_TRUE(ParseLevelDocument(nlohmann::ordered_json::parse(text), "x.json", b, errorsB))
            << entry.path() << ErrorLines(errorsB);
        const auto sketch = [](const LevelDesc& l) {
            std::string out = std::to_string(l.frameMs) + " " + std::to_string(l.seed.value_or(0)) + "\n";
            for (const LevelEntity& e : l.entities) {
                out += e.name + " " + e.hostClass + " " + std::to_string(e.more->health.value_or(-1)) + " " +
                       (e.origin ? std::to_string(e.origin->x) : "-") + " " + std::to_string(e.targets.size());
                for (const auto& o : e.objects) out += " " + o.className + o.properties.dump();
                out += "\n";
            }
            for (const LevelEvent& ev : l.timeline) out += std::to_string(ev.frame) + " " + ev.entity + "\n";
            return out;
        };
        EXPECT_EQ(sketch(b), sketch(a)) << entry.path();
    }
}

TEST(LevelParse, ReportsEveryProblemNotOnlyTheFirst) {
    LevelDesc level;
    LevelErrors errors;
    EXPECT_FALSE(ParseLevel(R"({"frameMs": 0, "entities": [{"name": "a", "class": "kvProp", "targets": ["x"]}],
                                "timeline": [{"frame": 1, "event": "use", "entity": "y"}]})",
                            "bad.json", level, errors));
    EXPECT_EQ(errors.size(), 3u) << ErrorLines(errors);
}

// A suggestion for an unknown name draws on every name given by then: spawn names, which come
// after the targets' check has already suggested one, are among them for the timeline.
TEST(LevelParse, SuggestsFromEveryNameKnownAtThatPoint) {
    LevelDesc level;
    LevelErrors errors;
    EXPECT_FALSE(ParseLevel(R"({"entityDefs": {"monster/imp": {"class": "kvAI2"}},
        "entities": [{"name": "relay", "class": "kvTarget", "targets": ["pitt"]},
                     {"name": "pit", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"], "spawnNames": ["imp_a"]}],
        "timeline": [{"frame": 5, "event": "death", "entity": "imp_x"}]})",
                            "bad.json", level, errors));
    EXPECT_EQ(ErrorLines(errors),
              "bad.json: entity 'relay', field 'targets[0]': unknown target entity 'pitt' (did you mean 'pit'?)\n"
              "bad.json: field 'timeline[0].entity': unknown entity 'imp_x' (did you mean 'imp_a'?)\n");
}

// The entity lists and the timeline are read as the parser reaches them: where they stand in the
// document changes neither the level nor its report, in which every problem keeps its place in
// the order the parts are read (console variables, players, entities, names, timeline).
TEST(LevelParse, ListsReadTheSameWhereverTheyStand) {
    const std::string cvars = R"("cvars": {"a": []})";
    const std::string players = R"("players": [{"name": "p", "health": -1}])";
    const std::string entities = R"("entities": [{"name": "e", "class": "kvProp", "targets": ["x"]}, {"name": "f"}])";
    const std::string timeline = R"("timeline": [{"frame": -1, "event": "use", "entity": "y"},
        {"time": 0.5, "event": "use", "entity": "e"},
        {"frame": 1, "event": "use", "entity": "z", "bogus": 1}])";
    const std::string frameMs = R"("frameMs": 100)";
    const char* const expected[] = {
        "bad.json: field 'cvars.a': expected a string, number or bool, got an array",
        "bad.json: entity 'p', field 'health': integer out of range",
        "bad.json: entity 'f': missing field 'class'",
        "bad.json: entity 'e', field 'targets[0]': unknown target entity 'x'",
        "bad.json: field 'timeline[0].frame': integer out of range",
        "bad.json: field 'timeline[0].entity': unknown entity 'y'",
        "bad.json: field 'timeline[2].bogus': unknown field",
        "bad.json: field 'timeline[2].entity': unknown entity 'z'",
    };
    const auto join = [](std::initializer_list<std::string> parts) {
        std::string text = "{";
        for (const std::string& part : parts) text += (text.size() > 1 ? ", " : "") + part;
        return text + "}";
    };
    for (const std::string& text : {join({cvars, players, entities, timeline, frameMs}),
                                    join({frameMs, timeline, entities, players, cvars}),
                                    join({timeline, players, cvars, frameMs, entities})}) {
        SCOPED_TRACE(text);
        LevelDesc level;
        LevelErrors errors;
        EXPECT_FALSE(ParseLevel(text, "bad.json", level, errors));
        ASSERT_EQ(errors.size(), std::size(expected)) << ErrorLines(errors);
        for (size_t i = 0; i < errors.size(); ++i)
            EXPECT_EQ(errors[i].Text().substr(0, std::string(expected[i]).size()), expected[i]);
    }

    // The same lists without their problems: players first, and a time becomes a frame with the
    // frame length given after it.
    const std::string goodTimeline = R"("timeline": [{"frame": 7, "event": "use", "entity": "e"},
        {"time": 0.5, "event": "use", "entity": "p"}])";
    const std::string goodEntities = R"("entities": [{"name": "e", "class": "kvProp", "targets": ["p"]}])";
    for (const std::string& text : {join({R"("players": [{"name": "p"}])", goodEntities, goodTimeline, frameMs}),
                                    join({goodTimeline, goodEntities, frameMs, R"("players": [{"name": "p"}])"})}) {
        SCOPED_TRACE(text);
        const LevelDesc level = ParseOk(text);
        std::vector<std::string> names;
        for (const LevelEntity& e : level.entities) names.push_back(e.name + "/" + EntityField(e));
        EXPECT_EQ(names, (std::vector<std::string>{"world/(implicit world)", "p/players[0]", "e/entities[0]"}));
        ASSERT_EQ(level.timeline.size(), 2u);
        EXPECT_EQ(level.timeline[0].entity, "p");
        EXPECT_EQ(level.timeline[0].frame, 5);
        EXPECT_EQ(level.timeline[1].frame, 7);
    }
}

// Problems beyond those kept are counted wherever they stand: 150 entities and 150 timeline
// entries with a problem each, and an unknown entity in each entry.
TEST(LevelParse, CountsProblemsBeyondThoseKeptInEveryList) {
    std::string entities = R"("entities": [)", timeline = R"("timeline": [)";
    for (int i = 0; i < 150; ++i) {
        entities += (i ? ", " : "") + std::string(R"({"name": "e)") + std::to_string(i) + "\"}";
        timeline += (i ? ", " : "") + std::string(R"({"frame": 1, "event": "use", "entity": "nobody", "x": 1})");
    }
    entities += "]";
    timeline += "]";
    for (const std::string& text : {"{" + entities + ", " + timeline + "}", "{" + timeline + ", " + entities + "}"}) {
        LevelDesc level;
        LevelErrors errors;
        EXPECT_FALSE(ParseLevel(text, "bad.json", level, errors));
        EXPECT_EQ(CountProblems(errors), 450u);
        ASSERT_EQ(errors.size(), kMaxErrorsKept);
        EXPECT_EQ(errors.back().Text(), "bad.json: entity 'e99': missing field 'class'");
    }
}

// Documents too large to check in, built here: each is refused with its first line, in time
// and memory linear in its size, with a report of a few lines however many problems it holds.
TEST(LevelParse, HostileDocumentsAreRefusedBriefly) {
    auto repeat = [](const std::string& text, size_t n) {
        std::string out;
        out.reserve(text.size() * n);
        for (size_t i = 0; i < n; ++i) out += text;
        return out;
    };
    const std::string deepPath = "entities[0].objects[0].properties.x" + repeat("[0]", kMaxLevelDepth - 6);
    struct Case {
        const char* what;
        std::string text;
        std::string first;  // the first line
        size_t lines;       // lines ErrorLines prints
        std::string last = {};  // the last line, when there are more problems than lines
    };
    const Case cases[] = {
        {"50,000 nested arrays in a property value",
         R"({"entities": [{"name": "a", "class": "kvProp", "objects": [{"class": "qoComment", "properties": {"x": )" +
             repeat("[", 50000) + repeat("]", 50000) + "}}]}]}",
         "bad.json: field '" + deepPath + "': values nested more than 64 deep", 1},
        {"10,000 nested objects, each with a repeated key",
         "{" + repeat(R"("k": 1, "k": {)", 10000) + repeat("}", 10001),
         "bad.json: field '" + repeat("k.", 63) + "k': values nested more than 64 deep", 1},
        {"a key repeated 100,000 times", R"({"cvars": {)" + repeat(R"("a": 1, )", 100000) + R"("b": 1}})",
         "bad.json: field 'cvars': duplicate key 'a'", kMaxErrorLines},
        {"400,000 empty objects", R"({"cvars": {"a": [{})" + repeat(", {}", 399999) + "]}}",
         "bad.json: field 'cvars.a': expected a string, number or bool, got an array", 1},
        {"a field name of a megabyte", "{\"" + repeat("x", 1 << 20) + "\": 1}",
         "bad.json: field '" + repeat("x", kMaxErrorLineBytes - 17) + "...", 1},
        {"10,000 entities of one name without a class",
         R"({"entities": [{"name": "e"})" + repeat(R"(, {"name": "e"})", 9999) + "]}",
         "bad.json: entity 'e': missing field 'class'", kMaxErrorLines + 1, "... and 19979 more problems"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LevelDesc level;
        LevelErrors errors;
        EXPECT_FALSE(ParseLevel(c.text, "bad.json", level, errors));
        ASSERT_FALSE(errors.empty());
        const std::string printed = ErrorLines(errors);
        EXPECT_EQ(printed.substr(0, printed.find('\n')), c.first);
        EXPECT_EQ(size_t(std::count(printed.begin(), printed.end(), '\n')), c.lines);
        EXPECT_LE(printed.size(), c.lines * (kMaxErrorLineBytes + 4));
        EXPECT_LE(errors.size(), kMaxErrorsKept) << "what is kept is bounded too";
        if (!c.last.empty()) {
            EXPECT_EQ(printed.substr(printed.rfind('\n', printed.size() - 2) + 1), c.last + "\n");
        }
    }
}

TEST(LevelParse, PrintableEscapesControlCharactersAndCutsOnACharacter) {
    EXPECT_EQ(Printable(std::string("a\0b\x1b[2J\x7f", 8)), "a\\x00b\\x1b[2J\\x7f");
    EXPECT_EQ(Printable("abcdef", 4), "abcd...");
    const std::string accented = "ab\xc3\xa9" "cd";  // "abécd"
    EXPECT_EQ(Printable(accented, 3), "ab...") << "no half of a two-byte character";
    EXPECT_EQ(Printable(accented, 4), "ab\xc3\xa9...");
}

// Only a regular file no larger than the limit is read: every other path is refused before
// anything is read from it.
TEST(LevelParse, ReadsOnlyRegularFilesWithinTheLimit) {
    const std::string dir = ::testing::TempDir() + "level_parse_files_" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    const std::string fifo = dir + "/fifo.json", small = dir + "/small.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(small) << R"({"name": "small"})";
    struct Case {
        std::string path;
        size_t maxBytes;
        std::string error;  // "" when it reads
    };
    const Case cases[] = {
        {"/nonexistent/level.json", kMaxLevelFileBytes, "/nonexistent/level.json: cannot open the level file"},
        {dir, kMaxLevelFileBytes, dir + ": not a level file: a directory"},
        {fifo, kMaxLevelFileBytes, fifo + ": not a level file: a fifo"},
        {"/dev/zero", kMaxLevelFileBytes, "/dev/zero: not a level file: a character device"},
        {small, 16, small + ": the level file is larger than 16 bytes"},
        {small, 17, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        LevelDesc level;
        LevelErrors errors;
        EXPECT_EQ(ReadLevelFile(c.path, level, errors, c.maxBytes), c.error.empty());
        EXPECT_EQ(ErrorLines(errors), c.error.empty() ? "" : c.error + "\n");
    }
    std::remove(fifo.c_str());
    std::remove(small.c_str());
    ::rmdir(dir.c_str());
}

}  // namespace
}  // namespace qohost
