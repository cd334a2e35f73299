#include "scripts/goals/combatGoal.h"

#include <algorithm>

#include "object/qoThreads.h"
#include "runtime/qoModule.h"
#include "scripts/common/qoDebugText.h"

namespace {

constexpr qoVector kStatusColor = {0.5f, 0.5f, 1.0f};
constexpr float kStatusScale = 0.5f;
constexpr int kStatusAlignment = 1;

void PrintLine(const qoString& text) { qoSys->Printf("%s\n", text.c_str()); }

// Status text of the states every goal shares; `running` is the counter's own text.
qoString StatusText(int32_t state, int32_t count, const qoString& running) {
    switch (state) {
        case _combatGoal::GOAL_WAITING: return "Waiting - Count: " + qoString::FromInt(count);
        case _combatGoal::GOAL_RUNNING: return running;
        case _combatGoal::GOAL_SUCCESS: return qoString("Complete - SUCCESS");
        case _combatGoal::GOAL_FAILURE: return qoString("Complete - FAILURE");
        default: return qoString();
    }
}

// Draws the text over the goal's entity for one frame.
void DrawStatusText(const qoEntity& goal, const qoString& text) {
    if (text.IsEmpty()) return;
    const qoVector origin = goal.GetWorldOrigin();
    qoSys->DebugText(text.c_str(), &kStatusColor, &origin, kStatusScale, kStatusAlignment, true, true,
                     qoFrameSeconds());
}

// Attaches a watcher of class W to the actor (created by the host when missing) and points it
// at the goal's entity. A watcher the host does not hand out is reported ("Assertion failed: 0").
template <class W>
bool AttachWatcher(const qoEntity& actor, const qoEntity& goal) {
    qoObject<W> watcher;
    watcher.Bind(actor, 1);
    W* object = watcher.Get();
    if (!object) {
        qoAssertFailed("0");
        return false;
    }
    object->goalEntity = goal;
    return true;
}

// A counter runs and watches its actors from the start, or waits for its first activation.
template <class Counter>
void StartOrWait(Counter& counter) {
    if (counter.bTriggerFirst) {
        counter.goalState = _combatGoal::GOAL_WAITING;
        return;
    }
    counter.goalState = _combatGoal::GOAL_RUNNING;
    counter.RegisterWatchers();
}

// Only the first activation of a waiting counter starts it; later ones change nothing.
template <class Counter>
void StartOnActivation(Counter& counter) {
    if (counter.goalState != _combatGoal::GOAL_WAITING) return;
    counter.goalState = _combatGoal::GOAL_RUNNING;
    counter.RegisterWatchers();
}

}  // namespace

// ---- _combatGoal -------------------------------------------------------------------------------

void _combatGoal::Init() {
    qoBindWorldUtil();
    goalState = bTriggerFirst ? GOAL_WAITING : GOAL_RUNNING;
}

void _combatGoal::OnActivate(const qoEntity&) {
    if (goalState == GOAL_WAITING) goalState = GOAL_RUNNING;
}

void _combatGoal::DrawStatus() {}

bool _combatGoal::Complete() {
    if (goalState != GOAL_RUNNING) return true;
    goalState = GOAL_SUCCESS;
    if (delay > 0.0f && qoCurrentThreadId() == 0) {
        // A death delivered outside any script thread: wait on a thread of our own.
        QO_THREAD(ActivateAfterDelay);
        return true;
    }
    return ActivateTargetsAfterDelay();
}

void _combatGoal::ActivateAfterDelay() { ActivateTargetsAfterDelay(); }

bool _combatGoal::ActivateTargetsAfterDelay() {
    if (delay > 0.0f) {
        const qoSelfGuard self(*this);
        qoWait(delay);
        if (self.Gone()) return false;
    }
    PrintLine("Combat Goal Complete. Activating all targets.");
    entity.ActivateTargets(entity);
    return true;
}

