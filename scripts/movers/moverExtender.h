// moverExtender: plays a designer's list of move commands on the mover it is placed on. Each
// command sets the timing, moves to a position entity (or travels a spline path), or moves by a
// direction and turns, with sounds and entities to activate at the start, on arrival and after
// a delay. Activations are counted and each finished command consumes one; a command that goes
// on by itself gives one back, so the list plays until a command waits for the next
// activation, the last repeat ends or a pause point is reached. Movers bound below another
// mover cooperate through their own moverExtenders (children), and the state can be carried
// over a checkpoint through SyncState.
//
// moverExtenderPauser pauses or resumes a moverExtender (by default its bind master's).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/qoList.h"
#include "hostcalls/qoObjectRef.h"
#include "object/qoClass.h"

// QUORIN_MOVER_EXTENDER_TEST_LAYOUT: the test build of the module with a changed moverExtender
// (tests/CMakeLists.txt, libquorin_changed_layout): one more designer property, which SyncState
// hands over first, so that its property table and what it hands over differ from this build's.
// It sits in padding, so the offsets checked below hold in both builds.
#ifdef QUORIN_MOVER_EXTENDER_TEST_LAYOUT
#define QO_MOVER_EXTENDER_TEST_PROPERTY , QO_PROPERTY(testGeneration)
#else
#define QO_MOVER_EXTENDER_TEST_PROPERTY
#endif

class moverExtender : public kvQuorinObject {
    QO_SCRIPT_CLASS(moverExtender, kvQuorinObject)

public:
    struct moverParms_t {
        QO_STRUCT(moverExtender, moverParms_t)
        QO_PROPERTIES(QO_PROPERTY(speed), QO_PROPERTY(time), QO_PROPERTY(accel), QO_PROPERTY(decel))

        // Defaults in constructors: the lists of the enclosing class need them complete.
        moverParms_t() : speed(0.0f), time(1.0f), accel(0.0f), decel(0.0f) {}

        float speed;  // units per second; either speed or time is set
        float time;   // seconds
        float accel;  // seconds
        float decel;  // seconds
    };

    struct moveCommands_t {
        QO_STRUCT(moverExtender, moveCommands_t)
        QO_PROPERTIES(QO_PROPERTY(moverInfo), QO_PROPERTY(position), QO_PROPERTY(alignToPosition),
                      QO_PROPERTY(direction), QO_PROPERTY(rotation), QO_PROPERTY(rotateOnce),
                      QO_PROPERTY(soundOnMove), QO_PROPERTY(soundOnArrive), QO_PROPERTY(activateOnStart),
                      QO_PROPERTY(activateOnArrival), QO_PROPERTY(activateOnNext), QO_PROPERTY(delay),
                      QO_PROPERTY(waitForNextActivate), QO_PROPERTY(stopSoundOnArrival),
                      QO_PROPERTY(waitForChildrenBeforeMove))
        QO_EDITOR("arrow3D { endPoint = direction; !isDirection; dragEditable; color = yellow; }")

        moveCommands_t()
            : alignToPosition(true), rotateOnce(true), soundOnMove(nullptr), soundOnArrive(nullptr), delay(0.0f),
              waitForNextActivate(false), stopSoundOnArrival(true), waitForChildrenBeforeMove(false) {}

        moverParms_t moverInfo;
        qoEntity position;  // a kvSplinePath is travelled as a spline
        bool alignToPosition;
        qoVector direction;  // in the mover's local frame
        qoVector rotation;
        bool rotateOnce;  // false: turn without end
        const kvSoundShader* soundOnMove;
        const kvSoundShader* soundOnArrive;
        qoEntity activateOnStart;
        qoEntity activateOnArrival;
        qoEntity activateOnNext;
        float delay;  // seconds after arrival
        bool waitForNextActivate;
        bool stopSoundOnArrival;
        bool waitForChildrenBeforeMove;
    };

