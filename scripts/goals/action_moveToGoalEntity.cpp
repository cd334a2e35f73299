#include "scripts/goals/action_moveToGoalEntity.h"

#include "object/qoThreads.h"

namespace {

constexpr int32_t kAlertCycleCombat = 3;
constexpr int32_t kWalkStateRun = 2;
constexpr float kMoveToEntityRadius = 16.0f;

void PrintLine(const char* text) { qoSys->Printf("%s\n", text); }

bool IsSet(const qoEntity& e) { return e.handle != 0 && e.IsValid(); }

}  // namespace

void action_moveToGoalEntity::OnActivate(const qoEntity&) {
    PrintLine("Actor sent to goal");
    if (!IsSet(actor) || !IsSet(goal)) {
        PrintLine("Actor or goal is not valid");
        return;
    }
    actor.SetAlertCycle(kAlertCycleCombat);
    actor.Action_SetWalkState(kWalkStateRun);
    qoWaitFrame();
    if (moveToPoint) {
        const qoVector point = goal.GetOrigin();
        const qoVector forward = goal.GetSpawnAxisForward();
        actor.Action_MoveToPoint(point, 1, 1.0f, useAlignment, forward);
    } else {
        actor.Action_MoveToEntity(goal, 0, kMoveToEntityRadius, false, qoVector{});
    }
    if (activationEntity.IsValid()) activationEntity.Activate(entity);
    for (int i = 0; i < activationList.Num(); ++i) {
        const qoEntity target = activationList[i];
        if (target.IsValid()) target.Activate(actor);
    }
    PrintLine("Actor reached goal");
}
