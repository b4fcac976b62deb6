// Points set aside before preparation: exact repeats of an earlier point and points isolated
// far from all others. Both would otherwise change what happens to the rest: a repeated
// point is a neighbour at distance 0, which lets unwanted-point detection drop both copies
// and lets the final insertion of removed points split triangles at an existing corner; a
// far point dominates the bounding box (and with it the precision left after centring) and
// the mean spacing that fixes the scale. Set-aside records sit after all others, are moved
// and scaled like them but take no part in any stage, and stay unused.
#include <algorithm>
#include <numeric>
#include <string>

#include "geometry/Geometry.h"
#include "prep/PointSetPreparation.h"

namespace {

// A point counts as isolated when the group of points it is linked to, through neighbour
// pairs no farther apart than this many median nearest-neighbour distances, has fewer than
// 17 points (too few to give any of them 16 neighbours of its own). The sampling of one
// surface has no gaps of this size.
constexpr double ISOLATION_SPACINGS = 100.0;

int32_t findRoot(std::vector<int32_t>& parent, int32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

double nearestDistance(const std::vector<Vertex>& vertices, int32_t i) {
    return distanceBetweenPoints(vertices[i].position,
                                 vertices[vertices[i].neighbours[0]].position);
}

// Point-file lines (input index + 1; every line before the end of the data holds one
// point) of `count` set-aside records from `first` on, the first few of them.
std::string listLines(const std::vector<int32_t>& inputIndex, int32_t first, int32_t count) {
    constexpr int32_t LINES_SHOWN = 5;
    std::vector<int32_t> lines(inputIndex.begin() + first, inputIndex.begin() + first + count);
    std::sort(lines.begin(), lines.end());
    std::string text = count == 1 ? "line " : "lines ";
    for (int32_t i = 0; i < count && i < LINES_SHOWN; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(lines[i] + 1);
    }
    return text + (count > LINES_SHOWN ? ", ..." : "");
}

} // namespace

void PointSetPreparation::keepLoadedPositions() {
    setAsideCount = 0;
    loadedPositions.resize(static_cast<std::size_t>(totalCount));
    inputIndex.resize(static_cast<std::size_t>(totalCount));
    for (int32_t i = 0; i < totalCount; ++i) {
        loadedPositions[i] = vertices[i].position;
        inputIndex[i] = i;
    }
}

void PointSetPreparation::setAsideFlagged(const std::vector<uint8_t>& flags) {
    const int32_t n = totalCount;
    std::vector<int32_t> order;
    order.reserve(loadedPositions.size());
    for (int32_t pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < n; ++i) {
            if ((flags[i] != 0) == (pass == 1)) {
                order.push_back(i);
            }
        }
    }
    const int32_t remaining = n - static_cast<int32_t>(std::count(flags.begin(), flags.end(), 1));
    for (int32_t i = n; i < static_cast<int32_t>(loadedPositions.size()); ++i) {
        order.push_back(i); // earlier set-aside records stay last
    }
    std::vector<Vector3> positions(order.size());
    std::vector<int32_t> lines(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        positions[k] = loadedPositions[order[k]];
        lines[k] = inputIndex[order[k]];
        vertices[k].position = positions[k];
    }
    loadedPositions.swap(positions);
    inputIndex.swap(lines);
    setAsideCount += n - remaining;
    totalCount = remaining;
    keptCount = remaining;
}

bool PointSetPreparation::mayNeedSetAside() const {
    const int32_t n = keptCount;
    std::vector<double> nearest(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        nearest[i] = nearestDistance(vertices, i);
        if (nearest[i] == 0.0) {
            return true;
        }
    }
    const double largest = *std::max_element(nearest.begin(), nearest.end());
    std::nth_element(nearest.begin(), nearest.begin() + n / 2, nearest.end());
    return largest > ISOLATION_SPACINGS * nearest[n / 2];
}

