// The host's own world state in a checkpoint: what the reference host simulates, so that a
// level loaded afresh and given this state goes on as the saved run did.
//
// Kept: the console variables, the random number generator, and per entity (by handle, with
// its name for readers) its placement, gameplay state and the state of the host methods
// (movers under way, spawners, monsters, sounds, fades, panels, inventory, ...); the world's lists of simulated, spawn-watched and fading entities, binds,
// walks under way and pushes due, who is inside each sensing volume, and the hurt triggers'
// next hits. Values equal to those of a fresh entity are left out.
//
// Restoring: entities of the level keep their handles (a level loads the same way each time);
// entities spawned during the saved run are spawned again at their saved handles with their
// fields (spawn args) and the script objects their entity def names; entities that are not in
// the saved state (removed before the save) are removed. Script threads are not part of it:
// the objects run their Init again and take back what they hand over (host/level/Checkpoint.h);
// objects that scripts attached to spawned entities are attached again only if the scripts do.
//
// Restoring goes in two steps around the objects' own: RestoreWorldEntities makes the set of
// entities the saved one, so that the objects of spawned entities exist to take their state
// back; RestoreWorldState then sets what the host simulates, over whatever the objects did
// when they took their state back (a mover extender putting its mover where its offsets say).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace qohost {

class World;

nlohmann::ordered_json SaveWorldState(World& world);

// Removes and spawns entities so that the world has the saved ones. False when the state does
// not fit (a saved entity that exists here with another handle or class): nothing is changed
// then, and the reasons are in `notes`.
bool RestoreWorldEntities(World& world, const nlohmann::ordered_json& state, std::vector<std::string>& notes);
// Puts the saved values back, after RestoreWorldEntities. Saved values of the wrong type are
// left out and reported in `notes`.
void RestoreWorldState(World& world, const nlohmann::ordered_json& state, std::vector<std::string>& notes);

}  // namespace qohost
