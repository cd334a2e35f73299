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
#include <string_view>
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
    // The lines of a frame in one reused buffer: each line's text, then its answer, one after
    // the other in `chars`. Taking a record appends to it; nothing is allocated per record once
    // the buffers have grown to a frame's size.
    struct FrameLines {
        uint64_t first = 0, last = 0;
        int64_t firstMs = 0, lastMs = 0;
        struct Line {
            uint32_t at = 0;      // the text starts at chars[at]
            uint32_t size = 0;    // then `size` characters of text
            uint32_t answer = 0;  // and `answer` characters of the answer of a query: " -> 3"
            int count = 1;        // times repeated in a row
        };
        std::string chars;
        std::vector<Line> lines;

        std::string_view Text(const Line& l) const { return std::string_view(chars).substr(l.at, l.size); }
        std::string_view Answer(const Line& l) const { return std::string_view(chars).substr(l.at + l.size, l.answer); }
        std::string_view Whole(const Line& l) const { return std::string_view(chars).substr(l.at, l.size + l.answer); }
        // The same lines (text and count); answers may differ.
        bool SameLines(const FrameLines& o) const;
        void Clear() {
            chars.clear();
            lines.clear();
        }
    };
    // False for a query that answers as it did in the frame before (folded away); `answer_`
    // gets the answer either way.
    bool FreshAnswer(const Record& record, std::string_view call);
    void CloseFrame();
    void PrintFrame(const FrameLines& frame);
    void PrintRepeats();

    bool Involves(const Record& record, std::string_view text) const;

    FILE* out_;
    bool methods_;
    RecordMask kinds_;
    std::vector<std::string> only_;
    World* world_ = nullptr;
    size_t players_ = SIZE_MAX;  // unknown: nothing folded
    bool allQueries_ = false;
    // The last answer of each query of one frame, by its call's text: the texts in one buffer,
    // found through an open-addressed index. Emptied, not freed, when a frame is over, so it
    // stays the size of the busiest frame.
    class Answers {
    public:
        // False when `call` was not asked in this frame; `hash` is Hash(call).
        bool Find(std::string_view call, size_t hash, std::string_view& answer) const;
        void Put(std::string_view call, size_t hash, std::string_view answer);
        void Clear();
        static size_t Hash(std::string_view call);

    private:
        struct Slot {
            size_t hash = 0;
            uint32_t used = 0;                      // used in this frame when equal to frame_
            uint32_t at = 0, size = 0;              // the call's text in chars_
            uint32_t answerAt = 0, answerSize = 0;  // its last answer in chars_
        };
        size_t Seek(std::string_view call, size_t hash) const;  // its slot, or the empty one for it
        std::string_view Chars(uint32_t at, uint32_t size) const { return std::string_view(chars_).substr(at, size); }
        std::string chars_;
        std::vector<Slot> slots_;  // a power of two in size, at most half used
        size_t used_ = 0;
        uint32_t frame_ = 1;  // a new number for each frame: emptying touches no slot
    };
    Answers answers_, answersBefore_;  // of the frame `answersFrame_` and of the frame before
    uint64_t answersFrame_ = 0;
    std::string answer_;  // the answer being looked at
    std::string line_;    // the line being taken
    uint64_t foldedQueries_ = 0;
    std::vector<std::string> foldedLookups_;
    std::set<std::string> shownProblems_;  // warnings and failed calls printed once
    uint64_t foldedProblems_ = 0;
    FrameLines frame_;    // the frame being collected
    FrameLines printed_;  // the last frame printed (first); up to last the frames repeated it
    uint64_t told_ = 0;   // the last of those repeats that a line has told
    bool otherAnswers_ = false;  // some of those repeats had other answers to the same queries
    std::string print_;   // what is printed next, written out at once
    std::chrono::duration<double> hold_;
    std::chrono::steady_clock::time_point repeatsSince_;  // when the repeats began to be held
};

}  // namespace qohost
