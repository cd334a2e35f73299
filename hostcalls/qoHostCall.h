// The host method call protocol shared by every entity method wrapper.
//
// A wrapper packs its arguments into 16-byte slots of a buffer in its own frame (slot k at
// byte 16 * k, each value at the start of its slot, the rest of the slot left unwritten), calls
// host slot 12 with the entity's handle, the method number, the signature and the buffer, and on
// success fetches the result with the getter of the method's result kind before any other host
// operation. On failure it warns "<entity name>.<Method> failed." and returns the zero value of
// its result kind; nothing is fetched.
//
// The parameter types of a wrapper are derived from its signature string at compile time:
//   e -> const qoEntity&      s, 1, 2, 4 -> qoString (by value: the wrapper's own copy)
//   i -> int32_t   f -> float   b -> bool   v, a -> const qoVector&   c -> const qoColor&
//   d -> qoDeclRef (by value)
//
// This header is included by hostcalls/qoEntity.h before class qoEntity is defined, so qoEntity is
// used here only in templates that are instantiated after the class is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/qoDiagnostics.h"
#include "core/qoString.h"
#include "core/qoSystem.h"
#include "quorin/qoMethodCatalogue.h"
#include "quorin/qoTypes.h"

class qoEntity;

// A reference to a host decl (8 bytes), opaque to the module.
typedef const void* qoDeclRef;

// A string literal usable as a template argument (signatures and failure texts).
template <size_t N>
struct qoLiteral {
    char text[N];
    constexpr qoLiteral(const char (&s)[N]) {
        for (size_t i = 0; i < N; ++i) text[i] = s[i];
    }
    static constexpr size_t length = N - 1;
};

// Filler type of the wrapper parameters past the end of the signature. It cannot be built
// from anything a caller could pass, so a surplus argument does not compile.
struct qoNoArg {
    explicit constexpr qoNoArg(int) {}
};

// The largest signature in the catalogue has six characters.
inline constexpr size_t qoMaxMethodArgs = 6;

template <char C>
struct qoArgType;
template <> struct qoArgType<'e'> { using type = const qoEntity&; };
template <> struct qoArgType<'s'> { using type = qoString; };
template <> struct qoArgType<'1'> { using type = qoString; };
template <> struct qoArgType<'2'> { using type = qoString; };
template <> struct qoArgType<'4'> { using type = qoString; };
template <> struct qoArgType<'i'> { using type = int32_t; };
template <> struct qoArgType<'f'> { using type = float; };
template <> struct qoArgType<'b'> { using type = bool; };
template <> struct qoArgType<'v'> { using type = const qoVector&; };
template <> struct qoArgType<'a'> { using type = const qoVector&; };
template <> struct qoArgType<'c'> { using type = const qoColor&; };
template <> struct qoArgType<'d'> { using type = qoDeclRef; };
template <> struct qoArgType<'\0'> { using type = qoNoArg; };

// Type of parameter K of the wrapper with signature S (qoNoArg past the end).
template <qoLiteral S, size_t K>
using qoMethodParam = typename qoArgType<(K < S.length ? S.text[K] : '\0')>::type;

template <qoMethodResult R>
struct qoResultType;
template <> struct qoResultType<qoMethodResult::None> { using type = void; };
template <> struct qoResultType<qoMethodResult::Bool> { using type = bool; };
template <> struct qoResultType<qoMethodResult::Int> { using type = int32_t; };
template <> struct qoResultType<qoMethodResult::Entity> { using type = qoEntity; };
template <> struct qoResultType<qoMethodResult::Float> { using type = float; };
template <> struct qoResultType<qoMethodResult::Vector> { using type = qoVector; };
template <> struct qoResultType<qoMethodResult::String> { using type = qoString; };

template <qoMethodResult R>
using qoMethodReturn = typename qoResultType<R>::type;

// Default value of a wrapper parameter: the filler past the end of the signature. Leaving out
// a real argument stops the compilation here; the body is instantiated only when a default is
// used, and Deferred keeps it from being instantiated earlier.
template <qoLiteral S, size_t K, int Deferred>
inline qoNoArg qoDefaultArg() {
    static_assert(std::is_same_v<qoMethodParam<S, K>, qoNoArg> && Deferred == Deferred,
                  "too few arguments for this host method");
    return qoNoArg(0);
}

