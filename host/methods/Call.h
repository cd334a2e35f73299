// A host method call as the effects see it: the arguments decoded by the method's signature,
// the result, and the failure; with the text a record shows of it ("door.MoveTo(player1)"),
// and the small effects that read or write one entity field.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "host/methods/Methods.h"
#include "host/world/World.h"
#include "quorin/qoMethodCatalogue.h"

namespace qohost {

struct Arg {
    char type = 0;
    uint32_t entity = 0;
    int32_t i = 0;
    float f = 0.0f;
    bool b = false;
    qoVector v;
    qoColor c;
    const void* decl = nullptr;
    const char* s = "";  // the caller's text, valid during the call
};

struct Call {
    Call(World& w, Entity& e, const qoMethodInfo& m) : world(w), self(e), method(m) {}

    World& world;
    Entity& self;
    const qoMethodInfo& method;
    std::array<Arg, 6> args{};
    int count = 0;
    MethodResult result;
    std::string failure;
    bool failed = false;

    const Arg& A(int k, std::string_view types) const {
        assert(k < count && types.find(args[k].type) != std::string_view::npos);
        (void)types;
        return args[k];
    }
    uint32_t E(int k) const { return A(k, "e").entity; }
    Entity* Ent(int k) const { return world.ValidEntity(E(k)); }
    int32_t I(int k) const { return A(k, "i").i; }
    float F(int k) const { return A(k, "f").f; }
    bool B(int k) const { return A(k, "b").b; }
    const qoVector& V(int k) const { return A(k, "va").v; }
    std::string S(int k) const { return A(k, "s124").s; }
    const void* D(int k) const { return A(k, "d").decl; }
    const qoColor& C(int k) const { return A(k, "c").c; }

    void Return(bool b) { result.i = b ? 1 : 0; }
    void Return(int32_t i) { result.i = i; }
    void Return(uint32_t entity) { result.i = static_cast<int32_t>(entity); }
    void Return(float f) { result.f = f; }
    void Return(const qoVector& v) { result.v = v; }
    void Return(std::string s) { result.s = std::move(s); }

    void Fail(std::string why) {
        failure = std::move(why);
        failed = true;
    }
};

// The live entity named by argument k; a missing one fails the call.
const Entity* Live(Call& c, int k);

// The argument of signature type `type` read from its 16-byte slot, each value only to its width.
Arg Decode(char type, const unsigned char* slot);

// A decl as records show it: its name, "null", or its address when the host does not know it.
std::string DeclText(World& world, const void* decl);

// The call as records show it: "entity.Method(arguments)"; appended to `out`, or as a text.
void AppendCallText(std::string& out, const Call& c);
std::string CallText(const Call& c);
// Appends what a query answered, by the method's result type: "true", "3", "player1", "none",
// "(0 0 64)".
void AppendAnswerText(std::string& out, const Call& c);

// ---- field effects ---------------------------------------------------------------------------

template <class T>
T& Field(Entity& e, T Entity::*member) {
    return e.*member;
}
template <class T>
T& Field(Entity& e, T EntityMethodState::*member) {
    return (*e.methods).*member;
}
// Reading a field does not make the entity's method state (the defaults answer).
template <class T>
const T& Field(const Entity& e, T Entity::*member) {
    return e.*member;
}
template <class T>
const T& Field(const Entity& e, T EntityMethodState::*member) {
    return (*e.methods).*member;
}

template <class T>
T ArgAs(const Call& c, int k) {
    if constexpr (std::is_same_v<T, bool>)
        return c.B(k);
    else if constexpr (std::is_same_v<T, float>)
        return c.F(k);
    else if constexpr (std::is_same_v<T, int32_t>)
        return c.I(k);
    else if constexpr (std::is_same_v<T, uint32_t>)
        return c.E(k);
    else if constexpr (std::is_same_v<T, qoVector>)
        return c.V(k);
    else
        return c.S(k);
}

// Result = the field.
template <auto Member>
void Get(Call& c) {
    c.Return(Field(std::as_const(c.self), Member));
}
// The field = the first argument.
template <auto Member>
void Set(Call& c) {
    auto& field = Field(c.self, Member);
    field = ArgAs<std::remove_reference_t<decltype(field)>>(c, 0);
}
// The field = a constant.
template <auto Member, auto Value>
void Put(Call& c) {
    Field(c.self, Member) = Value;
}

}  // namespace qohost
