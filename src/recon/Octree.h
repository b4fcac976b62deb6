// Octree: axis-aligned cube tree over point records, sized by the points' own
// neighbourhood radii, with a parametric ray traversal for occupancy queries.
//
// Child c (0..7) covers the half of its parent selected by the bits of c: bit 2 upper x,
// bit 1 upper y, bit 0 upper z. A point exactly on a mid-plane belongs to the upper half.
// A node is split while its half edge exceeds the largest neighbourhood radius of its
// points; splitting also ends at MAX_DEPTH, and for a zero largest radius when all points
// of the node coincide.
//
// Ray test: by default a leaf ahead of the origin blocks a ray as soon as it holds points
// and none of them is a neighbour of the origin point. With a positive rayHitDistance the
// test is finer: such a leaf blocks only when one of its points lies within
// rayHitDistance times that point's own neighbourhood radius of the ray, so that a leaf
// the ray merely clips (a wall or strand a few spacings to the side) does not block.
// With perPointRays as well, every point is judged on its own: a neighbour of the origin
// point never blocks, and any other point ahead of the origin within that distance of the
// ray does, also in the leaf that holds the origin and in leaves that hold a neighbour.
//
// Storage: the nodes sit in one array (12 bytes each, the eight children of a node side by
// side) and the leaves' point indices in another, so a tree over n points costs about
// 4n bytes plus its nodes; only the root keeps its cube, the traversal derives the rest.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/Vector3.h"
#include "recon/Vertex.h"

struct Octree {
    // Successor of child c when the ray leaves it through an x, y or z plane (-1: the ray
    // leaves the parent).
    static constexpr int32_t nextChildX[8] = {4, 5, 6, 7, -1, -1, -1, -1};
    static constexpr int32_t nextChildY[8] = {2, 3, -1, -1, 6, 7, -1, -1};
    static constexpr int32_t nextChildZ[8] = {1, -1, 3, -1, 5, -1, 7, -1};
    // Depth (root = 0) at which a node is kept as a leaf whatever its points' radii.
    static constexpr int32_t MAX_DEPTH = 100;

    // Ray parameters of one cube: the ray origin + t * direction crosses the lower, middle
    // and upper plane of each axis at t0, tm and t1.
    struct RayParameters {
        double tx0, tx1, txm, ty0, ty1, tym, tz0, tz1, tzm;
    };

    // One cube of the tree. The eight children of a split node are stored next to each other
    // in nodes, child c at firstChild + c; a leaf (firstChild -1) holds the points
    // pointList[pointBegin .. pointEnd).
    struct Node {
        int32_t firstChild = -1;
        int32_t pointBegin = 0;
        int32_t pointEnd = 0;
    };
    // A leaf as the tests and diagnostics see it: its cube and its points.
    struct Leaf {
        Vector3 minCorner;
        double edge;
        const int32_t* begin;
        const int32_t* end;
        size_t size() const { return static_cast<size_t>(end - begin); }
        bool empty() const { return begin == end; }
    };

    double minCellSize = 0.0;
    double edge = 0.0; // edge of the root cube
    Vertex* records = nullptr;
    // Root only: points marked 1 are ignored by the ray test. All 0 outside castRay. It
    // covers every record index the tree holds; it is kept (all 0) across reset so that
    // rebuilding per component does not reallocate it.
    std::vector<uint8_t> excluded;
    Vector3 minCorner{0.0, 0.0, 0.0}; // of the root cube
    Vector3 center{0.0, 0.0, 0.0};    // of the root cube
    // All nodes, the root first; never empty.
    std::vector<Node> nodes;
    // The points of all leaves, each leaf's points side by side.
    std::vector<int32_t> pointList;
    // Mirror state of the current ray (root only; the traversal passes it down).
    uint8_t mirrorX = 0, mirrorY = 0, mirrorZ = 0;
    int32_t mirrorMask = 0;
    // Root only: distance from the ray, in units of a point's neighbourhood radius, within
    // which a point blocks the ray; 0 or less: any point of a leaf ahead blocks.
    double rayHitDistance = 0.0;
    // Root only, with a positive rayHitDistance: judge every point on its own instead of
    // exempting the origin's leaf and every leaf that holds a neighbour of the origin point.
    bool perPointRays = false;
    // Root only, with perPointRays: blockedBothWays exempts the neighbours of the point's
    // neighbours as well. A wall close enough to lie in one of those neighbourhoods (two
    // sheets a few spacings apart) cannot be told apart from the point's own surface, so
    // only a wall beyond them (the far side of a tube) decides where the point faces.
    bool exemptNeighbourRing = false;
    // Root only, with a positive rayHitDistance: a point blocks a ray only within this many
    // neighbourhood radii of the ray's origin point, measured along the ray, so that surface
    // far ahead (another strand, the far side of a part) does not decide a local question;
    // 0 or less: at any distance. castRay takes the radius of its point p.
    double rayReach = 0.0;

