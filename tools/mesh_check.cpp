// mesh_check: reports quality figures of a mesh written by fanmesh.
//
//   mesh_check rawPoints.txt outOFFFile.ply
//
// Prints the fraction of input points used by faces, the number of boundary edges,
// of edges with more than two faces, the fraction of interior edges whose two faces
// are consistently oriented, the number of connected components and of boundary
// loops. Exit status: 0 when both files could be read, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "report/MeshFigures.h"

namespace {

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

    const MeshFigures figures = computeMeshFigures(vertexCount, faces);
    std::printf("points: %ld\n", pointCount);
    std::printf("vertices: %d\n", vertexCount);
    std::printf("faces: %zu\n", faceCount);
    std::printf("used fraction: %.6f\n",
                pointCount > 0 ? static_cast<double>(figures.usedVertices) / pointCount : 0.0);
    std::printf("boundary edges: %ld\n", static_cast<long>(figures.boundaryEdges));
    std::printf("edges with more than two faces: %ld\n",
                static_cast<long>(figures.nonManifoldEdges));
    std::printf("consistent interior fraction: %.6f\n",
                figures.interiorEdges > 0
                    ? static_cast<double>(figures.consistentEdges) / figures.interiorEdges
                    : 1.0);
    std::printf("components: %ld\n", static_cast<long>(figures.components));
    std::printf("boundary loops: %ld\n", static_cast<long>(figures.boundaryLoops));
    return 0;
}
