// The host classes of the reference host: their hierarchy and what an entity of each class
// does when it is activated, entered, enabled or disabled, and damaged.
//
// One table (HostClasses.cpp) holds both the hierarchy and the stated behaviour; `qohost
// describe HOSTCLASS` prints a row and docs/levels.md carries the table as HostClassTable
// writes it (a test keeps the two equal). The effects themselves are the functions below,
// called by the world, the level runner and the entity methods.
#pragma once

#include <vector>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qohost {

class World;
struct Entity;

struct HostClassInfo {
    std::string_view name;
    std::string_view parent;     // "" for the root
    std::string_view summary;    // what the class stands for
    // What an entity of the class does in each situation; "" means as its parent class.
    std::string_view activated;  // Activate, a trigger's or relay's target, the timeline
    std::string_view entered;    // a player or walker crossing into it, the timeline's enter
    std::string_view enabled;    // Enable / Disable (and SetActiveState, SetEnabledState)
    std::string_view damaged;    // Damage, the timeline's damage and death
    std::string_view fields;     // level fields and spawn args the class reads
};

// Every host class, parents before their children.
std::span<const HostClassInfo> HostClasses();
// The row of a class; null for an unknown name.
const HostClassInfo* FindHostClass(std::string_view name);
// The host's notice that an activation reached no script object and no host behaviour: a
// fact for the summary, not a failure.
inline constexpr std::string_view kUnhandledActivation = "nothing handled the activation of ";
// The names of the host classes, for "did you mean".
std::vector<std::string_view> HostClassNames();
// The behaviour of one situation, looked up the hierarchy ("" for none anywhere).
std::string_view HostClassBehaviour(const HostClassInfo& row, std::string_view HostClassInfo::*situation);
// The class as `qohost describe` prints it: name, parent, summary, one line per situation.
std::string DescribeHostClass(const HostClassInfo& row);
// The whole table as a Markdown table (docs/levels.md, "Host classes").
std::string HostClassTable();

// ---- effects --------------------------------------------------------------------------------

// False for a trigger or volume that is disabled: it notices nobody and fires nothing.
bool NoticesCrossings(const Entity& entity);
// Whether the entity hears a crossing now (the timeline's enter and exit, a volume crossing);
// with `note` a disabled one says in the log that it noticed nothing.
bool HearsCrossing(World& world, uint32_t entity, bool note);
// After OnEnter: a trigger activates its targets in order with `by` as activator.
void FireTriggerTargets(World& world, uint32_t entity, uint32_t by);
// The host's own effects of an activation that the entity's class has, after OnActivate: a
// spawn entity spawns, a relay fires its targets.
void ClassActivationEffects(World& world, uint32_t target, uint32_t activator);
// The per-frame pass of the classes that act over time: hurt triggers damage what is inside.
void AdvanceHostClasses(World& world);

// Spawn args of a hurt trigger: points per hit and seconds between hits.
constexpr std::string_view kHurtDamageArg = "damage";
constexpr std::string_view kHurtIntervalArg = "damageInterval";

}  // namespace qohost
