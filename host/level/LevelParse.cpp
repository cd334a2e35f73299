// Level documents: JSON text to a LevelDesc, with every problem reported by file, entity and
// field. Nothing here knows the module; property values stay JSON until the level is loaded.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <unordered_set>

#include "host/level/Level.h"
#include "host/level/Expectations.h"
#include "host/level/Suggest.h"
#include "quorin/qoEvents.h"

namespace qohost {

using Json = nlohmann::ordered_json;

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

std::string Printable(std::string_view text, size_t maxBytes) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (out.size() >= maxBytes) {
            // Cut on a character boundary: drop the start of a UTF-8 sequence cut short.
            if ((u & 0xC0) == 0x80) {
                while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
                if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.pop_back();
            }
            return out + "...";
        }
        if (u < 0x20 || u == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string LevelError::Text() const {
    std::string text = file + ": ";
    if (!entity.empty()) text += "entity '" + entity + "'" + (field.empty() ? ": " : ", ");
    if (!field.empty()) text += "field '" + field + "': ";
    return Printable(text + message);
}

void AddError(LevelErrors& errors, LevelError error) {
    if (errors.size() >= kMaxErrorsKept) {
        ++errors.back().more;
        return;
    }
    for (std::string* part : {&error.file, &error.entity, &error.field, &error.message})
        if (part->size() > kMaxErrorLineBytes) *part = Printable(*part);
    errors.push_back(std::move(error));
}

size_t CountProblems(const LevelErrors& errors) {
    size_t count = 0;
    for (const LevelError& e : errors) count += 1 + e.more;
    return count;
}

std::string ErrorLines(const LevelErrors& errors) {
    std::string text;
    for (size_t i = 0; i < errors.size() && i < kMaxErrorLines; ++i) text += errors[i].Text() + "\n";
    const size_t total = CountProblems(errors);
    if (total > kMaxErrorLines)
        text += "... and " + std::to_string(total - kMaxErrorLines) +
                (total - kMaxErrorLines == 1 ? " more problem\n" : " more problems\n");
    return text;
}

const char* DescribeJson(const Json& v) {
    switch (v.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::boolean: return "true or false";
        case Json::value_t::string: return "a string";
        case Json::value_t::array: return "an array";
        case Json::value_t::object: return "an object";
        case Json::value_t::number_float: return "a number";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned: return "an integer";
        default: return "an unsupported value";
    }
}

bool FitsFloat(const Json& v) {
    if (!v.is_number()) return false;
    const double d = v.get<double>();
    return std::isfinite(d) && std::fabs(d) <= double(std::numeric_limits<float>::max());
}

bool ReadFloats(const Json& v, size_t count, const char* shape, const std::string& field,
                float* out, std::string& badField, std::string& message) {
    badField = field;
    if (!v.is_array()) {
        message = std::string("expected ") + shape + ", got " + DescribeJson(v);
        return false;
    }
    if (v.size() != count) {
        message = std::string("expected ") + shape + ", got an array of " + std::to_string(v.size()) +
                  (v.size() == 1 ? " element" : " elements");
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (FitsFloat(v[i])) {
            out[i] = v[i].get<float>();
            continue;
        }
        badField = field + "[" + std::to_string(i) + "]";
        message = v[i].is_number() ? "number out of range for a float"
                                   : std::string("expected a number, got ") + DescribeJson(v[i]);
        return false;
    }
    return true;
}

const LevelEntity* LevelDesc::FindEntity(std::string_view entityName) const {
    if (indexedData_ != entities.data() || indexedSize_ != entities.size()) {
        entityIndex_.clear();
        entityIndex_.reserve(entities.size());
        for (size_t i = 0; i < entities.size(); ++i) entityIndex_.emplace(entities[i].name, i);  // first wins
        indexedData_ = entities.data();
        indexedSize_ = entities.size();
    }
    const auto it = entityIndex_.find(entityName);
    return it == entityIndex_.end() ? nullptr : &entities[it->second];
}

std::string EventField(const std::string& list, const LevelEvent& event) {
    return list + "[" + std::to_string(event.index) + "]";
}

std::string EntityField(const LevelEntity& entity) {
    switch (entity.list) {
    case LevelEntity::List::Players: return "players[" + std::to_string(entity.index) + "]";
    case LevelEntity::List::Entities: return "entities[" + std::to_string(entity.index) + "]";
    case LevelEntity::List::Implicit: break;
    }
    return "(implicit world)";
}

bool LevelDesc::HasDecl(std::string_view type, std::string_view declName) const {
    for (const auto& [t, n] : decls)
        if (t == type && n == declName) return true;
    return false;
}

int32_t FrameForSeconds(double seconds, int32_t frameMs) {
    if (!(seconds > 0) || frameMs <= 0) return 0;  // NaN too
    // The small tolerance keeps 0.1 s at 10 ms frames on frame 10 despite binary fractions.
    double frames = std::ceil(seconds * 1000.0 / frameMs - 1e-9);
    if (frames < 0) return 0;
    if (frames > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(frames);
}

int32_t LevelDesc::DefaultRunFrames() const {
    if (frames) return *frames;
    if (seconds) return FrameForSeconds(*seconds, frameMs);
    return FrameForSeconds(10.0, frameMs);
}

LevelDesc LevelDesc::WithRun(const LevelRun& run) const {
    LevelDesc played = *this;
    played.runs.clear();
    played.timeline.insert(played.timeline.end(), run.timeline.begin(), run.timeline.end());
    std::stable_sort(played.timeline.begin(), played.timeline.end(),
                     [](const LevelEvent& a, const LevelEvent& b) { return a.frame < b.frame; });
    played.expect.insert(played.expect.end(), run.expect.begin(), run.expect.end());
    return played;
}

namespace {

// The host events a timeline entry can name, and the fields each takes besides the common
// ones ("frame"/"time", "event", "comment").
struct EventKindInfo {
    const char* name;
    LevelEventKind kind;
    bool needsBy;
    const char* extra;  // the one further field this kind takes, or nullptr
};

constexpr EventKindInfo kEventKinds[] = {
    {"activate", LevelEventKind::Activate, false, nullptr},
    {"trigger", LevelEventKind::Trigger, false, nullptr},
    {"damage", LevelEventKind::Damage, false, "amount"},
    {"death", LevelEventKind::Death, false, nullptr},
    {"enter", LevelEventKind::Enter, true, nullptr},
    {"exit", LevelEventKind::Exit, true, nullptr},
    {"use", LevelEventKind::Use, false, nullptr},
    {"animNotify", LevelEventKind::AnimNotify, false, "notify"},
    {"music", LevelEventKind::Music, false, "level"},
    {"cvar", LevelEventKind::Cvar, false, nullptr},
    {"event", LevelEventKind::Event, false, nullptr},
    {"aware", LevelEventKind::Aware, false, nullptr},
};

// Shapes of the named event entries (entity, two entities and a flag, ...), from the event table.
struct NamedEvent {
    const char* name;
    const char* shape;
};
#define QO_LEVEL_NAMED_EVENT(slot, id, name, shape) {name, #shape},
constexpr NamedEvent kNamedEvents[] = {QO_EVENT_TABLE(QO_LEVEL_NAMED_EVENT)};
#undef QO_LEVEL_NAMED_EVENT

// Walks the document and collects errors. `entity` names the entity being read, if any.
class Reader {
public:
    Reader(const std::string& file, LevelErrors& errors) : file(file), errors(errors) {}

    std::string entity;
    // Prepended to field paths while reading an entity whose name is not known, so that the
    // message still points into the document ("entities[3].class").
    std::string prefix;

    void Fail(const std::string& field, std::string message) {
        std::string where = prefix.empty() ? field : field.empty() ? prefix : Join(prefix, field);
        AddError(errors, {file, entity, where, std::move(message)});
    }
    bool Expect(bool ok, const std::string& field, const char* what, const Json& v) {
        if (!ok) Fail(field, std::string("expected ") + what + ", got " + DescribeJson(v));
        return ok;
    }

    // Reports keys that are not in `allowed` ("comment" is allowed everywhere).
    void Keys(const Json& object, const std::string& field,
              std::initializer_list<const char*> allowed) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const std::string& key = it.key();
            if (key == "comment") {
                Expect(it.value().is_string(), Join(field, key), "a string", it.value());
                continue;
            }
            bool known = false;
            for (const char* a : allowed) known = known || key == a;
            if (!known) Fail(Join(field, key), "unknown field");
        }
    }

    static std::string Join(const std::string& field, const std::string& key) {
        return field.empty() ? key : field + "." + key;
    }
    static std::string Index(const std::string& field, size_t i) {
        return field + "[" + std::to_string(i) + "]";
    }

    // A text: any string without NUL characters (the host hands texts on as C strings).
    bool String(const Json& v, const std::string& field, std::string& out, bool nonEmpty) {
        if (!Expect(v.is_string(), field, nonEmpty ? "a non-empty string" : "a string", v))
            return false;
        if (!Text(v.get_ref<const std::string&>(), field)) return false;
        out = v.get<std::string>();
        if (nonEmpty && out.empty()) {
            Fail(field, "expected a non-empty string");
            return false;
        }
        return true;
    }

    bool Text(const std::string& text, const std::string& field) {
        if (text.find('\0') == std::string::npos) return true;
        Fail(field, "expected a text without NUL characters");
        return false;
    }

    // A name (of an entity, a class, a decl, a console variable, ...): a non-empty string
    // without control characters, so that no two names the level tells apart look alike to
    // the host or in a message.
    bool Name(const Json& v, const std::string& field, std::string& out) {
        if (!Expect(v.is_string(), field, "a non-empty string", v)) return false;
        const std::string& name = v.get_ref<const std::string&>();
        if (name.empty()) {
            Fail(field, "expected a non-empty string");
            return false;
        }
        if (!KeyName(name, field)) return false;
        out = name;
        return true;
    }
    // An object key used as a name.
    bool KeyName(const std::string& name, const std::string& field) {
        if (!HasControlCharacter(name)) return true;
        Fail(field, "expected a name without control characters");
        return false;
    }

    bool Number(const Json& v, const std::string& field, double& out) {
        if (!Expect(v.is_number(), field, "a number", v)) return false;
        out = v.get<double>();
        if (!std::isfinite(out)) {
            Fail(field, "expected a finite number");
            return false;
        }
        return true;
    }

    // A number a 32-bit float holds, not below `lo`.
    bool Float(const Json& v, const std::string& field, double lo, float& out) {
        double d;
        if (!Number(v, field, d)) return false;
        if (!FitsFloat(v)) {
            Fail(field, "number out of range for a float");
            return false;
        }
        if (d < lo) {
            Fail(field, "expected a number of " + Decimal(lo) + " or more");
            return false;
        }
        out = float(d);
        return true;
    }

    // Seconds of game time: 0 to kMaxRunSeconds.
    bool Seconds(const Json& v, const std::string& field, double& out) {
        if (!Number(v, field, out)) return false;
        if (out >= 0 && out <= kMaxRunSeconds) return true;
        Fail(field, "expected 0 to " + Decimal(kMaxRunSeconds) + " seconds");
        return false;
    }
    static std::string Decimal(double d) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", d);
        return text;
    }

    bool Integer(const Json& v, const std::string& field, int64_t lo, int64_t hi, int64_t& out) {
        double d = 0;
        bool integral = v.is_number_integer() || v.is_number_unsigned() ||
                        (v.is_number_float() && std::isfinite(d = v.get<double>()) &&
                         d == std::floor(d));
        if (!Expect(integral, field, "an integer", v)) return false;
        if (v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(hi)) {
            Fail(field, "integer out of range " + std::to_string(lo) + " to " + std::to_string(hi));
            return false;
        }
        double value = v.is_number_float() ? d : static_cast<double>(v.get<int64_t>());
        if (value < static_cast<double>(lo) || value > static_cast<double>(hi)) {
            Fail(field, "integer out of range " + std::to_string(lo) + " to " + std::to_string(hi));
            return false;
        }
        out = v.is_number_float() ? static_cast<int64_t>(d) : v.get<int64_t>();
        return true;
    }

    bool Vector(const Json& v, const std::string& field, qoVector& out) {
        float c[3];
        std::string badField, message;
        if (!ReadFloats(v, 3, "[x, y, z]", field, c, badField, message)) {
            Fail(badField, message);
            return false;
        }
        out = {c[0], c[1], c[2]};
        return true;
    }

    bool Names(const Json& v, const std::string& field, std::vector<std::string>& out) {
        if (!Expect(v.is_array(), field, "an array of names", v)) return false;
        bool ok = true;
        for (size_t i = 0; i < v.size(); ++i) {
            std::string name;
            if (Name(v[i], Index(field, i), name)) out.push_back(name);
            else ok = false;
        }
        return ok;
    }

    // A console variable value: text as typed, numbers and bools in their console form.
    bool CvarText(const Json& v, const std::string& field, std::string& out) {
        if (v.is_string()) return String(v, field, out, false);
        else if (v.is_boolean()) out = v.get<bool>() ? "1" : "0";
        else if (v.is_number_integer() || v.is_number_unsigned()) out = v.dump();
        else if (v.is_number_float()) {
            std::ostringstream s;
            s << v.get<double>();
            out = s.str();
        } else return Expect(false, field, "a string, number or bool", v);
        return true;
    }

    void Entity(const Json& v, const std::string& field, const char* defaultClass,
                LevelEntity& out) {
        entity.clear();
        prefix.clear();
        if (!Expect(v.is_object(), field, "an object", v)) return;
        if (!v.contains("name")) {
            Fail(field, "missing field 'name'");
        } else if (Name(v["name"], field + ".name", out.name)) {
            entity = out.name;
        }
        if (entity.empty()) prefix = field;
        Keys(v, "",
             {"name", "class", "origin", "angles", "mins", "maxs", "health", "shields", "hidden",
              "targets", "bindTo", "entityDefs", "spawnNames", "spawnArgs", "objects", "path", "volume"});
        if (v.contains("class")) Name(v["class"], "class", out.hostClass);
        else if (defaultClass) out.hostClass = defaultClass;
        else Fail("", "missing field 'class'");
        if (v.contains("origin")) {
            qoVector q;
            if (Vector(v["origin"], "origin", q)) out.origin = q;
        }
        for (auto [key, dst] : {std::pair{"angles", &LevelEntityMore::angles}, std::pair{"mins", &LevelEntityMore::mins},
                                std::pair{"maxs", &LevelEntityMore::maxs}}) {
            qoVector q;
            if (v.contains(key) && Vector(v[key], key, q)) (*out.more).*dst = q;
        }
        int64_t n;
        for (auto [key, dst] : {std::pair{"health", &LevelEntityMore::health}, std::pair{"shields", &LevelEntityMore::shields}})
            if (v.contains(key) && Integer(v[key], key, 0, std::numeric_limits<int32_t>::max(), n))
                (*out.more).*dst = int32_t(n);
        if (v.contains("spawnArgs")) Args(v["spawnArgs"], "spawnArgs", out.more->spawnArgs);
        if (v.contains("targets")) Names(v["targets"], "targets", out.targets);
        if (v.contains("bindTo")) Name(v["bindTo"], "bindTo", out.more->bindTo);
        if (v.contains("entityDefs")) Names(v["entityDefs"], "entityDefs", out.more->entityDefs);
        if (v.contains("spawnNames")) Names(v["spawnNames"], "spawnNames", out.more->spawnNames);
        if (v.contains("hidden") && Expect(v["hidden"].is_boolean(), "hidden", "true or false",
                                           v["hidden"]))
            out.hidden = v["hidden"].get<bool>();
        if (v.contains("objects")) Objects(v["objects"], out);
        if (v.contains("path")) Path(v["path"], out.more->path);
        if (v.contains("volume") && Expect(v["volume"] == "events" || v["volume"] == "touch", "volume",
                                           "\"events\" or \"touch\"", v["volume"]))
            out.more->volume = v["volume"].get<std::string>();
        prefix.clear();
    }

    // Waypoints: { "to": [x, y, z], "speed" | "time", "wait", "angles", "ground" }.
    void Path(const Json& v, std::vector<Waypoint>& out) {
        if (!Expect(v.is_array(), "path", "an array of waypoints", v)) return;
        for (size_t i = 0; i < v.size(); ++i) {
            const std::string field = Index("path", i);
            const Json& p = v[i];
            if (!Expect(p.is_object(), field, "an object", p)) continue;
            Keys(p, field, {"to", "speed", "time", "wait", "angles", "ground"});
            Waypoint w;
            if (!p.contains("to")) Fail(field, "missing field 'to'");
            else Vector(p["to"], Join(field, "to"), w.to);
            if (p.contains("speed") && p.contains("time")) Fail(field, "at most one of 'speed' and 'time'");
            if (p.contains("speed")) Float(p["speed"], Join(field, "speed"), 0.0, w.speed);
            if (p.contains("time")) Float(p["time"], Join(field, "time"), 0.0, w.time);
            if (p.contains("wait")) Float(p["wait"], Join(field, "wait"), 0.0, w.wait);
            qoVector angles;
            if (p.contains("angles") && Vector(p["angles"], Join(field, "angles"), angles)) w.angles = angles;
            if (p.contains("ground") && Expect(p["ground"].is_boolean(), Join(field, "ground"), "true or false", p["ground"]))
                w.ground = p["ground"].get<bool>();
            out.push_back(w);
        }
    }

    // Free-form key/value pairs: values as console text.
    void Args(const Json& v, const std::string& field,
              std::vector<std::pair<std::string, std::string>>& out) {
        if (!Expect(v.is_object(), field, "an object of key: value", v)) return;
        for (auto it = v.begin(); it != v.end(); ++it) {
            std::string text;
            const std::string sub = Join(field, it.key());
            if (KeyName(it.key(), sub) && CvarText(it.value(), sub, text)) out.emplace_back(it.key(), text);
        }
    }

    void Objects(const Json& v, LevelEntity& out) {
        if (!Expect(v.is_array(), "objects", "an array of objects", v)) return;
        for (size_t i = 0; i < v.size(); ++i) {
            std::string field = Index("objects", i);
            const Json& o = v[i];
            if (!Expect(o.is_object(), field, "an object", o)) continue;
            Keys(o, field, {"class", "properties"});
            LevelObject placed;
            placed.field = field;
            if (!o.contains("class")) {
                Fail(field, "missing field 'class'");
                continue;
            }
            if (!Name(o["class"], field + ".class", placed.className)) continue;
            for (const LevelObject& earlier : out.objects)
                if (earlier.className == placed.className)
                    Fail(field + ".class", "script class '" + placed.className +
                                               "' is placed twice on this entity");
            if (o.contains("properties")) {
                const Json& p = o["properties"];
                if (!Expect(p.is_object(), field + ".properties", "an object", p)) continue;
                placed.properties = p;
            }
            out.objects.push_back(std::move(placed));
        }
    }

    void EntityDef(const std::string& name, const Json& v, const std::string& field,
                   LevelEntityDef& out) {
        out.name = name;
        if (!Expect(v.is_object(), field, "an object", v)) return;
        prefix = field;
        Keys(v, "", {"class", "args"});
        if (!v.contains("class")) Fail("", "missing field 'class'");
        else Name(v["class"], "class", out.hostClass);
        if (v.contains("args")) Args(v["args"], "args", out.args);
        prefix.clear();
    }

    void Event(const Json& v, const std::string& field, int32_t frameMs, LevelEvent& out) {
        if (!Expect(v.is_object(), field, "an object", v)) return;
        std::string kindName;
        if (!v.contains("event")) {
            Fail(field, "missing field 'event'");
            return;
        }
        if (!String(v["event"], field + ".event", kindName, true)) return;
        const EventKindInfo* info = nullptr;
        for (const EventKindInfo& k : kEventKinds)
            if (kindName == k.name) info = &k;
        if (!info) {
            std::string known;
            for (const EventKindInfo& k : kEventKinds) known += std::string(known.empty() ? "" : ", ") + k.name;
            std::vector<std::string_view> names;
            for (const EventKindInfo& k : kEventKinds) names.emplace_back(k.name);
            Fail(field + ".event", "unknown event '" + kindName + "'" + DidYouMean(kindName, names) + " (known: " + known + ")");
            return;
        }
        out.kind = info->kind;

        // Timing.
        bool hasFrame = v.contains("frame"), hasTime = v.contains("time");
        if (hasFrame == hasTime) {
            Fail(field, "give exactly one of 'frame' and 'time'");
        } else if (hasFrame) {
            int64_t f;
            if (Integer(v["frame"], field + ".frame", 0, std::numeric_limits<int32_t>::max(), f))
                out.frame = int32_t(f);
        } else {
            double t;
            if (Seconds(v["time"], field + ".time", t)) {
                out.time = t;
                out.frame = FrameForSeconds(t, frameMs);
            }
        }

        if (out.kind == LevelEventKind::Cvar) {
            Keys(v, field, {"event", "frame", "time", "name", "value"});
            if (!v.contains("name")) Fail(field, "missing field 'name'");
            else Name(v["name"], field + ".name", out.more->name);
            if (!v.contains("value")) Fail(field, "missing field 'value'");
            else CvarText(v["value"], field + ".value", out.more->text);
            return;
        }
        if (out.kind == LevelEventKind::Event) {
            EventEntry(v, field, out);
            return;
        }

        if (info->extra)
            Keys(v, field, {"event", "frame", "time", "entity", "by", info->extra});
        else
            Keys(v, field, {"event", "frame", "time", "entity", "by"});
        Receiver(v, field, out);
        if (v.contains("by")) Name(v["by"], field + ".by", out.by);
        else if (info->needsBy) Fail(field, "missing field 'by'");
        if (!info->extra) return;
        std::string extra = field + "." + info->extra;
        if (!v.contains(info->extra)) {
            Fail(field, std::string("missing field '") + info->extra + "'");
        } else if (out.kind == LevelEventKind::Damage) {
            Float(v["amount"], extra, 0.0, out.amount);
        } else if (out.kind == LevelEventKind::AnimNotify) {
            String(v["notify"], extra, out.more->text, false);
        } else if (out.kind == LevelEventKind::Music) {
            int64_t level;
            if (Integer(v["level"], extra, std::numeric_limits<int32_t>::min(),
                        std::numeric_limits<int32_t>::max(), level))
                out.value = int32_t(level);
        }
    }

    void Receiver(const Json& v, const std::string& field, LevelEvent& out) {
        if (!v.contains("entity")) Fail(field, "missing field 'entity'");
        else Name(v["entity"], field + ".entity", out.entity);
    }

    // "event": "event" names an event entry directly; its arguments follow the entry's shape.
    void EventEntry(const Json& v, const std::string& field, LevelEvent& out) {
        Keys(v, field, {"event", "frame", "time", "entity", "name", "by", "other", "flag",
                        "amount", "value", "text"});
        Receiver(v, field, out);
        if (!v.contains("name")) {
            Fail(field, "missing field 'name'");
            return;
        }
        if (!String(v["name"], field + ".name", out.more->name, true)) return;
        const NamedEvent* ev = nullptr;
        for (const NamedEvent& n : kNamedEvents)
            if (n.name && out.more->name == n.name) ev = &n;
        if (!ev) {
            std::vector<std::string_view> names;
            for (const NamedEvent& n : kNamedEvents)
                if (n.name) names.emplace_back(n.name);
            Fail(field + ".name", "unknown event entry '" + out.more->name + "'" + DidYouMean(out.more->name, names));
            return;
        }
        std::string shape = ev->shape;
        // Which argument fields the shape takes; any other argument field is an error.
        auto takes = [&](const char* key) {
            if (std::string(key) == "by") return shape[0] == 'E';
            if (std::string(key) == "other") return shape == "EEB" || shape == "EE";
            if (std::string(key) == "flag") return shape == "EEB";
            if (std::string(key) == "amount") return shape == "EF";
            if (std::string(key) == "value") return shape == "I";
            return shape == "S";  // text
        };
        for (const char* key : {"by", "other", "flag", "amount", "value", "text"}) {
            if (!v.contains(key)) continue;
            std::string f = field + "." + key;
            if (!takes(key)) {
                Fail(f, "event '" + out.more->name + "' takes no '" + key + "'");
                continue;
            }
            const Json& a = v[key];
            int64_t i;
            std::string k = key;
            if (k == "by") Name(a, f, out.by);
            else if (k == "other") Name(a, f, out.more->other);
            else if (k == "flag") {
                if (Expect(a.is_boolean(), f, "true or false", a)) out.flag = a.get<bool>();
            } else if (k == "amount") {
                Float(a, f, -std::numeric_limits<double>::infinity(), out.amount);
            } else if (k == "value") {
                if (Integer(a, f, std::numeric_limits<int32_t>::min(),
                            std::numeric_limits<int32_t>::max(), i))
                    out.value = int32_t(i);
            } else String(a, f, out.more->text, false);
        }
    }

private:
    const std::string& file;
    LevelErrors& errors;
};

// Receives the elements of the long top-level lists as each one is complete, so that they need
// not all be held as JSON at once.
class ElementSink {
public:
    // Whether the elements of the top-level array `list` go to Element instead of the document.
    virtual bool Takes(const std::string& list) const = 0;
    // Element `index` of the top-level array `list`; it is dropped from the document after.
    virtual void Element(const std::string& list, size_t index, const Json& element) = 0;

protected:
    ~ElementSink() = default;
};

// Builds the document from the parser's events in time linear in the text: reports keys that
// occur twice in one object (the JSON library would silently keep the last one) with the path
// of the object, and stops at values nested deeper than kMaxLevelDepth. Objects are appended
// to directly: the ordered object's own insert searches its keys, which is quadratic in the
// size of an object; duplicates are found through a hashed set per open object instead.
// The elements of the top-level arrays the sink takes (their first occurrence, the one the
// level is read from) go to the sink one by one and leave those arrays empty in the document.
class DocumentBuilder {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    // With the line that counts the rest, the duplicates fill at most the lines printed.
    static constexpr size_t kMaxDuplicatesKept = kMaxErrorLines - 1;

