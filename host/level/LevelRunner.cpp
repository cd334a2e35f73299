#include "host/level/LevelRunner.h"

#include <cstring>

#include "host/methods/Events.h"
#include "host/sim/monsters/Monsters.h"
#include "host/world/World.h"
#include "host/records/Outcomes.h"
#include "host/sim/entities/HostClasses.h"
#include "quorin/kvQOObject.h"
#include "quorin/qoEvents.h"

namespace qohost {

namespace {

bool SameName(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace

void DescribeEvent(const LevelEvent& ev, std::string& out) {
    const auto by = [&](const char* word) {
        if (ev.by.empty()) return;
        out += ' ';
        out += word;
        out += ' ';
        out += ev.by;
    };
    // The kind's word and the entity: "activate relay1", then what the kind adds.
    const auto head = [&](const char* kind, const std::string& entity) {
        out += kind;
        out += ' ';
        out += entity;
    };
    switch (ev.kind) {
        case LevelEventKind::Activate: head("activate", ev.entity); return by("by");
        case LevelEventKind::Trigger: head("trigger", ev.entity); return by("by");
        case LevelEventKind::Damage: {
            char amount[32];
            std::snprintf(amount, sizeof amount, " %g", ev.amount);
            head("damage", ev.entity);
            out += amount;
            return by("by");
        }
        case LevelEventKind::Death: head("death", ev.entity); return by("by");
        case LevelEventKind::Enter: head("enter", ev.entity); return by("by");
        case LevelEventKind::Exit: head("exit", ev.entity); return by("by");
        case LevelEventKind::Use: head("use", ev.entity); return by("by");
        case LevelEventKind::AnimNotify: head("animNotify", ev.entity); out += " \"" + ev.more->text + "\""; return;
        case LevelEventKind::Music: head("music", ev.entity); out += " " + std::to_string(ev.value); return;
        case LevelEventKind::Cvar: head("cvar", ev.more->name); out += " \"" + ev.more->text + "\""; return;
        case LevelEventKind::Event: head(ev.more->name.c_str(), ev.entity); return by("by");
        case LevelEventKind::Aware: head("aware", ev.entity); return by("of");
    }
    out += '?';
}

LevelRunner::LevelRunner(World& world, const LevelDesc& level) : world(world), level(level) {}

uint32_t LevelRunner::Handle(const std::string& name) {
    return name.empty() ? 0 : world.FindEntity(name.c_str());
}

void LevelRunner::SendEntry(Entity& receiver, const char* name, const LevelEvent& ev) {
    const uint32_t by = Handle(ev.by), other = Handle(ev.more->other);
    // The log names the activator the handlers get: a named one that is gone is passed as none.
    const std::string byText = ev.by.empty() || by ? ev.by : ev.by + " (no longer exists)";
    // Everything the entry needs is copied: a handler that waits returns after this has.
    DeliverEvent(world, receiver.handle, name, byText,
                 [by, other, flag = ev.flag, amount = ev.amount, text = ev.more->text, value = ev.value,
                  entry = std::string(name)](kvQOObject* object) {
        // The entry of that name, with the arguments its shape takes.
#define QO_ARGS_E by
#define QO_ARGS_N
#define QO_ARGS_EEB by, other, flag
#define QO_ARGS_EF by, amount
#define QO_ARGS_S text.c_str()
#define QO_ARGS_I value
#define QO_ARGS_EE by, other
#define QO_SEND(slot, id, eventName, shape)              \
        if (SameName(eventName, entry.c_str())) {        \
            object->Entry_##id(QO_ARGS_##shape);         \
            return;                                      \
        }
        QO_EVENT_TABLE(QO_SEND)
#undef QO_SEND
#undef QO_ARGS_E
#undef QO_ARGS_N
#undef QO_ARGS_EEB
#undef QO_ARGS_EF
#undef QO_ARGS_S
#undef QO_ARGS_I
#undef QO_ARGS_EE
    });
}

void LevelRunner::Deliver(const LevelEvent& ev) {
    if (ev.kind == LevelEventKind::Cvar) {
        if (world.Wants(RecordKind::Timeline)) {
            eventText_.clear();
            DescribeEvent(ev, eventText_);
            world.Record(RecordKind::Timeline, eventText_);
        }
        world.cvars.Define(ev.more->name, ev.more->text);
        return;
    }
    Entity* receiver = world.ValidEntity(Handle(ev.entity));
    if (world.Wants(RecordKind::Timeline)) {
        eventText_.clear();
        DescribeEvent(ev, eventText_);
        if (!receiver) eventText_ += " (skipped: " + ev.entity + " no longer exists)";
        world.Record(RecordKind::Timeline, eventText_, receiver ? receiver->handle : 0);
    }
    if (!receiver) return;
    switch (ev.kind) {
        // Activation reaches the entity's own objects, as the Activate method; damage is the
        // host's own effect, the same as the Damage method's.
        case LevelEventKind::Activate: {
            const uint32_t handle = receiver->handle;
            SendEntry(*receiver, "OnActivate", ev);
            ActivationEffects(world, handle, Handle(ev.by));
            break;
        }
        case LevelEventKind::Trigger: SendEntry(*receiver, "OnTrigger", ev); break;
        case LevelEventKind::Damage: Hurt(world, *receiver, ev.amount, Handle(ev.by), true, true); break;
        case LevelEventKind::Death:
            receiver->health = 0;
            receiver->dead = true;
            RecordDeath(world, *receiver, "the timeline's death event", Handle(ev.by));
            SendEntry(*receiver, "OnDeath", ev);
            break;
        case LevelEventKind::Enter: {
            // A disabled trigger or volume notices nobody (the log says so).
            const uint32_t handle = receiver->handle;
            if (!HearsCrossing(world, handle, true)) break;
            SendEntry(*receiver, "OnEnter", ev);
            FireTriggerTargets(world, handle, Handle(ev.by));
            break;
        }
        case LevelEventKind::Exit:
            if (HearsCrossing(world, receiver->handle, true)) SendEntry(*receiver, "OnExit", ev);
            break;
        case LevelEventKind::Use: SendEntry(*receiver, "OnUse", ev); break;
        case LevelEventKind::AnimNotify: SendEntry(*receiver, "OnAnimNotify", ev); break;
        case LevelEventKind::Music: SendEntry(*receiver, "OnChangeMusicLevel", ev); break;
        case LevelEventKind::Event: SendEntry(*receiver, ev.more->name.c_str(), ev); break;
        case LevelEventKind::Aware: MakeAware(world, *receiver, Handle(ev.by)); break;
        case LevelEventKind::Cvar: break;
    }
}

void LevelRunner::Start() {
    while (nextEvent < level.timeline.size() && level.timeline[nextEvent].frame <= 0)
        Deliver(level.timeline[nextEvent++]);
}

void LevelRunner::Step() {
    world.RunFrame();
    const int64_t frame = static_cast<int64_t>(world.Frame());
    while (nextEvent < level.timeline.size() && level.timeline[nextEvent].frame <= frame)
        Deliver(level.timeline[nextEvent++]);
}

void LevelRunner::RunUntil(int32_t lastFrame) {
    while (static_cast<int64_t>(world.Frame()) < lastFrame) Step();
}

}  // namespace qohost
