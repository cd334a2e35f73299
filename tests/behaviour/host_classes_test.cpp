// Host classes behave as their table says: a table of classes and situations (enabled or
// disabled by a script, activated, entered from the timeline or by walking in, damaged) run
// through levels, each with the effect a designer sees; and docs/levels.md carries the table the
// host prints (`qohost describe HOSTCLASS`).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <set>
#include <string>

#include "host/sim/entities/HostClasses.h"
#include "quorin/qoMethodCatalogue.h"
#include "tests/behaviour/scripts_levels.h"

namespace {

struct ClassCase {
    const char* hostClass;  // of the entity "subject"
    bool disabled;          // a util_triggerEnable disables the subject at frame 2
    const char* situation;  // "walk": player1 walks into it; else a timeline event at frame 10
    const char* effect;     // the event notes after frame 0, then player1's and the subject's health
};

void PrintTo(const ClassCase& c, std::ostream* os) {
    *os << c.hostClass << (c.disabled ? " disabled, " : " enabled, ") << c.situation;
}

// The subject stands at x = 400 and targets a spawn point; player1 walks there when asked.
std::string CaseLevel(const ClassCase& c) {
    const std::string situation = c.situation;
    const bool walk = situation == "walk";
    std::string timeline = "{\"frame\": 0, \"event\": \"activate\", \"entity\": \"switch\"}";
    if (!walk) {
        timeline += ", {\"frame\": 10, \"event\": \"" + situation + "\", \"entity\": \"subject\", \"by\": \"player1\"";
        if (situation == "damage") timeline += ", \"amount\": 30";
        timeline += "}";
    }
    return R"({
      "entityDefs": { "monster/imp": { "class": "kvAI2" } },
      "players": [ { "name": "player1", "origin": [0, 0, 0])" +
           std::string(walk ? R"(, "path": [ { "to": [400, 0, 0], "time": 0.5 } ])" : "") + R"( } ],
      "entities": [
        { "name": "subject", "class": ")" + std::string(c.hostClass) + R"(", "origin": [400, 0, 0],
          "volume": "events", "targets": ["spawn"], "entityDefs": ["monster/imp"], "spawnNames": ["imp_s"],
          "spawnArgs": { "damage": 25, "damageInterval": 0.5 } },
        { "name": "spawn", "class": "kvTarget_Spawn", "origin": [0, 900, 0], "entityDefs": ["monster/imp"],
          "spawnNames": ["imp_t"] },
        { "name": "switch", "class": "kvEntity", "objects": [ { "class": "util_triggerEnable",
          "properties": { "disableList": [)" + std::string(c.disabled ? "\"subject\"" : "") + R"(] } } ] }
      ],
      "timeline": [ )" + timeline + R"( ]
    })";
}

class HostClassBehaviour : public scripts_test::LevelTest, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(HostClassBehaviour, DoesWhatTheTableSays) {
    const ClassCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load(CaseLevel(c)));
    RunUntil(100);
    std::string effect;
    for (const qohost::KeptRecord& r : world->recorder.OfKind("event"))
        if (r.frame > 0 && r.text.rfind("On", 0) != 0) effect += r.text + "; ";
    effect += "player1 " + std::to_string(Ent("player1").health) + ", subject " + std::to_string(Ent("subject").health);
    EXPECT_EQ(effect, c.effect) << CaseLevel(c);
}

const ClassCase kCases[] = {
    // Triggers fire their targets when entered, from the timeline or by walking in; disabled,
    // they notice nobody.
    {"kvTrigger", false, "enter", "spawned imp_t from spawn; player1 100, subject 100"},
    {"kvTrigger", true, "enter", "subject noticed nothing: disabled; player1 100, subject 100"},
    {"kvTrigger", false, "walk", "spawned imp_t from spawn; player1 100, subject 100"},
    {"kvTrigger", true, "walk", "player1 100, subject 100"},
    {"kvTrigger", false, "activate", "player1 100, subject 100"},
    // Hurt triggers hurt who stands in them: at once, then every interval (0.5 s) while enabled.
    {"kvTriggerHurt", false, "walk", "spawned imp_t from spawn; player1 25, subject 100"},
    {"kvTriggerHurt", true, "walk", "player1 100, subject 100"},
    {"kvTriggerHurt", false, "damage", "player1 100, subject 70"},
    // Volumes hear crossings only while enabled.
    {"kvVolume", true, "enter", "subject noticed nothing: disabled; player1 100, subject 100"},
    {"kvVolume", false, "enter", "player1 100, subject 100"},
    // A relay fires all its targets while enabled.
    {"kvTarget_Relay", false, "activate", "spawned imp_t from spawn; player1 100, subject 100"},
    {"kvTarget_Relay", true, "activate", "player1 100, subject 100"},
    {"kvTarget_Relay", false, "enter", "player1 100, subject 100"},
    // A spawn point spawns its own defs while enabled.
    {"kvTarget_Spawn", false, "activate", "spawned imp_s from subject; player1 100, subject 100"},
    {"kvTarget_Spawn", true, "activate", "subject spawned nothing: disabled; player1 100, subject 100"},
    // Any entity takes damage on its health.
    {"kvEntity", false, "damage", "player1 100, subject 70"},
    {"kvEntity", false, "walk", "player1 100, subject 100"},
};

INSTANTIATE_TEST_SUITE_P(Table, HostClassBehaviour, ::testing::ValuesIn(kCases));

class HostClassLevel : public scripts_test::LevelTest {};

// A hurt trigger whose interval is too long to count in milliseconds hurts at once and then
// not again within the run; it used to wrap to 1 ms and hurt every frame.
TEST_F(HostClassLevel, AHurtIntervalBeyondTheClockHurtsOnce) {
    for (const char* interval : {"1e300", "\"inf\""}) {
        Load(std::string(R"({ "players": [ { "name": "player1", "origin": [400, 0, 0] } ],
              "entities": [ { "name": "hurt", "class": "kvTriggerHurt", "origin": [400, 0, 0],
                              "spawnArgs": { "damage": 25, "damageInterval": )") + interval + R"( } } ] })");
        RunUntil(60);
        EXPECT_EQ(Ent("player1").health, 75) << interval;
        StartOver();
    }
}

// A relay that relays to itself stops at a depth instead of running away.
TEST_F(HostClassLevel, RelayChainsThatComeBackAreCut) {
    Load(R"({ "entities": [ { "name": "loop", "class": "kvTarget_Relay", "targets": ["loop"] } ],
              "timeline": [ { "frame": 1, "event": "activate", "entity": "loop" } ] })");
    RunUntil(2);
    EXPECT_EQ(Records("event", "relayed nothing"),
              (std::vector<std::string>{"1 loop relayed nothing: a chain of relays deeper than 64"}));
}

// Relays that each fire both relays of a pair fan out to 2^64 activations within the depth
// bound: the frame's relayed activations are bounded too, and the next frame relays again.
TEST_F(HostClassLevel, RelaysThatFanOutStopAtTheFramesBound) {
    Load(R"({ "entities": [ { "name": "a", "class": "kvTarget_Relay", "targets": ["a", "b"] },
                            { "name": "b", "class": "kvTarget_Relay", "targets": ["b", "a"] } ],
              "timeline": [ { "frame": 1, "event": "activate", "entity": "a" },
                            { "frame": 2, "event": "activate", "entity": "b" } ] })");
    RunUntil(3);
    std::set<std::string> frames;
    for (const std::string& line : Records("event", "activations relayed this frame")) {
        EXPECT_NE(line.find(" relayed nothing: 10000 activations relayed this frame"), std::string::npos) << line;
        frames.insert(line.substr(0, line.find(' ')));
    }
    EXPECT_EQ(frames, (std::set<std::string>{"1", "2"}));
}

