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
// Every change of a channel is recorded (kind "sound": "<entity> ch<N> ..."), in one place
// (RecordSound in host/Sound.cpp), so that a test can follow a cross-fade.
#pragma once

#include <cstdint>
#include <string>

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

void StartSound(World& world, Entity& e, int32_t channel, const std::string& shader);
void StopSound(World& world, Entity& e, int32_t channel);
void FadeSound(World& world, Entity& e, int32_t channel, float db, float seconds);

// The channel's sound shader, "" when silent.
std::string SoundOn(const Entity& e, int32_t channel);
// The channel's volume in decibels at the world's game time (0 for a channel never set).
float SoundVolumeDb(const World& world, const Entity& e, int32_t channel);

}  // namespace qohost