    explicit DocumentBuilder(Json& root, ElementSink* sink = nullptr) : root(root), sink(sink) {}

    std::vector<std::pair<std::string, std::string>> duplicates;  // (path, key), the first ones
    size_t moreDuplicates = 0;                                     // counted beyond those
    std::string tooDeep;      // path of the first value nested too deeply, when there was one
    bool nestedTooDeeply = false;
    std::string parseError;   // the parser's message, when the text is not JSON

    bool null() { return Value(nullptr); }
    bool boolean(bool b) { return Value(b); }
    bool number_integer(number_integer_t n) { return Value(n); }
    bool number_unsigned(number_unsigned_t n) { return Value(n); }
    bool number_float(number_float_t n, const string_t&) { return Value(n); }
    bool string(string_t& text) { return Value(std::move(text)); }
    bool binary(binary_t&) { return false; }  // JSON text has none
    bool start_object(std::size_t) { return Open(Json::object()); }
    bool start_array(std::size_t) { return Open(Json::array()); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(string_t& key) {
        Frame& top = stack.back();
        top.firstKey = FirstKey(top, key);
        if (!top.firstKey) {
            if (duplicates.size() < kMaxDuplicatesKept) duplicates.emplace_back(Path(stack.size() - 1), key);
            else ++moreDuplicates;
        }
        top.key = std::move(key);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
        // The library's message names the line and column; drop its "[json.exception...] " tag.
        const std::string what = e.what();
        const size_t tag = what.rfind("] ", what.find(' '));
        parseError = what[0] == '[' && tag != std::string::npos ? what.substr(tag + 2) : what;
        return false;
    }

private:
    struct Frame {
        Json* node;
        std::string key;                       // objects: the key of the value being read
        std::unordered_set<std::string> keys;  // objects past kScanKeys keys: every key so far
        bool firstKey = false;                 // objects: `key` was not seen before in it
        size_t items = 0;                      // arrays: the elements placed so far
        bool streamed = false;                 // arrays: elements go to the sink
    };

    // Objects of up to this many keys are searched in place for a repeated key.
    static constexpr size_t kScanKeys = 16;

    // Whether `key` is new in the open object. Its keys so far are those of its pairs (the
    // value of each key is placed before the next key comes): a small object is searched in
    // place, a larger one through a hashed set of its keys, made once it passes kScanKeys.
    static bool FirstKey(Frame& top, const std::string& key) {
        const auto& pairs = static_cast<const std::vector<Json::object_t::value_type>&>(
            top.node->get_ref<const Json::object_t&>());
        if (top.keys.empty()) {
            if (pairs.size() < kScanKeys)
                return std::none_of(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == key; });
            for (const auto& p : pairs) top.keys.insert(p.first);
        }
        return top.keys.insert(key).second;
    }