// A spawn point activated thousands of times in a frame (here by relays that fan out) spawns
// at most the frame's bound and then says why it spawned nothing; the next frame spawns again.
// Without the bound such a level spawned tens of thousands of entities a frame until memory ran
// out.
TEST_F(HostClassLevel, SpawnsStopAtTheFramesBound) {
    Load(R"({ "entityDefs": { "monster/imp": { "class": "kvAI2" } },
              "entities": [ { "name": "a", "class": "kvTarget_Relay", "targets": ["a", "b", "s"] },
                            { "name": "b", "class": "kvTarget_Relay", "targets": ["b", "a", "s"] },
                            { "name": "s", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"] } ],
              "timeline": [ { "frame": 1, "event": "activate", "entity": "a" },
                            { "frame": 2, "event": "activate", "entity": "b" } ] })");
    RunUntil(3);
    std::map<std::string, int> spawned, refused;
    for (const std::string& line : Records("event", " from s")) spawned[line.substr(0, line.find(' '))] += 1;
    for (const std::string& line : Records("event", "s spawned nothing")) {
        EXPECT_NE(line.find(" s spawned nothing: 1000 entities spawned this frame"), std::string::npos) << line;
        refused[line.substr(0, line.find(' '))] += 1;
    }
    EXPECT_EQ(spawned, (std::map<std::string, int>{{"1", 1000}, {"2", 1000}}));
    EXPECT_EQ(refused.size(), 2u);
}

// A call on the none that a failed lookup handed the script names what the script tried, not
// "#0"; a none from anywhere else stays "#0".
TEST_F(HostClassLevel, ACallOnANoneNamesWhatTheScriptAskedFor) {
    Load(R"({ "entities": [ { "name": "ticker", "class": "kvEntity", "targets": ["lamp"] },
                            { "name": "lamp", "class": "kvEntity" } ] })");
    const auto call = [&](uint32_t entity, qoMethodNumber method, int32_t arg) {
        unsigned char args[16] = {};
        std::memcpy(args, &arg, sizeof arg);
        const char* signature = "";
        for (const qoMethodInfo& m : qoMethodTable)
            if (m.number == method) signature = m.signature;
        world->CallEntityMethod(entity, method, signature, args);
    };
    const uint32_t player = 0;
    call(Handle("ticker"), qoMethod_GetTarget, 5);
    call(0, qoMethod_Activate, static_cast<int32_t>(player));
    // The module's failure warning asks for the name next: it reads
    // "targets[5] of ticker.Activate failed.", once.
    EXPECT_STREQ(world->GetEntityName(0), "targets[5] of ticker");
    EXPECT_STREQ(world->GetEntityName(0), "");
    call(Handle("lamp"), qoMethod_Activate, 0);
    call(0, qoMethod_Activate, 0);
    EXPECT_EQ(Calls("failed"), (std::vector<std::string>{"0 ticker.GetTarget failed: index 5 out of range",
                                                         "0 Activate on targets[5] of ticker failed: no such entity",
                                                         "0 #0.Activate failed: no such entity"}));
}

