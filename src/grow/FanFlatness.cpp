// Flatness of an accepted fan: the population variance, in square degrees, of the signed
// fold angles between consecutive triangles (the fold at the first entry is left out).
#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

double ReconstructionState::computeFlatness(int32_t p) {
    Vertex& v = vertices[p];
    const int32_t n = v.triangleFanCount;
    if (n < 2) {
        // No fold angle can be measured.
        v.fanFlatness = 0.0;
        return 0.0;
    }
    double angles[MAX_FAN_SIZE];
    int32_t angleCount = 0;
    Vector3 c = triangleNormal(v.position, vertices[v.triangleFan[0]].position,
                               vertices[v.triangleFan[1]].position);
    for (int32_t i = 1; i < n; ++i) {
        const Vector3& ti = vertices[v.triangleFan[i]].position;
        const Vector3 axis = difference(ti, v.position);
        const Vector3 d =
            triangleNormal(v.position, ti, vertices[v.triangleFan[(i + 1) % n]].position);
        double angle = orientedAngleDeg(c, d, axis);
        if (angle > 180.0) {
            angle = angle - 360.0;
        }
        angles[angleCount++] = angle;
        c = d;
    }
    double sum = 0.0;
    for (int32_t i = 0; i < angleCount; ++i) {
        sum += angles[i];
    }
    const double mean = sum / angleCount;
    double squares = 0.0;
    for (int32_t i = 0; i < angleCount; ++i) {
        squares += (angles[i] - mean) * (angles[i] - mean);
    }
    v.fanFlatness = squares / angleCount;
    return v.fanFlatness;
}
