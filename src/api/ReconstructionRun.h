// ReconstructionRun: the one pipeline behind both modes of the program and the library
// call. It prepares and reconstructs points already held in memory, sends its progress
// lines to an optional console, writes side files only when asked, and returns failures
// as a reason instead of printing them.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "driver/Settings.h"
#include "prep/PointSetPreparation.h"
#include "recon/MeshBuilder.h"

// The fewest points for which every point has 16 neighbours.
inline constexpr int32_t MIN_POINT_COUNT = NEIGHBOUR_COUNT + 1;

struct ReconstructionRun {
    PointSetPreparation preparation;
    MeshBuilder builder; // declared after the preparation: it borrows the preparation's records
    // Faces in record indices, each distinct triangle once (collectMeshFaces).
    std::vector<MeshFace> faces;
    // Wall-clock seconds of the preparation stages and of the construction.
    double preparationSeconds = 0.0;
    double constructionSeconds = 0.0;
    // Why the run failed (one line, no line end); empty after a success.
    std::string failure;
    // After a successful run that built no face: why (describeNoFace); empty otherwise.
    std::string noFaceReason;

    ReconstructionRun() = default;
    ReconstructionRun(const ReconstructionRun&) = delete;
    ReconstructionRun& operator=(const ReconstructionRun&) = delete;

    // Prepares and reconstructs the points stored in `preparation` (loadPoints or
    // storePoints must have run).
    //   settings         the four run settings
    //   console          receives the progress and timing lines; null prints nothing
    //   sideFilePrefix   when not null, the five side files and the two dumps are written
    //                    with this prefix (a folder name ending in '/', or "")
    // Returns true on success; `faces` then holds the mesh, and when it is empty
    // `noFaceReason` says why. Returns false with the reason in
    // `failure` when there are too few points, the points have no spacing, or a side file
    // cannot be written. The run never exits the process and prints nothing besides console.
    bool run(const Settings& settings, std::ostream* console, const std::string* sideFilePrefix);

    // Number of records (points read, removed and set-aside ones included).
    int32_t pointCount() const { return preparation.totalCount + preparation.setAsideCount; }

    // The faces as written to a mesh file, 3 corners per face: in record indices (the
    // prepared order), or in input indices (vertex i is input point i).
    std::vector<int32_t> facesInRecordOrder() const;
    std::vector<int32_t> facesInInputOrder() const;
    // 3 values per point in the input's order: the records' normals, or their prepared
    // positions.
    std::vector<double> normalsInInputOrder() const;
    std::vector<double> preparedPositionsInInputOrder() const;
    // 3 values per record in record order: the prepared positions.
    std::vector<double> preparedPositionsInRecordOrder() const;

    // Frees the records, the construction's state, the input order and the faces once the
    // caller has taken from them what it writes (the functions above), so that writing the
    // mesh and its figures does not hold them as well. Afterwards only pointCount(), the
    // seconds and noFaceReason may be read; the functions above must not be called, and
    // `faces` is empty.
    void releaseRecords();
};

// Checks points before a run: every coordinate finite and within the single-precision range
// (as the point file reader demands). Returns the reason for the first bad point ("point 5
// (counting from 1): ..."), or an empty text when all are good.
std::string checkPoints(const double* xyz, std::size_t count);
