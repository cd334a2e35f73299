// Quorin script module: the host entity methods that scripts call.
//
// One row per method: X(number, Name, "signature", Result).
//   number     the method number passed to kvQuorinSystem::CallEntityMethod (slot 12)
//   Name       the method's name; also the name of its wrapper on the module's entity type
//   signature  one character per argument, in order; "" for none. Each argument fills the start
//              of its own 16-byte slot of the argument buffer (slot k at byte 16 * k):
//                e  entity handle, uint32                 4 bytes
//                s  string: pointer to NUL-terminated text 8 bytes ('1', '2', '4' likewise)
//                i  int32                                 4 bytes
//                f  float                                 4 bytes
//                b  bool, one byte 0 or 1                 1 byte
//                v  vector x, y, z (floats)               12 bytes ('a' likewise: angles)
//                c  colour r, g, b, a (floats)            16 bytes
//                d  decl reference, pointer value         8 bytes
//              The rest of a slot is not written; read each slot only to its width. The buffer
//              is 8-byte aligned; a method without arguments passes a null buffer.
//   Result     None, Bool, Int, Entity, Float, Vector or String: the getter the module calls
//              after a successful call (Int, Bool, Entity: slot 13; Float: 14; Vector: 15;
//              String: 17).
//
// The numbers and signatures are the contract with the host's method table; never edit a row
// without changing the host's table with it.
#pragma once

#include <cstdint>

