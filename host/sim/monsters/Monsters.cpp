#include "host/sim/monsters/Monsters.h"
#include "host/level/SpawnArgs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "host/world/Seconds.h"
#include "host/world/Vectors.h"
#include "host/world/World.h"

namespace qohost {

namespace {

struct MonsterTypeName {
    const char* name;
    int32_t number;
};
constexpr MonsterTypeName kMonsterTypes[] = {{"zombie", 1}, {"imp", 2}, {"soldier", 3}, {"hellknight", 4}};

int32_t Ms(double seconds) { return DurationMs(seconds); }

}  // namespace

std::optional<int32_t> MonsterTypeByName(std::string_view name) {
    for (const MonsterTypeName& t : kMonsterTypes)
        if (name == t.name) return t.number;
    return std::nullopt;
}

int32_t MonsterType(const Entity& e) {
    auto it = e.spawnArgs.find(spawnargs::kMonsterType);
    if (it == e.spawnArgs.end()) return 0;
    if (auto named = MonsterTypeByName(it->second)) return *named;
    return std::atoi(it->second.c_str());
}

bool IsAware(World& world, const Entity& e) {
    return e.methods->aware || world.ValidEntity(e.methods->enemy) != nullptr;
}

void MakeAware(World& world, Entity& e, uint32_t enemy) {
    e.methods->aware = true;
    if (enemy) e.methods->enemy = enemy;
    if (!world.Wants(RecordKind::Event)) return;
    const Entity* seen = world.ValidEntity(enemy);
    world.Record(RecordKind::Event, e.name + " is aware of " + (seen ? seen->name : std::string("an enemy")),
                 e.handle);
}

int32_t AnimationMs(const Entity& e, std::string_view animation) {
    auto it = e.spawnArgs.find(spawnargs::kAnimPrefix + std::string(animation));
    if (it == e.spawnArgs.end()) return kAnimMs;
    return Ms(std::strtod(it->second.c_str(), nullptr));
}

int32_t LoopAnimMs(int32_t count) { return count < 0 ? kHoldUntilReleased : count; }

int32_t WalkMs(const qoVector& from, const qoVector& to) {
    return DurationMs(Distance(from, to) / kWalkSpeed);
}

qoVector GoalPoint(const qoVector& from, const qoVector& goal, float distance) {
    const float d = Distance(from, goal);
    if (!(d > distance) || d == 0.0f) return from;
    const float t = (d - std::max(distance, 0.0f)) / d;
    return {from.x + (goal.x - from.x) * t, from.y + (goal.y - from.y) * t, from.z + (goal.z - from.z) * t};
}

qoVector Velocity(const Entity& e) {
    const Motion& m = e.methods->motion;
    if (!m.active || m.points.size() < 2 || m.durationMs <= 0 || !HostClassIsA(e.hostClass, "kvActor"))
        return e.velocity;
    const qoVector& a = m.points.front();
    const qoVector& b = m.points.back();
    const float s = 1000.0f / float(m.durationMs);
    return {(b.x - a.x) * s, (b.y - a.y) * s, (b.z - a.z) * s};
}

}  // namespace qohost
