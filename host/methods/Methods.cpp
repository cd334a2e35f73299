// Host entity methods of the reference host: dispatch through the method catalogue and the
// simulated effect of every method.
//
// Dispatch (host slot 12, through World::CallEntityMethod):
//   1. The method number must be in the catalogue and the signature must equal the catalogue's
//      signature for it; an argument buffer must come with a non-empty signature. Otherwise the
//      call is refused (false).
//   2. The arguments are decoded by the signature, each slot read only to its width.
//   3. The entity's host class must support the method (MethodHostClass; "kvEntity" means any
//      entity). Otherwise the call is refused.
//   4. The call is recorded (kind "method": entity name, method name, decoded arguments; the
//      world stamps frame and calling thread), then its effect runs. An effect that cannot be
//      carried out fails the call and adds a record "<entity>.<Method> failed: <reason>".
//   5. On success the result of the method's result kind is handed to the world for the result
//      getters. Methods without an effect of their own are recorded and answer zero.
//
// Conventions of the simulated world: distances in units, angles (pitch, yaw, roll) in degrees,
// times in game milliseconds. Origins are world positions; an entity bound to another (Bind...)
// follows its parent's moves and turns. Movers (host/sim/movers/Movers.h) travel at their speed
// or take their travel time, with speed-up and slow-down phases. Latent AI actions hold the
// calling script thread for the action's duration (host/methods/Actions.h).
#include "host/methods/Methods.h"
#include "host/level/SpawnArgs.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "host/world/Seconds.h"
#include "host/methods/Actions.h"
#include "host/methods/Call.h"
#include "host/methods/Events.h"
#include "host/records/Outcomes.h"
#include "host/sim/gui/Gui.h"
#include "host/sim/monsters/Monsters.h"
#include "host/sim/movers/Movers.h"
#include "host/sim/sound/Sound.h"
#include "host/sim/spawning/Spawning.h"
#include "host/sim/view/View.h"
#include "host/world/Vectors.h"
#include "host/world/World.h"
#include "quorin/kvQOObject.h"
#include "quorin/qoMethodCatalogue.h"