    // Places a finished or newly opened value in the open container (or as the root).
    Json* Place(Json&& value) {
        if (stack.empty()) {
            root = std::move(value);
            return &root;
        }
        Frame& top = stack.back();
        if (top.node->is_array()) {
            Json::array_t& array = top.node->get_ref<Json::array_t&>();
            array.push_back(std::move(value));
            ++top.items;
            return &array.back();
        }
        auto& pairs = static_cast<std::vector<Json::object_t::value_type>&>(
            top.node->get_ref<Json::object_t&>());
        pairs.emplace_back(top.key, std::move(value));
        return &pairs.back().second;
    }
    bool Value(Json&& value) {
        Place(std::move(value));
        Complete();
        return true;
    }
    bool Open(Json&& container) {
        if (stack.size() >= kMaxLevelDepth) {
            nestedTooDeeply = true;
            tooDeep = Path(stack.size() - 1, Step(stack.back(), /*pending=*/true));
            return false;
        }
        const bool streamed = sink && container.is_array() && stack.size() == 1 &&
                              stack[0].node->is_object() && stack[0].firstKey && sink->Takes(stack[0].key);
        Json* node = Place(std::move(container));
        stack.push_back(Frame{node, {}, {}});
        stack.back().streamed = streamed;
        return true;
    }
    bool Close() {
        stack.pop_back();
        Complete();
        return true;
    }
    // A value has been placed in the open container: an element of a streamed array goes to
    // the sink and leaves the document.
    void Complete() {
        if (stack.size() != 2 || !stack[1].streamed) return;
        Json::array_t& array = stack[1].node->get_ref<Json::array_t&>();
        sink->Element(stack[0].key, stack[1].items - 1, array.back());
        array.pop_back();
    }

