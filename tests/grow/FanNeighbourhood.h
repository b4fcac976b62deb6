// A hand-made hexagonal neighbourhood for the fan-search tests: a centre point, its six
// nearest neighbours in the plane z = 0 and twelve outer points lifted slightly above the
// plane, with the accepted fan of neighbour 1 already containing the centre.
#pragma once

#include <cmath>
#include <vector>

#include "support/MeshInvariants.h"

namespace fantest {

// 0: centre; 1..6: distance 1 at 0, 60, ..., 300 degrees; 7..12: distance sqrt(3) at 30,
// 90, ..., 330 degrees; 13..18: distance 2 at 0, 60, ..., 300 degrees.
// The outer points sit at height lift.
inline std::vector<Vector3> hexagonalPositions(double lift = 0.1) {
    const double pi = 3.14159265358979323846;
    std::vector<Vector3> positions{Vector3(0.0, 0.0, 0.0)};
    for (int i = 0; i < 6; ++i) {
        const double t = i * pi / 3.0;
        positions.emplace_back(std::cos(t), std::sin(t), 0.0);
    }
    for (int i = 0; i < 6; ++i) {
        const double t = pi / 6.0 + i * pi / 3.0;
        positions.emplace_back(std::sqrt(3.0) * std::cos(t), std::sqrt(3.0) * std::sin(t), lift);
    }
    for (int i = 0; i < 6; ++i) {
        const double t = i * pi / 3.0;
        positions.emplace_back(2.0 * std::cos(t), 2.0 * std::sin(t), lift);
    }
    return positions;
}

// The hexagonal cloud with point 1 completed: its fan runs counter-clockwise seen from +z
// around (1, 0, 0) and holds the centre between points 2 and 6.
struct HexNeighbourhood : meshtest::TestCloud {
    explicit HexNeighbourhood(const std::vector<Vector3>& positions = hexagonalPositions())
        : TestCloud(positions) {
        setFan(1, {13, 7, 2, 0, 6, 12});
    }
};

} // namespace fantest
