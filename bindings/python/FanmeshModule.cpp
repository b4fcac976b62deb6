// The Python module "fanmesh": NumPy points in, NumPy faces and normals out, through the
// library call fanmesh::reconstruct. This layer only checks and converts arrays; the
// reconstruction itself is the library's, with the interpreter lock released while it runs.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fanmesh/fanmesh.h"

namespace py = pybind11;

namespace {

// Points as the library takes them: n x 3 float64 values, one row after the other.
using PointArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// What reconstruct_full returns: NumPy arrays over the library's result vectors.
struct PythonResult {
    py::array faces;                // (face count, 3) int32
    py::array normals;              // (point count, 3) float64
    py::object preparedCoordinates; // (point count, 3) float64, or None
    fanmesh::Report report;
    std::string noFaceReason; // why no face was built; empty when there are faces
};

// Shape of an array as Python writes it, e.g. "(5,)" or "(4, 2)".
std::string shapeText(const py::array& array) {
    std::string text = "(";
    for (py::ssize_t axis = 0; axis < array.ndim(); ++axis) {
        text += (axis > 0 ? ", " : "") + std::to_string(array.shape(axis));
    }
    return text + (array.ndim() == 1 ? ",)" : ")");
}

// Checks the points argument and returns it as C-contiguous float64 values.
//   points  an (n, 3) NumPy array of float64 or float32 values, C-contiguous or not, or any
//           object NumPy turns into one (a list of rows, for example)
// Returns the array itself when it is already C-contiguous native float64 (no copy), and one
// converted copy otherwise. Throws fanmesh::Error (raised as ValueError) for another number
// of dimensions or columns, or for values that are not float64 or float32.
PointArray pointArrayOf(const py::object& points) {
    const py::array array = py::isinstance<py::array>(points)
                                ? py::reinterpret_borrow<py::array>(points)
                                : py::array(py::module_::import("numpy").attr("asarray")(points));
    if (array.ndim() != 2 || array.shape(1) != 3) {
        throw fanmesh::Error("points must be an array of shape (n, 3), not " + shapeText(array));
    }
    const py::dtype type = array.dtype();
    if (type.kind() != 'f' || (type.itemsize() != 8 && type.itemsize() != 4)) {
        throw fanmesh::Error("points must hold float64 or float32 values, not " +
                             type.attr("name").cast<std::string>());
    }
    return PointArray::ensure(array);
}

// A (rows, 3) NumPy array that takes over the values without copying them.
template <typename T> py::array rowsOf(std::vector<T>&& values) {
    const auto rows = static_cast<py::ssize_t>(values.size() / 3);
    auto* owned = new std::vector<T>(std::move(values));
    const py::capsule owner(owned, [](void* held) { delete static_cast<std::vector<T>*>(held); });
    return py::array_t<T>({rows, py::ssize_t{3}}, owned->data(), owner);
}

// Runs the library call on checked points, without the interpreter lock.
fanmesh::Result reconstructPoints(const py::object& points, const fanmesh::Options& options) {
    const PointArray array = pointArrayOf(points);
    const double* xyz = array.data();
    const auto count = static_cast<std::size_t>(array.shape(0));
    py::gil_scoped_release unlocked;
    return fanmesh::reconstruct(xyz, count, options);
}

fanmesh::Options optionsOf(bool allComponents, int unwantedPercent, int maxLayers,
                           bool keepInconsistentFans, double rayHitDistance, double rayReach,
                           double maxFanTilt, double openRiseLimit, bool hiddenUnderTriangles,
                           bool allowThirdFaces, bool strictSeedCheck,
                           bool seedCheckIgnoresNearWalls, bool bridgePinchedPoints,
                           bool keepFoldNeighbours, bool foldRemovalKeepsPiecesJoined,
                           bool joinFacingPieces, bool seedUnreachedRegions,
                           bool fillPastInnerChords, bool reinsertAfterFoldRemoval,
                           bool unreachedSeedsCountNearWalls, bool refuseFoldingFlips,
                           bool openWiderLids, bool joinPiecesAfterFolds, bool joinAcrossBands,
                           bool keepFoldNeighboursOnThinParts, bool preparedCoordinates) {
    fanmesh::Options options;
    options.foldRemovalKeepsPiecesJoined = foldRemovalKeepsPiecesJoined;
    options.joinFacingPieces = joinFacingPieces;
    options.seedUnreachedRegions = seedUnreachedRegions;
    options.fillPastInnerChords = fillPastInnerChords;
    options.reinsertAfterFoldRemoval = reinsertAfterFoldRemoval;
    options.unreachedSeedsCountNearWalls = unreachedSeedsCountNearWalls;
    options.refuseFoldingFlips = refuseFoldingFlips;
    options.openWiderLids = openWiderLids;
    options.joinPiecesAfterFolds = joinPiecesAfterFolds;
    options.joinAcrossBands = joinAcrossBands;
    options.keepFoldNeighboursOnThinParts = keepFoldNeighboursOnThinParts;
    options.bridgePinchedPoints = bridgePinchedPoints;
    options.keepFoldNeighbours = keepFoldNeighbours;
    options.allowThirdFaces = allowThirdFaces;
    options.rayHitDistance = rayHitDistance;
    options.rayReach = rayReach;
    options.maxFanTilt = maxFanTilt;
    options.openRiseLimit = openRiseLimit;
    options.hiddenUnderTriangles = hiddenUnderTriangles;
    options.strictSeedCheck = strictSeedCheck;
    options.seedCheckIgnoresNearWalls = seedCheckIgnoresNearWalls;
    options.allComponents = allComponents;
    options.unwantedPercent = unwantedPercent;
    options.maxLayers = maxLayers;
    options.keepInconsistentFans = keepInconsistentFans;
    options.preparedCoordinates = preparedCoordinates;
    return options;
}

py::array reconstruct(const py::object& points, bool allComponents, int unwantedPercent,
                      int maxLayers, bool keepInconsistentFans, double rayHitDistance,
                      double rayReach, double maxFanTilt, double openRiseLimit,
                      bool hiddenUnderTriangles, bool allowThirdFaces, bool strictSeedCheck,
                      bool seedCheckIgnoresNearWalls, bool bridgePinchedPoints,
                      bool keepFoldNeighbours, bool foldRemovalKeepsPiecesJoined,
                      bool joinFacingPieces, bool seedUnreachedRegions, bool fillPastInnerChords,
                      bool reinsertAfterFoldRemoval, bool unreachedSeedsCountNearWalls,
                      bool refuseFoldingFlips, bool openWiderLids, bool joinPiecesAfterFolds,
                      bool joinAcrossBands, bool keepFoldNeighboursOnThinParts) {
    const fanmesh::Options options = optionsOf(
        allComponents, unwantedPercent, maxLayers, keepInconsistentFans, rayHitDistance, rayReach,
        maxFanTilt, openRiseLimit, hiddenUnderTriangles, allowThirdFaces, strictSeedCheck,
        seedCheckIgnoresNearWalls, bridgePinchedPoints, keepFoldNeighbours,
        foldRemovalKeepsPiecesJoined, joinFacingPieces, seedUnreachedRegions, fillPastInnerChords,
        reinsertAfterFoldRemoval, unreachedSeedsCountNearWalls, refuseFoldingFlips, openWiderLids,
        joinPiecesAfterFolds, joinAcrossBands, keepFoldNeighboursOnThinParts, false);
    return rowsOf(reconstructPoints(points, options).faces);
}

PythonResult reconstructFull(const py::object& points, bool allComponents, int unwantedPercent,
                             int maxLayers, bool keepInconsistentFans, double rayHitDistance,
                             double rayReach, double maxFanTilt, double openRiseLimit,
                             bool hiddenUnderTriangles, bool allowThirdFaces, bool strictSeedCheck,
                             bool seedCheckIgnoresNearWalls, bool bridgePinchedPoints,
                             bool keepFoldNeighbours, bool foldRemovalKeepsPiecesJoined,
                             bool joinFacingPieces, bool seedUnreachedRegions,
                             bool fillPastInnerChords, bool reinsertAfterFoldRemoval,
                             bool unreachedSeedsCountNearWalls, bool refuseFoldingFlips,
                             bool openWiderLids, bool joinPiecesAfterFolds, bool joinAcrossBands,
                             bool keepFoldNeighboursOnThinParts, bool preparedCoordinates) {
    const fanmesh::Options options = optionsOf(
        allComponents, unwantedPercent, maxLayers, keepInconsistentFans, rayHitDistance, rayReach,
        maxFanTilt, openRiseLimit, hiddenUnderTriangles, allowThirdFaces, strictSeedCheck,
        seedCheckIgnoresNearWalls, bridgePinchedPoints, keepFoldNeighbours,
        foldRemovalKeepsPiecesJoined, joinFacingPieces, seedUnreachedRegions, fillPastInnerChords,
        reinsertAfterFoldRemoval, unreachedSeedsCountNearWalls, refuseFoldingFlips, openWiderLids,
        joinPiecesAfterFolds, joinAcrossBands, keepFoldNeighboursOnThinParts, preparedCoordinates);
    fanmesh::Result result = reconstructPoints(points, options);
    PythonResult full;
    full.faces = rowsOf(std::move(result.faces));
    full.normals = rowsOf(std::move(result.normals));
    full.preparedCoordinates = preparedCoordinates
                                   ? py::object(rowsOf(std::move(result.preparedCoordinates)))
                                   : py::none();
    full.report = result.report;
    full.noFaceReason = std::move(result.noFaceReason);
    return full;
}

std::string reportText(const fanmesh::Report& report) {
    return "Report(points_read=" + std::to_string(report.pointsRead) +
           ", points_used=" + std::to_string(report.pointsUsed) +
           ", faces=" + std::to_string(report.faces) +
           ", components=" + std::to_string(report.components) +
           ", boundary_loops=" + std::to_string(report.boundaryLoops) +
           ", non_manifold_edges=" + std::to_string(report.nonManifoldEdges) + ")";
}

constexpr const char* RECONSTRUCT_DOC = R"(Reconstructs a triangle mesh over a point cloud.

points: (n, 3) array of float64 or float32 (any memory layout; C-contiguous float64 is used
    without a copy), at least 17 points.
all_components: keep every connected part of the surface, not only the largest.
unwanted_percent: a neighbour closer to a point than this percentage of the distance to the
    point's 16th nearest neighbour is dropped as a near-duplicate; 0 to 100, 0 drops nothing
    (default 5; the folder run's 20 drops about a quarter of a randomly sampled surface).
max_layers: the construction stops once its layer number exceeds this (at least 1).
keep_inconsistent_fans: keep points whose fan holds a triangle facing against their normal.
ray_hit_distance: a point blocks a visibility ray of the surface growth only within this many
    of its neighbourhood radii of the ray; 0: any point in an index cell ahead blocks
    (a finite number, 0 or more).
ray_reach: with a positive ray_hit_distance, a point blocks a visibility ray only within this
    many neighbourhood radii of the ray's origin ahead of it, so that surface far ahead (another
    strand, the far side of a part) does not stop the growth of a thin part; 0: at any
    distance (a finite number, 0 or more).
max_fan_tilt: the surface growth refuses a fan whose normal turns more than this many degrees
    from the normal of its point's neighbourhood while neighbours lie off the fan on both
    sides, such as a lid across a thin tube that would close the growing front off there; 0:
    no such limit (a finite number, 0 or more).
open_rise_limit: on the growth's reversed layers, whose visibility rays look into the part, a
    fan is refused when an open neighbour outside it rises more than this many degrees from
    the fan's plane on the fan's outer side, as the wall of a thin tube does beside a lid
    across its mouth; 0: no such limit (0 to 90).
hidden_under_triangles: the fan search counts a neighbour as hidden under a fan only when it
    lies under one of the fan's triangles, on the side the surface faces (grows thin parts
    sampled by few points further); False: anywhere in a triangle's wedge.
