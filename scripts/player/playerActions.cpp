#include "scripts/player/playerActions.h"

#include <limits>

#include "hostcalls/qoObjectRef.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"
#include "runtime/qoWorldUtil.h"

namespace {

// Rebinds the world utility reference as Reset does, then reads player1.
qoEntity RefreshedPlayer1() {
    qoBindWorldUtil();
    return qoGetPlayer1();
}

// The own entity's targets that are set and still exist, appended to `out`.
void CollectTargets(const qoEntity& self, qoList<qoEntity>& out) {
    const int32_t count = self.NumTargets();
    for (int32_t i = 0; i < count; ++i) {
        const qoEntity target = self.GetTarget(i);
        if (target.IsValid()) out.Append(target);
    }
}

// SetEnabledState(on) on each target that is an AAS obstacle; the list is emptied afterwards.
void SwitchObstacles(const qoEntity& self, qoList<qoEntity>& obstacles, bool on) {
    qoList<qoEntity> targets;
    CollectTargets(self, targets);
    for (const qoEntity& target : targets)
        if (target.IsSpecificClass("kvAASObstacle")) obstacles.Append(target);
    for (const qoEntity& obstacle : obstacles) obstacle.SetEnabledState(on);
    obstacles.Clear();
}

}  // namespace

void enableFPHands::OnActivate(const qoEntity&) { qoGetPlayer1().EnableFPHands(enableHands); }

void enableFPHandsAndHUD::OnActivate(const qoEntity&) {
    qoGetPlayer1().EnableFPHandsAndHUD(enableHands);
}

void intro_ForceIntroBringup::OnActivate(const qoEntity&) { RefreshedPlayer1().ForceIntroBringup(); }

void intro_ForceIntroAccentBringup::OnActivate(const qoEntity&) {
    RefreshedPlayer1().ForceIntroAccentBringup();
}

void intro_ForceOskelHands::OnActivate(const qoEntity&) {
    RefreshedPlayer1().ForceOskelHandsAndBody(true);
}

void setIntroHUDState::OnActivate(const qoEntity&) {
    const qoEntity player = RefreshedPlayer1();
    switch (hudState) {
        case INTRO_HUD_OFF: player.HideHudForNone(); break;
        case INTRO_HUD_HELMET_ONLY: player.StartIntroHud(); break;
        case INTRO_HUD_CROSSHAIR_ONLY: player.SetTutorialHud1(); break;
        case INTRO_HUD_CROSSHAIR_HEALTH: player.SetTutorialHud2(); break;
        case INTRO_HUD_FULL: player.SetFullHud(); break;
        default: break;  // a value the map wrote outside the enumeration does nothing
    }
}

void setPlayerHealth::OnActivate(const qoEntity&) {
    const qoEntity player = RefreshedPlayer1();
    const float health = player.GetPlayerHealth();
    if (health > newHealthValue)
        player.DecreaseHealth(health - newHealthValue);
    else
        player.IncreaseHealth(newHealthValue - health);
}

void setPlayerNoDeath::OnActivate(const qoEntity&) { RefreshedPlayer1().NoPlayerDeath(enableNoDeath); }

void setSuperMeterState::OnActivate(const qoEntity&) {
    qoObject<qoWorldUtil> util;
    util.Bind(qoEntity("world"), qoWorldUtil::qoName, 1);
}

void turnAASObstaclesOn::OnActivate(const qoEntity&) { SwitchObstacles(entity, obstacles, true); }

void turnAASObstaclesOff::OnActivate(const qoEntity&) { SwitchObstacles(entity, obstacles, false); }

void restrictPlayerInput::OnActivate(const qoEntity&) {
    const qoEntity player = RefreshedPlayer1();
    active = !active;
    if (active) {
        QO_THREAD(TrackEntityLoop);
        if (limitTurningOnly)
            player.Bind(bindPlayerToEntity.IsValid() ? bindPlayerToEntity : entity);
        else
            player.SetForceInhibitControl(true);
    } else if (limitTurningOnly) {
        player.Unbind();
    } else {
        player.SetForceInhibitControl(false);
    }
}

void restrictPlayerInput::TrackEntityLoop() {
    while (lookAtEnt.IsValid() && active) {
        qoGetPlayer1().TrackEntity(lookAtEnt, turnLimitingStrength);
        qoWaitFrame();
    }
}

void player_PlayBodyReaction::Init() {
    if (reactionName.IsEmpty()) num = 0;
}

void player_PlayBodyReaction::OnActivate(const qoEntity&) {
    if (num == 0) return;
    // -1 counts on downward and never reaches 0; the count stops at the lowest int.
    if (num != std::numeric_limits<int32_t>::min()) --num;
    qoGetPlayer1().PlayBodyReaction(entity.GetWorldOrigin(), reactionName);
}

void util_playBodyReaction::OnActivate(const qoEntity& activator) {
    if (!activator.IsClass("kvPlayer")) return;
    activator.PlayBodyReaction(activator.GetViewAngles(true), anim_name);
}

void util_bindPlayerToSelf::OnActivate(const qoEntity&) {
    const qoEntity player("Player1");
    if (!bound)
        player.Bind(entity);
    else
        player.Unbind();
    bound = !bound;
}

void player_teleport::OnActivate(const qoEntity& activator) {
    destinationOrigin = playerDestination.GetWorldOrigin();
    destinationAngles = playerDestination.GetAngles();
    activator.Teleport(destinationOrigin, destinationAngles);
}

void doors_setLockState::OnActivate(const qoEntity&) {
    qoList<qoEntity> doors;
    CollectTargets(entity, doors);
    for (const qoEntity& door : doors) {
        door.OverrideActivateTrigger(isLocked);
        if (isLocked) door.SetActiveState(false);
    }
}

void elevators_setPauseState::OnActivate(const qoEntity&) {
    qoList<qoEntity> elevators;
    CollectTargets(entity, elevators);
    for (const qoEntity& elevator : elevators) elevator.SetElevatorPauseState(isPaused);
}

void security_giveSecurityClearance::OnActivate(const qoEntity&) {
    qoGetPlayer1().GivePlayerSecurityDecl(unlockDecl);
}
