// Micro-benchmark: one findBestFan on a regular hexagonal neighbourhood of 19 points whose
// centre is reached by one accepted neighbouring fan.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {

struct Neighbourhood {
    std::vector<Vertex> records;
    ReconstructionState state;

    Neighbourhood() {
        const double pi = 3.14159265358979323846;
        std::vector<Vector3> positions{Vector3(0.0, 0.0, 0.0)};
        for (int i = 0; i < 6; ++i) {
            positions.emplace_back(std::cos(i * pi / 3.0), std::sin(i * pi / 3.0), 0.0);
        }
        for (int i = 0; i < 6; ++i) {
            const double t = pi / 6.0 + i * pi / 3.0;
            positions.emplace_back(std::sqrt(3.0) * std::cos(t), std::sqrt(3.0) * std::sin(t), 0.1);
        }
        for (int i = 0; i < 6; ++i) {
            positions.emplace_back(2.0 * std::cos(i * pi / 3.0), 2.0 * std::sin(i * pi / 3.0), 0.1);
        }
        const int32_t n = static_cast<int32_t>(positions.size());
        records.resize(positions.size());
        for (int32_t i = 0; i < n; ++i) {
            records[i].position = positions[i];
            records[i].normal = Vector3(0.0, 0.0, 1.0);
            records[i].triangleFanCount = 0;
        }
        for (int32_t i = 0; i < n; ++i) {
            std::vector<int32_t> others;
            for (int32_t j = 0; j < n; ++j) {
                if (j != i) {
                    others.push_back(j);
                }
            }
            auto distance2 = [&](int32_t j) {
                const Vector3 d = difference(positions[j], positions[i]);
                return d.dot(d);
            };
            std::stable_sort(others.begin(), others.end(),
                             [&](int32_t a, int32_t b) { return distance2(a) < distance2(b); });
            std::copy(others.begin(), others.begin() + NEIGHBOUR_COUNT, records[i].neighbours);
        }
        state.vertices = records.data();
        state.activeCount = n;
        state.totalCount = n;
        state.searchRadius = 2.5;
        state.halfSearchRadius = 1.25;
        state.resetPointStates(static_cast<std::size_t>(n));
        // Point 1 is completed; its fan holds the centre between points 2 and 6.
        const int32_t fan[] = {13, 7, 2, 0, 6, 12};
        records[1].triangleFanCount = 6;
        records[1].triangleFan.assign(fan, 6);
        records[1].currentTriangleFan.assign(fan, fan + 6);
        for (const int32_t member : fan) {
            records[member].connectedPoints.push_back(1);
        }
        state.setPointState(1, 1);
    }
};

void findBestFanOnRegularNeighbourhood(benchmark::State& run) {
    Neighbourhood neighbourhood;
    for (auto _ : run) {
        const bool found = neighbourhood.state.findBestFan(0, true);
        benchmark::DoNotOptimize(found);
    }
    if (neighbourhood.records[0].triangleFanCount != 6) {
        run.SkipWithError("the regular neighbourhood did not give its six-member fan");
    }
}

} // namespace

BENCHMARK(findBestFanOnRegularNeighbourhood);
BENCHMARK_MAIN();
