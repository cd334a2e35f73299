// qohost run LEVEL.json: load the module like an engine (GetQuorinAPI(1), SetSystem,
// RunRegistrations), load the level (entities, Reset, script objects, Init threads), run it for
// a number of frames while printing the console and the entity-method calls frame by frame,
// then tear it down (every object shut down and destroyed) and report leaked memory.
//
// Exit codes (Command.h): 0 the level ran; 1 the module, the run, the trace or the checkpoint
// file failed; 2 the level or the checkpoint to load did not load; 3 the command line was wrong
// (a --save-at frame past the run's end too); 4 the level ran but some script threads could
// not be created (stack limit or memory). Everything that can be checked before the run (the
// options, the level, the checkpoint to load, the trace and checkpoint files to write) is
// checked before it.
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>
#include <vector>

#include "host/level/Checkpoint.h"
#include "host/level/WorldState.h"
#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/level/Reload.h"
#include "host/records/RunLog.h"
#include "host/records/TraceSink.h"
#include "host/records/TraceWriter.h"
#include "host/world/World.h"
#include "host/records/RunSummary.h"
#include "host/level/Checks.h"
#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {

struct RunOptions {
    std::string level;
    std::optional<int32_t> frames;
    std::optional<double> seconds;
    std::optional<uint32_t> seed;
    std::string trace;
    bool quiet = false;
    std::vector<std::string> saveAt;  // FRAME FILE: write a checkpoint at that frame
    std::string load;                 // a checkpoint to continue from
    std::optional<double> timeout;    // wall-clock seconds the run may take
    double hold = 1.0;                // wall-clock seconds a count of repeated frames may wait
    std::vector<std::string> only;    // entities or classes whose records are printed
    std::vector<std::string> hide, show;  // record kinds
    bool summary = true;
    bool allQueries = false;
    bool stackDepth = false;          // paint the fiber stacks and report the deepest use
    std::string failAlloc;            // allocations to fail (Allocator::ConfigureFailures)
    std::vector<int32_t> reloadAt;    // frames at whose end the module is reloaded
    bool watch = false;               // reload whenever the library file changes
    std::string reloadFrom;           // the library reloads load; empty: the one the run started with
};

// Tells when the library file has changed since the last look: its modification time and size.
class LibraryWatch {
public:
    explicit LibraryWatch(std::string path) : path_(std::move(path)) { Changed(); }
    // True once per change; a file that is missing (being rebuilt) is no change yet.
    bool Changed() {
        struct stat info {};
        if (::stat(path_.c_str(), &info) != 0) return false;
        const std::pair<long long, long long> now{info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, info.st_size};
        const bool changed = now != last_;
        last_ = now;
        return changed;
    }

private:
    std::string path_;
    std::pair<long long, long long> last_{-1, -1};
};

// The allocations to fail: --fail-alloc, else the environment's QOHOST_FAIL_ALLOC.
std::string FailAllocSetting(const RunOptions& options) {
    if (!options.failAlloc.empty()) return options.failAlloc;
    const char* env = std::getenv("QOHOST_FAIL_ALLOC");
    return env ? env : "";
}

// The kinds the log prints: the default ones, with --show kinds added and --hide kinds taken
// away; false with `error` set for a name that is no kind.
bool LogKinds(const RunOptions& options, RecordMask& kinds, std::string& error) {
    kinds = RunLog::kDefaultKinds;
    for (const auto* list : {&options.show, &options.hide})
        for (const std::string& name : *list) {
            RecordKind kind{};
            if (!RecordKindByName(name, kind)) {
                std::string known;
                for (unsigned k = 0; k < kRecordKindCount; ++k)
                    known += (k ? ", " : "") + std::string(RecordKindName(static_cast<RecordKind>(k)));
                error = "unknown record kind '" + Printable(name) + "' (known: " + known + ")";
                return false;
            }
            if (list == &options.show) kinds |= MaskOf(kind);
            else kinds &= ~MaskOf(kind);
        }
    return true;
}

