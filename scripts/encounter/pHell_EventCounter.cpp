#include "scripts/encounter/pHell_EventCounter.h"

#include "hostcalls/qoEntity.h"

namespace {

// True when the count has reached a multiple of the target. A target of 0 can never be reached:
// the step does not fire (and is kept). A negative target counts as its absolute value.
bool ReachesMultiple(int32_t count, int32_t target) {
    if (target == 0) return false;
    const int64_t wide = target;
    return count % (wide < 0 ? -wide : wide) == 0;
}

}  // namespace

void pHell_EventCounter::ConfigureNode() {
    nodeType = PH_EVENT_COUNTER;
    for (sequenceStep_t& step : sequenceSteps)
        if (step.timesToFire == 0) step.timesToFire = -1;
}

bool pHell_EventCounter::OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent) {
    bool counted = false;
    if (gameplayEvent == eventType) {
        ++eventCount;
        ProcessSteps();
        counted = true;
    }
    Transmit(transmitter, jobFunction, gameplayEvent);
    return counted;
}

void pHell_EventCounter::OnActivate(const qoEntity&) {
    if (GetJobManager(JOB_FUNCTION_EVENTS) == networkId) PrintNetwork(networkId);
    OnSignal(entity.handle, JOB_FUNCTION_EVENTS, GAMEPLAY_EVENT_DEFAULT);
}

void pHell_EventCounter::Fire(const sequenceStep_t& step) {
    qoEntity target = step.entityToActivate;
    target.Activate(target);
}

void pHell_EventCounter::ProcessSteps() {
    for (int i = 0; i < sequenceSteps.Num();) {
        if (!ReachesMultiple(eventCount, sequenceSteps[i].targetCount)) {
            ++i;
            continue;
        }
        Fire(sequenceSteps[i]);
        // The activation may have reached this counter again and changed its steps.
        if (i >= sequenceSteps.Num()) break;
        if (--sequenceSteps[i].timesToFire == 0)
            sequenceSteps.RemoveIndex(i);
        else
            ++i;
    }
}

void pHell_EventSequencer::ProcessSteps() {
    ++stepEventCount;
    if (sequenceSteps.Num() == 0) return;
    if (currentStep < 0 || currentStep >= sequenceSteps.Num()) currentStep = 0;
    const sequenceStep_t step = sequenceSteps[currentStep];
    if (!ReachesMultiple(stepEventCount, step.targetCount)) return;
    Fire(step);

    qoString text;
    if (entity.IsValid()) {
        text = "\n" + entity.Name() + "\neventType: " + qoString::FromInt(eventType) +
               "\ntargetCount: " + qoString::FromInt(step.targetCount) +
               "\neventCount: " + qoString::FromInt(eventCount);
    } else {
        text = "invalid sequencer";
    }
    qoSys->Printf("%s\n", text.c_str());

    // The activation may have reached this sequencer again and moved it on.
    if (currentStep < sequenceSteps.Num() && --sequenceSteps[currentStep].timesToFire == 0)
        sequenceSteps.RemoveIndex(currentStep);
    ++currentStep;
    stepEventCount = 0;
    if (currentStep >= sequenceSteps.Num()) currentStep = 0;
}
