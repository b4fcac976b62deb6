// prepare_points: runs only the point-set preparation over a point file and reports its
// phases with their wall and processor times. Usage: prepare_points <point file> [unwanted
// percent] [threads]. The side files are written to the current directory, as in a full run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "prep/PointSetPreparation.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: prepare_points <point file> [unwanted percent] [threads]\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point from) {
        return std::chrono::duration<double>(Clock::now() - from).count();
    };
    const auto processorSeconds = [](std::clock_t from) {
        return static_cast<double>(std::clock() - from) / CLOCKS_PER_SEC;
    };
    const Clock::time_point loadStart = Clock::now();
    PointSetPreparation preparation;
    preparation.console = &std::cout;
    if (!preparation.loadPoints(argv[1])) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    std::cout << "load " << seconds(loadStart) << " s\n";
    preparation.setSideFileNames("");
    if (argc > 2) {
        preparation.unwantedRatio = static_cast<float>(std::atoi(argv[2]) * 0.01);
    }
    if (argc > 3) {
        preparation.threads = std::atoi(argv[3]);
    }
    const Clock::time_point prepStart = Clock::now();
    const std::clock_t prepProcessorStart = std::clock();
    if (!preparation.runPreparation()) {
        std::fprintf(stderr, "%s\n", preparation.failure.c_str());
        return 1;
    }
    std::cout << "points " << preparation.totalCount << ", kept " << preparation.keptCount
              << ", top " << preparation.topIndex << ", max spacing " << preparation.maxSpacing
              << "\npreparation and file " << seconds(prepStart) << " s wall, "
              << processorSeconds(prepProcessorStart) << " s processor\n";
    return 0;
}
