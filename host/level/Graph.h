// The links a designer makes in a level, as a Graphviz DOT graph (qohost graph): targets, binds,
// property values that name entities (entity properties and lists: spawn lists, move keys,
// network links), and the entity defs spawners spawn. Cycles of activation are drawn in red.
#pragma once

#include <string>

#include "host/level/Level.h"

namespace qohost {

std::string LevelGraph(const LevelDesc& level);

}  // namespace qohost
