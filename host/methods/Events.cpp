#include "host/methods/Events.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "host/records/Outcomes.h"
#include "host/sim/entities/HostClasses.h"
#include "host/world/World.h"
#include "quorin/kvQOObject.h"

namespace qohost {

void AppendEntityText(std::string& out, World& world, uint32_t handle) {
    if (handle == 0) {
        out += "<none>";
    } else if (const Entity* e = world.EntityByHandle(handle)) {
        out += e->name;
    } else {
        char buf[16];
        out += '#';
        out.append(buf, std::to_chars(buf, buf + sizeof buf, handle).ptr);
    }
}

std::string EntityText(World& world, uint32_t handle) {
    std::string text;
    AppendEntityText(text, world, handle);
    return text;
}

namespace {

// An "event" record: "OnActivate relay #0 by player1".
struct EventDelivery {
    const char* event;
    const std::string& entity;
    size_t index;
    const std::string& by;
};

void RecordEvent(World& world, const Entity& e, const char* event, size_t index,
                 const std::string& by) {
    const EventDelivery detail{event, e.name, index, by};
    Record r;
    r.kind = RecordKind::Event;
    r.entity = e.handle;
    r.name = world.names.Intern(event);
    r.number = static_cast<int32_t>(index);
    r.detail = &detail;
    r.format = [](const Record& record, std::string& out) {
        const auto& d = *static_cast<const EventDelivery*>(record.detail);
        char index[24];
        out += d.event;
        out += ' ';
        out += d.entity;
        out += " #";
        out.append(index, std::to_chars(index, index + sizeof index, d.index).ptr);
        if (!d.by.empty()) {
            out += " by ";
            out += d.by;
        }
    };
    world.Emit(r);
}

// The entry of the threads that deliver a host event to one object: the delivery function is
// moved onto the thread before its creator goes on.
void DeliveryEntry(kvQOObject* object, void* args) {
    const std::function<void(kvQOObject*)> deliver =
        std::move(*static_cast<std::function<void(kvQOObject*)>*>(args));
    deliver(object);
}

}  // namespace

bool OnDeliveryThread(World& world) {
    const ThreadInfo* t = world.scheduler.Find(world.scheduler.Current());
    return t && t->entry == &DeliveryEntry;
}

void DeliverEvent(World& world, uint32_t entity, const char* event, const std::string& by,
                  const std::function<void(kvQOObject*)>& deliver) {
    for (size_t i = 0;; ++i) {
        Entity* e = world.ValidEntity(entity);
        if (!e || i >= e->objects.size()) break;
        kvQOObject* object = e->objects[i].object;
        if (!object || !object->HandlesEvent(event)) continue;
        if (world.scheduler.Current() != 0) {  // caused by a script (every nested delivery is)
            // Handlers that activate each other without ever waiting (a loop of targets) would
            // nest threads until memory runs out, or fan out for ever: the delivery that goes
            // too deep, or one too many in the frame, is dropped.
            const bool deep = world.deliveryDepth >= kMaxDeliveryDepth;
            if (deep || ++world.scriptDeliveries.In(world.Frame()) > kMaxScriptDeliveries) {
                world.Record(RecordKind::Host,
                             std::string(event) + " to " + e->name + "." + e->objects[i].className +
                                 " not delivered: " +
                                 (deep ? "events nested " + std::to_string(kMaxDeliveryDepth) + " deep"
                                       : std::to_string(kMaxScriptDeliveries) + " events caused by scripts this frame") +
                                 " (an activation loop that never waits?)",
                             entity, Severity::Warning);
                continue;
            }
        }
        if (world.Wants(RecordKind::Event)) RecordEvent(world, *e, event, i, by);
        // The handler gets a script thread of its own named after the event, whoever caused
        // it (the timeline, the simulation, a script's Activate): its waits wait, its warnings
        // cost it a frame and its errors end it alone, and its caller is never held. The
        // thread runs until the handler returns or first waits, before the next object gets
        // the event (docs/host.md).
        std::function<void(kvQOObject*)> copy = deliver;
        ++world.deliveryDepth;
        world.scheduler.Create(event, object, &DeliveryEntry, &copy, {entity, static_cast<uint32_t>(i)});
        --world.deliveryDepth;
    }
}

int64_t HealthPoints(float amount) {
    if (std::isnan(amount)) return 0;
    constexpr double kLimit = 1e15;
    return static_cast<int64_t>(std::clamp(std::round(double(amount)), -kLimit, kLimit));
}

void ActivateEntity(World& world, uint32_t target, uint32_t activator) {
    DeliverEvent(world, target, "OnActivate", EntityText(world, activator),
                 [activator](kvQOObject* o) { o->Entry_OnActivate(activator); });
    ActivationEffects(world, target, activator);
}

void ActivationEffects(World& world, uint32_t target, uint32_t activator) {
    ClassActivationEffects(world, target, activator);
}

void Hurt(World& world, Entity& e, float amount, uint32_t attacker, bool shieldsFirst,
          bool damageEvent) {
    if (!(amount > 0.0f) || e.dead) return;  // NaN is no damage either
    // Whole points, in 64 bits and saturated: an amount beyond any health (2^31, 3e9, inf)
    // takes all of it and never wraps around into a gain.
    int64_t points = HealthPoints(amount);
    if (shieldsFirst) {
        const int64_t absorbed = std::min<int64_t>(points, e.shields);
        e.shields -= static_cast<int32_t>(absorbed);
        points -= absorbed;
    }
    const int32_t before = e.health;
    e.health = static_cast<int32_t>(std::max<int64_t>(int64_t{e.health} - points, 0));
    RecordHealth(world, e, before, attacker);
    const std::string by = EntityText(world, attacker);
    const uint32_t handle = e.handle;
    if (damageEvent)
        DeliverEvent(world, handle, "OnDamage", by,
                     [attacker, amount](kvQOObject* o) { o->Entry_OnDamage(attacker, amount); });
    if (e.health > 0) return;
    if (e.methods->noDeath) {
        e.health = 1;
        return;
    }
    e.health = 0;
    e.dead = true;
    RecordDeath(world, e, "damage", attacker);
    DeliverEvent(world, handle, "OnDeath", by, [attacker](kvQOObject* o) { o->Entry_OnDeath(attacker); });
}


}  // namespace qohost
