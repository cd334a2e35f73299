// Spawning through the encounter network: spawners, spawn clusters, spawn managers and the
// watcher that each spawned AI carries.
//
// A pHell_Spawner wraps one host spawn entity (kvTarget_Spawn). A pHell_SpawnCluster picks one
// of its job-4 slaves for each spawn, after a random delay, keeping its few most recently used
// spawners out of the choice; when none is free it polls at least every 500 ms until the one
// with the shortest wait is free or its deadline has passed. A pHell_SpawnManager is a cluster
// that keeps up to spawnSize AI alive until numToSpawn have been spawned (its "SpawnLoop"
// thread) and announces spawning and kills as gameplay events on job 8. Every AI it spawns
// carries a pHell_ActiveAi that reports its death back to the manager.
//
// Timing is the host's millisecond clock; all waits are single frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scripts/encounter/pHell_EventTransceiver.h"

class pHell_Spawner : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(pHell_Spawner, pHell_NetworkNode)

public:
    void ConfigureNode() override;

    // 92: spawns one AI on behalf of the requester (the spawn entity's SpawnEntity).
    virtual qoEntity SpawnFor(qoEntity requester);
    // 93: milliseconds until a spawn for the requester is possible; -1 when it is not.
    virtual int32_t TimeTillAvailable(qoEntity requester);

    // The node's SpawnFor through a reference when it is a spawn manager, cluster or spawner;
    // otherwise no entity.
    static qoEntity SpawnVia(uint32_t node, const qoEntity& requester);
};

class pHell_SpawnCluster : public pHell_Spawner {
    QO_SCRIPT_CLASS(pHell_SpawnCluster, pHell_Spawner)
    QO_PROPERTIES(QO_PROPERTY(minSpawnDelay), QO_PROPERTY(maxSpawnDelay), QO_PROPERTY(spawnerList))
    QO_EDITOR("string { string = 'Spawn Cluster'; color = cyan; offset = ( 12 -4 0 ); showAlways = true; }",
              "foreach listItem in spawnerList { targetLine { target = listItem; color = cyan; showAlways = false; } }",
              "linkActionList { entityPtrs = spawnerList[ x ]; actionName = 'Link Spawners to Cluster'; allowedType = "
              "'kvTarget_Spawn'; stopLinkActionProcessingAfterThisEntity; associatedHotKey = CTRL_J; }")
    QO_EVENTS("OnActivate")

public:
    bool OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent) override;
    void ConfigureNode() override;
    void OnNetworkStart() override;
    qoEntity SpawnFor(qoEntity requester) override;
    int32_t TimeTillAvailable(qoEntity requester) override;

    // Activation spawns once (or wakes the job-4 manager) on the thread "SpawnOnActivation":
    // spawning waits, and an event call may not.
    void OnActivate(const qoEntity& activator) override;
    void SpawnOnActivation();

    // The job-4 slaves without the recently used ones.
    qoList<int32_t> GetSpawnSlaves() const;
    void MarkConduitUsed(uint32_t conduit);
    qoEntity ChooseSpawnConduit(qoEntity requester);

    float minSpawnDelay = 0.5f;  // seconds
    float maxSpawnDelay = 1.5f;  // seconds
    qoEntity clusterEntity;
    int32_t lastSpawnTime = 0;   // ms
    qoList<int32_t> recentConduits;  // newest first
    qoList<qoEntity> spawnerList;
};

class pHell_SpawnManager : public pHell_SpawnCluster {
    QO_SCRIPT_CLASS(pHell_SpawnManager, pHell_SpawnCluster)

public:
    struct spawnInfo_t {
        int32_t numToSpawn = 0;
        int32_t spawnSize = 0;  // most AI alive at once
        bool infiniteSpawn = false;
        int32_t numSpawned = 0;
        int32_t numKilled = 0;
        int32_t spawnHandler = 0;  // the node that does the spawning
        qoList<int32_t> activeAi;  // living spawned AI
    };

