// PointSetPreparation: reads the point file into the record array and runs the
// preparation stages (neighbours, unwanted points, centring, scaling, eigen-analysis)
// over it, then holds the values handed to the reconstruction.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "formats/Failure.h"
#include "geometry/Vector3.h"
#include "recon/Vertex.h"

// Where a short line ended the point data before the end of the file: its line number, and
// how many lines from it on (itself included) hold three decimal numbers, points that were
// therefore not read. Both 0 when the data ran to the end of the file.
struct PointDataEnd {
    long line = 0;
    long unreadPointLines = 0;
};

struct PointSetPreparation {
    std::string neighbourFileName;
    std::string timingFileName;
    float unwantedRatio = 0.2f;
    // Threads for the per-point stages (neighbour searches, eigen-analysis); 0 or less means
    // one per core. The results are the same for every count.
    int threads = 0;
    double preparationSeconds = 0.0;
    std::vector<Vertex> vertices; // allocated once, after reading
    std::FILE* timingFile = nullptr;
    int32_t keptCount = 0;
    int32_t totalCount = 0;
    int32_t topIndex = 0;
    double xMax = 0, xMin = 0, yMax = 0, yMin = 0, zMax = 0, zMin = 0;
    double centreX = 0, centreY = 0, centreZ = 0;
    double meanSpacing = 0, maxSpacing = 0;
    int32_t handOverCount = 0;
    int32_t handOverTop = 0;
    float handOverHeader[11] = {};
    // Progress and timing lines go here; null prints nothing.
    std::ostream* console = nullptr;
    // Why the last failed operation failed (one line, no line end, naming the file and the
    // line where they apply); empty otherwise.
    std::string failure;
    std::string pointFileName; // the file loadPoints read, for naming it in a failure
    PointDataEnd dataEnd;      // where a short line ended the data loadPoints read, if it did
    // Input point index of every record: records are reordered when points are removed.
    std::vector<int32_t> inputIndex;
    // Records totalCount to totalCount + setAsideCount - 1 (after all others) hold points set
    // aside before preparation: exact repeats of an earlier point and points isolated far
    // from all others. They are centred and scaled with the others, take part in no other
    // stage, and stay unused in the mesh.
    int32_t setAsideCount = 0;
    std::vector<std::string> notices; // one line per kind of set-aside point, for the user
    // Positions as read, in the current record order, from the start of the preparation to
    // the end of the set-aside stage (runPreparation frees them after it).
    std::vector<Vector3> loadedPositions;

    // ---- point input ----
    // Reads the point file into the record array; the banner and a dot per 500 points go to
    // console. False, with `failure` naming the file, the line and what is wrong, when the
    // file cannot be opened or read, a line before the end of the data is not three decimal
    // numbers, holds a NUL byte or a value beyond the single-precision range, or no point is
    // found; nothing is printed when the file cannot be opened.
    bool loadPoints(const std::string& fileName);
    // Allocates one record per point of xyz (count x 3 doubles, row after row) and copies
    // the positions in; every other field starts at zero. The input order is the record order.
    void storePoints(const double* xyz, int32_t count);
    // Names the two side files with the prefix and creates the timing file empty. Without a
    // call (empty names) the preparation writes no file at all.
    void setSideFileNames(const std::string& prefix);

    // ---- centring, spacing and scaling ----
    void centerPoints();
    void computeSpacing();
    void scalePoints();

    // ---- neighbourhoods ----
    // Kept-point indices in a spatially coherent order (the search tree's order at the last
    // neighbour search); any permutation of 0 .. keptCount - 1 is valid for per-point work.
    // runPreparation frees it after the eigen-analysis.
    std::vector<int32_t> spatialOrder;
    // Exact 16 nearest kept neighbours of every kept point, nearest first, searched on
    // `threads` threads; equal distances are ordered as the ANN kd-tree search orders them.
    // False (nothing searched, reason in failure) when fewer than 17 points are kept or the
    // timing file is named but cannot be created.
    bool computeNeighbours();

    // ---- set-aside points ----
    // Copies the positions as read into loadedPositions and numbers the input lines.
    void keepLoadedPositions();
    // Cheap test on the current neighbour lists: true when some point coincides with its
    // nearest neighbour or lies farther from it than the isolation limit allows.
    bool mayNeedSetAside() const;
    // Sets aside exact repeats (keeping the first in file order), then searches neighbours
    // on the positions as read and sets aside isolated groups of at most 16 points until none
    // is left, records a notice for each kind, then centres again and searches the neighbours
    // of the rest. False, with `failure`, when fewer than 17 points remain or a search fails.
    bool setAsideStrayPoints();
    // Flags per record: 1 when an earlier record held exactly the same position as read.
    std::vector<uint8_t> flagRepeatedPoints() const;
    // Flags per kept record: 1 when it belongs to a group of at most 16 points linked by
    // neighbour distances within the isolation limit (none when all points are isolated).
    std::vector<uint8_t> flagIsolatedPoints() const;
    // Moves the flagged records, with their positions as read, before the earlier set-aside
    // records; the others keep their order and get back their positions as read.
    void setAsideFlagged(const std::vector<uint8_t>& flags);

    // ---- unwanted points ----
    void removeUnwantedPoints();
    void swapPoints(int32_t first, int32_t second);
    // Exchanges the flagged records below n - removedCount with the unflagged ones at or above it
    // (front to back) and records the exchanges in map; n = flags.size().
    void moveFlaggedToTail(const std::vector<uint8_t>& flags, std::vector<int32_t>& map,
                           int32_t removedCount);

    // ---- eigen-analysis ----
    void computeEigenvectors();
    static void householderTridiagonalize(const double a[3][3], double d[3], double e[3],
                                          double z[3][3], int n, double tol);
    static int qlImplicit(double d[3], double e[3], double z[3][3], int n, double macheps);

    // ---- preparation pipeline ----
    // Runs the stages; false with the reason in failure (too few points remain, all points
    // coincide, a side file cannot be written). The prepared-point file is written only when
    // it is named (setSideFileNames).
    bool runPreparation();
    bool writeNeighbourFile(const std::string& fileName);
};

// Outcome of parsing one point line; the Bad... values name the first value that is not a
// whole decimal number.
enum class PointLineStatus { Valid, NoValue, OneValue, TwoValues, BadFirst, BadSecond, BadThird };

// Parses one NUL-terminated point line: three decimal numbers separated by blanks, tabs or
// line ends, anything after the third ignored. x, y, z are set only when Valid.
PointLineStatus parsePointFields(const char* line, double& x, double& y, double& z);
// parsePointFields reduced to success or failure.
bool parsePointLine(const char* line, double& x, double& y, double& z);

// Reads point lines from an open stream up to the end of the data (the end of the stream or
// a line shorter than 6 characters, line end included) and appends x, y, z of each point to
// coordinates. False, with `failure` naming fileName and the line, on a line that is not
// three decimal numbers, holds a NUL byte or a value beyond the single-precision range, or
// on a read error. Prints a dot per 500 points on console unless it is null. When dataEnd is
// not null and a short line ends the data early, the rest of the stream is read to fill it
// in (the points after that line still are not read).
bool readPointLines(std::FILE* file, const std::string& fileName, std::vector<double>& coordinates,
                    Failure& failure, std::ostream* console, PointDataEnd* dataEnd = nullptr);
