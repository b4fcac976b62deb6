// Normal test of a closed fan: the point normal is pulled towards the fan's triangle normals
// (weighted by the apex angles) and every triangle must then face the new normal.
#include <cmath>

#include "geometry/Geometry.h"
#include "grow/FanConstants.h"
#include "recon/ReconstructionState.h"

bool ReconstructionState::normalTest(int32_t a) {
    Vertex& v = vertices[a];
    Vector3 triangleNormals[MAX_FAN_SIZE];
    const int32_t count = v.triangleFanCount;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t m = v.triangleFan[i];
        const int32_t u = nextInFan(a, m);
        Vector3 tm = triangleNormal(v.position, vertices[m].position, vertices[u].position);
        tm.normalize();
        triangleNormals[i] = tm;
        const double half = angleBetweenDeg(difference(vertices[m].position, v.position),
                                            difference(vertices[u].position, v.position)) *
                            0.5 * DEGREES_TO_RADIANS;
        const double weight = std::sin(half) * std::cos(half);
        tm.scale(weight);
        v.normal.add(tm);
    }
    v.normal.normalize();
    for (int32_t i = 0; i < count; ++i) {
        if (triangleNormals[i].dot(v.normal) < 0.0) {
            return false;
        }
    }
    return true;
}
