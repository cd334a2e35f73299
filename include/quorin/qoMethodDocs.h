// Quorin script module: what each host entity method of the catalogue means to the scripts.
//
// One row per row of QO_METHOD_CATALOGUE (quorin/qoMethodCatalogue.h), in the same order and
// with the same names (a static_assert below holds the two together):
//   X(Name, Flow, "effect", "failure")
//   Flow     Returns    the call does its work and returns; no script code runs meanwhile.
//            Suspends   a latent action: inside a script thread the host holds the calling
//                       thread in the call until the action is over (other threads and frames
//                       run meanwhile); outside a thread it starts the action and returns.
//            CallsBack  the host may run script code before the call returns: it delivers an
//                       event to script objects (on their own threads or on the caller's).
//   effect   what the scripts expect of the method: its arguments in signature order with
//            their units, and its result. Distances are in world units, angles in degrees
//            (pitch, yaw, roll), times in seconds unless a row says milliseconds.
//   failure  when a host answers false besides the general rule (the kind of entity named is
//            the kind the scripts call the method on), "" when only the general rule applies.
//            The general rule: the host answers false for an entity handle that is 0,
//            unknown or removed, for an entity whose host class cannot do the method, and for
//            a method number or signature it does not know. After false
//            the module warns "<entity name>.<Method> failed." (a script thread loses a frame)
//            and uses the zero value of the result kind ("0" for a string).
// docs/methods.md is generated from these rows (`qohost methods --markdown`).
#pragma once

#include <cstdint>

#include "quorin/qoMethodCatalogue.h"

