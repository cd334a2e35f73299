// Combat goals: counters that complete when enough of their enemies have died, then wait their
// delay, print a line and activate their entity's targets.
//
// The counters never watch actors themselves. They attach small watcher objects to each actor
// (and to each spawner, whose watcher puts a watcher on every AI it spawns); the watchers
// report deaths back to the counter named by their goalEntity.
//
//   _goalKillCounter      completes after nCount kills (again and again with bRepeat)
//   _goalRemainingCounter completes when no more than nCount of its actors are alive
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostcalls/qoObjectRef.h"
#include "object/qoClass.h"

class _combatGoal : public kvQuorinObject {
    QO_SCRIPT_CLASS(_combatGoal, kvQuorinObject)
    QO_PROPERTIES(
        QO_PROPERTY(bTriggerFirst, "When set the entity must be triggered first to start."),
        QO_PROPERTY(delay, "How long to delay after the goal is successful before activating targets."),
        QO_PROPERTY(call, "Call this function when the counter completes."))
    QO_EVENTS("OnActivate")

public:
    enum goalState_t : int32_t {
        GOAL_WAITING = 0,
        GOAL_RUNNING = 1,
        GOAL_SUCCESS = 2,
        GOAL_FAILURE = 3,
    };

    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    // Slot 89: draws the goal's state over its entity for one frame. Nothing for the base.
    virtual void DrawStatus();

    // Running goals only: complete with success, wait `delay`, then activate the entity's
    // targets with the entity as activator. False when the goal was destroyed during the wait
    // (a watcher on another entity completes it on its own thread): then the caller must not
    // touch the goal either.
    bool Complete();
    // The second half of Complete, on a thread of its own when the goal completes outside any
    // script thread (the delay needs a thread to wait on).
    void ActivateAfterDelay();
    bool ActivateTargetsAfterDelay();

    bool bTriggerFirst = false;
    float delay = 0.0f;  // seconds
    qoString call;       // shown in the editor; nothing reads it
    int32_t goalState = GOAL_WAITING;
    uint32_t pad1 = 0;   // fills the class to its size: derived members start at 56
};

class _goalKillCounter : public _combatGoal {
    QO_SCRIPT_CLASS(_goalKillCounter, _combatGoal)
    QO_PROPERTIES(QO_PROPERTY(nCount), QO_PROPERTY(fPlayerContributionThreshold), QO_PROPERTY(bRepeat),
                  QO_PROPERTY(bKillingBlows),
                  QO_PROPERTY(actorList, "List of actors to include in the kill counter"),
                  QO_PROPERTY(spawnerList, "Count the kill for each actor spawned from this spawner"))
    QO_EDITOR(
        "string { string = 'Combat Goal: Kill Counter'; color = orange; offset = ( 15 0 0 ); showAlways = true; }",
        "string { string = va( '%d killed ', nCount ); color = yellow; offset = ( 15 -8 0 ); showAlways = true; }",
        "foreach listItem in actorList { targetLine { target = listItem; color = dkgrey; showAlways = true; } }",
        "foreach listItem in actorList { targetLine { target = listItem; color = orange; showAlways = false; } }",
        "foreach listItem in spawnerList { targetLine { target = listItem; color = dkgrey; showAlways = true; } }",
        "foreach listItem in spawnerList { targetLine { target = listItem; color = yellow; showAlways = false; } }",
        "linkActionList { entityPtrs = spawnerList[x]; actionName = 'Link to spawner children to report death to counter';}",
        "entityTypeRestriction { path = 'spawnerList[x]'; allowedType = 'kvTarget_Spawn'; }",
        "linkActionList { entityPtrs = actorList[x]; actionName = 'Link to entities to report death to counter';}",
        "entityTypeRestriction { path = 'actorList[x]'; allowedType = 'kvAI2'; }")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    void DrawStatus() override;

    // Watchers on every listed actor, then on every listed spawner.
    void RegisterWatchers();
    // Watches an AI that a listed spawner spawned; an actor already watched is left alone.
    void AddWatchedActor(const qoEntity& actor);
    // One death among the watched actors.
    void CountKill(const qoEntity& actor);

    int32_t nCount = 0;
    float fPlayerContributionThreshold = 0.0f;  // clamped to 0..1 at start; counts nothing
    bool bRepeat = false;
    bool bKillingBlows = false;                 // stored only
    qoList<qoEntity> actorList;
    qoList<qoEntity> spawnerList;
    int32_t killCount = 0;
};

