// Every class of the module, checked generically against its own layout: iterates the class
// list and the source tree, so a class added later is covered without touching this file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "module/qoClassList.h"
#include "module/qoRegistryTables.h"
#include "tests/support/HostFixture.h"

namespace {

class RegistryClasses : public qohost::test::HostFixture {};

// The size a property row must have for its type, or 0 when the type is not known here.
uint32_t ExpectedSize(kvQuorin* api, const qoPropertyInfo& row) {
    struct Fixed {
        const char* type;
        uint32_t size;
    };
    static const Fixed fixed[] = {{"bool", 1},     {"short", 2},     {"int", 4},
                                  {"float", 4},    {"qoEntity", 4},  {"qoVector", 12},
                                  {"qoColor", 16}, {"qoString", 24}, {"aiMonsterType_t", 4},
                                  {"alertCycle_t", 4}, {"alignment_t", 4}, {"walkState_t", 4},
                                  {"swfEditTextAlign_t", 4}};
    for (const Fixed& f : fixed)
        if (std::strcmp(row.type, f.type) == 0) return f.size;
    if (std::strncmp(row.type, "qoList< ", 8) == 0) return 24;
    if (std::strcmp(row.modifier, "*") == 0) return 8;
    if (api->GetEnumTable(row.type)) return 4;
    if (const qoPropertyInfo* s = api->GetPropertyTable(row.type)) {
        // A struct: at least as large as its rows reach.
        uint32_t end = 0;
        for (; s->name; ++s) end = std::max(end, s->offset + s->size);
        return row.size >= end ? row.size : 0;
    }
    return 0;
}

// The first script class in T's line of bases (T itself when it has no script base).
template <class T>
struct qoScriptRoot {
    using type = T;
};
template <class T>
    requires qoScriptClass<typename T::qoScriptBase>
struct qoScriptRoot<T> {
    using type = typename qoScriptRoot<typename T::qoScriptBase>::type;
};

// What the generic check needs of a class, taken from its compile-time tables. The check itself
// is one ordinary function: a copy of it per class made this file the slowest of the build.
struct ClassFacts {
    const char* name;
    size_t size;
    bool listed;
    const qoPropertyInfo* properties;
    const char* const* metadata;
    const char* comment;
    const char* base;  // the script base's name, or null
    const char* root;  // the first script class in the line of bases
};

template <class T>
ClassFacts FactsOf() {
    using Tables = qoClassTables<T>;
    using Base = typename T::qoScriptBase;
    const char* base = nullptr;
    if constexpr (qoScriptClass<Base>) base = Base::qoName;
    return {T::qoName,          sizeof(T),      Tables::listed, Tables::properties,
            Tables::metadata,   Tables::comment, base,          qoScriptRoot<T>::type::qoName};
}

void CheckClass(qohost::World& world, kvQuorin* api, const ClassFacts& facts) {
    const char* name = facts.name;
    const size_t objectSize = facts.size;
    SCOPED_TRACE(name);

    kvQOObject* object = api->CreateObject(name);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetClassName(), name);
    EXPECT_TRUE(object->IsClass(name));

    const qohost::BlockInfo* block = world.allocator.Find(object);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->size, objectSize);
    EXPECT_EQ(block->tag, qoDefaultMemoryTag);

    // Listed classes appear in the name table with the class's own pointer; others do not.
    bool inTable = false;
    for (const char* const* row = api->GetClassNames(); *row; ++row) inTable |= *row == name;
    EXPECT_EQ(inTable, facts.listed);

    const auto* bytes = reinterpret_cast<const unsigned char*>(object);
    const uint32_t tag = world.GetMemoryTag();

    // Property rows: inside the object, after the object header, sized as their type says,
    // pairwise disjoint, and a fresh object holds the constructed state at each.
    const qoPropertyInfo* rows = api->GetPropertyTable(name);
    EXPECT_EQ(rows, facts.properties);
    std::vector<const qoPropertyInfo*> seen;
    for (const qoPropertyInfo* r = rows; r && r->name; ++r) {
        SCOPED_TRACE(r->name);
        EXPECT_GE(r->offset, 16u);
        EXPECT_LE(r->offset + r->size, objectSize);
        EXPECT_EQ(r->size, ExpectedSize(api, *r)) << r->type;
        EXPECT_STREQ(r->modifier, std::strcmp(r->modifier, "*") == 0 ? "*" : "");
        EXPECT_NE(r->comment, nullptr);
        for (const qoPropertyInfo* other : seen)
            EXPECT_TRUE(r->offset >= other->offset + other->size ||
                        other->offset >= r->offset + r->size)
                << "overlaps " << other->name;
        seen.push_back(r);
        if (std::strcmp(r->type, "qoString") == 0) {
            qoStringLayout s;
            std::memcpy(&s, bytes + r->offset, sizeof s);
            // Empty, or the text a constructor wrote (util_entityFlagVolume's "VolumeOccupied").
            if (s.length == 0)
                EXPECT_EQ(s.data, nullptr);
            else
                EXPECT_EQ(std::strlen(s.data), static_cast<size_t>(s.length));
            EXPECT_EQ(s.tag, tag);
        } else if (std::strncmp(r->type, "qoList< ", 8) == 0) {
            qoListLayout l;
            std::memcpy(&l, bytes + r->offset, sizeof l);
            EXPECT_EQ(l.list, nullptr);
            EXPECT_EQ(l.num, 0);
            EXPECT_EQ(l.size, 0);
            EXPECT_EQ(l.tag, tag);
        } else if (std::strcmp(r->type, "qoEntity") == 0 || std::strcmp(r->modifier, "*") == 0) {
            for (uint32_t i = 0; i < r->size; ++i) EXPECT_EQ(bytes[r->offset + i], 0u);
        }
    }

    // Decl defaults: never null, each row an 8-byte null pointer member inside the object; every
    // decl-typed property has its row at the same offset.
    const qoDeclDefault* decls = object->GetDeclDefaults();
    ASSERT_NE(decls, nullptr);
    std::set<uint64_t> declOffsets;
    for (const qoDeclDefault* d = decls; d->declType; ++d) {
        SCOPED_TRACE(d->member);
        EXPECT_EQ(d->offset % 8, 0u);
        EXPECT_GE(d->offset, 16u);
        EXPECT_LE(d->offset + 8, objectSize);
        const void* pointer;
        std::memcpy(&pointer, bytes + d->offset, sizeof pointer);
        EXPECT_EQ(pointer, nullptr);
        EXPECT_TRUE(declOffsets.insert(d->offset).second) << "two rows for one member";
    }
    for (const qoPropertyInfo* r = rows; r && r->name; ++r)
        if (std::strcmp(r->modifier, "*") == 0) {
            EXPECT_EQ(declOffsets.count(r->offset), 1u) << r->name;
        }

    // Editor statements end with a null within reason.
    const char* const* statements = api->GetEditorMetadata(name);
    EXPECT_EQ(statements, facts.metadata);
    if (statements) {
        size_t n = 0;
        while (n < 1000 && statements[n]) ++n;
        EXPECT_LT(n, 1000u);
        EXPECT_GT(n, 0u);
    }

    if (facts.comment)
        EXPECT_STREQ(api->GetComment(name), facts.comment);
    else
        EXPECT_EQ(api->GetComment(name), nullptr);

    // Against the script base: its property rows end this table, its statements begin this
    // array, and the object answers for the base too.
    if (facts.base) {
        EXPECT_TRUE(object->IsClass(facts.base));
        std::vector<std::string> own, base;
        for (const qoPropertyInfo* r = rows; r && r->name; ++r) own.emplace_back(r->name);
        for (const qoPropertyInfo* r = api->GetPropertyTable(facts.base); r && r->name; ++r)
            base.emplace_back(r->name);
        ASSERT_GE(own.size(), base.size());
        EXPECT_TRUE(std::equal(base.begin(), base.end(), own.end() - base.size()));
        // Every derived class begins its array with the root script class's statements.
        const char* const* rootStatements = api->GetEditorMetadata(facts.root);
        for (size_t i = 0; rootStatements && rootStatements[i]; ++i)
            EXPECT_EQ(statements[i], rootStatements[i]) << name << " statement " << i;
    }
    object->Destroy(1);
}

