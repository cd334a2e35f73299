// qoEntity: lookups by name and their warnings, validity and names through the host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostcalls/qoEntity.h"
#include "core_fake_host.h"

namespace coretest {
namespace {

struct LookupCase {
    const char* name;
    const char* entityName;  // nullptr: a null pointer
    bool asString;           // look up through a qoString instead of a text
    uint32_t handle;
    const char* warning;     // nullptr: no warning
    bool asksHost;
};

class EntityLookup : public CoreTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(EntityLookup, FindsTheHandleOrWarns) {
    const LookupCase& c = GetParam();
    host.AddEntity(7, "door");
    uint32_t handle;
    if (c.asString) {
        const qoString name(c.entityName);
        handle = qoEntity(name).handle;
    } else {
        handle = qoEntity(c.entityName).handle;
    }
    EXPECT_EQ(handle, c.handle);
    if (c.warning) {
        EXPECT_EQ(host.console, std::vector<std::string>{WarningLine(c.warning)});
    } else {
        EXPECT_TRUE(host.console.empty());
    }
    EXPECT_EQ(host.findEntityCalls.size(), c.asksHost ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntityLookup,
    ::testing::Values(LookupCase{"Found", "door", false, 7, nullptr, true},
                      LookupCase{"Missing", "ghost", false, 0, "entity 'ghost' not found", true},
                      LookupCase{"NullText", nullptr, false, 0, "empty string entity not found", false},
                      LookupCase{"EmptyTextIsLookedUp", "", false, 0, "entity '' not found", true},
                      LookupCase{"StringFound", "door", true, 7, nullptr, true},
                      LookupCase{"StringMissing", "ghost", true, 0, "entity 'ghost' not found", true},
                      LookupCase{"EmptyString", "", true, 0, "empty string entity not found", false}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return info.param.name; });

using EntityTest = CoreTest;

TEST_F(EntityTest, AFailedLookupInsideAThreadCostsOneFrame) {
    host.inThread = true;
    host.AddEntity(3, "spawner");
    host.context = {3, 0, "Update"};
    const qoEntity missing("nowhere");
    EXPECT_EQ(missing.handle, 0u);
    EXPECT_EQ(host.console,
              std::vector<std::string>{"^1Quorin Warning:^3 spawner.<null>.Update: entity 'nowhere' not found^0\n"});
    EXPECT_EQ(host.waitFrameCalls, 1);
    EXPECT_TRUE(host.endThreadCalls.empty());
}

TEST_F(EntityTest, ValidityAsksTheHostOnlyForNonZeroHandles) {
    host.AddEntity(7, "door");
    EXPECT_FALSE(qoEntity().IsValid());
    EXPECT_TRUE(host.validityCalls.empty());
    EXPECT_TRUE(qoEntity(7).IsValid());
    host.existing.erase(7);
    EXPECT_FALSE(qoEntity(7).IsValid());
    EXPECT_EQ(host.validityCalls, (std::vector<uint32_t>{7, 7}));
}

TEST_F(EntityTest, NameIsACopyOfTheHostText) {
    host.AddEntity(7, "door");
    const qoString name = qoEntity(7).Name();
    EXPECT_STREQ(name.c_str(), "door");
    EXPECT_NE(name.c_str(), host.entityName[7].c_str());
    EXPECT_EQ(name.capacity, 5);
}

TEST_F(EntityTest, HandlesCompareByValue) {
    EXPECT_EQ(qoEntity(5), qoEntity(5));
    EXPECT_NE(qoEntity(5), qoEntity(6));
    EXPECT_EQ(qoEntity().handle, 0u);
}

}  // namespace
}  // namespace coretest
