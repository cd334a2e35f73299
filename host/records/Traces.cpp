#include "host/records/Traces.h"

#include <cmath>
#include <utility>

#include "host/world/World.h"

namespace qohost {

namespace {

float Axis(const qoVector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

qoVector AxisNormal(int axis, float sign) {
    qoVector n{0.0f, 0.0f, 0.0f};
    (axis == 0 ? n.x : axis == 1 ? n.y : n.z) = sign;
    return n;
}

// Where the segment start..end enters the box (slab test): the fraction and the face normal.
// False when it misses the box or starts inside it.
bool EnterBox(const qoVector& start, const qoVector& end, const qoVector& lo, const qoVector& hi,
              float& fraction, qoVector& normal) {
    float enter = 0.0f, leave = 1.0f;
    int enterAxis = -1;
    float enterSign = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float s = Axis(start, axis), d = Axis(end, axis) - s;
        const float a = Axis(lo, axis), b = Axis(hi, axis);
        if (d == 0.0f) {
            if (s < a || s > b) return false;
            continue;
        }
        float t0 = (a - s) / d, t1 = (b - s) / d;
        float sign = -1.0f;  // moving up the axis enters through the low face
        if (t0 > t1) {
            std::swap(t0, t1);
            sign = 1.0f;
        }
        if (t0 > enter) {
            enter = t0;
            enterAxis = axis;
            enterSign = sign;
        }
        if (t1 < leave) leave = t1;
        if (enter > leave) return false;
    }
    if (enterAxis < 0) return false;  // the start lies inside the box
    fraction = enter;
    normal = AxisNormal(enterAxis, enterSign);
    return true;
}

}  // namespace

void RunTrace(World& world, Trace& trace) {
    trace.fraction = 1.0f;
    trace.normal = {};
    trace.hitEntity = 0;
    for (Entity* e : world.Entities()) {
        if (e->handle == trace.ignoreEntity || e->hostClass == "kvWorldspawn") continue;
        const qoVector lo{e->origin.x + e->mins.x, e->origin.y + e->mins.y, e->origin.z + e->mins.z};
        const qoVector hi{e->origin.x + e->maxs.x, e->origin.y + e->maxs.y, e->origin.z + e->maxs.z};
        float fraction = 1.0f;
        qoVector normal;
        if (EnterBox(trace.start, trace.end, lo, hi, fraction, normal) && fraction < trace.fraction) {
            trace.fraction = fraction;
            trace.normal = normal;
            trace.hitEntity = e->handle;
        }
    }
}

}  // namespace qohost
