// Whether a fan folds over itself: a triangle of it faces away from the normal of the
// whole fan by clearly more than a right angle.
#pragma once

#include <cstdint>

#include "geometry/Vector3.h"

// A triangle folds over its fan when the cosine of the angle between its normal and the
// fan's normal is below this (about 107 degrees): folds of a few degrees past the right
// angle, as a fan over a crease gives, are let through.
inline constexpr double FAN_FOLD_COSINE = -0.3;

// centre: the fan's point; ring: the positions of its count entries in fan order, the last
// joined to the first. The fan's normal is the sum of its triangles' unit normals, each
// weighted by the sine of its angle at the centre (triangles with an edge at the centre
// shorter than 0.001 give none). Result: true when some triangle's normal makes an angle
// whose cosine is below FAN_FOLD_COSINE with it. Fewer than two entries, or a fan whose
// normal vanishes, never fold. The orientation of the ring does not matter.
bool ringFoldsOver(const Vector3& centre, const Vector3* ring, int32_t count);
