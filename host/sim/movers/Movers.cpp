#include "host/sim/movers/Movers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "host/world/Seconds.h"
#include "host/world/Vectors.h"
#include "host/world/World.h"
#include "host/records/Outcomes.h"

namespace qohost {

namespace {

constexpr int kMaxBindDepth = 64;

bool IsZero(const qoVector& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }
int32_t Ms(float seconds) { return DurationMs(seconds); }

// The entities bound directly to e.
std::vector<Entity*> ChildrenOf(World& world, const Entity& e) { return world.BoundTo(e.handle); }

void MoveOriginBy(World& world, Entity& e, const qoVector& to, int depth) {
    const qoVector delta = Sub(to, e.origin);
    e.origin = to;
    if (depth >= kMaxBindDepth || IsZero(delta)) return;
    // A child's own move, taken relative to its parent, gives the same place when it settles.
    for (Entity* child : ChildrenOf(world, e))
        MoveOriginBy(world, *child, Add(child->origin, delta), depth + 1);
}

void TurnBy(World& world, Entity& e, const qoVector& to, int depth) {
    const qoVector delta = Sub(to, e.angles);
    e.angles = to;
    if (depth >= kMaxBindDepth || IsZero(delta)) return;
    const float yaw = delta.y * 3.14159265358979f / 180.0f;
    const float c = std::cos(yaw), s = std::sin(yaw);
    for (Entity* child : ChildrenOf(world, e)) {
        const qoVector off = Sub(child->origin, e.origin);
        const qoVector turned{off.x * c - off.y * s, off.x * s + off.y * c, off.z};
        MoveOriginBy(world, *child, Add(e.origin, turned), depth + 1);
        TurnBy(world, *child, Add(child->angles, delta), depth + 1);
    }
}

// Acceleration and deceleration of the entity's parameters, scaled to fit durationMs.
void FitPhases(const EntityMethodState& m, int32_t durationMs, int32_t& accelMs, int32_t& decelMs) {
    accelMs = Ms(m.accelTime);
    decelMs = Ms(m.decelTime);
    const int64_t both = int64_t{accelMs} + decelMs;
    if (both > durationMs && both > 0) {
        accelMs = static_cast<int32_t>(int64_t{accelMs} * durationMs / both);
        decelMs = durationMs - accelMs;
    }
}

// The yaw of the leg the motion travels at distance `along`.
bool LegYaw(const std::vector<qoVector>& points, float along, float& yaw) {
    for (size_t i = 1; i < points.size(); ++i) {
        const qoVector d = Sub(points[i], points[i - 1]);
        const float leg = std::sqrt(Dot(d, d));
        if (leg <= 0.0f) continue;
        if (along <= leg || i + 1 == points.size()) {
            yaw = std::atan2(d.y, d.x) * 180.0f / 3.14159265358979f;
            return true;
        }
        along -= leg;
    }
    return false;
}

// The one record of this family, kind "mover": "WHAT HANDLE DURATION_MS NAME" when a move
// ("move", "spline"), a rotation ("rotate") or an endless turn ("spin", duration -1) starts,
// "stop HANDLE 0 NAME" when StopMoving ends one early. Traces show them as slices.
void RecordMove(World& world, const Entity& e, const char* what, int32_t durationMs) {
    if (!world.Wants(RecordKind::Mover)) return;
    world.Record(RecordKind::Mover, std::string(what) + " " + std::to_string(e.handle) + " " + std::to_string(durationMs) +
                                        " " + e.name,
                 e.handle);
}

void Settle(World& world, Entity& e, int depth) {
    if (!e.methods.Made()) return;  // it never moved nor turned
    EntityMethodState& m = *e.methods;
    const int64_t now = world.GameTime();
    if (m.motion.active) {
        Motion& mo = m.motion;
        qoVector shift;
        if (mo.anchor != 0 && depth < kMaxBindDepth) {
            if (Entity* parent = world.ValidEntity(mo.anchor)) {
                Settle(world, *parent, depth + 1);
                shift = Sub(parent->origin, mo.anchorOrigin);
            }
        }
        const float t = MoveProgress(now - mo.startMs, mo.durationMs, mo.accelMs, mo.decelMs);
        const float along = t * PathLength(mo.points);
        MoveOriginBy(world, e, Add(PointAtDistance(mo.points, along), shift), 0);
        float yaw = 0.0f;
        if (mo.spline && m.splineAngles && LegYaw(mo.points, along, yaw))
            TurnBy(world, e, {e.angles.x, yaw, e.angles.z}, 0);
        if (t >= 1.0f) {
            mo.active = false;
            if (mo.durationMs > 0) RecordMoverArrival(world, e);
        }
    }
    if (m.rotation.active) {
        const Rotation& r = m.rotation;
        if (r.continuous) {
            TurnBy(world, e, Add(r.from, Scale(r.rate, float(now - r.startMs) / 1000.0f)), 0);
        } else {
            const float t = MoveProgress(now - r.startMs, r.durationMs, r.accelMs, r.decelMs);
            TurnBy(world, e, Lerp(r.from, r.to, t), 0);
            if (t >= 1.0f) m.rotation.active = false;
        }
    }
}

}  // namespace

float MoveProgress(int64_t elapsedMs, int32_t durationMs, int32_t accelMs, int32_t decelMs) {
    if (durationMs <= 0 || elapsedMs >= durationMs) return 1.0f;
    if (elapsedMs <= 0) return 0.0f;
    const double T = durationMs, t = double(elapsedMs);
    const double a = std::max(accelMs, 0), d = std::max(decelMs, 0);
    const double v = 1.0 / (T - a / 2.0 - d / 2.0);  // cruising share per millisecond
    double s;
    if (t < a)
        s = v * t * t / (2.0 * a);
    else if (t <= T - d)
        s = v * (a / 2.0 + (t - a));
    else
        s = 1.0 - v * (T - t) * (T - t) / (2.0 * d);
    return static_cast<float>(std::clamp(s, 0.0, 1.0));
}

void PlaceOrigin(World& world, Entity& e, const qoVector& to) { MoveOriginBy(world, e, to, 0); }
void PlaceAngles(World& world, Entity& e, const qoVector& to) { TurnBy(world, e, to, 0); }

int32_t MoveDurationMs(const EntityMethodState& m, float amount) {
    if (!(amount > 0.0f)) return 0;  // nowhere to go: over at once, whatever the travel time
    if (m.time > 0.0f) return Ms(m.time);
    if (m.speed <= 0.0f) return 0;
    return Ms(amount / m.speed + (std::max(m.accelTime, 0.0f) + std::max(m.decelTime, 0.0f)) / 2.0f);
}

void StartMotion(World& world, Entity& e, std::vector<qoVector> points, int32_t durationMs,
                 bool spline) {
    Motion& mo = e.methods->motion;
    if (durationMs < 0) durationMs = MoveDurationMs(*e.methods, PathLength(points));
    mo = Motion{};
    mo.points = std::move(points);
    mo.startMs = world.GameTime();
    mo.durationMs = std::max(durationMs, 0);
    FitPhases(*e.methods, mo.durationMs, mo.accelMs, mo.decelMs);
    mo.spline = spline;
    if (const Entity* parent = world.ValidEntity(e.bindParent)) {
        mo.anchor = parent->handle;
        mo.anchorOrigin = parent->origin;
    }
    mo.active = true;
    world.Simulate(e);
    if (mo.durationMs > 0) {
        RecordMove(world, e, spline ? "spline" : "move", mo.durationMs);
        if (!mo.points.empty()) RecordMoverStart(world, e, mo.points.front(), mo.points.back(), mo.durationMs);
    }
    Settle(world, e, 0);
}

void StartMoveTo(World& world, Entity& e, const qoVector& to, int32_t durationMs) {
    StartMotion(world, e, {e.origin, to}, durationMs);
}

void StartSpline(World& world, Entity& e, const Entity& spline) {
    std::vector<qoVector> points{e.origin};
    for (const qoVector& p : PathOf(world, spline)) points.push_back(p);
    StartMotion(world, e, std::move(points), -1, true);
}

void StartRotation(World& world, Entity& e, const qoVector& to, int32_t durationMs) {
    Rotation& r = e.methods->rotation;
    r = Rotation{};
    r.from = e.angles;
    r.to = to;
    const qoVector d = Sub(to, e.angles);
    if (durationMs < 0)
        durationMs = MoveDurationMs(*e.methods,
                                    std::max({std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)}));
    r.durationMs = std::max(durationMs, 0);
    FitPhases(*e.methods, r.durationMs, r.accelMs, r.decelMs);
    r.startMs = world.GameTime();
    r.active = true;
    world.Simulate(e);
    if (r.durationMs > 0) RecordMove(world, e, "rotate", r.durationMs);
    Settle(world, e, 0);
}

