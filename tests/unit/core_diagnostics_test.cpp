// Error and warning reports: console formats, the context of the running script thread, and
// the thread-control call that follows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/qoDiagnostics.h"
#include "core_fake_host.h"
#include "object/kvQuorinObject.h"

namespace coretest {
namespace {

class NamedObject final : public kvQuorinObject {
public:
    const char* GetClassName() override { return "triggerSequential"; }
    bool IsClass(const char*) override { return false; }
};

enum class Severity { Error, Warning };

struct ReportCase {
    const char* name;
    Severity severity;
    bool inThread;
    bool objectExists;
    const char* line;
    size_t endThreadCalls;
    int waitFrameCalls;
};

class DiagnosticsReport : public CoreTest, public ::testing::WithParamInterface<ReportCase> {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        host.AddEntity(12, "relay_1");
        host.context = {12, 2, "Init"};
    }
    NamedObject object;
};

TEST_P(DiagnosticsReport, PrintsOneLineAndActsOnTheRunningThread) {
    const ReportCase& c = GetParam();
    host.inThread = c.inThread;
    if (c.objectExists) host.objects[{12, 2}] = &object;
    {
        const qoString message("something broke");
        if (c.severity == Severity::Error) {
            ReportError(message);
        } else {
            ReportWarning(message);
        }
    }
    EXPECT_EQ(host.console, std::vector<std::string>{c.line});
    EXPECT_EQ(host.contextQueries, std::vector<uint32_t>{0xFFFFFFFFu});
    EXPECT_EQ(host.endThreadCalls, std::vector<uint32_t>(c.endThreadCalls, 0xFFFFFFFFu));
    EXPECT_EQ(host.waitFrameCalls, c.waitFrameCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiagnosticsReport,
    ::testing::Values(
        ReportCase{"ErrorOutsideThread", Severity::Error, false, true, "^1Quorin Error:^3 something broke^0\n", 0, 0},
        ReportCase{"WarningOutsideThread", Severity::Warning, false, true,
                   "^1Quorin Warning:^3 something broke^0\n", 0, 0},
        ReportCase{"ErrorInThread", Severity::Error, true, true,
                   "^1Quorin Error:^3 relay_1.triggerSequential.Init: something broke^0\n", 1, 0},
        ReportCase{"WarningInThread", Severity::Warning, true, true,
                   "^1Quorin Warning:^3 relay_1.triggerSequential.Init: something broke^0\n", 0, 1},
        ReportCase{"ErrorObjectGone", Severity::Error, true, false,
                   "^1Quorin Error:^3 relay_1.<null>.Init: something broke^0\n", 1, 0},
        ReportCase{"WarningObjectGone", Severity::Warning, true, false,
                   "^1Quorin Warning:^3 relay_1.<null>.Init: something broke^0\n", 0, 1}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

using DiagnosticsTest = CoreTest;

TEST_F(DiagnosticsTest, AssertionsAreErrorsWithTheConditionText) {
    host.inThread = true;
    host.AddEntity(4, "door");
    host.context = {4, 0, "&healthPickup::Run"};
    qoAssertFailed("spawnConduits.Num() > 0");
    EXPECT_EQ(host.console, std::vector<std::string>{
                                "^1Quorin Error:^3 door.<null>.&healthPickup::Run: Assertion failed: "
                                "spawnConduits.Num() > 0^0\n"});
    EXPECT_EQ(host.endThreadCalls.size(), 1u);
    EXPECT_EQ(host.waitFrameCalls, 0);
}

TEST_F(DiagnosticsTest, ConsoleFormatCharactersInTheMessageArePrintedAsText) {
    ReportWarning("100% done %s");
    EXPECT_EQ(host.console, std::vector<std::string>{WarningLine("100% done %s")});
}

TEST_F(DiagnosticsTest, ReportsWithoutAHostDoNothing) {
    qoSys = nullptr;
    ReportError("no host");
    ReportWarning("no host");
    qoAssertFailed("0");
    qoSys = &host;
    EXPECT_TRUE(host.console.empty());
}

// The context text needs memory. When the allocator fails for it, the nested report must not
// recurse or control the thread a second time.
TEST_F(DiagnosticsTest, AllocationFailureWhileBuildingTheContextIsReportedOnce) {
    host.inThread = true;
    host.AddEntity(12, "relay_1");
    host.context = {12, 2, "Init"};
    host.failNext = 1;
    ReportError("first");
    ASSERT_EQ(host.console.size(), 2u);
    EXPECT_EQ(host.console[0], ErrorLine("qoString Allocation failed"));
    EXPECT_NE(host.console[1].find(".<null>.Init: first"), std::string::npos) << host.console[1];
    EXPECT_EQ(host.endThreadCalls.size(), 1u);
    EXPECT_EQ(host.waitFrameCalls, 0);
}

}  // namespace
}  // namespace coretest
