#include "scripts/encounter/pHell_Spawner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/qoConvert.h"
#include "core/qoDiagnostics.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"

namespace {

constexpr int32_t kJobSpawn = pHell_NetworkNode::JOB_FUNCTION_SPAWN_AI;
constexpr int32_t kJobAi = pHell_NetworkNode::JOB_FUNCTION_AI_MGMT;
constexpr int32_t kAwakened = pHell_EventTransceiver::GAMEPLAY_EVENT_NODE_AWAKENED;

constexpr int32_t kPollMs = 500;     // the longest wait between looks at busy spawners
constexpr int32_t kNoWait = 64000;   // "no spawner has said how long" while polling
constexpr int32_t kAvailabilityArg = 4000;
constexpr int kRecentConduitsMax = 4;

int32_t Now() { return qoSys->GameTimeMs(); }

// Waits single frames until the host time reaches `ms`. Outside a script thread nothing can
// wait and time does not move: the caller goes on at once instead of spinning.
void WaitUntil(int32_t ms) {
    while (Now() < ms) {
        if (qoCurrentThreadId() == 0) return;
        qoWaitFrame();
    }
}

// a + b (or a * b), stopping at the ends of the 32-bit range.
int32_t Clamped(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
int32_t Later(int32_t time, int32_t ms) { return Clamped(int64_t(time) + ms); }

bool HasEntityDefs(const qoEntity& e) { return e.handle != 0 && e.GetNumEntityDefs() >= 1; }

}  // namespace

// ---- spawner -----------------------------------------------------------------------------------

void pHell_Spawner::ConfigureNode() {
    nodeType = PH_SPAWNER;
    AddJobFunction(kJobSpawn);
}

qoEntity pHell_Spawner::SpawnFor(qoEntity requester) { return entity.SpawnEntity(requester); }

int32_t pHell_Spawner::TimeTillAvailable(qoEntity requester) {
    if (!entity.IsSpawnAvailable(requester)) return -1;
    return entity.GetTimeTillAvailable(kAvailabilityArg);
}

qoEntity pHell_Spawner::SpawnVia(uint32_t node, const qoEntity& requester) {
    // No node (a manager without a spawn handler yet) spawns nothing, and has nothing to report.
    if (node == 0) return qoEntity();
    qoObject<pHell_Spawner> spawner;
    spawner.Bind(qoEntity(node));
    return spawner.SpawnFor(requester);
}

// ---- cluster -----------------------------------------------------------------------------------

void pHell_SpawnCluster::ConfigureNode() {
    nodeType = PH_SPAWN_CLUSTER;
    AddJobFunction(kJobSpawn);
}

void pHell_SpawnCluster::OnNetworkStart() {
    clusterEntity = entity;
    qoBindWorldUtil();
    const qoList<qoEntity> spawners = spawnerList;
    for (const qoEntity& e : spawners) {
        if (pHell_EntityIsHellNode(e.handle)) {
            ConnectTo(e.handle);
        } else if (e.IsValid() && e != entity && e.IsClass("kvTarget_Spawn")) {
            qoSys->FindScriptObject(e.handle, pHell_Spawner::qoName, 1);
            ConnectTo(e.handle);
        }
        if (!HasEntityDefs(clusterEntity) && !HasEntityDefs(e)) {
            const qoString line = e.Name() + " currently has no entity def referencing it by default.";
            qoSys->Printf("%s\n", line.c_str());
        }
    }
    spawnerList.Clear();
}

qoList<int32_t> pHell_SpawnCluster::GetSpawnSlaves() const {
    qoList<int32_t> slaves = GetJobSlaves(kJobSpawn);
    for (int i = 0; i < slaves.Num();) {
        if (recentConduits.FindIndex(slaves[i]) >= 0)
            slaves.RemoveIndex(i);
        else
            ++i;
    }
    return slaves;
}

void pHell_SpawnCluster::MarkConduitUsed(uint32_t conduit) {
    recentConduits.Insert(static_cast<int32_t>(conduit), 0);
    const int keep = std::min(std::max(GetJobSlaves(kJobSpawn).Num() / 2, 0), kRecentConduitsMax);
    while (recentConduits.Num() > keep) recentConduits.RemoveIndex(recentConduits.Num() - 1);
}

qoEntity pHell_SpawnCluster::ChooseSpawnConduit(qoEntity requester) {
    const qoList<int32_t> conduits = GetSpawnSlaves();
    if (conduits.Num() == 0) {
        qoAssertFailed("spawnConduits.Num() > 0");
        return qoEntity();
    }
    if (!HasEntityDefs(requester)) requester = qoEntity();
    const int32_t deadline = Later(lastSpawnTime, qoFloatToInt<int32_t>(std::ceil(maxSpawnDelay * 1000.0f)));
    uint32_t fallback = static_cast<uint32_t>(conduits[qoSys->RandomInt(conduits.Num())]);

    for (int32_t next = 0;;) {
        WaitUntil(next);
        int32_t best = kNoWait;
        qoList<int32_t> available;
        for (int32_t c : conduits) {
            qoObject<pHell_Spawner> conduit;
            conduit.Bind(qoEntity(static_cast<uint32_t>(c)));
            const int32_t wait = conduit.TimeTillAvailable(requester);
            if (wait == 0) {
                available.Append(c);
            } else if (wait != -1 && available.Num() == 0 && wait < best) {
                best = wait;
                fallback = static_cast<uint32_t>(c);
            }
        }
        if (available.Num() > 0) return qoEntity(static_cast<uint32_t>(available[qoSys->RandomInt(available.Num())]));
        const int32_t now = Now();
        next = std::min({Later(now, best), Later(now, kPollMs), deadline});
        // Outside a script thread the clock stands still: the deadline is as good as reached.
        if (deadline <= now || qoCurrentThreadId() == 0) return qoEntity(fallback);
    }
}

qoEntity pHell_SpawnCluster::SpawnFor(qoEntity requester) {
    // A spawn manager's thread runs this through a reference and waits in it: the cluster may
    // be destroyed during a wait, and then nothing of it is touched.
    const qoSelfGuard self(*this);
    const float r = qoSys->RandomFloat();
    WaitUntil(Later(lastSpawnTime, qoFloatToInt<int32_t>(r * maxSpawnDelay * 1000.0f + minSpawnDelay * 1000.0f)));
    if (self.Gone()) return qoEntity();
    if (HasEntityDefs(clusterEntity)) requester = clusterEntity;
    const qoEntity conduit = ChooseSpawnConduit(requester);
    if (self.Gone()) return qoEntity();
    if (!conduit.IsValid()) {
        qoAssertFailed("gameInterface->EntityIsValid( spawnConduit )");
        return qoEntity();
    }
    MarkConduitUsed(conduit.handle);
    const qoEntity spawned = SpawnVia(conduit.handle, requester);
    if (spawned.handle == 0 || !spawned.IsValid()) {
        qoAssertFailed("spawnedAI.IsValid()");
        return qoEntity();
    }
    if (self.Gone()) return spawned;  // the conduit was a cluster that waited too
    lastSpawnTime = Now();
    return spawned;
}

int32_t pHell_SpawnCluster::TimeTillAvailable(qoEntity requester) {
    int32_t soonest = -1;
    const qoList<int32_t> slaves = GetSpawnSlaves();
    for (int32_t s : slaves) {
        qoObject<pHell_Spawner> slave;
        slave.Bind(qoEntity(static_cast<uint32_t>(s)));
        const int32_t wait = slave.TimeTillAvailable(requester);
        if (wait == -1) continue;
        if (soonest == -1 || wait < soonest) soonest = wait;
        if (soonest == 0) break;
    }
    return soonest;
}

void pHell_SpawnCluster::OnActivate(const qoEntity&) { QO_THREAD(SpawnOnActivation); }

void pHell_SpawnCluster::SpawnOnActivation() {
    const uint32_t manager = GetJobManager(kJobSpawn);
    if (manager != networkId)
        DeliverSignal(manager, networkId, kJobSpawn, kAwakened);
    else
        SpawnFor(clusterEntity);
}

bool pHell_SpawnCluster::OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent) {
    if (jobFunction != kJobSpawn || gameplayEvent != kAwakened) return false;
    const qoEntity spawned = SpawnVia(transmitter, clusterEntity);
    return spawned.IsValid();
}

