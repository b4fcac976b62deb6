// NoFaceReason: why a run that completed built no face, told apart by cheap checks on the
// points the construction worked on, so that the user learns which case it is.
#pragma once

#include <cstdint>
#include <string>

#include "recon/Vertex.h"

// Below this many usable points a run that built no face is put down to the point count: a
// seed's first fan needs a ring of neighbours, and the growth needs rings around those.
// (Clouds of 25 points can still give a mesh, so this names a cause, not a limit.)
inline constexpr int32_t FEWEST_GROWABLE_POINTS = 40;

// Says why a completed run built no face: one line without line end or file name.
//   records       the prepared records; the first usableCount are the points the
//                 construction worked on (near-duplicates and set-aside points excluded)
//   usableCount   number of those points
//   seedAccepted  whether some seed point got a first fan (the growth started at all)
// The checks run in this order, each in one pass over the points: all points on one line;
// all points exactly in one plane (telling whether a seed was accepted); fewer than
// FEWEST_GROWABLE_POINTS usable points; otherwise what the growth did (no seed accepted, or
// every face it built removed again by the clean-up). "Exactly" and "on" mean within 1e-9
// of the cloud's size.
std::string describeNoFace(const Vertex* records, int32_t usableCount, bool seedAccepted);
