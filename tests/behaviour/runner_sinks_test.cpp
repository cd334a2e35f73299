// The record sinks on a real run of the relay level: the printed log shows exactly the records
// the in-memory recorder takes, the streamed trace is a complete trace-event document with an
// event for each record it wants, and a world whose stack pool runs dry says so and runs on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/world/Console.h"
#include "host/records/RunLog.h"
#include "host/records/TraceSink.h"
#include "host/records/TraceWriter.h"
#include "tests/behaviour/scripts_levels.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string kRelay = QUORIN_SOURCE_DIR "/examples/levels/relay.json";

// The printed log expanded back to one "FRAME LINE" per record: headings give the frames
// ("-- frame 3 (...)"; "-- frames 10 to 31 (...): as frame 9" repeats frame 9's lines), "(xN)"
// repeats a line, and a call's answer (" -> ...") is left out.
std::vector<std::string> ExpandLog(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    uint64_t frame = 0;
    bool pending = false;            // the lines of `frame` are not out yet
    std::vector<std::string> lines;  // of the last frame printed with its lines
    auto emit = [&](uint64_t first, uint64_t last) {
        for (uint64_t f = first; f <= last; ++f)
            for (const std::string& line : lines) out.push_back(std::to_string(f) + " " + line);
    };
    for (std::string line; std::getline(in, line);) {
        unsigned long long a = 0, b = 0, as = 0;
        if (line.rfind("-- frame", 0) == 0 && line.find(": as frame ") != std::string::npos) {
            if (std::sscanf(line.c_str(), "-- frames %llu to %llu", &a, &b) != 2) {
                std::sscanf(line.c_str(), "-- frame %llu", &a);
                b = a;
            }
            std::sscanf(line.c_str() + line.find(": as frame "), ": as frame %llu", &as);
            EXPECT_EQ(as, frame) << line;
            if (pending) emit(frame, frame);
            pending = false;
            emit(a, b);
            continue;
        }
        if (std::sscanf(line.c_str(), "-- frame %llu", &a) == 1) {
            if (pending) emit(frame, frame);
            lines.clear();
            frame = a;
            pending = true;
            continue;
        }
        int count = 1;
        const size_t open = line.rfind(" (x");
        if (open != std::string::npos && line.back() == ')' &&
            std::sscanf(line.c_str() + open, " (x%d)", &count) == 1)
            line.resize(open);
        const size_t answer = line.find(" -> ");
        if (answer != std::string::npos && line.rfind("   ", 0) == 0) line.resize(answer);
        for (int i = 0; i < count; ++i) lines.push_back(line);
    }
    if (pending) emit(frame, frame);
    return out;
}

class RunnerSinksTest : public scripts_test::LevelTest {
protected:
    void RunRelay() {
        Load(ReadFile(kRelay));
        RunUntil(level.DefaultRunFrames());
    }
};

TEST_F(RunnerSinksTest, TheRecorderSeesWhatTheLogPrints) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    ASSERT_NE(out, nullptr);
    qohost::RunLog log(out);
    // The kinds the recorder's lines are compared in, every query printed.
    log.SetKinds(qohost::MaskOf(qohost::RecordKind::Console) | qohost::MaskOf(qohost::RecordKind::Timeline) |
                 qohost::MaskOf(qohost::RecordKind::Method) | qohost::MaskOf(qohost::RecordKind::Event));
    log.ShowAllQueries(true);
    world->AddSink(log);
    RunRelay();
    log.Finish();
    world->RemoveSink(log);
    std::fclose(out);
    const std::string printed(buffer, size);
    std::free(buffer);

    std::vector<std::string> kept;
    for (const qohost::KeptRecord& r : world->recorder.Records()) {
        std::string line;
        switch (r.kind) {
            case qohost::RecordKind::Console: line = qohost::Console::StripColors(r.text); break;
            case qohost::RecordKind::Timeline: line = "   > " + r.text; break;
            case qohost::RecordKind::Method:
            case qohost::RecordKind::Event: line = "   " + r.text; break;
            default: continue;
        }
        kept.push_back(std::to_string(r.frame) + " " + line);
    }
    EXPECT_GT(kept.size(), 1000u);  // the relay level runs 1375 frames of calls and events
    EXPECT_EQ(ExpandLog(printed), kept);
}

