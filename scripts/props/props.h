// Props the player meets: prop_UsableProp makes an entity usable, records the use as the
// entity flag "PropUsed" and calls a script function; prop_facePlayer keeps an entity turned
// toward the player; playerFacingRotate spins and bobs a pickup, keeps its front toward the
// player and works as a one-shot relay when picked up or activated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class prop_UsableProp : public kvQuorinObject {
    QO_SCRIPT_CLASS(prop_UsableProp, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(call, "Call this script function when the item is used."),
                  QO_PROPERTY(requireActivation, "Object needs to be activated before is can be interacted with"),
                  QO_PROPERTY(useOnce, "Deactivate after used"))
    QO_EVENTS("OnActivate", "OnUse")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    void OnUse(const qoEntity& user) override;

    qoString call;
    bool requireActivation = false;
    bool useOnce = true;
    bool used = false;
};

class prop_facePlayer : public kvQuorinObject {
    QO_SCRIPT_CLASS(prop_facePlayer, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(clampZAxis, "Clamp pitching for the prop"),
                  QO_PROPERTY(useViewAngles, "Use view angles rather than the direction vector between the prop and player"))
    QO_FUNCTIONS(QO_FUNCTION(Update))

public:
    void Init() override;
    void Update();

    bool clampZAxis = true;
    bool useViewAngles = false;
};

class playerFacingRotate : public kvQuorinObject {
    QO_SCRIPT_CLASS(playerFacingRotate, kvQuorinObject)
    QO_COMMENT("Place this on an entity to make it flip 180 degrees if the player looks behind it. "
               "Optionally a yawRate can be supplied to make the entity spin while preserving the "
               "above behavior. Acts as a simple relay and removes itself when triggered")
    QO_PROPERTIES(
        QO_PROPERTY(yawRate, "Degrees per second"),
        QO_PROPERTY(bobOffset, "Vertical bob distance"),
        QO_PROPERTY(bobTimeScale, "Scale bob speed"),
        QO_PROPERTY(pickupRadius, "Set less than zero to disable player pickup"),
        QO_PROPERTY(removeDelay, "Seconds to wait before removing entity when triggered"),
        QO_PROPERTY(alwaysFacePlayer, "Model will flip 180 to prevent showing its back to player"),
        QO_PROPERTY(debugText, "Show debug text"),
        QO_PROPERTY(pickupSound, "Plays when entity is triggered. Should play out before removeDelay is complete else will be clipped"))
    QO_DECLS(QO_DECL(pickupSound, ""))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    float removeTime = 0.0f;  // game seconds after which the triggered entity goes
    bool triggered = false;
    float yawRate = 90.0f;
    float bobOffset = 8.0f;
    float bobTimeScale = 1.0f;
    float pickupRadius = 70.0f;
    float removeDelay = 1.0f;
    bool alwaysFacePlayer = true;
    bool debugText = false;
    const kvSoundShader* pickupSound = nullptr;
};

// The angles (pitch, yaw, roll in degrees) of a direction: yaw from atan2 in [0, 360), pitch
// negative when looking up, roll 0.
qoVector qoDirectionToAngles(const qoVector& direction);

static_assert(offsetof(prop_UsableProp, call) == 16);
static_assert(offsetof(prop_UsableProp, requireActivation) == 40);
static_assert(offsetof(prop_UsableProp, useOnce) == 41);
static_assert(offsetof(prop_UsableProp, used) == 42);
static_assert(sizeof(prop_UsableProp) == 48);
static_assert(offsetof(prop_facePlayer, clampZAxis) == 16);
static_assert(offsetof(prop_facePlayer, useViewAngles) == 17);
static_assert(sizeof(prop_facePlayer) == 24);
static_assert(offsetof(playerFacingRotate, removeTime) == 16);
static_assert(offsetof(playerFacingRotate, triggered) == 20);
static_assert(offsetof(playerFacingRotate, yawRate) == 24);
static_assert(offsetof(playerFacingRotate, pickupRadius) == 36);
static_assert(offsetof(playerFacingRotate, alwaysFacePlayer) == 44);
static_assert(offsetof(playerFacingRotate, debugText) == 45);
static_assert(offsetof(playerFacingRotate, pickupSound) == 48);
static_assert(sizeof(playerFacingRotate) == 56);
