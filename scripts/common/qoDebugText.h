// Debug text blocks of the designer utilities: rows of "label value" drawn through the host's
// debug text operation (host slot 46) at a given height over a point.
#pragma once

#include "core/qoString.h"
#include "core/qoSystem.h"
#include "quorin/qoTypes.h"

inline constexpr qoVector qoDebugGrey = {0.75f, 0.75f, 0.75f};
inline constexpr qoVector qoDebugOrange = {1.0f, 0.5f, 0.0f};
inline constexpr float qoDebugTextScale = 0.3f;
inline constexpr int qoDebugTextAlignment = 1;  // centred

struct qoDebugTextLine {
    const char* label;
    qoString value;
    float height;  // above the block's base point
    qoVector rgb;
};

// One frame in seconds, the lifetime of text redrawn every frame.
inline float qoFrameSeconds() { return static_cast<float>(qoSys->FrameTimeMs()) * 0.001f; }

inline qoString qoBoolText(bool value) { return qoString(value ? "true" : "false"); }

// Draws label + value at the position, in the line's colour, scale 0.3, centred.
inline void qoDrawDebugLine(const qoDebugTextLine& line, const qoVector& position, float lifetime) {
    qoString text(line.label);
    text += line.value;
    qoSys->DebugText(text.c_str(), &line.rgb, &position, qoDebugTextScale, qoDebugTextAlignment,
                     true, true, lifetime);
}