void StartContinuousRotation(World& world, Entity& e, const qoVector& rate) {
    Settle(world, e, 0);
    Rotation& r = e.methods->rotation;
    r = Rotation{};
    r.from = e.angles;
    r.rate = rate;
    r.startMs = world.GameTime();
    r.active = r.continuous = true;
    world.Simulate(e);
    RecordMove(world, e, "spin", -1);
}

void StopMove(World& world, Entity& e) {
    Settle(world, e, 0);
    if (e.methods->motion.active) RecordMove(world, e, "stop", 0);
    e.methods->motion.active = false;
}

void StopMotion(World& world, Entity& e) {
    Settle(world, e, 0);
    if (MoverActive(e)) RecordMove(world, e, "stop", 0);
    e.methods->motion.active = false;
    e.methods->rotation.active = false;
    e.methods->bobbing = false;
    e.methods->swaying = false;
}

bool IsMoving(World& world, Entity& e) {
    Settle(world, e, 0);
    return e.methods->motion.active || e.methods->bobbing;
}

bool IsRotating(World& world, Entity& e) {
    Settle(world, e, 0);
    return e.methods->rotation.active || e.methods->swaying;
}

bool MoverActive(const Entity& e) { return e.methods->motion.active || e.methods->rotation.active; }

void SettleMover(World& world, Entity& e) { Settle(world, e, 0); }

