// `qohost describe` as a designer reads it: each property's default is what the class's
// constructor writes (checked here against an object the module creates, read through the
// property table), internal enum counts are no choice, the pasted snippet is a valid object of
// the level format, an unknown name gets the nearest known one, and the byte layout is behind
// --layout.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "quorin/kvQOObject.h"
#include "tests/support/HostFixture.h"
#include "tests/support/Qohost.h"
#include "tools/qohost/ClassPurposes.h"

namespace {

using qohost::test::RunQohost;

class DescribeForDesigners : public qohost::test::HostFixture {};

// The JSON snippet at the end of a class page.
nlohmann::json Snippet(const std::string& page) {
    const std::string marker = "in a level file (the defaults):\n";
    const size_t at = page.find(marker);
    if (at == std::string::npos) return nullptr;
    return nlohmann::json::parse(page.substr(at + marker.size()), nullptr, false);
}

TEST_F(DescribeForDesigners, DefaultsAreWhatTheConstructorWrites) {
    for (const char* name : {"spawnPoint", "musicModifier", "triggerSequential", "audibleTimer"}) {
        const qohost::test::CommandResult r = RunQohost(std::string("describe ") + name);
        ASSERT_EQ(r.code, 0) << r.err;
        const nlohmann::json snippet = Snippet(r.out);
        ASSERT_TRUE(snippet.is_object()) << r.out;
        EXPECT_EQ(snippet["class"], name);
        kvQOObject* object = api->CreateObject(name);
        ASSERT_NE(object, nullptr);
        const auto* base = reinterpret_cast<const uint8_t*>(object);
        size_t compared = 0;
        for (const qoPropertyInfo* row = api->GetPropertyTable(name); row && row->name; ++row) {
            const nlohmann::json& shown = snippet["properties"][row->name];
            const uint8_t* at = base + row->offset;
            if (std::strcmp(row->type, "float") == 0) {
                float value;
                std::memcpy(&value, at, sizeof value);
                EXPECT_EQ(shown.get<float>(), value) << name << "." << row->name;
            } else if (std::strcmp(row->type, "bool") == 0) {
                EXPECT_EQ(shown.get<bool>(), *reinterpret_cast<const bool*>(at)) << name << "." << row->name;
            } else if (std::strcmp(row->type, "int") == 0) {
                int32_t value;
                std::memcpy(&value, at, sizeof value);
                EXPECT_EQ(shown.get<int32_t>(), value) << name << "." << row->name;
            } else if (const qoEnumInfo* e = api->GetEnumTable(row->type)) {
                int32_t value;
                std::memcpy(&value, at, sizeof value);
                std::string named;
                for (const qoEnumValue* v = e->values; v && v->name; ++v)
                    if (v->value == value) named = v->name;
                EXPECT_EQ(shown, named) << name << "." << row->name;
            } else {
                continue;
            }
            ++compared;
        }
        object->Destroy(1);
        EXPECT_GT(compared, 0u) << name;
    }
}

TEST_F(DescribeForDesigners, APageShowsTypesTooltipsChoicesAndEvents) {
    const qohost::test::CommandResult spawn = RunQohost("describe spawnPoint");
    EXPECT_NE(spawn.out.find("  minDistance (float), default 500.0\n      Minimum distance spawn is valid\n"),
              std::string::npos)
        << spawn.out;
    EXPECT_NE(spawn.out.find("  maxDistance (float), default 3500.0\n      Maximum distance spawn is valid. 0 for "
                             "infinite distance.\n"),
              std::string::npos)
        << spawn.out;

    const qohost::test::CommandResult music = RunQohost("describe musicModifier");
    EXPECT_NE(music.out.find("  newState (one of musicTensionStates_t), default \"MUSIC_TENSION_STATE_OFF\"\n      "
                             "choices: MUSIC_TENSION_STATE_OFF, MUSIC_TENSION_STATE_LOW, MUSIC_TENSION_STATE_MEDIUM, "
                             "MUSIC_TENSION_STATE_HIGH\n"),
              std::string::npos)
        << music.out;
    EXPECT_EQ(music.out.find("_COUNT"), std::string::npos) << music.out;
    EXPECT_NE(music.out.find("\nevents handled: OnActivate\n"), std::string::npos) << music.out;

    const qohost::test::CommandResult relay = RunQohost("describe triggerSequential");
    EXPECT_EQ(relay.out.rfind("triggerSequential: Fire targets sequentially, optionally looping\n", 0), 0u) << relay.out;
}

// Every listed class has a purpose line: its own comment, or a row of the project's table; a
// row is for a class the module can create and that has no comment (one source per class).
TEST_F(DescribeForDesigners, EveryClassHasOnePurpose) {
    std::set<std::string> rows;
    for (const qohost::cli::ClassPurposeRow& row : qohost::cli::kClassPurposes) {
        const std::string name(row.name);
        EXPECT_TRUE(rows.insert(name).second) << "two rows for " << name;
        EXPECT_EQ(api->GetComment(name.c_str()), nullptr) << name << " has a comment and a row";
        kvQOObject* object = api->CreateObject(name.c_str());
        EXPECT_NE(object, nullptr) << "a row for " << name << ", which the module cannot create";
        if (object) object->Destroy(1);
    }
    for (const char* const* name = api->GetClassNames(); *name; ++name)
        EXPECT_TRUE(api->GetComment(*name) || rows.count(*name)) << *name << " has no purpose line";

    const qohost::test::CommandResult list = RunQohost("describe");
    ASSERT_EQ(list.code, 0) << list.err;
    const size_t line = list.out.find("\nsetPlayerHealth ");
    ASSERT_NE(line, std::string::npos) << list.out;
    EXPECT_EQ(list.out.substr(line, list.out.find('\n', line + 1) - line).substr(37),
              " on activation sets the player's health to a value");
    const qohost::test::CommandResult page = RunQohost("describe wander_world");
    EXPECT_EQ(page.out.rfind("wander_world: the registry of wander points, placed on one entity\n", 0), 0u) << page.out;
}

// What a class does to entities comes from the methods its sources call: its own member
// functions, its file's helpers they call, and its base classes'. A script object reference's
// Bind is not the entity method.
struct EffectsCase {
    const char* name;
    std::vector<const char*> shown, absent;
};

TEST_F(DescribeForDesigners, APageShowsWhatTheClassDoesToEntities) {
    const EffectsCase cases[] = {
        {"setPlayerHealth", {"  changes: DecreaseHealth, IncreaseHealth\n", "  asks: GetPlayerHealth\n"}, {"may activate"}},
        {"util_triggerEnable", {"  changes: Disable, Enable\n"}, {"asks:"}},
        // Through the free function that sets its player's view (a helper of its file).
        {"healthPickup", {"IncreaseHealth", "SetAngles", "  asks: GetOrigin"}, {"Bind"}},
        // Through its base class _combatGoal.
        {"_goalKillCounter", {"ActivateTargets", "  may activate: its entity's targets\n"}, {}},
        {"healthDrop", {"GetPlayerHealth"}, {"Bind"}},
        {"qoComment", {"  changes: nothing\n"}, {"asks:", "may activate"}},
    };
    for (const EffectsCase& c : cases) {
        const qohost::test::CommandResult r = RunQohost(std::string("describe ") + c.name);
        ASSERT_EQ(r.code, 0) << r.err;
        const size_t at = r.out.find("\nwhat it does (the host methods its code calls):\n");
        ASSERT_NE(at, std::string::npos) << r.out;
        const std::string section = r.out.substr(at, r.out.find("\n\n", at + 1) + 1 - at);
        for (const char* text : c.shown) EXPECT_NE(section.find(text), std::string::npos) << c.name << ": " << text << "\n" << section;
        for (const char* text : c.absent) EXPECT_EQ(section.find(text), std::string::npos) << c.name << ": " << text << "\n" << section;
    }
}

TEST_F(DescribeForDesigners, AnUnknownNameGetsTheNearestOne) {
    const qohost::test::CommandResult r = RunQohost("describe spawnmanager");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "qohost: the module knows no class or type named 'spawnmanager' (did you mean 'spawnManager'?)\n");
}

TEST_F(DescribeForDesigners, TheByteLayoutIsBehindAnOption) {
    const qohost::test::CommandResult r = RunQohost("describe spawnPoint --layout");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("class spawnPoint\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" float minDistance  \"Minimum distance spawn is valid\"\n"), std::string::npos) << r.out;
}

}  // namespace
