#include "host/records/Outcomes.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/world/Console.h"
#include "host/world/World.h"
#include "quorin/kvQuorin.h"

namespace qohost {

namespace {

std::string NameOf(World& world, uint32_t handle) {
    const Entity* e = world.EntityByHandle(handle);
    return e ? e->name : "#" + std::to_string(handle);
}

std::string Point(const qoVector& v) {
    char text[96];
    std::snprintf(text, sizeof text, "(%g %g %g)", v.x, v.y, v.z);
    return text;
}

}  // namespace

void RecordMoverStart(World& world, const Entity& e, const qoVector& from, const qoVector& to, int32_t durationMs) {
    if (!world.Wants(RecordKind::Event)) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%d.%03d s", durationMs / 1000, durationMs % 1000);
    world.Record(RecordKind::Event, e.name + " moves " + Point(from) + " -> " + Point(to) + " in " + seconds, e.handle);
}

void RecordMoverArrival(World& world, const Entity& e) {
    if (!world.Wants(RecordKind::Event)) return;
    world.Record(RecordKind::Event, e.name + " arrived at " + Point(e.origin), e.handle);
}

void RecordCrossing(World& world, uint32_t who, uint32_t volume, bool entered) {
    if (!world.Wants(RecordKind::Crossing)) return;
    world.Record(RecordKind::Crossing, NameOf(world, who) + (entered ? " entered " : " left ") + NameOf(world, volume), volume);
}

void RecordHealth(World& world, const Entity& e, int32_t before, uint32_t by) {
    if (before == e.health || !world.Wants(RecordKind::Health)) return;
    world.Record(RecordKind::Health,
                 e.name + " health " + std::to_string(before) + " -> " + std::to_string(e.health) +
                     (by ? " (" + NameOf(world, by) + ")" : ""),
                 e.handle);
}

void RecordDeath(World& world, const Entity& e, std::string_view why, uint32_t by) {
    if (!world.Wants(RecordKind::Death)) return;
    world.Record(RecordKind::Death, e.name + " died: " + std::string(why) + (by ? " by " + NameOf(world, by) : ""), e.handle);
}

void RecordMusicState(World& world, std::string_view consoleLine) {
    constexpr std::string_view kChange = "Music Manager: Changing to new state, ";
    if (!world.Wants(RecordKind::Event) || consoleLine.find(kChange) == std::string_view::npos) return;
    const std::string line = Console::StripColors(consoleLine);
    if (line.rfind(kChange, 0) != 0) return;
    const std::string number = line.substr(kChange.size());
    const int32_t level = std::atoi(number.c_str());
    // The state's name from the module's own enum (the number when the module has no such enum).
    std::string name = number;
    if (const qoEnumInfo* e = world.Module() ? world.Module()->GetEnumTable("musicTensionStates_t") : nullptr)
        for (const qoEnumValue* v = e->values; v && v->name; ++v)
            if (v->value == level) name = v->name;
    const ThreadInfo* thread = world.scheduler.Find(world.scheduler.Current());
    const uint32_t manager = thread ? thread->owner.entity : 0;
    world.Record(RecordKind::Event, (manager ? NameOf(world, manager) + " " : "") + "music state " + name, manager);
}

}  // namespace qohost
