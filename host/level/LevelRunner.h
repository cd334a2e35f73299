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

#include "host/level/Level.h"

namespace qohost {

struct Entity;

class LevelRunner {
public:
    // The level must be loaded into the world already (LoadLevel).
    // What it does is recorded through the world's sinks (the printed log: RunLog; the trace:
    // TraceSink).
    LevelRunner(World& world, const LevelDesc& level);

    // Frame 0: delivers the timeline's frame-0 events. Call once, before Step/Run.
    void Start();
    // One frame: World::RunFrame, then the events of the frame it reached.
    void Step();
    // The timeline goes on after `frame`: its events up to that frame are not delivered.
    void SkipTimelineTo(int64_t frame) {
        while (nextEvent < level.timeline.size() && level.timeline[nextEvent].frame <= frame) ++nextEvent;
    }
    // Runs until the world reaches `lastFrame`.
    void RunUntil(int32_t lastFrame);

    // Delivers one timeline event now: its host effect, then its event entry on every script
    // object of the receiver that handles the event. Public for tests.
    void Deliver(const LevelEvent& event);

private:
    // Event entry `name` (one of the named entries) on every object of `receiver` that
    // handles it, with the arguments its shape takes from `event`.
    void SendEntry(Entity& receiver, const char* name, const LevelEvent& event);
    uint32_t Handle(const std::string& name);

    World& world;
    const LevelDesc& level;
    size_t nextEvent = 0;   // index into level.timeline
    std::string eventText_;  // the text of the event being recorded, reused
};

// A short text of a timeline event, as the log and the trace show it, appended to `out`.
void DescribeEvent(const LevelEvent& event, std::string& out);

}  // namespace qohost