// docs/levels.md carries the table exactly as the host writes it (QUORIN_UPDATE_GOLDEN=1
// rewrites the section), and describe prints each class from the same rows.
TEST(HostClassTable, DocsCarryTheHostsTable) {
    const std::string path = QUORIN_SOURCE_DIR "/docs/levels.md";
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string docs = text.str();
    const std::string begin = "<!-- host class table: written by qohost::HostClassTable -->\n", end = "<!-- end of host class table -->";
    const size_t from = docs.find(begin), to = docs.find(end);
    ASSERT_NE(from, std::string::npos) << path;
    ASSERT_NE(to, std::string::npos) << path;
    const std::string table = qohost::HostClassTable();
    const char* update = std::getenv("QUORIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        docs.replace(from + begin.size(), to - from - begin.size(), table);
        std::ofstream(path, std::ios::binary) << docs;
        return;
    }
    EXPECT_EQ(docs.substr(from + begin.size(), to - from - begin.size()), table)
        << "docs/levels.md's host class table differs from the host's (QUORIN_UPDATE_GOLDEN=1 rewrites it)";
    for (const qohost::HostClassInfo& row : qohost::HostClasses())
        for (auto situation : {&qohost::HostClassInfo::activated, &qohost::HostClassInfo::entered,
                               &qohost::HostClassInfo::enabled, &qohost::HostClassInfo::damaged})
            EXPECT_FALSE(qohost::HostClassBehaviour(row, situation).empty()) << row.name << " says nothing";
}

}  // namespace
