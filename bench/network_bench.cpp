// Settling a generated encounter network (one encounter manager, spawn managers, clusters,
// spawners and counters in fixed proportions, linked in a seeded random order) in the reference
// host: wall time from the first Init to the settled network, the frames it takes and the host
// calls the module makes on the way (counters "frames" and "hostCalls").
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "host/world/Module.h"
#include "host/sim/network/Network.h"
#include "host/world/World.h"
#include "quorin/quorin.h"
#include "tests/support/CountingSystem.h"
#include "tests/support/NetworkNodes.h"

namespace {

using namespace network_test;

// Builds the network (Init threads started), then runs frames until it has settled.
using Build = void (*)(qohost::World& world, int nodes);

void Settle(benchmark::State& state, Build build) {
    const int nodes = static_cast<int>(state.range(0));
    std::string error;
    std::unique_ptr<qohost::Module> linked = qohost::Module::Linked(&GetQuorinAPI, &error);
    if (!linked) {
        state.SkipWithError(error.c_str());
        return;
    }
    double frames = 0, calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        qohost::World world;
        NetworkModule module(linked->Api());
        world.Attach(&module);
        if (qohost::Entity* w = world.EntityByName("world"))  // the world utility's start-up is not measured
            world.scheduler.EndThreadsOf(world.ScriptObject(w->handle, world.FindObjectIndex(*w, "qoWorldUtil")));
        qohost::test::CountingSystem counting(world);
        module.SetSystem(&counting);
        state.ResumeTiming();

        build(world, nodes);
        for (;;) {
            state.PauseTiming();
            const bool settled = qohost::NetworkSettled(world, qohost::ReadNetwork(world));
            state.ResumeTiming();
            if (settled) break;
            world.RunFrame();
        }

        state.PauseTiming();
        frames = static_cast<double>(world.Frame());
        calls = static_cast<double>(counting.calls);
        world.Detach();
        module.SetSystem(nullptr);
        state.ResumeTiming();
    }
    state.counters["frames"] = frames;
    state.counters["hostCalls"] = calls;
    state.counters["callsPerNode"] = calls / nodes;
}

// The encounter hierarchy of the network tests, scaled: about n nodes.
void BM_SettleNetwork(benchmark::State& state) {
    Settle(state, [](qohost::World& world, int nodes) { GenerateNetwork(world, NetworkShape::Scaled(nodes), 1); });
}
BENCHMARK(BM_SettleNetwork)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The widest tree: one cluster with n - 1 spawners linked to it.
void BM_SettleFan(benchmark::State& state) {
    Settle(state, [](qohost::World& world, int nodes) {
        std::vector<PlacedNode> placed{Place(world, "cluster", "pHell_SpawnCluster")};
        for (int i = 1; i < nodes; ++i) {
            placed.push_back(Place(world, "spawner_" + std::to_string(i), "pHell_Spawner"));
            Link(placed.back().node, placed.front().entity);
        }
        StartAll(world, placed);
    });
}
BENCHMARK(BM_SettleFan)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
