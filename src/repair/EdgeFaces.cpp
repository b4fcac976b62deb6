// Faces on an edge of the mesh as the output will hold it (every triangle of the fan of a
// completed point, each distinct triangle once), and the check that a new fan gives no edge
// a third face.
#include <algorithm>

#include "recon/ReconstructionState.h"

int32_t ReconstructionState::edgeFaceCorners(int32_t a, int32_t b, int32_t* corners,
                                             int32_t capacity) const {
    int32_t count = 0;
    auto note = [&](int32_t c) {
        int32_t* end = corners + std::min(count, capacity);
        if (c < 0 || c == a || c == b || std::find(corners, end, c) != end) {
            return;
        }
        if (count < capacity) {
            corners[count] = c;
        }
        ++count;
    };
    // A fan holding both a and b side by side gives the triangle (owner, a, b); the fans of
    // a and b themselves give the triangles on both sides of their entry for the other end.
    auto readFan = [&](int32_t o) {
        if (pointState[static_cast<size_t>(o)] == 0) {
            return;
        }
        if (o == a || o == b) {
            const int32_t other = o == a ? b : a;
            if (indexInFan(o, other) >= 0) {
                note(prevInFan(o, other));
                note(nextInFan(o, other));
            }
            return;
        }
        if (indexInFan(o, a) >= 0 && (nextInFan(o, a) == b || prevInFan(o, a) == b)) {
            note(o);
        }
    };
    readFan(a);
    for (const int32_t o : vertices[a].connectedPoints) {
        readFan(o);
    }
    return count;
}

namespace {
// Room for the third corners of one edge: a third one already makes the edge refused.
constexpr int32_t CORNER_CAPACITY = 8;
} // namespace

bool ReconstructionState::fanKeepsEdgesManifold(int32_t p, const int32_t* entries,
                                                int32_t count) const {
    // The faces the fan adds: its triangles that no completed fan holds yet.
    int32_t added[MAX_FAN_SIZE][2];
    int32_t addedCount = 0;
    int32_t corners[CORNER_CAPACITY];
    for (int32_t i = 0; i < count; ++i) {
        const int32_t u = entries[i];
        const int32_t w = entries[(i + 1) % count];
        if (u == w) {
            continue;
        }
        const int32_t held = edgeFaceCorners(p, u, corners, CORNER_CAPACITY);
        int32_t* heldEnd = corners + std::min(held, CORNER_CAPACITY);
        if (std::find(corners, heldEnd, w) != heldEnd) {
            continue; // a completed fan holds this triangle already
        }
        bool listed = false;
        for (int32_t k = 0; k < addedCount; ++k) {
            listed = listed || (added[k][0] == w && added[k][1] == u);
        }
        if (!listed) {
            added[addedCount][0] = u;
            added[addedCount][1] = w;
            ++addedCount;
        }
    }
    // Every edge of an added face: the faces it has plus the added faces on it.
    for (int32_t k = 0; k < addedCount; ++k) {
        const int32_t face[3] = {p, added[k][0], added[k][1]};
        for (int32_t e = 0; e < 3; ++e) {
            const int32_t a = face[e];
            const int32_t b = face[(e + 1) % 3];
            int32_t total = edgeFaceCorners(a, b, corners, CORNER_CAPACITY);
            if (total > 2) {
                return false;
            }
            for (int32_t j = 0; j < addedCount; ++j) {
                const int32_t other[3] = {p, added[j][0], added[j][1]};
                int32_t third = -1;
                int32_t shared = 0;
                for (const int32_t c : other) {
                    if (c == a || c == b) {
                        ++shared;
                    } else {
                        third = c;
                    }
                }
                if (shared == 2 && std::find(corners, corners + total, third) == corners + total) {
                    corners[total++] = third;
                    if (total > 2) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}
