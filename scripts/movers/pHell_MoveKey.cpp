#include "scripts/movers/pHell_MoveKey.h"

#include "core/qoDiagnostics.h"
#include "core/qoVector.h"
#include "object/qoThreads.h"

namespace {

constexpr float kArrivalDistance = 0.1f;

bool Valid(const qoEntity& e) { return e.handle != 0 && e.IsValid(); }

void RemoveValue(qoList<qoEntity>& list, const qoEntity& value) {
    const int index = list.FindIndex(value);
    if (index >= 0) list.RemoveIndex(index);
}

}  // namespace

// ---- keys -----------------------------------------------------------------------------------

void pHell_MoveKey::ConfigureNode() {
    nodeType = PH_MOVE_KEY;
    AddJobFunction(JOB_FUNCTION_ROUTING);
}

void pHell_MoveKey::OnNetworkStart() {
    if (!Valid(moveKeyInfo.nextKey)) moveKeyInfo.nextKey = entity;
    if (moveKeyInfo.accelTime < 0.0f) moveKeyInfo.accelTime = 0.0f;
    if (moveKeyInfo.decelTime < 0.0f) moveKeyInfo.decelTime = 0.0f;
    if (moveKeyInfo.moveSpeed < 0.0f && moveKeyInfo.moveSpeed != -1.0f) {
        ReportWarning("Invalid moveKeyInfo.moveSpeed");
        moveKeyInfo.moveSpeed = 16.0f;
    }
}

void pHell_MoveKey::OnActivate(const qoEntity&) {}

bool pHell_MoveKey::AddOwnedMover(const qoEntity& mover) {
    if (mover.handle == 0 || !mover.IsValid() || !pHell_EntityIsHellNode(mover.handle) ||
        ownedMovers.FindIndex(mover) >= 0)
        return false;
    ownedMovers.Append(mover);
    if (!qoIsThreadRunning(static_cast<uint32_t>(ownedMoversThread < 0 ? 0 : ownedMoversThread)))
        ownedMoversThread = static_cast<int32_t>(QO_THREAD(UpdateOwnedMovers));
    return true;
}

void pHell_MoveKey::UpdateOwnedMovers() {
    while (ownedMovers.Num() > 0) {
        // Each mover of this pass, looked up again after every step: handing over the settings
        // waits a frame, during which others may arrive or leave.
        const qoList<qoEntity> pass = ownedMovers;
        for (const qoEntity& mover : pass) {
            if (!mover.IsValid()) {
                RemoveValue(ownedMovers, mover);
                continue;
            }
            if (qoLength(mover.GetWorldOrigin() - entity.GetWorldOrigin()) >= kArrivalDistance) continue;
            qoObject<pHell_MovingPlatform> platform;
            platform.Bind(mover, 1);
            const moveKeyInfo_t info = moveKeyInfo;
            platform.Call(&pHell_MovingPlatform::ApplyKeyInfo, info);
            RemoveValue(ownedMovers, mover);
        }
        qoWaitFrame();
    }
    ownedMoversThread = -1;
}

// ---- platforms ------------------------------------------------------------------------------

void pHell_MovingPlatform::ConfigureNode() {
    nodeType = PH_MOVING_PLATFORM;
    AddJobFunction(JOB_FUNCTION_MOVER);
}

void pHell_MovingPlatform::OnNetworkStart() {
    if (startOnMapLoad) MoveToNextKey();
}

void pHell_MovingPlatform::OnActivate(const qoEntity&) {
    // An activation from outside any script thread (the host's own) gets a thread of its own:
    // the move waits a frame before handing the platform to its key.
    if (qoCurrentThreadId() == 0)
        QO_THREAD(MoveToNextKey);
    else
        MoveToNextKey();
}

void pHell_MovingPlatform::ApplyKeyInfo(const moveKeyInfo_t& info) {
    if (!Valid(info.nextKey)) {
        ReportWarning("Invalid keyInfo");
        return;
    }
    moveKeyInfo.nextKey = info.nextKey;
    if (info.moveSpeed != -1.0f) moveKeyInfo.moveSpeed = info.moveSpeed;
    moveKeyInfo.accelTime = info.accelTime;
    moveKeyInfo.decelTime = info.decelTime;
    moveKeyInfo.instantaneous = info.instantaneous;
    moveKeyInfo.waitForTrigger = info.waitForTrigger;
    if (!moveKeyInfo.waitForTrigger) MoveToNextKey();
}

void pHell_MovingPlatform::MoveToNextKey() {
    const qoEntity next = moveKeyInfo.nextKey;
    if (!Valid(next)) {
        ReportWarning("Invalid moveKeyInfo");
        return;
    }
    entity.StopMoving();
    if (!moveKeyInfo.instantaneous) {
        entity.SetParmsForSpeed(moveKeyInfo.moveSpeed, moveKeyInfo.accelTime, moveKeyInfo.decelTime);
        entity.MoveTo(next);
    } else {
        entity.SetWorldOrigin(next.GetWorldOrigin());
    }
    qoWaitFrame();
    qoObject<pHell_MoveKey> key;
    key.Bind(next);
    key.Call(&pHell_MoveKey::AddOwnedMover, entity);
}
