// The module-wide host pointer. Set only by kvQuorin::SetSystem; every host service the
// module uses goes through it.
#pragma once

#include "quorin/kvQuorinSystem.h"

extern kvQuorinSystem* qoSys;
