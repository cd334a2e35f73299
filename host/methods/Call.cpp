#include "host/methods/Call.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "host/methods/Events.h"

namespace qohost {

namespace {

// As "%g" prints it, without the printf machinery.
void AppendNumber(std::string& out, float f) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, double(f), std::chars_format::general, 6).ptr;
    out.append(buf, end);
}

void AppendInt(std::string& out, int32_t i) {
    char buf[16];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, i).ptr);
}

// "(x y z)", "(r g b a)"
void AppendNumbers(std::string& out, std::initializer_list<float> numbers) {
    out += '(';
    bool first = true;
    for (float f : numbers) {
        if (!first) out += ' ';
        first = false;
        AppendNumber(out, f);
    }
    out += ')';
}

void AppendArg(std::string& out, World& world, const Arg& a) {
    switch (a.type) {
        case 'e': AppendEntityText(out, world, a.entity); return;
        case 'i': AppendInt(out, a.i); return;
        case 'f': AppendNumber(out, a.f); return;
        case 'b': out += a.b ? "true" : "false"; return;
        case 'v':
        case 'a': AppendNumbers(out, {a.v.x, a.v.y, a.v.z}); return;
        case 'c': AppendNumbers(out, {a.c.r, a.c.g, a.c.b, a.c.a}); return;
        case 'd': out += DeclText(world, a.decl); return;
        default:
            out += '"';
            out += a.s;
            out += '"';
            return;
    }
}

}  // namespace

const Entity* Live(Call& c, int k) {
    const Entity* e = c.Ent(k);
    if (!e) c.Fail("no such entity " + EntityText(c.world, c.E(k)));
    return e;
}

Arg Decode(char type, const unsigned char* slot) {
    Arg a;
    a.type = type;
    switch (type) {
        case 'e': std::memcpy(&a.entity, slot, 4); break;
        case 'i': std::memcpy(&a.i, slot, 4); break;
        case 'f': std::memcpy(&a.f, slot, 4); break;
        case 'b': a.b = slot[0] != 0; break;
        case 'v':
        case 'a': {
            float xyz[3];
            std::memcpy(xyz, slot, sizeof xyz);
            a.v = {xyz[0], xyz[1], xyz[2]};
            break;
        }
        case 'c': {
            float rgba[4];
            std::memcpy(rgba, slot, sizeof rgba);
            a.c = {rgba[0], rgba[1], rgba[2], rgba[3]};
            break;
        }
        case 'd': std::memcpy(&a.decl, slot, sizeof a.decl); break;
        default: {  // s, 1, 2, 4
            const char* text = nullptr;
            std::memcpy(&text, slot, sizeof text);
            a.s = text ? text : "";
            break;
        }
    }
    return a;
}

std::string DeclText(World& world, const void* decl) {
    if (!decl) return "null";
    if (world.IsDecl(decl)) return static_cast<const Decl*>(decl)->name;
    char buf[32];
    std::snprintf(buf, sizeof buf, "decl@%p", decl);
    return buf;
}

void AppendCallText(std::string& out, const Call& c) {
    out += c.self.name;
    out += '.';
    out += c.method.name;
    out += '(';
    for (int k = 0; k < c.count; ++k) {
        if (k) out += ", ";
        AppendArg(out, c.world, c.args[k]);
    }
    out += ')';
}

std::string CallText(const Call& c) {
    std::string text;
    AppendCallText(text, c);
    return text;
}

void AppendAnswerText(std::string& out, const Call& c) {
    const MethodResult& r = c.result;
    switch (c.method.result) {
        case qoMethodResult::None: return;
        case qoMethodResult::Bool: out += r.i ? "true" : "false"; return;
        case qoMethodResult::Int: AppendInt(out, r.i); return;
        case qoMethodResult::Entity:
            if (r.i == 0) out += "none";
            else AppendEntityText(out, c.world, static_cast<uint32_t>(r.i));
            return;
        case qoMethodResult::Float: AppendNumber(out, r.f); return;
        case qoMethodResult::Vector: AppendNumbers(out, {r.v.x, r.v.y, r.v.z}); return;
        case qoMethodResult::String:
            out += '"';
            out += r.s;
            out += '"';
            return;
    }
}

}  // namespace qohost
