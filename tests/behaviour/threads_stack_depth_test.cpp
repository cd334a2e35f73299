// How much stack the script threads need: every example level runs to its end on painted fiber
// stacks (SchedulerOptions::paintStacks), and the deepest use stays within the budget that
// docs/host-contract.md ("Stack size") promises engine programmers, with room to spare. A
// change that makes script threads much deeper fails here before an engine's stacks overflow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/world/Module.h"
#include "host/world/World.h"

namespace {

// The recommended minimum stack of the contract is 32 KiB; the measured depth must stay under
// half of it.
constexpr size_t kRecommendedMinimum = 32 * 1024;
constexpr size_t kBudget = kRecommendedMinimum / 2;

// Runs the level file to the end of its default length on painted stacks; the deepest stack
// any of its script threads used, in bytes.
size_t DeepestStackOf(kvQuorin* api, const std::string& path) {
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    EXPECT_TRUE(qohost::ReadLevelFile(path, level, errors)) << qohost::ErrorLines(errors);
    qohost::WorldOptions options;
    options.frameTimeMs = level.frameMs;
    options.threads.paintStacks = true;
    qohost::World world(options);
    world.Attach(api, /*reset=*/false);
    EXPECT_TRUE(qohost::LoadLevel(world, level, errors)) << qohost::ErrorLines(errors);
    {
        qohost::LevelRunner runner(world, level);
        runner.Start();
        runner.RunUntil(level.DefaultRunFrames());
    }
    world.Detach();  // every thread ends and hands its stack back: measured
    return world.scheduler.StackHighWater();
}

TEST(ScriptThreadStacks, TheExampleLevelsStayWithinTheStackBudget) {
    std::string error;
    const auto module = qohost::Module::Load(qohost::Module::DefaultLibraryPath(), &error);
    ASSERT_TRUE(module) << error;
    std::vector<std::string> levels;
    for (const auto& entry : std::filesystem::directory_iterator(QUORIN_SOURCE_DIR "/examples/levels"))
        if (entry.path().extension() == ".json") levels.push_back(entry.path().string());
    std::sort(levels.begin(), levels.end());
    ASSERT_FALSE(levels.empty());

    size_t deepest = 0;
    std::string deepestLevel;
    for (const std::string& path : levels) {
        const size_t depth = DeepestStackOf(module->Api(), path);
        EXPECT_GT(depth, 0u) << path << ": no thread was measured";
        if (depth > deepest) {
            deepest = depth;
            deepestLevel = path;
        }
    }
    std::printf("deepest script thread stack: %zu bytes (%s)\n", deepest, deepestLevel.c_str());
    RecordProperty("deepest_stack_bytes", static_cast<int>(deepest));
    EXPECT_LE(deepest, kBudget) << deepestLevel << " needs more stack than docs/host-contract.md allows for";
}

}  // namespace
