#include "host/level/WorldState.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "host/methods/Methods.h"
#include "host/sim/pickups/Pickups.h"
#include "host/world/World.h"

namespace nlohmann {

template <>
struct adl_serializer<qoVector> {
    template <class BasicJson>
    static void to_json(BasicJson& j, const qoVector& v) { j = {v.x, v.y, v.z}; }
    template <class BasicJson>
    static void from_json(const BasicJson& j, qoVector& v) {
        v = {j.at(0).template get<float>(), j.at(1).template get<float>(), j.at(2).template get<float>()};
    }
};

template <>
struct adl_serializer<qoColor> {
    template <class BasicJson>
    static void to_json(BasicJson& j, const qoColor& c) { j = {c.r, c.g, c.b, c.a}; }
    template <class BasicJson>
    static void from_json(const BasicJson& j, qoColor& c) {
        c = {j.at(0).template get<float>(), j.at(1).template get<float>(), j.at(2).template get<float>(), j.at(3).template get<float>()};
    }
};

}  // namespace nlohmann

namespace qohost {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Motion, points, startMs, durationMs, accelMs, decelMs, anchor,
                                                anchorOrigin, spline, active)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Rotation, from, to, rate, startMs, durationMs, accelMs, decelMs, active,
                                                continuous)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(SoundChannel, shader, fromDb, toDb, startMs, durationMs)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ViewState, fadeColor, fromAlpha, toAlpha, fadeStartMs, fadeMs,
                                                scaleFrom, scaleTo, scaleStartMs, scaleMs, renderParms)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(HudElement, visible, uv, position, color, text, textScale,
                                                textAlignment)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(GuiPanel, headerText, headerBehavior, headerColor, headerAlignment,
                                                bodyText, bodyBehavior, bodyColor, bodyAlignment,
                                                paneBackgroundColor, changed)

void to_json(nlohmann::json& j, const Waypoint& w) {
    j = {{"to", w.to}, {"speed", w.speed}, {"time", w.time}, {"wait", w.wait}, {"ground", w.ground}};
    if (w.angles) j["angles"] = *w.angles;
}

void from_json(const nlohmann::json& j, Waypoint& w) {
    w = {};
    j.at("to").get_to(w.to);
    j.at("speed").get_to(w.speed);
    j.at("time").get_to(w.time);
    j.at("wait").get_to(w.wait);
    j.at("ground").get_to(w.ground);
    if (j.contains("angles")) w.angles = j["angles"].get<qoVector>();
}

void to_json(nlohmann::json& j, const Paths::Walk& w) {
    j = {{"entity", w.entity}, {"points", w.points}, {"next", w.next}, {"legSpeed", w.legSpeed},
         {"waitUntilMs", w.waitUntilMs}};
}

void from_json(const nlohmann::json& j, Paths::Walk& w) {
    j.at("entity").get_to(w.entity);
    j.at("points").get_to(w.points);
    j.at("next").get_to(w.next);
    j.at("legSpeed").get_to(w.legSpeed);
    j.at("waitUntilMs").get_to(w.waitUntilMs);
}

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// The entity's own state a checkpoint keeps, visited as (name, member); its handle, name,
// class, binds and script objects are kept apart.
template <class Visit>
void EntityFields(Entity& e, Visit&& visit) {
    visit("origin", e.origin);
    visit("angles", e.angles);
    visit("mins", e.mins);
    visit("maxs", e.maxs);
    visit("velocity", e.velocity);
    visit("health", e.health);
    visit("maxHealth", e.maxHealth);
    visit("shields", e.shields);
    visit("maxShields", e.maxShields);
    visit("hidden", e.hidden);
    visit("dead", e.dead);
    visit("targets", e.targets);
    visit("entityDefs", e.entityDefs);
    visit("lastSpawned", e.lastSpawned);
    visit("fields", e.spawnArgs);
}

