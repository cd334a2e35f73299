// pHell_MoveKey and pHell_MovingPlatform: a platform travels from key to key along a chain the
// designer draws with moveKeyInfo.nextKey. A key owns the platforms on their way to it; when one
// arrives (within 0.1 units of the key) the key hands it its own move settings and the platform
// goes on to that key's next key, or waits for an activation when the key says so.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scripts/encounter/pHell_NetworkNode.h"

class pHell_MoveKey : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(pHell_MoveKey, pHell_NetworkNode)

public:
    struct moveKeyInfo_t {
        QO_STRUCT(pHell_MoveKey, moveKeyInfo_t)
        QO_PROPERTIES(QO_PROPERTY(nextKey), QO_PROPERTY(moveSpeed, "set to -1 for no change"),
                      QO_PROPERTY(accelTime), QO_PROPERTY(decelTime), QO_PROPERTY(instantaneous),
                      QO_PROPERTY(waitForTrigger))

        qoEntity nextKey;
        float moveSpeed = 64.0f;  // -1: the platform keeps its speed
        float accelTime = 0.0f;   // seconds
        float decelTime = 0.0f;   // seconds
        bool instantaneous = false;
        bool waitForTrigger = false;
    };

    QO_PROPERTIES(QO_PROPERTY(moveKeyInfo))
    QO_EDITOR("targetLine { target = moveKeyInfo.nextKey; color = yellow; showAlways = true; }",
              "linkAction { entityPtr = moveKeyInfo.nextKey; actionName = 'Connect to Next Mover Key'; "
              "stopLinkActionProcessingAfterThisEntity; associatedHotKey = CTRL_J; }")
    QO_EVENTS("OnActivate")
    QO_OWN_EVENTS_ONLY

public:
    void ConfigureNode() override;
    void OnNetworkStart() override;
    void OnActivate(const qoEntity& activator) override;

    // Takes a platform on its way to this key; false for none, an entity that is not a network
    // node, or one already owned.
    bool AddOwnedMover(const qoEntity& mover);
    // The "UpdateOwnedMovers" thread: hands each arriving platform this key's settings.
    void UpdateOwnedMovers();

    moveKeyInfo_t moveKeyInfo;
    int32_t ownedMoversThread = -1;
    qoList<qoEntity> ownedMovers;
};

class pHell_MovingPlatform : public pHell_MoveKey {
    QO_SCRIPT_CLASS(pHell_MovingPlatform, pHell_MoveKey)
    QO_PROPERTIES(QO_PROPERTY(startOnMapLoad))
    QO_EVENTS("OnActivate")
    QO_OWN_EVENTS_ONLY

public:
    void ConfigureNode() override;
    void OnNetworkStart() override;
    void OnActivate(const qoEntity& activator) override;

    // Takes over the settings of the key it arrived at, then goes on unless told to wait.
    void ApplyKeyInfo(const moveKeyInfo_t& info);
    // Sets off toward nextKey (or jumps there) and hands itself to that key.
    void MoveToNextKey();

    bool startOnMapLoad = true;
};

static_assert(sizeof(pHell_MoveKey::moveKeyInfo_t) == 20);
static_assert(offsetof(pHell_MoveKey, moveKeyInfo) == 176);
static_assert(offsetof(pHell_MoveKey, ownedMoversThread) == 196);
static_assert(offsetof(pHell_MoveKey, ownedMovers) == 200);
static_assert(sizeof(pHell_MoveKey) == 224);
static_assert(offsetof(pHell_MovingPlatform, startOnMapLoad) == 224);
static_assert(sizeof(pHell_MovingPlatform) == 232);