allow_third_faces: hole closing fills every ear and point insertion splits every covering
    triangle, even where that gives an edge of the mesh a third face; False (the default):
    such an ear is left open and such a point left out.
strict_seed_check: with a positive ray_hit_distance, the check whether a seed point is
    enclosed on both sides judges every point near its rays on its own, also in the index
    cells holding the seed or one of its neighbours (so a seed on a thin part does not start
    facing into the part); False: such cells never block.
seed_check_ignores_near_walls: under strict_seed_check, a point in the neighbourhood of one
    of the seed's neighbours never blocks the seed's rays, so a second sheet a few spacings
    away does not turn the seed round; False: such points block like any other.
bridge_pinched_points: the clean-up completes an open point where two patches of surface meet
    (its surrounding fans in several separate chains) by bridging the gaps between the
    chains, when that gives no edge a third face, and otherwise withdraws only the fans of
    the smaller chains; False: every fan around such a point is withdrawn.
keep_fold_neighbours: removing fans that face against their point's normal withdraws only
    those fans, not also the fans of all their fan neighbours (False), whose wider holes
    on thin parts sampled by few points are closed as lids across the part; more folded
    faces can remain.
fold_removal_keeps_pieces_joined: fold removal and the open-point withdrawal after the
    growth keep a fan whose withdrawal would cut the surface into separate pieces (a ring
    around a thin part); False: such fans go too.
