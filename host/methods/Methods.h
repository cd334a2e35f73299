// The seam between the world and the host entity methods (host slot 12).
//
// World::CallEntityMethod resolves the entity and calls DispatchMethod, which checks the method
// number and signature against the method catalogue (quorin/qoMethodCatalogue.h), decodes the
// argument buffer by the signature, records the call, applies the method's effect and fills the
// result that the result getters (host slots 13 to 15 and 17) read afterwards.
//
// What each method does in this host is documented once, in the effect table of
// host/methods/Methods.cpp (MethodEffectText gives the text of one method).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/sim/gui/Gui.h"
#include "host/sim/movers/Movers.h"
#include "host/sim/sound/Sound.h"
#include "host/sim/view/View.h"
#include "quorin/qoTypes.h"

namespace qohost {

class World;
struct Entity;

struct MethodResult {
    enum class Kind { None, Int, Float, Vector, String };
    Kind kind = Kind::None;
    int32_t i = 0;
    float f = 0.0f;
    qoVector v;
    std::string s;
};

// Returns false when the method failed (unknown number, signature that disagrees with the
// catalogue, a method the entity's class does not support, or the method's own failure).
bool DispatchMethod(World& world, Entity& entity, int32_t method, const char* signature,
                    void* args, MethodResult& out);

// Brings every simulated motion up to the world's game time (movers, rotations) and records
// the volumes of fading sound channels, through the world's lists of them. The world calls it
// once per frame; dispatch also settles the entities a call touches.
void AdvanceSimulation(World& world);

// The catalogue name of a method ("GetTarget"); null for a number outside the catalogue.
const char* MethodName(int32_t method);
// The documented effect of a method in this host; null for a number outside the catalogue.
const char* MethodEffectText(int32_t method);
// The host class an entity needs for the method ("kvEntity": every entity); null when unknown.
const char* MethodHostClass(int32_t method);

struct HudElement {
    bool visible = false;
    float uv[4] = {0, 0, 1, 1};
    float position[4] = {0, 0, 0, 0};
    float color[4] = {1, 1, 1, 1};
    std::string text;
    float textScale = 1.0f;
    int32_t textAlignment = 0;
};

// Entity state that only the host methods read and change (Entity::methods).
struct EntityMethodState {
    // Appearance and physics.
    qoVector color{1.0f, 1.0f, 1.0f};
    qoVector angularVelocity;
    qoVector gravity;
    qoVector spawnPosition;
    std::map<int32_t, SoundChannel> sounds;  // by channel (host/sim/sound/Sound.h)

    // Movers: speed in units (translation) or degrees (rotation) per second, unless a travel
    // time is set (time > 0), which then fixes the duration of every move.
    float speed = 100.0f;
    float time = 0.0f;
    float accelTime = 0.0f;
    float decelTime = 0.0f;
    Motion motion;
    Rotation rotation;
    bool splineAngles = false;  // EnableSplineAngles: a spline move turns the yaw along
    bool bobbing = false;
    bool swaying = false;

    // Gameplay.
    bool activatable = true;
    bool enabled = true;
    bool usable = false;
    bool lightOn = true;
    bool damageEnabled = true;
    bool painEnabled = true;
    bool noDeath = false;
    bool weaponEnabled = true;
    uint32_t debugTarget = 0;
    uint32_t enemy = 0;
    std::string equippedWeapon;
    std::map<std::string, int32_t> inventory;
    std::set<std::string> perks;
    std::set<std::string> activePerks;
    std::map<std::string, HudElement> hud;
    GuiPanel panel;  // what scripts set on the entity as an on-screen panel (host/sim/gui/Gui.h)

    // Spawners (host/sim/spawning/Spawning.h).
    int32_t spawnCount = 0;
    int64_t nextSpawnMs = 0;
    std::vector<std::string> spawnNames;  // names its spawns take, in turn

    // Spawned entities (host/sim/spawning/Spawning.h).
    uint32_t spawnedBy = 0;   // the spawner, 0 for entities not spawned by one
    int64_t dieAtMs = -1;     // end of the lifetime its entity def gives, -1 none
    bool deathHeard = false;  // the spawner has been told of its death

    // Fades, render parameters and render scale (host/sim/view/View.h).
    ViewState view;

    // Latent AI actions: the action the entity's script is waiting on.
    std::string action;  // method name, empty when none

    // Monsters (host/sim/monsters/Monsters.h).
    bool aware = false;       // noticed an enemy (the level's timeline says when)
    bool perception = false;  // EnablePerception; recorded only
};

}  // namespace qohost
