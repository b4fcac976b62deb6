// Octree construction: bounding cube, root edge as a power-of-two multiple of the minimum
// cell size, and recursive splitting while a cube's half edge exceeds its points' radii.
#include "recon/Octree.h"

#include <algorithm>
#include <cstddef>

Octree::Octree() {
    initialise();
}

Octree::Octree(double cellSize, double edgeLength, const Vector3& corner)
    : minCellSize(cellSize), edge(edgeLength), minCorner(corner) {
    initialise();
}

Octree::~Octree() {
    releaseChildren();
}

void Octree::initialise() {
    isLeaf = true;
    for (Octree*& child : children) {
        child = nullptr;
    }
    points.clear();
    center.set(minCorner.x + edge / 2, minCorner.y + edge / 2, minCorner.z + edge / 2);
}

void Octree::releaseChildren() {
    for (Octree*& child : children) {
        delete child;
        child = nullptr;
    }
}

void Octree::reset() {
    releaseChildren();
    std::vector<int32_t>().swap(points);
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
    releaseChildren();
    std::vector<int32_t>().swap(points);
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

    Vector3 boxMin(0.0, 0.0, 0.0);
    Vector3 boxMax(0.0, 0.0, 0.0);
    for (size_t i = 0; i < list.size(); ++i) {
        const Vector3& v = records[list[i]].position;
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

    edge = minCellSize;
    // A non-positive cell size cannot be doubled up to the extent.
    while (edge > 0.0 && edge < extent) {
        edge *= 2;
    }
    minCorner.set((boxMin.x + boxMax.x) / 2 - edge / 2, (boxMin.y + boxMax.y) / 2 - edge / 2,
                  (boxMin.z + boxMax.z) / 2 - edge / 2);
    initialise();

    if (list.empty()) {
        return;
    }
    std::vector<int32_t> scratch(list.size());
    std::vector<uint8_t> codes(list.size());
    subdivide(list.data(), list.data() + list.size(), scratch.data(), codes.data(), 0);
}

// Splits this node over the indices in [begin, end). scratch and codes are work areas of
// the same length as the range.
void Octree::subdivide(int32_t* begin, int32_t* end, int32_t* scratch, uint8_t* codes,
                       int32_t depth) {
    if (begin == end) {
        return;
    }
    double r = records[*begin].neighbourhoodRadius;
    for (const int32_t* it = begin + 1; it != end; ++it) {
        if (records[*it].neighbourhoodRadius > r) {
            r = records[*it].neighbourhoodRadius;
        }
    }
    bool split = !(edge / 2 <= r) && depth < MAX_DEPTH;
    if (split && !(r > 0.0)) {
        // With a zero radius only separating the points ends the splitting; points at one
        // and the same position never separate.
        const Vector3& first = records[*begin].position;
        bool coincident = true;
        for (const int32_t* it = begin + 1; it != end && coincident; ++it) {
            const Vector3& v = records[*it].position;
            coincident = v.x == first.x && v.y == first.y && v.z == first.z;
        }
        split = !coincident;
    }
    if (!split) {
        points.assign(begin, end);
        return;
    }

    isLeaf = false;
    const double half = edge / 2;
    for (int32_t c = 0; c < 8; ++c) {
        const Vector3 corner(minCorner.x + half * ((c >> 2) & 1),
                             minCorner.y + half * ((c >> 1) & 1), minCorner.z + half * (c & 1));
        children[c] = new Octree(minCellSize, half, corner);
        children[c]->records = records;
    }

    // Distribute: a point goes to the lower half of an axis when the mid-plane lies above
    // it, otherwise (also on the mid-plane) to the upper half.
    const double midX = minCorner.x + edge / 2;
    const double midY = minCorner.y + edge / 2;
    const double midZ = minCorner.z + edge / 2;
    const ptrdiff_t n = end - begin;
    int32_t start[9] = {};
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Vector3& v = records[begin[i]].position;
        const int32_t code = (midX > v.x ? 0 : 4) | (midY > v.y ? 0 : 2) | (midZ > v.z ? 0 : 1);
        codes[i] = static_cast<uint8_t>(code);
        ++start[code + 1];
    }
    for (int32_t c = 0; c < 8; ++c) {
        start[c + 1] += start[c];
    }
    int32_t fill[8];
    std::copy(start, start + 8, fill);
    for (ptrdiff_t i = 0; i < n; ++i) {
        scratch[fill[codes[i]]++] = begin[i];
    }
    std::copy(scratch, scratch + n, begin);
    for (int32_t c = 0; c < 8; ++c) {
        children[c]->subdivide(begin + start[c], begin + start[c + 1], scratch + start[c],
                               codes + start[c], depth + 1);
    }
}

int64_t Octree::nodeCount() const {
    int64_t total = 1;
    for (const Octree* child : children) {
        if (child != nullptr) {
            total += child->nodeCount();
        }
    }
    return total;
}
