// CompletionMemo: the remembered outcome of one point's refused completion attempt (its fan
// published, merged with the fans around it, repaired and tested, then withdrawn again), kept
// so that a stuck point retried in every layer pass with nothing changed around it is refused
// again without the attempt being run.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector3.h"
#include "grow/GrowthStats.h"

struct CompletionMemo {
    // What the attempt read of its own point, compared at every look-up (the point's own fan
    // search rewrites most of it each pass): the working fan, the connected points, the
    // neighbour list and the normal, in the layout of gatherAttemptInputs.
    std::vector<int32_t> inputs;
    // What the attempt read of records whose data change all the time while they stay as
    // the attempt saw them, compared at every look-up instead of watched: for each open point
    // whose fan the merge looked into, the point and the entries before and after the
    // attempt's point in its fan (-1, -1 when absent); for each point the free-point check ran
    // for, the point and its neighbour list. (An open point's own fan search rewrites its fan
    // and the last neighbour slot at every layer, often alternating between two values.)
    std::vector<int32_t> fanChecks;
    std::vector<int32_t> rowChecks;
    // The rule that refused the point, and the point's normal after the attempt (the fan
    // edits of the merge recompute it and the withdrawal leaves it so).
    GrowthRule refusal = GrowthRule::none;
    Vector3 normalAfter{0.0, 0.0, 0.0};
    // For a refusal by the final convexity test: the fan and normal of the point that the
    // test read.
    std::vector<int32_t> testFan;
    Vector3 testNormal{0.0, 0.0, 0.0};
    // While everything the attempt read of other records is known to be as it was: the token
    // under which the memo is a subscriber of those records (EditWatch); 0 otherwise.
    uint32_t token = 0;
};
