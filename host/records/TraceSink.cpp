#include "host/records/TraceSink.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "host/world/Console.h"
#include "host/world/Scheduler.h"
#include "host/sim/sound/Sound.h"
#include "host/world/World.h"

namespace qohost {

TraceSink::TraceSink(World& world, TraceWriter& writer) : world_(world), trace_(writer) {
    wants = MaskOf(RecordKind::Thread) | MaskOf(RecordKind::Method) | MaskOf(RecordKind::Console) |
            MaskOf(RecordKind::Timeline) | MaskOf(RecordKind::Mover) | MaskOf(RecordKind::Sound) |
            MaskOf(RecordKind::Crossing) | MaskOf(RecordKind::Health) | MaskOf(RecordKind::Death) |
            MaskOf(RecordKind::Screen) | MaskOf(RecordKind::Event);
    trace_.NameTrack(0, "host: frames, timeline events", 0);
}

void TraceSink::Take(const Record& r) {
    const int64_t us = r.timeMs * 1000;
    lastUs_ = us;
    switch (r.kind) {
        case RecordKind::Timeline:
            trace_.Instant(0, r.Text(), "timeline", us, {{"frame", r.frame}});
            break;
        case RecordKind::Method:
        case RecordKind::Console: {
            const bool method = r.kind == RecordKind::Method;
            std::string text = method ? r.Text() : Console::StripColors(r.text);
            const auto it = r.thread ? threads_.find(r.thread) : threads_.end();
            trace_.Instant({it != threads_.end() ? it->second.process : TraceTrack::kHostProcess, r.thread}, text,
                           method ? "method" : "console", us, {{"frame", r.frame}});
            if (it != threads_.end()) {
                it->second.active = true;
                if (method) it->second.lastMethod = std::move(text);
            }
            break;
        }
        case RecordKind::Thread: ThreadEvent(r, us); break;
        case RecordKind::Mover: MoverEvent(r, us); break;
        case RecordKind::Sound: SoundEvent(r, us); break;
        case RecordKind::Event:
            if (r.format) break;  // an event entry the host called: its thread shows it
            [[fallthrough]];
        case RecordKind::Crossing:
        case RecordKind::Health:
        case RecordKind::Death:
        case RecordKind::Screen: EntityEvent(r, us); break;
        default: break;
    }
}

uint32_t TraceSink::EntityProcess(uint32_t handle) {
    const Entity* e = handle ? world_.EntityByHandle(handle) : nullptr;
    if (!e) return TraceTrack::kHostProcess;
    auto [it, added] = entityProcesses_.try_emplace(handle, static_cast<uint32_t>(entityProcesses_.size()) + 2);
    if (added) trace_.NameProcess(it->second, "entity " + e->name + " (" + e->hostClass + ")", static_cast<int>(it->second));
    return it->second;
}

void TraceSink::EntityEvent(const Record& r, int64_t us) {
    const Entity* e = r.entity ? world_.EntityByHandle(r.entity) : nullptr;
    const TraceTrack track{EntityProcess(r.entity), e ? kFirstEntityTrack + e->handle : 0};
    if (e && namedEntityTracks_.insert(track.thread).second)
        trace_.NameTrack(track, "entity " + e->name + " (" + e->hostClass + ")", 0);
    TraceWriter::Json args = {{"frame", r.frame}};
    if (e) args["entity"] = e->name;
    trace_.Instant(track, r.Text(), RecordKindName(r.kind), us, args);
}

void TraceSink::ThreadEvent(const Record& r, int64_t us) {
    const ThreadRecord& detail = *static_cast<const ThreadRecord*>(r.detail);
    const qohost::ThreadEvent& e = detail.event;
    const uint32_t id = e.thread;
    if (!id) return;
    Track& t = threads_[id];
    char number[64];
    switch (e.kind) {
        case ThreadEvent::Kind::Start: {
            t.name = detail.info.name;
            std::string owner;
            if (const Entity* ent = world_.EntityByHandle(detail.info.owner.entity)) {
                owner = ent->name;
                if (detail.info.owner.objectIndex < ent->objects.size())
                    owner += "." + ent->objects[detail.info.owner.objectIndex].className;
            }
            t.startUs = us;
            t.process = EntityProcess(detail.info.owner.entity);
            trace_.NameTrack({t.process, id}, t.name + " #" + std::to_string(id) + (owner.empty() ? "" : " " + owner),
                             static_cast<int>(id));
            break;
        }
        case ThreadEvent::Kind::Suspend:
            if (e.wait == WaitKind::Frame && t.pending && t.waitName == "WaitFrame" && !t.active &&
                t.waitEndUs == us) {
                t.waiting = true;  // one more frame of the same wait
                break;
            }
            WritePendingWait(id, t);
            t.waiting = t.pending = true;
            t.active = false;
            t.waitStartUs = t.waitEndUs = us;
            t.frames = 0;
            t.waitCategory = "wait";
            switch (e.wait) {
                case WaitKind::Frame: t.waitName = "WaitFrame"; break;
                case WaitKind::Seconds:
                    std::snprintf(number, sizeof number, "%g", e.seconds);
                    t.waitName = std::string("WaitSeconds ") + number;
                    break;
                case WaitKind::Thread: t.waitName = "WaitForThread " + std::to_string(e.other); break;
                case WaitKind::Hold:
                    t.waitName = t.lastMethod.empty() ? "latent action" : t.lastMethod;
                    t.waitCategory = "action";
                    break;
                case WaitKind::None: t.waitName = "wait"; break;
            }
            break;
        case ThreadEvent::Kind::Resume:
            t.waiting = false;
            t.waitEndUs = us;
            ++t.frames;
            t.active = false;
            break;
        case ThreadEvent::Kind::End: {
            if (t.waiting) t.waitEndUs = us;
            WritePendingWait(id, t);
            // "end 3 ended by name": the reason after the id.
            const std::string line = r.Text();
            const std::string prefix = "end " + std::to_string(id) + " ";
            const std::string reason = line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
            trace_.Slice({t.process, id}, t.name, "thread", t.startUs, us - t.startUs, {{"end", reason}});
            threads_.erase(id);
            break;
        }
    }
}

void TraceSink::WritePendingWait(uint32_t id, Track& t) {
    if (!t.pending) return;
    if (t.waitEndUs == t.waitStartUs) {  // a wait that took no time is no slice
        t.pending = false;
        return;
    }
    TraceWriter::Json args = TraceWriter::Json::object();
    if (t.waitName == "WaitFrame") args["frames"] = t.frames;
    trace_.Slice({t.process, id}, t.waitName, t.waitCategory, t.waitStartUs, t.waitEndUs - t.waitStartUs, args);
    t.pending = false;
}

void TraceSink::SoundEvent(const Record& r, int64_t us) {
    const SoundChange& change = *static_cast<const SoundChange*>(r.detail);
    const uint64_t key = uint64_t{r.entity} << 32 | static_cast<uint32_t>(change.channel);
    auto [it, added] = soundTracks_.try_emplace(key);
    if (added) {
        const std::string shader = SoundOn(*change.entity, change.channel);
        it->second = change.entity->name + " ch" + std::to_string(change.channel) +
                     (shader.empty() ? "" : " " + shader) + " volume";
    }
    trace_.Counter(it->second, "sound", us, {{"dB", std::round(double(change.db) * 100.0) / 100.0}});
}

// "WHAT HANDLE DURATION_MS NAME" (host/sim/movers/Movers.cpp); a duration of -1 never ends by itself.
void TraceSink::MoverEvent(const Record& r, int64_t us) {
    std::istringstream in(r.Text());
    std::string what, name;
    uint32_t handle = 0;
    int64_t ms = 0;
    in >> what >> handle >> ms;
    std::getline(in, name);
    if (!name.empty() && name[0] == ' ') name.erase(0, 1);
    if (what == "stop") {
        CloseMover(handle, false, us);
        CloseMover(handle, true, us);
        return;
    }
    const bool turn = what == "rotate" || what == "spin";
    CloseMover(handle, turn, us);
    const TraceTrack track{EntityProcess(handle), kFirstMoverTrack + 2 * handle + (turn ? 1 : 0)};
    if (namedMoverTracks_.insert(track.thread).second)
        trace_.NameTrack(track, "mover " + name + (turn ? " (rotation)" : " (moves)"), 1 + (turn ? 1 : 0));
    // Where the move or rotation goes, from the mover's own state.
    TraceWriter::Json args = TraceWriter::Json::object();
    const auto text = [](const qoVector& v) {
        char out[96];
        std::snprintf(out, sizeof out, "(%g %g %g)", v.x, v.y, v.z);
        return std::string(out);
    };
    if (const Entity* e = world_.EntityByHandle(handle)) {
        if (!turn && !e->methods->motion.points.empty()) {
            args["from"] = text(e->methods->motion.points.front());
            args["to"] = text(e->methods->motion.points.back());
        } else if (turn && what == "rotate") {
            args["from"] = text(e->methods->rotation.from);
            args["to"] = text(e->methods->rotation.to);
        }
    }
    movers_[{handle, turn}] = {what, us, ms < 0 ? INT64_MAX : us + ms * 1000, std::move(args)};
}

void TraceSink::CloseMover(uint32_t handle, bool turn, int64_t us) {
    auto it = movers_.find({handle, turn});
    if (it == movers_.end()) return;
    const MoverSlice& s = it->second;
    const int64_t durationUs = std::min(s.endUs, us) - s.startUs;
    if (durationUs > 0)
        trace_.Slice({EntityProcess(handle), kFirstMoverTrack + 2 * handle + (turn ? 1 : 0)},
                     s.args.contains("to") ? s.what + " to " + s.args["to"].get<std::string>() : s.what, "mover",
                     s.startUs, durationUs, s.args);
    movers_.erase(it);
}

void TraceSink::Finish() {
    const int64_t moversEndUs = std::max(lastUs_, world_.GameTime() * 1000);
    while (!movers_.empty()) CloseMover(movers_.begin()->first.first, movers_.begin()->first.second, moversEndUs);
    std::vector<uint32_t> ids;
    for (const auto& [id, t] : threads_) ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    for (uint32_t id : ids) {
        Track& t = threads_[id];
        if (t.waiting) t.waitEndUs = lastUs_;
        WritePendingWait(id, t);
        trace_.Slice({t.process, id}, t.name, "thread", t.startUs, lastUs_ - t.startUs, {{"end", "still running"}});
    }
    threads_.clear();
}

}  // namespace qohost
