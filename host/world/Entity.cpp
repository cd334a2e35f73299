#include "host/world/Entity.h"

#include "host/sim/entities/HostClasses.h"

namespace qohost {

namespace {

// The hierarchy by row, made once from HostClasses(): isA[cls * rows + base], and the parent
// of each row (kNoHostClassRow for the root).
struct Hierarchy {
    size_t rows = 0;
    std::vector<bool> isA;
    std::vector<HostClassRow> parent;

    Hierarchy() {
        const std::span<const HostClassInfo> table = HostClasses();
        rows = table.size();
        isA.assign(rows * rows, false);
        parent.assign(rows, kNoHostClassRow);
        for (size_t row = 0; row < rows; ++row) {
            parent[row] = HostClassRowOf(table[row].parent);
            for (const HostClassInfo* c = &table[row]; c; c = c->parent.empty() ? nullptr : FindHostClass(c->parent))
                isA[row * rows + static_cast<size_t>(c - table.data())] = true;
        }
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
    // A class not in the table is only itself. One look-up by name, then the chain by row.
    if (hostClass == base) return true;
    const Hierarchy& h = TheHierarchy();
    const std::span<const HostClassInfo> table = HostClasses();
    for (HostClassRow row = HostClassRowOf(hostClass); row < h.rows; row = h.parent[row])
        if (table[row].name == base) return true;
    return false;
}

bool IsKnownHostClass(std::string_view hostClass) { return FindHostClass(hostClass) != nullptr; }

void Entity::SetHostClass(std::string cls) {
    hostRow = HostClassRowOf(cls);
    hostClass = std::move(cls);
}

bool Entity::IsA(HostClassRow base) const { return HostClassRowIsA(hostRow, base); }

}  // namespace qohost
