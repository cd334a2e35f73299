#include "scripts/music/musicManager.h"

#include <cmath>

#include "hostcalls/qoObjectRef.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"

namespace {

// The lowest gain of a fade: -59 dB with decibels as 20 log10 (flag 1), else 10^-5.9.
double FloorGain(int32_t decibelFlag) { return decibelFlag == 1 ? std::pow(10.0, -2.95) : std::pow(10.0, -5.9); }

float Decibels(double gain, int32_t decibelFlag) {
    return static_cast<float>((decibelFlag == 1 ? 20.0 : 10.0) * std::log10(gain));
}

// Gain gained or lost in one frame of a fade lasting `fadeTime` seconds. A fade time of 0 or
// below (or NaN) takes the whole range in one frame, so that such a fade ends.
double FadeStep(float fadeTime) {
    if (!(fadeTime > 0.0f)) return INFINITY;
    return static_cast<double>(qoSys->FrameTimeMs()) * 0.001 / static_cast<double>(fadeTime);
}

void Print(const qoString& text) { qoSys->Printf("%s\n", text.c_str()); }

// Starts "&musicManager::ChangeState" on the manager of an entity, bound without creating one.
void StartChangeState(const qoEntity& managerEntity, int32_t level, const tensionTransition_t& override) {
    qoObject<musicManager> manager;
    manager.Bind(managerEntity, 0);
    qoStartThreadOnTarget<&musicManager::ChangeState>(manager.Resolve(), "ChangeState", level, override);
}

tensionTransition_t Override(const kvSoundShader* music, float fadeTime) {
    tensionTransition_t t;
    t.transitionMusic = music;
    t.fadeTime = fadeTime;
    return t;
}

}  // namespace

// ---- musicManager -----------------------------------------------------------------------------

void musicManager::Init() {
    qoEntity* emitters[] = {&lowEmitter, &mediumEmitter, &highEmitter, &transitionEmitter};
    for (qoEntity* e : emitters) *e = qoEntity(qoSys->SpawnEntityFromDef(infoNull));
    if (cvar_qo_musicTestManager.Get() != 0) QO_THREAD(DebugUpdate);
}

void musicManager::DebugUpdate() {}

void musicManager::OnChangeMusicLevel(int32_t level) {
    const tensionTransition_t none = Override(nullptr, -1.0f);
    // The change waits out a fade to off before it stops the tracks, which needs a thread: an
    // event that arrives outside any script thread gets one.
    if (qoCurrentThreadId() == 0) {
        QO_THREAD(ChangeState, level, none);
        return;
    }
    ChangeMusicLevel(level, none);
}

void musicManager::ChangeState(int32_t newLevel, tensionTransition_t override) {
    ChangeMusicLevel(newLevel, override);
}

const tensionTransition_t& musicManager::Transition(int32_t from, int32_t to) const {
    const tensionTransition_t* table[4][4] = {
        {nullptr, &transOffToLow, &transOffToMedium, &transOffToHigh},
        {&transLowToOff, nullptr, &transLowToMedium, &transLowToHigh},
        {&transMediumToOff, &transMediumToLow, nullptr, &transMediumToHigh},
        {&transHighToOff, &transHighToLow, &transHighToMedium, nullptr},
    };
    const bool inRange = from >= 0 && from < 4 && to >= 0 && to < 4;
    const tensionTransition_t* t = inRange ? table[from][to] : nullptr;
    return t ? *t : transLowToOff;
}

qoEntity musicManager::EmitterOf(int32_t level) const {
    switch (level) {
        case MUSIC_TENSION_STATE_LOW: return lowEmitter;
        case MUSIC_TENSION_STATE_MEDIUM: return mediumEmitter;
        case MUSIC_TENSION_STATE_HIGH: return highEmitter;
        default: return qoEntity();  // off, and any level outside the table
    }
}

