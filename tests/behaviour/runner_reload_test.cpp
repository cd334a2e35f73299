// A run that is cut part-way and continued, as `qohost run` does it: reloading the module at the
// end of a frame (--reload-at) and loading a checkpoint saved at a frame (--save-at, --load).
// What the log shows after the cut is compared with the uninterrupted run from the next frame
// on; the lines before it (and the header and the run's notes starting with "==") differ by
// nature and are not compared. Levels whose objects cannot resume by design (docs/levels.md,
// "Checkpoints and module reloads") are named with the reason; they still must reload without
// a leak or a crash.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/Qohost.h"

namespace {

using qohost::test::Lines;
using qohost::test::ReadFile;
using qohost::test::RunQohost;
using qohost::test::StartQohost;
using qohost::test::TestTempPath;
using Result = qohost::test::CommandResult;

// Levels whose log after the cut differs by design, and why. Objects that hand no state over
// start again from their map properties and their Init.
const std::map<std::string, const char*> kReloadRestarts = {
    {"designer_tools", "the designer tools' timers and relays start again"},
    {"encounter", "the encounter network's nodes connect again and its spawners start again"},
    {"monsters", "the monster behaviour scripts start their behaviour again"},
    {"spawn_fight", "the spawn manager starts its waves again"},
    {"door_sequence", "a moverExtender restores its saved offsets on top of where the mover already is"},
    {"intro", "the health watcher starts watching again and misses the damage it waits for"},
    {"kill_counter", "the kill counters' actor watchers lose the actors they counted"},
    {"lift", "the moving platform's keys start again from the first key"},
    {"music", "the music manager starts again from its first state"},
    {"objectives", "the objective manager starts again from the first objective"},
    {"relay", "relays and timers start counting again"},
};
const std::map<std::string, const char*> kLoadRestarts = {
    {"designer_tools", "the designer tools' timers and relays start again"},
    {"encounter", "the encounter network's nodes connect again and its spawners start again"},
    {"spawn_fight", "the spawn manager starts its waves again"},
    {"intro", "the health watcher starts watching again"},
    {"kill_counter", "the kill counter starts counting again and does not watch the spawned actors again"},
    {"lift", "the moving platform's keys start again from the first key"},
    {"monsters", "the monster behaviour scripts start their behaviour again"},
    {"music", "the music manager starts again from its first state"},
    {"objectives", "the objective manager starts again from the first objective"},
    {"relay", "relays and timers start counting again"},
};

struct Level {
    std::string name, path;
    int lastFrame = 0;
    std::vector<std::string> log;  // uninterrupted
};

std::vector<std::string> ExampleLevels() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(QUORIN_SOURCE_DIR "/examples/levels"))
        if (entry.path().extension() == ".json") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The log lines from frame `from` on, without the run's own notes.
std::vector<std::string> From(const std::vector<std::string>& lines, int from) {
    const std::regex frame(R"(^-- frames? (\d+))");
    std::vector<std::string> out;
    bool on = false;
    for (const std::string& line : lines) {
        std::smatch m;
        if (std::regex_search(line, m, frame)) on = on || std::stoi(m[1]) >= from;
        if (on && line.rfind("==", 0) != 0) out.push_back(line);
    }
    return out;
}

Level Uninterrupted(const std::string& name) {
    Level level{name, "examples/levels/" + name + ".json", 0, {}};
    const Result r = RunQohost("run " + level.path + " --no-summary --hold 3600");
    EXPECT_EQ(r.code, 0) << r.err;
    level.log = Lines(r.out);
    std::smatch m;
    const std::regex end(R"(== end at frame (\d+))");
    if (std::regex_search(r.out, m, end)) level.lastFrame = std::stoi(m[1]);
    return level;
}

// The frames that have a line of their own ("-- frame F (...)"), not folded into a repetition.
std::vector<int> PlainFrames(const std::vector<std::string>& lines) {
    const std::regex frame(R"(^-- frame (\d+) \()");
    std::vector<int> frames;
    for (const std::string& line : lines)
        if (std::smatch m; std::regex_search(line, m, frame)) frames.push_back(std::stoi(m[1]));
    return frames;
}

