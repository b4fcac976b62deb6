// Run sequence: the command line picks the mode; without an input path: settings, point
// input and preparation, reconstruction, removal of the transient side files and the wait
// for Enter. Console output shares stdout between
// printf (error line and prompt) and std::cout (everything else); std::cout stays
// synchronised with stdio so both keep their order.
#include "driver/Run.h"

#include <cstdio>
#include <iostream>
#include <sys/stat.h>

#include "api/ReconstructionRun.h"
#include "driver/CommandLine.h"
#include "driver/InterruptCleanup.h"
#include "driver/PathMode.h"
#include "driver/Settings.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_OUTPUT_ERROR = 1;
constexpr int EXIT_NO_FACE = 3;

const char* const MESH_FILE = "outOFFFile.ply";
const char* const PARTIAL_MESH_FILE = "outOFFFile.ply.partial";

const char* const TRANSIENT_SIDE_FILES[] = {
    "euclideanNeighbours.txt", "euclideanNeighboursOut.txt", "propagation.txt", "stats.txt",
    "timingForNeighbours.txt",
};

void removeSideFiles() {
    for (const char* name : TRANSIENT_SIDE_FILES) {
        std::remove(name); // a file that is not there is not an error
    }
}

// Prints the prompt and discards standard input up to the next line end or its end.
void waitForEnter() {
    std::printf("Press [Enter] to continue");
    std::fflush(stdout);
    int c;
    do {
        c = std::getchar();
    } while (c != '\n' && c != EOF);
}

// After a failed run: when a mesh file from an earlier run is present (it is left as it
// is), says that it is not this run's result.
void reportNoNewMesh() {
    struct stat status;
    if (stat(MESH_FILE, &status) == 0) {
        std::cerr << "fanmesh: no new mesh was written; " << MESH_FILE
                  << " is left from an earlier run\n";
    }
}

// Names the failure on standard error (one line), then shows "File error" and the prompt.
int reportFileError(const std::string& failure) {
    std::cout << std::flush;
    std::cerr << "fanmesh: " << failure << "\n";
    reportNoNewMesh();
    std::cerr << std::flush;
    std::printf("\nFile error\n");
    forgetRecordedFiles(); // nothing was created
    waitForEnter();
    return EXIT_INPUT_ERROR;
}

} // namespace

int runFanmesh(int argc, char** argv) {
    CommandLine options;
    const int parsed = parseCommandLine(argc, argv, options);
    if (parsed >= 0) {
        return parsed;
    }
    if (!options.input.empty()) {
        return runPathMode(options);
    }

    // An interruption removes the side files and the partial mesh that this run creates.
    installInterruptCleanup();
    for (const char* name : TRANSIENT_SIDE_FILES) {
        recordFileToCreate(name);
    }
    recordFileToCreate(PARTIAL_MESH_FILE);

    Failure settingsFailure;
    Settings settings = readSettings("configuration.txt", &settingsFailure);
    if (settingsFailure.failed()) {
        return reportFileError(settingsFailure.describe());
    }
    settings.threads = options.threads;
    settings.rayHitDistance = options.rayHitDistance > 0.0 ? options.rayHitDistance : 0.0;
    settings.hiddenUnderTrianglesOnly = options.hiddenUnderTriangles;
    ReconstructionRun run;
    run.preparation.console = &std::cout;
    if (!run.preparation.loadPoints("rawPoints.txt")) {
        return reportFileError(run.preparation.failure);
    }
    if (run.preparation.totalCount < MIN_POINT_COUNT) {
        return reportFileError(Failure{"rawPoints.txt", 0,
                                       std::to_string(run.preparation.totalCount) +
                                           " points read; at least " +
                                           std::to_string(MIN_POINT_COUNT) + " are needed"}
                                   .describe());
    }

    int status = EXIT_OK;
    const std::string sideFilePrefix;
    if (run.run(settings, &std::cout, &sideFilePrefix)) {
        std::cout << std::flush;
        for (const std::string& notice : run.preparation.notices) {
            std::cerr << "fanmesh: " << run.preparation.pointFileName << ": " << notice << "\n";
        }
        if (run.faces.empty()) {
            // A mesh without faces is no result: no mesh file is written.
            std::cout << "Number of points: " << run.pointCount() << "\n"
                      << "Number of faces: 0\n\n"
                      << std::flush;
            std::cerr << "fanmesh: " << run.preparation.pointFileName
                      << ": no face could be built: " << run.noFaceReason << "\n";
            status = EXIT_NO_FACE;
        } else if (!run.builder.writeMesh(MESH_FILE, run.faces)) {
            std::cerr << "fanmesh: " << run.builder.failure << "\n";
            status = EXIT_OUTPUT_ERROR;
        }
    } else {
        std::cerr << "fanmesh: " << run.failure << "\n";
        status = run.preparation.failure.empty() ? EXIT_OUTPUT_ERROR : EXIT_INPUT_ERROR;
    }
    if (status != EXIT_OK) {
        reportNoNewMesh();
    }

    std::cout << std::flush;
    if (!options.keepSideFiles) {
        removeSideFiles();
    }
    forgetRecordedFiles(); // what is left now is the run's finished result
    waitForEnter();
    return status;
}