    // Where the value being read in `frame` sits: ".key" or "[index]". `pending`: the value
    // is not placed yet.
    static std::string Step(const Frame& frame, bool pending) {
        if (!frame.node->is_array()) return "." + frame.key;
        return "[" + std::to_string(pending ? frame.items : frame.items - 1) + "]";
    }
    // The path of the container open at stack index `depth` (0: the document), cut when it
    // grows long: a path is as long as the keys it passes, and messages stay short.
    std::string Path(size_t depth, std::string last = {}) const {
        std::string path;
        for (size_t i = 0; i < depth && path.size() <= kMaxErrorLineBytes; ++i) path += Step(stack[i], false);
        path += last;
        if (!path.empty() && path[0] == '.') path.erase(0, 1);
        return path.size() > kMaxErrorLineBytes ? path.substr(0, kMaxErrorLineBytes) + "..." : path;
    }

    Json& root;
    ElementSink* sink;
    std::vector<Frame> stack;
};

// Appends problems found apart (`more`: counted beyond those kept) as if each had been added
// where it stands in `from`.
void MergeErrors(LevelErrors& into, LevelErrors::const_iterator first, LevelErrors::const_iterator last) {
    for (; first != last; ++first) {
        if (into.size() >= kMaxErrorsKept) into.back().more += 1 + first->more;
        else into.push_back(*first);
    }
}

// Reads the entity lists and the level's timeline element by element while the document is
// parsed, into the level's structures and problems of their own: ParseLevel adds those where
// the document walk reaches each list, so that the report is the same as from a whole document.
class LevelStream final : public ElementSink {
public:
    explicit LevelStream(const std::string& file) : file(file) {}

private:
    const std::string& file;  // first: the readers below keep it

public:
    struct Entities {
        explicit Entities(const std::string& file) : reader(file, errors) {}
        bool read = false;
        std::deque<LevelEntity> entities;  // grows without moving what it holds
        LevelErrors errors;
        Reader reader;
    };
    struct Events {
        explicit Events(const std::string& file) : reader(file, errors) {}
        bool read = false;
        std::vector<LevelEvent> events;  // in document order; frames from times still to set
        LevelErrors errors;
        std::vector<size_t> owner;  // the event each of `errors` belongs to
        Reader reader;
    };

