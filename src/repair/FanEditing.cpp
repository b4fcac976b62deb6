// Triangle fan editing: lookups in a point's cyclic fan and the edits (insert, remove,
// replace) that keep the reverse links, the working copy of the fan and the point normal
// in step with the fan.
#include <algorithm>

#include "recon/ReconstructionState.h"

int32_t ReconstructionState::triangleApex(int32_t exclude, int32_t p, int32_t q) const {
    if (pointState[p] == 1) {
        return prevInFan(p, q);
    }
    if (pointState[q] == 1) {
        return nextInFan(q, p);
    }
    // Neither end has an accepted fan: look for an owner whose fan holds the edge q -> p.
    for (const int32_t c : vertices[p].connectedPoints) {
        if (c != exclude && prevInFan(c, p) == q) {
            return c;
        }
    }
    return -1;
}

void ReconstructionState::addConnection(int32_t p, int32_t q) {
    noteEdit(WATCH_LINKS, p);
    if (attemptLogging != nullptr) {
        attemptLogging->linked.push_back(p);
    }
    vertices[p].connectedPoints.push_back(q);
    if (!linkCounts.empty()) {
        ++linkCounts[static_cast<size_t>(p)];
    }
}

void ReconstructionState::removeConnection(int32_t p, int32_t q) {
    std::vector<int32_t>& links = vertices[p].connectedPoints;
    const auto found = std::find(links.begin(), links.end(), q);
    if (found != links.end()) {
        noteEdit(WATCH_LINKS, p);
        links.erase(found);
        if (!linkCounts.empty()) {
            --linkCounts[static_cast<size_t>(p)];
        }
    }
}

void ReconstructionState::syncLinkCounts() {
    linkCounts.resize(static_cast<size_t>(totalCount > 0 ? totalCount : 0));
    for (int32_t p = 0; p < totalCount; ++p) {
        linkCounts[static_cast<size_t>(p)] =
            static_cast<int32_t>(vertices[p].connectedPoints.size());
    }
}

bool ReconstructionState::insertIntoFan(int32_t p, int32_t position, int32_t q) {
    Vertex& record = vertices[p];
    const int32_t count = record.triangleFanCount;
    if (indexInFan(p, q) >= 0) {
        return false;
    }
    // A full fan or a position outside the fan is refused; nothing changes.
    if (count >= MAX_FAN_SIZE || position < -1 || position > count - 1) {
        return false;
    }
    addConnection(q, p);
    noteEdit(WATCH_FAN, p);
    for (int32_t i = count; i > position + 1; --i) {
        record.triangleFan[i] = record.triangleFan[i - 1];
    }
    record.triangleFan[position + 1] = q;
    record.triangleFanCount = count + 1;
    if (position == count - 1) {
        record.currentTriangleFan.push_back(q);
    } else {
        const int32_t* entries = record.triangleFan.first(record.triangleFanCount);
        record.currentTriangleFan.assign(entries, entries + record.triangleFanCount);
    }
    updateClosedFanNormal(p);
    return true;
}

void ReconstructionState::removeFromFan(int32_t p, int32_t position) {
    Vertex& record = vertices[p];
    const int32_t count = record.triangleFanCount;
    if (position < 0 || position >= count) {
        return;
    }
    removeConnection(record.triangleFan[position], p);
    noteEdit(WATCH_FAN, p);
    for (int32_t i = position; i < count - 1; ++i) {
        record.triangleFan[i] = record.triangleFan[i + 1];
    }
    record.triangleFanCount = count - 1;
    const int32_t* entries = record.triangleFan.first(record.triangleFanCount);
    record.currentTriangleFan.assign(entries, entries + record.triangleFanCount);
    updateClosedFanNormal(p);
}

int32_t ReconstructionState::replaceFanRange(int32_t p, int32_t from, int32_t to, int32_t q) {
    Vertex& record = vertices[p];
    if (to >= from) {
        for (int32_t k = 0; k < to - from - 1 && from + 1 < record.triangleFanCount; ++k) {
            removeFromFan(p, from + 1);
        }
        insertIntoFan(p, from, q);
        return from + 1;
    }
    // The range runs over the end of the list: clear the tail after from, then the head
    // before to, and append q.
    const int32_t tailCount = record.triangleFanCount - from - 1;
    for (int32_t k = 0; k < tailCount; ++k) {
        removeFromFan(p, from + 1);
    }
    for (int32_t k = 0; k < to && record.triangleFanCount > 0; ++k) {
        removeFromFan(p, 0);
    }
    const int32_t newCount = record.triangleFanCount;
    insertIntoFan(p, newCount - 1, q);
    return newCount - 1;
}

int32_t ReconstructionState::replaceFanEntry(int32_t p, int32_t key, int32_t q) {
    const int32_t i = indexInFan(p, key);
    if (i < 0) {
        return -1;
    }
    const int32_t count = vertices[p].triangleFanCount;
    const int32_t from = i == 0 ? count - 1 : i - 1;
    const int32_t to = i == count - 1 ? 0 : i + 1;
    return replaceFanRange(p, from, to, q);
}

int32_t ReconstructionState::insertionAnchor(int32_t p, int32_t q) const {
    if (indexInFan(p, q) >= 0) {
        return prevInFan(p, q);
    }
    return fanSectorStart(p, vertices[q].position);
}
