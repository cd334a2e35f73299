// View and light effects: screen fades, an entity that follows the player's view, a light that
// wobbles about its spawn point, a flickering spark (light, flare and emitter) and an entity that
// keeps facing another while scaling a render parameter with the distance. All but the fades
// run an endless per-frame loop in Init.
#pragma once

#include <cstddef>

#include "object/qoClass.h"

class util_fadeInView : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_fadeInView, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(color), QO_PROPERTY(alpha), QO_PROPERTY(fadeTime))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    qoColor color{0.0f, 0.0f, 0.0f, 1.0f};
    float alpha = 0.0f;
    float fadeTime = 1.0f;  // seconds
};

class util_fadeOutView : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_fadeOutView, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(color), QO_PROPERTY(alpha), QO_PROPERTY(fadeTime))
    QO_EVENTS("OnActivate")

public:
    void OnActivate(const qoEntity& activator) override;
    qoColor color{0.0f, 0.0f, 0.0f, 1.0f};
    float alpha = 0.0f;
    float fadeTime = 1.0f;
};

class util_AttachToPlayer : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_AttachToPlayer, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(offset), QO_PROPERTY(viewAligned), QO_PROPERTY(attachToCamera))

public:
    void Init() override;
    qoVector offset{0.0f, 0.0f, 100.0f};  // right, up, forward of the view
    bool viewAligned = true;
    bool attachToCamera = true;
};

class util_LightWiggler : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_LightWiggler, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(size), QO_PROPERTY(frequency))

public:
    void Init() override;
    float size = 0.0f;
    float frequency = 0.0f;
};

class util_SparkController : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_SparkController, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(light), QO_PROPERTY(flare), QO_PROPERTY(emitter), QO_PROPERTY(minTime),
                  QO_PROPERTY(maxTime), QO_PROPERTY(minDurration), QO_PROPERTY(maxDurration))

public:
    void Init() override;
    qoEntity light;
    qoEntity flare;
    qoEntity emitter;
    float minTime = 0.0f;  // seconds off between bursts
    float maxTime = 0.0f;
    float minDurration = 0.0f;  // seconds of one burst
    float maxDurration = 0.0f;
};

class util_LookAtTarget : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_LookAtTarget, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(lookAtTarget))
    QO_DECLS(QO_DECL(rpScale, "scale"))

public:
    void Init() override;
    qoEntity lookAtTarget;
    const kvDeclRenderParm* rpScale = nullptr;
};

static_assert(offsetof(util_fadeInView, alpha) == 32);
static_assert(offsetof(util_fadeOutView, fadeTime) == 36);
static_assert(offsetof(util_AttachToPlayer, viewAligned) == 28);
static_assert(offsetof(util_AttachToPlayer, attachToCamera) == 29);
static_assert(offsetof(util_LightWiggler, frequency) == 20);
static_assert(offsetof(util_SparkController, minTime) == 28);
static_assert(offsetof(util_SparkController, maxDurration) == 40);
static_assert(offsetof(util_LookAtTarget, rpScale) == 24);
