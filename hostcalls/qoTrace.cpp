#include "hostcalls/qoTrace.h"

#include "core/qoSystem.h"

qoTrace::qoTrace()
    : contentMask(kDefaultContentMask),
      length(0.0f),
      traceHandle(-1),
      resolved(0),
      fraction(0.0f),
      hitDistance(0.0f) {}

qoTrace::qoTrace(const qoVector& from, const qoVector& to, uint32_t mask, const qoEntity& ignoreEntity)
    : start(from),
      end(to),
      direction(to - from),
      contentMask(mask),
      ignore(ignoreEntity),
      length(qoLength(direction)),
      traceHandle(-1),
      resolved(0),
      fraction(0.0f),
      hitDistance(0.0f) {
    direction = qoNormalize(direction);
    if (qoSys) traceHandle = qoSys->StartTrace(&start, &end, contentMask, ignore.handle);
}

void qoTrace::Fetch() {
    if (resolved) return;
    if (traceHandle != -1 && qoSys) {
        qoSys->GetTraceResult(traceHandle, &fraction, &hitNormal, &hitEntity.handle);
        hitDistance = length * fraction;
        hitPosition = start + direction * hitDistance;
    }
    resolved = 1;
}

bool qoTrace::IsDone() const { return traceHandle == -1 || !qoSys || qoSys->IsTraceDone(traceHandle); }
