#include "host/sim/paths/Paths.h"

#include <algorithm>
#include <cmath>

#include "host/world/Seconds.h"
#include "host/world/Vectors.h"
#include "host/world/World.h"

namespace qohost {

namespace {

constexpr float kWalkingSpeed = 200.0f;  // units per second

}  // namespace

Paths::Walk* Paths::Find(uint32_t entity) {
    for (Walk& w : walks_)
        if (w.entity == entity) return &w;
    return nullptr;
}

const Paths::Walk* Paths::Find(uint32_t entity) const {
    for (const Walk& w : walks_)
        if (w.entity == entity) return &w;
    return nullptr;
}

void Paths::Follow(World& world, Entity& entity, std::vector<Waypoint> points) {
    Stop(entity.handle);
    if (points.empty()) return;
    walks_.push_back({entity.handle, std::move(points), 0, -1.0f, world.GameTime()});
}

void Paths::Stop(uint32_t entity) {
    walks_.erase(std::remove_if(walks_.begin(), walks_.end(), [&](const Walk& w) { return w.entity == entity; }),
                 walks_.end());
}

bool Paths::Walking(uint32_t entity) const { return Find(entity) != nullptr; }

bool Paths::OnGround(uint32_t entity) const {
    const Walk* w = Find(entity);
    return !w || w->next >= w->points.size() || w->points[w->next].ground;
}

void Paths::Push(World&, Entity& entity, const qoVector& velocity) {
    entity.velocity = velocity;
    if (std::find(pushed_.begin(), pushed_.end(), entity.handle) == pushed_.end())
        pushed_.push_back(entity.handle);
}

void Paths::Advance(World& world) {
    const float seconds = static_cast<float>(world.FrameTimeMs()) * 0.001f;
    for (uint32_t handle : pushed_) {
        Entity* e = world.ValidEntity(handle);
        if (!e) continue;
        e->origin = {e->origin.x + e->velocity.x * seconds, e->origin.y + e->velocity.y * seconds,
                     e->origin.z + e->velocity.z * seconds};
        e->velocity = {};
    }
    pushed_.clear();

    size_t kept = 0;
    for (size_t i = 0; i < walks_.size(); ++i) {
        Walk& w = walks_[i];
        Entity* e = world.ValidEntity(w.entity);
        if (!e) continue;
        if (world.GameTime() >= w.waitUntilMs && w.next < w.points.size()) {
            const Waypoint& p = w.points[w.next];
            const qoVector rest{p.to.x - e->origin.x, p.to.y - e->origin.y, p.to.z - e->origin.z};
            const float distance = Length(rest);
            if (w.legSpeed < 0.0f)
                w.legSpeed = p.time > 0.0f ? distance / p.time : (p.speed > 0.0f ? p.speed : kWalkingSpeed);
            const float step = w.legSpeed * seconds;
            if (step >= distance) {
                e->origin = p.to;
                e->velocity = {};
                if (p.angles) e->angles = *p.angles;
                w.waitUntilMs = world.GameTime() + DurationMs(p.wait);
                w.legSpeed = -1.0f;
                ++w.next;
            } else {
                const float f = step / distance;
                e->velocity = {rest.x / distance * w.legSpeed, rest.y / distance * w.legSpeed,
                               rest.z / distance * w.legSpeed};
                e->origin = {e->origin.x + rest.x * f, e->origin.y + rest.y * f, e->origin.z + rest.z * f};
            }
        }
        if (w.next >= w.points.size()) continue;
        if (kept != i) walks_[kept] = std::move(w);
        ++kept;
    }
    walks_.resize(kept);
}

}  // namespace qohost
