// Command-line parsing with CLI11: options, their defaults and value checks, and the
// separation of the two modes.
#include "driver/CommandLine.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "driver/Settings.h"
#include "fanmesh/fanmesh.h"

namespace {

constexpr int EXIT_USAGE = 2;

// Options that only make sense with an input path.
const char* const PATH_MODE_OPTIONS[] = {
    "--output",
    "--binary",
    "--prepared-coordinates",
    "--side-files",
    "--config",
    "--all-components",
    "--unwanted-percent",
    "--max-layers",
    "--keep-inconsistent-fans",
    "--plain-ray-test",
    "--ray-reach",
    "--max-fan-tilt",
    "--open-rise-limit",
    "--hidden-in-wedges",
    "--plain-seed-check",
    "--seed-check-near-walls",
    "--withdraw-pinched-points",
    "--keep-fold-neighbours",
    "--fold-removal-may-split",
    "--keep-pieces-apart",
    "--stop-seeding-at-share",
    "--unreached-seeds-ignore-near-walls",
    "--withdraw-at-inner-chords",
    "--leave-points-out-after-folds",
    "--growth-flips-may-fold",
    "--open-adjacent-lids-only",
    "--join-pieces-once",
    "--join-near-borders-only",
    "--withdraw-fold-neighbours-on-thin-parts",
    "--quiet",
    "--report",
    "--allow-third-faces",
};

// A finite number of 0 or more (CLI::NonNegativeNumber lets "nan" through).
const CLI::Validator FINITE_NON_NEGATIVE(
    [](std::string& text) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0.0) {
            return "Value " + text + " is not a finite number of 0 or more";
        }
        return std::string();
    },
    "NONNEGATIVE");

} // namespace

