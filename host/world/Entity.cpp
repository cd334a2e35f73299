#include "host/world/Entity.h"

#include "host/sim/entities/HostClasses.h"

namespace qohost {

namespace {

// isA[cls * rows + base]: the whole hierarchy as a table by row, made once from HostClasses().
struct Hierarchy {
    size_t rows = 0;
    std::vector<bool> isA;

    Hierarchy() {
        const std::span<const HostClassInfo> table = HostClasses();
        rows = table.size();
        isA.assign(rows * rows, false);
        for (size_t row = 0; row < rows; ++row)
            for (const HostClassInfo* c = &table[row]; c; c = c->parent.empty() ? nullptr : FindHostClass(c->parent))
                isA[row * rows + static_cast<size_t>(c - table.data())] = true;
    }
};

const Hierarchy& TheHierarchy() {
    static const Hierarchy hierarchy;
    return hierarchy;
}

}  // namespace

std::string_view HostClassParent(std::string_view hostClass) {
    const HostClassInfo* row = FindHostClass(hostClass);
    return row ? row->parent : std::string_view();
}

HostClassRow HostClassRowOf(std::string_view hostClass) {
    const HostClassInfo* row = FindHostClass(hostClass);
    return row ? static_cast<HostClassRow>(row - HostClasses().data()) : kNoHostClassRow;
}

bool HostClassRowIsA(HostClassRow cls, HostClassRow base) {
    const Hierarchy& h = TheHierarchy();
    return cls < h.rows && base < h.rows && h.isA[cls * h.rows + base];
}

bool HostClassIsA(std::string_view hostClass, std::string_view base) {
    // A class not in the table is only itself.
    return hostClass == base || HostClassRowIsA(HostClassRowOf(hostClass), HostClassRowOf(base));
}

bool IsKnownHostClass(std::string_view hostClass) { return FindHostClass(hostClass) != nullptr; }

void Entity::SetHostClass(std::string cls) {
    hostRow = HostClassRowOf(cls);
    hostClass = std::move(cls);
}

bool Entity::IsA(HostClassRow base) const { return HostClassRowIsA(hostRow, base); }

}  // namespace qohost
