#include "host/methods/Call.h"

#include <cstdio>
#include <cstring>

#include "host/methods/Events.h"

namespace qohost {

namespace {

std::string Number(float f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", f);
    return buf;
}

std::string ArgText(World& world, const Arg& a) {
    switch (a.type) {
        case 'e': return EntityText(world, a.entity);
        case 'i': return std::to_string(a.i);
        case 'f': return Number(a.f);
        case 'b': return a.b ? "true" : "false";
        case 'v':
        case 'a': return "(" + Number(a.v.x) + " " + Number(a.v.y) + " " + Number(a.v.z) + ")";
        case 'c':
            return "(" + Number(a.c.r) + " " + Number(a.c.g) + " " + Number(a.c.b) + " " +
                   Number(a.c.a) + ")";
        case 'd': return DeclText(world, a.decl);
        default: return "\"" + std::string(a.s) + "\"";
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

std::string CallText(const Call& c) {
    std::string text = c.self.name + "." + c.method.name + "(";
    for (int k = 0; k < c.count; ++k) text += (k ? ", " : "") + ArgText(c.world, c.args[k]);
    return text + ")";
}

}  // namespace qohost
