// End-to-end runs of the fanmesh binary in a fresh directory: the "File error" paths,
// argument handling, progress dots and the removal of the transient side files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    };
    for (const auto& c : cases) {
        RunDirectory directory;
        if (c.points > 0) {
            directory.generate("sphere", c.points);
        } else if (c.points == 0) {
            std::ofstream(directory.path / "rawPoints.txt") << "1 2 3\n4 5 six\n";
        }
        std::string output;
        EXPECT_EQ(directory.run(output, c.arguments), c.status) << c.points;
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
        std::string output;
        EXPECT_EQ(directory.run(output), 0) << count;
        const std::string progress =
            "Calculating Neighborhood Points" + std::string(count / 500, '.') + FINISHED;
        EXPECT_NE(output.find("\n\n" + std::string(80, '-') + "\n" + progress), std::string::npos)
            << output;
        EXPECT_TRUE(endsWith(output, "Press [Enter] to continue")) << output;
        EXPECT_EQ(directory.files(), (std::vector<std::string>{"outOFFFile.ply", "rawPoints.txt"}));
    }
    RunDirectory directory;
    directory.generate("sphere", 200);
    std::string output;
    EXPECT_EQ(directory.run(output, "--keep-side-files"), 0);
    EXPECT_TRUE(std::filesystem::exists(directory.path / "euclideanNeighbours.txt"));
    EXPECT_TRUE(std::filesystem::exists(directory.path / "timingForNeighbours.txt"));
}

} // namespace
