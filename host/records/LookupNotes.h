// Console lines the printed log folds away because they only say that a level lacks an entity
// it need not have: the world utility looks up player1 to player8 and the AI conductor by name
// at every level start, and warns for each one that is missing, one a frame.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qohost {

// The entity name of a world utility "not found" warning that a level with `players` players
// may well lack (a player beyond their number, the AI conductor); "" for any other line.
std::string OptionalLookupMissing(std::string_view consoleLine, size_t players);

}  // namespace qohost
