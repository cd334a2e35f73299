// qohost graph LEVEL [-o FILE]: the links of a level as a Graphviz graph (host/level/Graph.h):
// DOT on stdout or into FILE; a FILE ending in .svg is rendered by Graphviz's `dot`.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "host/level/Graph.h"
#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {

struct GraphOptions {
    std::string level;
    std::string output;
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int Graph(const GraphOptions& options) {
    LevelDesc level;
    LevelErrors errors;
    if (!ReadLevelFile(options.level, level, errors)) {
        std::fputs(ErrorLines(errors).c_str(), stderr);
        return kExitInput;
    }
    const std::string dot = LevelGraph(level);
    if (options.output.empty()) {
        std::fputs(dot.c_str(), stdout);
        return kExitOk;
    }
    const bool svg = EndsWith(options.output, ".svg");
    if (svg && std::system("command -v dot >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "qohost graph: Graphviz 'dot' is not on PATH: write a .dot file instead\n");
        return kExitFailure;
    }
    const std::string dotFile = svg ? options.output + ".dot" : options.output;
    std::ofstream out(dotFile, std::ios::binary);
    out << dot;
    out.close();
    if (!out) {
        std::fprintf(stderr, "qohost graph: cannot write '%s'\n", Printable(dotFile).c_str());
        return kExitFailure;
    }
    if (!svg) return kExitOk;
    const int status = std::system(("dot -Tsvg -o " + ShellQuoted(options.output) + " " + ShellQuoted(dotFile)).c_str());
    std::remove(dotFile.c_str());
    if (status != 0) {
        std::fprintf(stderr, "qohost graph: dot could not render '%s'\n", Printable(options.output).c_str());
        return kExitFailure;
    }
    return kExitOk;
}

void Setup(CLI::App& app) {
    auto options = std::make_shared<GraphOptions>();
    CLI::App* cmd = app.add_subcommand("graph", "draw the links of a level (targets, binds, entity properties, spawns) as a Graphviz graph");
    cmd->add_option("level", options->level, "the level file (JSON, see docs/levels.md)")->required();
    cmd->add_option("-o,--output", options->output, "write to this file instead of stdout; a .svg file is rendered with Graphviz's dot");
    cmd->footer(kExitCodeHelp);
    cmd->callback([options] { SetExitCode(Graph(*options)); });
}

const CommandRegistrar registrar(16, &Setup);

}  // namespace

}  // namespace qohost::cli
