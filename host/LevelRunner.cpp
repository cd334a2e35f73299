#include "host/LevelRunner.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "host/Methods.h"
#include "host/TraceWriter.h"
#include "host/World.h"
#include "quorin/kvQOObject.h"
#include "quorin/qoEvents.h"

namespace qohost {

namespace {

bool SameName(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace

std::string DescribeEvent(const LevelEvent& ev) {
    auto by = [&](const char* word) { return ev.by.empty() ? std::string() : std::string(" ") + word + " " + ev.by; };
    switch (ev.kind) {
        case LevelEventKind::Activate: return "activate " + ev.entity + by("by");
        case LevelEventKind::Trigger: return "trigger " + ev.entity + by("by");
        case LevelEventKind::Damage: {
            char amount[32];
            std::snprintf(amount, sizeof amount, "%g", ev.amount);
            return "damage " + ev.entity + " " + amount + by("by");
        }
        case LevelEventKind::Death: return "death " + ev.entity + by("by");
        case LevelEventKind::Enter: return "enter " + ev.entity + by("by");
        case LevelEventKind::Exit: return "exit " + ev.entity + by("by");
        case LevelEventKind::Use: return "use " + ev.entity + by("by");
        case LevelEventKind::AnimNotify: return "animNotify " + ev.entity + " \"" + ev.text + "\"";
        case LevelEventKind::Music: return "music " + ev.entity + " " + std::to_string(ev.value);
        case LevelEventKind::Cvar: return "cvar " + ev.name + " \"" + ev.text + "\"";
        case LevelEventKind::Event: return ev.name + " " + ev.entity + by("by");
    }
    return "?";
}

LevelRunner::LevelRunner(World& world, const LevelDesc& level, RunLogOptions log)
    : world(world), level(level), log(log) {}

uint32_t LevelRunner::Handle(const std::string& name) {
    return name.empty() ? 0 : world.FindEntity(name.c_str());
}

void LevelRunner::SendEntry(Entity& receiver, const char* name, const LevelEvent& ev) {
    const uint32_t by = Handle(ev.by), other = Handle(ev.other);
    DeliverEvent(world, receiver.handle, name, ev.by, [&](kvQOObject* object) {
        // The entry of that name, with the arguments its shape takes.
#define QO_ARGS_E by
#define QO_ARGS_N
#define QO_ARGS_EEB by, other, ev.flag
#define QO_ARGS_EF by, ev.amount
#define QO_ARGS_S ev.text.c_str()
#define QO_ARGS_I ev.value
#define QO_ARGS_EE by, other
#define QO_SEND(slot, id, eventName, shape) \
        if (SameName(eventName, name)) object->Entry_##id(QO_ARGS_##shape);
        QO_EVENT_TABLE(QO_SEND)
#undef QO_SEND
#undef QO_ARGS_E
#undef QO_ARGS_N
#undef QO_ARGS_EEB
#undef QO_ARGS_EF
#undef QO_ARGS_S
#undef QO_ARGS_I
#undef QO_ARGS_EE
    });
}

void LevelRunner::Deliver(const LevelEvent& ev) {
    if (ev.kind == LevelEventKind::Cvar) {
        world.Record("timeline", DescribeEvent(ev));
        world.cvars.Define(ev.name, ev.text);
        return;
    }
    Entity* receiver = world.ValidEntity(Handle(ev.entity));
    world.Record("timeline", DescribeEvent(ev) + (receiver ? "" : " (skipped: " + ev.entity + " no longer exists)"));
    if (!receiver) return;
    switch (ev.kind) {
        // Activation and damage are the host's own effects, the same as the entity methods'.
        case LevelEventKind::Activate: ActivateEntity(world, receiver->handle, Handle(ev.by)); break;
        case LevelEventKind::Trigger: SendEntry(*receiver, "OnTrigger", ev); break;
        case LevelEventKind::Damage: Hurt(world, *receiver, ev.amount, Handle(ev.by), true, true); break;
        case LevelEventKind::Death:
            receiver->health = 0;
            receiver->dead = true;
            SendEntry(*receiver, "OnDeath", ev);
            break;
        case LevelEventKind::Enter: {
            SendEntry(*receiver, "OnEnter", ev);
            // Walking into a trigger fires its targets, with the one who entered as activator.
            Entity* still = world.ValidEntity(receiver->handle);
            if (still && HostClassIsA(still->hostClass, "kvTrigger")) {
                const std::vector<uint32_t> targets = still->targets;
                for (uint32_t t : targets) ActivateEntity(world, t, Handle(ev.by));
            }
            break;
        }
        case LevelEventKind::Exit: SendEntry(*receiver, "OnExit", ev); break;
        case LevelEventKind::Use: SendEntry(*receiver, "OnUse", ev); break;
        case LevelEventKind::AnimNotify: SendEntry(*receiver, "OnAnimNotify", ev); break;
        case LevelEventKind::Music: SendEntry(*receiver, "OnChangeMusicLevel", ev); break;
        case LevelEventKind::Event: SendEntry(*receiver, ev.name.c_str(), ev); break;
        case LevelEventKind::Cvar: break;
    }
}

void LevelRunner::Start() {
    while (nextEvent < level.timeline.size() && level.timeline[nextEvent].frame <= 0)
        Deliver(level.timeline[nextEvent++]);
    Flush();
}

void LevelRunner::Step() {
    world.RunFrame();
    const int64_t frame = static_cast<int64_t>(world.Frame());
    while (nextEvent < level.timeline.size() && level.timeline[nextEvent].frame <= frame)
        Deliver(level.timeline[nextEvent++]);
    Flush();
}

void LevelRunner::RunUntil(int32_t lastFrame) {
    while (static_cast<int64_t>(world.Frame()) < lastFrame) Step();
}

void LevelRunner::Flush() {
    const std::vector<Record>& records = world.recorder.Records();
    for (; printed < records.size(); ++printed) {
        const Record& r = records[printed];
        if (!log.out) continue;
        const bool console = r.kind == "console";
        if (!log.methods) {
            if (console) std::fprintf(log.out, "%s\n", Console::StripColors(r.text).c_str());
            continue;
        }
        if (!console && r.kind != "method" && r.kind != "event" && r.kind != "timeline") continue;
        if (!frame.lines.empty() && r.frame != frame.first) CloseFrame();
        if (frame.lines.empty()) frame = {r.frame, r.frame, r.timeMs, r.timeMs, {}};
        const std::string line = console ? Console::StripColors(r.text)
                                 : r.kind == "timeline" ? "   > " + r.text
                                                        : "   " + r.text;
        if (!frame.lines.empty() && frame.lines.back().first == line) ++frame.lines.back().second;
        else frame.lines.emplace_back(line, 1);
    }
    if (log.out) std::fflush(log.out);
}

void LevelRunner::EndOutput() {
    Flush();
    CloseFrame();
    PrintRun();
    if (log.out) std::fflush(log.out);
}

void LevelRunner::CloseFrame() {
    if (frame.lines.empty()) return;
    if (!run.lines.empty() && run.lines == frame.lines && frame.first == run.last + 1) {
        run.last = frame.first;
        run.lastMs = frame.firstMs;
    } else {
        PrintRun();
        run = std::move(frame);
    }
    frame = {};
}

void LevelRunner::PrintRun() {
    if (run.lines.empty() || !log.out) return;
    if (run.first == run.last)
        std::fprintf(log.out, "-- frame %" PRIu64 " (%d.%03d s)\n", run.first, run.firstMs / 1000,
                     run.firstMs % 1000);
    else
        std::fprintf(log.out, "-- frames %" PRIu64 " to %" PRIu64 " (%d.%03d s to %d.%03d s), each frame:\n",
                     run.first, run.last, run.firstMs / 1000, run.firstMs % 1000, run.lastMs / 1000,
                     run.lastMs % 1000);
    for (const auto& [line, count] : run.lines) {
        if (count == 1) std::fprintf(log.out, "%s\n", line.c_str());
        else std::fprintf(log.out, "%s (x%d)\n", line.c_str(), count);
    }
    run = {};
}

namespace {

// Builds trace slices for one script thread from its records: its life, and its waits. Runs
// of frame waits with nothing in between become one slice with a frame count.
struct ThreadTrack {
    std::string name;
    int64_t startUs = 0;
    bool waiting = false;
    bool pending = false;     // a wait slice not yet written (it may still be extended)
    bool active = false;      // the thread did something since the pending wait ended
    std::string waitName;
    const char* waitCategory = "wait";
    int64_t waitStartUs = 0, waitEndUs = 0;
    int frames = 0;
    std::string lastMethod;
};

void WritePendingWait(TraceWriter& trace, uint32_t id, ThreadTrack& t) {
    if (!t.pending) return;
    TraceWriter::Json args = TraceWriter::Json::object();
    if (t.waitName == "WaitFrame") args["frames"] = t.frames;
    trace.Slice(id, t.waitName, t.waitCategory, t.waitStartUs, t.waitEndUs - t.waitStartUs, args);
    t.pending = false;
}

}  // namespace

// Slices of mover moves and rotations ("mover" records, host/Movers.cpp), two tracks per mover:
// moves and rotations. A slice ends at its planned end, or earlier when the mover is stopped or
// starts another one of the same kind.
class MoverTracks {
public:
    static constexpr uint32_t kFirstTrack = 1u << 30;

    explicit MoverTracks(TraceWriter& trace) : trace(trace) {}
    void Add(const std::string& text, int64_t us) {
        std::istringstream in(text);
        std::string what, name;
        uint32_t handle = 0;
        int64_t ms = 0;
        in >> what >> handle >> ms;
        std::getline(in, name);
        if (!name.empty() && name[0] == ' ') name.erase(0, 1);
        const bool turn = what == "rotate" || what == "spin";
        if (what == "stop") {
            Close(handle, false, us);
            Close(handle, true, us);
            return;
        }
        Close(handle, turn, us);
        const uint32_t track = kFirstTrack + 2 * handle + (turn ? 1 : 0);
        if (named.insert(track).second)
            trace.NameTrack(track, "mover " + name + (turn ? " (rotation)" : " (moves)"), int(track));
        open[{handle, turn}] = {what, us, ms < 0 ? INT64_MAX : us + ms * 1000};
    }
    void CloseAll(int64_t us) {
        while (!open.empty()) Close(open.begin()->first.first, open.begin()->first.second, us);
    }

private:
    struct Slice {
        std::string what;
        int64_t startUs, endUs;
    };
    void Close(uint32_t handle, bool turn, int64_t us) {
        auto it = open.find({handle, turn});
        if (it == open.end()) return;
        const Slice& s = it->second;
        trace.Slice(kFirstTrack + 2 * handle + (turn ? 1 : 0), s.what, "mover", s.startUs,
                    std::min(s.endUs, us) - s.startUs);
        open.erase(it);
    }
    TraceWriter& trace;
    std::map<std::pair<uint32_t, bool>, Slice> open;
    std::set<uint32_t> named;
};

void LevelRunner::WriteTrace(TraceWriter& trace) const {
    trace.NameTrack(0, "host: frames, timeline events", 0);
    std::map<uint32_t, ThreadTrack> threads;
    MoverTracks movers(trace);
    int64_t lastUs = 0;
    for (const Record& r : world.recorder.Records()) {
        const int64_t us = int64_t(r.timeMs) * 1000;
        lastUs = us;
        if (r.kind == "mover") {
            movers.Add(r.text, us);
        } else if (r.kind == "timeline") {
            trace.Instant(0, r.text, "timeline", us, {{"frame", r.frame}});
        } else if (r.kind == "method" || r.kind == "console") {
            const std::string text = r.kind == "console" ? Console::StripColors(r.text) : r.text;
            trace.Instant(r.thread, text, r.kind == "method" ? "method" : "console", us,
                          {{"frame", r.frame}});
            if (r.thread && threads.count(r.thread)) {
                ThreadTrack& t = threads[r.thread];
                t.active = true;
                if (r.kind == "method") t.lastMethod = r.text;
            }
        } else if (r.kind == "thread") {
            // "start ID \"NAME\" on ENTITY.INDEX by CREATOR", "suspend ID frame",
            // "suspend ID seconds S", "suspend ID thread T", "suspend ID hold S by E",
            // "resume ID", "end ID REASON".
            std::istringstream in(r.text);
            std::string word, rest;
            uint32_t id = 0;
            in >> word >> id;
            std::getline(in, rest);
            if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
            if (!id) continue;
            ThreadTrack& t = threads[id];
            if (word == "start") {
                size_t open = rest.find('"'), close = rest.find('"', open + 1);
                t.name = open == std::string::npos || close == std::string::npos
                             ? "thread " + std::to_string(id)
                             : rest.substr(open + 1, close - open - 1);
                unsigned entity = 0, index = 0;
                std::string owner;
                size_t on = rest.find(" on ", close == std::string::npos ? 0 : close);
                if (on != std::string::npos &&
                    std::sscanf(rest.c_str() + on, " on %u.%u", &entity, &index) == 2) {
                    if (Entity* e = world.EntityByHandle(entity)) {
                        owner = e->name;
                        if (index < e->objects.size()) owner += "." + e->objects[index].className;
                    }
                }
                t.startUs = us;
                trace.NameTrack(id, t.name + " #" + std::to_string(id) + (owner.empty() ? "" : " " + owner),
                                int(id));
            } else if (word == "suspend") {
                std::string kind = rest.substr(0, rest.find(' '));
                std::string detail = rest.size() > kind.size() ? rest.substr(kind.size() + 1) : "";
                if (kind == "frame" && t.pending && t.waitName == "WaitFrame" && !t.active &&
                    t.waitEndUs == us) {
                    t.waiting = true;  // one more frame of the same wait
                    continue;
                }
                WritePendingWait(trace, id, t);
                t.waiting = t.pending = true;
                t.active = false;
                t.waitStartUs = t.waitEndUs = us;
                t.frames = 0;
                t.waitCategory = "wait";
                if (kind == "frame") t.waitName = "WaitFrame";
                else if (kind == "seconds") t.waitName = "WaitSeconds " + detail;
                else if (kind == "thread") t.waitName = "WaitForThread " + detail;
                else if (kind == "hold") {
                    t.waitName = t.lastMethod.empty() ? "latent action" : t.lastMethod;
                    t.waitCategory = "action";
                } else t.waitName = rest;
            } else if (word == "resume") {
                t.waiting = false;
                t.waitEndUs = us;
                ++t.frames;
                t.active = false;
            } else if (word == "end") {
                if (t.waiting) t.waitEndUs = us;
                WritePendingWait(trace, id, t);
                trace.Slice(id, t.name, "thread", t.startUs, us - t.startUs, {{"end", rest}});
                threads.erase(id);
            }
        }
    }
    movers.CloseAll(std::max(lastUs, int64_t(world.GameTime()) * 1000));
    // Threads still running when the trace was taken.
    for (auto& [id, t] : threads) {
        if (t.waiting) t.waitEndUs = lastUs;
        WritePendingWait(trace, id, t);
        trace.Slice(id, t.name, "thread", t.startUs, lastUs - t.startUs, {{"end", "still running"}});
    }
}

}  // namespace qohost