    Octree();
    Octree(const Octree&) = delete;
    Octree& operator=(const Octree&) = delete;

    void initialise();
    // The tree becomes one empty leaf; its storage is kept for the next build.
    void reset();
    // reset, and returns all storage (the exclusion marks included) to the system.
    void release();
    // Builds the tree over records 0..count-1.
    void buildAll(Vertex* recordArray, int32_t count, double cellSize);
    // Builds the tree over the listed record indices.
    void buildFor(Vertex* recordArray, const int32_t* indices, int32_t count, double cellSize);

    // Ray queries (root only). castRay: does the ray from origin along direction meet a
    // leaf wholly ahead of the origin that holds points, none of them a neighbour of p?
    // (With rayHitDistance and perPointRays: a point ahead of the origin, not a neighbour
    // of p, near the ray.) p is a record index, or -1 to exclude nothing.
    // With visited, the cubes the ray's verdict rests on are appended to it as cube keys
    // (see cubeKey): on a miss every leaf the ray was tested against, on a hit the leaf
    // that blocked it (last). A leaf too deep for a key appends TOO_DEEP.
    bool castRay(Vector3 origin, Vector3 direction, int32_t p,
                 std::vector<uint64_t>* visited = nullptr);
    // Casts along the normal of p and, when that hits, reverses the normal of p and casts
    // along the reversed normal. The rays ignore the neighbours of p and, under
    // exemptNeighbourRing with perPointRays, their neighbours too.
    bool blockedBothWays(int32_t p);

    // Cube keys: the root is 1 and child c of the cube with key k is 8k + c, so a key spells
    // the path from the root and one cube lies in another exactly when the other's key is
    // a prefix of its own (keysNested). Paths deeper than MAX_KEY_DEPTH get TOO_DEEP.
    static constexpr int32_t MAX_KEY_DEPTH = 20;
    static constexpr uint64_t TOO_DEEP = 0;
    // Whether the cubes with keys a and b are one inside the other (or the same).
    static bool keysNested(uint64_t a, uint64_t b);
    // The keys at depth MAX_KEY_DEPTH under the cube with the given key, as the range lo to
    // hi (both included); TOO_DEEP spans every key. Two cubes are nested exactly when their
    // ranges meet (cubes that are not nested are disjoint, and so are their ranges).
    static void keySpan(uint64_t key, uint64_t& lo, uint64_t& hi) {
        if (key == TOO_DEEP) {
            lo = 0;
            hi = ~uint64_t{0};
            return;
        }
        const int32_t depth = (63 - __builtin_clzll(key)) / 3;
        const int32_t shift = 3 * (MAX_KEY_DEPTH - depth);
        lo = key << shift;
        hi = lo | ((uint64_t{1} << shift) - 1);
    }
    // The root cube a build over the listed records would get: edge and minimum corner.
    static void rootCube(const Vertex* recordArray, const int32_t* indices, int32_t count,
                         double cellSize, double& edgeOut, Vector3& cornerOut);
    // The smallest box holding the positions of the listed records (both corners 0 for an
    // empty list), as rootCube finds it.
    static void boundingBox(const Vertex* recordArray, const int32_t* indices, int32_t count,
                            Vector3& boxMin, Vector3& boxMax);
    // The root cube (edge and minimum corner) of the points whose bounding box is given,
    // for the smallest cell size cellSize: the cube rootCube gives for those points.
    static void cubeAroundBox(const Vector3& boxMin, const Vector3& boxMax, double cellSize,
                              double& edgeOut, Vector3& cornerOut);
    // Edits of a built tree that leave it as a fresh build over the edited set of points
    // with the same root cube would be (apart from the order of the points in a leaf and
    // the numbering of the nodes, which no ray sees). Every point the tree holds and the
    // edited point must have a positive neighbourhood radius. removePoint takes out a point
    // the tree holds; insertPoint adds one it does not hold, whose position lies in the
    // root cube. changedCube gets the key of the cube outside which nothing changed, or
    // TOO_DEEP. Returns false, with the tree unchanged, when the point is not found or the
    // path is deeper than MAX_KEY_DEPTH.
    bool removePoint(int32_t index, uint64_t& changedCube);
    bool insertPoint(int32_t index, uint64_t& changedCube);
    // Number of entries of pointList, the points of replaced leaves included (edits append).
    size_t pointListSize() const { return pointList.size(); }