#define QO_METHOD_DOCS(X) \
    /* Names, activation, targets and binding */ \
    X(Remove, Returns, "removes the entity from the world: it is invalid from now on and its script objects are shut down and destroyed once no script code of theirs is running", "") \
    X(GetName, Returns, "the entity's name, as FindEntity knows it", "") \
    X(Activate, CallsBack, "activates the entity by the activator (argument): OnActivate to each of its script objects that handles it, then the entity's own reaction to being used (a spawner spawns, a door opens)", "") \
    X(ActivateTargets, CallsBack, "Activate on each entity of the target list, in list order, with the given activator", "") \
    X(MakeActivatable, Returns, "(flag, activator): whether the entity may be activated from now on", "") \
    X(NumTargets, Returns, "the number of entities in the entity's target list (designer links)", "") \
    X(GetTarget, Returns, "the target at a 0-based index of the target list", "the index is outside 0 .. NumTargets - 1") \
    X(RemoveTarget, Returns, "removes the entity from the target list; true when it was in it", "") \
    X(AddTarget, Returns, "appends the entity to the target list unless it is already there", "the entity to add is invalid") \
    X(Bind, Returns, "binds the entity to a parent: from now on it follows the parent's moves and turns", "the parent is invalid, or binding would make a cycle") \
    X(BindPosition, Returns, "as Bind, following the parent's position only", "as Bind") \
    X(BindToJoint, Returns, "(parent, joint name, second name, flags): as Bind, to a joint of the parent's model", "as Bind") \
    X(FakeAnimMethod, Returns, "(entity, animation file path '4', joint name '2', integer, colour): an animation helper of one level script; the module passes 0 and (1, 1, 1, 1)", "") \
    X(Unbind, Returns, "releases the entity from its bind parent; nothing when unbound", "") \
    X(RemoveBinds, Returns, "releases every entity bound to this one", "") \
    /* Appearance, sound, placement and physics */ \
    X(SetShaderParms, Returns, "sets the four material parameters (r, g, b, a style floats) of the entity's model", "") \
    X(SetColor, Returns, "sets the model colour (r, g, b, 0 to 1)", "") \
    X(GetColor, Returns, "the model colour (r, g, b)", "") \
    X(IsHidden, Returns, "true while the entity is hidden", "") \
    X(Hide, Returns, "hides the entity (no model, no collision); it stays valid", "") \
    X(Show, Returns, "shows a hidden entity again", "") \
    X(StartSoundShader, Returns, "(kvSoundShader decl, channel): plays the sound on that channel of the entity, replacing what played there; the module uses channel 26 for music and 0 otherwise", "the decl is null or not a sound shader") \
    X(StopSound, Returns, "silences the channel of the entity", "") \
    X(FadeSound, Returns, "(channel, volume in dB, seconds): moves the channel's volume to the level over the time, at once for 0; -59 dB is silence", "") \
    X(GetWorldOrigin, Returns, "the entity's position in world space", "") \
    X(SetWorldOrigin, Returns, "places the entity at a world position", "") \
    X(GetOrigin, Returns, "the entity's position (world space)", "") \
    X(SetOrigin, Returns, "places the entity at the position, stopping any motion; bound entities move along", "") \
    X(LocalToWorldForOffset, Returns, "the world position of an offset given in the entity's frame (x forward, y left, z up)", "") \
    X(GetAngles, Returns, "the entity's angles (pitch, yaw, roll)", "") \
    X(GetRenderModelAngles, Returns, "the angles the entity's model is drawn with", "") \
    X(SetAngles, Returns, "sets the angles, stopping any rotation; bound entities turn along", "") \
    X(GetSpawnAxisForward, Returns, "the unit forward vector of the entity's yaw", "") \
    X(SetLinearVelocity, Returns, "sets the velocity (units per second)", "") \
    X(GetLinearVelocity, Returns, "the velocity (units per second); for a walking actor its walking velocity", "") \
    X(SetAngularVelocity, Returns, "sets the angular velocity (degrees per second per axis)", "") \
    X(GetMins, Returns, "the minimum corner of the bounds, relative to the origin", "") \
    X(GetMaxs, Returns, "the maximum corner of the bounds, relative to the origin", "") \
    X(Touches, Returns, "true when the bounds of the two entities overlap", "") \
    X(SetSpawnPosition, Returns, "sets the position the entity respawns or resets to", "") \
    X(DistanceTo, Returns, "the distance between the two origins", "the other entity is invalid") \
    X(SetCanBecomeDormant, Returns, "whether the engine may stop thinking for the entity while no player is near", "") \
    X(Teleport, Returns, "(position, angles): moves and turns the entity at once, ending any motion or walk; velocity zero", "") \
    X(GetClass, Returns, "the name of the entity's host class (\"kvMover\"), not a script class", "") \
    X(IsClass, Returns, "true when the host class is the named one or derives from it", "") \
    X(IsSpecificClass, Returns, "true when the host class is exactly the named one", "") \
    X(SetRenderParm, Returns, "(kvDeclRenderParm decl, four floats): sets a named shader parameter of the model", "the decl is null") \
    X(LerpRenderScale, Returns, "(x, y, z scale, milliseconds, accel ms, decel ms): scales the model to the size over the time", "") \
    X(Damage, CallsBack, "(kvDeclDamage decl, direction, push, scale, attacker, flag): hurts the entity by the decl's amount times scale; OnDamage, and OnDeath when health runs out", "") \
    X(SetGravity, Returns, "sets the gravity vector the entity falls by (units per second squared)", "") \
    X(ApplyImpulse, Returns, "adds an impulse (units per second) to the velocity", "") \
    X(GetClosestPointOnLine, Returns, "(start, end): the point of that segment closest to the entity's origin", "") \
    X(GetBindParent, Returns, "the entity this one is bound to, handle 0 when unbound", "") \
    X(IsProdBuilding, Returns, "true when the engine runs a production build (debug aids stay off)", "") \
    X(GetJointHandle, Returns, "the handle of the named joint of the model, for GetJointPos and GetJointAngle", "") \
    X(GetJointPos, Returns, "the world position of the joint (handle from GetJointHandle)", "") \
    X(GetJointAngle, Returns, "the world angles of the joint (handle from GetJointHandle)", "") \
    /* Animation state */ \
    X(ChangeAnimState, Returns, "(channel or graph name, state name): switches the animation state machine to the state", "") \
    X(AnimState_IsFinished, Returns, "(channel or graph name, state name): true once that state's animation has played out", "") \
    X(SetBlendScalar, Returns, "(blend name, 0 to 1): sets a blend weight of the animation graph", "") \
    X(SyncChangeState, Returns, "switches the animation state (one name), kept in step across the network", "") \
    X(IsAnimBlending, Returns, "true while the model blends between animations", "") \
    /* Paths and mover motion */ \
    X(GetSplineLength, Returns, "the length of the entity's path (units)", "") \
    X(GetDistanceAlongPath, Returns, "(point, three floats): the distance along the path to the path's point closest to the given point", "") \
    X(GetPositionAlongPath, Returns, "the point at a distance (units) along the path, clamped to its ends", "") \
    X(StopMoving, Returns, "ends the mover's motion and rotation where they are", "the entity is not a mover") \
    X(Speed, Returns, "later moves travel at this speed (units per second; degrees per second for rotations)", "the entity is not a mover") \
    X(Time, Returns, "later moves take this many seconds (0: travel by speed)", "the entity is not a mover") \
    X(AccelTime, Returns, "later moves speed up evenly over this many seconds", "the entity is not a mover") \
    X(DecelTime, Returns, "later moves slow down evenly over this many seconds", "the entity is not a mover") \
    X(SetParmsForTime, Returns, "(travel time, accel time, decel time in seconds) for later moves", "the entity is not a mover") \
    X(SetParmsForSpeed, Returns, "(speed in units per second, accel time, decel time in seconds) for later moves", "the entity is not a mover") \
    X(MoveTo, Returns, "starts a move to the other entity's origin; returns at once (poll IsMoving)", "not a mover, or the target is invalid") \
    X(MoveToOverTime, Returns, "(entity, time, accel, decel in seconds): starts a move to its origin taking that time", "not a mover, or the target is invalid") \
    X(MoveToPos, Returns, "starts a move to the position; returns at once", "the entity is not a mover") \
    X(MoveToPosOverTime, Returns, "(position, time, accel, decel in seconds): starts a move there taking that time", "the entity is not a mover") \
    X(Move, Returns, "(yaw in degrees, distance in units): starts a move that far; yaw -1 is up, -2 down", "the entity is not a mover") \
    X(RotateTo, Returns, "starts turning to the angles, at the speed or in the travel time", "the entity is not a mover") \
    X(RotateToShortest, Returns, "as RotateTo, each angle the short way round", "the entity is not a mover") \
    X(Rotate, Returns, "starts turning without end at these degrees per second per axis until StopMoving", "the entity is not a mover") \
    X(RotateOnce, Returns, "starts turning by these angles", "the entity is not a mover") \
    X(Bob, Returns, "(speed, phase, amplitude vector): starts bobbing to and fro until StopMoving", "the entity is not a mover") \
    X(Sway, Returns, "(speed, phase, amplitude angles): starts swaying until StopMoving", "the entity is not a mover") \
    X(EnableSplineAngles, Returns, "while on, spline moves turn the mover along its path", "the entity is not a mover") \
    X(StartSpline, Returns, "starts moving along the path of the spline entity", "not a mover, or the spline entity is invalid") \
    X(TravelSpline, Returns, "(spline entity, two flags): as StartSpline", "not a mover, or the spline entity is invalid") \
    X(StopSpline, Returns, "ends a spline move where it is", "the entity is not a mover") \
    X(IsMoving, Returns, "true while the mover's move lasts; scripts poll it frame by frame", "the entity is not a mover") \
    X(IsRotating, Returns, "true while the mover's rotation lasts", "the entity is not a mover") \
    X(Deactivate, Returns, "switches the mover off: it ignores activation until activated again by the engine", "the entity is not a mover") \
    X(EnableInfluence, Returns, "lets the mover push and carry what touches it", "the entity is not a mover") \
    X(DisableInfluence, Returns, "stops the mover from pushing and carrying", "the entity is not a mover") \
    /* Fades, smoke, splines, text panels and breakables */ \
    X(Fade, Returns, "(from alpha, to alpha, seconds): fades the model's opacity", "") \
    X(FadeNoStipple, Returns, "as Fade, without the dithered transition", "") \
    X(SetSmokeSystemRate, Returns, "sets the emission rate of the entity's particle system (particles per second)", "") \
    X(AddSpline, Returns, "(spline entity, index): adds a path to the entity's list of splines", "") \
    X(SetHeaderText, Returns, "sets the header line of a text panel", "the entity is not a text panel") \
    X(SetHeaderBehavior, Returns, "sets how the header shows (engine-defined number: steady, blinking, ...)", "the entity is not a text panel") \
    X(SetHeaderColor, Returns, "sets the header colour (r, g, b, a)", "the entity is not a text panel") \
    X(SetHeaderAlignment, Returns, "sets the header alignment (engine-defined number)", "the entity is not a text panel") \
    X(SetBodyText, Returns, "sets the body text of a text panel", "the entity is not a text panel") \
    X(SetBodyBehavior, Returns, "sets how the body shows (engine-defined number)", "the entity is not a text panel") \
    X(SetBodyColor, Returns, "sets the body colour (r, g, b, a)", "the entity is not a text panel") \
    X(SetBodyAlignment, Returns, "sets the body alignment (engine-defined number)", "the entity is not a text panel") \
    X(SetPaneBackgroundColor, Returns, "sets the panel's background colour (r, g, b, a)", "the entity is not a text panel") \
    X(BreakPiece, Returns, "(piece index, push vector): breaks one piece off a breakable", "") \
    /* Inventory, health and weapons */ \
    X(NumOfItemTypeInInventory, Returns, "how many of the named item the player carries", "the entity is not a player") \
    X(GiveInventoryItem, Returns, "(item name, count): gives the player that many of the item", "the entity is not a player") \
    X(RemoveInventoryItem, Returns, "(item name, count): takes that many away, not below 0", "the entity is not a player") \
    X(GetEquippedWeaponDecl, Returns, "the decl name of the weapon the player holds", "the entity is not a player") \
    X(IsDead, Returns, "true once the entity has died", "") \
    X(IncreaseHealth, Returns, "adds health points up to the maximum", "") \
    X(DecreaseHealth, CallsBack, "takes health points away; at 0 the entity dies and OnDeath is delivered", "") \
    X(PauseWeapon, Returns, "pauses the player's weapon for a reason code; weapons stay down while any reason holds", "the entity is not a player") \
    X(UnpauseWeapon, Returns, "releases the pause of that reason code", "the entity is not a player") \
    /* Lights, debug target and HUD presentation */ \
    X(SetLightParms, Returns, "sets the light's colour r, g, b and intensity", "the entity is not a light") \
    X(On, Returns, "switches the light on", "the entity is not a light") \
    X(Off, Returns, "switches the light off", "the entity is not a light") \
    X(FadeOutLight, Returns, "fades the light off over the seconds", "the entity is not a light") \
    X(FadeInLight, Returns, "fades the light on over the seconds", "the entity is not a light") \
    X(GetDebugTarget, Returns, "the entity the debug tools look at, handle 0 for none", "") \
    X(SetDebugTarget, Returns, "sets the entity the debug tools look at", "") \
    X(ForceIntroBringup, Returns, "plays the HUD's intro bring-up now", "the entity is not a player") \
    X(ForceIntroAccentBringup, Returns, "plays the HUD's accent bring-up now", "the entity is not a player") \
    X(StartIntroHud, Returns, "shows the intro HUD", "the entity is not a player") \
    X(StopIntroHud, Returns, "ends the intro HUD", "the entity is not a player") \
    X(HideHudForNone, Returns, "hides the whole HUD", "the entity is not a player") \
    X(SetFullHud, Returns, "shows the full HUD", "the entity is not a player") \
    X(SetTutorialHud1, Returns, "shows the first tutorial HUD layout", "the entity is not a player") \
    X(SetTutorialHud2, Returns, "shows the second tutorial HUD layout", "the entity is not a player") \
    /* Player */ \
    X(NoPlayerDeath, Returns, "while on, the player cannot die (health stops above 0)", "the entity is not a player") \
    X(GetPlayerHealth, Returns, "the player's health points", "the entity is not a player") \
    X(GetPlayerMaxHealth, Returns, "the player's maximum health points", "the entity is not a player") \
    X(GetPlayerShields, Returns, "the player's shield points", "the entity is not a player") \
    X(GetPlayerMaxShields, Returns, "the player's maximum shield points", "the entity is not a player") \
    X(GivePlayerSecurityDecl, Returns, "gives the player a security clearance (kvDeclSecurityUnlock decl)", "the entity is not a player") \
    X(TrackEntity, Returns, "(entity, strength 0 to 1): turns the player's view toward the entity", "the entity is not a player") \
    X(GetUserButtons, Returns, "the bit mask of the buttons the player holds this frame", "the entity is not a player") \
    X(GetUserMove, Returns, "the player's movement input this frame (forward, side, up, each -1 to 1)", "the entity is not a player") \
    X(GetViewAngles, Returns, "the view angles; the flag asks for the angles including view effects", "the entity is not a player") \
    X(SetViewAngles, Returns, "sets the view angles", "the entity is not a player") \
    X(GetViewPos, Returns, "the eye position", "the entity is not a player") \
    X(IsPlayerOnGround, Returns, "true while the player stands on something", "the entity is not a player") \
    X(DoesPlayerHavePerk, Returns, "true when the player owns the named perk", "the entity is not a player") \
    X(IsPlayerPerkActive, Returns, "true while the named perk is active", "the entity is not a player") \
    X(GivePlayerPerk, Returns, "gives the player the named perk", "the entity is not a player") \
    X(ActivatePlayerPerk, Returns, "activates a perk the player owns", "not a player, or the perk is not owned") \
    X(EnableWeapon, Returns, "lets the player use the weapon", "the entity is not a player") \
    X(DisableWeapon, Returns, "takes the weapon out of the player's hands", "the entity is not a player") \
    X(MeleeAttack, Returns, "makes the player do a melee attack now", "the entity is not a player") \
    X(EquipItem, Returns, "equips the item (an item decl of the engine; no script of this module calls it); true when the player could equip it", "the entity is not a player") \
    X(ScalePlayerDamage, Returns, "(scale, seconds): scales the damage the player takes for a while", "the entity is not a player") \
    X(FadeView, Returns, "(colour r, g, b, alpha 0 to 1, milliseconds): fades the view toward the colour", "the entity is not a player") \
    X(FadeOutView, Returns, "(colour r, g, b, alpha 0 to 1, milliseconds): fades the view out to the colour", "the entity is not a player") \
    X(SetForceInhibitControl, Returns, "while on, the player's movement and look input is ignored", "the entity is not a player") \
    X(EnableFPHands, Returns, "shows or hides the first-person hands", "the entity is not a player") \
    X(EnableFPHandsAndHUD, Returns, "shows or hides the first-person hands and the HUD", "the entity is not a player") \
    X(EnableFPHandsWithIntroBringup, Returns, "shows the hands with the intro bring-up animation", "the entity is not a player") \
    X(DisableFPHandsExtraSlow, Returns, "lowers and hides the hands, slowly", "the entity is not a player") \
    X(ForceOskelHandsAndBody, Returns, "switches the player's model between hands-and-body and the normal view model", "the entity is not a player") \
    X(SetAntiGravity, Returns, "while on, the player floats without gravity", "the entity is not a player") \
    X(PlayBodyReaction, Returns, "(direction, reaction name): plays a body reaction of the player", "the entity is not a player") \
    X(PlayHandsEnvironmentalReaction, Returns, "(direction, reaction name, strength): plays a hands reaction", "the entity is not a player") \
    X(PlayerWhiplash, Returns, "(strength, seconds): shakes the view", "the entity is not a player") \
    X(InFOV, Returns, "(entity, field of view in degrees): true when the entity lies in the player's view cone", "the entity is not a player") \
    /* HUD elements */ \
    X(CreateHUDElement, Returns, "creates a named HUD element, hidden; true when it is new", "the entity is not a player") \
    X(DestroyHUDElement, Returns, "destroys the named element; true when it existed", "the entity is not a player") \
    X(ShowHUDElement, Returns, "(name, flag): shows or hides the element", "no such element") \
    X(SetHUDElementUV, Returns, "(name, u0, v0, u1, v1): the element's texture rectangle, 0 to 1", "no such element") \
    X(SetHUDElementPosition, Returns, "(name, x, y, width, height): the element's rectangle in virtual screen pixels (see GetViewWidth)", "no such element") \
    X(SetHUDElementColor, Returns, "(name, r, g, b, a): the element's colour, 0 to 1", "no such element") \
    X(SetHUDElementText, Returns, "(name, text): the element's text", "no such element") \
    X(SetHUDElementTextScale, Returns, "(name, scale): the text scale, 1 is normal", "no such element") \
    X(SetHUDElementTextAlignment, Returns, "(name, alignment): engine-defined number (left, centre, right)", "no such element") \
    X(GetViewWidth, Returns, "the width of the virtual screen the HUD rectangles use (pixels)", "the entity is not a player") \
    X(GetViewHeight, Returns, "the height of the virtual screen the HUD rectangles use (pixels)", "the entity is not a player") \
    /* Volumes, usable and triggered entities */ \
    X(NumPlayersInVolume, Returns, "the number of players inside the volume's bounds", "") \
    X(IsEntityInVolume, Returns, "true when the entity is inside the volume's bounds", "") \
    X(SetCurrentlyUsable, Returns, "whether the player may use the entity right now", "") \
    X(Enable, Returns, "switches the entity's engine behaviour on (a trigger triggers again)", "") \
    X(Disable, Returns, "switches it off", "") \
    X(SetUsable, Returns, "whether the entity can be used at all", "") \
    X(Destroy, Returns, "destroys the entity's model (a breakable breaks); the entity stays valid", "") \
    X(SetActiveState, Returns, "switches the entity's engine behaviour on or off", "") \
    X(OverrideActivateTrigger, Returns, "while on, the trigger leaves activating its targets to the script", "") \
    /* AI actions */ \
    X(Action_MoveToPoint, Suspends, "(point, move mode, tolerance in units, flag, facing angles): the monster walks to the point; returns when it is there or gave up", "the entity is not a monster") \
    X(Action_MoveToPointNoFail, Suspends, "as Action_MoveToPoint, with a fallback decl of the engine used when no path is found (no script of this module calls it)", "the entity is not a monster") \
    X(Action_MoveToEntity, Suspends, "(entity, move mode, tolerance in units, flag, facing angles): walks to the entity", "not a monster, or the target is invalid") \
    X(Action_MoveToPathPoint, Suspends, "walks to the path point entity", "not a monster, or the path point is invalid") \
    X(Action_MoveToPathPointNoFail, Suspends, "as Action_MoveToPathPoint, with a fallback decl of the engine (no script of this module calls it)", "not a monster, or the path point is invalid") \
    X(Action_WaitForAnim, Suspends, "plays the animation ('1': animation name) and returns when it has played out", "the entity is not a monster") \
    X(Action_WaitForAnimVia, Suspends, "plays the first animation, then the second; returns when done", "the entity is not a monster") \
    X(Action_LoopAnim, Suspends, "(animation, milliseconds): loops the animation for the time; negative: until EndCurrentScriptAction", "the entity is not a monster") \
    X(Action_StartAnim, Suspends, "(animation, two flags): plays the animation; returns when it has played out", "the entity is not a monster") \
    X(Action_ForceAnimState, Suspends, "(state, animation, two integers): forces the animation state; returns when done", "the entity is not a monster") \
    X(Action_PlayAdditiveVoiceOver, Suspends, "plays a voice line (a sound decl of the engine; no script of this module calls it) over the current animation; returns when it ends", "the entity is not a monster") \
    X(Action_SetWalkState, Suspends, "sets the walk state (engine-defined number); returns once set", "the entity is not a monster") \
    /* AI control */ \
    X(SetIgnoreEnemies, Returns, "while on, the monster ignores its enemies", "the entity is not a monster") \
    X(SetAIExternalVelocity, Returns, "pushes the monster with a velocity (units per second) for the next frame", "the entity is not a monster") \
    X(GetHealth, Returns, "the actor's health points", "the entity is not an actor") \
    X(ClearLookFocus, Returns, "the monster stops looking at a set focus", "the entity is not a monster") \
    X(ClearAimFocus, Returns, "the monster stops aiming at a set focus", "the entity is not a monster") \
    X(AddSoundStimulus, Returns, "(radius in units, source entity, position): lets monsters in range hear a noise", "the entity is not a monster") \
    X(SetEnemy, Returns, "(enemy, flag): sets the monster's enemy", "the entity is not a monster") \
    X(SetGroupRole, Returns, "(role number, lock flag): sets the monster's role in its group", "the entity is not a monster") \
    X(UnlockGroupRole, Returns, "lets the group change the monster's role again", "the entity is not a monster") \
    X(EndCurrentScriptAction, Returns, "ends the latent action the monster's script waits on: the held thread goes on", "the entity is not a monster") \
    X(SetAlertCycle, Returns, "sets the monster's alert cycle (engine-defined number)", "the entity is not a monster") \
    X(SetSubWeb, Returns, "selects the monster's behaviour sub-web (engine-defined number)", "the entity is not a monster") \
    X(SetFireMode, Returns, "sets the monster's fire mode (engine-defined number)", "the entity is not a monster") \
    X(SetScriptAbort, Returns, "(two flags): whether damage or an enemy may abort the script's action", "the entity is not a monster") \
    X(EnableDamage, Returns, "(take damage, second flag): whether the monster can be hurt", "the entity is not a monster") \
    X(EnablePain, Returns, "whether the monster plays pain reactions", "the entity is not a monster") \
    X(IsPainEnabled, Returns, "true while pain reactions are on", "the entity is not a monster") \
    X(ForceGlobalAwarenessByEntityType, Returns, "(entity, three flags): makes monsters of the entity's type aware of the players", "the entity is not a monster") \
    X(IsScriptWaitingOnAction, Returns, "true while a latent action of this monster holds a script thread", "the entity is not a monster") \
    X(HasAwarenessOfEnemy, Returns, "true while the monster knows of an enemy", "the entity is not a monster") \
    X(EnablePerception, Returns, "whether the monster sees and hears", "the entity is not a monster") \
    X(GetMonsterType, Returns, "the monster's type number (engine-defined)", "the entity is not a monster") \
    X(SetGoalPosition, Returns, "(point, distance in units, flag): the monster walks toward the point until that close; returns at once", "the entity is not a monster") \
    X(StartRagdoll, Returns, "turns the monster's body into a ragdoll", "the entity is not a monster") \
    /* Spawning */ \
    X(SetEnabledState, Returns, "switches a spawner on or off; it spawns only while on", "") \
    X(GetNumEntityDefs, Returns, "the number of entity defs the spawner can spawn", "") \
    X(GetLastSpawned, Returns, "the entity the spawner spawned last, handle 0 before the first", "") \
    X(IsSpawnAvailable, Returns, "(reference entity): true when the spawner could spawn now or after its cooldown", "") \
    X(SpawnEntity, CallsBack, "(reference entity): spawns the next entity def at the spawner and returns the new entity; OnTargetSpawn to the spawner's script objects", "the spawner is off or has nothing to spawn") \
    X(GetTimeTillAvailable, Returns, "milliseconds until the spawner's cooldown ends, 0 when ready (the argument is unused)", "") \
    /* Elevators */ \
    X(SetElevatorPauseState, Returns, "pauses or resumes an elevator at its floor", "the entity is not a mover")

