// PathMode: reading the input in its format, the settings from file and command line, the one
// pipeline with progress on standard error, the mesh writer and the run report.
#include "driver/PathMode.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "api/ReconstructionRun.h"
#include "api/RunFigures.h"
#include "driver/InterruptCleanup.h"
#include "driver/RunPaths.h"
#include "driver/Settings.h"
#include "formats/FileName.h"
#include "formats/MeshWriter.h"
#include "formats/PlyReader.h"
#include "formats/PointFile.h"
#include "formats/ReplacingFile.h"
#include "report/RunReport.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_NO_FACE = 3;

// The side files a run writes when their folder is given.
const char* const SIDE_FILES[] = {
    "euclideanNeighbours.txt", "euclideanNeighboursOut.txt", "propagation.txt", "stats.txt",
    "timingForNeighbours.txt",
};

int fail(int status, const std::string& message) {
    std::cerr << "fanmesh: " << message << "\n";
    return status;
}

// fail, after removing what the run has created so far: side files, the folders made for
// them, partial outputs.
int failRun(int status, const std::string& message) {
    removeRecordedFiles();
    return fail(status, message);
}

// INPUT with its extension replaced by ".mesh.ply", in INPUT's folder.
std::string defaultOutputPath(const std::string& input) {
    std::filesystem::path path(input);
    path.replace_extension(".mesh.ply");
    return path.string();
}

// The settings file (when named) overridden by the settings given on the command line.
bool readRunSettings(const CommandLine& line, Settings& settings, std::string& error) {
    settings.unwantedPointPercent = DEFAULT_PATH_UNWANTED_PERCENT;
    if (!line.configFile.empty()) {
        std::FILE* file = std::fopen(line.configFile.c_str(), "r");
        if (file == nullptr) {
            error = line.configFile + ": cannot open: " + std::strerror(errno);
            return false;
        }
        std::fclose(file);
        std::error_code unknown;
        if (!std::filesystem::is_regular_file(line.configFile, unknown)) {
            error = line.configFile + ": cannot read: not a regular file";
            return false;
        }
        Failure failure;
        settings = readSettings(line.configFile.c_str(), &failure);
        if (failure.failed()) {
            error = failure.describe();
            return false;
        }
    }
    if (line.allComponentsGiven) {
        settings.keepLargestComponent = !line.allComponents;
    }
    if (line.unwantedPercentGiven) {
        settings.unwantedPointPercent = line.unwantedPercent;
    }
    if (line.maxLayersGiven) {
        settings.configuredMaxLayers = line.maxLayers;
    }
    if (line.keepInconsistentFansGiven) {
        settings.removeInconsistentFans = !line.keepInconsistentFans;
    }
    settings.threads = line.threads;
    settings.rayHitDistance = line.plainRayTest            ? 0.0
                              : line.rayHitDistance >= 0.0 ? line.rayHitDistance
                                                           : DEFAULT_RAY_HIT_DISTANCE;
    settings.rayReach = line.rayReach >= 0.0 ? line.rayReach : DEFAULT_RAY_REACH;
    settings.maxFanTilt = line.maxFanTilt >= 0.0 ? line.maxFanTilt : DEFAULT_MAX_FAN_TILT;
    settings.openRiseLimit =
        line.openRiseLimit >= 0.0 ? line.openRiseLimit : DEFAULT_OPEN_RISE_LIMIT;
    settings.hiddenUnderTrianglesOnly = !line.hiddenInWedges;
    settings.refuseThirdFaces = !line.allowThirdFaces;
    settings.strictSeedCheck = !line.plainSeedCheck;
    settings.seedCheckIgnoresNearWalls = !line.seedCheckNearWalls;
    settings.bridgePinchedPoints = !line.withdrawPinchedPoints;
    settings.keepFoldNeighbours = line.keepFoldNeighbours;
    settings.foldRemovalKeepsPiecesJoined = !line.foldRemovalMaySplit;
    settings.joinFacingPieces = !line.keepPiecesApart;
    settings.seedUnreachedRegions = !line.stopSeedingAtShare;
    settings.unreachedSeedsCountNearWalls = !line.unreachedSeedsIgnoreNearWalls;
    settings.fillPastInnerChords = !line.withdrawAtInnerChords;
    settings.reinsertAfterFoldRemoval = !line.leavePointsOutAfterFolds;
    settings.refuseFoldingFlips = !line.growthFlipsMayFold;
    settings.openWiderLids = !line.openAdjacentLidsOnly;
    settings.joinPiecesAfterFolds = !line.joinPiecesOnce;
    settings.joinAcrossBands = !line.joinNearBordersOnly;
    settings.keepFoldNeighboursOnThinParts = !line.withdrawFoldNeighboursOnThinParts;
    return true;
}

