// Running a loaded level: the frame loop, the timeline of host events, the printed log and the
// trace of a run.
//
// Frame 0 is the load: Init threads run to their first wait, then the timeline's frame-0
// events are delivered. Each later frame advances the world (clock, due script threads,
// simulated movers), then delivers that frame's timeline events through the event entry
// slots; threads that poll a flag set by an event see it on the next frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/Level.h"

namespace qohost {

class TraceWriter;
struct Entity;

struct RunLogOptions {
    FILE* out = nullptr;     // where the log goes; null: nowhere
    bool methods = true;     // entity-method calls and timeline events under frame headers
};

class LevelRunner {
public:
    // The level must be loaded into the world already (LoadLevel).
    LevelRunner(World& world, const LevelDesc& level, RunLogOptions log = {});

    // Frame 0: delivers the timeline's frame-0 events. Call once, before Step/Run.
    void Start();
    // One frame: World::RunFrame, then the events of the frame it reached.
    void Step();
    // Runs until the world reaches `lastFrame`.
    void RunUntil(int32_t lastFrame);

    // Delivers one timeline event now: its host effect, then its event entry on every script
    // object of the receiver that handles the event. Public for tests.
    void Deliver(const LevelEvent& event);

    // Prints the records made since the last call: console lines as the scripts printed them
    // (colour codes removed) and, unless off, timeline events, the event entries the host
    // called and the entity-method calls the scripts made, under a heading per frame. The log
    // is compact: a line repeated within a frame is printed once with its count ("(x2)"), and
    // consecutive frames that print the same lines are printed once ("-- frames 9 to 31 ...,
    // each frame:"). A frame is printed once a later one has begun or EndOutput is called.
    void Flush();
    // Flushes and prints what is still held back (the last frames).
    void EndOutput();

    // Builds the trace of everything recorded so far: a track per script thread (its life, its
    // waits and held actions as slices, its method calls as instant events) and a host track
    // (timeline events, method calls and console lines outside threads).
    void WriteTrace(TraceWriter& trace) const;

private:
    // Event entry `name` (one of the named entries) on every object of `receiver` that
    // handles it, with the arguments its shape takes from `event`.
    void SendEntry(Entity& receiver, const char* name, const LevelEvent& event);
    uint32_t Handle(const std::string& name);

    World& world;
    const LevelDesc& level;
    RunLogOptions log;
    size_t nextEvent = 0;   // index into level.timeline
    size_t printed = 0;     // records already printed

    // The log's frames: the one being collected, and the run of identical ones before it.
    struct FrameLines {
        uint64_t first = 0, last = 0;
        int32_t firstMs = 0, lastMs = 0;
        std::vector<std::pair<std::string, int>> lines;  // text, times repeated in a row
    };
    void CloseFrame();
    void PrintRun();
    FrameLines frame;
    FrameLines run;
};

// A short text of a timeline event, as the log and the trace show it.
std::string DescribeEvent(const LevelEvent& event);

}  // namespace qohost
