// Whole runs of the built program on generated samples: mesh quality through mesh_check,
// byte-identical output across runs, and the effect of the settings file on construction.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "support/TextFiles.h"

namespace {

namespace fs = std::filesystem;

const std::string BIN = FANMESH_BINARY_DIR;

using meshtest::readFile;

// A fresh working directory holding a generated "rawPoints.txt".
struct RunDirectory {
    fs::path path;

    RunDirectory(const std::string& shape, int count, int seed) {
        std::string pattern = (fs::temp_directory_path() / "fanmesh-e2e-XXXXXX").string();
        path = mkdtemp(pattern.data());
        shell(BIN + "/generate_sample " + shape + " " + std::to_string(count) + " " +
              std::to_string(seed) + " > rawPoints.txt");
    }
    ~RunDirectory() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }

    int shell(const std::string& command) const {
        return std::system(("cd '" + path.string() + "' && " + command).c_str());
    }
    void writeSettings(const std::string& text) const {
        std::ofstream(path / "configuration.txt") << text;
    }
    // Runs the program without console input; returns its console output.
    std::string run() const {
        EXPECT_EQ(shell("'" + BIN + "/fanmesh' < /dev/null > console.txt"), 0);
        return readFile(path / "console.txt");
    }
    std::string mesh() const { return readFile(path / "outOFFFile.ply"); }
    // The figures mesh_check reports, by name.
    std::map<std::string, double> check() const {
        EXPECT_EQ(shell("'" + BIN + "/mesh_check' rawPoints.txt outOFFFile.ply > check.txt"), 0);
        std::map<std::string, double> figures;
        std::istringstream lines(readFile(path / "check.txt"));
        std::string line;
        while (std::getline(lines, line)) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos) {
                figures[line.substr(0, colon)] = std::stod(line.substr(colon + 1));
            }
        }
        return figures;
    }
};

} // namespace

TEST(EndToEnd, TorusIsClosedConsistentAndReproducible) {
    RunDirectory dir("torus", 3000, 7);
    const std::string console = dir.run();
    EXPECT_NE(console.find("Constructing Surface ."), std::string::npos);
    EXPECT_NE(console.find("\n\nPerforming Cleaning up functions\n"), std::string::npos);
    EXPECT_NE(console.find("Timing for Surface Reconstruction = "), std::string::npos);
    const std::string first = dir.mesh();

    auto figures = dir.check();
    EXPECT_GE(figures["used fraction"], 0.97);
    EXPECT_EQ(figures["edges with more than two faces"], 0);
    EXPECT_GE(figures["consistent interior fraction"], 0.99);
    EXPECT_EQ(figures["components"], 1);

    dir.run();
    EXPECT_TRUE(dir.mesh() == first) << "second run wrote a different mesh";
}

TEST(EndToEnd, SettingsSteerSeedsLayersAndCleanUp) {
    RunDirectory dir("twospheres", 4000, 3);
    // Default: both spheres are built, and only the larger piece is kept.
    dir.run();
    auto figures = dir.check();
    EXPECT_EQ(figures["components"], 1);
    EXPECT_LT(figures["used fraction"], 0.6);

    // Without the largest-component pass the second sphere stays.
    dir.writeSettings("false\n20\n999\ntrue\n");
    dir.run();
    figures = dir.check();
    EXPECT_EQ(figures["components"], 2);
    EXPECT_GE(figures["used fraction"], 0.97);
    EXPECT_EQ(figures["edges with more than two faces"], 0);

    // One layer iteration in all: the seed loop stops after the first growth, so the
    // second sphere never gets a seed.
    dir.writeSettings("false\n20\n1\ntrue\n");
    dir.run();
    figures = dir.check();
    EXPECT_EQ(figures["components"], 1);
    EXPECT_LT(figures["used fraction"], 0.6);
}

TEST(EndToEnd, InconsistentFanRemovalCanBeSwitchedOff) {
    // On this sample the removal pass takes out one fan; switched off, that fan stays.
    RunDirectory dir("torus", 3000, 1);
    dir.run();
    const double facesOn = dir.check()["faces"];
    dir.writeSettings("true\n20\n999\nfalse\n");
    dir.run();
    const double facesOff = dir.check()["faces"];
    EXPECT_GT(facesOff, facesOn);
}

TEST(EndToEnd, OpenSurfaceKeepsItsPoints) {
    // An open half torus: hole closing puts lids on its two rims, and the inconsistent-fan
    // removal must not keep re-opening and re-folding them until the surface is eaten away.
    RunDirectory dir("halftorus", 3000, 3);
    dir.run();
    auto figures = dir.check();
    EXPECT_GE(figures["used fraction"], 0.97);
    EXPECT_EQ(figures["edges with more than two faces"], 0);
    EXPECT_GE(figures["consistent interior fraction"], 0.99);
}
