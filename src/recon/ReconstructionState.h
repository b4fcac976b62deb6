// ReconstructionState: the object that drives surface reconstruction over the
// borrowed record array. It owns the per-point status arrays, the two octrees and
// the run options; the growing and repair operations are its members, defined in
// src/grow/ and src/repair/, one concern per file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

#include "geometry/Vector3.h"
#include "grow/CompletionMemo.h"
#include "grow/FanSearchMemo.h"
#include "recon/BoundedHeap.h"
#include "recon/ComponentTrees.h"
#include "recon/EditWatch.h"
#include "recon/MemoTable.h"
#include "recon/Octree.h"
#include "recon/PointBits.h"
#include "recon/PointStates.h"
#include "recon/PointTokens.h"
#include "recon/Random.h"
#include "recon/Vertex.h"
#include "repair/CoverMemo.h"

struct ReconstructionState {
    Vertex* vertices = nullptr;
    int32_t activeCount = 0;
    int32_t totalCount = 0;
    double searchRadius = 0.0;
    // Octrees of the layer passes' components, kept from pass to pass.
    ComponentTrees componentTrees;
    Octree octree;
    // Per record: 0 open, 1 completed (others: set aside); written through setPointState.
    PointStates pointState;
    std::vector<int32_t> completionOrder; // grows as points complete
    int32_t completedCount = 0;
    int32_t completedLimit = 100000000;
    double halfSearchRadius = 0.0;
    double reconstructionSeconds = 0.0;
    int32_t layer = 0;
    int32_t maxLayers = 100;
    Vector3 layerVector{0.0, 0.0, 0.0};
    bool keepLargestComponent = true;
    bool removeInconsistentFans = true;
    int32_t configuredMaxLayers = 999;
    // Finer ray test of the global convexity test: a point blocks a ray only within this
    // many of its neighbourhood radii of the ray; 0 or less: any point of a leaf ahead does.
    double rayHitDistance = 0.0;
    // Under the finer ray test: a point blocks a ray of the global convexity test only
    // within this many neighbourhood radii (of the ray's origin point) ahead of the origin,
    // so that far surface (another strand, the far side of a part) does not refuse a fan;
    // 0 or less: at any distance.
    double rayReach = 0.0;
    // Open-rise rule of the global convexity test on reversed layers: the sine of the largest
    // angle by which an open neighbour outside a point's fan may rise from the fan's plane on
    // its outer side; 0 or less: no such limit.
    double openRiseSine = 0.0;
    // Whether the layer being grown builds its fans in reversed order (set by createPoints).
    bool growingReversedLayer = false;
    // Fan search: a neighbour counts as hidden under a fan only when it lies under one of
    // the fan's triangles, on the side the surface faces; off: anywhere in the unbounded
    // wedge of a triangle, on the side the working fan's order faces.
    bool hiddenUnderTrianglesOnly = false;
    // Seed check under the finer ray test: every point near a ray counts on its own (the
    // octree's perPointRays), so that the wall across a thin part, lying in the seed's own
    // cell or in a cell with one of its neighbours, still blocks the ray into the part.
    bool strictSeedCheck = false;
    // Under strictSeedCheck: the neighbours of the seed's neighbours never block its rays
    // either, so a wall within reach of those neighbourhoods (a close parallel sheet) does
    // not turn the seed round; a wall beyond them (the far side of a tube) still does.
    bool seedCheckIgnoresNearWalls = false;
    // Set by constructFan: the hidden-neighbour test looks at the side opposite to the one
    // the working fan's triangles face (a fan built in reversed order, under
    // hiddenUnderTrianglesOnly).
    bool hiddenSideReversed = false;
    // The final clean-up gives no edge of the mesh a third face: hole closing leaves open an
    // ear whose fan would, and point insertion leaves whole a triangle that a completed
    // corner's fan cannot split. Off: every ear is filled and every covering triangle split.
    bool refuseThirdFaces = false;
    // Set once the growth is over and the final clean-up runs: with refuseThirdFaces, an
    // edge flip there refuses a new diagonal that some fan already holds as an edge.
    bool cleaningUp = false;
    // The growth refuses a fan whose normal turns more than this many degrees (either way
    // round) from the normal the point's neighbourhood gave before the growth while the
    // point's neighbours lie off the fan on both sides, such as a lid across a thin tube
    // that would close a front off on its own; 0 or less: never.
    double maxFanTilt = 0.0;
    // The growth refuses an edge flip that would leave the fan of a completed corner of its
    // quadrilateral folded over itself (ringFoldsOver) where it is not folded before.
    bool refuseFoldingFlips = false;
    // Under maxFanTilt: the normals of the active points as the growth found them.
    std::vector<Vector3> neighbourhoodNormals;
    // The clean-up completes an open point whose surrounding fans form several separate
    // chains (where two patches meet) by bridging the gaps between the chains, when that is
    // sound, before open-point withdrawal would withdraw every fan around it.
    bool bridgePinchedPoints = false;
    // Inconsistent-fan removal withdraws only the fans that face against their point's
    // normal, not also the fans of their fan neighbours.
    bool keepFoldNeighbours = false;
    // Inconsistent-fan removal keeps the fan neighbours of a folded fan whose point's
    // neighbourhood spans a thin part (neighbourhoodSpansThinPart), and withdraws them
    // elsewhere; without keepFoldNeighbours only.
    bool keepFoldNeighboursOnThinParts = false;
    // Inconsistent-fan removal and the clean-up's first open-point repair and withdrawal
    // keep a fan whose withdrawal would cut the surface into separate pieces (a ring around
    // a thin part); see keepPiecesJoined.
    bool foldRemovalKeepsPiecesJoined = false;
    // Once the growths have completed the share of the active points at which seeding
    // stops, seeding goes on from points inside regions no growth has reached (see
    // insideUnreachedRegion); off: it stops there.
    bool seedUnreachedRegions = false;
    // Under seedCheckIgnoresNearWalls: the seeds offered inside unreached regions have their
    // check count the neighbours of their neighbours again. Such a region is a thin part the
    // front could not enter, whose far wall lies within those neighbourhoods; exempting it
    // lets a seed face into the part, where its growth stops at once.
    bool unreachedSeedsCountNearWalls = false;
    // Hole closing does not take an edge between two non-adjacent border points of a hole
    // for a chord across it when the edge already has a face on each side and withdrawing
    // every fan at its ends would cut the surface apart: such an edge lies within the
    // surface beside the hole (as in a narrow strip joining a thin leg to the body, round
    // which one border runs). Applied only with refuseThirdFaces, whose ear test keeps the
    // fill from giving that edge a third face.
    bool fillPastInnerChords = false;
    // After inconsistent-fan removal, the points outside the mesh that no fan holds (not
    // only those the removal left out) are inserted into the nearest triangle over them,
    // each insertion taken back when it adds a fold to a fan (see reinsertWithoutFolds);
    // off: they stay out.
    bool reinsertAfterFoldRemoval = false;
    // Set under foldRemovalKeepsPiecesJoined while inconsistent-fan removal runs and while
    // the clean-up's link checks with open-point repair, and its first open-point
    // withdrawal and hole closing, run: every withdrawal of those passes spares a fan whose
    // withdrawal would cut the surface into separate pieces (an open point whose repair
    // would withdraw such a fan is left as it is).
    bool keepPiecesJoined = false;
    // Work marks of withdrawalSplitsPiece.
    std::vector<uint32_t> splitMarks;
    uint32_t splitStamp = 0;
    std::vector<int32_t> splitQueue;
    std::vector<int32_t> splitMembers;
    std::vector<int32_t> splitGroups;
    std::vector<int32_t> splitOwners;
    int32_t splitGroupCount = 0;
    std::vector<std::vector<int32_t>> splitWalks;
    std::vector<size_t> splitWalkHeads;
    std::vector<int32_t> splitWalkSets;