// Reads INPUT in its format (PLY, or text points) into the run's records and keeps the
// input coordinates.
bool readInput(const std::string& input, ReconstructionRun& run, std::vector<double>& coordinates,
               std::string& error) {
    PointFormat format = PointFormat::Text;
    error = detectPointFormat(input, format);
    if (!error.empty()) {
        return false;
    }
    if (format == PointFormat::Ply) {
        PointReadResult points = readPlyFile(input);
        if (!points.ok()) {
            error = points.error;
            return false;
        }
        coordinates = std::move(points.coordinates);
        if (coordinates.size() / 3 > static_cast<size_t>(INT32_MAX)) {
            error = input + ": more than 2147483647 points";
            return false;
        }
        if (!coordinates.empty()) {
            run.preparation.storePoints(coordinates.data(),
                                        static_cast<int32_t>(coordinates.size() / 3));
        }
        return true;
    }
    if (!run.preparation.loadPoints(input)) {
        error = run.preparation.failure.empty()
                    ? input + ": not a point file: every line must hold three decimal numbers "
                              "within the single-precision range, and at least one point is needed"
                    : run.preparation.failure; // names the file and the line
        return false;
    }
    coordinates.reserve(static_cast<size_t>(run.pointCount()) * 3);
    for (const Vertex& record : run.preparation.vertices) {
        coordinates.insert(coordinates.end(),
                           {record.position.x, record.position.y, record.position.z});
    }
    return true;
}

// The files the run reads and writes, with the roles that name them in a message.
std::vector<RunFile> filesOfRun(const CommandLine& line, const std::string& output) {
    std::vector<RunFile> files = {{"INPUT", line.input, false}};
    if (!line.configFile.empty()) {
        files.push_back({"--config", line.configFile, false});
    }
    files.push_back({"--output", output, true});
    files.push_back({"the temporary file of --output", temporaryPathFor(output), true});
    if (!line.reportFile.empty()) {
        files.push_back({"--report", line.reportFile, true});
        files.push_back(
            {"the temporary file of --report", temporaryPathFor(line.reportFile), true});
    }
    if (!line.sideFileFolder.empty()) {
        for (const char* name : SIDE_FILES) {
            files.push_back({"the side file",
                             (std::filesystem::path(line.sideFileFolder) / name).string(), true});
        }
    }
    return files;
}

// Checks before any work that the outputs can be created where they are named: an error
// message, or an empty string.
std::string checkOutputPaths(const CommandLine& line, const std::string& output) {
    std::string error = checkCreatableFile(output);
    if (error.empty() && !line.reportFile.empty()) {
        error = checkCreatableFile(line.reportFile);
    }
    std::error_code unknown;
    if (error.empty() && !line.sideFileFolder.empty() &&
        std::filesystem::exists(line.sideFileFolder, unknown) &&
        !std::filesystem::is_directory(line.sideFileFolder, unknown)) {
        error = line.sideFileFolder + ": cannot hold the side files: not a folder";
    }
    return error;
}

} // namespace

