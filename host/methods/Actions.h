// Latent actions: host methods that hold the calling script thread while the entity acts
// (walks, animations, voice-overs).
#pragma once

#include <cmath>
#include <cstdint>

#include "host/methods/Call.h"
#include "host/methods/Events.h"
#include "host/sim/monsters/Monsters.h"
#include "host/sim/movers/Movers.h"
#include "host/world/World.h"

namespace qohost {

// Runs a latent action: marks it as the action the entity's script waits on and holds the
// calling script thread for its duration. When the time has passed (or at once outside any
// script thread, and on a thread that delivers a host event) the action's end state is applied
// (finish). EndCurrentScriptAction releases the hold early: the caller goes on in the next
// frame and the entity stops where it is. When the calling thread is ended meanwhile, the hold
// unwinds through here and the entity stops.
template <class Finish>
void RunAction(World& world, Entity& e, const char* name, int32_t durationMs, Finish finish) {
    const uint32_t handle = e.handle;
    struct Clear {
        World& world;
        uint32_t handle;
        ~Clear() {
            if (Entity* x = world.EntityByHandle(handle); x && x->methods.Made()) {
                x->methods->action.clear();
                x->methods->motion.active = false;
            }
        }
    } clear{world, handle};
    e.methods->action = name;
    // An event handler on its delivery thread does not wait for a monster's action: the action
    // is carried out at once, as outside any thread. A negative duration holds until
    // EndCurrentScriptAction releases the caller.
    const HoldResult held =
        durationMs != 0 && !OnDeliveryThread(world)
            ? world.scheduler.Hold(durationMs > 0 ? durationMs / 1000.0 : INFINITY, handle)
            : HoldResult::Completed;
    Entity* x = world.ValidEntity(handle);
    if (!x) return;
    SettleMover(world, *x);
    if (held != HoldResult::Released) finish(*x);
}

// Walks to the first argument's point; the fifth argument gives the final angles.
void WalkToPoint(Call& c);
// Walks to the first argument's origin.
void WalkToEntity(Call& c);

// Latent action that only takes time.
template <int32_t Ms>
void Hold(Call& c) {
    RunAction(c.world, c.self, c.method.name, Ms, [](Entity&) {});
}

// Latent animation action: as long as the animation named by argument `Anim` lasts.
template <int Anim>
void Animate(Call& c) {
    RunAction(c.world, c.self, c.method.name, AnimationMs(c.self, c.S(Anim)), [](Entity&) {});
}

}  // namespace qohost
