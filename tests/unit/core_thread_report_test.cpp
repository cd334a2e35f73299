// Reports raised inside real script threads of the reference host: an error (including a failed
// allocation of a string or list) ends the thread and its string and list locals are released;
// a warning costs the thread one frame and it carries on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/qoDiagnostics.h"
#include "hostcalls/qoEntity.h"
#include "core/qoList.h"
#include "core/qoString.h"
#include "core/qoSystem.h"
#include "tests/support/HostFixture.h"

namespace coretest {
namespace {

struct ThreadCase {
    const char* name;
    // Runs inside the thread with locals that own memory; may make the host allocator fail.
    void (*body)(qohost::World& world, qoString& local, qoList<qoString>& locals);
    const char* line;  // the report, colours kept, without the newline
    bool ends;         // an error: the thread stops at its next suspension point
};

struct ProbeRun {
    const ThreadCase* c;
    qohost::World* world;
    std::vector<std::string> steps;
};

void ThreadBody(kvQOObject*, void* args) {
    ProbeRun& run = *static_cast<ProbeRun*>(args);
    qoString local("kept across the report");
    qoList<qoString> locals;
    locals.Append(local);
    run.steps.push_back("before");
    run.c->body(*run.world, local, locals);
    run.steps.push_back("reported");
    qoSys->WaitFrame();
    run.steps.push_back("after");
}

class CoreThreadReport : public qohost::test::HostFixture, public ::testing::WithParamInterface<ThreadCase> {};

TEST_P(CoreThreadReport, ErrorsEndTheThreadAndWarningsCostOneFrame) {
    const ThreadCase& c = GetParam();
    qohost::Entity* worldEntity = world->EntityByName("world");
    ASSERT_NE(worldEntity, nullptr);
    const uint32_t index = world->FindObjectIndex(*worldEntity, "qoWorldUtil");
    kvQOObject* object = world->ScriptObject(worldEntity->handle, index);
    ASSERT_NE(object, nullptr);

    ProbeRun run{&c, world.get(), {}};
    const uint32_t id = world->CreateThread("Probe", object, &ThreadBody, &run);
    world->RunFrames(3);
    EXPECT_FALSE(world->IsThreadRunning(id));
    const std::vector<std::string> expected =
        c.ends ? std::vector<std::string>{"before", "reported"} : std::vector<std::string>{"before", "reported", "after"};
    EXPECT_EQ(run.steps, expected);
    // Only this thread's lines: the world's own script threads may print as well.
    std::vector<std::string> probeLines;
    for (const std::string& line : world->console.AllLines()) {
        if (line.find(".Probe: ") != std::string::npos) probeLines.push_back(line);
    }
    EXPECT_EQ(probeLines, std::vector<std::string>{c.line});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CoreThreadReport,
    ::testing::Values(
        ThreadCase{"Assertion", [](qohost::World&, qoString&, qoList<qoString>&) { qoAssertFailed("0"); },
                   "^1Quorin Error:^3 world.qoWorldUtil.Probe: Assertion failed: 0^0", true},
        ThreadCase{"StringAllocation",
                   [](qohost::World& w, qoString& local, qoList<qoString>&) {
                       w.allocator.FailNext(1);
                       local += qoString::FromFloat(2.5f);
                   },
                   "^1Quorin Error:^3 world.qoWorldUtil.Probe: qoString Allocation failed^0", true},
        ThreadCase{"ListAllocation",
                   [](qohost::World& w, qoString& local, qoList<qoString>& locals) {
                       for (int i = 0; i < 7; ++i) locals.Append(local);
                       w.allocator.FailNext(1);
                       locals.Append(local);
                   },
                   "^1Quorin Error:^3 world.qoWorldUtil.Probe: qoList Allocation failed^0", true},
        ThreadCase{"MissingEntity",
                   [](qohost::World&, qoString&, qoList<qoString>&) { qoEntity missing("nobody_here"); },
                   "^1Quorin Warning:^3 world.qoWorldUtil.Probe: entity 'nobody_here' not found^0", false}),
    [](const ::testing::TestParamInfo<ThreadCase>& info) { return info.param.name; });

}  // namespace
}  // namespace coretest