int runPathMode(const CommandLine& line) {
    const std::string output = line.output.empty() ? defaultOutputPath(line.input) : line.output;
    MeshFormat format;
    if (!meshFormatForPath(output, line.binary, format)) {
        return fail(EXIT_USAGE, output + ": unknown mesh format \"" + lowerExtension(output) +
                                    "\" (expected .ply, .obj or .off)");
    }
    if (line.binary && format != MeshFormat::PlyBinary) {
        return fail(EXIT_USAGE, output + ": --binary applies only to a .ply mesh");
    }
    // Refused before any work: outputs that would overwrite the input, the settings file or
    // each other, and outputs that cannot be created where they are named.
    if (const std::string same = findSameFiles(filesOfRun(line, output)); !same.empty()) {
        return fail(EXIT_USAGE, same);
    }
    if (const std::string error = checkOutputPaths(line, output); !error.empty()) {
        return fail(EXIT_INPUT_ERROR, error);
    }
    Settings settings;
    std::string error;
    if (!readRunSettings(line, settings, error)) {
        return fail(EXIT_INPUT_ERROR, error);
    }
    // The command line checks its own values, so a value out of range comes from the file.
    if (const std::string badValue = settingsRangeError(settings); !badValue.empty()) {
        return fail(EXIT_USAGE,
                    line.configFile.empty() ? badValue : line.configFile + ": " + badValue);
    }

    ReconstructionRun run;
    std::vector<double> coordinates; // the input points as read, three per point
    if (!readInput(line.input, run, coordinates, error)) {
        return fail(EXIT_INPUT_ERROR, error);
    }
    // A text file whose points stop at a short line (an empty one, say) before its end: the
    // points after it are not read, as the format says, but the user is told.
    if (const PointDataEnd& end = run.preparation.dataEnd; end.unreadPointLines > 0) {
        std::cerr << "fanmesh: " << line.input << ": line " << end.line
                  << ": warning: this line is shorter than 6 characters and ends the points; "
                  << end.unreadPointLines << " line" << (end.unreadPointLines == 1 ? "" : "s")
                  << " holding three numbers from here on "
                  << (end.unreadPointLines == 1 ? "is" : "are") << " not read\n";
    }

    // An interruption removes the partial outputs and side files this run creates.
    installInterruptCleanup();
    recordFileToCreate(temporaryPathFor(output).c_str());
    if (!line.reportFile.empty()) {
        recordFileToCreate(temporaryPathFor(line.reportFile).c_str());
    }
    std::string sideFilePrefix;
    if (!line.sideFileFolder.empty()) {
        // The folders this run creates, outermost first, so that an interruption removes them.
        std::vector<std::filesystem::path> missing;
        std::error_code unknown;
        for (std::filesystem::path folder =
                 std::filesystem::path(line.sideFileFolder).lexically_normal();
             !folder.empty() && !std::filesystem::exists(folder, unknown) && !unknown;
             folder = folder.parent_path()) {
            if (folder.has_filename()) {
                missing.push_back(folder);
            }
        }
        for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
            recordFileToCreate(folder->c_str());
        }
        std::error_code created;
        std::filesystem::create_directories(line.sideFileFolder, created);
        if (created) {
            return failRun(EXIT_INPUT_ERROR, line.sideFileFolder + ": cannot create the folder: " +
                                                 created.message());
        }
        sideFilePrefix = (std::filesystem::path(line.sideFileFolder) / "").string();
        for (const char* name : SIDE_FILES) {
            recordFileToCreate((sideFilePrefix + name).c_str());
        }
    }
    // Progress only for a person watching: not with --quiet, nor into a file or pipe.
    std::ostream* progress = !line.quiet && isatty(STDERR_FILENO) ? &std::cerr : nullptr;
    if (!run.run(settings, progress, line.sideFileFolder.empty() ? nullptr : &sideFilePrefix)) {
        // A failure names its file (the input, or a side file); else it is the input's.
        const bool named = run.failure.rfind(line.input, 0) == 0 ||
                           (!sideFilePrefix.empty() && run.failure.rfind(sideFilePrefix, 0) == 0);
        return failRun(EXIT_INPUT_ERROR, named ? run.failure : line.input + ": " + run.failure);
    }
    for (const std::string& notice : run.preparation.notices) {
        std::cerr << "fanmesh: " << line.input << ": " << notice << "\n";
    }
    if (run.faces.empty()) {
        return failRun(EXIT_NO_FACE, line.input + ": no face could be built: " + run.noFaceReason +
                                         "; no mesh was written");
    }

    // The mesh and the report are both written completely under their temporary names
    // before either is put in place, so a failed report does not leave a new mesh behind.
    // The records and the construction's state are freed before the mesh is written and
    // its figures counted, which would otherwise add to their peak.
    const std::vector<int32_t> inputFaces = run.facesInInputOrder();
    std::vector<double> prepared;
    std::vector<int32_t> recordFaces;
    if (line.preparedCoordinates) {
        prepared = run.preparedPositionsInRecordOrder();
        recordFaces = run.facesInRecordOrder();
        std::vector<double>().swap(coordinates);
    }
    run.releaseRecords();
    ReplacingFile meshFile;
    if (line.preparedCoordinates) {
        error = writeMeshUnplaced(meshFile, output, format, prepared.data(), prepared.size() / 3,
                                  recordFaces.data(), recordFaces.size() / 3);
    } else {
        error = writeMeshUnplaced(meshFile, output, format, coordinates.data(),
                                  coordinates.size() / 3, inputFaces.data(), inputFaces.size() / 3);
    }
    if (!error.empty()) {
        return failRun(EXIT_INPUT_ERROR, error);
    }

    const fanmesh::Report report = reportOf(run, inputFaces);
    ReplacingFile reportFile;
    if (!line.reportFile.empty()) {
        error = reportFile.open(line.reportFile);
        if (error.empty()) {
            const std::string json = runReportJson(report, line.input, output);
            const bool written =
                std::fwrite(json.data(), 1, json.size(), reportFile.file) == json.size();
            error = reportFile.finish(written ? 0 : errno);
        }
        if (!error.empty()) {
            return failRun(EXIT_INPUT_ERROR, error);
        }
    }
    const std::string text = runReportText(report);
    if (!line.quiet) {
        std::cerr << text;
    } else if (const size_t warning = text.find("warning:"); warning != std::string::npos) {
        std::cerr << text.substr(warning);
    }
    // Only renames are left. The report goes first: should the mesh's rename fail, the new
    // report, which describes a mesh that was not put in place, is removed again.
    if (!line.reportFile.empty()) {
        error = reportFile.replace();
        if (!error.empty()) {
            return failRun(EXIT_INPUT_ERROR, error);
        }
    }
    error = meshFile.replace();
    if (!error.empty()) {
        if (!line.reportFile.empty()) {
            std::remove(line.reportFile.c_str());
        }
        return failRun(EXIT_INPUT_ERROR, error);
    }
    forgetRecordedFiles(); // the outputs are final now
    return EXIT_OK;
}
