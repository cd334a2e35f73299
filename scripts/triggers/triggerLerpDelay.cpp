#include "scripts/triggers/triggerLerpDelay.h"

#include <algorithm>

#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"

void triggerLerpDelay::OnActivate(const qoEntity&) { triggered = true; }

void triggerLerpDelay::Init() {
    if (entity.NumTargets() == 0) return;
    while (!triggered) qoWaitFrame();
    const float count = static_cast<float>(entity.NumTargets());
    if (count <= 0.0f) return;
    for (int i = 0; i < count; ++i) {
        // The first target waits firstDelay, the last lastDelay. A single target is the first
        // one (its position along the sequence would be 0/0).
        const float t = count > 1.0f ? std::clamp(static_cast<float>(i) / (count - 1.0f), 0.0f, 1.0f) : 0.0f;
        qoWait((1.0f - t) * firstDelay + t * lastDelay);
        const qoEntity activator = qoGetPlayer1();
        entity.GetTarget(i).Activate(activator);
    }
}
