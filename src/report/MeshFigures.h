// MeshFigures: quality figures of a triangle mesh given as vertex-index triples: points
// used by faces, boundary and over-shared edges, orientation agreement across interior
// edges, connected components and boundary loops.
#pragma once

#include <cstdint>
#include <vector>

struct MeshFigures {
    int64_t vertexCount = 0;
    int64_t faceCount = 0;
    int64_t usedVertices = 0;     // vertices named by at least one face
    int64_t boundaryEdges = 0;    // edges of exactly one face
    int64_t nonManifoldEdges = 0; // edges of more than two faces
    int64_t interiorEdges = 0;    // edges of exactly two faces
    int64_t consistentEdges = 0;  // interior edges whose two faces run along it oppositely
    int64_t components = 0;       // connected groups of faces (through shared vertices)
    int64_t boundaryLoops = 0;    // connected groups of boundary edges
};

// Computes the figures of a mesh.
//   vertexCount  number of vertices; every index must lie in [0, vertexCount)
//   corners      3 x face-count vertex indices, one face after the other
// Returns the figures; an index outside the range is a caller error (the caller checks).
MeshFigures computeMeshFigures(int64_t vertexCount, const std::vector<int32_t>& corners);
