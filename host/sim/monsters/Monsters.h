// Monsters in the reference host: their types, their awareness of an enemy, where they walk
// and how long their latent actions (Action_ methods) hold the calling script thread.
//
// Types: the spawn argument "monsterType" names the monster's type, by a name of the table
// below or as a number; GetMonsterType answers the number (0 without one). Level files may
// write these names for properties of type aiMonsterType_t.
//
// Awareness: a monster is aware of an enemy once the level's timeline says so ("aware", with
// the enemy as "by"), and while an enemy set with SetEnemy exists. EnablePerception is only
// recorded.
//
// Timing: walks go in a straight line at kWalkSpeed; an animation action lasts the seconds of
// the monster's spawn argument "anim:<name>" (kAnimMs without one); Action_LoopAnim lasts the
// milliseconds it is given, and a negative count loops until EndCurrentScriptAction.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "quorin/qoTypes.h"

namespace qohost {

class World;
struct Entity;

constexpr float kWalkSpeed = 200.0f;  // units per second
constexpr int32_t kAnimMs = 1000;     // an animation without a length of its own
constexpr int32_t kHoldUntilReleased = -1;

// The number of a monster type name ("zombie", "imp", "soldier", "hellknight"); none for
// another name.
std::optional<int32_t> MonsterTypeByName(std::string_view name);
// The monster's type from its spawn argument "monsterType" (a name or a number), 0 without one.
int32_t MonsterType(const Entity& e);

bool IsAware(World& world, const Entity& e);
// The timeline's "aware": the monster notices `enemy` (0: an enemy it does not name).
void MakeAware(World& world, Entity& e, uint32_t enemy);

// Milliseconds an animation action of the monster lasts.
int32_t AnimationMs(const Entity& e, std::string_view animation);
// Milliseconds Action_LoopAnim holds for its count: the count, kHoldUntilReleased below 0.
int32_t LoopAnimMs(int32_t count);
// Milliseconds of a walk from one point to another.
int32_t WalkMs(const qoVector& from, const qoVector& to);
// Where a walk toward `goal` that stops `distance` short of it ends: on the straight line, or
// where the monster is when it is that near already.
qoVector GoalPoint(const qoVector& from, const qoVector& goal, float distance);
// The velocity of an actor while it walks (the direction of its walk at kWalkSpeed), else the
// entity's own velocity.
qoVector Velocity(const Entity& e);

}  // namespace qohost
