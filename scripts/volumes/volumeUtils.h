// Volume utilities: classes that designers put on volume entities. They react to the host's
// OnEnter and OnExit (and some to OnActivate): notify other entities, watch the weapon of the
// players inside, push whatever stands inside, remember where players last stood safely, and
// switch ambient speakers on and off.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class util_volumeNotify : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_volumeNotify, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(onEnterEvents, "Ctrl + J linked list of entities to activate onEnter"),
                  QO_PROPERTY(onExitEvents, "Ctrl + J linked list of entities to activate onExit"))
    QO_EDITOR(
        "foreach listItem in onEnterEvents { targetLine { target = listItem.target; color = yellow; showAlways = true; } }",
        "foreach listItem in onExitEvents { targetLine { target = listItem.target; color = orange; showAlways = true; } }",
        "linkActionList { entityPtrs = onEnterEvents[x].target; actionName = 'Link Meta To Entity'; }",
        "linkActionList { entityPtrs = onExitEvents[x].target; actionName = 'Link Meta To Entity'; }")
    QO_EVENTS("OnEnter", "OnExit")

public:
    struct notifyList_t {
        QO_STRUCT(util_volumeNotify, notifyList_t)
        QO_PROPERTIES(QO_PROPERTY(target), QO_PROPERTY(delay))

        qoEntity target;
        float delay = 0.0f;  // seconds

        bool operator==(const notifyList_t& o) const { return target == o.target && delay == o.delay; }
    };
    QO_TYPES(notifyList_t)

    void OnEnter(const qoEntity& entity) override;
    void OnExit(const qoEntity& entity) override;
    // Thread "EventHelper": waits the row's delay, then activates its target.
    void EventHelper(float delay, qoEntity target, qoEntity activator);

    qoList<notifyList_t> onEnterEvents;
    qoList<notifyList_t> onExitEvents;

private:
    void Notify(const qoList<notifyList_t>& rows, const qoEntity& player);
};

class util_volumeCheckEquipedWeapon : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_volumeCheckEquipedWeapon, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(triggerOnce, "If true this volume will only trigger targets once."),
                  QO_PROPERTY(equipedWeapon, "The weapon decl string to check against."))
    QO_EVENTS("OnEnter", "OnExit")

public:
    // The first player in runs the watch loop until the last one has left.
    void OnEnter(const qoEntity& entity) override;
    void OnExit(const qoEntity& entity) override;

    bool triggerOnce = false;
    qoString equipedWeapon;
    bool hasTriggered = false;
    qoList<qoEntity> players;
};

class util_volumePush : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_volumePush, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(pushDirection, "Direction & speed to push per second"))
    QO_EDITOR("arrow3D { endPoint = pushDirection; dragEditable; color = yellow; showAlways = true; }")
    QO_EVENTS("OnEnter", "OnExit")
    QO_FUNCTIONS(QO_FUNCTION(PushHelper))

public:
    void OnEnter(const qoEntity& entity) override;
    void OnExit(const qoEntity& entity) override;
    // Thread "PushHelper": moves every pushee by pushDirection per second while any is inside.
    void PushHelper();

    qoVector pushDirection;
    qoList<qoEntity> pushees;
    bool pushing = false;
};

class util_volumePlayerFallZone : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_volumePlayerFallZone, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(falldamage))
    QO_DECLS(QO_DECL(falldamage, "damage/code_referenced/softfall"))
    QO_EVENTS("OnEnter", "OnExit", "OnActivate")

public:
    // The first player in runs the sampling loop until the last one has left.
    void OnEnter(const qoEntity& entity) override;
    void OnExit(const qoEntity& entity) override;
    // Returns a fallen player to where he last stood on the ground, then hurts him.
    void OnActivate(const qoEntity& activator) override;

    const kvDeclDamage* falldamage = nullptr;
    qoList<qoVector> safePositions;  // parallel to players
    qoList<float> safeYaws;          // parallel to players
    qoList<qoEntity> players;
};

class util_volumeAmbientMonsterSounds : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_volumeAmbientMonsterSounds, kvQuorinObject)
    QO_EVENTS("OnEnter", "OnExit", "OnActivate")

public:
    void Init() override;
    void OnEnter(const qoEntity& entity) override;
    void OnExit(const qoEntity& entity) override;
    // Switches the speakers off for good.
    void OnActivate(const qoEntity& activator) override;

    bool disabled = false;
    qoList<qoEntity> speakers;
};

static_assert(sizeof(util_volumeNotify::notifyList_t) == 8);
static_assert(offsetof(util_volumeNotify::notifyList_t, delay) == 4);
static_assert(offsetof(util_volumeNotify, onEnterEvents) == 16);
static_assert(offsetof(util_volumeNotify, onExitEvents) == 40);
static_assert(sizeof(util_volumeNotify) == 64);
static_assert(offsetof(util_volumeCheckEquipedWeapon, triggerOnce) == 16);
static_assert(offsetof(util_volumeCheckEquipedWeapon, equipedWeapon) == 24);
static_assert(offsetof(util_volumeCheckEquipedWeapon, hasTriggered) == 48);
static_assert(offsetof(util_volumeCheckEquipedWeapon, players) == 56);
static_assert(sizeof(util_volumeCheckEquipedWeapon) == 80);
static_assert(offsetof(util_volumePush, pushDirection) == 16);
static_assert(offsetof(util_volumePush, pushees) == 32);
static_assert(offsetof(util_volumePush, pushing) == 56);
static_assert(sizeof(util_volumePush) == 64);
static_assert(offsetof(util_volumePlayerFallZone, falldamage) == 16);
static_assert(offsetof(util_volumePlayerFallZone, safePositions) == 24);
static_assert(offsetof(util_volumePlayerFallZone, safeYaws) == 48);
static_assert(offsetof(util_volumePlayerFallZone, players) == 72);
static_assert(sizeof(util_volumePlayerFallZone) == 96);
static_assert(offsetof(util_volumeAmbientMonsterSounds, disabled) == 16);
static_assert(offsetof(util_volumeAmbientMonsterSounds, speakers) == 24);
static_assert(sizeof(util_volumeAmbientMonsterSounds) == 48);
