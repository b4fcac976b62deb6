// GrowthStats: counts of the growth's refusals per rule, of the rays that block, and of
// the rule that last refused each point that stays open, for studying where the surface
// stops growing. Compiled in only with -DFANMESH_GROWTH_STATS; otherwise every hook is
// an empty statement, so ordinary builds pay nothing. With the environment variable
// FANMESH_GROWTH_DUMP set to a file name, the records as the growth left them are written
// there and every completion is noted with the path that completed the point.
#pragma once

#include <cstdint>

enum class GrowthRule : uint8_t {
    none,
    bestFanSeeding,    // no fan found for a point bordering the surface
    convexitySeeding,  // rays from a new candidate's fan blocked
    bestFanActivation, // no fan found for a newly activated point
    convexityActivation,
    convexityRefine,  // rays blocked after a refined fan
    merge,            // fan merging with the neighbour fans failed
    missedNeighbours, // a neighbour under the fan could not be inserted
    postTest,         // fans around the point disagree
    convexityFinal,   // rays blocked after publishing
    fanTilt,          // the fan turns away from the neighbourhood's normal
    count
};

#ifdef FANMESH_GROWTH_STATS
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

struct GrowthStats {
    int64_t refusals[static_cast<int>(GrowthRule::count)] = {};
    std::vector<uint8_t> lastRule; // per point
    int64_t rays = 0;
    int64_t blockedRays = 0;
    // Blocked rays by the distance (in mean spacings) from the ray of the nearest point
    // of the blocking cell: < 0.5, < 1, < 1.5, < 2.5, < 5, farther.
    int64_t blockDistance[6] = {};
    // Blocked rays under the finer rule by how far ahead the blocking point lies, in its
    // neighbourhood radii: < 0.5, < 1, < 2, < 3, < 4, farther.
    int64_t blockAhead[6] = {};
    bool levelFlipping = false; // of the layer pass under way
    // Refused convexity tests by the parity of the layer (index 1: a layer that builds its
    // fans in reversed order), and of them those whose rays ran against the normals of the
    // completed fans holding the point (into the surface on a closed part).
    int64_t convexityRefusals[2] = {};
    int64_t convexityAgainstSurface[2] = {};
    // Passed convexity tests, and of them those whose rays ran against the normals of the
    // completed fans holding the point: such a test looks into the part being grown (a
    // hollow tube or body, where under the finer rule a ray can pass between the walls).
    int64_t convexityPasses[2] = {};
    int64_t convexityPassesAgainstSurface[2] = {};

    void convexityRefused(bool againstSurface) {
        ++convexityRefusals[levelFlipping ? 1 : 0];
        if (againstSurface) {
            ++convexityAgainstSurface[levelFlipping ? 1 : 0];
        }
    }

    void convexityPassed(bool againstSurface) {
        ++convexityPasses[levelFlipping ? 1 : 0];
        if (againstSurface) {
            ++convexityPassesAgainstSurface[levelFlipping ? 1 : 0];
        }
    }

    // Where FANMESH_GROWTH_DUMP asks for the detail, or null.
    const char* dumpPath = std::getenv("FANMESH_GROWTH_DUMP");

    // Notes that p was completed, and by which path (seed, fan, enclosed, flow, ...).
    void completed(int32_t p, const char* path) const {
        if (dumpPath != nullptr) {
            std::fprintf(stderr, "growth stats: complete %d via %s\n", p, path);
        }
    }

    // Writes one line per active record to the FANMESH_GROWTH_DUMP file: "v", index, state,
    // position, normal, then "fan" and the fan entries, "con" and the connected points,
    // "nb" and the 16 neighbours.
    template <class Records>
    void dump(const std::vector<uint8_t>& pointState, int32_t activeCount,
              const Records& vertices) const {
        std::FILE* file = dumpPath != nullptr ? std::fopen(dumpPath, "w") : nullptr;
        if (file == nullptr) {
            return;
        }
        for (int32_t p = 0; p < activeCount; ++p) {
            const auto& v = vertices[p];
            std::fprintf(file, "v %d %d %.9g %.9g %.9g %.6g %.6g %.6g fan", p,
                         pointState[static_cast<size_t>(p)], v.position.x, v.position.y,
                         v.position.z, v.normal.x, v.normal.y, v.normal.z);
            for (int32_t k = 0; k < v.triangleFanCount; ++k) {
                std::fprintf(file, " %d", v.triangleFan[k]);
            }
            std::fprintf(file, " con");
            for (const int32_t c : v.connectedPoints) {
                std::fprintf(file, " %d", c);
            }
            std::fprintf(file, " nb");
            for (const int32_t n : v.neighbours) {
                std::fprintf(file, " %d", n);
            }
            std::fprintf(file, "\n");
        }
        std::fclose(file);
    }

