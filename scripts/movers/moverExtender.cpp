#include "scripts/movers/moverExtender.h"

#include <cmath>

#include "core/qoDiagnostics.h"
#include "core/qoVector.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"

namespace {

// Squared lengths at or below this count as no offset at all (the float 9.9999994e-11).
constexpr float kTiny = 1e-10f;
constexpr int kChildWaitReportFrames = 60;

bool Valid(const qoEntity& e) { return e.handle != 0 && e.IsValid(); }
float LengthSquared(const qoVector& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }
int32_t Increment(int32_t n) { return n < INT32_MAX ? n + 1 : n; }
int32_t Decrement(int32_t n) { return n > 0 ? n - 1 : 0; }

void Print(const qoString& text) { qoSys->Printf("%s\n", text.c_str()); }

}  // namespace

moverExtender* moverExtender::Of(const qoEntity& mover) {
    qoObject<moverExtender> ref;
    ref.Bind(mover, 1);
    moverExtender* ext = ref.Get();
    if (!ext) qoAssertFailed("0");
    return ext;
}

bool moverExtender::HasParent() const { return Valid(bindParent) && bindParent != entity; }

// ---- start ------------------------------------------------------------------------------------

void moverExtender::Init() {
    if (keyCommands.Num() > 0 && moveCommands.Num() == 0) {
        for (const keyCommands_t& key : keyCommands) {
            moveCommands_t command;
            command.moverInfo = key.moverInfo;
            command.position = key.position;
            command.soundOnMove = key.soundOnMove;
            command.soundOnArrive = key.soundOnArrive;
            command.activateOnArrival = key.activateOnArrival;
            command.activateOnNext = key.activateOnNext;
            command.delay = key.delay;
            command.waitForNextActivate = key.waitForNextActivate;
            command.stopSoundOnArrival = key.stopSoundOnArrival;
            moveCommands.Append(command);
        }
        keyCommands.Clear();
        Print(entity.GetName() +
              " - moverExtender::Init:\nConverting keyCommands to moveCommands. Please update this "
              "moverExtender by copying keyCommands data over to moveCommands.");
    }

    restorePending = false;
    SetBindParent(entity.GetBindParent());
    ComputeOffsets();
    qoWaitFrame();
    if (restorePending) RestoreState();

    if (bStartOnSpawn) {
        bStartOnSpawn = false;
        entity.Activate(qoGetPlayer1());
    } else if (activationCount >= 1) {
        activationCount = Decrement(activationCount);
        entity.Activate(qoGetPlayer1());
    }
    entity.EnableSplineAngles(bUseSplineFromCurAxis);
}

void moverExtender::OnActivate(const qoEntity&) {
    if (moveCommands.Num() == 0) {
        Print(entity.GetName() + ": no move commands have been set up on this moverExtender. Activate ignored.");
        return;
    }
    activationCount = Increment(activationCount);
    if (sequenceThread != 0 || activationCount < 1 || entity.IsProdBuilding()) return;
    // The sequence waits for the mover: an activation from outside any script thread (the
    // host's own) runs it on a thread of its own.
    if (qoCurrentThreadId() == 0)
        QO_THREAD(ExecuteSequence);
    else
        ExecuteSequence();
}

// ---- the sequence -----------------------------------------------------------------------------

void moverExtender::ExecuteSequence() {
    sequenceThread = qoCurrentThreadId();
    stateDirty = true;
    while (activationCount > 0 && !IsPausedHere()) {
        if (qoCurrentThreadId() != sequenceThread) {
            ReportWarning("Multiple ExecuteSequence threads started on this object.  Only 1 thread can be "
                          "active at a time");
            return;
        }
        const int32_t s = currentStep;
        if (s >= 0 && s < moveCommands.Num() && moveCommands[s].waitForChildrenBeforeMove) {
            int frames = 0;
            while (s < moveCommands.Num() && moveCommands[s].waitForChildrenBeforeMove && AnyChildExecuting()) {
                qoWaitFrame();
                if (++frames == kChildWaitReportFrames) {
                    Print(entity.GetName() + " waiting for children to finish moving before executing next command.");
                    frames = 0;
                }
            }
        }
        RequestStateRecord();
        executing = true;
        if (!ExecuteCommand(s)) {
            ReportWarning("Unable to execute moveCommand[ " + qoString::FromInt(s) + " ].  Halting move sequence.");
            activationCount = 0;
        }
        if (ContinuesAutomatically(s)) activationCount = Increment(activationCount);
        activationCount = Decrement(activationCount);
        currentStep = s + 1 < moveCommands.Num() ? s + 1 : 0;
        executing = false;
    }
    executing = false;
    sequenceThread = 0;
    RequestStateRecord();
    EndSequence();
}