    QO_PROPERTIES(QO_PROPERTY(totalSpawnCount), QO_PROPERTY(maxSpawnSize), QO_PROPERTY(playerCheckVolume))
    QO_EDITOR("string { string = 'Spawn Manager'; color = green; offset = ( 12 -12 0 ); showAlways = true; }",
              "string { string = va( 'totalSpawnCount = %d', totalSpawnCount ); color = yellow; offset = ( 16 -20 0 ); "
              "showAlways = true; }",
              "string { string = va( 'maxSpawnSize    = %d', maxSpawnSize ); color = yellow; offset = ( 16 -28 0 ); "
              "showAlways = true; }",
              "linkAction { entityPtr = playerCheckVolume; actionName = 'Link to Player Check Volume'; allowedType = "
              "'kvVolume'; stopLinkActionProcessingAfterThisEntity; associatedHotKey = ALT_J; }",
              "targetLine { target = playerCheckVolume; color = orange; showAlways = false; }")

public:
    bool OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent) override;
    void ConfigureNode() override;
    void OnNetworkStart() override;
    void OnActivate(const qoEntity& activator) override;

    spawnInfo_t MakeSpawnInfo() const;
    void ApplySpawnInfo(const spawnInfo_t& info, bool reset);
    void SetSpawnHandler(uint32_t handler);
    void StartSpawnLoop(bool stopped);
    // A death report: false when the AI is not one of the living spawned AI.
    bool AiKilled(uint32_t spawnId);
    // Whether the player of that index (host slot 69) stands in playerCheckVolume.
    bool IsPlayerInCheckVolume(int32_t playerIndex);

    void SpawnLoop();

    int32_t totalSpawnCount = 0;  // negative: spawn without end
    int32_t maxSpawnSize = 3;
    qoEntity playerCheckVolume;
    uint32_t spawnLoopThread = 0;
    bool spawningStopped = false;
    spawnInfo_t spawnInfo;

private:
    void Announce(int32_t gameplayEvent) { Transmit(networkId, JOB_FUNCTION_EVENTS, gameplayEvent); }
};

class pHell_ActiveAi : public kvQuorinObject {
    QO_SCRIPT_CLASS(pHell_ActiveAi, kvQuorinObject)
    QO_EVENTS("OnDeath")

public:
    void OnDeath(const qoEntity& killer) override;

    qoEntity manager;  // the spawn manager that spawned this AI
    uint32_t pad1 = 0;
};

// References to spawners forward their second operation to SpawnFor and their third to
// TimeTillAvailable, each only to a spawn manager, cluster or spawner (any other node: no
// entity, -1).
template <class Base>
class qoObjectForwards<pHell_Spawner, Base> : public Base {
public:
    using Base::Base;
    virtual qoEntity SpawnFor(qoEntity requester) const {
        pHell_Spawner* target = Target();
        return target ? target->SpawnFor(requester) : qoEntity();
    }
    virtual int32_t TimeTillAvailable(qoEntity requester) const {
        pHell_Spawner* target = Target();
        return target ? target->TimeTillAvailable(requester) : -1;
    }

private:
    pHell_Spawner* Target() const {
        pHell_Spawner* target = static_cast<const qoObject<pHell_Spawner>&>(*this).Get();
        if (!target) {
            qoAssertFailed("0");
            return nullptr;
        }
        const int32_t type = target->nodeType;
        return type == pHell_NetworkNode::PH_SPAWN_MANAGER || type == pHell_NetworkNode::PH_SPAWN_CLUSTER ||
                       type == pHell_NetworkNode::PH_SPAWNER
                   ? target
                   : nullptr;
    }
};

static_assert(sizeof(pHell_Spawner) == 176);
static_assert(offsetof(pHell_SpawnCluster, minSpawnDelay) == 176);
static_assert(offsetof(pHell_SpawnCluster, clusterEntity) == 184);
static_assert(offsetof(pHell_SpawnCluster, lastSpawnTime) == 188);
static_assert(offsetof(pHell_SpawnCluster, recentConduits) == 192);
static_assert(offsetof(pHell_SpawnCluster, spawnerList) == 216);
static_assert(sizeof(pHell_SpawnCluster) == 240);
static_assert(sizeof(pHell_SpawnManager::spawnInfo_t) == 48);
static_assert(offsetof(pHell_SpawnManager::spawnInfo_t, numSpawned) == 12);
static_assert(offsetof(pHell_SpawnManager::spawnInfo_t, activeAi) == 24);
static_assert(offsetof(pHell_SpawnManager, totalSpawnCount) == 240);
static_assert(offsetof(pHell_SpawnManager, playerCheckVolume) == 248);
static_assert(offsetof(pHell_SpawnManager, spawnLoopThread) == 252);
static_assert(offsetof(pHell_SpawnManager, spawningStopped) == 256);
static_assert(offsetof(pHell_SpawnManager, spawnInfo) == 264);
static_assert(sizeof(pHell_SpawnManager) == 312);
static_assert(offsetof(pHell_ActiveAi, manager) == 16);
static_assert(sizeof(pHell_ActiveAi) == 24);
