#include "host/sim/hud/Hud.h"

#include <algorithm>
#include <utility>

#include "host/world/World.h"

namespace qohost {

void Screen::Note(uint64_t frame, std::string_view text) {
    if (frame != drawing_.frame) {
        finished_ = std::move(drawing_);
        drawing_ = {frame, {}};
    }
    std::vector<std::string>& texts = drawing_.texts;
    if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.emplace_back(text);
}

void Screen::Advance(World& world) {
    const uint64_t frame = world.Frame();
    if (frame < 1) return;
    static const std::vector<std::string> kNone;
    const std::vector<std::string>& now = drawing_.frame == frame - 1    ? drawing_.texts
                                          : finished_.frame == frame - 1 ? finished_.texts
                                                                         : kNone;
    if (now == shown_) return;
    shown_ = now;
    if (!world.Wants(RecordKind::Screen)) return;
    std::string line = "screen: ";
    if (shown_.empty()) line += "cleared";
    for (size_t i = 0; i < shown_.size(); ++i) line += (i ? ", \"" : "\"") + shown_[i] + "\"";
    world.Record(RecordKind::Screen, line);
}

}  // namespace qohost
