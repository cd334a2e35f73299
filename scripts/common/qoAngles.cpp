#include "scripts/common/qoAngles.h"

#include <cmath>

namespace {
constexpr float kDegreesPerRadian = 57.29747f;
constexpr float kRadiansPerDegree = 3.14159265358979f / 180.0f;
constexpr float kTinyHorizontal = 1.1754944e-38f;
}  // namespace

qoVector qoFacingAngles(const qoVector& d) {
    const float horizontal = d.x * d.x + d.y * d.y;
    float yaw = 0.0f;
    float pitch = 0.0f;
    if (horizontal <= kTinyHorizontal) {
        pitch = d.z < 0.0f ? 90.0f : 270.0f;
    } else {
        yaw = std::atan2(d.y, d.x) * kDegreesPerRadian;
        if (yaw < 0.0f) yaw += 360.0f;
        pitch = -std::atan2(d.z, std::sqrt(horizontal)) * kDegreesPerRadian;
        if (pitch < 0.0f) pitch += 360.0f;
    }
    return {pitch, yaw, 0.0f};
}

qoAxis qoAnglesToAxis(const qoVector& angles) {
    const float sp = std::sin(angles.x * kRadiansPerDegree), cp = std::cos(angles.x * kRadiansPerDegree);
    const float sy = std::sin(angles.y * kRadiansPerDegree), cy = std::cos(angles.y * kRadiansPerDegree);
    const float sr = std::sin(angles.z * kRadiansPerDegree), cr = std::cos(angles.z * kRadiansPerDegree);
    qoAxis axis;
    axis.forward = {cp * cy, cp * sy, -sp};
    axis.right = {-sr * sp * cy + cr * sy, -sr * sp * sy - cr * cy, -sr * cp};
    axis.up = {cr * sp * cy + sr * sy, cr * sp * sy - sr * cy, cr * cp};
    return axis;
}
