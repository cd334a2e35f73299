#include "scripts/designer/eventTools.h"

#include "core/qoConvert.h"
#include "hostcalls/qoObjectRef.h"
#include "core/qoVector.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/common/qoAngles.h"
#include "scripts/common/qoDebugText.h"
#include "scripts/flags/util_entityFlag.h"

namespace {

float LastFrameSeconds() { return static_cast<float>(qoSys->FrameTimeMs()) * 0.001f; }

void PrintLine(const qoString& text) { qoSys->Printf("%s\n", text.c_str()); }

}  // namespace

// ---- hitStop -----------------------------------------------------------------------------------

void hitStop::Init() {
    if (stopFrames < 1) stopFrames = 1;
    if (stopScale <= 0.0f) stopScale = 0.01f;
    savedTimeScale = cvar_timescale.Get();
    stopTime = static_cast<float>(stopFrames) * LastFrameSeconds() * stopScale;
    for (;;) {
        if (debugText) {
            const qoVector origin = entity.GetWorldOrigin();
            const qoDebugTextLine lines[] = {
                {"qoObject: hitStop", qoString(), 20.0f, qoDebugGrey},
                {"stopTime: ", qoString::FromFloat(stopTime), 12.0f, qoDebugOrange},
                {"stopScale: ", qoString::FromFloat(stopScale), 4.0f, qoDebugOrange},
                {"dTimeScale: ", qoString::FromFloat(savedTimeScale), -4.0f, qoDebugOrange},
            };
            for (const qoDebugTextLine& line : lines) {
                qoString text(line.label);
                text += line.value;
                const qoVector at = origin + qoVector{0.0f, 0.0f, line.height};
                qoSys->DebugText(text.c_str(), &line.rgb, &at, qoDebugTextScale, 0, false, true, 0.0f);
            }
        }
        qoWaitFrame();
    }
}

void hitStop::OnDamage(const qoEntity&, float) {
    const int32_t start = qoSys->GameTimeMs();
    cvar_timescale.Set(stopScale);
    // An event handler cannot wait for frames: a thread of its own waits out the stop.
    QO_THREAD(RestoreTimeScale, start);
}

void hitStop::RestoreTimeScale(int32_t start) {
    // The elapsed time is taken as a difference of whole milliseconds before it becomes seconds:
    // absolute game times in float seconds lose a short stop to rounding late in a level.
    while (static_cast<float>(qoSys->GameTimeMs() - start) * 0.001f < stopTime) qoWaitFrame();
    cvar_timescale.Set(savedTimeScale);
}

// ---- watchPlayerHealth -------------------------------------------------------------------------

void watchPlayerHealth::OnActivate(const qoEntity&) {
    if (!watching) QO_THREAD(Update);
}

void watchPlayerHealth::Update() {
    watching = true;
    for (;;) {
        const float health = qoGetPlayer1().GetPlayerHealth();
        const bool fire = triggerIfLower ? healthTriggerValue >= health : health >= healthTriggerValue;
        if (fire) break;
        qoWaitFrame();
    }
    entity.ActivateTargets(qoGetPlayer1());
    watching = false;
}

// ---- scaleEntity, setBloomMaskScale ------------------------------------------------------------

void scaleEntity::OnActivate(const qoEntity&) {
    entity.LerpRenderScale(targetScale.x, targetScale.y, targetScale.z,
                           qoSecondsToMs(scaleTimeSec), qoFloatToInt<int32_t>(scaleTimeSec * 0.2f),
                           qoFloatToInt<int32_t>(scaleTimeSec * 0.2f));
}

void setBloomMaskScale::OnActivate(const qoEntity&) {
    if (targetEntity.IsValid())
        targetEntity.SetRenderParm(bloomParm, endValue, endValue, endValue, endValue);
}

// ---- volume_dragAI, dragAI ---------------------------------------------------------------------

void volume_dragAI::Drag(const qoEntity& monster) {
    if (monster.GetClass() != "kvAI2") return;  // exact and case-sensitive
    const qoString name = monster.Name();
    PrintLine(name + " entered the drag volume");

    qoObject<dragAI> drag;
    drag.Bind(monster, dragAI::qoName, 0);
    if (drag.Get()) return;  // a monster that has one keeps its settings
    drag.Bind(monster, dragAI::qoName, 1);
    PrintLine(name + " now has a drag object");

    qoVector direction{-1.0f, 0.0f, 0.0f};
    if (drag_target.IsValid())
        direction = qoNormalize(drag_target.GetWorldOrigin() - entity.GetWorldOrigin());
    drag.Call([&](dragAI& d) { d.dragDirection = direction; });
    drag.Call([&](dragAI& d) { d.accelerationScale = acceleration_scale; });
}

void dragAI::Init() {
    QO_THREAD(LoopAnim);
    PrintLine(qoString("AI is being drug"));
}

void dragAI::LoopAnim() {
    for (;;) {
        entity.Action_LoopAnim("scripted/drag_backward", 1000);
        qoWait(1.0f);
    }
}

void dragAI::Update() {
    qoWaitFrame();
    qoVector position = entity.GetWorldOrigin();
    qoVector velocity;
    // The monster faces against the drag, upright: only the heading of the facing angles is used.
    const qoVector angles = qoFacingAngles(dragDirection * -1.0f);
    const qoVector facing{0.0f, angles.y, 0.0f};
    entity.SetAngles(facing);
    qoUtil::DefineFlag(entity, "Damage");
    for (;;) {
        const float t = LastFrameSeconds();
        const qoVector acceleration = dragDirection * accelerationScale;
        position += velocity * t + acceleration * (0.5f * t * t);
        velocity += acceleration * t;  // a constant acceleration, per second
        entity.SetWorldOrigin(position);
        entity.SetAngles(facing);
        qoWaitFrame();
    }
}
