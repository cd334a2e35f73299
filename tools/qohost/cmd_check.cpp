// qohost check LEVEL: every problem of a level in one pass, without running it: the document's
// errors and the errors against the module (classes, properties, values) together, then the
// warnings of host/level/Checks.h. --json prints them as one JSON object for editors.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "host/level/Checks.h"
#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {

struct CheckOptions {
    std::string level;
    bool json = false;
};

nlohmann::ordered_json Findings(const LevelErrors& list) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const LevelError& e : list) {
        nlohmann::ordered_json item = {{"entity", e.entity}, {"field", e.field}, {"message", e.message},
                                       {"text", e.Text()}};
        if (e.more) item["more"] = e.more;
        out.push_back(std::move(item));
    }
    return out;
}

int Check(const CheckOptions& options) {
    std::unique_ptr<Module> module = LoadModule();
    if (!module) return kExitFailure;
    LevelDesc level;
    LevelErrors errors, warnings;
    const bool read = ReadLevelFile(options.level, level, errors);
    // A document with errors is still checked against the module as far as it was read, so
    // that one pass shows every problem; only an unreadable file stops here.
    if (read || !level.entities.empty()) {
        CheckAgainstModule(*module->Api(), level, errors);
        LintLevel(level, warnings);
        LintAgainstModule(*module->Api(), level, warnings);
    }
    const size_t errorCount = CountProblems(errors), warningCount = CountProblems(warnings);
    if (options.json) {
        const nlohmann::ordered_json report = {{"file", options.level},
                                               {"errors", Findings(errors)},
                                               {"warnings", Findings(warnings)}};
        std::printf("%s\n", report.dump(2).c_str());
    } else {
        std::fputs(ErrorLines(errors).c_str(), stdout);
        for (const LevelError& w : warnings) std::printf("warning: %s\n", w.Text().c_str());
        std::printf("%s: %zu error%s, %zu warning%s\n", Printable(options.level).c_str(), errorCount,
                    errorCount == 1 ? "" : "s", warningCount, warningCount == 1 ? "" : "s");
    }
    return errorCount ? kExitInput : kExitOk;
}

void Setup(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* cmd = app.add_subcommand("check", "report every error and warning of a level file at once, without running it");
    cmd->add_option("level", options->level, "the level file (JSON, see docs/levels.md)")->required();
    cmd->add_flag("--json", options->json, "print the findings as JSON ({file, errors, warnings})");
    cmd->footer(std::string(kExitCodeHelp) + "\nqohost check: 0 no errors (warnings may remain), 2 the level has errors.");
    cmd->callback([options] { SetExitCode(Check(*options)); });
}

const CommandRegistrar registrar(11, &Setup);

}  // namespace

}  // namespace qohost::cli
