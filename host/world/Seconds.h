// Seconds given by levels and scripts as whole milliseconds of game time.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qohost {

// Beyond this many seconds (23 days of game time) a duration is held at the bound: every
// duration fits an int32 of milliseconds, and "now + duration" cannot overflow.
constexpr double kMaxDurationSeconds = 2.0e6;

// NaN gives 0; values past +-kMaxDurationSeconds (infinities included) are held there; the
// sign is kept, for the methods where a negative duration means "at the mover's speed".
inline int32_t ClampedMs(double seconds) {
    if (std::isnan(seconds)) return 0;
    const double held = std::clamp(seconds, -kMaxDurationSeconds, kMaxDurationSeconds);
    return static_cast<int32_t>(std::lround(held * 1000.0));
}

// A duration that cannot be negative: NaN and negative values give 0.
inline int32_t DurationMs(double seconds) { return seconds > 0.0 ? ClampedMs(seconds) : 0; }

}  // namespace qohost
