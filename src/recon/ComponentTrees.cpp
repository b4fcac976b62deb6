// Component trees kept between layer passes, with the log of the cubes that changed.
#include "recon/ComponentTrees.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#ifdef FANMESH_CHECK_FAN_MEMO
namespace {
// Whether both trees have the same leaves holding the same points (in any order).
bool sameLeaves(const Octree& a, const Octree& b) {
    const std::vector<Octree::Leaf> first = a.leaves();
    const std::vector<Octree::Leaf> second = b.leaves();
    if (first.size() != second.size()) {
        return false;
    }
    for (size_t i = 0; i < first.size(); ++i) {
        const Octree::Leaf& x = first[i];
        const Octree::Leaf& y = second[i];
        std::vector<int32_t> p(x.begin, x.end);
        std::vector<int32_t> q(y.begin, y.end);
        std::sort(p.begin(), p.end());
        std::sort(q.begin(), q.end());
        if (x.edge != y.edge || x.minCorner.x != y.minCorner.x || x.minCorner.y != y.minCorner.y ||
            x.minCorner.z != y.minCorner.z || p != q) {
            return false;
        }
    }
    return true;
}
} // namespace
#endif

void ComponentTrees::differences(const std::vector<int32_t>& old, const std::vector<int32_t>& now) {
    changedPoints.clear();
    // Each list holds a point once, so the points of a common beginning or end are in both:
    // only what lies between them is compared (the breadth-first order of a component stays
    // the same up to the first point whose links reach a change).
    size_t head = 0;
    const size_t shorter = std::min(old.size(), now.size());
    while (head < shorter && old[head] == now[head]) {
        ++head;
    }
    if (head == old.size() && head == now.size()) {
        return; // the same list (a component that came back untouched)
    }
    size_t tail = 0;
    while (tail < shorter - head && old[old.size() - 1 - tail] == now[now.size() - 1 - tail]) {
        ++tail;
    }
    const auto oldFirst = old.begin() + static_cast<ptrdiff_t>(head);
    const auto oldLast = old.end() - static_cast<ptrdiff_t>(tail);
    const auto nowFirst = now.begin() + static_cast<ptrdiff_t>(head);
    const auto nowLast = now.end() - static_cast<ptrdiff_t>(tail);
    // Two stamps per comparison: old members get the first, members of both the second.
    if (stamp >= UINT32_MAX - 2) {
        std::fill(stamps.begin(), stamps.end(), 0);
        stamp = 0;
    }
    const uint32_t inOld = ++stamp;
    const uint32_t inBoth = ++stamp;
    leftStamp = inOld;
    // The stamps grow to the largest point seen (new entries hold no stamp in use).
    const auto reach = [this](int32_t p) {
        if (static_cast<size_t>(p) >= stamps.size()) {
            stamps.resize(static_cast<size_t>(p) + 1, 0);
        }
    };
    for (auto p = oldFirst; p != oldLast; ++p) {
        reach(*p);
        stamps[static_cast<size_t>(*p)] = inOld;
    }
    for (auto q = nowFirst; q != nowLast; ++q) {
        const int32_t p = *q;
        reach(p);
        uint32_t& s = stamps[static_cast<size_t>(p)];
        if (s == inOld) {
            s = inBoth;
        } else {
            changedPoints.push_back(p); // joined
        }
    }
    for (auto p = oldFirst; p != oldLast; ++p) {
        if (stamps[static_cast<size_t>(*p)] == inOld) {
            changedPoints.push_back(*p); // left
        }
    }
}

bool ComponentTrees::boxAfterChanges(const Slot& slot, const Vertex* records, Vector3& boxMin,
                                     Vector3& boxMax) const {
    // The points that stay hold every side of the box that no leaving point lies on; the
    // joining points can only widen it.
    boxMin = slot.boxMin;
    boxMax = slot.boxMax;
    for (const int32_t p : changedPoints) {
        const Vector3& v = records[p].position;
        if (stamps[static_cast<size_t>(p)] == leftStamp) {
            if (v.x == slot.boxMin.x || v.y == slot.boxMin.y || v.z == slot.boxMin.z ||
                v.x == slot.boxMax.x || v.y == slot.boxMax.y || v.z == slot.boxMax.z) {
                return false;
            }
            continue;
        }
        boxMin.set(std::min(boxMin.x, v.x), std::min(boxMin.y, v.y), std::min(boxMin.z, v.z));
        boxMax.set(std::max(boxMax.x, v.x), std::max(boxMax.y, v.y), std::max(boxMax.z, v.z));
    }
    return true;
}

