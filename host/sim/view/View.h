// View and render effects in the reference host: screen fades on players, render parameters
// and render scale interpolations on models, and the player's view turning toward a tracked
// entity.
//
//   FadeView / FadeOutView (colour, alpha, ms): a fade toward (in) or away from (out) the
//     colour, over the time; FadeAlpha gives the fade's opacity at a game time (linear, from
//     the current opacity to alpha for a fade in and to 1 for a fade out).
//   SetRenderParm (decl, four values): the values stored under the decl's name.
//   LerpRenderScale (x, y, z, time ms, accel, decel): the model scale goes linearly from the
//     current scale to (x, y, z) over the time; accel and decel are recorded only.
//   TrackEntity (entity, strength): the view yaw turns toward the entity by strength × the
//     remaining angle (1 turns at once, 0 not at all; clamped into 0..1).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "quorin/qoTypes.h"

namespace qohost {

class World;
struct Entity;

struct ViewState {
    // Fade: from fromAlpha at startMs to toAlpha at startMs + durationMs.
    qoVector fadeColor;
    float fromAlpha = 0.0f;
    float toAlpha = 0.0f;
    int32_t fadeStartMs = 0;
    int32_t fadeMs = 0;
    // Model scale: from scaleFrom at scaleStartMs to scaleTo after scaleMs.
    qoVector scaleFrom{1.0f, 1.0f, 1.0f};
    qoVector scaleTo{1.0f, 1.0f, 1.0f};
    int32_t scaleStartMs = 0;
    int32_t scaleMs = 0;
    std::map<std::string, std::array<float, 4>> renderParms;  // by decl name
};

void StartFade(World& world, Entity& player, const qoVector& color, float alpha, int32_t ms, bool out);
float FadeAlpha(const Entity& player, int32_t nowMs);
void SetRenderParm(Entity& e, const std::string& decl, const std::array<float, 4>& values);
void StartRenderScale(World& world, Entity& e, const qoVector& scale, int32_t ms);
qoVector RenderScale(const Entity& e, int32_t nowMs);
void TrackEntity(Entity& player, const Entity& target, float strength);

}  // namespace qohost
