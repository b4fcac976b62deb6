// MeshBuilder: receives the prepared records and summary values from the preparation,
// names and opens the reconstruction's side files, hands the records to its embedded
// ReconstructionState, runs the construction and writes the output files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
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
    // Handed to the state's rayHitDistance (0: the plain leaf rule of the ray test).
    double rayHitDistance = 0.0;
    // Handed to the state's rayReach (0: no limit).
    double rayReach = 0.0;
    // Handed to the state's maxFanTilt (0: no limit).
    double maxFanTilt = 0.0;
    // Open-rise limit in degrees, handed to the state as its sine (0: no limit).
    double openRiseLimit = 0.0;
    // Handed to the state's hiddenUnderTrianglesOnly.
    bool hiddenUnderTrianglesOnly = false;
    // Handed to the state's refuseThirdFaces.
    bool refuseThirdFaces = false;
    // Handed to the state's strictSeedCheck.
    bool strictSeedCheck = false;
    // Handed to the state's seedCheckIgnoresNearWalls.
    bool seedCheckIgnoresNearWalls = false;
    // Handed to the state's bridgePinchedPoints.
    bool bridgePinchedPoints = false;
    // Handed to the state's keepFoldNeighbours.
    bool keepFoldNeighbours = false;
    // Handed to the state's foldRemovalKeepsPiecesJoined.
    bool foldRemovalKeepsPiecesJoined = false;
    // Handed to the state's joinFacingPieces.
    bool joinFacingPieces = false;
    // Handed to the state's seedUnreachedRegions.
    bool seedUnreachedRegions = false;
    // Handed to the state's unreachedSeedsCountNearWalls.
    bool unreachedSeedsCountNearWalls = false;
    // Handed to the state's fillPastInnerChords.
    bool fillPastInnerChords = false;
    // Handed to the state's reinsertAfterFoldRemoval.
    bool reinsertAfterFoldRemoval = false;
    // Handed to the state's refuseFoldingFlips.
    bool refuseFoldingFlips = false;
    // Handed to the state's openWiderLids.
    bool openWiderLids = false;
    // Handed to the state's joinPiecesAfterFolds.
    bool joinPiecesAfterFolds = false;
    // Handed to the state's joinAcrossBands.
    bool joinAcrossBands = false;
    // Handed to the state's keepFoldNeighboursOnThinParts.
    bool keepFoldNeighboursOnThinParts = false;
    int32_t topIndex = 0;
    double header[HAND_OVER_HEADER_SIZE] = {};
    // Number of kept records; records from this index on are the removed ones.
    int32_t keptCount = 0;
    // Progress lines of the construction and the mesh counts go here; null prints nothing.
    std::ostream* console = nullptr;
    // The first file failure (one line naming the file); empty when none happened.
    std::string failure;
    // Records totalCount to totalCount + unusedTailCount - 1 of the array take no part in
    // the construction; the mesh lists them as vertices of no face.
    int32_t unusedTailCount = 0;

    MeshBuilder() = default;
    ~MeshBuilder();
    MeshBuilder(const MeshBuilder&) = delete;
    MeshBuilder& operator=(const MeshBuilder&) = delete;

    // Takes the record count, the index of the top point, the kept-record count and the
    // eleven summary values (widened to double).
    void setHandOver(int32_t count, int32_t top, int32_t kept,
                     const float (&headerValues)[HAND_OVER_HEADER_SIZE]);
    void prepareConstruction();
    // Builds the file names from prefix and opens the statistics file; false (reason in
    // failure) when it cannot be created. Without a call the build writes no side file.
    bool setOutputFileNames(const std::string& prefix);
    void setOptions(bool keepLargest, bool removeInconsistent, int32_t maxLayerSetting);
    // Hands the records to the state, which also builds the all-points octree.
    void attachRecords();
    // Runs the construction and, when the side files are named, writes the record dump and
    // the fan dump; false (reason in failure) when a dump could not be written.
    bool build();
    void closeFiles();

    // ---- output files ----
    bool writeNeighboursOut(const std::string& fileName);
    bool writePropagation(const std::string& fileName);
    // Writes the mesh in the prepared coordinates as ASCII PLY to a temporary name and
    // renames it into place once complete; prints the point and face counts on console.
    // False (reason in failure, no file left) when it cannot be written.
    bool writeMesh(const std::string& fileName);
    // The same with the faces already collected (collectMeshFaces).
    bool writeMesh(const std::string& fileName, const std::vector<MeshFace>& faces);
    // Keeps the first failure reason.
    void fail(const std::string& reason);
};

// Faces of the accepted fans of all completed points, each distinct corner set once, in
// the order of first occurrence (lowest owner, then lowest fan position).
std::vector<MeshFace> collectMeshFaces(const ReconstructionState& state, int32_t count);
