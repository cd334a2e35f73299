#include "scripts/triggers/triggerWatchers.h"

#include <algorithm>
#include <cmath>

#include "hostcalls/qoObjectRef.h"
#include "hostcalls/qoTrace.h"
#include "core/qoVector.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/flags/util_entityFlag.h"

namespace {

constexpr float kDegrees = 3.14159265358979f / 180.0f;
constexpr float kHalfWidth = 1.0f;    // tan(45°): a 90° wide view
constexpr float kHalfHeight = 0.75f;  // 4:3
constexpr float kCentre = 0.01f;      // what tolerance 0 still accepts

float Dot(const qoVector& a, const qoVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

bool qoPlayerCanSee(const qoEntity& player, const qoEntity& target, bool testLOS, float tolerance) {
    if (!player.IsValid() || !target.IsValid()) return false;
    const qoVector eye = player.GetViewPos();
    const qoVector angles = player.GetViewAngles(true);
    const qoVector to = target.GetOrigin() - eye;
    const float pitch = angles.x * kDegrees, yaw = angles.y * kDegrees;
    // Pitch down is positive: forward tilts below the horizon as pitch grows.
    const qoVector forward{std::cos(pitch) * std::cos(yaw), std::cos(pitch) * std::sin(yaw), -std::sin(pitch)};
    const qoVector right{std::sin(yaw), -std::cos(yaw), 0.0f};
    const qoVector up{std::sin(pitch) * std::cos(yaw), std::sin(pitch) * std::sin(yaw), std::cos(pitch)};
    const float ahead = Dot(to, forward);
    if (!(ahead > 0.0f)) return false;
    const float limit = std::max(std::clamp(tolerance, 0.0f, 1.0f), kCentre);
    const float across = Dot(to, right) / ahead / kHalfWidth;
    const float high = Dot(to, up) / ahead / kHalfHeight;
    if (std::fabs(across) > limit || std::fabs(high) > limit) return false;
    if (!testLOS) return true;
    qoTrace sight(eye, target.GetOrigin(), qoTrace::kDefaultContentMask, player);
    return sight.Fraction() >= 1.0f || sight.HitEntity() == target;
}

// ---- util_triggerVisibility ------------------------------------------------------------------

void util_triggerVisibility::Init() { qoUtil::DefineFlag(entity, "PlayerSawTrigger"); }

void util_triggerVisibility::OnActivate(const qoEntity&) {
    if (active) {
        active = false;
        return;
    }
    qoStartThread<&util_triggerVisibility::Think>(this, "Think");
}

void util_triggerVisibility::Think() {
    active = true;
    while (active) {
        const bool visible = qoPlayerCanSee(qoGetPlayer1(), entity, testLOS, tolerance);
        if (!seen && visible) {
            seen = true;
            qoUtil::SetFlag(entity, "PlayerSawTrigger", 0.0f);
            if (triggerOnVisible.IsValid()) triggerOnVisible.Activate(entity);
        } else if (seen && !visible) {
            seen = false;
            if (triggerOnHidden.IsValid()) triggerOnHidden.Activate(entity);
        }
        qoWait(testFrequency);
    }
}

// ---- berserk ---------------------------------------------------------------------------------

void player_triggerOnBerserk::Init() {
    qoUtil::DefineFlag(entity, "BerserkStarted");
    qoUtil::DefineFlag(entity, "BerserkStopped");
}

void player_triggerOnBerserk::OnBerserkStart(const qoEntity&) { qoUtil::SetFlag(entity, "BerserkStarted", 0.0f); }
void player_triggerOnBerserk::OnBerserkStop(const qoEntity&) { qoUtil::SetFlag(entity, "BerserkStopped", 0.0f); }

void util_triggerOnBerserk::Init() {
    const qoEntity player = qoGetPlayer1();
    qoObject<player_triggerOnBerserk> watcher;
    watcher.Bind(player, 0);
    if (!watcher.Get()) {
        watcher.Bind(player, 1);
        if (!watcher.Get())
            QO_DEBUG_PRINT("^1", "util_triggerOnBerserk::Init", "Can not add berserk object to the player");
    }
    qoStartThread<&util_triggerOnBerserk::WatchBerserkStart>(this, "WatchBerserkStart");
    qoStartThread<&util_triggerOnBerserk::WatchBerserkStop>(this, "WatchBerserkStop");
}

namespace {

// Forever: waits for the flag to be set again, then activates the existing targets.
void WatchBerserk(const char* flag, const qoList<qoEntity>& targets) {
    for (;;) {
        const qoEntity player = qoGetPlayer1();
        qoUtil::WaitForSignal(player, flag, 0.0f);
        for (int i = 0; i < targets.Num(); ++i)
            if (targets[i].IsValid()) targets[i].Activate(player);
        qoWaitFrame();
    }
}

}  // namespace

void util_triggerOnBerserk::WatchBerserkStart() { WatchBerserk("BerserkStarted", berserkStartTargets); }
void util_triggerOnBerserk::WatchBerserkStop() { WatchBerserk("BerserkStopped", berserkStopTargets); }

// ---- util_triggerLookAt ----------------------------------------------------------------------

void util_triggerLookAt::Init() {
    qoBindWorldUtil();
    qoUtil::DefineFlag(entity, "PlayerSawTrigger");
    for (int i = 0; i < safetyTriggers.Num(); ++i) {
        if (!safetyTriggers[i].IsValid()) continue;
        qoObject<util_triggerLookAtSafety> safety;
        safety.Bind(safetyTriggers[i], 1);
        if (util_triggerLookAtSafety* s = safety.Get()) s->lookAtTrigger = entity;
        else qoAssertFailed("0");
    }
    if (active) {
        qoWaitFrame();
        active = false;
        OnActivate(entity);
    }
}

void util_triggerLookAt::OnActivate(const qoEntity& activator) {
    if (active || (triggerOnce && hasFired)) return;
    active = true;
    const int32_t start = qoSys->GameTimeMs();
    float looked = 0.0f;
    for (;;) {
        const bool looking =
            safetySeen || (qoPlayerCanSee(qoGetPlayer1(), entity, testLOS, tolerance) != inverse);
        if (looking) looked += static_cast<float>(qoSys->FrameTimeMs()) * 0.001f;
        else looked = 0.0f;
        if (looking && (lookTime == 0.0f || !(lookTime > looked))) {
            qoWait(delay);
            qoUtil::SetFlag(entity, "PlayerSawTrigger", 0.0f);
            entity.ActivateTargets(activator);
            if (!call.IsEmpty()) qoSys->CallScriptFunction(qoGetWorldEntity().handle, call.c_str());
            hasFired = true;
            break;
        }
        if (activePeriod >= 0.0f && static_cast<float>(start) + activePeriod * 1000.0f < static_cast<float>(qoSys->GameTimeMs()))
            break;
        qoWaitFrame();
        if (!active) break;
    }
    active = false;
}

void util_triggerLookAtSafety::OnTrigger(const qoEntity&) {
    qoObject<util_triggerLookAt> lookAt;
    lookAt.Bind(lookAtTrigger, 0);
    if (util_triggerLookAt* target = lookAt.Get()) target->safetySeen = true;
    else qoAssertFailed("0");
}

void util_triggerLookAtManagerVolume::Init() {
    const int count = entity.NumTargets();
    for (int i = 0; i < count; ++i) {
        const qoEntity target = entity.GetTarget(i);
        qoObject<util_triggerLookAt> lookAt;
        lookAt.Bind(target, 0);
        util_triggerLookAt* trigger = lookAt.Get();
        if (!trigger) continue;
        if (lookAtTriggers.FindIndex(target) < 0) lookAtTriggers.Append(target);
        trigger->active = false;
    }
}
