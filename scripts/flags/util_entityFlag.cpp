#include "scripts/flags/util_entityFlag.h"

#include "core/qoDiagnostics.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"
#include "runtime/qoWorldUtil.h"

namespace {

constexpr uint32_t kNoObjectIndex = 0xFFFFFFFFu;  // host slot 2: the entity carries none

float HostSeconds() { return static_cast<float>(qoSys->GameTimeMs()) * 0.001f; }

// The entity's flag object, looked up again on every use: a wait outlives anything it held.
util_entityFlag* FlagObjectOf(uint32_t entity) {
    if (entity == 0 || !qoSys->EntityIsValid(entity)) return nullptr;
    const uint32_t index = qoSys->FindScriptObject(entity, util_entityFlag::qoName, 0);
    return static_cast<util_entityFlag*>(qoSys->GetScriptObject(entity, index));
}

// The flag object for a library function: null for a zero or invalid entity; for an entity
// without one, the gated debug line of the calling function. A host that answers the lookup
// with an index that resolves to no object (some hosts say "none" with 0) means the same thing.
util_entityFlag* LibraryFlagObject(const qoEntity& entity, const char* function, int line) {
    if (entity.handle == 0 || !entity.IsValid()) return nullptr;
    const uint32_t index = qoSys->FindScriptObject(entity.handle, util_entityFlag::qoName, 0);
    auto* flags = index == kNoObjectIndex
                      ? nullptr
                      : static_cast<util_entityFlag*>(qoSys->GetScriptObject(entity.handle, index));
    if (!flags) {
        qoDebugPrint("^3", function, line,
                     "Could not access the entityFlag object on entity: " + entity.Name());
    }
    return flags;
}

// Applies op(flag object, name) to each name in turn, with the flag object looked up afresh for
// each (a warning about an undefined name costs the calling thread a frame). The names are
// copied first: they may belong to an object that goes away meanwhile.
template <class Op>
void ForEachFlag(uint32_t entity, const qoList<qoString>& names, Op op) {
    const qoList<qoString> copy(names);
    for (int i = 0; i < copy.Num(); ++i) {
        util_entityFlag* flags = FlagObjectOf(entity);
        if (!flags) return;
        op(*flags, copy[i].c_str());
    }
}

// The frame-by-frame wait of WaitForFlag (signal false) and WaitForSignal (signal true).
bool WaitOnFlag(uint32_t entity, int index, float timeout, bool signal) {
    const util_entityFlag* flags = FlagObjectOf(entity);
    if (!flags) return false;
    const int32_t startCount = flags->flags[index].count;
    const float start = HostSeconds();
    for (;;) {
        flags = FlagObjectOf(entity);
        if (!flags) return false;
        const util_entityFlag::flagDef_t& flag = flags->flags[index];
        if (signal ? flag.count > startCount : flag.state) return true;
        if (timeout > 0.0f && !(HostSeconds() < start + timeout)) return false;
        qoWaitFrame();
    }
}

}  // namespace

// ---- util_entityFlag ----------------------------------------------------------------------------

int util_entityFlag::FindFlag(const char* name) const {
    for (int i = 0; i < flags.Num(); ++i)
        if (flags[i].name == name) return i;
    return -1;
}

void util_entityFlag::DefineFlag(const char* name, bool animNotify, bool state) {
    if (FindFlag(name) >= 0) {
        ReportWarning(qoString("Flag name: ") + name + " is already defined on entity: " + entity.Name());
        return;
    }
    flagDef_t flag;
    flag.name = name;
    flag.animNotify = animNotify;
    flag.state = state;
    flags.Append(flag);
}

int util_entityFlag::DefinedFlag(const char* name) {
    const int index = FindFlag(name);
    if (index < 0)
        ReportWarning(qoString("Flag name: ") + name + " is not defined on entity: " + entity.Name());
    return index;
}

bool util_entityFlag::IsFlagSet(const char* name) {
    const int index = DefinedFlag(name);
    return index >= 0 && flags[index].state;
}

