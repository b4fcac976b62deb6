// Fan geometry of a point: the normal summed over the triangles of its working fan and
// the wedge of its accepted fan that contains a given location.
#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {

// Sum of the unit normals of the consecutive triangles (p, f(i-1), f(i)) of the fan.
Vector3 openFanNormalSum(const Vertex* vertices, int32_t p, const std::vector<int32_t>& fan) {
    Vector3 sum(0.0, 0.0, 0.0);
    const Vector3& centre = vertices[p].position;
    for (size_t i = 1; i < fan.size(); ++i) {
        sum.add(triangleNormal(centre, vertices[fan[i - 1]].position, vertices[fan[i]].position));
    }
    return sum;
}

} // namespace

void ReconstructionState::updateOpenFanNormal(int32_t p) {
    Vector3 sum = openFanNormalSum(vertices, p, vertices[p].currentTriangleFan);
    sum.normalize();
    // Called by the fan search only, which announced the edit (noteEdit) at its start.
    vertices[p].normal = sum;
}

void ReconstructionState::updateClosedFanNormal(int32_t p) {
    const std::vector<int32_t>& fan = vertices[p].currentTriangleFan;
    if (fan.empty()) {
        return;
    }
    Vector3 sum = openFanNormalSum(vertices, p, fan);
    sum.add(triangleNormal(vertices[p].position, vertices[fan.back()].position,
                           vertices[fan.front()].position));
    sum.normalize();
    noteEdit(WATCH_NORMAL, p);
    vertices[p].normal = sum;
}

int32_t ReconstructionState::fanSectorStart(int32_t p, const Vector3& location) const {
    const Vertex& record = vertices[p];
    const int32_t count = record.triangleFanCount;
    if (count <= 0) {
        return -1;
    }
    for (int32_t i = 0; i < count; ++i) {
        const int32_t u = record.triangleFan[i];
        const int32_t w = record.triangleFan[(i + 1) % count];
        if (inWedge(record.position, vertices[u].position, vertices[w].position, record.normal,
                    location)) {
            return u;
        }
    }
    return record.triangleFan[count - 1];
}