#define QO_METHOD_CATALOGUE(X) \
    /* Names, activation, targets and binding */ \
    X(0, Remove, "", None) \
    X(149, GetName, "", String) \
    X(151, Activate, "e", None) \
    X(152, ActivateTargets, "e", None) \
    X(153, MakeActivatable, "be", None) \
    X(156, NumTargets, "", Int) \
    X(157, GetTarget, "i", Entity) \
    X(158, RemoveTarget, "e", Bool) \
    X(159, AddTarget, "e", None) \
    X(161, Bind, "e", None) \
    X(162, BindPosition, "e", None) \
    X(163, BindToJoint, "essi", None) \
    X(165, FakeAnimMethod, "e42ic", None) \
    X(166, Unbind, "", None) \
    X(167, RemoveBinds, "", None) \
    /* Appearance, sound, placement and physics */ \
    X(180, SetShaderParms, "ffff", None) \
    X(182, SetColor, "fff", None) \
    X(183, GetColor, "", Vector) \
    X(184, IsHidden, "", Bool) \
    X(185, Hide, "", None) \
    X(186, Show, "", None) \
    X(189, StartSoundShader, "di", None) \
    X(190, StopSound, "i", None) \
    X(191, FadeSound, "iff", None) \
    X(195, GetWorldOrigin, "", Vector) \
    X(196, SetWorldOrigin, "v", None) \
    X(197, GetOrigin, "", Vector) \
    X(198, SetOrigin, "v", None) \
    X(199, LocalToWorldForOffset, "v", Vector) \
    X(200, GetAngles, "", Vector) \
    X(201, GetRenderModelAngles, "", Vector) \
    X(202, SetAngles, "a", None) \
    X(204, GetSpawnAxisForward, "", Vector) \
    X(205, SetLinearVelocity, "v", None) \
    X(206, GetLinearVelocity, "", Vector) \
    X(207, SetAngularVelocity, "v", None) \
    X(210, GetMins, "", Vector) \
    X(211, GetMaxs, "", Vector) \
    X(212, Touches, "e", Bool) \
    X(214, SetSpawnPosition, "v", None) \
    X(215, DistanceTo, "e", Float) \
    X(218, SetCanBecomeDormant, "b", None) \
    X(219, Teleport, "va", None) \
    X(223, GetClass, "", String) \
    X(224, IsClass, "s", Bool) \
    X(225, IsSpecificClass, "s", Bool) \
    X(226, SetRenderParm, "dffff", None) \
    X(229, LerpRenderScale, "fffiii", None) \
    X(233, Damage, "daffeb", None) \
    X(234, SetGravity, "v", None) \
    X(235, ApplyImpulse, "v", None) \
    X(237, GetClosestPointOnLine, "vv", Vector) \
    X(243, GetBindParent, "", Entity) \
    X(244, IsProdBuilding, "", Bool) \
    X(245, GetJointHandle, "s", Int) \
    X(248, GetJointPos, "i", Vector) \
    X(249, GetJointAngle, "i", Vector) \
    /* Animation state */ \
    X(315, ChangeAnimState, "ss", None) \
    X(320, AnimState_IsFinished, "ss", Bool) \
    X(321, SetBlendScalar, "sf", None) \
    X(403, SyncChangeState, "s", None) \
    X(405, IsAnimBlending, "", Bool) \
    /* Paths and mover motion */ \
    X(447, GetSplineLength, "", Float) \
    X(448, GetDistanceAlongPath, "vfff", Float) \
    X(449, GetPositionAlongPath, "f", Vector) \
    X(452, StopMoving, "", None) \
    X(454, Speed, "f", None) \
    X(455, Time, "f", None) \
    X(456, AccelTime, "f", None) \
    X(457, DecelTime, "f", None) \
    X(458, SetParmsForTime, "fff", None) \
    X(459, SetParmsForSpeed, "fff", None) \
    X(460, MoveTo, "e", None) \
    X(461, MoveToOverTime, "efff", None) \
    X(462, MoveToPos, "v", None) \
    X(463, MoveToPosOverTime, "vfff", None) \
    X(464, Move, "ff", None) \
    X(469, RotateTo, "a", None) \
    X(470, RotateToShortest, "a", None) \
    X(471, Rotate, "a", None) \
    X(472, RotateOnce, "a", None) \
    X(473, Bob, "ffv", None) \
    X(474, Sway, "ffa", None) \
    X(478, EnableSplineAngles, "b", None) \
    X(481, StartSpline, "e", None) \
    X(482, TravelSpline, "ebb", None) \
    X(484, StopSpline, "", None) \
    X(485, IsMoving, "", Bool) \
    X(487, IsRotating, "", Bool) \
    X(488, Deactivate, "", None) \
    X(490, EnableInfluence, "", None) \
    X(491, DisableInfluence, "", None) \
    /* Fades, smoke, splines, text panels and breakables */ \
    X(503, Fade, "fff", None) \
    X(504, FadeNoStipple, "fff", None) \
    X(508, SetSmokeSystemRate, "i", None) \
    X(511, AddSpline, "ei", None) \
    X(515, SetHeaderText, "s", None) \
    X(516, SetHeaderBehavior, "i", None) \
    X(517, SetHeaderColor, "c", None) \
    X(518, SetHeaderAlignment, "i", None) \
    X(519, SetBodyText, "s", None) \
    X(520, SetBodyBehavior, "i", None) \
    X(521, SetBodyColor, "c", None) \
    X(522, SetBodyAlignment, "i", None) \
    X(523, SetPaneBackgroundColor, "c", None) \
    X(525, BreakPiece, "iv", None) \
    /* Inventory, health and weapons */ \
    X(537, NumOfItemTypeInInventory, "s", Int) \
    X(538, GiveInventoryItem, "si", None) \
    X(539, RemoveInventoryItem, "si", None) \
    X(546, GetEquippedWeaponDecl, "", String) \
    X(549, IsDead, "", Bool) \
    X(554, IncreaseHealth, "f", None) \
    X(555, DecreaseHealth, "f", None) \
    X(558, PauseWeapon, "i", None) \
    X(559, UnpauseWeapon, "i", None) \
    /* Lights, debug target and HUD presentation */ \
    X(585, SetLightParms, "ffff", None) \
    X(588, On, "", None) \
    X(589, Off, "", None) \
    X(590, FadeOutLight, "f", None) \
    X(591, FadeInLight, "f", None) \
    X(594, GetDebugTarget, "", Entity) \
    X(595, SetDebugTarget, "e", None) \
    X(597, ForceIntroBringup, "", None) \
    X(598, ForceIntroAccentBringup, "", None) \
    X(605, StartIntroHud, "", None) \
    X(606, StopIntroHud, "", None) \
    X(607, HideHudForNone, "", None) \
    X(613, SetFullHud, "", None) \
    X(614, SetTutorialHud1, "", None) \
    X(615, SetTutorialHud2, "", None) \
    /* Player */ \
    X(623, NoPlayerDeath, "b", None) \
    X(624, GetPlayerHealth, "", Float) \
    X(625, GetPlayerMaxHealth, "", Float) \
    X(626, GetPlayerShields, "", Float) \
    X(627, GetPlayerMaxShields, "", Float) \
    X(629, GivePlayerSecurityDecl, "d", None) \
    X(632, TrackEntity, "ef", None) \
    X(633, GetUserButtons, "", Int) \
    X(634, GetUserMove, "", Vector) \
    X(636, GetViewAngles, "b", Vector) \
    X(637, SetViewAngles, "a", None) \
    X(638, GetViewPos, "", Vector) \
    X(639, IsPlayerOnGround, "", Bool) \
    X(640, DoesPlayerHavePerk, "s", Bool) \
    X(641, IsPlayerPerkActive, "s", Bool) \
    X(642, GivePlayerPerk, "s", None) \
    X(643, ActivatePlayerPerk, "s", None) \
    X(644, EnableWeapon, "", None) \
    X(645, DisableWeapon, "", None) \
    X(646, MeleeAttack, "", None) \
    X(647, EquipItem, "d", Bool) \
    X(648, ScalePlayerDamage, "ff", None) \
    X(658, FadeView, "vfi", None) \
    X(659, FadeOutView, "vfi", None) \
    X(660, SetForceInhibitControl, "b", None) \
    X(661, EnableFPHands, "b", None) \
    X(662, EnableFPHandsAndHUD, "b", None) \
    X(663, EnableFPHandsWithIntroBringup, "", None) \
    X(665, DisableFPHandsExtraSlow, "", None) \
    X(666, ForceOskelHandsAndBody, "b", None) \
    X(670, SetAntiGravity, "b", None) \
    X(674, PlayBodyReaction, "vs", None) \
    X(675, PlayHandsEnvironmentalReaction, "vsf", None) \
    X(677, PlayerWhiplash, "ff", None) \
    X(678, InFOV, "ef", Bool) \
    /* HUD elements */ \
    X(696, CreateHUDElement, "s", Bool) \
    X(697, DestroyHUDElement, "s", Bool) \
    X(698, ShowHUDElement, "sb", None) \
    X(699, SetHUDElementUV, "sffff", None) \
    X(700, SetHUDElementPosition, "sffff", None) \
    X(701, SetHUDElementColor, "sffff", None) \
    X(703, SetHUDElementText, "ss", None) \
    X(704, SetHUDElementTextScale, "sf", None) \
    X(705, SetHUDElementTextAlignment, "si", None) \
    X(706, GetViewWidth, "", Float) \
    X(707, GetViewHeight, "", Float) \
    /* Volumes, usable and triggered entities */ \
    X(773, NumPlayersInVolume, "", Int) \
    X(774, IsEntityInVolume, "e", Bool) \
    X(788, SetCurrentlyUsable, "b", None) \
    X(793, Enable, "", None) \
    X(794, Disable, "", None) \
    X(822, SetUsable, "b", None) \
    X(892, Destroy, "", None) \
    X(893, SetActiveState, "b", None) \
    X(896, OverrideActivateTrigger, "b", None) \
    /* AI actions */ \
    X(1287, Action_MoveToPoint, "vifbv", None) \
    X(1288, Action_MoveToPointNoFail, "vifbvd", None) \
    X(1289, Action_MoveToEntity, "eifbv", None) \
    X(1291, Action_MoveToPathPoint, "e", None) \
    X(1292, Action_MoveToPathPointNoFail, "ed", None) \
    X(1297, Action_WaitForAnim, "1", None) \
    X(1298, Action_WaitForAnimVia, "11", None) \
    X(1299, Action_LoopAnim, "1i", None) \
    X(1301, Action_StartAnim, "1bb", None) \
    X(1304, Action_ForceAnimState, "i1ii", None) \
    X(1307, Action_PlayAdditiveVoiceOver, "d", None) \
    X(1312, Action_SetWalkState, "i", None) \
    /* AI control */ \
    X(1328, SetIgnoreEnemies, "b", None) \
    X(1332, SetAIExternalVelocity, "v", None) \
    X(1333, GetHealth, "", Float) \
    X(1346, ClearLookFocus, "", None) \
    X(1347, ClearAimFocus, "", None) \
    X(1368, AddSoundStimulus, "fev", None) \
    X(1370, SetEnemy, "eb", None) \
    X(1371, SetGroupRole, "ib", None) \
    X(1372, UnlockGroupRole, "", None) \
    X(1375, EndCurrentScriptAction, "", None) \
    X(1383, SetAlertCycle, "i", None) \
    X(1384, SetSubWeb, "i", None) \
    X(1386, SetFireMode, "i", None) \
    X(1387, SetScriptAbort, "bb", None) \
    X(1389, EnableDamage, "bb", None) \
    X(1390, EnablePain, "b", None) \
    X(1391, IsPainEnabled, "", Bool) \
    X(1395, ForceGlobalAwarenessByEntityType, "ebbb", None) \
    X(1409, IsScriptWaitingOnAction, "", Bool) \
    X(1410, HasAwarenessOfEnemy, "", Bool) \
    X(1411, EnablePerception, "b", None) \
    X(1413, GetMonsterType, "", Int) \
    X(1414, SetGoalPosition, "vfb", None) \
    X(1422, StartRagdoll, "", None) \
    /* Spawning */ \
    X(1459, SetEnabledState, "b", None) \
    X(1490, GetNumEntityDefs, "", Int) \
    X(1491, GetLastSpawned, "", Entity) \
    X(1492, IsSpawnAvailable, "e", Bool) \
    X(1493, SpawnEntity, "e", Entity) \
    X(1494, GetTimeTillAvailable, "i", Int) \
    /* Elevators */ \
    X(1564, SetElevatorPauseState, "b", None)

enum class qoMethodResult : uint8_t { None, Bool, Int, Entity, Float, Vector, String };

// Method numbers by name: qoMethod_SetOrigin, ...
enum qoMethodNumber : int32_t {
#define QO_METHOD_NUMBER(number, Name, signature, result) qoMethod_##Name = number,
    QO_METHOD_CATALOGUE(QO_METHOD_NUMBER)
#undef QO_METHOD_NUMBER
};

struct qoMethodInfo {
    int32_t number;
    const char* name;
    const char* signature;
    qoMethodResult result;
};

// The catalogue as data, in ascending number order.
inline constexpr qoMethodInfo qoMethodTable[] = {
#define QO_METHOD_INFO(number, Name, signature, result) \
    {number, #Name, signature, qoMethodResult::result},
    QO_METHOD_CATALOGUE(QO_METHOD_INFO)
#undef QO_METHOD_INFO
};

inline constexpr int qoMethodCount =
    static_cast<int>(sizeof(qoMethodTable) / sizeof(qoMethodTable[0]));
