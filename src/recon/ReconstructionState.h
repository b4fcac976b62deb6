// ReconstructionState: the object that drives surface reconstruction over the
// borrowed record array. It owns the per-point status arrays, the two octrees and
// the run options; the growing and repair operations are its members, defined in
// src/grow/ and src/repair/, one concern per file.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector3.h"
#include "recon/Octree.h"
#include "recon/Vertex.h"

struct ReconstructionState {
    Vertex* vertices = nullptr;
    int32_t activeCount = 0;
    int32_t totalCount = 0;
    double searchRadius = 0.0;
    Octree componentOctree;
    Octree octree;
    std::vector<uint8_t> pointState;
    std::vector<int32_t> completionOrder; // grows as points complete
    int32_t completedCount = 0;
    int32_t completedLimit = 100000000;
    double halfSearchRadius = 0.0;
    double reconstructionSeconds = 0.0;
    int32_t layer = 0;
    int32_t maxLayers = 100;
    Vector3 layerVector{0.0, 0.0, 0.0};
    bool keepLargestComponent = true;
    bool removeInconsistentFans = true;
    int32_t configuredMaxLayers = 999;

    // Diagnostics: a point index whose processing is traced to standard output (-1: none).
    int32_t tracePoint = -1;
    int32_t traceFlipPoint = -1;
    int32_t clockStart = 0;
    int32_t clockEnd = 0;
    double octreeTicks = 0.0;

    ReconstructionState() = default;
    ReconstructionState(const ReconstructionState&) = delete;
    ReconstructionState& operator=(const ReconstructionState&) = delete;

    // ---- recon: state, hand-over ----
    void setOptions(bool keepLargest, bool removeInconsistent, int32_t maxLayerSetting);
    void attachPoints(Vertex* records, int32_t count, double xMax, double yMax, double zMax,
                      double radius);
    Vector3 randomVector();

    // ---- repair: triangle fan editing ----

    // ---- grow: fan acceptance criteria ----
    bool triangleAngleTest(int32_t a, int32_t lastPoint, int32_t n, int32_t firstPoint,
                           double& angle);
    bool dihedralTest(int32_t a, int32_t lastPoint, const Vector3& previousNormal,
                      const Vector3& tn, double& dihedral);
    bool convexityTest(int32_t a, int32_t lastPoint, int32_t n, const Vector3& direction,
                       int32_t o);
    bool isOnFront(int32_t n);
    bool bestPointIncorrect(int32_t a, int32_t lastPoint, int32_t n, int32_t f0, int32_t f1);
    double fanAngleSum(int32_t a);
    int32_t findHostTriangle(int32_t a, int32_t t, bool& found);
    bool searchingAndReplacingHiddenPointsByConvexity(int32_t a);
    bool normalTest(int32_t a);

    // ---- grow: fan search ----
    bool findBestFan(int32_t p, bool levelFlipping);
    bool refineFan(int32_t p, int32_t h, bool levelFlipping);
    bool constructFan(int32_t a, int32_t b, bool levelFlipping);
    double computeFlatness(int32_t p);
    double initialFan(int32_t a, int32_t b, bool levelFlipping, Vector3& previousNormal);
    void shiftFanStart(int32_t p);

    // ---- repair: edge flipping ----

    // ---- grow: fan repairs before acceptance ----

    // ---- grow: rejection tests ----

    // ---- repair: fan merging ----

    // ---- grow: enclosed and flow-merge completion ----

    // ---- grow: point creation ----

    // ---- grow: seed start and per-layer passes ----

    // ---- grow: construction driver ----

    // ---- repair: final clean-up passes ----
};
