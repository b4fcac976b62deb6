// Octree construction: bounding cube, root edge as a power-of-two multiple of the minimum
// cell size, and recursive splitting while a cube's half edge exceeds its points' radii.
#include "recon/Octree.h"

#include <algorithm>
#include <cstddef>

Octree::Octree() {
    initialise();
}

void Octree::initialise() {
    nodes.assign(1, Node{});
    pointList.clear();
    center.set(minCorner.x + edge / 2, minCorner.y + edge / 2, minCorner.z + edge / 2);
}

void Octree::reset() {
    initialise();
}

void Octree::release() {
    std::vector<Node>(1).swap(nodes);
    std::vector<int32_t>().swap(pointList);
    std::vector<uint8_t>().swap(excluded);
    initialise();
}

void Octree::buildAll(Vertex* recordArray, int32_t count, double cellSize) {
    std::vector<int32_t> list(static_cast<size_t>(std::max(count, 0)));
    for (int32_t i = 0; i < count; ++i) {
        list[static_cast<size_t>(i)] = i;
    }
    build(recordArray, list, count, cellSize);
}

void Octree::buildFor(Vertex* recordArray, const int32_t* indices, int32_t count, double cellSize) {
    std::vector<int32_t> list;
    if (indices != nullptr && count > 0) {
        list.assign(indices, indices + count);
    }
    build(recordArray, list, count, cellSize);
}

void Octree::build(Vertex* recordArray, std::vector<int32_t>& list, int32_t recordCount,
                   double cellSize) {
    minCellSize = cellSize;
    records = recordArray;

    // The exclusion marks must address every record index held by the tree.
    int64_t needed = std::max(recordCount, 0);
    for (const int32_t index : list) {
        needed = std::max<int64_t>(needed, static_cast<int64_t>(index) + 1);
    }
    if (excluded.size() < static_cast<size_t>(needed)) {
        excluded.resize(static_cast<size_t>(needed), 0);
    }

    // The positions and radii side by side, in the order of the list and moved with it: the
    // bounding box and the splitting read them once per level, and the records lie scattered.
    std::vector<Ball> balls(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const Vertex& record = records[list[i]];
        balls[i] = Ball{record.position, record.neighbourhoodRadius};
    }
    rootCube(records, list.data(), static_cast<int32_t>(list.size()), minCellSize, edge, minCorner);
    initialise();

    if (list.empty()) {
        return;
    }
    pointList.swap(list);
    std::vector<Ball> ballScratch(pointList.size());
    std::vector<int32_t> scratch(pointList.size());
    std::vector<uint8_t> codes(pointList.size());
    subdivide(0, minCorner, edge, 0, static_cast<int32_t>(pointList.size()),
              Work{scratch.data(), codes.data(), balls.data(), ballScratch.data()}, 0);
}

void Octree::rootCube(const Vertex* recordArray, const int32_t* indices, int32_t count,
                      double cellSize, double& edgeOut, Vector3& cornerOut) {
    Vector3 boxMin(0.0, 0.0, 0.0);
    Vector3 boxMax(0.0, 0.0, 0.0);
    for (int32_t i = 0; i < count; ++i) {
        const Vector3& v = recordArray[indices[i]].position;
        if (i == 0) {
            boxMin = v;
            boxMax = v;
            continue;
        }
        if (v.x < boxMin.x) {
            boxMin.x = v.x;
        } else if (v.x > boxMax.x) {
            boxMax.x = v.x;
        }
        if (v.y < boxMin.y) {
            boxMin.y = v.y;
        } else if (v.y > boxMax.y) {
            boxMax.y = v.y;
        }
        if (v.z < boxMin.z) {
            boxMin.z = v.z;
        } else if (v.z > boxMax.z) {
            boxMax.z = v.z;
        }
    }
    double extent = boxMax.x - boxMin.x;
    if (boxMax.y - boxMin.y > extent) {
        extent = boxMax.y - boxMin.y;
    }
    if (boxMax.z - boxMin.z > extent) {
        extent = boxMax.z - boxMin.z;
    }

    edgeOut = cellSize;
    // A non-positive cell size cannot be doubled up to the extent.
    while (edgeOut > 0.0 && edgeOut < extent) {
        edgeOut *= 2;
    }
    cornerOut.set((boxMin.x + boxMax.x) / 2 - edgeOut / 2, (boxMin.y + boxMax.y) / 2 - edgeOut / 2,
                  (boxMin.z + boxMax.z) / 2 - edgeOut / 2);
}

bool Octree::keysNested(uint64_t a, uint64_t b) {
    if (a == TOO_DEEP || b == TOO_DEEP) {
        return true;
    }
    const int32_t depthA = (63 - __builtin_clzll(a)) / 3;
    const int32_t depthB = (63 - __builtin_clzll(b)) / 3;
    return depthA <= depthB ? (b >> (3 * (depthB - depthA))) == a
                            : (a >> (3 * (depthA - depthB))) == b;
}

bool Octree::sameFrame(const Octree& other) const {
    return records == other.records && minCellSize == other.minCellSize && edge == other.edge &&
           minCorner.x == other.minCorner.x && minCorner.y == other.minCorner.y &&
           minCorner.z == other.minCorner.z && rayHitDistance == other.rayHitDistance &&
           perPointRays == other.perPointRays && exemptNeighbourRing == other.exemptNeighbourRing;
}

