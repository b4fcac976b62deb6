// prepare_points: runs only the point-set preparation over a point file and reports its
// phases. Usage: prepare_points <point file> [unwanted percent]. The side files are written
// to the current directory, as in a full run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "prep/PointSetPreparation.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: prepare_points <point file> [unwanted percent]\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point from) {
        return std::chrono::duration<double>(Clock::now() - from).count();
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
    const Clock::time_point prepStart = Clock::now();
    if (!preparation.runPreparation()) {
        std::fprintf(stderr, "%s\n", preparation.failure.c_str());
        return 1;
    }
    std::cout << "points " << preparation.totalCount << ", kept " << preparation.keptCount
              << ", top " << preparation.topIndex << ", max spacing " << preparation.maxSpacing
              << "\npreparation and file " << seconds(prepStart) << " s wall\n";
    return 0;
}
