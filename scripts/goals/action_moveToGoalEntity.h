// action_moveToGoalEntity: a one-shot action that sends an actor walking to a goal entity and
// activates a list of entities as it sets off.
#pragma once

#include <cstddef>

#include "object/qoClass.h"

class action_moveToGoalEntity : public kvQuorinObject {
    QO_SCRIPT_CLASS(action_moveToGoalEntity, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(actor, "Actor to send to the goal"),
                  QO_PROPERTY(goal, "entity to move to"),
                  QO_PROPERTY(activationEntity, "Entity to active when actor reaches the goal"),
                  QO_PROPERTY(activationList, "Entity list to active when actor reaches the goal"),
                  QO_PROPERTY(moveToPoint), QO_PROPERTY(useAlignment))
    QO_EDITOR(
        "string { string = 'Action: Move To Goal Entity'; color = yellow; offset = ( 15 0 0 ); showAlways = true; } }",
        "linkAction { entityPtr = actor; actionName = 'Link actor'; allowedType = 'kvAI2'; associatedHotKey = CTRL_J; }",
        "linkAction { entityPtr = goal; actionName = 'Link goal'; allowedType = 'kvEntity, !kvActor'; associatedHotKey = CTRL_J; }",
        "linkActionList { entityPtrs = activationList[ x ]; actionName = 'Link entities to activate'; associatedHotKey = SHIFT_J; }",
        "targetLine { target = actor; color = dkgrey; showAlways = true; }",
        "targetLine { target = actor; color = green; showAlways = false; }",
        "targetLine { target = goal; color = dkgrey; showAlways = true; }",
        "targetLine { target = goal; color = yellow; showAlways = false; }",
        "targetLine { target = activationEntity; color = dkgrey; showAlways = true; }",
        "targetLine { target = activationEntity; color = orange; showAlways = false; }",
        "foreach listItem in activationList { targetLine { target = listItem; color = dkgrey; showAlways = true; } }",
        "foreach listItem in activationList { targetLine { target = listItem; color = orange; showAlways = false; } }")
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoEntity actor;
    qoEntity goal;
    qoEntity activationEntity;
    qoList<qoEntity> activationList;
    bool moveToPoint = false;
    bool useAlignment = false;
};

static_assert(offsetof(action_moveToGoalEntity, actor) == 16);
static_assert(offsetof(action_moveToGoalEntity, activationEntity) == 24);
static_assert(offsetof(action_moveToGoalEntity, activationList) == 32);
static_assert(offsetof(action_moveToGoalEntity, moveToPoint) == 56);
static_assert(offsetof(action_moveToGoalEntity, useAlignment) == 57);
static_assert(sizeof(action_moveToGoalEntity) == 64);
