// Global convexity test: rays cast through the component octree from a point and from
// the corners of its fan triangles; a fan is refused when a ray meets another part of
// the component.
#include <cmath>
#include <cstdlib>
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
    //
    // The result does not depend on the order of the rays. A point refused through the ray
    // of one of its fan members is usually refused through the same member when it is tested
    // again, so that member's ray is cast first (not while p is traced, to keep the trace).
#ifdef FANMESH_CHECK_FAN_MEMO
    // Checking build: every answer is compared with that of the rays in fan order.
    const auto checked = [&](bool result) {
        bool blocked = tree.castRay(vp.position, d, p);
        for (int32_t i = 0; i < vp.triangleFanCount && !blocked; ++i) {
            const int32_t l = vp.triangleFan[i];
            blocked = tree.castRay(vertices[l].position, d, l);
        }
        if (blocked == result) {
            std::cerr << "global convexity test of point " << p
                      << " differs from the rays in fan order\n";
            std::abort();
        }
        return result;
    };
#else
    const auto checked = [](bool result) { return result; };
#endif
    clockStart = diagnosticTicks();
    if (blockedOrigins.size() < static_cast<size_t>(activeCount)) {
        blockedOrigins.resize(static_cast<size_t>(activeCount), -1);
    }
    int32_t* const blockedOrigin =
        p >= 0 && p < activeCount ? &blockedOrigins[static_cast<size_t>(p)] : nullptr;
    const int32_t first = blockedOrigin != nullptr && !trace ? *blockedOrigin : -1;
    if (first >= 0 && indexInFan(p, first) >= 0 &&
        tree.castRay(vertices[first].position, d, first)) {
        refused();
        return checked(false);
    }
    if (tree.castRay(vp.position, d, p)) {
        if (blockedOrigin != nullptr) {
            *blockedOrigin = -1;
        }
        refused();
        if (trace) {
            std::cout << "Death at 4\n";
        }
        return checked(false);
    }
    for (int32_t i = 0; i < vp.triangleFanCount; ++i) {
        const int32_t l = vp.triangleFan[i];
        if (l == first) {
            continue; // cast first, and it did not hit
        }
        if (tree.castRay(vertices[l].position, d, l)) {
            if (blockedOrigin != nullptr) {
                *blockedOrigin = l;
            }
            refused();
            if (trace) {
                std::cout << "Death at 5 - "
                          << "\t" << d.x << " , " << d.y << " , " << d.z << "\n";
            }
            return checked(false);
        }
    }
    clockEnd = diagnosticTicks();
    octreeTicks += clockEnd - clockStart;
    return checked(true);
}