template <class... T>
void CheckAll(qohost::World& world, kvQuorin* api, qoTypeList<T...>) {
    const ClassFacts facts[] = {FactsOf<T>()...};
    for (const ClassFacts& f : facts) CheckClass(world, api, f);
}

TEST_F(RegistryClasses, EveryDeclaredClassAgreesWithItsLayout) {
    CheckAll(*world, api, qoScriptClasses{});
    EXPECT_TRUE(world->console.Lines().empty()) << ConsoleText();
}

// Every class declared anywhere in the module's sources must be creatable, so a class left
// out of the class list fails here.
TEST_F(RegistryClasses, EveryClassInTheSourcesIsCreatable) {
    namespace fs = std::filesystem;
    const std::regex declaration(R"(QO_SCRIPT_CLASS\(\s*(\w+)\s*,)");
    std::set<std::string> names;
    for (const char* dir : {"runtime", "core", "object", "hostcalls", "cvars", "debug", "scripts"}) {
        const fs::path root = fs::path(QUORIN_SOURCE_DIR) / dir;
        if (!fs::exists(root)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                std::smatch m;
                const size_t code = line.find_first_not_of(" \t");
                if (code == std::string::npos || line.compare(code, 2, "//") == 0 ||
                    line.find("#define") != std::string::npos)
                    continue;
                if (std::regex_search(line, m, declaration))
                    names.insert(m[1]);
            }
        }
    }
    EXPECT_GE(names.size(), 7u);
    for (const std::string& name : names) {
        kvQOObject* object = api->CreateObject(name.c_str());
        EXPECT_NE(object, nullptr) << name << " is declared but not in module/qoClassList.h";
        if (object) object->Destroy(1);
    }
}

TEST_F(RegistryClasses, NameTablesAreSortedDistinctAndTerminated) {
    std::vector<std::string> names;
    for (const char* const* row = api->GetClassNames(); *row; ++row) names.emplace_back(*row);
    EXPECT_TRUE(std::adjacent_find(names.begin(), names.end(), [](const auto& a, const auto& b) {
                    return !(a < b);  // std::string compares bytes as unsigned char
                }) == names.end());
    for (const std::string& n : names) {
        kvQOObject* object = api->CreateObject(n.c_str());
        ASSERT_NE(object, nullptr) << n;
        object->Destroy(1);
    }

    std::vector<std::string> prefixes;
    for (const char* const* row = api->GetClassPrefixes(); *row; ++row) prefixes.emplace_back(*row);
    EXPECT_TRUE(std::adjacent_find(prefixes.begin(), prefixes.end(),
                                   [](const auto& a, const auto& b) { return !(a < b); }) ==
                prefixes.end());
    for (const std::string& p : prefixes) {
        EXPECT_EQ(p.back(), '_') << p;
        EXPECT_NE(p.front(), '_') << p;
        EXPECT_EQ(p.find('_'), p.size() - 1) << p;
    }
    // Every listed name with a prefix has its prefix in the table.
    for (const std::string& n : names) {
        const size_t length = qoPrefixLength(n.c_str());
        if (length) {
            EXPECT_TRUE(std::binary_search(prefixes.begin(), prefixes.end(), n.substr(0, length)))
                << n;
        }
    }
}

}  // namespace
