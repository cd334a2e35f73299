// qohost subcommands. Each subcommand lives in its own cmd_<name>.cpp and registers itself
// with a file-scope CommandRegistrar; main.cpp builds the command line from the registrations.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "host/Module.h"

namespace qohost::cli {

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