    Entities players{file}, entities{file};
    Events timeline{file};

    bool Takes(const std::string& list) const override {
        return list == "players" || list == "entities" || list == "timeline";
    }
    void Element(const std::string& list, size_t index, const Json& element) override {
        if (list == "timeline") {
            timeline.read = true;
            LevelEvent& ev = timeline.events.emplace_back();
            ev.index = static_cast<uint32_t>(index);
            timeline.reader.Event(element, Reader::Index(list, index), kUnsetFrameMs, ev);
            timeline.owner.resize(timeline.errors.size(), index);
            return;
        }
        const bool isPlayers = list == "players";
        Entities& to = isPlayers ? players : entities;
        to.read = true;
        LevelEntity& e = to.entities.emplace_back();
        e.list = isPlayers ? LevelEntity::List::Players : LevelEntity::List::Entities;
        e.index = static_cast<uint32_t>(index);
        to.reader.Entity(element, Reader::Index(list, index), isPlayers ? "kvPlayer" : nullptr, e);
    }

    // Timeline entries given in seconds get their frame once the frame length is known.
    static constexpr int32_t kUnsetFrameMs = 16;
};

// Which entities' bindTo chains come back to themselves. Each entity is walked once: a chain
// stops at an entity already seen, so a level of any size is checked in linear time.
std::vector<bool> BindCycles(const LevelDesc& level) {
    enum : uint8_t { kUnseen, kOnChain, kDone };
    const size_t count = level.entities.size();
    std::vector<uint8_t> state(count, kUnseen);
    std::vector<bool> cycle(count, false);
    std::vector<size_t> chain;
    for (size_t start = 0; start < count; ++start) {
        if (state[start] != kUnseen) continue;
        chain.clear();
        for (size_t at = start;;) {
            state[at] = kOnChain;
            chain.push_back(at);
            const std::string& to = level.entities[at].more->bindTo;
            const LevelEntity* parent = to.empty() ? nullptr : level.FindEntity(to);
            if (!parent) break;
            at = static_cast<size_t>(parent - level.entities.data());
            if (state[at] == kDone) break;
            if (state[at] == kOnChain) {
                // Back to `at`: every entity from there on is on the cycle.
                for (auto it = std::find(chain.begin(), chain.end(), at); it != chain.end(); ++it) cycle[*it] = true;
                break;
            }
        }
        for (size_t i : chain) state[i] = kDone;
    }
    return cycle;
}

// Hands a document already in memory to the builder, value by value, as the text reader would.
bool Replay(const Json& value, DocumentBuilder& builder) {
    switch (value.type()) {
        case Json::value_t::object: {
            if (!builder.start_object(value.size())) return false;
            for (auto it = value.begin(); it != value.end(); ++it) {
                std::string key = it.key();
                if (!builder.key(key) || !Replay(it.value(), builder)) return false;
            }
            return builder.end_object();
        }
        case Json::value_t::array:
            if (!builder.start_array(value.size())) return false;
            for (const Json& element : value)
                if (!Replay(element, builder)) return false;
            return builder.end_array();
        case Json::value_t::string: {
            std::string text = value.get_ref<const std::string&>();
            return builder.string(text);
        }
        case Json::value_t::boolean: return builder.boolean(value.get<bool>());
        case Json::value_t::number_integer: return builder.number_integer(value.get<Json::number_integer_t>());
        case Json::value_t::number_unsigned: return builder.number_unsigned(value.get<Json::number_unsigned_t>());
        case Json::value_t::number_float: return builder.number_float(value.get<Json::number_float_t>(), "");
        case Json::value_t::null: return builder.null();
        default: return false;  // binary and discarded values are not JSON
    }
}

// The level from a document that `read` hands to the builder.
template <class ReadDocument>
bool ParseDocument(const std::string& file, LevelDesc& out, LevelErrors& errors, ReadDocument read) {
    const size_t before = CountProblems(errors);
    out = LevelDesc{};
    out.file = file;

    Json doc;
    LevelStream stream(file);
    DocumentBuilder builder(doc, &stream);
    if (!read(builder)) {
        if (builder.nestedTooDeeply)
            AddError(errors, {file, "", builder.tooDeep,
                              "values nested more than " + std::to_string(kMaxLevelDepth) + " deep"});
        else
            AddError(errors, {file, "", "", "invalid JSON: " + builder.parseError});
        return false;
    }
    for (const auto& [path, key] : builder.duplicates)
        AddError(errors, {file, "", path, "duplicate key '" + key + "'"});
    if (builder.moreDuplicates)
        AddError(errors, {file, "", "", std::to_string(builder.moreDuplicates) + " more duplicate keys"});

    Reader r(file, errors);
    if (!r.Expect(doc.is_object(), "", "a JSON object at the top level", doc)) return false;
    r.Keys(doc, "", {"name", "description", "frameMs", "seed", "frames", "seconds", "cvars",
                     "decls", "entityDefs", "players", "entities", "timeline", "expect", "runs"});

    if (doc.contains("name")) r.String(doc["name"], "name", out.name, false);
    if (doc.contains("description")) r.String(doc["description"], "description", out.description, false);
    int64_t i;
    double d;
    if (doc.contains("frameMs") && r.Integer(doc["frameMs"], "frameMs", 1, 1000, i))
        out.frameMs = int32_t(i);
    if (doc.contains("seed") && r.Integer(doc["seed"], "seed", 0, 0xFFFFFFFFll, i))
        out.seed = uint32_t(i);
    if (doc.contains("frames") && doc.contains("seconds"))
        r.Fail("frames", "give at most one of 'frames' and 'seconds'");
    if (doc.contains("frames") &&
        r.Integer(doc["frames"], "frames", 0, std::numeric_limits<int32_t>::max(), i))
        out.frames = int32_t(i);
    if (doc.contains("seconds") && r.Seconds(doc["seconds"], "seconds", d)) out.seconds = d;

    if (doc.contains("cvars")) {
        const Json& c = doc["cvars"];
        if (r.Expect(c.is_object(), "cvars", "an object of name: value", c))
            for (auto it = c.begin(); it != c.end(); ++it) {
                std::string value;
                const std::string field = "cvars." + it.key();
                if (it.key().empty()) {
                    r.Fail(field, "expected a console variable name, got an empty name");
                    continue;
                }
                if (r.KeyName(it.key(), field) && r.CvarText(it.value(), field, value))
                    out.cvars.emplace_back(it.key(), value);
            }
    }

    if (doc.contains("decls")) {
        const Json& c = doc["decls"];
        if (r.Expect(c.is_object(), "decls", "an object of decl type: [names]", c))
            for (auto it = c.begin(); it != c.end(); ++it) {
                std::vector<std::string> names;
                const std::string field = "decls." + it.key();
                if (!r.KeyName(it.key(), field)) continue;
                r.Names(it.value(), field, names);
                for (const std::string& n : names) out.decls.emplace_back(it.key(), n);
            }
    }

    if (doc.contains("entityDefs")) {
        const Json& c = doc["entityDefs"];
        if (r.Expect(c.is_object(), "entityDefs", "an object of name: definition", c))
            for (auto it = c.begin(); it != c.end(); ++it) {
                LevelEntityDef def;
                const std::string field = "entityDefs." + it.key();
                if (!r.KeyName(it.key(), field)) continue;
                r.EntityDef(it.key(), it.value(), field, def);
                out.entityDefs.push_back(def);
                // An entity def is also a decl of type kvDeclEntityDef.
                out.decls.emplace_back("kvDeclEntityDef", it.key());
            }
    }

    std::deque<LevelEntity> lists[2];  // players, entities
    for (const char* list : {"players", "entities"}) {
        if (!doc.contains(list)) continue;
        const Json& c = doc[list];
        if (!r.Expect(c.is_array(), list, "an array of entities", c)) continue;
        bool players = std::string(list) == "players";
        std::deque<LevelEntity>& to = lists[players ? 0 : 1];
        LevelStream::Entities& read = players ? stream.players : stream.entities;
        if (read.read) {
            MergeErrors(errors, read.errors.begin(), read.errors.end());
            to = std::move(read.entities);
            continue;
        }
        for (size_t n = 0; n < c.size(); ++n) {
            LevelEntity& e = to.emplace_back();
            e.list = players ? LevelEntity::List::Players : LevelEntity::List::Entities;
            e.index = static_cast<uint32_t>(n);
            r.Entity(c[n], Reader::Index(list, n), players ? "kvPlayer" : nullptr, e);
        }
    }
    r.entity.clear();

    // The module's Reset binds its world utility to the entity named "world": a level that
    // does not place one, nor names a spawn so, gets a bare world entity, first. It takes no
    // part in the checks of names below.
    const bool implicitWorld = std::none_of(std::begin(lists), std::end(lists), [](const auto& entities) {
        return std::any_of(entities.begin(), entities.end(), [](const LevelEntity& e) {
            return e.name == "world" ||
                   std::find(e.more->spawnNames.begin(), e.more->spawnNames.end(), "world") != e.more->spawnNames.end();
        });
    });
    out.entities.reserve(lists[0].size() + lists[1].size() + (implicitWorld ? 1 : 0));
    if (implicitWorld) {
        LevelEntity& world = out.entities.emplace_back();
        world.name = "world";
        world.hostClass = "kvWorldspawn";
        world.list = LevelEntity::List::Implicit;
    }
    for (std::deque<LevelEntity>& list : lists) {
        std::move(list.begin(), list.end(), std::back_inserter(out.entities));
        list.clear();
    }

    // Names: unique and non-empty; targets and spawner defs must exist.
    // Views of the names in `out.entities`, which holds still from here on.
    LevelNames names;
    names.Reserve(out.entities.size() + 1);
    for (size_t i = implicitWorld ? 1 : 0; i < out.entities.size(); ++i) {
        const LevelEntity& e = out.entities[i];
        if (!e.name.empty() && !names.Insert(e.name))
            AddError(errors, {file, e.name, EntityField(e) + ".name", "duplicate entity name"});
    }
    const std::vector<bool> inBindCycle = BindCycles(out);
    for (size_t i = 0; i < out.entities.size(); ++i) {
        const LevelEntity& e = out.entities[i];
        if (!e.more->bindTo.empty() && !names.Contains(e.more->bindTo))
            AddError(errors, {file, e.name, "bindTo", "unknown entity '" + e.more->bindTo + "'" + DidYouMean(e.more->bindTo, names.Sorted())});
        if (inBindCycle[i])
            AddError(errors, {file, e.name, "bindTo", "bound to itself through '" + e.more->bindTo + "'"});
        for (size_t t = 0; t < e.targets.size(); ++t)
            if (!names.Contains(e.targets[t]))
                AddError(errors, {file, e.name, Reader::Index("targets", t),
                                  "unknown target entity '" + e.targets[t] + "'" + DidYouMean(e.targets[t], names.Sorted())});
        for (size_t t = 0; t < e.more->entityDefs.size(); ++t)
            if (!out.HasDecl("kvDeclEntityDef", e.more->entityDefs[t]))
                AddError(errors, {file, e.name, Reader::Index("entityDefs", t),
                                  "unknown entity def '" + e.more->entityDefs[t] + "'"});
    }
    // What spawners spawn takes the names the level gives it: timeline events may name them.
    for (const LevelEntity& e : out.entities)
        for (size_t t = 0; t < e.more->spawnNames.size(); ++t)
            if (!names.Insert(e.more->spawnNames[t]))
                AddError(errors, {file, e.name, Reader::Index("spawnNames", t),
                                  "spawn name '" + e.more->spawnNames[t] + "' is already taken"});
    if (implicitWorld) names.Insert("world");

    const auto knownEntities = [&](const LevelEvent& ev, const std::string& list) {
        for (auto [key, ref] : {std::pair{".entity", &ev.entity}, std::pair{".by", &ev.by},
                                std::pair{".other", &ev.more->other}})
            if (!ref->empty() && !names.Contains(*ref))
                r.Fail(EventField(list, ev) + key, "unknown entity '" + *ref + "'" + DidYouMean(*ref, names.Sorted()));
    };
    const auto byFrame = [](std::vector<LevelEvent>& events) {
        // Levels nearly always list their timeline in frame order already; sorting anyway
        // would make a copy of it (the merge buffer).
        const auto earlier = [](const LevelEvent& a, const LevelEvent& b) { return a.frame < b.frame; };
        if (!std::is_sorted(events.begin(), events.end(), earlier))
            std::stable_sort(events.begin(), events.end(), earlier);
    };
    const auto timeline = [&](const Json& c, const std::string& field, std::vector<LevelEvent>& events) {
        if (r.Expect(c.is_array(), field, "an array of events", c))
            for (size_t n = 0; n < c.size(); ++n) {
                LevelEvent ev;
                ev.index = static_cast<uint32_t>(n);
                r.Event(c[n], Reader::Index(field, n), out.frameMs, ev);
                knownEntities(ev, field);
                events.push_back(std::move(ev));
            }
        byFrame(events);
    };
    if (stream.timeline.read) {
        LevelStream::Events& read = stream.timeline;
        size_t next = 0;
        for (size_t n = 0; n < read.events.size(); ++n) {
            LevelEvent& ev = read.events[n];
            if (ev.time) ev.frame = FrameForSeconds(*ev.time, out.frameMs);
            const size_t first = next;
            while (next < read.owner.size() && read.owner[next] == n) ++next;
            MergeErrors(errors, read.errors.begin() + first, read.errors.begin() + next);
            knownEntities(ev, "timeline");
        }
        out.timeline = std::move(read.events);
        byFrame(out.timeline);
    } else if (doc.contains("timeline")) {
        timeline(doc["timeline"], "timeline", out.timeline);
    }
    if (doc.contains("expect")) ParseExpectations(doc["expect"], "expect", file, names, out.expect, errors);
    if (doc.contains("runs")) {
        const Json& c = doc["runs"];
        if (r.Expect(c.is_object() && !c.empty(), "runs", "an object of run name: {timeline, expect}", c))
            for (auto it = c.begin(); it != c.end(); ++it) {
                LevelRun run;
                run.name = it.key();
                run.field = "runs." + it.key();
                if (!r.KeyName(it.key(), run.field)) continue;
                const Json& v = it.value();
                if (!r.Expect(v.is_object(), run.field, "an object with 'timeline' and 'expect'", v)) continue;
                r.Keys(v, run.field, {"timeline", "expect"});
                if (v.contains("timeline")) timeline(v["timeline"], run.field + ".timeline", run.timeline);
                if (v.contains("expect"))
                    ParseExpectations(v["expect"], run.field + ".expect", file, names, run.expect, errors);
                out.runs.push_back(std::move(run));
            }
    }
    return CountProblems(errors) == before;
}

}  // namespace

