// triggerLerpDelay: on activation fires its entity's targets in order, the delay before each
// moving from firstDelay to lastDelay.
#pragma once

#include <cstddef>

#include "object/qoClass.h"

class triggerLerpDelay : public kvQuorinObject {
    QO_SCRIPT_CLASS(triggerLerpDelay, kvQuorinObject)
    QO_COMMENT("Fire targets sequentially lerping the delay between firstDelay and lastDelay")
    QO_PROPERTIES(QO_PROPERTY(firstDelay, "Delay before first target is fired"),
                  QO_PROPERTY(lastDelay, "Delay before last target is fired"))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    bool triggered = false;   // set by OnActivate
    float firstDelay = 2.0f;  // seconds
    float lastDelay = 0.25f;  // seconds
};

static_assert(offsetof(triggerLerpDelay, triggered) == 16);
static_assert(offsetof(triggerLerpDelay, firstDelay) == 20);
static_assert(offsetof(triggerLerpDelay, lastDelay) == 24);
static_assert(sizeof(triggerLerpDelay) == 32);
