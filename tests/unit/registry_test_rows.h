// Property table rows as comparable values, for the registry tests.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "quorin/qoTypes.h"

namespace registrytest {

struct Row {
    std::string type, modifier, name, comment;
    uint32_t offset, size;
    bool operator==(const Row&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << r.type << "|" << r.modifier << "|" << r.name << "|" << r.comment << "|" << r.offset
              << "|" << r.size;
}

// The rows of a property table up to its terminator; none for null.
inline std::vector<Row> Rows(const qoPropertyInfo* table) {
    std::vector<Row> out;
    for (; table && table->name; ++table)
        out.push_back({table->type, table->modifier, table->name, table->comment, table->offset,
                       table->size});
    return out;
}

}  // namespace registrytest
