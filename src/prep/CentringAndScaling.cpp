// Centring of the record set on its bounding box, nearest-neighbour spacing and scaling to
// unit mean spacing.
#include <cmath>

#include "geometry/Geometry.h"
#include "prep/PointSetPreparation.h"

void PointSetPreparation::centerPoints() {
    // Fixed start values: coordinates beyond +-1000000 are clipped in the box on that side.
    xMax = -1000000.0;
    yMax = -1000000.0;
    zMax = -1000000.0;
    xMin = 1000000.0;
    yMin = 1000000.0;
    zMin = 1000000.0;
    for (int32_t i = 0; i < totalCount; ++i) {
        const Vector3& p = vertices[i].position;
        if (p.x > xMax) {
            xMax = p.x;
        }
        if (p.x < xMin) {
            xMin = p.x;
        }
        if (p.y > yMax) {
            yMax = p.y;
        }
        if (p.y < yMin) {
            yMin = p.y;
        }
        if (p.z > zMax) {
            zMax = p.z;
            if (i < keptCount) {
                topIndex = i;
            }
        }
        if (p.z < zMin) {
            zMin = p.z;
        }
    }
    // topIndex keeps its earlier value when no kept point rose above the start value; it must
    // still name a kept record.
    if (topIndex < 0 || topIndex >= keptCount) {
        topIndex = 0;
    }
    centreX = (xMin + xMax) * 0.5;
    centreY = (yMin + yMax) * 0.5;
    centreZ = (zMin + zMax) * 0.5;
    // The set-aside records after the others move with them but do not widen the box.
    for (int32_t i = 0; i < totalCount + setAsideCount; ++i) {
        Vector3& p = vertices[i].position;
        p.x -= centreX;
        p.y -= centreY;
        p.z -= centreZ;
    }
    xMax -= centreX;
    xMin -= centreX;
    yMax -= centreY;
    yMin -= centreY;
    zMax -= centreZ;
    zMin -= centreZ;
    centreX = 0.0;
    centreY = 0.0;
    centreZ = 0.0;
}

void PointSetPreparation::computeSpacing() {
    double sum = 0.0;
    maxSpacing = 0.0;
    for (int32_t i = 0; i < keptCount; ++i) {
        const double d = distanceBetweenPoints(vertices[i].position,
                                               vertices[vertices[i].neighbours[0]].position);
        sum += d;
        if (d > maxSpacing) {
            maxSpacing = d;
        }
    }
    meanSpacing = sum / keptCount;
}

void PointSetPreparation::scalePoints() {
    const double m = meanSpacing;
    const double s = 1.0 / m;
    xMax *= s;
    xMin *= s;
    yMax *= s;
    yMin *= s;
    zMax *= s;
    zMin *= s;
    for (int32_t i = 0; i < totalCount + setAsideCount; ++i) {
        Vector3& p = vertices[i].position;
        p.x /= m;
        p.y /= m;
        p.z /= m;
    }
    maxSpacing *= s;
    meanSpacing *= s;
}
