// ReconstructionRun: preparation, hand-over and construction in their fixed order.
#include "api/ReconstructionRun.h"

#include <chrono>

namespace {

using WallClock = std::chrono::steady_clock;

double secondsSince(WallClock::time_point start) {
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

} // namespace

bool ReconstructionRun::run(const Settings& settings, std::ostream* console,
                            const std::string* sideFilePrefix) {
    failure.clear();
    faces.clear();
    if (preparation.totalCount < MIN_POINT_COUNT) {
        failure = "too few points: " + std::to_string(preparation.totalCount) + " read, at least " +
                  std::to_string(MIN_POINT_COUNT) + " are needed";
        return false;
    }
    preparation.console = console;
    if (sideFilePrefix != nullptr) {
        preparation.setSideFileNames(*sideFilePrefix);
    }
    preparation.unwantedRatio = static_cast<float>(settings.unwantedPointPercent * 0.01);

    const WallClock::time_point preparationStart = WallClock::now();
    const bool prepared = preparation.runPreparation();
    preparationSeconds = secondsSince(preparationStart);
    if (!prepared) {
        failure = preparation.failure;
        return false;
    }

    const WallClock::time_point constructionStart = WallClock::now();
    builder.console = console;
    builder.setHandOver(preparation.handOverCount, preparation.handOverTop, preparation.keptCount,
                        preparation.handOverHeader);
    builder.vertices = preparation.vertices.data();
    builder.prepareConstruction();
    bool built = sideFilePrefix == nullptr || builder.setOutputFileNames(*sideFilePrefix);
    if (built) {
        builder.setOptions(settings.keepLargestComponent, settings.removeInconsistentFans,
                           settings.configuredMaxLayers);
        builder.attachRecords(); // also builds the octree over all records
        built = builder.build();
    }
    builder.closeFiles();
    faces = collectMeshFaces(builder.state, builder.totalCount);
    constructionSeconds = secondsSince(constructionStart);
    if (!built) {
        failure = builder.failure;
        return false;
    }
    return true;
}