join_facing_pieces: before hole closing, pieces of surface that meet without joining (lids
    of separate growths facing each other across a gap of about one spacing) are opened
    and joined, a piece facing the other way being turned round; False: they are left
    apart.
seed_unreached_regions: once the growths have completed 90% of the points, seeding goes on
    from points whose whole neighbourhood no growth has reached (a thin leg whose mouth the
    front could not pass), instead of leaving such a part to be closed off by a lid; False:
    seeding stops there.
fill_past_inner_chords: hole closing fills a hole past an edge between two of its border
    points, not next to each other on the border, that already has a face on each side and
    so lies within the surface (a narrow strip joining a thin leg to the body), where
    withdrawing the fans at its ends would cut the surface apart; False: they are withdrawn.
    Has no effect with allow_third_faces.
reinsert_after_fold_removal: after the removal of fans that face against their point's
    normal, every point then outside the mesh that no fan holds (whether the removal left
    it out or not) is inserted into the nearest triangle over it, unless that gives a fan
    more triangles facing against its point's normal than it had; False: no point is
    inserted then.
unreached_seeds_count_near_walls: under seed_check_ignores_near_walls, the check of a seed
    inside a region no growth has reached still counts the points in the neighbourhoods of
    its neighbours (the far wall of a thin leg the front could not enter lies that close;
    ignoring it lets the seed face into the leg, where its growth stops at once); False:
    they are ignored as for every other seed.