namespace qohost {

namespace {

// ---- simulation constants --------------------------------------------------------------------

constexpr int32_t kVoiceOverMs = 2000;   // Action_PlayAdditiveVoiceOver
constexpr float kEyeHeight = 64.0f;      // GetViewPos above the origin
constexpr float kViewWidth = 640.0f;     // GetViewWidth / GetViewHeight
constexpr float kViewHeight = 480.0f;
constexpr float kDefaultDamage = 10.0f;  // Damage with a decl that has no "damage" value
constexpr int kMaxBindDepth = 64;  // Bind refuses deeper chains as cycles

// Seconds as whole game milliseconds.
int32_t Ms(float seconds) { return ClampedMs(seconds); }

bool Inside(const qoVector& p, const Entity& box) {
    return p.x >= box.origin.x + box.mins.x && p.x <= box.origin.x + box.maxs.x &&
           p.y >= box.origin.y + box.mins.y && p.y <= box.origin.y + box.maxs.y &&
           p.z >= box.origin.z + box.mins.z && p.z <= box.origin.z + box.maxs.z;
}

bool Overlap(const Entity& a, const Entity& b) {
    auto axis = [](float ao, float amin, float amax, float bo, float bmin, float bmax) {
        return ao + amin <= bo + bmax && bo + bmin <= ao + amax;
    };
    return axis(a.origin.x, a.mins.x, a.maxs.x, b.origin.x, b.mins.x, b.maxs.x) &&
           axis(a.origin.y, a.mins.y, a.maxs.y, b.origin.y, b.mins.y, b.maxs.y) &&
           axis(a.origin.z, a.mins.z, a.maxs.z, b.origin.z, b.mins.z, b.maxs.z);
}

// ---- effect helpers --------------------------------------------------------------------------

// Lets the entity follow `parent`; refused for an invalid parent and for a bind that would
// make a cycle.
void BindTo(Call& c) {
    const uint32_t parent = c.E(0);
    for (uint32_t p = parent, depth = 0; p != 0 && depth < kMaxBindDepth; ++depth) {
        if (p == c.self.handle) return c.Fail("bind cycle");
        const Entity* e = c.world.ValidEntity(p);
        p = e ? e->bindParent : 0;
    }
    if (!c.world.ValidEntity(parent)) return c.Fail("no such parent");
    c.world.SetBindParent(c.self, parent);
}

HudElement* Hud(Call& c) {
    auto it = c.self.methods->hud.find(c.S(0));
    return it == c.self.methods->hud.end() ? nullptr : &it->second;
}

// Applies set(element) to the HUD element named by the first argument; fails when missing.
template <class Set>
void WithHud(Call& c, Set set) {
    HudElement* h = Hud(c);
    if (!h) return c.Fail("no HUD element \"" + c.S(0) + "\"");
    set(*h);
}

void SetHudFour(Call& c, float (HudElement::*member)[4]) {
    return WithHud(c, [&](HudElement& h) {
        for (int k = 0; k < 4; ++k) (h.*member)[k] = c.F(k + 1);
    });
}

void PlaceAt(Call& c) {
    StopMotion(c.world, c.self);
    PlaceOrigin(c.world, c.self, c.V(0));
}

// Moves to the origin of argument 0 in durationMs (< 0: by speed or travel time).
void MoveToEntity(Call& c, int32_t durationMs) {
    const Entity* to = Live(c, 0);
    if (!to) return;
    StartMoveTo(c.world, c.self, to->origin, durationMs);
}

void FollowSpline(Call& c) {
    if (const Entity* spline = Live(c, 0)) StartSpline(c.world, c.self, *spline);
}

// ---- the effect table ------------------------------------------------------------------------

struct Effect {
    int32_t method;
    void (*apply)(Call&);
    const char* text;
    const char* hostClass = nullptr;  // null: the class of the method's number range
};

#define M(name) qoMethod_##name

constexpr const char* kPanelSet =
    "sets the panel setting; the record shows the panel at the start of the next frame";
template <PanelText W>
void PanelTextSet(Call& c) { SetPanel(c.world, c.self, W, c.S(0)); }
template <PanelNumber W>
void PanelNumberSet(Call& c) { SetPanel(c.world, c.self, W, c.I(0)); }
template <PanelColor W>
void PanelColorSet(Call& c) { SetPanel(c.world, c.self, W, c.C(0)); }

// What each method does in this host. Methods that are not listed are recorded only and
// answer zero (false, 0, handle 0, 0.0, (0, 0, 0) or "").
constexpr Effect kEffects[] = {
    // Names, activation, targets and binding.
    {M(Remove), [](Call& c) { c.world.RemoveEntity(c.self.handle); },
     "removes the entity: invalid at once, its script objects are destroyed at the end of the "
     "frame"},
    {M(GetName), Get<&Entity::name>, "the entity's name"},
    {M(Activate), [](Call& c) { ActivateEntity(c.world, c.self.handle, c.E(0)); },
     "delivers OnActivate (activator = argument) to the entity's script objects that handle it; "
     "a spawn entity (kvTarget_Spawn) then spawns, unless busy (host/sim/spawning/Spawning.h)"},
    {M(ActivateTargets),
     [](Call& c) {
         const std::vector<uint32_t> targets = c.self.targets;
         for (uint32_t t : targets) ActivateEntity(c.world, t, c.E(0));
     },
     "Activate on each target in list order (activator = argument)"},
    {M(MakeActivatable), Set<&EntityMethodState::activatable>, "sets the activatable flag"},
    {M(NumTargets), [](Call& c) { c.Return(static_cast<int32_t>(c.self.targets.size())); },
     "the length of the target list"},
    {M(GetTarget),
     [](Call& c) {
         const int32_t i = c.I(0);
         if (i < 0 || i >= static_cast<int32_t>(c.self.targets.size()))
             return c.Fail("index " + std::to_string(i) + " out of range");
         c.Return(c.self.targets[i]);
     },
     "the target at a 0-based index; fails outside 0 .. NumTargets-1"},
    {M(RemoveTarget),
     [](Call& c) {
         auto& t = c.self.targets;
         const auto end = std::remove(t.begin(), t.end(), c.E(0));
         c.Return(end != t.end());
         t.erase(end, t.end());
     },
     "removes the entity from the target list; true when it was there"},
    {M(AddTarget),
     [](Call& c) {
         if (!Live(c, 0)) return;
         auto& t = c.self.targets;
         if (std::find(t.begin(), t.end(), c.E(0)) == t.end()) t.push_back(c.E(0));
     },
     "appends a live entity to the target list unless it is there; fails for an invalid entity"},
    {M(Bind), BindTo,
     "binds to the entity: follows its moves; fails for an invalid parent or a cycle"},
    {M(BindPosition), BindTo, "as Bind"},
    {M(BindToJoint), BindTo, "as Bind (joint names are recorded only)"},
    {M(Unbind), [](Call& c) { c.world.SetBindParent(c.self, 0); }, "clears the bind parent"},
    {M(RemoveBinds),
     [](Call& c) {
         for (Entity* e : c.world.BoundTo(c.self.handle)) c.world.SetBindParent(*e, 0);
     },
     "unbinds every entity bound to this one"},

    // Appearance, sound, placement and physics.
    {M(SetColor),
     [](Call& c) { c.self.methods->color = {c.F(0), c.F(1), c.F(2)}; },
     "sets the colour (r, g, b)"},
    {M(GetColor), Get<&EntityMethodState::color>, "the colour; (1, 1, 1) until set"},
    {M(IsHidden), Get<&Entity::hidden>, "the hidden flag"},
    {M(Hide), Put<&Entity::hidden, true>, "sets the hidden flag"},
    {M(Show), Put<&Entity::hidden, false>, "clears the hidden flag"},
    {M(StartSoundShader), [](Call& c) { StartSound(c.world, c.self, c.I(1), DeclText(c.world, c.D(0))); },
     "the sound shader plays on the channel at 0 dB (replacing what played there; host/sim/sound/Sound.h)"},
    {M(StopSound), [](Call& c) { StopSound(c.world, c.self, c.I(0)); }, "silences the channel"},
    {M(FadeSound), [](Call& c) { FadeSound(c.world, c.self, c.I(0), c.F(1), c.F(2)); },
     "(channel, dB, seconds): moves the channel's volume to dB, linearly in decibels over the "
     "seconds (at once for 0)"},
    {M(GetWorldOrigin), Get<&Entity::origin>, "the origin"},
    {M(SetWorldOrigin), PlaceAt, "as SetOrigin"},
    {M(GetOrigin), Get<&Entity::origin>, "the origin (a world position)"},
    {M(SetOrigin), PlaceAt, "stops any motion and places the entity; bound entities move along"},
    {M(LocalToWorldForOffset),
     [](Call& c) {
         const qoVector& o = c.V(0);
         const qoVector& a = c.self.angles;
         c.Return(Add(c.self.origin, Add(Add(Scale(Forward(a), o.x), Scale(Left(a), o.y)),
                                         qoVector{0.0f, 0.0f, o.z})));
     },
     "origin + offset turned by the yaw (x forward, y left, z up)"},
    {M(GetAngles), Get<&Entity::angles>, "the angles (pitch, yaw, roll)"},
    {M(GetRenderModelAngles), Get<&Entity::angles>, "the angles"},
    {M(SetAngles),
     [](Call& c) {
         SettleMover(c.world, c.self);
         c.self.methods->rotation.active = false;
         PlaceAngles(c.world, c.self, c.V(0));
     },
     "stops any rotation and sets the angles; bound entities turn along"},
    {M(GetSpawnAxisForward), [](Call& c) { c.Return(Forward(c.self.angles)); },
     "the unit vector of the yaw"},
    {M(SetLinearVelocity), Set<&Entity::velocity>, "sets the velocity (the entity does not drift)"},
    {M(GetLinearVelocity), [](Call& c) { c.Return(Velocity(c.self)); },
     "the velocity; for an actor that walks, its walking velocity (host/sim/monsters/Monsters.h)"},
    {M(SetAngularVelocity), Set<&EntityMethodState::angularVelocity>, "sets the angular velocity"},
    {M(GetMins), Get<&Entity::mins>, "the bounds' minimum, relative to the origin"},
    {M(GetMaxs), Get<&Entity::maxs>, "the bounds' maximum, relative to the origin"},
    {M(Touches),
     [](Call& c) {
         const Entity* other = c.Ent(0);
         c.Return(other && Overlap(c.self, *other));
     },
     "true when the two bounds (placed at the origins) overlap"},
    {M(SetSpawnPosition), Set<&EntityMethodState::spawnPosition>, "records the spawn position"},
    {M(DistanceTo),
     [](Call& c) {
         const Entity* other = Live(c, 0);
         if (!other) return;
         c.Return(Distance(c.self.origin, other->origin));
     },
     "distance between the origins; fails for an invalid entity"},
    {M(Teleport),
     [](Call& c) {
         StopMotion(c.world, c.self);
         c.world.paths.Stop(c.self.handle);
         PlaceOrigin(c.world, c.self, c.V(0));
         PlaceAngles(c.world, c.self, c.V(1));
         c.self.velocity = {};
     },
     "stops any motion and any walk along a path, sets origin and angles, zero velocity"},
    {M(GetClass), Get<&Entity::hostClass>, "the host class name"},
    {M(IsClass), [](Call& c) { c.Return(HostClassIsA(c.self.hostClass, c.S(0))); },
     "true when the host class is the named one or derives from it"},
    {M(IsSpecificClass), [](Call& c) { c.Return(c.self.hostClass == c.S(0)); },
     "true when the host class is exactly the named one"},
    {M(Damage),
     [](Call& c) {
         if (!c.self.methods->damageEnabled) return;
         float amount = kDefaultDamage;
         if (c.world.IsDecl(c.D(0))) {
             const auto& args = static_cast<const Decl*>(c.D(0))->args;
             if (auto it = args.find(spawnargs::kDamage); it != args.end())
                 amount = std::strtof(it->second.c_str(), nullptr);
         }
         Hurt(c.world, c.self, amount * c.F(3), c.E(4), true, true);
     },
     "(decl, direction, push, scale, attacker, flag): the decl's \"damage\" value (10 without "
     "one) times scale, shields first; OnDamage, and OnDeath when health runs out; nothing "
     "while EnableDamage is off"},
    {M(SetGravity), Set<&EntityMethodState::gravity>, "records the gravity"},
    {M(ApplyImpulse),
     [](Call& c) { c.self.velocity = Add(c.self.velocity, c.V(0)); },
     "adds the impulse to the velocity"},
    {M(GetClosestPointOnLine),
     [](Call& c) {
         c.Return(Lerp(c.V(0), c.V(1), SegmentParam(c.V(0), c.V(1), c.self.origin)));
     },
     "the point of the segment (start, end) closest to the origin"},
    {M(GetBindParent), Get<&Entity::bindParent>, "the bind parent, handle 0 when unbound"},
    {M(GetJointPos), Get<&Entity::origin>, "the origin (joints are not simulated)"},
    {M(GetJointAngle), Get<&Entity::angles>, "the angles (joints are not simulated)"},

    // Animation state: recorded; animations are over at once.
    {M(AnimState_IsFinished), [](Call& c) { c.Return(true); }, "true"},

    // Paths and mover motion.
    {M(GetSplineLength),
     [](Call& c) { c.Return(PathLength(PathOf(c.world, c.self))); },
     "length of the path: straight legs from the origin through the targets' origins"},
    {M(GetDistanceAlongPath),
     [](Call& c) { c.Return(DistanceAlong(PathOf(c.world, c.self), c.V(0))); },
     "distance along the path to its point closest to the given point (the floats are recorded "
     "only)"},
    {M(GetPositionAlongPath),
     [](Call& c) { c.Return(PointAtDistance(PathOf(c.world, c.self), c.F(0))); },
     "the point at a distance along the path, clamped to its ends"},
    {M(StopMoving), [](Call& c) { StopMotion(c.world, c.self); },
     "ends motion, rotation, bob and sway where they are"},
    {M(Speed),
     [](Call& c) { c.self.methods->speed = c.F(0); c.self.methods->time = 0.0f; },
     "later moves travel at this speed (units or degrees per second)"},
    {M(Time), Set<&EntityMethodState::time>, "later moves take this many seconds (0: by speed)"},
    {M(AccelTime), Set<&EntityMethodState::accelTime>,
     "later moves speed up evenly over this many seconds (host/sim/movers/Movers.h)"},
    {M(DecelTime), Set<&EntityMethodState::decelTime>,
     "later moves slow down evenly over this many seconds"},
    {M(SetParmsForTime),
     [](Call& c) {
         auto& m = *c.self.methods;
         m.time = c.F(0), m.accelTime = c.F(1), m.decelTime = c.F(2);
     },
     "(time, accel, decel) for later moves"},
    {M(SetParmsForSpeed),
     [](Call& c) {
         auto& m = *c.self.methods;
         m.speed = c.F(0), m.time = 0.0f, m.accelTime = c.F(1), m.decelTime = c.F(2);
     },
     "(speed, accel, decel) for later moves"},
    {M(MoveTo), [](Call& c) { return MoveToEntity(c, -1); },
     "moves to the entity's origin; fails for an invalid entity"},
    {M(MoveToOverTime), [](Call& c) { return MoveToEntity(c, Ms(c.F(1))); },
     "(entity, time, accel, decel): moves to the entity's origin in that time"},
    {M(MoveToPos), [](Call& c) { StartMoveTo(c.world, c.self, c.V(0)); },
     "moves to the position"},
    {M(MoveToPosOverTime),
     [](Call& c) {
         StartMoveTo(c.world, c.self, c.V(0), Ms(c.F(1)));
     },
     "(position, time, accel, decel): moves there in that time"},
    {M(Move),
     [](Call& c) {
         const float angle = c.F(0);
         const qoVector dir = angle == -1.0f ? qoVector{0, 0, 1}
                              : angle == -2.0f ? qoVector{0, 0, -1}
                                               : Forward(qoVector{0.0f, angle, 0.0f});
         StartMoveTo(c.world, c.self, Add(c.self.origin, Scale(dir, c.F(1))));
     },
     "(yaw, distance): moves that far; yaw -1 is up, -2 down"},
    {M(RotateTo), [](Call& c) { StartRotation(c.world, c.self, c.V(0)); },
     "turns to the angles at the speed (degrees per second) or in the travel time"},
    {M(RotateToShortest),
     [](Call& c) {
         const qoVector d = Sub(c.V(0), c.self.angles);
         StartRotation(c.world, c.self,
                       Add(c.self.angles, {NormalizeDegrees180(d.x), NormalizeDegrees180(d.y),
                                           NormalizeDegrees180(d.z)}));
     },
     "as RotateTo, each angle the short way round"},
    {M(Rotate),
     [](Call& c) { StartContinuousRotation(c.world, c.self, c.V(0)); },
     "turns without end at the given degrees per second until StopMoving"},
    {M(RotateOnce),
     [](Call& c) { StartRotation(c.world, c.self, Add(c.self.angles, c.V(0))); },
     "turns by the given angles"},
    {M(Bob), Put<&EntityMethodState::bobbing, true>,
     "IsMoving answers true until StopMoving (the origin stays)"},
    {M(Sway), Put<&EntityMethodState::swaying, true>,
     "IsRotating answers true until StopMoving (the angles stay)"},
    {M(StartSpline), FollowSpline,
     "moves from the origin along the spline entity's path (its origin, then its targets')"},
    {M(TravelSpline), FollowSpline, "as StartSpline (the flags are recorded only)"},
    {M(StopSpline),
     [](Call& c) { StopMove(c.world, c.self); }, "ends the move where it is"},
    {M(EnableSplineAngles), Set<&EntityMethodState::splineAngles>,
     "while on, spline moves turn the yaw along the leg travelled"},
    {M(IsMoving),
     [](Call& c) { c.Return(IsMoving(c.world, c.self)); },
     "true while the entity's own move lasts (or while bobbing)"},
    {M(IsRotating),
     [](Call& c) { c.Return(IsRotating(c.world, c.self)); },
     "true while a rotation lasts (or while swaying)"},

    // Inventory, health and weapons.
    {M(NumOfItemTypeInInventory),
     [](Call& c) {
         auto it = c.self.methods->inventory.find(c.S(0));
         c.Return(it == c.self.methods->inventory.end() ? 0 : it->second);
     },
     "the count of the item"},
    {M(GiveInventoryItem), [](Call& c) { c.self.methods->inventory[c.S(0)] += c.I(1); },
     "adds the count of the item"},
    {M(RemoveInventoryItem),
     [](Call& c) {
         int32_t& n = c.self.methods->inventory[c.S(0)];
         n = std::max(0, n - c.I(1));
     },
     "takes the count of the item away (not below 0)"},
    {M(GetEquippedWeaponDecl), Get<&EntityMethodState::equippedWeapon>,
     "name of the item last equipped with EquipItem; \"\" before"},
    {M(IsDead), Get<&Entity::dead>, "the dead flag"},
    {M(IncreaseHealth),
     [](Call& c) {
         if (c.self.dead) return;
         const int32_t before = c.self.health;
         c.self.health = static_cast<int32_t>(std::clamp<int64_t>(
             int64_t{c.self.health} + HealthPoints(c.F(0)), std::numeric_limits<int32_t>::min(),
             c.self.maxHealth));
         // The healer is the entity whose script thread asked, when another one did.
         const ThreadInfo* thread = c.world.scheduler.Find(c.world.scheduler.Current());
         const uint32_t healer = thread ? thread->owner.entity : 0;
         RecordHealth(c.world, c.self, before, healer == c.self.handle ? 0 : healer);
     },
     "adds health up to the maximum; nothing for the dead"},
    {M(DecreaseHealth),
     [](Call& c) { Hurt(c.world, c.self, c.F(0), 0, false, false); },
     "takes health away (shields untouched); at 0 the entity dies (OnDeath) unless NoPlayerDeath"},

    // On-screen panels (host/sim/gui/Gui.h).
    {M(SetHeaderText), PanelTextSet<PanelText::Header>, kPanelSet},
    {M(SetHeaderBehavior), PanelNumberSet<PanelNumber::HeaderBehavior>, kPanelSet},
    {M(SetHeaderColor), PanelColorSet<PanelColor::Header>, kPanelSet},
    {M(SetHeaderAlignment), PanelNumberSet<PanelNumber::HeaderAlignment>, kPanelSet},
    {M(SetBodyText), PanelTextSet<PanelText::Body>, kPanelSet},
    {M(SetBodyBehavior), PanelNumberSet<PanelNumber::BodyBehavior>, kPanelSet},
    {M(SetBodyColor), PanelColorSet<PanelColor::Body>, kPanelSet},
    {M(SetBodyAlignment), PanelNumberSet<PanelNumber::BodyAlignment>, kPanelSet},
    {M(SetPaneBackgroundColor), PanelColorSet<PanelColor::PaneBackground>, kPanelSet},

    // Lights, debug target.
    {M(On), Put<&EntityMethodState::lightOn, true>, "light on"},
    {M(Off), Put<&EntityMethodState::lightOn, false>, "light off"},
    {M(FadeOutLight), Put<&EntityMethodState::lightOn, false>, "light off (at once)"},
    {M(FadeInLight), Put<&EntityMethodState::lightOn, true>, "light on (at once)"},
    {M(GetDebugTarget), Get<&EntityMethodState::debugTarget>, "the debug target"},
    {M(SetDebugTarget), Set<&EntityMethodState::debugTarget>, "sets the debug target"},

    // Player.
    {M(NoPlayerDeath), Set<&EntityMethodState::noDeath>, "while on, health stops at 1"},
    {M(GetPlayerHealth), [](Call& c) { c.Return(float(c.self.health)); }, "health"},
    {M(GetPlayerMaxHealth), [](Call& c) { c.Return(float(c.self.maxHealth)); }, "maximum health"},
    {M(GetPlayerShields), [](Call& c) { c.Return(float(c.self.shields)); }, "shields"},
    {M(GetPlayerMaxShields), [](Call& c) { c.Return(float(c.self.maxShields)); },
     "maximum shields"},
    {M(GetViewAngles), Get<&Entity::angles>, "the angles"},
    {M(SetViewAngles), Set<&Entity::angles>, "sets the angles"},
    {M(GetViewPos),
     [](Call& c) { c.Return(Add(c.self.origin, {0.0f, 0.0f, kEyeHeight})); },
     "origin + (0, 0, 64)"},
    {M(IsPlayerOnGround), [](Call& c) { c.Return(c.world.paths.OnGround(c.self.handle)); },
     "true unless walking to a waypoint in the air (host/sim/paths/Paths.h)"},
    {M(DoesPlayerHavePerk), [](Call& c) { c.Return(c.self.methods->perks.count(c.S(0)) > 0); },
     "true once the perk was given"},
    {M(IsPlayerPerkActive),
     [](Call& c) { c.Return(c.self.methods->activePerks.count(c.S(0)) > 0); },
     "true once the perk was activated"},
    {M(GivePlayerPerk), [](Call& c) { c.self.methods->perks.insert(c.S(0)); }, "gives the perk"},
    {M(ActivatePlayerPerk),
     [](Call& c) {
         if (!c.self.methods->perks.count(c.S(0))) return c.Fail("perk not given");
         c.self.methods->activePerks.insert(c.S(0));
     },
     "activates a perk the player has; fails otherwise"},
    {M(EnableWeapon), Put<&EntityMethodState::weaponEnabled, true>, "weapon on"},
    {M(DisableWeapon), Put<&EntityMethodState::weaponEnabled, false>, "weapon off"},
    {M(EquipItem),
     [](Call& c) {
         const bool known = c.world.IsDecl(c.D(0));
         if (known) c.self.methods->equippedWeapon = DeclText(c.world, c.D(0));
         c.Return(known);
     },
     "equips a known decl (GetEquippedWeaponDecl names it); true when the decl is known"},
    {M(InFOV),
     [](Call& c) {
         const Entity* other = Live(c, 0);
         if (!other) return;
         qoVector d = Sub(other->origin, c.self.origin);
         d.z = 0.0f;
         const float len = Length(d);
         const float cosHalf = std::cos(Radians(c.F(1) * 0.5f));
         c.Return(len == 0.0f || Dot(Forward(c.self.angles), d) / len >= cosHalf);
     },
     "(entity, fov degrees): true when the entity lies within fov/2 of the yaw, seen from above"},

    // HUD elements.
    {M(CreateHUDElement),
     [](Call& c) { c.Return(c.self.methods->hud.try_emplace(c.S(0)).second); },
     "creates a hidden element; true when it is new"},
    {M(DestroyHUDElement), [](Call& c) { c.Return(c.self.methods->hud.erase(c.S(0)) > 0); },
     "destroys the element; true when it existed"},
    {M(ShowHUDElement),
     [](Call& c) { WithHud(c, [&](HudElement& h) { h.visible = c.B(1); }); },
     "shows or hides the element; fails when it does not exist (likewise the other setters)"},
    {M(SetHUDElementUV), [](Call& c) { SetHudFour(c, &HudElement::uv); }, "sets u0, v0, u1, v1"},
    {M(SetHUDElementPosition), [](Call& c) { return SetHudFour(c, &HudElement::position); },
     "sets x, y, width, height"},
    {M(SetHUDElementColor), [](Call& c) { SetHudFour(c, &HudElement::color); }, "sets r, g, b, a"},
    {M(SetHUDElementText), [](Call& c) { WithHud(c, [&](HudElement& h) { h.text = c.S(1); }); },
     "sets the text"},
    {M(SetHUDElementTextScale),
     [](Call& c) { WithHud(c, [&](HudElement& h) { h.textScale = c.F(1); }); },
     "sets the text scale"},
    {M(SetHUDElementTextAlignment),
     [](Call& c) { return WithHud(c, [&](HudElement& h) { h.textAlignment = c.I(1); }); },
     "sets the text alignment"},
    {M(GetViewWidth), [](Call& c) { c.Return(kViewWidth); }, "640"},
    {M(GetViewHeight), [](Call& c) { c.Return(kViewHeight); }, "480"},

    // Volumes, usable and triggered entities.
    {M(NumPlayersInVolume),
     [](Call& c) {
         int32_t n = 0;
         for (uint32_t player : c.world.Players())
             if (const Entity* p = c.world.ValidEntity(player)) n += Inside(p->origin, c.self) ? 1 : 0;
         c.Return(n);
     },
     "the number of players whose origin lies in the bounds"},
    {M(IsEntityInVolume),
     [](Call& c) {
         const Entity* other = c.Ent(0);
         c.Return(other && Inside(other->origin, c.self));
     },
     "true when the entity's origin lies in the bounds"},
    {M(SetCurrentlyUsable), Set<&EntityMethodState::usable>, "sets the usable flag"},
    {M(Enable), Put<&EntityMethodState::enabled, true>, "sets the enabled flag"},
    {M(Disable), Put<&EntityMethodState::enabled, false>, "clears the enabled flag"},
    {M(SetUsable), Set<&EntityMethodState::usable>, "sets the usable flag"},
    {M(Destroy), Put<&Entity::hidden, true>, "hides the entity (it stays valid)"},
    {M(SetActiveState), Set<&EntityMethodState::enabled>, "sets the enabled flag"},

    // AI actions: each holds the calling script thread for its duration.
    {M(Action_MoveToPoint), WalkToPoint,
     "walks to the point at 200 units/s (the origin moves each frame), then takes the angles of "
     "the last argument"},
    {M(Action_MoveToPointNoFail), WalkToPoint, "as Action_MoveToPoint"},
    {M(Action_MoveToEntity), WalkToEntity,
     "walks to the entity's origin at 200 units/s; fails for an invalid entity"},
    {M(Action_MoveToPathPoint), WalkToEntity, "as Action_MoveToEntity"},
    {M(Action_MoveToPathPointNoFail), WalkToEntity, "as Action_MoveToEntity"},
    {M(Action_WaitForAnim), Animate<0>,
     "holds as long as the animation lasts: the spawn argument \"anim:<name>\" in seconds, 1 s "
     "without one (host/sim/monsters/Monsters.h)"},
    {M(Action_WaitForAnimVia), Animate<0>, "as Action_WaitForAnim, for the first animation"},
    {M(Action_LoopAnim),
     [](Call& c) { RunAction(c.world, c.self, c.method.name, LoopAnimMs(c.I(1)), [](Entity&) {}); },
     "holds for the milliseconds given; a negative count until EndCurrentScriptAction"},
    {M(Action_StartAnim), Animate<0>, "as Action_WaitForAnim"},
    {M(Action_ForceAnimState), Animate<1>, "as Action_WaitForAnim, for the animation of its second argument"},
    {M(SetAIExternalVelocity), [](Call& c) { c.world.paths.Push(c.world, c.self, c.V(0)); },
     "sets the velocity; the next frame moves the entity by it for one frame, then it is zero "
     "(host/sim/paths/Paths.h)"},
    {M(Action_PlayAdditiveVoiceOver), Hold<kVoiceOverMs>, "holds 2 s"},
    {M(Action_SetWalkState), Hold<0>, "over at once"},

    // AI control.
    {M(GetHealth), [](Call& c) { c.Return(float(c.self.health)); }, "health", "kvActor"},
    {M(SetEnemy), Set<&EntityMethodState::enemy>, "sets the enemy (the flag is recorded only)"},
    {M(EndCurrentScriptAction),
     [](Call& c) {
         StopMove(c.world, c.self);
         c.world.scheduler.ReleaseHolds(c.self.handle);
     },
     "ends the action the entity's script waits on: the entity stops where it is and the held "
     "caller goes on in the next frame"},
    {M(EnableDamage), Set<&EntityMethodState::damageEnabled>,
     "the first flag turns Damage on or off (the second is recorded only)"},
    {M(EnablePain), Set<&EntityMethodState::painEnabled>, "sets the pain flag"},
    {M(IsPainEnabled), Get<&EntityMethodState::painEnabled>,
     "the pain flag; true until EnablePain(false)"},
    {M(IsScriptWaitingOnAction), [](Call& c) { c.Return(!c.self.methods->action.empty()); },
     "true while a latent action of this entity holds its caller"},
    {M(HasAwarenessOfEnemy), [](Call& c) { c.Return(IsAware(c.world, c.self)); },
     "true once the timeline made the monster aware, and while the enemy set with SetEnemy "
     "exists (host/sim/monsters/Monsters.h)"},
    {M(EnablePerception), Set<&EntityMethodState::perception>, "records the perception flag"},
    {M(GetMonsterType), [](Call& c) { c.Return(MonsterType(c.self)); },
     "the spawn argument \"monsterType\": a type name's number or an integer, 0 without one"},
    {M(SetGoalPosition),
     [](Call& c) {
         const qoVector to = GoalPoint(c.self.origin, c.V(0), c.F(1));
         StartMotion(c.world, c.self, {c.self.origin, to}, WalkMs(c.self.origin, to));
     },
     "(point, distance, flag): walks toward the point at 200 units/s until that distance short "
     "of it (not latent; GetLinearVelocity gives the walk's velocity)"},

    // View and render effects (host/sim/view/View.h).
    {M(FadeView), [](Call& c) { StartFade(c.world, c.self, c.V(0), c.F(1), c.I(2), false); },
     "fades the view toward the colour at the alpha over the milliseconds (host/sim/view/View.h)"},
    {M(FadeOutView), [](Call& c) { StartFade(c.world, c.self, c.V(0), c.F(1), c.I(2), true); },
     "fades the view out to the colour over the milliseconds (host/sim/view/View.h)"},
    {M(SetRenderParm),
     [](Call& c) {
         const void* decl = c.D(0);
         if (!decl || !c.world.IsDecl(decl)) return c.Fail("no render parm decl");
         SetRenderParm(c.self, static_cast<const Decl*>(decl)->name, {c.F(1), c.F(2), c.F(3), c.F(4)});
     },
     "stores the four values under the decl's name; fails without a decl (host/sim/view/View.h)"},
    {M(LerpRenderScale),
     [](Call& c) { StartRenderScale(c.world, c.self, {c.F(0), c.F(1), c.F(2)}, c.I(3)); },
     "scales the model linearly to (x, y, z) over the milliseconds; accel and decel recorded "
     "only (host/sim/view/View.h)"},
    {M(TrackEntity),
     [](Call& c) {
         const Entity* target = Live(c, 0);
         if (target) TrackEntity(c.self, *target, c.F(1));
     },
     "turns the view yaw toward the entity by strength (0..1) of the remaining angle "
     "(host/sim/view/View.h)"},

    // Spawning.
    {M(SetEnabledState), Set<&EntityMethodState::enabled>,
     "sets the enabled flag (spawners spawn only while on)"},
    {M(GetNumEntityDefs), [](Call& c) { c.Return(static_cast<int32_t>(c.self.entityDefs.size())); },
     "the number of entity defs the entity spawns from"},
    {M(GetLastSpawned), Get<&Entity::lastSpawned>, "the entity spawned last, handle 0 before"},
    {M(IsSpawnAvailable), [](Call& c) { c.Return(SpawnAvailable(c.self, c.Ent(0))); },
     "(reference) true when enabled and the entity or else the reference has an entity def "
     "(busy or not: GetTimeTillAvailable tells the rest of the cooldown)"},
    {M(SpawnEntity),
     [](Call& c) {
         std::string why;
         const uint32_t spawned = SpawnNext(c.world, c.self.handle, c.E(0), &why);
         if (!spawned) return c.Fail(why);
         c.Return(spawned);
     },
     "(reference) spawns the next entity def (in turn) of the entity, or else of the reference, "
     "at the entity's origin and angles, named from its spawn names; starts the cooldown (spawn "
     "argument \"spawnCooldownMs\", 0 without one, and spawns while busy too); OnTargetSpawn to "
     "the entity's script objects; fails when disabled, without entity defs, or past the 1,000 "
     "spawns all spawners may make in a frame (host/sim/spawning/Spawning.h)"},
    {M(GetTimeTillAvailable), [](Call& c) { c.Return(SpawnBusyMs(c.world, c.self)); },
     "milliseconds left of the cooldown (the argument is recorded only)"},
};

#undef M

// Host class a method needs, by ranges of method numbers; rows of kEffects may override it.
struct ClassRange {
    int32_t first, last;
    const char* hostClass;
};
constexpr ClassRange kClassRanges[] = {
    {452, 487, "kvMover"},    // mover motion (path queries work on any entity)
    {537, 546, "kvPlayer"},   // inventory, equipped weapon
    {558, 559, "kvPlayer"},   // weapon pause
    {585, 591, "kvLight"},    // lights
    {597, 615, "kvPlayer"},   // HUD presentation
    {623, 678, "kvPlayer"},   // player
    {696, 707, "kvPlayer"},   // HUD elements
    {1287, 1422, "kvAI2"},    // AI actions and control
    {1564, 1564, "kvMover"},  // elevators
};
constexpr const char* kAnyEntity = "kvEntity";

constexpr int32_t kMaxMethod = qoMethodTable[qoMethodCount - 1].number;

// Per method number: the catalogue row and the effect row (-1 when none).
struct MethodIndex {
    std::array<int16_t, kMaxMethod + 1> row{};
    std::array<int16_t, kMaxMethod + 1> effect{};
    constexpr MethodIndex() {
        row.fill(-1);
        effect.fill(-1);
        for (int i = 0; i < qoMethodCount; ++i)
            row[qoMethodTable[i].number] = static_cast<int16_t>(i);
        for (size_t i = 0; i < std::size(kEffects); ++i)
            effect[kEffects[i].method] = static_cast<int16_t>(i);
    }
};
constexpr MethodIndex kIndex;

constexpr bool EffectsAreUnique() {
    for (size_t i = 0; i < std::size(kEffects); ++i)
        for (size_t j = i + 1; j < std::size(kEffects); ++j)
            if (kEffects[i].method == kEffects[j].method) return false;
    return true;
}
static_assert(EffectsAreUnique(), "one effect row per method");

const Effect* FindEffect(int32_t method) {
    const int16_t i = kIndex.effect[method];
    return i < 0 ? nullptr : &kEffects[i];
}

const qoMethodInfo* FindMethod(int32_t method) {
    if (method < 0 || method > kMaxMethod) return nullptr;
    const int16_t i = kIndex.row[method];
    return i < 0 ? nullptr : &qoMethodTable[i];
}

const char* HostClassFor(int32_t method) {
    if (const Effect* e = FindEffect(method); e && e->hostClass) return e->hostClass;
    for (const ClassRange& r : kClassRanges)
        if (method >= r.first && method <= r.last) return r.hostClass;
    return kAnyEntity;
}

bool Supports(const Entity& e, const char* hostClass) {
    return std::strcmp(hostClass, kAnyEntity) == 0 || e.IsA(HostClassRowOf(hostClass));
}

MethodResult::Kind ResultKind(qoMethodResult r) {
    switch (r) {
        case qoMethodResult::None: return MethodResult::Kind::None;
        case qoMethodResult::Float: return MethodResult::Kind::Float;
        case qoMethodResult::Vector: return MethodResult::Kind::Vector;
        case qoMethodResult::String: return MethodResult::Kind::String;
        default: return MethodResult::Kind::Int;
    }
}

}  // namespace

bool DispatchMethod(World& world, Entity& entity, int32_t method, const char* signature, void* args,
                    MethodResult& out) {
    const qoMethodInfo* info = FindMethod(method);
    const bool record = world.Wants(RecordKind::Method);
    if (!info) {
        if (record)
            world.Record(RecordKind::Method,
                         entity.name + ".#" + std::to_string(method) + " refused: unknown method",
                         entity.handle);
        return false;
    }
    const size_t count = std::strlen(info->signature);
    if (!signature || std::strcmp(signature, info->signature) != 0) {
        if (record)
            world.Record(RecordKind::Method,
                         entity.name + "." + info->name + " refused: signature \"" +
                             (signature ? signature : "(null)") + "\", expected \"" +
                             info->signature + "\"",
                         entity.handle);
        return false;
    }
    if (count > 0 && !args) {
        if (record)
            world.Record(RecordKind::Method,
                         entity.name + "." + info->name + " refused: no argument buffer",
                         entity.handle);
        return false;
    }

    Call call{world, entity, *info};
    call.count = static_cast<int>(count);
    for (size_t k = 0; k < count; ++k)
        call.args[k] = Decode(info->signature[k], static_cast<const unsigned char*>(args) + 16 * k);

    const char* hostClass = HostClassFor(method);
    if (!Supports(entity, hostClass)) {
        if (record)
            world.Record(RecordKind::Method,
                         CallText(call) + " refused: " + entity.hostClass + " is not a " + hostClass,
                         entity.handle);
        return false;
    }

    SettleMover(world, entity);
    for (int k = 0; k < call.count; ++k)
        if (call.args[k].type == 'e')
            if (Entity* e = world.ValidEntity(call.args[k].entity)) SettleMover(world, *e);

    // A call that answers (a query) is recorded once it has its answer, which the printed log
    // shows with it; latent actions and calls without an answer are recorded before they act.
    const bool answers = info->result != qoMethodResult::None && std::strncmp(info->name, "Action_", 7) != 0;
    const auto emit = [&] {
        Record r;
        r.kind = RecordKind::Method;
        r.entity = entity.handle;
        r.number = method;
        r.detail = &call;
        r.format = [](const Record& rec, std::string& text) { AppendCallText(text, *static_cast<const Call*>(rec.detail)); };
        if (answers && !call.failed)
            r.answer = [](const Record& rec, std::string& text) { AppendAnswerText(text, *static_cast<const Call*>(rec.detail)); };
        world.Emit(r);
    };
    if (record && !answers) emit();
    const Effect* effect = FindEffect(method);
    if (effect) effect->apply(call);
    if (record && answers) emit();
    if (call.failed) {
        if (world.Wants(RecordKind::Method))
            world.Record(RecordKind::Method, entity.name + "." + info->name + " failed: " + call.failure,
                         entity.handle);
        return false;
    }
    call.result.kind = ResultKind(info->result);
    out = std::move(call.result);
    return true;
}

void AdvanceSimulation(World& world) {
    // Only entities with a motion or rotation under way; those that have come to rest leave
    // the list.
    world.AdvanceList(world.SimulatedEntities(), [&](Entity& e) {
        SettleMover(world, e);
        return e.simulated = MoverActive(e);
    });
    // Spawned entities whose death their spawner has not heard of yet.
    AdvanceSpawned(world, world.SpawnWatched());
    // Sound channels fading over time.
    AdvanceSounds(world, world.SoundFades());
    // What the screen showed in the frame before (host/sim/hud/Hud.h, host/sim/gui/Gui.h).
    world.screen.Advance(world);
    world.panels.Advance(world);
}

const char* MethodName(int32_t method) {
    const qoMethodInfo* info = FindMethod(method);
    return info ? info->name : nullptr;
}

const char* MethodEffectText(int32_t method) {
    if (!FindMethod(method)) return nullptr;
    const Effect* e = FindEffect(method);
    return e ? e->text : "recorded only; answers zero";
}

bool MethodReturnsEntity(int32_t method) {
    const qoMethodInfo* info = FindMethod(method);
    return info && info->result == qoMethodResult::Entity;
}

const char* MethodHostClass(int32_t method) {
    return FindMethod(method) ? HostClassFor(method) : nullptr;
}

}  // namespace qohost
