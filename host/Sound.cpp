#include "host/Sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/World.h"

namespace qohost {

namespace {

float VolumeAt(const SoundChannel& s, int64_t nowMs) {
    if (s.durationMs <= 0) return s.toDb;
    const double t = std::clamp(double(nowMs - s.startMs) / double(s.durationMs), 0.0, 1.0);
    return static_cast<float>(s.fromDb + (s.toDb - s.fromDb) * t);
}

std::string Db(float db) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", db);
    return text;
}

// The one place sound changes are recorded.
void RecordSound(World& world, const Entity& e, int32_t channel, const std::string& what) {
    world.Record("sound", e.name + " ch" + std::to_string(channel) + " " + what);
}

}  // namespace

void StartSound(World& world, Entity& e, int32_t channel, const std::string& shader) {
    SoundChannel& s = e.methods.sounds[channel];
    s = SoundChannel{};
    s.shader = shader;
    RecordSound(world, e, channel, "plays " + shader + " at " + Db(0.0f));
}

void StopSound(World& world, Entity& e, int32_t channel) {
    auto it = e.methods.sounds.find(channel);
    if (it == e.methods.sounds.end() || it->second.shader.empty()) return;
    it->second.shader.clear();
    RecordSound(world, e, channel, "stopped");
}

void FadeSound(World& world, Entity& e, int32_t channel, float db, float seconds) {
    SoundChannel& s = e.methods.sounds[channel];
    const int64_t now = world.GameTime();
    s.fromDb = VolumeAt(s, now);
    s.toDb = std::isnan(db) ? s.fromDb : db;
    s.startMs = now;
    s.durationMs = seconds > 0.0f ? static_cast<int32_t>(std::lround(std::min(seconds, 1.0e6f) * 1000.0f)) : 0;
    RecordSound(world, e, channel,
                s.durationMs > 0 ? "fades to " + Db(s.toDb) + " over " + std::to_string(s.durationMs) + " ms"
                                 : "at " + Db(s.toDb));
}

std::string SoundOn(const Entity& e, int32_t channel) {
    auto it = e.methods.sounds.find(channel);
    return it == e.methods.sounds.end() ? std::string() : it->second.shader;
}

float SoundVolumeDb(const World& world, const Entity& e, int32_t channel) {
    auto it = e.methods.sounds.find(channel);
    return it == e.methods.sounds.end() ? 0.0f : VolumeAt(it->second, world.GameTime());
}

}  // namespace qohost
