#include "scripts/designer/moverSpawner.h"

#include "object/qoThreads.h"

namespace {

constexpr float kLastMoverRest = 0.2f;  // seconds the last mover rests before it is stopped

// The spawn loop both classes share: after the initial delay, numSpawn activations of a set and
// still existing spawner with "player1" as activator, each followed by `spawned` and the delay.
template <class Spawned>
void SpawnLoop(const qoEntity& spawner, int32_t count, float initialDelay, float between,
               Spawned spawned) {
    qoWait(initialDelay);
    if (!spawner.IsValid()) return;
    for (int32_t i = 0; i < count; ++i) {
        spawner.Activate(qoEntity("player1"));
        spawned();
        qoWait(between);
    }
}

}  // namespace

void util_moverSpawner::Init() {
    SpawnLoop(entSpawner, numSpawn, fInitialDelay, fDelayBetweenSpawns, [] {});
}

void util_loopStopper::Init() {
    SpawnLoop(entSpawner, numSpawn, fInitialDelay, fDelayBetweenSpawns, [this] {
        const qoEntity mover = entSpawner.GetLastSpawned();
        if (movers.FindIndex(mover) < 0) movers.Append(mover);
        mover.StartSoundShader(soundOnMove, 0);
        QO_THREAD(MoverHelper, mover);
    });
}

void util_loopStopper::MoverHelper(qoEntity mover) {
    while (!stopped) {
        mover.MoveToOverTime(position, fMoveTime, 0.0f, 0.0f);
        mover.StartSoundShader(soundOnMove, 0);
        while (mover.IsMoving() || mover.IsRotating()) qoWaitFrame();
        if (!stopping) {
            activateOnArrival.Activate(mover);
            qoWait(fNextMoveDelay);
        }
    }
}

void util_loopStopper::SendToStop(const qoEntity& mover) {
    stopping = true;
    mover.MoveToOverTime(stopPosition, fStopTime, 0.0f, fStopTime);
}

void util_loopStopper::OnActivate(const qoEntity&) {
    if (stopped) return;
    stopped = true;
    for (const qoEntity& mover : movers) {
        if (mover.IsMoving() && mover.GetOrigin().z - stopPosition.GetOrigin().z > fMinDistantToStop)
            SendToStop(mover);
    }
    // Without movers there is no last one to stop.
    if (stopping || movers.Num() == 0) return;
    // The last mover comes to rest first: an activation outside any script thread waits for it
    // on a thread of its own.
    if (qoCurrentThreadId() == 0)
        QO_THREAD(StopLastMover);
    else
        StopLastMover();
}

void util_loopStopper::StopLastMover() {
    const qoEntity last = movers[movers.Num() - 1];
    while (last.IsMoving()) qoWaitFrame();
    qoWait(kLastMoverRest);
    SendToStop(last);
    last.StartSoundShader(soundOnDecel, 0);
}
