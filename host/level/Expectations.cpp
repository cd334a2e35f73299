#include "host/level/Expectations.h"


#include <cinttypes>
#include <cmath>
#include <optional>
#include <regex>

#include "host/world/Console.h"
#include "host/methods/Methods.h"
#include "host/world/World.h"
#include "host/level/Suggest.h"

namespace qohost {

using Json = nlohmann::ordered_json;

namespace {

// The key that says what an expectation is about, and the further keys that kind takes.
struct KindInfo {
    const char* key;
    ExpectKind kind;
    std::initializer_list<const char*> extra;
};

const KindInfo kKinds[] = {
    {"activated", ExpectKind::Activated, {"never"}},
    {"removed", ExpectKind::Removed, {"never"}},
    {"dead", ExpectKind::Dead, {"never"}},
    {"at", ExpectKind::At, {"never", "place", "radius"}},
    {"console", ExpectKind::Console, {"never"}},
    {"no", ExpectKind::No, {"matching"}},
    {"count", ExpectKind::Count, {"matching", "min", "max"}},
};

constexpr const char* kProblemNames[] = {"error", "warning", "problem"};

std::string Seconds(int64_t ms) {
    char text[48];
    std::snprintf(text, sizeof text, "%" PRId64 ".%03d s", ms / 1000, int(ms % 1000));
    return text;
}

std::string Short(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

std::string AtFrame(uint64_t frame, int64_t ms) {
    return "frame " + std::to_string(frame) + " (" + Seconds(ms) + ")";
}

class ExpectReader {
public:
    ExpectReader(const std::string& file, const LevelNames& entities, LevelErrors& errors)
        : file(file), entities(entities), errors(errors) {}

    void Fail(const std::string& field, std::string message) { AddError(errors, {file, "", field, std::move(message)}); }

    bool Seconds(const Json& v, const std::string& field, int64_t& ms) {
        if (!v.is_number() || !std::isfinite(v.get<double>()) || v.get<double>() < 0 ||
            v.get<double>() > kMaxRunSeconds) {
            Fail(field, std::string("expected a number of seconds from 0 to 1000000, got ") +
                            (v.is_number() ? v.dump() : DescribeJson(v)));
            return false;
        }
        ms = static_cast<int64_t>(std::llround(v.get<double>() * 1000.0));
        return true;
    }

    bool Pattern(const Json& v, const std::string& field, std::string& out) {
        if (!v.is_string()) {
            Fail(field, std::string("expected a pattern (a string), got ") + DescribeJson(v));
            return false;
        }
        out = v.get<std::string>();
        try {
            std::regex check(out, std::regex::ECMAScript);
        } catch (const std::regex_error& e) {
            Fail(field, "not a valid pattern '" + out + "': " + e.what());
            return false;
        }
        return true;
    }

    bool Count(const Json& v, const std::string& field, int64_t& out) {
        if (!v.is_number_integer() || v.get<int64_t>() < 0) {
            Fail(field, std::string("expected a count (an integer 0 or more), got ") +
                            (v.is_number() ? v.dump() : DescribeJson(v)));
            return false;
        }
        out = v.get<int64_t>();
        return true;
    }

    void One(const Json& v, const std::string& field, Expectation& out) {
        out.field = field;
        if (!v.is_object()) {
            Fail(field, std::string("expected an object, got ") + DescribeJson(v));
            return;
        }
        const KindInfo* info = nullptr;
        std::string keys;
        for (const KindInfo& k : kKinds) {
            keys += std::string(keys.empty() ? "" : ", ") + "'" + k.key + "'";
            if (!v.contains(k.key)) continue;
            if (info) {
                Fail(field, std::string("give only one of '") + info->key + "' and '" + k.key + "'");
                return;
            }
            info = &k;
        }
        if (!info) {
            Fail(field, "give one of " + keys);
            return;
        }
        out.kind = info->kind;
        for (auto it = v.begin(); it != v.end(); ++it) {
            const std::string& key = it.key();
            bool known = key == info->key || key == "name" || key == "comment" || key == "after" || key == "before";
            for (const char* extra : info->extra) known = known || key == extra;
            if (!known) {
                std::vector<std::string> allowed = {info->key, "name", "comment", "after", "before"};
                for (const char* extra : info->extra) allowed.emplace_back(extra);
                Fail(field + "." + key, "unknown field" + DidYouMean(key, allowed));
            }
        }
        const std::string what = field + "." + info->key;
        const Json& subject = v[info->key];
        switch (out.kind) {
            case ExpectKind::Activated:
            case ExpectKind::Removed:
            case ExpectKind::Dead:
            case ExpectKind::At:
                if (!subject.is_string() || subject.get<std::string>().empty()) {
                    Fail(what, std::string("expected an entity name, got ") + DescribeJson(subject));
                } else {
                    out.entity = subject.get<std::string>();
                    if (!entities.Contains(out.entity))
                        Fail(what, "unknown entity '" + Printable(out.entity) + "'" + DidYouMean(out.entity, entities.Sorted()));
                }
                break;
            case ExpectKind::Console: Pattern(subject, what, out.pattern); break;
            case ExpectKind::No: {
                bool found = false;
                for (size_t i = 0; i < std::size(kProblemNames); ++i)
                    if (subject == kProblemNames[i]) {
                        out.problem = static_cast<ProblemKind>(i);
                        found = true;
                    }
                if (!found)
                    Fail(what, "expected \"error\", \"warning\" or \"problem\", got " +
                                   (subject.is_string() ? "'" + Printable(subject.get<std::string>()) + "'"
                                                        : std::string(DescribeJson(subject))));
                break;
            }
            case ExpectKind::Count: {
                std::vector<std::string> kinds;
                for (unsigned i = 0; i < kRecordKindCount; ++i) kinds.emplace_back(RecordKindName(static_cast<RecordKind>(i)));
                if (!subject.is_string() || !RecordKindByName(subject.get<std::string>(), out.record)) {
                    std::string list;
                    for (const std::string& k : kinds) list += (list.empty() ? "" : ", ") + k;
                    const std::string given = subject.is_string() ? subject.get<std::string>() : "";
                    Fail(what, (subject.is_string() ? "unknown record kind '" + Printable(given) + "'" + DidYouMean(given, kinds)
                                                    : std::string("expected a record kind, got ") + DescribeJson(subject)) +
                                   " (known: " + list + ")");
                }
                out.min = v.contains("max") && !v.contains("min") ? 0 : 1;
                if (v.contains("min")) Count(v["min"], field + ".min", out.min);
                if (v.contains("max")) Count(v["max"], field + ".max", out.max);
                if (out.min > out.max) Fail(field + ".max", "is less than 'min'");
                break;
            }
        }
        if (v.contains("matching")) Pattern(v["matching"], field + ".matching", out.pattern);
        if (v.contains("place")) {
            std::string bad, message;
            float xyz[3];
            if (ReadFloats(v["place"], 3, "[x, y, z]", field + ".place", xyz, bad, message))
                out.place = {xyz[0], xyz[1], xyz[2]};
            else
                Fail(bad, message);
        } else if (out.kind == ExpectKind::At) {
            Fail(field, "missing field 'place'");
        }
        if (v.contains("radius")) {
            const Json& r = v["radius"];
            if (r.is_number() && FitsFloat(r) && r.get<double>() >= 0) out.radius = r.get<float>();
            else Fail(field + ".radius", std::string("expected a number 0 or more, got ") + (r.is_number() ? r.dump() : DescribeJson(r)));
        }
        if (v.contains("never")) {
            if (v["never"].is_boolean()) out.never = v["never"].get<bool>();
            else Fail(field + ".never", std::string("expected true or false, got ") + DescribeJson(v["never"]));
        }
        if (v.contains("after")) Seconds(v["after"], field + ".after", out.afterMs);
        if (v.contains("before")) Seconds(v["before"], field + ".before", out.beforeMs);
        if (out.afterMs > out.beforeMs) Fail(field + ".before", "is earlier than 'after'");
        if (v.contains("comment") && !v["comment"].is_string())
            Fail(field + ".comment", std::string("expected a string, got ") + DescribeJson(v["comment"]));
        if (v.contains("name")) {
            if (v["name"].is_string() && !HasControlCharacter(v["name"].get<std::string>()))
                out.name = v["name"].get<std::string>();
            else Fail(field + ".name", std::string("expected a name, got ") + DescribeJson(v["name"]));
        }
        if (out.name.empty()) out.name = out.Describe();
    }

private:
    const std::string& file;
    const LevelNames& entities;
    LevelErrors& errors;
};

}  // namespace

std::string Expectation::Describe() const {
    std::string text;
    switch (kind) {
        case ExpectKind::Activated: text = entity + " activated"; break;
        case ExpectKind::Removed: text = entity + " removed"; break;
        case ExpectKind::Dead: text = entity + " dead"; break;
        case ExpectKind::At: {
            char where[128];
            std::snprintf(where, sizeof where, " within %g of (%g %g %g)", radius, place.x, place.y, place.z);
            text = entity + where;
            break;
        }
        case ExpectKind::Console: text = "console /" + pattern + "/"; break;
        case ExpectKind::No: text = std::string("no ") + kProblemNames[static_cast<int>(problem)]; break;
        case ExpectKind::Count:
            text = std::string(RecordKindName(record)) + " records" + (pattern.empty() ? "" : " /" + pattern + "/") +
                   (max == std::numeric_limits<int64_t>::max() ? ": at least " + std::to_string(min)
                    : min == max                                ? ": exactly " + std::to_string(min)
                                                                : ": " + std::to_string(min) + " to " + std::to_string(max));
            break;
    }
    if (kind == ExpectKind::No && !pattern.empty()) text += " /" + pattern + "/";
    if (never) text = "never " + text;
    const bool from = afterMs > 0, to = beforeMs != std::numeric_limits<int64_t>::max();
    if (from && to) text += " between " + Short(afterMs / 1000.0) + " and " + Short(beforeMs / 1000.0);
    else if (from) text += " after " + Short(afterMs / 1000.0);
    else if (to) text += " before " + Short(beforeMs / 1000.0);
    return text;
}

void ParseExpectations(const Json& value, const std::string& field, const std::string& file,
                       const LevelNames& entities, std::vector<Expectation>& out, LevelErrors& errors) {
    ExpectReader reader(file, entities, errors);
    if (!value.is_array()) {
        reader.Fail(field, std::string("expected an array of expectations, got ") + DescribeJson(value));
        return;
    }
    for (size_t i = 0; i < value.size(); ++i) {
        Expectation e;
        reader.One(value[i], field + "[" + std::to_string(i) + "]", e);
        out.push_back(std::move(e));
    }
}

std::string ExpectationResult::Text() const {
    const Expectation& e = expectation;
    std::string head = e.field.empty() ? "'" + e.name + "'" : e.field + " '" + e.name + "'";
    if (passed) return head + " holds";
    return head + " failed at frame " + std::to_string(frame) + ": " + seen;
}

// ---- the checker -----------------------------------------------------------------------------

struct ExpectationChecker::State {
    std::optional<std::regex> regex;
    // The first time it happened within the window.
    bool hit = false;
    uint64_t hitFrame = 0;
    int64_t hitMs = 0;
    std::string hitText;
    // The time it happened nearest to the window, outside it.
    bool near = false;
    int64_t nearGap = 0;
    uint64_t nearFrame = 0;
    int64_t nearMs = 0;
    std::string nearText;
    // What was seen instead: the nearest thing of the same sort (another entity activated, the
    // closest approach, the console line most like the pattern), lower scores nearer.
    bool other = false;
    size_t otherScore = 0;
    uint64_t otherFrame = 0;
    int64_t otherMs = 0;
    std::string otherText;
    int64_t count = 0;
    uint64_t countFrame = 0;
    int64_t countMs = 0;
    uint64_t lastFrame = 0;
    int64_t lastMs = 0;
};

namespace {

RecordMask MaskFor(const Expectation& e) {
    switch (e.kind) {
        case ExpectKind::Activated:
            return MaskOf(RecordKind::Event) | MaskOf(RecordKind::Method) | MaskOf(RecordKind::Timeline);
        case ExpectKind::Removed: return MaskOf(RecordKind::Entity);
        case ExpectKind::Dead:
        case ExpectKind::At: return 0;
        case ExpectKind::Console: return MaskOf(RecordKind::Console);
        case ExpectKind::No: return MaskOf(RecordKind::Console) | MaskOf(RecordKind::Method) | MaskOf(RecordKind::Host);
        case ExpectKind::Count: return MaskOf(e.record);
    }
    return 0;
}

// The problem a record reports, if any: 0 none, else the kind plus one.
int ProblemOf(const Record& r, std::string& text) {
    if (r.kind == RecordKind::Console) {
        text = Console::StripColors(r.text);
        // A script error, or the host saying it could not do what a script needed.
        if (text.rfind("Quorin Error", 0) == 0 || text.rfind("qohost:", 0) == 0) return 1 + int(ProblemKind::Error);
        if (text.rfind("Quorin Warning", 0) == 0) return 1 + int(ProblemKind::Warning);
        return 0;
    }
    if (r.kind == RecordKind::Host) {
        if (r.severity < Severity::Warning) return 0;  // a notice, not a failure
        text = r.Text();
        return 1 + int(r.severity == Severity::Error ? ProblemKind::Error : ProblemKind::Warning);
    }
    // A method call has its detail; a failure or a refusal is a line of text.
    if (r.kind == RecordKind::Method && !r.detail) {
        text = r.Text();
        return 1 + int(ProblemKind::Warning);
    }
    return 0;
}

}  // namespace

ExpectationChecker::ExpectationChecker(World& world, const std::vector<Expectation>& expectations)
    : world_(world), expectations_(expectations), states_(expectations.size()) {
    wants = 0;
    for (size_t i = 0; i < expectations.size(); ++i) {
        wants |= MaskFor(expectations[i]);
        if (!expectations[i].pattern.empty())
            states_[i].regex.emplace(expectations[i].pattern, std::regex::ECMAScript | std::regex::optimize);
    }
}

ExpectationChecker::~ExpectationChecker() = default;

void ExpectationChecker::Seen(size_t index, uint64_t frame, int64_t ms, const std::string& text) {
    const Expectation& e = expectations_[index];
    State& s = states_[index];
    if (ms >= e.afterMs && ms <= e.beforeMs) {
        if (!s.hit) {
            s.hit = true;
            s.hitFrame = frame;
            s.hitMs = ms;
            s.hitText = text;
        }
        ++s.count;
        s.countFrame = frame;
        s.countMs = ms;
        return;
    }
    const int64_t gap = ms < e.afterMs ? e.afterMs - ms : ms - e.beforeMs;
    if (!s.near || gap < s.nearGap) {
        s.near = true;
        s.nearGap = gap;
        s.nearFrame = frame;
        s.nearMs = ms;
        s.nearText = text;
    }
}

void ExpectationChecker::Other(size_t index, uint64_t frame, int64_t ms, const std::string& text, size_t score) {
    const Expectation& e = expectations_[index];
    State& s = states_[index];
    if (ms < e.afterMs || ms > e.beforeMs) return;
    if (s.other && score > s.otherScore) return;
    s.other = true;
    s.otherScore = score;
    s.otherFrame = frame;
    s.otherMs = ms;
    s.otherText = text;
}

void ExpectationChecker::Take(const Record& r) {
    const Entity* about = r.entity ? world_.EntityByHandle(r.entity) : nullptr;
    std::string problemText;
    const int problem = ProblemOf(r, problemText);
    std::string console;
    if (r.kind == RecordKind::Console) {
        // A line as it shows: without its colour codes and the line ends a print may carry.
        console = problem ? problemText : Console::StripColors(r.text);
        while (!console.empty() && (console.back() == '\n' || console.back() == '\r')) console.pop_back();
        if (problem) problemText = console;
    }
    for (size_t i = 0; i < expectations_.size(); ++i) {
        const Expectation& e = expectations_[i];
        State& s = states_[i];
        s.lastFrame = r.frame;
        s.lastMs = r.timeMs;
        if (!(MaskFor(e) & MaskOf(r.kind))) continue;
        switch (e.kind) {
            case ExpectKind::Activated: {
                const bool activation =
                    (r.kind == RecordKind::Event && world_.names.Name(r.name) == "OnActivate") ||
                    (r.kind == RecordKind::Method && r.detail && MethodName(r.number) &&
                     std::string_view(MethodName(r.number)) == "Activate") ||
                    (r.kind == RecordKind::Timeline && r.text.rfind("activate ", 0) == 0);
                if (!activation || !about) break;
                if (about->name == e.entity) Seen(i, r.frame, r.timeMs, r.Text());
                else Other(i, r.frame, r.timeMs, about->name + " activated");
                break;
            }
            case ExpectKind::Removed:
                if (!about || r.text.rfind("remove ", 0) != 0) break;
                if (about->name == e.entity) Seen(i, r.frame, r.timeMs, "removed");
                else Other(i, r.frame, r.timeMs, about->name + " removed");
                break;
            case ExpectKind::Console: {
                if (std::regex_search(console, *s.regex)) {
                    Seen(i, r.frame, r.timeMs, "\"" + console + "\"");
                } else {
                    const std::string_view head = std::string_view(console).substr(0, 200);
                    Other(i, r.frame, r.timeMs, "\"" + console + "\"", EditDistance(e.pattern, head, 1000));
                }
                break;
            }
            case ExpectKind::No: {
                if (!problem) break;
                const auto kind = static_cast<ProblemKind>(problem - 1);
                if (e.problem != ProblemKind::Any && e.problem != kind) break;
                if (s.regex && !std::regex_search(problemText, *s.regex)) break;
                Seen(i, r.frame, r.timeMs, "\"" + problemText + "\"");
                break;
            }
            case ExpectKind::Count:
                if (s.regex) {
                    const std::string text = r.kind == RecordKind::Console ? console : r.Text();
                    if (!std::regex_search(text, *s.regex)) break;
                }
                Seen(i, r.frame, r.timeMs, "");
                break;
            case ExpectKind::Dead:
            case ExpectKind::At: break;
        }
    }
}

void ExpectationChecker::AfterFrame() {
    const uint64_t frame = world_.Frame();
    const int64_t ms = world_.GameTime();
    for (size_t i = 0; i < expectations_.size(); ++i) {
        const Expectation& e = expectations_[i];
        State& s = states_[i];
        s.lastFrame = frame;
        s.lastMs = ms;
        if (e.kind != ExpectKind::Dead && e.kind != ExpectKind::At) continue;
        const Entity* entity = world_.EntityByName(e.entity);
        if (!entity) continue;
        if (e.kind == ExpectKind::Dead) {
            if (entity->dead) Seen(i, frame, ms, "dead");
            else Other(i, frame, ms, "alive with health " + std::to_string(entity->health), 0);
            continue;
        }
        const qoVector& o = entity->origin;
        const double d = std::sqrt(double(o.x - e.place.x) * (o.x - e.place.x) + double(o.y - e.place.y) * (o.y - e.place.y) +
                                   double(o.z - e.place.z) * (o.z - e.place.z));
        char where[160];
        std::snprintf(where, sizeof where, "at (%g %g %g), %g away", o.x, o.y, o.z, d);
        if (d <= e.radius) Seen(i, frame, ms, where);
        else Other(i, frame, ms, std::string("closest ") + where, static_cast<size_t>(std::min(d, 1e15)));
    }
}

std::vector<ExpectationResult> ExpectationChecker::Results() const {
    std::vector<ExpectationResult> results;
    for (size_t i = 0; i < expectations_.size(); ++i) {
        const Expectation& e = expectations_[i];
        const State& s = states_[i];
        ExpectationResult r;
        r.expectation = e;
        if (e.kind == ExpectKind::Count) {
            r.passed = s.count >= e.min && s.count <= e.max;
            r.seen = "counted " + std::to_string(s.count);
            r.frame = s.lastFrame;
            if (s.count > e.max) {
                r.seen += ", the last at " + AtFrame(s.countFrame, s.countMs);
                r.frame = s.countFrame;
            }
        } else if (e.never || e.kind == ExpectKind::No) {
            r.passed = !s.hit;
            r.seen = "seen at " + AtFrame(s.hitFrame, s.hitMs) + (s.hitText.empty() ? "" : ": " + s.hitText);
            r.frame = s.hitFrame;
        } else {
            r.passed = s.hit;
            r.frame = s.lastFrame;
            r.seen = "not seen by the end (" + AtFrame(s.lastFrame, s.lastMs) + ")";
            if (s.near) {
                r.seen += "; seen outside the window at " + AtFrame(s.nearFrame, s.nearMs) +
                          (s.nearText.empty() ? "" : ": " + s.nearText);
                r.frame = s.nearFrame;
            } else if (s.other) {
                r.seen += "; nearest: " + s.otherText + " at " + AtFrame(s.otherFrame, s.otherMs);
                r.frame = s.otherFrame;
            }
        }
        if (r.passed) r.seen.clear();
        results.push_back(std::move(r));
    }
    return results;
}

}  // namespace qohost
