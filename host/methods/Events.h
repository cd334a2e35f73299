// Host events delivered to script objects, and the host effects that level timelines share
// with the entity methods: activation and damage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class kvQOObject;

namespace qohost {

class World;
struct Entity;

// Calls deliver(object) for each script object of the entity that handles the event, and
// records each delivery ("event" records; `by` names the activator, "" for none). Objects are
// read by index on every step: a handler may add objects or remove the entity. Each handler
// runs on a new script thread named after the event (docs/host.md). `deliver` is copied onto
// that thread and runs on after this returns when the handler waits: it captures by value.
// A delivery made from within kMaxDeliveryDepth deliveries still running (handlers that activate
// each other and never wait) is dropped with a host warning instead.
// So is one a script causes once kMaxScriptDeliveries such were made in the frame.
inline constexpr unsigned kMaxDeliveryDepth = 64;
inline constexpr uint64_t kMaxScriptDeliveries = 10000;
void DeliverEvent(World& world, uint32_t entity, const char* event, const std::string& by,
                  const std::function<void(kvQOObject*)>& deliver);

// True when the calling script thread delivers a host event.
bool OnDeliveryThread(World& world);

// Activation is OnActivate to every script object of the target that handles it, then the
// host's own effects of being activated (ActivationEffects: a spawn entity spawns); damage
// (shields first when asked, OnDamage when asked, death with OnDeath when health runs out).
void ActivateEntity(World& world, uint32_t target, uint32_t activator);
void ActivationEffects(World& world, uint32_t target, uint32_t activator);
void Hurt(World& world, Entity& e, float amount, uint32_t attacker, bool shieldsFirst,
          bool damageEvent);

// A float amount of health as whole points (rounded, NaN as none), saturated far beyond any
// int32_t health and far within int64_t.
int64_t HealthPoints(float amount);

// The entity's name for records: "<none>" for handle 0, "#<handle>" for one that is gone.
std::string EntityText(World& world, uint32_t handle);
void AppendEntityText(std::string& out, World& world, uint32_t handle);

}  // namespace qohost
