// Idle monsters that stroll between designer-placed points until they notice an enemy.
//
//   wander_world  the registry of points, placed on one entity
//   wander_point  a point; registers itself with the wander_world named by managerName
//   wander_ai     on a monster: one second after its first think picks, once, the points of its
//                 type within their radius, then walks from point to point ("RunWander"),
//                 idling at each, until it becomes aware of an enemy
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class wander_world : public kvQuorinObject {
    QO_SCRIPT_CLASS(wander_world, kvQuorinObject)

public:
    // Indexed together; entries are never removed.
    qoList<qoEntity> knownPoints;
    qoList<qoVector> pointOrigins;
    qoList<float> pointRadii;
    qoList<aiMonsterType_t> pointTypes;
};

class wander_point : public kvQuorinObject {
    QO_SCRIPT_CLASS(wander_point, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(managerName), QO_PROPERTY(monsterType), QO_PROPERTY(waitTimeMin),
                  QO_PROPERTY(waitTimeMax), QO_PROPERTY(idleAnimName), QO_PROPERTY(arriveOriented),
                  QO_PROPERTY(arriveRadius), QO_PROPERTY(radius))
    QO_EDITOR("sphere   {  radius = radius; color = cyan; showAlways = false; dragEditable; }")

public:
    void Init() override;

    qoString managerName;
    aiMonsterType_t monsterType{};
    float waitTimeMin = 0.0f;  // seconds
    float waitTimeMax = 0.0f;  // seconds
    qoString idleAnimName;
    bool arriveOriented = false;
    float arriveRadius = 0.0f;
    float radius = 0.0f;  // a monster may choose the point only from within this distance
};

class wander_ai : public kvQuorinObject {
    QO_SCRIPT_CLASS(wander_ai, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(managerName))
    QO_EVENTS("OnFirstThink")
    QO_FUNCTIONS(QO_FUNCTION(RunWander))

public:
    void OnFirstThink() override;

    // Threads. The first think's work waits, so outside a script thread it gets a thread of
    // its own ("OnFirstThink").
    void FirstThink();
    void RunWander();

    qoString managerName;
    qoList<qoEntity> validPoints;
};

static_assert(offsetof(wander_world, pointTypes) == 88);
static_assert(sizeof(wander_world) == 112);
static_assert(offsetof(wander_point, monsterType) == 40);
static_assert(offsetof(wander_point, idleAnimName) == 56);
static_assert(offsetof(wander_point, radius) == 88);
static_assert(offsetof(wander_ai, validPoints) == 40);
