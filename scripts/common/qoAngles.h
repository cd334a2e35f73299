// Angles (pitch, yaw, roll in degrees) and directions for the utilities that aim entities.
#pragma once

#include "quorin/qoTypes.h"

// The angles that face along the direction, by the rule of the drag and look-at tools (their
// own degree factor 57.29747, both angles in [0, 360)): roll 0; yaw = atan2(y, x) and pitch = -atan2(z,
// horizontal length), in degrees and raised by 360 when negative. Straight up or down (no
// horizontal part) gives yaw 0 and pitch 270 (up) or 90 (down).
qoVector qoFacingAngles(const qoVector& direction);

// The axis vectors of angles: forward, right and up.
struct qoAxis {
    qoVector forward, right, up;
};
qoAxis qoAnglesToAxis(const qoVector& angles);
