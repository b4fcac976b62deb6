// fanmesh: triangle mesh reconstruction from an unorganised 3-D point cloud, as a library.
//
// One call turns points held in memory into a triangle mesh over those same points:
//
//   #include <fanmesh/fanmesh.h>
//   std::vector<double> xyz = ...;                        // n points, x y z after each other
//   fanmesh::Result mesh = fanmesh::reconstruct(xyz.data(), xyz.size() / 3);
//   // mesh.faces[3 * f + k]: corner k of face f, an index into the input points
//
// The call reads and writes no file, prints nothing and keeps no state between calls: the
// same points and options give the same result on every call, from any thread, and the
// same faces as the command line `fanmesh INPUT -o OUTPUT` on the same points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace fanmesh {

// Version of the library, "major.minor.patch".
const char* version();

// Options of a reconstruction; each field is named after the command-line option that sets
// it, and the defaults are the command line's.
struct Options {
    // --all-components: keep every connected part of the surface (by default only the
    // largest part is kept).
    bool allComponents = false;
    // --unwanted-percent N: a neighbour of a point is dropped as a near-duplicate when it lies
    // closer than N percent of the distance to the point's 16th nearest neighbour; 0 to 100,
    // 0 drops nothing. The folder run's 20 drops about a quarter of a randomly sampled
    // surface, and the neighbourhoods of the rest then reach across a gap of 5 spacings
    // (two close sheets, a thin tube), where the growth builds walls across it.
    int unwantedPercent = 5;
    // --max-layers N: the construction stops once its layer number exceeds N (at least 1).
    int maxLayers = 999;
    // --keep-inconsistent-fans: keep points whose fan holds a triangle facing against the
    // point's normal (by default they are removed in a final pass).
    bool keepInconsistentFans = false;
    // --ray-hit-distance X: a point blocks a visibility ray of the surface growth only within
    // X times its neighbourhood radius of the ray; 0 (--plain-ray-test): any point in an
    // index cell ahead of the ray blocks it, which refuses most fans on thin parts sampled
    // by few points. A finite number, 0 or more.
    double rayHitDistance = 0.75;
    // --ray-reach X: with a positive rayHitDistance, a point blocks a visibility ray only
    // within X times the neighbourhood radius of the ray's origin ahead of the origin, so
    // that surface far ahead (another strand of a knot, the body above a leg) does not stop
    // the growth of a thin part; 0: at any distance. A finite number, 0 or more.
    double rayReach = 2.5;
    // --max-fan-tilt DEGREES: the surface growth refuses a fan whose normal turns more than
    // this many degrees from the normal of its point's neighbourhood while neighbours lie
    // off the fan on both sides, such as a lid across a thin tube that would close the
    // growing front off there; 0: no such limit. A finite
    // number, 0 or more (90 or more never refuses).
    double maxFanTilt = 45.0;
    // --open-rise-limit DEG: on the growth's reversed layers, whose visibility rays look into
    // the part, a fan is refused when an open neighbour outside it rises more than DEG
    // degrees from the fan's plane on the fan's outer side (the side the finished fans
    // around the point face), as the tube's wall does beside a lid across the mouth of a
    // thin tube; 0 (the default): no such limit. From 0 to 90. 60 reaches more thin legs
    // under a body, but close parallel sheets and thin plates lose most of their points.
    double openRiseLimit = 0.0;
    // --hidden-under-triangles: the fan search counts a neighbour as hidden under a fan only
    // when it lies under one of the fan's triangles, on the side the surface faces; false
    // (--hidden-in-wedges): anywhere in a triangle's unbounded wedge, on the side the fan
    // being built faces, which stops the growth on thin parts sampled by few points.
    bool hiddenUnderTriangles = true;
    // --allow-third-faces: the final clean-up may give an edge of the mesh a third face. By
    // default hole closing leaves open an ear whose fan would do so (an open rim stays open
    // rather than get a folded lid), and point insertion leaves a point out rather than split
    // a triangle that one of its completed corners' fans cannot split.
    bool allowThirdFaces = false;
    // With a positive rayHitDistance, the check whether a seed point is enclosed on both
    // sides judges every point near its rays on its own, also in the index cells holding the
    // seed or one of its neighbours; false (--plain-seed-check): such cells never block, so
    // on a thin part a seed can start with its normal pointing into the part, and its patch
    // then cannot join the patches grown from other seeds.
    bool strictSeedCheck = true;
    // Under strictSeedCheck: a point in the neighbourhood of one of the seed's neighbours
    // never blocks the seed's rays, so a wall that close (a second sheet a few spacings
    // away) does not turn the seed round, while the far side of a tube still does; false
    // (--seed-check-near-walls): such points block like any other, and seeds between close
    // sheets start facing outward, from where the growth often stalls.
    bool seedCheckIgnoresNearWalls = true;
    // Where two patches of surface meet, an open point can be left with its surrounding fans
    // in several separate chains. The clean-up completes such a point by bridging the gaps
    // between the chains, when the chains lie side by side around it, the gaps are free and
    // no edge gets a third face; false (--withdraw-pinched-points): every fan around it is
    // withdrawn, which can cut the seam and leave the patches as separate parts.
    bool bridgePinchedPoints = true;
    // Removing fans that face against their point's normal (unless keepInconsistentFans)
    // also withdraws the fans of all their fan neighbours; true (--keep-fold-neighbours):
    // only those fans go. On thin parts sampled by few points the wider holes of the
    // default are closed as lids across the part and cut the surface into pieces; the
    // narrower ones leave more folded faces behind, also on well-sampled shapes.
    bool keepFoldNeighbours = false;
    // Fold removal (and the open-point withdrawal and hole closing it runs), and the
    // open-point withdrawal after the growth, keep a fan whose withdrawal would cut the
    // surface into separate pieces of at least 32 points (a ring around a thin part, whose
    // two rims would be closed as lids and one side dropped by the largest-component pass);
    // false (--fold-removal-may-split): such fans go too.
    bool foldRemovalKeepsPiecesJoined = true;
    // Separate seeds can grow separate pieces of a thin part whose open borders meet
    // across a gap of about one spacing without joining. Before hole closing, a border
    // point of one piece is joined to the nearest border point of another among its
    // neighbours, when the new triangles face the way both pieces face, cover no point and
    // give no edge a third face; hole closing then fills the gap between the two borders
    // instead of putting a lid on each. false (--keep-pieces-apart): they are left apart.
    bool joinFacingPieces = true;
    // Seeding goes on after the growths have completed 90% of the points, from points whose
    // whole neighbourhood no growth has reached, so that a part the front never entered (a
    // thin leg whose mouth it could not pass) is grown from a seed of its own instead of
    // being closed off by a lid; false (--stop-seeding-at-share): seeding stops there.
    bool seedUnreachedRegions = true;
    // Under seedUnreachedRegions and seedCheckIgnoresNearWalls: the check of a seed inside
    // an unreached region still counts the points in the neighbourhoods of its neighbours.
    // Such a region is a thin part the front could not enter, whose far wall lies that
    // close; ignoring it lets the seed face into the part, where its growth stops at once
    // and the part is closed off by a lid; false (--unreached-seeds-ignore-near-walls):
    // they are ignored as for every other seed.
    bool unreachedSeedsCountNearWalls = true;
    // Hole closing fills a hole past an edge between two of its border points that are not
    // next to each other on the border when that edge already has a face on each side, so
    // lies within the surface, and withdrawing the fans at its ends would cut the surface
    // apart (as a narrow strip joining a thin leg to the body, round which the border of
    // the gap at the leg's top runs: the leg was cut off, closed by lids and dropped);
    // false (--withdraw-at-inner-chords): they are withdrawn. Needs allowThirdFaces false.
    bool fillPastInnerChords = true;
    // The removal of fans that face against their point's normal leaves their points, and
    // those of the fan neighbours withdrawn with them, out of the re-closed holes. After it,
    // each point outside the mesh that no fan holds (those and any other) is inserted into
    // the nearest triangle over it, and the insertion is taken back when a fan it changed
    // would then hold more triangles facing against its point's normal (folds) than before;
    // false (--leave-points-out-after-folds): no point is inserted then.
    bool reinsertAfterFoldRemoval = true;
    // The growth refuses an edge flip after which the fan of a completed corner of the
    // flipped quadrilateral would hold a triangle facing away from the rest of the fan by
    // clearly more than a right angle (a fold) where it holds no such triangle before, as a
    // corner on the far side of a thin tube gets; the clean-up withdraws folds together
    // with the fans around them, and on a thin part that cut off and lost its end. false
    // (--growth-flips-may-fold): such flips are made.
    bool refuseFoldingFlips = true;
    // Under joinFacingPieces: where opening the lids whose points have a point of another
    // piece among their 8 nearest neighbours leaves pieces apart, the lids are opened wider,
    // step by step up to all 16 neighbours, each step taken back exactly unless it joins two
    // pieces (a leg whose own growth stopped a few spacings below the body's lid over its
    // mouth); false (--open-adjacent-lids-only): only the first opening.
    bool openWiderLids = true;
    // Under joinFacingPieces: piece joining runs once more after the removal of folded
    // fans, when the insertions have grown each piece, and joins pieces that were still
    // too far apart for the first join (a leg cut off below the body); each join is
    // followed by hole closing and reinsertion, and a pass that joins nothing is taken back
    // exactly. false (--join-pieces-once): piece joining runs once, before hole closing.
    bool joinPiecesAfterFolds = true;
    // Under joinFacingPieces: where pieces of 32 or more points are still apart after the
    // lid openings, a last round, taken back exactly unless it joins, also joins a border
    // point to a border point of another such piece beyond a band of points no fan holds,
    // judging the side each border faces by the completed points next to it (two sections
    // of a thin tube whose growths stopped a ring of points apart); false
    // (--join-near-borders-only): no such round.
    bool joinAcrossBands = true;
    // The removal of fans that face against their point's normal (folds) withdraws the fans
    // of their fan neighbours too, except round a fold whose point's neighbourhood reaches
    // round a thin part (holds completed points whose normals face opposite ways, more than
    // about 120 degrees apart): there the ring withdrawn would run round a tube a few
    // spacings across and be closed as lids across it, cutting a section off. false
    // (--withdraw-fold-neighbours-on-thin-parts): they are withdrawn there too.
    bool keepFoldNeighboursOnThinParts = true;
    // --prepared-coordinates: also return the prepared (centred and scaled) coordinates.
    bool preparedCoordinates = false;
    // --threads N: threads for the per-point work; 0 or less means one per core. The result
    // is the same for every count.
    int threads = 0;
};