// Argument packing: the value at the start of a 16-byte slot, as wide as its character says.
// The rest of the slot is left as it was.
template <class E>
    requires std::is_same_v<E, qoEntity>
inline void qoPackArg(unsigned char* slot, const E& e) {
    const uint32_t handle = e.handle;
    std::memcpy(slot, &handle, 4);
}
inline void qoPackArg(unsigned char* slot, const qoString& s) {
    const char* text = s.c_str();
    std::memcpy(slot, &text, sizeof text);
}
inline void qoPackArg(unsigned char* slot, int32_t i) { std::memcpy(slot, &i, 4); }
inline void qoPackArg(unsigned char* slot, float f) { std::memcpy(slot, &f, 4); }
inline void qoPackArg(unsigned char* slot, bool b) { slot[0] = b ? 1 : 0; }
inline void qoPackArg(unsigned char* slot, const qoVector& v) {
    const float xyz[3] = {v.x, v.y, v.z};
    std::memcpy(slot, xyz, sizeof xyz);
}
inline void qoPackArg(unsigned char* slot, const qoColor& c) {
    const float rgba[4] = {c.r, c.g, c.b, c.a};
    std::memcpy(slot, rgba, sizeof rgba);
}
inline void qoPackArg(unsigned char* slot, qoDeclRef d) { std::memcpy(slot, &d, sizeof d); }
inline void qoPackArg(unsigned char*, qoNoArg) {}

// Packs the arguments of one call into buffer (16 bytes per argument); filler arguments,
// which only ever follow the real ones, write nothing.
template <class... A>
inline void qoPackArguments(unsigned char* buffer, const A&... args) {
    size_t slot = 0;
    (qoPackArg(buffer + 16 * slot++, args), ...);
}

// Cold path of a failed call: "<entity name>" + failText as a warning.
[[gnu::cold, gnu::noinline]] void qoReportMethodFailure(uint32_t entity, const char* failText);

// Result fetch after a successful call, by result kind.
template <qoMethodResult R>
inline qoMethodReturn<R> qoFetchResult() {
    using T = qoMethodReturn<R>;
    if constexpr (R == qoMethodResult::Bool) {
        return qoSys->GetIntResult() != 0;
    } else if constexpr (R == qoMethodResult::Int) {
        return qoSys->GetIntResult();
    } else if constexpr (R == qoMethodResult::Entity) {
        return T(static_cast<uint32_t>(qoSys->GetIntResult()));
    } else if constexpr (R == qoMethodResult::Float) {
        return qoSys->GetFloatResult();
    } else if constexpr (R == qoMethodResult::Vector) {
        float xyz[3];
        qoSys->GetVectorResult(xyz);
        return T{xyz[0], xyz[1], xyz[2]};
    } else if constexpr (R == qoMethodResult::String) {
        return T(qoSys->GetStringResult());
    }
}

// The value a wrapper returns after a failed call.
template <qoMethodResult R>
inline qoMethodReturn<R> qoFailureResult() {
    using T = qoMethodReturn<R>;
    if constexpr (R == qoMethodResult::String) {
        return qoString::FromInt(0);  // "0", not ""
    } else if constexpr (R != qoMethodResult::None) {
        return T{};
    }
}

// One host method call: pack, call, fetch or report.
template <int32_t Number, qoLiteral Signature, qoLiteral FailText, qoMethodResult R, class... A>
inline qoMethodReturn<R> qoCallMethod(uint32_t entity, const A&... args) {
    constexpr size_t count = Signature.length;
    static_assert(count <= qoMaxMethodArgs && sizeof...(A) >= count);
    bool ok;
    if constexpr (count == 0) {
        ok = qoSys->CallEntityMethod(entity, Number, Signature.text, nullptr);
    } else {
        alignas(8) unsigned char buffer[16 * count];
        qoPackArguments(buffer, args...);
        ok = qoSys->CallEntityMethod(entity, Number, Signature.text, buffer);
    }
    if (ok) [[likely]] {
        if constexpr (R != qoMethodResult::None) return qoFetchResult<R>();
        else return;
    }
    qoReportMethodFailure(entity, FailText.text);
    return qoFailureResult<R>();
}
