// CommandLine: the program's arguments. Without an input path the program runs in the
// current folder as it always has (rawPoints.txt in, outOFFFile.ply out); with one it runs
// in path mode on that file.
#pragma once

#include <string>

struct CommandLine {
    std::string input;  // path mode when not empty
    std::string output; // empty: the input's name with ".mesh.ply" for its extension
    bool binary = false;
    bool preparedCoordinates = false;
    std::string sideFileFolder; // path mode: write the side files here when not empty
    std::string configFile;
    // The four settings; each *Given tells whether the command line named it (it then wins
    // over the settings file).
    bool allComponents = false;
    bool allComponentsGiven = false;
    int unwantedPercent = 20;
    bool unwantedPercentGiven = false;
    int maxLayers = 999;
    bool maxLayersGiven = false;
    bool keepInconsistentFans = false;
    bool keepInconsistentFansGiven = false;
    // --ray-hit-distance X (< 0: not given, the mode's default) and --plain-ray-test.
    double rayHitDistance = -1.0;
    bool plainRayTest = false;
    // --ray-reach X (< 0: not given, the mode's default).
    double rayReach = -1.0;
    // --max-fan-tilt DEGREES (< 0: not given, the mode's default).
    double maxFanTilt = -1.0;
    // --open-rise-limit DEG (< 0: not given, the mode's default).
    double openRiseLimit = -1.0;
    // --hidden-under-triangles (the default with INPUT; off without) and --hidden-in-wedges.
    bool hiddenUnderTriangles = false;
    bool hiddenInWedges = false;
    // --allow-third-faces: with INPUT, the clean-up may give an edge a third face (the rule
    // without INPUT).
    bool allowThirdFaces = false;
    // --plain-seed-check: with INPUT, the seed check's rays skip the cells holding the seed
    // or one of its neighbours (the rule without INPUT).
    bool plainSeedCheck = false;
    // --seed-check-near-walls: with INPUT, the strict seed check also counts a wall that
    // lies within the neighbourhood of one of the seed's neighbours.
    bool seedCheckNearWalls = false;
    // --withdraw-pinched-points: with INPUT, the clean-up withdraws every fan around an open
    // point whose surrounding fans form several separate chains (the rule without INPUT).
    bool withdrawPinchedPoints = false;
    // --keep-fold-neighbours: with INPUT, inconsistent-fan removal withdraws only the folded
    // fans, not the fans of their fan neighbours as well (the rule without INPUT).
    bool keepFoldNeighbours = false;
    // --fold-removal-may-split: with INPUT, inconsistent-fan removal and the open-point
    // withdrawal after the growth withdraw fans even where that cuts the surface apart (the
    // rule without INPUT).
    bool foldRemovalMaySplit = false;
    // --keep-pieces-apart: with INPUT, pieces of surface whose open borders face each other
    // are not joined before hole closing (the rule without INPUT).
    bool keepPiecesApart = false;
    // --stop-seeding-at-share: with INPUT, seeding stops once the growths have completed 90%
    // of the points (the rule without INPUT), even where a part was never reached.
    bool stopSeedingAtShare = false;
    // --unreached-seeds-ignore-near-walls: with INPUT, the seed check of a seed inside an
    // unreached region ignores the neighbours of its neighbours like every other seed's.
    bool unreachedSeedsIgnoreNearWalls = false;
    // --withdraw-at-inner-chords: with INPUT, hole closing withdraws the fans at both ends of
    // an edge between two non-adjacent border points of a hole even where that edge lies
    // within the surface and the withdrawal cuts it apart (the rule without INPUT).
    bool withdrawAtInnerChords = false;
    // --leave-points-out-after-folds: with INPUT, no point outside the mesh is inserted
    // after inconsistent-fan removal (the rule without INPUT).
    bool leavePointsOutAfterFolds = false;
    // --growth-flips-may-fold: with INPUT, the growth makes edge flips that fold the fan of a
    // completed corner (the rule without INPUT).
    bool growthFlipsMayFold = false;
    // --open-adjacent-lids-only: with INPUT, piece joining opens only the lids whose points
    // have a point of another piece among their 8 nearest neighbours.
    bool openAdjacentLidsOnly = false;
    // --join-pieces-once: with INPUT, piece joining runs only before hole closing, not
    // again after fold removal.
    bool joinPiecesOnce = false;
    // --join-near-borders-only: with INPUT, piece joining joins a border point only to a
    // border point of another piece among its nearest neighbours, never across a band.
    bool joinNearBordersOnly = false;
    // --withdraw-fold-neighbours-on-thin-parts: with INPUT, inconsistent-fan removal
    // withdraws the fan neighbours of a fold on a thin part too (the rule without INPUT).
    bool withdrawFoldNeighboursOnThinParts = false;
    bool quiet = false;
    std::string reportFile;
    bool keepSideFiles = false; // no-argument mode only
    int threads = 0;            // both modes; 0: one per core
};

// Parses argv. Returns -1 when the program should go on with `line` filled in; otherwise the
// exit status to end with at once: 0 after --help or --version (printed on standard output),
// 2 after a bad command line (the reason and a hint on standard error).
int parseCommandLine(int argc, char** argv, CommandLine& line);
