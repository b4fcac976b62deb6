// Recomputing a point's normal from the triangles around it: the corner-weighted fan
// normal of a completed point, or the plain sum over the fans that contain an
// unfinished point.
#include <cmath>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {
// Edges shorter than this give their triangle no weight.
constexpr double SHORT_EDGE_LENGTH = 0.001;
constexpr double DEGREES_TO_RADIANS = 0.017453292519943295;
} // namespace

Vector3 ReconstructionState::fanPointNormal(const Vertex& record) const {
    const int32_t count = record.triangleFanCount;
    const int32_t* entries = record.triangleFan.first(count);
    Vector3 normal(0.0, 0.0, 0.0);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t u = entries[i];
        // The entry after the first occurrence of u, as nextInFan finds it.
        int32_t at = 0;
        while (entries[at] != u) {
            ++at;
        }
        const int32_t w = entries[(at + 1) % count];
        Vector3 t = triangleNormal(record.position, vertices[u].position, vertices[w].position);
        t.normalize();
        const Vector3 e1 = difference(vertices[u].position, record.position);
        const Vector3 e2 = difference(vertices[w].position, record.position);
        double weight = 0.0;
        if (!(e1.length() < SHORT_EDGE_LENGTH || e2.length() < SHORT_EDGE_LENGTH)) {
            const double h = angleBetweenDeg(e1, e2) * 0.5 * DEGREES_TO_RADIANS;
            weight = std::sin(h) * std::cos(h);
        }
        t.scale(weight);
        normal.add(t);
    }
    normal.normalize();
    return normal;
}

void ReconstructionState::updatePointNormal(int32_t p) {
    Vertex& vp = vertices[p];
    noteEdit(WATCH_NORMAL, p);
    vp.normal.set(0.0, 0.0, 0.0);
    if (pointState[p] == 1) {
        vp.normal = fanPointNormal(vp);
    } else if (!vp.connectedPoints.empty()) {
        for (const int32_t c : vp.connectedPoints) {
            const int32_t b = prevInFan(c, p);
            const int32_t f = nextInFan(c, p);
            if (b < 0 || f < 0) {
                continue; // the fan of c no longer holds p
            }
            const Vector3 pc = vertices[c].position;
            Vector3 sum = triangleNormal(pc, vertices[b].position, vp.position);
            sum.add(triangleNormal(pc, vp.position, vertices[f].position));
            vp.normal.add(sum);
        }
        vp.normal.normalize();
    }
}
