// Loading a level into a world: values land at the offsets the property tables give, in the
// layouts the module reads (strings with their tag, lists through AllocateElements, structs,
// enums, entities, decls); a level that fails its checks changes nothing; allocation failures
// at any point leave nothing behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/level/Level.h"
#include "tests/unit/level_test_names.h"
#include "host/level/LevelRunner.h"
#include "tests/support/HostFixture.h"

namespace qohost {
namespace {

// Raw reads at byte offsets of an object, as the module's own code would see its members.
template <class T>
T At(const void* object, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(object) + offset, sizeof value);
    return value;
}

std::string Text(const qoStringLayout& s) { return s.data ? std::string(s.data, size_t(s.length)) : ""; }

class LevelLoad : public test::HostFixture {
protected:
    // Parses and loads; returns the object of `className` on `entity`.
    kvQOObject* Load(const std::string& text, const char* entity, const char* className) {
        LevelErrors errors;
        EXPECT_TRUE(ParseLevel(text, "t.json", level, errors)) << ErrorLines(errors);
        EXPECT_TRUE(LoadLevel(*world, level, errors, &loaded)) << ErrorLines(errors);
        Entity* e = world->EntityByName(entity);
        if (!e) return nullptr;
        uint32_t index = world->FindObjectIndex(*e, className);
        return index == kNoObject ? nullptr : world->ScriptObject(e->handle, index);
    }
    // A string member: its text, and a buffer the allocator knows under the member's tag.
    void ExpectString(const void* object, size_t offset, const std::string& text) {
        const qoStringLayout s = At<qoStringLayout>(object, offset);
        EXPECT_EQ(Text(s), text) << "at " << offset;
        EXPECT_EQ(s.length, int32_t(text.size()));
        if (text.empty()) return;
        ASSERT_NE(s.data, nullptr);
        EXPECT_EQ(s.data[s.length], '\0');
        EXPECT_EQ(s.capacity, s.length + 1);
        const BlockInfo* block = world->allocator.Find(s.data);
        ASSERT_NE(block, nullptr) << "string text not from the host allocator";
        EXPECT_EQ(block->tag, s.tag);
        EXPECT_GE(block->size, size_t(s.capacity));
    }
    // A list member: num, size rounded to 8, storage from AllocateElements with its tag.
    const uint8_t* ExpectList(const void* object, size_t offset, int32_t num, size_t elementSize) {
        const qoListLayout l = At<qoListLayout>(object, offset);
        EXPECT_EQ(l.num, num);
        EXPECT_EQ(l.size, (num + 7) & ~7);
        EXPECT_EQ(l.tag, qoDefaultMemoryTag);
        const BlockInfo* block = world->allocator.Find(l.list);
        if (!block) {
            ADD_FAILURE() << "list storage not from the host allocator";
            return nullptr;
        }
        EXPECT_EQ(block->tag, l.tag);
        EXPECT_EQ(block->size, size_t(l.size) * elementSize);
        return static_cast<const uint8_t*>(l.list);
    }

    LevelDesc level;
    LoadedLevel loaded;
};

TEST_F(LevelLoad, CommentValuesAtTheirOffsets) {
    const void* o = Load(R"({"entities": [{"name": "note", "class": "kvProp", "objects": [
        {"class": "qoComment", "properties": {
            "comment": "remember the door", "alwaysShow": false, "commentOffset": [1, 2, 3],
            "commentColor": [0.25, 0.5, 0.75, 1], "showCommentBox": true,
            "commentBoxSize": [-4, 5.5, 6]}}]}]})",
                         "note", "qoComment");
    ASSERT_NE(o, nullptr);
    ExpectString(o, 16, "remember the door");
    EXPECT_FALSE(At<bool>(o, 40));
    EXPECT_TRUE(At<bool>(o, 41)) << "an unset property keeps the constructor's default";
    EXPECT_EQ(At<float>(o, 44), 1.0f);
    EXPECT_EQ(At<float>(o, 52), 3.0f);
    EXPECT_EQ(At<float>(o, 56), 0.25f);
    EXPECT_EQ(At<float>(o, 68), 1.0f);
    EXPECT_TRUE(At<bool>(o, 72));
    EXPECT_EQ(At<float>(o, 76), -4.0f);
    EXPECT_EQ(At<float>(o, 80), 5.5f);
    EXPECT_EQ(At<float>(o, 84), 6.0f);
}

