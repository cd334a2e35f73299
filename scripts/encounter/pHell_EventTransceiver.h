// pHell_EventTransceiver: a plain network node under its own class name, and the gameplay events
// that network signals carry.
#pragma once

#include "scripts/encounter/pHell_NetworkNode.h"

class pHell_EventTransceiver : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(pHell_EventTransceiver, pHell_NetworkNode)
    QO_UNLISTED
    QO_ENUM(gameplayEvent_t, 0, QO_ENUM_VALUES_pHell_EventTransceiver_gameplayEvent_t)
};

static_assert(sizeof(pHell_EventTransceiver) == sizeof(pHell_NetworkNode));
