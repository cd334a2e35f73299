#include "runtime/qoDebugUtil.h"

#include <cmath>

#include "core/qoDiagnostics.h"
#include "hostcalls/qoTrace.h"
#include "core/qoVector.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"

namespace {

constexpr qoColor kDebugRed = {1.0f, 0.0f, 0.0f, 0.0f};
constexpr float kTraceStart = 4.0f;       // units ahead of the eye
constexpr float kTraceLength = 4096.0f;
constexpr float kTraceLineSeconds = 2.0f;
constexpr uint32_t kEntityTraceMask = 0x100481u;
constexpr uint32_t kPointTraceMask = 0x100019u;
constexpr float kRadiansToDegrees = 57.29747f;
constexpr float kSmallestNormal = 1.1754944e-38f;

// Unit vector of view angles (pitch, yaw, roll in degrees); positive pitch looks down.
qoVector Forward(const qoVector& angles) {
    const float pitch = angles.x * 0.017453292f;
    const float yaw = angles.y * 0.017453292f;
    const float cp = std::cos(pitch);
    return {cp * std::cos(yaw), cp * std::sin(yaw), -std::sin(pitch)};
}

// Angles (pitch, yaw, 0) that face along d, both in 0..360.
qoVector FacingAngles(const qoVector& d) {
    const float flat = d.x * d.x + d.y * d.y;
    if (flat <= kSmallestNormal) return {d.z < 0.0f ? 90.0f : 270.0f, 0.0f, 0.0f};
    float yaw = std::atan2(d.y, d.x) * kRadiansToDegrees;
    if (yaw < 0.0f) yaw += 360.0f;
    float pitch = -std::atan2(d.z, std::sqrt(flat)) * kRadiansToDegrees;
    if (pitch < 0.0f) pitch += 360.0f;
    return {pitch, yaw, 0.0f};
}

// The player's view trace: from 4 to 4096 units ahead of the eye along the view, shown as a
// red line for two seconds, ignoring the player; waits frames until the host has the result.
qoTrace ViewTrace(const qoEntity& player, uint32_t contentMask) {
    const qoVector eye = player.GetViewPos();
    const qoVector forward = Forward(player.GetViewAngles(true));
    const qoVector start = eye + forward * kTraceStart;
    const qoVector end = eye + forward * kTraceLength;
    qoSys->DebugLine(&kDebugRed, &start, &end, kTraceLineSeconds, true);
    qoTrace trace(start, end, contentMask, player);
    while (!trace.IsDone()) qoWaitFrame();
    trace.Fetch();
    return trace;
}

qoEntity ViewTraceEntity(const qoEntity& player) { return ViewTrace(player, kEntityTraceMask).HitEntity(); }
qoVector ViewTracePoint(const qoEntity& player) { return ViewTrace(player, kPointTraceMask).HitPosition(); }

// Word `index` of the text split at blanks (runs of blanks make no empty words); "" when the
// text has fewer words.
qoString Word(const qoString& text, int index) {
    const int length = text.Length();
    int at = 0;
    for (int word = 0;; ++word) {
        while (at < length && text[at] == ' ') ++at;
        if (at >= length) return qoString();
        const int begin = at;
        while (at < length && text[at] != ' ') ++at;
        if (word == index) return text.Mid(begin, at - begin);
    }
}

// The entity a command names in its second word; without one, what the player looks at.
qoEntity CommandTarget(const qoString& name, const qoEntity& player) {
    return name.IsEmpty() ? ViewTraceEntity(player) : qoEntity(name);
}

// The target when it exists, is not the player and is of the host class.
bool Qualifies(const qoEntity& target, const qoEntity& player, const char* hostClass) {
    return target.IsValid() && target != player && target.IsClass(hostClass);
}

}  // namespace

void qoDebugUtil::Init() {
    if (entity == qoEntity("world")) {
        readerThread = QO_THREAD(ReadDebugActions);
    } else {
        ReportError("qoDebugUtil should only be placed on the world qoEntity (worldspawn).");
    }
}

void qoDebugUtil::Shutdown() { qoStopThread(readerThread); }

void qoDebugUtil::ReadDebugActions() {
    const cvarString_ debugAction("qo_debugAction", "idle");
    qoString command;
    for (;;) {
        // Idle: outline the selection every frame until a command arrives.
        for (;;) {
            qoWaitFrame();
            // One reader per object. The world utility starts a reader on the object whose own
            // Init has started one already; two readers would both act on a command that waits
            // (a move, a latent walk, a warning). The reader that is not the stored one stops
            // while the stored one runs.
            if (readerThread != 0 && readerThread != qoCurrentThreadId() && qoIsThreadRunning(readerThread))
                return;
            const qoEntity selected = qoGetPlayer1().GetDebugTarget();
            if (selected.IsValid()) {
                const qoVector mins = selected.GetMins();
                const qoVector maxs = selected.GetMaxs();
                const qoVector origin = selected.GetWorldOrigin();
                const qoVector angles = selected.GetAngles();
                qoSys->DebugBox(&kDebugRed, &mins, &maxs, &origin, &angles,
                                static_cast<float>(qoSys->FrameTimeMs()) * 0.001f, true);
            }
            command = debugAction.Get();
            if (command != "idle") break;
        }

        command.ToLower();
        const qoString verb = Word(command, 0);
        const qoString name = Word(command, 1);
        const qoEntity player = qoGetPlayer1();

        if (verb == "select") {
            const qoEntity hit = ViewTraceEntity(player);
            if (hit.IsValid() && hit != player) {
                const qoString text = "Selecting: " + hit.GetName();
                qoSys->Printf("%s\n", text.c_str());
                player.SetDebugTarget(hit);
            } else {
                player.SetDebugTarget(qoEntity());
            }
        } else if (verb == "move") {
            const qoEntity target = player.GetDebugTarget();
            if (target.IsValid()) {
                // Monsters are moved between frames.
                if (target.IsClass("kvAI2")) qoWaitFrame();
                target.SetWorldOrigin(ViewTracePoint(player));
                if (target.IsClass("kvAI2")) qoWaitFrame();
            }
        } else if (verb == "moveto") {
            const qoEntity target = player.GetDebugTarget();
            if (target.IsValid()) {
                const qoVector point = ViewTracePoint(player);
                const qoVector facing = FacingAngles(point - target.GetWorldOrigin());
                target.Action_MoveToPoint(point, 1, 10.0f, false, facing);
            }
        } else if (verb == "kill") {
            // Without a name the victim is what the player looks at.
            const qoEntity victim = CommandTarget(name, player);
            if (Qualifies(victim, player, "kvActor"))
                victim.Damage(suicide, qoVector{0.0f, 0.0f, 0.0f}, 0.0f, 1.0f, player, false);
        } else if (verb == "breach") {
            const qoEntity target = CommandTarget(name, player);
            if (Qualifies(target, player, "kvDesignSystems_HackBox")) target.SetActiveState(true);
        } else if (verb == "find") {
            if (!name.IsEmpty()) player.SetDebugTarget(qoEntity());
        }
        // "cleargoal", "killfriend", "restart", "remove", "run", "saveplayerpos",
        // "restoreplayerpos", "show", "hide", "showthreat", "showactiveai" and "showtargets" are
        // accepted and, like unknown commands, only set the variable back to idle.

        debugAction.Set("idle");
    }
}
