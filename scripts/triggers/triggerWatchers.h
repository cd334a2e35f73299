// Trigger utilities that watch the player: whether he sees an entity (util_triggerVisibility),
// how long he looks at it (util_triggerLookAt with its safety triggers and manager volume),
// and when his berserk state starts and stops (util_triggerOnBerserk with the
// player_triggerOnBerserk object it puts on him). They report what they noticed through entity
// flags ("PlayerSawTrigger", "BerserkStarted", "BerserkStopped").
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

// The player-can-see test.
//
// The player sees the entity when its origin lies in front of him and within `tolerance` of
// the screen: from the player's view position (GetViewPos) and view angles (GetViewAngles),
// the direction to the entity's origin is split along the view's forward, right and up axes;
// its screen position is (right / forward) / tan(45°) across and (up / forward) / 0.75 up (a
// 90° wide, 4:3 view). With tolerance 1.0 anything on the screen counts, with 0.0 only points
// within 0.01 of the centre; the tolerance is clamped to 0..1. With `testLOS` a trace runs
// from the view position to the entity's origin, passing through the player; the sight is
// blocked when it stops on anything other than the entity. A missing player or entity is not
// seen.
bool qoPlayerCanSee(const qoEntity& player, const qoEntity& target, bool testLOS, float tolerance);

class util_triggerVisibility : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerVisibility, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(active, "Set to true to turn the trigger on, deactivates itself when seen."),
                  QO_PROPERTY(testFrequency, "How often to test for visibility. 0 = every frame."),
                  QO_PROPERTY(tolerance, "Valid range: 0.0 to 1.0. 1.0 means anywhere on the screen, 0.0 means very close to the center of the screen."),
                  QO_PROPERTY(testLOS, "Do traces to ensure there is a direct line of sight to the trigger."),
                  QO_PROPERTY(triggerOnVisible, "Entity to activate on visible"),
                  QO_PROPERTY(triggerOnHidden, "Entity to activate on hidden"))
    QO_EDITOR("targetLine { target = triggerOnVisible; color = green; showAlways = true; }",
              "targetLine { target = triggerOnHidden; color = yellow; showAlways = true; }")
    QO_EVENTS("OnActivate")
    QO_FUNCTIONS(QO_FUNCTION(Think))

public:
    void Init() override;
    // Starts the Think thread, or (when active) clears active so that it ends.
    void OnActivate(const qoEntity& activator) override;
    void Think();

    bool active = false;
    float testFrequency = 0.0f;  // seconds
    float tolerance = 0.0f;
    bool testLOS = false;
    qoEntity triggerOnVisible;
    qoEntity triggerOnHidden;
    bool seen = false;
};

class player_triggerOnBerserk : public kvQuorinObject {
    QO_SCRIPT_CLASS(player_triggerOnBerserk, kvQuorinObject)
    QO_EVENTS("OnBerserkStart", "OnBerserkStop")

public:
    void Init() override;
    void OnBerserkStart(const qoEntity& entity) override;
    void OnBerserkStop(const qoEntity& entity) override;
};

class util_triggerOnBerserk : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerOnBerserk, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(berserkStartTargets, "List of backup triggers that will cause the lookat to register as seen"),
                  QO_PROPERTY(berserkStopTargets, "List of backup triggers that will cause the lookat to register as seen"))
    QO_EDITOR(
        "foreach listItem in berserkStartTargets { targetLine { target = listItem; color = green; showAlways = true; } }",
        "foreach listItem in berserkStopTargets { targetLine { target = listItem; color = red; showAlways = true; } }",
        "string { string = 'Trigger On Berserk'; color = white; offset = ( 15 0 0 ); showAlways = true; }")
    QO_FUNCTIONS(QO_FUNCTION(WatchBerserkStart), QO_FUNCTION(WatchBerserkStop))

public:
    void Init() override;
    void WatchBerserkStart();
    void WatchBerserkStop();

    qoList<qoEntity> berserkStartTargets;
    qoList<qoEntity> berserkStopTargets;
    uint64_t pad0 = 0;  // the class keeps its published size
};

