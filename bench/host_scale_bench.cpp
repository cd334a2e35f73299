// The reference host at scale: levels of N scripted entities (bench/ScaleLevel.h) loaded and
// run the way `qohost run` runs them, against the same relay behaviour as Lua 5.4 coroutines.
//
//   BM_ScaleParse/N          the level file's text to a level description (once per size;
//                            the others reuse it)
//   BM_ScaleLoad/N           a parsed level into a fresh world, to its first frame (objects
//                            created, properties written, every Init run to its first wait);
//                            teardown_ms: the teardown after it
//   BM_ScaleFrame/log/N      one frame with the default recording of `qohost run` (the printed
//                            log, here to /dev/null); per_object: the frame's cost per
//                            scripted entity
//   BM_ScaleFrame/off/N      one frame with no record sink attached
//   BM_SequentialFrame/...   the same with every entity a triggerSequential
//   BM_LuaSequentialFrame/N  triggerSequential as Lua coroutines driven from C++: each waits a
//                            frame, and when activated fires its next target
//
// Frames run for a fixed count (kFrames) so that every run sees the same timeline (a tenth of
// the entities activated every five frames).
//
// `host_scale_bench --write-level N FRAMES PATH [sequential]` writes a generated level instead
// (bench/scale.py runs qohost on it). `host_scale_bench --peak-memory COMMAND...` runs the
// command with its output to /dev/null and prints its exit code, wall seconds, processor
// seconds (user and system) and peak resident memory in KiB (the child's ru_maxrss; this small process forks it, so the figure is
// the command's own). `host_scale_bench --memory N` loads the sequential level of N objects
// in this process and prints where the resident memory goes (see MemoryBreakdown).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <lua.hpp>

#include "bench/ScaleLevel.h"
#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/world/Module.h"
#include "host/records/RunLog.h"
#include "host/world/World.h"
#include "quorin/quorin.h"

