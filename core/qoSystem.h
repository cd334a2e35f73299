// The module-wide host pointer. Set only by kvQuorin::SetSystem; every host service the
// module uses goes through it.
#pragma once

#include <cstdint>

#include "quorin/kvQuorinSystem.h"

extern kvQuorinSystem* qoSys;

// The host's current memory tag (host slot 29); 0 while no host is attached. Strings and lists
// record it when they are constructed.
inline uint32_t qoHostMemoryTag() { return qoSys ? qoSys->GetMemoryTag() : 0u; }

// Host allocation with a tag (slot 27); null without a host or when the host has no memory.
inline void* qoHostAllocate(size_t size, uint32_t tag) {
    return qoSys ? qoSys->Allocate(size, tag) : nullptr;
}

// Host free with the tag the block was allocated with (slot 28); null is ignored.
inline void qoHostFree(void* memory, uint32_t tag) {
    if (memory && qoSys) qoSys->Free(memory, tag);
}
