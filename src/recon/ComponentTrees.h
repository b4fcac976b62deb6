// ComponentTrees: the octrees of the layer passes' components, kept from one pass to the
// next. A component usually comes back with nearly the same points (a seed or a few
// completed points fewer), so its tree is matched by its root cube, edited point by point
// into the tree a fresh build would give, and the cubes the edits touched are logged. A ray
// recorded against an earlier version of the tree still has its answer while none of the cubes it
// rests on has changed since.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "recon/Octree.h"
#include "recon/Vertex.h"

struct ComponentTrees {
    // Components smaller than this, or larger than MAX_KEPT_SIZE, get a tree of their own
    // each time and no history (a large one shrinks fast and would double its memory).
    static constexpr int32_t MIN_KEPT_SIZE = 1;
    static constexpr int32_t MAX_KEPT_SIZE = 1 << 18;
    // Trees kept at once; the one used longest ago gives way. A noisy cloud splits into many
    // components, visited in the same order pass after pass: with fewer slots than
    // components, each tree would give way just before its component comes back (a noisy
    // sheet of 10^5 points keeps about a thousand components with a growing front, most of
    // them a few dozen points). Beyond MIN_SLOT_COUNT trees, a new one is kept only while
    // all of them together hold at most MAX_KEPT_TOTAL points, the bound on the points held
    // by MIN_SLOT_COUNT trees. Slots are found through maps, never by a scan of all slots,
    // and the trees share one array of ray exclusion marks, so a kept tree costs memory in
    // proportion to its own points only.
    static constexpr size_t SLOT_COUNT = 1 << 16;
    static constexpr size_t MIN_SLOT_COUNT = 4;
    static constexpr size_t MAX_KEPT_TOTAL = MIN_SLOT_COUNT * MAX_KEPT_SIZE;
    // Versions of changed cubes kept per tree; older recordings are no longer checked.
    static constexpr size_t LOG_LENGTH = 16;
    // A tree whose points changed by more than this many starts a new history.
    static constexpr size_t MAX_LOGGED_CHANGES = 64;

    // Builds (or keeps) the tree for the component and returns it. Inputs: the records,
    // the component's point indices (each once), the cell size and the ray hit distance
    // that the tree takes. The tree is the same as a fresh Octree::buildFor over the
    // component; it stays valid until the next call.
    Octree& build(Vertex* records, const std::vector<int32_t>& component, double cellSize,
                  double rayHitDistance);
    // The tree of the last build, and the history it belongs to (0: none, answers
    // recorded against it cannot be carried over) and its version.
    const Octree* current() const { return currentTree; }
    uint64_t currentLineage() const { return currentSlot != nullptr ? currentSlot->lineage : 0; }
    int64_t currentVersion() const { return currentSlot != nullptr ? currentSlot->version : 0; }
    // Whether cube keys recorded against version `version` of history `lineage` rest on
    // cubes that are unchanged in the current tree. False when the history is another one
    // or too old to tell.
    bool unchangedSince(uint64_t lineage, int64_t version, const uint64_t* keys,
                        size_t count) const;
    // Returns all storage.
    void release();

