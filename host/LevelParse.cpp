// Level documents: JSON text to a LevelDesc, with every problem reported by file, entity and
// field. Nothing here knows the module; property values stay JSON until the level is loaded.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "host/Level.h"
#include "quorin/qoEvents.h"

namespace qohost {

using Json = nlohmann::ordered_json;

std::string LevelError::Text() const {
    std::string text = file + ": ";
    if (!entity.empty()) text += "entity '" + entity + "'" + (field.empty() ? ": " : ", ");
    if (!field.empty()) text += "field '" + field + "': ";
    return text + message;
}

std::string ErrorLines(const LevelErrors& errors) {
    std::string text;
    for (const LevelError& e : errors) text += e.Text() + "\n";
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

const LevelEntity* LevelDesc::FindEntity(std::string_view entityName) const {
    for (const LevelEntity& e : entities)
        if (e.name == entityName) return &e;
    return nullptr;
}

bool LevelDesc::HasDecl(std::string_view type, std::string_view declName) const {
    for (const auto& [t, n] : decls)
        if (t == type && n == declName) return true;
    return false;
}

int32_t FrameForSeconds(double seconds, int32_t frameMs) {
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
        errors.push_back({file, entity, where, std::move(message)});
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
            bool known = key == "comment";
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

    bool String(const Json& v, const std::string& field, std::string& out, bool nonEmpty) {
        if (!Expect(v.is_string(), field, nonEmpty ? "a non-empty string" : "a string", v))
            return false;
        out = v.get<std::string>();
        if (nonEmpty && out.empty()) {
            Fail(field, "expected a non-empty string");
            return false;
        }
        return true;
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
        if (!Expect(v.is_array() && v.size() == 3, field, "[x, y, z]", v)) return false;
        double c[3];
        for (size_t i = 0; i < 3; ++i)
            if (!Number(v[i], Index(field, i), c[i])) return false;
        out = {float(c[0]), float(c[1]), float(c[2])};
        return true;
    }

    bool Names(const Json& v, const std::string& field, std::vector<std::string>& out) {
        if (!Expect(v.is_array(), field, "an array of names", v)) return false;
        bool ok = true;
        for (size_t i = 0; i < v.size(); ++i) {
            std::string name;
            if (String(v[i], Index(field, i), name, true)) out.push_back(name);
            else ok = false;
        }
        return ok;
    }

    // A console variable value: text as typed, numbers and bools in their console form.
    bool CvarText(const Json& v, const std::string& field, std::string& out) {
        if (v.is_string()) out = v.get<std::string>();
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
        out.field = field;
        if (!Expect(v.is_object(), field, "an object", v)) return;
        if (!v.contains("name")) {
            Fail(field, "missing field 'name'");
        } else if (String(v["name"], field + ".name", out.name, true)) {
            entity = out.name;
        }
        if (entity.empty()) prefix = field;
        Keys(v, "",
             {"name", "class", "origin", "angles", "mins", "maxs", "health", "shields", "hidden",
              "targets", "entityDefs", "spawnNames", "spawnArgs", "objects"});
        if (v.contains("class")) String(v["class"], "class", out.hostClass, true);
        else if (defaultClass) out.hostClass = defaultClass;
        else Fail("", "missing field 'class'");
        auto vec = [&](const char* key, std::optional<qoVector>& dst) {
            qoVector q;
            if (v.contains(key) && Vector(v[key], key, q)) dst = q;
        };
        vec("origin", out.origin);
        vec("angles", out.angles);
        vec("mins", out.mins);
        vec("maxs", out.maxs);
        int64_t n;
        for (auto [key, dst] : {std::pair{"health", &out.health}, std::pair{"shields", &out.shields}})
            if (v.contains(key) && Integer(v[key], key, 0, std::numeric_limits<int32_t>::max(), n))
                *dst = int32_t(n);
        if (v.contains("spawnArgs")) Args(v["spawnArgs"], "spawnArgs", out.spawnArgs);
        if (v.contains("targets")) Names(v["targets"], "targets", out.targets);
        if (v.contains("entityDefs")) Names(v["entityDefs"], "entityDefs", out.entityDefs);
        if (v.contains("spawnNames")) Names(v["spawnNames"], "spawnNames", out.spawnNames);
        if (v.contains("hidden") && Expect(v["hidden"].is_boolean(), "hidden", "true or false",
                                           v["hidden"]))
            out.hidden = v["hidden"].get<bool>();
        if (v.contains("objects")) Objects(v["objects"], out);
        prefix.clear();
    }

    // Free-form key/value pairs: values as console text.
    void Args(const Json& v, const std::string& field,
              std::vector<std::pair<std::string, std::string>>& out) {
        if (!Expect(v.is_object(), field, "an object of key: value", v)) return;
        for (auto it = v.begin(); it != v.end(); ++it) {
            std::string text;
            if (CvarText(it.value(), Join(field, it.key()), text)) out.emplace_back(it.key(), text);
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
            if (!String(o["class"], field + ".class", placed.className, true)) continue;
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
        else String(v["class"], "class", out.hostClass, true);
        if (v.contains("args")) Args(v["args"], "args", out.args);
        prefix.clear();
    }

    void Event(const Json& v, const std::string& field, int32_t frameMs, LevelEvent& out) {
        out.field = field;
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
            Fail(field + ".event", "unknown event '" + kindName + "' (known: " + known + ")");
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
            if (Number(v["time"], field + ".time", t)) {
                if (t < 0) Fail(field + ".time", "expected a time of 0 or more seconds");
                out.time = t;
                out.frame = FrameForSeconds(t, frameMs);
            }
        }

        if (out.kind == LevelEventKind::Cvar) {
            Keys(v, field, {"event", "frame", "time", "name", "value"});
            if (!v.contains("name")) Fail(field, "missing field 'name'");
            else String(v["name"], field + ".name", out.name, true);
            if (!v.contains("value")) Fail(field, "missing field 'value'");
            else CvarText(v["value"], field + ".value", out.text);
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
        if (v.contains("by")) String(v["by"], field + ".by", out.by, true);
        else if (info->needsBy) Fail(field, "missing field 'by'");
        if (!info->extra) return;
        std::string extra = field + "." + info->extra;
        if (!v.contains(info->extra)) {
            Fail(field, std::string("missing field '") + info->extra + "'");
        } else if (out.kind == LevelEventKind::Damage) {
            double a;
            if (Number(v["amount"], extra, a)) out.amount = float(a);
        } else if (out.kind == LevelEventKind::AnimNotify) {
            String(v["notify"], extra, out.text, false);
        } else if (out.kind == LevelEventKind::Music) {
            int64_t level;
            if (Integer(v["level"], extra, std::numeric_limits<int32_t>::min(),
                        std::numeric_limits<int32_t>::max(), level))
                out.value = int32_t(level);
        }
    }

    void Receiver(const Json& v, const std::string& field, LevelEvent& out) {
        if (!v.contains("entity")) Fail(field, "missing field 'entity'");
        else String(v["entity"], field + ".entity", out.entity, true);
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
        if (!String(v["name"], field + ".name", out.name, true)) return;
        const NamedEvent* ev = nullptr;
        for (const NamedEvent& n : kNamedEvents)
            if (n.name && out.name == n.name) ev = &n;
        if (!ev) {
            Fail(field + ".name", "unknown event entry '" + out.name + "'");
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
                Fail(f, "event '" + out.name + "' takes no '" + key + "'");
                continue;
            }
            const Json& a = v[key];
            double d;
            int64_t i;
            std::string k = key;
            if (k == "by") String(a, f, out.by, true);
            else if (k == "other") String(a, f, out.other, true);
            else if (k == "flag") {
                if (Expect(a.is_boolean(), f, "true or false", a)) out.flag = a.get<bool>();
            } else if (k == "amount") {
                if (Number(a, f, d)) out.amount = float(d);
            } else if (k == "value") {
                if (Integer(a, f, std::numeric_limits<int32_t>::min(),
                            std::numeric_limits<int32_t>::max(), i))
                    out.value = int32_t(i);
            } else String(a, f, out.text, false);
        }
    }

private:
    const std::string& file;
    LevelErrors& errors;
};

// Parser callback state: reports keys that occur twice in one object (the JSON library would
// silently keep the last one), with the path of the object.
struct DuplicateKeys {
    struct Frame {
        bool array = false;
        size_t index = 0;
        std::string key;
        std::set<std::string> keys;
    };
    std::vector<Frame> stack;
    std::vector<std::pair<std::string, std::string>> found;  // (path, key)

    std::string Path() const {
        std::string path;
        for (size_t i = 0; i + 1 < stack.size(); ++i) {
            const Frame& f = stack[i];
            if (f.array) path += "[" + std::to_string(f.index) + "]";
            else path += (path.empty() ? "" : ".") + f.key;
        }
        return path;
    }
    void Completed() {
        if (!stack.empty() && stack.back().array) ++stack.back().index;
    }
    bool operator()(int, nlohmann::detail::parse_event_t event, Json& parsed) {
        using E = nlohmann::detail::parse_event_t;
        switch (event) {
            case E::object_start: stack.emplace_back(); break;
            case E::array_start:
                stack.emplace_back();
                stack.back().array = true;
                break;
            case E::key: {
                Frame& top = stack.back();
                top.key = parsed.get<std::string>();
                if (!top.keys.insert(top.key).second) found.emplace_back(Path(), top.key);
                break;
            }
            case E::object_end:
            case E::array_end:
                stack.pop_back();
                Completed();
                break;
            case E::value: Completed(); break;
        }
        return true;
    }
};

}  // namespace

bool ParseLevel(std::string_view text, const std::string& file, LevelDesc& out,
                LevelErrors& errors) {
    size_t before = errors.size();
    out = LevelDesc{};
    out.file = file;

    Json doc;
    DuplicateKeys dups;
    try {
        doc = Json::parse(text.begin(), text.end(), std::ref(dups));
    } catch (const nlohmann::json::parse_error& e) {
        // The library's message names the line and column; drop its "[json.exception...]" tag.
        std::string what = e.what();
        size_t start = what.find("parse error");
        errors.push_back({file, "", "", "invalid JSON: " + (start == std::string::npos ? what : what.substr(start))});
        return false;
    }
    for (const auto& [path, key] : dups.found)
        errors.push_back({file, "", path, "duplicate key '" + key + "'"});

    Reader r(file, errors);
    if (!r.Expect(doc.is_object(), "", "a JSON object at the top level", doc)) return false;
    r.Keys(doc, "", {"name", "description", "frameMs", "seed", "frames", "seconds", "cvars",
                     "decls", "entityDefs", "players", "entities", "timeline"});

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
    if (doc.contains("seconds") && r.Number(doc["seconds"], "seconds", d)) {
        if (d < 0) r.Fail("seconds", "expected 0 or more seconds");
        else out.seconds = d;
    }

    if (doc.contains("cvars")) {
        const Json& c = doc["cvars"];
        if (r.Expect(c.is_object(), "cvars", "an object of name: value", c))
            for (auto it = c.begin(); it != c.end(); ++it) {
                std::string value;
                if (r.CvarText(it.value(), "cvars." + it.key(), value))
                    out.cvars.emplace_back(it.key(), value);
            }
    }

    if (doc.contains("decls")) {
        const Json& c = doc["decls"];
        if (r.Expect(c.is_object(), "decls", "an object of decl type: [names]", c))
            for (auto it = c.begin(); it != c.end(); ++it) {
                std::vector<std::string> names;
                r.Names(it.value(), "decls." + it.key(), names);
                for (const std::string& n : names) out.decls.emplace_back(it.key(), n);
            }
    }

    if (doc.contains("entityDefs")) {
        const Json& c = doc["entityDefs"];
        if (r.Expect(c.is_object(), "entityDefs", "an object of name: definition", c))
            for (auto it = c.begin(); it != c.end(); ++it) {
                LevelEntityDef def;
                r.EntityDef(it.key(), it.value(), "entityDefs." + it.key(), def);
                out.entityDefs.push_back(def);
                // An entity def is also a decl of type kvDeclEntityDef.
                out.decls.emplace_back("kvDeclEntityDef", it.key());
            }
    }

    for (const char* list : {"players", "entities"}) {
        if (!doc.contains(list)) continue;
        const Json& c = doc[list];
        if (!r.Expect(c.is_array(), list, "an array of entities", c)) continue;
        bool players = std::string(list) == "players";
        for (size_t n = 0; n < c.size(); ++n) {
            LevelEntity e;
            r.Entity(c[n], Reader::Index(list, n), players ? "kvPlayer" : nullptr, e);
            out.entities.push_back(std::move(e));
        }
    }
    r.entity.clear();

    // Names: unique and non-empty; targets and spawner defs must exist.
    std::set<std::string> names;
    for (const LevelEntity& e : out.entities)
        if (!e.name.empty() && !names.insert(e.name).second)
            errors.push_back({file, e.name, e.field + ".name", "duplicate entity name"});
    for (const LevelEntity& e : out.entities) {
        for (size_t t = 0; t < e.targets.size(); ++t)
            if (!names.count(e.targets[t]))
                errors.push_back({file, e.name, Reader::Index("targets", t),
                                  "unknown target entity '" + e.targets[t] + "'"});
        for (size_t t = 0; t < e.entityDefs.size(); ++t)
            if (!out.HasDecl("kvDeclEntityDef", e.entityDefs[t]))
                errors.push_back({file, e.name, Reader::Index("entityDefs", t),
                                  "unknown entity def '" + e.entityDefs[t] + "'"});
    }
    // What spawners spawn takes the names the level gives it: timeline events may name them.
    for (const LevelEntity& e : out.entities)
        for (size_t t = 0; t < e.spawnNames.size(); ++t)
            if (!names.insert(e.spawnNames[t]).second)
                errors.push_back({file, e.name, Reader::Index("spawnNames", t),
                                  "spawn name '" + e.spawnNames[t] + "' is already taken"});
    // The module's Reset binds its world utility to the entity named "world": a level that
    // does not place one gets a bare world entity.
    if (!names.count("world")) {
        LevelEntity world;
        world.name = "world";
        world.hostClass = "kvWorldspawn";
        world.field = "(implicit world)";
        out.entities.insert(out.entities.begin(), world);
        names.insert("world");
    }

    if (doc.contains("timeline")) {
        const Json& c = doc["timeline"];
        if (r.Expect(c.is_array(), "timeline", "an array of events", c))
            for (size_t n = 0; n < c.size(); ++n) {
                LevelEvent ev;
                r.Event(c[n], Reader::Index("timeline", n), out.frameMs, ev);
                for (const std::string* ref : {&ev.entity, &ev.by, &ev.other})
                    if (!ref->empty() && !names.count(*ref))
                        r.Fail(ev.field, "unknown entity '" + *ref + "'");
                out.timeline.push_back(std::move(ev));
            }
        std::stable_sort(out.timeline.begin(), out.timeline.end(),
                         [](const LevelEvent& a, const LevelEvent& b) { return a.frame < b.frame; });
    }
    return errors.size() == before;
}

bool ReadLevelFile(const std::string& path, LevelDesc& out, LevelErrors& errors) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back({path, "", "", "cannot open the level file"});
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseLevel(text.str(), path, out, errors);
}

}  // namespace qohost
