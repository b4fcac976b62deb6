// MeshBuilder: receives the prepared records and summary values from the preparation,
// names and opens the reconstruction's side files, hands the records to its embedded
// ReconstructionState, runs the construction and writes the output files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "recon/ReconstructionState.h"
#include "recon/Vertex.h"

inline constexpr int32_t HAND_OVER_HEADER_SIZE = 11;

// One triangle of the mesh: its oriented corners as collected from the owner's fan.
struct MeshFace {
    int32_t owner;
    int32_t member;
    int32_t next;
};

struct MeshBuilder {
    std::string statsFileName;
    std::string modelName;
    std::string propagationFileName;
    std::string neighboursOutFileName;
    std::string meshFileName;
    std::FILE* statsFile = nullptr;
    int32_t totalCount = 0;
    Vertex* vertices = nullptr;
    ReconstructionState state;
    bool keepLargestComponent = true;
    bool removeInconsistentFans = true;
    int32_t configuredMaxLayers = 999;
    int32_t topIndex = 0;
    double header[HAND_OVER_HEADER_SIZE] = {};
    // Number of kept records; records from this index on are the removed ones.
    int32_t keptCount = 0;

    MeshBuilder() = default;
    ~MeshBuilder();
    MeshBuilder(const MeshBuilder&) = delete;
    MeshBuilder& operator=(const MeshBuilder&) = delete;

    // Takes the record count, the index of the top point, the kept-record count and the
    // eleven summary values (widened to double).
    void setHandOver(int32_t count, int32_t top, int32_t kept,
                     const float (&headerValues)[HAND_OVER_HEADER_SIZE]);
    void prepareConstruction();
    // Builds the file names from prefix and opens the statistics file; false (with a
    // message on stderr) when it cannot be created.
    bool setOutputFileNames(const std::string& prefix);
    void setOptions(bool keepLargest, bool removeInconsistent, int32_t maxLayerSetting);
    // Hands the records to the state, which also builds the all-points octree.
    void attachRecords();
    // Runs the construction and writes the record dump, the fan dump and the mesh; false
    // when an output file could not be written (each failure is reported on stderr).
    bool build();
    void closeFiles();

    // ---- output files ----
    bool writeNeighboursOut(const std::string& fileName) const;
    bool writePropagation(const std::string& fileName);
    // Writes the mesh to a temporary name and renames it into place once complete.
    bool writeMesh(const std::string& fileName) const;
};

// Faces of the accepted fans of all completed points, each distinct corner set once, in
// the order of first occurrence (lowest owner, then lowest fan position).
std::vector<MeshFace> collectMeshFaces(const ReconstructionState& state, int32_t count);
