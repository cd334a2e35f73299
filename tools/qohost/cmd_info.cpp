// qohost info: load the module, attach it to an empty world (SetSystem, RunRegistrations,
// Reset), print what it offers and everything it printed on the console, then detach.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/world/World.h"
#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {

struct InfoOptions {
    bool raw = false;
};

int RunInfo(const InfoOptions& options) {
    std::unique_ptr<Module> module = LoadModule();
    if (!module) return kExitFailure;
    kvQuorin* api = module->Api();

    size_t classes = 0;
    for (const char* const* name = api->GetClassNames(); name && *name; ++name) ++classes;
    size_t prefixes = 0;
    for (const char* const* prefix = api->GetClassPrefixes(); prefix && *prefix; ++prefix) ++prefixes;

    World world;
    world.Attach(api);

    std::printf("library: %s\n", module->Path().c_str());
    std::printf("interface version %d, version hash %s\n", qoInterfaceVersion,
                api->CheckVersionHash(qoVersionHash) ? "accepted" : "rejected");
    std::printf("classes: %zu\n", classes);
    // The names, a few to a line (`qohost describe NAME` shows one).
    std::string line;
    for (const char* const* name = api->GetClassNames(); name && *name; ++name) {
        if (!line.empty() && line.size() + 1 + std::strlen(*name) > 96) {
            std::printf("%s\n", line.c_str());
            line.clear();
        }
        line += (line.empty() ? "  " : " ") + std::string(*name);
    }
    if (!line.empty()) std::printf("%s\n", line.c_str());
    std::printf("prefixes: %zu\n", prefixes);
    std::printf("console variables: %zu\n", world.cvars.All().size());
    for (const auto& [name, value] : world.cvars.All()) std::printf("  %s = \"%s\"\n", name.c_str(), value.c_str());
    std::printf("console:\n");
    for (const std::string& line : world.console.AllLines())
        std::printf("  %s\n", options.raw ? line.c_str() : Console::StripColors(line).c_str());

    world.Detach();
    std::printf("live blocks after detach: %zu\n", world.allocator.LiveBlocks());
    for (const std::string& error : world.allocator.Errors()) std::printf("allocator: %s\n", error.c_str());
    return world.allocator.LiveBlocks() == 0 && world.allocator.Errors().empty() ? kExitOk : kExitFailure;
}

void Setup(CLI::App& app) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* cmd = app.add_subcommand("info", "load the module and print its classes, console variables and console");
    cmd->add_flag("--raw", options->raw, "keep the console's colour codes");
    cmd->footer(kExitCodeHelp);
    cmd->callback([options] { SetExitCode(RunInfo(*options)); });
    // Without a subcommand qohost shows what the module offers.
    SetDefaultCommand([] { return RunInfo(InfoOptions{}); });
}

const CommandRegistrar registrar(0, &Setup);

}  // namespace

}  // namespace qohost::cli
