// The trace of a run, written as it happens: a sink that turns records into trace events on a
// streaming TraceWriter. A track per script thread shows its life, its waits and held actions
// as slices and its method calls and console lines as instant events; the host track (0) shows
// timeline events, and method calls and console lines outside threads. Runs of frame waits with
// nothing in between become one slice with a frame count. Each mover has two tracks, its moves
// and its rotations: a slice ends at its planned end, or earlier when the mover is stopped or
// starts another one of the same kind. Each sound channel of an entity gets a counter track of
// its volume ("<entity> ch<N> <shader> volume", series "dB", the shader being the one that
// played first on it), written at every change and every frame of a fade; a channel that
// stops drops to kSilenceDb (host/sim/sound/Sound.h).
//
// What happened to entities (crossings, health changes, deaths, spawns, the host's notes, the
// screen) are instant events on a track per entity ("entity NAME"), each with the frame and the
// entity as arguments. Mover slices carry where the move starts and ends ("from", "to"). Waits
// that take no time are not written.
//
// It keeps state only for the threads alive now and a name per sound channel that was heard, so
// a run of any length takes bounded memory.
// Attach it before the level loads to see the load.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "host/records/Recorder.h"
#include "host/records/TraceWriter.h"

namespace qohost {

class World;

class TraceSink final : public RecordSink {
public:
    // The writer must be open; the world names the owners of threads.
    TraceSink(World& world, TraceWriter& writer);

    void Take(const Record& record) override;
    // Ends the slices of the threads still running at the time of the last record ("end":
    // "still running"). Call once, before the writer is closed.
    void Finish();

private:
    struct Track {
        uint32_t process = TraceTrack::kHostProcess;  // its entity's, when it has one
        std::string name;
        int64_t startUs = 0;
        bool waiting = false;
        bool pending = false;  // a wait slice not yet written (it may still be extended)
        bool active = false;   // the thread did something since the pending wait ended
        std::string waitName;
        const char* waitCategory = "wait";
        int64_t waitStartUs = 0, waitEndUs = 0;
        int frames = 0;
        std::string lastMethod;
    };
    struct MoverSlice {
        std::string what;
        int64_t startUs = 0, endUs = 0;
        TraceWriter::Json args;
    };
    static constexpr uint32_t kFirstMoverTrack = 1u << 30;
    static constexpr uint32_t kFirstEntityTrack = 1u << 29;
    // The process of an entity's tracks, named when first used; the host's for none.
    uint32_t EntityProcess(uint32_t handle);
    void EntityEvent(const Record& record, int64_t us);
    void ThreadEvent(const Record& record, int64_t us);
    void WritePendingWait(uint32_t id, Track& track);
    void MoverEvent(const Record& record, int64_t us);
    void CloseMover(uint32_t handle, bool turn, int64_t us);
    void SoundEvent(const Record& record, int64_t us);

    World& world_;
    TraceWriter& trace_;
    std::unordered_map<uint32_t, Track> threads_;
    std::map<std::pair<uint32_t, bool>, MoverSlice> movers_;  // open slices by (handle, rotation)
    std::set<uint32_t> namedMoverTracks_;
    std::set<uint32_t> namedEntityTracks_;
    std::unordered_map<uint32_t, uint32_t> entityProcesses_;  // by entity handle
    std::unordered_map<uint64_t, std::string> soundTracks_;  // by entity << 32 | channel
    int64_t lastUs_ = 0;
};

}  // namespace qohost
