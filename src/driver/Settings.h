// Settings: the four run settings, the thread count, and the reader of the positional
// settings file "configuration.txt" (comment lines start with '/', empty lines are skipped).
#pragma once

#include <cstdio>
#include <string>

#include "formats/Failure.h"
#include "formats/LineReader.h"

// The finer ray test's hit distance of path mode and the library (in neighbourhood radii).
inline constexpr double DEFAULT_RAY_HIT_DISTANCE = 0.75;
// The reach of the growth's visibility rays in path mode and the library (in neighbourhood
// radii ahead of the ray's origin).
inline constexpr double DEFAULT_RAY_REACH = 2.5;
// The largest turn (degrees) of a fan of the growth from its point's neighbourhood normal
// in path mode and the library.
inline constexpr double DEFAULT_MAX_FAN_TILT = 45.0;
// The open-rise limit of path mode and the library (degrees; 0: the rule is off). It is off
// by default: where the growth's outer side faces a second sheet a few spacings away (seeds
// between close sheets face the gap), the other sheet rises on that side too.
inline constexpr double DEFAULT_OPEN_RISE_LIMIT = 0.0;
// The unwanted-point percent of path mode and the library when no settings file gives one.
// Under the settings file's 20, a point closer to a neighbour than a fifth of the distance
// to its 16th neighbour is set aside: on a randomly sampled surface that is about one point
// in four, so the growth's neighbourhoods reach about 15% farther and span the gap between
// two sheets or the inside of a tube 5 spacings across. At 5 only near-repeats go.
inline constexpr int DEFAULT_PATH_UNWANTED_PERCENT = 5;
// The largest open-rise limit: an angle from a plane is at most 90 degrees.
inline constexpr double MAX_OPEN_RISE_LIMIT = 90.0;

struct Settings {
    bool keepLargestComponent = true;   // line 1: final pass keeps the largest connected part
    int unwantedPointPercent = 20;      // line 2: distance ratio (percent) for unwanted points
    int configuredMaxLayers = 999;      // line 3: layer limit of the construction loop
    bool removeInconsistentFans = true; // line 4: final pass removes fans facing backwards
    // Not in the file: threads for the per-point work (--threads); 0 means one per core.
    // Every count gives the same output.
    int threads = 0;
    // Command line only: finer ray test of the global convexity test. A point blocks a ray
    // only within this many of its neighbourhood radii of the ray; 0 keeps the plain rule
    // (any point in a cell ahead blocks).
    double rayHitDistance = 0.0;
    // Command line only: under the finer ray test, a point blocks a ray of the global
    // convexity test only within this many neighbourhood radii ahead of the ray's origin;
    // 0: at any distance.
    double rayReach = 0.0;
    // Command line only: the growth refuses a fan whose normal turns more than this many
    // degrees from the normal of its point's neighbourhood (a lid across a thin tube);
    // 0: never.
    double maxFanTilt = 0.0;
    // Command line only: on reversed layers the global convexity test refuses a fan when an
    // open neighbour outside it rises more than this many degrees from the fan's plane on
    // the fan's outer side (a lid across a thin tube); 0: no such limit.
    double openRiseLimit = 0.0;
    // Command line only: the fan search counts a neighbour as hidden under a fan only when
    // it lies under one of the fan's triangles, on the side the surface faces (off:
    // anywhere in a triangle's wedge, on the side the fan being built faces).
    bool hiddenUnderTrianglesOnly = false;
    // Command line only: the final clean-up gives no edge a third face (hole closing leaves
    // such an ear open, point insertion leaves such a triangle whole).
    bool refuseThirdFaces = false;
    // Command line only: with the finer ray test, the check whether a seed is enclosed on
    // both sides judges every point near its rays on its own, also in the index cells that
    // hold the seed or one of its neighbours (off: such cells never block).
    bool strictSeedCheck = false;
    // Command line only: under the strict seed check, a wall within the neighbourhood of
    // one of the seed's neighbours does not block its rays (off: it does).
    bool seedCheckIgnoresNearWalls = false;
    // Command line only: the clean-up completes an open point where patches meet (its
    // surrounding fans in several separate chains) by bridging the gaps between the chains
    // (off: every fan around such a point is withdrawn).
    bool bridgePinchedPoints = false;
    // Command line only: inconsistent-fan removal withdraws only the fans that face against
    // their point's normal (off: also the fans of all their fan neighbours).
    bool keepFoldNeighbours = false;
    // Command line only: inconsistent-fan removal and the open-point withdrawal after the
    // growth keep a fan whose withdrawal would cut the surface into separate pieces.
    bool foldRemovalKeepsPiecesJoined = false;
    // Command line only: before hole closing, pieces of surface whose open borders face
    // each other across a narrow gap are joined (off: they are left apart).
    bool joinFacingPieces = false;
    // Command line only: once the growths have completed 90% of the points, seeding goes on
    // from points inside regions no growth has reached (off: it stops there).
    bool seedUnreachedRegions = false;
    // Command line only: the seed check of the seeds inside unreached regions counts the
    // neighbours of the seed's neighbours even where other seeds' checks ignore them.
    bool unreachedSeedsCountNearWalls = false;
    // Command line only: hole closing fills a hole past an edge between two non-adjacent
    // border points that already has a face on each side where withdrawing the fans at its
    // ends would cut the surface apart (off: they are withdrawn).
    bool fillPastInnerChords = false;
    // Command line only: after inconsistent-fan removal, each point outside the mesh that
    // no fan holds is inserted where that adds no fold to a fan it edits (off: they stay
    // out).
    bool reinsertAfterFoldRemoval = false;
    // Command line only: the growth refuses an edge flip that would fold the fan of a
    // completed corner (off: such flips are made).
    bool refuseFoldingFlips = false;
    // Command line only: under joinFacingPieces, lids left unjoined are opened wider, step
    // by step, each step kept only when it joins (off: only adjacent lids are opened).
    bool openWiderLids = false;
    // Command line only: under joinFacingPieces, piece joining runs again after fold
    // removal (off: it runs once).
    bool joinPiecesAfterFolds = false;
    // Path mode: piece joining ends with a round across bands of points no fan holds.
    bool joinAcrossBands = false;
    // Command line only: inconsistent-fan removal keeps the fan neighbours of a fold whose
    // neighbourhood reaches round a thin part (off: they are withdrawn as elsewhere).
    bool keepFoldNeighboursOnThinParts = false;
};

