// Spawning in the reference host: spawn entities that spawn AI from entity defs, stay busy for a
// while after each spawn, name what they spawn from the level's list, and hear of the deaths of
// their AI; spawned AI that die when their lifetime (set in the entity def) is over.
//
// A spawner spawns its entity defs in turn (or, when it has none, those of a reference entity)
// at its own origin and angles, with the def's args as spawn args (an arg "health" sets health
// and maximum health), then:
//   - the new entity takes the next of the spawner's spawn names (the level's "spawnNames"),
//     or "<def>_<handle>" once they are used up;
//   - the spawner remembers it (GetLastSpawned) and is busy for its spawn argument
//     "spawnCooldownMs" (0 without one): activations meanwhile spawn nothing and
//     GetTimeTillAvailable counts the rest down; a SpawnEntity call still spawns (a script
//     that asks has chosen this spawner anyway);
//   - "OnTargetSpawn" (the new entity) goes to the spawner's script objects.
// A spawn entity (host class kvTarget_Spawn) spawns when it is activated. When an AI it spawned
// has died, the spawner activates its own targets with the dead AI as activator, on the next
// frame at the latest. An entity def arg "lifetime" (seconds) kills each AI spawned from it
// that long after its spawn: health 0, dead, "OnDeath" without an attacker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qohost {

class World;
struct Entity;

// True when the spawner can spawn at all: it is enabled and it (or else the reference) has an
// entity def. Whether it is busy is SpawnBusyMs.
bool SpawnAvailable(const Entity& spawner, const Entity* reference);
// Milliseconds until the spawner is no longer busy (0 when it is not).
int32_t SpawnBusyMs(World& world, const Entity& spawner);
// The most entities spawners spawn in one frame; beyond it a spawn fails (and an activation
// spawns nothing) with the reason "1000 entities spawned this frame".
inline constexpr uint64_t kMaxSpawnsPerFrame = 1000;

// Spawns the spawner's next entity def, busy or not; the handle of the new entity, or 0 with the
// reason in `why` (when not null): disabled, no entity defs, an unknown def, the frame's spawns
// used up (kMaxSpawnsPerFrame).
uint32_t SpawnNext(World& world, uint32_t spawner, uint32_t reference, std::string* why);
// The effect of an activation on a spawn entity: a spawn when it is available.
void SpawnOnActivate(World& world, uint32_t spawner);

// The per-frame pass over the spawned entities whose lifetime or death is still to be looked at
// (World::SpawnWatched, in spawn order): lifetimes that are over, then deaths their spawners
// have not heard of yet. Entities whose death was heard, or that were removed, leave the list.
void AdvanceSpawned(World& world, std::vector<uint32_t>& watched);

}  // namespace qohost
