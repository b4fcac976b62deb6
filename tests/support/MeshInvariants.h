// Test support: a small hand-made point cloud attached to a ReconstructionState (without
// building any octree), fan setters that go around the editing operations, and checkers
// for the invariants every fan edit must keep (reverse links, working fan copy, bounds).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

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
        const int32_t n = static_cast<int32_t>(positions.size());
        for (int32_t i = 0; i < n; ++i) {
            Vertex& record = records[i];
            record.position = positions[i];
            record.normal = Vector3(0.0, 0.0, 1.0);
            record.layerMark = Vector3(0.0, 0.0, 0.0);
            record.triangleFanCount = 0;
            record.surfaceVariation = 0.0;
            record.eigenvalues[0] = record.eigenvalues[1] = record.eigenvalues[2] = 0.0;
            std::fill(record.triangleFan, record.triangleFan + MAX_FAN_SIZE, -1);
        }
        for (int32_t i = 0; i < n; ++i) {
            setNearestNeighbours(i);
        }
        attachTo(state);
    }

    // Points another state at these records as a hand-over without removed records would,
    // without building its octree; pointState is cleared.
    void attachTo(ReconstructionState& target) {
        const int32_t n = size();
        target.vertices = records.data();
        target.activeCount = n;
        target.totalCount = n;
        target.searchRadius = 2.5;
        target.halfSearchRadius = 1.25;
        target.pointState.assign(static_cast<size_t>(n), 0);
    }

    int32_t size() const { return static_cast<int32_t>(records.size()); }

    // Neighbours of i: the other points by increasing distance (index breaks ties).
    void setNearestNeighbours(int32_t i) {
        const int32_t n = size();
        std::vector<int32_t> others;
        for (int32_t j = 0; j < n; ++j) {
            if (j != i) {
                others.push_back(j);
            }
        }
        const Vector3 centre = records[i].position;
        auto distance2 = [&](int32_t j) {
            const Vector3& q = records[j].position;
            const double dx = q.x - centre.x, dy = q.y - centre.y, dz = q.z - centre.z;
            return dx * dx + dy * dy + dz * dz;
        };
        std::stable_sort(others.begin(), others.end(),
                         [&](int32_t a, int32_t b) { return distance2(a) < distance2(b); });
        if (others.empty()) {
            others.push_back(i);
        }
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            records[i].neighbours[k] = others[static_cast<size_t>(k) % others.size()];
        }
        const Vector3 far = records[records[i].neighbours[NEIGHBOUR_COUNT - 1]].position;
        const double dx = far.x - centre.x, dy = far.y - centre.y, dz = far.z - centre.z;
        records[i].neighbourhoodRadius = std::sqrt(dx * dx + dy * dy + dz * dz);
    }

    // Installs fan as the accepted fan of p without the editing operations: triangleFan,
    // triangleFanCount and currentTriangleFan are set, p is appended to connectedPoints of
    // every member, and pointState of p becomes 1 when completed is true.
    void setFan(int32_t p, std::initializer_list<int32_t> fan, bool completed = true) {
        setFan(p, std::vector<int32_t>(fan), completed);
    }
    void setFan(int32_t p, const std::vector<int32_t>& fan, bool completed = true) {
        Vertex& record = records[p];
        record.triangleFanCount = static_cast<int32_t>(fan.size());
        std::copy(fan.begin(), fan.end(), record.triangleFan);
        record.currentTriangleFan = fan;
        for (const int32_t member : fan) {
            records[member].connectedPoints.push_back(p);
        }
        state.pointState[p] = completed ? 1 : 0;
    }

    // The accepted fan of p as a list.
    std::vector<int32_t> fan(int32_t p) const {
        const Vertex& record = records[p];
        return std::vector<int32_t>(record.triangleFan,
                                    record.triangleFan + record.triangleFanCount);
    }
};

// Every connectedPoints entry of q names a point p whose fan contains q, counted as a
// multiset (p is listed in q's links exactly as often as q occurs in p's fan); every fan
// holds 0 to MAX_FAN_SIZE distinct in-range entries; for accepted fans (pointState
// non-zero) currentTriangleFan equals the first triangleFanCount entries of triangleFan.
inline ::testing::AssertionResult fanLinksConsistent(const ReconstructionState& state) {
    const int32_t n = state.totalCount;
    for (int32_t p = 0; p < n; ++p) {
        const Vertex& record = state.vertices[p];
        if (record.triangleFanCount < 0 || record.triangleFanCount > MAX_FAN_SIZE) {
            return ::testing::AssertionFailure()
                   << "point " << p << " has fan count " << record.triangleFanCount;
        }
        for (int32_t i = 0; i < record.triangleFanCount; ++i) {
            const int32_t member = record.triangleFan[i];
            if (member < 0 || member >= n) {
                return ::testing::AssertionFailure()
                       << "fan of " << p << " holds out-of-range entry " << member;
            }
            for (int32_t j = 0; j < i; ++j) {
                if (record.triangleFan[j] == member) {
                    return ::testing::AssertionFailure()
                           << "fan of " << p << " holds " << member << " twice";
                }
            }
        }
        if (state.pointState[p] != 0) {
            const std::vector<int32_t> expected(record.triangleFan,
                                                record.triangleFan + record.triangleFanCount);
            if (record.currentTriangleFan != expected) {
                return ::testing::AssertionFailure()
                       << "working fan of accepted point " << p << " differs from its fan";
            }
        }
    }
    for (int32_t q = 0; q < n; ++q) {
        const std::vector<int32_t>& links = state.vertices[q].connectedPoints;
        for (const int32_t p : links) {
            if (p < 0 || p >= n) {
                return ::testing::AssertionFailure()
                       << "links of " << q << " hold out-of-range entry " << p;
            }
            const Vertex& owner = state.vertices[p];
            const auto inFan =
                std::count(owner.triangleFan, owner.triangleFan + owner.triangleFanCount, q);
            const auto listed = std::count(links.begin(), links.end(), p);
            if (inFan != listed) {
                return ::testing::AssertionFailure()
                       << "links of " << q << " list " << p << " " << listed
                       << " time(s) but the fan of " << p << " holds " << q << " " << inFan
                       << " time(s)";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// The converse link check: every member q of every fan of p lists p in its links.
inline ::testing::AssertionResult everyFanMemberLinked(const ReconstructionState& state) {
    for (int32_t p = 0; p < state.totalCount; ++p) {
        const Vertex& record = state.vertices[p];
        for (int32_t i = 0; i < record.triangleFanCount; ++i) {
            const std::vector<int32_t>& links =
                state.vertices[record.triangleFan[i]].connectedPoints;
            if (std::find(links.begin(), links.end(), p) == links.end()) {
                return ::testing::AssertionFailure()
                       << "fan of " << p << " holds " << record.triangleFan[i]
                       << " but its links do not list " << p;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace meshtest
