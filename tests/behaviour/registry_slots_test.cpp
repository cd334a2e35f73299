// The registry as an engine sees it: the real library loaded with dlopen, kvQuorin slots 5 to 13
// and object slots 41 to 48 called through the raw operation tables by number, table rows read
// at their raw byte offsets, and `qohost describe --json` read back.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>

#include "tests/support/HostFixture.h"

namespace {

// Slot k of an object's operation table, as a plain function taking the object first.
template <class Fn>
Fn Slot(const void* object, int k) {
    const void* const* table = *static_cast<const void* const* const*>(object);
    return reinterpret_cast<Fn>(const_cast<void*>(table[k]));
}

template <class T>
T At(const void* base, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(base) + offset, sizeof value);
    return value;
}

class RegistrySlots : public qohost::test::HostFixture {};

TEST_F(RegistrySlots, NameAndPrefixTablesThroughSlots5And6) {
    using Table = const char* const* (*)(kvQuorin*);
    const char* const* names = Slot<Table>(api, 5)(api);
    ASSERT_EQ(names, api->GetClassNames());
    size_t rows = 0;
    while (names[rows]) ++rows;
    EXPECT_GE(rows, 7u);
    // Plain byte order: upper-case names first, then "_", then the lower-case names.
    EXPECT_STREQ(names[0], "SlidingDoorVolume");
    EXPECT_STREQ(names[1], "_combatGoal");
    for (size_t i = 1; i < rows; ++i) EXPECT_LT(std::strcmp(names[i - 1], names[i]), 0) << names[i];
    EXPECT_EQ(Slot<Table>(api, 6)(api), api->GetClassPrefixes());
}

TEST_F(RegistrySlots, CreateObjectAndObjectIdentitySlots) {
    using Create = kvQOObject* (*)(kvQuorin*, const char*);
    kvQOObject* object = Slot<Create>(api, 7)(api, "triggerSequential");
    ASSERT_NE(object, nullptr);
    const qohost::BlockInfo* block = world->allocator.Find(object);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->size, 32u);
    EXPECT_EQ(block->tag, 0xFFFFFFFFu);

    // 41: the class name is the very row of the name table.
    const char* name = Slot<const char* (*)(kvQOObject*)>(object, 41)(object);
    const char* row = nullptr;
    for (const char* const* r = api->GetClassNames(); *r; ++r)
        if (std::strcmp(*r, "triggerSequential") == 0) row = *r;
    EXPECT_EQ(name, row);

    auto isClass = Slot<bool (*)(kvQOObject*, const char*)>(object, 42);
    EXPECT_TRUE(isClass(object, "TRIGGERSEQUENTIAL"));
    EXPECT_FALSE(isClass(object, "kvQuorinObject"));
    EXPECT_FALSE(isClass(object, "triggerLerpDelay"));

    EXPECT_EQ((Slot<qoThreadEntry (*)(kvQOObject*, const char*)>(object, 45)(object, "Init")), nullptr);
    auto handles = Slot<bool (*)(kvQOObject*, const char*)>(object, 46);
    EXPECT_TRUE(handles(object, "onActivate"));
    EXPECT_FALSE(handles(object, "OnDeath"));

    // 47: the zero-row decl table (32 zero bytes).
    const void* decls = Slot<const void* (*)(kvQOObject*)>(object, 47)(object);
    ASSERT_NE(decls, nullptr);
    const unsigned char zero[32] = {};
    EXPECT_EQ(std::memcmp(decls, zero, 32), 0);

    // 48 with flag 1: storage back to the host with the default tag.
    const size_t live = world->allocator.LiveBlocks(0xFFFFFFFFu);
    Slot<kvQOObject* (*)(kvQOObject*, uint32_t)>(object, 48)(object, 1);
    EXPECT_EQ(world->allocator.LiveBlocks(0xFFFFFFFFu), live - 1);

    // Unknown name: null and the assertion on the console.
    EXPECT_EQ(Slot<Create>(api, 7)(api, "TriggerSequential"), nullptr);
    EXPECT_TRUE(world->console.Contains("Assertion failed: 0")) << ConsoleText();
}

