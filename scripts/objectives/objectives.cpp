#include "scripts/objectives/objectives.h"

#include "hostcalls/qoObjectRef.h"
#include "core/qoVector.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/flags/util_entityFlag.h"

namespace {

constexpr char kObjectiveComplete[] = "ObjectiveComplete";
constexpr char kTargetComplete[] = "ObjectiveTargetComplete";
constexpr char kObjectiveText[] = "ObjectiveText";
constexpr float kNpcMarkerHeight = 110.0f;  // a target bound to an NPC floats this far above it

objectiveTarget* TargetOn(const qoEntity& e) {
    qoObject<objectiveTarget> target;
    target.Bind(e);
    return target.Get();
}

void ShowObjectiveText(const qoEntity& player, const qoString& message) {
    player.CreateHUDElement(kObjectiveText);
    player.SetHUDElementText(kObjectiveText, message);
    player.SetHUDElementTextScale(kObjectiveText, 0.5f);
    player.SetHUDElementTextAlignment(kObjectiveText, 0);
    player.SetHUDElementPosition(kObjectiveText, 32.0f, 300.0f, 0.0f, 0.0f);
    player.SetHUDElementColor(kObjectiveText, 0.75f, 0.75f, 1.0f, 1.0f);
    player.ShowHUDElement(kObjectiveText, true);
}

}  // namespace

// ---- objectiveManager ---------------------------------------------------------------------------

void objectiveManager::Init() {
    qoBindWorldUtil();
    qoUtil::DefineFlag(entity, kObjectiveComplete);
    qoWaitFrame();
    if (fNextObjDelay < kMinNextObjectiveDelay) fNextObjDelay = kMinNextObjectiveDelay;

    const int32_t count = entity.NumTargets();
    for (int32_t i = 0; i < count; ++i) {
        const qoEntity e = entity.GetTarget(i);
        if (!e.IsValid()) continue;
        if (objectiveTarget* target = TargetOn(e)) {
            target->ownerObjective = entity;
            objectiveTargets.Append(e);
            continue;
        }
        qoObject<objectiveManager> next;
        next.Bind(e);
        if (next.Get() && !nextObjective.IsValid()) nextObjective = e;
    }
    qoHudLayoutWidth = 1680.0f;
    qoHudLayoutHeight = 1050.0f;
}

void objectiveManager::OnActivate(const qoEntity&) {
    const qoEntity player = qoGetPlayer1();
    if (bPlayNewSound) player.StartSoundShader(sNewSound, 0);
    for (int i = 0; i < objectiveTargets.Num();) {
        const qoEntity e = objectiveTargets[i];
        objectiveTarget* target = TargetOn(e);
        if (!target) {
            objectiveTargets.RemoveIndex(i);
            continue;
        }
        if (target->bPlaySndActivate) player.StartSoundShader(target->sActivateSound, 0);
        if (!target->eTargetNPCName.IsEmpty()) {
            const qoEntity npc(target->eTargetNPCName);
            if (npc.IsValid()) {
                e.SetWorldOrigin(npc.GetWorldOrigin() + qoVector{0.0f, 0.0f, kNpcMarkerHeight});
                e.Bind(npc);
            }
        }
        if (i == 0) ShowObjectiveText(player, sMessage);
        ++i;
    }
}

void objectiveManager::CheckComplete() {
    const qoEntity player = qoGetPlayer1();
    for (int i = 0; i < objectiveTargets.Num();) {
        const qoEntity e = objectiveTargets[i];
        objectiveTarget* target = TargetOn(e);
        if (!target) {
            objectiveTargets.RemoveIndex(i);
        } else if (qoUtil::IsFlagSet(e, kTargetComplete)) {
            if (target->bPlaySndComplete) player.StartSoundShader(target->sCompleteSound, 0);
            objectiveTargets.RemoveIndex(i);
        } else {
            ++i;
        }
    }
    if (objectiveTargets.Num() != 0 || qoUtil::IsFlagSet(entity, kObjectiveComplete)) return;
    qoUtil::SetFlag(entity, kObjectiveComplete, 0.0f);
    player.DestroyHUDElement(kObjectiveText);
    // Nothing of this object is read after the wait: it may be gone by then.
    const qoEntity self = entity;
    const qoEntity next = nextObjective;
    if (!next.IsValid()) return;
    qoWait(fNextObjDelay);
    next.Activate(self);
}

// ---- objectiveTarget ----------------------------------------------------------------------------

void objectiveTarget::Init() {
    qoBindWorldUtil();
    qoUtil::DefineFlag(entity, kTargetComplete);
}

void objectiveTarget::OnActivate(const qoEntity&) {
    qoUtil::SetFlag(entity, kTargetComplete, 0.0f);
    if (!ownerObjective.IsValid()) return;
    qoObject<objectiveManager> manager;
    manager.Bind(ownerObjective, 1);
    manager.Call(&objectiveManager::CheckComplete);
}
