// Cost of the value types against the reference host's tagged allocator.
//
// Each benchmark reports "allocs" (host allocations per iteration) beside the time, because the
// allocation pattern is the contract: strings allocate exactly what they need on every growth
// (appending n characters one by one costs n allocations), lists grow in steps of 8 slots.
//
// Goals:
//   - StringAppendChars/64: exactly 64 allocations (no hidden spare capacity).
//   - FromFloat, FromVector: one allocation per text.
//   - ListInsertFrontString/n makes as many allocations as ListAppendString/n: shifting string
//     elements moves their buffers, it never copies them.
#include <benchmark/benchmark.h>

#include "core/qoList.h"
#include "core/qoString.h"
#include "core/qoSystem.h"
#include "host/world/World.h"

namespace {

// Attaches a fresh reference-host world as the module's host for one benchmark run and reports
// the host allocations per iteration when it ends.
class HostScope {
public:
    explicit HostScope(benchmark::State& state) : state_(state), saved_(qoSys) { qoSys = &world_; }
    ~HostScope() {
        const double allocations = static_cast<double>(world_.allocator.Allocations());
        state_.counters["allocs"] = benchmark::Counter(allocations, benchmark::Counter::kAvgIterations);
        qoSys = saved_;
    }
    HostScope(const HostScope&) = delete;
    HostScope& operator=(const HostScope&) = delete;

private:
    benchmark::State& state_;
    kvQuorinSystem* saved_;
    qohost::World world_;
};

void StringAppendChars(benchmark::State& state) {
    HostScope host(state);
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        qoString s;
        for (int i = 0; i < n; ++i) s.Append(static_cast<char>('a' + i % 26));
        benchmark::DoNotOptimize(s.data);
    }
}
BENCHMARK(StringAppendChars)->Arg(8)->Arg(64);

void StringConcat(benchmark::State& state) {
    HostScope host(state);
    const qoString entity("spawner_door_12");
    const char* className = "pHell_SpawnManager";
    for (auto _ : state) {
        qoString text = entity + "." + className;
        benchmark::DoNotOptimize(text.data);
    }
}
BENCHMARK(StringConcat);

void FromFloat(benchmark::State& state) {
    HostScope host(state);
    float value = -1234.5678f;
    for (auto _ : state) {
        qoString text = qoString::FromFloat(value, 3);
        benchmark::DoNotOptimize(text.data);
        value += 0.25f;
    }
}
BENCHMARK(FromFloat);

void FromVector(benchmark::State& state) {
    HostScope host(state);
    const qoVector v{128.5f, -64.25f, 12.0f};
    for (auto _ : state) {
        qoString text = qoString::FromVector(v);
        benchmark::DoNotOptimize(text.data);
    }
}
BENCHMARK(FromVector);

void ListAppendInt(benchmark::State& state) {
    HostScope host(state);
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        qoList<int> list;
        for (int i = 0; i < n; ++i) list.Append(i);
        benchmark::DoNotOptimize(list.list);
    }
}
BENCHMARK(ListAppendInt)->Arg(8)->Arg(256);

// Adds n copies of one string at the end or at the front of a list.
template <bool kAtFront>
void ListAddString(benchmark::State& state) {
    HostScope host(state);
    const int n = static_cast<int>(state.range(0));
    const qoString value("monster_imp");
    for (auto _ : state) {
        qoList<qoString> list;
        for (int i = 0; i < n; ++i) {
            if constexpr (kAtFront) {
                list.Insert(value, 0);
            } else {
                list.Append(value);
            }
        }
        benchmark::DoNotOptimize(list.list);
    }
}
void ListAppendString(benchmark::State& state) { ListAddString<false>(state); }
void ListInsertFrontString(benchmark::State& state) { ListAddString<true>(state); }
BENCHMARK(ListAppendString)->Arg(8)->Arg(64);
BENCHMARK(ListInsertFrontString)->Arg(8)->Arg(64);

}  // namespace

BENCHMARK_MAIN();
