#include "host/Hud.h"

#include <algorithm>
#include <string>
#include <vector>

#include "host/World.h"

namespace qohost {

namespace {

// The distinct one-frame texts of a frame, in the order first drawn. Draws are kept in frame
// order, so the walk starts from the newest and stops before older frames.
std::vector<std::string> ScreenTexts(const std::vector<DebugDraw>& draws, uint64_t frame) {
    std::vector<std::string> texts;
    for (auto it = draws.rbegin(); it != draws.rend() && it->frame >= frame; ++it) {
        if (it->frame != frame || it->shape != "text" || it->lifetime != 0.0f) continue;
        const auto found = std::find(texts.begin(), texts.end(), it->text);
        if (found != texts.end()) texts.erase(found);
        texts.insert(texts.begin(), it->text);
    }
    return texts;
}

}  // namespace

void RecordScreenText(World& world) {
    const uint64_t frame = world.Frame();
    if (frame < 1) return;
    const std::vector<std::string> now = ScreenTexts(world.draws, frame - 1);
    const std::vector<std::string> before =
        frame >= 2 ? ScreenTexts(world.draws, frame - 2) : std::vector<std::string>{};
    if (now == before) return;
    std::string line = "screen: ";
    if (now.empty()) line += "cleared";
    for (size_t i = 0; i < now.size(); ++i) line += (i ? ", \"" : "\"") + now[i] + "\"";
    world.Record("event", line);
}

}  // namespace qohost
