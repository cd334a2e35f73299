#include "host/records/LookupNotes.h"

#include <charconv>

namespace qohost {

std::string OptionalLookupMissing(std::string_view line, size_t players) {
    constexpr std::string_view kLookup = "qoWorldUtil.Init: entity '", kMissing = "' not found";
    const size_t at = line.find(kLookup);
    if (at == std::string_view::npos) return {};
    const std::string_view rest = line.substr(at + kLookup.size());
    const size_t end = rest.find(kMissing);
    if (end == std::string_view::npos) return {};
    const std::string_view name = rest.substr(0, end);
    if (name == "aiConductor") return std::string(name);
    constexpr std::string_view kPlayer = "player";
    if (name.substr(0, kPlayer.size()) != kPlayer) return {};
    size_t number = 0;
    const std::string_view digits = name.substr(kPlayer.size());
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    // A missing player within the level's count is a misnamed player: that warning stays.
    if (ec != std::errc() || ptr != digits.data() + digits.size() || number <= players) return {};
    return std::string(name);
}

}  // namespace qohost
