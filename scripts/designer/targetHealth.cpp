#include "scripts/designer/targetHealth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/qoVector.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/common/qoDebugText.h"

namespace {

constexpr float kCounterDistance = 200.0f;  // the count floats this far in front of the view
// The count is drawn at every combination of these offsets (right, up), which thickens it.
constexpr float kGlyphOffsets[] = {-1.5f, -1.0f, -0.5f, 0.0f, 0.5f, 1.0f};

float NowSeconds() { return static_cast<float>(qoSys->GameTimeMs()) * 0.001f; }

// Forward and right vectors of view angles (pitch, yaw in degrees; roll ignored).
qoVector ViewForward(const qoVector& angles) {
    const float pitch = angles.x * 0.017453292f;
    const float yaw = angles.y * 0.017453292f;
    return {std::cos(pitch) * std::cos(yaw), std::cos(pitch) * std::sin(yaw), -std::sin(pitch)};
}
qoVector ViewRight(const qoVector& angles) {
    const float yaw = angles.y * 0.017453292f;
    return {std::sin(yaw), -std::cos(yaw), 0.0f};
}

float Mix(float a, float b, float t) { return (1.0f - t) * a + t * b; }

}  // namespace

// ---- targetSetHealth -----------------------------------------------------------------------

void targetSetHealth::OnActivate(const qoEntity&) { triggered = true; }

void targetSetHealth::Init() {
    const qoEntity player = qoGetPlayer1();
    for (;;) {
        while (!triggered) {
            if (debugText) {
                const qoVector origin = entity.GetWorldOrigin();
                const qoDebugTextLine lines[] = {
                    {"qoObject: targetSetHealth", qoString(), 20.0f, qoDebugGrey},
                    {"newHealth: ", qoString::FromFloat(newHealth, 3), 4.0f, qoDebugOrange},
                    {"pHealth: ", qoString::FromFloat(player.GetPlayerHealth(), 3), -12.0f, qoDebugOrange},
                    {"pShield: ", qoString::FromFloat(player.GetPlayerShields(), 3), -20.0f, qoDebugOrange},
                };
                for (const qoDebugTextLine& line : lines)
                    qoDrawDebugLine(line, origin + qoVector{0.0f, 0.0f, line.height}, qoFrameSeconds());
            }
            qoWaitFrame();
        }
        const float health = player.GetPlayerHealth();
        const float shields = player.GetPlayerShields();
        player.DecreaseHealth(health + shields - newHealth);
        triggered = false;
        if (!repeat) return;
    }
}

// ---- targetVisualCounter -------------------------------------------------------------------

void targetVisualCounter::OnActivate(const qoEntity&) { triggered = true; }

void targetVisualCounter::DrawCount(const qoEntity& player, int32_t count, float t) const {
    const qoVector angles = player.GetViewAngles(false);
    const qoVector base = player.GetWorldOrigin() + ViewForward(angles) * kCounterDistance +
                          qoVector{0.0f, 0.0f, yPos + t * yOffset};
    const qoVector right = ViewRight(angles);
    const qoVector rgb{Mix(color0.r, color1.r, t), Mix(color0.g, color1.g, t), Mix(color0.b, color1.b, t)};
    const float scale = Mix(scale0, scale1, t);
    const qoString text = qoString::FromInt(count);
    for (float gx : kGlyphOffsets) {
        for (float gy : kGlyphOffsets) {
            const qoVector at = base + right * gx + qoVector{0.0f, 0.0f, gy};
            qoSys->DebugText(text.c_str(), &rgb, &at, scale, qoDebugTextAlignment, true, true, 0.0f);
        }
    }
}

void targetVisualCounter::Init() {
    int32_t count = startCount;
    if (fadeTime <= 0.0f) fadeTime = 0.01f;
    const qoEntity player = qoGetPlayer1();
    for (;;) {
        while (!triggered) qoWaitFrame();
        float end = NowSeconds() + fadeTime;
        do {
            if (triggered) {
                // A count driven past the ends of its type stops there instead of overflowing.
                const int64_t next = int64_t{count} + countStep;
                count = static_cast<int32_t>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX));
                end = NowSeconds() + fadeTime;
                triggered = false;
            }
            float t = 1.0f - (end - NowSeconds()) / fadeTime;
            t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
            DrawCount(player, count, t);
            qoWaitFrame();
        } while (NowSeconds() <= end);
    }
}