TEST_F(LevelLoad, StructsListsEnumsEntitiesAndDecls) {
    const void* o = Load(R"({
        "entityDefs": {"monster/imp": {"class": "kvAI2"}},
        "entities": [
            {"name": "lamp", "class": "kvLight"},
            {"name": "meta", "class": "kvEntity", "objects": [{"class": "util_debugMetaData", "properties": {
                "circleInfo": {"layingCircleRadius": 1.5, "showLayingCircleAlways": true},
                "cylinderInfo": {"height": 9},
                "entityDef": "monster/imp",
                "lines": [{"start": [1, 2, 3], "end": [4, 5, 6]}, {"end": [7, 8, 9]}],
                "planes": [],
                "sectorInfo": {"radius": 3, "arclengthInfo": {"arclength": 4}},
                "strings": ["alpha", "", "gamma"],
                "drawingTestEnum1": "VALUE_3",
                "drawingTestEnum2": ["FLAG_1", "FLAG_3"],
                "targetEntity": "lamp",
                "actions": [{"action": "lamp", "shouldDrawArrow": true}, {"action": null}],
                "nonLightEntity": "meta"}}]}]})",
                         "meta", "util_debugMetaData");
    ASSERT_NE(o, nullptr);
    const uint32_t lamp = world->FindEntity("lamp"), meta = world->FindEntity("meta");

    EXPECT_EQ(At<float>(o, 16), 1.5f);
    EXPECT_EQ(At<float>(o, 20), 0.0f);
    EXPECT_TRUE(At<bool>(o, 24));
    EXPECT_EQ(At<float>(o, 32), 9.0f);
    EXPECT_EQ(At<const void*>(o, 40), world->FindDecl("kvDeclEntityDef", "monster/imp"));
    EXPECT_EQ(At<float>(o, 120), 3.0f);
    EXPECT_EQ(At<float>(o, 124), 4.0f);
    EXPECT_EQ(At<int32_t>(o, 160), 2);
    EXPECT_EQ(At<int32_t>(o, 164), 5);
    EXPECT_EQ(At<uint32_t>(o, 168), lamp);
    EXPECT_EQ(At<uint32_t>(o, 200), 0u);
    EXPECT_EQ(At<uint32_t>(o, 204), meta);

    if (const uint8_t* lines = ExpectList(o, 64, 2, 24)) {
        EXPECT_EQ(At<float>(lines, 0), 1.0f);
        EXPECT_EQ(At<float>(lines, 20), 6.0f);
        EXPECT_EQ(At<float>(lines, 24), 0.0f) << "unset struct members keep their default";
        EXPECT_EQ(At<float>(lines, 44), 9.0f);
    }
    EXPECT_EQ(At<qoListLayout>(o, 96).list, nullptr) << "an empty array leaves the list empty";
    EXPECT_EQ(At<qoListLayout>(o, 96).num, 0);
    if (const uint8_t* strings = ExpectList(o, 136, 3, 24)) {
        ExpectString(strings, 0, "alpha");
        ExpectString(strings, 24, "");
        ExpectString(strings, 48, "gamma");
        ExpectString(strings, 72, "");  // a spare slot: constructed, empty
    }
    if (const uint8_t* actions = ExpectList(o, 176, 2, 8)) {
        EXPECT_EQ(At<uint32_t>(actions, 0), lamp);
        EXPECT_TRUE(At<bool>(actions, 4));
        EXPECT_EQ(At<uint32_t>(actions, 8), 0u);
        EXPECT_FALSE(At<bool>(actions, 12));
    }
}