    // Progress lines of the construction go here; null prints nothing.
    std::ostream* console = nullptr;

    // Diagnostics: a point index whose processing is traced to standard output (-1: none).
    int32_t tracePoint = -1;
    int32_t traceFlipPoint = -1;
    int32_t clockStart = 0;
    int32_t clockEnd = 0;
    double octreeTicks = 0.0;

    // Generator of the random layer vectors; seeded at the start of every construction.
    RandomGenerator random;

    ReconstructionState() = default;
    ReconstructionState(const ReconstructionState&) = delete;
    ReconstructionState& operator=(const ReconstructionState&) = delete;

    // ---- recon: state, hand-over ----
    void setOptions(bool keepLargest, bool removeInconsistent, int32_t maxLayerSetting);
    // Takes over the prepared records: records from keptCount on are the removed ones.
    void attachPoints(Vertex* records, int32_t count, int32_t keptCount, double xMax, double yMax,
                      double zMax, double radius);
    // Frees what only the growth uses (the octrees and the working fans of the records),
    // once the construction and its side files are done; the accepted fans, links, states
    // and normals stay.
    void releaseGrowthData();
    Vector3 randomVector();
    // Seeds the state's generator; construction seeds it with RANDOM_SEED.
    void seedRandom(uint32_t seed) { random.seed(seed); }
    // Next draw of the state's generator, in [0, RANDOM_MAX].
    int32_t nextRandom() { return random.next(); }

    // Asks the memory system ahead of time for the first two cache lines (position, normal,
    // fan) of the records of the first members of p's accepted fan; reads only p's record
    // and changes nothing. Passes over many points call it a few points ahead, as those
    // records lie scattered over the array.
    void prefetchFanMembers(int32_t p) const {
        const Vertex& record = vertices[p];
        const int32_t count = record.triangleFanCount < FanEntries::INLINE_CAPACITY
                                  ? record.triangleFanCount
                                  : FanEntries::INLINE_CAPACITY;
        for (int32_t m = 0; m < count; ++m) {
            const int32_t u = record.triangleFan[m];
            if (u >= 0 && u < totalCount) {
                const char* line = reinterpret_cast<const char*>(&vertices[u]);
                __builtin_prefetch(line);
                __builtin_prefetch(line + 64);
            }
        }
    }

    // ---- recon: push invalidation of the search memos (EditWatch.cpp) ----
    // While growth runs, the records the valid memos read are watched (EditWatch): every edit
    // of a record's state, fan, connected points, neighbour list or normal is announced by
    // noteEdit before it is made, and the next flush invalidates the memos that read what
    // changed.
    EditWatch editWatch;
    WatchedReads watchedReads; // the reads gathered by the last memo input walk
    // Announces an edit of the data of the given kind (a WATCH_ bit other than
    // WATCH_FAN_SIZE) of record x; must come before the edit. Nothing when no memo reads it.
    void noteEdit(uint8_t kind, int32_t x) {
#ifdef FANMESH_CHECK_FAN_MEMO
        // Check build: while a completion attempt is recorded, every edit keeps a copy, so
        // that what the attempt leaves changed can be compared afterwards.
        if (watchedKinds != nullptr && copyEveryEdit) {
            copyBeforeEdit(kind, x);
            return;
        }
#endif
        if (watchedKinds != nullptr && (watchedKinds[x] & kindsEditedBy(kind)) != 0) {
            copyBeforeEdit(kind, x);
        }
        if (trialEdits != nullptr) {
            keepBeforeTrialEdit(x);
        }
    }
    // A trial edit of the mesh that can be taken back: while it runs, every record (and
    // its state) is copied before its first edit (TrialEdits.cpp).
    struct TrialEdits {
        std::vector<int32_t> points; // the edited records, in the order of their first edit
        std::vector<Vertex> records; // each as it was before that edit
        std::vector<uint8_t> states;
        std::vector<uint8_t> kept; // per record: copied since the trial began
        size_t completions = 0;    // length of completionOrder when the trial began
    };
    // The trial under way, or null.
    TrialEdits* trialEdits = nullptr;
    void keepBeforeTrialEdit(int32_t x);
    // Starts a trial: edits from here on are copied into trial.
    void beginTrial(TrialEdits& trial);
    // Keeps the trial's edits and ends it.
    void keepTrial(TrialEdits& trial);
    // Puts every record the trial edited back as it was, and ends it.
    void takeBackTrial(TrialEdits& trial);
#ifdef FANMESH_CHECK_FAN_MEMO
    bool copyEveryEdit = false;
#endif
    // editWatch.watched.data() while growth runs, else null: the one test of most edits.
    uint8_t* watchedKinds = nullptr;
    void copyBeforeEdit(uint8_t kind, int32_t x);
    // Sets the state of p (announcing the edit); the only write of pointState during growth.
    void setPointState(int32_t p, uint8_t value) {
        if (pointState.values[static_cast<size_t>(p)] != value) {
            noteEdit(WATCH_STATE, p);
            pointState.values[static_cast<size_t>(p)] = value;
        }
    }
    // Sets every state of the first count records to 0, announcing nothing (the memos are
    // cleared with it).
    void resetPointStates(size_t count) {
        pointState.values.assign(count, 0);
    }
    // Starts watching for a new growth (no memo is valid) or stops (count 0).
    void startEditWatch(size_t count);
    // Compares every record edited since the last flush with its copy and invalidates the
    // memos that read a kind of data that differs; then forgets the copies.
    void flushEdits() {
        if (!editWatch.log.empty()) {
            flushCopiedEdits();
        }
    }
    void flushCopiedEdits();
#ifdef FANMESH_CHECK_FAN_MEMO
    // Check build: a record other than except whose data differ from the copy taken before
    // its first edit since the last flush, or -1.
    int32_t firstChangedRecord(int32_t except);
#endif
    // Makes the memo (fanMemoId, coverMemoId) a subscriber of the records of reads; returns
    // the token the memo holds while valid, or 0 (never valid) while no growth runs.
    uint32_t subscribeMemo(uint32_t memo, const WatchedReads& reads);
    // The low two bits tell the kind of memo: 0 fan search, 1 covering search, 2 refused
    // completion attempt.
    static uint32_t fanMemoId(int64_t key) {
        return static_cast<uint32_t>(key) * 4;
    }
    static uint32_t coverMemoId(int32_t i) {
        return static_cast<uint32_t>(i) * 4 + 1;
    }
    static uint32_t completionMemoId(int64_t key) {
        return static_cast<uint32_t>(key) * 4 + 2;
    }
    // Kind 3: a remembered refusal of the passes after every layer, its own kind in bits 2
    // and 3. Kept for points below MAX_POINT_MEMO (refusals: MAX_REFUSAL_POINT) only.
    static constexpr int32_t MAX_POINT_MEMO = 1 << 29;
    static constexpr int32_t MAX_REFUSAL_POINT = 1 << 28;
    static uint32_t passRefusalId(int32_t i, uint32_t kind) {
        return passRefusalKey(i, kind) * 4 + 3;
    }
    // Whether the memo still holds token, and making it give it up.
    bool memoHoldsToken(uint32_t memo, uint32_t token);
    void invalidateMemo(uint32_t memo, uint32_t token);
    int64_t memoInvalidations = 0; // memos invalidated by an edit, for diagnostics