    void blockedAhead(double ahead) {
        static constexpr double LIMITS[5] = {0.5, 1.0, 2.0, 3.0, 4.0};
        int bucket = 0;
        while (bucket < 5 && ahead >= LIMITS[bucket]) {
            ++bucket;
        }
        ++blockAhead[bucket];
    }

    void refuse(int32_t p, GrowthRule rule) {
        ++refusals[static_cast<int>(rule)];
        if (p >= 0) {
            if (lastRule.size() <= static_cast<size_t>(p)) {
                lastRule.resize(static_cast<size_t>(p) + 1, 0);
            }
            lastRule[static_cast<size_t>(p)] = static_cast<uint8_t>(rule);
        }
    }
    void blocked(double distance) {
        static constexpr double LIMITS[5] = {0.5, 1.0, 1.5, 2.5, 5.0};
        int bucket = 0;
        while (bucket < 5 && distance >= LIMITS[bucket]) {
            ++bucket;
        }
        ++blockDistance[bucket];
        ++blockedRays;
    }
    // One line per grown seed: the seed, the points its growth completed, its layers.
    void seedGrown(int32_t seed, int32_t completed, int32_t layers) const {
        std::fprintf(stderr, "growth stats: seed %d completed %d in %d layers\n", seed, completed,
                     layers);
    }
    // Tallies, by the rule that last refused them, the open points on the front (open,
    // but already in a fan); front lists them.
    void frontReport(const std::vector<int32_t>& front) const {
        int64_t byRule[static_cast<int>(GrowthRule::count)] = {};
        for (const int32_t p : front) {
            const size_t i = static_cast<size_t>(p);
            ++byRule[i < lastRule.size() ? lastRule[i] : 0];
        }
        std::fprintf(stderr,
                     "growth stats:   front of %zu open points, last refused by:", front.size());
        for (int r = 0; r < static_cast<int>(GrowthRule::count); ++r) {
            std::fprintf(stderr, " %lld", static_cast<long long>(byRule[r]));
        }
        std::fprintf(stderr, "\n");
    }
    // One line per clean-up stage: the completed points after it and the change since the
    // stage before, to tell which pass loses the points a run does not use.
    // The sizes of the pieces joined by fan entries are listed too, largest first.
    template <class Records>
    void stage(const char* name, const std::vector<uint8_t>& pointState, int32_t activeCount,
               const Records& vertices) {
        int64_t completed = 0;
        for (int32_t p = 0; p < activeCount; ++p) {
            completed += pointState[static_cast<size_t>(p)] == 1 ? 1 : 0;
        }
        std::vector<int32_t> label(pointState.size(), -1);
        std::vector<int32_t> sizes;
        std::vector<int32_t> stack;
        for (int32_t s = 0; s < activeCount; ++s) {
            if (pointState[static_cast<size_t>(s)] != 1 || label[static_cast<size_t>(s)] >= 0) {
                continue;
            }
            int32_t size = 0;
            label[static_cast<size_t>(s)] = 1;
            stack.push_back(s);
            while (!stack.empty()) {
                const int32_t p = stack.back();
                stack.pop_back();
                size += pointState[static_cast<size_t>(p)] == 1 ? 1 : 0;
                if (pointState[static_cast<size_t>(p)] != 1) {
                    continue;
                }
                for (int32_t k = 0; k < vertices[p].triangleFanCount; ++k) {
                    const int32_t u = vertices[p].triangleFan[k];
                    if (label[static_cast<size_t>(u)] < 0) {
                        label[static_cast<size_t>(u)] = 1;
                        stack.push_back(u);
                    }
                }
            }
            sizes.push_back(size);
        }
        std::sort(sizes.rbegin(), sizes.rend());
        std::fprintf(stderr, "growth stats: stage %-28s completed %lld (%+lld) pieces", name,
                     static_cast<long long>(completed),
                     static_cast<long long>(lastStageCount < 0 ? 0 : completed - lastStageCount));
        for (size_t k = 0; k < sizes.size() && k < 6; ++k) {
            std::fprintf(stderr, " %d", sizes[k]);
        }
        std::fprintf(stderr, "%s\n", sizes.size() > 6 ? " ..." : "");
        lastStageCount = completed;
    }
    int64_t lastStageCount = -1;
    // Writes the counts to stderr; pointState marks the completed points.
    void report(const std::vector<uint8_t>& pointState, int32_t activeCount) const {
        static const char* const NAMES[] = {"none",
                                            "bestFanSeeding",
                                            "convexitySeeding",
                                            "bestFanActivation",
                                            "convexityActivation",
                                            "convexityRefine",
                                            "merge",
                                            "missedNeighbours",
                                            "postTest",
                                            "convexityFinal",
                                            "fanTilt"};
        int64_t open[static_cast<int>(GrowthRule::count)] = {};
        for (int32_t p = 0; p < activeCount; ++p) {
            if (pointState[static_cast<size_t>(p)] != 1) {
                const size_t i = static_cast<size_t>(p);
                ++open[i < lastRule.size() ? lastRule[i] : 0];
            }
        }
        std::fprintf(stderr, "growth stats: rule refusals open-points-last-refused-by\n");
        for (int r = 0; r < static_cast<int>(GrowthRule::count); ++r) {
            std::fprintf(stderr, "  %-20s %10lld %8lld\n", NAMES[r],
                         static_cast<long long>(refusals[r]), static_cast<long long>(open[r]));
        }
        std::fprintf(
            stderr,
            "  rays %lld blocked %lld; blocked by nearest point at <0.5 <1 "
            "<1.5 <2.5 <5 >=5 spacings: %lld %lld %lld %lld %lld %lld\n",
            static_cast<long long>(rays), static_cast<long long>(blockedRays),
            static_cast<long long>(blockDistance[0]), static_cast<long long>(blockDistance[1]),
            static_cast<long long>(blockDistance[2]), static_cast<long long>(blockDistance[3]),
            static_cast<long long>(blockDistance[4]), static_cast<long long>(blockDistance[5]));
        std::fprintf(stderr,
                     "  finer rule: blocked by a point ahead by <0.5 <1 <2 <3 <4 >=4 radii: %lld "
                     "%lld %lld %lld %lld %lld\n",
                     static_cast<long long>(blockAhead[0]), static_cast<long long>(blockAhead[1]),
                     static_cast<long long>(blockAhead[2]), static_cast<long long>(blockAhead[3]),
                     static_cast<long long>(blockAhead[4]), static_cast<long long>(blockAhead[5]));
        std::fprintf(stderr,
                     "  convexity refusals on plain / reversed layers: %lld / %lld, of them "
                     "with rays against the surrounding fans' normals: %lld / %lld\n",
                     static_cast<long long>(convexityRefusals[0]),
                     static_cast<long long>(convexityRefusals[1]),
                     static_cast<long long>(convexityAgainstSurface[0]),
                     static_cast<long long>(convexityAgainstSurface[1]));
        std::fprintf(stderr,
                     "  convexity passes on plain / reversed layers: %lld / %lld, of them "
                     "with rays against the surrounding fans' normals: %lld / %lld\n",
                     static_cast<long long>(convexityPasses[0]),
                     static_cast<long long>(convexityPasses[1]),
                     static_cast<long long>(convexityPassesAgainstSurface[0]),
                     static_cast<long long>(convexityPassesAgainstSurface[1]));
    }
};

