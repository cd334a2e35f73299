// Float to integer conversions that are defined for every value a designer, a save or the host
// can hand a script: the value truncated toward zero, NaN as 0, and what lies beyond the target
// type's range (infinities included) at its nearest end. A plain cast of such a value is
// undefined behaviour.
#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

template <class Int, class Float>
constexpr Int qoFloatToInt(Float value) {
    static_assert(std::is_integral_v<Int> && std::is_floating_point_v<Float>);
    constexpr Int kMin = std::numeric_limits<Int>::min();
    constexpr Int kMax = std::numeric_limits<Int>::max();
    if (value != value) return 0;
    // The float nearest kMax may lie above it (2^31 for int32_t): everything from there up stops
    // at kMax. kMin is 0 or a power of two, which every float type holds exactly.
    if (value >= static_cast<Float>(kMax)) return kMax;
    if (value <= static_cast<Float>(kMin)) return kMin;
    return static_cast<Int>(value);
}

// Whole milliseconds of a time in seconds, as the host's millisecond arguments take it.
constexpr int32_t qoSecondsToMs(float seconds) { return qoFloatToInt<int32_t>(seconds * 1000.0f); }
