#include "host/sim/view/View.h"

#include <algorithm>
#include <cmath>

#include "host/world/Entity.h"
#include "host/world/World.h"

namespace qohost {

namespace {

// Progress 0..1 of an interpolation started at startMs lasting ms (done when ms <= 0).
float Progress(int32_t startMs, int32_t ms, int32_t nowMs) {
    if (ms <= 0) return 1.0f;
    return std::clamp(static_cast<float>(nowMs - startMs) / static_cast<float>(ms), 0.0f, 1.0f);
}

float Mix(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

void StartFade(World& world, Entity& player, const qoVector& color, float alpha, int32_t ms, bool out) {
    ViewState& v = player.methods->view;
    const int32_t now = world.GameTime();
    v.fromAlpha = FadeAlpha(player, now);
    v.toAlpha = out ? 1.0f : alpha;
    v.fadeColor = color;
    v.fadeStartMs = now;
    v.fadeMs = std::max(ms, 0);
}

float FadeAlpha(const Entity& player, int32_t nowMs) {
    const ViewState& v = player.methods->view;
    return Mix(v.fromAlpha, v.toAlpha, Progress(v.fadeStartMs, v.fadeMs, nowMs));
}

void SetRenderParm(Entity& e, const std::string& decl, const std::array<float, 4>& values) {
    e.methods->view.renderParms[decl] = values;
}

void StartRenderScale(World& world, Entity& e, const qoVector& scale, int32_t ms) {
    ViewState& v = e.methods->view;
    const int32_t now = world.GameTime();
    v.scaleFrom = RenderScale(e, now);
    v.scaleTo = scale;
    v.scaleStartMs = now;
    v.scaleMs = std::max(ms, 0);
}

qoVector RenderScale(const Entity& e, int32_t nowMs) {
    const ViewState& v = e.methods->view;
    const float t = Progress(v.scaleStartMs, v.scaleMs, nowMs);
    return {Mix(v.scaleFrom.x, v.scaleTo.x, t), Mix(v.scaleFrom.y, v.scaleTo.y, t),
            Mix(v.scaleFrom.z, v.scaleTo.z, t)};
}

void TrackEntity(Entity& player, const Entity& target, float strength) {
    const float dx = target.origin.x - player.origin.x, dy = target.origin.y - player.origin.y;
    if (dx == 0.0f && dy == 0.0f) return;
    const float wanted = std::atan2(dy, dx) * 180.0f / 3.14159265358979f;
    float delta = std::fmod(wanted - player.angles.y, 360.0f);
    if (delta > 180.0f) delta -= 360.0f;
    if (delta < -180.0f) delta += 360.0f;
    player.angles.y += delta * std::clamp(strength, 0.0f, 1.0f);
}

}  // namespace qohost
