// sample_hostcheck: runs the Quorin host conformance kit against the sample host.
//
//   sample_hostcheck [path/to/libquorin.so.1]
//
// Prints one PASS or FAIL line per check and exits with 0 when every check passed.
#include <dlfcn.h>

#include <cstdio>

#include <quorin/hostcheck.h>
#include <quorin/quorin.h>

#include "SampleHost.h"

#ifndef SAMPLE_QUORIN_LIBRARY
#define SAMPLE_QUORIN_LIBRARY "libquorin.so.1"
#endif

namespace {

// What the kit needs to set up its situations, in the sample host's terms.
class SampleDriver final : public qohostcheck::Driver {
public:
    explicit SampleDriver(sample::SampleHost& host) : host_(host) {}
    uint32_t CreateEntity(const char* name, const char* hostClass) override { return host_.Spawn(name, hostClass); }
    void AddTarget(uint32_t entity, uint32_t target) override {
        if (sample::Entity* e = host_.Find(entity)) e->targets.push_back(target);
    }
    uint32_t AddScriptObject(uint32_t entity, const char* className) override {
        return host_.AddObject(entity, className);
    }
    void Activate(uint32_t entity, uint32_t activator) override { host_.Activate(entity, activator); }
    void RemoveEntity(uint32_t entity) override { host_.Remove(entity); }
    void RunFrame() override { host_.RunFrame(); }
    std::string TakeConsole() override { return host_.TakeConsole(); }

private:
    sample::SampleHost& host_;
};

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : SAMPLE_QUORIN_LIBRARY;
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    auto getApi = library ? reinterpret_cast<qoGetQuorinAPIFn>(dlsym(library, "GetQuorinAPI")) : nullptr;
    kvQuorin* module = getApi ? getApi(qoInterfaceVersion) : nullptr;
    if (!module) {
        std::fprintf(stderr, "sample_hostcheck: cannot load %s\n", path);
        return 2;
    }
    int status = 0;
    {
        sample::SampleHost host(module);
        module->SetSystem(&host);
        module->RunRegistrations();
        host.Spawn("world", "kvWorldspawn");
        host.Spawn("player1", "kvPlayer");
        module->Reset();
        host.RunFrame();
        SampleDriver driver(host);
        status = qohostcheck::Run(&host, module, driver);
        module->Reset();
        host.DestroyAllObjects();
        module->SetSystem(nullptr);
    }
    dlclose(library);
    return status;
}
