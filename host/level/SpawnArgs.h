// The spawn-arg keys the host reads (an entity's "spawnArgs", an entity def's "args"): one
// table, used by the code that reads them and by the level check that reports unknown keys.
#pragma once

#include <string_view>

namespace qohost::spawnargs {

inline constexpr const char* kSpawnCooldownMs = "spawnCooldownMs";  // a spawner's busy time
inline constexpr const char* kLifetime = "lifetime";                // seconds a spawn lives
inline constexpr const char* kHealth = "health";                    // a spawn's health
inline constexpr const char* kMonsterType = "monsterType";          // a monster's type
inline constexpr const char* kScriptObjects = "scriptObjects";      // objects on every spawn
inline constexpr const char* kDamage = "damage";                    // a damage decl's amount
inline constexpr const char* kAnimPrefix = "anim:";                 // "anim:<name>": its seconds

inline constexpr const char* kKeys[] = {kSpawnCooldownMs, kLifetime, kHealth, kMonsterType, kScriptObjects, kDamage};

// True for a key the host reads.
inline bool IsKnown(std::string_view key) {
    for (const char* k : kKeys)
        if (key == k) return true;
    const std::string_view anim = kAnimPrefix;
    return key.size() > anim.size() && key.substr(0, anim.size()) == anim;
}

}  // namespace qohost::spawnargs
