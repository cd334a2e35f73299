#include "runtime/qoWorldUtil.h"

#include "core/qoDiagnostics.h"
#include "hostcalls/qoObjectRef.h"
#include "runtime/qoDebugUtil.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"

namespace {

// The well-known entities besides the world, looked up by name in this order.
struct WellKnownEntity {
    const char* name;
    qoEntity qoWorldUtil::*field;
};

constexpr WellKnownEntity kWellKnown[] = {
    {"player1", &qoWorldUtil::player1}, {"player2", &qoWorldUtil::player2},
    {"player3", &qoWorldUtil::player3}, {"player4", &qoWorldUtil::player4},
    {"player5", &qoWorldUtil::player5}, {"player6", &qoWorldUtil::player6},
    {"player7", &qoWorldUtil::player7}, {"player8", &qoWorldUtil::player8},
    {"aiConductor", &qoWorldUtil::aiConductor},
};

qoObject<qoWorldUtil> Reference() {
    return qoObject<qoWorldUtil>(qoWorldUtilReference.entity, qoWorldUtilReference.objectIndex);
}

}  // namespace

void qoWorldUtil::Init() {
    const qoEntity worldEntity("world");
    if (entity != worldEntity) {
        ReportError("qoWorldUtil should only be placed on the world entity (worldspawn).");
        return;
    }
    world = worldEntity;
    // A name that is not found leaves the null entity, after a warning that costs a frame.
    for (const WellKnownEntity& e : kWellKnown) this->*e.field = qoEntity(e.name);
    // The debug command reader runs on the world's debug utility ("&qoDebugUtil::ReadDebugActions").
    QO_THREAD_ON(world, qoDebugUtil, ReadDebugActions);
}

qoWorldUtil* qoGetWorldUtil() {
    qoWorldUtil* util = Reference().Get();
    if (!util) qoAssertFailed("0");
    return util;
}

qoEntity qoGetWorldEntity() { return Reference().Read(&qoWorldUtil::world); }

qoEntity qoGetPlayer1() { return Reference().Read(&qoWorldUtil::player1); }
