#include "scripts/spawn/spawnManager.h"

#include <cmath>

#include "core/qoDiagnostics.h"
#include "object/qoThreads.h"

namespace {

// Diagnostic lines of a level L print only when the manager's log level is at least L.
constexpr int kSpawnLogLevel = 1;

constexpr float kRequestPassSeconds = 0.5f;   // between passes of the request manager
constexpr float kSearchRoundSeconds = 1.0f;   // between rounds of the spawn search
constexpr int kSearchRoundsBeforeForce = 10;  // rounds before a force spawn
constexpr float kHeartBeatSeconds = 1.0f;
constexpr float kSpawnFovDot = 0.81915f;

template <class MakeText>
void SpawnLog(int level, MakeText makeText) {
    if (kSpawnLogLevel < level) return;
    const qoString text = makeText();
    qoSys->Printf("%s\n", text.c_str());
}

qoString Tagged(const qoEntity& self, const char* text) { return "[" + self.Name() + "] " + text; }

bool IsAlive(const qoEntity& e) { return e.handle != 0 && e.IsValid() && !e.IsDead(); }

// Bearing in degrees (0 to 360) from one point to another in the horizontal plane.
float Bearing(const qoVector& from, const qoVector& to) {
    float degrees = std::atan2(to.y - from.y, to.x - from.x) * 57.29577951f;
    if (degrees < 0.0f) degrees += 360.0f;
    return degrees;
}

// A spawn point's rules, copied: a test whose host call fails costs the thread a frame, during
// which the spawn point may go away.
struct SpawnRules {
    float minDistance;
    float maxDistance;
    float validAngleMin;
    float validAngleMax;
    float reUseDelay;
    bool bDontCheckFov;
    double reUseTime;
};

bool PassesTests(const spawnManager& manager, const SpawnRules& rules, const qoEntity& spawn);

}  // namespace

// ---- start and activation ---------------------------------------------------------------------

int32_t spawnManager::RandomIndex(int32_t count) { return count < 2 ? 0 : qoSys->RandomInt(count); }

double spawnManager::Now() { return static_cast<double>(qoSys->GameTimeMs()) * 0.001; }

void spawnManager::Init() {
    player = qoEntity("player1");
    roleTarget = qoEntity(qoSys->SpawnEntityFromDef(targetDecl));
}

void spawnManager::OnActivate(const qoEntity&) {
    if (firstActivation) {
        firstActivation = false;
        if (nextChargerDelay >= 0.0f) QO_THREAD(WaitForNextCharger);
    } else {
        // A death notice.
        --curSpawnCount;
        SpawnLog(3, [&] { return "Death, curSpawnCount: " + qoString::FromInt(curSpawnCount); });
        const double now = Now();
        forceSpawnTime = now + maxSpawnDelay;
        nextSpawnTime = now + minSpawnDelay;
        for (int i = activeAI.Num() - 1; i >= 0; --i)
            if (!IsAlive(activeAI[i])) activeAI.RemoveIndex(i);
    }
    if (curTotalSpawnCount >= maxTotalSpawnCount && curSpawnCount == 0) {
        SpawnLog(1, [&] { return "Combat over, curTotalSpawnCount: " + qoString::FromInt(curTotalSpawnCount); });
        if (combatOver.IsValid()) combatOver.Activate(player);
    }
    if (!requestActive && curSpawnCount < maxSpawnCount && curTotalSpawnCount < maxTotalSpawnCount)
        QO_THREAD(RequestManager);
}

// ---- spawning ----------------------------------------------------------------------------------

