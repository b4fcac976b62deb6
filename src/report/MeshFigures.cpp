// Mesh figures: one pass over the face edges into an edge table, then union-find for the
// components and the boundary loops.
#include "report/MeshFigures.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace {

struct DisjointSets {
    std::vector<int32_t> parent;
    explicit DisjointSets(int64_t n) : parent(static_cast<size_t>(n)) {
        std::iota(parent.begin(), parent.end(), 0);
    }
    int32_t find(int32_t i) {
        while (parent[i] != i) {
            parent[i] = parent[parent[i]];
            i = parent[i];
        }
        return i;
    }
    void join(int32_t a, int32_t b) {
        a = find(a);
        b = find(b);
        if (a != b) {
            parent[std::max(a, b)] = std::min(a, b);
        }
    }
};

} // namespace

MeshFigures computeMeshFigures(int64_t vertexCount, const std::vector<int32_t>& corners) {
    MeshFigures figures;
    figures.vertexCount = vertexCount;
    figures.faceCount = static_cast<int64_t>(corners.size() / 3);

    // Undirected edge -> (faces using it, faces using it from low to high index).
    std::unordered_map<uint64_t, std::pair<int32_t, int32_t>> edges;
    edges.reserve(static_cast<size_t>(figures.faceCount) * 2);
    std::vector<uint8_t> used(static_cast<size_t>(vertexCount), 0);
    DisjointSets components(vertexCount);
    for (int64_t f = 0; f < figures.faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            const int32_t a = corners[3 * f + k];
            const int32_t b = corners[3 * f + (k + 1) % 3];
            used[a] = 1;
            components.join(a, b);
            const uint64_t key = (static_cast<uint64_t>(std::min(a, b)) << 32) |
                                 static_cast<uint32_t>(std::max(a, b));
            auto& entry = edges[key];
            entry.first += 1;
            entry.second += a < b ? 1 : 0;
        }
    }
    DisjointSets loops(vertexCount);
    std::vector<uint8_t> onBoundary(static_cast<size_t>(vertexCount), 0);
    for (const auto& [key, entry] : edges) {
        if (entry.first == 1) {
            ++figures.boundaryEdges;
            const auto a = static_cast<int32_t>(key >> 32);
            const auto b = static_cast<int32_t>(key & 0xffffffffu);
            onBoundary[a] = onBoundary[b] = 1;
            loops.join(a, b);
        } else if (entry.first == 2) {
            ++figures.interiorEdges;
            figures.consistentEdges += entry.second == 1 ? 1 : 0;
        } else {
            ++figures.nonManifoldEdges;
        }
    }
    for (int32_t i = 0; i < vertexCount; ++i) {
        figures.usedVertices += used[i];
        figures.components += used[i] && components.find(i) == i ? 1 : 0;
        figures.boundaryLoops += onBoundary[i] && loops.find(i) == i ? 1 : 0;
    }
    return figures;
}