    // ---- repair: triangle fan editing ----
    // The look-ups below run millions of times per run, from the fan search and every
    // repair, so they are defined here, inline.
    // Position of key in the fan of p, or -1.
    int32_t indexInFan(int32_t p, int32_t key) const {
        const Vertex& record = vertices[p];
        const int32_t count = record.triangleFanCount;
        const int32_t* entries = record.triangleFan.first(count);
        for (int32_t i = 0; i < count; ++i) {
            if (entries[i] == key) {
                return i;
            }
        }
        return -1;
    }
    // Entry after key in the fan of p, cyclically; the first entry when key is absent,
    // -1 for an empty fan.
    int32_t nextInFan(int32_t p, int32_t key) const {
        const Vertex& record = vertices[p];
        const int32_t count = record.triangleFanCount;
        if (count <= 0) {
            return -1;
        }
        const int32_t i = indexInFan(p, key);
        if (i < 0) {
            return record.triangleFan[0];
        }
        return record.triangleFan[(i + 1) % count];
    }
    // Entry before key in the fan of p, cyclically; -1 when key is absent or the fan is empty.
    int32_t prevInFan(int32_t p, int32_t key) const {
        const Vertex& record = vertices[p];
        const int32_t i = indexInFan(p, key);
        if (i < 0) {
            return -1;
        }
        return i > 0 ? record.triangleFan[i - 1] : record.triangleFan[record.triangleFanCount - 1];
    }
    // prevInFan(p, key) and nextInFan(p, key) into before and after, with one look-up.
    void fanEntriesBeside(int32_t p, int32_t key, int32_t& before, int32_t& after) const {
        const Vertex& record = vertices[p];
        const int32_t count = record.triangleFanCount;
        if (count <= 0) {
            before = -1;
            after = -1;
            return;
        }
        const int32_t i = indexInFan(p, key);
        if (i < 0) {
            before = -1;
            after = record.triangleFan[0];
            return;
        }
        before = i > 0 ? record.triangleFan[i - 1] : record.triangleFan[count - 1];
        after = record.triangleFan[(i + 1) % count];
    }
    // The point w, other than exclude, with a triangle (p, w, q) in fan order, or -1.
    int32_t triangleApex(int32_t exclude, int32_t p, int32_t q) const;
    // Appends q to connectedPoints of p.
    void addConnection(int32_t p, int32_t q);
    // Number of entries of connectedPoints of p, from linkCounts while growth keeps it.
    int32_t connectionCount(int32_t p) const {
        return linkCounts.empty() ? static_cast<int32_t>(vertices[p].connectedPoints.size())
                                  : linkCounts[static_cast<size_t>(p)];
    }
    // Per record: the number of entries of its connectedPoints. Filled by syncLinkCounts at
    // the start of growth and kept by addConnection and removeConnection (the only edits of
    // those lists) until growth ends; empty otherwise. The passes over all open points read it
    // to pass over isolated points without touching their large, scattered records.
    std::vector<int32_t> linkCounts;
    void syncLinkCounts();
    // Erases the first q from connectedPoints of p; nothing when absent.
    void removeConnection(int32_t p, int32_t q);
    // Inserts q after the given position (-1: at the front) in the fan of p, links p to q
    // and refreshes the working fan and normal. Returns false, changing nothing, when q
    // is already in the fan or the fan is full (MAX_FAN_SIZE entries).
    bool insertIntoFan(int32_t p, int32_t position, int32_t q);
    // Removes the entry at position from the fan of p; out-of-range positions are ignored.
    void removeFromFan(int32_t p, int32_t position);
    // Replaces the entries strictly between from and to (cyclically) by q; returns the
    // position where q belongs.
    int32_t replaceFanRange(int32_t p, int32_t from, int32_t to, int32_t q);
    // Puts q in the place of key; returns as replaceFanRange, or -1 (nothing changed)
    // when key is not in the fan.
    int32_t replaceFanEntry(int32_t p, int32_t key, int32_t q);
    // The fan entry opening the wedge of the fan of p that contains location; the last
    // entry when no wedge holds it, -1 for an empty fan.
    int32_t fanSectorStart(int32_t p, const Vector3& location) const;
    // The entry after which q belongs in the fan of p (-1 for an empty fan).
    int32_t insertionAnchor(int32_t p, int32_t q) const;
    // Normal of p from its working fan, without the closing triangle. Called only by the fan
    // search, which announces the edit of the normal (noteEdit) itself.
    void updateOpenFanNormal(int32_t p);
    // Normal of p from its working fan, with the closing triangle; nothing for an empty fan.
    void updateClosedFanNormal(int32_t p);

    // ---- grow: fan acceptance criteria ----
    // Whether the triangle (a, lastPoint, n) has an acceptable angle at a (n == firstPoint:
    // as the triangle that closes the fan); angle receives that angle in degrees when the
    // test passes, and also when it fails while a is the traced point.
    bool triangleAngleTest(int32_t a, int32_t lastPoint, int32_t n, int32_t firstPoint,
                           double& angle);
    // Whether the fold from the previous triangle's normal to tn about the edge a-lastPoint
    // is acceptable; dihedral receives the signed fold in degrees when the test passes, and
    // also when it fails while a is the traced point.
    bool dihedralTest(int32_t a, int32_t lastPoint, const Vector3& previousNormal,
                      const Vector3& tn, double& dihedral);
    bool convexityTest(int32_t a, int32_t lastPoint, int32_t n, const Vector3& direction,
                       int32_t o);
    bool isOnFront(int32_t n);
    bool bestPointIncorrect(int32_t a, int32_t lastPoint, int32_t n, int32_t f0, int32_t f1);
    double fanAngleSum(int32_t a);
    int32_t findHostTriangle(int32_t a, int32_t t, bool& found);
    bool searchingAndReplacingHiddenPointsByConvexity(int32_t a);
    bool normalTest(int32_t a);

