// Quorin script module: everything a host engine needs to load and drive the module.
#pragma once

#include "quorin/kvQOObject.h"
#include "quorin/kvQuorin.h"
#include "quorin/kvQuorinSystem.h"
#include "quorin/qoEvents.h"
#include "quorin/qoMethodCatalogue.h"
#include "quorin/qoTypes.h"
