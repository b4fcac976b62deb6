// Mesh figures on small hand-built meshes: closed, open, split and over-shared edges.
#include <gtest/gtest.h>

#include "report/MeshFigures.h"

TEST(MeshFigures, ClosedOpenSplitAndOverSharedMeshes) {
    // Tetrahedron with consistent orientation, plus an unused vertex 4.
    const MeshFigures closed = computeMeshFigures(5, {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3});
    EXPECT_EQ(closed.faceCount, 4);
    EXPECT_EQ(closed.usedVertices, 4);
    EXPECT_EQ(closed.boundaryEdges, 0);
    EXPECT_EQ(closed.interiorEdges, 6);
    EXPECT_EQ(closed.consistentEdges, 6);
    EXPECT_EQ(closed.components, 1);
    EXPECT_EQ(closed.boundaryLoops, 0);

    // Two separate triangles, the second flipped against nothing: two parts, two loops.
    const MeshFigures split = computeMeshFigures(6, {0, 1, 2, 3, 4, 5});
    EXPECT_EQ(split.components, 2);
    EXPECT_EQ(split.boundaryLoops, 2);
    EXPECT_EQ(split.boundaryEdges, 6);

    // Two triangles sharing edge 1-2 with the same direction along it: not consistent.
    const MeshFigures flipped = computeMeshFigures(4, {0, 1, 2, 1, 2, 3});
    EXPECT_EQ(flipped.interiorEdges, 1);
    EXPECT_EQ(flipped.consistentEdges, 0);
    EXPECT_EQ(flipped.boundaryLoops, 1);

    // Three triangles on one edge 0-1.
    const MeshFigures fin = computeMeshFigures(5, {0, 1, 2, 1, 0, 3, 0, 1, 4});
    EXPECT_EQ(fin.nonManifoldEdges, 1);
    EXPECT_EQ(fin.components, 1);

    const MeshFigures empty = computeMeshFigures(3, {});
    EXPECT_EQ(empty.usedVertices, 0);
    EXPECT_EQ(empty.components, 0);
}
