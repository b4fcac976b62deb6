// Mesh figures: the face sides sorted by edge, then union-find for the components and the
// boundary loops.
#include "report/MeshFigures.h"

#include <algorithm>
#include <numeric>
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

    // One entry per face side: the undirected edge (smaller index, larger index) and, in the
    // lowest bit, whether the side runs from the smaller to the larger index. Sorting brings
    // the sides of one edge together; this is several times faster than a hash table for
    // millions of faces.
    std::vector<uint64_t> sides;
    sides.reserve(static_cast<size_t>(figures.faceCount) * 3);
    std::vector<uint8_t> used(static_cast<size_t>(vertexCount), 0);
    DisjointSets components(vertexCount);
    for (int64_t f = 0; f < figures.faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            const int32_t a = corners[3 * f + k];
            const int32_t b = corners[3 * f + (k + 1) % 3];
            used[a] = 1;
            if (k < 2) {
                components.join(a, b); // the third side joins nothing new
            }
            const uint64_t edge = (static_cast<uint64_t>(std::min(a, b)) << 31) |
                                  static_cast<uint64_t>(std::max(a, b));
            sides.push_back((edge << 1) | (a < b ? 1u : 0u));
        }
    }
    std::sort(sides.begin(), sides.end());
    DisjointSets loops(vertexCount);
    std::vector<uint8_t> onBoundary(static_cast<size_t>(vertexCount), 0);
    for (size_t first = 0; first < sides.size();) {
        const uint64_t edge = sides[first] >> 1;
        size_t last = first;
        int32_t forward = 0;
        while (last < sides.size() && sides[last] >> 1 == edge) {
            forward += static_cast<int32_t>(sides[last] & 1u);
            ++last;
        }
        const size_t faces = last - first;
        if (faces == 1) {
            ++figures.boundaryEdges;
            const auto a = static_cast<int32_t>(edge >> 31);
            const auto b = static_cast<int32_t>(edge & 0x7fffffffu);
            onBoundary[a] = onBoundary[b] = 1;
            loops.join(a, b);
        } else if (faces == 2) {
            ++figures.interiorEdges;
            figures.consistentEdges += forward == 1 ? 1 : 0;
        } else {
            ++figures.nonManifoldEdges;
        }
        first = last;
    }
    for (int32_t i = 0; i < vertexCount; ++i) {
        figures.usedVertices += used[i];
        figures.components += used[i] && components.find(i) == i ? 1 : 0;
        figures.boundaryLoops += onBoundary[i] && loops.find(i) == i ? 1 : 0;
    }
    return figures;
}