    // ---- grow: fan search ----
    // Best fan of p over the fans that reach it (see searchBestFan). A search whose inputs
    // are the same as those of one of p's last two different searches at that parity gives
    // that search's result and writes, taken from fanSearchMemos instead of being run again.
    // A memo is kept only for a point whose search has been seen to repeat (fanSearchPrints),
    // so points searched once cost no memo memory.
    bool findBestFan(int32_t p, bool levelFlipping);
    // The search itself: the flattest closed fan of p started from each connected point.
    // Writes the fan, the working fan, the normal, the flatness and the farthest neighbour
    // slot of p; returns false when no start gives a fan.
    bool searchBestFan(int32_t p, bool levelFlipping);
    // Writes into inputs every value searchBestFan(p, levelFlipping) reads: the parity, p's
    // fan, normal, neighbours and connections, the two fan neighbours of p in each connected
    // point's fan, and the state and front flag of every point the search may consider.
    void gatherFanSearchInputs(int32_t p, bool levelFlipping, std::vector<int32_t>& inputs);
    // True when gatherFanSearchInputs(p, levelFlipping, ...) would write exactly stored (never
    // for an empty stored); stops reading at the first difference. When true and reads is
    // given, reads lists the records the inputs come from (for subscribeMemo).
    bool fanSearchInputsUnchanged(int32_t p, bool levelFlipping, const std::vector<int32_t>& stored,
                                  WatchedReads* reads);
    // Writes into outputs the search's result and every field of p it writes.
    void recordFanSearchOutputs(int32_t p, bool found, bool fanWritten,
                                std::vector<int32_t>& outputs) const;
    // True when the search of p computes the normal of p (some connected point's fan
    // holds p, so a working fan is built).
    bool searchWritesNormal(int32_t p) const;
    // Puts the recorded writes back into p; returns the recorded result.
    bool replayFanSearchOutputs(int32_t p, const std::vector<int32_t>& outputs);
    // Forgets the memo of p (p was completed, so it is not searched again in this growth).
    void forgetFanSearch(int32_t p) {
        if (!fanSearchMemos.empty()) {
            fanSearchMemos.erase(fanSearchKey(p, false));
            fanSearchMemos.erase(fanSearchKey(p, true));
        }
    }
    // Memo key: one memo per point and layer parity, as the layers alternate between them.
    static int64_t fanSearchKey(int32_t p, bool levelFlipping) {
        return static_cast<int64_t>(p) * 2 + (levelFlipping ? 1 : 0);
    }
    MemoTable<FanSearchMemo> fanSearchMemos;
    // Per memo key, two words: the 64-bit fingerprints of the inputs of the key's last two
    // different searches while it has no memo (0: none yet), the latest first. When a
    // search's fingerprint equals one of them, the search probably repeats, and its inputs
    // and outputs are kept as a memo from then on. A fingerprint
    // only decides whether to keep a memo; a replay always compares the inputs in full.
    std::vector<uint64_t> fanSearchPrints;
    std::vector<int32_t> fanSearchScratch; // reused input buffer of findBestFan
    std::vector<int32_t> fanSearchEnds;    // reused start-triangle ends of the input walk
    // Number of growths started so far in this construction (one per accepted seed).
    int32_t growthIndex = 0;
    // Per active point: the growth (growthIndex) of its last fan search, -1 for none. A point
    // searched again in a later growth, still open, is stuck on the front; such points are
    // searched in every pass of every later growth, so their memo is kept from the first
    // search on instead of from the first repeat.
    std::vector<int32_t> fanSearchGrowths;
    // Number of closed rings constructFan wrote into a fan (kept or refused at once); tells
    // the memo whether a search left the fan of its point as it was.
    int64_t fanWriteCount = 0;
    int64_t fanSearchCount = 0;   // searches asked for
    int64_t fanSearchReplays = 0; // of which answered from the memo
    bool refineFan(int32_t p, int32_t h, bool levelFlipping);
    bool constructFan(int32_t a, int32_t b, bool levelFlipping);
    double computeFlatness(int32_t p);
    double initialFan(int32_t a, int32_t b, bool levelFlipping, Vector3& previousNormal);
    void shiftFanStart(int32_t p);

    // ---- repair: edge flipping ----
    static constexpr double FLIP_QUAD_ANGLE_LIMIT = 150.0; // degrees, quad angle at a or b
    static constexpr int32_t MIN_FLIP_FAN_SIZE = 5;        // flip step stops below this fan size
    static constexpr double EDGE_POINT_ANGLE = 10.0;       // degrees, point lying on a fan edge
    bool flipEdge(int32_t a, int32_t b);
    bool tryFlip(int32_t a, int32_t b);
    // Tries tryFlip(a, m) for every member m of a's fan as it stands on entry, in order; a
    // flip may drop a member from the fan, and a member gone by its turn is refused.
    void flipAgainstMembers(int32_t a);
    void flipStep(int32_t a);
    void insertNearEdgePoints(int32_t a);
    void flipAroundPoint(int32_t p);
    void flipEdgeChecked(int32_t a, int32_t b);

    // ---- grow: fan repairs before acceptance ----
    double foldAngle(int32_t a, int32_t u, int32_t m, int32_t w);
    void removeFoldedFanPoints(int32_t a);
    bool insertMissedNeighbours(int32_t a);
    bool projectedSegmentsCross(int32_t c, int32_t q, Vector3 n, int32_t d, int32_t e);

    // ---- grow: rejection tests ----
    bool globalConvexityTest(int32_t p, Octree& tree, bool flipNormal);
    // Fan tilt. keepNeighbourhoodNormals keeps the normals of the active points (under
    // maxFanTilt only); fanTiltsAway(p) is true when the accepted fan of p turns more than
    // maxFanTilt degrees from the kept normal of p and neighbours of p lie off the fan's
    // plane on both sides (never when the test is off). Whether the fan turns past the limit
    // is taken from fanTiltRecords for a fan of p measured before.
    void keepNeighbourhoodNormals();
    bool fanTiltsAway(int32_t p);
    // Under maxFanTilt, per active point tested more than twice: the last two different
    // fans its tilt test measured, each with the fan's normal (the sum of its triangles'
    // unit normals) and whether it turned past the limit (an entry with an empty fan holds
    // nothing).
    struct FanTiltRecords {
        struct Entry {
            std::vector<int32_t> fan;
            Vector3 sum{0.0, 0.0, 0.0};
            bool tilted = false;
        };
        Entry entries[2];
        uint32_t next = 0; // the entry to overwrite next
    };
    std::vector<std::unique_ptr<FanTiltRecords>> fanTiltRecords;
    // Under maxFanTilt, per active point: how many times its tilt was measured, up to 2.
    std::vector<uint8_t> fanTiltTests;
    // The cosine of maxFanTilt, taken once per growth.
    double fanTiltCosine = 1.0;
    // Whether an open neighbour of p (active, not completed, not in p's accepted fan) lies
    // above the plane of the fan, on the side the finished fans holding p face, by an angle
    // whose sine exceeds openRiseSine, seen from p. False when no finished fan holds p or
    // the fans holding it face edge-on. Reads positions, normals, neighbours,
    // the fan of p, its connected points and the point states; changes nothing.
    bool openNeighbourRisesOver(int32_t p) const;
    // Per active point: the fan member whose ray refused the point's last refused global
    // convexity test, or -1 (refused by its own ray, or never refused). Only orders the rays.
    std::vector<int32_t> blockedOrigins;
    // A global convexity test against a kept component tree, recorded so that a repeat with
    // the same inputs takes its outcome without casting: the direction, the fan, the ray
    // cast first, the neighbour-list edits of every ray's origin, and the cubes the rays'
    // answers rest on (componentTrees tells whether those are unchanged).
    struct ConvexityRecord {
        Vector3 direction;
        int32_t first = -1;
        std::vector<int32_t> fan;
        std::vector<int32_t> origins;
        std::vector<uint32_t> originEdits;
        // The neighbour list of each origin when the rays were cast (NEIGHBOUR_COUNT entries
        // per origin): a ray ignores its origin's neighbours. A list edited back to what it
        // was (a stuck point's fan searches at the two layer parities put different points
        // into its last slot by turns) leaves the answer standing.
        std::vector<int32_t> originRows;
        std::vector<uint64_t> cubes;
        uint64_t lineage = 0;
        int64_t version = 0;
        bool passed = false;
        int32_t blockedAfter = -1; // blockedOrigins entry after the test
    };
    // Per active point: its latest recorded tests (a point is tested along its normal and
    // against it, with fans that differ between the layers' parities), if any.
    struct ConvexityRecords {
        static constexpr uint32_t SIZE = 4;
        ConvexityRecord entries[SIZE];
        uint32_t next = 0; // the entry to overwrite next
    };
    std::vector<std::unique_ptr<ConvexityRecords>> convexityRecords;
    // Per active point: 1 once it was tested against a kept tree. Only points tested again
    // get their tests recorded (most points are tested once and then completed).
    std::vector<uint8_t> convexityTested;
    // Per point: number of edits of its neighbour list (the rays from it ignore its
    // neighbours).
    std::vector<uint32_t> neighbourEditCounts;
    // Drops the recorded test of p (p was completed).
    void forgetConvexityTest(int32_t p) {
        if (p >= 0 && static_cast<size_t>(p) < convexityRecords.size()) {
            convexityRecords[static_cast<size_t>(p)].reset();
        }
    }
    bool postTest(int32_t a);
    bool edgeOwnersAgree(int32_t a, int32_t m);
    bool triangleEdgeAgrees(int32_t a, int32_t m, int32_t n);
    bool connectionsConsistent(int32_t q);

