// Test support: a small hand-made point cloud attached to a ReconstructionState (without
// building any octree), fan setters that go around the editing operations, and the checker
// for the invariants every fan edit must keep (links, working fan copy, bounds).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace meshtest {

// Records with the given positions, attached to a state as a run without removed points
// would leave them: empty fans and links, pointState 0, normals (0, 0, 1), neighbours the
// 16 nearest other points (repeated cyclically when the cloud holds fewer than 17 points),
// neighbourhoodRadius the distance to the last neighbour. No octree is built.
struct TestCloud {
    std::vector<Vertex> records;
    ReconstructionState state;

    explicit TestCloud(const std::vector<Vector3>& positions) : records(positions.size()) {
        const int32_t n = size();
        for (int32_t i = 0; i < n; ++i) {
            Vertex& record = records[i];
            record.position = positions[i];
            record.normal = Vector3(0.0, 0.0, 1.0);
            record.eigenvalues[0] = record.eigenvalues[1] = record.eigenvalues[2] = 0.0;
            std::fill(record.triangleFan.first(MAX_FAN_SIZE),
                      record.triangleFan.first(MAX_FAN_SIZE) + MAX_FAN_SIZE, -1);
        }
        for (int32_t i = 0; i < n; ++i) {
            // The other points by increasing distance (index breaks ties).
            std::vector<int32_t> others;
            for (int32_t j = 0; j < n; ++j) {
                if (j != i) {
                    others.push_back(j);
                }
            }
            auto distance2 = [&](int32_t j) {
                const Vector3 d = difference(records[j].position, records[i].position);
                return d.dot(d);
            };
            std::stable_sort(others.begin(), others.end(),
                             [&](int32_t a, int32_t b) { return distance2(a) < distance2(b); });
            if (others.empty()) {
                others.push_back(i);
            }
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                records[i].neighbours[k] = others[static_cast<size_t>(k) % others.size()];
            }
            const int32_t last = records[i].neighbours[NEIGHBOUR_COUNT - 1];
            records[i].neighbourhoodRadius = std::sqrt(distance2(last));
        }
        attachTo(state);
    }

    // Points another state at these records as a hand-over without removed records would,
    // without building its octree; pointState is cleared.
    void attachTo(ReconstructionState& target) {
        target.vertices = records.data();
        target.activeCount = target.totalCount = size();
        target.searchRadius = 2.5;
        target.halfSearchRadius = 1.25;
        target.resetPointStates(records.size());
    }

    int32_t size() const { return static_cast<int32_t>(records.size()); }

    // Installs fan as the accepted fan of p without the editing operations: triangleFan,
    // triangleFanCount and currentTriangleFan are set, p is appended to connectedPoints of
    // every member, and pointState of p becomes 1 when completed is true.
    void setFan(int32_t p, const std::vector<int32_t>& fan, bool completed = true) {
        Vertex& record = records[p];
        record.triangleFanCount = static_cast<int32_t>(fan.size());
        record.triangleFan.assign(fan.data(), static_cast<int32_t>(fan.size()));
        record.currentTriangleFan = fan;
        for (const int32_t member : fan) {
            records[member].connectedPoints.push_back(p);
        }
        state.setPointState(p, completed ? 1 : 0);
    }

    std::vector<int32_t> fan(int32_t p) const {
        const Vertex& record = records[p];
        const int32_t* entries = record.triangleFan.first(record.triangleFanCount);
        return std::vector<int32_t>(entries, entries + record.triangleFanCount);
    }
};

// Every fan holds 0 to MAX_FAN_SIZE distinct in-range entries; for accepted fans (pointState
// non-zero) currentTriangleFan equals the fan; links and fans match as multisets: q lists p
// in its links exactly as often as q occurs in p's fan (both directions are checked).
inline ::testing::AssertionResult fanLinksConsistent(const ReconstructionState& state) {
    const int32_t n = state.totalCount;
    auto listed = [&](int32_t q, int32_t p) {
        const std::vector<int32_t>& links = state.vertices[q].connectedPoints;
        return std::count(links.begin(), links.end(), p);
    };
    for (int32_t p = 0; p < n; ++p) {
        const Vertex& record = state.vertices[p];
        const int32_t count = record.triangleFanCount;
        if (count < 0 || count > MAX_FAN_SIZE) {
            return ::testing::AssertionFailure() << "point " << p << " has fan count " << count;
        }
        const int32_t* entries = record.triangleFan.first(count);
        const std::vector<int32_t> fan(entries, entries + count);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t q = fan[i];
            if (q < 0 || q >= n || std::count(fan.begin(), fan.end(), q) != 1) {
                return ::testing::AssertionFailure()
                       << "fan of " << p << " holds " << q << " out of range or twice";
            }
            if (listed(q, p) != 1) {
                return ::testing::AssertionFailure()
                       << "fan of " << p << " holds " << q << " but its links list " << p << " "
                       << listed(q, p) << " time(s)";
            }
        }
        if (state.pointState[p] != 0 && record.currentTriangleFan != fan) {
            return ::testing::AssertionFailure()
                   << "working fan of accepted point " << p << " differs from its fan";
        }
        for (const int32_t owner : record.connectedPoints) {
            const Vertex* o = owner >= 0 && owner < n ? &state.vertices[owner] : nullptr;
            if (o == nullptr ||
                std::count(o->triangleFan.first(o->triangleFanCount),
                           o->triangleFan.first(o->triangleFanCount) + o->triangleFanCount,
                           p) != listed(p, owner)) {
                return ::testing::AssertionFailure()
                       << "links of " << p << " list " << owner << " without a matching fan";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Cyclic successor of key in a fan list, -1 when absent.
inline int32_t nextIn(const std::vector<int32_t>& fan, int32_t key) {
    const auto found = std::find(fan.begin(), fan.end(), key);
    return found == fan.end() ? -1
                              : fan[(static_cast<size_t>(found - fan.begin()) + 1) % fan.size()];
}

// The fans of p and of every completed member agree: each triangle (p, u, w) stands as
// (u, w, p) in the fan of u whenever u holds p.
inline ::testing::AssertionResult fanAgreesWithCompletedMembers(const TestCloud& cloud, int32_t p) {
    const std::vector<int32_t> fan = cloud.fan(p);
    for (const int32_t u : fan) {
        const std::vector<int32_t> other = cloud.fan(u);
        if (cloud.state.pointState[u] == 1 &&
            std::find(other.begin(), other.end(), p) != other.end() &&
            nextIn(other, nextIn(fan, u)) != p) {
            return ::testing::AssertionFailure()
                   << "triangle (" << p << ", " << u << ", " << nextIn(fan, u)
                   << ") is not matched in the fan of " << u;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace meshtest
