// Run sequence: settings, point input and preparation, reconstruction, removal of the
// transient side files and the wait for Enter. Console output shares stdout between
// printf (error line and prompt) and std::cout (everything else); std::cout stays
// synchronised with stdio so both keep their order.
#include "driver/Run.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#include "driver/Settings.h"
#include "prep/PointSetPreparation.h"
#include "recon/MeshBuilder.h"
#include "recon/Vertex.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_INPUT_ERROR = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_OUTPUT_ERROR = 1;

// The neighbour search needs every point to have NEIGHBOUR_COUNT other points.
constexpr int32_t MIN_POINT_COUNT = NEIGHBOUR_COUNT + 1;

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

// Hands the prepared records to the builder, grows the surface and writes the output
// files; false when one of the builder's files could not be written.
bool reconstruct(PointSetPreparation& preparation, MeshBuilder& builder, const Settings& settings) {
    builder.setHandOver(preparation.handOverCount, preparation.handOverTop, preparation.keptCount,
                        preparation.handOverHeader);
    builder.vertices = preparation.vertices.data();
    builder.prepareConstruction();
    bool written = builder.setOutputFileNames("");
    if (written) {
        builder.setOptions(settings.keepLargestComponent, settings.removeInconsistentFans,
                           settings.configuredMaxLayers);
        builder.attachRecords(); // also builds the octree over all records
        written = builder.build();
    }
    builder.closeFiles();
    return written;
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
    PointSetPreparation preparation;
    MeshBuilder builder; // destroyed before the preparation, whose records it borrows

    if (!preparation.loadPoints("rawPoints.txt")) {
        return reportFileError();
    }
    if (preparation.totalCount < MIN_POINT_COUNT) {
        return reportFileError();
    }
    preparation.setSideFileNames("");
    preparation.unwantedRatio = static_cast<float>(settings.unwantedPointPercent * 0.01);

    int status = EXIT_OK;
    if (preparation.runPreparation()) {
        if (!reconstruct(preparation, builder, settings)) {
            status = EXIT_OUTPUT_ERROR;
        }
    } else {
        status = EXIT_INPUT_ERROR;
    }

    std::cout << std::flush;
    if (!options.keepSideFiles) {
        removeSideFiles();
    }
    waitForEnter();
    return status;
}