TEST_F(RegistrySlots, PropertyRowsAtRawOffsets) {
    using Lookup = const void* (*)(kvQuorin*, const char*);
    const void* table = Slot<Lookup>(api, 8)(api, "qoComment");
    ASSERT_NE(table, nullptr);
    struct Case {
        const char* type;
        const char* name;
        uint32_t offset, size;
    };
    const Case rows[] = {{"qoString", "comment", 16, 24},       {"bool", "alwaysShow", 40, 1},
                         {"bool", "showCommentDragPoint", 41, 1}, {"qoVector", "commentOffset", 44, 12},
                         {"qoColor", "commentColor", 56, 16},    {"bool", "showCommentBox", 72, 1},
                         {"qoVector", "commentBoxSize", 76, 12}};
    const size_t n = sizeof rows / sizeof rows[0];
    for (size_t i = 0; i < n; ++i) {
        const char* row = static_cast<const char*>(table) + 40 * i;
        SCOPED_TRACE(rows[i].name);
        EXPECT_STREQ(At<const char*>(row, 0), rows[i].type);
        EXPECT_STREQ(At<const char*>(row, 8), "");
        EXPECT_STREQ(At<const char*>(row, 16), rows[i].name);
        EXPECT_STREQ(At<const char*>(row, 24), "");
        EXPECT_EQ(At<uint32_t>(row, 32), rows[i].offset);
        EXPECT_EQ(At<uint32_t>(row, 36), rows[i].size);
    }
    const unsigned char zero[40] = {};
    EXPECT_EQ(std::memcmp(static_cast<const char*>(table) + 40 * n, zero, 40), 0);

    // A decl row: modifier "*" at +8.
    const void* meta = Slot<Lookup>(api, 8)(api, "util_debugMetaData");
    ASSERT_NE(meta, nullptr);
    const char* entityDef = static_cast<const char*>(meta) + 40 * 2;
    EXPECT_STREQ(At<const char*>(entityDef, 0), "kvDeclEntityDef");
    EXPECT_STREQ(At<const char*>(entityDef, 8), "*");
    EXPECT_EQ(At<uint32_t>(entityDef, 32), 40u);
    EXPECT_EQ(At<uint32_t>(entityDef, 36), 8u);

    EXPECT_EQ(Slot<Lookup>(api, 8)(api, "qoWorldUtil"), nullptr);
}

TEST_F(RegistrySlots, DeclDefaultRowAtRawOffsets) {
    kvQOObject* util = api->CreateObject("qoDebugUtil");
    ASSERT_NE(util, nullptr);
    const void* rows = Slot<const void* (*)(kvQOObject*)>(util, 47)(util);
    EXPECT_STREQ(At<const char*>(rows, 0), "kvDeclDamage");
    EXPECT_STREQ(At<const char*>(rows, 8), "suicide");
    EXPECT_STREQ(At<const char*>(rows, 16), "damage/code_referenced/suicide");
    EXPECT_EQ(At<uint64_t>(rows, 24), 24u);
    const unsigned char zero[32] = {};
    EXPECT_EQ(std::memcmp(static_cast<const char*>(rows) + 32, zero, 32), 0);
    util->Destroy(1);
}

