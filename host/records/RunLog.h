// The printed log of a run: a sink that prints the console lines as the scripts printed them
// (colour codes removed) and, unless off, timeline events, the event entries the host called,
// the entity-method calls the scripts made and the changes of the player's screen, under a
// heading per frame.
//
// The log is compact: a line repeated within a frame is printed once with its count ("(x2)"),
// and consecutive frames that print the same lines are printed once ("-- frames 9 to 31 ...,
// each frame:"). A frame is printed once a record of a later frame arrives, or by Finish.
// Attach it before the level loads to see the load (frame 0).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "host/records/Recorder.h"

namespace qohost {

class RunLog final : public RecordSink {
public:
    // `methods` false: console lines only, printed as they come, without frame headings.
    explicit RunLog(FILE* out, bool methods = true);

    void Take(const Record& record) override;
    // Prints what is still held back (the last frames) and flushes the stream. The log can go
    // on afterwards (records of a teardown).
    void Finish();

private:
    struct FrameLines {
        uint64_t first = 0, last = 0;
        int64_t firstMs = 0, lastMs = 0;
        std::vector<std::pair<std::string, int>> lines;  // text, times repeated in a row
    };
    void CloseFrame();
    void PrintRun();

    FILE* out_;
    bool methods_;
    FrameLines frame_;  // the frame being collected
    FrameLines run_;    // the run of identical frames before it
};

}  // namespace qohost