TEST_F(LevelLoad, NumbersAndDeclsOfTheCountdownTimer) {
    const void* o = Load(R"({
        "decls": {"kvSoundShader": ["timer/slow", "timer/done"]},
        "entities": [{"name": "timer", "class": "kvTarget", "objects": [{"class": "audibleTimer", "properties": {
            "targetTime": 6.5, "slowTickCount": -3, "midTickCount": 0, "repeat": true,
            "slowTickSound": "timer/slow", "timeOutSound": "timer/done", "triggerSound": null}}]}]})",
                         "timer", "audibleTimer");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(At<float>(o, 32), 6.5f);
    EXPECT_EQ(At<float>(o, 36), 10.0f);
    EXPECT_TRUE(At<bool>(o, 48));
    EXPECT_EQ(At<int32_t>(o, 68), -3);
    EXPECT_EQ(At<int32_t>(o, 84), 0);
    EXPECT_EQ(At<int32_t>(o, 100), 1);
    const Decl* slow = static_cast<const Decl*>(At<const void*>(o, 56));
    ASSERT_NE(slow, nullptr);
    EXPECT_TRUE(world->IsDecl(slow));
    EXPECT_EQ(slow->type, "kvSoundShader");
    EXPECT_EQ(slow->name, "timer/slow");
    EXPECT_EQ(At<const void*>(o, 72), nullptr) << "a decl default of \"\" is no decl";
    EXPECT_EQ(At<const void*>(o, 104), nullptr);
    EXPECT_EQ(At<const void*>(o, 112), world->FindDecl("kvSoundShader", "timer/done"));
}

TEST_F(LevelLoad, DeclDefaultsFillUnsetDeclMembers) {
    const void* o = Load(R"({"entities": [{"name": "world", "class": "kvWorldspawn",
                                           "objects": [{"class": "qoDebugUtil"}]}]})",
                         "world", "qoDebugUtil");
    ASSERT_NE(o, nullptr);
    const Decl* suicide = static_cast<const Decl*>(At<const void*>(o, 24));
    ASSERT_NE(suicide, nullptr);
    EXPECT_EQ(suicide->type, "kvDeclDamage");
    EXPECT_EQ(suicide->name, "damage/code_referenced/suicide");
}

TEST_F(LevelLoad, EntitiesTargetsAndStartUp) {
    Load(R"({
        "cvars": {"g_gravity": 800},
        "players": [{"name": "player1", "health": 80, "shields": 25}],
        "entities": [
            {"name": "relay", "class": "kvTarget_Relay", "origin": [1, 2, 3], "targets": ["a", "b"],
             "objects": [{"class": "triggerSequential", "properties": {"loop": false}}]},
            {"name": "a", "class": "kvProp", "hidden": true},
            {"name": "b", "class": "kvProp"}]})",
         "relay", "triggerSequential");
    Entity* relay = world->EntityByName("relay");
    Entity* player = world->EntityByName("player1");
    ASSERT_TRUE(relay && player);
    EXPECT_EQ(relay->hostClass, "kvTarget_Relay");
    EXPECT_EQ(relay->origin.z, 3.0f);
    EXPECT_EQ(relay->targets, (std::vector<uint32_t>{world->FindEntity("a"), world->FindEntity("b")}));
    EXPECT_TRUE(world->EntityByName("a")->hidden);
    EXPECT_EQ(player->health, 80);
    EXPECT_EQ(player->maxHealth, 80);
    EXPECT_EQ(player->shields, 25);
    EXPECT_EQ(world->NumPlayers(), 1);
    EXPECT_EQ(world->cvars.Value("g_gravity"), "800");
    // One world entity, bound to the world utility by the Reset that follows the entities.
    EXPECT_EQ(world->EntitiesOfClass("kvWorldspawn").size(), 1u);
    Entity* w = world->EntityByName("world");
    ASSERT_NE(w, nullptr);
    EXPECT_NE(world->FindObjectIndex(*w, "qoWorldUtil"), kNoObject);
    ASSERT_EQ(loaded.objects.size(), 1u);
    EXPECT_EQ(loaded.objects[0].first, relay->handle);
}

// Each row: a level that parses but does not fit the module or the world, and its message.
struct Mismatch {
    const char* what;
    const char* objects;  // the "objects" array of entity "e"
    const char* error;
};