class util_triggerLookAt : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerLookAt, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(active, "Set to true to turn the trigger on, deactivates itself when seen."),
                  QO_PROPERTY(activePeriod, "trigger will automatically deactivate after this amount of time, if nonnegative"),
                  QO_PROPERTY(tolerance, "Valid range: 0.0 to 1.0. 1.0 means anywhere on the screen, 0.0 means very close to the center of the screen."),
                  QO_PROPERTY(testLOS, "Do traces to ensure there is a direct line of sight to the trigger."),
                  QO_PROPERTY(lookTime, "Duration player must look before trigger fires"),
                  QO_PROPERTY(delay, "Delay before actually triggering."),
                  QO_PROPERTY(inverse),
                  QO_PROPERTY(triggerOnce, "When set, only triggers it's targets once."),
                  QO_PROPERTY(call, "Call this script function when the look at trigger activates."),
                  QO_PROPERTY(safetyTriggers, "List of backup triggers that will cause the lookat to register as seen"))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    // Watches the player until he has looked long enough, the period runs out or active is
    // cleared.
    void OnActivate(const qoEntity& activator) override;

    bool active = false;
    float activePeriod = 0.0f;  // seconds; below 0: no limit
    float tolerance = 0.0f;
    bool testLOS = false;
    float lookTime = 0.0f;      // seconds
    float delay = 0.0f;         // seconds
    bool inverse = false;
    bool triggerOnce = false;
    qoString call;
    qoList<qoEntity> safetyTriggers;
    bool safetySeen = false;
    bool hasFired = false;
};

class util_triggerLookAtSafety : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerLookAtSafety, kvQuorinObject)
    QO_EVENTS("OnTrigger")

public:
    // Makes the look-at trigger count the player as looking from now on.
    void OnTrigger(const qoEntity& activator) override;

    qoEntity lookAtTrigger;
};

class util_triggerLookAtManagerVolume : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_triggerLookAtManagerVolume, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(enabled))

public:
    // Collects the targeted look-at triggers and clears their active.
    void Init() override;

    bool enabled = false;  // not read
    qoList<qoEntity> lookAtTriggers;
};

static_assert(offsetof(util_triggerVisibility, active) == 16);
static_assert(offsetof(util_triggerVisibility, testFrequency) == 20);
static_assert(offsetof(util_triggerVisibility, tolerance) == 24);
static_assert(offsetof(util_triggerVisibility, testLOS) == 28);
static_assert(offsetof(util_triggerVisibility, triggerOnVisible) == 32);
static_assert(offsetof(util_triggerVisibility, triggerOnHidden) == 36);
static_assert(offsetof(util_triggerVisibility, seen) == 40);
static_assert(sizeof(util_triggerVisibility) == 48);
static_assert(sizeof(player_triggerOnBerserk) == 16);
static_assert(offsetof(util_triggerOnBerserk, berserkStartTargets) == 16);
static_assert(offsetof(util_triggerOnBerserk, berserkStopTargets) == 40);
static_assert(sizeof(util_triggerOnBerserk) == 72);
static_assert(offsetof(util_triggerLookAt, activePeriod) == 20);
static_assert(offsetof(util_triggerLookAt, tolerance) == 24);
static_assert(offsetof(util_triggerLookAt, testLOS) == 28);
static_assert(offsetof(util_triggerLookAt, lookTime) == 32);
static_assert(offsetof(util_triggerLookAt, delay) == 36);
static_assert(offsetof(util_triggerLookAt, inverse) == 40);
static_assert(offsetof(util_triggerLookAt, triggerOnce) == 41);
static_assert(offsetof(util_triggerLookAt, call) == 48);
static_assert(offsetof(util_triggerLookAt, safetyTriggers) == 72);
static_assert(offsetof(util_triggerLookAt, safetySeen) == 96);
static_assert(offsetof(util_triggerLookAt, hasFired) == 97);
static_assert(sizeof(util_triggerLookAt) == 104);
static_assert(offsetof(util_triggerLookAtSafety, lookAtTrigger) == 16);
static_assert(sizeof(util_triggerLookAtSafety) == 24);
static_assert(offsetof(util_triggerLookAtManagerVolume, enabled) == 16);
static_assert(offsetof(util_triggerLookAtManagerVolume, lookAtTriggers) == 24);
static_assert(sizeof(util_triggerLookAtManagerVolume) == 48);
