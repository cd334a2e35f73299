// Reloading the script module while a level runs, at the end of a frame.
//
//   1. Every script object hands its state over (SaveCheckpoint), and the world notes which
//      objects live on which entities, in creation order.
//   2. The module lets go of the level as at shut-down (World::Detach): Reset closes the dev
//      windows, every object is shut down and destroyed, every script thread is ended and its
//      fiber unwound, and the module gets its old host pointer back.
//   3. The library is unloaded. Unloading frees what the module still owns (the dev window
//      list); after it no block of the module may be live in the world's allocator.
//   4. The library is loaded again (the same file or a newer build of it) from a private copy,
//      so that a build may overwrite the file meanwhile, and attached: SetSystem,
//      RunRegistrations (console variables keep their values: the world keeps them), Reset.
//   5. The objects are created again on the same entities, in the same order, with the decl
//      defaults and the map properties of those the level places; their Init threads start
//      and run to their first wait, then each takes its saved state back (LoadCheckpoint), as
//      after a checkpoint load. An object whose class is gone, or whose class's layout
//      changed, starts from its map properties; each is named in the result.
//
// Entities, names, the clock, console variables and everything the host simulates (movers,
// health, volumes) stay in the world and are not touched.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/level/Level.h"
#include "host/world/Module.h"

namespace qohost {

class World;

struct ReloadResult {
    bool ok = false;          // false: the library did not load again (`error`); the world has no module
    std::string error;
    size_t moduleBlocksLeft = 0;  // live allocator blocks after the unload (0 when nothing leaked)
    size_t objects = 0;           // objects created again
    // What could not be carried over, one line each ("door.moverExtender: its class has another
    // layout now; it starts from its map properties").
    std::vector<std::string> notCarried;
};

// Reloads `module` (from `path`, or from the file it was loaded from when empty) into the world
// running `level`. `module` is replaced by the new one (null when it did not load).
ReloadResult ReloadModule(World& world, const LevelDesc& level, std::unique_ptr<Module>& module,
                          const std::string& path = "");

}  // namespace qohost
