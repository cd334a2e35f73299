// "Did you mean": the known name nearest to a mistyped one, by edit distance.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace qohost {

// Edit distance (insertions, deletions, substitutions; a change of case costs nothing), or
// `limit` + 1 as soon as it is known to exceed `limit`.
size_t EditDistance(std::string_view a, std::string_view b, size_t limit);

// The candidate nearest to `name` when it is near enough to be a typing mistake (at most a
// third of the name's length away, and at least 2), else "".
template <class Names>
std::string Nearest(std::string_view name, const Names& candidates) {
    const size_t limit = std::max<size_t>(2, name.size() / 3);
    size_t best = limit + 1;
    std::string found;
    for (const auto& candidate : candidates) {
        const std::string_view c(candidate);
        if (c == name) continue;
        const size_t gap = c.size() > name.size() ? c.size() - name.size() : name.size() - c.size();
        if (gap >= best) continue;
        const size_t d = EditDistance(name, c, best - 1);
        if (d < best) {
            best = d;
            found = std::string(c);
        }
    }
    return found;
}

// " (did you mean 'X'?)" for the nearest candidate, or "".
template <class Names>
std::string DidYouMean(std::string_view name, const Names& candidates) {
    const std::string near = Nearest(name, candidates);
    return near.empty() ? std::string() : " (did you mean '" + near + "'?)";
}

}  // namespace qohost
