#include "scripts/triggers/triggerSequential.h"

#include "core/qoVector.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/common/qoDebugText.h"

void triggerSequential::OnActivate(const qoEntity&) { triggered = true; }

void triggerSequential::Init() {
    numTargets = entity.NumTargets();
    if (numTargets == 0) return;
    qoEntity lastFired;
    for (;;) {
        while (!triggered) {
            if (debugText) {
                const qoVector origin = entity.GetWorldOrigin();
                const float lifetime = qoFrameSeconds();
                const qoString lastName = lastFired.IsValid() ? lastFired.Name() : qoString("<NULL>");
                const qoDebugTextLine lines[] = {
                    {"qoObject: triggerSequential", qoString(), 20.0f, qoDebugGrey},
                    {"lastFiredTarget: ", lastName, 12.0f, qoDebugOrange},
                    {"curTarget: ", qoString::FromInt(curTarget), 4.0f, qoDebugOrange},
                    {"numTargets: ", qoString::FromInt(numTargets), -4.0f, qoDebugOrange},
                    {"looping: ", qoBoolText(loop), -12.0f, qoDebugOrange},
                };
                for (const qoDebugTextLine& line : lines)
                    qoDrawDebugLine(line, origin + qoVector{0.0f, 0.0f, line.height}, lifetime);
            }
            qoWaitFrame();
        }

        const qoEntity activator = qoGetPlayer1();
        lastFired = entity.GetTarget(curTarget);
        lastFired.Activate(activator);

        bool lastPass = false;
        if (++curTarget >= numTargets) {
            if (loop)
                curTarget = 0;
            else
                lastPass = true;
        }
        triggered = false;
        if (lastPass) return;
    }
}