// Figures of a finished reconstruction.
struct Report {
    int64_t pointsRead = 0;         // input points
    int64_t pointsUsed = 0;         // input points that are a corner of at least one face
    int64_t faces = 0;              // triangles
    int64_t components = 0;         // connected parts of the mesh
    int64_t boundaryLoops = 0;      // closed chains of edges that have only one face
    int64_t nonManifoldEdges = 0;   // edges shared by more than two faces
    double preparationSeconds = 0;  // wall-clock time of neighbours, normals and scaling
    double constructionSeconds = 0; // wall-clock time of growing and cleaning the surface
};

// The mesh over the input points.
struct Result {
    // 3 x face-count indices into the input points, one triangle after the other, in the
    // order and orientation the mesh file of the command line has.
    std::vector<int32_t> faces;
    // 3 x point-count values: the unit normal the run estimated for every input point, in
    // the input's order; (0, 0, 0) for a point that never got one.
    std::vector<double> normals;
    // 3 x point-count values when Options::preparedCoordinates is set (empty otherwise): every
    // input point, in the input's order, centred on its bounding box and scaled so that the
    // mean distance to the nearest neighbour is 1.
    std::vector<double> preparedCoordinates;
    Report report;
    // When faces is empty: why no face could be built (for example "all 60 usable points lie
    // on one line"); empty otherwise.
    std::string noFaceReason;
};

// The error of a reconstruction that could not be done; what() is the message the command
// line prints for the same points (without the file name).
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reconstructs a triangle mesh over points.
//   xyz      pointCount x 3 doubles, x y z of one point after the other (contiguous);
//            may be null when pointCount is 0
//   count    number of points
//   options  the run's options (defaults as on the command line)
// Returns the faces over the input points, the per-point normals and the report figures.
// Throws Error when an option is outside its range (unwantedPercent 0 to 100, maxLayers at
// least 1, rayHitDistance finite and not negative), there are fewer than 17 points, a coordinate is
// not finite or beyond the single-precision range, more than 2^31 - 1 points are given, or all
// points coincide. A run that completes without any face is not an error: Result::faces is then
// empty and Result::noFaceReason says why.
Result reconstruct(const double* xyz, std::size_t count, const Options& options = {});

// The same for a span of pointCount x 3 doubles; a span whose size is not a multiple of 3
// throws Error.
Result reconstruct(std::span<const double> xyz, const Options& options = {});

} // namespace fanmesh
