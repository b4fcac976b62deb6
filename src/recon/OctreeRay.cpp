// Octree ray queries: parametric top-down traversal (Revelles, Urena and Lastra, 2000)
// of the leaves a ray pierces, in the order the ray meets them, with direction mirroring
// so that the traversal always runs in positive axis directions.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "grow/GrowthStats.h"
#include "recon/Octree.h"

namespace {

// Direction components of smaller magnitude are replaced, so no parameter divides by 0.
constexpr double DEGENERATE_DIRECTION = 1e-6;
constexpr double DIRECTION_SUBSTITUTE = 1e-7;
// Root mid-plane parameters of smaller magnitude are snapped to 0.
constexpr double MID_PLANE_SNAP = 1e-6;

double largest(double a, double b, double c) {
    return std::max(std::max(a, b), c);
}
double smallest(double a, double b, double c) {
    return std::min(std::min(a, b), c);
}

// Whether the ray leaves the cube with parameters t before its origin, with each axis'
// entry parameter at most its exit one. Every sub-cube then has this too: a midpoint
// (t0 + t1) / 2 rounds to a value between t0 and t1, so a sub-cube's exit parameters are
// at most the cube's, and leafTest refuses each leaf below at its first check.
bool behindOrigin(const Octree::RayParameters& t) {
    return t.tx0 <= t.tx1 && t.ty0 <= t.ty1 && t.tz0 <= t.tz1 && smallest(t.tx1, t.ty1, t.tz1) < 0;
}

} // namespace

Octree::RayParameters Octree::prepareRay(Vector3 origin, Vector3 direction) {
    if (std::fabs(direction.x) < DEGENERATE_DIRECTION) {
        direction.x = DIRECTION_SUBSTITUTE;
    }
    if (std::fabs(direction.y) < DEGENERATE_DIRECTION) {
        direction.y = DIRECTION_SUBSTITUTE;
    }
    if (std::fabs(direction.z) < DEGENERATE_DIRECTION) {
        direction.z = DIRECTION_SUBSTITUTE;
    }
    RayParameters t;
    const auto compute = [&]() {
        t.tx0 = (minCorner.x - origin.x) / direction.x;
        t.tx1 = (minCorner.x + edge - origin.x) / direction.x;
        t.txm = (t.tx0 + t.tx1) / 2;
        if (std::fabs(t.txm) < MID_PLANE_SNAP) {
            t.txm = 0;
        }
        t.ty0 = (minCorner.y - origin.y) / direction.y;
        t.ty1 = (minCorner.y + edge - origin.y) / direction.y;
        t.tym = (t.ty0 + t.ty1) / 2;
        if (std::fabs(t.tym) < MID_PLANE_SNAP) {
            t.tym = 0;
        }
        t.tz0 = (minCorner.z - origin.z) / direction.z;
        t.tz1 = (minCorner.z + edge - origin.z) / direction.z;
        t.tzm = (t.tz0 + t.tz1) / 2;
        if (std::fabs(t.tzm) < MID_PLANE_SNAP) {
            t.tzm = 0;
        }
    };
    compute();

    mirrorMask = 0;
    if (t.tx1 < t.tx0) {
        mirrorX = 1;
        mirrorMask += 4;
        direction.x = -direction.x;
        origin.x = 2 * center.x - origin.x;
    } else {
        mirrorX = 0;
    }
    if (t.ty1 < t.ty0) {
        mirrorY = 1;
        mirrorMask += 2;
        direction.y = -direction.y;
        origin.y = 2 * center.y - origin.y;
    } else {
        mirrorY = 0;
    }
    if (t.tz1 < t.tz0) {
        mirrorZ = 1;
        mirrorMask += 1;
        direction.z = -direction.z;
        origin.z = 2 * center.z - origin.z;
    } else {
        mirrorZ = 0;
    }
    if (mirrorMask != 0) {
        compute();
    }
    return t;
}

int32_t Octree::firstChild(const RayParameters& t) {
    const double tEnter = largest(t.tx0, t.ty0, t.tz0);
    const double tExit = smallest(t.tx1, t.ty1, t.tz1);
    if (tEnter > tExit) {
        return -1;
    }
    int32_t c = 0;
    if (t.tx0 >= t.ty0 && t.tx0 >= t.tz0) {
        if (t.tym < t.tx0) {
            c += 2;
        }
        if (t.tzm < t.tx0) {
            c += 1;
        }
    } else if (t.ty0 >= t.tz0) {
        if (t.txm < t.ty0) {
            c += 4;
        }
        if (t.tzm < t.ty0) {
            c += 1;
        }
    } else {
        if (t.txm < t.tz0) {
            c += 4;
        }
        if (t.tym < t.tz0) {
            c += 2;
        }
    }
    return c;
}

