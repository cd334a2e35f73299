// qohost: the reference host on the command line. Loads the script module the way an engine
// does and runs one of the subcommands (see `qohost --help`).
#include <algorithm>
#include <cstdio>
#include <utility>

#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {
std::vector<std::pair<int, CommandSetup>>& Registry() {
    static std::vector<std::pair<int, CommandSetup>> registry;
    return registry;
}
int g_exitCode = 0;
DefaultCommand g_defaultCommand = nullptr;
}  // namespace

void SetDefaultCommand(DefaultCommand command) { g_defaultCommand = command; }

CommandRegistrar::CommandRegistrar(int order, CommandSetup setup) { Registry().emplace_back(order, setup); }

CommonOptions& Common() {
    static CommonOptions options;
    return options;
}

void SetExitCode(int code) { g_exitCode = code; }

std::unique_ptr<Module> LoadModule() {
    std::string error;
    const std::string path = Common().library.empty() ? Module::DefaultLibraryPath() : Common().library;
    std::unique_ptr<Module> module = Module::Load(path, &error);
    if (!module) std::fprintf(stderr, "qohost: %s\n", error.c_str());
    return module;
}

}  // namespace qohost::cli

int main(int argc, char** argv) {
    using namespace qohost::cli;
    CLI::App app{"qohost: the Quorin reference host"};
    app.add_option("--library", Common().library, "path of libquorin.so (default: the one built with qohost)");
    app.require_subcommand(0, 1);

    auto registry = Registry();
    std::stable_sort(registry.begin(), registry.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [order, setup] : registry) setup(app);

    CLI11_PARSE(app, argc, argv);
    if (app.get_subcommands().empty() && g_defaultCommand) return g_defaultCommand();
    return g_exitCode;
}
