// MeshBuilder: hand-over values, side-file names, options and the build sequence.
#include "recon/MeshBuilder.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>

MeshBuilder::~MeshBuilder() {
    if (statsFile != nullptr) {
        std::fclose(statsFile);
        statsFile = nullptr;
    }
}

void MeshBuilder::setHandOver(int32_t count, int32_t top, int32_t kept,
                              const float (&headerValues)[HAND_OVER_HEADER_SIZE]) {
    totalCount = count;
    topIndex = top;
    keptCount = kept;
    for (int32_t i = 0; i < HAND_OVER_HEADER_SIZE; ++i) {
        header[i] = static_cast<double>(headerValues[i]);
    }
}

void MeshBuilder::prepareConstruction() {
    state.completedLimit = 100000000;
}

bool MeshBuilder::setOutputFileNames(const std::string& prefix) {
    statsFileName = prefix + "stats.txt";
    modelName = prefix;
    propagationFileName = prefix + "propagation.txt";
    neighboursOutFileName = prefix + "euclideanNeighboursOut.txt";
    meshFileName = prefix + "outOFFFile.ply";
    if (statsFile != nullptr) {
        std::fclose(statsFile);
    }
    statsFile = std::fopen(statsFileName.c_str(), "w");
    if (statsFile == nullptr) {
        fail(statsFileName + ": cannot create the side file: " + std::strerror(errno));
        return false;
    }
    std::fprintf(statsFile, "Model: %s", modelName.c_str());
    std::fprintf(statsFile, "\n");
    // The file stays open for the run; its one line must reach the file now.
    if (std::fflush(statsFile) != 0 || std::ferror(statsFile) != 0) {
        fail(statsFileName + ": cannot write the side file");
        return false;
    }
    return true;
}

void MeshBuilder::setOptions(bool keepLargest, bool removeInconsistent, int32_t maxLayerSetting) {
    keepLargestComponent = keepLargest;
    removeInconsistentFans = removeInconsistent;
    configuredMaxLayers = maxLayerSetting;
}

void MeshBuilder::attachRecords() {
    state.attachPoints(vertices, totalCount, keptCount, header[0], header[2], header[4],
                       2.5 * header[9]);
}

bool MeshBuilder::build() {
    state.setOptions(keepLargestComponent, removeInconsistentFans, configuredMaxLayers);
    state.console = console;
    state.rayHitDistance = rayHitDistance;
    state.rayReach = rayReach;
    state.maxFanTilt = maxFanTilt;
    state.openRiseSine =
        openRiseLimit > 0.0 ? std::sin(openRiseLimit * (std::numbers::pi / 180.0)) : 0.0;
    state.hiddenUnderTrianglesOnly = hiddenUnderTrianglesOnly;
    state.refuseThirdFaces = refuseThirdFaces;
    state.bridgePinchedPoints = bridgePinchedPoints;
    state.keepFoldNeighbours = keepFoldNeighbours;
    state.foldRemovalKeepsPiecesJoined = foldRemovalKeepsPiecesJoined;
    state.joinFacingPieces = joinFacingPieces;
    state.seedUnreachedRegions = seedUnreachedRegions;
    state.unreachedSeedsCountNearWalls = unreachedSeedsCountNearWalls;
    state.fillPastInnerChords = fillPastInnerChords;
    state.reinsertAfterFoldRemoval = reinsertAfterFoldRemoval;
    state.refuseFoldingFlips = refuseFoldingFlips;
    state.openWiderLids = openWiderLids;
    state.joinPiecesAfterFolds = joinPiecesAfterFolds;
    state.joinAcrossBands = joinAcrossBands;
    state.keepFoldNeighboursOnThinParts = keepFoldNeighboursOnThinParts;
    state.strictSeedCheck = strictSeedCheck;
    state.seedCheckIgnoresNearWalls = seedCheckIgnoresNearWalls;
    state.constructSurface();
    // A point that was not completed has no accepted fan.
    for (int32_t i = 0; i < totalCount; ++i) {
        if (state.pointState[i] == 0) {
            vertices[i].triangleFanCount = 0;
        }
    }
    if (neighboursOutFileName.empty()) {
        return true;
    }
    // Each writer records its failure; the later file is still attempted.
    const bool written = writeNeighboursOut(neighboursOutFileName);
    return writePropagation(propagationFileName) && written;
}

void MeshBuilder::fail(const std::string& reason) {
    if (failure.empty()) {
        failure = reason;
    }
}

void MeshBuilder::closeFiles() {
    statsFileName.clear();
    modelName.clear();
    propagationFileName.clear();
    neighboursOutFileName.clear();
    meshFileName.clear();
    if (statsFile != nullptr) {
        std::fclose(statsFile);
        statsFile = nullptr;
    }
}
