#include "scripts/encounter/pHell_EncounterManager.h"

#include <algorithm>
#include <cstdint>

#include "object/qoThreads.h"

namespace {

constexpr int32_t kJobAi = pHell_NetworkNode::JOB_FUNCTION_AI_MGMT;
constexpr int32_t kLoopMs = 1024;      // between passes of the encounter loop
constexpr int32_t kMostAlive = 8;      // the encounter's size target never exceeds it
// Encounter managers nest through their job-2 slaves; a settled network has no cycle, but one
// still forming might, and a look for a covering manager must end.
constexpr int kMostNesting = 16;

int32_t Now() { return qoSys->GameTimeMs(); }

// Kill and size targets are counts: the figures below share them out by subtraction and
// division, which stay defined when a target lies within 0..kMostTarget.
constexpr int64_t kMostTarget = int64_t{1} << 24;

// A per-player figure for the players present: three quarters of it per player, never below
// one player's share, counted wide and held within 0..kMostTarget, so that an extreme
// per-player value (a designer's typo, a corrupt save) gives an extreme target, not an overflow.
int32_t ForPlayers(int32_t perPlayer, int32_t players) {
    const int64_t scaled = static_cast<int64_t>(perPlayer) * players * 3 / 4;
    return static_cast<int32_t>(std::clamp<int64_t>(std::max<int64_t>(perPlayer, scaled), 0, kMostTarget));
}

// The node on the entity as the class asked for, when its type and class say it is one.
template <class T>
T* NodeAs(uint32_t entity, int32_t type) {
    pHell_NetworkNode* node = pHell_NetworkNode::Resolve(entity);
    return node && node->nodeType == type && node->IsClass(T::qoName) ? static_cast<T*>(node) : nullptr;
}

pHell_SpawnManager* SpawnManagerAt(uint32_t e) {
    return NodeAs<pHell_SpawnManager>(e, pHell_NetworkNode::PH_SPAWN_MANAGER);
}
pHell_EncounterManager* EncounterManagerAt(uint32_t e) {
    return NodeAs<pHell_EncounterManager>(e, pHell_NetworkNode::PH_ENCOUNTER_MANAGER);
}

uint32_t FirstCoveringWithin(const qoList<int32_t>& nodes, int32_t playerIndex, int depth);

bool CoversPlayerWithin(uint32_t node, int32_t playerIndex, int depth) {
    if (pHell_SpawnManager* manager = SpawnManagerAt(node)) return manager->IsPlayerInCheckVolume(playerIndex);
    if (depth >= kMostNesting) return false;
    if (pHell_EncounterManager* encounter = EncounterManagerAt(node))
        return FirstCoveringWithin(encounter->GetJobSlaves(kJobAi), playerIndex, depth + 1) != 0;
    return false;
}

uint32_t FirstCoveringWithin(const qoList<int32_t>& nodes, int32_t playerIndex, int depth) {
    for (int32_t n : nodes) {
        const uint32_t node = static_cast<uint32_t>(n);
        if (qoEntity(node).IsValid() && CoversPlayerWithin(node, playerIndex, depth)) return node;
    }
    return 0;
}

bool AnyValid(const qoList<int32_t>& nodes) {
    for (int32_t n : nodes)
        if (qoEntity(static_cast<uint32_t>(n)).IsValid()) return true;
    return false;
}

}  // namespace

// ---- combat classes ----------------------------------------------------------------------------

void pHell_CombatManager::ConfigureNode() {
    nodeType = PH_COMBAT_MANAGER;
    AddJobFunction(JOB_FUNCTION_COMBAT_STAGING);
    AddJobFunction(JOB_FUNCTION_COMBAT_MGMT);
}

void pHell_CombatStage::ConfigureNode() {
    nodeType = PH_COMBAT_STAGE;
    AddJobFunction(JOB_FUNCTION_COMBAT_STAGING);
}