// Ends a run early, at the end of a frame: on SIGINT or SIGTERM (the first one; a second one
// acts as without the handler) or once the wall-clock time runs out.
volatile std::sig_atomic_t g_stopSignal = 0;
extern "C" void OnStopSignal(int signal) { g_stopSignal = signal; }

class RunStop {
public:
    explicit RunStop(std::optional<double> timeout) : timeout_(timeout) {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = &OnStopSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
        if (timeout_)
            deadline_ = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(*timeout_));
    }
    ~RunStop() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    RunStop(const RunStop&) = delete;
    RunStop& operator=(const RunStop&) = delete;

    // Why the run is to stop ("SIGINT", "SIGTERM", "--timeout 2"); empty: it goes on.
    const std::string& Reason() {
        if (!reason_.empty()) return reason_;
        if (g_stopSignal) reason_ = g_stopSignal == SIGINT ? "SIGINT" : "SIGTERM";
        else if (timeout_ && std::chrono::steady_clock::now() >= deadline_) {
            char text[64];
            std::snprintf(text, sizeof text, "--timeout %g", *timeout_);
            reason_ = text;
        }
        return reason_;
    }

private:
    std::optional<double> timeout_;
    std::chrono::steady_clock::time_point deadline_;
    struct sigaction oldInt_ {}, oldTerm_ {};
    std::string reason_;
};

void PrintErrors(const LevelErrors& errors) { std::fputs(ErrorLines(errors).c_str(), stderr); }

// Whether the file can be written, tried without changing it: opened for appending (which
// neither truncates nor moves anything), and removed again when the check created it.
bool CheckWritable(const std::string& path, std::string& error, const char* what = "trace") {
    struct stat info {};
    const bool existed = ::stat(path.c_str(), &info) == 0;
    if (existed && S_ISDIR(info.st_mode)) {
        error = std::string("cannot write the ") + what + " file '" + Printable(path) + "': it is a directory";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) {
        error = std::string("cannot write the ") + what + " file '" + Printable(path) + "': " + std::strerror(errno);
        return false;
    }
    std::fclose(file);
    if (!existed) std::remove(path.c_str());
    return true;
}

// Reads a checkpoint file (host/level/Checkpoint.h), refusing what is no regular file as a level
// file is refused; false with `error` set.
bool ReadCheckpointFile(const std::string& path, Checkpoint& out, std::string& error) {
    std::string text;
    if (!ReadRegularFile(path, "checkpoint", kMaxLevelFileBytes, text, error) || !ParseCheckpoint(text, out, error)) {
        error = Printable(path) + ": " + error;
        return false;
    }
    return true;
}