std::vector<uint8_t> PointSetPreparation::flagRepeatedPoints() const {
    // Sorting finds every repeat; the neighbour lists cannot, since the search may return a
    // point's twin in its own place and so list the point itself instead of the twin.
    const int32_t n = totalCount;
    std::vector<int32_t> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const auto before = [this](int32_t a, int32_t b) {
        const Vector3& p = loadedPositions[a];
        const Vector3& q = loadedPositions[b];
        if (p.x != q.x) {
            return p.x < q.x;
        }
        if (p.y != q.y) {
            return p.y < q.y;
        }
        if (p.z != q.z) {
            return p.z < q.z;
        }
        return a < b; // the first in file order stays
    };
    std::sort(order.begin(), order.end(), before);
    std::vector<uint8_t> flags(static_cast<std::size_t>(n), 0);
    for (int32_t k = 1; k < n; ++k) {
        const Vector3& p = loadedPositions[order[k]];
        const Vector3& q = loadedPositions[order[k - 1]];
        if (p.x == q.x && p.y == q.y && p.z == q.z) {
            flags[order[k]] = 1;
        }
    }
    return flags;
}

std::vector<uint8_t> PointSetPreparation::flagIsolatedPoints() const {
    const int32_t n = keptCount;
    std::vector<double> nearest(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        nearest[i] = nearestDistance(vertices, i);
    }
    std::nth_element(nearest.begin(), nearest.begin() + n / 2, nearest.end());
    const double linkLimit = ISOLATION_SPACINGS * nearest[n / 2];
    std::vector<int32_t> parent(static_cast<std::size_t>(n));
    std::iota(parent.begin(), parent.end(), 0);
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            const int32_t m = vertices[i].neighbours[l];
            if (distanceBetweenPoints(vertices[i].position, vertices[m].position) > linkLimit) {
                break; // neighbours come nearest first
            }
            const int32_t a = findRoot(parent, i);
            const int32_t b = findRoot(parent, m);
            if (a != b) {
                parent[std::max(a, b)] = std::min(a, b);
            }
        }
    }
    std::vector<int32_t> groupSize(static_cast<std::size_t>(n), 0);
    for (int32_t i = 0; i < n; ++i) {
        ++groupSize[findRoot(parent, i)];
    }
    std::vector<uint8_t> flags(static_cast<std::size_t>(n), 0);
    int32_t isolated = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (groupSize[findRoot(parent, i)] <= NEIGHBOUR_COUNT) {
            flags[i] = 1;
            ++isolated;
        }
    }
    if (isolated == n) {
        flags.assign(flags.size(), 0); // all isolated from one another: nothing stands out
    }
    return flags;
}

bool PointSetPreparation::setAsideStrayPoints() {
    const std::vector<uint8_t> repeatFlags = flagRepeatedPoints();
    const int32_t repeats =
        static_cast<int32_t>(std::count(repeatFlags.begin(), repeatFlags.end(), 1));
    // The search runs on the positions as read: centring on a box stretched by a far point
    // can round distinct nearby points onto one position.
    setAsideFlagged(repeatFlags);
    int32_t isolated = 0;
    for (;;) {
        if (keptCount <= NEIGHBOUR_COUNT) {
            const std::string remain =
                keptCount == 1 ? " distinct point remains" : " distinct points remain";
            failure =
                Failure{pointFileName, 0,
                        "only " + std::to_string(keptCount) + remain + " after setting aside " +
                            std::to_string(repeats) + " repeated and " + std::to_string(isolated) +
                            " isolated points; at least " + std::to_string(NEIGHBOUR_COUNT + 1) +
                            " are needed"}
                    .describe();
            return false;
        }
        if (!computeNeighbours()) {
            return false;
        }
        const std::vector<uint8_t> flags = flagIsolatedPoints();
        const int32_t flagged = static_cast<int32_t>(std::count(flags.begin(), flags.end(), 1));
        if (flagged == 0) {
            break;
        }
        isolated += flagged;
        setAsideFlagged(flags);
    }
    // Set-aside records: the isolated ones first, the repeated ones last (set aside first).
    if (isolated > 0) {
        notices.push_back(std::to_string(isolated) +
                          (isolated == 1 ? " point lies far from all others and stays unused ("
                                         : " points lie far from all others and stay unused (") +
                          listLines(inputIndex, totalCount, isolated) + ")");
    }
    if (repeats > 0) {
        notices.push_back(
            std::to_string(repeats) +
            (repeats == 1 ? " point repeats an earlier point exactly and stays unused ("
                          : " points repeat an earlier point exactly and stay unused (") +
            listLines(inputIndex, totalCount + setAsideCount - repeats, repeats) + ")");
    }
    centerPoints();
    return computeNeighbours();
}
