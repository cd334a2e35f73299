// Trigger utilities: small classes that designers put on trigger entities, or on entities that
// triggers activate. They enable and disable triggers, push players on a moving platform and AI
// by velocity, fire targets as an expanding pulse, teleport, ragdoll or animate the activator.
// The look-at, visibility and berserk triggers, which need entity flags, are in
// scripts/triggers/triggerWatchers.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class util_triggerEnable : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerEnable, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(disableList), QO_PROPERTY(enableList))
    QO_EDITOR(
        "foreach listItem in disableList { targetLine { target = listItem; color = dkgrey; showAlways = true; } }",
        "foreach listItem in disableList { targetLine { target = listItem; color = red; showAlways = false; } }",
        "foreach listItem in enableList { targetLine { target = listItem; color = dkgrey; showAlways = true; } }",
        "foreach listItem in enableList { targetLine { target = listItem; color = green; showAlways = false; } }",
        "linkActionList { entityPtrs = enableList[x]; actionName = 'Link to Enable List'; "
        "stopLinkActionProcessingAfterThisEntity; allowedType = 'kvTrigger'; associatedHotKey = CTRL_J; }",
        "entityTypeRestriction { path = 'enableList[x]'; allowedType = 'kvTrigger'; }",
        "linkActionList { entityPtrs = disableList[x]; actionName = 'Link to Disable List'; "
        "stopLinkActionProcessingAfterThisEntity; allowedType = 'kvTrigger'; associatedHotKey = CTRL_J; }",
        "entityTypeRestriction { path = 'disableList[x]'; allowedType = 'kvTrigger'; }")
    QO_EVENTS("OnActivate")

public:
    // One frame later: Enable every entity of enableList, then Disable every one of disableList.
    void OnActivate(const qoEntity& activator) override;

    qoList<qoEntity> disableList;
    qoList<qoEntity> enableList;
};

class util_triggerPush : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerPush, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(force, "How much force (units/sec) to apply each push."),
                  QO_PROPERTY(pushDirection),
                  QO_PROPERTY(pushPlatform, "Mover for carrying the player"),
                  QO_PROPERTY(endpoint1, "Endpoint for determining slope when positioning the mover"),
                  QO_PROPERTY(endpoint2, "Endpoint for determining slope when positioning the mover"))
    QO_EDITOR("arrow3D { endPoint = pushDirection; dragEditable; color = yellow; showAlways = true; }")
    QO_EVENTS("OnActivate")
    QO_FUNCTIONS(QO_FUNCTION(Update))

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    // Hides the platform once no push came for 133 ms.
    void Update();

    float force = 128.0f;
    qoVector pushDirection{0.0f, 64.0f, 0.0f};
    qoEntity pushPlatform;
    qoEntity endpoint1;
    qoEntity endpoint2;
    uint32_t pad0 = 0;
    bool pushEnabled = true;
    uint8_t pad1[11] = {};
    int32_t lastPushTime = 0;  // game milliseconds of the last push
};

class util_triggerPushEnable : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerPushEnable, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(targetPushTrigger, "The push trigger to modify"), QO_PROPERTY(enable))
    QO_EDITOR(
        "targetLine { target = targetPushTrigger; color = yellow; showAlways = true; }",
        "string { string = 'Enable Push:'; color = white; offset = ( 15 0 0 ); showAlways = true; }",
        "string { string = va( '%d', enable ); color = yellow; offset = ( 15 -8 0 ); showAlways = true; }")
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoEntity targetPushTrigger;
    bool enable = false;
};

class util_triggerPulse : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerPulse, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(speed))
    QO_EVENTS("OnActivate")

public:
    struct targetList_t {
        QO_STRUCT(util_triggerPulse, targetList_t)
        QO_PROPERTIES(QO_PROPERTY(ent), QO_PROPERTY(distance))

        qoEntity ent;
        float distance = 0.0f;

        bool operator==(const targetList_t& o) const { return ent == o.ent && distance == o.distance; }
    };
    QO_TYPES(targetList_t)

    // Sorts the existing targets by their distance from the entity (nearest first).
    void Init() override;
    // Grows radius by speed each second, firing at most one target per frame.
    void OnActivate(const qoEntity& activator) override;

    float speed = 0.0f;  // units per second
    qoList<targetList_t> targets;
    float radius = 0.0f;
};

