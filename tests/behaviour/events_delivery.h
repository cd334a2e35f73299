// Raw event delivery as a host does it: entry slot n (2 to 40) of an object, called by number
// with raw host values, one row per event of the public event table. Shared by the event tests
// of the unit and behaviour programs.
#pragma once

#include <cstdint>

#include "quorin/kvQOObject.h"
#include "quorin/qoEvents.h"
#include "tests/support/HostFixture.h"

namespace events_test {

using qohost::test::CallSlot;

// The raw values each shape is delivered with: entities 5 and 6, flag true, float 2.5, text
// "footstep", integer 16.
template <int N> void DeliverE(kvQOObject* o) { CallSlot<void>(o, N, 5u); }
template <int N> void DeliverN(kvQOObject* o) { CallSlot<void>(o, N); }
template <int N> void DeliverEEB(kvQOObject* o) { CallSlot<void>(o, N, 5u, 6u, true); }
template <int N> void DeliverEF(kvQOObject* o) { CallSlot<void>(o, N, 5u, 2.5f); }
template <int N> void DeliverS(kvQOObject* o) { CallSlot<void>(o, N, "footstep"); }
template <int N> void DeliverI(kvQOObject* o) { CallSlot<void>(o, N, int32_t{16}); }
template <int N> void DeliverEE(kvQOObject* o) { CallSlot<void>(o, N, 5u, 6u); }

struct RawEvent {
    int slot;
    const char* handler;  // the handler's name in the object base
    const char* name;     // the event name, null when no name is in use
    void (*deliver)(kvQOObject*);
};

#define EVENTS_TEST_RAW_ROW(slot, id, name, shape) {slot, #id, name, &Deliver##shape<slot>},
inline const RawEvent kRawEvents[] = {QO_EVENT_TABLE(EVENTS_TEST_RAW_ROW)};
#undef EVENTS_TEST_RAW_ROW

}  // namespace events_test
