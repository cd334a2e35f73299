#include "host/methods/Actions.h"

namespace qohost {

namespace {

// Latent walk in a straight line at walking speed; the origin moves frame by frame.
void Walk(Call& c, const qoVector& to, const qoVector* facing) {
    const int32_t ms = WalkMs(c.self.origin, to);
    StartMotion(c.world, c.self, {c.self.origin, to}, ms);
    RunAction(c.world, c.self, c.method.name, ms, [&](Entity& e) {
        e.methods->motion.active = false;
        PlaceOrigin(c.world, e, to);
        if (facing) e.angles = *facing;
    });
}

}  // namespace

void WalkToPoint(Call& c) {
    const qoVector facing = c.V(4);
    Walk(c, c.V(0), &facing);
}

void WalkToEntity(Call& c) {
    const Entity* goal = Live(c, 0);
    if (!goal) return;
    Walk(c, goal->origin, nullptr);
}

}  // namespace qohost
