// Thin parts: whether a point's neighbourhood reaches round a part narrower than itself, so
// that it holds surface facing opposite ways, as round a tube or a leg a few spacings
// across. There, a hole opened a few fans wide runs round the part and is closed as lids
// across it.
#include <cmath>

#include "recon/ReconstructionState.h"

namespace {

// The difference a - b.
Vector3 difference(const Vector3& a, const Vector3& b) {
    Vector3 d = a;
    d.subtract(b);
    return d;
}

} // namespace

bool ReconstructionState::neighbourhoodSpansThinPart(int32_t p,
                                                     const std::vector<uint8_t>& folded) const {
    const Vertex* near[NEIGHBOUR_COUNT];
    int32_t count = 0;
    for (const int32_t q : vertices[p].neighbours) {
        const size_t at = static_cast<size_t>(q);
        if (q >= 0 && q < activeCount && pointState[at] == 1 &&
            (at >= folded.size() || folded[at] == 0)) {
            near[count++] = &vertices[q];
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        const Vertex& a = *near[i];
        for (int32_t j = i + 1; j < count; ++j) {
            const Vertex& b = *near[j];
            if (a.normal.dot(b.normal) >= THIN_PART_FACING_COSINE) {
                continue;
            }
            // Opposite normals on one sheet, or facing each other across a gap, are no walls.
            const Vector3 across = difference(a.position, b.position);
            const double width = across.length();
            const double aOut = a.normal.dot(across);
            const double bOut = -b.normal.dot(across);
            if (aOut <= THIN_PART_WALL_COSINE * width || bOut <= THIN_PART_WALL_COSINE * width) {
                continue;
            }
            // Two close sheets also have walls like these; round a part the surface turns
            // from one to the other, through points between them facing sideways.
            for (int32_t k = 0; k < count; ++k) {
                const Vertex& s = *near[k];
                const double underA = a.normal.dot(difference(a.position, s.position));
                const double underB = b.normal.dot(difference(b.position, s.position));
                if (std::abs(s.normal.dot(across)) < THIN_PART_SIDE_COSINE * width &&
                    underA > THIN_PART_SIDE_DEPTH * aOut && underB > THIN_PART_SIDE_DEPTH * bOut) {
                    return true;
                }
            }
        }
    }
    return false;
}
