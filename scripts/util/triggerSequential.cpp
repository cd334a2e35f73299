#include "scripts/util/triggerSequential.h"

void triggerSequential::Init() {}

void triggerSequential::OnActivate(const qoEntity&) {}
