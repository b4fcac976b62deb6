// mesh_check: reports quality figures of a mesh written by fanmesh.
//
//   mesh_check rawPoints.txt outOFFFile.ply
//
// Prints the fraction of input points used by faces, the number of boundary edges,
// of edges with more than two faces, the fraction of interior edges whose two faces
// are consistently oriented, the number of connected components and of boundary
// loops. Exit status: 0 when both files could be read, 1 otherwise.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct DisjointSets {
    std::vector<int32_t> parent;
    explicit DisjointSets(int32_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
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

// Counts the point lines of a point file: lines of at least six characters, up to the
// first shorter line.
long countPoints(const char* fileName) {
    std::FILE* file = std::fopen(fileName, "r");
    if (file == nullptr) {
        return -1;
    }
    char line[4096];
    long count = 0;
    while (std::fgets(line, sizeof line, file) != nullptr && std::strlen(line) >= 6) {
        ++count;
    }
    std::fclose(file);
    return count;
}

bool readPly(const char* fileName, int32_t& vertexCount, std::vector<int32_t>& faces) {
    std::FILE* file = std::fopen(fileName, "r");
    if (file == nullptr) {
        return false;
    }
    char line[4096];
    long faceCount = -1;
    vertexCount = -1;
    bool headerEnded = false;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        long value = 0;
        if (std::sscanf(line, "element vertex %ld", &value) == 1) {
            vertexCount = static_cast<int32_t>(value);
        } else if (std::sscanf(line, "element face %ld", &value) == 1) {
            faceCount = value;
        } else if (std::strncmp(line, "end_header", 10) == 0) {
            headerEnded = true;
            break;
        }
    }
    bool ok = headerEnded && vertexCount >= 0 && faceCount >= 0;
    for (int32_t i = 0; ok && i < vertexCount; ++i) {
        ok = std::fgets(line, sizeof line, file) != nullptr;
    }
    faces.reserve(ok ? static_cast<size_t>(faceCount) * 3 : 0);
    for (long f = 0; ok && f < faceCount; ++f) {
        int n = 0, a = 0, b = 0, c = 0;
        ok = std::fscanf(file, "%d %d %d %d", &n, &a, &b, &c) == 4 && n == 3 && a >= 0 && b >= 0 &&
             c >= 0 && a < vertexCount && b < vertexCount && c < vertexCount;
        faces.insert(faces.end(), {a, b, c});
    }
    std::fclose(file);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mesh_check <point file> <mesh.ply>\n");
        return 1;
    }
    const long pointCount = countPoints(argv[1]);
    int32_t vertexCount = 0;
    std::vector<int32_t> faces;
    if (pointCount < 0) {
        std::fprintf(stderr, "mesh_check: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!readPly(argv[2], vertexCount, faces)) {
        std::fprintf(stderr, "mesh_check: cannot read %s as a triangle PLY file\n", argv[2]);
        return 1;
    }
    const size_t faceCount = faces.size() / 3;

    // Undirected edge -> (faces using it, faces using it from low to high index).
    std::unordered_map<uint64_t, std::pair<int32_t, int32_t>> edges;
    edges.reserve(faceCount * 2);
    std::vector<uint8_t> used(vertexCount, 0);
    DisjointSets components(vertexCount);
    for (size_t f = 0; f < faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            const int32_t a = faces[3 * f + k];
            const int32_t b = faces[3 * f + (k + 1) % 3];
            used[a] = 1;
            components.join(a, b);
            const uint64_t key = (static_cast<uint64_t>(std::min(a, b)) << 32) |
                                 static_cast<uint32_t>(std::max(a, b));
            auto& entry = edges[key];
            entry.first += 1;
            entry.second += a < b ? 1 : 0;
        }
    }
    long boundaryEdges = 0, nonManifoldEdges = 0, interiorEdges = 0, consistentEdges = 0;
    DisjointSets loops(vertexCount);
    std::vector<uint8_t> onBoundary(vertexCount, 0);
    for (const auto& [key, entry] : edges) {
        if (entry.first == 1) {
            ++boundaryEdges;
            const auto a = static_cast<int32_t>(key >> 32);
            const auto b = static_cast<int32_t>(key & 0xffffffffu);
            onBoundary[a] = onBoundary[b] = 1;
            loops.join(a, b);
        } else if (entry.first == 2) {
            ++interiorEdges;
            consistentEdges += entry.second == 1 ? 1 : 0;
        } else {
            ++nonManifoldEdges;
        }
    }
    long usedCount = 0, componentCount = 0, loopCount = 0;
    for (int32_t i = 0; i < vertexCount; ++i) {
        usedCount += used[i];
        componentCount += used[i] && components.find(i) == i ? 1 : 0;
        loopCount += onBoundary[i] && loops.find(i) == i ? 1 : 0;
    }
    std::printf("points: %ld\n", pointCount);
    std::printf("vertices: %d\n", vertexCount);
    std::printf("faces: %zu\n", faceCount);
    std::printf("used fraction: %.6f\n",
                pointCount > 0 ? static_cast<double>(usedCount) / pointCount : 0.0);
    std::printf("boundary edges: %ld\n", boundaryEdges);
    std::printf("edges with more than two faces: %ld\n", nonManifoldEdges);
    std::printf("consistent interior fraction: %.6f\n",
                interiorEdges > 0 ? static_cast<double>(consistentEdges) / interiorEdges : 1.0);
    std::printf("components: %ld\n", componentCount);
    std::printf("boundary loops: %ld\n", loopCount);
    return 0;
}