Octree& ComponentTrees::build(Vertex* records, const std::vector<int32_t>& component,
                              double cellSize, double rayHitDistance) {
    const int32_t count = static_cast<int32_t>(component.size());
    reclaimMarks();
    if (count < MIN_KEPT_SIZE || count > MAX_KEPT_SIZE) {
        lendMarks(single);
        single.rayHitDistance = rayHitDistance;
        single.buildFor(records, component.data(), count, cellSize);
        currentTree = &single;
        currentSlot = nullptr;
        return single;
    }
    ++useClock;
    // A component comes back listed from the same lowest point, with a few points fewer or
    // more: its bounding box follows from the box of the slot that held it last and the
    // points that changed, instead of from every point. Any slot gives the exact box; the
    // match below is then made on the root cube as before.
    Slot* previous = nullptr;
    if (const auto found = slotByFirst.find(component.front()); found != slotByFirst.end()) {
        Slot* const slot = found->second;
        if (slot->lineage != 0 && slot->tree->records == records && !slot->members.empty() &&
            slot->members.front() == component.front()) {
            previous = slot;
        }
    }
    Vector3 boxMin;
    Vector3 boxMax;
    bool boxKnown = false;
    if (previous != nullptr) {
        differences(previous->members, component);
        boxKnown = boxAfterChanges(*previous, records, boxMin, boxMax);
    }
    if (!boxKnown) {
        Octree::boundingBox(records, component.data(), count, boxMin, boxMax);
    }
#ifdef FANMESH_CHECK_FAN_MEMO
    {
        Vector3 freshMin;
        Vector3 freshMax;
        Octree::boundingBox(records, component.data(), count, freshMin, freshMax);
        if (!(freshMin.x == boxMin.x && freshMin.y == boxMin.y && freshMin.z == boxMin.z &&
              freshMax.x == boxMax.x && freshMax.y == boxMax.y && freshMax.z == boxMax.z)) {
            std::cerr << "component bounding box from the changed points is wrong\n";
            std::abort();
        }
    }
#endif
    double edge = 0.0;
    Vector3 corner;
    Octree::cubeAroundBox(boxMin, boxMax, cellSize, edge, corner);
    Slot* match = nullptr;
    if (const auto found = slotByCube.find(cubeKey(edge, corner)); found != slotByCube.end()) {
        Slot* const slot = found->second;
        const Octree& tree = *slot->tree;
        if (slot->lineage != 0 && tree.records == records && tree.minCellSize == cellSize &&
            tree.rayHitDistance == rayHitDistance && tree.edge == edge &&
            tree.minCorner.x == corner.x && tree.minCorner.y == corner.y &&
            tree.minCorner.z == corner.z) {
            match = slot;
        }
    }
    if (match != nullptr) {
        if (match != previous) {
            differences(match->members, component);
        }
        match->lastUse = useClock;
        match->boxMin = boxMin;
        match->boxMax = boxMax;
        currentSlot = match;
        currentTree = match->tree.get();
        lendMarks(*match->tree);
        if (changedPoints.empty()) {
            // The same points: the same tree (the order of the points in a leaf has no
            // bearing on any ray).
            slotByFirst[component.front()] = match;
            return *match->tree;
        }
        unindex(*match);
        setMembers(*match, component);
        index(*match);
        // Small changes are made in the kept tree, point by point; the cubes they touch are
        // logged. Points with a radius of 0, or too many changes, take a fresh build.
        bool editable = match->positiveRadii && changedPoints.size() <= MAX_LOGGED_CHANGES;
        for (size_t i = 0; i < changedPoints.size() && editable; ++i) {
            editable = records[changedPoints[i]].neighbourhoodRadius > 0.0;
        }
        Octree& tree = *match->tree;
        std::vector<uint64_t> cubes;
        for (size_t i = 0; i < changedPoints.size() && editable; ++i) {
            const int32_t p = changedPoints[i];
            uint64_t cube = Octree::TOO_DEEP;
            const bool joined = stamps[static_cast<size_t>(p)] != leftStamp;
            editable = joined ? tree.insertPoint(p, cube) : tree.removePoint(p, cube);
            cubes.push_back(cube);
        }
        if (editable && (tree.pointListSize() > 2 * match->builtPoints + 4096 ||
                         tree.nodeCount() > 2 * match->builtNodes + 4096)) {
            editable = false; // too much left unused: build afresh
        }
#ifdef FANMESH_CHECK_FAN_MEMO
        if (editable) {
            Octree& fresh = *match->spare;
            fresh.rayHitDistance = rayHitDistance;
            fresh.buildFor(records, component.data(), count, cellSize);
            if (!sameLeaves(tree, fresh)) {
                std::cerr << "edited component tree differs from a fresh build\n";
                std::abort();
            }
        }
#endif
        if (!editable) {
            rebuild(*match, records, component, cellSize, rayHitDistance);
            return *match->tree;
        }
        std::sort(cubes.begin(), cubes.end());
        cubes.erase(std::unique(cubes.begin(), cubes.end()), cubes.end());
        std::vector<uint64_t> spans(2 * cubes.size());
        for (size_t i = 0; i < cubes.size(); ++i) {
            Octree::keySpan(cubes[i], spans[2 * i], spans[2 * i + 1]);
        }
        ++match->version;
        match->changes.emplace_back(match->version, std::move(spans));
        if (match->changes.size() > LOG_LENGTH) {
            match->changes.pop_front();
        }
        return tree;
    }

    // A new history, in a new slot while there is room, or in the one used longest ago;
    // slots used longest ago are dropped while more than MIN_SLOT_COUNT trees would hold too
    // many points.
    size_t kept = keptPoints;
    Slot* slot = nullptr;
    while (slot == nullptr) {
        const bool full = slots.size() >= SLOT_COUNT || (slots.size() >= MIN_SLOT_COUNT &&
                                                         kept + component.size() > MAX_KEPT_TOTAL);
        if (!full) {
            slots.push_back(std::make_unique<Slot>());
            slot = slots.back().get();
            break;
        }
        size_t oldest = 0;
        for (size_t i = 1; i < slots.size(); ++i) {
            if (slots[i]->lastUse < slots[oldest]->lastUse) {
                oldest = i;
            }
        }
        if (slots.size() <= MIN_SLOT_COUNT) {
            slot = slots[oldest].get();
        } else {
            kept -= slots[oldest]->members.size();
            unindex(*slots[oldest]);
            setMembers(*slots[oldest], {});
            slots.erase(slots.begin() + static_cast<ptrdiff_t>(oldest));
        }
    }
    unindex(*slot);
    setMembers(*slot, component);
    slot->lastUse = useClock;
    slot->boxMin = boxMin;
    slot->boxMax = boxMax;
    lendMarks(*slot->tree);
    rebuild(*slot, records, component, cellSize, rayHitDistance);
    index(*slot);
    currentSlot = slot;
    currentTree = slot->tree.get();
    return *slot->tree;
}

