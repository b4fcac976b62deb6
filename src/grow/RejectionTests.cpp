// Post test of an accepted fan: every edge and triangle of the fan must fit the fans of
// its members and of the points around it, and the links of the fan's points must form
// consistent chains.
#include <iostream>

#include "recon/ReconstructionState.h"

namespace {
// Longest chain of fans followed around an unfinished point.
constexpr int32_t MAX_CHAIN_EXTENSIONS = 50;
} // namespace

bool ReconstructionState::postTest(int32_t a) {
    const Vertex& va = vertices[a];
    if (va.triangleFanCount < 3) {
        return false;
    }
    const bool trace = a == traceFlipPoint;

    // Stage 1: the two triangles beside every edge a-m.
    for (int32_t i = 0; i < va.triangleFanCount; ++i) {
        const int32_t m = va.triangleFan[i];
        const int32_t before = prevInFan(a, m);
        const int32_t after = nextInFan(a, m);
        if (pointState[m] == 1) {
            if (after != prevInFan(m, a) || before != nextInFan(m, a)) {
                return false;
            }
        } else {
            for (const int32_t c : vertices[m].connectedPoints) {
                if (c == a || indexInFan(c, a) < 0) {
                    continue;
                }
                if (c != before && c != after) {
                    return false;
                }
            }
        }
    }
    if (trace) {
        std::cout << "Passed stage 1\n";
    }

    // Stage 2: owners of the fan edges and the triangles across the far edges.
    for (int32_t i = 0; i < va.triangleFanCount; ++i) {
        const int32_t m = va.triangleFan[i];
        if (!edgeOwnersAgree(a, m) || !triangleEdgeAgrees(a, m, nextInFan(a, m))) {
            return false;
        }
    }
    if (trace) {
        std::cout << "Passed stage 2\n";
    }

    // Stage 3: the links of a and of its fan members.
    if (!connectionsConsistent(a)) {
        return false;
    }
    if (trace) {
        std::cout << "Passed stage 3\n";
    }
    for (int32_t i = 0; i < va.triangleFanCount; ++i) {
        if (!connectionsConsistent(va.triangleFan[i])) {
            return false;
        }
    }
    if (trace) {
        std::cout << "Passed stage 4\n";
    }
    return true;
}

bool ReconstructionState::edgeOwnersAgree(int32_t a, int32_t m) {
    const int32_t c = prevInFan(a, m);
    const int32_t d = nextInFan(a, m);
    for (const int32_t e : vertices[m].connectedPoints) {
        if (e == a) {
            continue;
        }
        const bool usesEdge = prevInFan(e, m) == a || nextInFan(e, m) == a;
        if (usesEdge && e != c && e != d) {
            return false;
        }
    }
    return true;
}

bool ReconstructionState::triangleEdgeAgrees(int32_t a, int32_t m, int32_t n) {
    // Apex of the one other triangle on the edge m-n; -1 while none is known.
    int32_t x = pointState[m] == 1 ? prevInFan(m, n) : -1;
    if (pointState[n] == 1) {
        const int32_t y = nextInFan(n, m);
        if (x == -1) {
            x = y;
        } else if (x != y) {
            return false;
        }
    }
    for (const int32_t b : vertices[m].connectedPoints) {
        if (b == a || indexInFan(b, n) < 0) {
            continue;
        }
        const int32_t after = nextInFan(b, m);
        if (prevInFan(b, m) == n || after == n) {
            if (x != -1 && x != b) {
                return false;
            }
            if (after == n) {
                return false; // (b, m, n) has the orientation of (a, m, n)
            }
            x = b;
        }
    }
    return true;
}

bool ReconstructionState::connectionsConsistent(int32_t q) {
    const std::vector<int32_t>& links = vertices[q].connectedPoints;
    if (pointState[q] == 1) {
        for (const int32_t c : links) {
            if (indexInFan(q, c) < 0) {
                return false;
            }
        }
        return true;
    }
    if (links.empty()) {
        return true;
    }

    // Follow the fans around q from the first owner, each continuing where the last ended.
    constexpr int32_t CHAIN_CAPACITY = 3 + 2 * (MAX_CHAIN_EXTENSIONS + 1);
    int32_t chain[CHAIN_CAPACITY];
    int32_t chainLength = 0;
    const int32_t c0 = links[0];
    const int32_t start = nextInFan(c0, q);
    int32_t end = prevInFan(c0, q);
    chain[chainLength++] = start;
    chain[chainLength++] = c0;
    chain[chainLength++] = end;
    int32_t extensions = 0;
    while (true) {
        int32_t e = -1;
        for (const int32_t candidate : links) {
            if (candidate == end || nextInFan(candidate, q) == end) {
                e = candidate;
                break;
            }
        }
        if (e == -1) {
            return true;
        }
        if (e == end) {
            end = prevInFan(e, q);
            chain[chainLength++] = end;
        } else {
            end = prevInFan(e, q);
            chain[chainLength++] = e;
            chain[chainLength++] = end;
        }
        if (e == start || end == start) {
            for (const int32_t c : links) {
                bool inChain = false;
                for (int32_t i = 0; i < chainLength && !inChain; ++i) {
                    inChain = chain[i] == c;
                }
                if (!inChain) {
                    return false;
                }
            }
            return true;
        }
        ++extensions;
        if (extensions > MAX_CHAIN_EXTENSIONS) {
            return false;
        }
    }
}