// The state of the host methods (Entity::methods).
template <class Visit>
void MethodFields(EntityMethodState& m, Visit&& visit) {
    visit("color", m.color);
    visit("angularVelocity", m.angularVelocity);
    visit("gravity", m.gravity);
    visit("spawnPosition", m.spawnPosition);
    visit("sounds", m.sounds);
    visit("speed", m.speed);
    visit("time", m.time);
    visit("accelTime", m.accelTime);
    visit("decelTime", m.decelTime);
    visit("motion", m.motion);
    visit("rotation", m.rotation);
    visit("splineAngles", m.splineAngles);
    visit("bobbing", m.bobbing);
    visit("swaying", m.swaying);
    visit("activatable", m.activatable);
    visit("enabled", m.enabled);
    visit("usable", m.usable);
    visit("lightOn", m.lightOn);
    visit("damageEnabled", m.damageEnabled);
    visit("painEnabled", m.painEnabled);
    visit("noDeath", m.noDeath);
    visit("weaponEnabled", m.weaponEnabled);
    visit("debugTarget", m.debugTarget);
    visit("enemy", m.enemy);
    visit("equippedWeapon", m.equippedWeapon);
    visit("inventory", m.inventory);
    visit("perks", m.perks);
    visit("activePerks", m.activePerks);
    visit("hud", m.hud);
    visit("panel", m.panel);
    visit("spawnCount", m.spawnCount);
    visit("nextSpawnMs", m.nextSpawnMs);
    visit("spawnNames", m.spawnNames);
    visit("spawnedBy", m.spawnedBy);
    visit("dieAtMs", m.dieAtMs);
    visit("deathHeard", m.deathHeard);
    visit("view", m.view);
    visit("action", m.action);
    visit("aware", m.aware);
    visit("perception", m.perception);
}

// The fields of `object` that differ from those of `fresh`.
template <class T, class Fields>
OrderedJson Changed(T& object, Fields fields) {
    T fresh{};
    Json defaults = Json::object();
    fields(fresh, [&](const char* name, const auto& member) { defaults[name] = member; });
    OrderedJson out = OrderedJson::object();
    fields(object, [&](const char* name, const auto& member) {
        Json value = member;
        if (value != defaults[name]) out[name] = OrderedJson::parse(value.dump());
    });
    return out;
}

// Sets every field: the saved value, or that of a fresh object where none was saved. A saved
// value of the wrong type leaves the member as it is and is reported.
template <class T, class Fields>
void Apply(T& object, const Json& saved, Fields fields, const std::string& who, std::vector<std::string>& notes) {
    T fresh{};
    Json defaults = Json::object();
    fields(fresh, [&](const char* name, const auto& member) { defaults[name] = member; });
    fields(object, [&](const char* name, auto& member) {
        const Json& value = saved.contains(name) ? saved[name] : defaults[name];
        try {
            value.get_to(member);
        } catch (const Json::exception&) {
            notes.push_back(who + "." + name + ": not a value it can hold");
        }
    });
}

const Json& Member(const Json& object, const char* name) {
    static const Json empty = Json::array();
    return object.is_object() && object.contains(name) ? object[name] : empty;
}

}  // namespace

OrderedJson SaveWorldState(World& world) {
    OrderedJson state;
    state["nextHandle"] = world.NextHandle();
    state["random"] = world.RandomState();
    state["cvars"] = world.cvars.All();
    OrderedJson entities = OrderedJson::array();
    OrderedJson binds = OrderedJson::array();
    for (Entity* e : world.Entities()) {
        OrderedJson saved = {{"handle", e->handle}, {"name", e->name}, {"class", e->hostClass}};
        saved.update(Changed(*e, [](Entity& x, auto&& visit) { EntityFields(x, visit); }));
        if (e->methods.Made()) {
            OrderedJson methods =
                Changed(*e->methods, [](EntityMethodState& x, auto&& visit) { MethodFields(x, visit); });
            if (!methods.empty()) saved["state"] = std::move(methods);
        }
        entities.push_back(std::move(saved));
        if (const std::vector<Entity*> children = world.BoundTo(e->handle); !children.empty()) {
            OrderedJson handles = OrderedJson::array();
            for (const Entity* child : children) handles.push_back(child->handle);
            binds.push_back({{"parent", e->handle}, {"children", std::move(handles)}});
        }
    }
    state["entities"] = std::move(entities);
    // For readers: the entities removed before the save (restoring removes every entity that
    // is not in "entities").
    OrderedJson removed = OrderedJson::array();
    for (uint32_t handle = 1; handle < world.NextHandle(); ++handle)
        if (const Entity* e = world.EntityByHandle(handle); e && e->removed) removed.push_back(e->name);
    state["removed"] = std::move(removed);
    state["binds"] = std::move(binds);
    state["simulated"] = world.SimulatedEntities();
    state["spawnWatched"] = world.SpawnWatched();
    state["soundFades"] = world.SoundFades();
    OrderedJson walks = OrderedJson::array();
    for (const Paths::Walk& w : world.paths.Walks()) walks.push_back(OrderedJson::parse(Json(w).dump()));
    state["walks"] = std::move(walks);
    state["pushed"] = world.paths.Pushed();
    OrderedJson inside = OrderedJson::object();
    for (Entity* e : world.Entities())
        if (std::vector<uint32_t> in = world.volumes.Inside(e->handle); !in.empty())
            inside[std::to_string(e->handle)] = in;
    state["inside"] = std::move(inside);
    state["hurtTriggers"] = world.hurtTriggers;
    return state;
}

