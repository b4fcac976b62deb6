// GrowthStats: counts of the growth's refusals per rule, of the rays that block, and of
// the rule that last refused each point that stays open, for studying where the surface
// stops growing. Compiled in only with -DFANMESH_GROWTH_STATS; otherwise every hook is
// an empty statement, so ordinary builds pay nothing.
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
    count
};

#ifdef FANMESH_GROWTH_STATS
#include <cmath>
#include <cstdio>
#include <vector>

struct GrowthStats {
    int64_t refusals[static_cast<int>(GrowthRule::count)] = {};
    std::vector<uint8_t> lastRule; // per point
    int64_t rays = 0;
    int64_t blockedRays = 0;
    // Blocked rays by the distance (in mean spacings) from the ray of the nearest point
    // of the blocking cell: < 0.5, < 1, < 1.5, < 2.5, < 5, farther.
    int64_t blockDistance[6] = {};

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
                                            "convexityFinal"};
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
    }
};

inline GrowthStats growthStats;

#define GROWTH_REFUSE(p, rule) growthStats.refuse((p), GrowthRule::rule)
#define GROWTH_RAY() (++growthStats.rays)
#define GROWTH_BLOCKED(distance) growthStats.blocked(distance)
#define GROWTH_REPORT(state, count) growthStats.report((state), (count))
#else
#define GROWTH_REFUSE(p, rule) ((void)0)
#define GROWTH_RAY() ((void)0)
#define GROWTH_BLOCKED(distance) ((void)0)
#define GROWTH_REPORT(state, count) ((void)0)
#endif
