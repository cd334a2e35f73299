// Name dispatch of the registry: the cost of a lookup must not depend on where the name sits in
// the class table. Measured for the first, middle and last class name:
//   - the module's GetPropertyTable and CreateObject + Destroy (through kvQuorin, including the
//     temporary qoString copy of the name every operation makes),
//   - the bare symbol-table lookup, for the module's classes and for a synthetic set of 512
//     classes (the module's size class),
//   - std::unordered_map<std::string_view, ...> over the same names, as a reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/world/World.h"
#include "object/qoClass.h"
#include "module/qoClassList.h"
#include "module/qoRegistryTables.h"

namespace {

// ---- a synthetic class set of the module's size ----------------------------------------------

#define QO_BENCH_CLASS(n)                                     \
    class bench_class##n : public kvQuorinObject {            \
        QO_SCRIPT_CLASS(bench_class##n, kvQuorinObject)       \
        QO_PROPERTIES(QO_PROPERTY(value))                     \
    public:                                                   \
        int32_t value = 0;                                    \
    };
#define QO_BENCH_8(p) QO_BENCH_CLASS(p##0) QO_BENCH_CLASS(p##1) QO_BENCH_CLASS(p##2) \
    QO_BENCH_CLASS(p##3) QO_BENCH_CLASS(p##4) QO_BENCH_CLASS(p##5) QO_BENCH_CLASS(p##6) \
    QO_BENCH_CLASS(p##7)
#define QO_BENCH_64(p) QO_BENCH_8(p##0) QO_BENCH_8(p##1) QO_BENCH_8(p##2) QO_BENCH_8(p##3) \
    QO_BENCH_8(p##4) QO_BENCH_8(p##5) QO_BENCH_8(p##6) QO_BENCH_8(p##7)
QO_BENCH_64(1)
QO_BENCH_64(2)
QO_BENCH_64(3)
QO_BENCH_64(4)
QO_BENCH_64(5)
QO_BENCH_64(6)
QO_BENCH_64(7)
QO_BENCH_64(8)

#define QO_BENCH_NAME(n) bench_class##n,
#define QO_BENCH_NAMES_8(p) QO_BENCH_NAME(p##0) QO_BENCH_NAME(p##1) QO_BENCH_NAME(p##2) \
    QO_BENCH_NAME(p##3) QO_BENCH_NAME(p##4) QO_BENCH_NAME(p##5) QO_BENCH_NAME(p##6) \
    QO_BENCH_NAME(p##7)
#define QO_BENCH_NAMES_64(p) QO_BENCH_NAMES_8(p##0) QO_BENCH_NAMES_8(p##1) QO_BENCH_NAMES_8(p##2) \
    QO_BENCH_NAMES_8(p##3) QO_BENCH_NAMES_8(p##4) QO_BENCH_NAMES_8(p##5) QO_BENCH_NAMES_8(p##6) \
    QO_BENCH_NAMES_8(p##7)

struct LargeSources {
    using classes = qoTypeList<QO_BENCH_NAMES_64(1) QO_BENCH_NAMES_64(2) QO_BENCH_NAMES_64(3)
                                   QO_BENCH_NAMES_64(4) QO_BENCH_NAMES_64(5) QO_BENCH_NAMES_64(6)
                                       QO_BENCH_NAMES_64(7) QO_BENCH_NAMES_64(8) triggerSequential>;
    using types = qoTypeList<>;
    static constexpr std::array<const qoEnumInfo*, 0> enums{};
};
using LargeTables = qoRegistryTables<LargeSources>;
using ModuleTables = qoRegistryTables<qoModuleSources>;

// ---- fixtures -----------------------------------------------------------------------------

// The module linked into this program, attached to a reference-host world.
struct ModuleWorld {
    ModuleWorld() { world.Attach(GetQuorinAPI(1)); }
    ~ModuleWorld() { world.Detach(); }
    qohost::World world;
};

ModuleWorld& Host() {
    static ModuleWorld host;
    return host;
}

std::vector<const char*> Names(const char* const* table) {
    std::vector<const char*> names;
    for (; *table; ++table) names.push_back(*table);
    return names;
}

// 0 first, 1 middle, 2 last.
const char* Pick(const std::vector<const char*>& names, int64_t position) {
    if (position == 0) return names.front();
    if (position == 1) return names[names.size() / 2];
    return names.back();
}

void Positions(benchmark::internal::Benchmark* b) {
    b->ArgName("position");
    b->Arg(0)->Arg(1)->Arg(2);
}

// ---- the module through kvQuorin ------------------------------------------------------------

void BM_ModuleGetPropertyTable(benchmark::State& state) {
    kvQuorin* api = Host().world.Module();
    const char* name = Pick(Names(api->GetClassNames()), state.range(0));
    state.SetLabel(name);
    for (auto _ : state) benchmark::DoNotOptimize(api->GetPropertyTable(name));
}
BENCHMARK(BM_ModuleGetPropertyTable)->Apply(Positions);

void BM_ModuleCreateDestroy(benchmark::State& state) {
    kvQuorin* api = Host().world.Module();
    const char* name = Pick(Names(api->GetClassNames()), state.range(0));
    state.SetLabel(name);
    for (auto _ : state) {
        kvQOObject* object = api->CreateObject(name);
        benchmark::DoNotOptimize(object);
        object->Destroy(1);
    }
}
BENCHMARK(BM_ModuleCreateDestroy)->Apply(Positions);

void BM_ModuleUnorderedMap(benchmark::State& state) {
    kvQuorin* api = Host().world.Module();
    const std::vector<const char*> names = Names(api->GetClassNames());
    std::unordered_map<std::string_view, const qoPropertyInfo*> map;
    for (const char* n : names) map.emplace(n, api->GetPropertyTable(n));
    const char* name = Pick(names, state.range(0));
    state.SetLabel(name);
    const std::string_view key(name);
    for (auto _ : state) benchmark::DoNotOptimize(map.find(key));
}
BENCHMARK(BM_ModuleUnorderedMap)->Apply(Positions);

// ---- bare lookups, module and synthetic set ------------------------------------------------

template <class Tables>
void BM_SymbolFind(benchmark::State& state) {
    const std::vector<const char*> names = Names(Tables::classNames.data());
    const char* name = Pick(names, state.range(0));
    const size_t length = std::strlen(name);
    state.SetLabel(std::string(name) + " of " + std::to_string(names.size()));
    for (auto _ : state) benchmark::DoNotOptimize(Tables::Find(name, length));
}
BENCHMARK(BM_SymbolFind<ModuleTables>)->Apply(Positions);
BENCHMARK(BM_SymbolFind<LargeTables>)->Apply(Positions);

template <class Tables>
void BM_SymbolUnorderedMap(benchmark::State& state) {
    const std::vector<const char*> names = Names(Tables::classNames.data());
    std::unordered_map<std::string_view, const qoSymbol*> map;
    for (const char* n : names) map.emplace(n, Tables::Find(n, std::strlen(n)));
    const char* name = Pick(names, state.range(0));
    state.SetLabel(std::string(name) + " of " + std::to_string(names.size()));
    const std::string_view key(name);
    for (auto _ : state) benchmark::DoNotOptimize(map.find(key));
}
BENCHMARK(BM_SymbolUnorderedMap<ModuleTables>)->Apply(Positions);
BENCHMARK(BM_SymbolUnorderedMap<LargeTables>)->Apply(Positions);

}  // namespace

BENCHMARK_MAIN();
