// Checkpoints: the state script objects hand over through SyncState (object slot 49) and the
// host's state stream (host slot 72), kept so that a level can be saved part-way and a fresh
// load of it continued from there.
//
// Saving calls SyncState(1) on every live script object in creation order; the stream reads
// each member handed to it (bool, int or float) and keeps the values per object. Loading
// calls SyncState(0) on the objects of a freshly loaded level that match a saved one (same
// entity name, same class, same place among that entity's objects of the class), and the
// stream writes the saved values back through the members in the order they were saved; a
// member asked for past the saved values, of another kind, or with a value it cannot hold is
// left as it is and counted as a mismatch. The objects then re-evaluate their state themselves (a moverExtender puts its
// mover back where its saved offsets say).
//
// File form (JSON): {"frame": F, "objects": [{"entity": "door", "class": "moverExtender",
// "index": 0, "values": [["b", 1], ["i", 2], ["f", 0.5]]}]}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qohost {

class World;

struct CheckpointValue {
    char kind = 'i';  // 'b' bool, 'i' int, 'f' float
    double value = 0.0;
};

struct CheckpointObject {
    std::string entity;
    std::string className;
    uint32_t index = 0;  // among the entity's objects of the class
    std::vector<CheckpointValue> values;
};

struct Checkpoint {
    uint64_t frame = 0;
    std::vector<CheckpointObject> objects;  // only objects that handed something over
};

Checkpoint SaveCheckpoint(World& world);
// Returns the number of members whose saved value was missing or of another kind.
size_t LoadCheckpoint(World& world, const Checkpoint& checkpoint);

std::string CheckpointText(const Checkpoint& checkpoint);
// False with `error` set when the text is not a checkpoint.
bool ParseCheckpoint(const std::string& text, Checkpoint& out, std::string& error);

}  // namespace qohost
