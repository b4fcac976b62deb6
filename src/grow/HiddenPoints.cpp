// Neighbours hidden under a closed fan: finding the fan wedge over a point and swapping an
// uncompleted neighbour that lies over the fan into it, in place of the nearer corner of the
// covering triangle.
#include <cmath>

#include "geometry/Geometry.h"
#include "geometry/PreparedTriangle.h"
#include "recon/ReconstructionState.h"

int32_t ReconstructionState::findHostTriangle(int32_t a, int32_t t, bool& found) {
    if (indexInFan(a, t) >= 0) {
        found = true;
        return prevInFan(a, t);
    }
    const Vertex& v = vertices[a];
    const int32_t count = v.triangleFanCount;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t u = v.triangleFan[i];
        const int32_t w = v.triangleFan[(i + 1) % count];
        if (inWedge(v.position, vertices[u].position, vertices[w].position, v.normal,
                    vertices[t].position)) {
            found = true;
            return u;
        }
    }
    found = false;
    return -1;
}

bool ReconstructionState::searchingAndReplacingHiddenPointsByConvexity(int32_t a) {
    bool result = true;
    Vertex& v = vertices[a];
    // The fan and the normal stay as they are until a neighbour is swapped in, which ends
    // the loop, so the wedges of the fan triangles are set up once, at the first neighbour
    // that needs them (findHostTriangle for a point outside the fan, wedge by wedge).
    const int32_t count = v.triangleFanCount;
    PreparedTriangle wedges[MAX_FAN_SIZE];
    double alongs[MAX_FAN_SIZE];
    bool prepared = false;
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        const int32_t t = v.neighbours[k];
        if (t < 0 || pointState[t] == 1 || indexInFan(a, t) >= 0) {
            continue;
        }
        if (!prepared) {
            for (int32_t i = 0; i < count; ++i) {
                const int32_t u = v.triangleFan[i];
                const int32_t w = v.triangleFan[(i + 1) % count];
                wedges[i] =
                    PreparedTriangle(v.position, vertices[u].position, vertices[w].position);
                alongs[i] = wedges[i].normal.dot(v.normal);
            }
            prepared = true;
        }
        int32_t m = -1;
        for (int32_t i = 0; i < count; ++i) {
            if (wedges[i].inWedgeAlong(alongs[i], v.normal, vertices[t].position)) {
                m = v.triangleFan[i];
                break;
            }
        }
        if (m < 0) {
            continue;
        }
        const int32_t u = nextInFan(a, m);
        const Vector3& pa = v.position;
        const Vector3& pm = vertices[m].position;
        const Vector3& pu = vertices[u].position;
        const Vector3& pt = vertices[t].position;
        // Only a neighbour strictly on the hidden side is swapped in: on an exactly planar
        // patch every neighbour lies in the fan's plane, and counting those as hidden would
        // swap points back and forth until the fan is refused. With hiddenUnderTrianglesOnly
        // it must also lie under the triangle itself, not merely in its unbounded wedge:
        // where a thin part curves away within a few spacings, the neighbours beyond the
        // fan's ring fall below the triangle's extended plane without being covered by it.
        // And the hidden side is then the side the surface faces, also for a fan built in
        // reversed order: otherwise such a fan counts the far wall of a thin part, or the
        // other of two close sheets, as hidden under it.
        const double side = signedDistanceToTrianglePlane(pa, pm, pu, pt);
        if ((hiddenSideReversed ? -side : side) > 0.0 &&
            (!hiddenUnderTrianglesOnly || lineHitsTriangle(pa, pm, pu, v.normal, pt))) {
            const Vector3 x = linePlaneHitPoint(pa, pm, pu, v.normal, pt);
            // The corner at the smaller angle from x is replaced; the angles are computed
            // only when their cosines lie too close to tell.
            const double cosineM = clampedCosine(difference(pm, pa), difference(x, pa));
            const double cosineU = clampedCosine(difference(x, pa), difference(pu, pa));
            const int order = angleOrderFromCosines(cosineU, cosineM);
            const bool nearerU = order != 0 ? order < 0
                                            : std::acos(cosineU) * RADIANS_TO_DEGREES <
                                                  std::acos(cosineM) * RADIANS_TO_DEGREES;
            const int32_t replaced = nearerU ? u : m;
            v.triangleFan[indexInFan(a, replaced)] = t;
            result = false;
            break;
        }
    }
    const int32_t* entries = v.triangleFan.first(v.triangleFanCount);
    v.currentTriangleFan.assign(entries, entries + v.triangleFanCount);
    updateClosedFanNormal(a);
    return result;
}
