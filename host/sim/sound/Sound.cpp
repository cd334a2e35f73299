#include "host/sim/sound/Sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/world/Seconds.h"
#include "host/world/World.h"

namespace qohost {

namespace {

float VolumeAt(const SoundChannel& s, int64_t nowMs) {
    if (s.durationMs <= 0) return s.toDb;
    const double t = std::clamp(double(nowMs - s.startMs) / double(s.durationMs), 0.0, 1.0);
    return static_cast<float>(s.fromDb + (s.toDb - s.fromDb) * t);
}

bool FadeOver(const SoundChannel& s, int64_t nowMs) {
    return s.durationMs <= 0 || nowMs - s.startMs >= s.durationMs;
}

std::string Db(float db) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", db);
    return text;
}

std::string SoundText(const Record& r) {
    const SoundChange& c = *static_cast<const SoundChange*>(r.detail);
    std::string text = c.entity->name + " ch" + std::to_string(c.channel) + " ";
    switch (c.kind) {
        case SoundChange::Kind::Play: return text + "plays " + std::string(c.shader) + " at " + Db(c.db);
        case SoundChange::Kind::Set: return text + "at " + Db(c.db);
        case SoundChange::Kind::Fade:
            return text + "fades to " + Db(c.toDb) + " over " + std::to_string(c.durationMs) + " ms";
        case SoundChange::Kind::Volume: return text + Db(c.db);
        case SoundChange::Kind::Stop: return text + "stopped";
    }
    return text;
}

// The one place sound changes are recorded.
void RecordSound(World& world, const SoundChange& change) {
    if (!world.Wants(RecordKind::Sound)) return;
    Record r;
    r.kind = RecordKind::Sound;
    r.entity = change.entity->handle;
    r.number = change.channel;
    r.detail = &change;
    r.format = [](const Record& record, std::string& out) { out += SoundText(record); };
    world.Emit(r);
}

}  // namespace

void StartSound(World& world, Entity& e, int32_t channel, const std::string& shader) {
    SoundChannel& s = e.methods->sounds[channel];
    s = SoundChannel{};
    s.shader = shader;
    RecordSound(world, {SoundChange::Kind::Play, &e, channel, s.shader, 0.0f});
}

void StopSound(World& world, Entity& e, int32_t channel) {
    auto it = e.methods->sounds.find(channel);
    if (it == e.methods->sounds.end() || it->second.shader.empty()) return;
    it->second.shader.clear();
    RecordSound(world, {SoundChange::Kind::Stop, &e, channel, {}, kSilenceDb});
}

void FadeSound(World& world, Entity& e, int32_t channel, float db, float seconds) {
    SoundChannel& s = e.methods->sounds[channel];
    const int64_t now = world.GameTime();
    s.fromDb = VolumeAt(s, now);
    s.toDb = std::isnan(db) ? s.fromDb : db;
    s.startMs = now;
    s.durationMs = DurationMs(seconds);
    if (s.durationMs <= 0) {
        RecordSound(world, {SoundChange::Kind::Set, &e, channel, {}, s.toDb});
        return;
    }
    RecordSound(world, {SoundChange::Kind::Fade, &e, channel, {}, s.fromDb, s.toDb, s.durationMs});
    if (!e.soundFading) {
        e.soundFading = true;
        world.SoundFades().push_back(e.handle);
    }
}

void AdvanceSounds(World& world, std::vector<uint32_t>& fading) {
    const int64_t now = world.GameTime();
    world.AdvanceList(fading, [&](Entity& e) {
        bool still = false;
        for (auto& [channel, s] : e.methods->sounds) {
            if (s.durationMs <= 0) continue;
            const bool over = FadeOver(s, now);
            RecordSound(world, {SoundChange::Kind::Volume, &e, channel, {}, VolumeAt(s, now)});
            if (over) {
                s.fromDb = s.toDb;
                s.durationMs = 0;
            } else {
                still = true;
            }
        }
        return e.soundFading = still;
    });
}

std::string SoundOn(const Entity& e, int32_t channel) {
    auto it = e.methods->sounds.find(channel);
    return it == e.methods->sounds.end() ? std::string() : it->second.shader;
}

float SoundVolumeDb(const World& world, const Entity& e, int32_t channel) {
    auto it = e.methods->sounds.find(channel);
    return it == e.methods->sounds.end() ? 0.0f : VolumeAt(it->second, world.GameTime());
}

}  // namespace qohost