  private:
    struct Slot {
        std::unique_ptr<Octree> tree = std::make_unique<Octree>();
        std::unique_ptr<Octree> spare = std::make_unique<Octree>(); // checking build only
        std::vector<int32_t> members;                               // the points of tree
        uint64_t lineage = 0;
        int64_t version = 0;
        uint64_t lastUse = 0;
        // Whether every point of tree has a positive radius (then the tree can be edited).
        bool positiveRadii = false;
        // The bounding box of the members' positions (Octree::boundingBox).
        Vector3 boxMin;
        Vector3 boxMax;
        // Sizes of the last fresh build, to bound what edits leave unused.
        size_t builtPoints = 0;
        int64_t builtNodes = 0;
        // For each of the latest versions v (consecutive, oldest first): the cubes in which
        // version v differs from v - 1, each as its key span (Octree::keySpan), lo then hi.
        std::deque<std::pair<int64_t, std::vector<uint64_t>>> changes;
    };
    std::vector<std::unique_ptr<Slot>> slots;
    // The root cube of a tree, by the bits of its edge and corner.
    struct CubeKey {
        uint64_t edge;
        uint64_t x;
        uint64_t y;
        uint64_t z;
        bool operator==(const CubeKey&) const = default;
    };
    struct CubeHash {
        size_t operator()(const CubeKey& k) const {
            uint64_t h = k.edge * 0x9E3779B97F4A7C15ull;
            h = (h ^ (h >> 29) ^ k.x) * 0xBF58476D1CE4E5B9ull;
            h = (h ^ (h >> 31) ^ k.y) * 0x94D049BB133111EBull;
            h = (h ^ (h >> 29) ^ k.z) * 0x9E3779B97F4A7C15ull;
            return static_cast<size_t>(h ^ (h >> 32));
        }
    };
    // The slot last used for a component listed from a given first point, and the slot whose
    // tree last had a given root cube. Entries may be stale (the slot has since taken other
    // points or another cube); every lookup checks the slot it finds.
    std::unordered_map<int32_t, Slot*> slotByFirst;
    std::unordered_map<CubeKey, Slot*, CubeHash> slotByCube;
    size_t keptPoints = 0; // members held by all slots together
    // The ray exclusion marks (all 0 between rays), lent to the tree handed out last.
    std::vector<uint8_t> marks;
    Octree* marksHolder = nullptr;
    Octree single; // tree of a component too small to keep
    const Octree* currentTree = nullptr;
    Slot* currentSlot = nullptr;
    uint64_t nextLineage = 1;
    uint64_t useClock = 0;
    // Per record: membership stamps of the set comparison.
    std::vector<uint32_t> stamps;
    uint32_t stamp = 0;
    std::vector<int32_t> changedPoints;
    uint32_t leftStamp = 0; // the stamp of points in changedPoints that left
    // The key spans changed after each logged version of the current tree, merged into
    // sorted, disjoint ranges (lo then hi), built when first asked for: entry i stands for
    // the versions from changes[i] on. Valid for the history and version in mergedLineage and
    // mergedVersion.
    mutable std::vector<std::vector<uint64_t>> mergedSince;
    mutable std::vector<uint8_t> mergedReady;
    mutable uint64_t mergedLineage = 0;
    mutable int64_t mergedVersion = -1;

    // Takes the marks back from the tree that holds them, and lends them to tree.
    void reclaimMarks();
    void lendMarks(Octree& tree);
    // The key of the tree's root cube.
    static CubeKey cubeKey(double edge, const Vector3& corner);
    // Sets the slot's members, keeping keptPoints current.
    void setMembers(Slot& slot, const std::vector<int32_t>& component);
    // Records the slot under its first member and its tree's root cube.
    void index(Slot& slot);
    // Removes the slot's entries from both maps.
    void unindex(const Slot& slot);
    // Builds the slot's tree afresh over component (a new history when fresh is set).
    void rebuild(Slot& slot, Vertex* records, const std::vector<int32_t>& component,
                 double cellSize, double rayHitDistance);
    // Points that are in exactly one of old and now (stamps-based, in the order found).
    void differences(const std::vector<int32_t>& old, const std::vector<int32_t>& now);
    // The bounding box of the slot's members after the changes in changedPoints (from
    // differences against those members): false when a point that left lay on the slot's
    // box, which then has to be found again from all the points.
    bool boxAfterChanges(const Slot& slot, const Vertex* records, Vector3& boxMin,
                         Vector3& boxMax) const;
    // The merged ranges of the cubes changed in the current slot's logged versions from
    // changes[from] on.
    const std::vector<uint64_t>& changedSince(size_t from) const;
};
