// Thin parts: whether a point's neighbourhood reaches round a part narrower than itself, so
// that it holds surface facing opposite ways, as round a tube or a leg a few spacings
// across. There, a hole opened a few fans wide runs round the part and is closed as lids
// across it.
#include "recon/ReconstructionState.h"

bool ReconstructionState::neighbourhoodSpansThinPart(int32_t p,
                                                     const std::vector<uint8_t>& folded) const {
    const Vector3* normals[NEIGHBOUR_COUNT];
    int32_t count = 0;
    for (const int32_t q : vertices[p].neighbours) {
        const size_t at = static_cast<size_t>(q);
        if (q >= 0 && q < activeCount && pointState[at] == 1 &&
            (at >= folded.size() || folded[at] == 0)) {
            normals[count++] = &vertices[q].normal;
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t j = i + 1; j < count; ++j) {
            if (normals[i]->dot(*normals[j]) < THIN_PART_FACING_COSINE) {
                return true;
            }
        }
    }
    return false;
}
