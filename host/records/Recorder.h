// What happens in the world, as typed records handed to sinks as it happens.
//
// Each happening (a console line, an entity-method call with its decoded arguments, a thread
// start, wait or end, a debug draw, a timeline event, ...) becomes a small Record: its kind,
// when it happened, the entity it is about, an interned name and a pointer to the happening's
// own data. Its text is built only when a sink asks for it (Record::Text). The world hands each
// record to the sinks attached to it that want its kind; a kind that no sink wants is not
// recorded at all (World::Wants is checked before anything is built).
//
// Sinks: the printed log of a run (LevelRunner), the streaming trace writer (TraceSink), and
// the in-memory Recorder below, which tests attach to assert on what happened.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quorin/qoTypes.h"

namespace qohost {

enum class RecordKind : uint8_t {
    Module,     // the module interface calls of the host (SetSystem, Reset, ...)
    Level,      // level loading and clearing
    Entity,     // entities spawned and removed
    Object,     // script objects created and destroyed
    Console,    // a print of the module (colour codes kept)
    Cvar,       // console variables set by the module
    Thread,     // a script thread started, suspended, resumed or ended (ThreadRecord)
    Method,     // an entity-method call, its refusal or its failure
    Event,      // an event entry the host called on a script object, or a monster's awareness
    Timeline,   // a timeline event of the level
    Draw,       // a debug draw (DebugDraw)
    Trace,      // a ray trace started
    Script,     // a script function called by name
    DevWindow,  // a dev window flushed (DevWindowItems)
    State,      // the state stream handed out
    Screen,     // what the player's screen shows, as it changes: on-screen text, panels
    Host,       // the host's own notices (resource limits, ...)
    Mover,      // a mover's move or rotation started or stopped (host/sim/movers/Movers.cpp)
    Sound,      // a sound channel started, faded or stopped, or its volume during a fade
                // (SoundChange, host/sim/sound/Sound.h)
    Crossing,   // an entity entered or left a volume or trigger ("player1 entered arena")
    Health,     // an entity's health changed ("player1 health 100 -> 75 (hurt_zone)")
    Death,      // an entity died, and why ("imp_1 died: lifetime")
};
constexpr unsigned kRecordKindCount = 22;

// How much a record matters to whoever judges a run: a host record says what it is (a fact for
// the summary, or the host failing to do what a script needed); other kinds leave it None and
// are judged by their kind.
enum class Severity : uint8_t { None, Notice, Warning, Error };

using RecordMask = uint32_t;
constexpr RecordMask MaskOf(RecordKind kind) { return RecordMask{1} << static_cast<unsigned>(kind); }
constexpr RecordMask kAllRecords = (RecordMask{1} << kRecordKindCount) - 1;

// "module", "level", "entity", "object", "console", "cvar", "thread", "method", "event",
// "timeline", "draw", "trace", "script", "devwindow", "state", "screen", "host", "mover",
// "sound", "crossing", "health", "death".
const char* RecordKindName(RecordKind kind);
// False for a name that is no kind.
bool RecordKindByName(std::string_view name, RecordKind& kind);

// Interned names: each distinct text gets a small id, the same for as long as the table lives.
// Id 0 is the empty name.
class NameTable {
public:
    NameTable() { names_.emplace_back(); }
    uint32_t Intern(std::string_view name);
    std::string_view Name(uint32_t id) const;

private:
    std::deque<std::string> names_;  // stable addresses: the map keys view them
    std::unordered_map<std::string_view, uint32_t> ids_;
};

struct Record {
    RecordKind kind = RecordKind::Host;
    Severity severity = Severity::None;
    uint64_t frame = 0;
    int64_t timeMs = 0;
    uint32_t thread = 0;   // the calling script thread, 0 outside any
    uint32_t entity = 0;   // the entity it is about, 0 for none
    uint32_t name = 0;     // an interned name (the world's NameTable): event or thread name
    int32_t number = 0;    // a number of the kind: method number, object index, ...
    // Text the happening carries anyway (a console line) or that a rare kind builds up front.
    // Valid only while the record is being handed out.
    std::string_view text;
    // The happening's own data (ThreadRecord, DebugDraw, DevWindowItems, a method call), valid
    // only while the record is being handed out; `format` appends the text built from it to
    // `out` (a sink's reused buffer: no text of its own per record).
    const void* detail = nullptr;
    void (*format)(const Record&, std::string& out) = nullptr;
    // For a call that answers (kind "method"): appends the answer, as the printed log shows it
    // after the call ("arena.IsEntityInVolume(player1) -> true"); null for none.
    void (*answer)(const Record&, std::string& out) = nullptr;

    // One line, as the log prints it (colour codes of console lines kept), appended to `out`.
    void AppendText(std::string& out) const {
        if (format) format(*this, out);
        else out.append(text);
    }
    std::string Text() const {
        std::string out;
        AppendText(out);
        return out;
    }
};

// One debug draw request (host slots 39, 41 to 47): the detail of a Draw record.
struct DebugDraw {
    uint64_t frame = 0;
    std::string shape;  // "line", "arrow", "circle", "box", "sphere", "text", "bounds"
    std::string text;   // text draws only
    qoColor color;      // for text: r, g, b from the rgb vector, a = 1
    qoVector a, b, c, d;  // shape points: line/arrow start,end; circle origin,dir; box mins,
                          // maxs,origin,angles; sphere origin; text position; bounds mins,maxs
    float radius = 0.0f;
    float scale = 0.0f;
    int32_t size = 0;   // arrow size, circle points, text alignment
    float lifetime = 0.0f;
    bool depthTest = false;
};

// The items of one dev window flush: the detail of a DevWindow record.
using DevWindowItems = std::vector<std::pair<std::string, std::string>>;

// Receives the records of the kinds it wants, in the order they happen.
class RecordSink {
public:
    // The kinds this sink receives. The world reads it when the sink is attached; after a
    // change call World::SinksChanged.
    RecordMask wants = kAllRecords;
    virtual void Take(const Record& record) = 0;

protected:
    ~RecordSink() = default;
};

// A record as the in-memory sink keeps it: stamped, with its text built.
struct KeptRecord {
    uint64_t frame = 0;
    int64_t timeMs = 0;
    uint32_t thread = 0;
    RecordKind kind = RecordKind::Host;
    std::string text;
};

// The in-memory sink: keeps every record it takes (with its text), the debug draws and the dev
// window flushes. For tests and tools that assert on a whole run; it grows with the run.
class Recorder final : public RecordSink {
public:
    void Take(const Record& record) override;

    const std::vector<KeptRecord>& Records() const { return records_; }
    std::vector<KeptRecord> OfKind(std::string_view kind) const;
    std::vector<std::string> TextsOfKind(std::string_view kind) const;
    size_t Count(std::string_view kind) const;
    // Forgets the records, draws and flushes taken so far.
    void Clear();

    std::vector<DebugDraw> draws;
    std::vector<DevWindowItems> devWindowFlushes;

private:
    std::vector<KeptRecord> records_;
};

}  // namespace qohost
