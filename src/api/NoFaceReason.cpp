// NoFaceReason: the line-and-plane checks (farthest point from the first, farthest point from
// their line, largest distance from their plane) and the wording of each case.
#include "api/NoFaceReason.h"

#include <cmath>

#include "geometry/Geometry.h"

namespace {

// Points closer than this share of the cloud's size to a line or plane count as on it.
constexpr double FLAT_TOLERANCE = 1e-9;

// Index of the record with the largest distance among the first count, and that distance.
template <typename Distance>
int32_t farthest(const Vertex* records, int32_t count, Distance distance, double& largest) {
    int32_t best = 0;
    largest = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        const double d = distance(records[i].position);
        if (d > largest) {
            largest = d;
            best = i;
        }
    }
    return best;
}

} // namespace

std::string describeNoFace(const Vertex* records, int32_t usableCount, bool seedAccepted) {
    const std::string count = std::to_string(usableCount);
    if (usableCount > 0) {
        const Vector3 origin = records[0].position;
        double size = 0.0;
        const int32_t end = farthest(
            records, usableCount, [&](const Vector3& p) { return difference(p, origin).length(); },
            size);
        const Vector3 along = difference(records[end].position, origin);
        const auto offLine = [&](const Vector3& p) {
            return difference(p, origin).cross(along).length() / along.length();
        };
        double lineDistance = 0.0;
        const int32_t side = size > 0.0 ? farthest(records, usableCount, offLine, lineDistance) : 0;
        if (lineDistance <= FLAT_TOLERANCE * size) {
            return "all " + count + " usable points lie on one line";
        }
        const Vector3 normal = along.cross(difference(records[side].position, origin));
        const auto offPlane = [&](const Vector3& p) {
            return std::fabs(difference(p, origin).dot(normal)) / normal.length();
        };
        double planeDistance = 0.0;
        farthest(records, usableCount, offPlane, planeDistance);
        if (planeDistance <= FLAT_TOLERANCE * size) {
            return "all " + count + " usable points lie exactly in one plane" +
                   (seedAccepted ? ", where the growth stalled and the clean-up removed what it "
                                   "built"
                                 : " and no seed point got a first fan");
        }
    }
    if (usableCount < FEWEST_GROWABLE_POINTS) {
        return "only " + count + " usable points, too few to grow a surface over them";
    }
    if (!seedAccepted) {
        return "no seed point among the " + count + " usable points got a first fan";
    }
    return "every face the growth built was removed again by the clean-up passes";
}
