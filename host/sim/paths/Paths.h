// Entities that move by themselves in the reference host: walkers that follow a path of
// waypoints from the level file, and entities pushed by an external velocity.
//
// A walker heads for its waypoints in order, in a straight line from where it stands, each
// frame covering speed × frame seconds (a waypoint with a time instead covers the leg's length
// in that many seconds, the speed being fixed when the leg starts). It reaches a waypoint when
// the step would carry it there or past it: it stands on the waypoint, takes the waypoint's
// angles (pitch, yaw, roll: for a player its view direction) when it gives them, waits the
// waypoint's wait, and heads for the next waypoint on the following frame. While a walker
// heads for a waypoint marked "ground": false it is in the air (IsPlayerOnGround answers
// false). Whatever else moves a walker meanwhile (a push, SetWorldOrigin) moves the point it
// walks from. Teleport ends the walk.
//
// An external velocity (SetAIExternalVelocity) moves the entity by velocity × frame seconds
// on the next frame, then falls back to zero.
//
// Only walkers and pushed entities are visited each frame; an entity leaves the pass when its
// path is over or its push applied.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quorin/qoTypes.h"

namespace qohost {

class World;
struct Entity;

struct Waypoint {
    qoVector to;
    float speed = 0.0f;  // units per second (0: the walking speed, 200)
    float time = 0.0f;   // seconds for the leg; when above 0 it decides instead of speed
    float wait = 0.0f;   // seconds to stand on the waypoint
    std::optional<qoVector> angles;
    bool ground = true;  // on the ground while heading here
};

class Paths {
public:
    // Starts the entity on the path (a walk under way is replaced).
    void Follow(World& world, Entity& entity, std::vector<Waypoint> points);
    // Ends the entity's walk where it stands.
    void Stop(uint32_t entity);
    bool Walking(uint32_t entity) const;
    // False while the entity heads for a waypoint in the air.
    bool OnGround(uint32_t entity) const;
    // Sets the external velocity that moves the entity on the next frame.
    void Push(World& world, Entity& entity, const qoVector& velocity);
    // The per-frame pass: walkers step, pushed entities move.
    void Advance(World& world);

    // A walk under way: the waypoints, the one it heads for, and where the leg stands.
    struct Walk {
        uint32_t entity = 0;
        std::vector<Waypoint> points;
        size_t next = 0;
        float legSpeed = -1.0f;  // fixed when the leg starts
        int64_t waitUntilMs = 0;
    };
    // What a checkpoint keeps: the walks under way and the pushes due on the next frame.
    const std::vector<Walk>& Walks() const { return walks_; }
    const std::vector<uint32_t>& Pushed() const { return pushed_; }
    void Restore(std::vector<Walk> walks, std::vector<uint32_t> pushed) {
        walks_ = std::move(walks);
        pushed_ = std::move(pushed);
    }

private:
    Walk* Find(uint32_t entity);
    const Walk* Find(uint32_t entity) const;

    std::vector<Walk> walks_;
    std::vector<uint32_t> pushed_;
};

}  // namespace qohost