int parseCommandLine(int argc, char** argv, CommandLine& line) {
    CLI::App app{"fanmesh: triangle mesh reconstruction from an unorganised point cloud.\n"
                 "Without INPUT it reads rawPoints.txt (and configuration.txt) in the current\n"
                 "folder and writes outOFFFile.ply there.",
                 "fanmesh"};
    app.set_version_flag("--version", std::string("fanmesh ") + fanmesh::version());
    app.add_option("INPUT", line.input,
                   "point file: .ply (ASCII or binary), or .xyz/.txt/.pts text with three "
                   "numbers per line")
        ->type_name("FILE");
    app.add_option("-o,--output", line.output,
                   "mesh file: .ply, .obj or .off (default: INPUT with .mesh.ply for its "
                   "extension, beside INPUT)")
        ->type_name("FILE");
    app.add_flag("--binary", line.binary, "write a .ply mesh as binary little endian");
    app.add_flag("--prepared-coordinates", line.preparedCoordinates,
                 "write the vertices centred, scaled and in the run's order instead of the "
                 "input's coordinates and order");
    app.add_option("--side-files", line.sideFileFolder,
                   "write the intermediate side files into this folder")
        ->type_name("DIR");
    app.add_option("--config", line.configFile,
                   "read the settings from a file in the configuration.txt format; options "
                   "given on the command line win")
        ->type_name("FILE");
    app.add_flag("--all-components", line.allComponents,
                 "keep every connected part of the surface, not only the largest");
    app.add_option("--unwanted-percent", line.unwantedPercent,
                   "drop a neighbour closer than this percentage of the distance to the "
                   "16th neighbour (default 5, or the --config file's value; 20 without "
                   "INPUT, which sets aside about a quarter of a randomly sampled surface and "
                   "lets the growth's neighbourhoods span a gap of 5 spacings between sheets)")
        ->check(CLI::Range(0, 100))
        ->type_name("N");
    app.add_option("--max-layers", line.maxLayers,
                   "stop growing once the layer number exceeds this (default 999)")
        ->check(CLI::Range(1, INT_MAX))
        ->type_name("N");
    app.add_flag("--keep-inconsistent-fans", line.keepInconsistentFans,
                 "keep points whose fan faces against their normal");
    CLI::Option* hitDistance =
        app.add_option("--ray-hit-distance", line.rayHitDistance,
                       "a point blocks a visibility ray of the surface growth only within X "
                       "times its neighbourhood radius of the ray (default 0.75 with INPUT, "
                       "0 without: any point in an index cell ahead blocks)")
            ->check(FINITE_NON_NEGATIVE);
    app.add_flag("--plain-ray-test", line.plainRayTest,
                 "with INPUT: any point in an index cell ahead blocks a visibility ray (the "
                 "same as --ray-hit-distance 0)")
        ->excludes(hitDistance);
    app.add_option("--ray-reach", line.rayReach,
                   "with INPUT: a point blocks a visibility ray of the surface growth only "
                   "within X times the neighbourhood radius of the ray's origin ahead of it, "
                   "so that surface far ahead (another strand, the far side of a part) does "
                   "not stop the growth of a thin part (default 2.5; 0: at any distance)")
        ->check(FINITE_NON_NEGATIVE);
    app.add_option("--max-fan-tilt", line.maxFanTilt,
                   "with INPUT: the surface growth refuses a fan whose normal turns more than "
                   "DEGREES from the normal of its point's neighbourhood while neighbours lie "
                   "off the fan on both sides, such as a lid across a thin tube that would "
                   "close the growing front off there (default 45; 0: no such limit)")
        ->type_name("DEGREES")
        ->check(FINITE_NON_NEGATIVE);
    app.add_option("--open-rise-limit", line.openRiseLimit,
                   "with INPUT: on the growth's reversed layers, whose visibility rays look "
                   "into the part, a fan is refused when an open neighbour outside it rises "
                   "more than DEG degrees from the fan's plane on the fan's outer side, as "
                   "beside a lid across a thin tube (default 0: no limit; 60 reaches more thin "
                   "legs, but close sheets and thin plates lose most of their points)")
        ->check(CLI::Range(0.0, MAX_OPEN_RISE_LIMIT));
    CLI::Option* underTriangles =
        app.add_flag("--hidden-under-triangles", line.hiddenUnderTriangles,
                     "the fan search counts a neighbour as hidden under a fan only when it lies "
                     "under one of the fan's triangles, on the side the surface faces, not "
                     "anywhere in a triangle's wedge (grows thin parts sampled by few points "
                     "much further; the default with INPUT)");
    app.add_flag("--hidden-in-wedges", line.hiddenInWedges,
                 "with INPUT: the fan search counts a neighbour anywhere in a fan triangle's "
                 "wedge as hidden (the rule without INPUT)")
        ->excludes(underTriangles);
    app.add_flag("--allow-third-faces", line.allowThirdFaces,
                 "with INPUT: hole closing fills every ear and point insertion splits every "
                 "covering triangle, even where that gives an edge of the mesh a third face "
                 "(the rule without INPUT)");
    app.add_flag("--plain-seed-check", line.plainSeedCheck,
                 "with INPUT: the check whether a seed point is enclosed on both sides ignores "
                 "the index cells that hold the seed or one of its neighbours, as without "
                 "INPUT (by default every point near its rays counts on its own, so that a "
                 "seed on a thin part does not start facing into the part)");
    app.add_flag("--seed-check-near-walls", line.seedCheckNearWalls,
                 "with INPUT: the strict seed check also counts points that lie in the "
                 "neighbourhood of one of the seed's neighbours (by default they never block, "
                 "so that a second sheet a few spacings away does not turn the seed round)");
    app.add_flag("--withdraw-pinched-points", line.withdrawPinchedPoints,
                 "with INPUT: the clean-up withdraws every fan around an open point whose "
                 "surrounding fans form several separate chains, as without INPUT (by default "
                 "such a point, where two patches of surface meet, is completed by bridging the "
                 "gaps between the chains when that gives no edge a third face)");
    app.add_flag("--keep-fold-neighbours", line.keepFoldNeighbours,
                 "with INPUT: the removal of fans that face against their point's normal "
                 "withdraws only those fans, not also the fans of all their fan neighbours, so "
                 "that on a thin part the holes left are small enough not to be closed as lids "
                 "across the part (more folded faces can remain)");
    app.add_flag("--fold-removal-may-split", line.foldRemovalMaySplit,
                 "with INPUT: the removal of fans that face against their point's normal "
                 "withdraws the fans of all their fan neighbours, as without INPUT, even where "
                 "that cuts the surface into pieces, and so does the withdrawal of fans around "
                 "open points after the growth (by default a fan whose withdrawal would cut the "
                 "surface apart, as a ring around a thin part, is kept)");
    app.add_flag("--keep-pieces-apart", line.keepPiecesApart,
                 "with INPUT: separate pieces of surface whose open borders face each other "
                 "across a narrow gap are left apart, as without INPUT (by default a border "
                 "point of one piece is joined to the nearest border point of the other when "
                 "that is sound, so that hole closing fills the gap instead of putting a lid "
                 "on each border; --fold-removal-may-split also leaves them apart)");
    app.add_flag("--stop-seeding-at-share", line.stopSeedingAtShare,
                 "with INPUT: seeding stops once the growths have completed 90% of the points, "
                 "as without INPUT (by default it goes on from points whose whole "
                 "neighbourhood no growth has reached, such as a thin leg whose mouth the "
                 "front could not pass, which would otherwise be closed off by a lid)");
    app.add_flag("--unreached-seeds-ignore-near-walls", line.unreachedSeedsIgnoreNearWalls,
                 "with INPUT: the check of a seed inside a region no growth has reached "
                 "ignores the points in the neighbourhoods of the seed's neighbours, like "
                 "every other seed's check (by default it counts them, so that a seed on a "
                 "thin leg the front could not enter, whose far wall lies that close, does "
                 "not start facing into the leg, where its growth stops at once)");
    app.add_flag("--withdraw-at-inner-chords", line.withdrawAtInnerChords,
                 "with INPUT: hole closing withdraws the fans at both ends of every edge "
                 "between two points of a hole's border that are not next to each other on it, "
                 "as without INPUT, even where that edge already has a face on each side, so "
                 "lies within the surface, and the withdrawal cuts the surface apart (by "
                 "default such a hole, as the gap round a thin leg joined to the body by a "
                 "narrow strip, is filled past that edge; --allow-third-faces also withdraws "
                 "them)");
    app.add_flag("--leave-points-out-after-folds", line.leavePointsOutAfterFolds,
                 "with INPUT: after the removal of fans facing against their point's normal, "
                 "no point is inserted, as without INPUT (by default every point then outside "
                 "the mesh that no fan holds, whether the removal left it out or not, is "
                 "inserted into the nearest triangle over it, unless that gives a fan more "
                 "triangles facing against its point's normal than it had)");
    app.add_flag("--growth-flips-may-fold", line.growthFlipsMayFold,
                 "with INPUT: the growth flips an edge even where the fan of a corner of the "
                 "flipped quadrilateral then holds a triangle facing away from the rest of "
                 "that fan, as without INPUT (by default such a flip is not made: on a thin "
                 "tube the corner gaining the new edge can lie round the curve, and the "
                 "clean-up withdraws a folded fan together with the fans around it)");
    app.add_flag("--open-adjacent-lids-only", line.openAdjacentLidsOnly,
                 "with INPUT: piece joining opens only the lids whose points have a point of "
                 "the other piece among their 8 nearest neighbours (by default, where that "
                 "leaves pieces apart, the lids are opened wider, step by step up to the whole "
                 "neighbourhood of 16, each step taken back unless it joins two pieces, so that "
                 "a leg whose growth stopped a few spacings below the body's lid over its "
                 "mouth is joined); --keep-pieces-apart joins nothing");
    app.add_flag("--join-pieces-once", line.joinPiecesOnce,
                 "with INPUT: piece joining runs only before hole closing (by default it runs "
                 "once more after the removal of folded fans, when the insertions have grown "
                 "each piece towards the others, so that a leg cut off a few spacings below "
                 "the body is joined; a pass that joins nothing changes nothing)");
    app.add_flag("--join-near-borders-only", line.joinNearBordersOnly,
                 "with INPUT: piece joining joins a border point only to a border point of "
                 "another piece among its 16 nearest neighbours (by default, where pieces of "
                 "32 or more points are still apart after that, a last round, taken back "
                 "unless it joins, also joins a border point to one of another such piece "
                 "beyond a band of points no fan holds, judging the side each border faces by "
                 "the completed points next to it, so that two sections of a thin tube whose "
                 "growths stopped a ring of points apart become one)");
    app.add_flag("--withdraw-fold-neighbours-on-thin-parts", line.withdrawFoldNeighboursOnThinParts,
                 "with INPUT: the removal of fans facing against their point's normal also "
                 "withdraws the fans of their fan neighbours where the point's neighbourhood "
                 "reaches round a thin part (holds completed points whose normals face "
                 "opposite ways), as everywhere else and as without INPUT (by default the "
                 "neighbours of such a fold are kept: the ring of fans withdrawn round a fold "
                 "on a tube a few spacings across would be closed as lids across the tube, "
                 "which cuts a section of it off); --keep-fold-neighbours keeps them everywhere");
    app.add_flag("-q,--quiet", line.quiet, "print neither progress nor the run report");
    app.add_option("--report", line.reportFile, "also write the run report as JSON to this file")
        ->type_name("FILE");
    app.add_option("--threads", line.threads,
                   "threads for the per-point work (default: one per core); the output is the "
                   "same for every count")
        ->check(CLI::Range(1, 1024))
        ->type_name("N");
    app.add_flag("--keep-side-files", line.keepSideFiles,
                 "without INPUT: keep the intermediate side files in the current folder");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : EXIT_USAGE;
    }
    // An empty path is a mistake (an unset shell variable, say), not an absent option.
    for (const char* name : {"INPUT", "--output", "--side-files", "--config", "--report"}) {
        const CLI::Option* option = app.get_option(name);
        if (option->count() > 0 && option->as<std::string>().empty()) {
            std::cerr << "fanmesh: " << name << ": the path is empty\n"
                      << "Run with --help for more information.\n";
            return EXIT_USAGE;
        }
    }
    line.allComponentsGiven = app.count("--all-components") > 0;
    line.unwantedPercentGiven = app.count("--unwanted-percent") > 0;
    line.maxLayersGiven = app.count("--max-layers") > 0;
    line.keepInconsistentFansGiven = app.count("--keep-inconsistent-fans") > 0;
    if (line.input.empty()) {
        for (const char* name : PATH_MODE_OPTIONS) {
            if (app.get_option(name)->count() > 0) {
                std::cerr << "fanmesh: " << name << " needs an INPUT file\n"
                          << "Run with --help for more information.\n";
                return EXIT_USAGE;
            }
        }
    } else if (line.keepSideFiles) {
        std::cerr << "fanmesh: --keep-side-files is for the run without INPUT; use "
                     "--side-files FOLDER\n"
                  << "Run with --help for more information.\n";
        return EXIT_USAGE;
    }
    return -1;
}
