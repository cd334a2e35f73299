#include "scripts/util/triggerLerpDelay.h"

void triggerLerpDelay::Init() {}

void triggerLerpDelay::OnActivate(const qoEntity&) {}
