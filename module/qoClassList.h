// The script classes of the module: the one list the registry is built from. A new class adds
// its header here and its name to qoScriptClasses; everything else comes from its declaration.
#pragma once

#include "object/qoClass.h"
#include "runtime/qoEnums.h"
#include "scripts/editor/qoComment.h"
#include "runtime/qoDebugUtil.h"
#include "scripts/editor/util_debugMetaData.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/ai/monsterScripts.h"
#include "scripts/ai/wander.h"
#include "scripts/encounter/pHell_EncounterManager.h"
#include "scripts/encounter/pHell_EventCounter.h"
#include "scripts/encounter/pHell_EventTransceiver.h"
#include "scripts/encounter/pHell_NetworkNode.h"
#include "scripts/encounter/pHell_Spawner.h"
#include "scripts/goals/action_moveToGoalEntity.h"
#include "scripts/goals/combatGoal.h"
#include "scripts/movers/moverExtender.h"
#include "scripts/movers/pHell_MoveKey.h"
#include "scripts/movers/simpleMovers.h"
#include "scripts/music/musicManager.h"
#include "scripts/spawn/spawnManager.h"
#include "scripts/spawn/spawnTools.h"
#include "scripts/props/SlidingDoorVolume.h"
#include "scripts/triggers/audibleTimer.h"
#include "scripts/designer/eventTools.h"
#include "scripts/designer/healthDrop.h"
#include "scripts/designer/moverSpawner.h"
#include "scripts/objectives/objectives.h"
#include "scripts/player/playerActions.h"
#include "scripts/props/props.h"
#include "scripts/designer/stateRelays.h"
#include "scripts/designer/targetHealth.h"
#include "scripts/designer/targetListTools.h"
#include "scripts/triggers/triggerLerpDelay.h"
#include "scripts/triggers/triggerSequential.h"
#include "scripts/triggers/triggerUtils.h"
#include "scripts/triggers/triggerWatchers.h"
#include "scripts/flags/util_entityFlag.h"
#include "scripts/player/viewEffects.h"
#include "scripts/volumes/volumeUtils.h"

using qoScriptClasses = qoTypeList<
    SlidingDoorVolume,
    _combatGoal,
    _goalKillCountActor,
    _goalKillCountSpawner,
    _goalKillCounter,
    _goalRemainingCountActor,
    _goalRemainingCounter,
    action_moveToGoalEntity,
    ai_activateOnDamageAmount,
    ai_followPath,
    ai_follow_entity,
    audibleTimer,
    control_ActivateEntityOnStateChange,
    doors_setLockState,
    dragAI,
    elevators_setPauseState,
    enableFPHands,
    enableFPHandsAndHUD,
    gui_changeProperties,
    healthDrop,
    healthDropWorld,
    healthPickup,
    hitStop,
    intro_ForceIntroAccentBringup,
    intro_ForceIntroBringup,
    intro_ForceOskelHands,
    moverExtender,
    moverExtenderPauser,
    mover_modifier,
    musicManager,
    musicManagerSwitch,
    musicModifier,
    objectiveManager,
    objectiveTarget,
    pHell_ActiveAi,
    pHell_CombatManager,
    pHell_CombatStage,
    pHell_EncounterManager,
    pHell_EventCounter,
    pHell_EventSequencer,
    pHell_EventTransceiver,
    pHell_MoveKey,
    pHell_MovingPlatform,
    pHell_NetworkNode,
    pHell_SpawnCluster,
    pHell_SpawnManager,
    pHell_Spawner,
    phCombatHintGroup,
    playerFacingRotate,
    player_PlayBodyReaction,
    player_teleport,
    player_triggerOnBerserk,
    prop_UsableProp,
    prop_facePlayer,
    qoComment,
    qoDebugUtil,
    qoWorldUtil,
    restrictPlayerInput,
    scaleEntity,
    security_giveSecurityClearance,
    setBloomMaskScale,
    setIntroHUDState,
    setPlayerHealth,
    setPlayerNoDeath,
    setSuperMeterState,
    spawnAddSpawns,
    spawnManager,
    spawnPoint,
    spawnTargetTester,
    targetSetHealth,
    targetVisualCounter,
    triggerLerpDelay,
    triggerSequential,
    turnAASObstaclesOff,
    turnAASObstaclesOn,
    turret_ActivateEntityOnStateChange,
    util_AttachToPlayer,
    util_LightWiggler,
    util_LookAtTarget,
    util_SparkController,
    util_bindPlayerToSelf,
    util_bobMover,
    util_debugMetaData,
    util_distanceTrigger,
    util_entityFlag,
    util_entityFlagActivate,
    util_entityFlagVolume,
    util_fadeInView,
    util_fadeOutView,
    util_loopStopper,
    util_mapLoad,
    util_moverSpawner,
    util_nodeModifierTrigger,
    util_playBodyReaction,
    util_removeActorOnTriggerTouched,
    util_replaceTargets,
    util_setColor,
    util_triggerEnable,
    util_triggerForceAnim,
    util_triggerLookAt,
    util_triggerLookAtManagerVolume,
    util_triggerLookAtSafety,
    util_triggerOnBerserk,
    util_triggerPulse,
    util_triggerPush,
    util_triggerPushEnable,
    util_triggerRagdoll,
    util_triggerTeleport,
    util_triggerVisibility,
    util_volumeAmbientMonsterSounds,
    util_volumeCheckEquipedWeapon,
    util_volumeNotify,
    util_volumePlayerFallZone,
    util_volumePush,
    volume_dragAI,
    wander_ai,
    wander_point,
    wander_world,
    watchPlayerHealth,
    zombie_sleep>;

// File-level types that no class publishes through its properties or QO_TYPES.
using qoStandaloneTypes = qoTypeList<>;

struct qoModuleSources {
    using classes = qoScriptClasses;
    using types = qoStandaloneTypes;
    static constexpr auto enums = qoPendingEnumTables;
};