void phCombatHintGroup::ConfigureNode() {
    nodeType = PH_COMBAT_HINT_GROUP;
    AddJobFunction(JOB_FUNCTION_COMBAT_STAGING);
}

// ---- encounter manager -------------------------------------------------------------------------

void pHell_EncounterManager::ConfigureNode() {
    nodeType = PH_ENCOUNTER_MANAGER;
    AddJobFunction(JOB_FUNCTION_AI_MGMT);
    AddJobFunction(JOB_FUNCTION_COMBAT_MGMT);
    AddJobFunction(JOB_FUNCTION_ENCOUNTER_MANAGEMENT);
}

void pHell_EncounterManager::OnActivate(const qoEntity&) {
    if (GetJobManager(kJobAi) != networkId || qoIsThreadRunning(encounterLoopThread)) return;
    encounterLoopThread = qoStartNetworkThread<&pHell_EncounterManager::EncounterLoop>(this, "EncounterLoop");
}

pHell_EncounterManager::spawnInfo_t pHell_EncounterManager::GetSpawnInfo(uint32_t node) {
    if (pHell_EncounterManager* encounter = EncounterManagerAt(node)) return encounter->spawnInfo;
    if (pHell_SpawnManager* manager = SpawnManagerAt(node)) return manager->spawnInfo;
    return spawnInfo_t();
}

bool pHell_EncounterManager::CoversPlayer(uint32_t node, int32_t playerIndex) {
    return CoversPlayerWithin(node, playerIndex, 0);
}

uint32_t pHell_EncounterManager::FirstCovering(const qoList<int32_t>& nodes, int32_t playerIndex) {
    return FirstCoveringWithin(nodes, playerIndex, 0);
}

void pHell_EncounterManager::CombineSpawnInfo(spawnInfo_t& into, const spawnInfo_t& from) {
    into.numSpawned += from.numSpawned;
    into.numKilled += from.numKilled;
    const int32_t living = from.activeAi.Num();
    if (living == 0 && !(from.spawnSize >= 1 && (from.infiniteSpawn || from.numToSpawn >= 1))) return;
    into.infiniteSpawn = from.infiniteSpawn || into.infiniteSpawn;
    into.numToSpawn += from.numToSpawn;
    if (from.infiniteSpawn)
        into.spawnSize += from.spawnSize;
    else
        into.spawnSize += (from.numToSpawn + living >= from.spawnSize) ? from.spawnSize : from.numToSpawn;
    into.activeAi.Append(from.activeAi);
}

void pHell_EncounterManager::ResetSpawnCount(uint32_t manager) {
    if (pHell_SpawnManager* m = SpawnManagerAt(manager)) m->spawnInfo.numSpawned = 0;
}

