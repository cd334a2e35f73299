// Combat stages and encounters.
//
// The combat classes are network nodes that only take their place in the trees of combat
// management (job 3) and combat staging (job 5). The encounter manager tops an encounter: once
// activated, its "EncounterLoop" thread scales the encounter to the number of players about
// once a second, picks for each player a spawn manager whose player check volume holds that
// player, and shares out among the picked managers how many AI are still to spawn and how many
// may live at once, until enough AI have been killed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scripts/encounter/pHell_Spawner.h"

class pHell_CombatManager : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(pHell_CombatManager, pHell_NetworkNode)
public:
    void ConfigureNode() override;
};

class pHell_CombatStage : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(pHell_CombatStage, pHell_NetworkNode)
public:
    void ConfigureNode() override;
};

class phCombatHintGroup : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(phCombatHintGroup, pHell_NetworkNode)
public:
    void ConfigureNode() override;
};

class pHell_EncounterManager : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(pHell_EncounterManager, pHell_NetworkNode)

public:
    using spawnInfo_t = pHell_SpawnManager::spawnInfo_t;

    // A reflected record that no behaviour uses.
    struct encounterInfo_t {
        QO_STRUCT(pHell_EncounterManager, encounterInfo_t)
        QO_PROPERTIES(QO_PROPERTY(avgIntensity), QO_PROPERTY(currentIntensity), QO_PROPERTY(desiredIntensity),
                      QO_PROPERTY(timeStart), QO_PROPERTY(timeFinish))

        float avgIntensity = 0.0f;
        float currentIntensity = 0.0f;
        float desiredIntensity = 0.0f;
        int32_t timeStart = 0;
        int32_t timeFinish = 0;
    };

    QO_PROPERTIES(QO_PROPERTY(numKillsPerPlayer), QO_PROPERTY(spawnSizePerPlayer))
    QO_EVENTS("OnActivate")
    QO_OWN_EVENTS_ONLY
    QO_TYPES(encounterInfo_t)

public:
    void ConfigureNode() override;
    // Starts the "EncounterLoop" thread when this node manages job 2 and none runs yet.
    void OnActivate(const qoEntity& activator) override;
    void EncounterLoop();

    // The spawn info of an encounter manager or a spawn manager; empty for any other node.
    static spawnInfo_t GetSpawnInfo(uint32_t node);
    // A spawn manager covers a player standing in its check volume; an encounter manager covers
    // one that one of its job-2 slaves covers.
    static bool CoversPlayer(uint32_t node, int32_t playerIndex);
    // The first valid entry of the list that covers the player, 0 when none does.
    static uint32_t FirstCovering(const qoList<int32_t>& nodes, int32_t playerIndex);
    static void CombineSpawnInfo(spawnInfo_t& into, const spawnInfo_t& from);
    static void ResetSpawnCount(uint32_t manager);

    int32_t numKillsPerPlayer = 0;
    int32_t spawnSizePerPlayer = 4;
    spawnInfo_t spawnInfo;
    uint32_t encounterLoopThread = 0;
    uint32_t pad2 = 0;
};

static_assert(sizeof(pHell_CombatManager) == 176);
static_assert(sizeof(pHell_EncounterManager::encounterInfo_t) == 20);
static_assert(offsetof(pHell_EncounterManager, numKillsPerPlayer) == 176);
static_assert(offsetof(pHell_EncounterManager, spawnSizePerPlayer) == 180);
static_assert(offsetof(pHell_EncounterManager, spawnInfo) == 184);
static_assert(offsetof(pHell_EncounterManager, encounterLoopThread) == 232);
static_assert(sizeof(pHell_EncounterManager) == 240);