// ---- manager -----------------------------------------------------------------------------------

void pHell_SpawnManager::ConfigureNode() {
    nodeType = PH_SPAWN_MANAGER;
    AddJobFunction(kJobSpawn);
    AddJobFunction(kJobAi);
}

void pHell_SpawnManager::OnNetworkStart() {
    pHell_SpawnCluster::OnNetworkStart();
    maxSpawnSize = std::clamp(maxSpawnSize, 0, 8);
    if (GetSpawnSlaves().Num() > 1) spawnInfo.spawnHandler = static_cast<int32_t>(entity.handle);
}

pHell_SpawnManager::spawnInfo_t pHell_SpawnManager::MakeSpawnInfo() const {
    spawnInfo_t info;
    info.numToSpawn = std::max(totalSpawnCount, 0);
    info.spawnSize = maxSpawnSize;
    info.infiniteSpawn = totalSpawnCount < 0;
    info.spawnHandler = spawnInfo.spawnHandler;
    return info;
}

void pHell_SpawnManager::ApplySpawnInfo(const spawnInfo_t& info, bool reset) {
    if (reset) spawnInfo.numToSpawn = 0;
    spawnInfo.numToSpawn += info.numToSpawn;
    spawnInfo.spawnSize = info.spawnSize;
    spawnInfo.infiniteSpawn = info.infiniteSpawn;
    if (qoEntity(static_cast<uint32_t>(info.spawnHandler)).IsValid())
        SetSpawnHandler(static_cast<uint32_t>(info.spawnHandler));
    StartSpawnLoop(spawningStopped);
}

