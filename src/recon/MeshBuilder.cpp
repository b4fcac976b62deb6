// MeshBuilder: hand-over values, side-file names, options and the build sequence.
#include "recon/MeshBuilder.h"

#include <iostream>

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
        std::cerr << "fanmesh: cannot create \"" << statsFileName << "\"\n";
        return false;
    }
    std::fprintf(statsFile, "Model: %s", modelName.c_str());
    std::fprintf(statsFile, "\n");
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
    state.constructSurface();
    // Each writer reports its own failure; the later files are still attempted.
    bool written = writeNeighboursOut(neighboursOutFileName);
    written = writePropagation(propagationFileName) && written;
    written = writeMesh(meshFileName) && written;
    return written;
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
