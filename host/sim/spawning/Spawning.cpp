#include "host/sim/spawning/Spawning.h"
#include "host/level/SpawnArgs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "host/methods/Events.h"
#include "host/sim/pickups/Pickups.h"
#include "host/world/World.h"
#include "host/records/Outcomes.h"
#include "quorin/kvQOObject.h"

namespace qohost {

namespace {

// The entity defs a spawner spawns from: its own, else those of the reference entity.
const std::vector<std::string>* SpawnDefs(const Entity& spawner, const Entity* reference) {
    if (!spawner.entityDefs.empty()) return &spawner.entityDefs;
    return reference && !reference->entityDefs.empty() ? &reference->entityDefs : nullptr;
}

int32_t CooldownMs(const Entity& spawner) {
    auto it = spawner.spawnArgs.find(spawnargs::kSpawnCooldownMs);
    return it == spawner.spawnArgs.end() ? 0 : std::atoi(it->second.c_str());
}

// The entity def arg "lifetime" in milliseconds, -1 without one.
int32_t LifetimeMs(const Entity& spawned) {
    auto it = spawned.spawnArgs.find(spawnargs::kLifetime);
    if (it == spawned.spawnArgs.end()) return -1;
    const double seconds = std::strtod(it->second.c_str(), nullptr);
    return std::isfinite(seconds) && seconds >= 0.0 && seconds < 2.0e6
               ? static_cast<int32_t>(std::lround(seconds * 1000.0))
               : -1;
}

// True while spawners may spawn again this frame.
bool SpawnsLeft(World& world) { return world.spawns.In(world.Frame()) < kMaxSpawnsPerFrame; }

const std::string& SpawnsUsedUp() {
    static const std::string why = std::to_string(kMaxSpawnsPerFrame) + " entities spawned this frame";
    return why;
}

void Kill(World& world, Entity& e) {
    e.health = 0;
    e.dead = true;
    RecordDeath(world, e, "lifetime");
    DeliverEvent(world, e.handle, "OnDeath", "", [](kvQOObject* o) { o->Entry_OnDeath(0); });
}

}  // namespace

bool SpawnAvailable(const Entity& spawner, const Entity* reference) {
    return spawner.methods->enabled && SpawnDefs(spawner, reference);
}

int32_t SpawnBusyMs(World& world, const Entity& spawner) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(spawner.methods->nextSpawnMs - world.GameTime(), 0, INT32_MAX));
}

uint32_t SpawnNext(World& world, uint32_t spawnerHandle, uint32_t referenceHandle, std::string* why) {
    auto fail = [why](std::string reason) {
        if (why) *why = std::move(reason);
        return 0u;
    };
    Entity* spawner = world.ValidEntity(spawnerHandle);
    if (!spawner) return fail("no such spawner");
    const Entity* reference = world.ValidEntity(referenceHandle);
    // A request spawns even while the spawner is busy (and starts its busy time again): the
    // busy time holds activations back, not a script that has chosen this spawner anyway.
    if (!spawner->methods->enabled) return fail("spawner disabled");
    if (!SpawnDefs(*spawner, reference)) return fail("no entity defs");
    if (!SpawnsLeft(world)) return fail(SpawnsUsedUp());
    const std::vector<std::string>& defs = *SpawnDefs(*spawner, reference);
    EntityMethodState& m = *spawner->methods;
    const std::string& defName = defs[static_cast<size_t>(m.spawnCount) % defs.size()];
    const Decl* decl = world.FindDecl("kvDeclEntityDef", defName);
    if (!decl) return fail("no entity def \"" + defName + "\"");

    uint32_t spawned = 0;
    const size_t turn = static_cast<size_t>(m.spawnCount);
    if (turn < m.spawnNames.size() && !world.EntityByName(m.spawnNames[turn])) {
        Entity& e = world.SpawnEntity(m.spawnNames[turn], decl->hostClass.empty() ? "kvEntity" : decl->hostClass);
        e.spawnArgs = decl->args;
        spawned = e.handle;
    } else {
        spawned = world.SpawnEntityFromDef(decl);
    }
    // Entities are looked up again: spawning may have moved them.
    Entity* e = world.ValidEntity(spawned);
    spawner = world.ValidEntity(spawnerHandle);
    if (!e || !spawner) return fail("spawn refused");
    e->origin = spawner->origin;
    e->angles = spawner->angles;
    if (auto health = e->spawnArgs.find(spawnargs::kHealth); health != e->spawnArgs.end())
        e->health = e->maxHealth = std::max(1, std::atoi(health->second.c_str()));
    e->methods->spawnedBy = spawnerHandle;
    world.SpawnWatched().push_back(spawned);
    if (const int32_t lifetime = LifetimeMs(*e); lifetime >= 0) e->methods->dieAtMs = world.GameTime() + lifetime;
    spawner->lastSpawned = spawned;
    spawner->methods->spawnCount += 1;
    world.spawns.In(world.Frame()) += 1;
    spawner->methods->nextSpawnMs = world.GameTime() + CooldownMs(*spawner);
    const std::string name = e->name;
    world.Record(RecordKind::Event, "spawned " + name + " from " + spawner->name, spawnerHandle);
    AttachDefObjects(world, spawned);
    DeliverEvent(world, spawnerHandle, "OnTargetSpawn", name,
                 [spawned](kvQOObject* o) { o->Entry_OnTargetSpawn(spawned); });
    return spawned;
}

void SpawnOnActivate(World& world, uint32_t spawnerHandle) {
    const Entity* spawner = world.ValidEntity(spawnerHandle);
    static const HostClassRow kSpawner = HostClassRowOf("kvTarget_Spawn");
    if (!spawner || !spawner->IsA(kSpawner)) return;
    const bool busy = SpawnBusyMs(world, *spawner) > 0;
    if (!SpawnAvailable(*spawner, nullptr) || busy || !SpawnsLeft(world)) {
        const std::string why = !spawner->methods->enabled        ? "disabled"
                                : !SpawnDefs(*spawner, nullptr) ? "no entity defs"
                                : busy                          ? "busy"
                                                                : SpawnsUsedUp();
        world.Record(RecordKind::Event, spawner->name + " spawned nothing: " + why, spawnerHandle);
        return;
    }
    SpawnNext(world, spawnerHandle, 0, nullptr);
}

void AdvanceSpawned(World& world, std::vector<uint32_t>& watched) {
    if (watched.empty()) return;
    // Deaths reach spawners' targets, whose scripts may spawn again: work on this frame's list.
    std::vector<uint32_t> now;
    now.swap(watched);
    for (uint32_t handle : now) {
        Entity* e = world.ValidEntity(handle);
        if (e && !e->dead && e->methods->dieAtMs >= 0 && world.GameTime() >= e->methods->dieAtMs) Kill(world, *e);
    }
    std::vector<uint32_t> kept;
    for (uint32_t handle : now) {
        Entity* e = world.ValidEntity(handle);
        if (!e || e->methods->deathHeard) continue;
        if (!e->dead) {
            kept.push_back(handle);
            continue;
        }
        e->methods->deathHeard = true;
        const Entity* spawner = world.ValidEntity(e->methods->spawnedBy);
        if (!spawner) continue;
        const std::vector<uint32_t> targets = spawner->targets;
        for (uint32_t t : targets) ActivateEntity(world, t, handle);
    }
    // Entities spawned while the deaths were delivered joined `watched` meanwhile.
    kept.insert(kept.end(), watched.begin(), watched.end());
    watched.swap(kept);
}

}  // namespace qohost
