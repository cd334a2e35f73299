// Sound in the reference host: channels per entity, each with the sound shader that plays on it
// and its volume in decibels over time.
//
//   StartSoundShader(shader, channel)  the shader plays on the channel at 0 dB, replacing what
//                                      played there
//   FadeSound(channel, dB, seconds)    the volume goes from where it is to dB, in a straight
//                                      line in decibels over the seconds (at once for 0 or
//                                      less); a sound started later begins at 0 dB again
//   StopSound(channel)                 the channel falls silent
//
// Every change of a channel is a record of kind Sound ("<entity> ch<N> ..."), made in one place
// (RecordSound in host/sim/sound/Sound.cpp) with the channel's volume at that moment, so that a test and
// the trace (a counter track per entity and channel, host/records/TraceSink.h) can follow a cross-fade.
// While a fade with a duration runs, the entity is on the world's list of fading sounds
// (World::SoundFades) and the per-frame pass (AdvanceSounds) records the volume every frame
// until the fade has reached its end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qohost {

class World;
struct Entity;

struct SoundChannel {
    std::string shader;  // empty while silent
    float fromDb = 0.0f;
    float toDb = 0.0f;
    int64_t startMs = 0;     // game time the fade began
    int32_t durationMs = 0;  // 0: the volume is toDb
};

// The volume the trace shows for a channel that fell silent.
constexpr float kSilenceDb = -100.0f;

// The detail of a Sound record.
struct SoundChange {
    enum class Kind : uint8_t {
        Play,    // "plays <shader> at 0.00 dB"
        Set,     // "at <dB> dB": a fade of no duration
        Fade,    // "fades to <toDb> dB over <ms> ms", from `db`
        Volume,  // "<dB> dB": the volume during a fade, once a frame
        Stop,    // "stopped"
    };
    Kind kind = Kind::Set;
    const Entity* entity = nullptr;
    int32_t channel = 0;
    std::string_view shader;  // Play
    float db = 0.0f;          // the volume now (kSilenceDb once stopped)
    float toDb = 0.0f;        // Fade
    int32_t durationMs = 0;   // Fade
};

void StartSound(World& world, Entity& e, int32_t channel, const std::string& shader);
void StopSound(World& world, Entity& e, int32_t channel);
void FadeSound(World& world, Entity& e, int32_t channel, float db, float seconds);
// The per-frame pass over the entities with a fade under way: records their volumes and drops
// those whose fades have all ended.
void AdvanceSounds(World& world, std::vector<uint32_t>& fading);

// The channel's sound shader, "" when silent.
std::string SoundOn(const Entity& e, int32_t channel);
// The channel's volume in decibels at the world's game time (0 for a channel never set).
float SoundVolumeDb(const World& world, const Entity& e, int32_t channel);

}  // namespace qohost