bool Octree::pointNearRay(const RayQuery& ray, const Vector3& position, double radius) {
    Vector3 offset = position;
    offset.subtract(ray.origin);
    const double along = offset.dot(ray.direction);
    if (along > ray.reach * ray.direction.dot(ray.direction)) {
        return false; // beyond the ray's reach
    }
    if (along > 0.0) {
        Vector3 foot = ray.direction;
        foot.scale(along / ray.direction.dot(ray.direction));
        offset.subtract(foot);
    }
    const double limit = ray.hitDistance * radius;
    return offset.dot(offset) <= limit * limit;
}

bool Octree::leafTest(const Node& leaf, const RayParameters& t, const RayQuery& ray) const {
    const double tEnter = largest(t.tx0, t.ty0, t.tz0);
    const double tExit = smallest(t.tx1, t.ty1, t.tz1);
    // Behind the origin; or holding it, which only the per-point rule looks into.
    if (tExit < 0 || (tEnter < 0 && !ray.perPoint)) {
        return false;
    }
    if (leaf.pointBegin == leaf.pointEnd) {
        return false;
    }
    const int32_t* const begin = pointList.data() + leaf.pointBegin;
    const int32_t* const end = pointList.data() + leaf.pointEnd;
    if (ray.perPoint) {
        return anyPointBlocks(begin, end, ray);
    }
    for (const int32_t* it = begin; it != end; ++it) {
        if (ray.marks[*it] != 0) {
            return false;
        }
    }
    if (ray.hitDistance <= 0.0) {
#ifdef FANMESH_GROWTH_STATS
        double nearest = INFINITY;
        for (const int32_t* it = begin; it != end; ++it) {
            const int32_t index = *it;
            for (double d = 0.125; d < 16.0 && d < nearest; d += 0.125) {
                if (pointNearRay(RayQuery{ray.origin, ray.direction, nullptr, nullptr, d},
                                 ray.records[index].position, 1.0)) {
                    nearest = d;
                }
            }
        }
        GROWTH_BLOCKED(nearest);
#endif
        return true;
    }
    for (const int32_t* it = begin; it != end; ++it) {
        const Vertex& v = ray.records[*it];
        if (pointNearRay(ray, v.position, v.neighbourhoodRadius)) {
#ifdef FANMESH_GROWTH_STATS
            Vector3 offset = v.position;
            offset.subtract(ray.origin);
            GROWTH_BLOCKED_AHEAD(offset.dot(ray.direction) / ray.direction.length() /
                                 v.neighbourhoodRadius);
#endif
            return true;
        }
    }
    return false;
}

bool Octree::anyPointBlocks(const int32_t* begin, const int32_t* end, const RayQuery& ray) {
    for (const int32_t* it = begin; it != end; ++it) {
        if (ray.marks[*it] != 0) {
            continue;
        }
        const Vertex& v = ray.records[*it];
        Vector3 offset = v.position;
        offset.subtract(ray.origin);
        // Points level with or behind the origin (its own leaf holds such points) do not
        // stand in the ray's way.
        if (offset.dot(ray.direction) > 0.0 &&
            pointNearRay(ray, v.position, v.neighbourhoodRadius)) {
            return true;
        }
    }
    return false;
}

#ifdef FANMESH_CHECK_FAN_MEMO
// The checking build walks a sub-cube the traversal skips, without recording it, and aborts
// if it would have blocked the ray after all.
void Octree::checkSkippedCube(int32_t node, uint64_t key, const RayParameters& t, int32_t mask,
                              const RayQuery& ray, const char* what) const {
    RayQuery unrecorded = ray;
    unrecorded.visited = nullptr;
    if (traverse(node, key, t, mask, unrecorded)) {
        std::cerr << "octree ray: " << what << " blocks the ray\n";
        std::abort();
    }
}
#endif

