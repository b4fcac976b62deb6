// Helpers for preparation tests: a record set built from positions, and a scratch directory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "prep/PointSetPreparation.h"

// Records at the given positions, all kept, with zero normal and eigen data as after loading.
inline void fillPoints(PointSetPreparation& prep, const std::vector<Vector3>& positions) {
    const int32_t n = static_cast<int32_t>(positions.size());
    prep.vertices.assign(n, Vertex());
    for (int32_t i = 0; i < n; ++i) {
        Vertex& v = prep.vertices[i];
        v.position = positions[i];
        v.normal = Vector3(0, 0, 0);
        v.surfaceVariation = 0;
        v.eigenvalues[0] = v.eigenvalues[1] = v.eigenvalues[2] = 0;
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            v.neighbours[l] = 0;
        }
    }
    prep.keptCount = prep.totalCount = n;
}

// A fresh, empty directory under the system temporary directory; its path ends with "/".
inline std::string scratchDirectory(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("prep-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

// Deterministic points in [-1, 1]^3 (a 64-bit linear congruential sequence).
inline std::vector<Vector3> scatteredPoints(int count, uint64_t seed) {
    std::vector<Vector3> points;
    auto next = [&seed]() {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(seed >> 11) * 0x1.0p-53 * 2.0 - 1.0;
    };
    for (int i = 0; i < count; ++i) {
        const double x = next();
        const double y = next();
        const double z = next();
        points.emplace_back(x, y, z);
    }
    return points;
}
