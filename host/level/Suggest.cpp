#include "host/level/Suggest.h"

namespace qohost {

size_t EditDistance(std::string_view a, std::string_view b, size_t limit) {
    auto same = [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    };
    std::vector<size_t> row(b.size() + 1), next(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        next[0] = i;
        size_t lowest = next[0];
        for (size_t j = 1; j <= b.size(); ++j) {
            next[j] = std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + (same(a[i - 1], b[j - 1]) ? 0 : 1)});
            lowest = std::min(lowest, next[j]);
        }
        if (lowest > limit) return limit + 1;
        row.swap(next);
    }
    return row[b.size()];
}

}  // namespace qohost