void pHell_EncounterManager::EncounterLoop() {
    qoList<int32_t> current;  // the spawn managers picked last time
    qoList<int32_t> retired;  // picked before, not now
    for (int32_t next = 0;;) {
        if (Now() < next) {
            qoWaitFrame();
            continue;
        }
        const int32_t passStart = Now();
        const int32_t players = qoSys->NumPlayers();
        const int32_t killTarget = ForPlayers(numKillsPerPlayer, players);
        const int32_t sizeTarget = std::min(ForPlayers(spawnSizePerPlayer, players), kMostAlive);

        // One manager per player: one that covered the player last time, one used before, any
        // job-2 slave that covers the player, and at last a random job-2 slave.
        const qoList<int32_t> slaves = GetJobSlaves(kJobAi);
        qoList<int32_t> picked;
        qoList<int32_t> unassigned;
        for (int32_t p = 0; p < players; ++p) unassigned.Append(p);
        for (int pass = 0; unassigned.Num() > 0; ++pass) {
            // Nothing to pick from for the players left: the encounter stops here.
            if (pass >= 3 && !AnyValid(slaves)) return;
            for (int i = 0; i < unassigned.Num();) {
                const int32_t player = unassigned[i];
                uint32_t chosen = 0;
                if (pass == 0) {
                    chosen = FirstCovering(current, player);
                } else if (pass == 1) {
                    chosen = FirstCovering(retired, player);
                } else if (pass == 2) {
                    chosen = FirstCovering(slaves, player);
                } else {
                    const uint32_t any = static_cast<uint32_t>(slaves[qoSys->RandomInt(slaves.Num())]);
                    chosen = qoEntity(any).IsValid() ? any : 0;
                }
                if (chosen == 0) {
                    ++i;
                    continue;
                }
                if (picked.FindIndex(static_cast<int32_t>(chosen)) < 0) picked.Append(static_cast<int32_t>(chosen));
                unassigned.RemoveIndex(i);
            }
        }

        // Managers picked anew start counting their spawns from zero; the ones no longer picked
        // retire.
        qoList<int32_t> dropped = current;
        for (int32_t m : picked) {
            const int wasRetired = retired.FindIndex(m);
            const int wasCurrent = dropped.FindIndex(m);
            if (wasRetired >= 0) retired.RemoveIndex(wasRetired);
            if (wasCurrent >= 0) dropped.RemoveIndex(wasCurrent);
            if (wasRetired < 0 && wasCurrent < 0) ResetSpawnCount(static_cast<uint32_t>(m));
        }
        current = picked;
        for (int32_t m : dropped) retired.Append(m);

        // What the retired managers did; the ones just dropped stop spawning first.
        spawnInfo_t info;
        for (int32_t m : retired) {
            const uint32_t manager = static_cast<uint32_t>(m);
            if (dropped.FindIndex(m) >= 0) {
                if (pHell_SpawnManager* target = SpawnManagerAt(manager)) {
                    spawnInfo_t stop = target->spawnInfo;
                    stop.numToSpawn = 0;
                    target->ApplySpawnInfo(stop, true);
                }
            }
            CombineSpawnInfo(info, GetSpawnInfo(manager));
        }

        // Share what is left among the current managers.
        spawnInfo_t shared;
        const int32_t n = current.Num();
        if (n > 0) {
            const int32_t spawnLeft = killTarget - info.numSpawned;
            const int32_t sizeLeft = sizeTarget - info.activeAi.Num();
            int32_t spawnedNow = 0, livingNow = 0;
            for (int32_t m : current) {
                const spawnInfo_t mi = GetSpawnInfo(static_cast<uint32_t>(m));
                spawnedNow += mi.numSpawned;
                livingNow += mi.activeAi.Num();
            }
            const int32_t spawnShare = std::max((spawnLeft - spawnedNow) / n, 0);
            const int32_t sizeShare = std::max(sizeLeft / n, 0);
            for (int32_t i = 0; i < n; ++i) {
                const uint32_t manager = static_cast<uint32_t>(current[i]);
                const bool last = i == n - 1;
                // The last manager takes the remainders; there is never a negative count to spawn.
                const int32_t toSpawn =
                    last ? std::max(spawnLeft - spawnedNow - (n - 1) * spawnShare, 0) : spawnShare;
                int32_t size = last ? sizeLeft - (n - 1) * sizeShare : sizeShare;
                if (pHell_SpawnManager* target = SpawnManagerAt(manager)) {
                    size = std::min(size, target->spawnInfo.activeAi.Num() + sizeLeft - livingNow);
                    const spawnInfo_t& now = target->spawnInfo;
                    if (now.spawnSize != size || now.numToSpawn != toSpawn || now.infiniteSpawn) {
                        spawnInfo_t share = now;
                        share.numToSpawn = toSpawn;
                        share.spawnSize = size;
                        share.infiniteSpawn = false;
                        target->ApplySpawnInfo(share, true);
                    }
                }
                CombineSpawnInfo(shared, GetSpawnInfo(manager));
            }
        }

        CombineSpawnInfo(shared, info);
        spawnInfo = shared;
        if (spawnInfo.numKilled >= killTarget) {
            spawnInfo = spawnInfo_t();
            return;
        }
        next = passStart + kLoopMs;
    }
}
