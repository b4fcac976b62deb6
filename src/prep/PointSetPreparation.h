// PointSetPreparation: reads the point file into the record array and runs the
// preparation stages (neighbours, unwanted points, centring, scaling, eigen-analysis)
// over it, then holds the values handed to the reconstruction.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "recon/Vertex.h"

struct PointSetPreparation {
    std::string neighbourFileName;
    std::string timingFileName;
    float unwantedRatio = 0.2f;
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

    // ---- point input ----
    bool loadPoints(const std::string& fileName);
    void setSideFileNames(const std::string& prefix);

    // ---- centring, spacing and scaling ----

    // ---- neighbourhoods ----

    // ---- unwanted points ----

    // ---- eigen-analysis ----

    // ---- preparation pipeline ----
    bool runPreparation();
};

// Parses one point line: three decimal numbers separated by blanks, tabs or line ends.
bool parsePointLine(const char* line, double& x, double& y, double& z);