void spawnManager::RequestManager() {
    if (requestActive) return;
    requestActive = true;
    SpawnLog(6, [&] { return Tagged(entity, "starting requestManager()!\n"); });
    while (curSpawnCount < maxSpawnCount && curTotalSpawnCount < maxTotalSpawnCount) {
        double now = Now();
        SpawnLog(7, [&] {
            return "curSpawnCount: " + qoString::FromInt(curSpawnCount) + " maxSpawnCount: " +
                   qoString::FromInt(maxSpawnCount) + "curTotalSpawnCount: " + qoString::FromInt(curTotalSpawnCount) +
                   " maxTotalSpawnCount: " + qoString::FromInt(maxTotalSpawnCount) + "GetTime(): " +
                   qoString::FromFloat(static_cast<float>(now)) + "fLastSpawnTime: " +
                   qoString::FromFloat(static_cast<float>(nextSpawnTime));
        });
        if (forceSpawnTime == -1.0) forceSpawnTime = now + maxSpawnDelay;
        if (now <= nextSpawnTime) {
            SpawnLog(2, [] { return qoString("Unable to request spawn, too soon since fLastSpawnTime."); });
        } else if (spawnList.Num() == 0) {
            ReportWarning("No spawns in spawnList.\n");
        } else {
            ++curSpawnCount;
            ++curTotalSpawnCount;
            SpawnLog(3, [&] { return Tagged(entity, "Spawn Request\n"); });
            if (!RequestSpawn()) {
                // Nothing was spawned: the request is given back and made again later.
                --curSpawnCount;
                --curTotalSpawnCount;
            }
            now = Now();
            forceSpawnTime = now + maxSpawnDelay;
            nextSpawnTime = now + minSpawnDelay;
        }
        qoWait(kRequestPassSeconds);
    }
    forceSpawnTime = -1.0;
    if (curTotalSpawnCount >= maxTotalSpawnCount && !doneSpawningFired) {
        doneSpawningFired = true;
        if (doneSpawning.IsValid()) {
            SpawnLog(1, [] { return qoString("Done spawning, firing done spawning event."); });
            doneSpawning.Activate(player);
        }
    }
    requestActive = false;
    SpawnLog(1, [&] { return Tagged(entity, "requestManager() going inactive!\n"); });
}

bool spawnManager::RequestSpawn() {
    int attempts = 0;
    int rounds = 0;
    for (;;) {
        const int32_t count = spawnList.Num();
        if (count == 0) return ForceSpawn();
        const qoEntity spawn = spawnList[RandomIndex(count)];
        qoObject<spawnPoint> point;
        point.Bind(spawn, 1);
        if (const spawnPoint* found = point.Get()) {
            if (found->bIsLastSpawn) {
                SpawnLog(2, [&] { return "Spawn failed, bIsLastSpawn on " + spawn.Name(); });
            } else {
                const SpawnRules rules{found->minDistance,  found->maxDistance, found->validAngleMin,
                                       found->validAngleMax, found->reUseDelay,  found->bDontCheckFov,
                                       found->reUseTime};
                if (PassesTests(*this, rules, spawn)) {
                    DoSpawn(point, spawn);
                    return true;
                }
            }
        }
        if (++attempts < 2 * count) continue;
        attempts = 0;
        qoWait(kSearchRoundSeconds);
        if (++rounds >= kSearchRoundsBeforeForce) {
            SpawnLog(0, [] {
                return qoString(
                    "RequestSpawn() took longer than 10 seconds finding a spawn. Gave up and used a force spawn.");
            });
            return ForceSpawn();
        }
    }
}

bool spawnManager::ForceSpawn() {
    const double now = Now();
    forceSpawnTime = now + maxSpawnDelay;
    nextSpawnTime = now + minSpawnDelay;
    const int32_t count = forceSpawnList.Num();
    if (count == 0) {
        ReportWarning("No spawns in forceSpawnList.\n");
        return false;
    }
    int32_t index = RandomIndex(count);
    if (index < 0 || index >= count) index = 0;
    const qoEntity spawn = forceSpawnList[index];
    qoObject<spawnPoint> point;
    point.Bind(spawn, 1);
    if (!point.Get()) return false;
    DoSpawn(point, spawn);
    return true;
}

void spawnManager::DoSpawn(const qoObject<spawnPoint>& point, const qoEntity& spawn) {
    if (spawnPoint* last = lastSpawnPoint.Get()) last->bIsLastSpawn = false;
    spawn.Activate(player);
    if (spawnPoint* sp = point.Get()) {
        sp->reUseTime = Now() + sp->reUseDelay;
        sp->bIsLastSpawn = true;
    }
    lastSpawnPoint = point;
    lastSpawned = spawn.GetLastSpawned();
    activeAI.Insert(lastSpawned, 0);
}