void musicManager::ChangeMusicLevel(int32_t newLevel, const tensionTransition_t& override) {
    Print("Music Manager: Changing to new state, " + qoString::FromInt(newLevel));
    if (newLevel == currentLevel) {
        Print("Music Manager: Requested same level, bailing request.");
        return;
    }
    const tensionTransition_t& transition = Transition(currentLevel, newLevel);

    if (currentLevel == MUSIC_TENSION_STATE_OFF) {
        const struct {
            const kvSoundShader* track;
            qoEntity emitter;
        } tracks[] = {{lowTensionMusic, lowEmitter}, {medTensionMusic, mediumEmitter}, {highTensionMusic, highEmitter}};
        for (const auto& t : tracks) {
            if (!t.track) continue;
            t.emitter.StartSoundShader(t.track, kMusicChannel);
            t.emitter.FadeSound(kMusicChannel, kSilentDb, 0.0f);
        }
    }

    const qoEntity outgoing = EmitterOf(currentLevel);
    const qoEntity incoming = EmitterOf(newLevel);
    const float fadeTime = override.fadeTime >= 0.0f ? override.fadeTime : transition.fadeTime;
    const kvSoundShader* sound = override.transitionMusic ? override.transitionMusic : transition.transitionMusic;

    if (incoming.IsValid()) QO_THREAD(FadeInLogScale, incoming, fadeTime, 1);
    if (outgoing.IsValid()) QO_THREAD(FadeOutLogScale, outgoing, fadeTime, 1);
    if (sound) transitionEmitter.StartSoundShader(sound, 0);
    currentLevel = newLevel;

    if (newLevel != MUSIC_TENSION_STATE_OFF) return;
    qoWait(fadeTime);
    if (currentLevel != MUSIC_TENSION_STATE_OFF) return;
    for (const qoEntity& e : {lowEmitter, mediumEmitter, highEmitter}) e.StopSound(kMusicChannel);
}

void musicManager::FadeInLogScale(qoEntity emitter, float fadeTime, int32_t decibelFlag) {
    const double step = FadeStep(fadeTime);
    double gain = FloorGain(decibelFlag);
    for (bool last = false; !last;) {
        gain += step;
        if (!(gain <= 1.0)) {
            gain = 1.0;
            last = true;
        }
        emitter.FadeSound(kMusicChannel, Decibels(gain, decibelFlag), 0.0f);
        qoWaitFrame();
    }
}

void musicManager::FadeOutLogScale(qoEntity emitter, float fadeTime, int32_t decibelFlag) {
    const double step = FadeStep(fadeTime);
    const double floor = FloorGain(decibelFlag);
    double gain = 1.0;
    for (bool last = false; !last;) {
        gain -= step;
        if (!(gain >= floor)) {
            gain = floor;
            last = true;
        }
        emitter.FadeSound(kMusicChannel, Decibels(gain, decibelFlag), 0.0f);
        qoWaitFrame();
    }
}

// ---- musicModifier ----------------------------------------------------------------------------

void musicModifier::Init() {
    qoEntity found;
    int32_t count = 0;
    const int32_t n = entity.NumTargets();
    for (int32_t i = 0; i < n; ++i) {
        const qoEntity target = entity.GetTarget(i);
        if (target.handle == 0 || !target.IsValid()) continue;
        found = target;
        ++count;
    }
    if (count == 1)
        manager = found;
    else if (count > 1)
        qoDebugPrint("^1", "musicModifier::Init", 355, "musicModifier: modifier has more than one target");
    else
        qoDebugPrint("^1", "musicModifier::Init", 360, "musicModifier: modifier has no target");
}

void musicModifier::OnActivate(const qoEntity&) {
    StartChangeState(manager, newState, Override(transitionMusic, fadeTime));
}

// ---- musicManagerSwitch -----------------------------------------------------------------------

void musicManagerSwitch::Init() {
    if (!old_manager.IsValid())
        qoDebugPrint("^1", "musicManagerSwitch::Init", 403, "musicModifier: old_manager is not valid");
    else if (!new_manager.IsValid())
        qoDebugPrint("^1", "musicManagerSwitch::Init", 408, "musicModifier: new_manager is not valid");
}

void musicManagerSwitch::OnActivate(const qoEntity&) {
    const tensionTransition_t override = Override(transitionMusic, fadeTime);
    StartChangeState(old_manager, MUSIC_TENSION_STATE_OFF, override);
    StartChangeState(new_manager, newState, override);
}
