// targetSetHealth sets the player's health when triggered; targetVisualCounter shows a count on
// screen that changes by a step on each activation and fades out. Both poll the flag their
// OnActivate raises once per frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class targetSetHealth : public kvQuorinObject {
    QO_SCRIPT_CLASS(targetSetHealth, kvQuorinObject)
    QO_COMMENT("Set player health and armor values when triggered")
    QO_PROPERTIES(QO_PROPERTY(newHealth, "New player health value"),
                  QO_PROPERTY(repeat, "Persist after being triggered"),
                  QO_PROPERTY(debugText, "Display debug info"))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    bool triggered = false;
    float newHealth = 100.0f;
    bool repeat = true;
    bool debugText = false;
};

class targetVisualCounter : public kvQuorinObject {
    QO_SCRIPT_CLASS(targetVisualCounter, kvQuorinObject)
    QO_COMMENT("Display a counter on screen")
    QO_PROPERTIES(QO_PROPERTY(color0, "Color when count is updated"),
                  QO_PROPERTY(color1, "Color when count fades out"),
                  QO_PROPERTY(scale0, "Size when count is updated"),
                  QO_PROPERTY(scale1, "Size when count fades out"),
                  QO_PROPERTY(yPos, "Vertical screen position"),
                  QO_PROPERTY(yOffset, "Vertical offset while fading"),
                  QO_PROPERTY(fadeTime, "Fade time in seconds"),
                  QO_PROPERTY(startCount, "Counter value at spawn"),
                  QO_PROPERTY(countStep, "Counter delta on activate"))
    QO_EVENTS("OnActivate")

public:
    void Init() override;
    void OnActivate(const qoEntity& activator) override;

    // Draws the count in front of the player's view at fade position t (0 new, 1 faded).
    void DrawCount(const qoEntity& player, int32_t count, float t) const;

    bool triggered = false;
    qoColor color0{0.0f, 0.0f, 0.0f, 1.0f};
    qoColor color1{0.0f, 0.0f, 0.0f, 1.0f};
    float scale0 = 1.2f;
    float scale1 = 1.8f;
    float yPos = 110.0f;
    float yOffset = 30.0f;
    float fadeTime = 0.75f;
    int32_t startCount = 30;
    int32_t countStep = -1;
};

static_assert(offsetof(targetSetHealth, triggered) == 16);
static_assert(offsetof(targetSetHealth, newHealth) == 20);
static_assert(offsetof(targetSetHealth, repeat) == 24);
static_assert(offsetof(targetSetHealth, debugText) == 25);
static_assert(sizeof(targetSetHealth) == 32);
static_assert(offsetof(targetVisualCounter, color0) == 20);
static_assert(offsetof(targetVisualCounter, color1) == 36);
static_assert(offsetof(targetVisualCounter, scale0) == 52);
static_assert(offsetof(targetVisualCounter, fadeTime) == 68);
static_assert(offsetof(targetVisualCounter, countStep) == 76);
static_assert(sizeof(targetVisualCounter) == 80);
