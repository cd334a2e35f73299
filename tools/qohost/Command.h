// qohost subcommands. Each subcommand lives in its own cmd_<name>.cpp and registers itself
// with a file-scope CommandRegistrar; main.cpp builds the command line from the registrations.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "host/world/Module.h"

namespace qohost::cli {

// Exit codes, the same for every subcommand (README.md, "Exit codes").
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;   // the module failed to load, or the run or its outputs failed
constexpr int kExitInput = 2;     // the input (a level, a name) was refused; nothing ran
constexpr int kExitUsage = 3;     // the command line was wrong; nothing ran
constexpr int kExitThreads = 4;   // the level ran, but some script threads could not be created
constexpr int kExitStopped = 6;   // run: stopped early by SIGINT, SIGTERM or --timeout
constexpr int kExitTestFailed = 7;  // qohost test, check: a level failed its expectations or checks
// The exit-code lines for a subcommand's --help.
extern const char* const kExitCodeHelp;

// Option checks with short messages ("expected an integer from 0 to 10, got 'x'"); they run
// before any conversion, so NaN, infinities and out-of-range values never reach a command.
CLI::Validator IntegerRange(int64_t lo, int64_t hi);
CLI::Validator SecondsRange(double hi);

// Adds one subcommand (with its options and callback) to the application.
using CommandSetup = void (*)(CLI::App& app);

struct CommandRegistrar {
    CommandRegistrar(int order, CommandSetup setup);
};

// Options shared by every subcommand.
struct CommonOptions {
    std::string library;  // path of the module library; empty: the one this build produced
};
CommonOptions& Common();

// Loads the module named by the common options; prints the reason and returns null on failure.
std::unique_ptr<Module> LoadModule();

// Exit code a subcommand's callback hands back to main (CLI11 callbacks return nothing).
void SetExitCode(int code);

// What qohost does when no subcommand is given; returns the exit code.
using DefaultCommand = int (*)();
void SetDefaultCommand(DefaultCommand command);

}  // namespace qohost::cli