int Run(const RunOptions& options) {
    // From the start: a signal while the level loads stops the run at its first frame.
    RunStop stop(options.timeout);
    RecordMask kinds = 0;
    if (std::string error; !LogKinds(options, kinds, error)) {
        std::fprintf(stderr, "qohost run: %s\n", error.c_str());
        return kExitUsage;
    }
    const std::string failAlloc = FailAllocSetting(options);
    if (std::string error; !failAlloc.empty() && !Allocator().ConfigureFailures(failAlloc, error)) {
        std::fprintf(stderr, "qohost run: --fail-alloc: %s\n", error.c_str());
        return kExitUsage;
    }
    for (const auto& [path, what] : {std::pair{options.trace, "trace"},
                                     std::pair{options.saveAt.empty() ? std::string() : options.saveAt[1], "checkpoint"}}) {
        std::string error;
        if (!path.empty() && !CheckWritable(path, error, what)) {
            std::fprintf(stderr, "qohost: %s\n", error.c_str());
            return kExitFailure;
        }
    }
    Checkpoint checkpoint;
    if (!options.load.empty()) {
        std::string error;
        if (!ReadCheckpointFile(options.load, checkpoint, error)) {
            std::fprintf(stderr, "qohost: %s\n", error.c_str());
            return kExitInput;
        }
    }
    std::unique_ptr<Module> module = LoadModule();
    if (!module) return kExitFailure;
    LevelDesc level;
    LevelErrors errors;
    if (!ReadLevelFile(options.level, level, errors)) {
        // What was read is checked against the module too: every problem in one pass.
        if (!level.entities.empty()) CheckAgainstModule(*module->Api(), level, errors);
        PrintErrors(errors);
        return kExitInput;
    }
    // A checkpoint names the level it was saved from: another level's state is refused.
    const std::string levelName =
        level.name.empty() ? std::filesystem::path(options.level).stem().string() : level.name;
    if (!options.load.empty() && !checkpoint.level.empty() && checkpoint.level != levelName) {
        std::fprintf(stderr, "qohost: %s: saved from the level '%s', not from '%s'\n", Printable(options.load).c_str(),
                     Printable(checkpoint.level).c_str(), Printable(levelName).c_str());
        return kExitInput;
    }
    const int32_t lastFrame = options.frames    ? *options.frames
                              : options.seconds ? FrameForSeconds(*options.seconds, level.frameMs)
                                                : level.DefaultRunFrames();
    const int32_t saveFrame = options.saveAt.empty() ? -1 : std::stoi(options.saveAt[0]);
    if (saveFrame > lastFrame) {
        std::fprintf(stderr, "qohost run: --save-at: frame %d is past the run's last frame %d\n", saveFrame,
                     lastFrame);
        return kExitUsage;
    }
    // The trace streams to its file from the load on: a file that cannot be written stops the
    // run before it starts.
    TraceWriter trace;
    if (!options.trace.empty()) {
        std::string error;
        if (!trace.Open(options.trace, "qohost run " + options.level, error)) {
            std::fprintf(stderr, "qohost: %s\n", error.c_str());
            return kExitFailure;
        }
    }
    // What is most likely a mistake though the level loads (qohost check shows the same).
    LevelErrors warnings;
    LintLevel(level, warnings);
    LintAgainstModule(*module->Api(), level, warnings);
    for (const LevelError& w : warnings) std::fprintf(stderr, "warning: %s\n", w.Text().c_str());

    WorldOptions worldOptions;
    worldOptions.frameTimeMs = level.frameMs;
    worldOptions.keepHistory = false;  // the log and the trace stream; nothing grows with the run
    worldOptions.threads.paintStacks = options.stackDepth;
    World world(worldOptions);
    if (std::string error; !world.allocator.ConfigureFailures(failAlloc, error)) return kExitUsage;  // checked above
    RunLog log(stdout, !options.quiet, std::chrono::duration<double>(options.hold));
    log.SetKinds(kinds);
    log.ShowAllQueries(options.allQueries);
    log.Only(options.only, world);
    RunSummary summary(world);
    if (options.summary && !options.quiet) world.AddSink(summary);
    const auto players = static_cast<size_t>(std::count_if(
        level.entities.begin(), level.entities.end(), [](const LevelEntity& e) { return HostClassIsA(e.hostClass, "kvPlayer"); }));
    log.SetPlayers(players);
    summary.SetPlayers(players);
    world.AddSink(log);
    std::optional<TraceSink> traceSink;
    if (trace.IsOpen()) world.AddSink(traceSink.emplace(world, trace));
    const auto finishTrace = [&]() {
        if (!traceSink) return true;
        traceSink->Finish();
        world.RemoveSink(*traceSink);
        std::string error;
        if (trace.Close(error)) return true;
        std::fprintf(stderr, "qohost: %s\n", error.c_str());
        return false;
    };

    world.Attach(module->Api(), /*reset=*/false);  // the loader resets once the entities exist
    LoadedLevel loaded;
    if (!LoadLevel(world, level, errors, &loaded)) {
        PrintErrors(errors);
        // What the module does while it lets go of a level that never loaded is no part of the
        // run: no log of it.
        world.RemoveSink(log);
        world.RemoveSink(summary);
        world.Detach();
        finishTrace();
        return kExitInput;
    }
    if (options.seed) world.Seed(*options.seed);

    if (!options.quiet) {
        std::printf("== %s (%s)\n", level.name.empty() ? "level" : level.name.c_str(),
                    options.level.c_str());
        const size_t objects = loaded.objects.size();
        std::printf("== %zu entities, %zu script object%s; %d frames of %d ms\n", level.entities.size(),
                    objects, objects == 1 ? "" : "s", lastFrame, level.frameMs);
    }

    LevelRunner runner(world, level);
    std::optional<LibraryWatch> watch;
    const std::string reloadFile = options.reloadFrom.empty() ? module->Path() : options.reloadFrom;
    if (options.watch) watch.emplace(reloadFile);
    bool reloadFailed = false;
    // At the end of a frame: the module goes and comes back (host/level/Reload.h).
    const auto reload = [&]() {
        const std::string& file = reloadFile;
        const ReloadResult result = ReloadModule(world, level, module, file);
        log.FrameDone();
        if (!result.ok) {
            std::fprintf(stderr, "qohost: the module did not load again at frame %" PRIu64 ": %s\n", world.Frame(),
                         result.error.c_str());
            reloadFailed = true;
            return;
        }
        std::printf("== module reloaded at frame %" PRIu64 ": %zu script object%s made again, %zu block%s left after "
                    "the unload\n",
                    world.Frame(), result.objects, result.objects == 1 ? "" : "s", result.moduleBlocksLeft,
                    result.moduleBlocksLeft == 1 ? "" : "s");
        for (const std::string& line : result.notCarried) std::printf("warning: not carried over: %s\n", line.c_str());
        std::fflush(stdout);
    };
    // Frame by frame, each printed as it ends; false when the run is stopped early.
    const auto runTo = [&](int32_t frame) {
        while (static_cast<int64_t>(world.Frame()) < frame) {
            if (!stop.Reason().empty() || reloadFailed) return false;
            runner.Step();
            log.FrameDone();
            const auto now = static_cast<int32_t>(world.Frame());
            if (std::count(options.reloadAt.begin(), options.reloadAt.end(), now) || (watch && watch->Changed()))
                reload();
        }
        return !reloadFailed;
    };
    // A checkpoint continues the run where it was saved: the timeline up to its frame has
    // been played already.
    if (!options.load.empty()) runner.SkipTimelineTo(static_cast<int64_t>(checkpoint.frame));
    runner.Start();
    log.FrameDone();
    if (!options.load.empty()) {
        // Right after the Init threads' first slices: the saved entities are there again, the
        // objects take their state back, then the host's world its own (over what the objects
        // did meanwhile), and the clock goes on from the saved frame.
        std::vector<std::string> worldNotes;
        const bool worldRestored =
            !checkpoint.world.is_null() && RestoreWorldEntities(world, checkpoint.world, worldNotes);
        const CheckpointLoad load = LoadCheckpoint(world, checkpoint);
        if (worldRestored) RestoreWorldState(world, checkpoint.world, worldNotes);
        const size_t mismatches = load.mismatches;
        const int64_t savedMs = checkpoint.timeMs >= 0 ? checkpoint.timeMs
                                                       : static_cast<int64_t>(checkpoint.frame) * level.frameMs;
        world.SetClock(checkpoint.frame, savedMs);
        if (!options.quiet)
            std::printf("== checkpoint %s loaded (saved at frame %llu); the run goes on from frame %llu (%" PRId64
                        ".%03d s)\n",
                        options.load.c_str(), static_cast<unsigned long long>(checkpoint.frame),
                        static_cast<unsigned long long>(checkpoint.frame), savedMs / 1000, int(savedMs % 1000));
        if (checkpoint.world.is_null() && !options.quiet)
            std::printf("== the checkpoint holds no world state (a version %d checkpoint): the host's entities, "
                        "console variables and walks start as the level file has them\n",
                        checkpoint.version);
        else if (!worldRestored)
            std::printf("warning: the world state was not loaded: it does not fit this level\n");
        for (const std::string& note : worldNotes) std::printf("warning: world state: %s\n", note.c_str());
        if (mismatches)
            std::printf("warning: %zu saved value%s did not fit the level's objects\n", mismatches,
                        mismatches == 1 ? "" : "s");
        for (const std::string& refused : load.refused) std::printf("warning: not loaded: %s\n", refused.c_str());
    }
    int code = 0;
    bool stopped = false;
    if (saveFrame >= 0 && !(stopped = !runTo(saveFrame))) {
        std::ofstream out(options.saveAt[1], std::ios::binary);
        Checkpoint saved = SaveCheckpoint(world, /*withWorld=*/true);
        saved.level = levelName;
        out << CheckpointText(saved);
        out.close();
        if (!out.good()) {
            std::fprintf(stderr, "qohost: cannot write the checkpoint file '%s'\n",
                         Printable(options.saveAt[1]).c_str());
            code = kExitFailure;
        } else if (!options.quiet) {
            std::printf("== checkpoint saved at frame %d to %s%s\n", saveFrame, options.saveAt[1].c_str(),
                        saved.objects.empty() ? ": no script object of this level hands any state over, so it "
                                                "holds the frame, the clock and the host's world state"
                                              : "");
        }
    }
    if (!stopped) stopped = !runTo(lastFrame);

    log.Finish();
    if (reloadFailed) {
        std::fflush(stdout);
        world.RemoveSink(log);
        world.RemoveSink(summary);
        finishTrace();
        return kExitFailure;
    }
    if (stopped) {
        // The frame that was running has ended; the rest of the run is skipped.
        std::fprintf(options.quiet ? stderr : stdout, "== interrupted at frame %" PRIu64 " (%" PRId64 ".%03d s) by %s\n",
                     world.Frame(), world.GameTime() / 1000, int(world.GameTime() % 1000), stop.Reason().c_str());
        code = kExitStopped;
    } else if (!options.quiet) {
        std::printf("== end at frame %d (%" PRId64 ".%03d s)\n", lastFrame, world.GameTime() / 1000,
                    int(world.GameTime() % 1000));
    }
    if (options.summary && !options.quiet) {
        summary.SetFolded(log.FoldedLookups(), log.FoldedQueries(), log.FoldedProblems());
        summary.Print(stdout, world);
        world.RemoveSink(summary);
    }
    std::fflush(stdout);
    world.Detach();  // Reset, then every object: Shutdown, deleting destructor with flags 1
    log.Finish();
    world.RemoveSink(log);

    if (!finishTrace()) code = kExitFailure;
    if (options.stackDepth)  // every thread has ended and given its stack back by now
        std::printf("== deepest script thread stack: %zu bytes of %zu\n", world.scheduler.StackHighWater(),
                    worldOptions.threads.stackSize);
    std::fflush(stdout);
    if (world.ThreadFailures() != 0) {
        std::fprintf(stderr, "qohost: %" PRIu64 " script thread%s could not be created (%s)\n",
                     world.ThreadFailures(), world.ThreadFailures() == 1 ? "" : "s",
                     world.scheduler.LastCreateError().c_str());
        code = kExitThreads;
    }
    if (world.allocator.LiveBlocks() != 0)
        std::printf("warning: %zu blocks (%zu bytes) still allocated after teardown\n%s",
                    world.allocator.LiveBlocks(), world.allocator.LiveBytes(),
                    world.allocator.Report().c_str());
    for (const std::string& e : world.allocator.Errors()) std::printf("warning: allocator: %s\n", e.c_str());
    if (!failAlloc.empty())
        std::printf("== %" PRIu64 " of %" PRIu64 " allocations failed on purpose (%s)\n",
                    world.allocator.FailedAllocations(), world.allocator.Allocations(), failAlloc.c_str());
    return code;
}

