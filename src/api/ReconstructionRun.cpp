// ReconstructionRun: preparation, hand-over and construction in their fixed order.
#include "api/ReconstructionRun.h"

#include <chrono>
#include <cmath>
#include <memory>

#include "api/NoFaceReason.h"

namespace {

using WallClock = std::chrono::steady_clock;

double secondsSince(WallClock::time_point start) {
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

} // namespace

bool ReconstructionRun::run(const Settings& settings, std::ostream* console,
                            const std::string* sideFilePrefix) {
    failure.clear();
    noFaceReason.clear();
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
    preparation.threads = settings.threads;

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
    builder.unusedTailCount = preparation.setAsideCount;
    builder.prepareConstruction();
    if (sideFilePrefix != nullptr && !builder.setOutputFileNames(*sideFilePrefix)) {
        // Nothing was built: the reconstruction state is not set up.
        builder.closeFiles();
        failure = builder.failure;
        return false;
    }
    builder.setOptions(settings.keepLargestComponent, settings.removeInconsistentFans,
                       settings.configuredMaxLayers);
    builder.rayHitDistance = settings.rayHitDistance;
    builder.rayReach = settings.rayReach;
    builder.maxFanTilt = settings.maxFanTilt;
    builder.openRiseLimit = settings.openRiseLimit;
    builder.hiddenUnderTrianglesOnly = settings.hiddenUnderTrianglesOnly;
    builder.refuseThirdFaces = settings.refuseThirdFaces;
    builder.strictSeedCheck = settings.strictSeedCheck;
    builder.seedCheckIgnoresNearWalls = settings.seedCheckIgnoresNearWalls;
    builder.bridgePinchedPoints = settings.bridgePinchedPoints;
    builder.keepFoldNeighbours = settings.keepFoldNeighbours;
    builder.foldRemovalKeepsPiecesJoined = settings.foldRemovalKeepsPiecesJoined;
    builder.joinFacingPieces = settings.joinFacingPieces;
    builder.seedUnreachedRegions = settings.seedUnreachedRegions;
    builder.unreachedSeedsCountNearWalls = settings.unreachedSeedsCountNearWalls;
    builder.fillPastInnerChords = settings.fillPastInnerChords;
    builder.reinsertAfterFoldRemoval = settings.reinsertAfterFoldRemoval;
    builder.refuseFoldingFlips = settings.refuseFoldingFlips;
    builder.openWiderLids = settings.openWiderLids;
    builder.joinPiecesAfterFolds = settings.joinPiecesAfterFolds;
    builder.joinAcrossBands = settings.joinAcrossBands;
    builder.keepFoldNeighboursOnThinParts = settings.keepFoldNeighboursOnThinParts;
    builder.attachRecords(); // also builds the octree over all records
    const bool built = builder.build();
    builder.closeFiles();
    builder.state.releaseGrowthData();
    faces = collectMeshFaces(builder.state, builder.totalCount);
    constructionSeconds = secondsSince(constructionStart);
    if (!built) {
        failure = builder.failure;
        return false;
    }
    if (faces.empty()) {
        // A point completes only as an accepted seed or through fans grown from one.
        noFaceReason = describeNoFace(preparation.vertices.data(), builder.state.activeCount,
                                      !builder.state.completionOrder.empty());
    }
    return true;
}

std::vector<int32_t> ReconstructionRun::facesInRecordOrder() const {
    std::vector<int32_t> corners;
    corners.reserve(faces.size() * 3);
    for (const MeshFace& face : faces) {
        corners.insert(corners.end(), {face.next, face.member, face.owner});
    }
    return corners;
}

std::vector<int32_t> ReconstructionRun::facesInInputOrder() const {
    std::vector<int32_t> corners = facesInRecordOrder();
    for (int32_t& corner : corners) {
        corner = preparation.inputIndex[corner];
    }
    return corners;
}

std::vector<double> ReconstructionRun::normalsInInputOrder() const {
    std::vector<double> normals(static_cast<size_t>(pointCount()) * 3);
    for (int32_t r = 0; r < pointCount(); ++r) {
        const Vector3& normal = preparation.vertices[r].normal;
        double* target = &normals[static_cast<size_t>(preparation.inputIndex[r]) * 3];
        target[0] = normal.x;
        target[1] = normal.y;
        target[2] = normal.z;
    }
    return normals;
}

std::vector<double> ReconstructionRun::preparedPositionsInInputOrder() const {
    std::vector<double> positions(static_cast<size_t>(pointCount()) * 3);
    for (int32_t r = 0; r < pointCount(); ++r) {
        const Vector3& position = preparation.vertices[r].position;
        double* target = &positions[static_cast<size_t>(preparation.inputIndex[r]) * 3];
        target[0] = position.x;
        target[1] = position.y;
        target[2] = position.z;
    }
    return positions;
}

std::vector<double> ReconstructionRun::preparedPositionsInRecordOrder() const {
    std::vector<double> positions;
    positions.reserve(static_cast<size_t>(pointCount()) * 3);
    for (int32_t r = 0; r < pointCount(); ++r) {
        const Vector3& position = preparation.vertices[r].position;
        positions.insert(positions.end(), {position.x, position.y, position.z});
    }
    return positions;
}

void ReconstructionRun::releaseRecords() {
    // The state holds per-record working lists and pointers into the records: it goes
    // first, replaced by an empty one that the builder's destructor can still meet.
    std::destroy_at(&builder.state);
    std::construct_at(&builder.state);
    builder.vertices = nullptr;
    std::vector<Vertex>().swap(preparation.vertices);
    std::vector<int32_t>().swap(preparation.inputIndex);
    std::vector<MeshFace>().swap(faces);
}

std::string checkPoints(const double* xyz, std::size_t count) {
    constexpr double LARGEST_FLOAT = 3.4028234663852886e38;
    for (std::size_t i = 0; i < count * 3; ++i) {
        const double value = xyz[i];
        if (!std::isfinite(value) || std::fabs(value) > LARGEST_FLOAT) {
            return "point " + std::to_string(i / 3 + 1) + " (counting from 1): a coordinate " +
                   (std::isfinite(value) ? "is beyond the single-precision range (about 3.4e38)"
                                         : "is not a finite number");
        }
    }
    return "";
}
