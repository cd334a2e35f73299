// Mover spawn loops: util_moverSpawner activates a spawner a number of times; util_loopStopper
// also sends each mover it spawned to a destination again and again (one "MoverHelper" thread
// per mover) until it is activated, which brings the movers to rest at a stop position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/qoList.h"
#include "object/qoClass.h"

class util_moverSpawner : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_moverSpawner, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(numSpawn, "Number of times to spawn"),
                  QO_PROPERTY(fInitialDelay, "Initial delay before first spawn"),
                  QO_PROPERTY(fDelayBetweenSpawns, "Delay between next spawn"),
                  QO_PROPERTY(entSpawner, "This should point to a target_spawn that will spawn your mover"))

public:
    void Init() override;

    int32_t numSpawn = 1;
    float fInitialDelay = 0.0f;
    float fDelayBetweenSpawns = 1.0f;
    qoEntity entSpawner;
};

class util_loopStopper : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_loopStopper, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(numSpawn, "Number of times to spawn"),
                  QO_PROPERTY(fInitialDelay, "Initial delay before first spawn"),
                  QO_PROPERTY(fDelayBetweenSpawns, "Delay between next spawn"),
                  QO_PROPERTY(entSpawner, "This should point to a target_spawn that will spawn your mover"),
                  QO_PROPERTY(fMoveTime, "Time to travel"),
                  QO_PROPERTY(position, "Move destination"),
                  QO_PROPERTY(activateOnArrival, "Entity to activate on arrival"),
                  QO_PROPERTY(fNextMoveDelay, "Time between loops"),
                  QO_PROPERTY(fStopTime, "The time it takes for mover to decel after being stopped"),
                  QO_PROPERTY(fMinDistantToStop, "If mover to stop is greater than this distance than stop it"),
                  QO_PROPERTY(stopPosition, "Position to stop mover"),
                  QO_PROPERTY(soundOnMove, "Sound to play when the mover begins to move."),
                  QO_PROPERTY(soundOnDecel, "Sound to play when the mover is decelerating"))
    QO_DECLS(QO_DECL(soundOnMove, ""), QO_DECL(soundOnDecel, ""))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    // Sends one mover back and forth until the loop is stopped.
    void MoverHelper(qoEntity mover);
    // Stops the last mover once it has come to rest (when no mover was stopped on the way).
    void StopLastMover();
    // Sends the mover to the stop position, decelerating over fStopTime.
    void SendToStop(const qoEntity& mover);

    int32_t numSpawn = 1;
    float fInitialDelay = 0.0f;
    float fDelayBetweenSpawns = 1.0f;
    qoEntity entSpawner;
    float fMoveTime = 0.0f;
    qoEntity position;
    qoEntity activateOnArrival;
    float fNextMoveDelay = 0.0f;
    float fStopTime = 0.0f;
    float fMinDistantToStop = 0.0f;
    qoEntity stopPosition;
    const kvSoundShader* soundOnMove = nullptr;
    const kvSoundShader* soundOnDecel = nullptr;
    qoList<qoEntity> movers;  // taken from the spawner, each once
    bool stopped = false;     // set by the first activation
    bool stopping = false;    // set once a mover has been sent to the stop position
};

static_assert(offsetof(util_moverSpawner, entSpawner) == 28);
static_assert(sizeof(util_moverSpawner) == 32);
static_assert(offsetof(util_loopStopper, fMoveTime) == 32);
static_assert(offsetof(util_loopStopper, stopPosition) == 56);
static_assert(offsetof(util_loopStopper, soundOnMove) == 64);
static_assert(offsetof(util_loopStopper, soundOnDecel) == 72);
static_assert(offsetof(util_loopStopper, movers) == 80);
static_assert(offsetof(util_loopStopper, stopped) == 104);
static_assert(offsetof(util_loopStopper, stopping) == 105);
static_assert(sizeof(util_loopStopper) == 112);
