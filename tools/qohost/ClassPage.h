// What a level designer reads about a script class (qohost describe NAME): its purpose, each
// property with its type, default value, meaning and choices, the events it handles, and a
// JSON snippet to paste into a level. Defaults are read from an object the module creates, so
// they are what the class's constructor writes.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

class kvQuorin;

namespace qohost::cli {

// The class's purpose: its comment, else "" (the module gives no other description).
std::string ClassPurpose(kvQuorin* api, const std::string& name);

// The properties with the values the constructor (and the decl defaults) give them, as a
// level file writes them; null when the module cannot create the class.
nlohmann::ordered_json ClassDefaults(kvQuorin* api, const std::string& name);

// Prints the page; false when the module cannot create the class.
bool PrintClassPage(kvQuorin* api, const std::string& name);

}  // namespace qohost::cli
