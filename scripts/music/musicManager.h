// Level music: four tension levels (off, low, medium, high), one looping track per level on an
// emitter of the manager's own, cross-faded on a decibel scale when the level changes.
//
//   musicManager        plays the tracks; "OnChangeMusicLevel" or the thread
//                       "&musicManager::ChangeState" change its level
//   musicModifier       on activation sets the level of the one manager it targets
//   musicManagerSwitch  on activation turns one manager off and another on
//
// Leaving off starts all three tracks at once, silent, on channel 26; from then on a change only
// moves gains, so the tracks stay in step. Returning to off fades the old track out and, when
// the fade time has passed with the level still off, stops all three.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

#define QO_ENUM_VALUES_musicTensionStates_t(X)                                              \
    X(MUSIC_TENSION_STATE_OFF, 0) X(MUSIC_TENSION_STATE_LOW, 1) X(MUSIC_TENSION_STATE_MEDIUM, 2) \
    X(MUSIC_TENSION_STATE_HIGH, 3) X(MUSIC_TENSION_STATE_COUNT, 4)
QO_FILE_ENUM(musicTensionStates_t, 0, QO_ENUM_VALUES_musicTensionStates_t)

// A cross-fade between two levels: the sound played during it and its length.
struct tensionTransition_t {
    QO_FILE_STRUCT(tensionTransition_t)
    QO_PROPERTIES(QO_PROPERTY(transitionMusic, "Sound decl to play during the transition"),
                  QO_PROPERTY(fadeTime, "Duration of the music crossfade"))

public:
    const kvSoundShader* transitionMusic = nullptr;
    float fadeTime = 0.0f;  // seconds
    uint32_t pad0 = 0;
};

class musicManager : public kvQuorinObject {
    QO_SCRIPT_CLASS(musicManager, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(lowTensionMusic, "Low tension level music decl"),
                  QO_PROPERTY(medTensionMusic), QO_PROPERTY(highTensionMusic),
                  QO_PROPERTY(transOffToLow), QO_PROPERTY(transOffToMedium),
                  QO_PROPERTY(transOffToHigh), QO_PROPERTY(transLowToMedium),
                  QO_PROPERTY(transLowToHigh), QO_PROPERTY(transMediumToHigh),
                  QO_PROPERTY(transHighToMedium), QO_PROPERTY(transHighToLow),
                  QO_PROPERTY(transHighToOff), QO_PROPERTY(transMediumToLow),
                  QO_PROPERTY(transMediumToOff), QO_PROPERTY(transLowToOff))
    QO_DECLS(QO_DECL(lowTensionMusic, ""), QO_DECL(medTensionMusic, ""),
             QO_DECL(highTensionMusic, ""), QO_DECL(infoNull, "info/null"))
    QO_EDITOR("string { string = 'Music Manager'; color = green; offset = ( 20 0 0 ); showAlways = true; }")
    QO_EVENTS("OnChangeMusicLevel")

public:
    static constexpr int32_t kMusicChannel = 26;
    static constexpr float kSilentDb = -59.0f;

    void Init() override;
    void OnChangeMusicLevel(int32_t level) override;

    // Changes the level on the calling thread: starts the fades (threads of their own), the
    // transition sound, and when the new level is off waits the fade time and stops the tracks.
    // `override`'s transitionMusic (when set) and fadeTime (when >= 0) replace the transition's.
    void ChangeMusicLevel(int32_t newLevel, const tensionTransition_t& override);

    // Threads.
    void ChangeState(int32_t newLevel, tensionTransition_t override);
    void FadeInLogScale(qoEntity emitter, float fadeTime, int32_t decibelFlag);
    void FadeOutLogScale(qoEntity emitter, float fadeTime, int32_t decibelFlag);
    void DebugUpdate();

    // The transition between two levels; a level outside off..high gives transLowToOff.
    const tensionTransition_t& Transition(int32_t from, int32_t to) const;
    // The emitter that plays a level's track; the null entity for off and for a level outside
    // low..high.
    qoEntity EmitterOf(int32_t level) const;

