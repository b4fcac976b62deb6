// The preparation stages in their fixed order, their timing line, and the prepared-point file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "prep/PointSetPreparation.h"
#include "prep/ProcessTicks.h"
#include "recon/TextWriter.h"

bool PointSetPreparation::runPreparation() {
    const long startTicks = wallTicks();
    keepLoadedPositions();
    centerPoints();
    if (!computeNeighbours()) {
        return false;
    }
    if (mayNeedSetAside() && !setAsideStrayPoints()) {
        return false;
    }
    // The positions as read serve only the set-aside stage; the records move after it.
    std::vector<Vector3>().swap(loadedPositions);
    removeUnwantedPoints();
    centerPoints();
    if (!computeNeighbours()) {
        return false;
    }
    computeSpacing();
    // Scaling divides by the mean spacing; a set whose kept points all coincide with their
    // nearest neighbours has no scale and no surface.
    if (meanSpacing == 0.0) {
        failure =
            Failure{pointFileName, 0, "all points coincide: the point spacing is zero"}.describe();
        return false;
    }
    scalePoints();
    computeEigenvectors();
    std::vector<int32_t>().swap(spatialOrder); // its last reader is the eigen-analysis
    const long finishTicks = wallTicks();
    preparationSeconds = static_cast<double>(finishTicks - startTicks) * 0.001;
    if (console != nullptr) {
        *console << "Timing for Neighborhood Calculation = " << preparationSeconds
                 << " seconds.\n\n";
    }
    // Removed records carry negated neighbour entries from here on (an entry 0 stays 0).
    for (int32_t i = keptCount; i < totalCount; ++i) {
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            vertices[i].neighbours[l] = -vertices[i].neighbours[l];
        }
    }
    const bool written = neighbourFileName.empty() || writeNeighbourFile(neighbourFileName);
    neighbourFileName.clear();
    timingFileName.clear();
    return written;
}

bool PointSetPreparation::writeNeighbourFile(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "w");
    if (file == nullptr) {
        failure = fileName + ": cannot create the side file: " + std::strerror(errno);
        return false;
    }
    // Header: "%d %d" then eleven "%lf", blank-separated; per record the position-and-normal
    // line (six "%lf"), the neighbour line ("%d " each) and the eigen line (four "%lf").
    TextWriter out(file);
    out.putInteger(totalCount);
    out.put(' ');
    out.putInteger(topIndex);
    const double header[11] = {xMax,    xMin,    yMax,    yMin,        zMax,      zMin,
                               centreX, centreY, centreZ, meanSpacing, maxSpacing};
    for (const double value : header) {
        out.put(' ');
        out.putFixed(value);
    }
    out.put('\n');
    for (int32_t i = 0; i < totalCount; ++i) {
        const Vertex& v = vertices[i];
        const double geometry[6] = {v.position.x, v.position.y, v.position.z,
                                    v.normal.x,   v.normal.y,   v.normal.z};
        out.putFixedRow(geometry, 6);
        out.put('\n');
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            out.putInteger(v.neighbours[l]);
            out.put(' ');
        }
        out.put('\n');
        out.putFixed(v.surfaceVariation);
        for (int c = 0; c < 3; ++c) {
            out.put(' ');
            out.putFixed(v.eigenvalues[c]);
        }
        out.put('\n');
    }
    const bool ok = out.finish();
    if (std::fclose(file) != 0 || !ok) {
        failure = fileName + ": cannot write the side file";
        return false;
    }
    return true;
}
