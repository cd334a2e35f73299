#include "scripts/volumes/volumeUtils.h"

#include "core/qoVector.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"
#include "runtime/qoWorldUtil.h"

namespace {

bool IsPlayer(const qoEntity& e) { return e.IsClass("kvPlayer"); }

template <class T>
void AddUnique(qoList<T>& list, const T& value) {
    if (list.FindIndex(value) < 0) list.Append(value);
}

// Removes the element at index by moving the last element into its place.
template <class T>
void RemoveIndexFast(qoList<T>& list, int index) {
    const int last = list.Num() - 1;
    if (index != last) list[index] = list[last];
    list.RemoveIndex(last);
}

template <class T>
void RemoveFast(qoList<T>& list, const T& value) {
    const int index = list.FindIndex(value);
    if (index >= 0) RemoveIndexFast(list, index);
}

// Frames per second from the host's frame time, truncated. A host that reports a frame of
// 0 ms is taken as running at 1000 frames per second.
int32_t FramesPerSecond() {
    const int32_t frameMs = qoSys->FrameTimeMs();
    return frameMs > 0 ? 1000 / frameMs : 1000;
}

void Print(const qoString& text) { qoSys->Printf("%s\n", text.c_str()); }

}  // namespace

// ---- util_volumeNotify -----------------------------------------------------------------------

void util_volumeNotify::OnEnter(const qoEntity& e) { Notify(onEnterEvents, e); }
void util_volumeNotify::OnExit(const qoEntity& e) { Notify(onExitEvents, e); }

void util_volumeNotify::Notify(const qoList<notifyList_t>& rows, const qoEntity& player) {
    if (!IsPlayer(player)) return;
    for (int i = 0; i < rows.Num(); ++i) {
        const notifyList_t& row = rows[i];
        if (!row.target.IsValid()) continue;
        if (row.delay > 0.0f) {
            // The thread takes its own copies of the row's delay and target as it starts, so
            // a list that changes while it waits cannot pull them from under it.
            qoStartThread<&util_volumeNotify::EventHelper>(this, "EventHelper", row.delay, row.target, player);
        } else {
            row.target.Activate(player);
        }
    }
}

void util_volumeNotify::EventHelper(float delay, qoEntity target, qoEntity activator) {
    qoWait(delay);
    target.Activate(activator);
}

// ---- util_volumeCheckEquipedWeapon -----------------------------------------------------------

void util_volumeCheckEquipedWeapon::OnEnter(const qoEntity& e) {
    if (hasTriggered && triggerOnce) return;
    if (IsPlayer(e)) AddUnique(players, e);
    if (players.Num() != 1) return;
    while (players.Num() > 0) {
        for (int i = 0; i < players.Num(); ++i) {
            if (players[i].GetEquippedWeaponDecl() != equipedWeapon) continue;
            entity.ActivateTargets(players[i]);
            hasTriggered = true;
            break;
        }
        if (hasTriggered && triggerOnce) return;
        qoWaitFrame();
    }
}

void util_volumeCheckEquipedWeapon::OnExit(const qoEntity& e) { RemoveFast(players, e); }

// ---- util_volumePush -------------------------------------------------------------------------

void util_volumePush::OnEnter(const qoEntity& e) {
    Print(qoString("Found pushee: ") + e.GetName());
    AddUnique(pushees, e);
    if (pushing) return;
    qoSys->Printf("%s\n", "Starting push thread");
    pushing = true;
    qoStartThread<&util_volumePush::PushHelper>(this, "PushHelper");
}

void util_volumePush::OnExit(const qoEntity& e) {
    Print(qoString("Removing pushee: ") + e.GetName());
    RemoveFast(pushees, e);
}

void util_volumePush::PushHelper() {
    while (pushees.Num() > 0) {
        const float fps = static_cast<float>(FramesPerSecond());
        const qoVector step{pushDirection.x * 2.0f / fps, pushDirection.y * 2.0f / fps,
                            pushDirection.z * 2.0f / fps};
        for (int i = 0; i < pushees.Num(); ++i) pushees[i].SetWorldOrigin(pushees[i].GetOrigin() + step);
        qoWaitFrame();
        qoWaitFrame();
    }
    pushing = false;
}

// ---- util_volumePlayerFallZone ---------------------------------------------------------------

void util_volumePlayerFallZone::OnEnter(const qoEntity& e) {
    if (IsPlayer(e) && players.FindIndex(e) < 0) {
        // One safe position and yaw per player, so the three lists stay parallel.
        players.Append(e);
        safePositions.Append(qoVector{});
        safeYaws.Append(0.0f);
    }
    if (players.Num() != 1) return;
    while (players.Num() > 0) {
        for (int i = 0; i < players.Num(); ++i) {
            if (!players[i].IsPlayerOnGround()) continue;
            safePositions[i] = players[i].GetOrigin();
            safeYaws[i] = players[i].GetViewAngles(true).y;
        }
        qoWait(0.5f);
    }
}

void util_volumePlayerFallZone::OnExit(const qoEntity& e) {
    const int index = players.FindIndex(e);
    if (index < 0) return;  // never entered as a player: nothing to forget
    RemoveIndexFast(players, index);
    RemoveIndexFast(safePositions, index);
    RemoveIndexFast(safeYaws, index);
}

void util_volumePlayerFallZone::OnActivate(const qoEntity& activator) {
    if (!IsPlayer(activator) || !(activator.GetPlayerHealth() > 20.0f)) return;
    const int index = players.FindIndex(activator);
    activator.FadeView(qoVector{0.0f, 0.0f, 0.0f}, 1.0f, 750);
    qoWait(0.75f);
    activator.Teleport(safePositions[index], qoVector{0.0f, safeYaws[index], 0.0f});
    activator.FadeView(qoVector{0.0f, 0.0f, 0.0f}, 0.0f, 750);
    qoWait(0.1f);
    const qoVector at = activator.GetOrigin();
    activator.Damage(falldamage, qoVector{at.x, at.y, at.z - 512.0f}, 0.0f, 1.0f, activator, false);
}

// ---- util_volumeAmbientMonsterSounds ---------------------------------------------------------

void util_volumeAmbientMonsterSounds::Init() {
    qoBindWorldUtil();
    if (!entity.IsClass("kvVolume")) {
        QO_DEBUG_PRINT("^3", "util_volumeAmbientMonsterSounds::Init", "Intended to be placed on a volume entity only.");
        return;
    }
    const int count = entity.NumTargets();
    for (int i = 0; i < count; ++i) {
        const qoEntity target = entity.GetTarget(i);
        if (target.IsValid() && target.IsSpecificClass("kvSpeaker")) speakers.Append(target);
    }
}

void util_volumeAmbientMonsterSounds::OnEnter(const qoEntity&) {
    if (disabled || entity.NumPlayersInVolume() < 1) return;
    for (int i = 0; i < speakers.Num(); ++i) speakers[i].On();
}

void util_volumeAmbientMonsterSounds::OnExit(const qoEntity&) {
    if (disabled || entity.NumPlayersInVolume() != 0) return;
    for (int i = 0; i < speakers.Num(); ++i) speakers[i].Off();
}

void util_volumeAmbientMonsterSounds::OnActivate(const qoEntity&) {
    if (disabled) return;
    disabled = true;
    for (int i = 0; i < speakers.Num(); ++i) speakers[i].Off();
}