// Visits the children the ray pierces in the mirrored frame; sub-cube c of the mirrored
// frame is the real child c XOR mask.
bool Octree::traverse(int32_t node, uint64_t key, const RayParameters& t, int32_t mask,
                      const RayQuery& ray) const {
    const Node& current = nodes[static_cast<size_t>(node)];
    if (current.firstChild < 0) {
        if (ray.visited != nullptr) {
            ray.visited->push_back(key);
        }
        return leafTest(current, t, ray);
    }
    // Keys of the children, while they fit.
    const bool keyed = key != TOO_DEEP && key < (uint64_t{1} << (3 * MAX_KEY_DEPTH));
    int32_t c = firstChild(t);
    while (c != -1) {
        RayParameters s;
        if ((c & 4) == 0) {
            s.tx0 = t.tx0;
            s.tx1 = t.txm;
        } else {
            s.tx0 = t.txm;
            s.tx1 = t.tx1;
        }
        s.txm = (s.tx0 + s.tx1) / 2;
        if ((c & 2) == 0) {
            s.ty0 = t.ty0;
            s.ty1 = t.tym;
        } else {
            s.ty0 = t.tym;
            s.ty1 = t.ty1;
        }
        s.tym = (s.ty0 + s.ty1) / 2;
        if ((c & 1) == 0) {
            s.tz0 = t.tz0;
            s.tz1 = t.tzm;
        } else {
            s.tz0 = t.tzm;
            s.tz1 = t.tz1;
        }
        s.tzm = (s.tz0 + s.tz1) / 2;

        // A sub-cube the ray has left before its origin holds no leaf that could block it,
        // in this tree or any other with the same root cube, so it is not recorded either.
        const uint64_t childKey = keyed ? key * 8 + static_cast<uint64_t>(c ^ mask) : TOO_DEEP;
        if (behindOrigin(s)) {
#ifdef FANMESH_CHECK_FAN_MEMO
            checkSkippedCube(current.firstChild + (c ^ mask), childKey, s, mask, ray,
                             "a sub-cube behind the origin");
#endif
        } else if (s.tx0 * ray.reachWeights.x + s.ty0 * ray.reachWeights.y +
                       s.tz0 * ray.reachWeights.z >
                   ray.reachBound) {
            // Beyond the ray's reach: nothing in it can block the ray, nor is it recorded.
#ifdef FANMESH_CHECK_FAN_MEMO
            checkSkippedCube(current.firstChild + (c ^ mask), childKey, s, mask, ray,
                             "a sub-cube beyond the ray's reach");
#endif
        } else if (const Node& child = nodes[static_cast<size_t>(current.firstChild + (c ^ mask))];
                   child.firstChild < 0 && child.pointBegin == child.pointEnd) {
            // An empty leaf blocks nothing: it is only recorded, as traverse would.
#ifdef FANMESH_CHECK_FAN_MEMO
            checkSkippedCube(current.firstChild + (c ^ mask), childKey, s, mask, ray,
                             "an empty leaf");
#endif
            if (ray.visited != nullptr) {
                ray.visited->push_back(childKey);
            }
        } else if (traverse(current.firstChild + (c ^ mask), childKey, s, mask, ray)) {
            return true;
        }
        if (s.tx1 <= s.ty1 && s.tx1 <= s.tz1) {
            c = nextChildX[c];
        } else if (s.ty1 <= s.tz1) {
            c = nextChildY[c];
        } else {
            c = nextChildZ[c];
        }
    }
    return false;
}

bool Octree::castMarked(Vector3 origin, Vector3 direction, std::vector<uint64_t>* visited,
                        double reach) {
    const RayParameters t = prepareRay(origin, direction);
    RayQuery ray{origin,  direction,      excluded.data(),
                 records, rayHitDistance, perPointRays && rayHitDistance > 0.0,
                 visited, reach};
    if (rayHitDistance > 0.0 && std::isfinite(reach)) {
        // (lower corner - origin) . direction over a cube, from its entry parameters. An axis
        // whose direction prepareRay replaced adds at most DEGENERATE_DIRECTION times the
        // largest distance along it from the origin to the root cube, which the bound allows.
        ray.reachBound = reach * direction.dot(direction);
        const auto weight = [&](double component, double offset) {
            if (std::fabs(component) < DEGENERATE_DIRECTION) {
                ray.reachBound += DEGENERATE_DIRECTION * (std::fabs(offset) + edge / 2);
                return 0.0;
            }
            return component * component;
        };
        ray.reachWeights = Vector3{weight(direction.x, origin.x - center.x),
                                   weight(direction.y, origin.y - center.y),
                                   weight(direction.z, origin.z - center.z)};
    }
    GROWTH_RAY();
    return traverse(0, 1, t, mirrorMask, ray);
}

void Octree::markAround(int32_t p, bool ring, uint8_t value) {
    // Indices outside the mark array are not held by the tree; they need no mark.
    const int32_t markCount = static_cast<int32_t>(excluded.size());
    for (const int32_t n : records[p].neighbours) {
        if (n < 0 || n >= markCount) {
            continue;
        }
        excluded[n] = value;
        if (ring) {
            for (const int32_t m : records[n].neighbours) {
                if (m >= 0 && m < markCount) {
                    excluded[m] = value;
                }
            }
        }
    }
}

bool Octree::castRay(Vector3 origin, Vector3 direction, int32_t p, std::vector<uint64_t>* visited) {
    const bool marking = p >= 0 && records != nullptr;
    if (marking) {
        markAround(p, false, 1);
    }
    // The reach, in ray parameters, from the neighbourhood radius of p.
    double reach = INFINITY;
    if (marking && rayReach > 0.0 && rayHitDistance > 0.0) {
        reach = rayReach * records[p].neighbourhoodRadius / direction.length();
    }
    const bool hit = castMarked(origin, direction, visited, reach);
    if (marking) {
        markAround(p, false, 0);
    }
    return hit;
}

bool Octree::blockedBothWays(int32_t p) {
    if (p < 0 || records == nullptr) {
        return false;
    }
    Vertex& v = records[p];
    const bool ring = exemptNeighbourRing && perPointRays && rayHitDistance > 0.0;
    markAround(p, ring, 1);
    bool blocked = castMarked(v.position, v.normal);
    if (blocked) {
        v.normal.negate();
        blocked = castMarked(v.position, v.normal);
    }
    markAround(p, ring, 0);
    return blocked;
}