inline GrowthStats growthStats;

#define GROWTH_REFUSE(p, rule) growthStats.refuse((p), GrowthRule::rule)
#define GROWTH_RAY() (++growthStats.rays)
#define GROWTH_BLOCKED(distance) growthStats.blocked(distance)
#define GROWTH_BLOCKED_AHEAD(ahead) growthStats.blockedAhead(ahead)
#define GROWTH_CONVEXITY_REFUSED(against) growthStats.convexityRefused(against)
#define GROWTH_REPORT(state, count) growthStats.report((state), (count))
#define GROWTH_SEED(seed, completed, layers) growthStats.seedGrown((seed), (completed), (layers))
#define GROWTH_STAGE(name) growthStats.stage((name), pointState, activeCount, vertices)
#define GROWTH_NOTE(...) std::fprintf(stderr, "growth stats: " __VA_ARGS__)
#define GROWTH_COMPLETED(p, path) growthStats.completed((p), (path))
#define GROWTH_DUMP() growthStats.dump(pointState, activeCount, vertices)
#else
#define GROWTH_REFUSE(p, rule) ((void)0)
#define GROWTH_RAY() ((void)0)
#define GROWTH_BLOCKED(distance) ((void)0)
#define GROWTH_BLOCKED_AHEAD(ahead) ((void)0)
#define GROWTH_CONVEXITY_REFUSED(against) ((void)0)
#define GROWTH_REPORT(state, count) ((void)0)
#define GROWTH_SEED(seed, completed, layers) ((void)0)
#define GROWTH_STAGE(name) ((void)0)
#define GROWTH_NOTE(...) ((void)0)
#define GROWTH_COMPLETED(p, path) ((void)0)
#define GROWTH_DUMP() ((void)0)
#endif
