#include "host/records/LookupNotes.h"

#include <charconv>

namespace qohost {

std::string MissingEntity(std::string_view line) {
    constexpr std::string_view kLookup = "entity '", kMissing = "' not found";
    const size_t at = line.find(kLookup);
    if (at == std::string_view::npos) return {};
    const std::string_view rest = line.substr(at + kLookup.size());
    const size_t end = rest.find(kMissing);
    if (end == std::string_view::npos) return {};
    return std::string(rest.substr(0, end));
}

std::string OptionalLookupMissing(std::string_view line, size_t players) {
    if (line.find("qoWorldUtil.Init: entity '") == std::string_view::npos) return {};
    const std::string name = MissingEntity(line);
    if (name.empty()) return {};
    if (name == "aiConductor") return name;
    constexpr std::string_view kPlayer = "player";
    if (name.rfind(kPlayer, 0) != 0) return {};
    size_t number = 0;
    const std::string_view digits = std::string_view(name).substr(kPlayer.size());
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    // A missing player within the level's count is a misnamed player: that warning stays.
    if (ec != std::errc() || ptr != digits.data() + digits.size() || number <= players) return {};
    return name;
}

}  // namespace qohost