void pHell_SpawnManager::SetSpawnHandler(uint32_t handler) {
    if (GetSpawnSlaves().FindIndex(static_cast<int32_t>(handler)) >= 0)
        spawnInfo.spawnHandler = static_cast<int32_t>(handler);
}

void pHell_SpawnManager::StartSpawnLoop(bool stopped) {
    spawningStopped = stopped;
    if (!stopped && !qoIsThreadRunning(spawnLoopThread))
        spawnLoopThread = qoStartNetworkThread<&pHell_SpawnManager::SpawnLoop>(this, "SpawnLoop");
}

bool pHell_SpawnManager::AiKilled(uint32_t spawnId) {
    const int at = spawnInfo.activeAi.FindIndex(static_cast<int32_t>(spawnId));
    if (at < 0) return false;
    spawnInfo.activeAi.RemoveIndex(at);
    spawnInfo.numKilled += 1;
    Announce(pHell_EventTransceiver::GAMEPLAY_EVENT_AI_KILLED);
    if (spawnInfo.numToSpawn == 0 && !spawnInfo.infiniteSpawn && spawnInfo.activeAi.Num() == 0)
        Announce(pHell_EventTransceiver::GAMEPLAY_EVENT_ALL_AI_KILLED);
    return true;
}

bool pHell_SpawnManager::IsPlayerInCheckVolume(int32_t playerIndex) {
    if (!playerCheckVolume.IsValid()) return false;
    return playerCheckVolume.IsEntityInVolume(qoEntity(qoSys->GetPlayer(playerIndex)));
}