    // ---- repair: fan merging ----
    static constexpr int32_t MAX_MERGE_STEPS = 30;
    static constexpr double MIN_FAN_ANGLE = 15.0;
    bool mergePoint(int32_t a);
    void preMerge(int32_t a);
    bool alignFanStart(int32_t a);
    void addBoundaryPoints(int32_t a);
    int32_t mergeFans(int32_t a, int32_t b);
    bool solveConnected(int32_t a, int32_t b);
    bool resolveBoundary(int32_t a, int32_t b);
    bool solveFreePoint(int32_t a, int32_t b);
    bool settleAfter(int32_t a, int32_t b, int32_t c);
    bool settledBefore(int32_t a, int32_t b, int32_t c);
    bool overlapAfter(int32_t a, int32_t b, int32_t c);
    bool overlapBefore(int32_t a, int32_t b, int32_t c);
    bool foldAfter(int32_t a, int32_t b, int32_t c);
    bool foldBefore(int32_t a, int32_t b, int32_t c);
    bool angleGateAfter(int32_t a, int32_t b, int32_t c);
    bool angleGateBefore(int32_t a, int32_t b, int32_t c);
    bool edgeOverlapCheck(int32_t p, int32_t x, int32_t y, const Vector3& n, int32_t u, int32_t w);
    bool aboveFanSurface(int32_t o, int32_t u, const Vector3& hit);
    bool angleTest(int32_t p, int32_t x, int32_t y, int32_t z, int32_t w);
    bool repairAfter(int32_t a, int32_t b, int32_t c);
    bool repairBefore(int32_t a, int32_t b, int32_t c);
    void traceMergeFan(int32_t a) const;
    std::vector<int32_t> mergeTrail; // reused walk trail of mergePoint

    // ---- grow: enclosed and flow-merge completion ----
    // One entry of the rim list around a point: a fan owner or one end of its fan next to the
    // point.
    struct RimEntry {
        int32_t point;
        uint8_t kind; // 0 owner, 1 previous end, 2 next end
    };
    std::vector<RimEntry> rimList; // reused working list
    // Per point: 2 * rimEpoch when it has one entry in rimList, 2 * rimEpoch + 1 when more.
    std::vector<uint32_t> rimMarks;
    uint32_t rimEpoch = 0;
    std::vector<uint8_t> rimTaken; // per connected point: already placed in the fan
    void buildRimList(int32_t p);
    bool rimEntryOpen(size_t index) const;
    bool isEnclosed(int32_t p);
    // Completes p with the fan read off the fans around it when they close around it; false,
    // changing nothing, when they do not or when keepEdgesManifold is set and the fan would
    // give an edge a third face (fanKeepsEdgesManifold).
    bool fillEnclosedFan(int32_t p, bool keepEdgesManifold = false);
    // Whether the fans around p leave one gap whose two ends are joined elsewhere; then p's
    // fan is filled from them (fillFlowMergeFan). With reads, a refusal lists in it what it
    // read (added to what it holds already).
    bool isFlowMerge(int32_t p, WatchedReads* reads = nullptr);
    // isFlowMerge with its refusal remembered (FLOW_MERGE_REFUSAL): a point refused before
    // is refused again without asking while nothing the refusal read has been edited.
    bool isFlowMergeRemembered(int32_t p);
    // The test of isEnclosed itself (the rim closes around p), without its remembered answer.
    bool rimEncloses(int32_t p);

    // ---- grow: remembered refusals of the per-layer passes (LayerPassMemos.cpp) ----
    // The passes after every layer ask the same questions of every open point again (is it
    // enclosed, can it be inserted into a triangle over it), and most
    // answers are "no" for the same reasons as in the previous pass. A "no" is remembered per
    // point and kind as a memo of the edit watch, a subscriber of what the answer read: it
    // stands until one of those records is edited in what was read.
    static constexpr uint32_t ENCLOSED_REFUSAL = 1;
    static constexpr uint32_t UNCOVERED_REFUSAL = 2;
    static constexpr uint32_t FLOW_MERGE_REFUSAL = 3;
    static constexpr uint32_t REFUSAL_KINDS = 3;
    // Per record, per refusal kind (minus one): the token of the remembered refusal, 0 for
    // none; few points have one.
    PointTokens<REFUSAL_KINDS> passRefusals;
    static uint32_t passRefusalKey(int32_t p, uint32_t kind) {
        return static_cast<uint32_t>(p) * 4 + (kind - 1);
    }
    // Per refusal kind (minus one), one bit per record: refused in a growth before
    // passRefusalBitsGrowth, and refused in that growth (first refusals only).
    PointBits refusedEarlier[REFUSAL_KINDS];
    PointBits refusedInGrowth[REFUSAL_KINDS];
    int32_t passRefusalBitsGrowth = -1;
    bool refusedInGrowthAny = false;
    // Whether a refusal of the given kind is remembered for p and still stands; flushes the
    // announced edits first. Changes no record. Inline: the passes after every layer ask it
    // for nearly every open point.
    bool passRefusalStands(uint32_t kind, int32_t p) {
        if (p < 0 || static_cast<size_t>(p) >= editWatch.watched.size()) {
            return false; // no refusal is remembered outside growth
        }
        // Edits announced since the last flush invalidate the refusals that read what they
        // changed.
        flushEdits();
        return passRefusals.get(static_cast<size_t>(p), kind - 1) != 0;
    }
    // Whether a refusal of the given kind of p, just reached, is to be remembered: from the
    // point's second growth with a refusal on. Notes the refusal.
    bool refusalWorthRemembering(uint32_t kind, int32_t p);
    // Whether refusalWorthRemembering(kind, p) would say yes now; notes nothing.
    bool refusalRememberedNext(uint32_t kind, int32_t p) const;
    // Remembers a refusal of the given kind for p, reached from the records listed in
    // watchedReads with no edit since the last flush. Nothing outside growth.
    void rememberPassRefusal(uint32_t kind, int32_t p);
    // Lists in watchedReads what findCoveringTriangle(i, ...) reads (see gatherCoverInputs).
    void gatherCoverReads(int32_t i);
    // Forgets every remembered refusal; with count, makes room for count records.
    void resetPassRefusals(size_t count);
#ifdef FANMESH_CHECK_FAN_MEMO
    // Checking build: aborts when the pass over isolated points would insert p after all.
    void checkUncoveredRefusal(int32_t p);
#endif
    // Completes p with the fan read off the fans around it, closed across the gap between
    // its open ends e1 and e2; false, changing nothing, when p has more than two open ends,
    // its links are out of step, or keepEdgesManifold is set and the fan would give an edge
    // a third face.
    bool fillFlowMergeFan(int32_t p, int32_t e1, int32_t e2, bool keepEdgesManifold = false);
    // The fan of p read off the fans around it, closed across the gap between its open ends
    // e1 and e2 through the point through (e1, through, e2 follow one another in it), into
    // entries[0..count); false, changing no fan, when the fans around p do not give one such
    // fan. Nothing is published.
    bool assembleFanAcross(int32_t p, int32_t e1, int32_t e2, int32_t through, int32_t* entries,
                           int32_t& count);
    void completeAssembledFan(int32_t p, int32_t count);

