#include "scripts/ai/wander.h"

#include "core/qoConvert.h"
#include "core/qoDiagnostics.h"
#include "hostcalls/qoObjectRef.h"
#include "core/qoVector.h"
#include "object/qoThreads.h"

namespace {

constexpr float kFirstThinkDelay = 1.0f;  // seconds before a monster chooses its points

qoObject<wander_world> Registry(const qoString& managerName) {
    qoObject<wander_world> world;
    world.Bind(qoEntity(managerName), 0);
    return world;
}

}  // namespace

void wander_point::Init() {
    wander_world* world = Registry(managerName).Get();
    if (!world) {
        qoAssertFailed("0");
        return;
    }
    world->knownPoints.Append(entity);
    world->pointOrigins.Append(entity.GetOrigin());
    world->pointRadii.Append(radius);
    world->pointTypes.Append(monsterType);
}

void wander_ai::OnFirstThink() {
    if (qoCurrentThreadId() == 0) {
        qoStartThread<&wander_ai::FirstThink>(this, "OnFirstThink");
        return;
    }
    FirstThink();
}

void wander_ai::FirstThink() {
    qoWait(kFirstThinkDelay);
    if (entity.HasAwarenessOfEnemy()) return;

    const qoObject<wander_world> world = Registry(managerName);
    const qoVector origin = entity.GetOrigin();
    const int32_t type = entity.GetMonsterType();
    // Copies: the registry may change while a host call of this thread waits.
    const qoList<qoEntity> points = world.Read(&wander_world::knownPoints);
    const qoList<aiMonsterType_t> types = world.Read(&wander_world::pointTypes);
    const qoList<qoVector> origins = world.Read(&wander_world::pointOrigins);
    const qoList<float> radii = world.Read(&wander_world::pointRadii);
    for (int i = 0; i < points.Num(); ++i) {
        if (types[i] != type) continue;
        if (qoLengthSqr(origins[i] - origin) < radii[i] * radii[i]) validPoints.Append(points[i]);
    }
    if (validPoints.Num() == 0) return;

    entity.EnablePerception(true);
    QO_THREAD(RunWander);
    while (!entity.HasAwarenessOfEnemy()) qoWaitFrame();
    qoEndThreads(this, "RunWander");
    entity.EndCurrentScriptAction();
}

void wander_ai::RunWander() {
    for (;;) {
        const int32_t startMs = qoSys->GameTimeMs();
        const qoEntity p = validPoints[qoSys->RandomInt(validPoints.Num())];
        qoObject<wander_point> point;
        point.Bind(p, 0);
        const float arriveRadius = point.Read(&wander_point::arriveRadius);
        const bool arriveOriented = point.Read(&wander_point::arriveOriented);
        entity.Action_MoveToPoint(p.GetOrigin(), 1, arriveRadius, arriveOriented, p.GetSpawnAxisForward());

        const float waitMin = point.Read(&wander_point::waitTimeMin);
        const float waitMax = point.Read(&wander_point::waitTimeMax);
        const qoString anim = point.Read(&wander_point::idleAnimName);
        const float r = qoSys->RandomFloat();
        entity.Action_LoopAnim(anim, qoSecondsToMs(r * (waitMax - waitMin) + waitMin));
        // The walk and the idle are what hold this loop; a visit that took no time at all (a
        // point under the monster's feet, no idle) must not spin the thread without end.
        if (qoSys->GameTimeMs() == startMs) qoWaitFrame();
    }
}
