// Helpers for preparation tests: a record set built from positions, scratch directories and
// deterministic scattered points.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "prep/PointSetPreparation.h"
#include "support/TextFiles.h"

using meshtest::fileLines;

// Records at the given positions, all kept, with zero normal and eigen data as after loading.
inline void fillPoints(PointSetPreparation& prep, const std::vector<Vector3>& positions) {
    const int32_t n = static_cast<int32_t>(positions.size());
    prep.vertices.assign(n, Vertex());
    for (int32_t i = 0; i < n; ++i) {
        Vertex& v = prep.vertices[i];
        v.position = positions[i];
        v.normal = Vector3(0, 0, 0);
        v.eigenvalues[0] = v.eigenvalues[1] = v.eigenvalues[2] = 0;
        std::fill(v.neighbours, v.neighbours + NEIGHBOUR_COUNT, 0);
    }
    prep.keptCount = prep.totalCount = n;
}

// A fresh, empty directory under the system temporary directory; its path ends with "/".
// The process id keeps test runs of several builds at the same time out of each other's way.
inline std::string scratchDirectory(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("prep-" + name + "-" + std::to_string(getpid()));
    // Every directory handed out is removed again when the test program ends.
    struct Removal {
        std::vector<std::filesystem::path> dirs;
        ~Removal() {
            std::error_code ignored;
            for (const std::filesystem::path& d : dirs) {
                std::filesystem::remove_all(d, ignored);
            }
        }
    };
    static Removal removal;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    removal.dirs.push_back(dir);
    return dir.string() + "/";
}

// Deterministic values in [-1, 1] (a 64-bit linear congruential sequence).
inline double nextScattered(uint64_t& seed) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(seed >> 11) * 0x1.0p-53 * 2.0 - 1.0;
}

inline std::vector<Vector3> scatteredPoints(int count, uint64_t seed) {
    std::vector<Vector3> points;
    for (int i = 0; i < count; ++i) {
        const double x = nextScattered(seed), y = nextScattered(seed);
        points.emplace_back(x, y, nextScattered(seed));
    }
    return points;
}
