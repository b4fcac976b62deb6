// Fold test of the fans an edge flip changes during the growth. The flip replaces the
// diagonal a-b of the quadrilateral p, b, n, a by p-n: a and b each lose a triangle's worth
// of fan, p and n each gain the new diagonal. On a tube a few spacings across, the corner
// that gains it can lie on the far side of the curve, and its fan then holds a triangle
// facing against the rest of it: a fold, which the clean-up later withdraws together with
// the fans around it.
#include "grow/FanFolds.h"

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {
// Edges at the centre shorter than this give their triangle no weight (as in the
// clean-up's point normals).
constexpr double SHORT_EDGE_LENGTH = 0.001;
} // namespace

bool ringFoldsOver(const Vector3& centre, const Vector3* ring, int32_t count) {
    if (count < 2 || count > MAX_FAN_SIZE) {
        return false;
    }
    // Each triangle's normal (w - centre) x (u - centre), oriented as triangleNormal does;
    // divided by the lengths of its two edges at the centre it is the unit normal weighted
    // by the sine of the triangle's angle there.
    Vector3 normals[MAX_FAN_SIZE];
    Vector3 sum(0.0, 0.0, 0.0);
    for (int32_t k = 0; k < count; ++k) {
        const Vector3 e1 = difference(ring[k], centre);
        const Vector3 e2 = difference(ring[k + 1 < count ? k + 1 : 0], centre);
        normals[k] = e2.cross(e1);
        const double l1 = e1.length();
        const double l2 = e2.length();
        if (l1 < SHORT_EDGE_LENGTH || l2 < SHORT_EDGE_LENGTH) {
            continue;
        }
        Vector3 weighted = normals[k];
        weighted.scale(1.0 / (l1 * l2));
        sum.add(weighted);
    }
    const double sumLength = sum.length();
    for (int32_t k = 0; k < count; ++k) {
        if (normals[k].dot(sum) < FAN_FOLD_COSINE * normals[k].length() * sumLength) {
            return true;
        }
    }
    return false;
}

bool ReconstructionState::editedFanFolds(int32_t x, int32_t drop, int32_t after,
                                         int32_t add) const {
    const Vertex& record = vertices[x];
    const int32_t count = record.triangleFanCount;
    // Only an added entry can overflow the edited ring; a full fan may still lose one.
    if (add >= 0 && count + 1 > MAX_FAN_SIZE) {
        return false;
    }
    Vector3 before[MAX_FAN_SIZE];
    Vector3 edited[MAX_FAN_SIZE];
    int32_t size = 0;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t m = record.triangleFan[k];
        before[k] = vertices[m].position;
        if (m != drop) {
            edited[size++] = before[k];
        }
        if (m == after) {
            edited[size++] = vertices[add].position;
        }
    }
    return ringFoldsOver(record.position, edited, size) &&
           !ringFoldsOver(record.position, before, count);
}

bool ReconstructionState::flipFoldsFan(int32_t a, int32_t b, int32_t p, int32_t n) const {
    const auto completed = [this](int32_t x) { return pointState[static_cast<size_t>(x)] == 1; };
    return (completed(a) && editedFanFolds(a, b, -1, -1)) ||
           (completed(b) && editedFanFolds(b, a, -1, -1)) ||
           (completed(p) && editedFanFolds(p, -1, b, n)) ||
           (completed(n) && editedFanFolds(n, -1, a, p));
}
