#include "host/level/LevelTest.h"

#include <chrono>

#include "host/level/LevelRunner.h"
#include "host/world/World.h"

namespace qohost {

bool RunVerdict::Passed() const {
    if (!loaded) return false;
    for (const ExpectationResult& r : results)
        if (!r.passed) return false;
    return true;
}

std::vector<std::string> RunVerdict::Failures() const {
    std::vector<std::string> lines;
    for (const LevelError& e : loadErrors) lines.push_back(e.Text());
    for (const ExpectationResult& r : results)
        if (!r.passed) lines.push_back(r.Text());
    return lines;
}

void AddDefaultExpectations(std::vector<Expectation>& expect) {
    for (const Expectation& e : expect)
        if (e.kind == ExpectKind::No && e.problem != ProblemKind::Warning) return;
    Expectation none;
    none.kind = ExpectKind::No;
    none.problem = ProblemKind::Error;
    none.name = none.Describe();
    none.implicit = true;
    expect.push_back(std::move(none));
}

namespace {

RunVerdict Play(kvQuorin* module, const LevelDesc& level, const std::string& runName) {
    const auto start = std::chrono::steady_clock::now();
    RunVerdict verdict;
    verdict.run = runName;
    std::vector<Expectation> expect = level.expect;
    AddDefaultExpectations(expect);

    WorldOptions options;
    options.frameTimeMs = level.frameMs;
    options.keepHistory = false;
    World world(options);
    ExpectationChecker checker(world, expect);
    world.AddSink(checker);
    world.Attach(module, /*reset=*/false);
    if (LoadLevel(world, level, verdict.loadErrors)) {
        verdict.loaded = true;
        const int32_t last = level.DefaultRunFrames();
        LevelRunner runner(world, level);
        runner.Start();
        checker.AfterFrame();
        while (static_cast<int64_t>(world.Frame()) < last) {
            runner.Step();
            checker.AfterFrame();
        }
        verdict.frames = last;
        verdict.results = checker.Results();
    }
    world.Detach();
    world.RemoveSink(checker);
    verdict.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return verdict;
}

}  // namespace

std::vector<RunVerdict> TestLevel(kvQuorin* module, const LevelDesc& level) {
    std::vector<RunVerdict> verdicts;
    if (level.runs.empty()) verdicts.push_back(Play(module, level, ""));
    for (const LevelRun& run : level.runs) verdicts.push_back(Play(module, level.WithRun(run), run.name));
    return verdicts;
}

}  // namespace qohost