// Compares the logs from the first frame after `frame` that both show on a line of its own: a
// repetition that spans the cut is folded differently (the cut run starts a new one), so the
// comparison starts where both runs print a frame of their own again.
// With `rounded`, numbers compare at two decimals: positions that went through a checkpoint twice
// may differ in the last bits of a float.
std::string Rounded(const std::string& line) {
    static const std::regex number(R"(-?\d+\.?\d*(e[-+]\d+)?)");
    std::string out;
    auto at = line.cbegin();
    for (std::sregex_iterator it(line.begin(), line.end(), number), end; it != end; ++it) {
        out.append(at, line.cbegin() + it->position());
        char text[64];
        std::snprintf(text, sizeof text, "%.2f", std::stod(it->str()));
        out += std::string(text) == "-0.00" ? "0.00" : text;
        at = line.cbegin() + it->position() + it->length();
    }
    return out.append(at, line.cend());
}

void ExpectSameAfter(const Level& level, const std::vector<std::string>& cut, int frame, const char* how,
                     bool rounded = false) {
    const std::vector<int> a = PlainFrames(level.log), b = PlainFrames(cut);
    int from = -1;
    for (int f : a)
        if (f > frame && std::find(b.begin(), b.end(), f) != b.end()) {
            from = f;
            break;
        }
    if (from < 0) {
        const bool anyAfter = std::any_of(a.begin(), a.end(), [&](int f) { return f > frame; });
        EXPECT_FALSE(anyAfter) << level.name << " " << how << " at frame " << frame
                               << ": the runs share no frame after the cut";
        return;
    }
    std::vector<std::string> want = From(level.log, from), got = From(cut, from);
    if (rounded)
        for (std::vector<std::string>* lines : {&want, &got})
            for (std::string& line : *lines) line = Rounded(line);
    for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        ASSERT_EQ(i < got.size() ? got[i] : "<end>", i < want.size() ? want[i] : "<end>")
            << level.name << " " << how << " at frame " << frame << ": first difference at line " << i + 1
            << " from frame " << from;
    }
}

TEST(RunnerReload, EveryExampleLevelReloadsMidRunWithoutALeakAndResumes) {
    for (const std::string& name : ExampleLevels()) {
        SCOPED_TRACE(name);
        const Level level = Uninterrupted(name);
        ASSERT_GT(level.lastFrame, 4);
        const int first = level.lastFrame / 3, second = level.lastFrame / 2;
        const Result r = RunQohost("run " + level.path + " --no-summary --hold 3600 --reload-at " +
                                   std::to_string(first) + " --reload-at " + std::to_string(second));
        ASSERT_EQ(r.code, 0) << r.err;
        for (int frame : {first, second})
            EXPECT_NE(r.out.find("== module reloaded at frame " + std::to_string(frame) + ":"), std::string::npos);
        EXPECT_FALSE(std::regex_search(r.out, std::regex(R"(reloaded at frame \d+: .* [1-9]\d* blocks? left)")))
            << "module blocks left after an unload:\n" << r.out;
        EXPECT_EQ(r.out.find("still allocated after teardown"), std::string::npos);
        if (!kReloadRestarts.count(name)) ExpectSameAfter(level, Lines(r.out), second, "reloaded");
    }
}

TEST(RunnerReload, EveryExampleLevelResumesFromACheckpointWhereItWasSaved) {
    for (const std::string& name : ExampleLevels()) {
        SCOPED_TRACE(name);
        const Level level = Uninterrupted(name);
        const int frame = level.lastFrame / 2;
        const std::string file = TestTempPath("_" + name + ".json");
        ASSERT_EQ(RunQohost("run " + level.path + " --quiet --save-at " + std::to_string(frame) + " '" + file + "'").code, 0);
        const Result r = RunQohost("run " + level.path + " --no-summary --hold 3600 --load '" + file + "'");
        std::remove(file.c_str());
        ASSERT_EQ(r.code, 0) << r.err;
        if (!kLoadRestarts.count(name)) ExpectSameAfter(level, Lines(r.out), frame, "loaded");
    }
}