    // ---- grow: point creation ----
    // One layer pass: splits the open points into neighbour-linked components and
    // completes points in each of them.
    void processLayer(bool levelFlipping);
    // The components of the last layer pass that had to find them, one after the other
    // (layerComponentEnds: where each ends), and the states at the start of that pass and
    // neighbourListEdits then.
    std::vector<int32_t> layerComponents;
    std::vector<int32_t> layerComponentEnds;
    std::vector<uint8_t> layerStartStates;
    int64_t layerStartEdits = -1;
    // Number of edits of any point's neighbour list during growth (the fan search replaces
    // the last neighbour for good).
    int64_t neighbourListEdits = 0;
    // The neighbour lists of the active points side by side, NEIGHBOUR_COUNT per point, read
    // by the layer pass's component search instead of the large, scattered records. Filled by
    // syncLinkNeighbours; every edit of a neighbour list during growth goes through
    // noteNeighbourEdit, which keeps it current.
    std::vector<int32_t> linkNeighbours;
    // Copies the neighbour lists of all active points into linkNeighbours.
    void syncLinkNeighbours();
    // The neighbour list of the active point p: its row of linkNeighbours while that is
    // filled, else its record's.
    const int32_t* neighbourRow(int32_t p) const {
        return linkNeighbours.empty()
                   ? vertices[p].neighbours
                   : linkNeighbours.data() +
                         static_cast<size_t>(p) * static_cast<size_t>(NEIGHBOUR_COUNT);
    }
    // Records that the neighbour list of p was edited: counts the edit and refreshes p's row of
    // linkNeighbours (when it is filled).
    void noteNeighbourEdit(int32_t p);
    // Completes points of one component, flattest candidate fan first.
    // Builds (or keeps) the component's tree in componentTrees.
    void createPoints(const std::vector<int32_t>& component, bool levelFlipping);
    // The working fan of the one point being completed is saved before its tests change
    // it; restoreFan and confirmFan of that point read the saved copy (savedFan).
    void saveFan(int32_t p);
    void restoreFan(int32_t p);
    void publishFan(int32_t p, bool levelFlipping);
    void withdrawFan(int32_t p);
    void confirmFan(int32_t p);
    std::vector<int32_t> savedFan;
    // What a recorded completion attempt did beyond the reads that follow from its fan: the
    // points it put in the fan (addConnection), the points whose fan the merge read whatever
    // their state (the fan's first entry), and the points the free-point check ran for.
    struct AttemptLog {
        std::vector<int32_t> linked;
        std::vector<int32_t> fanReads;
        std::vector<int32_t> freePoints;
        void clear() {
            linked.clear();
            fanReads.clear();
            freePoints.clear();
        }
    };
    // The ordinary completion chain of the queued point h: publishes its fan, merges it with
    // the fans around it, repairs and tests it, and completes h (true) or withdraws the fan
    // again, marks h rejected in creationRejected and returns false. A refusal whose inputs
    // are all as at an earlier refusal of h at the same parity is not run again: its effects
    // (h's fan emptied, its normal as the attempt left it, one withdrawal counted) are
    // replayed from completionMemos. A refusal by the final convexity test is replayed only
    // after that test, run again on the fan it read, fails again.
    bool attemptCompletion(int32_t h, Octree& tree, bool levelFlipping);
    // Writes into inputs what a completion attempt of h reads of h itself: its working fan,
    // connected points, neighbour list and normal.
    void gatherAttemptInputs(int32_t h, std::vector<int32_t>& inputs) const;
    // The memo of a refused attempt of h at this parity that is valid and whose inputs of h
    // equal the current ones, or null. When h has a memo or was refused before, also flushes
    // the edit watch and gathers the inputs of h into attemptInputs (attemptInputsGathered).
    const CompletionMemo* knownRefusal(int32_t h, bool levelFlipping);
    // Whether the fan and neighbour-list checks of memo (of point h) hold now.
    bool attemptChecksHold(int32_t h, const CompletionMemo& memo) const;
    // Applies the effects of the remembered refusal to h.
    void replayRefusal(int32_t h, const CompletionMemo& memo);
    // Lists in reads every record, other than h, that the completion attempt of h just run
    // may have read, with the kinds read, from what the attempt logged in log.
    // Also fills the memo's fan and neighbour-list checks.
    void gatherAttemptReads(int32_t h, const AttemptLog& log, WatchedReads& reads,
                            CompletionMemo& memo);
    // Keeps the attempt of h just refused by refusal as the memo of its key, subscribed to
    // the records it read (attemptInputs: its inputs of h as gathered before it ran). A
    // refusal by the final convexity test also keeps the fan and normal that test read.
    void rememberRefusal(int32_t h, bool levelFlipping, GrowthRule refusal);
    // The final convexity test of the completion attempt of h (globalConvexityTest against
    // tree, the normal flipped on a reversed layer). Returns the test's result; on a refusal
    // it keeps the fan and normal of h the test read in finalTestFan and finalTestNormal, for
    // rememberRefusal.
    bool finalConvexityTest(int32_t h, Octree& tree, bool levelFlipping);
    // Whether a refusal by the final convexity test at this parity can be remembered: the
    // test then reads of the records only h's fan, normal and neighbour list (fixed by the
    // attempt's inputs), positions and radii, the neighbour lists of the rays' origins and
    // the tree. On a reversed layer with the open-rise check on, it also reads the states
    // and normals of the points around h as the merge left them, which no memo keeps.
    bool finalTestMemoable(bool levelFlipping) const {
        return !(openRiseSine > 0.0 && levelFlipping);
    }
    // Whether the final convexity test, run now on the fan and normal the remembered
    // attempt of h tested (memo, refused by that test), passes: h's own fan and normal are
    // set to those for the test and put back after it. When it fails, the attempt run now
    // would reach the same test with the same inputs and be refused again.
    bool finalTestPasses(int32_t h, const CompletionMemo& memo, Octree& tree, bool levelFlipping);
    std::vector<int32_t> finalTestFan;
    Vector3 finalTestNormal{0.0, 0.0, 0.0};
#ifdef FANMESH_CHECK_FAN_MEMO
    // Check build, after a recorded attempt of h: aborts when it changed a record other than
    // h, or when known (a memo taken as valid) differs from what it did.
    void checkAttemptEffects(int32_t h, const CompletionMemo* known, GrowthRule refusal);
#endif
    // Drops the memos of p (p was completed).
    void forgetRefusals(int32_t p) {
        if (!completionMemos.empty()) {
            completionMemos.erase(fanSearchKey(p, false));
            completionMemos.erase(fanSearchKey(p, true));
        }
    }
    MemoTable<CompletionMemo> completionMemos;
    std::vector<int32_t> attemptInputs; // reused input buffer of knownRefusal
    bool attemptInputsGathered = false;
    // Per active point: set once an attempt of it was refused in this construction. Most points
    // of a well-sampled surface are refused at most once, so a memo is kept from the second
    // refusal of a point on.
    PointBits attemptRefused;
    AttemptLog attemptLog;
    // &attemptLog while a completion attempt is recorded, null otherwise.
    AttemptLog* attemptLogging = nullptr;
    WatchedReads attemptReads;
    int64_t attemptReplays = 0; // refused attempts answered from completionMemos
    // Of those, the refusals by the final convexity test (the test run again on the memo's fan).
    int64_t finalTestReplays = 0;
    // Number of withdrawFan calls so far; lets the hole-closing rounds see whether a round
    // changed anything.
    int64_t withdrawnFanCount = 0;
    // Per-point flags of createPoints, sized once per layer pass; createPoints clears the
    // entries of its component's points before it returns, so they are all 0 between calls.
    std::vector<uint8_t> creationRejected;
    std::vector<uint8_t> creationPending;
    std::vector<uint8_t> creationQueued;
    BoundedHeap candidateQueue;

