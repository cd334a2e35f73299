#include "scripts/movers/simpleMovers.h"

#include "core/qoDiagnostics.h"
#include "core/qoVector.h"
#include "object/qoThreads.h"

namespace {

bool Valid(const qoEntity& e) { return e.handle != 0 && e.IsValid(); }
void Print(const char* text) { qoSys->Printf("%s\n", text); }

}  // namespace

// ---- mover_modifier -----------------------------------------------------------------------------

void mover_modifier::OnActivate(const qoEntity&) {
    if (!Valid(mover)) {
        Print("Mover Modifier does not have a valid mover.");
        return;
    }
    if (!Valid(end)) {
        Print("Mover Modifier has not destination");
        return;
    }
    if (Valid(start)) {
        mover.SetWorldOrigin(start.GetWorldOrigin());
        mover.SetAngles(start.GetAngles());
    }
    mover.Speed(speed);
    mover.AccelTime(accelTime);
    mover.DecelTime(decelTime);
    mover.MoveTo(end);
    mover.RotateToShortest(end.GetAngles());
    if (!triggerOnComplete) return;
    // Waiting for the arrival needs a script thread: an activation from the host's own context
    // waits on a thread of its own.
    if (qoCurrentThreadId() == 0)
        QO_THREAD(TriggerWhenArrived);
    else
        TriggerWhenArrived();
}

void mover_modifier::TriggerWhenArrived() {
    while (mover.IsMoving()) qoWaitFrame();
    const int32_t count = entity.NumTargets();
    for (int32_t i = 0; i < count; ++i) {
        const qoEntity t = entity.GetTarget(i);
        if (Valid(t)) t.Activate(entity);
    }
}

// ---- util_bobMover --------------------------------------------------------------------------------

void util_bobMover::Init() {
    startPoint = entity.GetOrigin();
    targetPoint = target.GetOrigin();
    const float distance = qoLength(targetPoint - startPoint);
    if (travelTimeMs < 100) {
        ReportWarning("util_bobMover Travel time is less than 100ms -- clamping to 100ms");
        travelTimeMs = 100;
    }
    entity.Speed(distance / (static_cast<float>(travelTimeMs) * 0.001f + 0.000001f));
    if (startActive) {
        qoWait(static_cast<float>(startDelayMs) * 0.001f);
        OnActivate(entity);
    }
}

// Every activation runs its leg on a thread of its own, which ends once it has activated the
// entity for the next leg: the loop goes on for as long as the level runs without one thread
// nesting a handler call per leg.
void util_bobMover::OnActivate(const qoEntity&) { QO_THREAD(Leg); }

void util_bobMover::Leg() {
    int32_t wait;
    if (atTarget) {
        entity.MoveToPos(startPoint);
        wait = waitBeforeTargetMs;
        atTarget = false;
    } else {
        entity.MoveToPos(targetPoint);
        wait = waitBeforeReturnMs;
        atTarget = true;
    }
    qoWait(static_cast<float>(static_cast<int64_t>(wait) + travelTimeMs) * 0.001f);
    entity.Activate(entity);
}
