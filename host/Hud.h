// What the player's screen shows in the reference host: text that scripts draw with the debug
// text operation (host slot 46) and a lifetime of 0 lasts one frame and stands for on-screen
// text such as a counter. The world keeps no screen of its own; the draws of each frame are
// compared with those of the frame before, and a change is recorded.
#pragma once

namespace qohost {

class World;

// Called at the start of every frame: when the distinct one-frame texts drawn in the frame
// before differ from those of the frame before that, records
//   screen: "29"            (the texts in the order first drawn, comma separated)
//   screen: cleared         (none any more)
void RecordScreenText(World& world);

}  // namespace qohost
