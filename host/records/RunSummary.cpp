#include "host/records/RunSummary.h"

#include "host/sim/entities/HostClasses.h"

#include <algorithm>
#include <cinttypes>
#include <string_view>

#include "host/world/Console.h"
#include "host/world/World.h"
#include "host/records/LookupNotes.h"

namespace qohost {

namespace {

constexpr std::string_view kUnhandled = kUnhandledActivation;

// "Quorin Warning: ticker.triggerLerpDelay.Init: .Activate failed." -> "Warning: .Activate
// failed." The message without the place, so that one kind counts once however many places.
std::string MessageKind(const std::string& line) {
    const std::string text = Console::StripColors(line);
    struct Severity {
        std::string_view prefix, name;
    };
    for (const Severity& s : {Severity{"Quorin Warning: ", "Warning"}, Severity{"Quorin Error: ", "Error"},
                              Severity{"Assertion failed", "Assertion failed"}}) {
        const size_t at = text.find(s.prefix);
        if (at == std::string::npos) continue;
        std::string rest = text.substr(at + s.prefix.size());
        // The place is the first word when it ends in ':' ("world.qoWorldUtil.Init: ...").
        const size_t colon = rest.find(": ");
        if (colon != std::string::npos && rest.find(' ') > colon) rest = rest.substr(colon + 2);
        while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.pop_back();
        return std::string(s.name) + ": " + rest;
    }
    return {};
}

// The total, then the first ten kinds in text order and how many more there are. Only those ten
// are sorted: a run can end with tens of thousands of kinds (threads still waiting).
template <typename Counts>
void PrintCounts(FILE* out, const char* heading, const Counts& counts) {
    if (counts.empty()) return;
    constexpr size_t kShown = 10;
    uint64_t total = 0;
    using Entry = const typename Counts::value_type*;
    std::vector<Entry> kinds;
    kinds.reserve(counts.size());
    for (const auto& kind : counts) {
        total += kind.second;
        kinds.push_back(&kind);
    }
    std::fprintf(out, "   %s: %" PRIu64 "\n", heading, total);
    const size_t shown = std::min(kinds.size(), kShown);
    std::partial_sort(kinds.begin(), kinds.begin() + shown, kinds.end(),
                      [](Entry a, Entry b) { return std::string_view(a->first) < std::string_view(b->first); });
    for (size_t i = 0; i < shown; ++i)
        std::fprintf(out, "      %s (x%" PRIu64 ")\n", std::string(kinds[i]->first).c_str(), kinds[i]->second);
    if (kinds.size() > kShown) std::fprintf(out, "      ... and %zu more kinds\n", kinds.size() - kShown);
}

}  // namespace

RunSummary::RunSummary(World& world) : world_(world) {
    wants = MaskOf(RecordKind::Console) | MaskOf(RecordKind::Method) | MaskOf(RecordKind::Event) |
            MaskOf(RecordKind::Host) | MaskOf(RecordKind::Crossing) | MaskOf(RecordKind::Health) |
            MaskOf(RecordKind::Death) | MaskOf(RecordKind::Mover) | MaskOf(RecordKind::Screen);
}

void RunSummary::Take(const Record& r) {
    if (r.entity) MarkActive(r.entity);
    if (r.thread)
        if (const ThreadInfo* t = world_.scheduler.Find(r.thread)) MarkActive(t->owner.entity);
    switch (r.kind) {
        case RecordKind::Console: {
            if (players_ != SIZE_MAX && !OptionalLookupMissing(r.text, players_).empty()) break;
            std::string kind = MessageKind(std::string(r.text));
            if (!kind.empty()) ++messages_[kind];
            break;
        }
        case RecordKind::Method: {
            if (r.format) break;  // a call as made; failures and refusals come as text
            const std::string text(r.text);
            for (const char* word : {" failed: ", " refused: "}) {
                const size_t at = text.find(word);
                if (at == std::string::npos) continue;
                // "Activate on targets[5] of ticker failed: ..." / "relay.Activate failed: ..."
                const size_t dot = text.rfind('.', at);
                const std::string method = text.substr(0, at);
                const std::string name = dot == std::string::npos ? method.substr(0, method.find(' ')) : method.substr(dot + 1);
                ++failures_[name + word + text.substr(at + std::string(word).size())];
                break;
            }
            break;
        }
        case RecordKind::Host:
            if (r.text.substr(0, kUnhandled.size()) == kUnhandled) {
                if (r.entity >= unhandledAt_.size()) unhandledAt_.resize(r.entity + 1 + r.entity / 2);
                uint32_t& at = unhandledAt_[r.entity];
                if (!at) {
                    unhandled_.emplace_back(r.text.substr(kUnhandled.size()), 0);
                    at = static_cast<uint32_t>(unhandled_.size());
                }
                ++unhandled_[at - 1].second;
            }
            else if (r.severity >= qohost::Severity::Warning)  // the host could not do what was asked
                ++messages_[(r.severity == qohost::Severity::Error ? "host error: " : "host warning: ") + std::string(r.text)];
            break;
        default: break;
    }
}

void RunSummary::SetFolded(std::vector<std::string> lookups, uint64_t queries, uint64_t repeats) {
    lookups_ = std::move(lookups);
    queries_ = queries;
    repeats_ = repeats;
}

void RunSummary::Print(FILE* out, World& world) const {
    std::fprintf(out, "== summary\n");
    PrintCounts(out, "warnings and errors", messages_);
    PrintCounts(out, "method calls that failed", failures_);
    std::unordered_map<std::string_view, uint64_t> unhandled(unhandled_.size());
    for (const auto& [name, count] : unhandled_) unhandled[name] += count;
    PrintCounts(out, "activations nothing handled", unhandled);
    const std::vector<uint32_t> live = world.scheduler.LiveThreads();
    std::unordered_map<std::string, uint64_t> waiting(live.size());
    for (uint32_t id : live)
        if (const ThreadInfo* t = world.scheduler.Find(id)) {
            const Entity* e = world.EntityByHandle(t->owner.entity);
            const std::string owner = e ? e->name + (t->owner.objectIndex < e->objects.size()
                                                         ? "." + e->objects[t->owner.objectIndex].className
                                                         : std::string())
                                        : std::string("the host");
            ++waiting[owner + " \"" + t->name + "\""];
        }
    PrintCounts(out, "script threads still waiting", waiting);
    std::string idle;
    size_t idleCount = 0;
    for (Entity* e : world.Entities()) {
        bool scripted = false;
        for (const ScriptObjectSlot& o : e->objects) scripted |= o.object != nullptr;
        if (!scripted || e->name == "world" || (e->handle < active_.size() && active_[e->handle])) continue;
        if (++idleCount <= 10) idle += (idle.empty() ? "" : ", ") + e->name;
    }
    if (idleCount)
        std::fprintf(out, "   entities with script objects that never did anything: %zu (%s%s)\n", idleCount,
                     idle.c_str(), idleCount > 10 ? ", ..." : "");
    if (!lookups_.empty()) {
        std::string names;
        for (const std::string& n : lookups_) names += (names.empty() ? "" : ", ") + n;
        std::fprintf(out, "   not in the level (optional, looked up by the world utility): %s\n", names.c_str());
    }
    if (repeats_)
        std::fprintf(out, "   warnings and failed calls printed once, repeats not printed: %" PRIu64 "\n", repeats_);
    if (queries_)
        std::fprintf(out, "   queries that answered as in the frame before, not printed: %" PRIu64 " (--all-queries prints them)\n",
                     queries_);
}

}  // namespace qohost
