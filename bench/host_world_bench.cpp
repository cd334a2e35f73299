// Costs of the reference host's hot services as the module uses them: a tagged allocation and
// its free, a console print, a console-variable read, and the module's start-up registrations.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
