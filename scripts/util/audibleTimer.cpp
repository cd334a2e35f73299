#include "scripts/util/audibleTimer.h"

void audibleTimer::Init() {}

void audibleTimer::OnActivate(const qoEntity&) {}
