// Costs of the reference host's hot services as the module uses them: a tagged allocation and
// its free, a console print, a console-variable read, the module's start-up registrations, and
// what a removed entity keeps.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>
#include <vector>

#include "host/world/World.h"
#include "quorin/kvQuorin.h"

namespace {

void BM_AllocateFree(benchmark::State& state) {
    qohost::World world;
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        void* p = world.Allocate(size, 7);
        benchmark::DoNotOptimize(p);
        world.Free(p, 7);
    }
}
BENCHMARK(BM_AllocateFree)->Arg(16)->Arg(256);

// With many blocks live, as in a level with hundreds of script objects.
void BM_AllocateFreeWithLiveBlocks(benchmark::State& state) {
    qohost::World world;
    std::vector<void*> live;
    for (int i = 0; i < state.range(0); ++i) live.push_back(world.Allocate(64, 1));
    for (auto _ : state) {
        void* p = world.Allocate(24, 7);
        benchmark::DoNotOptimize(p);
        world.Free(p, 7);
    }
    for (void* p : live) world.Free(p, 1);
}
BENCHMARK(BM_AllocateFreeWithLiveBlocks)->Arg(10000);

void BM_PrintfLine(benchmark::State& state) {
    qohost::World world;
    world.recorder.wants &= ~qohost::MaskOf(qohost::RecordKind::Console);
    world.SinksChanged();
    for (auto _ : state) {
        world.Printf("^1Quorin Warning:^3 %s^0\n", "entity 'player2' not found");
        if (world.console.Lines().size() > 4096) {
            state.PauseTiming();
            world.console.Clear();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_PrintfLine);

// One read of qo_debugPrint, as every debug-print statement makes twice.
void BM_GetCvarInt(benchmark::State& state) {
    qohost::World world;
    for (auto _ : state) {
        benchmark::DoNotOptimize(world.GetCvarInt("qo_debugPrint", 1));
        if (world.cvars.Calls().size() > 100000) {
            state.PauseTiming();
            world.cvars.ClearCalls();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_GetCvarInt);

void BM_AttachDetach(benchmark::State& state) {
    kvQuorin* api = GetQuorinAPI(1);
    for (auto _ : state) {
        qohost::World world;
        world.Attach(api);
        world.Detach();
    }
}
BENCHMARK(BM_AttachDetach);

// Spawns N entities that have moved and carry level key/values, removes them all and runs the
// frame that lets go of them. kept_per_entity: heap bytes still held per removed entity (its
// handle, name and host class stay so that logs can name it); live_per_entity: heap bytes per
// entity before the removal.
void BM_SpawnAndRemove(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    double kept = 0.0, live = 0.0;
    for (auto _ : state) {
        qohost::World world;
        std::vector<uint32_t> handles;
        handles.reserve(n);
        const size_t start = mallinfo2().uordblks;
        for (size_t i = 0; i < n; ++i) {
            qohost::Entity& e = world.SpawnEntity("spawned_" + std::to_string(i), "kvMover");
            e.methods->speed = 50.0f;
            e.spawnArgs["model"] = "models/crate";
            e.spawnArgs["skin"] = "skins/crate_dusty";
            handles.push_back(e.handle);
        }
        const size_t spawned = mallinfo2().uordblks;
        for (uint32_t handle : handles) world.RemoveEntity(handle);
        world.RunFrame();
        const size_t removed = mallinfo2().uordblks;
        live += static_cast<double>(spawned - start) / static_cast<double>(n);
        kept += (static_cast<double>(removed) - static_cast<double>(start)) / static_cast<double>(n);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["live_per_entity"] = live / iterations;
    state.counters["kept_per_entity"] = kept / iterations;
}
BENCHMARK(BM_SpawnAndRemove)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