bool moverExtender::ContinuesAutomatically(int32_t step) const {
    if (step < 0 || step >= moveCommands.Num() || moveCommands[step].waitForNextActivate) return false;
    return step + 1 < moveCommands.Num() || repeatsLeft >= 1 || repeatsLeft == -1;
}

bool moverExtender::IsPausedHere() const {
    if (!paused) return false;
    return onlyPauseAtTheseSteps.Num() == 0 || onlyPauseAtTheseSteps.FindIndex(currentStep) >= 0;
}

bool moverExtender::ExecuteCommand(int32_t index) {
    if (index < 0 || index >= moveCommands.Num()) {
        ReportWarning("commandIndex not a valid index of moveCommands.");
        return false;
    }
    const moveCommands_t command = moveCommands[index];
    if (!SetMoveParms(command.moverInfo, command.soundOnMove, command.activateOnStart)) return false;
    if (!MoveToPosition(command.position, command.alignToPosition) &&
        !MoveByDirection(command.direction, command.rotation, command.rotateOnce)) {
        ReportWarning("No valid position, direction, or rotation found in moveCommands[ " + qoString::FromInt(index) +
                      " ].");
        return false;
    }
    if (bindParent == entity || !executing) StartChildren();

    if (command.stopSoundOnArrival) entity.StopSound(0);
    if (command.soundOnArrive) entity.StartSoundShader(command.soundOnArrive, 0);
    if (Valid(command.activateOnArrival)) command.activateOnArrival.Activate(entity);
    if (command.delay > 0.0f) qoWait(command.delay);
    if (Valid(command.activateOnNext)) command.activateOnNext.Activate(entity);
    stateDirty = true;
    return true;
}

bool moverExtender::SetMoveParms(const moverParms_t& parms, const kvSoundShader* sound,
                                 const qoEntity& activateOnStart) {
    if (currentStep == 0) {
        if (numRepeat == -1 || repeatsLeft == 0) repeatsLeft = numRepeat;
        if (repeatsLeft > 0) --repeatsLeft;
    }
    if (parms.speed == 0.0f) {
        if (parms.time == 0.0f) {
            ReportWarning("Parms not set for time or speed on moveCommands[ " + qoString::FromInt(currentStep) +
                          " ].  At least one of these must be set to > 0.");
            return false;
        }
        entity.SetParmsForTime(parms.time, parms.accel, parms.decel);
    } else {
        entity.SetParmsForSpeed(parms.speed, parms.accel, parms.decel);
    }
    if (sound) entity.StartSoundShader(sound, 0);
    if (Valid(activateOnStart)) activateOnStart.Activate(entity);
    return true;
}

bool moverExtender::MoveToPosition(const qoEntity& position, bool align) {
    if (!Valid(position)) return false;
    const bool spline = position.GetClass() == "kvSplinePath";
    if (!spline) {
        if (LengthSquared(entity.GetWorldOrigin() - position.GetWorldOrigin()) > kTiny)
            entity.MoveTo(position);
        else
            qoWaitFrame();
        if (align) entity.RotateToShortest(position.GetAngles());
    } else {
        entity.StartSpline(position);
    }
    while (entity.IsMoving() || entity.IsRotating()) qoWaitFrame();
    if (spline) entity.StopSpline();
    return true;
}

bool moverExtender::MoveByDirection(const qoVector& direction, const qoVector& rotation, bool rotateOnce) {
    bool applied = false;
    if (LengthSquared(direction) > kTiny) {
        moveOffset += direction;
        entity.MoveToPos(entity.LocalToWorldForOffset(direction));
        applied = true;
    }
    if (LengthSquared(rotation) > kTiny) {
        if (!rotateOnce) {
            entity.Rotate(rotation);
            return true;
        }
        rotationOffset += rotation;
        entity.RotateOnce(rotation);
        applied = true;
    }
    if (!applied) return false;
    while (entity.IsMoving() || entity.IsRotating()) qoWaitFrame();
    return true;
}