const Mismatch kMismatches[] = {
    {"unknown script class", R"([{"class": "triggerSequentail"}])",
     "t.json: entity 'e', field 'objects[0].class': unknown script class 'triggerSequentail'"},
    {"unknown property", R"([{"class": "triggerSequential", "properties": {"looping": true}}])",
     "t.json: entity 'e', field 'objects[0].properties.looping': unknown property (known: loop, debugText)"},
    {"class without properties", R"([{"class": "qoDebugUtil", "properties": {"suicide": null}}])",
     "t.json: entity 'e', field 'objects[0].properties': script class 'qoDebugUtil' has no properties"},
    {"bool as string", R"([{"class": "triggerSequential", "properties": {"loop": "yes"}}])",
     "t.json: entity 'e', field 'objects[0].properties.loop': expected true or false, got a string"},
    {"int as fraction", R"([{"class": "audibleTimer", "properties": {"slowTickCount": 1.5}}])",
     "t.json: entity 'e', field 'objects[0].properties.slowTickCount': expected an integer, got a number"},
    {"int out of range", R"([{"class": "audibleTimer", "properties": {"slowTickCount": 3000000000}}])",
     "t.json: entity 'e', field 'objects[0].properties.slowTickCount': integer out of range"},
    {"float as string", R"([{"class": "audibleTimer", "properties": {"targetTime": "20"}}])",
     "t.json: entity 'e', field 'objects[0].properties.targetTime': expected a number, got a string"},
    {"float overflow", R"([{"class": "audibleTimer", "properties": {"targetTime": 1e39}}])",
     "t.json: entity 'e', field 'objects[0].properties.targetTime': number out of range for a float"},
    {"vector of two", R"([{"class": "qoComment", "properties": {"commentOffset": [1, 2]}}])",
     "t.json: entity 'e', field 'objects[0].properties.commentOffset': expected [x, y, z], got an array of 2 "
     "elements"},
    {"vector element", R"([{"class": "qoComment", "properties": {"commentOffset": [1, 2, "a"]}}])",
     "t.json: entity 'e', field 'objects[0].properties.commentOffset[2]': expected a number, got a string"},
    {"colour of three", R"([{"class": "qoComment", "properties": {"commentColor": [1, 1, 1]}}])",
     "t.json: entity 'e', field 'objects[0].properties.commentColor': expected [r, g, b, a], got an array of 3 "
     "elements"},
    {"colour element beyond a float", R"([{"class": "qoComment", "properties": {"commentColor": [1, 1e300, 1, 1]}}])",
     "t.json: entity 'e', field 'objects[0].properties.commentColor[1]': number out of range for a float"},
    {"string with a NUL", R"([{"class": "qoComment", "properties": {"comment": "a\u0000b"}}])",
     "t.json: entity 'e', field 'objects[0].properties.comment': expected a text without NUL characters"},
    {"entity named with a NUL", R"([{"class": "util_debugMetaData", "properties": {"targetEntity": "e\u0000x"}}])",
     "t.json: entity 'e', field 'objects[0].properties.targetEntity': unknown entity 'e\\x00x'"},
    {"string as number", R"([{"class": "qoComment", "properties": {"comment": 5}}])",
     "t.json: entity 'e', field 'objects[0].properties.comment': expected a string, got an integer"},
    {"unknown entity", R"([{"class": "util_debugMetaData", "properties": {"targetEntity": "ghost"}}])",
     "t.json: entity 'e', field 'objects[0].properties.targetEntity': unknown entity 'ghost'"},
    {"undeclared decl", R"([{"class": "audibleTimer", "properties": {"slowTickSound": "tick"}}])",
     "t.json: entity 'e', field 'objects[0].properties.slowTickSound': unknown kvSoundShader decl 'tick'"},
    {"decl of another type", R"([{"class": "util_debugMetaData", "properties": {"entityDef": "snd"}}])",
     "t.json: entity 'e', field 'objects[0].properties.entityDef': unknown kvDeclEntityDef decl 'snd'"},
    {"unknown enum value", R"([{"class": "util_debugMetaData", "properties": {"drawingTestEnum1": "VALUE_9"}}])",
     "t.json: entity 'e', field 'objects[0].properties.drawingTestEnum1': unknown value 'VALUE_9' of "
     "util_debugMetaData::drawingTestEnum1_t (known: VALUE_1, VALUE_2, VALUE_3)"},
    {"enum as integer", R"([{"class": "util_debugMetaData", "properties": {"drawingTestEnum1": 1}}])",
     "t.json: entity 'e', field 'objects[0].properties.drawingTestEnum1': expected a value name, got an integer"},
    {"names for a plain enum", R"([{"class": "util_debugMetaData", "properties": {"drawingTestEnum1": ["VALUE_1"]}}])",
     "t.json: entity 'e', field 'objects[0].properties.drawingTestEnum1': expected a value name, got an array"},
    {"unknown struct member", R"([{"class": "util_debugMetaData", "properties": {"circleInfo": {"radius": 1}}}])",
     "t.json: entity 'e', field 'objects[0].properties.circleInfo.radius': unknown property (known: "
     "layingCircleRadius, standingCircleRadius, showLayingCircleAlways)"},
    {"struct as array", R"([{"class": "util_debugMetaData", "properties": {"fovInfo": [1, 2, 3]}}])",
     "t.json: entity 'e', field 'objects[0].properties.fovInfo': expected an object of property values, got an array"},
    {"list as object", R"([{"class": "util_debugMetaData", "properties": {"strings": {"a": 1}}}])",
     "t.json: entity 'e', field 'objects[0].properties.strings': expected an array, got an object"},
    {"list element of wrong type", R"([{"class": "util_debugMetaData", "properties": {"strings": ["a", 2]}}])",
     "t.json: entity 'e', field 'objects[0].properties.strings[1]': expected a string, got an integer"},
    {"struct list element", R"([{"class": "util_debugMetaData", "properties": {"lines": [{"start": [1, 2, 3]}, {"begin": [0, 0, 0]}]}}])",
     "t.json: entity 'e', field 'objects[0].properties.lines[1].begin': unknown property (known: start, end)"},
    {"nested struct member", R"([{"class": "util_debugMetaData", "properties": {"sectorInfo": {"arclengthInfo": {"arclength": true}}}}])",
     "t.json: entity 'e', field 'objects[0].properties.sectorInfo.arclengthInfo.arclength': expected a number, got true or false"},
};