// How a call of a host method behaves toward the calling script thread.
enum class qoMethodFlow : uint8_t { Returns, Suspends, CallsBack };

struct qoMethodDoc {
    const char* name;
    qoMethodFlow flow;
    const char* effect;
    const char* failure;  // "" when only the general rule applies
};

// The documentation rows, in catalogue order: qoMethodDocTable[i] documents qoMethodTable[i].
inline constexpr qoMethodDoc qoMethodDocTable[] = {
#define QO_METHOD_DOC_ROW(Name, flow, effect, failure) {#Name, qoMethodFlow::flow, effect, failure},
    QO_METHOD_DOCS(QO_METHOD_DOC_ROW)
#undef QO_METHOD_DOC_ROW
};

namespace qoMethodDocCheck {
constexpr bool SameText(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}
constexpr bool RowsMatch() {
    constexpr int rows = static_cast<int>(sizeof(qoMethodDocTable) / sizeof(qoMethodDocTable[0]));
    if (rows != qoMethodCount) return false;
    for (int i = 0; i < rows; ++i) {
        const qoMethodDoc& doc = qoMethodDocTable[i];
        if (!SameText(doc.name, qoMethodTable[i].name) || !*doc.effect) return false;
    }
    return true;
}
}  // namespace qoMethodDocCheck

static_assert(qoMethodDocCheck::RowsMatch(),
              "QO_METHOD_DOCS needs one row with an effect text per catalogue row, in its order");
