// Global convexity test: rays cast through the component octree from a point and from
// the corners of its fan triangles; a fan is refused when a ray meets another part of
// the component.
#include <cmath>
#include <ctime>
#include <iostream>

#include "grow/GrowthStats.h"
#include "recon/DiagnosticClock.h"
#include "recon/ReconstructionState.h"

bool ReconstructionState::globalConvexityTest(int32_t p, Octree& tree, bool flipNormal) {
    const Vertex& vp = vertices[p];
    Vector3 d = vp.normal;
    if (d.length() < 1e-6) {
        return false;
    }
    if (flipNormal) {
        d.negate();
    }
    if (vp.triangleFanCount < 1) {
        return true;
    }
    const bool trace = p == tracePoint;
#ifdef FANMESH_GROWTH_STATS
    // Whether the rays run against the normals of the completed fans holding p.
    const auto refused = [&]() {
        Vector3 around{0.0, 0.0, 0.0};
        for (const int32_t c : vp.connectedPoints) {
            if (pointState[static_cast<size_t>(c)] == 1) {
                around.add(vertices[c].normal);
            }
        }
        GROWTH_CONVEXITY_REFUSED(around.dot(d) < 0.0);
    };
#else
    const auto refused = []() {};
#endif
    // Each fan triangle (p, l, o) casts from its three corners, o being the entry next to l
    // (previous with a flipped normal). Over the whole fan these corners are p and every fan
    // entry, and the test fails as soon as one ray hits, so each of them is cast once.
    clockStart = diagnosticTicks();
    if (tree.castRay(vp.position, d, p)) {
        refused();
        if (trace) {
            std::cout << "Death at 4\n";
        }
        return false;
    }
    for (int32_t i = 0; i < vp.triangleFanCount; ++i) {
        const int32_t l = vp.triangleFan[i];
        if (tree.castRay(vertices[l].position, d, l)) {
            refused();
            if (trace) {
                std::cout << "Death at 5 - "
                          << "\t" << d.x << " , " << d.y << " , " << d.z << "\n";
            }
            return false;
        }
    }
    clockEnd = diagnosticTicks();
    octreeTicks += clockEnd - clockStart;
    return true;
}
