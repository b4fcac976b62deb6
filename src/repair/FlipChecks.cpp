// Edge flipping around one completed point, flipping an edge only where the fans of
// the four corners of its quadrilateral agree with each other.
#include <iostream>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

void ReconstructionState::flipAroundPoint(int32_t p) {
    if (pointState[p] != 1) {
        return;
    }
    for (int32_t i = 0; i < vertices[p].triangleFanCount; ++i) {
        flipEdgeChecked(p, vertices[p].triangleFan[i]);
    }
    updatePointNormal(p);
}

void ReconstructionState::flipEdgeChecked(int32_t a, int32_t b) {
    const bool trace = a == traceFlipPoint;
    if (indexInFan(a, b) < 0) {
        if (trace) {
            std::cout << "killed at " << b << "\n";
        }
        return;
    }
    const int32_t p = prevInFan(a, b);
    const int32_t n = nextInFan(a, b);

    if (pointState[p] == 1) {
        if (indexInFan(p, b) < 0 || nextInFan(p, b) != a) {
            if (trace) {
                std::cout << " prev " << p << ":Rejected at" << b << "\n";
                std::cout << "\tnext point = " << nextInFan(p, b) << "\n";
            }
            return;
        }
        if (!inWedge(vertices[p].position, vertices[b].position, vertices[a].position,
                     vertices[p].normal, vertices[n].position)) {
            return;
        }
    }

    if (pointState[n] == 1) {
        if (indexInFan(n, a) < 0 || nextInFan(n, a) != b) {
            if (trace) {
                std::cout << " next" << n << ": Rejected at" << b << "\n";
                std::cout << "\tnext point = " << nextInFan(n, a) << "\n";
            }
            return;
        }
        if (!inWedge(vertices[n].position, vertices[a].position, vertices[b].position,
                     vertices[n].normal, vertices[p].position)) {
            return;
        }
    }

    if (pointState[b] == 1) {
        bool agrees = indexInFan(b, n) >= 0;
        if (agrees) {
            const int32_t c = nextInFan(b, n);
            agrees = c == a && nextInFan(b, c) == p;
        }
        if (!agrees) {
            if (trace) {
                std::cout << "currentPoint : Rejected at " << b << "\n";
            }
            return;
        }
    } else if (vertices[b].connectedPoints.size() < 2) {
        return;
    }

    if (flipEdge(a, b) && trace) {
        std::cout << "Point " << b << " is being edge flipped (newly flipped point)\n";
    }
}
