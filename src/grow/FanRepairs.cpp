// Repairs of an accepted fan before it is tested: dropping members at which the fan
// folds over, and taking in unfinished neighbours that already border other fans and
// lie over this one.
#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

double ReconstructionState::foldAngle(int32_t a, int32_t u, int32_t m, int32_t w) {
    const Vector3 pa = vertices[a].position;
    const Vector3 pm = vertices[m].position;
    const Vector3 x = triangleNormal(pa, vertices[u].position, pm);
    const Vector3 y = triangleNormal(pa, pm, vertices[w].position);
    double fold = orientedAngleDeg(x, y, difference(pm, pa));
    if (fold > 180.0) {
        fold -= 360.0;
    }
    return fold;
}

void ReconstructionState::removeFoldedFanPoints(int32_t a) {
    const Vertex& va = vertices[a];
    const int32_t count = va.triangleFanCount;
    if (count < 1) {
        return;
    }
    int32_t fan[MAX_FAN_SIZE];
    double fold[MAX_FAN_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        fan[i] = va.triangleFan[i];
    }
    for (int32_t i = 0; i < count; ++i) {
        fold[i] = foldAngle(a, fan[(i + count - 1) % count], fan[i], fan[(i + 1) % count]);
    }

    int32_t marked[MAX_FAN_SIZE];
    int32_t markedCount = 0;
    for (int32_t j = 0; j < count; ++j) {
        const int32_t next = (j + 1) % count;
        const double b = fold[j];
        const double c = fold[next];
        if (b > 0.0 && c <= 0.0 && (180.0 - b) + c + 180.0 < 180.0) {
            marked[markedCount++] = fan[next]; // the fold drops by more than 180 degrees
        } else if (b <= 0.0 && c >= 0.0 && b + 360.0 - c < 180.0) {
            marked[markedCount++] = fan[j]; // the fold rises by more than 180 degrees
        }
    }
    for (int32_t i = 0; i < markedCount; ++i) {
        removeFromFan(a, indexInFan(a, marked[i]));
    }
}

bool ReconstructionState::projectedSegmentsCross(int32_t c, int32_t q, Vector3 n, int32_t d,
                                                 int32_t e) {
    const Vector3 pc = vertices[c].position;
    const Vector3 pq = projectOntoPlane(n, pc, vertices[q].position);
    const Vector3 pd = projectOntoPlane(n, pc, vertices[d].position);
    const Vector3 pe = projectOntoPlane(n, pc, vertices[e].position);
    return segmentsIntersect(pc, pq, pd, pe);
}

bool ReconstructionState::insertMissedNeighbours(int32_t a) {
    for (int32_t slot = 0; slot < NEIGHBOUR_COUNT; ++slot) {
        const int32_t q = vertices[a].neighbours[slot];
        if (q < 0 || pointState[q] == 1 || vertices[q].connectedPoints.empty() ||
            indexInFan(a, q) >= 0) {
            continue;
        }
        const Vertex& vq = vertices[q];

        // Direction of the fans that already border q.
        Vector3 m(0.0, 0.0, 0.0);
        for (const int32_t c : vq.connectedPoints) {
            m.add(vertices[c].normal);
        }
        m.normalize();

        // The first triangle of the fan of a that q lies over, seen along m.
        const Vertex& va = vertices[a];
        int32_t v = -1;
        for (int32_t i = 0; i < va.triangleFanCount; ++i) {
            const int32_t u = va.triangleFan[i];
            if (lineHitsTriangleFront(va.position, vertices[u].position,
                                      vertices[nextInFan(a, u)].position, m, vq.position)) {
                v = u;
                break;
            }
        }
        const int32_t w = nextInFan(a, v);

        bool found = false;
        findHostTriangle(a, q, found);
        if (v == -1 || !found) {
            continue;
        }

        // A link from q to one of its bordering points may cross no other fan edge of a.
        for (int32_t i = 0; i < va.triangleFanCount; ++i) {
            const int32_t d = va.triangleFan[i];
            if (d == v) {
                continue;
            }
            const int32_t e = nextInFan(a, d);
            for (const int32_t c : vq.connectedPoints) {
                if (projectedSegmentsCross(c, q, va.normal, d, e)) {
                    return false;
                }
            }
        }

        if (pointState[v] == 1) {
            v = w;
        }
        if (pointState[w] == 1) {
            v = prevInFan(a, v);
        }
        insertIntoFan(a, indexInFan(a, v), q);
    }
    return true;
}