void util_entityFlag::SetFlag(const char* name, float delay) {
    const int index = DefinedFlag(name);
    if (index < 0) return;
    if (delay > 0.0f) {
        qoStartThread<&util_entityFlag::SetDeferredThread>(this, "SetDeferredThread", qoString(name), delay);
        return;
    }
    flagDef_t& flag = flags[index];
    flag.state = true;
    flag.count += 1;
    flag.lastTime = static_cast<float>(qoSys->GameTimeMs()) * 0.001f;
    // Both lists are emptied before anything runs: a called function may define flags (which
    // moves the list) or set this flag again.
    const qoList<int32_t> threads(flag.terminateThreads);
    const qoList<callFunction_t> calls(flag.callFunctions);
    flag.terminateThreads.Clear();
    flag.callFunctions.Clear();
    for (int i = 0; i < threads.Num(); ++i) qoSys->EndThread(static_cast<uint32_t>(threads[i]));
    for (int i = 0; i < calls.Num(); ++i)
        qoSys->CallScriptFunction(calls[i].target.handle, calls[i].function.c_str());
}

void util_entityFlag::ClearFlag(const char* name, float delay) {
    const int index = DefinedFlag(name);
    if (index < 0) return;
    if (delay > 0.0f) {
        qoStartThread<&util_entityFlag::ClearDeferredThread>(this, "ClearDeferredThread", qoString(name), delay);
        return;
    }
    flags[index].state = false;
}

void util_entityFlag::ToggleFlags(const qoList<qoString>& names, float delay) {
    ForEachFlag(entity.handle, names, [delay](util_entityFlag& self, const char* name) {
        if (self.IsFlagSet(name))
            self.ClearFlag(name, delay);
        else
            self.SetFlag(name, delay);
    });
}

bool util_entityFlag::WaitForFlag(const char* name, float timeout) {
    const int index = DefinedFlag(name);
    return index >= 0 && WaitOnFlag(entity.handle, index, timeout, false);
}

bool util_entityFlag::WaitForSignal(const char* name, float timeout) {
    const int index = DefinedFlag(name);
    return index >= 0 && WaitOnFlag(entity.handle, index, timeout, true);
}

void util_entityFlag::SetDeferredThread(const qoString& name, float delay) {
    qoWait(delay);
    SetFlag(name.c_str(), 0.0f);
}

void util_entityFlag::ClearDeferredThread(const qoString& name, float delay) {
    qoWait(delay);
    ClearFlag(name.c_str(), 0.0f);
}

void util_entityFlag::SetIfDefined(const char* name) {
    if (FindFlag(name) >= 0) SetFlag(name, 0.0f);
}

void util_entityFlag::OnActivate(const qoEntity&) { SetIfDefined("Activate"); }
void util_entityFlag::OnTrigger(const qoEntity&) { SetIfDefined("Trigger"); }
void util_entityFlag::OnUse(const qoEntity&) { SetIfDefined("PropUsed"); }
void util_entityFlag::OnDamage(const qoEntity&, float) { SetIfDefined("Damage"); }
void util_entityFlag::OnDeath(const qoEntity&) { SetIfDefined("Death"); }
void util_entityFlag::OnAnimStart() { SetIfDefined("AnimStart"); }
void util_entityFlag::OnAnimEnd() { SetIfDefined("AnimEnd"); }
void util_entityFlag::OnGoalReach(const qoEntity&) { SetIfDefined("GoalReach"); }
void util_entityFlag::OnLeftGoal(const qoEntity&) { SetIfDefined("LeftGoal"); }

void util_entityFlag::OnAnimNotify(qoString notify) {
    const int index = FindFlag(notify.c_str());
    if (index >= 0 && flags[index].animNotify) SetFlag(notify.c_str(), 0.0f);
}

void util_entityFlag::OnReachGoal(const qoEntity&) {
    qoSys->Printf("%s\n", "On Goal Reach has been hit");
    SetIfDefined("ReachGoal");
}

void util_entityFlag::OnWaveActivate(int32_t waveType) {
    switch (waveType) {
        case 2: SetIfDefined("AicMobWaveSpawned"); break;
        case 4: SetIfDefined("AicSentinelWaveSpawned"); break;
        case 16: SetIfDefined("AicBossWaveSpawned"); break;
        default: break;
    }
}

// ---- util_entityFlagActivate --------------------------------------------------------------------

