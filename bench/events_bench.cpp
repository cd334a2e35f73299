// One event delivered by the reference host to a script object whose handler only records it
// (triggerSequential's OnActivate): through the host's delivery, where the handler gets a
// script thread of its own, against calling the object's event entry directly. The difference
// is the price of running every handler on a thread of its own.
#include <benchmark/benchmark.h>

#include <memory>

#include "host/methods/Events.h"
#include "host/world/Module.h"
#include "host/world/World.h"

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

void BM_EntryCalledDirectly(benchmark::State& state) {
    EventWorld w;
    qohost::Entity* relay = w.world->EntityByHandle(w.handle);
    kvQOObject* object = relay->objects[0].object;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) object->Entry_OnActivate(0);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_EntryCalledDirectly);

}  // namespace

BENCHMARK_MAIN();
