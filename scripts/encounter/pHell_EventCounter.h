// pHell_EventCounter and pHell_EventSequencer: network nodes that count one kind of gameplay
// event reaching them and activate entities when the count reaches given multiples. The counter
// checks all of its steps on every counted event; the sequencer takes its steps one after
// another, each counting from zero. Both relay every signal they receive to their own slaves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scripts/encounter/pHell_EventTransceiver.h"

class pHell_EventCounter : public pHell_EventTransceiver {
    QO_SCRIPT_CLASS(pHell_EventCounter, pHell_EventTransceiver)

public:
    struct sequenceStep_t {
        QO_STRUCT(pHell_EventCounter, sequenceStep_t)
        QO_PROPERTIES(QO_PROPERTY(entityToActivate, "Entity that will be activated when event is receieved "
                                                    "the right number of times."),
                      QO_PROPERTY(targetCount, "Number of times eventType needs to be received before "
                                               "activating sequenceEntity"),
                      QO_PROPERTY(timesToFire, "number of times to fire this event.  If < 1 will repeat "
                                               "infinitely."))

        qoEntity entityToActivate;
        int32_t targetCount = 0;
        int32_t timesToFire = 0;
    };

    QO_PROPERTIES(QO_PROPERTY(eventType), QO_PROPERTY(sequenceSteps))
    QO_EDITOR("string { string = 'Event Counter'; color = purple; offset = ( 12 -4 0 ); showAlways = true; }",
              "string { string = va( '%s', eventType ); color = red; offset = ( 12 -12 0 ); showAlways = true; }",
              "foreach listItem in sequenceSteps { targetLine { target = listItem.entityToActivate; "
              "color = purple; showAlways = false; } }",
              "linkActionList { entityPtrs = sequenceSteps[ x ].entityToActivate; actionName = 'Link Entity "
              "to Event Counter'; stopLinkActionProcessingAfterThisEntity; associatedHotKey = CTRL_J; }")
    QO_EVENTS("OnSignal", "OnActivate")

public:
    pHell_EventCounter() = default;
    ~pHell_EventCounter() = default;

    bool OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent) override;
    void ConfigureNode() override;
    // 92: run after each counted event.
    virtual void ProcessSteps();

    void OnActivate(const qoEntity& activator) override;

    gameplayEvent_t eventType = GAMEPLAY_EVENT_DEFAULT;
    qoList<sequenceStep_t> sequenceSteps;
    int32_t eventCount = 0;
    int32_t pad2 = 0;

protected:
    // Activates the step's entity with itself as activator.
    static void Fire(const sequenceStep_t& step);
};

class pHell_EventSequencer : public pHell_EventCounter {
    QO_SCRIPT_CLASS(pHell_EventSequencer, pHell_EventCounter)

public:
    void ProcessSteps() override;

    int32_t currentStep = 0;
    int32_t stepEventCount = 0;
};

static_assert(sizeof(pHell_EventCounter::sequenceStep_t) == 12);
static_assert(offsetof(pHell_EventCounter, eventType) == 176);
static_assert(offsetof(pHell_EventCounter, sequenceSteps) == 184);
static_assert(offsetof(pHell_EventCounter, eventCount) == 208);
static_assert(sizeof(pHell_EventCounter) == 216);
static_assert(offsetof(pHell_EventSequencer, currentStep) == 216);
static_assert(offsetof(pHell_EventSequencer, stepEventCount) == 220);
static_assert(sizeof(pHell_EventSequencer) == 224);
