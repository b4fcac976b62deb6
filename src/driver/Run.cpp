// Run sequence: the command line picks the mode; without an input path: settings, point
// input and preparation, reconstruction, removal of the transient side files and the wait
// for Enter. Console output shares stdout between
// printf (error line and prompt) and std::cout (everything else); std::cout stays
// synchronised with stdio so both keep their order.
#include "driver/Run.h"

#include <cstdio>
#include <iostream>

#include "api/ReconstructionRun.h"
#include "driver/CommandLine.h"
#include "driver/PathMode.h"
#include "driver/Settings.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_OUTPUT_ERROR = 1;

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

// Names the failure on standard error (one line), then shows "File error" and the prompt.
int reportFileError(const std::string& failure) {
    std::cout << std::flush;
    std::cerr << "fanmesh: " << failure << "\n" << std::flush;
    std::printf("\nFile error\n");
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

    Failure settingsFailure;
    Settings settings = readSettings("configuration.txt", &settingsFailure);
    if (settingsFailure.failed()) {
        return reportFileError(settingsFailure.describe());
    }
    settings.threads = options.threads;
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
        if (!run.builder.writeMesh("outOFFFile.ply")) {
            std::cerr << "fanmesh: " << run.builder.failure << "\n";
            status = EXIT_OUTPUT_ERROR;
        }
    } else {
        std::cerr << "fanmesh: " << run.failure << "\n";
        status = run.preparation.failure.empty() ? EXIT_OUTPUT_ERROR : EXIT_INPUT_ERROR;
    }

    std::cout << std::flush;
    if (!options.keepSideFiles) {
        removeSideFiles();
    }
    waitForEnter();
    return status;
}
