#include "host/sim/entities/HostClasses.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "host/world/Seconds.h"
#include "host/methods/Events.h"
#include "host/sim/spawning/Spawning.h"
#include "host/sim/volumes/Volumes.h"
#include "host/world/World.h"
#include "quorin/kvQOObject.h"

namespace qohost {

namespace {

// The classes and what they do. A situation left empty behaves as in the parent class.
constexpr HostClassInfo kClasses[] = {
    {"kvEntity", "", "a plain entity: placement, health, targets, script objects",
     "OnActivate (the activator) to its script objects",
     "nothing: it notices no crossings unless the level gives it a `volume`, and then only its "
     "script objects hear OnEnter and OnExit",
     "the enabled flag is recorded; nothing else changes",
     "shields take the damage first, then health; OnDamage to its script objects; at 0 health "
     "it is dead and they hear OnDeath",
     "`origin`, `angles`, `mins`, `maxs`, `health`, `shields`, `hidden`, `targets`"},
    {"kvWorldspawn", "kvEntity", "the world entity `world`, which carries the world utility", "", "",
     "", "", ""},
    {"kvActor", "kvEntity", "something that lives and moves: a player or a monster", "", "", "", "",
     ""},
    {"kvPlayer", "kvActor",
     "a player (host slots 67 and 69 count and give them in file order); volumes notice players "
     "crossing them",
     "", "", "", "", "`path` (walks it)"},
    {"kvAI2", "kvActor",
     "a monster: a type, an awareness of enemies, latent actions that hold the caller",
     "", "", "", "as every entity; spawned ones also die of their entity def's `lifetime`",
     "`spawnArgs.monsterType`, `spawnArgs.\"anim:NAME\"`"},
    {"kvAI2_Zombie", "kvAI2", "a monster class derived from kvAI2 (for scripts that test the exact class)",
     "", "", "", "", ""},
    {"kvMover", "kvEntity", "a mover: moves, rotations and what is bound to it (Movers)", "", "",
     "", "", "`bindTo`"},
    {"kvMoverSpline", "kvMover", "a mover that can follow a `kvSplinePath`", "", "", "", "", ""},
    {"kvTrigger", "kvEntity", "a trigger: walking into it fires its targets",
     "", "while enabled: OnEnter (the one entering) to its script objects, then Activate on each "
     "target in order with the one entering as activator; OnExit on leaving. Disabled: nothing at "
     "all, and the log says so for a timeline `enter`",
     "Disable silences it (it notices nobody until enabled again); on Enable it notices who is "
     "inside on the next frame as entering",
     "", "`volume` (\"events\" or \"touch\") makes it notice walkers and players"},
    {"kvTriggerHurt", "kvTrigger", "a trigger that hurts what stands in it", "", "",
     "while enabled it also damages every player and walker whose bounds overlap it: `damage` "
     "points at once, then again every `damageInterval` seconds while they stay; disabled it "
     "hurts nobody",
     "", "`spawnArgs.damage` (points per hit, default 10), `spawnArgs.damageInterval` (seconds, "
     "default 1)"},
    {"kvVolume", "kvEntity", "a volume: IsEntityInVolume and NumPlayersInVolume answer for its bounds",
     "", "while enabled: OnEnter and OnExit to its script objects. Disabled: nothing (queries "
     "still answer for the bounds)",
     "Disable silences it until enabled again; on Enable it notices who is inside on the next "
     "frame as entering",
     "", "`mins`, `maxs`, `volume`"},
    {"kvTarget", "kvEntity", "a target entity that scripts point at", "", "", "", "", ""},
    {"kvTarget_Spawn", "kvTarget", "a spawn point: spawns AI from its entity defs",
     "OnActivate, then, while enabled and not busy, spawns its next entity def (the log says "
     "why it spawned nothing otherwise; spawners spawn at most 1,000 entities a frame); its "
     "spawns' deaths activate its targets",
     "", "disabled it spawns nothing (SpawnEntity fails, IsSpawnAvailable is false)", "",
     "`entityDefs`, `spawnNames`, `spawnArgs.spawnCooldownMs`"},
    {"kvTarget_Relay", "kvTarget", "a relay: fires all its targets when activated",
     "OnActivate, then, while enabled, Activate on each of its targets in order with the same "
     "activator (chains of relays deeper than 64 are cut with a note, and so is a relay whose targets would "
     "take the activations relayed in one frame beyond 10,000)",
     "", "disabled it relays nothing; OnActivate still reaches its script objects", "",
     "`targets`"},
    {"kvLight", "kvEntity", "a light (SetLightParms and the light switch are recorded)", "", "", "",
     "", ""},
    {"kvSpeaker", "kvEntity", "a sound emitter (sound channels as every entity)", "", "", "", "", ""},
    {"kvPathCorner", "kvEntity", "a path point for walks", "", "", "", "", ""},
    {"kvSplinePath", "kvEntity", "a spline path: its origin, then its targets' origins", "", "", "",
     "", "`targets`"},
    {"kvProp", "kvEntity", "a prop (usable flag, panels)", "", "", "", "", ""},
    {"kvItem", "kvEntity", "an item", "", "", "", "", ""},
    {"kvCamera", "kvEntity", "a camera", "", "", "", "", ""},
    {"kvAIConductor", "kvEntity", "the AI conductor that the world utility looks up by name", "", "",
     "", "", ""},
    {"kvDesignSystems_HackBox", "kvEntity", "a hack box (its hack events come from the timeline)",
     "", "", "", "", ""},
};

struct Situation {
    const char* label;
    std::string_view HostClassInfo::*member;
};
constexpr Situation kSituations[] = {
    {"activated", &HostClassInfo::activated},
    {"entered", &HostClassInfo::entered},
    {"enabled/disabled", &HostClassInfo::enabled},
    {"damaged", &HostClassInfo::damaged},
};

double SpawnArgNumber(const Entity& e, std::string_view key, double fallback) {
    const auto it = e.spawnArgs.find(std::string(key));
    if (it == e.spawnArgs.end()) return fallback;
    char* end = nullptr;
    const double value = std::strtod(it->second.c_str(), &end);
    return end != it->second.c_str() && std::isfinite(value) && value >= 0 ? value : fallback;
}

// Rows of the classes whose effects are tested on every activation and crossing.
struct EffectRows {
    HostClassRow spawn = HostClassRowOf("kvTarget_Spawn"), relay = HostClassRowOf("kvTarget_Relay"),
                 trigger = HostClassRowOf("kvTrigger"), volume = HostClassRowOf("kvVolume");
};
const EffectRows& Rows() {
    static const EffectRows rows;
    return rows;
}

// Relays that activate relays: the depth of the chain being fired, and the activations all
// relays may pass on in one frame.
int relayDepth = 0;
constexpr int kMaxRelayDepth = 64;
constexpr uint64_t kMaxRelayedActivations = 10000;

}  // namespace

std::span<const HostClassInfo> HostClasses() { return kClasses; }

const HostClassInfo* FindHostClass(std::string_view name) {
    // Asked for every entity a level places, several times: hashed, not searched.
    static const std::unordered_map<std::string_view, const HostClassInfo*> byName = [] {
        std::unordered_map<std::string_view, const HostClassInfo*> rows;
        for (const HostClassInfo& row : kClasses) rows.emplace(row.name, &row);
        return rows;
    }();
    const auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second;
}

std::string_view HostClassBehaviour(const HostClassInfo& row, std::string_view HostClassInfo::*situation) {
    for (const HostClassInfo* c = &row; c; c = c->parent.empty() ? nullptr : FindHostClass(c->parent))
        if (!(c->*situation).empty()) return c->*situation;
    return {};
}

std::string DescribeHostClass(const HostClassInfo& row) {
    std::string out = "host class " + std::string(row.name);
    if (!row.parent.empty()) out += " (a " + std::string(row.parent) + ")";
    out += ": " + std::string(row.summary) + "\n";
    for (const Situation& s : kSituations)
        out += "  " + std::string(s.label) + ": " + std::string(HostClassBehaviour(row, s.member)) + "\n";
    std::string fields;
    for (const HostClassInfo* c = &row; c; c = c->parent.empty() ? nullptr : FindHostClass(c->parent))
        if (!c->fields.empty()) fields += (fields.empty() ? "" : "; ") + std::string(c->fields);
    if (!fields.empty()) out += "  fields: " + fields + "\n";
    return out;
}

std::string HostClassTable() {
    std::string out = "| Class | Is a | What it is | Activated | Entered | Enabled / disabled | Damaged | Fields |\n"
                      "|---|---|---|---|---|---|---|---|\n";
    const auto cell = [](std::string_view text) { return text.empty() ? std::string("as its parent") : std::string(text); };
    for (const HostClassInfo& row : kClasses) {
        out += "| `" + std::string(row.name) + "` | " + (row.parent.empty() ? "" : "`" + std::string(row.parent) + "`") +
               " | " + std::string(row.summary);
        for (const Situation& s : kSituations) out += " | " + (row.parent.empty() ? std::string(row.*s.member) : cell(row.*s.member));
        out += " | " + std::string(row.fields) + " |\n";
    }
    return out;
}

// ---- effects ----------------------------------------------------------------------------------

bool NoticesCrossings(const Entity& e) {
    return e.methods->enabled || !(e.IsA(Rows().trigger) || e.IsA(Rows().volume));
}

bool HearsCrossing(World& world, uint32_t entity, bool note) {
    const Entity* e = world.ValidEntity(entity);
    if (!e) return false;
    if (NoticesCrossings(*e)) return true;
    if (note && world.Wants(RecordKind::Event))
        world.Record(RecordKind::Event, e->name + " noticed nothing: disabled", entity);
    return false;
}

void FireTriggerTargets(World& world, uint32_t entity, uint32_t by) {
    const Entity* e = world.ValidEntity(entity);
    if (!e || !e->IsA(Rows().trigger) || !NoticesCrossings(*e)) return;
    const std::vector<uint32_t> targets = e->targets;
    for (uint32_t t : targets) ActivateEntity(world, t, by);
}

void ClassActivationEffects(World& world, uint32_t target, uint32_t activator) {
    if (const Entity* e = world.ValidEntity(target); e && world.Wants(RecordKind::Host)) {
        // An activation that no script object and no class effect answers is worth a count.
        bool handled = e->IsA(Rows().spawn) || e->IsA(Rows().relay);
        for (const ScriptObjectSlot& o : e->objects) handled |= o.object && o.object->HandlesEvent("OnActivate");
        if (!handled) {
            thread_local std::string text;  // reused: one for every activation of a plain target
            text.assign(kUnhandledActivation).append(e->name);
            world.Record(RecordKind::Host, text, target, Severity::Notice);
        }
    }
    SpawnOnActivate(world, target);
    const Entity* relay = world.ValidEntity(target);
    if (!relay || !relay->IsA(Rows().relay) || !relay->methods->enabled) return;
    if (relayDepth >= kMaxRelayDepth) {
        world.Record(RecordKind::Event, relay->name + " relayed nothing: a chain of relays deeper than 64", target);
        return;
    }
    uint64_t& relayed = world.relayedActivations.In(world.Frame());
    if (relayed + relay->targets.size() > kMaxRelayedActivations) {
        world.Record(RecordKind::Event,
                     relay->name + " relayed nothing: " + std::to_string(kMaxRelayedActivations) +
                         " activations relayed this frame",
                     target);
        return;
    }
    relayed += relay->targets.size();
    const std::vector<uint32_t> targets = relay->targets;
    ++relayDepth;
    for (uint32_t t : targets) ActivateEntity(world, t, activator);
    --relayDepth;
}

void AdvanceHostClasses(World& world) {
    const int64_t now = world.GameTime();
    for (auto& [handle, nextMs] : world.hurtTriggers) {
        Entity* trigger = world.ValidEntity(handle);
        if (!trigger) continue;
        if (!trigger->methods->enabled) {
            nextMs = 0;  // enabled again, it hits at once
            continue;
        }
        if (now < nextMs) continue;
        std::vector<uint32_t> inside;
        for (uint32_t h : world.volumes.Tracked())
            if (const Entity* t = world.ValidEntity(h); t && h != handle && !t->dead && BoundsOverlap(*trigger, *t))
                inside.push_back(h);
        if (inside.empty()) continue;
        const float damage = static_cast<float>(SpawnArgNumber(*trigger, kHurtDamageArg, 10.0));
        const double interval = SpawnArgNumber(*trigger, kHurtIntervalArg, 1.0);
        nextMs = now + std::max<int64_t>(1, DurationMs(interval));
        for (uint32_t h : inside)
            if (Entity* t = world.ValidEntity(h)) Hurt(world, *t, damage, handle, true, true);
    }
    std::erase_if(world.hurtTriggers, [&](const auto& h) { return !world.ValidEntity(h.first); });
}

std::vector<std::string_view> HostClassNames() {
    std::vector<std::string_view> names;
    for (const HostClassInfo& row : HostClasses()) names.push_back(row.name);
    return names;
}

}  // namespace qohost
