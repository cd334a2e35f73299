// Entity flags: named boolean latches kept on an entity by its util_entityFlag object, so that
// scripts and designers can wait for something that happened to the entity ("Death",
// "Trigger", or a name of their own) without an event handler of their own.
//
// util_entityFlag holds the flags of one entity and sets those named after the events it
// receives; util_entityFlagActivate defines flags on an entity and sets, clears or toggles them
// when activated; util_entityFlagVolume keeps a flag set while something is in its volume. The
// qoUtil functions at the end are the interface other scripts use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"
#include "runtime/qoEnums.h"

class util_entityFlag : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_entityFlag, kvQuorinObject)

public:
    struct callFunction_t {
        QO_STRUCT(util_entityFlag, callFunction_t)
        QO_PROPERTIES(QO_PROPERTY(target), QO_PROPERTY(function))

        qoEntity target;
        qoString function;
    };

    struct flagDef_t {
        QO_STRUCT(util_entityFlag, flagDef_t)
        QO_PROPERTIES(QO_PROPERTY(name), QO_PROPERTY(animNotify), QO_PROPERTY(state),
                      QO_PROPERTY(count), QO_PROPERTY(lastTime), QO_PROPERTY(terminateThreads),
                      QO_PROPERTY(callFunctions))

        qoString name;
        bool animNotify = false;
        bool state = false;
        int32_t count = 0;
        float lastTime = -1.0f;              // host seconds of the last set
        qoList<int32_t> terminateThreads;    // ended when the flag is set
        qoList<callFunction_t> callFunctions;  // called when the flag is set
    };

    QO_TYPES(flagDef_t, callFunction_t)
    QO_EVENTS("OnActivate", "OnTrigger", "OnUse", "OnDamage", "OnDeath", "OnAnimStart",
              "OnAnimEnd", "OnAnimNotify", "OnGoalReach", "OnReachGoal", "OnLeftGoal",
              "OnWaveActivate")

    // Index of the flag, -1 when it is not defined.
    int FindFlag(const char* name) const;
    // Appends the flag; a name already defined is warned about and left as it is.
    void DefineFlag(const char* name, bool animNotify = false, bool state = false);
    // The flag's state; false with a warning for a name that is not defined.
    bool IsFlagSet(const char* name);
    // Sets (or, with a delay, sets later on a thread of its own): state, count, time, then the
    // threads to end and the functions to call.
    void SetFlag(const char* name, float delay = 0.0f);
    void ClearFlag(const char* name, float delay = 0.0f);
    // Clears each flag that is set and sets each that is not.
    void ToggleFlags(const qoList<qoString>& names, float delay = 0.0f);
    // Waits frame by frame until the flag is set (WaitForFlag) or set again (WaitForSignal);
    // false on timeout (when above 0) or when the entity goes away.
    bool WaitForFlag(const char* name, float timeout = 0.0f);
    bool WaitForSignal(const char* name, float timeout = 0.0f);

    void SetDeferredThread(const qoString& name, float delay);
    void ClearDeferredThread(const qoString& name, float delay);

    void OnActivate(const qoEntity& activator) override;
    void OnTrigger(const qoEntity& activator) override;
    void OnUse(const qoEntity& user) override;
    void OnDamage(const qoEntity& attacker, float amount) override;
    void OnDeath(const qoEntity& attacker) override;
    void OnAnimStart() override;
    void OnAnimEnd() override;
    void OnAnimNotify(qoString notify) override;
    void OnGoalReach(const qoEntity& goal) override;
    void OnReachGoal(const qoEntity& goal) override;
    void OnLeftGoal(const qoEntity& goal) override;
    void OnWaveActivate(int32_t waveType) override;

    qoList<flagDef_t> flags;

private:
    // The index of a defined flag, or -1 after the "is not defined on entity" warning.
    int DefinedFlag(const char* name);
    // Sets the flag if it is defined; silent otherwise (the event handlers).
    void SetIfDefined(const char* name);
};

class util_entityFlagActivate : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_entityFlagActivate, kvQuorinObject)
    QO_PROPERTIES(
        QO_PROPERTY(targetEntity, "The actual entity the flags are defined and/or activated on."),
        QO_PROPERTY(defineFlags, "A list of flags this object defines on the entity when created."),
        QO_PROPERTY(activateBehavior, "The effect on the activateFlags when this object is triggered/activated."),
        QO_PROPERTY(activateFlags, "A list of flag names that are modified when this object is triggered/activated."),
        QO_PROPERTY(count, "The number of times this object can be triggered/activated (0 means infinite)."),
        QO_PROPERTY(delay, "Delay after triggering/activation until the activation takes effect."))
    QO_EDITOR("string { color = green; string = 'util_entityFlagActivate'; offset = ( 15 0 0 ); showAlways = true; }",
              "foreach listItem in activateFlags { string { string = listItem; color = white; offset = ( 15 -8 0 ); showAlways = true; }")
    QO_EVENTS("OnActivate", "OnTrigger")

