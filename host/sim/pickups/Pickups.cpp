#include "host/sim/pickups/Pickups.h"
#include "host/level/SpawnArgs.h"

#include <string>
#include <vector>

#include "host/world/World.h"

namespace qohost {

namespace {

std::vector<std::string> ClassNames(const std::string& list) {
    std::vector<std::string> names;
    std::string name;
    for (char ch : list + " ") {
        if (ch == ' ' || ch == ',') {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else {
            name += ch;
        }
    }
    return names;
}

}  // namespace

void AttachDefObjects(World& world, uint32_t spawned) {
    const Entity* e = world.ValidEntity(spawned);
    if (!e) return;
    const auto it = e->spawnArgs.find(spawnargs::kScriptObjects);
    if (it == e->spawnArgs.end()) return;
    for (const std::string& className : ClassNames(it->second))
        world.FindScriptObject(spawned, className.c_str(), 1);
}

}  // namespace qohost
