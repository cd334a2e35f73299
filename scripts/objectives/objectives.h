// Objectives: an objectiveManager shows its message on the player's HUD when activated and
// makes its objectiveTarget entities live; each target activated marks itself complete, and
// when the last one is, the manager completes, removes the text and, after a delay, activates
// the next objective (an objectiveManager among its targets). Completion is kept as entity
// flags ("ObjectiveTargetComplete" on each target, "ObjectiveComplete" on the manager) so
// that other scripts can wait for it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

// The size of the virtual screen that scripts lay HUD elements out on (module-wide; the
// objective manager sets it at start).
inline float qoHudLayoutWidth = 0.0f;
inline float qoHudLayoutHeight = 0.0f;

class objectiveManager : public kvQuorinObject {
    QO_SCRIPT_CLASS(objectiveManager, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(hudImage1),
                  QO_PROPERTY(sNewSound, "Sound shader to play when activated"),
                  QO_PROPERTY(bPlayNewSound, "Flag to play the new objective sound"),
                  QO_PROPERTY(fNextObjDelay, "Delay before activating the next objective"),
                  QO_PROPERTY(sMessage, "Message for the omnicom"),
                  QO_PROPERTY(gameChallenge))
    QO_DECLS(QO_DECL(hudImage1, "textures/guis/hud/fpshud/pickup"), QO_DECL(sNewSound, ""))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    // Drops the targets found complete (or gone); when none is left, completes once: the flag,
    // the HUD text removed, then after fNextObjDelay the next objective activated. Runs on the
    // thread of the target's activation, which the delay holds.
    void CheckComplete();

    const kvMaterial* hudImage1 = nullptr;
    const kvSoundShader* sNewSound = nullptr;
    bool bPlayNewSound = true;
    float fNextObjDelay = 0.0f;  // raised to at least kMinNextObjectiveDelay at start
    qoString sMessage;
    qoEntity gameChallenge;
    qoList<qoEntity> objectiveTargets;  // the targets still open
    qoEntity nextObjective;             // the manager to activate when done

    static constexpr float kMinNextObjectiveDelay = 0.25f;
};

class objectiveTarget : public kvQuorinObject {
    QO_SCRIPT_CLASS(objectiveTarget, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(sActivateSound, "Sound shader to play on activation"),
                  QO_PROPERTY(sCompleteSound, "Sound shader to play when this target is complete"),
                  QO_PROPERTY(bPlaySndActivate), QO_PROPERTY(bPlaySndComplete),
                  QO_PROPERTY(eTargetNPCName, "This objective should target bind to an NPC"),
                  QO_PROPERTY(bShowIcon))
    QO_DECLS(QO_DECL(sActivateSound, ""), QO_DECL(sCompleteSound, ""))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    const kvSoundShader* sActivateSound = nullptr;
    const kvSoundShader* sCompleteSound = nullptr;
    bool bPlaySndActivate = false;
    bool bPlaySndComplete = false;
    qoString eTargetNPCName;  // entity to attach the target to when the objective starts
    bool bShowIcon = false;
    qoEntity ownerObjective;  // the manager that collected this target
};

static_assert(offsetof(objectiveManager, hudImage1) == 16);
static_assert(offsetof(objectiveManager, sNewSound) == 24);
static_assert(offsetof(objectiveManager, bPlayNewSound) == 32);
static_assert(offsetof(objectiveManager, fNextObjDelay) == 36);
static_assert(offsetof(objectiveManager, sMessage) == 40);
static_assert(offsetof(objectiveManager, gameChallenge) == 64);
static_assert(offsetof(objectiveManager, objectiveTargets) == 72);
static_assert(offsetof(objectiveManager, nextObjective) == 96);
static_assert(sizeof(objectiveManager) == 104);
static_assert(offsetof(objectiveTarget, sActivateSound) == 16);
static_assert(offsetof(objectiveTarget, sCompleteSound) == 24);
static_assert(offsetof(objectiveTarget, bPlaySndActivate) == 32);
static_assert(offsetof(objectiveTarget, bPlaySndComplete) == 33);
static_assert(offsetof(objectiveTarget, eTargetNPCName) == 40);
static_assert(offsetof(objectiveTarget, bShowIcon) == 64);
static_assert(offsetof(objectiveTarget, ownerObjective) == 68);
static_assert(sizeof(objectiveTarget) == 72);
