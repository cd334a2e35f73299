// The printed log of a run: a sink that prints the console lines as the scripts printed them
// (colour codes removed) and, unless off, timeline events, the event entries the host called,
// the entity-method calls the scripts made and the changes of the player's screen, under a
// heading per frame.
//
// The log is compact: a line repeated within a frame is printed once with its count ("(x2)"),
// and consecutive frames that print the same lines as the frame before them are one line
// ("-- frames 10 to 31 (...): as frame 9"; "as frame 9, other answers" when the same queries
// answered otherwise, as a moving lift's GetWorldOrigin does). The log streams: a frame is printed as soon as it
// is over (FrameDone, or a record of a later frame), so only the frame in progress is held
// back; of a run of repeated frames only their count waits, and its line is printed when the
// run ends, by Finish, or by FrameDone once the run has been held for a second.
// Attach it before the level loads to see the load (frame 0).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/records/Recorder.h"

namespace qohost {

class World;

class RunLog final : public RecordSink {
public:
    // What the log prints unless told otherwise: the console, timeline events, event entries,
    // entity-method calls, the screen, and what happened to entities.
    static const RecordMask kDefaultKinds;

    // `methods` false: console lines only, printed as they come, without frame headings.
    // `hold`: the longest a count of repeated frames waits before FrameDone prints it.
    explicit RunLog(FILE* out, bool methods = true, std::chrono::duration<double> hold = std::chrono::seconds(1));

    void Take(const Record& record) override;
    // The level's player count: the world utility's warnings for entities such a level need
    // not have (players beyond the count, the AI conductor) are folded away and only counted.
    void SetPlayers(size_t players) { players_ = players; }
    // Queries (calls that answer) that answer the same as they did in the frame before are
    // folded away unless `all`.
    void ShowAllQueries(bool all) { allQueries_ = all; }
    uint64_t FoldedQueries() const { return foldedQueries_; }
    // Warnings and failed calls not printed because the same line was printed before.
    uint64_t FoldedProblems() const { return foldedProblems_; }
    // The kinds of records printed (RunLog::kDefaultKinds unless changed); call before the
    // sink is attached, or call World::SinksChanged after.
    void SetKinds(RecordMask kinds);
    // Only records that involve one of these names: an entity (the record is about it, or its
    // text names it), an entity's host class, or a word of the text (a script class). Empty:
    // every record.
    void Only(std::vector<std::string> names, World& world);
    // The names of those folded warnings, in the order they came.
    const std::vector<std::string>& FoldedLookups() const { return foldedLookups_; }
    // The frame in progress is over: prints it (unless it repeats the frame before) and
    // flushes the stream.
    void FrameDone();
    // Prints what is still held back (the last frame, a count of repeated frames) and flushes
    // the stream. The log can go on afterwards (records of a teardown).
    void Finish();

private:
    struct FrameLines {
        uint64_t first = 0, last = 0;
        int64_t firstMs = 0, lastMs = 0;
        struct Line {
            std::string text, answer;  // the answer of a query: " -> 3"
            int count = 1;             // times repeated in a row
            bool operator==(const Line& o) const { return text == o.text && count == o.count; }
        };
        std::vector<Line> lines;
    };
    // False for a query that answers as it did in the frame before (folded away); `shown` gets
    // the answer as the line shows it.
    bool FreshAnswer(const Record& record, std::string& shown);
    void CloseFrame();
    void PrintFrame(const FrameLines& frame);
    void PrintRepeats();

    bool Involves(const Record& record, const std::string& text) const;

    FILE* out_;
    bool methods_;
    RecordMask kinds_;
    std::vector<std::string> only_;
    World* world_ = nullptr;
    size_t players_ = SIZE_MAX;  // unknown: nothing folded
    bool allQueries_ = false;
    struct Answer {
        std::string text;    // the last answer, in `frame`
        uint64_t frame = 0;
        std::string before;  // the last answer of the frame before (a mark when none)
    };
    std::unordered_map<std::string, Answer> answers_;  // by call, those of this frame and the last
    uint64_t answersFrame_ = 0;
    uint64_t foldedQueries_ = 0;
    std::vector<std::string> foldedLookups_;
    std::set<std::string> shownProblems_;  // warnings and failed calls printed once
    uint64_t foldedProblems_ = 0;
    FrameLines frame_;    // the frame being collected
    FrameLines printed_;  // the last frame printed (first); up to last the frames repeated it
    uint64_t told_ = 0;   // the last of those repeats that a line has told
    bool otherAnswers_ = false;  // some of those repeats had other answers to the same queries
    std::chrono::duration<double> hold_;
    std::chrono::steady_clock::time_point repeatsSince_;  // when the repeats began to be held
};

}  // namespace qohost
