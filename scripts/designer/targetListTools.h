// Target list tools: util_distanceTrigger fires its targets as a front sweeps out from (or in
// toward) its entity; util_mapLoad activates a list of entities at map start, each after its own
// delay; util_replaceTargets gives every entity it targets a new target list; util_setColor
// colours one entity; gui_changeProperties writes header, body and pane settings into panels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/qoList.h"
#include "object/qoClass.h"

// The host's text alignment of on-screen panels.
QO_HOST_ENUM(swfEditTextAlign_t)

class util_distanceTrigger : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_distanceTrigger, kvQuorinObject)

public:
    struct ignore_t {
        QO_STRUCT(util_distanceTrigger, ignore_t)
        QO_PROPERTIES(QO_PROPERTY(x), QO_PROPERTY(y), QO_PROPERTY(z))
        bool x = false;
        bool y = false;
        bool z = false;
    };

    QO_PROPERTIES(QO_PROPERTY(speed, "units per second"),
                  QO_PROPERTY(ignore, "allows you to ignore x, y, or z distances"),
                  QO_PROPERTY(reverse, "if true, triggers from furthest to closest"))
    QO_EVENTS("OnActivate")

    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    // Advances the front to each target in sorted order, one step per frame, firing each.
    void FireTargets();

    float speed = 50.0f;
    ignore_t ignore;
    bool reverse = false;
    qoList<qoEntity> sortedTargets;
    qoList<float> sortedDistances;  // index-aligned with sortedTargets
    float front = 0.0f;             // current radius of the front
    float frontStep = 0.0f;         // distance the front moves per frame
};

class util_mapLoad : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_mapLoad, kvQuorinObject)

public:
    struct activationList_t {
        QO_STRUCT(util_mapLoad, activationList_t)
        QO_PROPERTIES(QO_PROPERTY(target), QO_PROPERTY(delay))
        qoEntity target;
        float delay = 0.0f;  // seconds
    };

    QO_PROPERTIES(QO_PROPERTY(activationList, "Ctrl + J linked list of entities to activate on map load."))

    void Init() override;
    // Waits `delay` seconds, then activates the target with player1 as activator.
    void ActivateHelper(qoEntity target, float delay);

    qoList<activationList_t> activationList;
};

class util_replaceTargets : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_replaceTargets, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(newTargets,
                              "For every entity this entity targets, this list will become that "
                              "entity's target list."))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoList<qoEntity> newTargets;
};

class util_setColor : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_setColor, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(newColor, "Ranges from 0 to 1"),
                  QO_PROPERTY(entityToSet, "Entity to change color on"))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoVector newColor{0.0f, 0.0f, 0.0f};
    qoEntity entityToSet;
};

class gui_changeProperties : public kvQuorinObject {
    QO_SCRIPT_CLASS(gui_changeProperties, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(headerText), QO_PROPERTY(headerBehavior), QO_PROPERTY(headerColor),
                  QO_PROPERTY(headerAlignment), QO_PROPERTY(bodyText), QO_PROPERTY(bodyBehavior),
                  QO_PROPERTY(bodyColor), QO_PROPERTY(bodyAlignment),
                  QO_PROPERTY(paneBackgroundColor))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;

    qoString headerText;
    int32_t headerBehavior = 0;
    qoColor headerColor{1.0f, 1.0f, 1.0f, 1.0f};
    swfEditTextAlign_t headerAlignment = swfEditTextAlign_t(2);
    qoString bodyText;
    int32_t bodyBehavior = 0;
    qoColor bodyColor{1.0f, 1.0f, 1.0f, 1.0f};
    swfEditTextAlign_t bodyAlignment = swfEditTextAlign_t(2);
    qoColor paneBackgroundColor{0.0f, 0.0f, 0.0f, 1.0f};
};

static_assert(offsetof(util_distanceTrigger, ignore) == 20);
static_assert(offsetof(util_distanceTrigger, reverse) == 23);
static_assert(offsetof(util_distanceTrigger, sortedTargets) == 24);
static_assert(offsetof(util_distanceTrigger, sortedDistances) == 48);
static_assert(offsetof(util_distanceTrigger, front) == 72);
static_assert(offsetof(util_distanceTrigger, frontStep) == 76);
static_assert(sizeof(util_distanceTrigger) == 80);
static_assert(sizeof(util_mapLoad::activationList_t) == 8);
static_assert(offsetof(util_mapLoad, activationList) == 16);
static_assert(offsetof(util_replaceTargets, newTargets) == 16);
static_assert(offsetof(util_setColor, entityToSet) == 28);
static_assert(sizeof(util_setColor) == 32);
static_assert(offsetof(gui_changeProperties, headerText) == 16);
