// Spawning through the encounter network without end: 20 spawn managers, each choosing among 10
// spawn points (200 in all) and keeping 4 AI alive, the AI dying of their lifetime (1 s) so that
// spawning and killing go on unattended. One benchmark iteration is one frame of the level
// (module and host together). Counters: the AI spawned and alive at the end, the host's live
// memory blocks before teardown and after it (must be 0).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/world/Module.h"
#include "host/world/World.h"
#include "quorin/quorin.h"

namespace {

constexpr int kManagers = 20;
constexpr int kSpawnersPerManager = 10;

std::string BenchLevel() {
    std::string entities, timeline;
    for (int m = 0; m < kManagers; ++m) {
        const std::string manager = "manager_" + std::to_string(m);
        std::string list;
        for (int s = 0; s < kSpawnersPerManager; ++s) {
            const std::string spawner = "spawn_" + std::to_string(m) + "_" + std::to_string(s);
            list += std::string(s ? ", " : "") + "\"" + spawner + "\"";
            entities += R"(, { "name": ")" + spawner + R"(", "class": "kvTarget_Spawn", "origin": [)" +
                        std::to_string(m * 512) + ", " + std::to_string(s * 64) +
                        R"(, 0], "entityDefs": ["monster/imp"], "spawnArgs": { "spawnCooldownMs": 200 } })";
        }
        entities += R"(, { "name": ")" + manager + R"(", "class": "kvTarget", "objects": [ { "class": "pHell_SpawnManager",
            "properties": { "totalSpawnCount": -1, "maxSpawnSize": 4, "minSpawnDelay": 0.05, "maxSpawnDelay": 0.2,
                            "spawnerList": [)" + list + "] } } ] }";
        timeline += std::string(m ? ", " : "") + R"({ "frame": 1, "event": "activate", "entity": ")" + manager + "\" }";
    }
    return R"({ "entityDefs": { "monster/imp": { "class": "kvAI2", "args": { "lifetime": 1.0 } } },
        "players": [ { "name": "player1" } ], "entities": [ { "name": "door", "class": "kvMover" })" +
           entities + " ], \"timeline\": [ " + timeline + " ] }";
}

void BM_EncounterSpawnKill(benchmark::State& state) {
    std::string error;
    std::unique_ptr<qohost::Module> linked = qohost::Module::Linked(&GetQuorinAPI, &error);
    if (!linked) {
        state.SkipWithError(error.c_str());
        return;
    }
    // A run this long keeps no record of what happens.
    qohost::WorldOptions options;
    options.keepHistory = false;
    qohost::World world(options);
    world.Attach(linked->Api(), /*reset=*/false);
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    if (!qohost::ParseLevel(BenchLevel(), "bench.json", level, errors) || !qohost::LoadLevel(world, level, errors)) {
        state.SkipWithError(qohost::ErrorLines(errors).c_str());
        return;
    }
    qohost::LevelRunner runner(world, level);
    runner.Start();
    runner.RunUntil(static_cast<int32_t>(state.range(0)));  // settled and spawning

    for (auto _ : state) runner.Step();

    size_t spawned = 0, alive = 0;
    for (qohost::Entity* e : world.EntitiesOfClass("kvAI2")) {
        ++spawned;
        alive += e->dead ? 0 : 1;
    }
    state.counters["spawned"] = static_cast<double>(spawned);
    state.counters["alive"] = static_cast<double>(alive);
    state.counters["liveBlocks"] = static_cast<double>(world.allocator.LiveBlocks());
    world.Detach();
    state.counters["liveBlocksAfterTeardown"] = static_cast<double>(world.allocator.LiveBlocks());
}
// Frames run before measuring; then 1000 measured frames (16 s of play).
BENCHMARK(BM_EncounterSpawnKill)->Arg(60)->Arg(3000)->Iterations(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
