// Entry thunks: the one small function per host-callable or thread-started member function.
//
// qoEntryThunk<&Class::Function> has the qoThreadEntry shape. It is what GetFunction hands the
// host and what a script passes to the host when it starts a thread on that function, so the
// host sees one entry per function however it is reached. A null object reports
// "Assertion failed: object != NULL" and returns; otherwise the member runs on the object. A
// member that takes a `void*` receives the thread's argument block; other members take none.
#pragma once

#include <type_traits>

#include "core/qoDiagnostics.h"
#include "quorin/kvQOObject.h"

template <class MemberFn>
struct qoMemberClass;

template <class C, class R, class... A>
struct qoMemberClass<R (C::*)(A...)> {
    using type = C;
};

template <auto MemberFn>
void qoEntryThunk(kvQOObject* object, void* args) {
    if (object == nullptr) {
        qoAssertFailed("object != NULL");
        return;
    }
    using C = typename qoMemberClass<decltype(MemberFn)>::type;
    static_assert(std::is_base_of_v<kvQOObject, C>, "entry thunks run members of script classes");
    C* self = static_cast<C*>(object);
    if constexpr (std::is_invocable_v<decltype(MemberFn), C*, void*>) {
        (self->*MemberFn)(args);
    } else {
        static_assert(std::is_invocable_v<decltype(MemberFn), C*>,
                      "an entry member takes no arguments or the thread's argument block");
        (void)args;
        (self->*MemberFn)();
    }
}