class LevelLoadMismatch : public test::HostFixture, public ::testing::WithParamInterface<Mismatch> {};

TEST_P(LevelLoadMismatch, IsReportedAndChangesNothing) {
    const Mismatch& c = GetParam();
    const std::string text = std::string(R"({"decls": {"kvSoundShader": ["snd"]},
        "entities": [{"name": "e", "class": "kvEntity", "objects": )") + c.objects + "}]}";
    LevelDesc level;
    LevelErrors errors;
    ASSERT_TRUE(ParseLevel(text, "t.json", level, errors)) << ErrorLines(errors);

    const size_t entities = world->Entities().size(), objects = world->LiveObjectCount();
    const size_t blocks = world->allocator.LiveBlocks();
    EXPECT_FALSE(LoadLevel(*world, level, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].Text().substr(0, std::string(c.error).size()), c.error) << ErrorLines(errors);
    EXPECT_EQ(world->Entities().size(), entities);
    EXPECT_EQ(world->LiveObjectCount(), objects);
    EXPECT_EQ(world->allocator.LiveBlocks(), blocks);
    EXPECT_EQ(world->FindDecl("kvSoundShader", "snd"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, LevelLoadMismatch, ::testing::ValuesIn(kMismatches),
                         LevelRowName<Mismatch>);

TEST_F(LevelLoad, WorldMismatchesAreReported) {
    struct Case {
        const char* text;
        const char* error;
    };
    world->SpawnEntity("taken", "kvProp");
    const Case cases[] = {
        {R"({"entities": [{"name": "x", "class": "kvSpaceship"}]})",
         "t.json: entity 'x', field 'class': unknown host class 'kvSpaceship'"},
        {R"({"entityDefs": {"imp": {"class": "kvDemon"}}})",
         "t.json: field 'entityDefs.imp.class': unknown host class 'kvDemon'"},
        {R"({"entities": [{"name": "taken", "class": "kvProp"}]})",
         "t.json: entity 'taken', field 'name': the world already has an entity of this name"},
    };
    for (const Case& c : cases) {
        LevelDesc level;
        LevelErrors errors;
        ASSERT_TRUE(ParseLevel(c.text, "t.json", level, errors)) << ErrorLines(errors);
        EXPECT_FALSE(LoadLevel(*world, level, errors));
        ASSERT_EQ(errors.size(), 1u) << ErrorLines(errors);
        EXPECT_EQ(errors[0].Text(), c.error);
    }
}

// Writing a value over one the object already holds gives back what the old one owned.
TEST_F(LevelLoad, RewritingReleasesTheOldValue) {
    LevelDesc level;
    LevelErrors errors;
    ASSERT_TRUE(ParseLevel(R"({"entities": [{"name": "m", "class": "kvEntity", "objects": [
        {"class": "util_debugMetaData", "properties": {"strings": ["one", "two", "three"], "lines": [{}]}}]}]})",
                           "t.json", level, errors));
    ASSERT_TRUE(LoadLevel(*world, level, errors)) << ErrorLines(errors);
    Entity* m = world->EntityByName("m");
    kvQOObject* o = world->ScriptObject(m->handle, world->FindObjectIndex(*m, "util_debugMetaData"));
    const size_t blocks = world->allocator.LiveBlocks();

    LevelObject again;
    again.className = "util_debugMetaData";
    again.field = "objects[0]";
    again.properties = nlohmann::ordered_json::parse(R"({"strings": ["four"], "lines": []})");
    PropertyWriter writer(*api, world.get(), nullptr, level);
    EXPECT_TRUE(writer.Apply(again, "m", o, errors)) << ErrorLines(errors);
    // Three texts, the string block and the line block went; one block and one text came.
    EXPECT_EQ(world->allocator.LiveBlocks(), blocks - 3);
    EXPECT_EQ(At<qoListLayout>(o, 136).num, 1);
    EXPECT_EQ(Text(At<qoStringLayout>(At<qoListLayout>(o, 136).list, 0)), "four");
    EXPECT_EQ(At<qoListLayout>(o, 64).list, nullptr);
    EXPECT_TRUE(world->allocator.Errors().empty());
}

