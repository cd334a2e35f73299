// One event delivered by the reference host to a script object whose handler only records it
// (triggerSequential's OnActivate), two ways: from the host, where the handler gets a script
// thread of its own, and from inside a script thread, where it runs on the caller's thread as a
// plain call. The difference is the price of giving host-delivered handlers their own thread.
#include <benchmark/benchmark.h>

#include <memory>

#include "host/Methods.h"
#include "host/Module.h"
#include "host/World.h"

namespace {

struct EventWorld {
    EventWorld() {
        world = std::make_unique<qohost::World>();
        module = qohost::Module::Linked(&GetQuorinAPI);
        world->Attach(module->Api());
        world->scheduler.SetObserver(nullptr);
        qohost::Entity& relay = world->SpawnEntity("relay", "kvTarget");
        world->AddScriptObject(relay, "triggerSequential");
        handle = relay.handle;
    }
    ~EventWorld() { world->Detach(); }
    std::unique_ptr<qohost::World> world;
    std::unique_ptr<qohost::Module> module;
    uint32_t handle = 0;
};

constexpr int kBatch = 1000;  // deliveries between clearing the record

void BM_DeliverFromHost(benchmark::State& state) {
    EventWorld w;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) qohost::ActivateEntity(*w.world, w.handle, 0);
        state.PauseTiming();
        w.world->recorder.Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_DeliverFromHost);

void BM_DeliverFromScriptThread(benchmark::State& state) {
    EventWorld w;
    for (auto _ : state) {
        w.world->scheduler.Spawn("Caller", nullptr, {}, [&w] {
            for (int i = 0; i < kBatch; ++i) qohost::ActivateEntity(*w.world, w.handle, 0);
        });
        state.PauseTiming();
        w.world->recorder.Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_DeliverFromScriptThread);

}  // namespace

BENCHMARK_MAIN();