namespace {

// The distance, reuse time, view, angle and area tests of a spawn entity, in that order.
bool PassesTests(const spawnManager& manager, const SpawnRules& rules, const qoEntity& spawn) {
    const qoEntity& player = manager.player;
    const qoEntity& requiredLocation = manager.requiredLocation;
    const qoString name = spawn.Name();

    if (rules.minDistance == 0.0f && rules.maxDistance == -1.0f) {
        SpawnLog(3, [&] { return "No distance checks for " + name; });
    } else {
        const float d = player.DistanceTo(spawn);
        if (rules.minDistance != 0.0f && d < rules.minDistance) {
            SpawnLog(2, [&] { return "Spawn failed, too close to " + name; });
            return false;
        }
        if (rules.maxDistance != 0.0f && d > rules.maxDistance) {
            SpawnLog(2, [&] { return "Spawn failed too far from " + name; });
            return false;
        }
    }

    if (rules.reUseDelay == 0.0f) {
        SpawnLog(3, [&] { return "No time checks for " + name; });
    } else {
        const double now = spawnManager::Now();
        if (!(rules.reUseTime < now)) {
            SpawnLog(2, [&] {
                return "Invalid spawn time " + qoString::FromFloat(static_cast<float>(rules.reUseTime)) +
                       " with game time " + qoString::FromFloat(static_cast<float>(now)) + " from " + name;
            });
            return false;
        }
        SpawnLog(3, [&] {
            return "Valid spawn time " + qoString::FromFloat(static_cast<float>(rules.reUseTime)) + " with game time " +
                   qoString::FromFloat(static_cast<float>(now)) + " from " + name;
        });
    }

    if (rules.bDontCheckFov) {
        SpawnLog(3, [&] { return "No FOV check for " + name; });
    } else if (player.InFOV(spawn, kSpawnFovDot)) {
        SpawnLog(3, [&] { return "FOV valid for " + name; });
    } else {
        SpawnLog(2, [&] { return "FOV invalid for " + name; });
        return false;
    }

    if (rules.validAngleMin == 0.0f && rules.validAngleMax == 0.0f) {
        SpawnLog(3, [&] { return "No angle checks for " + name; });
    } else {
        const float bearing = Bearing(spawn.GetOrigin(), player.GetViewPos());
        if (!(bearing > rules.validAngleMin && bearing < rules.validAngleMax)) {
            SpawnLog(2, [&] { return "Player has invalid angle from " + name; });
            return false;
        }
        SpawnLog(3, [&] { return "Player within validAngleMin of " + name; });
    }

    if (!requiredLocation.IsValid()) {
        SpawnLog(3, [] { return qoString("No area check for current spawn.\n"); });
    } else if (player.Touches(requiredLocation)) {
        SpawnLog(3, [] { return qoString("Player is within required spawning area.\n"); });
    } else {
        SpawnLog(2, [] { return qoString("Player is not within required spawning area.\n"); });
        return false;
    }
    return true;
}

}  // namespace

// ---- the charger cycle -------------------------------------------------------------------------

void spawnManager::WaitForNextCharger() {
    qoWait(nextChargerDelay);
    while (!IsAlive(charger)) {
        if (activeAI.Num() == 0) {
            if (curTotalSpawnCount >= maxTotalSpawnCount) {
                SpawnLog(1, [] {
                    return qoString("No remaining active AI and combat is over. Aborting next charger selection.");
                });
                return;
            }
            SpawnLog(1, [] { return qoString("No active AI, but combat is still going. Waiting for next spawn."); });
            qoWait(minSpawnDelay);
            continue;
        }
        qoEntity next;
        if (IsAlive(lastSpawned)) {
            next = lastSpawned;
            SpawnLog(1, [&] { return "Selected next charger from last spawn: " + next.Name(); });
        } else if (IsAlive(activeAI[0])) {
            next = activeAI[0];
            SpawnLog(1, [&] { return "Selected next charger from activeAI list: " + next.Name(); });
        } else {
            activeAI.RemoveIndex(0);
            continue;
        }
        charger = next;
        roleTarget.Activate(charger);
        QO_THREAD(LastChargerHeartBeat);
    }
}

void spawnManager::LastChargerHeartBeat() {
    for (;;) {
        qoWait(kHeartBeatSeconds);
        // A charger that is gone counts as dead: asking a removed entity would fail every beat.
        if (charger.IsValid() && !charger.IsDead()) continue;
        qoSys->Printf("%s\n", "Last charger dead.\n");
        QO_THREAD(WaitForNextCharger);
        return;
    }
}