    // ---- grow: seed start and per-layer passes ----
    static constexpr double SEED_SECTOR_WIDTH = 72.0;
    static constexpr double SEED_DISTANCE_BOUND = 100.0;
    static constexpr int32_t CLOSE_SWEEP_LIMIT = 50;
    bool startFromSeed(int32_t s);
    void completeFlowMergedPoints();
    void closeFromNeighbourFans();
    void insertUncoveredPoints();
    // Whether the fan of x, with the entry drop taken out (-1: none) and add put in right
    // after the entry after (-1: none), would fold over itself (ringFoldsOver) while the
    // fan as it stands does not.
    bool editedFanFolds(int32_t x, int32_t drop, int32_t after, int32_t add) const;
    // Whether flipping the edge a-b, with p before and n after b in the fan of a, would
    // leave the fan of a completed corner (a, b, p or n) folded where it is not now.
    bool flipFoldsFan(int32_t a, int32_t b, int32_t p, int32_t n) const;
    // Distance to the first of the 16 neighbours that is not completed; -1 when all are.
    double nearestOpenNeighbourDistance(int32_t p) const;

    // ---- grow: construction driver ----
    static constexpr int32_t MAX_LAYER_ITERATIONS = 32;
    // Grows the surface from seeds and runs the clean-up passes.
    void constructSurface();
    // Whether p and every active one of its neighbours are open and in no fan: p lies inside
    // a region that no growth has reached. Reads the point states and connections only.
    bool insideUnreachedRegion(int32_t p) const;
    // The active points to offer as seeds, the first to offer last: by ascending surface
    // variation, equal values by ascending index. With passedOver false every active point
    // has an entry, but a value shared by several points stands for the lowest index among
    // them each time, so only that point is ever offered. With true only the points that
    // list passes over are listed: those sharing their value with a lower index.
    std::vector<int32_t> orderSeedCandidates(bool passedOver) const;

