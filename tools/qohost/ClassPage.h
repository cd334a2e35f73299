// What a level designer reads about a script class (qohost describe NAME): its purpose, each
// property with its type, default value, meaning and choices, the events it handles, and a
// JSON snippet to paste into a level, and what it does to entities. Defaults are read from an object the module creates, so
// they are what the class's constructor writes.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class kvQuorin;

namespace qohost::cli {

// The class's purpose: its comment, else its row of kClassPurposes (ClassPurposes.h), else "".
std::string ClassPurpose(kvQuorin* api, const std::string& name);

// The host entity methods the class's code calls (its own, its base classes' and its file's
// helpers'), read from the script sources at build time.
std::vector<std::string> ClassCalls(const std::string& name);

// The properties with the values the constructor (and the decl defaults) give them, as a
// level file writes them; null when the module cannot create the class.
nlohmann::ordered_json ClassDefaults(kvQuorin* api, const std::string& name);

// Prints the page; false when the module cannot create the class.
bool PrintClassPage(kvQuorin* api, const std::string& name);

}  // namespace qohost::cli
