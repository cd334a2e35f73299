// qoWorldUtil: placed by the module on the world entity at Reset; holds the well-known
// entities (the world, up to eight players, the AI conductor) for every other script.
#pragma once

#include <cstddef>

#include "object/qoClass.h"

class qoWorldUtil : public kvQuorinObject {
    QO_SCRIPT_CLASS(qoWorldUtil, kvQuorinObject)

public:
    void Init() override;

    qoEntity world;
    qoEntity player1;
    qoEntity player2;
    qoEntity player3;
    qoEntity player4;
    qoEntity player5;
    qoEntity player6;
    qoEntity player7;
    qoEntity player8;
    qoEntity aiConductor;
};

// Access from scripts: the qoWorldUtil object of the module-wide reference, resolved through the
// host on every call. When the host returns no object these report "Assertion failed: 0"
// (which ends the calling script thread) and, where that returns, yield null / the null entity.
qoWorldUtil* qoGetWorldUtil();
qoEntity qoGetWorldEntity();
// player1: the activator of nearly everything scripts activate.
qoEntity qoGetPlayer1();

static_assert(offsetof(qoWorldUtil, world) == 16);
static_assert(offsetof(qoWorldUtil, player1) == 20);
static_assert(offsetof(qoWorldUtil, player8) == 48);
static_assert(offsetof(qoWorldUtil, aiConductor) == 52);
static_assert(sizeof(qoWorldUtil) == 56);