    // The older form of a command, converted into moveCommands at start.
    struct keyCommands_t {
        QO_STRUCT(moverExtender, keyCommands_t)
        QO_PROPERTIES(QO_PROPERTY(moverInfo), QO_PROPERTY(position), QO_PROPERTY(soundOnMove),
                      QO_PROPERTY(soundOnArrive), QO_PROPERTY(activateOnArrival), QO_PROPERTY(activateOnNext),
                      QO_PROPERTY(delay), QO_PROPERTY(waitForNextActivate), QO_PROPERTY(stopSoundOnArrival))

        keyCommands_t()
            : soundOnMove(nullptr), soundOnArrive(nullptr), delay(0.0f), waitForNextActivate(false),
              stopSoundOnArrival(true) {}

        moverParms_t moverInfo;
        qoEntity position;
        const kvSoundShader* soundOnMove;
        const kvSoundShader* soundOnArrive;
        qoEntity activateOnArrival;
        qoEntity activateOnNext;
        float delay;
        bool waitForNextActivate;
        bool stopSoundOnArrival;
    };

    QO_PROPERTIES(QO_PROPERTY(numRepeat), QO_PROPERTY(bStartOnSpawn), QO_PROPERTY(moveCommands),
                  QO_PROPERTY(keyCommands), QO_PROPERTY(saveCheckpointState), QO_PROPERTY(bUseSplineFromCurAxis),
                  QO_PROPERTY(onlyPauseAtTheseSteps), QO_PROPERTY(onlySaveAtTheseSteps),
                  QO_PROPERTY(canRequestStateUpdates) QO_MOVER_EXTENDER_TEST_PROPERTY)
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void Shutdown() override;
    void SyncState(bool flag) override;
    void OnActivate(const qoEntity& activator) override;

    // ---- the sequence -------------------------------------------------------------------------
    void ExecuteSequence();
    bool ExecuteCommand(int32_t index);
    bool SetMoveParms(const moverParms_t& parms, const kvSoundShader* sound, const qoEntity& activateOnStart);
    bool MoveToPosition(const qoEntity& position, bool align);
    bool MoveByDirection(const qoVector& direction, const qoVector& rotation, bool rotateOnce);
    bool ContinuesAutomatically(int32_t step) const;
    bool IsPausedHere() const;
    void EndSequence();

    // ---- the bind chain -----------------------------------------------------------------------
    void SetBindParent(const qoEntity& parent);
    qoEntity GetBindMaster();
    void ComputeOffsets();
    bool AnyChildExecuting();
    bool AnyAncestorExecuting();
    void StartChildren();
    bool HasParent() const;
    static qoVector RotateByAngles(const qoVector& v, const qoVector& angles);
    // The moverExtender of another mover, found or created.
    static moverExtender* Of(const qoEntity& mover);

    // ---- pause and checkpoints ----------------------------------------------------------------
    void SetPaused(bool pause);
    bool RequestStateRecord();
    void RecordState();
    void RestoreState();

    int32_t numRepeat = 0;  // -1 repeats for ever
    bool bStartOnSpawn = false;
    qoList<moveCommands_t> moveCommands;
    qoList<keyCommands_t> keyCommands;
    bool saveCheckpointState = false;
    bool bUseSplineFromCurAxis = false;
    qoList<int32_t> onlyPauseAtTheseSteps;
    qoList<int32_t> onlySaveAtTheseSteps;
    bool canRequestStateUpdates = true;

    int32_t activationCount = 0;
    int32_t savedActivationCount = -1;  // -1: nothing saved
    int32_t currentStep = 0;
    int32_t savedStep = -1;
    int32_t repeatsLeft = 0;
    int32_t savedRepeatsLeft = -1;
    uint32_t sequenceThread = 0;  // 0: no sequence runs
    bool stateDirty = false;
    bool executing = false;
    bool restorePending = false;
    bool paused = false;
#ifdef QUORIN_MOVER_EXTENDER_TEST_LAYOUT
    int32_t testGeneration = 2;
#endif
    qoList<qoEntity> children;  // movers bound below this one
    qoVector savedOffset;
    qoVector savedAngleOffset;
    qoEntity bindParent;
    qoEntity bindMaster;
    qoVector startOffset;
    qoVector startAngleOffset;
    qoVector moveOffset;      // directions moved by, accumulated
    qoVector rotationOffset;  // rotations applied once, accumulated
};