TEST_F(RegistrySlots, CommentEnumElementAndMetadataSlots) {
    using Text = const char* (*)(kvQuorin*, const char*);
    EXPECT_STREQ(Slot<Text>(api, 9)(api, "triggerLerpDelay"),
                 "Fire targets sequentially lerping the delay between firstDelay and lastDelay");
    EXPECT_EQ(Slot<Text>(api, 9)(api, "qoComment"), nullptr);

    using Lookup = const void* (*)(kvQuorin*, const char*);
    const void* e = Slot<Lookup>(api, 10)(api, "util_debugMetaData::drawingTestEnum2_t");
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(At<const char*>(e, 0), "util_debugMetaData::drawingTestEnum2_t");
    EXPECT_EQ(At<uint64_t>(e, 8), 0x80000u);
    const char* values = At<const char*>(e, 16);
    const int32_t expected[] = {1, 2, 4, 5};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(At<int32_t>(values + 16 * i, 8), expected[i]);
    EXPECT_STREQ(At<const char*>(values + 16 * 3, 0), "FLAG_1AND3");
    EXPECT_EQ(At<const char*>(values + 16 * 4, 0), nullptr);

    const void* nodeType = Slot<Lookup>(api, 10)(api, "pHell_NetworkNode::phNodeType_t");
    ASSERT_NE(nodeType, nullptr);
    const char* nodeValues = At<const char*>(nodeType, 16);
    // PH_ENCOUNTER_MANAGER, PH_COMBAT_MANAGER, PH_MOVER and PH_CONVEYOR_SYSTEM all read 1.
    for (int i : {1, 6, 10, 12}) EXPECT_EQ(At<int32_t>(nodeValues + 16 * i, 8), 1) << i;

    using Size = uint32_t (*)(kvQuorin*, const char*);
    EXPECT_EQ(Slot<Size>(api, 11)(api, "qoString"), 24u);
    EXPECT_EQ(Slot<Size>(api, 11)(api, "bool"), 0u);

    using Meta = const char* const* (*)(kvQuorin*, const char*);
    const char* const* statements = Slot<Meta>(api, 12)(api, "qoComment");
    ASSERT_NE(statements, nullptr);
    EXPECT_EQ(statements[1], nullptr);
    EXPECT_EQ(Slot<Meta>(api, 12)(api, "audibleTimer"), nullptr);

    using Allocate = void* (*)(kvQuorin*, const char*, int);
    void* block = Slot<Allocate>(api, 13)(api, "qoString", 3);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(world->allocator.Find(block)->size, 72u);
    EXPECT_EQ(world->allocator.Find(block)->tag, 0xFFFFFFFFu);
    world->Free(block, 0xFFFFFFFFu);
    EXPECT_EQ(Slot<Allocate>(api, 13)(api, "qoColor", 3), nullptr);
}

TEST_F(RegistrySlots, EveryListedClassCreatesAndDestroysCleanly) {
    for (const char* const* row = api->GetClassNames(); *row; ++row) {
        kvQOObject* object = api->CreateObject(*row);
        ASSERT_NE(object, nullptr) << *row;
        EXPECT_EQ(object->GetClassName(), *row);
        object->Destroy(1);
    }
    EXPECT_TRUE(world->console.Lines().empty()) << ConsoleText();
}

// ---- qohost describe ------------------------------------------------------------------------

std::string RunQohost(const std::string& arguments, int* status) {
    const std::string command = std::string(QOHOST_PATH) + " --library " + QUORIN_LIBRARY_PATH +
                                " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    *status = pclose(pipe);
    return out;
}

TEST(RegistryDescribe, JsonOfOneClass) {
    int status = -1;
    const nlohmann::json d = nlohmann::json::parse(RunQohost("describe qoDebugUtil --json", &status));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(d["classes"].size(), 1u);
    const auto& c = d["classes"][0];
    EXPECT_EQ(c["name"], "qoDebugUtil");
    EXPECT_EQ(c["listed"], true);
    EXPECT_TRUE(c["comment"].is_null());
    EXPECT_TRUE(c["properties"].is_null());
    ASSERT_EQ(c["declDefaults"].size(), 1u);
    EXPECT_EQ(c["declDefaults"][0]["default"], "damage/code_referenced/suicide");
    EXPECT_EQ(c["declDefaults"][0]["offset"], 24);
}

TEST(RegistryDescribe, JsonOfEverythingListed) {
    int status = -1;
    const nlohmann::json d = nlohmann::json::parse(RunQohost("describe --json", &status));
    EXPECT_EQ(status, 0);
    bool comment = false, lineInfo = false, flags = false;
    for (const auto& c : d["classes"])
        if (c["name"] == "qoComment") {
            comment = true;
            EXPECT_EQ(c["properties"][3]["name"], "commentOffset");
            EXPECT_EQ(c["properties"][3]["offset"], 44);
            EXPECT_EQ(c["editorStatements"].size(), 1u);
        }
    for (const auto& s : d["structs"])
        if (s["name"] == "util_debugMetaData::lineInfo_t") lineInfo = s["elementSize"] == 24;
    for (const auto& e : d["enums"])
        if (e["name"] == "util_debugMetaData::drawingTestEnum2_t") flags = e["flags"] == 0x80000;
    EXPECT_TRUE(comment);
    EXPECT_TRUE(lineInfo);
    EXPECT_TRUE(flags);
    bool util = false;
    for (const auto& p : d["prefixes"]) util |= p == "util_";
    EXPECT_TRUE(util);
}

TEST(RegistryDescribe, UnknownNameExitsWithTwo) {
    int status = -1;
    EXPECT_EQ(RunQohost("describe noSuchThing --json", &status), "");
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