bool RestoreWorldEntities(World& world, const OrderedJson& saved, std::vector<std::string>& notes) {
    const Json state = Json::parse(saved.dump());
    if (!state.is_object()) {
        notes.push_back("the world state is not an object");
        return false;
    }
    // First what must fit: the saved entities that exist here are the same entities.
    std::set<uint32_t> savedHandles;
    for (const Json& saved : Member(state, "entities")) {
        const uint32_t handle = saved.value("handle", 0u);
        const std::string name = saved.value("name", ""), hostClass = saved.value("class", "");
        savedHandles.insert(handle);
        if (const Entity* here = world.EntityByName(name); here && (here->handle != handle || here->hostClass != hostClass))
            notes.push_back("entity '" + name + "' is #" + std::to_string(here->handle) + " (" + here->hostClass +
                            ") here but #" + std::to_string(handle) + " (" + hostClass + ") in the checkpoint");
        else if (const Entity* taken = world.EntityByHandle(handle); !here && taken && !taken->removed)
            notes.push_back("entity '" + name + "' cannot have #" + std::to_string(handle) + " back: '" +
                            taken->name + "' has it");
    }
    if (!notes.empty()) return false;

    // Entities the saved run had removed (or never had) go.
    for (Entity* e : world.Entities())
        if (!savedHandles.count(e->handle)) world.RemoveEntity(e->handle, /*destroyNow=*/true);
    // Entities it had spawned come back at their handles, with their fields and objects.
    for (const Json& saved : Member(state, "entities")) {
        const uint32_t handle = saved.value("handle", 0u);
        if (world.ValidEntity(handle)) continue;
        world.SkipHandlesTo(handle);
        Entity& e = world.SpawnEntity(saved.value("name", ""), saved.value("class", "kvEntity"));
        if (e.handle != handle) notes.push_back("entity '" + e.name + "' came back as #" + std::to_string(e.handle));
        // Its fields, then the objects its entity def names, as a spawn gives them.
        Apply(e, saved, [](Entity& x, auto&& visit) { EntityFields(x, visit); }, e.name, notes);
        AttachDefObjects(world, e.handle);
    }
    world.SkipHandlesTo(state.value("nextHandle", 0u));
    return true;
}

void RestoreWorldState(World& world, const OrderedJson& saved, std::vector<std::string>& notes) {
    const Json state = Json::parse(saved.dump());
    for (const Json& saved : Member(state, "entities")) {
        Entity* e = world.ValidEntity(saved.value("handle", 0u));
        if (!e) continue;
        Apply(*e, saved, [](Entity& x, auto&& visit) { EntityFields(x, visit); }, e->name, notes);
        if (saved.contains("state") || e->methods.Made())
            Apply(*e->methods, Member(saved, "state"),
                  [](EntityMethodState& x, auto&& visit) { MethodFields(x, visit); }, e->name, notes);
        world.SetBindParent(*e, 0);
    }
    for (const Json& bind : Member(state, "binds"))
        for (const Json& child : Member(bind, "children"))
            if (Entity* e = world.ValidEntity(child.get<uint32_t>())) world.SetBindParent(*e, bind.value("parent", 0u));
    world.SetSimulatedEntities(Member(state, "simulated").get<std::vector<uint32_t>>());
    world.SpawnWatched() = Member(state, "spawnWatched").get<std::vector<uint32_t>>();
    for (uint32_t handle : world.SoundFades())
        if (Entity* e = world.EntityByHandle(handle)) e->soundFading = false;
    world.SoundFades() = Member(state, "soundFades").get<std::vector<uint32_t>>();
    for (uint32_t handle : world.SoundFades())
        if (Entity* e = world.ValidEntity(handle)) e->soundFading = true;
    world.paths.Restore(Member(state, "walks").get<std::vector<Paths::Walk>>(),
                        Member(state, "pushed").get<std::vector<uint32_t>>());
    for (Entity* e : world.Entities()) world.volumes.SetInside(e->handle, {});
    if (const Json& inside = Member(state, "inside"); inside.is_object())
        for (const auto& [handle, in] : inside.items())
            world.volumes.SetInside(static_cast<uint32_t>(std::stoul(handle)), in.get<std::vector<uint32_t>>());
    world.hurtTriggers = Member(state, "hurtTriggers").get<std::vector<std::pair<uint32_t, int64_t>>>();

    if (const Json& cvars = Member(state, "cvars"); cvars.is_object())
        for (const auto& [name, value] : cvars.items()) world.cvars.Define(name, value.get<std::string>());
    if (state.contains("random") && !world.SetRandomState(state.value("random", "")))
        notes.push_back("the random number state does not read");
}

}  // namespace qohost
