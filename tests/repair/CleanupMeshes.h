// Hand-made meshes for the clean-up pass tests: flat hexagonal patches whose chosen points
// are completed with their lattice rings, and snapshots to compare a mesh before and after.
#pragma once

#include <vector>

#include "support/HexLattice.h"

namespace cleanuptest {

// Completes every listed lattice point with its clockwise lattice ring, index offset added.
inline void completeRings(meshtest::TestCloud& cloud, const meshtest::HexLattice& lattice,
                          const std::vector<int32_t>& points, int32_t offset = 0) {
    for (const int32_t p : points) {
        std::vector<int32_t> ring = lattice.clockwiseRing(p);
        for (int32_t& m : ring) {
            m += offset;
        }
        cloud.setFan(p + offset, ring);
    }
}

inline std::vector<int32_t> range(int32_t from, int32_t to) {
    std::vector<int32_t> out;
    for (int32_t i = from; i < to; ++i) {
        out.push_back(i);
    }
    return out;
}

// Fans, links and states of every point.
struct MeshSnapshot {
    std::vector<std::vector<int32_t>> fans;
    std::vector<std::vector<int32_t>> links;
    std::vector<uint8_t> states;

    explicit MeshSnapshot(const meshtest::TestCloud& cloud) : states(cloud.state.pointState) {
        for (int32_t p = 0; p < cloud.size(); ++p) {
            fans.push_back(cloud.fan(p));
            links.push_back(cloud.records[p].connectedPoints);
        }
    }
    bool operator==(const MeshSnapshot& other) const {
        return fans == other.fans && links == other.links && states == other.states;
    }
};

} // namespace cleanuptest
