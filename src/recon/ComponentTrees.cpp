// Component trees kept between layer passes, with the log of the cubes that changed.
#include "recon/ComponentTrees.h"

#include <algorithm>

void ComponentTrees::differences(const std::vector<int32_t>& old, const std::vector<int32_t>& now) {
    changedPoints.clear();
    size_t needed = 0;
    for (const int32_t p : old) {
        needed = std::max(needed, static_cast<size_t>(p) + 1);
    }
    for (const int32_t p : now) {
        needed = std::max(needed, static_cast<size_t>(p) + 1);
    }
    if (stamps.size() < needed) {
        stamps.resize(needed, 0);
    }
    // Two stamps per comparison: old members get the first, members of both the second.
    if (stamp >= UINT32_MAX - 2) {
        std::fill(stamps.begin(), stamps.end(), 0);
        stamp = 0;
    }
    const uint32_t inOld = ++stamp;
    const uint32_t inBoth = ++stamp;
    for (const int32_t p : old) {
        stamps[static_cast<size_t>(p)] = inOld;
    }
    for (const int32_t p : now) {
        uint32_t& s = stamps[static_cast<size_t>(p)];
        if (s == inOld) {
            s = inBoth;
        } else {
            changedPoints.push_back(p); // joined
        }
    }
    for (const int32_t p : old) {
        if (stamps[static_cast<size_t>(p)] == inOld) {
            changedPoints.push_back(p); // left
        }
    }
}

Octree& ComponentTrees::build(Vertex* records, const std::vector<int32_t>& component,
                              double cellSize, double rayHitDistance) {
    const int32_t count = static_cast<int32_t>(component.size());
    if (count < MIN_KEPT_SIZE || count > MAX_KEPT_SIZE) {
        single.rayHitDistance = rayHitDistance;
        single.buildFor(records, component.data(), count, cellSize);
        currentTree = &single;
        currentSlot = nullptr;
        return single;
    }
    ++useClock;
    double edge = 0.0;
    Vector3 corner;
    Octree::rootCube(records, component.data(), count, cellSize, edge, corner);
    Slot* match = nullptr;
    for (const std::unique_ptr<Slot>& slot : slots) {
        const Octree& tree = *slot->tree;
        if (slot->lineage != 0 && tree.records == records && tree.minCellSize == cellSize &&
            tree.rayHitDistance == rayHitDistance && tree.edge == edge &&
            tree.minCorner.x == corner.x && tree.minCorner.y == corner.y &&
            tree.minCorner.z == corner.z) {
            match = slot.get();
            break;
        }
    }
    if (match != nullptr) {
        differences(match->members, component);
        match->lastUse = useClock;
        currentSlot = match;
        currentTree = match->tree.get();
        if (changedPoints.empty()) {
            // The same points: the same tree (the order of the points in a leaf has no
            // bearing on any ray).
            return *match->tree;
        }
        Octree& fresh = *match->spare;
        fresh.rayHitDistance = rayHitDistance;
        fresh.buildFor(records, component.data(), count, cellSize);
        match->members = component;
        if (changedPoints.size() > MAX_LOGGED_CHANGES || !fresh.sameFrame(*match->tree)) {
            match->lineage = nextLineage++;
            match->version = 0;
            match->changes.clear();
        } else {
            std::vector<uint64_t> cubes;
            cubes.reserve(changedPoints.size());
            for (const int32_t p : changedPoints) {
                cubes.push_back(fresh.changedCubeAlong(*match->tree, records[p].position));
            }
            std::sort(cubes.begin(), cubes.end());
            cubes.erase(std::unique(cubes.begin(), cubes.end()), cubes.end());
            ++match->version;
            match->changes.emplace_back(match->version, std::move(cubes));
            if (match->changes.size() > LOG_LENGTH) {
                match->changes.pop_front();
            }
        }
        std::swap(match->tree, match->spare);
        currentTree = match->tree.get();
        return *match->tree;
    }

    // A new history, in a free slot or in the one used longest ago.
    Slot* slot = nullptr;
    if (slots.size() < SLOT_COUNT) {
        slots.push_back(std::make_unique<Slot>());
        slot = slots.back().get();
    } else {
        slot = slots.front().get();
        for (const std::unique_ptr<Slot>& other : slots) {
            if (other->lastUse < slot->lastUse) {
                slot = other.get();
            }
        }
    }
    slot->tree->rayHitDistance = rayHitDistance;
    slot->tree->buildFor(records, component.data(), count, cellSize);
    slot->members = component;
    slot->lineage = nextLineage++;
    slot->version = 0;
    slot->changes.clear();
    slot->lastUse = useClock;
    currentSlot = slot;
    currentTree = slot->tree.get();
    return *slot->tree;
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
    for (const auto& [at, cubes] : changes) {
        if (at <= version) {
            continue;
        }
        for (size_t i = 0; i < count; ++i) {
            for (const uint64_t cube : cubes) {
                if (Octree::keysNested(keys[i], cube)) {
                    return false;
                }
            }
        }
    }
    return true;
}

void ComponentTrees::release() {
    slots.clear();
    single.release();
    std::vector<uint32_t>().swap(stamps);
    std::vector<int32_t>().swap(changedPoints);
    currentTree = nullptr;
    currentSlot = nullptr;
}
