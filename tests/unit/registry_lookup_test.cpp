// The module's registry through kvQuorin, with concrete expectations: name dispatch, the
// factory, comments, property tables, enum tables, element types and editor statements.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/qoDebugUtil.h"
#include "object/qoThunk.h"
#include "tests/support/HostFixture.h"
#include "tests/unit/registry_test_rows.h"

namespace {

class RegistryLookup : public qohost::test::HostFixture {};

TEST_F(RegistryLookup, CreateObjectIsCaseSensitiveAndReportsUnknownNames) {
    struct Case {
        std::string name;
        bool created;
    };
    const Case cases[] = {
        {"triggerSequential", true},
        {"TriggerSequential", false},
        {"triggersequential", false},
        {"triggerSequential ", false},
        {"", false},
        {"qoCom", false},                 // 5 characters
        {std::string(46, 'a'), false},    // longer than any class name
        {"util_debugMetaData::lineInfo_t", false},  // a struct, not a class
        {"musicTensionStates_t", false},  // an enum
        {"qoString", false},              // an element type
    };
    for (const Case& c : cases) {
        world->console.Clear();
        kvQOObject* object = api->CreateObject(c.name.c_str());
        EXPECT_EQ(object != nullptr, c.created) << c.name;
        if (object) {
            EXPECT_TRUE(world->console.Lines().empty());
            object->Destroy(1);
        } else {
            EXPECT_TRUE(world->console.Contains("Assertion failed: 0")) << c.name << "\n"
                                                                        << ConsoleText();
        }
    }
}

TEST_F(RegistryLookup, CreateObjectWithoutMemoryReturnsNullSilently) {
    world->allocator.FailAt(2);  // the first allocation is the temporary name
    EXPECT_EQ(api->CreateObject("audibleTimer"), nullptr);
    EXPECT_TRUE(world->console.Lines().empty()) << ConsoleText();
}

TEST_F(RegistryLookup, ObjectSizes) {
    struct Case {
        const char* name;
        size_t size;
    };
    const Case cases[] = {{"qoWorldUtil", 56},      {"qoDebugUtil", 32},       {"qoComment", 88},
                          {"util_debugMetaData", 208}, {"triggerSequential", 32},
                          {"triggerLerpDelay", 32}, {"audibleTimer", 120}};
    for (const Case& c : cases) {
        kvQOObject* object = api->CreateObject(c.name);
        ASSERT_NE(object, nullptr) << c.name;
        EXPECT_EQ(world->allocator.Find(object)->size, c.size) << c.name;
        object->Destroy(1);
    }
}

TEST_F(RegistryLookup, Comments) {
    struct Case {
        const char* name;
        const char* comment;
    };
    const Case cases[] = {
        {"triggerSequential", "Fire targets sequentially, optionally looping"},
        {"triggerLerpDelay",
         "Fire targets sequentially lerping the delay between firstDelay and lastDelay"},
        {"audibleTimer",
         "An audible countdown timer helper. Trigger first to start countdown timer. Trigger "
         "again to extend by 'triggerTime'. When timer is complete any targets will be fired and "
         "the entity will remove itself."},
        {"hitStop", "hacky testing a hitstop"},
        {"qoComment", nullptr},
        {"qoWorldUtil", nullptr},
        {"TRIGGERSEQUENTIAL", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const char* comment = api->GetComment(c.name);
        if (c.comment)
            EXPECT_STREQ(comment, c.comment) << c.name;
        else
            EXPECT_EQ(comment, nullptr) << c.name;
    }
    EXPECT_TRUE(world->console.Lines().empty());
}

using registrytest::Row;
using registrytest::Rows;

TEST_F(RegistryLookup, PropertyTables) {
    struct Case {
        const char* name;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"qoComment",
         {{"qoString", "", "comment", "", 16, 24},
          {"bool", "", "alwaysShow", "", 40, 1},
          {"bool", "", "showCommentDragPoint", "", 41, 1},
          {"qoVector", "", "commentOffset", "", 44, 12},
          {"qoColor", "", "commentColor", "", 56, 16},
          {"bool", "", "showCommentBox", "", 72, 1},
          {"qoVector", "", "commentBoxSize", "", 76, 12}}},
        {"triggerSequential",
         {{"bool", "", "loop", "Loop after all targets are fired", 28, 1},
          {"bool", "", "debugText", "Display debug info", 29, 1}}},
        {"triggerLerpDelay",
         {{"float", "", "firstDelay", "Delay before first target is fired", 20, 4},
          {"float", "", "lastDelay", "Delay before last target is fired", 24, 4}}},
        {"util_debugMetaData",
         {{"util_debugMetaData::circleInfo_t", "", "circleInfo", "", 16, 12},
          {"util_debugMetaData::cylinderInfo_t", "", "cylinderInfo", "", 28, 8},
          {"kvDeclEntityDef", "*", "entityDef", "", 40, 8},
          {"util_debugMetaData::fovInfo_t", "", "fovInfo", "", 48, 12},
          {"qoList< util_debugMetaData::lineInfo_t >", "", "lines", "", 64, 24},
          {"bool", "", "alwaysShowOrienation", "", 88, 1},
          {"qoList< util_debugMetaData::planeInfo_t >", "", "planes", "", 96, 24},
          {"util_debugMetaData::sectorInfo_t", "", "sectorInfo", "", 120, 8},
          {"float", "", "sphereRadius", "", 128, 4},
          {"qoList< qoString >", "", "strings", "", 136, 24},
          {"util_debugMetaData::drawingTestEnum1_t", "", "drawingTestEnum1", "", 160, 4},
          {"util_debugMetaData::drawingTestEnum2_t", "", "drawingTestEnum2", "", 164, 4},
          {"qoEntity", "", "targetEntity", "", 168, 4},
          {"qoList< util_debugMetaData::actionData >", "", "actions", "", 176, 24},
          {"qoEntity", "", "lightEntity", "", 200, 4},
          {"qoEntity", "", "nonLightEntity", "", 204, 4}}},
        {"util_debugMetaData::circleInfo_t",
         {{"float", "", "layingCircleRadius", "", 0, 4},
          {"float", "", "standingCircleRadius", "", 4, 4},
          {"bool", "", "showLayingCircleAlways", "", 8, 1}}},
        {"util_debugMetaData::sectorInfo_t",
         {{"float", "", "radius", "", 0, 4},
          {"util_debugMetaData::arclengthInfo_t", "", "arclengthInfo", "", 4, 4}}},
        {"util_debugMetaData::arclengthInfo_t", {{"float", "", "arclength", "", 0, 4}}},
        {"util_debugMetaData::lineInfo_t",
         {{"qoVector", "", "start", "", 0, 12}, {"qoVector", "", "end", "", 12, 12}}},
        {"util_debugMetaData::planeInfo_t",
         {{"qoVector", "", "planeNormal", "", 0, 12}, {"float", "", "planeDist", "", 12, 4}}},
        {"util_debugMetaData::actionData",
         {{"qoEntity", "", "action", "", 0, 4}, {"bool", "", "shouldDrawArrow", "", 4, 1}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Rows(api->GetPropertyTable(c.name)), c.rows) << c.name;

    // No table: classes without properties, non-names, names in another case.
    for (const char* name : {"qoWorldUtil", "qoDebugUtil", "QOCOMMENT", "", "qoString",
                             "util_debugMetaData::drawingTestEnum1_t"})
        EXPECT_EQ(api->GetPropertyTable(name), nullptr) << name;
}

TEST_F(RegistryLookup, AudibleTimerPropertiesAndDeclDefaults) {
    const std::vector<Row> rows = Rows(api->GetPropertyTable("audibleTimer"));
    ASSERT_EQ(rows.size(), 19u);
    EXPECT_EQ(rows.front(), (Row{"float", "", "targetTime", "Initial countdown time", 32, 4}));
    EXPECT_EQ(rows[8], (Row{"kvSoundShader", "*", "slowTickSound", "Slow ticks play this sound", 56, 8}));
    EXPECT_EQ(rows[10], (Row{"int", "", "slowTickCount",
                             "Play sound on every this many ticks (If 0 do not play this sound)", 68, 4}));
    EXPECT_EQ(rows[11], (Row{"kvSoundShader", "*", "midTickSound", "", 72, 8}));
    EXPECT_EQ(rows.back(), (Row{"kvSoundShader", "*", "timeOutSound", "Play this sound when timer is done", 112, 8}));

    kvQOObject* timer = api->CreateObject("audibleTimer");
    ASSERT_NE(timer, nullptr);
    const char* members[] = {"slowTickSound", "midTickSound", "fastTickSound", "triggerSound",
                             "timeOutSound"};
    const uint64_t offsets[] = {56, 72, 88, 104, 112};
    const qoDeclDefault* d = timer->GetDeclDefaults();
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_STREQ(d[i].declType, "kvSoundShader");
        EXPECT_STREQ(d[i].member, members[i]);
        EXPECT_STREQ(d[i].defaultName, "");
        EXPECT_EQ(d[i].offset, offsets[i]);
    }
    EXPECT_EQ(d[5].declType, nullptr);
    // Constructor defaults.
    const auto* bytes = reinterpret_cast<const unsigned char*>(timer);
    auto f = [&](size_t at) {
        float v;
        std::memcpy(&v, bytes + at, 4);
        return v;
    };
    EXPECT_EQ(f(32), 20.0f);
    EXPECT_EQ(f(36), 10.0f);
    EXPECT_EQ(f(40), 0.25f);
    EXPECT_EQ(bytes[46], 1u);  // playTimeOutSound
    EXPECT_EQ(f(64), 16.0f);
    EXPECT_EQ(f(80), 8.0f);
    EXPECT_EQ(f(96), 3.0f);
    timer->Destroy(1);
}

TEST_F(RegistryLookup, QoCommentDefaultsAndStatement) {
    kvQOObject* comment = api->CreateObject("qoComment");
    ASSERT_NE(comment, nullptr);
    const auto* bytes = reinterpret_cast<const unsigned char*>(comment);
    float v[4];
    EXPECT_EQ(bytes[40], 1u);
    EXPECT_EQ(bytes[41], 1u);
    EXPECT_EQ(bytes[72], 0u);
    std::memcpy(v, bytes + 44, 12);
    EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{20, 0, 40}));
    std::memcpy(v, bytes + 56, 16);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{1, 1, 0, 1}));
    std::memcpy(v, bytes + 76, 12);
    EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{256, -192, -64}));
    comment->Destroy(1);

    const char* const* statements = api->GetEditorMetadata("qoComment");
    ASSERT_NE(statements, nullptr);
    EXPECT_STREQ(statements[0],
                 "bounds basicBounds{ bounds = ( commentOffset, commentBoxSize ); color = "
                 "commentColor; show = showCommentBox; showAlways = showCommentBox; }");
    EXPECT_EQ(statements[1], nullptr);
}

