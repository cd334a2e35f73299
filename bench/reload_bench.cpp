// Reloading the script module in a running level (host/level/Reload.h), as `qohost run
// --reload-at` does it, on the generated levels of bench/ScaleLevel.h:
//
//   BM_Reload/N   one reload at the end of a frame: every object hands its state over, the
//                 level is let go of and the library unloaded, the library loaded again from a
//                 private copy, the N objects made again on their entities with their map
//                 properties, their Init threads run to their first wait and their state given
//                 back. per_object: the reload's time per script object; blocks_left: module
//                 blocks live after the last unload (0 when nothing leaked).
//
// The level runs a few frames first, so that threads wait and sequences stand part-way.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/ScaleLevel.h"
#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/level/Reload.h"
#include "host/world/Module.h"
#include "host/world/World.h"

namespace {

void BM_Reload(benchmark::State& state) {
    const int64_t n = state.range(0);
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    if (!qohost::ParseLevel(bench::ScaleLevel(n, 50), "scale.json", level, errors)) {
        state.SkipWithError(qohost::ErrorLines(errors).c_str());
        return;
    }
    qohost::WorldOptions options;
    options.frameTimeMs = level.frameMs;
    options.keepHistory = false;
    qohost::World world(options);
    std::string error;
    std::unique_ptr<qohost::Module> module = qohost::Module::Load(qohost::Module::DefaultLibraryPath(), &error);
    if (!module) {
        state.SkipWithError(error.c_str());
        return;
    }
    world.Attach(module->Api(), false);
    if (!qohost::LoadLevel(world, level, errors)) {
        state.SkipWithError(qohost::ErrorLines(errors).c_str());
        world.Detach();
        return;
    }
    qohost::LevelRunner runner(world, level);
    runner.Start();
    for (int frame = 0; frame < 12; ++frame) runner.Step();
    size_t blocksLeft = 0, objects = 0;
    for (auto _ : state) {
        const qohost::ReloadResult result = qohost::ReloadModule(world, level, module);
        if (!result.ok) {
            state.SkipWithError(result.error.c_str());
            break;
        }
        blocksLeft = result.moduleBlocksLeft;
        objects = result.objects;
    }
    if (module) world.Detach();
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["blocks_left"] = static_cast<double>(blocksLeft);
    state.counters["per_object"] = benchmark::Counter(static_cast<double>(state.iterations() * n),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Reload)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