refuse_folding_flips: the growth does not flip an edge where the fan of a corner of the
    flipped quadrilateral would then hold a triangle facing away from the rest of that fan
    by clearly more than a right angle (a fold, as a corner round the curve of a thin tube
    gets) where it holds no such triangle before; False: such flips are made.
open_wider_lids: under join_facing_pieces, where opening the lids whose points have a point
    of another piece among their 8 nearest neighbours leaves pieces apart, the lids are
    opened wider, step by step up to all 16 neighbours, each step taken back exactly unless
    it joins two pieces (a leg whose own growth stopped a few spacings below the body's lid
    over its mouth); False: only the first opening.
join_pieces_after_folds: under join_facing_pieces, piece joining runs once more after the
    removal of folded fans, when the insertions have grown each piece towards the others
    (a leg cut off a few spacings below the body), each join followed by hole closing and
    reinsertion; a pass that joins nothing changes nothing. False: it runs once, before
    hole closing.
join_across_bands: under join_facing_pieces, where pieces of 32 or more points are still
    apart after the lid openings, a last round, taken back exactly unless it joins, also
    joins a border point to a border point of another such piece beyond a band of points no
    fan holds, judging the side each border faces by the completed points next to it (two
    sections of a thin tube whose growths stopped a ring of points apart); False: no such
    round.
