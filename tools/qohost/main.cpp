// qohost: the reference host on the command line. Loads the script module the way an engine
// does and runs one of the subcommands (see `qohost --help`).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include <sys/auxv.h>
#include <unistd.h>

#include "host/level/Level.h"

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

const char* const kExitCodeHelp =
    "Exit codes: 0 done; 1 the module or the run failed; 2 the input was refused (nothing ran);\n"
    "3 the command line was wrong (nothing ran); 4 the level ran, but some script threads could\n"
    "not be created (stack limit or memory); 5 (network) not settled; 6 (run) stopped early by\n"
    "SIGINT, SIGTERM or --timeout; 7 (test) some level failed its expectations or did not load.";

namespace {
std::string Got(const std::string& text) { return ", got '" + Printable(text, 80) + "'"; }
}  // namespace

CLI::Validator IntegerRange(int64_t lo, int64_t hi) {
    const std::string range = std::to_string(lo) + " to " + std::to_string(hi);
    return CLI::Validator(
        [lo, hi, range](std::string& text) -> std::string {
            int64_t value = 0;
            const char* end = text.data() + text.size();
            const auto [ptr, ec] = std::from_chars(text.data(), end, value);
            if (text.empty() || ec != std::errc() || ptr != end || value < lo || value > hi)
                return "expected an integer from " + range + Got(text);
            return {};
        },
        range);
}

CLI::Validator SecondsRange(double hi) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%.0f", hi);
    const std::string range = std::string("0 to ") + limit;
    return CLI::Validator(
        [hi, range](std::string& text) -> std::string {
            double value = 0;
            const char* end = text.data() + text.size();
            const auto [ptr, ec] = std::from_chars(text.data(), end, value);
            if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0 ||
                value > hi)
                return "expected a number of seconds from " + range + Got(text);
            return {};
        },
        range);
}

std::unique_ptr<Module> LoadModule() {
    std::string error;
    const std::string path = Common().library.empty() ? Module::DefaultLibraryPath() : Common().library;
    std::unique_ptr<Module> module = Module::Load(path, &error);
    if (!module) std::fprintf(stderr, "qohost: %s\n", error.c_str());
    return module;
}

namespace {
// malloc's heap in transparent huge pages: a large level touches hundreds of megabytes of heap
// as it loads, and with 2 MiB pages that is a few hundred page faults instead of a few hundred
// thousand (the 100,000-object level loads about a quarter faster). glibc reads the choice only
// when the process starts, so qohost starts itself again once with it added to GLIBC_TUNABLES.
// Left alone: a choice of the user's own (the tunable already named, or QOHOST_NO_HUGEPAGES set
// to anything but 0), a secure-mode start (where glibc may drop the variable, so the restart
// could repeat), and a run under valgrind, which would lose the program at the exec.
void RestartWithHugePages(char** argv) {
    if (const char* off = std::getenv("QOHOST_NO_HUGEPAGES"); off && std::strcmp(off, "0") != 0) return;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;
    if (getauxval(AT_SECURE)) return;
    if (const char* preload = std::getenv("LD_PRELOAD"); preload && std::strstr(preload, "vgpreload")) return;
    const bool hadTunables = tunables != nullptr;
    const std::string before = hadTunables ? tunables : "";
    const std::string added = before.empty() ? "glibc.malloc.hugetlb=1" : before + ":glibc.malloc.hugetlb=1";
    if (setenv("GLIBC_TUNABLES", added.c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
    // No restart: go on as started, with the environment as it was.
    if (hadTunables)
        setenv("GLIBC_TUNABLES", before.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}
}  // namespace

}  // namespace qohost::cli

int main(int argc, char** argv) {
    using namespace qohost::cli;
    RestartWithHugePages(argv);
    CLI::App app{"qohost: the Quorin reference host"};
    app.add_option("--library", Common().library, "path of libquorin.so (default: the one built with qohost)");
    app.require_subcommand(0, 1);

    auto registry = Registry();
    std::stable_sort(registry.begin(), registry.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [order, setup] : registry) setup(app);

    app.footer(kExitCodeHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);  // --help
        // One line that says what is wrong, one that says where to look; never CLI11's own codes.
        const std::string where = app.get_subcommands().empty() ? "qohost" : "qohost " + app.get_subcommands()[0]->get_name();
        std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", where.c_str(),
                     qohost::Printable(e.what()).c_str(), where.c_str());
        return kExitUsage;
    }
    if (app.get_subcommands().empty() && g_defaultCommand) return g_defaultCommand();
    return g_exitCode;
}