// The ranges every surface (command line, settings file of path mode, library, Python)
// accepts: the unwanted-point percent 0 to 100, at least one layer, a finite ray hit
// distance and ray reach of 0 or more.
inline constexpr int MAX_UNWANTED_PERCENT = 100;
inline constexpr int MIN_MAX_LAYERS = 1;

// Checks the settings' values against those ranges. Returns an empty string when all are
// within them; otherwise what is wrong with the first one that is not, naming the setting
// and the value (for example "the unwanted-point percent 500 is outside 0 to 100").
std::string settingsRangeError(const Settings& settings);

// Returns the defaults, overridden by the setting lines of the file when it can be opened.
// A missing file or one with fewer than four setting lines is not an error: settings
// without a line keep their defaults. Lines may be of any length. A line holding a NUL
// byte is an error: reading stops there and, when `failure` is given, it names the file
// and the line; the settings read before it stand.
Settings readSettings(const char* fileName = "configuration.txt", Failure* failure = nullptr);

// readSettings on a stream that is already open (left open); fileName is only used to name
// the file in `failure`.
Settings readSettingsFrom(std::FILE* file, const char* fileName, Failure* failure = nullptr);

// Reads lines until one is neither a comment nor empty and stores it, line end included
// (a CR LF line end as a single LF), in `line`. Returns false at the end of the file and
// on a line holding a NUL byte, which is left in `line`.
bool readSettingLine(LineReader& reader, std::string& line);

// True when the setting line is exactly "false" followed by its line end.
bool isFalseSettingLine(const std::string& line);

// Reads an integer as the "%d" conversion does (leading white space, optional sign,
// digits, rest ignored); values beyond the int range are clamped. Returns false, leaving
// the value untouched, when no number starts the line.
bool readIntegerSetting(const char* line, int& value);
