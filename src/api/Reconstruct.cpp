// The library call: checks the points, runs the one pipeline silently and without side
// files, and hands back faces, normals and figures in the input's order.
#include <cstdint>

#include "api/ReconstructionRun.h"
#include "api/RunFigures.h"
#include "fanmesh/fanmesh.h"

namespace fanmesh {

const char* version() {
    return FANMESH_VERSION;
}

Result reconstruct(const double* xyz, std::size_t count, const Options& options) {
    const Settings settings = settingsOf(options);
    if (const std::string badOption = settingsRangeError(settings); !badOption.empty()) {
        throw Error(badOption);
    }
    if (count > static_cast<std::size_t>(INT32_MAX)) {
        throw Error("too many points: " + std::to_string(count) + ", at most " +
                    std::to_string(INT32_MAX) + " are supported");
    }
    if (xyz == nullptr && count > 0) {
        throw Error("no point data given for " + std::to_string(count) + " points");
    }
    const std::string badPoint = checkPoints(xyz, count);
    if (!badPoint.empty()) {
        throw Error(badPoint);
    }

    ReconstructionRun run;
    if (count > 0) {
        run.preparation.storePoints(xyz, static_cast<int32_t>(count));
    }
    if (!run.run(settings, nullptr, nullptr)) {
        throw Error(run.failure);
    }

    Result result;
    result.faces = run.facesInInputOrder();
    result.normals = run.normalsInInputOrder();
    if (options.preparedCoordinates) {
        result.preparedCoordinates = run.preparedPositionsInInputOrder();
    }
    run.releaseRecords(); // the figures below need none of them
    result.report = reportOf(run, result.faces);
    result.noFaceReason = run.noFaceReason;
    return result;
}

Result reconstruct(std::span<const double> xyz, const Options& options) {
    if (xyz.size() % 3 != 0) {
        throw Error("the point array holds " + std::to_string(xyz.size()) +
                    " values, not a multiple of 3 (x, y, z per point)");
    }
    return reconstruct(xyz.data(), xyz.size() / 3, options);
}

} // namespace fanmesh
