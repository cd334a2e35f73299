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
// Each value carries a name derived from where its member lies in the object: the designer
// property of the class's property table that holds it ("moverExtender.saveCheckpointState"),
// or else the class and the member's byte offset ("moverExtender+52"). Names are for readers;
// loading goes by order.
//
// Each object carries the layout of its class as the module that saved it had it: a hash of the
// class's property table (names, types, offsets, sizes). Loading refuses the values of an object
// whose class now has another layout, or whose SyncState now hands over members of other kinds
// or at other places than the saved names say: such an object keeps what its map properties
// and its Init give it, and the refusal is reported. Stale values are never written.
//
// File form (JSON): {"version": 2, "level": "Vault", "frame": F, "timeMs": T, "objects": [{"entity": "door", "class":
// "moverExtender", "index": 0, "layout": "9f3a61c2d4e5b607", "values": [["b", 1,
// "moverExtender.saveCheckpointState"], ["i", 2, "moverExtender+52"]]}], "world": {...}}, the
// world being the host's own state (host/level/WorldState.h). The name, "layout", "timeMs",
// "level" and "world" may be left out; a file without "version" is of version 1, which had no
// world.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace qohost {

class World;

struct CheckpointValue {
    char kind = 'i';  // 'b' bool, 'i' int, 'f' float
    double value = 0.0;
    std::string name;  // "moverExtender.saveCheckpointState", "moverExtender+52"
};

struct CheckpointObject {
    std::string entity;
    std::string className;
    uint32_t index = 0;  // among the entity's objects of the class
    uint64_t layout = 0;  // ClassLayout when saved; 0: not known
    std::vector<CheckpointValue> values;
};

// The checkpoint file version this host writes, and the newest it reads.
constexpr int kCheckpointVersion = 2;

struct Checkpoint {
    int version = kCheckpointVersion;
    std::string level;  // the name of the level it was saved from; empty: not known
    uint64_t frame = 0;
    int64_t timeMs = -1;  // the game time at the frame; -1: not saved
    std::vector<CheckpointObject> objects;  // only objects that handed something over
    nlohmann::ordered_json world;  // the host's world state (SaveWorldState); null: not saved
};

// A hash of the class's property table as the world's module has it (0 for a class it does not
// know).
uint64_t ClassLayout(World& world, const std::string& className);

// What the objects hand over; with `withWorld`, the host's world state too (a module reload
// keeps the world and needs only the objects).
Checkpoint SaveCheckpoint(World& world, bool withWorld = false);

struct CheckpointLoad {
    size_t mismatches = 0;  // members whose saved value was missing, of another kind or unfit
    // Saved objects whose values were refused, one line each ("door.moverExtender: its class
    // has another layout now"), and saved objects that found no object to go to.
    std::vector<std::string> refused;
};
CheckpointLoad LoadCheckpoint(World& world, const Checkpoint& checkpoint);

std::string CheckpointText(const Checkpoint& checkpoint);
// False with `error` set when the text is not a checkpoint.
bool ParseCheckpoint(const std::string& text, Checkpoint& out, std::string& error);

}  // namespace qohost
