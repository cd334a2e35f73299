// Health drops in the reference host. The pickups themselves are script driven (healthPickup
// places its pickup every frame with SetOrigin and removes it when collected); what the host
// adds is the script objects an entity def gives what is spawned from it, which is how spawned
// monsters come to carry a healthDrop:
//
//   "entityDefs": { "monster/imp": { "class": "kvAI2",
//                                    "args": { "lifetime": 3, "scriptObjects": "healthDrop" } } }
//
// The arg names script classes separated by spaces or commas. Each becomes a script object on
// the spawned entity as if a script had asked for it (host slot 2 with the create flag): decl
// defaults filled, its Init started as the thread "Init". A class the module does not know is
// recorded as refused, like any object the module cannot create.
#pragma once

#include <cstdint>

namespace qohost {

class World;

// Attaches the objects the spawned entity's "scriptObjects" spawn arg names.
void AttachDefObjects(World& world, uint32_t spawned);

}  // namespace qohost
