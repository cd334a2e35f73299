// Cost of the host method wrappers against calling host slot 12 directly with a pre-packed
// buffer, both through the host interface of a null host (the method call answers true, the
// result getters answer constants). Each Wrapper/Direct pair runs the same host operations, so
// the ratio is the wrapper's own overhead: packing, the result conversion, string copies.
//
// Goal: Wrapper <= 1.3 x Direct for methods without string arguments.
#include <benchmark/benchmark.h>

#include <cstring>

#include "hostcalls/qoEntity.h"
#include "core/qoSystem.h"
#include "tests/unit/hostcalls_null_system.h"

namespace {

class NullHost final : public hostcalls_test::NullSystem {
public:
    bool CallEntityMethod(uint32_t, int32_t, const char*, void*) override { return true; }
    int32_t GetIntResult() override { return 1; }
    float GetFloatResult() override { return 1.0f; }
    void GetVectorResult(float* xyz) override { xyz[0] = 1.0f, xyz[1] = 2.0f, xyz[2] = 3.0f; }
    const char* GetStringResult() override { return "name"; }
};

NullHost host;

// The host as the module sees it: an interface pointer the compiler cannot see through.
kvQuorinSystem* Attach() {
    qoSys = &host;
    kvQuorinSystem* sys = qoSys;
    benchmark::DoNotOptimize(sys);
    return sys;
}

const qoVector kPoint{1.0f, 2.0f, 3.0f};

void Wrapper_SetOrigin(benchmark::State& state) {
    Attach();
    qoEntity e(7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e);
        e.SetOrigin(kPoint);
    }
}

void Direct_SetOrigin(benchmark::State& state) {
    kvQuorinSystem* sys = Attach();
    alignas(8) unsigned char buffer[16];
    std::memcpy(buffer, &kPoint, sizeof kPoint);
    uint32_t handle = 7;
    for (auto _ : state) {
        benchmark::DoNotOptimize(handle);
        benchmark::DoNotOptimize(sys->CallEntityMethod(handle, 198, "v", buffer));
    }
}

void Wrapper_GetOrigin(benchmark::State& state) {
    Attach();
    qoEntity e(7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e);
        benchmark::DoNotOptimize(e.GetOrigin());
    }
}

void Direct_GetOrigin(benchmark::State& state) {
    kvQuorinSystem* sys = Attach();
    uint32_t handle = 7;
    for (auto _ : state) {
        benchmark::DoNotOptimize(handle);
        float xyz[3];
        if (sys->CallEntityMethod(handle, 197, "", nullptr)) sys->GetVectorResult(xyz);
        benchmark::DoNotOptimize(xyz);
    }
}

void Wrapper_Activate(benchmark::State& state) {
    Attach();
    qoEntity e(7), activator(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e);
        e.Activate(activator);
    }
}

void Direct_Activate(benchmark::State& state) {
    kvQuorinSystem* sys = Attach();
    alignas(8) unsigned char buffer[16];
    const uint32_t activator = 1;
    std::memcpy(buffer, &activator, 4);
    uint32_t handle = 7;
    for (auto _ : state) {
        benchmark::DoNotOptimize(handle);
        benchmark::DoNotOptimize(sys->CallEntityMethod(handle, 151, "e", buffer));
    }
}

void Wrapper_IsClass(benchmark::State& state) {
    Attach();
    qoEntity e(7);
    const qoString name("kvActor");
    for (auto _ : state) {
        benchmark::DoNotOptimize(e);
        benchmark::DoNotOptimize(e.IsClass(name));
    }
}

void Direct_IsClass(benchmark::State& state) {
    kvQuorinSystem* sys = Attach();
    alignas(8) unsigned char buffer[16];
    const char* name = "kvActor";
    std::memcpy(buffer, &name, sizeof name);
    uint32_t handle = 7;
    for (auto _ : state) {
        benchmark::DoNotOptimize(handle);
        bool result = sys->CallEntityMethod(handle, 224, "s", buffer) && sys->GetIntResult() != 0;
        benchmark::DoNotOptimize(result);
    }
}

BENCHMARK(Wrapper_SetOrigin);
BENCHMARK(Direct_SetOrigin);
BENCHMARK(Wrapper_GetOrigin);
BENCHMARK(Direct_GetOrigin);
BENCHMARK(Wrapper_Activate);
BENCHMARK(Direct_Activate);
BENCHMARK(Wrapper_IsClass);
BENCHMARK(Direct_IsClass);

}  // namespace

BENCHMARK_MAIN();
