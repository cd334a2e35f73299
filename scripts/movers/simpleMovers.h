// Simple movers without command lists: mover_modifier moves another mover once from an optional
// start entity to an end entity per activation and may fire its own targets when the move is
// over; util_bobMover moves its own entity back and forth between where it starts and a target
// entity for ever, with a wait before each leg.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class mover_modifier : public kvQuorinObject {
    QO_SCRIPT_CLASS(mover_modifier, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(mover), QO_PROPERTY(start, "If left blank, will start from current position"),
                  QO_PROPERTY(end, "Must have an end target"), QO_PROPERTY(accelTime), QO_PROPERTY(decelTime),
                  QO_PROPERTY(speed), QO_PROPERTY(triggerOnComplete, "Trigger all targets when complete"))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    // Waits for the mover to arrive, then activates the own targets.
    void TriggerWhenArrived();

    qoEntity mover;
    qoEntity start;
    qoEntity end;
    float accelTime = 0.0f;
    float decelTime = 0.0f;
    float speed = 0.0f;
    bool triggerOnComplete = true;
};

class util_bobMover : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_bobMover, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(target), QO_PROPERTY(startActive), QO_PROPERTY(startDelayMs),
                  QO_PROPERTY(travelTimeMs), QO_PROPERTY(waitBeforeTargetMs), QO_PROPERTY(waitBeforeReturnMs))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    // One leg: sets off, waits the leg's wait and travel time, then activates the own entity
    // for the next leg.
    void Leg();

    qoEntity target;
    bool startActive = true;
    int32_t startDelayMs = 0;
    int32_t travelTimeMs = 1000;
    int32_t waitBeforeTargetMs = 0;
    int32_t waitBeforeReturnMs = 0;
    qoVector startPoint;
    qoVector targetPoint;
    bool atTarget = false;
};

static_assert(offsetof(mover_modifier, mover) == 16);
static_assert(offsetof(mover_modifier, end) == 24);
static_assert(offsetof(mover_modifier, speed) == 36);
static_assert(offsetof(mover_modifier, triggerOnComplete) == 40);
static_assert(sizeof(mover_modifier) == 48);
static_assert(offsetof(util_bobMover, target) == 16);
static_assert(offsetof(util_bobMover, startActive) == 20);
static_assert(offsetof(util_bobMover, startDelayMs) == 24);
static_assert(offsetof(util_bobMover, travelTimeMs) == 28);
static_assert(offsetof(util_bobMover, waitBeforeReturnMs) == 36);
static_assert(offsetof(util_bobMover, startPoint) == 40);
static_assert(offsetof(util_bobMover, targetPoint) == 52);
static_assert(offsetof(util_bobMover, atTarget) == 64);
static_assert(sizeof(util_bobMover) == 72);
