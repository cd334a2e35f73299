#include "scripts/ai/monsterScripts.h"

#include "core/qoVector.h"
#include "object/qoThreads.h"

namespace {

constexpr float kFollowMargin = 4.0f;        // added to the distance and the monster's half width
constexpr float kFollowWalkSeconds = 5.0f;   // given to a walk toward the target before checking
constexpr float kStoppedSpeedSqr = 4.0f;     // below this squared speed the monster has stopped
constexpr float kPathStartDelay = 0.25f;     // seconds before a path walk starts

bool Exists(const qoEntity& e) { return e.handle != 0 && e.IsValid(); }

void ActivateAll(const qoList<qoEntity>& entities, const qoEntity& activator) {
    for (const qoEntity& e : entities)
        if (Exists(e)) e.Activate(activator);
}

}  // namespace

// ---- zombie_sleep -----------------------------------------------------------------------------

void zombie_sleep::Init() {
    static constexpr const char* kAnims[][2] = {
        {"spawn/asleep1", "spawn/wake1"}, {"spawn/asleep2", "spawn/wake2"}, {"spawn/asleep3", "spawn/wake3"}};
    const int pair = animation >= ASLEEP1 && animation <= ASLEEP3 ? animation : ASLEEP1;
    sleepAnim = kAnims[pair][0];
    wakeAnim = kAnims[pair][1];
    entity.EnablePain(false);
    entity.Action_LoopAnim(sleepAnim, -1);
}

void zombie_sleep::OnActivate(const qoEntity&) {
    if (awake) return;
    awake = true;
    ActivateAll(activeUponWakeup, entity);
    entity.EndCurrentScriptAction();
    entity.Action_WaitForAnimVia(wakeAnim, "hands_combat/idle");
    entity.EnablePain(true);
}

void zombie_sleep::OnDamage(const qoEntity&, float) { entity.Activate(entity); }

// ---- ai_activateOnDamageAmount ----------------------------------------------------------------

void ai_activateOnDamageAmount::Init() { startHealth = entity.GetHealth(); }

void ai_activateOnDamageAmount::OnDamage(const qoEntity&, float) {
    if (fired) return;
    const float percent = entity.GetHealth() / startHealth * 100.0f;
    if (!(healthPercent > percent)) return;
    fired = true;
    ActivateAll(entsToActivate, entity);
}

// ---- ai_follow_entity -------------------------------------------------------------------------

void ai_follow_entity::OnActivateAIFollowEntity(const qoEntity& target, float distance) {
    followTarget = target;
    followDistance = distance + entity.GetMaxs().x + kFollowMargin;
    followDistanceSq = followDistance * followDistance;
    QO_THREAD(CheckDistFromEntity);
}

void ai_follow_entity::CheckDistFromEntity() {
    while (Exists(followTarget)) {
        const qoVector p = followTarget.GetOrigin();
        if (qoLengthSqr(p - entity.GetOrigin()) > followDistanceSq) {
            entity.SetGoalPosition(p, followDistance, true);
            qoWait(kFollowWalkSeconds);
            while (qoLengthSqr(p - entity.GetOrigin()) > followDistanceSq &&
                   qoLengthSqr(entity.GetLinearVelocity()) >= kStoppedSpeedSqr)
                qoWaitFrame();
        }
        qoWaitFrame();
    }
}

// ---- ai_followPath ----------------------------------------------------------------------------

void ai_followPath::Init() {
    qoWait(kPathStartDelay);
    entity.SetScriptAbort(false, false);
    entity.ClearAimFocus();
    entity.ClearLookFocus();
    for (int i = 0; i < pathEnts.Num(); ++i)
        if (Exists(pathEnts[i])) entity.Action_MoveToPathPoint(pathEnts[i]);
}