// ---- paths --------------------------------------------------------------------------------------

std::vector<qoVector> PathOf(World& world, const Entity& path) {
    std::vector<qoVector> points{path.origin};
    for (uint32_t t : path.targets)
        if (const Entity* e = world.ValidEntity(t)) points.push_back(e->origin);
    return points;
}

float PathLength(const std::vector<qoVector>& points) {
    float length = 0.0f;
    for (size_t i = 1; i < points.size(); ++i) length += Distance(points[i - 1], points[i]);
    return length;
}

qoVector PointAtDistance(const std::vector<qoVector>& points, float distance) {
    if (points.empty()) return {};
    for (size_t i = 1; i < points.size(); ++i) {
        const float leg = Distance(points[i - 1], points[i]);
        if (distance <= leg && leg > 0.0f) return Lerp(points[i - 1], points[i], distance / leg);
        distance -= leg;
    }
    return points.back();
}

float SegmentParam(const qoVector& a, const qoVector& b, const qoVector& p) {
    const qoVector ab = Sub(b, a);
    const float len2 = Dot(ab, ab);
    return len2 > 0.0f ? std::clamp(Dot(Sub(p, a), ab) / len2, 0.0f, 1.0f) : 0.0f;
}

float DistanceAlong(const std::vector<qoVector>& points, const qoVector& p) {
    float best = 0.0f, bestGap = INFINITY, travelled = 0.0f;
    for (size_t i = 1; i < points.size(); ++i) {
        const float t = SegmentParam(points[i - 1], points[i], p);
        const float leg = Distance(points[i - 1], points[i]);
        const float gap = Distance(p, Lerp(points[i - 1], points[i], t));
        if (gap < bestGap) {
            bestGap = gap;
            best = travelled + t * leg;
        }
        travelled += leg;
    }
    return best;
}

}  // namespace qohost
