// Records of what happened to entities, as a designer reads a run: crossings of volumes and
// triggers, health changes with their cause, deaths with their cause. Each is recorded only
// when a sink wants its kind.
#pragma once

#include <cstdint>
#include <string_view>

#include "quorin/qoTypes.h"

namespace qohost {

class World;
struct Entity;

// "player1 entered arena_west" / "player1 left arena_west" (kind "crossing").
void RecordCrossing(World& world, uint32_t who, uint32_t volume, bool entered);
// "player1 health 100 -> 75 (hurt_zone)" (kind "health"): the cause is an entity or none.
void RecordHealth(World& world, const Entity& e, int32_t before, uint32_t by);
// "imp_1 died: damage by player1", "imp_1 died: lifetime" (kind "death").
void RecordDeath(World& world, const Entity& e, std::string_view why, uint32_t by = 0);

// "vault_door moves (0 0 0) -> (0 0 96) in 1.500 s" when a move with a duration starts, and
// "vault_door arrived at (0 0 96)" when it ends there (kind "event").
void RecordMoverStart(World& world, const Entity& e, const qoVector& from, const qoVector& to, int32_t durationMs);
void RecordMoverArrival(World& world, const Entity& e);

// "music music state MUSIC_TENSION_STATE_HIGH" (kind "event") after a music manager's line
// "Music Manager: Changing to new state, 3": the state by its name in the module.
void RecordMusicState(World& world, std::string_view consoleLine);

}  // namespace qohost
