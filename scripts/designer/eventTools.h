// Small event-driven designer tools: a hit stop that slows the game for a moment whenever its
// entity is damaged, a watcher that fires its targets once the player's health crosses a
// threshold, a model scale interpolation, a render parameter setter, and a drag volume that
// gives monsters a dragAI object which loops a drag animation and can pull them along.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class hitStop : public kvQuorinObject {
    QO_SCRIPT_CLASS(hitStop, kvQuorinObject)
    QO_COMMENT("hacky testing a hitstop")
    QO_PROPERTIES(QO_PROPERTY(stopFrames, "Slow for this many frames"),
                  QO_PROPERTY(stopScale, "Timescale to this while 'stopped'"),
                  QO_PROPERTY(debugText, "Display debug info"))
    QO_EVENTS("OnDamage")

public:
    void Init() override;
    void OnDamage(const qoEntity& attacker, float amount) override;
    // Waits until stopTime has passed since `start` (game milliseconds), then sets timescale
    // back to the value Init read.
    void RestoreTimeScale(int32_t start);

    float savedTimeScale = 0.0f;  // timescale as Init read it
    float stopTime = 0.0f;        // seconds of game time the slow-down lasts
    int32_t stopFrames = 5;
    float stopScale = 0.1f;
    bool debugText = false;
};

class watchPlayerHealth : public kvQuorinObject {
    QO_SCRIPT_CLASS(watchPlayerHealth, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(healthTriggerValue, "Health threshold for player health check"),
                  QO_PROPERTY(triggerIfLower, "Determines if the trigger happens when health drops "
                                              "below or goes above the threshold"))
    QO_EVENTS("OnActivate")
    QO_FUNCTIONS(QO_FUNCTION(Update))

public:
    void OnActivate(const qoEntity& activator) override;
    // The watch thread: fires the entity's targets once the threshold is crossed, then ends.
    void Update();

    float healthTriggerValue = 10.0f;
    bool triggerIfLower = true;
    bool watching = false;  // true while the watch thread runs
};

class scaleEntity : public kvQuorinObject {
    QO_SCRIPT_CLASS(scaleEntity, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(targetScale, "Target scale for the model"),
                  QO_PROPERTY(scaleTimeSec, "Duration of the scale interpolation"))
    QO_EVENTS("OnActivate")
    QO_FUNCTIONS(QO_FUNCTION(Update))

public:
    void OnActivate(const qoEntity& activator) override;
    void Update() {}

    qoVector targetScale{1.0f, 1.0f, 1.0f};
    float scaleTimeSec = 0.0f;
};

class setBloomMaskScale : public kvQuorinObject {
    QO_SCRIPT_CLASS(setBloomMaskScale, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(targetEntity, "Target whose model should be affected"),
                  QO_PROPERTY(parmName, "Name of the render parm to change"),
                  QO_PROPERTY(startValue, "Intial value"), QO_PROPERTY(endValue, "Final value"),
                  QO_PROPERTY(durationSec, "Duration of lerp in seconds"))
    QO_DECLS(QO_DECL(bloomParm, "bloommaskscale"))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    const kvDeclRenderParm* bloomParm = nullptr;
    qoEntity targetEntity;
    qoString parmName;        // not read
    float startValue = 0.0f;  // not read
    float endValue = 1.0f;
    float durationSec = 1.0f;  // not read
};

class volume_dragAI : public kvQuorinObject {
    QO_SCRIPT_CLASS(volume_dragAI, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(acceleration_scale, "Magnitude of the acceleration"),
                  QO_PROPERTY(drag_target, "Determines the direction of the drag, not the scale"))
    QO_EVENTS("OnEnter", "OnActivate")

public:
    void OnActivate(const qoEntity& activator) override { Drag(activator); }
    void OnEnter(const qoEntity& entered) override { Drag(entered); }
    // Gives a monster of host class "kvAI2" that has none a dragAI object with this volume's
    // direction and acceleration.
    void Drag(const qoEntity& monster);

    float acceleration_scale = 32.0f;
    qoEntity drag_target;
};

class dragAI : public kvQuorinObject {
    QO_SCRIPT_CLASS(dragAI, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(dragDirection), QO_PROPERTY(accelerationScale))
    QO_FUNCTIONS(QO_FUNCTION(LoopAnim), QO_FUNCTION(Update))

public:
    void Init() override;
    // Loops the drag animation for ever.
    void LoopAnim();
    // Pulls the monster along dragDirection with growing speed, for ever (started by the host).
    void Update();

    qoVector dragDirection;
    float accelerationScale = 0.0f;
};

static_assert(offsetof(hitStop, savedTimeScale) == 16);
static_assert(offsetof(hitStop, stopTime) == 20);
static_assert(offsetof(hitStop, stopFrames) == 24);
static_assert(offsetof(hitStop, debugText) == 32);
static_assert(offsetof(watchPlayerHealth, watching) == 21);
static_assert(offsetof(scaleEntity, scaleTimeSec) == 28);
static_assert(offsetof(setBloomMaskScale, bloomParm) == 16);
static_assert(offsetof(setBloomMaskScale, targetEntity) == 24);
static_assert(offsetof(setBloomMaskScale, parmName) == 32);
static_assert(offsetof(setBloomMaskScale, durationSec) == 64);
static_assert(offsetof(volume_dragAI, drag_target) == 20);
static_assert(offsetof(dragAI, accelerationScale) == 28);
