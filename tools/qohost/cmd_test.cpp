// qohost test [LEVEL|FOLDER...]: plays levels (every *.json under a folder) with their
// expectations, one line per run with its verdict and time, then "N passed, N failed";
// --junit FILE writes the verdicts as JUnit XML for build servers.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/level/LevelTest.h"
#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {

namespace fs = std::filesystem;

struct TestOptions {
    std::vector<std::string> paths;
    std::string junit;
};

struct LevelVerdicts {
    std::string file;
    std::string name;  // the level's title
    std::vector<RunVerdict> runs;
};

std::string Xml(std::string_view text) {
    std::string out;
    for (char c : Printable(text, 100000)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string JUnit(const std::vector<LevelVerdicts>& levels) {
    size_t tests = 0, failures = 0;
    double total = 0;
    for (const LevelVerdicts& level : levels)
        for (const RunVerdict& run : level.runs) {
            ++tests;
            failures += !run.Passed();
            total += run.seconds;
        }
    std::ostringstream x;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", total);
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<testsuites name=\"qohost test\" tests=\"" << tests << "\" failures=\"" << failures << "\" time=\""
      << seconds << "\">\n";
    for (const LevelVerdicts& level : levels) {
        size_t levelFailures = 0;
        double levelTime = 0;
        for (const RunVerdict& run : level.runs) {
            levelFailures += !run.Passed();
            levelTime += run.seconds;
        }
        std::snprintf(seconds, sizeof seconds, "%.3f", levelTime);
        x << "  <testsuite name=\"" << Xml(level.file) << "\" tests=\"" << level.runs.size() << "\" failures=\""
          << levelFailures << "\" errors=\"0\" time=\"" << seconds << "\">\n";
        for (const RunVerdict& run : level.runs) {
            std::snprintf(seconds, sizeof seconds, "%.3f", run.seconds);
            const std::string name = level.name.empty() ? fs::path(level.file).stem().string() : level.name;
            x << "    <testcase classname=\"" << Xml(level.file) << "\" name=\""
              << Xml(run.run.empty() ? name : name + " [" + run.run + "]") << "\" time=\"" << seconds << "\"";
            if (run.Passed()) {
                x << "/>\n";
                continue;
            }
            const std::vector<std::string> lines = run.Failures();
            x << ">\n      <failure message=\"" << Xml(lines.empty() ? "failed" : lines.front()) << "\" type=\""
              << (run.loaded ? "expectation" : "load") << "\">";
            for (const std::string& line : lines) x << Xml(line) << "\n";
            x << "</failure>\n    </testcase>\n";
        }
        x << "  </testsuite>\n";
    }
    x << "</testsuites>\n";
    return x.str();
}

// The level files the paths name: files as given, folders searched for *.json (sorted).
bool Collect(const std::vector<std::string>& paths, std::vector<std::string>& files) {
    for (const std::string& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<std::string> found;
            for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
                 it.increment(ec))
                if (it->is_regular_file(ec) && it->path().extension() == ".json") found.push_back(it->path().string());
            std::sort(found.begin(), found.end());
            if (found.empty()) {
                std::fprintf(stderr, "qohost test: no level files (*.json) in '%s'\n", Printable(path).c_str());
                return false;
            }
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::exists(path, ec)) {
            files.push_back(path);
        } else {
            std::fprintf(stderr, "qohost test: no such file or folder '%s'\n", Printable(path).c_str());
            return false;
        }
    }
    return true;
}

int Test(const TestOptions& options) {
    std::vector<std::string> files;
    if (!Collect(options.paths.empty() ? std::vector<std::string>{"."} : options.paths, files)) return kExitInput;
    std::ofstream junit;
    if (!options.junit.empty()) {
        junit.open(options.junit, std::ios::binary | std::ios::trunc);
        if (!junit) {
            std::fprintf(stderr, "qohost test: cannot write the JUnit file '%s'\n", Printable(options.junit).c_str());
            return kExitFailure;
        }
    }
    std::unique_ptr<Module> module = LoadModule();
    if (!module) return kExitFailure;

    std::vector<LevelVerdicts> levels;
    size_t passed = 0, failed = 0;
    for (const std::string& file : files) {
        LevelVerdicts level{file, "", {}};
        LevelDesc desc;
        RunVerdict unread;
        if (ReadLevelFile(file, desc, unread.loadErrors)) {
            level.name = desc.name;
            level.runs = TestLevel(module->Api(), desc);
        } else {
            level.runs.push_back(std::move(unread));
        }
        for (const RunVerdict& run : level.runs) {
            const bool ok = run.Passed();
            (ok ? passed : failed) += 1;
            const std::string label = run.run.empty() ? file : file + " [" + run.run + "]";
            std::printf("%s  %s  %.3f s%s\n", ok ? "PASS" : "FAIL", label.c_str(), run.seconds,
                        run.loaded || ok ? "" : "  (did not load)");
            for (const std::string& line : run.Failures()) std::printf("      %s\n", line.c_str());
        }
        std::fflush(stdout);
        levels.push_back(std::move(level));
    }
    std::printf("%zu passed, %zu failed\n", passed, failed);
    if (junit.is_open()) {
        junit << JUnit(levels);
        junit.close();
        if (!junit) {
            std::fprintf(stderr, "qohost test: cannot write the JUnit file '%s'\n", Printable(options.junit).c_str());
            return kExitFailure;
        }
    }
    return failed ? kExitTestFailed : kExitOk;
}

void Setup(CLI::App& app) {
    auto options = std::make_shared<TestOptions>();
    CLI::App* cmd = app.add_subcommand(
        "test", "play levels and check their expectations (the 'expect' and 'runs' sections, docs/levels.md)");
    cmd->add_option("levels", options->paths, "level files, or folders to search for *.json (default: .)");
    cmd->add_option("--junit", options->junit, "also write the verdicts as JUnit XML to this file");
    cmd->footer(kExitCodeHelp);
    cmd->callback([options] { SetExitCode(Test(*options)); });
}

const CommandRegistrar registrar(12, &Setup);

}  // namespace

}  // namespace qohost::cli
