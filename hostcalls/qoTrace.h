// qoTrace: a ray-trace record (92 bytes), used by scripts as a local value. The constructor
// with a ray starts the trace on the host at once; Fetch asks for the result once and fills
// the hit fields.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostcalls/qoEntity.h"
#include "core/qoVector.h"
#include "quorin/qoTypes.h"

class qoTrace {
public:
    static constexpr uint32_t kDefaultContentMask = 0x100001u;

    // No trace: zero ray, default mask, handle -1.
    qoTrace();
    // Stores the ray, computes its direction and length, and starts the trace (host slot 59).
    qoTrace(const qoVector& start, const qoVector& end, uint32_t contentMask = kDefaultContentMask,
            const qoEntity& ignore = qoEntity());

    // Reads the host's answer (host slot 60) the first time; later calls do nothing. A record
    // that never started a trace asks nothing and keeps its zero hit fields.
    void Fetch();

    // True once the host has the result (host slot 61); a record without a trace is done.
    bool IsDone() const;

    // The hit fields, fetched first.
    qoEntity HitEntity() { Fetch(); return hitEntity; }
    qoVector HitPosition() { Fetch(); return hitPosition; }
    qoVector HitNormal() { Fetch(); return hitNormal; }
    float Fraction() { Fetch(); return fraction; }
    float HitDistance() { Fetch(); return hitDistance; }

    qoVector start;
    qoVector end;
    qoVector direction;     // unit vector from start to end
    uint32_t contentMask;
    qoEntity ignore;        // the ray passes through this entity
    float length;           // from start to end
    int32_t traceHandle;    // -1 when none
    int32_t resolved;       // the result has been fetched
    qoEntity hitEntity;     // 0 when nothing was hit
    qoVector hitPosition;   // start + direction * hitDistance
    qoVector hitNormal;
    float fraction;         // part of the ray travelled before the hit
    float hitDistance;      // length * fraction
};

static_assert(sizeof(qoTrace) == 92);
static_assert(offsetof(qoTrace, start) == 0);
static_assert(offsetof(qoTrace, end) == 12);
static_assert(offsetof(qoTrace, direction) == 24);
static_assert(offsetof(qoTrace, contentMask) == 36);
static_assert(offsetof(qoTrace, ignore) == 40);
static_assert(offsetof(qoTrace, length) == 44);
static_assert(offsetof(qoTrace, traceHandle) == 48);
static_assert(offsetof(qoTrace, resolved) == 52);
static_assert(offsetof(qoTrace, hitEntity) == 56);
static_assert(offsetof(qoTrace, hitPosition) == 60);
static_assert(offsetof(qoTrace, hitNormal) == 72);
static_assert(offsetof(qoTrace, fraction) == 84);
static_assert(offsetof(qoTrace, hitDistance) == 88);