uint64_t Octree::changedCubeAlong(const Octree& older, const Vector3& position) const {
    // The cubes are derived as subdivide derives them, so the point is routed exactly as
    // the build routed it.
    int32_t mine = 0;
    int32_t theirs = 0;
    Vector3 corner = minCorner;
    double edgeLength = edge;
    uint64_t key = 1;
    for (int32_t depth = 0;; ++depth) {
        const int32_t myChild = nodes[static_cast<size_t>(mine)].firstChild;
        const int32_t theirChild = older.nodes[static_cast<size_t>(theirs)].firstChild;
        if (myChild < 0 || theirChild < 0) {
            return key;
        }
        if (depth >= MAX_KEY_DEPTH) {
            return TOO_DEEP;
        }
        const double half = edgeLength / 2;
        const double midX = corner.x + edgeLength / 2;
        const double midY = corner.y + edgeLength / 2;
        const double midZ = corner.z + edgeLength / 2;
        const int32_t c =
            (midX > position.x ? 0 : 4) | (midY > position.y ? 0 : 2) | (midZ > position.z ? 0 : 1);
        corner = Vector3(corner.x + half * ((c >> 2) & 1), corner.y + half * ((c >> 1) & 1),
                         corner.z + half * (c & 1));
        edgeLength = half;
        mine = myChild + c;
        theirs = theirChild + c;
        key = key * 8 + static_cast<uint64_t>(c);
    }
}

// Splits node over the indices pointList[begin .. end). The work areas are aligned with
// pointList; work.balls holds the position and radius of each listed point.
void Octree::subdivide(int32_t node, const Vector3& corner, double edgeLength, int32_t begin,
                       int32_t end, const Work& work, int32_t depth) {
    if (begin == end) {
        return;
    }
    int32_t* const list = pointList.data();
    int32_t* const scratch = work.scratch;
    uint8_t* const codes = work.codes;
    Ball* const balls = work.balls;
    double r = balls[begin].radius;
    for (int32_t i = begin + 1; i < end; ++i) {
        if (balls[i].radius > r) {
            r = balls[i].radius;
        }
    }
    bool split = !(edgeLength / 2 <= r) && depth < MAX_DEPTH;
    if (split && !(r > 0.0)) {
        // With a zero radius only separating the points ends the splitting; points at one
        // and the same position never separate.
        const Vector3& first = balls[begin].position;
        bool coincident = true;
        for (int32_t i = begin + 1; i < end && coincident; ++i) {
            const Vector3& v = balls[i].position;
            coincident = v.x == first.x && v.y == first.y && v.z == first.z;
        }
        split = !coincident;
    }
    if (!split) {
        nodes[static_cast<size_t>(node)].pointBegin = begin;
        nodes[static_cast<size_t>(node)].pointEnd = end;
        return;
    }

    const int32_t firstChild = static_cast<int32_t>(nodes.size());
    nodes[static_cast<size_t>(node)].firstChild = firstChild;
    nodes.resize(nodes.size() + 8);

    // Distribute: a point goes to the lower half of an axis when the mid-plane lies above
    // it, otherwise (also on the mid-plane) to the upper half.
    const double half = edgeLength / 2;
    const double midX = corner.x + edgeLength / 2;
    const double midY = corner.y + edgeLength / 2;
    const double midZ = corner.z + edgeLength / 2;
    const int32_t n = end - begin;
    int32_t start[9] = {};
    for (int32_t i = 0; i < n; ++i) {
        const Vector3& v = balls[begin + i].position;
        const int32_t code = (midX > v.x ? 0 : 4) | (midY > v.y ? 0 : 2) | (midZ > v.z ? 0 : 1);
        codes[begin + i] = static_cast<uint8_t>(code);
        ++start[code + 1];
    }
    for (int32_t c = 0; c < 8; ++c) {
        start[c + 1] += start[c];
    }
    int32_t fill[8];
    std::copy(start, start + 8, fill);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t to = begin + fill[codes[begin + i]]++;
        scratch[to] = list[begin + i];
        work.ballScratch[to] = balls[begin + i];
    }
    std::copy(scratch + begin, scratch + end, list + begin);
    std::copy(work.ballScratch + begin, work.ballScratch + end, balls + begin);
    for (int32_t c = 0; c < 8; ++c) {
        const Vector3 childCorner(corner.x + half * ((c >> 2) & 1),
                                  corner.y + half * ((c >> 1) & 1), corner.z + half * (c & 1));
        subdivide(firstChild + c, childCorner, half, begin + start[c], begin + start[c + 1], work,
                  depth + 1);
    }
}

std::vector<Octree::Leaf> Octree::leaves(int32_t node, const Vector3& corner,
                                         double edgeLength) const {
    std::vector<Leaf> found;
    const Node& current = nodes[static_cast<size_t>(node)];
    if (current.firstChild < 0) {
        const int32_t* base = pointList.data();
        found.push_back(
            Leaf{corner, edgeLength, base + current.pointBegin, base + current.pointEnd});
        return found;
    }
    const double half = edgeLength / 2;
    for (int32_t c = 0; c < 8; ++c) {
        const Vector3 childCorner(corner.x + half * ((c >> 2) & 1),
                                  corner.y + half * ((c >> 1) & 1), corner.z + half * (c & 1));
        const std::vector<Leaf> below = leaves(current.firstChild + c, childCorner, half);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}
