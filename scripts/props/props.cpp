#include "scripts/props/props.h"

#include <cmath>

#include "core/qoVector.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/common/qoDebugText.h"
#include "scripts/flags/util_entityFlag.h"

namespace {

constexpr char kPropUsed[] = "PropUsed";
constexpr float kDegreesPerRadian = 57.29577951f;

float GameSeconds() { return static_cast<float>(qoSys->GameTimeMs()) * 0.001f; }

}  // namespace

qoVector qoDirectionToAngles(const qoVector& d) {
    float yaw = std::atan2(d.y, d.x) * kDegreesPerRadian;
    if (yaw < 0.0f) yaw += 360.0f;
    const float pitch = std::atan2(d.z, std::sqrt(d.x * d.x + d.y * d.y)) * kDegreesPerRadian;
    return {-pitch, yaw, 0.0f};
}

// ---- prop_UsableProp ----------------------------------------------------------------------------

void prop_UsableProp::Init() {
    qoUtil::DefineFlag(entity, kPropUsed);
    if (requireActivation) entity.SetUsable(false);
}

void prop_UsableProp::OnActivate(const qoEntity&) {
    if (requireActivation && (!used || !useOnce)) entity.SetUsable(true);
}

void prop_UsableProp::OnUse(const qoEntity&) {
    qoUtil::SetFlag(entity, kPropUsed, 0.0f);
    used = true;
    if (!call.IsEmpty()) qoSys->CallScriptFunction(qoGetWorldEntity().handle, call.c_str());
    if (useOnce) entity.SetUsable(false);
}

// ---- prop_facePlayer ----------------------------------------------------------------------------

void prop_facePlayer::Init() { QO_THREAD(Update); }

void prop_facePlayer::Update() {
    for (;;) {
        const qoEntity player = qoGetPlayer1();
        qoVector angles = useViewAngles
                              ? player.GetViewAngles(true)
                              : qoDirectionToAngles(player.GetWorldOrigin() - entity.GetWorldOrigin());
        if (clampZAxis) angles.x = angles.z = 0.0f;
        entity.SetAngles(angles);
        entity.SetWorldOrigin(entity.GetWorldOrigin());
        qoWaitFrame();
    }
}

// ---- playerFacingRotate -------------------------------------------------------------------------

void playerFacingRotate::Init() {
    const float frame = static_cast<float>(qoSys->FrameTimeMs()) * 0.001f;
    removeTime = 0.0f;
    const qoEntity player = qoGetPlayer1();
    const qoVector origin = entity.GetWorldOrigin();
    qoVector angles = entity.GetAngles();
    for (;;) {
        qoVector toProp;  // the angles of the direction from the player to the prop
        float delta = 0.0f;
        if (!entity.IsHidden()) {
            const qoVector playerOrigin = player.GetWorldOrigin();
            toProp = qoDirectionToAngles(origin - playerOrigin);
            angles.y += frame * yawRate;
            delta = angles.y - toProp.y;
            if (delta < 0.0f || delta >= 360.0f) delta -= 360.0f * std::floor(delta / 360.0f);
            if (alwaysFacePlayer) {
                // Within 90 degrees of facing away, the prop turns round.
                if (delta < 270.0f) angles.y -= 180.0f;
                if (delta > 90.0f) angles.y += 180.0f;
            }
            entity.SetAngles(angles);
            entity.SetOrigin(origin + qoVector{0.0f, 0.0f, std::sin(GameSeconds() * bobTimeScale) * bobOffset});
            if (pickupRadius >= 0.0f && qoLength(origin - playerOrigin) < pickupRadius) OnActivate(player);
        }
        if (debugText) {
            const qoDebugTextLine lines[] = {
                {"ang0: ", qoString::FromVector(angles), 64.0f, qoDebugOrange},
                {"ang1: ", qoString::FromVector(toProp), 56.0f, qoDebugOrange},
                {"angDelta: ", qoString::FromFloat(delta), 48.0f, qoDebugOrange},
                {"timeOutFraction: ", qoString::FromFloat(GameSeconds() / removeDelay), 40.0f, qoDebugOrange},
            };
            for (const qoDebugTextLine& line : lines)
                qoDrawDebugLine(line, origin + qoVector{0.0f, 0.0f, line.height}, frame);
        }
        if (triggered) {
            entity.RemoveBinds();
            if (GameSeconds() > removeTime) {
                entity.Remove();
                return;
            }
        }
        qoWaitFrame();
    }
}

void playerFacingRotate::OnActivate(const qoEntity&) {
    if (triggered) return;
    triggered = true;
    removeTime = GameSeconds() + removeDelay;
    entity.ActivateTargets(qoGetPlayer1());
    entity.Hide();
    entity.StartSoundShader(pickupSound, 0);
}