keep_fold_neighbours_on_thin_parts: the removal of fans that face against their point's
    normal keeps the fans of their fan neighbours where the point's neighbourhood reaches
    round a thin part (holds completed points whose normals face opposite ways), whose
    withdrawal would open a ring round a tube a few spacings across that is then closed as
    lids across it; elsewhere they are withdrawn. False: they are withdrawn there too.

Returns the faces: a (face count, 3) int32 array of indices into points, the same triangles
in the same order as the command line's mesh file. Raises ValueError (fanmesh.Error) for
points of the wrong shape or type, non-finite or out-of-range coordinates, fewer than 17
points, points that all coincide, or an option outside its range; the message is the one the command line prints.
The interpreter lock is released while the mesh is built.)";

constexpr const char* RECONSTRUCT_FULL_DOC =
    R"(Reconstructs a triangle mesh and returns all of the run's results.

Takes the arguments of reconstruct, and prepared_coordinates: also return the points
centred on their bounding box and scaled to a mean nearest-neighbour distance of 1.
Returns a Result with faces ((face count, 3) int32), normals ((n, 3) float64, the unit normal
estimated for every input point, zero for a point dropped as a near-duplicate),
prepared_coordinates ((n, 3) float64, or None when not asked for), report (a Report) and
no_face_reason (why no face was built, when faces is empty; "" otherwise).
Raises ValueError (fanmesh.Error) as reconstruct does.)";

} // namespace

