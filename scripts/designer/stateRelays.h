// State-change relays: a hackable control panel's or a turret's state changes activate the
// entities a designer picked, one property per event.
#pragma once

#include <cstddef>

#include "object/qoClass.h"

#define QO_STATE_TARGET_LINE(member) \
    "targetLine { target = " #member "; color = orange; showAlways = true; }"

class control_ActivateEntityOnStateChange : public kvQuorinObject {
    QO_SCRIPT_CLASS(control_ActivateEntityOnStateChange, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(activatedEntity), QO_PROPERTY(deactivatedEntity),
                  QO_PROPERTY(hackFailedEntity), QO_PROPERTY(hackSucceededEntity))
    QO_EDITOR(QO_STATE_TARGET_LINE(activatedEntity), QO_STATE_TARGET_LINE(deactivatedEntity),
              QO_STATE_TARGET_LINE(hackFailedEntity), QO_STATE_TARGET_LINE(hackSucceededEntity))
    QO_EVENTS("OnControlActivated", "OnControlDeactivated", "OnHackFailed", "OnHackSucceeded")

public:
    void OnControlActivated(const qoEntity& by) override;
    void OnControlDeactivated(const qoEntity& by) override;
    void OnHackFailed(const qoEntity& by) override;
    void OnHackSucceeded(const qoEntity& by) override;

    qoEntity activatedEntity;
    qoEntity deactivatedEntity;
    qoEntity hackFailedEntity;
    qoEntity hackSucceededEntity;
};

class turret_ActivateEntityOnStateChange : public kvQuorinObject {
    QO_SCRIPT_CLASS(turret_ActivateEntityOnStateChange, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(destroyedEntity), QO_PROPERTY(poweredDownEntity),
                  QO_PROPERTY(poweredUpEntity))
    QO_EDITOR(QO_STATE_TARGET_LINE(destroyedEntity), QO_STATE_TARGET_LINE(poweredDownEntity),
              QO_STATE_TARGET_LINE(poweredUpEntity))
    QO_EVENTS("OnDestroyed", "OnPoweredDown", "OnPoweredUp")

public:
    void OnDestroyed() override;
    void OnPoweredDown() override;
    void OnPoweredUp() override;

    qoEntity destroyedEntity;
    qoEntity poweredDownEntity;
    qoEntity poweredUpEntity;
};

#undef QO_STATE_TARGET_LINE

static_assert(offsetof(control_ActivateEntityOnStateChange, activatedEntity) == 16);
static_assert(offsetof(control_ActivateEntityOnStateChange, hackSucceededEntity) == 28);
static_assert(sizeof(control_ActivateEntityOnStateChange) == 32);
static_assert(offsetof(turret_ActivateEntityOnStateChange, destroyedEntity) == 16);
static_assert(offsetof(turret_ActivateEntityOnStateChange, poweredUpEntity) == 24);
static_assert(sizeof(turret_ActivateEntityOnStateChange) == 32);