// ---- _goalKillCounter ----------------------------------------------------------------------------

void _goalKillCounter::Init() {
    qoBindWorldUtil();
    nCount = std::max(nCount, 1);
    fPlayerContributionThreshold = std::clamp(fPlayerContributionThreshold, 0.0f, 1.0f);
    killCount = 0;
    StartOrWait(*this);
}

void _goalKillCounter::OnActivate(const qoEntity&) { StartOnActivation(*this); }

void _goalKillCounter::RegisterWatchers() {
    for (int i = 0; i < actorList.Num(); ++i) AttachWatcher<_goalKillCountActor>(actorList[i], entity);
    for (int i = 0; i < spawnerList.Num(); ++i) AttachWatcher<_goalKillCountSpawner>(spawnerList[i], entity);
}

void _goalKillCounter::AddWatchedActor(const qoEntity& actor) {
    if (actorList.FindIndex(actor) >= 0) {
        PrintLine("Goal Kill Counter: " + actor.Name() + "is alread in watch list for " + entity.Name());
        return;
    }
    const uint32_t index = qoSys->FindScriptObject(actor.handle, _goalKillCountActor::qoName, 1);
    if (!qoSys->GetScriptObject(actor.handle, index)) {
        PrintLine("Goal Kill Counter: failed to create watch object for " + actor.Name() + ".");
        return;
    }
    // Resolved again through a reference, as every use of another object is.
    const qoObject<_goalKillCountActor> watcher(actor.handle, index);
    const qoEntity goal = entity;
    watcher.Call([goal](_goalKillCountActor& w) { w.goalEntity = goal; });
    actorList.Append(actor);
}

void _goalKillCounter::CountKill(const qoEntity&) {
    ++killCount;
    if (killCount < nCount) return;
    if (!Complete()) return;
    if (bRepeat) {
        killCount = 0;
        goalState = GOAL_RUNNING;
    }
}

void _goalKillCounter::DrawStatus() {
    DrawStatusText(entity, StatusText(goalState, nCount, "Running - Count: " + qoString::FromInt(nCount)));
}

// ---- _goalRemainingCounter ------------------------------------------------------------------------

void _goalRemainingCounter::Init() {
    qoBindWorldUtil();
    remainingCount = 0;
    nCount = std::max(nCount, 0);
    StartOrWait(*this);
}

void _goalRemainingCounter::OnActivate(const qoEntity&) { StartOnActivation(*this); }

void _goalRemainingCounter::RegisterWatchers() {
    for (int i = 0; i < actorList.Num(); ++i)
        if (AttachWatcher<_goalRemainingCountActor>(actorList[i], entity)) ++remainingCount;
}

void _goalRemainingCounter::DrawStatus() {
    const qoString running = "Running - Remaining: " + qoString::FromInt(remainingCount) + ", Count: " +
                             qoString::FromInt(nCount);
    DrawStatusText(entity, StatusText(goalState, nCount, running));
}

// ---- watchers -------------------------------------------------------------------------------------

void _goalKillCountActor::OnDeath(const qoEntity&) {
    qoObject<_goalKillCounter> counter;
    counter.Bind(goalEntity);
    counter.Call(&_goalKillCounter::CountKill, entity);
}

void _goalRemainingCountActor::OnDeath(const qoEntity&) {
    qoObject<_goalRemainingCounter> counter;
    counter.Bind(goalEntity);
    _goalRemainingCounter* goal = counter.Get();
    if (!goal) {
        qoAssertFailed("0");
        return;
    }
    goal->remainingCount -= 1;
    if (goal->remainingCount <= goal->nCount) goal->Complete();
}

void _goalKillCountSpawner::OnTargetSpawn(const qoEntity& spawned) {
    qoObject<_goalKillCounter> counter;
    counter.Bind(goalEntity);
    if (_goalKillCounter* goal = counter.Get()) goal->AddWatchedActor(spawned);
}
