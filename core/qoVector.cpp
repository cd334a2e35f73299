#include "core/qoVector.h"

#include <cmath>

#include "core/qoDiagnostics.h"

namespace {
constexpr float kColorScale = 1.0f / 256.0f;
}

float qoSqrt(float x) {
    if (!QO_ASSERT(x >= 0.0f)) return 0.0f;
    return std::sqrt(x);
}

float qoLength(const qoVector& v) { return qoSqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

qoVector qoNormalize(const qoVector& v) {
    const float length = qoLength(v);
    if (length == 0.0f) return v;
    return v * (1.0f / length);
}

qoColor qoColorFromInts(int r, int g, int b) { return qoColorFromInts(r, g, b, 256); }

qoColor qoColorFromInts(int r, int g, int b, int a) {
    return {static_cast<float>(r) * kColorScale, static_cast<float>(g) * kColorScale,
            static_cast<float>(b) * kColorScale, static_cast<float>(a) * kColorScale};
}