void Setup(CLI::App& app) {
    auto options = std::make_shared<RunOptions>();
    CLI::App* cmd = app.add_subcommand("run", "load a level file and run it, printing the console and the entity-method calls");
    cmd->add_option("level", options->level, "the level file (JSON, see docs/levels.md)")->required();
    auto* frames = cmd->add_option("--frames", options->frames, "run this many frames (default: the level's length)")
                       ->check(IntegerRange(0, std::numeric_limits<int32_t>::max()));
    cmd->add_option("--seconds", options->seconds, "run this much game time")
        ->check(SecondsRange(kMaxRunSeconds))
        ->excludes(frames);
    cmd->add_option("--trace", options->trace, "write a trace (Chrome trace event JSON, for Perfetto) to this file")
        ->check([](const std::string& path) { return path.empty() ? std::string("expected a file name") : std::string(); });
    cmd->add_option("--seed", options->seed, "random number seed (default: the level's, else 1)")
        ->check(IntegerRange(0, std::numeric_limits<uint32_t>::max()));
    cmd->add_flag("--quiet", options->quiet, "print only the console");
    cmd->add_option("--save-at", options->saveAt,
                    "FRAME FILE: at that frame, write what the script objects hand over through SyncState "
                    "(a checkpoint) to FILE")
        ->expected(2)
        ->check([](const std::string& value) {
            return value.empty() ? std::string("expected a frame number and a file name") : std::string();
        });
    cmd->add_option("--load", options->load,
                    "continue from a checkpoint: the level loads afresh, then its objects take their saved "
                    "state back");
    cmd->add_option("--reload-at", options->reloadAt,
                    "FRAME: at the end of that frame, reload the module: the objects hand their state over, "
                    "the library is unloaded and loaded again, the objects are made again and take their state "
                    "back (repeatable)")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(IntegerRange(0, std::numeric_limits<int32_t>::max()));
    cmd->add_flag("--watch", options->watch,
                  "reload the module at the end of the frame in which the library file changed (a rebuild)");
    cmd->add_option("--reload-from", options->reloadFrom,
                    "FILE: the library that --reload-at and --watch load (and --watch watches) instead of the one "
                    "the run started with")
        ->check(CLI::ExistingFile);
    cmd->add_flag("--stack-depth", options->stackDepth,
                  "measure the stack the script threads use (each fiber stack is painted with a pattern) "
                  "and print the deepest use after the run");
    cmd->add_option("--fail-alloc", options->failAlloc,
                    "FAILURES: make the host allocator fail allocations: N or nth:N (the N-th allocation of the "
                    "run), tag:T (every allocation with memory tag T), rate:R[:SEED] (each with probability R); "
                    "comma-separated. Without it the environment variable QOHOST_FAIL_ALLOC is read");
    cmd->add_option("--timeout", options->timeout,
                    "stop the run at the end of the frame during which this much wall-clock time has passed "
                    "(as SIGINT does: '== interrupted at frame N', exit code 6)")
        ->check(SecondsRange(kMaxRunSeconds));
    cmd->add_option("--hold", options->hold,
                    "the longest (wall-clock seconds) the log holds back a count of repeated frames before it "
                    "prints it (default 1)")
        ->check(SecondsRange(kMaxRunSeconds));
    cmd->add_option("--only", options->only,
                    "NAME[,NAME...]: print only the records that involve these entities or classes (host or script "
                    "classes)")
        ->delimiter(',');
    cmd->add_option("--hide", options->hide, "KIND[,KIND...]: do not print records of these kinds (console, method, event, ...)")
        ->delimiter(',');
    cmd->add_option("--show", options->show,
                    "KIND[,KIND...]: print records of these kinds too (thread, mover, draw, ...)")
        ->delimiter(',');
    cmd->add_flag("--summary,!--no-summary", options->summary,
                  "print a summary at the end: warnings and errors by kind, failed calls, activations nothing "
                  "handled, threads still waiting, entities that never did anything (default: on)");
    cmd->add_flag("--all-queries", options->allQueries,
                  "print every query, also those that answer as they did in the frame before");
    cmd->footer(kExitCodeHelp);
    cmd->callback([options] {
        if (!options->saveAt.empty()) {
            std::string frame = options->saveAt[0];
            const std::string error = IntegerRange(0, std::numeric_limits<int32_t>::max())(frame);
            if (!error.empty()) throw CLI::ValidationError("--save-at", error);
        }
        SetExitCode(Run(*options));
    });
}

const CommandRegistrar registrar(10, &Setup);

}  // namespace

}  // namespace qohost::cli