class util_triggerTeleport : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerTeleport, kvQuorinObject)
    QO_EVENTS("OnTrigger")

public:
    // Moves the activator to the first target, facing as it faces.
    void OnTrigger(const qoEntity& activator) override;
};

class util_triggerRagdoll : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerRagdoll, kvQuorinObject)
    QO_EVENTS("OnTrigger")

public:
    void OnTrigger(const qoEntity& activator) override;
};

class util_triggerForceAnim : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerForceAnim, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(animName, "sub-web/animnode, i.e. death/death"),
                  QO_PROPERTY(isDeathAnim, "kill the ai yes/no"))
    QO_EVENTS("OnTrigger")

public:
    void OnTrigger(const qoEntity& activator) override;

    qoString animName;
    bool isDeathAnim = false;
};

class util_nodeModifierTrigger : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_nodeModifierTrigger, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(nodeState, "The state to apply to the attached nodes when this trigger is hit."))
    QO_EVENTS("OnActivate", "OnTrigger")

public:
    void OnTrigger(const qoEntity& activator) override;
    // Collects the attached action nodes; nodeState is applied to none of them.
    void OnActivate(const qoEntity& activator) override;

    bool nodeState = false;
};

class util_removeActorOnTriggerTouched : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_removeActorOnTriggerTouched, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(killActor, "Kill the actor versus directly removing them."),
                  QO_PROPERTY(onlyRemoveIfHidden, "Only kill/remove the actor if they are not visible (by a simple LoS check)."),
                  QO_PROPERTY(runCheckReplenishment, "If the removed actor was part of a squad, tell that squad to replenish."))

public:
    bool killActor = false;
    bool onlyRemoveIfHidden = false;
    bool runCheckReplenishment = false;
    uint8_t pad0[13] = {};  // the class keeps its published size
};

static_assert(offsetof(util_triggerEnable, disableList) == 16);
static_assert(offsetof(util_triggerEnable, enableList) == 40);
static_assert(sizeof(util_triggerEnable) == 64);
static_assert(offsetof(util_triggerPush, force) == 16);
static_assert(offsetof(util_triggerPush, pushDirection) == 20);
static_assert(offsetof(util_triggerPush, pushPlatform) == 32);
static_assert(offsetof(util_triggerPush, endpoint1) == 36);
static_assert(offsetof(util_triggerPush, endpoint2) == 40);
static_assert(offsetof(util_triggerPush, pushEnabled) == 48);
static_assert(offsetof(util_triggerPush, lastPushTime) == 60);
static_assert(sizeof(util_triggerPush) == 64);
static_assert(offsetof(util_triggerPushEnable, targetPushTrigger) == 16);
static_assert(offsetof(util_triggerPushEnable, enable) == 20);
static_assert(sizeof(util_triggerPushEnable) == 24);
static_assert(offsetof(util_triggerPulse::targetList_t, distance) == 4);
static_assert(sizeof(util_triggerPulse::targetList_t) == 8);
static_assert(offsetof(util_triggerPulse, speed) == 16);
static_assert(offsetof(util_triggerPulse, targets) == 24);
static_assert(offsetof(util_triggerPulse, radius) == 48);
static_assert(sizeof(util_triggerPulse) == 56);
static_assert(sizeof(util_triggerTeleport) == 16);
static_assert(sizeof(util_triggerRagdoll) == 16);
static_assert(offsetof(util_triggerForceAnim, animName) == 16);
static_assert(offsetof(util_triggerForceAnim, isDeathAnim) == 40);
static_assert(sizeof(util_triggerForceAnim) == 48);
static_assert(offsetof(util_nodeModifierTrigger, nodeState) == 16);
static_assert(sizeof(util_nodeModifierTrigger) == 24);
static_assert(offsetof(util_removeActorOnTriggerTouched, runCheckReplenishment) == 18);
static_assert(sizeof(util_removeActorOnTriggerTouched) == 32);
