// One frame of N waiting script threads, against N Lua coroutines resumed from C.
//
// Script threads: module code (a script class's loop calling qoWaitFrame) started through the
// module's thread API and host slot 18, suspended in host slot 33 and resumed by the reference
// host's frame, with the world's thread recording off. The host-only case runs the same loop as
// a host function on the scheduler alone, to show what the module interface adds. Lua: N
// coroutines each running `while true do coroutine.yield() end`, every one resumed once per
// frame with lua_resume. Each reports the time of one resumption (per_resume).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include <lua.hpp>

#include "host/world/Module.h"
#include "host/world/World.h"
#include "object/qoClass.h"
#include "object/qoThreads.h"

namespace {

class benchLoop : public kvQuorinObject {
    QO_SCRIPT_CLASS(benchLoop, kvQuorinObject)

public:
    void Loop() {
        for (;;) qoWaitFrame();
    }
};

void SetPerResume(benchmark::State& state, int64_t threads) {
    state.counters["per_resume"] = benchmark::Counter(
        static_cast<double>(state.iterations() * threads),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

struct ScriptWorld {
    explicit ScriptWorld(bool record) {
        qohost::WorldOptions options;
        options.threads.keepLog = record;
        options.keepHistory = record;
        world = std::make_unique<qohost::World>(options);
        module = qohost::Module::Linked(&GetQuorinAPI);
        world->Attach(module->Api());
        // Only the benchmark's own threads run: end the world utility's start-up threads.
        if (qohost::Entity* worldEntity = world->EntityByName("world")) {
            const uint32_t index = world->FindObjectIndex(*worldEntity, "qoWorldUtil");
            if (index != qohost::kNoObject)
                world->scheduler.EndThreadsOf(world->ScriptObject(worldEntity->handle, index));
        }
        object = static_cast<benchLoop*>(qoClassTables<benchLoop>::Create());
    }
    ~ScriptWorld() {
        world->scheduler.EndAll();
        object->Destroy(1);
        world->Detach();
    }
    std::unique_ptr<qohost::World> world;
    std::unique_ptr<qohost::Module> module;
    benchLoop* object = nullptr;
};

void BM_ScriptThreadsFrame(benchmark::State& state, bool record) {
    const int64_t n = state.range(0);
    ScriptWorld w(record);
    for (int64_t i = 0; i < n; ++i) qoStartThread<&benchLoop::Loop>(w.object, "Loop");
    w.world->RunFrames(2);  // warm: every stack touched, queues at full size
    for (auto _ : state) {
        w.world->RunFrame();
        if (record) {
            state.PauseTiming();
            w.world->recorder.Clear();
            w.world->scheduler.ClearLog();
            state.ResumeTiming();
        }
    }
    if (w.world->scheduler.LiveCount() != static_cast<size_t>(n)) state.SkipWithError("lost threads");
    SetPerResume(state, n);
}

void BM_HostThreadsFrame(benchmark::State& state) {
    const int64_t n = state.range(0);
    qohost::SchedulerOptions options;
    options.keepLog = false;
    qohost::Scheduler scheduler(options);
    for (int64_t i = 0; i < n; ++i)
        scheduler.Spawn("Loop", nullptr, {}, [&scheduler] {
            for (;;) scheduler.WaitFrame();
        });
    uint32_t frame = 0;
    for (auto _ : state) {
        ++frame;
        scheduler.RunFrame(frame, frame * 16000);
    }
    SetPerResume(state, n);
}

void BM_LuaCoroutinesFrame(benchmark::State& state) {
    const int64_t n = state.range(0);
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    if (luaL_loadstring(L, "while true do coroutine.yield() end") != LUA_OK) {
        state.SkipWithError("lua load failed");
        lua_close(L);
        return;
    }
    const int body = lua_gettop(L);
    std::vector<lua_State*> coroutines;
    lua_createtable(L, static_cast<int>(n), 0);  // keeps the coroutines alive
    const int keep = lua_gettop(L);
    for (int64_t i = 0; i < n; ++i) {
        lua_State* co = lua_newthread(L);
        lua_pushvalue(L, body);
        lua_xmove(L, co, 1);
        lua_rawseti(L, keep, i + 1);
        coroutines.push_back(co);
    }
    auto frame = [&] {
        for (lua_State* co : coroutines) {
            int results = 0;
            if (lua_resume(co, L, 0, &results) != LUA_YIELD) return false;
            lua_pop(co, results);
        }
        return true;
    };
    frame();
    for (auto _ : state) {
        if (!frame()) {
            state.SkipWithError("a coroutine did not yield");
            break;
        }
    }
    lua_close(L);
    SetPerResume(state, n);
}

BENCHMARK_CAPTURE(BM_ScriptThreadsFrame, module, false)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ScriptThreadsFrame, module_recorded, true)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostThreadsFrame)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LuaCoroutinesFrame)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
