// A flat triangular lattice of unit spacing in the plane z = 0 for the merging and
// completion tests: every point within a given hexagonal distance of the origin, indexed
// centre first and then ring by ring, with agreeing clockwise fans (seen from +z, so that
// the fan normals point to +z like the test cloud's normals).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "support/MeshInvariants.h"

namespace meshtest {

struct HexLattice {
    struct Cell {
        int q, r;
    };
    std::vector<Cell> cells;
    std::vector<Vector3> positions;
    int radius;

    explicit HexLattice(int hexRadius) : radius(hexRadius) {
        for (int ring = 0; ring <= radius; ++ring) {
            std::vector<Cell> ringCells;
            for (int q = -radius; q <= radius; ++q) {
                for (int r = -radius; r <= radius; ++r) {
                    if (distance(q, r) == ring) {
                        ringCells.push_back(Cell{q, r});
                    }
                }
            }
            std::sort(ringCells.begin(), ringCells.end(),
                      [this](Cell a, Cell b) { return angle(a) < angle(b); });
            for (const Cell& cell : ringCells) {
                cells.push_back(cell);
                positions.push_back(position(cell));
            }
        }
    }

    static int distance(int q, int r) {
        return std::max({std::abs(q), std::abs(r), std::abs(q + r)});
    }
    static Vector3 position(Cell c) {
        return Vector3(c.q + 0.5 * c.r, c.r * std::sqrt(3.0) / 2.0, 0.0);
    }
    static double angle(Cell c) {
        const Vector3 p = position(c);
        const double t = std::atan2(p.y, p.x);
        return t < -1e-9 ? t + 2.0 * 3.14159265358979323846 : t;
    }

    // Index of the cell (q, r), or -1 outside the lattice.
    int index(int q, int r) const {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (cells[i].q == q && cells[i].r == r) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // The lattice neighbours of point p in clockwise order, starting at direction 0 degrees;
    // neighbours outside the lattice are left out.
    std::vector<int32_t> clockwiseRing(int32_t p) const {
        static const int directions[6][2] = {{1, 0}, {1, -1}, {0, -1}, {-1, 0}, {-1, 1}, {0, 1}};
        std::vector<int32_t> ring;
        for (const auto& d : directions) {
            const int i = index(cells[p].q + d[0], cells[p].r + d[1]);
            if (i >= 0) {
                ring.push_back(i);
            }
        }
        return ring;
    }
};

// Cyclic successor of key in a fan list, -1 when absent.
inline int32_t nextIn(const std::vector<int32_t>& fan, int32_t key) {
    const auto found = std::find(fan.begin(), fan.end(), key);
    if (found == fan.end()) {
        return -1;
    }
    const size_t i = static_cast<size_t>(found - fan.begin());
    return fan[(i + 1) % fan.size()];
}

// The fans of p and of every member agree: each triangle (p, u, w) stands as (u, w, p) in the
// fan of u whenever u holds p.
inline ::testing::AssertionResult fanAgreesWithCompletedMembers(const TestCloud& cloud, int32_t p) {
    const std::vector<int32_t> fan = cloud.fan(p);
    for (const int32_t u : fan) {
        if (cloud.state.pointState[u] != 1) {
            continue;
        }
        const std::vector<int32_t> other = cloud.fan(u);
        if (std::find(other.begin(), other.end(), p) == other.end()) {
            continue;
        }
        if (nextIn(other, nextIn(fan, u)) != p) {
            return ::testing::AssertionFailure()
                   << "triangle (" << p << ", " << u << ", " << nextIn(fan, u)
                   << ") is not matched in the fan of " << u;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace meshtest
