#include "scripts/triggers/audibleTimer.h"

#include <cmath>

#include "core/qoVector.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/common/qoDebugText.h"

namespace {

constexpr float kTimeOutRemoveDelay = 5.0f;  // seconds between time-out and removal
constexpr float kDebugBlockHeight = 140.0f;  // base of the debug block above the origin

// Up vector of view angles (pitch, yaw, roll in degrees): straight up for a level view, tilted
// with the view as it looks up or down.
qoVector ViewUp(const qoVector& angles) {
    const float pitch = angles.x * 0.017453292f;
    const float yaw = angles.y * 0.017453292f;
    const float sp = std::sin(pitch);
    return {sp * std::cos(yaw), sp * std::sin(yaw), std::cos(pitch)};
}

// One tick: the sound of the last class that qualifies, if any.
void Tick(audibleTimer& timer) {
    ++timer.tickCount;
    const float left = timer.targetTime - timer.elapsed;
    struct TickClass {
        const kvSoundShader* sound;
        float threshold;
        int32_t count;
    };
    // Slow, then mid, then fast: a later class that qualifies replaces an earlier one.
    const TickClass classes[] = {
        {timer.slowTickSound, timer.slowTickThreshold, timer.slowTickCount},
        {timer.midTickSound, timer.midTickThreshold, timer.midTickCount},
        {timer.fastTickSound, timer.fastTickThreshold, timer.fastTickCount}};
    const TickClass* chosen = nullptr;
    for (const TickClass& c : classes)
        if (c.count > 0 && left < c.threshold && timer.tickCount % c.count == 0) chosen = &c;
    if (chosen) timer.entity.StartSoundShader(chosen->sound, 0);
}

void DrawDebugBlock(audibleTimer& timer, const qoEntity& player) {
    const qoVector base = timer.entity.GetWorldOrigin() + qoVector{0.0f, 0.0f, kDebugBlockHeight};
    const qoVector up = ViewUp(player.GetViewAngles(true));
    const qoDebugTextLine lines[] = {
        {"timeLeft: ", qoString::FromFloat(timer.targetTime - timer.elapsed, 3), 12.0f, qoDebugOrange},
        {"timer: ", qoString::FromFloat(timer.elapsed, 3), 4.0f, qoDebugOrange},
        {"targetTime: ", qoString::FromFloat(timer.targetTime, 3), -4.0f, qoDebugOrange},
        {"triggerTime: ", qoString::FromFloat(timer.triggerTime, 3), -12.0f, qoDebugOrange},
        {"repeat: ", qoBoolText(timer.repeat), -20.0f, qoDebugOrange},
        {"capTargetTime: ", qoBoolText(timer.capTargetTime), -28.0f, qoDebugOrange},
    };
    for (const qoDebugTextLine& line : lines) qoDrawDebugLine(line, base + up * line.height, 0.0f);
}

}  // namespace

void audibleTimer::OnActivate(const qoEntity&) {
    if (!triggered) {
        triggered = true;
        return;
    }
    const float extended = targetTime + triggerTime;
    if (!capTargetTime) {
        targetTime = extended;
        return;
    }
    // The time left (targetTime - elapsed) never exceeds the initial countdown.
    const float cap = initialTargetTime + elapsed;
    targetTime = extended > cap ? cap : extended;
}

void audibleTimer::Init() {
    initialTargetTime = targetTime;
    for (;;) {
        while (!triggered) qoWaitFrame();

        const float start = static_cast<float>(qoSys->GameTimeMs()) * 0.001f;
        float nextTick = tickRate;
        targetTime = initialTargetTime;
        const qoEntity player = qoGetPlayer1();
        if (playTriggerSound) entity.StartSoundShader(triggerSound, 0);

        while (triggered) {
            elapsed = static_cast<float>(qoSys->GameTimeMs()) * 0.001f - start;
            if (elapsed > nextTick) {
                nextTick += tickRate;
                Tick(*this);
            }
            if (elapsed > targetTime) {
                triggered = false;
            } else if (player.IsDead()) {
                triggered = false;
            }
            if (debugText) DrawDebugBlock(*this, player);
            qoWaitFrame();
        }

        entity.ActivateTargets(player);
        if (playTimeOutSound) entity.StartSoundShader(timeOutSound, 0);
        if (!repeat) {
            qoWait(kTimeOutRemoveDelay);
            entity.Remove();
            return;
        }
    }
}
