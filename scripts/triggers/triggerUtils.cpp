#include "scripts/triggers/triggerUtils.h"

#include <cstdio>

#include "hostcalls/qoObjectRef.h"
#include "core/qoVector.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"

namespace {

bool Exists(const qoEntity& e) { return e.IsValid(); }

void PrintLine(const qoString& text) { qoSys->Printf("%s\n", text.c_str()); }

// The entity's existing targets, in target order.
qoList<qoEntity> ExistingTargets(const qoEntity& entity) {
    qoList<qoEntity> found;
    const int count = entity.NumTargets();
    for (int i = 0; i < count; ++i) {
        const qoEntity target = entity.GetTarget(i);
        if (Exists(target)) found.Append(target);
    }
    return found;
}

}  // namespace

// ---- util_triggerEnable ----------------------------------------------------------------------

void util_triggerEnable::OnActivate(const qoEntity&) {
    qoWaitFrame();
    for (int i = 0; i < enableList.Num(); ++i) enableList[i].Enable();
    for (int i = 0; i < disableList.Num(); ++i) disableList[i].Disable();
}

// ---- util_triggerPush ------------------------------------------------------------------------

void util_triggerPush::Init() {
    lastPushTime = qoSys->GameTimeMs();
    qoStartThread<&util_triggerPush::Update>(this, "Update");
}

void util_triggerPush::Update() {
    for (;;) {
        if (lastPushTime < qoSys->GameTimeMs() - 132) pushPlatform.Hide();
        qoWaitFrame();
    }
}

void util_triggerPush::OnActivate(const qoEntity& activator) {
    const bool player = activator.IsClass("kvPlayer");
    if (!player && !activator.IsClass("kvAI2")) return;
    if (!pushEnabled) return;
    if (!Exists(pushPlatform)) {
        PrintLine(qoString("Push Platform on the triggerPush ") + entity.GetName() + " is NULL.");
        return;
    }
    pushPlatform.Show();
    const int32_t now = qoSys->GameTimeMs();
    const int32_t previous = lastPushTime;
    lastPushTime = qoSys->GameTimeMs();

    if (!player) {
        pushDirection = qoNormalize(pushDirection);
        const float seconds = static_cast<float>(qoSys->FrameTimeMs()) * 0.001f;
        activator.SetAIExternalVelocity(pushDirection * (seconds * force));
        return;
    }
    if (!(now - 99 > previous)) {
        // Still riding: a player who fell far below the platform lets it hide at once.
        if (qoGetPlayer1().GetOrigin().z < pushPlatform.GetOrigin().z - 128.0f)
            lastPushTime = qoSys->GameTimeMs() - 3000;
        return;
    }

    const qoVector at = activator.GetWorldOrigin();
    qoVector point{at.x, at.y, pushPlatform.GetOrigin().z};
    const bool has1 = Exists(endpoint1);
    const bool has2 = Exists(endpoint2);
    if (has1 && has2) {
        point = activator.GetClosestPointOnLine(endpoint1.GetOrigin(), endpoint2.GetOrigin());
        point.z -= 16.0f;
    } else if (has1) {
        point.z = endpoint1.GetOrigin().z;
    } else if (has2) {
        point.z = endpoint2.GetOrigin().z;
    }
    pushDirection = qoNormalize(pushDirection);
    pushPlatform.StopMoving();
    pushPlatform.SetWorldOrigin(point);
    pushPlatform.Speed(force);
    pushPlatform.MoveToPos(endpoint2.GetWorldOrigin());
}

// ---- util_triggerPushEnable ------------------------------------------------------------------

void util_triggerPushEnable::OnActivate(const qoEntity&) {
    if (!Exists(targetPushTrigger)) return;
    qoObject<util_triggerPush> push;
    push.Bind(targetPushTrigger, 0);
    util_triggerPush* target = push.Get();
    if (!target) {
        qoAssertFailed("0");
        return;
    }
    if (enable) {
        target->pushEnabled = true;
    } else {
        target->pushEnabled = false;
        target->pushPlatform.Hide();
    }
}

// ---- util_triggerPulse -----------------------------------------------------------------------

void util_triggerPulse::Init() {
    qoList<targetList_t> found;
    const int count = entity.NumTargets();
    for (int i = 0; i < count; ++i) {
        const qoEntity target = entity.GetTarget(i);
        if (!Exists(target)) continue;
        found.Append({target, target.DistanceTo(entity)});
    }
    for (const targetList_t& row : found) {
        int at = 0;
        while (at < targets.Num() && !(targets[at].distance > row.distance)) ++at;
        targets.Insert(row, at);
    }
    // No targets: the index check reports the assertion, which ends the thread here.
    if (targets.Num() == 0) {
        (void)targets[0];
        return;
    }
    radius = targets[0].distance;
    char text[64];
    std::snprintf(text, sizeof text, "PD %.3f", static_cast<double>(radius));
    PrintLine(text);
}

void util_triggerPulse::OnActivate(const qoEntity& activator) {
    const int32_t frameMs = qoSys->FrameTimeMs();
    // A host that reports a frame of 0 ms is taken as running at 1000 frames per second.
    const int32_t fps = frameMs > 0 ? 1000 / frameMs : 1000;
    for (int next = 0; next < targets.Num();) {
        radius += speed / static_cast<float>(fps > 0 ? fps : 1);
        if (!(targets[next].distance > radius)) {
            targets[next].ent.Activate(activator);
            ++next;
        }
        qoWaitFrame();
    }
}

// ---- util_triggerTeleport, util_triggerRagdoll, util_triggerForceAnim ------------------------

void util_triggerTeleport::OnTrigger(const qoEntity& activator) {
    const qoList<qoEntity> targets = ExistingTargets(entity);
    if (targets.Num() < 1 || !Exists(targets[0])) return;
    activator.SetViewAngles(targets[0].GetAngles());
    activator.SetWorldOrigin(targets[0].GetWorldOrigin());
}

void util_triggerRagdoll::OnTrigger(const qoEntity& activator) {
    if (!Exists(activator)) {
        QO_DEBUG_PRINT("^1", "util_triggerRagdoll::OnTrigger", "util_triggerRagdoll failed");
        return;
    }
    activator.StartRagdoll();
    activator.DecreaseHealth(activator.GetHealth());
}

void util_triggerForceAnim::OnTrigger(const qoEntity& activator) {
    if (!Exists(activator)) {
        QO_DEBUG_PRINT("^1", "util_triggerForceAnim::OnTrigger", "util_triggerForceAnim failed");
        return;
    }
    activator.Action_ForceAnimState(0, animName, 0, 0);
    if (isDeathAnim) activator.DecreaseHealth(activator.GetHealth());
}

// ---- util_nodeModifierTrigger ----------------------------------------------------------------

void util_nodeModifierTrigger::OnTrigger(const qoEntity& activator) { OnActivate(activator); }

void util_nodeModifierTrigger::OnActivate(const qoEntity&) {
    qoList<qoEntity> nodes;
    const int count = entity.NumTargets();
    for (int i = 0; i < count; ++i) {
        const qoEntity target = entity.GetTarget(i);
        if (target.IsClass("kvVarnAction")) nodes.Append(target);
    }
}
