// Entities of the reference host world, the host class hierarchy, and host decls.
//
// An entity has a handle (never reused within a world), a unique name, a host class, the state
// that host entity methods read and change, and the script objects attached to it. Object
// indices are positions in `objects`; a destroyed object leaves a null slot so that the
// indices of the others stay valid.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/methods/Methods.h"
#include "host/world/OnDemand.h"
#include "quorin/qoTypes.h"

class kvQOObject;

namespace qohost {

// Object index the host answers when there is no such object (host slot 2).
constexpr uint32_t kNoObject = 0xFFFFFFFFu;

struct ScriptObjectSlot {
    kvQOObject* object = nullptr;  // null once destroyed
    std::string className;         // as created
    size_t order = 0;              // the world's place of the object in creation order
};

// The row of a host class in the host class table (HostClasses()); class tests asked for every
// activation or call go by row, not by name.
using HostClassRow = uint16_t;
constexpr HostClassRow kNoHostClassRow = 0xFFFF;  // a class not in the table

struct Entity {
    uint32_t handle = 0;
    std::string name;
    std::string hostClass;  // "kvPlayer", "kvAI2", "kvMover", ...; set with SetHostClass
    HostClassRow hostRow = kNoHostClassRow;  // the row of hostClass
    bool removed = false;   // removed entities are invalid; their handle is never reused
    bool simulated = false; // listed in the world's simulated entities
    bool soundFading = false;  // listed in the world's fading sounds (host/sim/sound/Sound.h)

    // Placement.
    qoVector origin;
    qoVector angles;
    qoVector mins{-16.0f, -16.0f, 0.0f};
    qoVector maxs{16.0f, 16.0f, 72.0f};
    qoVector velocity;
    uint32_t bindParent = 0;

    // Gameplay state.
    int32_t health = 100;
    int32_t maxHealth = 100;
    int32_t shields = 0;
    int32_t maxShields = 100;
    bool hidden = false;
    bool dead = false;
    std::vector<uint32_t> targets;

    // Spawners: the entity defs they can spawn (names of host decls of type kvDeclEntityDef).
    std::vector<std::string> entityDefs;
    uint32_t lastSpawned = 0;

    // State of the simulated host methods (host/methods/Methods.h), made when a method first
    // needs it.
    OnDemand<EntityMethodState> methods;

    // Free-form key/value pairs from the level file.
    std::map<std::string, std::string> spawnArgs;

    // Script objects, by object index.
    std::vector<ScriptObjectSlot> objects;

    // Sets hostClass and its row.
    void SetHostClass(std::string cls);
    // True when the entity's class is the class of row `base` or derives from it.
    bool IsA(HostClassRow base) const;
};

// Host class hierarchy: the parent of a host class, or "" for a root or an unknown class.
std::string_view HostClassParent(std::string_view hostClass);
// True when hostClass is base or derives from it (kvPlayer is a kvActor and a kvEntity).
bool HostClassIsA(std::string_view hostClass, std::string_view base);
// True for the classes of the table.
bool IsKnownHostClass(std::string_view hostClass);
// The row of a class, kNoHostClassRow for a class not in the table.
HostClassRow HostClassRowOf(std::string_view hostClass);
// True when the class of row `cls` is the class of row `base` or derives from it; false when
// either is kNoHostClassRow.
bool HostClassRowIsA(HostClassRow cls, HostClassRow base);

// A host decl (entity def, sound shader, material, ...). Script objects hold pointers to decls;
// the module never looks inside.
struct Decl {
    std::string type;  // "kvDeclEntityDef", "kvSoundShader", ...
    std::string name;
    std::string hostClass;  // for entity defs: the host class of the spawned entity
    std::map<std::string, std::string> args;
};

}  // namespace qohost
