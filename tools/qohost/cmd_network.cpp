// qohost network LEVEL.json: load the level as `qohost run` does, run it frame by frame until
// the encounter network has settled (or for N frames), then print each job function's trees as
// an indented outline: the nodes that are their own managers, their slaves below them, the
// nodes whose manager does not list them, and every node still holding pending links or running
// an "ExpandNeuralNetwork" thread. --dot writes the same trees as a Graphviz file.
//
// Exit codes: those of every subcommand (Command.h), and 5 when the network had not settled by
// the last frame.
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>

#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/sim/network/Network.h"
#include "host/world/World.h"
#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {

constexpr int kExitUnsettled = 5;

struct NetworkOptions {
    std::string level;
    std::optional<int32_t> frames;
    std::string dot;
};

int Network(const NetworkOptions& options) {
    LevelDesc level;
    LevelErrors errors;
    if (!ReadLevelFile(options.level, level, errors)) {
        std::fputs(ErrorLines(errors).c_str(), stderr);
        return kExitInput;
    }
    std::unique_ptr<Module> module = LoadModule();
    if (!module) return kExitFailure;

    WorldOptions worldOptions;
    worldOptions.frameTimeMs = level.frameMs;
    World world(worldOptions);
    world.Attach(module->Api(), /*reset=*/false);
    if (!LoadLevel(world, level, errors)) {
        std::fputs(ErrorLines(errors).c_str(), stderr);
        world.Detach();
        return kExitInput;
    }

    const int32_t lastFrame = options.frames ? *options.frames : level.DefaultRunFrames();
    LevelRunner runner(world, level);
    runner.Start();
    NetworkSnapshot network = ReadNetwork(world);
    bool settled = NetworkSettled(world, network);
    while (!settled && world.Frame() < static_cast<uint64_t>(lastFrame)) {
        runner.Step();
        network = ReadNetwork(world);
        settled = NetworkSettled(world, network);
    }

    std::printf("== %s (%s)\n", level.name.empty() ? "level" : level.name.c_str(), options.level.c_str());
    std::printf("== %zu network node%s; %s at frame %llu\n", network.nodes.size(),
                network.nodes.size() == 1 ? "" : "s", settled ? "settled" : "not settled",
                static_cast<unsigned long long>(world.Frame()));
    std::fputs(NetworkOutline(network).c_str(), stdout);

    int code = settled ? 0 : kExitUnsettled;
    if (!options.dot.empty()) {
        std::ofstream out(options.dot, std::ios::binary);
        out << NetworkDot(network);
        if (!out) {
            std::fprintf(stderr, "qohost: cannot write %s\n", options.dot.c_str());
            code = kExitFailure;
        }
    }
    world.Detach();
    if (world.allocator.LiveBlocks() != 0)
        std::printf("warning: %zu blocks (%zu bytes) still allocated after teardown\n",
                    world.allocator.LiveBlocks(), world.allocator.LiveBytes());
    return code;
}

void Setup(CLI::App& app) {
    auto options = std::make_shared<NetworkOptions>();
    CLI::App* cmd = app.add_subcommand(
        "network", "run a level until its encounter network settles and print the per-job trees");
    cmd->add_option("level", options->level, "the level file (JSON, see docs/levels.md)")->required();
    cmd->add_option("--frames", options->frames, "give up after this many frames (default: the level's length)")
        ->check(IntegerRange(0, std::numeric_limits<int32_t>::max()));
    cmd->add_option("--dot", options->dot, "also write the trees as a Graphviz file (one cluster per job)");
    cmd->footer(std::string(kExitCodeHelp) + "\n5 the network had not settled by the last frame.");
    cmd->callback([options] { SetExitCode(Network(*options)); });
}

const CommandRegistrar registrar(15, &Setup);

}  // namespace

}  // namespace qohost::cli
