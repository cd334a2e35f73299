// Allocation failure at every allocation: each example level is loaded and run for its first
// frames once per allocation it makes there, with exactly that allocation failing. Whatever
// fails (an object, a string, a list, a name copy), the module must report it as it says it
// does (a null object, "qoString Allocation failed", "qoList Allocation failed") and go on or
// end cleanly: no crash, no misuse of the allocator, no block left after teardown, no script
// thread left. tools/alloc-walk.sh walks the whole runs through `qohost run --fail-alloc`.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/world/Module.h"
#include "host/world/World.h"

namespace {

using namespace qohost;

constexpr int kFrames = 30;  // the load, the Init threads and the first timeline events

std::vector<std::string> ExampleLevels() {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(QUORIN_SOURCE_DIR "/examples/levels"))
        if (entry.path().extension() == ".json") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

struct WalkResult {
    uint64_t allocations = 0;
    std::string fault;  // empty when the run ended cleanly
};

// Loads and runs the level with the `failAt`-th allocation failing (0: none).
WalkResult RunWithFailure(kvQuorin& api, const LevelDesc& level, uint64_t failAt) {
    WorldOptions options;
    options.frameTimeMs = level.frameMs;
    options.keepHistory = false;
    World world(options);
    if (failAt) world.allocator.FailAt(failAt);
    world.Attach(&api, /*reset=*/false);
    LevelErrors errors;
    if (LoadLevel(world, level, errors)) {
        LevelRunner runner(world, level);
        runner.Start();
        runner.RunUntil(kFrames);
    } else if (failAt == 0) {
        return {0, "the level did not load: " + ErrorLines(errors)};
    }
    WalkResult result{world.allocator.Allocations(), ""};
    world.Detach();
    if (world.scheduler.LiveCount() != 0) result.fault = "script threads left after teardown";
    else if (world.allocator.LiveBlocks() != 0) result.fault = "blocks left after teardown:\n" + world.allocator.Report();
    else if (!world.allocator.Errors().empty()) result.fault = "allocator misuse: " + world.allocator.Errors().front();
    else if (failAt && world.allocator.FailedAllocations() != 1) result.fault = "the failure was not injected once";
    return result;
}

class AllocWalk : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        std::string error;
        module_ = Module::Load(Module::DefaultLibraryPath(), &error).release();
        ASSERT_NE(module_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete module_;
        module_ = nullptr;
    }
    static Module* module_;
};
Module* AllocWalk::module_ = nullptr;

TEST_P(AllocWalk, EveryAllocationOfTheFirstFramesMayFail) {
    LevelDesc level;
    LevelErrors errors;
    ASSERT_TRUE(ReadLevelFile(GetParam(), level, errors)) << ErrorLines(errors);
    const WalkResult clean = RunWithFailure(*module_->Api(), level, 0);
    ASSERT_EQ(clean.fault, "");
    ASSERT_GT(clean.allocations, 0u);
    int faults = 0;
    for (uint64_t n = 1; n <= clean.allocations && faults < 5; ++n) {
        const WalkResult r = RunWithFailure(*module_->Api(), level, n);
        if (!r.fault.empty()) {
            ADD_FAILURE() << "allocation " << n << " of " << clean.allocations << " failing: " << r.fault;
            ++faults;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ExampleLevels, AllocWalk, ::testing::ValuesIn(ExampleLevels()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return std::filesystem::path(info.param).stem().string();
                         });

}  // namespace