    const kvSoundShader* lowTensionMusic = nullptr;
    const kvSoundShader* medTensionMusic = nullptr;
    const kvSoundShader* highTensionMusic = nullptr;
    tensionTransition_t transOffToLow;
    tensionTransition_t transOffToMedium;
    tensionTransition_t transOffToHigh;
    tensionTransition_t transLowToMedium;
    tensionTransition_t transLowToHigh;
    tensionTransition_t transMediumToHigh;
    tensionTransition_t transHighToMedium;
    tensionTransition_t transHighToLow;
    tensionTransition_t transHighToOff;
    tensionTransition_t transMediumToLow;
    tensionTransition_t transMediumToOff;
    tensionTransition_t transLowToOff;
    int32_t currentLevel = MUSIC_TENSION_STATE_OFF;
    uint32_t pad1 = 0;
    const kvDeclEntityDef* infoNull = nullptr;
    qoEntity lowEmitter;
    qoEntity mediumEmitter;
    qoEntity highEmitter;
    qoEntity transitionEmitter;
};

// Sets the level of the one manager its entity targets.
class musicModifier : public kvQuorinObject {
    QO_SCRIPT_CLASS(musicModifier, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(newState), QO_PROPERTY(fadeTime, "Override transition time"),
                  QO_PROPERTY(transitionMusic, "Override transition decl"))
    QO_DECLS(QO_DECL(transitionMusic, ""))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    musicTensionStates_t newState = MUSIC_TENSION_STATE_OFF;
    float fadeTime = -1.0f;  // seconds; below 0 the transition's own
    const kvSoundShader* transitionMusic = nullptr;
    qoEntity manager;
};

// Turns one manager off and another to newState, with the same fade.
class musicManagerSwitch : public kvQuorinObject {
    QO_SCRIPT_CLASS(musicManagerSwitch, kvQuorinObject)
    QO_COMMENT("Transition from one manager to another")
    QO_PROPERTIES(QO_PROPERTY(old_manager, "Manager that needs to be turned off"),
                  QO_PROPERTY(new_manager, "Manager that needs to be turned on"),
                  QO_PROPERTY(newState), QO_PROPERTY(fadeTime, "Total xfade time"),
                  QO_PROPERTY(transitionMusic))
    QO_DECLS(QO_DECL(transitionMusic, "sound/_silence.wav"))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    qoEntity old_manager;
    qoEntity new_manager;
    musicTensionStates_t newState = MUSIC_TENSION_STATE_OFF;
    float fadeTime = 3.0f;  // seconds
    const kvSoundShader* transitionMusic = nullptr;
};

static_assert(sizeof(tensionTransition_t) == 16);
static_assert(offsetof(tensionTransition_t, fadeTime) == 8);
static_assert(offsetof(musicManager, lowTensionMusic) == 16);
static_assert(offsetof(musicManager, transOffToLow) == 40);
static_assert(offsetof(musicManager, transLowToOff) == 216);
static_assert(offsetof(musicManager, currentLevel) == 232);
static_assert(offsetof(musicManager, infoNull) == 240);
static_assert(offsetof(musicManager, lowEmitter) == 248);
static_assert(offsetof(musicManager, transitionEmitter) == 260);
static_assert(offsetof(musicModifier, newState) == 16);
static_assert(offsetof(musicModifier, fadeTime) == 20);
static_assert(offsetof(musicModifier, transitionMusic) == 24);
static_assert(offsetof(musicModifier, manager) == 32);
static_assert(offsetof(musicManagerSwitch, old_manager) == 16);
static_assert(offsetof(musicManagerSwitch, new_manager) == 20);
static_assert(offsetof(musicManagerSwitch, newState) == 24);
static_assert(offsetof(musicManagerSwitch, fadeTime) == 28);
static_assert(offsetof(musicManagerSwitch, transitionMusic) == 32);
