// Vector arithmetic of the simulated world: sums, scaling, lengths, interpolation and the
// directions of a yaw. Angles are (pitch, yaw, roll) in degrees.
#pragma once

#include <cmath>

#include "quorin/qoTypes.h"

namespace qohost {

inline qoVector Add(const qoVector& a, const qoVector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline qoVector Sub(const qoVector& a, const qoVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline qoVector Scale(const qoVector& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(const qoVector& a, const qoVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Length(const qoVector& a) { return std::sqrt(Dot(a, a)); }
inline float Distance(const qoVector& a, const qoVector& b) { return Length(Sub(a, b)); }
inline qoVector Lerp(const qoVector& a, const qoVector& b, float t) {
    return Add(a, Scale(Sub(b, a), t));
}
inline float Radians(float degrees) { return degrees * 3.14159265358979f / 180.0f; }

// Unit vectors of the yaw (angles.y): forward, and left in the horizontal plane.
inline qoVector Forward(const qoVector& angles) {
    return {std::cos(Radians(angles.y)), std::sin(Radians(angles.y)), 0.0f};
}
inline qoVector Left(const qoVector& angles) {
    return {-std::sin(Radians(angles.y)), std::cos(Radians(angles.y)), 0.0f};
}

// An angle in degrees brought into -180 .. 180.
inline float NormalizeDegrees180(float a) {
    a = std::fmod(a, 360.0f);
    if (a > 180.0f) a -= 360.0f;
    if (a < -180.0f) a += 360.0f;
    return a;
}

}  // namespace qohost