class moverExtenderPauser : public kvQuorinObject {
    QO_SCRIPT_CLASS(moverExtenderPauser, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(moverToControl), QO_PROPERTY(togglePauseUnpause),
                  QO_PROPERTY(controlBindMasterOnly))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoEntity moverToControl;
    bool togglePauseUnpause = true;
    bool controlBindMasterOnly = true;
};

static_assert(sizeof(moverExtender::moverParms_t) == 16);
static_assert(offsetof(moverExtender::moveCommands_t, position) == 16);
static_assert(offsetof(moverExtender::moveCommands_t, direction) == 24);
static_assert(offsetof(moverExtender::moveCommands_t, rotation) == 36);
static_assert(offsetof(moverExtender::moveCommands_t, rotateOnce) == 48);
static_assert(offsetof(moverExtender::moveCommands_t, soundOnMove) == 56);
static_assert(offsetof(moverExtender::moveCommands_t, soundOnArrive) == 64);
static_assert(offsetof(moverExtender::moveCommands_t, activateOnStart) == 72);
static_assert(offsetof(moverExtender::moveCommands_t, activateOnNext) == 80);
static_assert(offsetof(moverExtender::moveCommands_t, delay) == 84);
static_assert(offsetof(moverExtender::moveCommands_t, waitForNextActivate) == 88);
static_assert(offsetof(moverExtender::moveCommands_t, waitForChildrenBeforeMove) == 90);
static_assert(sizeof(moverExtender::moveCommands_t) == 96);
static_assert(offsetof(moverExtender::keyCommands_t, soundOnMove) == 24);
static_assert(offsetof(moverExtender::keyCommands_t, activateOnArrival) == 40);
static_assert(offsetof(moverExtender::keyCommands_t, delay) == 48);
static_assert(offsetof(moverExtender::keyCommands_t, waitForNextActivate) == 52);
static_assert(offsetof(moverExtender::keyCommands_t, stopSoundOnArrival) == 53);
static_assert(sizeof(moverExtender::keyCommands_t) == 56);
static_assert(offsetof(moverExtender, numRepeat) == 16);
static_assert(offsetof(moverExtender, bStartOnSpawn) == 20);
static_assert(offsetof(moverExtender, moveCommands) == 24);
static_assert(offsetof(moverExtender, keyCommands) == 48);
static_assert(offsetof(moverExtender, saveCheckpointState) == 72);
static_assert(offsetof(moverExtender, bUseSplineFromCurAxis) == 73);
static_assert(offsetof(moverExtender, onlyPauseAtTheseSteps) == 80);
static_assert(offsetof(moverExtender, onlySaveAtTheseSteps) == 104);
static_assert(offsetof(moverExtender, canRequestStateUpdates) == 128);
static_assert(offsetof(moverExtender, activationCount) == 132);
static_assert(offsetof(moverExtender, sequenceThread) == 156);
static_assert(offsetof(moverExtender, paused) == 163);
static_assert(offsetof(moverExtender, children) == 168);
static_assert(offsetof(moverExtender, savedOffset) == 192);
static_assert(offsetof(moverExtender, bindParent) == 216);
static_assert(offsetof(moverExtender, rotationOffset) == 260);
static_assert(sizeof(moverExtender) == 272);
static_assert(offsetof(moverExtenderPauser, moverToControl) == 16);
static_assert(offsetof(moverExtenderPauser, togglePauseUnpause) == 20);
static_assert(offsetof(moverExtenderPauser, controlBindMasterOnly) == 21);
static_assert(sizeof(moverExtenderPauser) == 24);