TEST_F(RunnerSinksTest, TheStreamedTraceIsATraceEventDocument) {
    const std::string path = ::testing::TempDir() + "qohost_runner_sinks_trace_" + std::to_string(::getpid()) + ".json";
    qohost::TraceWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, "relay", error)) << error;
    qohost::TraceSink sink(*world, writer);
    world->AddSink(sink);
    RunRelay();
    sink.Finish();
    world->RemoveSink(sink);
    ASSERT_TRUE(writer.Close(error)) << error;

    const nlohmann::json doc = nlohmann::json::parse(ReadFile(path), nullptr, false);
    std::remove(path.c_str());
    ASSERT_FALSE(doc.is_discarded()) << "not valid JSON";
    ASSERT_TRUE(doc["traceEvents"].is_array());
    EXPECT_EQ(doc["displayTimeUnit"], "ms");
    size_t instants = 0, threadSlices = 0, counters = 0;
    for (const auto& ev : doc["traceEvents"]) {
        ASSERT_TRUE(ev["name"].is_string()) << ev;
        ASSERT_TRUE(ev["pid"].is_number() && ev["tid"].is_number()) << ev;
        const std::string ph = ev["ph"];
        ASSERT_TRUE(ph == "M" || ph == "X" || ph == "i" || ph == "C") << ev;
        if (ph == "M") continue;
        ASSERT_GE(ev["ts"].get<int64_t>(), 0) << ev;
        if (ph == "i") ++instants;
        if (ph == "C") {
            ASSERT_TRUE(ev["args"]["dB"].is_number()) << ev;
            ++counters;
        }
        if (ph == "X") {
            ASSERT_GE(ev["dur"].get<int64_t>(), 0) << ev;
            threadSlices += ev["cat"] == "thread";
        }
    }
    // An instant for each method call, console line and timeline event; a counter value for
    // each sound record (the vault timer's ticks); a life slice for each thread that started.
    const auto& r = world->recorder;
    EXPECT_EQ(instants, r.Count("method") + r.Count("console") + r.Count("timeline"));
    EXPECT_EQ(counters, r.Count("sound"));
    EXPECT_GT(counters, 0u);
    size_t starts = 0;
    for (const std::string& text : r.TextsOfKind("thread")) starts += text.rfind("start ", 0) == 0;
    EXPECT_EQ(threadSlices, starts);
    EXPECT_GT(starts, 3u);
}

// A world whose pool has stacks for only two threads: the Init threads that find none are
// reported on the console, counted, and the level runs on and tears down cleanly.
class RunnerStackLimitTest : public RunnerSinksTest {
protected:
    qohost::WorldOptions Options() override {
        qohost::WorldOptions options;
        options.threads.maxStacks = 2;
        return options;
    }
};

TEST_F(RunnerStackLimitTest, ThreadsThatFindNoStackAreReportedAndTheLevelRunsOn) {
    RunRelay();
    const std::vector<std::string> failed = Console("was not created");
    ASSERT_FALSE(failed.empty());
    EXPECT_EQ(failed.size(), world->ThreadFailures());
    EXPECT_EQ(failed[0],
              "0 qohost: script thread \"Init\" on relay_bridge.triggerLerpDelay was not created: "
              "the limit of 2 fiber stacks is reached");
    EXPECT_LE(world->scheduler.LiveCount(), 2u);
    EXPECT_EQ(world->Frame(), static_cast<uint64_t>(level.DefaultRunFrames()));
}

}  // namespace