void util_entityFlagActivate::Init() {
    if (!targetEntity.IsEmpty()) {
        target = qoEntity(targetEntity);
        if (!target.IsValid()) {
            qoDebugPrint("^3", "util_entityFlagActivate::Init", 626,
                         "Entity: " + targetEntity + " could not be found.");
            return;
        }
    } else {
        target = qoGetWorldEntity();
    }
    const qoList<qoString> names(defineFlags);
    for (int i = 0; i < names.Num(); ++i) qoUtil::DefineFlag(target, names[i].c_str());
}

void util_entityFlagActivate::OnTrigger(const qoEntity& activator) { OnActivate(activator); }

void util_entityFlagActivate::OnActivate(const qoEntity&) {
    if (count >= 1 && ++timesActivated > count) return;
    util_entityFlag* flags = FlagObjectOf(target.handle);
    if (!flags) return;
    const float after = delay;
    switch (activateBehavior) {
        case SET:
            ForEachFlag(target.handle, activateFlags,
                        [after](util_entityFlag& f, const char* name) { f.SetFlag(name, after); });
            break;
        case CLEAR:
            ForEachFlag(target.handle, activateFlags,
                        [after](util_entityFlag& f, const char* name) { f.ClearFlag(name, after); });
            break;
        case TOGGLE: flags->ToggleFlags(activateFlags, after); break;
    }
}

// ---- util_entityFlagVolume ----------------------------------------------------------------------

void util_entityFlagVolume::Init() {
    qoBindWorldUtil();
    qoUtil::DefineFlag(entity, flag.c_str());
}

void util_entityFlagVolume::OnEnter(const qoEntity& entering) {
    bool matches = filter.Num() == 0;
    if (!matches) {
        const qoString name = entering.Name();
        for (int i = 0; i < filter.Num() && !matches; ++i) matches = filter[i] == name;
    }
    if (!matches) return;
    ++enterCount;
    qoUtil::SetFlag(entity, flag.c_str(), 0.0f);
    qoUtil::CallFunction(callEnter);
}

void util_entityFlagVolume::OnExit(const qoEntity&) {
    qoUtil::ClearFlag(entity, flag.c_str(), 0.0f);
    qoUtil::CallFunction(callExit);
}

// ---- the library --------------------------------------------------------------------------------

namespace qoUtil {

void DefineFlag(const qoEntity& entity, const char* name, bool animNotify, bool state) {
    if (entity.handle == 0 || !entity.IsValid()) return;
    const uint32_t index = qoSys->FindScriptObject(entity.handle, util_entityFlag::qoName, 1);
    auto* flags = static_cast<util_entityFlag*>(qoSys->GetScriptObject(entity.handle, index));
    if (!flags) {
        qoAssertFailed("0");
        return;
    }
    if (flags->FindFlag(name) < 0) flags->DefineFlag(name, animNotify, state);
}

bool IsFlagSet(const qoEntity& entity, const char* name) {
    util_entityFlag* flags = LibraryFlagObject(entity, "qoUtil::IsFlagSet", 528);
    return flags && flags->IsFlagSet(name);
}

void SetFlag(const qoEntity& entity, const char* name, float delay) {
    if (util_entityFlag* flags = LibraryFlagObject(entity, "qoUtil::SetFlag", 546)) flags->SetFlag(name, delay);
}

void ClearFlag(const qoEntity& entity, const char* name, float delay) {
    if (util_entityFlag* flags = LibraryFlagObject(entity, "qoUtil::ClearFlag", 564))
        flags->ClearFlag(name, delay);
}

bool WaitForFlag(const qoEntity& entity, const char* name, float timeout) {
    util_entityFlag* flags = LibraryFlagObject(entity, "qoUtil::WaitForFlag", 600);
    return flags && flags->WaitForFlag(name, timeout);
}

bool WaitForSignal(const qoEntity& entity, const char* name, float timeout) {
    util_entityFlag* flags = LibraryFlagObject(entity, "qoUtil::WaitForSignal", 638);
    return flags && flags->WaitForSignal(name, timeout);
}

void CallFunction(const qoString& text) {
    if (text.IsEmpty()) return;
    const int dot = text.Find('.');
    qoEntity target;
    qoString function;
    if (dot >= 0) {
        target = qoEntity(text.Left(dot));
        function = text.Tail(dot + 1);
    } else {
        target = qoGetWorldEntity();
        function = text;
    }
    if (target.IsValid()) qoSys->CallScriptFunction(target.handle, function.c_str());
}

}  // namespace qoUtil