// A game loads a checkpoint, plays on and saves the next one: the second load puts the movers
// where the uninterrupted run has them, not off by what the first load restored.
TEST(RunnerReload, ACheckpointSavedAfterALoadResumesToo) {
    const Level level = Uninterrupted("door_sequence");
    const int first = level.lastFrame / 3, second = level.lastFrame / 2;
    const std::string one = TestTempPath("_1.json"), two = TestTempPath("_2.json");
    ASSERT_EQ(RunQohost("run " + level.path + " --quiet --save-at " + std::to_string(first) + " '" + one + "'").code, 0);
    const Result chained = RunQohost("run " + level.path + " --quiet --load '" + one + "' --save-at " +
                                     std::to_string(second) + " '" + two + "'");
    ASSERT_EQ(chained.code, 0) << chained.err;
    const Result r = RunQohost("run " + level.path + " --no-summary --hold 3600 --load '" + two + "'");
    std::remove(one.c_str());
    std::remove(two.c_str());
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectSameAfter(level, Lines(r.out), second, "loaded twice", /*rounded=*/true);
}

TEST(RunnerReload, AHundredReloadsInOneRunLeakNothing) {
    std::string args = "run examples/levels/encounter.json --frames 120 --no-summary --hide method,console";
    for (int frame = 1; frame <= 100; ++frame) args += " --reload-at " + std::to_string(frame);
    const Result r = RunQohost(args);
    ASSERT_EQ(r.code, 0) << r.err;
    // Every unload gives back every block the module had: what is live does not grow.
    const std::regex line(R"(== module reloaded at frame (\d+): (\d+) script objects made again, 0 blocks left)");
    int reloads = 0;
    for (const std::string& l : Lines(r.out)) reloads += std::regex_search(l, line);
    EXPECT_EQ(reloads, 100) << r.out;
    EXPECT_EQ(r.out.find("still allocated after teardown"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("warning: allocator"), std::string::npos) << r.out;
}

// Saved values of a class whose layout is not the one the module has now are refused: the object
// keeps its map properties and its Init, with a warning, and the run goes on.
TEST(RunnerReload, StaleSavedValuesAreRefusedWithAWarning) {
    const std::string file = TestTempPath(".json");
    ASSERT_EQ(RunQohost("run examples/levels/door_sequence.json --quiet --save-at 300 '" + file + "'").code, 0);
    const std::string saved = ReadFile(file);
    struct Case {
        const char* what;
        std::regex from;
        const char* to;
        const char* warning;
    } cases[] = {
        {"another layout", std::regex(R"re("layout": "[0-9a-f]{16}")re"), R"("layout": "0000000000000001")",
         "warning: not loaded: vault_door.moverExtender: its class has another layout now"},
        {"other members", std::regex(R"re("moverExtender\+\d+")re"), R"("moverExtender+9999")",
         "warning: not loaded: vault_door.moverExtender: it hands over other members now"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(file, std::ios::binary) << std::regex_replace(saved, c.from, c.to);
        const Result r = RunQohost("run examples/levels/door_sequence.json --frames 320 --no-summary --load '" + file + "'");
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find(c.warning), std::string::npos) << r.out;
    }
    std::remove(file.c_str());
}

// A module built with moverExtender changed (one more member handed over: libquorin_changed_layout,
// tests/CMakeLists.txt) reloaded into a running level: both moverExtenders are named and start
// from their map properties, every other object goes on as in the uninterrupted run, and the
// unload leaves nothing behind.
TEST(RunnerReload, AChangedClassStartsFreshWhileTheOthersResume) {
    const std::string level = "run tests/data/levels/reload/changed_class.json --no-summary --hold 3600";
    const std::string reload = " --reload-at 200 --reload-from '" QUORIN_CHANGED_LAYOUT_LIBRARY "'";
    const std::string others = " --only gate,gate_lamp,gate_bell,gallery,statue_look,statue_light,ledge,pit_floor";

    const Result full = RunQohost(level + reload);
    ASSERT_EQ(full.code, 0) << full.err;
    EXPECT_NE(full.out.find("== module reloaded at frame 200: 8 script objects made again, 0 blocks left"),
              std::string::npos) << full.out;
    for (const char* who : {"vault_door", "vault_bolt"})
        EXPECT_NE(full.out.find(std::string("warning: not carried over: ") + who +
                                ".moverExtender: its class has another layout now; it starts from its map properties\n"),
                  std::string::npos) << full.out;
    EXPECT_EQ(full.out.find("still allocated after teardown"), std::string::npos) << full.out;
    // Fresh from the map: the second step on the plate plays the bolt's first command again
    // (back by 32) instead of the one after its wait (forward by 32).
    const std::string after = full.out.substr(full.out.find("== module reloaded"));
    EXPECT_NE(after.find("vault_bolt.LocalToWorldForOffset((-32 0 0))"), std::string::npos) << after;
    EXPECT_EQ(after.find("vault_bolt.LocalToWorldForOffset((32 0 0))"), std::string::npos) << after;

    // The other objects' records, but for the run's own notes, are those of the uninterrupted run.
    const auto records = [](const std::string& out) {
        std::vector<std::string> kept;
        for (const std::string& line : From(Lines(out), 0))
            if (line.rfind("warning: not carried over:", 0) != 0) kept.push_back(line);
        return kept;
    };
    const Result uninterrupted = RunQohost(level + others), cut = RunQohost(level + reload + others);
    ASSERT_EQ(uninterrupted.code, 0) << uninterrupted.err;
    ASSERT_EQ(cut.code, 0) << cut.err;
    EXPECT_GT(records(uninterrupted.out).size(), 20u);
    EXPECT_EQ(records(cut.out), records(uninterrupted.out));
}

// `--watch` as a rebuild meets it: a long run, the library file replaced while it runs (written
// aside and renamed over, as the run must never see half a file), the module reloaded at the end
// of that frame, and the run stopped by SIGINT afterwards as any run is.
TEST(RunnerReload, WatchReloadsWhenTheLibraryFileIsReplaced) {
    const std::string library = TestTempPath(".so"), out = TestTempPath(".out");
    const auto put = [&](const char* from) {
        std::filesystem::copy_file(from, library + ".new", std::filesystem::copy_options::overwrite_existing);
        std::filesystem::rename(library + ".new", library);
    };
    put(QUORIN_LIBRARY_PATH);
    std::remove(out.c_str());
    const pid_t pid = StartQohost({"--library", library, "run", "examples/levels/relay.json", "--frames", "2000000000",
                                   "--watch", "--timeout", "120", "--no-summary"},
                                  out);
    ASSERT_GT(pid, 0);
    const auto waitFor = [&](const std::string& text) {
        for (int i = 0; i < 1200 && ReadFile(out).find(text) == std::string::npos; ++i) usleep(50 * 1000);
        return ReadFile(out).find(text) != std::string::npos;
    };
    // The watch looks from the first frame on; once frames stream, a change is one it sees.
    const bool streaming = waitFor("-- frame 33 ");
    if (streaming) put(QUORIN_CHANGED_LAYOUT_LIBRARY);
    const bool reloaded = streaming && waitFor("== module reloaded at frame ");
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const std::string text = ReadFile(out);
    std::remove(out.c_str());
    std::remove(library.c_str());
    ASSERT_TRUE(streaming) << "the log did not stream:\n" << text;
    ASSERT_TRUE(reloaded) << "no reload seen:\n" << text.substr(text.size() > 3000 ? text.size() - 3000 : 0);
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(== module reloaded at frame \d+: \d+ script objects made again, 0 blocks left)")));
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 6) << text.substr(text.size() > 3000 ? text.size() - 3000 : 0);
    EXPECT_NE(text.find(") by SIGINT\n"), std::string::npos);
    EXPECT_EQ(text.find("still allocated after teardown"), std::string::npos);
}

// A checkpoint names its level: another level refuses it before anything runs. One without the
// world state (an older file) still loads, and the run says what starts afresh.
TEST(RunnerReload, CheckpointsOfAnotherLevelAreRefusedAndOldOnesLoadWithANote) {
    const std::string file = TestTempPath(".json");
    ASSERT_EQ(RunQohost("run examples/levels/walk_volumes.json --quiet --save-at 100 '" + file + "'").code, 0);
    const std::string saved = ReadFile(file);

    Result r = RunQohost("run examples/levels/door_sequence.json --frames 120 --no-summary --load '" + file + "'");
    EXPECT_EQ(r.code, 2) << r.out;
    EXPECT_NE(r.err.find("saved from the level 'Walk through volumes', not from 'Door sequence'"), std::string::npos)
        << r.err;

    nlohmann::json old = nlohmann::json::parse(saved);
    for (const char* key : {"version", "level", "world"}) old.erase(key);
    std::ofstream(file, std::ios::binary) << old.dump();
    r = RunQohost("run examples/levels/walk_volumes.json --frames 120 --no-summary --load '" + file + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("== the checkpoint holds no world state (a version 1 checkpoint)"), std::string::npos)
        << r.out;
    std::remove(file.c_str());
}

}  // namespace
