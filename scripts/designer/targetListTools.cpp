#include "scripts/designer/targetListTools.h"

#include "core/qoVector.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"

// ---- util_distanceTrigger ------------------------------------------------------------------

namespace {

constexpr float kDefaultSpeed = 50.0f;

// Distance between two points leaving out the ignored axes.
float DistanceIgnoring(const qoVector& a, const qoVector& b, const util_distanceTrigger::ignore_t& ignore) {
    const float dx = ignore.x ? 0.0f : a.x - b.x;
    const float dy = ignore.y ? 0.0f : a.y - b.y;
    const float dz = ignore.z ? 0.0f : a.z - b.z;
    return qoSqrt(dx * dx + dy * dy + dz * dz);
}

// The distance the front covers in one frame: speed divided by the whole frames per second.
// Frames longer than a second (no whole frame per second) move the front by speed times the
// frame's length in seconds instead of dividing by zero.
float FrontStep(float speed, int32_t frameMs) {
    if (frameMs < 1) frameMs = 1;
    const int32_t framesPerSecond = 1000 / frameMs;
    if (framesPerSecond < 1) return speed * static_cast<float>(frameMs) * 0.001f;
    return speed / static_cast<float>(framesPerSecond);
}

}  // namespace

void util_distanceTrigger::Init() {
    if (ignore.x && ignore.y && ignore.z) {
        QO_DEBUG_PRINT("^1", "util_distanceTrigger::Init", qoString("Can't ignore x, y, and z. Defaulting."));
        ignore = ignore_t{};
    }
    if (speed <= 0.0f) {
        QO_DEBUG_PRINT("^1", "util_distanceTrigger::Init", qoString("Speed <= 0.0f. Defaulting."));
        speed = kDefaultSpeed;
    }
    const qoVector own = entity.GetWorldOrigin();
    for (int32_t i = 0; i < entity.NumTargets(); ++i) {
        const qoEntity target = entity.GetTarget(i);
        if (!target.IsValid()) continue;
        sortedDistances.Append(DistanceIgnoring(own, target.GetWorldOrigin(), ignore));
        sortedTargets.Append(target);
    }
    // Exchange sort over both lists: ascending, descending with reverse. Equal distances may
    // change their order (a, b, c at 5, 5, 3 come out c, b, a).
    const int n = sortedDistances.Num();
    for (int i = 0; i < n; ++i) {
        for (int j = i; j < n; ++j) {
            const bool swap = reverse ? sortedDistances[j] > sortedDistances[i]
                                      : sortedDistances[i] > sortedDistances[j];
            if (!swap) continue;
            sortedDistances.Swap(i, j);
            sortedTargets.Swap(i, j);
        }
    }
    if (reverse) {
        if (n > 0) front = sortedDistances[0];
        speed = -speed;
    }
    frontStep = FrontStep(speed, qoSys->FrameTimeMs());
}

void util_distanceTrigger::OnActivate(const qoEntity&) {
    // The front moves one step per frame: an activation outside any script thread sweeps on a
    // thread of its own.
    if (qoCurrentThreadId() == 0)
        QO_THREAD(FireTargets);
    else
        FireTargets();
}

void util_distanceTrigger::FireTargets() {
    for (int i = 0; i < sortedTargets.Num(); ++i) {
        while (reverse ? sortedDistances[i] < front : sortedDistances[i] > front) {
            front += frontStep;
            qoWaitFrame();
        }
        sortedTargets[i].Activate(entity);
    }
}

// ---- util_mapLoad --------------------------------------------------------------------------

void util_mapLoad::Init() {
    for (const activationList_t& entry : activationList) {
        if (!entry.target.IsValid()) continue;
        if (entry.delay <= 0.0f)
            entry.target.Activate(qoGetPlayer1());
        else
            QO_THREAD(ActivateHelper, entry.target, entry.delay);
    }
}

void util_mapLoad::ActivateHelper(qoEntity target, float delay) {
    qoWait(delay);
    target.Activate(qoGetPlayer1());
}

// ---- util_replaceTargets -------------------------------------------------------------------

void util_replaceTargets::OnActivate(const qoEntity&) {
    qoList<qoEntity> targets;
    for (int32_t i = 0; i < entity.NumTargets(); ++i) {
        const qoEntity target = entity.GetTarget(i);
        if (target.IsValid()) targets.Append(target);
    }
    for (const qoEntity& e : targets) {
        while (e.NumTargets() > 0) e.RemoveTarget(e.GetTarget(0));
        for (const qoEntity& added : newTargets)
            if (added.IsValid()) e.AddTarget(added);
    }
}

// ---- util_setColor -------------------------------------------------------------------------

void util_setColor::OnActivate(const qoEntity&) {
    entityToSet.SetColor(newColor.x, newColor.y, newColor.z);
}

// ---- gui_changeProperties ------------------------------------------------------------------

void gui_changeProperties::OnActivate(const qoEntity&) {
    for (int32_t i = 0; i < entity.NumTargets(); ++i) {
        const qoEntity panel = entity.GetTarget(i);
        if (!panel.IsValid()) continue;
        panel.SetHeaderText(qoString(headerText));
        panel.SetHeaderBehavior(headerBehavior);
        panel.SetHeaderColor(headerColor);
        panel.SetHeaderAlignment(static_cast<int32_t>(headerAlignment));
        panel.SetBodyText(qoString(bodyText));
        panel.SetBodyBehavior(bodyBehavior);
        panel.SetBodyColor(bodyColor);
        panel.SetBodyAlignment(static_cast<int32_t>(bodyAlignment));
        panel.SetPaneBackgroundColor(paneBackgroundColor);
    }
}