void moverExtender::EndSequence() {
    if (sequenceThread != 0 || entity.IsRotating() || AnyChildExecuting()) return;
    if (HasParent())
        if (moverExtender* parent = Of(bindParent)) parent->EndSequence();
    entity.Deactivate();
}

// ---- the bind chain ---------------------------------------------------------------------------

void moverExtender::SetBindParent(const qoEntity& parent) {
    if (Valid(parent) && parent != entity && parent.IsClass("kvMover")) {
        bindParent = parent;
        bindMaster = GetBindMaster();
        if (moverExtender* master = Of(bindMaster)) {
            saveCheckpointState = master->saveCheckpointState;
            SetPaused(master->paused);
        }
    } else {
        bindParent = entity;
        bindMaster = entity;
    }
}

qoEntity moverExtender::GetBindMaster() {
    if (!HasParent()) return entity;
    moverExtender* parent = Of(bindParent);
    return parent ? parent->GetBindMaster() : entity;
}

qoVector moverExtender::RotateByAngles(const qoVector& v, const qoVector& a) {
    constexpr float k = 0.017452778f;
    const float y = a.y * k, p = -a.x * k, r = a.z * k;
    return {(v.x * std::cos(y) - v.y * std::sin(y) + v.x * std::cos(p) - v.z * std::sin(p)) / 2.0f,
            (v.y * std::cos(y) + v.x * std::sin(y) + v.y * std::cos(r) - v.z * std::sin(r)) / 2.0f,
            (v.z * std::cos(p) + v.x * std::sin(p) + v.z * std::cos(r) + v.y * std::sin(r)) / 2.0f};
}

void moverExtender::ComputeOffsets() {
    if (!HasParent()) {
        startOffset = entity.GetWorldOrigin();
        startAngleOffset = entity.GetRenderModelAngles();
        return;
    }
    const qoVector parentAngles = bindParent.GetAngles();
    startOffset = RotateByAngles(entity.GetWorldOrigin() - bindParent.GetWorldOrigin(), parentAngles * -1.0f);
    startAngleOffset = entity.GetAngles() - parentAngles;
    moverExtender* parent = Of(bindParent);
    if (!parent || !Valid(entity) || entity == parent->entity || entity == parent->bindParent ||
        parent->children.FindIndex(entity) >= 0)
        return;
    parent->children.Append(entity);
}

bool moverExtender::AnyChildExecuting() {
    const qoList<qoEntity> list = children;
    for (const qoEntity& child : list) {
        if (!Valid(child)) continue;
        moverExtender* ext = Of(child);
        if (ext && (ext->executing || ext->AnyChildExecuting())) return true;
    }
    return false;
}

bool moverExtender::AnyAncestorExecuting() {
    if (!HasParent()) return executing;
    moverExtender* parent = Of(bindParent);
    return parent && (parent->executing || parent->AnyAncestorExecuting());
}

void moverExtender::StartChildren() {
    const qoList<qoEntity> list = children;
    for (const qoEntity& child : list) {
        if (!Valid(child)) continue;
        moverExtender* ext = Of(child);
        if (!ext) continue;
        ext->stateDirty = true;
        if (!ext->executing) ext->StartChildren();
    }
}

void moverExtender::Shutdown() {
    // Only objects that exist are told: nothing is created while the level is torn down.
    auto existing = [](const qoEntity& e) {
        qoObject<moverExtender> ref;
        ref.Bind(e, 0);
        return ref.Get();
    };
    if (HasParent()) {
        if (moverExtender* parent = existing(bindParent)) {
            const int index = parent->children.FindIndex(entity);
            if (index >= 0) parent->children.RemoveIndex(index);
        }
    }
    const qoList<qoEntity> list = children;
    for (const qoEntity& child : list) {
        if (!Valid(child)) continue;
        if (moverExtender* ext = existing(child)) {
            ext->SetBindParent(child);
            ext->ComputeOffsets();
        }
    }
}

// ---- pause ------------------------------------------------------------------------------------