bool ParseLevel(std::string_view text, const std::string& file, LevelDesc& out,
                LevelErrors& errors) {
    // The reader stops at a NUL byte as at the end of the text: whatever follows one would be
    // ignored without a word, so a file holding one is refused.
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
        AddError(errors, {file, "", "",
                          "a NUL byte at offset " + std::to_string(nul) +
                              ": a level file holds one JSON document and nothing after it but whitespace"});
        return false;
    }
    return ParseDocument(file, out, errors, [&](DocumentBuilder& builder) {
        return Json::sax_parse(text.begin(), text.end(), &builder);
    });
}

bool ParseLevelDocument(const nlohmann::ordered_json& doc, const std::string& file, LevelDesc& out,
                        LevelErrors& errors) {
    return ParseDocument(file, out, errors, [&](DocumentBuilder& builder) { return Replay(doc, builder); });
}

namespace {

// What a path that is not a regular file is, for the message refusing it.
const char* FileKind(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a fifo";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string Megabytes(size_t bytes) {
    return bytes % (size_t(1) << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

}  // namespace

bool ReadRegularFile(const std::string& path, const char* what, size_t maxBytes, std::string& text,
                     std::string& error) {
    // Not blocking: opening a fifo must not wait for a writer before it can be refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot open the ") + what + " file";
        return false;
    }
    text.clear();
    struct stat info {};
    bool ok = false;
    if (::fstat(fd, &info) != 0) {
        error = std::string("cannot read the ") + what + " file: " + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = std::string("not a ") + what + " file: " + FileKind(info.st_mode);
    } else if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        error = std::string("the ") + what + " file is larger than " + Megabytes(maxBytes);
    } else {
        // The file may still grow while it is read: never more than the limit.
        text.resize(static_cast<size_t>(info.st_size));
        size_t size = 0;
        ok = true;
        for (;;) {
            if (size == text.size()) {
                if (size > maxBytes) break;
                text.resize(std::min(maxBytes + 1, std::max<size_t>(size * 2, 4096)));
            }
            const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = std::string("cannot read the ") + what + " file: " + std::strerror(errno);
                ok = false;
                break;
            }
            if (n == 0) break;
            size += static_cast<size_t>(n);
        }
        text.resize(size);
        if (ok && size > maxBytes) {
            error = std::string("the ") + what + " file is larger than " + Megabytes(maxBytes);
            ok = false;
        }
    }
    ::close(fd);
    return ok;
}

bool ReadLevelFile(const std::string& path, LevelDesc& out, LevelErrors& errors, size_t maxBytes) {
    std::string text, error;
    if (!ReadRegularFile(path, "level", maxBytes, text, error)) {
        AddError(errors, {path, "", "", error});
        return false;
    }
    return ParseLevel(text, path, out, errors);
}

}  // namespace qohost
