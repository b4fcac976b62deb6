// Octree: axis-aligned cube tree over point records, sized by the points' own
// neighbourhood radii, with a parametric ray traversal for occupancy queries.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector3.h"
#include "recon/Vertex.h"

struct Octree {
    int32_t nextChildX[8];
    int32_t nextChildY[8];
    int32_t nextChildZ[8];
    double minCellSize = 0.0;
    double edge = 0.0;
    Vertex* records = nullptr;
    bool isLeaf = true;
    Octree* children[8] = {};
    std::vector<uint8_t> excluded; // root only
    Vector3 minCorner{0.0, 0.0, 0.0};
    Vector3 center{0.0, 0.0, 0.0};
    std::vector<int32_t> points; // leaf only
    double tx0 = 0, tx1 = 0, txm = 0, ty0 = 0, ty1 = 0, tym = 0, tz0 = 0, tz1 = 0, tzm = 0;
    uint8_t mirrorX = 0, mirrorY = 0, mirrorZ = 0;
    int32_t mirrorMask = 0;

    Octree();
    Octree(double cellSize, double edgeLength, const Vector3& corner);
    ~Octree();
    Octree(const Octree&) = delete;
    Octree& operator=(const Octree&) = delete;

    void initialise();
    void reset();
    void buildAll(Vertex* recordArray, int32_t count, double cellSize);
    void buildFor(Vertex* recordArray, const int32_t* indices, int32_t count, double cellSize);

    // Ray queries (root only).
    bool castRay(Vector3 origin, Vector3 direction, int32_t p);
    bool blockedBothWays(int32_t p);
};
