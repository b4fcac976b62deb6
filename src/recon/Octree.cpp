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
              Work{scratch.data(), codes.data(), balls.data(), ballScratch.data(), 0}, 0);
}

void Octree::rootCube(const Vertex* recordArray, const int32_t* indices, int32_t count,
                      double cellSize, double& edgeOut, Vector3& cornerOut) {
    Vector3 boxMin;
    Vector3 boxMax;
    boundingBox(recordArray, indices, count, boxMin, boxMax);
    cubeAroundBox(boxMin, boxMax, cellSize, edgeOut, cornerOut);
}

void Octree::boundingBox(const Vertex* recordArray, const int32_t* indices, int32_t count,
                         Vector3& boxMin, Vector3& boxMax) {
    boxMin.set(0.0, 0.0, 0.0);
    boxMax.set(0.0, 0.0, 0.0);
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
}

void Octree::cubeAroundBox(const Vector3& boxMin, const Vector3& boxMax, double cellSize,
                           double& edgeOut, Vector3& cornerOut) {
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

bool Octree::pathTo(const Vector3& position, std::vector<PathStep>& path) const {
    path.clear();
    PathStep step{0, minCorner, edge, 1};
    for (int32_t depth = 0;; ++depth) {
        path.push_back(step);
        const int32_t child = nodes[static_cast<size_t>(step.node)].firstChild;
        if (child < 0) {
            return true;
        }
        if (depth >= MAX_KEY_DEPTH) {
            return false;
        }
        // Routed as subdivide routes a point.
        const double half = step.edge / 2;
        const double midX = step.corner.x + step.edge / 2;
        const double midY = step.corner.y + step.edge / 2;
        const double midZ = step.corner.z + step.edge / 2;
        const int32_t c =
            (midX > position.x ? 0 : 4) | (midY > position.y ? 0 : 2) | (midZ > position.z ? 0 : 1);
        step =
            PathStep{child + c,
                     Vector3(step.corner.x + half * ((c >> 2) & 1),
                             step.corner.y + half * ((c >> 1) & 1), step.corner.z + half * (c & 1)),
                     half, step.key * 8 + static_cast<uint64_t>(c)};
    }
}

void Octree::collectPoints(int32_t node, std::vector<int32_t>& points) const {
    const Node& current = nodes[static_cast<size_t>(node)];
    if (current.firstChild < 0) {
        points.insert(points.end(), pointList.begin() + current.pointBegin,
                      pointList.begin() + current.pointEnd);
        return;
    }
    for (int32_t c = 0; c < 8; ++c) {
        collectPoints(current.firstChild + c, points);
    }
}

void Octree::rebuildNode(const PathStep& step, int32_t depth, const std::vector<int32_t>& points) {
    Node& node = nodes[static_cast<size_t>(step.node)];
    node.firstChild = -1;
    node.pointBegin = 0;
    node.pointEnd = 0;
    if (points.empty()) {
        return;
    }
    const int32_t begin = static_cast<int32_t>(pointList.size());
    pointList.insert(pointList.end(), points.begin(), points.end());
    const size_t n = points.size();
    std::vector<Ball> balls(n);
    for (size_t i = 0; i < n; ++i) {
        const Vertex& record = records[points[i]];
        balls[i] = Ball{record.position, record.neighbourhoodRadius};
    }
    std::vector<Ball> ballScratch(n);
    std::vector<int32_t> scratch(n);
    std::vector<uint8_t> codes(n);
    subdivide(step.node, step.corner, step.edge, begin, begin + static_cast<int32_t>(n),
              Work{scratch.data(), codes.data(), balls.data(), ballScratch.data(), begin}, depth);
}

bool Octree::removePoint(int32_t index, uint64_t& changedCube) {
    std::vector<PathStep> path;
    if (!pathTo(records[index].position, path)) {
        return false;
    }
    const PathStep& leafStep = path.back();
    const Node& leaf = nodes[static_cast<size_t>(leafStep.node)];
    std::vector<int32_t> rest(pointList.begin() + leaf.pointBegin,
                              pointList.begin() + leaf.pointEnd);
    const auto at = std::find(rest.begin(), rest.end(), index);
    if (at == rest.end()) {
        return false;
    }
    rest.erase(at);
    // With positive radii a split cube stays split while it holds points: its largest
    // radius can only fall. The leaf is split afresh over the points it keeps.
    rebuildNode(leafStep, static_cast<int32_t>(path.size()) - 1, rest);
    changedCube = leafStep.key;
    // Cubes left without points become empty leaves, as a fresh build leaves them.
    for (size_t i = path.size() - 1; i-- > 0;) {
        Node& node = nodes[static_cast<size_t>(path[i].node)];
        bool empty = true;
        for (int32_t c = 0; c < 8 && empty; ++c) {
            const Node& child = nodes[static_cast<size_t>(node.firstChild + c)];
            empty = child.firstChild < 0 && child.pointBegin == child.pointEnd;
        }
        if (!empty) {
            break;
        }
        node.firstChild = -1;
        node.pointBegin = 0;
        node.pointEnd = 0;
        changedCube = path[i].key;
    }
    return true;
}

bool Octree::insertPoint(int32_t index, uint64_t& changedCube) {
    std::vector<PathStep> path;
    if (!pathTo(records[index].position, path)) {
        return false;
    }
    if (excluded.size() <= static_cast<size_t>(index)) {
        excluded.resize(static_cast<size_t>(index) + 1, 0);
    }
    const double radius = records[index].neighbourhoodRadius;
    // A split cube stays split unless the new point's radius reaches its half edge; the
    // first such cube from the root down becomes a leaf holding all its points.
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        if (path[i].edge / 2 <= radius) {
            std::vector<int32_t> points;
            collectPoints(path[i].node, points);
            points.push_back(index);
            Node& node = nodes[static_cast<size_t>(path[i].node)];
            node.firstChild = -1;
            node.pointBegin = static_cast<int32_t>(pointList.size());
            pointList.insert(pointList.end(), points.begin(), points.end());
            node.pointEnd = static_cast<int32_t>(pointList.size());
            changedCube = path[i].key;
            return true;
        }
    }
    const PathStep& leafStep = path.back();
    const Node& leaf = nodes[static_cast<size_t>(leafStep.node)];
    std::vector<int32_t> points(pointList.begin() + leaf.pointBegin,
                                pointList.begin() + leaf.pointEnd);
    points.push_back(index);
    rebuildNode(leafStep, static_cast<int32_t>(path.size()) - 1, points);
    changedCube = leafStep.key;
    return true;
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
    const int32_t base = work.base;
    double r = balls[begin - base].radius;
    for (int32_t i = begin + 1; i < end; ++i) {
        if (balls[i - base].radius > r) {
            r = balls[i - base].radius;
        }
    }
    bool split = !(edgeLength / 2 <= r) && depth < MAX_DEPTH;
    if (split && !(r > 0.0)) {
        // With a zero radius only separating the points ends the splitting; points at one
        // and the same position never separate.
        const Vector3& first = balls[begin - base].position;
        bool coincident = true;
        for (int32_t i = begin + 1; i < end && coincident; ++i) {
            const Vector3& v = balls[i - base].position;
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
        const Vector3& v = balls[begin - base + i].position;
        const int32_t code = (midX > v.x ? 0 : 4) | (midY > v.y ? 0 : 2) | (midZ > v.z ? 0 : 1);
        codes[begin - base + i] = static_cast<uint8_t>(code);
        ++start[code + 1];
    }
    for (int32_t c = 0; c < 8; ++c) {
        start[c + 1] += start[c];
    }
    int32_t fill[8];
    std::copy(start, start + 8, fill);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t to = begin - base + fill[codes[begin - base + i]]++;
        scratch[to] = list[begin + i];
        work.ballScratch[to] = balls[begin - base + i];
    }
    std::copy(scratch + (begin - base), scratch + (end - base), list + begin);
    std::copy(work.ballScratch + (begin - base), work.ballScratch + (end - base),
              balls + (begin - base));
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
