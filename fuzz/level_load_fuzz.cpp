// Feeds arbitrary bytes as a level document to the level reader and, when they read as a
// level, loads it into a fresh reference-host world with the real library attached (as
// `qohost run` does), runs a few frames and tears the world down. Nothing may crash, hang or
// overflow the stack; a refused document must say why; a loaded one must leave no memory
// behind and never misuse the allocator.
//
// Seeds: examples/levels/*.json (tools/test.sh passes the folder).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "host/level/Level.h"
#include "host/world/Module.h"
#include "host/world/World.h"

namespace {

qohost::Module* g_module = nullptr;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "level_load_fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    static std::unique_ptr<qohost::Module> module = qohost::Module::Load(qohost::Module::DefaultLibraryPath(), &error);
    if (!module) Fail("the module did not load", error);
    g_module = module.get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    if (!qohost::ParseLevel(text, "fuzz.json", level, errors)) {
        if (errors.empty()) Fail("a refused document without a reason", std::string(text.substr(0, 200)));
        if (qohost::ErrorLines(errors).size() > (qohost::kMaxErrorLines + 1) * (qohost::kMaxErrorLineBytes + 8))
            Fail("a report longer than its limit", qohost::ErrorLines(errors).substr(0, 2000));
        return 0;
    }

    qohost::WorldOptions options;
    options.frameTimeMs = level.frameMs;
    qohost::World world(options);
    world.Attach(g_module->Api(), /*reset=*/false);
    if (qohost::LoadLevel(world, level, errors))
        for (int frame = 0; frame < 3; ++frame) world.RunFrame();
    world.Detach();
    if (world.allocator.LiveBlocks() != 0) Fail("memory left behind", world.allocator.Report());
    if (!world.allocator.Errors().empty()) Fail("allocator misuse", world.allocator.Errors().front());
    return 0;
}
