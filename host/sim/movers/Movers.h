// Movers in the reference host: entities that travel, turn and carry the entities bound to them.
//
// A move runs from where the entity is along straight legs (one leg for MoveTo, the legs of a
// path for a spline) and takes either the entity's travel time (SetParmsForTime, Time) or
// length / speed plus half the acceleration and deceleration times, so that the cruising speed
// is the speed asked for (SetParmsForSpeed, Speed). Within that duration the entity speeds up
// evenly for the acceleration time and slows down evenly for the deceleration time (both are
// scaled down together when they do not fit). Rotations (RotateTo, RotateOnce, ...) do the same
// with degrees; Rotate turns without end at a rate until StopMoving.
//
// Binding: an entity bound to another (Bind...) moves by the parent's moves and turns about the
// parent's origin by its changes of yaw; its own moves are taken relative to its parent, so a
// child can travel on a moving parent. A spline path is an entity whose path is its origin,
// then its targets' origins in order; its length is the sum of the legs. With spline angles on
// (EnableSplineAngles) the mover's yaw follows the leg it travels.
//
// IsMoving / IsRotating answer whether the entity's own move or rotation is still under way at
// the present game time (a move of length 0 is over at once). Motion is computed from the game
// time, not stepped: settling an entity at any time gives the same place.
#pragma once

#include <cstdint>
#include <vector>

#include "quorin/qoTypes.h"

namespace qohost {

class World;
struct Entity;
struct EntityMethodState;

// A move along straight legs through `points`, started at startMs and lasting durationMs, with
// its speed-up and slow-down times. A bound entity's move is relative to its parent (`anchor`,
// whose origin was anchorOrigin at the start).
struct Motion {
    std::vector<qoVector> points;
    int64_t startMs = 0;
    int32_t durationMs = 0;
    int32_t accelMs = 0;
    int32_t decelMs = 0;
    uint32_t anchor = 0;
    qoVector anchorOrigin;
    bool spline = false;
    bool active = false;
};

// A rotation from `from` to `to` over durationMs, or a continuous one at `rate` degrees per
// second (per angle) when continuous is set.
struct Rotation {
    qoVector from, to, rate;
    int64_t startMs = 0;
    int32_t durationMs = 0;
    int32_t accelMs = 0;
    int32_t decelMs = 0;
    bool active = false;
    bool continuous = false;
};

// ---- placement ---------------------------------------------------------------------------------
// Puts the entity at `to`; the entities bound to it move along.
void PlaceOrigin(World& world, Entity& e, const qoVector& to);
// Sets the angles; the entities bound to it turn about its origin by the change of yaw.
void PlaceAngles(World& world, Entity& e, const qoVector& to);

// ---- moves --------------------------------------------------------------------------------------
// Duration of a move of `amount` (units or degrees) with the entity's parameters.
int32_t MoveDurationMs(const EntityMethodState& m, float amount);
// Along straight legs through `points`; durationMs < 0: by the entity's speed or time.
void StartMotion(World& world, Entity& e, std::vector<qoVector> points, int32_t durationMs = -1,
                 bool spline = false);
// Straight from where the entity is to `to`; durationMs < 0: by the entity's speed or time.
void StartMoveTo(World& world, Entity& e, const qoVector& to, int32_t durationMs = -1);
// From where the entity is along the path of the spline entity.
void StartSpline(World& world, Entity& e, const Entity& spline);
// Turns to `to`; durationMs < 0: by the entity's speed or time.
void StartRotation(World& world, Entity& e, const qoVector& to, int32_t durationMs = -1);
// Turns without end at `rate` degrees per second (per angle).
void StartContinuousRotation(World& world, Entity& e, const qoVector& rate);
// Ends the move only, where it is.
void StopMove(World& world, Entity& e);
// Ends move, rotation, bob and sway where they are.
void StopMotion(World& world, Entity& e);

// True while the entity's own move (or bob) lasts, and while its rotation (or sway) lasts.
bool IsMoving(World& world, Entity& e);
bool IsRotating(World& world, Entity& e);
// True while a move or rotation of the entity has to be advanced.
bool MoverActive(const Entity& e);

// Brings the entity's move and rotation up to the world's game time.
void SettleMover(World& world, Entity& e);

// ---- paths --------------------------------------------------------------------------------------
// A path entity's path: its own origin, then the origins of its live targets in order.
std::vector<qoVector> PathOf(World& world, const Entity& path);
float PathLength(const std::vector<qoVector>& points);
// The point at `distance` along the legs (clamped to the ends).
qoVector PointAtDistance(const std::vector<qoVector>& points, float distance);
// Distance along the legs to the point of the path closest to p.
float DistanceAlong(const std::vector<qoVector>& points, const qoVector& p);
// Where on the segment a..b (0 at a, 1 at b) the point closest to p lies.
float SegmentParam(const qoVector& a, const qoVector& b, const qoVector& p);

// The share of a move's length covered `elapsedMs` into it (0 to 1), with the speed-up and
// slow-down phases.
float MoveProgress(int64_t elapsedMs, int32_t durationMs, int32_t accelMs, int32_t decelMs);

}  // namespace qohost
