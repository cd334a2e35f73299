// Player state actions: one-shot designer tools that act, when their entity is activated, on the
// player (player1 of the world utility), on the activator, or on their own entity's targets.
// Only player_PlayBodyReaction has an Init of its own and only restrictPlayerInput runs a thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/qoList.h"
#include "object/qoClass.h"
#include "runtime/qoEnums.h"

class enableFPHands : public kvQuorinObject {
    QO_SCRIPT_CLASS(enableFPHands, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(enableHands))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    bool enableHands = true;
};

class enableFPHandsAndHUD : public kvQuorinObject {
    QO_SCRIPT_CLASS(enableFPHandsAndHUD, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(enableHands))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    bool enableHands = true;
};

class intro_ForceIntroBringup : public kvQuorinObject {
    QO_SCRIPT_CLASS(intro_ForceIntroBringup, kvQuorinObject)
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
};

class intro_ForceIntroAccentBringup : public kvQuorinObject {
    QO_SCRIPT_CLASS(intro_ForceIntroAccentBringup, kvQuorinObject)
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
};

class intro_ForceOskelHands : public kvQuorinObject {
    QO_SCRIPT_CLASS(intro_ForceOskelHands, kvQuorinObject)
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
};

class setIntroHUDState : public kvQuorinObject {
    QO_SCRIPT_CLASS(setIntroHUDState, kvQuorinObject)
    QO_ENUM(introHUDState_t, 0, QO_ENUM_VALUES_setIntroHUDState_introHUDState_t)
    QO_PROPERTIES(QO_PROPERTY(hudState, "The HUD state desired"))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    introHUDState_t hudState = INTRO_HUD_FULL;
};

class setPlayerHealth : public kvQuorinObject {
    QO_SCRIPT_CLASS(setPlayerHealth, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(newHealthValue))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    float newHealthValue = 100.0f;
};

class setPlayerNoDeath : public kvQuorinObject {
    QO_SCRIPT_CLASS(setPlayerNoDeath, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(enableNoDeath))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    bool enableNoDeath = false;
};

class setSuperMeterState : public kvQuorinObject {
    QO_SCRIPT_CLASS(setSuperMeterState, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(infinite))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    bool infinite = false;  // not read
};

// The obstacle switches: SetEnabledState on each target that is an AAS obstacle.
class turnAASObstaclesOn : public kvQuorinObject {
    QO_SCRIPT_CLASS(turnAASObstaclesOn, kvQuorinObject)
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    qoList<qoEntity> obstacles;  // filled and freed by each activation
};

class turnAASObstaclesOff : public kvQuorinObject {
    QO_SCRIPT_CLASS(turnAASObstaclesOff, kvQuorinObject)
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    qoList<qoEntity> obstacles;
};

class restrictPlayerInput : public kvQuorinObject {
    QO_SCRIPT_CLASS(restrictPlayerInput, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(limitTurningOnly), QO_PROPERTY(lookAtEnt),
                  QO_PROPERTY(turnLimitingStrength, "0.0 (minimum) to 1.0 (maximum)"),
                  QO_PROPERTY(bindPlayerToEntity))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    // Turns player1 toward lookAtEnt every frame while it exists and the restriction is on.
    void TrackEntityLoop();

    bool limitTurningOnly = false;
    qoEntity lookAtEnt;
    float turnLimitingStrength = 1.0f;
    qoEntity bindPlayerToEntity;
    bool active = false;
};

class player_PlayBodyReaction : public kvQuorinObject {
    QO_SCRIPT_CLASS(player_PlayBodyReaction, kvQuorinObject)
    QO_PROPERTIES(
        QO_PROPERTY(reactionName,
                    "Name of body reaction ( list found in player.decl under playerBodyReactionData )"),
        QO_PROPERTY(num, "Number of times this reaction can be triggered ( -1 = infinite );"))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    qoString reactionName;
    int32_t num = 1;
};

class util_playBodyReaction : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_playBodyReaction, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(anim_name))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    qoString anim_name;
};

class util_bindPlayerToSelf : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_bindPlayerToSelf, kvQuorinObject)
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    bool bound = false;
};

class player_teleport : public kvQuorinObject {
    QO_SCRIPT_CLASS(player_teleport, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(playerDestination))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    qoEntity playerDestination;
    qoVector destinationOrigin;  // as last read
    qoVector destinationAngles;
};

class doors_setLockState : public kvQuorinObject {
    QO_SCRIPT_CLASS(doors_setLockState, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(isLocked))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    bool isLocked = true;
};

class elevators_setPauseState : public kvQuorinObject {
    QO_SCRIPT_CLASS(elevators_setPauseState, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(isPaused))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    bool isPaused = true;
};

class security_giveSecurityClearance : public kvQuorinObject {
    QO_SCRIPT_CLASS(security_giveSecurityClearance, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(unlockDecl))
    QO_DECLS(QO_DECL(unlockDecl, ""))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    const kvDeclSecurityUnlock* unlockDecl = nullptr;
};

static_assert(sizeof(enableFPHands) == 24);
static_assert(offsetof(setIntroHUDState, hudState) == 16);
static_assert(offsetof(setPlayerHealth, newHealthValue) == 16);
static_assert(offsetof(turnAASObstaclesOn, obstacles) == 16);
static_assert(sizeof(turnAASObstaclesOff) == 40);
static_assert(offsetof(restrictPlayerInput, lookAtEnt) == 20);
static_assert(offsetof(restrictPlayerInput, turnLimitingStrength) == 24);
static_assert(offsetof(restrictPlayerInput, bindPlayerToEntity) == 28);
static_assert(offsetof(restrictPlayerInput, active) == 32);
static_assert(offsetof(player_PlayBodyReaction, num) == 40);
static_assert(offsetof(util_bindPlayerToSelf, bound) == 16);
static_assert(offsetof(player_teleport, destinationOrigin) == 20);
static_assert(offsetof(player_teleport, destinationAngles) == 32);
static_assert(sizeof(player_teleport) == 48);
static_assert(offsetof(security_giveSecurityClearance, unlockDecl) == 16);