PYBIND11_MODULE(fanmesh, module) {
    module.doc() = "Triangle mesh reconstruction from an unorganised 3-D point cloud.";
    module.attr("__version__") = fanmesh::version();
    py::register_exception<fanmesh::Error>(module, "Error", PyExc_ValueError);

    py::class_<fanmesh::Report>(module, "Report", "Figures of a finished reconstruction.")
        .def_readonly("points_read", &fanmesh::Report::pointsRead, "input points")
        .def_readonly("points_used", &fanmesh::Report::pointsUsed,
                      "input points that are a corner of at least one face")
        .def_readonly("faces", &fanmesh::Report::faces, "triangles")
        .def_readonly("components", &fanmesh::Report::components, "connected parts of the mesh")
        .def_readonly("boundary_loops", &fanmesh::Report::boundaryLoops,
                      "closed chains of edges that have only one face")
        .def_readonly("non_manifold_edges", &fanmesh::Report::nonManifoldEdges,
                      "edges shared by more than two faces")
        .def_readonly("preparation_seconds", &fanmesh::Report::preparationSeconds,
                      "wall-clock time of neighbours, normals and scaling")
        .def_readonly("construction_seconds", &fanmesh::Report::constructionSeconds,
                      "wall-clock time of growing and cleaning the surface")
        .def("__repr__", &reportText);

    py::class_<PythonResult>(module, "Result", "The mesh over the input points.")
        .def_readonly("faces", &PythonResult::faces)
        .def_readonly("normals", &PythonResult::normals)
        .def_readonly("prepared_coordinates", &PythonResult::preparedCoordinates)
        .def_readonly("report", &PythonResult::report)
        .def_readonly("no_face_reason", &PythonResult::noFaceReason);

    const fanmesh::Options defaults;
    module.def(
        "reconstruct", &reconstruct, RECONSTRUCT_DOC, py::arg("points"), py::kw_only(),
        py::arg("all_components") = defaults.allComponents,
        py::arg("unwanted_percent") = defaults.unwantedPercent,
        py::arg("max_layers") = defaults.maxLayers,
        py::arg("keep_inconsistent_fans") = defaults.keepInconsistentFans,
        py::arg("ray_hit_distance") = defaults.rayHitDistance,
        py::arg("ray_reach") = defaults.rayReach, py::arg("max_fan_tilt") = defaults.maxFanTilt,
        py::arg("open_rise_limit") = defaults.openRiseLimit,
        py::arg("hidden_under_triangles") = defaults.hiddenUnderTriangles,
        py::arg("allow_third_faces") = defaults.allowThirdFaces,
        py::arg("strict_seed_check") = defaults.strictSeedCheck,
        py::arg("seed_check_ignores_near_walls") = defaults.seedCheckIgnoresNearWalls,
        py::arg("bridge_pinched_points") = defaults.bridgePinchedPoints,
        py::arg("keep_fold_neighbours") = defaults.keepFoldNeighbours,
        py::arg("fold_removal_keeps_pieces_joined") = defaults.foldRemovalKeepsPiecesJoined,
        py::arg("join_facing_pieces") = defaults.joinFacingPieces,
        py::arg("seed_unreached_regions") = defaults.seedUnreachedRegions,
        py::arg("fill_past_inner_chords") = defaults.fillPastInnerChords,
        py::arg("reinsert_after_fold_removal") = defaults.reinsertAfterFoldRemoval,
        py::arg("unreached_seeds_count_near_walls") = defaults.unreachedSeedsCountNearWalls,
        py::arg("refuse_folding_flips") = defaults.refuseFoldingFlips,
        py::arg("open_wider_lids") = defaults.openWiderLids,
        py::arg("join_pieces_after_folds") = defaults.joinPiecesAfterFolds,
        py::arg("join_across_bands") = defaults.joinAcrossBands,
        py::arg("keep_fold_neighbours_on_thin_parts") = defaults.keepFoldNeighboursOnThinParts);
    module.def(
        "reconstruct_full", &reconstructFull, RECONSTRUCT_FULL_DOC, py::arg("points"),
        py::kw_only(), py::arg("all_components") = defaults.allComponents,
        py::arg("unwanted_percent") = defaults.unwantedPercent,
        py::arg("max_layers") = defaults.maxLayers,
        py::arg("keep_inconsistent_fans") = defaults.keepInconsistentFans,
        py::arg("ray_hit_distance") = defaults.rayHitDistance,
        py::arg("ray_reach") = defaults.rayReach, py::arg("max_fan_tilt") = defaults.maxFanTilt,
        py::arg("open_rise_limit") = defaults.openRiseLimit,
        py::arg("hidden_under_triangles") = defaults.hiddenUnderTriangles,
        py::arg("allow_third_faces") = defaults.allowThirdFaces,
        py::arg("strict_seed_check") = defaults.strictSeedCheck,
        py::arg("seed_check_ignores_near_walls") = defaults.seedCheckIgnoresNearWalls,
        py::arg("bridge_pinched_points") = defaults.bridgePinchedPoints,
        py::arg("keep_fold_neighbours") = defaults.keepFoldNeighbours,
        py::arg("fold_removal_keeps_pieces_joined") = defaults.foldRemovalKeepsPiecesJoined,
        py::arg("join_facing_pieces") = defaults.joinFacingPieces,
        py::arg("seed_unreached_regions") = defaults.seedUnreachedRegions,
        py::arg("fill_past_inner_chords") = defaults.fillPastInnerChords,
        py::arg("reinsert_after_fold_removal") = defaults.reinsertAfterFoldRemoval,
        py::arg("unreached_seeds_count_near_walls") = defaults.unreachedSeedsCountNearWalls,
        py::arg("refuse_folding_flips") = defaults.refuseFoldingFlips,
        py::arg("open_wider_lids") = defaults.openWiderLids,
        py::arg("join_pieces_after_folds") = defaults.joinPiecesAfterFolds,
        py::arg("join_across_bands") = defaults.joinAcrossBands,
        py::arg("keep_fold_neighbours_on_thin_parts") = defaults.keepFoldNeighboursOnThinParts,
        py::arg("prepared_coordinates") = false);
}
