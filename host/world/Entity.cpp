#include "host/world/Entity.h"

#include "host/sim/entities/HostClasses.h"

namespace qohost {

std::string_view HostClassParent(std::string_view hostClass) {
    const HostClassInfo* row = FindHostClass(hostClass);
    return row ? row->parent : std::string_view();
}

bool HostClassIsA(std::string_view hostClass, std::string_view base) {
    for (std::string_view c = hostClass; !c.empty(); c = HostClassParent(c))
        if (c == base) return true;
    return false;
}

bool IsKnownHostClass(std::string_view hostClass) { return FindHostClass(hostClass) != nullptr; }

}  // namespace qohost