void ComponentTrees::reclaimMarks() {
    if (marksHolder != nullptr) {
        marks.swap(marksHolder->excluded);
        marksHolder = nullptr;
    }
}

void ComponentTrees::lendMarks(Octree& tree) {
    reclaimMarks();
    // A tree not holding the marks holds an empty array (its own, if it ever built one,
    // is given up here).
    tree.excluded.swap(marks);
    std::vector<uint8_t>().swap(marks);
    marksHolder = &tree;
}

ComponentTrees::CubeKey ComponentTrees::cubeKey(double edge, const Vector3& corner) {
    const auto bits = [](double value) {
        uint64_t out = 0;
        std::memcpy(&out, &value, sizeof out);
        return out;
    };
    return CubeKey{bits(edge), bits(corner.x), bits(corner.y), bits(corner.z)};
}

void ComponentTrees::setMembers(Slot& slot, const std::vector<int32_t>& component) {
    keptPoints -= slot.members.size();
    slot.members = component;
    keptPoints += slot.members.size();
}

void ComponentTrees::index(Slot& slot) {
    if (!slot.members.empty()) {
        slotByFirst[slot.members.front()] = &slot;
    }
    slotByCube[cubeKey(slot.tree->edge, slot.tree->minCorner)] = &slot;
}

void ComponentTrees::unindex(const Slot& slot) {
    if (!slot.members.empty()) {
        const auto found = slotByFirst.find(slot.members.front());
        if (found != slotByFirst.end() && found->second == &slot) {
            slotByFirst.erase(found);
        }
    }
    const auto found = slotByCube.find(cubeKey(slot.tree->edge, slot.tree->minCorner));
    if (found != slotByCube.end() && found->second == &slot) {
        slotByCube.erase(found);
    }
}

void ComponentTrees::rebuild(Slot& slot, Vertex* records, const std::vector<int32_t>& component,
                             double cellSize, double rayHitDistance) {
    Octree& tree = *slot.tree;
    tree.rayHitDistance = rayHitDistance;
    tree.buildFor(records, component.data(), static_cast<int32_t>(component.size()), cellSize);
    slot.positiveRadii = true;
    for (const int32_t p : component) {
        if (!(records[p].neighbourhoodRadius > 0.0)) {
            slot.positiveRadii = false;
            break;
        }
    }
    slot.builtPoints = tree.pointListSize();
    slot.builtNodes = tree.nodeCount();
    slot.lineage = nextLineage++;
    slot.version = 0;
    slot.changes.clear();
    currentSlot = &slot;
    currentTree = slot.tree.get();
}