void moverExtender::SetPaused(bool pause) {
    const bool was = paused;
    paused = pause;
    const qoList<qoEntity> list = children;
    for (const qoEntity& child : list)
        if (Valid(child))
            if (moverExtender* ext = Of(child)) ext->SetPaused(pause);
    if (was && !pause && activationCount > 0) {
        activationCount = Decrement(activationCount);
        entity.Activate(qoGetPlayer1());
    }
}

void moverExtenderPauser::OnActivate(const qoEntity&) {
    if (!moverToControl.handle || !moverToControl.IsValid() || !moverToControl.IsClass("kvMover")) return;
    if (controlBindMasterOnly)
        if (moverExtender* ext = moverExtender::Of(moverToControl)) moverToControl = ext->bindMaster;
    if (!togglePauseUnpause) return;
    if (moverExtender* ext = moverExtender::Of(moverToControl)) ext->SetPaused(!ext->paused);
}

// ---- checkpoints ------------------------------------------------------------------------------

bool moverExtender::RequestStateRecord() {
    if (!saveCheckpointState || !canRequestStateUpdates) return false;
    if (onlySaveAtTheseSteps.Num() > 0 && onlySaveAtTheseSteps.FindIndex(currentStep) < 0) return false;
    if (AnyAncestorExecuting() || executing) return false;
    if (HasParent()) {
        moverExtender* parent = Of(bindParent);
        if (parent && parent->stateDirty) return parent->RequestStateRecord();
    }
    if (stateDirty && AnyChildExecuting()) return false;
    RecordState();
    return true;
}

void moverExtender::RecordState() {
    if (executing) return;
    if (stateDirty) {
        if (HasParent()) {
            savedOffset = startOffset + moveOffset;
            savedAngleOffset = entity.GetRenderModelAngles() - bindParent.GetRenderModelAngles();
        } else {
            savedOffset = entity.GetWorldOrigin() - startOffset;
            savedAngleOffset = entity.GetRenderModelAngles() - startAngleOffset;
        }
        savedActivationCount = activationCount;
        savedStep = currentStep;
        savedRepeatsLeft = repeatsLeft;
        stateDirty = false;
    }
    const qoList<qoEntity> list = children;
    for (const qoEntity& child : list)
        if (Valid(child))
            if (moverExtender* ext = Of(child)) ext->RecordState();
}

void moverExtender::SyncState(bool flag) {
    qoStateStream* stream = qoSys->GetStateStream();
    if (!stream) return;
#ifdef QUORIN_MOVER_EXTENDER_TEST_LAYOUT
    stream->SyncInt(&testGeneration);
#endif
    stream->SyncBool(&saveCheckpointState);
    if (saveCheckpointState) {
        stream->SyncBool(&bStartOnSpawn);
        stream->SyncBool(&paused);
        stream->SyncInt(&savedActivationCount);
        stream->SyncInt(&savedStep);
        stream->SyncInt(&savedRepeatsLeft);
        for (qoVector* v : {&savedOffset, &savedAngleOffset}) {
            stream->SyncFloat(&v->x);
            stream->SyncFloat(&v->y);
            stream->SyncFloat(&v->z);
        }
    }
    if (!flag) {
        restorePending = true;
        if (HasParent()) RestoreState();
    }
}

void moverExtender::RestoreState() {
    if (!saveCheckpointState) return;
    SetBindParent(entity.GetBindParent());
    // A mover of its own is put back relative to where Init found it (startOffset: its spawn
    // place), not to where it is now: a host that restores entity positions itself has already
    // put it there, and the offset must not count twice. The base stays the spawn place, so a
    // later record is again relative to it and a checkpoint saved after a load restores right.
    // With a host that starts every mover at its spawn place both are the same.
    const bool parented = HasParent();
    qoVector position, base;
    if (parented) {
        position = bindParent.GetWorldOrigin() + RotateByAngles(savedOffset, bindParent.GetAngles());
        base = bindParent.GetRenderModelAngles();
    } else {
        position = startOffset + savedOffset;
        base = startAngleOffset;
    }
    entity.SetWorldOrigin(position);
    entity.SetAngles(base + savedAngleOffset);
    if (savedActivationCount != -1) activationCount = savedActivationCount;
    if (savedStep != -1) currentStep = savedStep;
    if (savedRepeatsLeft != -1) repeatsLeft = savedRepeatsLeft;
    if (numRepeat == -1) repeatsLeft = -1;
    if (parented) ComputeOffsets();
    restorePending = false;
}
