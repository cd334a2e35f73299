#include "scripts/spawn/spawnTools.h"

#include "core/qoDiagnostics.h"
#include "hostcalls/qoObjectRef.h"
#include "scripts/spawn/spawnManager.h"

void spawnAddSpawns::OnActivate(const qoEntity&) {
    if (!spawn_manager.IsValid()) {
        ReportWarning("Invalid entity spawn_manager on spawnAddSpawns.\n");
        return;
    }
    qoObject<spawnManager> manager;
    manager.Bind(spawn_manager);
    if (!manager.Get()) {
        ReportWarning("Invalid variable sm on spawnAddSpawns.\n");
        return;
    }
    while (entity.NumTargets() > 0) {
        const qoEntity spawn = entity.GetTarget(0);
        if (!spawn.IsValid()) {
            ReportWarning("sp is Invalid from AddToSpawnList.\n");
        } else if (spawnManager* sm = manager.Get()) {
            sm->spawnList.Append(spawn);
        }
        // A target that cannot be taken off the list would be read again for ever.
        if (!entity.RemoveTarget(spawn)) break;
    }
}

void spawnTargetTester::OnActivate(const qoEntity&) {
    qoString line = targetToTest.Name();
    if (targetToTest.IsSpawnAvailable(referenceSpawn)) {
        line += " passed IsSpawnAvailableWithReference, so spawning\n";
        qoSys->Printf("%s\n", line.c_str());
        targetToTest.SpawnEntity(referenceSpawn);
    } else {
        line += " failed IsSpawnAvailableWithReference\n";
        qoSys->Printf("%s\n", line.c_str());
    }
}
