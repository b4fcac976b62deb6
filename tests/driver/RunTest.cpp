// End-to-end runs of the fanmesh binary in a fresh directory: the "File error" paths,
// argument handling, progress dots, the removal of the transient side files and the same
// output for every thread count.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/RunDirectory.h"

namespace {

using meshtest::RunDirectory;

const std::string FILE_ERROR_TAIL = "\nFile error\nPress [Enter] to continue";
const std::string FINISHED = "\nFinished Calculating Neighbors\n";

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Run, FailuresLeaveOnlyTheInputFile) {
    const struct {
        int points; // -1: no point file, 0: a bad line
        std::string arguments, outputTail;
        int status;
    } cases[] = {
        {-1, "", FILE_ERROR_TAIL, 1},
        {16, "", "Calculating Neighborhood Points" + FINISHED + FILE_ERROR_TAIL, 1},
        {0, "", "Calculating Neighborhood Points" + FILE_ERROR_TAIL, 1},
        {100, "--keep-side-file", "", 2},
        {100, "--threads", "", 2},
        {100, "--threads 0", "", 2},
        {100, "--threads 2x", "", 2},
        {100, "--ray-hit-distance", "", 2},
        {100, "--ray-hit-distance -1", "", 2},
        {100, "--ray-hit-distance 0.5x", "", 2},
    };
    for (const auto& c : cases) {
        RunDirectory directory;
        if (c.points > 0) {
            directory.generate("sphere", c.points);
        } else if (c.points == 0) {
            directory.write("rawPoints.txt", "1 2 3\n4 5 six\n");
        }
        const auto [status, output, errors] = directory.fanmesh(c.arguments);
        EXPECT_EQ(status, c.status) << c.points;
        if (c.points < 0) {
            EXPECT_EQ(output, FILE_ERROR_TAIL);
            EXPECT_TRUE(directory.files().empty());
        } else {
            EXPECT_TRUE(endsWith(output, c.outputTail)) << output;
            EXPECT_EQ(c.outputTail.empty(), output.empty());
            EXPECT_EQ(directory.files(), std::vector<std::string>{"rawPoints.txt"});
        }
    }
}

TEST(Run, ProgressDotsAndSideFileRemoval) {
    for (int count : {499, 500, 1000}) {
        RunDirectory directory;
        directory.generate("sphere", count);
        const auto [status, output, errors] = directory.fanmesh();
        EXPECT_EQ(status, 0) << count;
        const std::string progress =
            "Calculating Neighborhood Points" + std::string(count / 500, '.') + FINISHED;
        EXPECT_NE(output.find("\n\n" + std::string(80, '-') + "\n" + progress), std::string::npos)
            << output;
        EXPECT_TRUE(endsWith(output, "Press [Enter] to continue")) << output;
        EXPECT_EQ(directory.files(), (std::vector<std::string>{"outOFFFile.ply", "rawPoints.txt"}));
    }
    RunDirectory directory;
    directory.generate("sphere", 200);
    EXPECT_EQ(directory.fanmesh("--keep-side-files").status, 0);
    EXPECT_TRUE(std::filesystem::exists(directory.path / "euclideanNeighbours.txt"));
    EXPECT_TRUE(std::filesystem::exists(directory.path / "timingForNeighbours.txt"));
}

// The whole transcript of a folder run, with its two timings masked, stays as it is.
TEST(Run, FolderRunTranscriptIsPinned) {
    RunDirectory directory;
    directory.generate("sphere", 500, 1);
    auto [status, output, errors] = directory.fanmesh();
    ASSERT_EQ(status, 0);
    for (const std::string label : {"Calculation = ", "Reconstruction = "}) {
        const size_t start = output.find(label);
        ASSERT_NE(start, std::string::npos) << label;
        const size_t end = output.find(" seconds.", start);
        output.replace(start + label.size(), end - start - label.size(), "T");
    }
    EXPECT_EQ(output, "fanmesh: triangle mesh reconstruction from unorganised points\n"
                      "Surface grown as triangle fans over the point cloud\n\n" +
                          std::string(80, '-') +
                          "\nCalculating Neighborhood Points.\n"
                          "Finished Calculating Neighbors\n"
                          "Timing for Neighborhood Calculation = T seconds.\n\n"
                          "Constructing Surface ....\n\n"
                          "Performing Cleaning up functions\n"
                          "Timing for Surface Reconstruction = T seconds.\n\n"
                          "Number of points: 500\nNumber of faces: 996\n\n"
                          "Press [Enter] to continue");
    const std::vector<std::string> mesh = meshtest::fileLines(directory.path / "outOFFFile.ply");
    ASSERT_EQ(mesh.size(), 10u + 500u + 996u);
    EXPECT_EQ(mesh[3], "element vertex 500");
    EXPECT_EQ(mesh[4], "property float32 x");
}

TEST(Run, EveryThreadCountWritesTheSameFiles) {
    const char* const compared[] = {"outOFFFile.ply", "euclideanNeighbours.txt",
                                    "euclideanNeighboursOut.txt", "propagation.txt", "stats.txt"};
    for (const char* shape : {"torus", "halftorus"}) {
        RunDirectory directory;
        directory.generate(shape, 6000, 3);
        std::vector<std::string> first;
        for (const char* threads : {"1", "2", "3", "8"}) {
            ASSERT_EQ(
                directory.fanmesh(std::string("--keep-side-files --threads ") + threads).status, 0);
            std::vector<std::string> contents;
            for (const char* name : compared) {
                contents.push_back(meshtest::readFile((directory.path / name).string()));
                EXPECT_FALSE(contents.back().empty()) << name;
            }
            if (first.empty()) {
                first = contents;
            }
            for (size_t i = 0; i < contents.size(); ++i) {
                EXPECT_TRUE(contents[i] == first[i])
                    << compared[i] << ", " << threads << " threads";
            }
        }
    }
}

} // namespace
