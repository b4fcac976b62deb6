// PointReadResult: the points read from a point-cloud file, or the reason none were.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct PointReadResult {
    // Coordinates in file order, three per point (x, y, z); empty when reading failed.
    std::vector<double> coordinates;
    // Empty on success; otherwise one line naming the file and what is wrong with it.
    std::string error;

    bool ok() const { return error.empty(); }
    std::size_t pointCount() const { return coordinates.size() / 3; }
};
