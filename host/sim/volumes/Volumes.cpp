#include "host/sim/volumes/Volumes.h"

#include <algorithm>
#include <cstring>

#include "host/methods/Events.h"
#include "host/world/World.h"
#include "host/records/Outcomes.h"
#include "host/sim/entities/HostClasses.h"
#include "quorin/kvQOObject.h"

namespace qohost {

namespace {

void EnterEvent(kvQOObject* o, const char* event, uint32_t by) {
    if (!std::strcmp(event, "OnEnter")) o->Entry_OnEnter(by);
    else if (!std::strcmp(event, "OnExit")) o->Entry_OnExit(by);
    else if (!std::strcmp(event, "OnActivate")) o->Entry_OnActivate(by);
    else if (!std::strcmp(event, "OnTrigger")) o->Entry_OnTrigger(by);
}

}  // namespace

bool BoundsOverlap(const Entity& a, const Entity& b) {
    const auto axis = [](float ao, float amin, float amax, float bo, float bmin, float bmax) {
        return ao + amin < bo + bmax && bo + bmin < ao + amax;
    };
    return axis(a.origin.x, a.mins.x, a.maxs.x, b.origin.x, b.mins.x, b.maxs.x) &&
           axis(a.origin.y, a.mins.y, a.maxs.y, b.origin.y, b.mins.y, b.maxs.y) &&
           axis(a.origin.z, a.mins.z, a.maxs.z, b.origin.z, b.mins.z, b.maxs.z);
}

void DeliverOnThreads(World& world, uint32_t entity, const char* event, uint32_t by) {
    // From the host, DeliverEvent runs each handler on a script thread of its own.
    const Entity* from = world.EntityByHandle(by);
    DeliverEvent(world, entity, event, from ? from->name : "",
                 [event, by](kvQOObject* object) { EnterEvent(object, event, by); });
}

void Volumes::Sense(uint32_t entity, SenseMode mode) {
    for (Sensor& s : sensors_)
        if (s.entity == entity) {
            s.mode = mode;
            return;
        }
    sensors_.push_back({entity, mode, {}});
}

void Volumes::Track(uint32_t entity) {
    if (std::find(tracked_.begin(), tracked_.end(), entity) == tracked_.end()) tracked_.push_back(entity);
}

std::vector<uint32_t> Volumes::Inside(uint32_t entity) const {
    for (const Sensor& s : sensors_)
        if (s.entity == entity) return s.inside;
    return {};
}

void Volumes::SetInside(uint32_t entity, std::vector<uint32_t> inside) {
    for (Sensor& s : sensors_)
        if (s.entity == entity) s.inside = std::move(inside);
}

void Volumes::Advance(World& world) {
    // Entities gone from the world leave the pass.
    std::erase_if(tracked_, [&](uint32_t h) { return !world.ValidEntity(h); });
    std::erase_if(sensors_, [&](const Sensor& s) { return !world.ValidEntity(s.entity); });
    // Handlers may add sensors: walk by index over the ones present at the start.
    const size_t count = sensors_.size();
    for (size_t i = 0; i < count && i < sensors_.size(); ++i) {
        const uint32_t volume = sensors_[i].entity;
        std::vector<uint32_t> entered, left;
        {
            Sensor& s = sensors_[i];
            const Entity* v = world.ValidEntity(volume);
            if (!v) continue;
            // A disabled trigger or volume notices nobody; enabled again, it finds who is
            // inside as entering.
            if (!NoticesCrossings(*v)) {
                s.inside.clear();
                continue;
            }
            std::erase_if(s.inside, [&](uint32_t h) { return !world.ValidEntity(h); });
            for (uint32_t h : tracked_) {
                const Entity* t = world.ValidEntity(h);
                if (!t || h == volume) continue;
                const bool now = BoundsOverlap(*v, *t);
                const bool was = std::find(s.inside.begin(), s.inside.end(), h) != s.inside.end();
                if (now && !was) entered.push_back(h);
                if (!now && was) left.push_back(h);
            }
            for (uint32_t h : left) std::erase(s.inside, h);
            for (uint32_t h : entered) s.inside.push_back(h);
        }
        for (uint32_t h : left) {
            RecordCrossing(world, h, volume, false);
            DeliverOnThreads(world, volume, "OnExit", h);
        }
        for (uint32_t h : entered) {
            RecordCrossing(world, h, volume, true);
            DeliverOnThreads(world, volume, "OnEnter", h);
            FireTriggerTargets(world, volume, h);
        }
        if (i < sensors_.size() && sensors_[i].mode == SenseMode::Touch) {
            const std::vector<uint32_t> inside = sensors_[i].inside;
            for (uint32_t h : inside)
                if (world.ValidEntity(h)) DeliverOnThreads(world, volume, "OnActivate", h);
        }
    }
}

}  // namespace qohost
