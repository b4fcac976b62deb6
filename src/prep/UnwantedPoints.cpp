// Detection of points that lie much closer to a neighbour than the local spacing, and their
// move to the tail of the record array.
#include <algorithm>
#include <cmath>
#include <utility>

#include "geometry/Geometry.h"
#include "prep/PointSetPreparation.h"

void PointSetPreparation::swapPoints(int32_t first, int32_t second) {
    Vertex& a = vertices[first];
    Vertex& b = vertices[second];
    std::swap(a.position, b.position);
    for (int32_t i = 0; i < NEIGHBOUR_COUNT; ++i) {
        std::swap(a.neighbours[i], b.neighbours[i]);
    }
    if (static_cast<size_t>(std::max(first, second)) < inputIndex.size()) {
        std::swap(inputIndex[first], inputIndex[second]);
    }
}

void PointSetPreparation::moveFlaggedToTail(const std::vector<uint8_t>& flags,
                                            std::vector<int32_t>& map, int32_t removedCount) {
    const int32_t n = static_cast<int32_t>(flags.size());
    int32_t front = 0;
    int32_t back = n - 1;
    int32_t placed = 0;
    while (true) {
        while (front < n - 1 && !flags[front]) {
            ++front;
        }
        while (flags[back]) {
            ++placed;
            if (back == 0) {
                break;
            }
            --back;
        }
        if (placed >= removedCount || front >= back) {
            break;
        }
        swapPoints(front, back);
        map[front] = back;
        map[back] = front;
        ++placed;
        ++front;
        --back;
        if (front >= back || placed >= removedCount) {
            break;
        }
    }
}

void PointSetPreparation::removeUnwantedPoints() {
    const int32_t n = keptCount;
    const double ratioLimit = static_cast<double>(unwantedRatio);
    std::vector<uint8_t> flags(n, 0);
    int32_t removedCount = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (flags[k]) {
            continue;
        }
        const Vertex& point = vertices[k];
        const double reference = distanceBetweenPoints(
            point.position, vertices[point.neighbours[NEIGHBOUR_COUNT - 1]].position);
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            const int32_t m = point.neighbours[l];
            if (flags[m]) {
                continue;
            }
            const double ratio =
                distanceBetweenPoints(point.position, vertices[m].position) / reference;
            // A ratio that is not a number (all distances 0) ends the scan like a large one.
            if (ratio < ratioLimit) {
                flags[m] = 1;
                ++removedCount;
            } else {
                break;
            }
        }
    }

    std::vector<int32_t> map(n);
    for (int32_t i = 0; i < n; ++i) {
        map[i] = i;
    }
    if (removedCount > 0) {
        moveFlaggedToTail(flags, map, removedCount);
    }
    totalCount = n;
    keptCount = n - removedCount;
    // Removed records name their neighbours at the new indices; kept lists are searched again.
    for (int32_t i = keptCount; i < n; ++i) {
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            vertices[i].neighbours[l] = map[vertices[i].neighbours[l]];
        }
    }
}
