// Ray traces of the reference host (host slots 59 to 61).
//
// The headless world has no level geometry: a trace tests the segment against the bounds
// (origin + mins .. origin + maxs) of every live entity except the world entity
// (kvWorldspawn) and the ignored one, and reports the nearest entity whose bounds it enters.
// Bounds that already contain the start point do not stop the ray. The content mask is kept
// but every entity counts as solid for every mask. Traces complete at once.
#pragma once

namespace qohost {

class World;
struct Trace;

// Fills fraction, normal and hitEntity of a trace whose start, end and ignoreEntity are set:
// the nearest entry into an entity's bounds (fraction 0..1, the normal of the face entered;
// ties go to the entity created first), else fraction 1 and no entity.
void RunTrace(World& world, Trace& trace);

}  // namespace qohost