    // ---- repair: final clean-up passes ----
    // Search distance limit of findCoveringTriangle.
    static constexpr double NEAREST_TRIANGLE_LIMIT = 10000.0;
    void updatePointNormal(int32_t p);
    // The normal updatePointNormal gives a completed point whose record is record (as it
    // stands or as it was): the sum of its fan's unit triangle normals, each weighted by
    // sin(h)cos(h) of half its angle h at the point, normalized. Reads only the record and
    // the positions of its fan's members.
    Vector3 fanPointNormal(const Vertex& record) const;
    // Number of open ends of the rim list of a (2: one open chain of fans around a).
    int32_t openEndCount(int32_t a);
    // Withdraws every fan that contains p (a copy of its connectedPoints).
    void withdrawOwners(int32_t p);
    // Whether withdrawing the fan of u would cut the completed points joined through u into
    // separate pieces: true when the completed members of its fan are not all joined by fans
    // of completed points other than u (or only by a walk of more than a few thousand
    // points). False for a point that is not completed.
    bool withdrawalSplitsPiece(int32_t u);
    // The same for withdrawing together the fans of the distinct completed points
    // withdrawn[0..count): the completed members of those fans, other than the withdrawn
    // points, are not all joined by fans of the other completed points. A side cut off
    // counts only from minPiece points on (the single-point form uses 32).
    bool withdrawalSplitsPiece(const int32_t* withdrawn, int32_t count, int32_t minPiece);
    // Whether withdrawing together the fans of the distinct completed points
    // withdrawn[0..count) cuts the completed points joined through them into separate
    // pieces of any size: the same members, walked without a limit, in turn, so that the
    // smallest side bounds the work.
    bool withdrawalCutsSurface(const int32_t* withdrawn, int32_t count);
    // The distinct third corners c of the triangles (a, b, c) that the output mesh holds
    // (fans of completed points), up to capacity of them written to corners; returns their
    // number, which may exceed capacity.
    int32_t edgeFaceCorners(int32_t a, int32_t b, int32_t* corners, int32_t capacity) const;
    // Whether completing the not yet completed point p with the fan entries[0..count) leaves
    // every edge of the output mesh with at most two faces: the triangles of the fan that
    // no completed fan holds yet are the faces it adds.
    bool fanKeepsEdgesManifold(int32_t p, const int32_t* entries, int32_t count) const;
    // Interior angle, in degrees, of the hole at loop point x between loop neighbours b, c.
    double earAngle(int32_t b, int32_t x, int32_t c);
    void checkCompletedLinks(int32_t a);
    // Closes open point a when the fans around it form a ring: a takes that ring as its fan
    // and the fans in it are withdrawn (not under keepPiecesJoined when withdrawing one of
    // them would cut the surface apart).
    void repairOpenPoint(int32_t a);
    void checkFanAgreement();
    bool withdrawOpenPoints();
    // Completes the open point p whose surrounding fans form two or more separate chains
    // with a fan that runs through the chains in their order around p and bridges each gap
    // between them. Refused (false, nothing changed) unless every owner holds p, no point
    // repeats, the chains lie side by side around p without overlap, every gap is at most
    // 170 degrees wide with open corners and no surface point under it, and no edge would
    // get a third face. Chains turning the other way round p than a larger rest have their
    // fans withdrawn instead (true, p stays open).
    bool bridgePinchedPoint(int32_t p);
    // bridgePinchedPoint for every open active point with two or more connected points, in
    // index order; true when it changed anything. (A pinched point whose smaller chains face
    // the other way from the rest has the fans of those chains withdrawn instead, and
    // bridgePinchedPoint then returns true without completing it.)
    bool bridgePinchedPointsPass();
    // Path mode: separate pieces of surface whose open borders face each other across a
    // narrow gap are joined before hole closing would put a lid on each border.
    bool joinFacingPieces = false;
    // Joins pieces that meet without joining: an open point x on the border of one piece
    // (one open chain of fans around it) takes a fan that crosses its open gap through the
    // nearest open border point y of another piece among its neighbours; y, then held by
    // two separate chains, is completed by bridgePinchedPoint. The two borders then form
    // one loop that hole closing fills. A join whose new triangles face against x's
    // surface, give an edge a third face, or after which y cannot be bridged is undone.
    // "Another piece" means another piece as the pieces were before the pass, so two
    // pieces that meet at two places are joined at both; a second join of two pieces
    // joined directly once before needs x and y on separate border loops facing nearly the
    // same way. Where two large pieces are still apart, the wider lid rounds
    // (openWiderLids) and then the band round (joinAcrossBands) follow, each a trial.
    // With firstRoundTrial, the first round too is a trial, taken back exactly unless it
    // joins two pieces, so that a pass that joins nothing leaves every record as it was.
    // Returns the number of joins.
    int32_t joinFacingPiecesPass(bool firstRoundTrial = false);
    // One round of lid opening and joining in joinFacingPiecesPass.
    struct LidRound {
        // Lids are the completed points with a completed point of another piece among
        // their this many nearest neighbours.
        int32_t neighbours;
        // A wider round: a border point of another piece makes a lid point too, and the
        // round changes nothing when it finds no more lid points than lidPoints.
        bool wider;
        size_t lidPoints;    // out: the lid points found (wider rounds)
        int32_t largePieces; // out: pieces large enough to join when the round began
        // The band round: runs only with two large pieces; a border point may also be
        // joined to a border point of another large piece among the neighbours of its
        // neighbours that no fan holds, and the sides borders face are taken from the
        // normals of the completed points next to them.
        bool acrossBand = false;
    };
    // Runs one round; returns the number of joins.
    int32_t joinPiecesAcrossLids(LidRound& round);
    // Path mode: where the first round of piece joining leaves large pieces apart, the
    // lids are opened wider, step by step up to the whole neighbourhood, each step a trial
    // kept only when it joins two pieces.
    bool openWiderLids = false;
    // Path mode: piece joining runs once more after the removal of folded fans, a trial
    // kept only when it joins two pieces, followed by hole closing and reinsertion.
    bool joinPiecesAfterFolds = false;
    // Joins the pieces that fold removal, hole closing and the insertions left apart but
    // facing each other across lids (joinFacingPiecesPass as a trial), then closes the
    // holes and reinserts the points the join left out. Returns the number of joins.
    int32_t joinPiecesAfterFoldRemoval();
    // Path mode: where large pieces are still apart after the wider openings, a last round
    // (a trial kept only when it joins) joins borders facing each other across a band of
    // points that no fan holds.
    bool joinAcrossBands = false;
    // Turns the surface made by the fans of the completed points listed round: every fan
    // is reversed and every point's normal turned over.
    void turnPiece(const std::vector<int32_t>& points);
    std::vector<int32_t> turnedPiece; // working list of joinFacingPiecesPass
    // Working list of joinFacingPiecesPass: the border points of other pieces near x, by
    // distance.
    std::vector<std::pair<double, int32_t>> nearBorderPoints;
    // Open-point withdrawal around p: every fan that holds p, or, with bridgePinchedPoints
    // and p's fans in several separate chains, the fans of every chain but the one with the
    // most entries.
    void withdrawAroundOpenPoint(int32_t p);
    bool closeHoles();
    // Alternates closeHoles with open-point withdrawal until two successive rounds closed
    // every hole (or a failed round changed nothing, which would repeat forever).
    void closeHolesRounds();
    void insertEnclosedPoints();
    void insertRemovedPoints();
    // Inserts each open point outside the mesh into the nearest triangle over it; an
    // insertion after which a fan it changed holds more triangles facing against its
    // point's normal than before is taken back. Passes run until one inserts nothing.
    // Returns the number of points inserted.
    int32_t reinsertWithoutFolds();
    // Withdraws folded fans (and the fans of their fan neighbours, see keepFoldNeighbours
    // and keepFoldNeighboursOnThinParts) round by round, re-closing the holes, until a round
    // finds no fewer folded fans than the one before. Returns whether it may have kept the
    // fan neighbours of folds (keepFoldNeighbours, or a round ran under
    // keepFoldNeighboursOnThinParts): more small holes are then closed and normals out of
    // date.
    bool removeInconsistentFansPass();
    // Two completed neighbours of a point (active, not marked in folded) whose normals make
    // a larger angle than this (cosine below it, about 120 degrees) face opposite ways.
    static constexpr double THIN_PART_FACING_COSINE = -0.5;
    // Two such points a, b are walls of one part when each normal points away from the other
    // point: the cosine between n_a and a - b (and between n_b and b - a) is above this.
    static constexpr double THIN_PART_WALL_COSINE = 0.5;
    // The surface runs round from one wall to the other when a third neighbour s faces
    // sideways (cosine between n_s and a - b below THIN_PART_SIDE_COSINE in size) and lies
    // between the walls, deeper under each wall's tangent plane than THIN_PART_SIDE_DEPTH
    // times the distance between the walls.
    static constexpr double THIN_PART_SIDE_COSINE = 0.5;
    static constexpr double THIN_PART_SIDE_DEPTH = 0.25;
    // Whether the neighbourhood of p reaches round a part narrower than itself: two of its
    // completed active neighbours face opposite ways and away from each other, as two walls
    // of the part, and a third one turns from one wall to the other between them (constants
    // above). Two close parallel sheets or opposite normals on one sheet do not count.
    // folded: per record, nonzero for points whose fan is folded; they are left out (an
    // index past its end counts as not folded). Reads neighbours, positions, normals and
    // point states; changes nothing.
    bool neighbourhoodSpansThinPart(int32_t p, const std::vector<uint8_t>& folded) const;
    void keepLargestComponentPass();
    // The nearest fan triangle (o, t, v) over point i and its distance; false when none.
    bool findCoveringTriangle(int32_t i, int32_t& o, int32_t& t, int32_t& v, double& distance);
    // findCoveringTriangle, answered from coverMemos when everything it reads is as at the
    // previous search over i.
    bool findCoveringTriangleRemembered(int32_t i, int32_t& o, int32_t& t, int32_t& v,
                                        double& distance);
    // Writes into inputs every value findCoveringTriangle(i, ...) reads.
    void gatherCoverInputs(int32_t i, std::vector<int32_t>& inputs);
    // True when gatherCoverInputs(i, ...) would write exactly stored; stops reading at the
    // first difference. When true and reads is given, reads lists the records read.
    bool coverInputsUnchanged(int32_t i, const std::vector<int32_t>& stored, WatchedReads* reads);
    // Drops the memos of points that are no longer open and isolated.
    void forgetSettledCoverMemos();
    MemoTable<CoverMemo> coverMemos;
    // Per point: fingerprint of the inputs of its last search without a memo (0: none), as
    // fanSearchPrints.
    std::vector<uint64_t> coverPrints;
    std::vector<int32_t> coverScratch; // reused input buffer
    // Working data of the covering-search input walk: the fan owners it lists, and per point
    // the walk (coverOwnerEpoch) that last listed it.
    std::vector<int32_t> coverOwners;
    std::vector<uint32_t> coverOwnerMarks;
    uint32_t coverOwnerEpoch = 0;
    // Splits the triangle (o, t, v) of the fan of o by i and completes i with [o, t, v].
    void insertIntoTriangle(int32_t i, int32_t o, int32_t t, int32_t v);
};
