// A flat triangular lattice of unit spacing in the plane z = 0 for the merging, completion
// and clean-up tests: every point within a given hexagonal distance of the origin, indexed
// centre first and then ring by ring (counter-clockwise from +x), with agreeing clockwise
// fans (seen from +z, so that the fan normals point to +z like the test cloud's normals).
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

    explicit HexLattice(int radius) {
        for (int ring = 0; ring <= radius; ++ring) {
            std::vector<Cell> ringCells;
            for (int q = -ring; q <= ring; ++q) {
                for (int r = -ring; r <= ring; ++r) {
                    if (std::max({std::abs(q), std::abs(r), std::abs(q + r)}) == ring) {
                        ringCells.push_back(Cell{q, r});
                    }
                }
            }
            std::sort(ringCells.begin(), ringCells.end(),
                      [](Cell a, Cell b) { return angle(a) < angle(b); });
            for (const Cell& cell : ringCells) {
                cells.push_back(cell);
                positions.push_back(position(cell));
            }
        }
    }

    static Vector3 position(Cell c) {
        return Vector3(c.q + 0.5 * c.r, c.r * std::sqrt(3.0) / 2.0, 0.0);
    }
    static double angle(Cell c) {
        const double t = std::atan2(position(c).y, position(c).x);
        return t < -1e-9 ? t + 2.0 * M_PI : t;
    }

    // Index of the cell (q, r), or -1 outside the lattice.
    int32_t index(int q, int r) const {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (cells[i].q == q && cells[i].r == r) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }

    // The lattice neighbours of p in clockwise order from direction 0 degrees, plus offset;
    // neighbours outside the lattice are left out.
    std::vector<int32_t> clockwiseRing(int32_t p, int32_t offset = 0) const {
        static const int directions[6][2] = {{1, 0}, {1, -1}, {0, -1}, {-1, 0}, {-1, 1}, {0, 1}};
        std::vector<int32_t> ring;
        for (const auto& d : directions) {
            const int32_t i = index(cells[p].q + d[0], cells[p].r + d[1]);
            if (i >= 0) {
                ring.push_back(i + offset);
            }
        }
        return ring;
    }

    // Completes the lattice points first .. last - 1 (stored from offset on in the cloud)
    // with their rings.
    void completeRings(TestCloud& cloud, int32_t first, int32_t last, int32_t offset = 0) const {
        for (int32_t p = first; p < last; ++p) {
            cloud.setFan(p + offset, clockwiseRing(p, offset));
        }
    }
    void completeRings(TestCloud& cloud, std::initializer_list<int32_t> points) const {
        for (const int32_t p : points) {
            cloud.setFan(p, clockwiseRing(p));
        }
    }
};

// A completed patch of the lattice's first two rings (points 0 to 18, lattice of radius 3)
// and one more point, 37, just above the triangle (0, 1, 2), whose neighbours are the points
// 0 to 15: the standard case of the covering search.
struct PointAbovePatch {
    static constexpr int32_t point = 37;
    const HexLattice lattice{3};
    TestCloud cloud;

    PointAbovePatch() : cloud(withPointAbove(lattice.positions)) {
        lattice.completeRings(cloud, 0, 19);
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            cloud.records[point].neighbours[k] = k;
        }
    }

  private:
    static std::vector<Vector3> withPointAbove(std::vector<Vector3> positions) {
        positions.push_back(Vector3(0.5, 0.3, 0.05));
        return positions;
    }
};

} // namespace meshtest
