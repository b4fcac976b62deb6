// Run sequence: settings, point input and preparation, reconstruction, removal of the
// transient side files and the wait for Enter. Console output shares stdout between
// printf (error line and prompt) and std::cout (everything else); std::cout stays
// synchronised with stdio so both keep their order.
#include "driver/Run.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#include "api/ReconstructionRun.h"
#include "driver/Settings.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_OUTPUT_ERROR = 1;

const char* const TRANSIENT_SIDE_FILES[] = {
    "euclideanNeighbours.txt", "euclideanNeighboursOut.txt", "propagation.txt", "stats.txt",
    "timingForNeighbours.txt",
};

struct RunOptions {
    bool keepSideFiles = false;
};

// The only option is --keep-side-files; anything else is refused.
bool parseArguments(int argc, char** argv, RunOptions& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep-side-files") == 0) {
            options.keepSideFiles = true;
        } else {
            std::cerr << "fanmesh: unknown argument '" << argv[i] << "'\n"
                      << "usage: fanmesh [--keep-side-files]\n"
                      << "  Reads rawPoints.txt (and configuration.txt if present) in the\n"
                      << "  current directory and writes the mesh to outOFFFile.ply.\n"
                      << "  --keep-side-files  keep the intermediate text files\n";
            return false;
        }
    }
    return true;
}

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

int reportFileError() {
    std::cout << std::flush;
    std::printf("\nFile error\n");
    waitForEnter();
    return EXIT_INPUT_ERROR;
}

} // namespace

int runFanmesh(int argc, char** argv) {
    RunOptions options;
    if (!parseArguments(argc, argv, options)) {
        return EXIT_USAGE;
    }

    const Settings settings = readSettings();
    ReconstructionRun run;
    run.preparation.console = &std::cout;
    if (!run.preparation.loadPoints("rawPoints.txt") ||
        run.preparation.totalCount < MIN_POINT_COUNT) {
        return reportFileError();
    }

    int status = EXIT_OK;
    const std::string sideFilePrefix;
    if (run.run(settings, &std::cout, &sideFilePrefix)) {
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
