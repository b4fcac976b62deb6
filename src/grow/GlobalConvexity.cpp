// Global convexity test: rays cast through the component octree from a point and from
// the corners of its fan triangles; a fan is refused when a ray meets another part of
// the component.
#include <algorithm>
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
    if (fanTiltsAway(p)) {
        GROWTH_REFUSE(p, fanTilt);
        return false;
    }
    const bool trace = p == tracePoint;
#ifdef FANMESH_GROWTH_STATS
    // Whether the rays run against the normals of the completed fans holding p.
    const auto againstSurface = [&]() {
        Vector3 around{0.0, 0.0, 0.0};
        for (const int32_t c : vp.connectedPoints) {
            if (pointState[static_cast<size_t>(c)] == 1) {
                around.add(vertices[c].normal);
            }
        }
        return around.dot(d) < 0.0;
    };
    const auto refused = [&]() { GROWTH_CONVEXITY_REFUSED(againstSurface()); };
    const auto passedTest = [&]() { growthStats.convexityPassed(againstSurface()); };
#else
    const auto refused = []() {};
    const auto passedTest = []() {};
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
    // On a reversed layer the rays run into the part; a fan that would close over open
    // surface rising beside it on the outer side is refused before any ray.
    if (openRiseSine > 0.0 && growingReversedLayer && openNeighbourRisesOver(p)) {
        refused();
        return false;
    }
    clockStart = diagnosticTicks();
    if (blockedOrigins.size() < static_cast<size_t>(activeCount)) {
        blockedOrigins.resize(static_cast<size_t>(activeCount), -1);
    }
    int32_t* const blockedOrigin =
        p >= 0 && p < activeCount ? &blockedOrigins[static_cast<size_t>(p)] : nullptr;
    const int32_t first = blockedOrigin != nullptr && !trace ? *blockedOrigin : -1;

    // The rays in their order: the member that refused p last time, p, the other members.
    // Returns whether the fan passes and sets blockedAfter to the blockedOrigins entry the
    // test leaves. With a record, each ray's origin and the cubes its answer rests on are
    // appended to it: for a ray that hits only the leaf that blocked it.
    const auto runRays = [&](ConvexityRecord* record, int32_t& blockedAfter) {
        blockedAfter = blockedOrigin != nullptr ? *blockedOrigin : -1;
        const auto cast = [&](int32_t o) {
            if (record == nullptr) {
                return tree.castRay(vertices[o].position, d, o);
            }
            record->origins.push_back(o);
            const size_t from = record->cubes.size();
            const bool hit = tree.castRay(vertices[o].position, d, o, &record->cubes);
            if (hit && record->cubes.size() > from + 1) {
                record->cubes.erase(record->cubes.begin() + static_cast<ptrdiff_t>(from),
                                    record->cubes.end() - 1);
            }
            return hit;
        };
        if (first >= 0 && indexInFan(p, first) >= 0 && cast(first)) {
            return false;
        }
        if (cast(p)) {
            if (blockedOrigin != nullptr) {
                blockedAfter = -1;
            }
            if (trace) {
                std::cout << "Death at 4\n";
            }
            return false;
        }
        for (int32_t i = 0; i < vp.triangleFanCount; ++i) {
            const int32_t l = vp.triangleFan[i];
            if (l == first) {
                continue; // cast first, and it did not hit
            }
            if (cast(l)) {
                if (blockedOrigin != nullptr) {
                    blockedAfter = l;
                }
                if (trace) {
                    std::cout << "Death at 5 - "
                              << "\t" << d.x << " , " << d.y << " , " << d.z << "\n";
                }
                return false;
            }
        }
        return true;
    };
    const auto finish = [&](bool passed, int32_t blockedAfter) {
        if (blockedOrigin != nullptr) {
            *blockedOrigin = blockedAfter;
        }
        if (!passed) {
            refused();
            return checked(false);
        }
        passedTest();
        clockEnd = diagnosticTicks();
        octreeTicks += clockEnd - clockStart;
        return checked(true);
    };

    // A test against a kept component tree is recorded from its second time on, and a
    // recorded test whose inputs are all unchanged gives its outcome again.
    const uint64_t lineage =
        &tree == componentTrees.current() ? componentTrees.currentLineage() : 0;
    if (lineage == 0 || trace || blockedOrigin == nullptr) {
        int32_t blockedAfter = -1;
        const bool passed = runRays(nullptr, blockedAfter);
        return finish(passed, blockedAfter);
    }
    const size_t at = static_cast<size_t>(p);
    if (convexityRecords.size() < static_cast<size_t>(activeCount)) {
        convexityRecords.resize(static_cast<size_t>(activeCount));
        convexityTested.resize(static_cast<size_t>(activeCount), 0);
    }
    const auto editsOf = [this](int32_t o) {
        return static_cast<size_t>(o) < neighbourEditCounts.size()
                   ? neighbourEditCounts[static_cast<size_t>(o)]
                   : 0u;
    };
    std::unique_ptr<ConvexityRecords>& kept = convexityRecords[at];
    ConvexityRecord* reuse = nullptr; // a record of the same rays, to be cast again
    if (kept != nullptr) {
        for (ConvexityRecord& record : kept->entries) {
            if (record.lineage == 0 || record.first != first || record.direction.x != d.x ||
                record.direction.y != d.y || record.direction.z != d.z ||
                record.fan.size() != static_cast<size_t>(vp.triangleFanCount) ||
                !std::equal(record.fan.begin(), record.fan.end(),
                            vp.triangleFan.first(vp.triangleFanCount))) {
                continue;
            }
            reuse = &record;
            bool same = componentTrees.unchangedSince(record.lineage, record.version,
                                                      record.cubes.data(), record.cubes.size());
            for (size_t i = 0; i < record.origins.size() && same; ++i) {
                const int32_t o = record.origins[i];
                const uint32_t edits = editsOf(o);
                if (edits != record.originEdits[i]) {
                    // Edited since: the answer stands while the list is the same again.
                    same = std::equal(
                        vertices[o].neighbours, vertices[o].neighbours + NEIGHBOUR_COUNT,
                        record.originRows.begin() + static_cast<ptrdiff_t>(i * NEIGHBOUR_COUNT));
                    if (same) {
                        record.originEdits[i] = edits;
                    }
                }
            }
            if (!same) {
                break;
            }
            record.version = componentTrees.currentVersion();
#ifdef FANMESH_CHECK_FAN_MEMO
            int32_t blockedAfter = -1;
            if (runRays(nullptr, blockedAfter) != record.passed ||
                blockedAfter != record.blockedAfter) {
                std::cerr << "recorded global convexity test of point " << p
                          << " differs from its rays\n";
                std::abort();
            }
#endif
            return finish(record.passed, record.blockedAfter);
        }
    }
    if (convexityTested[at] == 0) {
        convexityTested[at] = 1;
        int32_t blockedAfter = -1;
        const bool passed = runRays(nullptr, blockedAfter);
        return finish(passed, blockedAfter);
    }
    if (kept == nullptr) {
        kept = std::make_unique<ConvexityRecords>();
    }
    ConvexityRecord* const record =
        reuse != nullptr ? reuse : &kept->entries[kept->next++ % ConvexityRecords::SIZE];
    record->direction = d;
    record->first = first;
    const int32_t* const fan = vp.triangleFan.first(vp.triangleFanCount);
    record->fan.assign(fan, fan + vp.triangleFanCount);
    record->origins.clear();
    record->cubes.clear();
    record->lineage = lineage;
    record->version = componentTrees.currentVersion();
    record->passed = runRays(record, record->blockedAfter);
    record->originEdits.clear();
    record->originRows.clear();
    for (const int32_t o : record->origins) {
        record->originEdits.push_back(editsOf(o));
        record->originRows.insert(record->originRows.end(), vertices[o].neighbours,
                                  vertices[o].neighbours + NEIGHBOUR_COUNT);
    }
    return finish(record->passed, record->blockedAfter);
}