void pHell_SpawnManager::OnActivate(const qoEntity&) {
    const uint32_t spawnManager = GetJobManager(kJobSpawn);
    if (spawnManager != networkId && GetJobSlaves(kJobSpawn).Num() > 0)
        DeliverSignal(spawnManager, networkId, kJobSpawn, kAwakened);
    if (GetJobManager(kJobAi) == networkId)
        ApplySpawnInfo(MakeSpawnInfo(), false);
    else if (GetJobSlaves(kJobAi).Num() > 0)
        DeliverSignal(GetJobManager(kJobAi), networkId, kJobAi, kAwakened);
}

bool pHell_SpawnManager::OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent) {
    if (jobFunction != kJobSpawn || gameplayEvent != kAwakened) return false;
    if (GetJobSlaves(kJobSpawn).FindIndex(static_cast<int32_t>(transmitter)) < 0) return false;
    spawnInfo.spawnHandler = static_cast<int32_t>(transmitter);
    return true;
}

void pHell_SpawnManager::SpawnLoop() {
    int32_t lastDelay = 0;
    int32_t refTime = 0;
    bool roomOpen = true;
    spawnInfo_t& info = spawnInfo;
    if (info.numToSpawn > 0 || info.infiniteSpawn) Announce(pHell_EventTransceiver::GAMEPLAY_EVENT_START_SPAWNING);
    for (;;) {
        if (!(info.numToSpawn > 0 || info.infiniteSpawn) || spawningStopped) {
            if (info.numSpawned > 0) Announce(pHell_EventTransceiver::GAMEPLAY_EVENT_SPAWNING_STOPPED);
            if (info.numToSpawn == 0 && !info.infiniteSpawn && info.numSpawned > 0)
                Announce(pHell_EventTransceiver::GAMEPLAY_EVENT_ALL_SPAWNED);
            return;
        }
        const int32_t living = info.activeAi.Num();
        if (living < info.spawnSize) {
            if (roomOpen) {
                const int32_t delay = std::min(std::max(Clamped(int64_t(living) * lastDelay / 3), qoSecondsToMs(minSpawnDelay)), lastDelay);
                // In 64 bits: a huge minSpawnDelay makes the delay the largest int.
                if (int64_t{refTime} + delay < Now()) {
                    const qoEntity spawned = SpawnVia(static_cast<uint32_t>(info.spawnHandler), clusterEntity);
                    // A spawn that yields no entity (no handler yet, a spawner that failed) is
                    // skipped: nothing is counted and no object is attached to entity 0.
                    if (spawned.handle != 0 && spawned.IsValid()) {
                        if (info.activeAi.FindIndex(static_cast<int32_t>(spawned.handle)) < 0) {
                            info.activeAi.Append(static_cast<int32_t>(spawned.handle));
                            info.numSpawned += 1;
                            Announce(pHell_EventTransceiver::GAMEPLAY_EVENT_AI_SPAWNED);
                            if (info.numToSpawn > 0) info.numToSpawn -= 1;
                        }
                        qoObject<pHell_ActiveAi> watcher;
                        watcher.Bind(spawned, 1);
                        if (pHell_ActiveAi* ai = watcher.Get()) ai->manager = entity;
                    }
                    const float r = qoSys->RandomFloat();
                    lastDelay = qoFloatToInt<int32_t>(r * maxSpawnDelay * 1000.0f + minSpawnDelay * 1000.0f);
                }
            } else {
                roomOpen = true;
                refTime = Now();
            }
        } else {
            roomOpen = false;
        }
        qoWaitFrame();
    }
}

// ---- active AI ---------------------------------------------------------------------------------

void pHell_ActiveAi::OnDeath(const qoEntity&) {
    if (!manager.IsValid()) return;
    const qoEntity reported = manager;
    manager = qoEntity();
    qoObject<pHell_SpawnManager> spawnManager;
    spawnManager.Bind(reported, 1);
    pHell_SpawnManager* target = spawnManager.Get();
    if (!target) {
        qoAssertFailed("0");
        return;
    }
    if (!target->AiKilled(entity.handle)) qoAssertFailed("manager.AiKilled( self.GetSpawnId() )");
}
