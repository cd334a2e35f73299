// Volumes and triggers that notice entities crossing them in the reference host.
//
// A sensing entity (a volume or trigger the level marks with "volume") compares its bounds,
// placed at its origin, with those of the tracked entities every frame: the players and the
// path walkers. When the boxes come to overlap (touching faces do not count) it delivers
// "OnEnter" (the entity) to its script objects, and when they stop overlapping "OnExit"; each
// once per crossing, in the frame the bounds say, after the frame's movement. A sensing
// trigger (host class kvTrigger or derived) also activates its targets on entering, as a
// timeline "enter" does. In "touch" mode the sensing entity also delivers "OnActivate" (the
// entity as activator) to its own script objects on every frame the entity is inside,
// entering frame included. Every delivery runs on a script thread of its own named after the
// event, so that a handler may wait. An entity that is removed while inside leaves without an
// "OnExit".
//
// Only sensing entities and tracked entities take part in the pass, never the whole world.
#pragma once

#include <cstdint>
#include <vector>

namespace qohost {

class World;
struct Entity;

enum class SenseMode { Events, Touch };

class Volumes {
public:
    // The entity notices crossings from now on (again: the mode changes).
    void Sense(uint32_t entity, SenseMode mode);
    // Volumes notice this entity's crossings.
    void Track(uint32_t entity);
    // The entities whose crossings volumes notice (players and walkers).
    const std::vector<uint32_t>& Tracked() const { return tracked_; }
    // Entities inside the sensing entity, in the order they entered.
    std::vector<uint32_t> Inside(uint32_t entity) const;
    // Puts back who is inside a sensing entity (a checkpoint); nothing for an entity that does
    // not sense.
    void SetInside(uint32_t entity, std::vector<uint32_t> inside);
    // The per-frame pass.
    void Advance(World& world);

private:
    struct Sensor {
        uint32_t entity = 0;
        SenseMode mode = SenseMode::Events;
        std::vector<uint32_t> inside;
    };
    std::vector<Sensor> sensors_;
    std::vector<uint32_t> tracked_;
};

// True when the two bounds, placed at the origins, overlap (touching faces do not count).
bool BoundsOverlap(const Entity& a, const Entity& b);

// Delivers the event to every script object of the entity that handles it through
// DeliverEvent: called from the host, each handler runs on a thread of its own named after the
// event (entity events: "OnEnter", "OnExit", "OnActivate", "OnTrigger").
void DeliverOnThreads(World& world, uint32_t entity, const char* event, uint32_t by);

}  // namespace qohost
