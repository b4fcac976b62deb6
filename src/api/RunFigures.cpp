// RunFigures: options to settings, and the report figures of a finished run.
#include "api/RunFigures.h"

#include "report/MeshFigures.h"

// The library's default is path mode's.
static_assert(fanmesh::Options{}.rayHitDistance == DEFAULT_RAY_HIT_DISTANCE);
static_assert(fanmesh::Options{}.rayReach == DEFAULT_RAY_REACH);
static_assert(fanmesh::Options{}.maxFanTilt == DEFAULT_MAX_FAN_TILT);
static_assert(fanmesh::Options{}.openRiseLimit == DEFAULT_OPEN_RISE_LIMIT);

Settings settingsOf(const fanmesh::Options& options) {
    Settings settings;
    settings.keepLargestComponent = !options.allComponents;
    settings.unwantedPointPercent = options.unwantedPercent;
    settings.configuredMaxLayers = options.maxLayers;
    settings.removeInconsistentFans = !options.keepInconsistentFans;
    settings.threads = options.threads;
    settings.rayHitDistance = options.rayHitDistance;
    settings.rayReach = options.rayReach;
    settings.maxFanTilt = options.maxFanTilt;
    settings.openRiseLimit = options.openRiseLimit;
    settings.hiddenUnderTrianglesOnly = options.hiddenUnderTriangles;
    settings.refuseThirdFaces = !options.allowThirdFaces;
    settings.strictSeedCheck = options.strictSeedCheck;
    settings.seedCheckIgnoresNearWalls = options.seedCheckIgnoresNearWalls;
    settings.bridgePinchedPoints = options.bridgePinchedPoints;
    settings.keepFoldNeighbours = options.keepFoldNeighbours;
    settings.foldRemovalKeepsPiecesJoined = options.foldRemovalKeepsPiecesJoined;
    settings.joinFacingPieces = options.joinFacingPieces;
    settings.seedUnreachedRegions = options.seedUnreachedRegions;
    settings.unreachedSeedsCountNearWalls = options.unreachedSeedsCountNearWalls;
    settings.fillPastInnerChords = options.fillPastInnerChords;
    settings.reinsertAfterFoldRemoval = options.reinsertAfterFoldRemoval;
    settings.refuseFoldingFlips = options.refuseFoldingFlips;
    settings.openWiderLids = options.openWiderLids;
    settings.joinPiecesAfterFolds = options.joinPiecesAfterFolds;
    settings.joinAcrossBands = options.joinAcrossBands;
    settings.keepFoldNeighboursOnThinParts = options.keepFoldNeighboursOnThinParts;
    return settings;
}

fanmesh::Report reportOf(const ReconstructionRun& run, const std::vector<int32_t>& faces) {
    const MeshFigures figures = computeMeshFigures(run.pointCount(), faces);
    fanmesh::Report report;
    report.pointsRead = run.pointCount();
    report.pointsUsed = figures.usedVertices;
    report.faces = figures.faceCount;
    report.components = figures.components;
    report.boundaryLoops = figures.boundaryLoops;
    report.nonManifoldEdges = figures.nonManifoldEdges;
    report.preparationSeconds = run.preparationSeconds;
    report.constructionSeconds = run.constructionSeconds;
    return report;
}