    // Number of nodes of the tree (diagnostics and tests).
    int64_t nodeCount() const { return static_cast<int64_t>(nodes.size()); }
    bool rootIsLeaf() const { return nodes[0].firstChild < 0; }
    // The leaves below node (the root: 0) whose cube has the given corner and edge, in
    // child order (diagnostics and tests).
    std::vector<Leaf> leaves(int32_t node, const Vector3& corner, double edgeLength) const;
    std::vector<Leaf> leaves() const { return leaves(0, minCorner, edge); }

    // The ray a traversal tests, in real (not mirrored) coordinates.
    struct RayQuery {
        Vector3 origin;
        Vector3 direction;
        const uint8_t* marks;
        const Vertex* records;
        double hitDistance;
        // Every point judged on its own (perPointRays with a positive hitDistance).
        bool perPoint = false;
        // Where the keys of the leaves tested are appended, or null.
        std::vector<uint64_t>* visited = nullptr;
        // With a positive hitDistance: points farther ahead along the ray than this ray
        // parameter (origin + reach * direction) do not block it.
        double reach = INFINITY;
        // A cube whose parameters (in the mirrored frame) give tx0 * reachWeights.x + ty0 *
        // reachWeights.y + tz0 * reachWeights.z above reachBound lies wholly beyond the
        // reach: the sum bounds (point - origin) . direction from below over the cube.
        Vector3 reachWeights{0.0, 0.0, 0.0};
        double reachBound = INFINITY;
    };
    // True when the point at position, with the given neighbourhood radius, lies within
    // hitDistance radii of the ray (the half-line from origin along direction).
    static bool pointNearRay(const RayQuery& ray, const Vector3& position, double radius);

  private:
    void build(Vertex* recordArray, std::vector<int32_t>& list, int32_t recordCount,
               double cellSize);
    // A listed point's position and neighbourhood radius, as the splitting reads them.
    struct Ball {
        Vector3 position;
        double radius;
    };
    // Work areas of the splitting, aligned with pointList from position base on.
    struct Work {
        int32_t* scratch;
        uint8_t* codes;
        Ball* balls;       // of the points in pointList order
        Ball* ballScratch; // moved with scratch
        int32_t base;      // the pointList position of entry 0 of each area
    };
    // Splits node, whose cube has the given corner and edge, over the points
    // pointList[begin .. end).
    void subdivide(int32_t node, const Vector3& corner, double edgeLength, int32_t begin,
                   int32_t end, const Work& work, int32_t depth);
    // One node on the way from the root to a position: its index, cube and key.
    struct PathStep {
        int32_t node;
        Vector3 corner;
        double edge;
        uint64_t key;
    };
    // The nodes from the root down to the leaf whose cube holds position; false when the
    // way is deeper than MAX_KEY_DEPTH.
    bool pathTo(const Vector3& position, std::vector<PathStep>& path) const;
    // Makes the node at step a fresh subtree over points (appended to pointList).
    void rebuildNode(const PathStep& step, int32_t depth, const std::vector<int32_t>& points);
    // Appends the points below node to points.
    void collectPoints(int32_t node, std::vector<int32_t>& points) const;
    RayParameters prepareRay(Vector3 origin, Vector3 direction);
    // castRay with the exclusion marks as they stand; reach as in RayQuery.
    bool castMarked(Vector3 origin, Vector3 direction, std::vector<uint64_t>* visited = nullptr,
                    double reach = INFINITY);
    // Sets the marks of p's neighbours and, with ring, of their neighbours to value.
    void markAround(int32_t p, bool ring, uint8_t value);
    bool traverse(int32_t node, uint64_t key, const RayParameters& t, int32_t mask,
                  const RayQuery& ray) const;
#ifdef FANMESH_CHECK_FAN_MEMO
    // Aborts if the skipped sub-cube node would block the ray; what names it in the message.
    void checkSkippedCube(int32_t node, uint64_t key, const RayParameters& t, int32_t mask,
                          const RayQuery& ray, const char* what) const;
#endif
    static int32_t firstChild(const RayParameters& t);
    bool leafTest(const Node& leaf, const RayParameters& t, const RayQuery& ray) const;
    // The per-point rule over the points [begin, end) of one leaf.
    static bool anyPointBlocks(const int32_t* begin, const int32_t* end, const RayQuery& ray);
};
