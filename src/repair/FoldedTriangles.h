// Folded fan triangles: those facing against their point's normal, or against the sum of
// the fan's own triangle normals. The fold tests of inconsistent-fan removal and of
// reinsertion.
#pragma once

#include <cstdint>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

// The number of triangles of the fan of record (a record as it stands or as it was) that
// face against the record's normal or, when againstFanSum is set, against the sum of the
// fan's own unit triangle normals; a fan with any is folded at its point.
inline int32_t foldedTriangles(const ReconstructionState& state, const Vertex& record,
                               const Vector3& normal, bool againstFanSum);
inline int32_t foldedTriangles(const ReconstructionState& state, const Vertex& record,
                               bool againstFanSum) {
    return foldedTriangles(state, record, record.normal, againstFanSum);
}

// As above, with the triangles tested against normal in place of the record's normal.
inline int32_t foldedTriangles(const ReconstructionState& state, const Vertex& record,
                               const Vector3& normal, bool againstFanSum) {
    const int32_t count = record.triangleFanCount;
    Vector3 normals[MAX_FAN_SIZE];
    Vector3 sum(0.0, 0.0, 0.0);
    for (int32_t k = 0; k < count; ++k) {
        normals[k] = triangleNormal(record.position, state.vertices[record.triangleFan[k]].position,
                                    state.vertices[record.triangleFan[(k + 1) % count]].position);
        sum.add(normals[k]);
    }
    int32_t folded = 0;
    for (int32_t k = 0; k < count; ++k) {
        if (normals[k].dot(normal) < 0.0 || (againstFanSum && normals[k].dot(sum) < 0.0)) {
            ++folded;
        }
    }
    return folded;
}