namespace {

constexpr int64_t kFrames = 200;

qohost::LevelDesc Parse(const std::string& text, benchmark::State& state) {
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    if (!qohost::ParseLevel(text, "scale.json", level, errors))
        state.SkipWithError(qohost::ErrorLines(errors).c_str());
    return level;
}

// A world with the linked module and a loaded level, recording like `qohost run`.
struct ScaleWorld {
    ScaleWorld(const qohost::LevelDesc& level, bool log, benchmark::State& state) {
        qohost::WorldOptions options;
        options.frameTimeMs = level.frameMs;
        options.keepHistory = false;
        world = std::make_unique<qohost::World>(options);
        if (log) {
            devNull = std::fopen("/dev/null", "w");
            runLog = std::make_unique<qohost::RunLog>(devNull);
            world->AddSink(*runLog);
        }
        module = qohost::Module::Linked(&GetQuorinAPI);
        world->Attach(module->Api(), false);
        qohost::LevelErrors errors;
        if (!qohost::LoadLevel(*world, level, errors))
            state.SkipWithError(qohost::ErrorLines(errors).c_str());
        if (world->ThreadFailures() != 0) state.SkipWithError("script threads were not created");
    }
    ~ScaleWorld() {
        world->Detach();
        world.reset();
        if (devNull) std::fclose(devNull);
    }
    std::unique_ptr<qohost::World> world;
    std::unique_ptr<qohost::Module> module;
    std::unique_ptr<qohost::RunLog> runLog;
    FILE* devNull = nullptr;
};

// Parsed levels, kept for the other benchmarks of the same size (parsing is not what they
// measure, and a level of 100,000 entities takes long to parse).
const qohost::LevelDesc& Level(int64_t n, bool sequentialOnly, benchmark::State& state) {
    static std::map<std::pair<int64_t, bool>, qohost::LevelDesc> cache;
    auto it = cache.find({n, sequentialOnly});
    if (it == cache.end())
        it = cache.emplace(std::make_pair(n, sequentialOnly),
                           Parse(bench::ScaleLevel(n, kFrames, sequentialOnly), state)).first;
    return it->second;
}

void BM_ScaleParse(benchmark::State& state) {
    const std::string text = bench::ScaleLevel(state.range(0), kFrames);
    for (auto _ : state) benchmark::DoNotOptimize(Parse(text, state));
    state.counters["per_entity"] = benchmark::Counter(
        static_cast<double>(state.iterations() * state.range(0)),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ScaleLoad(benchmark::State& state) {
    const int64_t n = state.range(0);
    const qohost::LevelDesc& level = Level(n, false, state);
    double teardownSeconds = 0.0;
    for (auto _ : state) {
        auto w = std::make_unique<ScaleWorld>(level, true, state);
        state.PauseTiming();
        const auto start = std::chrono::steady_clock::now();
        w.reset();
        teardownSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.ResumeTiming();
    }
    state.counters["per_entity"] = benchmark::Counter(
        static_cast<double>(state.iterations() * n),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["teardown_ms"] = teardownSeconds * 1000.0 / static_cast<double>(state.iterations());
}

void RunFrames(benchmark::State& state, bool log, bool sequentialOnly) {
    const int64_t n = state.range(0);
    const qohost::LevelDesc& level = Level(n, sequentialOnly, state);
    ScaleWorld w(level, log, state);
    qohost::LevelRunner runner(*w.world, level);
    runner.Start();
    for (auto _ : state) runner.Step();
    if (w.runLog) w.runLog->Finish();
    state.counters["per_object"] = benchmark::Counter(
        static_cast<double>(state.iterations() * n),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ScaleFrame(benchmark::State& state, bool log) { RunFrames(state, log, false); }
void BM_SequentialFrame(benchmark::State& state, bool log) { RunFrames(state, log, true); }

// ---- the Lua equivalent ----------------------------------------------------------------------

// triggerSequential: count the targets, then each frame, when triggered, fire the next target
// (looping) as player1 and go on waiting.
constexpr const char* kLuaSequential = R"(
return function(self)
  local count = NumTargets(self)
  local index = 0
  while true do
    if self.triggered then
      self.triggered = false
      Activate(GetTarget(self, index), self.player)
      index = index + 1
      if index >= count then index = 0 end
    end
    coroutine.yield()
  end
end
)";

int64_t g_luaActivations = 0;

int LuaNumTargets(lua_State* L) {
    lua_pushinteger(L, 3);
    return 1;
}
int LuaGetTarget(lua_State* L) {
    lua_pushinteger(L, luaL_checkinteger(L, 2) + 1);
    return 1;
}
int LuaActivate(lua_State*) {
    ++g_luaActivations;
    return 0;
}

void BM_LuaSequentialFrame(benchmark::State& state) {
    const int64_t n = state.range(0);
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    lua_register(L, "NumTargets", &LuaNumTargets);
    lua_register(L, "GetTarget", &LuaGetTarget);
    lua_register(L, "Activate", &LuaActivate);
    if (luaL_dostring(L, kLuaSequential) != LUA_OK) {
        state.SkipWithError(lua_tostring(L, -1));
        lua_close(L);
        return;
    }
    const int body = lua_gettop(L);
    lua_createtable(L, static_cast<int>(2 * n), 0);  // keeps the coroutines and objects alive
    const int keep = lua_gettop(L);
    std::vector<lua_State*> coroutines;
    std::vector<int> selves;  // registry references of the object tables
    for (int64_t i = 0; i < n; ++i) {
        lua_State* co = lua_newthread(L);
        lua_rawseti(L, keep, 2 * i + 1);
        lua_createtable(L, 0, 2);
        lua_pushinteger(L, 1);
        lua_setfield(L, -2, "player");
        lua_pushvalue(L, -1);
        selves.push_back(luaL_ref(L, LUA_REGISTRYINDEX));
        lua_rawseti(L, keep, 2 * i + 2);
        lua_pushvalue(L, body);
        lua_xmove(L, co, 1);
        lua_rawgeti(L, LUA_REGISTRYINDEX, selves.back());
        lua_xmove(L, co, 1);
        coroutines.push_back(co);
    }
    int64_t frame = 0, next = 0;
    const int64_t tenth = n >= 10 ? n / 10 : 1;
    auto run = [&](int nargs) {
        for (lua_State* co : coroutines) {
            int results = 0;
            if (lua_resume(co, L, nargs, &results) != LUA_YIELD) return false;
            lua_pop(co, results);
        }
        return true;
    };
    bool ok = run(1);  // frame 0: each starts with its object and waits
    for (auto _ : state) {
        if (!ok) break;
        ++frame;
        ok = run(0);
        // The timeline: a tenth activated every five frames (their handlers set the flag).
        if (frame % 5 == 0 && frame <= kFrames)
            for (int64_t k = 0; k < tenth; ++k, next = (next + 1) % n) {
                lua_rawgeti(L, LUA_REGISTRYINDEX, selves[static_cast<size_t>(next)]);
                lua_pushboolean(L, 1);
                lua_setfield(L, -2, "triggered");
                lua_pop(L, 1);
            }
    }
    if (!ok) state.SkipWithError("a coroutine did not yield");
    lua_close(L);
    benchmark::DoNotOptimize(g_luaActivations);
    state.counters["per_object"] = benchmark::Counter(
        static_cast<double>(state.iterations() * n),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(10000)->Arg(100000); }

BENCHMARK(BM_ScaleParse)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleLoad)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaleFrame, log, true)->Apply(Sizes)->Iterations(kFrames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaleFrame, off, false)->Apply(Sizes)->Iterations(kFrames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SequentialFrame, log, true)->Apply(Sizes)->Iterations(kFrames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SequentialFrame, off, false)->Apply(Sizes)->Iterations(kFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaSequentialFrame)->Apply(Sizes)->Iterations(kFrames)->Unit(benchmark::kMillisecond);

}  // namespace

// Runs argv[0..] as a child; prints "EXIT WALL_SECONDS CPU_SECONDS PEAK_KIB".
int PeakMemory(char** argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    std::printf("%d %.3f %.3f %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds, cpu,
                usage.ru_maxrss);
    return 0;
}

// Resident bytes of this process, and of its fiber stack chunks alone: the anonymous mappings
// of the scheduler's stack pool, recognised by their size (a whole number of 64 KiB stacks
// with a guard page each, at least 64 of them).
struct Resident {
    size_t total = 0;
    size_t stacks = 0;
};

Resident ResidentNow() {
    malloc_trim(0);  // freed heap pages go back, so that what stays resident is what is held
    Resident r;
    std::ifstream smaps("/proc/self/smaps");
    const size_t slot = qohost::SchedulerOptions::kDefaultStackSize + 4096;
    std::string line;
    bool stackChunk = false;
    while (std::getline(smaps, line)) {
        unsigned long from = 0, to = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> from >> dash >> to && dash == '-') {
            std::string perms, offset, device, inode, path;
            head >> perms >> offset >> device >> inode >> path;
            const size_t bytes = to - from;
            stackChunk = path.empty() && bytes % slot == 0 && bytes / slot >= 64;
        } else if (line.rfind("Rss:", 0) == 0) {
            const size_t kib = std::stoul(line.substr(4));
            r.total += kib * 1024;
            if (stackChunk) r.stacks += kib * 1024;
        }
    }
    return r;
}

// Loads the sequential level of n objects (4 entities each) in steps and prints the resident
// memory each step adds: the level description, the entities alone (the level with its script
// objects left out), the script objects with their threads (stack pages touched apart from the
// rest), and 200 frames with the default log (records are streamed; stacks deepen when
// activations run).
int MemoryBreakdown(int64_t n) {
    const Resident start = ResidentNow();
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    if (!qohost::ParseLevel(bench::ScaleLevel(n, kFrames, true), "scale.json", level, errors)) {
        std::fprintf(stderr, "%s\n", qohost::ErrorLines(errors).c_str());
        return 1;
    }
    const Resident parsed = ResidentNow();
    qohost::LevelDesc bare = level;
    for (qohost::LevelEntity& e : bare.entities) e.objects.clear();
    const Resident copied = ResidentNow();
    size_t entities = 0, objects = 0, threads = 0;
    Resident withEntities, loaded, ran;
    {
        qohost::WorldOptions options;
        options.keepHistory = false;
        qohost::World world(options);
        auto module = qohost::Module::Linked(&GetQuorinAPI);
        world.Attach(module->Api(), false);
        if (!qohost::LoadLevel(world, bare, errors)) return 1;
        entities = world.Entities().size();
        withEntities = ResidentNow();
        world.Detach();
    }
    {
        qohost::WorldOptions options;
        options.frameTimeMs = level.frameMs;
        options.keepHistory = false;
        qohost::World world(options);
        FILE* devNull = std::fopen("/dev/null", "w");
        qohost::RunLog log(devNull);
        world.AddSink(log);
        auto module = qohost::Module::Linked(&GetQuorinAPI);
        world.Attach(module->Api(), false);
        const Resident before = ResidentNow();
        if (!qohost::LoadLevel(world, level, errors)) return 1;
        loaded = ResidentNow();
        loaded.total = loaded.total - before.total + copied.total;  // as if on top of the first steps
        for (const qohost::LevelEntity& e : level.entities) objects += e.objects.size();
        threads = world.scheduler.LiveCount();
        qohost::LevelRunner runner(world, level);
        runner.Start();
        for (int64_t i = 0; i < kFrames; ++i) runner.Step();
        ran = ResidentNow();
        ran.total = ran.total - before.total + copied.total;
        log.Finish();
        world.Detach();
        std::fclose(devNull);
    }
    const auto mib = [](double bytes) { return bytes / 1048576.0; };
    const auto per = [](double bytes, size_t count) { return count ? bytes / static_cast<double>(count) : 0.0; };
    const double levelBytes = static_cast<double>(parsed.total - start.total);
    const double entityBytes = static_cast<double>(withEntities.total) - static_cast<double>(copied.total);
    const double stackBytes = static_cast<double>(loaded.stacks);
    const double objectBytes = static_cast<double>(loaded.total) - static_cast<double>(withEntities.total) - stackBytes;
    const double frameBytes = static_cast<double>(ran.total) - static_cast<double>(loaded.total);
    std::printf("| part (%lld objects) | count | resident | per item |\n|---|---|---|---|\n",
                static_cast<long long>(n));
    std::printf("| level description (parsed) | %lld objects | %.1f MiB | %.0f B per object |\n",
                static_cast<long long>(n), mib(levelBytes), per(levelBytes, static_cast<size_t>(n)));
    std::printf("| entities (no script objects) | %zu | %.1f MiB | %.0f B |\n", entities, mib(entityBytes),
                per(entityBytes, entities));
    std::printf("| script objects and thread bookkeeping | %zu objects, %zu threads | %.1f MiB | %.0f B per object |\n",
                objects, threads, mib(objectBytes), per(objectBytes, objects));
    std::printf("| thread stacks: pages touched | %zu threads | %.1f MiB | %.0f B (%.2f pages) per thread |\n",
                threads, mib(stackBytes), per(stackBytes, threads), per(stackBytes, threads) / 4096.0);
    const double frameStacks = static_cast<double>(ran.stacks) - stackBytes;
    std::printf("| %lld frames with the default log | | %+.1f MiB | stacks %+.1f MiB, the rest %+.1f MiB |\n",
                static_cast<long long>(kFrames), mib(frameBytes), mib(frameStacks), mib(frameBytes - frameStacks));
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--peak-memory") == 0) return PeakMemory(argv + 2);
    if (argc >= 3 && std::strcmp(argv[1], "--memory") == 0) return MemoryBreakdown(std::atoll(argv[2]));
    if (argc >= 5 && std::strcmp(argv[1], "--write-level") == 0) {
        const bool sequential = argc >= 6 && std::strcmp(argv[5], "sequential") == 0;
        const std::string text = bench::ScaleLevel(std::atoll(argv[2]), std::atoll(argv[3]), sequential);
        FILE* out = std::fopen(argv[4], "wb");
        if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0) {
            std::fprintf(stderr, "host_scale_bench: cannot write %s\n", argv[4]);
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