bool ComponentTrees::unchangedSince(uint64_t lineage, int64_t version, const uint64_t* keys,
                                    size_t count) const {
    if (currentSlot == nullptr || lineage == 0 || lineage != currentSlot->lineage ||
        version > currentSlot->version) {
        return false;
    }
    if (version == currentSlot->version) {
        return true;
    }
    const auto& changes = currentSlot->changes;
    if (changes.empty() || changes.front().first > version + 1) {
        return false; // the log no longer reaches back to that version
    }
    // The versions after `version` stand in the log from this entry on.
    const size_t from = static_cast<size_t>(version + 1 - changes.front().first);
    // A cube is unchanged when its key span meets none of the merged ranges: the first range
    // that ends at or after the span's start is the only one that can meet it.
    const std::vector<uint64_t>& ranges = changedSince(from);
    const size_t rangeCount = ranges.size() / 2;
    // Most spans lie wholly before the first range or after the last one.
    const uint64_t lowest = rangeCount > 0 ? ranges.front() : ~uint64_t{0};
    const uint64_t highest = rangeCount > 0 ? ranges.back() : 0;
    bool unchanged = true;
    for (size_t i = 0; i < count && unchanged; ++i) {
        uint64_t lo = 0;
        uint64_t hi = 0;
        Octree::keySpan(keys[i], lo, hi);
        if (hi < lowest || lo > highest) {
            continue;
        }
        size_t first = 0;
        size_t last = rangeCount;
        while (first < last) {
            const size_t middle = first + (last - first) / 2;
            if (ranges[2 * middle + 1] < lo) {
                first = middle + 1;
            } else {
                last = middle;
            }
        }
        unchanged = first == rangeCount || ranges[2 * first] > hi;
    }
#ifdef FANMESH_CHECK_FAN_MEMO
    // Checking build: every span against every logged change.
    bool plain = true;
    for (size_t i = 0; i < count && plain; ++i) {
        uint64_t lo = 0;
        uint64_t hi = 0;
        Octree::keySpan(keys[i], lo, hi);
        for (size_t v = from; v < changes.size() && plain; ++v) {
            const std::vector<uint64_t>& spans = changes[v].second;
            for (size_t j = 0; j < spans.size() && plain; j += 2) {
                plain = !(lo <= spans[j + 1] && spans[j] <= hi);
            }
        }
    }
    if (plain != unchanged) {
        std::cerr << "merged ranges of changed cubes differ from the log\n";
        std::abort();
    }
#endif
    return unchanged;
}

const std::vector<uint64_t>& ComponentTrees::changedSince(size_t from) const {
    const auto& changes = currentSlot->changes;
    if (mergedLineage != currentSlot->lineage || mergedVersion != currentSlot->version) {
        mergedLineage = currentSlot->lineage;
        mergedVersion = currentSlot->version;
        mergedReady.assign(changes.size(), 0);
        mergedSince.resize(changes.size());
    }
    std::vector<uint64_t>& ranges = mergedSince[from];
    if (mergedReady[from] != 0) {
        return ranges;
    }
    mergedReady[from] = 1;
    std::vector<std::pair<uint64_t, uint64_t>> spans;
    for (size_t v = from; v < changes.size(); ++v) {
        const std::vector<uint64_t>& logged = changes[v].second;
        for (size_t j = 0; j < logged.size(); j += 2) {
            spans.emplace_back(logged[j], logged[j + 1]);
        }
    }
    std::sort(spans.begin(), spans.end());
    ranges.clear();
    for (const auto& [lo, hi] : spans) {
        if (!ranges.empty() && lo <= ranges.back()) {
            ranges.back() = std::max(ranges.back(), hi); // overlaps the range before
        } else {
            ranges.push_back(lo);
            ranges.push_back(hi);
        }
    }
    return ranges;
}

void ComponentTrees::release() {
    reclaimMarks();
    std::vector<uint8_t>().swap(marks);
    slotByFirst.clear();
    slotByCube.clear();
    keptPoints = 0;
    slots.clear();
    std::vector<std::vector<uint64_t>>().swap(mergedSince);
    std::vector<uint8_t>().swap(mergedReady);
    mergedLineage = 0;
    mergedVersion = -1;
    single.release();
    std::vector<uint32_t>().swap(stamps);
    std::vector<int32_t>().swap(changedPoints);
    currentTree = nullptr;
    currentSlot = nullptr;
}
