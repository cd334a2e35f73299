// audibleTimer: a countdown started by the first activation and extended by later ones, with
// tick sounds that speed up as the time runs out; fires the entity's targets at the end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class audibleTimer : public kvQuorinObject {
    QO_SCRIPT_CLASS(audibleTimer, kvQuorinObject)
    QO_COMMENT("An audible countdown timer helper. Trigger first to start countdown timer. "
               "Trigger again to extend by 'triggerTime'. When timer is complete any targets "
               "will be fired and the entity will remove itself.")
    QO_PROPERTIES(
        QO_PROPERTY(targetTime, "Initial countdown time"),
        QO_PROPERTY(triggerTime, "Add this time to timer on subsequent triggerings"),
        QO_PROPERTY(tickRate, "Tick rate (Default quarter second ticks)"),
        QO_PROPERTY(debugText, "Display debug text"),
        QO_PROPERTY(playTriggerSound, "Play triggerSound when timer is (re)triggered"),
        QO_PROPERTY(playTimeOutSound, "Play timeOutSound when countdown is complete"),
        QO_PROPERTY(capTargetTime, "Prevent added time exceeding initial targetTime"),
        QO_PROPERTY(repeat, "Repeat after time out (but wait for next trigger)"),
        QO_PROPERTY(slowTickSound, "Slow ticks play this sound"),
        QO_PROPERTY(slowTickThreshold, "This sound plays when time left is less than this"),
        QO_PROPERTY(slowTickCount, "Play sound on every this many ticks (If 0 do not play this sound)"),
        QO_PROPERTY(midTickSound),
        QO_PROPERTY(midTickThreshold),
        QO_PROPERTY(midTickCount),
        QO_PROPERTY(fastTickSound),
        QO_PROPERTY(fastTickThreshold),
        QO_PROPERTY(fastTickCount),
        QO_PROPERTY(triggerSound, "Play this sound when timer is triggered"),
        QO_PROPERTY(timeOutSound, "Play this sound when timer is done"))
    QO_DECLS(QO_DECL(slowTickSound, ""), QO_DECL(midTickSound, ""), QO_DECL(fastTickSound, ""),
             QO_DECL(triggerSound, ""), QO_DECL(timeOutSound, ""))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    int32_t tickCount = 0;         // ticks since the current countdown started
    bool triggered = false;        // true while a countdown runs
    float elapsed = 0.0f;          // seconds
    float initialTargetTime = 0.0f;  // targetTime when the thread started
    float targetTime = 20.0f;      // the current deadline while counting
    float triggerTime = 10.0f;
    float tickRate = 0.25f;
    bool debugText = false;
    bool playTriggerSound = false;
    bool playTimeOutSound = true;
    bool capTargetTime = false;
    bool repeat = false;
    const kvSoundShader* slowTickSound = nullptr;
    float slowTickThreshold = 16.0f;
    int32_t slowTickCount = 4;
    const kvSoundShader* midTickSound = nullptr;
    float midTickThreshold = 8.0f;
    int32_t midTickCount = 2;
    const kvSoundShader* fastTickSound = nullptr;
    float fastTickThreshold = 3.0f;
    int32_t fastTickCount = 1;
    const kvSoundShader* triggerSound = nullptr;
    const kvSoundShader* timeOutSound = nullptr;
};

static_assert(offsetof(audibleTimer, tickCount) == 16);
static_assert(offsetof(audibleTimer, targetTime) == 32);
static_assert(offsetof(audibleTimer, repeat) == 48);
static_assert(offsetof(audibleTimer, slowTickSound) == 56);
static_assert(offsetof(audibleTimer, midTickSound) == 72);
static_assert(offsetof(audibleTimer, fastTickSound) == 88);
static_assert(offsetof(audibleTimer, triggerSound) == 104);
static_assert(offsetof(audibleTimer, timeOutSound) == 112);
static_assert(sizeof(audibleTimer) == 120);