TEST_F(RegistryLookup, EditorMetadataOfClassesStructsAndOtherNames) {
    EXPECT_NE(api->GetEditorMetadata("util_debugMetaData"), nullptr);
    const char* const* line = api->GetEditorMetadata("util_debugMetaData::lineInfo_t");
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line[0], "line { startPoint = start; endPoint = end; color = red; dragEditable; }");
    EXPECT_EQ(line[1], nullptr);
    for (const char* name : {"triggerSequential", "qoWorldUtil", "util_debugMetaData::planeInfo_t",
                             "qocomment", "", "nothing at all"})
        EXPECT_EQ(api->GetEditorMetadata(name), nullptr) << name;
}

// Statements a map editor matches word for word: the link actions carry their stop mark, the
// allowed type and the hot key under the names the editor reads.
TEST_F(RegistryLookup, EditorStatementsQuotedExactly) {
    const std::string push =
        "arrow3D { endPoint = pushDirection; dragEditable; color = yellow; showAlways = true; }";
    const std::string link = "; stopLinkActionProcessingAfterThisEntity; allowedType = 'kvTrigger'; "
                             "associatedHotKey = CTRL_J; }";
    struct Case {
        const char* type;
        std::string statement;
    };
    const Case cases[] = {
        {"util_triggerPush", push},
        {"util_volumePush", push},
        {"util_triggerEnable",
         "linkActionList { entityPtrs = enableList[x]; actionName = 'Link to Enable List'" + link},
        {"util_triggerEnable",
         "linkActionList { entityPtrs = disableList[x]; actionName = 'Link to Disable List'" + link},
        {"moverExtender::moveCommands_t",
         "arrow3D { endPoint = direction; !isDirection; dragEditable; color = yellow; }"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> statements;
        for (const char* const* s = api->GetEditorMetadata(c.type); s && *s; ++s) statements.emplace_back(*s);
        EXPECT_NE(std::find(statements.begin(), statements.end(), c.statement), statements.end())
            << c.type << " lacks: " << c.statement << "\n" << ::testing::PrintToString(statements);
    }
}

TEST_F(RegistryLookup, DebugUtilFunctionAndDeclDefault) {
    kvQOObject* util = api->CreateObject("qoDebugUtil");
    ASSERT_NE(util, nullptr);
    const qoThreadEntry reader = &qoEntryThunk<&qoDebugUtil::ReadDebugActions>;
    EXPECT_EQ(util->GetFunction("ReadDebugActions"), reader);
    EXPECT_EQ(util->GetFunction("readdebugactions"), reader);
    EXPECT_EQ(util->GetFunction("Update"), nullptr);
    EXPECT_FALSE(util->HandlesEvent("OnActivate"));
    const qoDeclDefault* d = util->GetDeclDefaults();
    EXPECT_STREQ(d[0].declType, "kvDeclDamage");
    EXPECT_STREQ(d[0].member, "suicide");
    EXPECT_STREQ(d[0].defaultName, "damage/code_referenced/suicide");
    EXPECT_EQ(d[0].offset, 24u);
    EXPECT_EQ(d[1].declType, nullptr);
    util->Destroy(1);
}

TEST_F(RegistryLookup, EventsOfTheRelays) {
    for (const char* name : {"triggerSequential", "triggerLerpDelay", "audibleTimer"}) {
        kvQOObject* object = api->CreateObject(name);
        ASSERT_NE(object, nullptr);
        EXPECT_TRUE(object->HandlesEvent("onactivate")) << name;
        EXPECT_FALSE(object->HandlesEvent("OnTrigger")) << name;
        EXPECT_EQ(object->GetFunction("Init"), nullptr) << name;
        object->Destroy(1);
    }
}

struct EnumCase {
    const char* name;
    uint64_t flags;
    std::vector<std::pair<std::string, int32_t>> values;
};

TEST_F(RegistryLookup, EnumTables) {
    const EnumCase cases[] = {
        {"musicTensionStates_t", 0,
         {{"MUSIC_TENSION_STATE_OFF", 0}, {"MUSIC_TENSION_STATE_LOW", 1},
          {"MUSIC_TENSION_STATE_MEDIUM", 2}, {"MUSIC_TENSION_STATE_HIGH", 3},
          {"MUSIC_TENSION_STATE_COUNT", 4}}},
        {"pHell_NetworkNode::phNodeType_t", 0,
         {{"PH_BRAIN", 0}, {"PH_ENCOUNTER_MANAGER", 1}, {"PH_SPAWN_MANAGER", 2},
          {"PH_SPAWN_CLUSTER", 3}, {"PH_SPAWNER", 4}, {"PH_ACTIVE_AI", 5},
          {"PH_COMBAT_MANAGER", 1}, {"PH_COMBAT_STAGE", 2}, {"PH_COMBAT_HINT_GROUP", 3},
          {"PH_MOVE_KEY", 0}, {"PH_MOVER", 1}, {"PH_MOVING_PLATFORM", 0},
          {"PH_CONVEYOR_SYSTEM", 1}, {"PH_MUSIC_MANAGER", 0}, {"PH_EVENT_COUNTER", 999},
          {"PH_TRANSMISSION", 999}, {"PH_NODE", 1000}}},
        {"pHell_NetworkNode::phJobFunction_t", 0,
         {{"JOB_FUNCTION_MAP_MANAGEMENT", 0}, {"JOB_FUNCTION_ENCOUNTER_MANAGEMENT", 1},
          {"JOB_FUNCTION_AI_MGMT", 2}, {"JOB_FUNCTION_COMBAT_MGMT", 3},
          {"JOB_FUNCTION_SPAWN_AI", 4}, {"JOB_FUNCTION_COMBAT_STAGING", 5},
          {"JOB_FUNCTION_MOVER", 6}, {"JOB_FUNCTION_ROUTING", 7}, {"JOB_FUNCTION_EVENTS", 8},
          {"JOB_FUNCTION_NETWORK", 9}, {"JOB_FUNCTION_NONE", 10}}},
        {"pHell_EventTransceiver::gameplayEvent_t", 0,
         {{"GAMEPLAY_EVENT_AI_SPAWNED", 0}, {"GAMEPLAY_EVENT_AI_KILLED", 1},
          {"GAMEPLAY_EVENT_START_SPAWNING", 2}, {"GAMEPLAY_EVENT_ALL_SPAWNED", 3},
          {"GAMEPLAY_EVENT_SPAWNING_STOPPED", 4}, {"GAMEPLAY_EVENT_ALL_AI_KILLED", 5},
          {"GAMEPLAY_EVENT_NODE_AWAKENED", 6}, {"GAMEPLAY_EVENT_START_ENCOUNTER", 7},
          {"GAMEPLAY_EVENT_ENCOUNTER_FINISHED", 8}, {"GAMEPLAY_EVENT_DEFAULT", 9}}},
        {"util_entityFlagActivate::activateBehavior_t", 0, {{"SET", 0}, {"CLEAR", 1}, {"TOGGLE", 2}}},
        {"regression_testHideState::testHideState_t", 0,
         {{"HIDE_STATE_IS_HIDDEN", 0}, {"HIDE_STATE_IS_SHOWN", 1}}},
        {"setIntroHUDState::introHUDState_t", 0,
         {{"INTRO_HUD_OFF", 0}, {"INTRO_HUD_HELMET_ONLY", 1}, {"INTRO_HUD_CROSSHAIR_ONLY", 2},
          {"INTRO_HUD_CROSSHAIR_HEALTH", 3}, {"INTRO_HUD_FULL", 4}}},
        {"LureDemon::lureDemonState_t", 0,
         {{"LURE_DEMON_STATE_CLOSED", 0}, {"LURE_DEMON_STATE_WATCHING", 1},
          {"LURE_DEMON_STATE_MOVING", 2}, {"LURE_DEMON_STATE_SLAPPING", 3},
          {"LURE_DEMON_STATE_SCREAMING", 4}, {"LURE_DEMON_STATE_DYING", 5},
          {"LURE_DEMON_STATE_COUNT", 6}}},
        {"LureDemon::lureDemonCoverArea_t", 0,
         {{"LURE_DEMON_COVER_AREA_INVALID", -1}, {"LURE_DEMON_COVER_AREA_FAR_RIGHT", 0},
          {"LURE_DEMON_COVER_AREA_MID_RIGHT", 1}, {"LURE_DEMON_COVER_AREA_CENTER", 2},
          {"LURE_DEMON_COVER_AREA_MID_LEFT", 3}, {"LURE_DEMON_COVER_AREA_FAR_LEFT", 4},
          {"LURE_DEMON_COVER_AREA_COUNT", 5}}},
        {"zombie_sleep::sleepAnims_t", 0, {{"ASLEEP1", 0}, {"ASLEEP2", 1}, {"ASLEEP3", 2}}},
        {"util_debugMetaData::drawingTestEnum1_t", 0, {{"VALUE_1", 0}, {"VALUE_2", 1}, {"VALUE_3", 2}}},
        {"util_debugMetaData::drawingTestEnum2_t", 0x80000,
         {{"FLAG_1", 1}, {"FLAG_2", 2}, {"FLAG_3", 4}, {"FLAG_1AND3", 5}}},
    };
    for (const EnumCase& c : cases) {
        SCOPED_TRACE(c.name);
        const qoEnumInfo* e = api->GetEnumTable(c.name);
        ASSERT_NE(e, nullptr);
        EXPECT_STREQ(e->name, c.name);
        EXPECT_EQ(e->flags, c.flags);
        std::vector<std::pair<std::string, int32_t>> values;
        const qoEnumValue* v = e->values;
        for (; v->name; ++v) {
            values.emplace_back(v->name, v->value);
            EXPECT_EQ(v->pad0, 0u);
        }
        EXPECT_EQ(v->value, 0);
        EXPECT_EQ(values, c.values);
    }
    for (const char* name : {"aiMonsterType_t", "phNodeType_t", "pHell_NetworkNode", "qoString",
                             "util_debugMetaData", ""})
        EXPECT_EQ(api->GetEnumTable(name), nullptr) << name;
}

TEST_F(RegistryLookup, ElementSizes) {
    struct Case {
        const char* name;
        uint32_t size;
    };
    const Case cases[] = {
        {"int", 4},
        {"float", 4},
        {"aiMonsterType_t", 4},
        {"qoEntity", 4},
        {"qoVector", 12},
        {"qoString", 24},
        {"util_debugMetaData::lineInfo_t", 24},
        {"util_debugMetaData::planeInfo_t", 16},
        {"util_debugMetaData::actionData", 8},
        {"bool", 0},
        {"short", 0},
        {"qoColor", 0},
        {"kvSoundShader", 0},
        {"util_debugMetaData::drawingTestEnum1_t", 0},
        {"util_debugMetaData::circleInfo_t", 0},  // a struct, but no list holds it
        {"qoList< qoString >", 0},
        {"triggerSequential", 0},
        {"Int", 0},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(api->GetElementSize(c.name), c.size) << c.name;
}

TEST_F(RegistryLookup, AllocateElementsConstructsEachElement) {
    const uint32_t tag = world->GetMemoryTag();
    auto* strings = static_cast<qoStringLayout*>(api->AllocateElements("qoString", 3));
    ASSERT_NE(strings, nullptr);
    const qohost::BlockInfo* block = world->allocator.Find(strings);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->size, 72u);
    EXPECT_EQ(block->tag, qoDefaultMemoryTag);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(strings[i].length, 0);
        EXPECT_EQ(strings[i].data, nullptr);
        EXPECT_EQ(strings[i].capacity, 0);
        EXPECT_EQ(strings[i].tag, tag);
    }
    world->Free(strings, qoDefaultMemoryTag);

    auto* lines = static_cast<unsigned char*>(api->AllocateElements("util_debugMetaData::lineInfo_t", 2));
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(world->allocator.Find(lines)->size, 48u);
    for (int i = 0; i < 48; ++i) EXPECT_EQ(lines[i], 0u);
    world->Free(lines, qoDefaultMemoryTag);

    auto* actions = static_cast<unsigned char*>(api->AllocateElements("util_debugMetaData::actionData", 1));
    ASSERT_NE(actions, nullptr);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(actions[i], 0u);
    world->Free(actions, qoDefaultMemoryTag);

    auto* entities = static_cast<uint32_t*>(api->AllocateElements("qoEntity", 4));
    ASSERT_NE(entities, nullptr);
    EXPECT_EQ(world->allocator.Find(entities)->size, 16u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(entities[i], 0u);
    world->Free(entities, qoDefaultMemoryTag);
}

TEST_F(RegistryLookup, AllocateElementsRefusesNamesThatAreNotElementTypes) {
    // A lookup allocates only its temporary copy of the name: compare with GetElementSize.
    for (const char* name : {"bool", "qoColor", "triggerSequential", "util_debugMetaData::circleInfo_t",
                             "", "qoString "}) {
        const uint64_t before = world->allocator.Allocations();
        EXPECT_EQ(api->GetElementSize(name), 0u);
        const uint64_t lookupCost = world->allocator.Allocations() - before;
        const size_t live = world->allocator.LiveBlocks();
        EXPECT_EQ(api->AllocateElements(name, 3), nullptr) << name;
        EXPECT_EQ(world->allocator.Allocations() - before, 2 * lookupCost) << name;
        EXPECT_EQ(world->allocator.LiveBlocks(), live);
    }
}

TEST_F(RegistryLookup, AllocateElementsEdgeCounts) {
    // Zero: the host's answer to a zero-byte request, handed on.
    void* none = api->AllocateElements("qoString", 0);
    ASSERT_NE(none, nullptr);  // the reference host gives a distinct block for size 0
    EXPECT_EQ(world->allocator.Find(none)->size, 0u);
    world->Free(none, qoDefaultMemoryTag);
    // Negative: refused without allocating the block.
    const size_t live = world->allocator.LiveBlocks();
    EXPECT_EQ(api->AllocateElements("qoString", -1), nullptr);
    EXPECT_EQ(world->allocator.LiveBlocks(), live);
    // The host has no memory: null.
    world->allocator.FailAt(2);
    EXPECT_EQ(api->AllocateElements("qoVector", 2), nullptr);
}

TEST_F(RegistryLookup, NameOperationsCopyTheNameThroughTheHost) {
    // Each operation takes one temporary copy of the name and releases it.
    const uint64_t before = world->allocator.Allocations();
    const size_t live = world->allocator.LiveBlocks();
    EXPECT_NE(api->GetComment("triggerSequential"), nullptr);
    EXPECT_EQ(world->allocator.Allocations() - before, 1u);
    EXPECT_EQ(world->allocator.LiveBlocks(), live);
}

}  // namespace