class _goalRemainingCounter : public _combatGoal {
    QO_SCRIPT_CLASS(_goalRemainingCounter, _combatGoal)
    QO_PROPERTIES(QO_PROPERTY(nCount),
                  QO_PROPERTY(actorList, "List of actors to include in the kill counter"),
                  QO_PROPERTY(spawnerList, "Count the kill for each actor spawned from this spawner"))
    QO_EDITOR(
        "string { string = 'Combat Goal: Remaining Counter'; color = orange; offset = ( 15 0 0 ); showAlways = true; }",
        "string { string = va( '%d remaining ', nCount ); color = yellow; offset = ( 15 -8 0 ); showAlways = true; }",
        "foreach listItem in actorList { targetLine { target = listItem; color = dkgrey; showAlways = true; } }",
        "foreach listItem in actorList { targetLine { target = listItem; color = orange; showAlways = false; } }",
        "linkActionList { entityPtrs = actorList[x]; actionName = 'Link to entities to report death to counter';}",
        "entityTypeRestriction { path = 'actorList'; allowedType = 'kvAI2'; }")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    void DrawStatus() override;

    // Watchers on every listed actor; each one attached counts as an actor alive.
    void RegisterWatchers();

    int32_t nCount = 0;
    qoList<qoEntity> actorList;
    qoList<qoEntity> spawnerList;  // shown in the editor; nothing reads it
    int32_t remainingCount = 0;
};

// ---- watchers ------------------------------------------------------------------------------

class _goalKillCountActor : public kvQuorinObject {
    QO_SCRIPT_CLASS(_goalKillCountActor, kvQuorinObject)
    QO_EVENTS("OnDeath")

public:
    void OnDeath(const qoEntity& killer) override;

    qoEntity goalEntity;  // the kill counter's entity
};

class _goalRemainingCountActor : public kvQuorinObject {
    QO_SCRIPT_CLASS(_goalRemainingCountActor, kvQuorinObject)
    QO_EVENTS("OnDeath", "OnRemove")

public:
    void OnDeath(const qoEntity& killer) override;

    qoEntity goalEntity;  // the remaining counter's entity
};

class _goalKillCountSpawner : public kvQuorinObject {
    QO_SCRIPT_CLASS(_goalKillCountSpawner, kvQuorinObject)
    QO_EVENTS("OnTargetSpawn")

public:
    void OnTargetSpawn(const qoEntity& spawned) override;

    qoEntity goalEntity;  // the kill counter's entity
};

// References to kill counters forward their first operation to the counter's Init and their
// second to its DrawStatus.
template <class Base>
class qoObjectForwards<_goalKillCounter, Base> : public Base {
public:
    using Base::Base;
    virtual void Init() const { Self().Call(&_goalKillCounter::Init); }
    virtual void DrawStatus() const { Self().Call(&_goalKillCounter::DrawStatus); }

private:
    const qoObject<_goalKillCounter>& Self() const {
        return static_cast<const qoObject<_goalKillCounter>&>(*this);
    }
};

static_assert(offsetof(_combatGoal, bTriggerFirst) == 16);
static_assert(offsetof(_combatGoal, delay) == 20);
static_assert(offsetof(_combatGoal, call) == 24);
static_assert(offsetof(_combatGoal, goalState) == 48);
static_assert(sizeof(_combatGoal) == 56);
static_assert(offsetof(_goalKillCounter, nCount) == 56);
static_assert(offsetof(_goalKillCounter, fPlayerContributionThreshold) == 60);
static_assert(offsetof(_goalKillCounter, bRepeat) == 64);
static_assert(offsetof(_goalKillCounter, bKillingBlows) == 65);
static_assert(offsetof(_goalKillCounter, actorList) == 72);
static_assert(offsetof(_goalKillCounter, spawnerList) == 96);
static_assert(offsetof(_goalKillCounter, killCount) == 120);
static_assert(sizeof(_goalKillCounter) == 128);
static_assert(offsetof(_goalRemainingCounter, nCount) == 56);
static_assert(offsetof(_goalRemainingCounter, actorList) == 64);
static_assert(offsetof(_goalRemainingCounter, spawnerList) == 88);
static_assert(offsetof(_goalRemainingCounter, remainingCount) == 112);
static_assert(sizeof(_goalRemainingCounter) == 120);
static_assert(offsetof(_goalKillCountActor, goalEntity) == 16);
static_assert(sizeof(_goalKillCountActor) == 24);
static_assert(sizeof(_goalRemainingCountActor) == 24);
static_assert(sizeof(_goalKillCountSpawner) == 24);
