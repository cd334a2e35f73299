// What a level may do that is most likely a mistake, though it loads: events after the end,
// a target listed twice, entities that activate each other for ever, entities nothing refers to
// that do nothing. `qohost check` reports these as warnings, and `qohost run` before it runs.
#pragma once

#include <string_view>
#include <vector>

#include "host/level/Level.h"
#include "host/sim/entities/HostClasses.h"

class kvQuorin;

namespace qohost {

// Appends one warning per finding, in the form of load errors (file, entity, field, message).
void LintLevel(const LevelDesc& level, LevelErrors& warnings);

// The errors against the module (CheckLevel) of a level whose document may itself have had
// errors: what was read is checked in a world of its own, so that one pass reports all.
void CheckAgainstModule(kvQuorin& module, const LevelDesc& level, LevelErrors& errors);

// The warnings that need the module: entity values that the editor statements of the class
// restrict (entityTypeRestriction, allowedType of link actions) naming an entity of another
// host class.
void LintAgainstModule(kvQuorin& module, const LevelDesc& level, LevelErrors& warnings);

// The cycles of the activation graph (each entity's targets; paths of corners and spline
// points are routes, not activations), each as the names along it, back to the first.
std::vector<std::vector<std::string>> ActivationCycles(const LevelDesc& level);

}  // namespace qohost
