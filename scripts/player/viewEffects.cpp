#include "scripts/player/viewEffects.h"

#include <algorithm>
#include <cmath>

#include "core/qoConvert.h"
#include "core/qoVector.h"
#include "cvars/cvar.h"
#include "object/qoThreads.h"
#include "runtime/qoModule.h"
#include "runtime/qoWorldUtil.h"
#include "scripts/common/qoAngles.h"
#include "scripts/common/qoDebugText.h"

namespace {

qoVector Rgb(const qoColor& c) { return {c.r, c.g, c.b}; }

float GameSeconds() { return static_cast<float>(qoSys->GameTimeMs()) * 0.001f; }

// min(a, b) + r × |b − a| with r random in [0, 1).
float RandomBetween(float a, float b) {
    return std::min(a, b) + qoSys->RandomFloat() * std::fabs(b - a);
}

}  // namespace

void util_fadeInView::OnActivate(const qoEntity&) {
    qoGetPlayer1().FadeView(Rgb(color), alpha, qoSecondsToMs(fadeTime));
}

void util_fadeOutView::OnActivate(const qoEntity&) {
    qoGetPlayer1().FadeOutView(Rgb(color), alpha, qoSecondsToMs(fadeTime));
}

void util_AttachToPlayer::Init() {
    qoBindWorldUtil();
    for (;;) {
        const qoEntity player = qoGetPlayer1();
        const qoVector angles = player.GetViewAngles(true);
        const qoAxis axis = qoAnglesToAxis(angles);
        qoVector p = player.GetWorldOrigin() + axis.right * offset.x + axis.up * offset.y +
                     axis.forward * offset.z;
        if (attachToCamera) p.z += cvar_pm_normalViewHeight.Get();
        entity.SetWorldOrigin(p);
        if (viewAligned) entity.SetAngles(angles);
        qoWaitFrame();
    }
}

void util_LightWiggler::Init() {
    qoBindWorldUtil();
    const qoVector origin = entity.GetWorldOrigin();
    for (;;) {
        const float t = GameSeconds();
        const float f = frequency;
        const qoVector wobble{std::sin((f + 0.13f) * t) + std::sin((f + 3.17f) * t),
                              std::sin((f + 0.07f) * t) + std::sin((f + 4.31f) * t),
                              std::sin((f + 0.21f) * t) + std::sin((f + 5.07f) * t)};
        entity.SetWorldOrigin(origin + wobble * size);
        qoWaitFrame();
    }
}

void util_SparkController::Init() {
    qoBindWorldUtil();
    const qoVector lightColor = light.GetColor();
    const qoVector flareColor = flare.GetColor();
    bool on = false;
    float timer = 0.0f;
    float burst = 0.0f;
    // Brightness 0 at the start and end of a burst, 1 half-way; a burst of no length stays dark
    // (instead of dividing by zero).
    auto pulse = [&] {
        const float v = burst > 0.0f ? 0.5f * std::cos(6.2831853f * timer / burst) + 0.5f : 1.0f;
        const float k = 1.0f - v * v * v * v * v;
        flare.SetColor(flareColor.x * k, flareColor.y * k, flareColor.z * k);
        light.SetColor(lightColor.x * k, lightColor.y * k, lightColor.z * k);
    };
    for (;;) {
        timer -= qoFrameSeconds();
        if (timer > 0.0f) {
            if (on) pulse();
        } else if (on) {
            timer = RandomBetween(minTime, maxTime);
            light.Hide();
            flare.Hide();
            on = false;
        } else {
            timer = burst = RandomBetween(minDurration, maxDurration);
            on = true;
            emitter.Activate(qoEntity());
            light.Show();
            flare.Show();
            pulse();
        }
        qoWaitFrame();
    }
}

void util_LookAtTarget::Init() {
    qoBindWorldUtil();
    const qoEntity target(lookAtTarget.GetName());
    const qoVector origin = entity.GetWorldOrigin();
    entity.Time(qoFrameSeconds());
    for (;;) {
        const qoVector d = target.GetWorldOrigin() - origin;
        const float dist = qoLength(d);
        // On the target itself there is no direction: the zero vector's angles.
        entity.RotateTo(qoFacingAngles(dist > 0.0f ? d * (1.0f / dist) : qoVector{}));
        entity.SetRenderParm(rpScale, dist / 1000.0f, 1.0f, 1.0f, 1.0f);
        qoWaitFrame();
    }
}