// Every allocation of a load, failed in turn: the load reports or survives it, and teardown
// leaves no block behind.
TEST(LevelLoadFailures, EveryAllocationFailingInTurnLeavesNothingBehind) {
    const char* text = R"({
        "entities": [{"name": "m", "class": "kvEntity", "objects": [
            {"class": "util_debugMetaData", "properties": {"strings": ["a", "b"], "lines": [{}, {}],
                                                           "actions": [{"action": "m"}]}},
            {"class": "qoComment", "properties": {"comment": "note"}}]}]})";
    LevelDesc level;
    LevelErrors errors;
    ASSERT_TRUE(ParseLevel(text, "t.json", level, errors));
    std::string error;
    std::unique_ptr<Module> module = Module::Linked(&GetQuorinAPI, &error);
    ASSERT_TRUE(module) << error;

    uint64_t total = 0;
    {
        World world;
        world.Attach(module->Api(), false);
        const uint64_t before = world.allocator.Allocations();
        ASSERT_TRUE(LoadLevel(world, level, errors));
        total = world.allocator.Allocations() - before;
        world.Detach();
    }
    ASSERT_GT(total, 5u);
    for (uint64_t k = 1; k <= total; ++k) {
        World world;
        world.Attach(module->Api(), false);
        world.allocator.FailAt(k);
        LevelErrors failures;
        LoadLevel(world, level, failures);
        world.Detach();
        EXPECT_EQ(world.allocator.LiveBlocks(), 0u) << "allocation " << k << " failed:\n"
                                                    << world.allocator.Report() << ErrorLines(failures);
        EXPECT_TRUE(world.allocator.Errors().empty()) << "allocation " << k;
    }
}

}  // namespace
}  // namespace qohost
