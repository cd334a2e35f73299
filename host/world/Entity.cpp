#include "host/world/Entity.h"
#include "host/level/Checks.h"

#include <utility>

namespace qohost {

namespace {
// Host class hierarchy: each class and its parent ("" for the root).
constexpr std::pair<std::string_view, std::string_view> kHostClasses[] = {
    {"kvEntity", ""},
    {"kvWorldspawn", "kvEntity"},
    {"kvActor", "kvEntity"},
    {"kvPlayer", "kvActor"},
    {"kvAI2", "kvActor"},
    {"kvAI2_Zombie", "kvAI2"},
    {"kvMover", "kvEntity"},
    {"kvMoverSpline", "kvMover"},
    {"kvTrigger", "kvEntity"},
    {"kvTriggerHurt", "kvTrigger"},
    {"kvVolume", "kvEntity"},
    {"kvTarget", "kvEntity"},
    {"kvTarget_Spawn", "kvTarget"},
    {"kvTarget_Relay", "kvTarget"},
    {"kvLight", "kvEntity"},
    {"kvSpeaker", "kvEntity"},
    {"kvPathCorner", "kvEntity"},
    {"kvSplinePath", "kvEntity"},  // a path: its origin, then its targets' origins
    {"kvProp", "kvEntity"},
    {"kvItem", "kvEntity"},
    {"kvCamera", "kvEntity"},
    {"kvAIConductor", "kvEntity"},
    {"kvDesignSystems_HackBox", "kvEntity"},
};

const std::pair<std::string_view, std::string_view>* FindClass(std::string_view name) {
    for (const auto& row : kHostClasses)
        if (row.first == name) return &row;
    return nullptr;
}
}  // namespace

std::string_view HostClassParent(std::string_view hostClass) {
    const auto* row = FindClass(hostClass);
    return row ? row->second : std::string_view();
}

bool HostClassIsA(std::string_view hostClass, std::string_view base) {
    for (std::string_view c = hostClass; !c.empty(); c = HostClassParent(c))
        if (c == base) return true;
    return false;
}

bool IsKnownHostClass(std::string_view hostClass) { return FindClass(hostClass) != nullptr; }

std::vector<std::string_view> HostClassNames() {
    std::vector<std::string_view> names;
    for (const auto& row : kHostClasses) names.push_back(row.first);
    return names;
}

}  // namespace qohost
