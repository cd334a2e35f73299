// Small scripts attached to monsters, each driving it through the host's latent actions:
//
//   zombie_sleep               lies asleep until activated or damaged, then wakes once
//   ai_activateOnDamageAmount  activates entities once health falls below a share of the start
//   ai_follow_entity           keeps within a distance of the entity an event names
//   ai_followPath              walks its path points once, in order
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

#define QO_ENUM_VALUES_zombie_sleep_sleepAnims_t(X) X(ASLEEP1, 0) X(ASLEEP2, 1) X(ASLEEP3, 2)

class zombie_sleep : public kvQuorinObject {
    QO_SCRIPT_CLASS(zombie_sleep, kvQuorinObject)
    QO_ENUM(sleepAnims_t, 0, QO_ENUM_VALUES_zombie_sleep_sleepAnims_t)
    QO_PROPERTIES(QO_PROPERTY(animation), QO_PROPERTY(activeUponWakeup))
    QO_EDITOR("foreach listItem in activeUponWakeup { targetLine { target = listItem; color = orange; } }",
              "linkActionList { entityPtrs = activeUponWakeup[ x ]; actionName = 'Link activeUponWakeup'; }")
    QO_EVENTS("OnActivate", "OnDamage")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    void OnDamage(const qoEntity& attacker, float amount) override;

    sleepAnims_t animation = ASLEEP1;
    qoList<qoEntity> activeUponWakeup;
    bool awake = false;
    qoString sleepAnim;
    qoString wakeAnim;
};

class ai_activateOnDamageAmount : public kvQuorinObject {
    QO_SCRIPT_CLASS(ai_activateOnDamageAmount, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(entsToActivate),
                  QO_PROPERTY(healthPercent, "health percent needed to reach to activate ents"))
    QO_EVENTS("OnDamage")

public:
    void Init() override;
    void OnDamage(const qoEntity& attacker, float amount) override;

    qoList<qoEntity> entsToActivate;
    float healthPercent = 0.0f;
    float startHealth = 0.0f;  // read when Init runs
    bool fired = false;
};

class ai_follow_entity : public kvQuorinObject {
    QO_SCRIPT_CLASS(ai_follow_entity, kvQuorinObject)
    QO_EVENTS("OnActivateAIFollowEntity")
    QO_FUNCTIONS(QO_FUNCTION(CheckDistFromEntity))

public:
    void OnActivateAIFollowEntity(const qoEntity& target, float distance) override;
    // Thread: while the target exists, walks toward it whenever it is farther than the distance.
    void CheckDistFromEntity();

    qoEntity followTarget;
    float followDistance = 0.0f;
    float followDistanceSq = 0.0f;
};

class ai_followPath : public kvQuorinObject {
    QO_SCRIPT_CLASS(ai_followPath, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(pathEnts))

public:
    void Init() override;

    qoList<qoEntity> pathEnts;
};

static_assert(offsetof(zombie_sleep, activeUponWakeup) == 24);
static_assert(offsetof(zombie_sleep, awake) == 48);
static_assert(offsetof(zombie_sleep, sleepAnim) == 56);
static_assert(offsetof(zombie_sleep, wakeAnim) == 80);
static_assert(offsetof(ai_activateOnDamageAmount, healthPercent) == 40);
static_assert(offsetof(ai_activateOnDamageAmount, fired) == 48);
static_assert(offsetof(ai_follow_entity, followDistanceSq) == 24);
static_assert(offsetof(ai_followPath, pathEnts) == 16);
