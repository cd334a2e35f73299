// What the player's screen shows in the reference host: text that scripts draw with the debug
// text operation (host slot 46) and a lifetime of 0 lasts one frame and stands for on-screen
// text such as a counter. The world notes each such text as it is drawn (World::DebugText,
// whether or not draws are recorded); at the start of every frame the texts of the frame
// before are compared with what the screen showed until then, and a change is recorded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qohost {

class World;

class Screen {
public:
    // A one-frame text drawn in `frame` (the world's current frame).
    void Note(uint64_t frame, std::string_view text);
    // Called at the start of every frame: when the distinct one-frame texts of the frame
    // before differ from what the screen showed, records (kind Screen)
    //   screen: "29"            (the texts in the order first drawn, comma separated)
    //   screen: cleared         (none any more)
    void Advance(World& world);
    // The texts the screen shows since the last Advance.
    const std::vector<std::string>& Shown() const { return shown_; }

private:
    // The distinct texts of the frame being drawn and of the one before it, in the order
    // first drawn; a frame without any leaves no list.
    struct FrameTexts {
        uint64_t frame = 0;
        std::vector<std::string> texts;
    };
    FrameTexts drawing_, finished_;
    std::vector<std::string> shown_;
};

}  // namespace qohost
