// triggerSequential: fires its entity's targets one per activation, in target order,
// optionally starting over after the last.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class triggerSequential : public kvQuorinObject {
    QO_SCRIPT_CLASS(triggerSequential, kvQuorinObject)
    QO_COMMENT("Fire targets sequentially, optionally looping")
    QO_PROPERTIES(QO_PROPERTY(loop, "Loop after all targets are fired"),
                  QO_PROPERTY(debugText, "Display debug info"))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    bool triggered = false;    // set by OnActivate, cleared after each firing
    int32_t numTargets = 0;    // read when the thread starts
    int32_t curTarget = 0;     // index of the next target to fire
    bool loop = true;
    bool debugText = false;
};

static_assert(offsetof(triggerSequential, triggered) == 16);
static_assert(offsetof(triggerSequential, numTargets) == 20);
static_assert(offsetof(triggerSequential, curTarget) == 24);
static_assert(offsetof(triggerSequential, loop) == 28);
static_assert(offsetof(triggerSequential, debugText) == 29);
static_assert(sizeof(triggerSequential) == 32);
