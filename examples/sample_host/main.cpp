// sample_host: loads libquorin.so, builds a small level in code, runs it for ten seconds of
// game time and prints the console.
//
//   sample_host [path/to/libquorin.so.1]
//
// The level: three triggers in a hall fire a sequential relay that switches on three lamps one
// by one; a fourth activation finds the relay done. A vault timer counts down one second and
// then opens the vault door, and five seconds later removes itself.
#include <dlfcn.h>

#include <cstdio>

#include <quorin/quorin.h>

#include "SampleHost.h"

#ifndef SAMPLE_QUORIN_LIBRARY
#define SAMPLE_QUORIN_LIBRARY "libquorin.so.1"
#endif

int main(int argc, char** argv) {
    // 1. Load the module and ask it for interface version 1.
    const char* path = argc > 1 ? argv[1] : SAMPLE_QUORIN_LIBRARY;
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "sample_host: %s\n", dlerror());
        return 1;
    }
    auto getApi = reinterpret_cast<qoGetQuorinAPIFn>(dlsym(library, "GetQuorinAPI"));
    kvQuorin* module = getApi ? getApi(qoInterfaceVersion) : nullptr;
    if (!module || !module->CheckVersionHash(qoVersionHash)) {
        std::fprintf(stderr, "sample_host: %s is not a Quorin module of interface version %d\n", path,
                     qoInterfaceVersion);
        return 1;
    }

    int status = 0;
    {
        // 2. Attach: SetSystem before anything else, then the module's console variables.
        sample::SampleHost host(module);
        host.EchoConsole(true);
        module->SetSystem(&host);
        module->RunRegistrations();

        // 3. The level. "world" must exist before Reset, which puts the world utility on it.
        host.Spawn("world", "kvWorldspawn");
        const uint32_t player = host.Spawn("player1", "kvPlayer");
        const uint32_t relay = host.Spawn("hall_relay", "kvTarget");
        for (const char* lamp : {"lamp_1", "lamp_2", "lamp_3"})
            host.Find(relay)->targets.push_back(host.Spawn(lamp, "kvLight"));
        const uint32_t timer = host.Spawn("vault_timer", "kvTarget");
        host.Find(timer)->targets.push_back(host.Spawn("vault_door", "kvMover"));
        module->Reset();

        // Objects: create, bind, write designer properties, then start Init.
        const uint32_t relayObject = host.AddObject(relay, "triggerSequential", false);
        host.SetProperty(relay, relayObject, "loop", false);
        host.StartInit(relay, relayObject);
        const uint32_t timerObject = host.AddObject(timer, "audibleTimer", false);
        host.SetProperty(timer, timerObject, "targetTime", 1.0f);
        host.SetProperty(timer, timerObject, "tickRate", 0.25f);
        host.StartInit(timer, timerObject);

        // 4. Run 625 frames of 16 ms; the player walks through the triggers.
        for (int frame = 1; frame <= 625; ++frame) {
            if (frame == 20 || frame == 60 || frame == 100 || frame == 140) host.Activate(relay, player);
            if (frame == 180) host.Activate(timer, player);
            host.RunFrame();
        }

        // 5. Tear down: Reset closes the module's dev windows while the host is attached; then
        // every object is destroyed, every thread unwound, every block returned.
        module->Reset();
        host.DestroyAllObjects();
        std::printf("sample_host: %zu threads, %zu memory blocks left\n", host.LiveThreads(), host.LiveBlocks());
        status = host.LiveThreads() == 0 && host.LiveBlocks() == 0 ? 0 : 1;
        module->SetSystem(nullptr);
    }
    dlclose(library);
    return status;
}