public:
    QO_ENUM(activateBehavior_t, 0, QO_ENUM_VALUES_util_entityFlagActivate_activateBehavior_t)

    void Init() override;
    void OnActivate(const qoEntity& activator) override;
    void OnTrigger(const qoEntity& activator) override;

    qoString targetEntity = "world";
    qoList<qoString> defineFlags;
    activateBehavior_t activateBehavior = SET;
    qoList<qoString> activateFlags;
    int32_t count = 1;
    float delay = 0.0f;
    qoEntity target;             // resolved from targetEntity by Init
    int32_t timesActivated = 0;
};

class util_entityFlagVolume : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_entityFlagVolume, kvQuorinObject)
    QO_PROPERTIES(
        QO_PROPERTY(flag, "The flag this volume defines and toggles as the entity enters/exits this volume."),
        QO_PROPERTY(filter, "A list of entity names this volume object recognizes, leave blank to recognize anything the volume does."),
        QO_PROPERTY(callEnter, "An optional function to call when a matching entity enters the volume."),
        QO_PROPERTY(callExit, "An optional function to call when a matching entity exits the volume."))
    QO_EVENTS("OnEnter", "OnExit")

public:
    void Init() override;
    void OnEnter(const qoEntity& entering) override;
    void OnExit(const qoEntity& leaving) override;

    qoString flag = "VolumeOccupied";
    qoList<qoString> filter;
    qoString callEnter;
    qoString callExit;
    int32_t enterCount = 0;  // matching entries; nothing reads it
};

// The flag library other scripts use. Each does nothing (false) for a zero or invalid entity.
// DefineFlag attaches a flag object when the entity has none and never warns; the others use
// an existing flag object only (with qo_debugPrint above 0 they say when there is none).
namespace qoUtil {
void DefineFlag(const qoEntity& entity, const char* name, bool animNotify = false, bool state = false);
bool IsFlagSet(const qoEntity& entity, const char* name);
void SetFlag(const qoEntity& entity, const char* name, float delay = 0.0f);
void ClearFlag(const qoEntity& entity, const char* name, float delay = 0.0f);
bool WaitForFlag(const qoEntity& entity, const char* name, float timeout = 0.0f);
bool WaitForSignal(const qoEntity& entity, const char* name, float timeout = 0.0f);
// "entity.function" calls the function on the named entity, "function" on the world entity;
// "" calls nothing.
void CallFunction(const qoString& text);
}  // namespace qoUtil

static_assert(offsetof(util_entityFlag::callFunction_t, function) == 8);
static_assert(sizeof(util_entityFlag::callFunction_t) == 32);
static_assert(offsetof(util_entityFlag::flagDef_t, animNotify) == 24);
static_assert(offsetof(util_entityFlag::flagDef_t, state) == 25);
static_assert(offsetof(util_entityFlag::flagDef_t, count) == 28);
static_assert(offsetof(util_entityFlag::flagDef_t, lastTime) == 32);
static_assert(offsetof(util_entityFlag::flagDef_t, terminateThreads) == 40);
static_assert(offsetof(util_entityFlag::flagDef_t, callFunctions) == 64);
static_assert(sizeof(util_entityFlag::flagDef_t) == 88);
static_assert(offsetof(util_entityFlag, flags) == 16);
static_assert(sizeof(util_entityFlag) == 40);
static_assert(offsetof(util_entityFlagActivate, defineFlags) == 40);
static_assert(offsetof(util_entityFlagActivate, activateBehavior) == 64);
static_assert(offsetof(util_entityFlagActivate, activateFlags) == 72);
static_assert(offsetof(util_entityFlagActivate, count) == 96);
static_assert(offsetof(util_entityFlagActivate, delay) == 100);
static_assert(offsetof(util_entityFlagActivate, target) == 104);
static_assert(offsetof(util_entityFlagActivate, timesActivated) == 108);
static_assert(sizeof(util_entityFlagActivate) == 112);
static_assert(offsetof(util_entityFlagVolume, filter) == 40);
static_assert(offsetof(util_entityFlagVolume, callEnter) == 64);
static_assert(offsetof(util_entityFlagVolume, callExit) == 88);
static_assert(offsetof(util_entityFlagVolume, enterCount) == 112);
static_assert(sizeof(util_entityFlagVolume) == 120);
