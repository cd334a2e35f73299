#include "host/level/Checks.h"

#include <functional>
#include <map>
#include <regex>
#include <unordered_set>

#include "host/world/Entity.h"
#include "host/world/World.h"
#include "host/level/SpawnArgs.h"
#include "host/level/Suggest.h"
#include "quorin/kvQuorin.h"

namespace qohost {

namespace {

using Json = nlohmann::ordered_json;

// Entities whose targets are a route (path corners, spline points), not what they activate.
bool IsRoute(const LevelEntity& e) {
    return HostClassIsA(e.hostClass, "kvPathCorner") || HostClassIsA(e.hostClass, "kvSplinePath");
}

// Every string in a JSON value (property values name entities this way).
void Strings(const Json& v, const std::function<void(const std::string&)>& take) {
    if (v.is_string()) take(v.get_ref<const std::string&>());
    else if (v.is_structured())
        for (const Json& item : v) Strings(item, take);
}

void Timeline(const LevelDesc& level, const std::string& list, const std::vector<LevelEvent>& events, int32_t last,
              LevelErrors& warnings) {
    for (const LevelEvent& ev : events)
        if (ev.frame > last)
            AddError(warnings, {level.file, "", EventField(list, ev) + (ev.time ? ".time" : ".frame"),
                                "comes at frame " + std::to_string(ev.frame) + ", after the level's end at frame " +
                                    std::to_string(last) + ": it never happens (make the level longer with 'seconds')"});
}

// A restriction of an editor statement: the member path ("spawnList[x]",
// "moveKeyInfo.nextKey") and the host classes allowed ("kvVolume, kvTrigger", "kvEntity, !kvActor").
struct Restriction {
    std::string path;
    std::string allowed;
};

std::vector<Restriction> Restrictions(kvQuorin& module, const std::string& className) {
    static const std::regex kRestriction(R"(entityTypeRestriction\s*\{\s*path\s*=\s*'([^']*)'\s*;\s*allowedType\s*=\s*'([^']*)')");
    static const std::regex kLink(R"(linkAction(?:List)?\s*\{[^}]*?entityPtrs?\s*=\s*([^;]+);[^}]*?allowedType\s*=\s*'([^']*)')");
    std::vector<Restriction> out;
    for (const char* const* s = module.GetEditorMetadata(className.c_str()); s && *s; ++s) {
        std::cmatch m;
        if (std::regex_search(*s, m, kRestriction) || std::regex_search(*s, m, kLink)) {
            std::string path;
            for (char c : m[1].str())
                if (c != ' ') path += c;
            out.push_back({path, m[2].str()});
        }
    }
    return out;
}

bool Allowed(const std::string& hostClass, const std::string& allowed) {
    bool any = false, match = false;
    size_t at = 0;
    while (at <= allowed.size()) {
        size_t end = allowed.find(',', at);
        if (end == std::string::npos) end = allowed.size();
        std::string type = allowed.substr(at, end - at);
        type.erase(0, type.find_first_not_of(' '));
        type.erase(type.find_last_not_of(' ') + 1);
        at = end + 1;
        if (type.empty()) continue;
        if (type[0] == '!') {
            if (HostClassIsA(hostClass, type.substr(1))) return false;
        } else {
            any = true;
            match = match || HostClassIsA(hostClass, type);
        }
    }
    return !any || match;
}

// The values at a member path in property values: "a[x].b" is member b of every element of a.
void AtPath(const Json& v, std::string_view path, const std::string& field,
            std::vector<std::pair<std::string, const Json*>>& out) {
    if (path.empty()) {
        if (v.is_array())
            for (size_t i = 0; i < v.size(); ++i) out.emplace_back(field + "[" + std::to_string(i) + "]", &v[i]);
        else out.emplace_back(field, &v);
        return;
    }
    const size_t dot = path.find('.');
    std::string_view step = path.substr(0, dot);
    const std::string_view rest = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    const bool each = step.size() > 3 && step.substr(step.size() - 3) == "[x]";
    if (each) step.remove_suffix(3);
    if (!v.is_object() || !v.contains(std::string(step))) return;
    const Json& member = v[std::string(step)];
    const std::string here = field + "." + std::string(step);
    if (!each) return AtPath(member, rest, here, out);
    if (!member.is_array()) return;
    for (size_t i = 0; i < member.size(); ++i) AtPath(member[i], rest, here + "[" + std::to_string(i) + "]", out);
}

// A world of its own for the module while `work` asks it things: the module answers only while
// a host is attached.
template <class Work>
void WithModule(kvQuorin& module, Work&& work) {
    WorldOptions options;
    options.keepHistory = false;
    World world(options);
    world.Attach(&module, /*reset=*/false);
    work(world);
    world.Detach();
}

void TypeRestrictions(kvQuorin& module, const LevelDesc& level, LevelErrors& warnings) {
    std::map<std::string, std::vector<Restriction>> byClass;
    for (const LevelEntity& e : level.entities)
        for (const LevelObject& o : e.objects) {
            auto it = byClass.find(o.className);
            if (it == byClass.end()) it = byClass.emplace(o.className, Restrictions(module, o.className)).first;
            for (const Restriction& r : it->second) {
                std::vector<std::pair<std::string, const Json*>> values;
                AtPath(o.properties, r.path, o.field + ".properties", values);
                for (const auto& [field, value] : values) {
                    if (!value->is_string()) continue;
                    const LevelEntity* named = level.FindEntity(value->get<std::string>());
                    if (named && !Allowed(named->hostClass, r.allowed))
                        AddError(warnings, {level.file, e.name, field,
                                            "'" + named->name + "' is a " + named->hostClass + ", but " + o.className +
                                                " takes only " + r.allowed + " here"});
                }
            }
        }
}

}  // namespace

void CheckAgainstModule(kvQuorin& module, const LevelDesc& level, LevelErrors& errors) {
    WithModule(module, [&](World& world) { CheckLevel(world, level, errors); });
}

void LintAgainstModule(kvQuorin& module, const LevelDesc& level, LevelErrors& warnings) {
    WithModule(module, [&](World&) { TypeRestrictions(module, level, warnings); });
}

std::vector<std::vector<std::string>> ActivationCycles(const LevelDesc& level) {
    enum : uint8_t { kUnseen, kOnPath, kDone };
    const size_t count = level.entities.size();
    std::vector<uint8_t> state(count, kUnseen);
    std::vector<std::vector<std::string>> cycles;
    auto index = [&](const std::string& name) -> long {
        const LevelEntity* e = level.FindEntity(name);
        return e ? e - level.entities.data() : -1;
    };
    // Depth first, without recursion: (entity, next target to follow).
    std::vector<std::pair<size_t, size_t>> path;
    for (size_t start = 0; start < count; ++start) {
        if (state[start] != kUnseen || IsRoute(level.entities[start])) continue;
        path.assign(1, {start, 0});
        state[start] = kOnPath;
        while (!path.empty()) {
            auto& [at, next] = path.back();
            const LevelEntity& e = level.entities[at];
            if (next == e.targets.size()) {
                state[at] = kDone;
                path.pop_back();
                continue;
            }
            const long to = index(e.targets[next++]);
            if (to < 0 || IsRoute(level.entities[to])) continue;
            if (state[to] == kOnPath) {
                std::vector<std::string> cycle;
                size_t from = 0;
                while (path[from].first != size_t(to)) ++from;
                for (size_t i = from; i < path.size(); ++i) cycle.push_back(level.entities[path[i].first].name);
                cycle.push_back(level.entities[to].name);
                cycles.push_back(std::move(cycle));
            } else if (state[to] == kUnseen) {
                state[to] = kOnPath;
                path.emplace_back(size_t(to), 0);
            }
        }
    }
    return cycles;
}

void LintLevel(const LevelDesc& level, LevelErrors& warnings) {
    const int32_t last = level.DefaultRunFrames();
    Timeline(level, "timeline", level.timeline, last, warnings);
    for (const LevelRun& run : level.runs) Timeline(level, run.field + ".timeline", run.timeline, last, warnings);

    std::vector<std::string_view> keys(std::begin(spawnargs::kKeys), std::end(spawnargs::kKeys));
    const auto args = [&](const std::string& entity, const std::string& field,
                          const std::vector<std::pair<std::string, std::string>>& list) {
        for (const auto& [key, value] : list)
            if (!spawnargs::IsKnown(key))
                AddError(warnings, {level.file, entity, field + "." + key,
                                    "the host does not read spawn arg '" + key + "'" + DidYouMean(key, keys)});
    };
    for (const LevelEntityDef& def : level.entityDefs) args("", "entityDefs." + def.name + ".args", def.args);
    for (const LevelEntity& e : level.entities) {
        args(e.name, "spawnArgs", e.more->spawnArgs);
        std::map<std::string_view, size_t> seen;
        for (size_t t = 0; t < e.targets.size(); ++t) {
            const auto [it, first] = seen.emplace(e.targets[t], t);
            if (!first)
                AddError(warnings, {level.file, e.name, "targets[" + std::to_string(t) + "]",
                                    "target '" + e.targets[t] + "' is listed twice (also targets[" +
                                        std::to_string(it->second) + "]); the host activates it once"});
        }
    }

    for (const std::vector<std::string>& cycle : ActivationCycles(level)) {
        std::string text;
        for (const std::string& name : cycle) text += (text.empty() ? "" : " -> ") + name;
        AddError(warnings, {level.file, cycle.front(), "targets",
                            "activation cycle: " + text + " (each activates the next, for ever if none stops)"});
    }

    // What the level refers to by name: targets, binds, property values, spawn args, events,
    // expectations.
    // Views of the level's own texts, which outlive this check.
    std::unordered_set<std::string_view> referred;
    referred.reserve(level.entities.size() + level.timeline.size());
    const auto refer = [&](const std::string& name) { referred.insert(name); };
    for (const LevelEntity& e : level.entities) {
        for (const std::string& t : e.targets) refer(t);
        refer(e.more->bindTo);
        for (const LevelObject& o : e.objects) Strings(o.properties, refer);
        for (const auto& [key, value] : e.more->spawnArgs) refer(value);
    }
    const auto events = [&](const std::vector<LevelEvent>& list) {
        for (const LevelEvent& ev : list)
            for (const std::string* name : {&ev.entity, &ev.by, &ev.more->other}) refer(*name);
    };
    const auto expectations = [&](const std::vector<Expectation>& list) {
        for (const Expectation& x : list) refer(x.entity);
    };
    events(level.timeline);
    expectations(level.expect);
    for (const LevelRun& run : level.runs) {
        events(run.timeline);
        expectations(run.expect);
    }
    // Logic entities exist only to be linked: one without script objects, targets, entity defs,
    // path, volume or bind that nothing names is most likely left over or misnamed. (Scenery,
    // monsters and players are in the level for their own sake.)
    for (const LevelEntity& e : level.entities) {
        const bool logic = HostClassIsA(e.hostClass, "kvTarget") || HostClassIsA(e.hostClass, "kvTrigger") ||
                           HostClassIsA(e.hostClass, "kvVolume") || HostClassIsA(e.hostClass, "kvPathCorner");
        const bool acts = !e.objects.empty() || !e.targets.empty() || !e.more->path.empty() || !e.more->volume.empty() ||
                          !e.more->entityDefs.empty() || !e.more->bindTo.empty();
        if (logic && !acts && !referred.count(e.name))
            AddError(warnings, {level.file, e.name, "",
                                "nothing refers to this " + e.hostClass +
                                    " and it does nothing (no script objects, targets, path or volume)"});
    }
}

}  // namespace qohost
