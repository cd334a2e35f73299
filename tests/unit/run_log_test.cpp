// The printed log's folding: queries that answer as in the frame before, lines repeated in a
// row, frames that repeat the frame before, and texts as C strings.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/records/RunLog.h"

namespace qohost {
namespace {

// A query record: "<call>" answering "<answer>".
struct Query {
    std::string call, answer;
};

class RunLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = std::tmpfile();
        ASSERT_NE(out_, nullptr);
    }
    void TearDown() override { std::fclose(out_); }

    void Ask(RunLog& log, uint64_t frame, const Query& q) {
        Record r;
        r.kind = RecordKind::Method;
        r.frame = frame;
        r.timeMs = static_cast<int64_t>(frame) * 16;
        r.detail = &q;
        r.format = [](const Record& rec, std::string& text) { text += static_cast<const Query*>(rec.detail)->call; };
        r.answer = [](const Record& rec, std::string& text) { text += static_cast<const Query*>(rec.detail)->answer; };
        log.Take(r);
    }
    void Say(RunLog& log, uint64_t frame, std::string_view text) {
        Record r;
        r.kind = RecordKind::Console;
        r.frame = frame;
        r.timeMs = static_cast<int64_t>(frame) * 16;
        r.text = text;
        log.Take(r);
    }
    std::string Printed(RunLog& log) {
        log.Finish();
        std::string text(static_cast<size_t>(std::ftell(out_)), '\0');
        std::rewind(out_);
        text.resize(std::fread(text.data(), 1, text.size(), out_));
        return text;
    }

    FILE* out_ = nullptr;
};

TEST_F(RunLogTest, QueriesAnsweringAsInTheFrameBeforeAreFolded) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint64_t, Query>> asked;  // in order
        std::string printed;
        uint64_t folded;
    };
    const Case cases[] = {
        {"the same answer in the next frame is folded",
         {{1, {"a.IsOn()", "true"}}, {2, {"a.IsOn()", "true"}}},
         "-- frame 1 (0.016 s)\n   a.IsOn() -> true\n",
         1},
        {"another answer is not folded; the frame repeats the one before but for it",
         {{1, {"a.IsOn()", "true"}}, {2, {"a.IsOn()", "false"}}},
         "-- frame 1 (0.016 s)\n   a.IsOn() -> true\n-- frame 2 (0.032 s): as frame 1, other answers\n",
         0},
        {"a frame without the query in between: printed again",
         {{1, {"a.IsOn()", "true"}}, {3, {"a.IsOn()", "true"}}},
         "-- frame 1 (0.016 s)\n   a.IsOn() -> true\n-- frame 3 (0.048 s)\n   a.IsOn() -> true\n",
         0},
        {"the last answer of the frame before counts",
         {{1, {"a.IsOn()", "true"}}, {1, {"a.IsOn()", "false"}}, {2, {"a.IsOn()", "false"}}},
         "-- frame 1 (0.016 s)\n   a.IsOn() -> true\n   a.IsOn() -> false\n",
         1},
        {"the same call twice in a frame, answered as before both times",
         {{1, {"a.IsOn()", "true"}}, {2, {"a.IsOn()", "true"}}, {2, {"a.IsOn()", "true"}}},
         "-- frame 1 (0.016 s)\n   a.IsOn() -> true\n",
         2},
        {"calls are told apart by their whole text",
         {{1, {"a.GetTarget(1)", "b"}}, {2, {"a.GetTarget(10)", "b"}}},
         "-- frame 1 (0.016 s)\n   a.GetTarget(1) -> b\n-- frame 2 (0.032 s)\n   a.GetTarget(10) -> b\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::rewind(out_);
        RunLog log(out_);
        for (const auto& [frame, q] : c.asked) Ask(log, frame, q);
        const std::string printed = Printed(log);
        EXPECT_EQ(printed.substr(0, c.printed.size()), c.printed);
        EXPECT_EQ(printed.size(), c.printed.size()) << printed;
        EXPECT_EQ(log.FoldedQueries(), c.folded);
    }
}

TEST_F(RunLogTest, ManyQueriesAFrameAreAllRemembered) {
    // More calls than the answer table first holds: every one found again the next frame.
    RunLog log(out_);
    std::vector<Query> queries;
    for (int i = 0; i < 500; ++i) queries.push_back({"s" + std::to_string(i) + ".NumTargets()", std::to_string(i % 7)});
    for (uint64_t frame = 1; frame <= 3; ++frame)
        for (const Query& q : queries) Ask(log, frame, q);
    Printed(log);
    EXPECT_EQ(log.FoldedQueries(), 2 * queries.size());
}

TEST_F(RunLogTest, RepeatedLinesAndFramesAreCounted) {
    RunLog log(out_);
    for (uint64_t frame = 1; frame <= 4; ++frame) {
        Say(log, frame, "tick");
        Say(log, frame, "tick");
        log.FrameDone();
    }
    Say(log, 5, "tock");
    EXPECT_EQ(Printed(log),
              "-- frame 1 (0.016 s)\ntick (x2)\n"
              "-- frames 2 to 4 (to 0.064 s): as frame 1\n"
              "-- frame 5 (0.080 s)\ntock\n");
}

TEST_F(RunLogTest, ATextEndsAtANul) {
    RunLog log(out_);
    Say(log, 1, std::string_view("shown\0hidden", 12));
    EXPECT_EQ(Printed(log), "-- frame 1 (0.016 s)\nshown\n");
}

}  // namespace
}  // namespace qohost
