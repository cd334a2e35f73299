#include "host/records/Recorder.h"

namespace qohost {

namespace {

constexpr const char* kKindNames[kRecordKindCount] = {
    "module", "level", "entity", "object", "console",   "cvar",  "thread", "method",
    "event",  "timeline", "draw", "trace", "script", "devwindow", "state", "screen", "host", "mover",
    "sound",
};
static_assert(static_cast<unsigned>(RecordKind::Sound) + 1 == kRecordKindCount);

bool KindIs(RecordKind kind, std::string_view name) { return name == RecordKindName(kind); }

}  // namespace

const char* RecordKindName(RecordKind kind) {
    const auto i = static_cast<unsigned>(kind);
    return i < kRecordKindCount ? kKindNames[i] : "?";
}

bool RecordKindByName(std::string_view name, RecordKind& kind) {
    for (unsigned i = 0; i < kRecordKindCount; ++i)
        if (name == kKindNames[i]) {
            kind = static_cast<RecordKind>(i);
            return true;
        }
    return false;
}

uint32_t NameTable::Intern(std::string_view name) {
    if (name.empty()) return 0;
    if (auto it = ids_.find(name); it != ids_.end()) return it->second;
    const auto id = static_cast<uint32_t>(names_.size());
    names_.emplace_back(name);
    ids_.emplace(names_.back(), id);
    return id;
}

std::string_view NameTable::Name(uint32_t id) const {
    return id < names_.size() ? std::string_view(names_[id]) : std::string_view();
}

void Recorder::Take(const Record& r) {
    records_.push_back({r.frame, r.timeMs, r.thread, r.kind, r.Text()});
    if (r.kind == RecordKind::Draw && r.detail)
        draws.push_back(*static_cast<const DebugDraw*>(r.detail));
    if (r.kind == RecordKind::DevWindow && r.detail)
        devWindowFlushes.push_back(*static_cast<const DevWindowItems*>(r.detail));
}

std::vector<KeptRecord> Recorder::OfKind(std::string_view kind) const {
    std::vector<KeptRecord> out;
    for (const KeptRecord& r : records_)
        if (KindIs(r.kind, kind)) out.push_back(r);
    return out;
}

std::vector<std::string> Recorder::TextsOfKind(std::string_view kind) const {
    std::vector<std::string> out;
    for (const KeptRecord& r : records_)
        if (KindIs(r.kind, kind)) out.push_back(r.text);
    return out;
}

size_t Recorder::Count(std::string_view kind) const {
    size_t n = 0;
    for (const KeptRecord& r : records_) n += KindIs(r.kind, kind);
    return n;
}

void Recorder::Clear() {
    records_.clear();
    draws.clear();
    devWindowFlushes.clear();
}

}  // namespace qohost
