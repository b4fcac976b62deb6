// ReinsertionCandidates: which points outside the mesh a reinsertion pass after the first
// must try again, found by walking back from the records that kept insertions edited.
#pragma once

#include <cstdint>
#include <vector>

struct ReconstructionState;

// An attempt to reinsert point i reads the mutable fields (state, fan, links, normal) of
// the records reached from i by a path of the form
//     i or one of its neighbours, then optionally a link, a fan entry, a fan entry, a link:
// - the covering-triangle search reads the neighbours, the links of the open ones and the
//   fans of both (the covering triangle's owner o lies among them, its corners t and v in
//   o's fan);
// - the split and the flips around i, o, t and v read and edit the fans of those four and
//   of their fan members, and read the links of those members (the third-face check of a
//   flip); a flip only moves points between fans it reads, so no other point enters;
// - the normals taken again afterwards, and the fold test, read the same fans and links
//   (the fold test also reads the edited records as they were before the insertion).
// Positions and neighbour lists do not change while the passes run, and an attempt that
// is taken back leaves every record as it was. Take a path of i's last attempt that
// reaches a record edited since: every record before the first edited one on it still
// holds the same entries, so that record is reached, at any time since, by walking those
// entries backwards. When no edited record is reached this way, i's next attempt reads
// what its last one read and ends as it did: with nothing kept. So a pass tries again only
// the points reached back from the records edited since their last attempt.
struct ReinsertionCandidates {
    // The walks go back along the entries as they stood when the pass began: per record
    // x, the records whose fan holds x (heldBy) and whose links hold x (linkedBy), in
    // compressed rows. The records on a path before its first edited record hold the same
    // entries all the while.
    std::vector<int32_t> heldStart;
    std::vector<int32_t> heldBy;
    std::vector<int32_t> linkedStart;
    std::vector<int32_t> linkedBy;
    bool indexed = false;
    // Per record: reached back from an edit; a point is tried when it or a neighbour is.
    std::vector<uint8_t> nearEdit;
    // The records edited by kept insertions since the pass began, each once.
    std::vector<int32_t> edited;
    std::vector<uint8_t> isEdited;
    // Work of the walks.
    std::vector<uint32_t> marks;
    uint32_t walk = 0;
    std::vector<int32_t> reached;
};

// Starts a pass over the records of state: indexes the entries as they stand now, marks
// what the previous pass's edits reach back to, and forgets those edits. The first pass
// (before any edit is noted) indexes nothing: it tries every point.
void startReinsertionPass(ReinsertionCandidates& candidates, const ReconstructionState& state);

// Notes the records a kept insertion edited; once the pass is indexed, marks what they
// reach back to, for the points the pass tries after this one.
void noteKeptInsertion(ReinsertionCandidates& candidates, const std::vector<int32_t>& records);

// Whether an attempt to reinsert i may read a record edited since i's last attempt: true
// in the first pass, else when i or one of its neighbours was reached back from an edit.
bool mayReinsertNow(const ReinsertionCandidates& candidates, const ReconstructionState& state,
                    int32_t i);
