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

    ReconstructionRun() = default;
    ReconstructionRun(const ReconstructionRun&) = delete;
    ReconstructionRun& operator=(const ReconstructionRun&) = delete;

    // Prepares and reconstructs the points stored in `preparation` (loadPoints or
    // storePoints must have run).
    //   settings         the four run settings
    //   console          receives the progress and timing lines; null prints nothing
    //   sideFilePrefix   when not null, the five side files and the two dumps are written
    //                    with this prefix (a folder name ending in '/', or "")
    // Returns true on success; `faces` then holds the mesh. Returns false with the reason in
    // `failure` when there are too few points, the points have no spacing, or a side file
    // cannot be written. The run never exits the process and prints nothing besides console.
    bool run(const Settings& settings, std::ostream* console, const std::string* sideFilePrefix);

    // Number of records (points read, removed ones included).
    int32_t pointCount() const { return preparation.totalCount; }
};
