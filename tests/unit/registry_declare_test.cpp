// The class declaration machinery and the registry tables it feeds, on a small test-only class
// set: a three-level script hierarchy, unlisted classes, names with and without prefixes.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "object/qoClass.h"
#include "module/qoRegistryTables.h"
#include "tests/support/HostFixture.h"
#include "tests/unit/registry_test_rows.h"

namespace {

int g_updates = 0;
void* g_lastArgs = nullptr;

class pHell_TestNode : public kvQuorinObject {
    QO_SCRIPT_CLASS(pHell_TestNode, kvQuorinObject)
    QO_UNLISTED
    QO_PROPERTIES(QO_PROPERTY(linkedTo, "linked nodes"), QO_PROPERTY(weight))
    QO_DECLS(QO_DECL(linkSound, "sound/link"))
    QO_EDITOR("node statement 1", "node statement 2")
    QO_EVENTS("OnActivate", "OnItemPickup")
    QO_FUNCTIONS(QO_FUNCTION(Update), QO_FUNCTION_NAMED("WithArgs", TakeArgs))

public:
    void Update() { ++g_updates; }
    void TakeArgs(void* args) { g_lastArgs = args; }
    void OnActivate(const qoEntity&) override {}

    qoList<qoEntity> linkedTo;
    const kvSoundShader* linkSound = nullptr;
    float weight = 1.5f;
    uint32_t pad1 = 0;  // fills the size: derived members start at 56
};
static_assert(sizeof(pHell_TestNode) == 56);

class pHell_TestSpawner : public pHell_TestNode {
    QO_SCRIPT_CLASS(pHell_TestSpawner, pHell_TestNode)

public:
    int32_t spawned = 0;  // not a property
    uint32_t pad2 = 0;
};

class pHell_TestCluster : public pHell_TestSpawner {
    QO_SCRIPT_CLASS(pHell_TestCluster, pHell_TestSpawner)
    QO_COMMENT("a cluster for tests")
    QO_PROPERTIES(QO_PROPERTY(count, "how many"), QO_PROPERTY(label))
    QO_DECLS(QO_DECL(clusterDef, ""))
    QO_EDITOR("cluster statement")
    QO_EVENTS("OnDeath")

public:
    int32_t count = 3;
    qoString label;
    const kvDeclEntityDef* clusterDef = nullptr;
};

class player_Test : public kvQuorinObject {
    QO_SCRIPT_CLASS(player_Test, kvQuorinObject)
};
class prop_Test : public kvQuorinObject {
    QO_SCRIPT_CLASS(prop_Test, kvQuorinObject)
};
class prop_Other : public kvQuorinObject {
    QO_SCRIPT_CLASS(prop_Other, kvQuorinObject)
};
class _underscore_Test : public kvQuorinObject {
    QO_SCRIPT_CLASS(_underscore_Test, kvQuorinObject)
};
class noPrefixTest : public kvQuorinObject {
    QO_SCRIPT_CLASS(noPrefixTest, kvQuorinObject)
};
class Zeta_Test : public kvQuorinObject {
    QO_SCRIPT_CLASS(Zeta_Test, kvQuorinObject)
};
class regression_Hidden : public kvQuorinObject {
    QO_SCRIPT_CLASS(regression_Hidden, kvQuorinObject)
    QO_UNLISTED
};

struct TestSources {
    using classes = qoTypeList<prop_Test, pHell_TestNode, noPrefixTest, pHell_TestSpawner,
                               regression_Hidden, Zeta_Test, pHell_TestCluster, _underscore_Test,
                               player_Test, prop_Other>;
    using types = qoTypeList<>;
    static constexpr std::array<const qoEnumInfo*, 0> enums{};
};
using Tables = qoRegistryTables<TestSources>;

std::vector<std::string> Strings(const char* const* table) {
    std::vector<std::string> out;
    for (; *table; ++table) out.emplace_back(*table);
    return out;
}

const qoSymbol* Find(const char* name) { return Tables::Find(name, std::strlen(name)); }

TEST(RegistryDeclare, ClassNamesAreListedClassesInByteOrder) {
    const std::vector<std::string> expected = {"Zeta_Test",         "_underscore_Test",
                                               "noPrefixTest",      "pHell_TestCluster",
                                               "pHell_TestSpawner", "player_Test",
                                               "prop_Other",        "prop_Test"};
    EXPECT_EQ(Strings(Tables::classNames.data()), expected);
    EXPECT_EQ(Tables::classNames.size(), expected.size() + 1);  // exactly one null at the end
    EXPECT_EQ(Tables::classNames.back(), nullptr);
}

TEST(RegistryDeclare, ClassNameRowsAreTheClassesOwnNamePointers) {
    EXPECT_EQ(Find("pHell_TestCluster")->name, pHell_TestCluster::qoName);
    for (const char* const* row = Tables::classNames.data(); *row; ++row)
        EXPECT_EQ(Find(*row)->name, *row);
}

TEST(RegistryDeclare, PrefixesComeFromEveryCreatableClassListedOrNot) {
    // "pHell_" sorts before "player_" (upper case first); "regression_" comes from an unlisted
    // class; "_underscore_Test", "noPrefixTest" give none; "Zeta_" sorts first.
    const std::vector<std::string> expected = {"Zeta_", "pHell_", "player_", "prop_", "regression_"};
    EXPECT_EQ(Strings(Tables::classPrefixes.data()), expected);
    EXPECT_EQ(Tables::classPrefixes.size(), expected.size() + 1);
    EXPECT_EQ(Tables::classPrefixes.back(), nullptr);
}

TEST(RegistryDeclare, PrefixDerivation) {
    struct Case {
        const char* name;
        size_t prefix;
    };
    const Case cases[] = {
        {"util_entityFlag", 5},  {"pHell_Spawner", 6},  {"audibleTimer", 0}, {"_combatGoal", 0},
        {"_a_b", 0},             {"a_", 2},             {"", 0},             {"x__y", 2},
        {"regression_testHideState", 11},
    };
    for (const Case& c : cases) EXPECT_EQ(qoPrefixLength(c.name), c.prefix) << c.name;
}

TEST(RegistryDeclare, LookupIsExactAndCaseSensitive) {
    struct Case {
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {"pHell_TestNode", true},   {"phell_testnode", false}, {"pHell_TestNod", false},
        {"pHell_TestNodes", false}, {"", false},               {"prop_", false},
        {"regression_Hidden", true}, {"Zeta_Test", true},
    };
    for (const Case& c : cases) EXPECT_EQ(Find(c.name) != nullptr, c.found) << c.name;
    // The length counts: a name that is a prefix of a stored name with a NUL inside does not
    // match it.
    EXPECT_EQ(Tables::Find("prop_Test\0x", 11), nullptr);
}

TEST(RegistryDeclare, ListedFlagAndComment) {
    EXPECT_FALSE(Find("pHell_TestNode")->kinds & qoSymbol::kListed);
    EXPECT_TRUE(Find("pHell_TestSpawner")->kinds & qoSymbol::kListed);  // not inherited
    EXPECT_STREQ(Find("pHell_TestCluster")->comment, "a cluster for tests");
    EXPECT_EQ(Find("pHell_TestSpawner")->comment, nullptr);
}

using registrytest::Row;
using registrytest::Rows;

TEST(RegistryDeclare, PropertyRowsAreOwnThenInherited) {
    const std::vector<Row> node = {{"qoList< qoEntity >", "", "linkedTo", "linked nodes", 16, 24},
                                   {"float", "", "weight", "", 48, 4}};
    std::vector<Row> cluster = {{"int", "", "count", "how many", 64, 4},
                                {"qoString", "", "label", "", 72, 24}};
    cluster.insert(cluster.end(), node.begin(), node.end());
    EXPECT_EQ(Rows(Find("pHell_TestNode")->properties), node);
    EXPECT_EQ(Rows(Find("pHell_TestSpawner")->properties), node);  // repeats the base's rows
    EXPECT_EQ(Rows(Find("pHell_TestCluster")->properties), cluster);
    EXPECT_EQ(Find("prop_Test")->properties, nullptr);  // nothing to publish: no table

    // The table ends with an all-zero row.
    const qoPropertyInfo* t = Find("pHell_TestCluster")->properties;
    const qoPropertyInfo zero{};
    EXPECT_EQ(std::memcmp(&t[cluster.size()], &zero, sizeof zero), 0);
}

TEST(RegistryDeclare, EditorStatementsComposeRootFirst) {
    EXPECT_EQ(Strings(Find("pHell_TestNode")->metadata),
              (std::vector<std::string>{"node statement 1", "node statement 2"}));
    // Without statements of its own a class shares its base's array.
    EXPECT_EQ(Find("pHell_TestSpawner")->metadata, Find("pHell_TestNode")->metadata);
    // With statements of its own a class repeats the array of every ancestor, root first: the
    // spawner's array is the node's, so the node's statements stand twice.
    EXPECT_EQ(Strings(Find("pHell_TestCluster")->metadata),
              (std::vector<std::string>{"node statement 1", "node statement 2", "node statement 1",
                                        "node statement 2", "cluster statement"}));
    EXPECT_EQ(Find("prop_Test")->metadata, nullptr);
}

class RegistryDeclareObjects : public qohost::test::HostFixture {
protected:
    template <class T>
    T* Create() {
        return static_cast<T*>(Find(T::qoName)->create());
    }
};

TEST_F(RegistryDeclareObjects, FactoryAllocatesTheClassSizeWithTheDefaultTag) {
    struct Case {
        const char* name;
        size_t size;
    };
    const Case cases[] = {{"pHell_TestNode", 56},
                          {"pHell_TestSpawner", 64},
                          {"pHell_TestCluster", sizeof(pHell_TestCluster)},
                          {"prop_Test", 16}};
    for (const Case& c : cases) {
        kvQOObject* object = Find(c.name)->create();
        ASSERT_NE(object, nullptr) << c.name;
        const qohost::BlockInfo* block = world->allocator.Find(object);
        ASSERT_NE(block, nullptr) << c.name;
        EXPECT_EQ(block->size, c.size) << c.name;
        EXPECT_EQ(block->tag, qoDefaultMemoryTag) << c.name;
        EXPECT_STREQ(object->GetClassName(), c.name);
        EXPECT_EQ(object->GetClassName(), Find(c.name)->name);  // the very same pointer
        EXPECT_EQ(object->GetEntity(), 0u);
        object->Destroy(1);
    }
}

TEST_F(RegistryDeclareObjects, FactoryReturnsNullWhenTheHostHasNoMemory) {
    world->allocator.FailNext(1);
    EXPECT_EQ(Find("pHell_TestCluster")->create(), nullptr);
    EXPECT_TRUE(world->console.Lines().empty());
}

TEST_F(RegistryDeclareObjects, ConstructorDefaultsAndDerivedLayout) {
    auto* cluster = Create<pHell_TestCluster>();
    EXPECT_EQ(cluster->count, 3);
    EXPECT_EQ(cluster->weight, 1.5f);
    EXPECT_EQ(cluster->label.tag, world->GetMemoryTag());
    // The derived class's members start after the whole base.
    EXPECT_GE(offsetof(pHell_TestCluster, count), sizeof(pHell_TestSpawner));
    EXPECT_GE(offsetof(pHell_TestSpawner, spawned), sizeof(pHell_TestNode));
    cluster->Destroy(1);
}

TEST_F(RegistryDeclareObjects, IsClassAnswersOwnNameAndScriptBasesIgnoringCase) {
    auto* cluster = Create<pHell_TestCluster>();
    struct Case {
        const char* name;
        bool answer;
    };
    const Case cases[] = {
        {"pHell_TestCluster", true}, {"PHELL_TESTSPAWNER", true}, {"phell_testnode", true},
        {"kvQuorinObject", false},   {"kvQOObject", false},       {"pHell_Test", false},
        {"", false},                 {nullptr, false},            {"prop_Test", false},
    };
    for (const Case& c : cases) EXPECT_EQ(cluster->IsClass(c.name), c.answer) << (c.name ? c.name : "null");
    auto* node = Create<pHell_TestNode>();
    EXPECT_FALSE(node->IsClass("pHell_TestCluster"));  // a base does not answer for derived classes
    cluster->Destroy(1);
    node->Destroy(1);
}

TEST_F(RegistryDeclareObjects, HandlesEventIgnoresCaseAndInheritsTheBaseEvents) {
    auto* cluster = Create<pHell_TestCluster>();
    auto* node = Create<pHell_TestNode>();
    auto* plain = Create<prop_Test>();
    struct Case {
        const char* name;
        bool cluster, node, plain;
    };
    const Case cases[] = {
        {"OnDeath", true, false, false},     {"ondeath", true, false, false},
        {"ONACTIVATE", true, true, false},   {"OnItemPickup", true, true, false},
        {"OnDamage", false, false, false},   {"", false, false, false},
        {nullptr, false, false, false},
    };
    for (const Case& c : cases) {
        const char* label = c.name ? c.name : "null";
        EXPECT_EQ(cluster->HandlesEvent(c.name), c.cluster) << label;
        EXPECT_EQ(node->HandlesEvent(c.name), c.node) << label;
        EXPECT_EQ(plain->HandlesEvent(c.name), c.plain) << label;
    }
    cluster->Destroy(1);
    node->Destroy(1);
    plain->Destroy(1);
}

TEST_F(RegistryDeclareObjects, GetFunctionReturnsTheEntryThunkIgnoringCase) {
    auto* cluster = Create<pHell_TestCluster>();
    const qoThreadEntry update = &qoEntryThunk<&pHell_TestNode::Update>;
    EXPECT_EQ(cluster->GetFunction("update"), update);
    EXPECT_EQ(cluster->GetFunction("UPDATE"), update);
    EXPECT_EQ(cluster->GetFunction("withargs"), (&qoEntryThunk<&pHell_TestNode::TakeArgs>));
    EXPECT_EQ(cluster->GetFunction("Spawn"), nullptr);
    EXPECT_EQ(cluster->GetFunction(nullptr), nullptr);
    auto* plain = Create<prop_Test>();
    EXPECT_EQ(plain->GetFunction("Update"), nullptr);

    g_updates = 0;
    update(cluster, nullptr);
    EXPECT_EQ(g_updates, 1);
    int block = 0;
    cluster->GetFunction("WithArgs")(cluster, &block);
    EXPECT_EQ(g_lastArgs, &block);
    cluster->Destroy(1);
    plain->Destroy(1);
}

TEST_F(RegistryDeclareObjects, EntryThunkWithNullObjectReportsAndReturns) {
    g_updates = 0;
    qoEntryThunk<&pHell_TestNode::Update>(nullptr, nullptr);
    EXPECT_EQ(g_updates, 0);
    EXPECT_TRUE(world->console.Contains("Assertion failed: object != NULL")) << ConsoleText();
}

TEST_F(RegistryDeclareObjects, DeclDefaultsAreOwnThenInheritedAndNeverNull) {
    auto* cluster = Create<pHell_TestCluster>();
    const qoDeclDefault* rows = cluster->GetDeclDefaults();
    ASSERT_NE(rows, nullptr);
    EXPECT_STREQ(rows[0].declType, "kvDeclEntityDef");
    EXPECT_STREQ(rows[0].member, "clusterDef");
    EXPECT_STREQ(rows[0].defaultName, "");
    EXPECT_EQ(rows[0].offset, offsetof(pHell_TestCluster, clusterDef));
    EXPECT_STREQ(rows[1].declType, "kvSoundShader");
    EXPECT_STREQ(rows[1].member, "linkSound");
    EXPECT_STREQ(rows[1].defaultName, "sound/link");
    EXPECT_EQ(rows[1].offset, offsetof(pHell_TestNode, linkSound));
    const qoDeclDefault zero{};
    EXPECT_EQ(std::memcmp(&rows[2], &zero, sizeof zero), 0);

    // Without decl members: one zero row of the class's own.
    auto* a = Create<prop_Test>();
    auto* b = Create<prop_Other>();
    ASSERT_NE(a->GetDeclDefaults(), nullptr);
    EXPECT_EQ(std::memcmp(a->GetDeclDefaults(), &zero, sizeof zero), 0);
    EXPECT_NE(a->GetDeclDefaults(), b->GetDeclDefaults());
    cluster->Destroy(1);
    a->Destroy(1);
    b->Destroy(1);
}

TEST_F(RegistryDeclareObjects, DestroyRunsTheWholeDestructorChain) {
    auto* cluster = Create<pHell_TestCluster>();
    cluster->label = "owned text";
    cluster->linkedTo.Append(qoEntity(7u));
    const size_t before = world->allocator.LiveBlocks();
    // Flags 0: members released, storage stays with the caller.
    EXPECT_EQ(cluster->Destroy(0), cluster);
    EXPECT_EQ(world->allocator.LiveBlocks(), before - 2);
    EXPECT_TRUE(world->allocator.IsLive(cluster));
    world->Free(cluster, qoDefaultMemoryTag);

    auto* node = Create<pHell_TestNode>();
    node->linkedTo.Append(qoEntity(3u));
    const size_t live = world->allocator.LiveBlocks();
    kvQOObject* base = node;
    EXPECT_EQ(base->Destroy(1), base);
    EXPECT_EQ(world->allocator.LiveBlocks(), live - 2);
    EXPECT_TRUE(world->allocator.Errors().empty());
}

}  // namespace
