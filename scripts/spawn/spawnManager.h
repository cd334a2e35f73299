// spawnManager: a self-contained spawner for one fight. It keeps up to maxSpawnCount AI alive
// and spawns up to maxTotalSpawnCount in all, choosing for each spawn one entity of its
// spawnList whose spawnPoint rules (distance, reuse time, view, angle, area) hold, and falling
// back to its forceSpawnList when none has qualified for ten seconds. One living AI at a time
// is the "charger", announced by activating the role target with that AI as activator.
//
// Every activation after the first is a death notice from one of its AI. The first starts the
// charger cycle; every activation (re)starts the spawning while there is room.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostcalls/qoObjectRef.h"
#include "object/qoClass.h"

// The spawn rules of one spawn entity (attached by the manager, created when missing).
class spawnPoint : public kvQuorinObject {
    QO_SCRIPT_CLASS(spawnPoint, kvQuorinObject)
    QO_PROPERTIES(
        QO_PROPERTY(minDistance, "Minimum distance spawn is valid"),
        QO_PROPERTY(maxDistance, "Maximum distance spawn is valid. 0 for infinite distance."),
        QO_PROPERTY(validAngleMin, "Set an angle from 0 to 360 representing valid angles for player to view spawn"),
        QO_PROPERTY(validAngleMax, "Set an angle from 0 to 360 representing valid angles for player to view spawn"),
        QO_PROPERTY(reUseDelay, "Time in seconds to wait until spawn is valid again"),
        QO_PROPERTY(bDontCheckFov, "Set to true if you do not want to bother with FOV checks"))

public:
    float minDistance = 500.0f;
    float maxDistance = 3500.0f;
    float validAngleMin = 0.0f;  // degrees
    float validAngleMax = 0.0f;  // degrees
    float reUseDelay = 5.0f;     // seconds
    bool bDontCheckFov = false;
    double reUseTime = 0.0;      // seconds: when the spawn may be used again
    bool bIsLastSpawn = false;   // the manager spawned here last
};

class spawnManager : public kvQuorinObject {
    QO_SCRIPT_CLASS(spawnManager, kvQuorinObject)
    QO_PROPERTIES(
        QO_PROPERTY(maxSpawnDelay, "Used to force spawn an AI if one has not spawned in this amount of time."),
        QO_PROPERTY(minSpawnDelay, "Time to wait before allowing next AI to spawn"),
        QO_PROPERTY(nextChargerDelay, "Force charger time. -1 for no charger."),
        QO_PROPERTY(maxSpawnCount, "The max active AI allowed."),
        QO_PROPERTY(maxTotalSpawnCount, "The max total AI spawned allowed."),
        QO_PROPERTY(spawnList, "List of available spawns"),
        QO_PROPERTY(forceSpawnList, "List of available force spawns if other methods fail"),
        QO_PROPERTY(requiredLocation,
                    "Place trigger or volume entity to require player to be in this volume for spawns to work"),
        QO_PROPERTY(combatOver, "activate when last AI has died"),
        QO_PROPERTY(doneSpawning, "activate when done spawning"))
    QO_DECLS(QO_DECL(targetDecl, "target/group/force_role"))
    QO_EDITOR(
        "linkActionList { entityPtrs = spawnList[x]; actionName = 'Link MetaDebug To kvTarget_Spawn'; }",
        "foreach listItem in spawnList { targetLine { target = listItem; color = yellow; } }",
        "entityTypeRestriction { path = 'spawnList[x]'; allowedType = 'kvTarget_Spawn'; }",
        "foreach listItem in forceSpawnList { targetLine { target = listItem; color = green; } }",
        "entityTypeRestriction { path = 'forceSpawnList[x]'; allowedType = 'kvTarget_Spawn'; }",
        "targetLine { target = combatOver; color = yellow; }",
        "entityTypeRestriction { path = 'requiredLocation'; allowedType = 'kvVolume, kvTrigger'; }")
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    // Threads.
    void RequestManager();
    void WaitForNextCharger();
    void LastChargerHeartBeat();

    // Spawns at one entity of spawnList that passes its tests, searching until one does (or
    // force-spawning after ten seconds). False when nothing could be spawned at all.
    bool RequestSpawn();
    // Spawns at one entity of forceSpawnList without tests; false when the list is empty.
    bool ForceSpawn();
    // Activates the spawn entity and makes it the last spawn point.
    void DoSpawn(const qoObject<spawnPoint>& point, const qoEntity& spawn);

    // 0 below two, else the host's random integer below count.
    static int32_t RandomIndex(int32_t count);
    // Game time in seconds.
    static double Now();

    float maxSpawnDelay = 8.0f;      // seconds
    float minSpawnDelay = 1.5f;      // seconds
    float nextChargerDelay = 10.0f;  // seconds; -1: no charger
    int16_t maxSpawnCount = 5;
    int16_t maxTotalSpawnCount = 10;
    qoList<qoEntity> spawnList;
    qoList<qoEntity> forceSpawnList;
    qoEntity requiredLocation;
    qoEntity combatOver;
    qoEntity doneSpawning;
    int16_t curSpawnCount = 0;       // living AI
    int16_t curTotalSpawnCount = 0;  // AI spawned so far
    double forceSpawnTime = -1.0;    // seconds: a spawn is due by then; -1 none
    double nextSpawnTime = 0.0;      // seconds: no spawn request before then
    bool firstActivation = true;
    bool requestActive = false;      // the "RequestManager" thread runs
    bool doneSpawningFired = false;
    qoObject<spawnPoint> lastSpawnPoint;
    qoEntity lastSpawned;
    qoEntity player;
    qoEntity charger;
    const kvDeclEntityDef* targetDecl = nullptr;
    qoEntity roleTarget;
    qoList<qoEntity> activeAI;       // newest first
};

static_assert(offsetof(spawnPoint, reUseDelay) == 32);
static_assert(offsetof(spawnPoint, bDontCheckFov) == 36);
static_assert(offsetof(spawnPoint, reUseTime) == 40);
static_assert(offsetof(spawnPoint, bIsLastSpawn) == 48);
static_assert(sizeof(spawnPoint) == 56);
static_assert(offsetof(spawnManager, maxSpawnCount) == 28);
static_assert(offsetof(spawnManager, spawnList) == 32);
static_assert(offsetof(spawnManager, forceSpawnList) == 56);
static_assert(offsetof(spawnManager, requiredLocation) == 80);
static_assert(offsetof(spawnManager, doneSpawning) == 88);
static_assert(offsetof(spawnManager, curSpawnCount) == 92);
static_assert(offsetof(spawnManager, forceSpawnTime) == 96);
static_assert(offsetof(spawnManager, nextSpawnTime) == 104);
static_assert(offsetof(spawnManager, firstActivation) == 112);
static_assert(offsetof(spawnManager, lastSpawnPoint) == 120);
static_assert(offsetof(spawnManager, lastSpawned) == 136);
static_assert(offsetof(spawnManager, charger) == 144);
static_assert(offsetof(spawnManager, targetDecl) == 152);
static_assert(offsetof(spawnManager, roleTarget) == 160);
static_assert(offsetof(spawnManager, activeAI) == 168);
static_assert(sizeof(spawnManager) == 192);
