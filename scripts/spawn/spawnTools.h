// Small tools that go with the spawn manager: one hands its own targets to a manager's spawn
// list, one tests and uses a host spawn entity directly.
#pragma once

#include <cstddef>

#include "object/qoClass.h"

// On activation moves every target of its entity into the spawnList of a spawnManager.
class spawnAddSpawns : public kvQuorinObject {
    QO_SCRIPT_CLASS(spawnAddSpawns, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(spawn_manager))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoEntity spawn_manager;
};

// On activation spawns from a host spawn entity when the host says it can.
class spawnTargetTester : public kvQuorinObject {
    QO_SCRIPT_CLASS(spawnTargetTester, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(targetToTest, "target spawn to test"),
                  QO_PROPERTY(referenceSpawn, "use this target spawn's entity if the targetToTest doesn't have one"))
    QO_EDITOR("targetLine { target = targetToTest; color = yellow; }",
              "targetLine { target = referenceSpawn; color = blue; }")
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoEntity targetToTest;
    qoEntity referenceSpawn;
};

static_assert(sizeof(spawnAddSpawns) == 24);
static_assert(offsetof(spawnTargetTester, referenceSpawn) == 20);
static_assert(sizeof(spawnTargetTester) == 24);
