// End-to-end runs of the fanmesh binary in a fresh directory: the "File error" paths,
// argument handling, progress dots and the removal of the transient side files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string FILE_ERROR_TAIL = "\nFile error\nPress [Enter] to continue";
const std::string FINISHED = "\nFinished Calculating Neighbors\n";

struct RunResult {
    int status;
    std::string output;
};

struct RunDirectory {
    fs::path path;

    RunDirectory() {
        std::string pattern = ::testing::TempDir() + "fanmeshrunXXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~RunDirectory() { fs::remove_all(path); }

    // Runs the binary inside the directory with standard input at its end; stderr is
    // discarded so that the directory holds only what the program itself writes.
    RunResult run(const std::string& arguments = "") const {
        const std::string command = "cd '" + path.string() +
                                    "' && '" FANMESH_BINARY_DIR "/fanmesh' " + arguments +
                                    " < /dev/null 2> /dev/null";
        std::FILE* pipe = popen(command.c_str(), "r");
        RunResult result{-1, ""};
        if (pipe == nullptr) {
            return result;
        }
        char buffer[4096];
        std::size_t read;
        while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            result.output.append(buffer, read);
        }
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Writes `count` points spread evenly over a sphere of radius 5 as rawPoints.txt.
    void writeSpherePoints(int count) const {
        std::FILE* file = std::fopen((path / "rawPoints.txt").c_str(), "w");
        ASSERT_NE(file, nullptr);
        const double goldenAngle = 3.14159265358979323846 * (3.0 - std::sqrt(5.0));
        for (int i = 0; i < count; ++i) {
            const double z = 1.0 - 2.0 * (i + 0.5) / count;
            const double r = std::sqrt(1.0 - z * z);
            std::fprintf(file, "%f %f %f\n", 5.0 * r * std::cos(goldenAngle * i),
                         5.0 * r * std::sin(goldenAngle * i), 5.0 * z);
        }
        std::fclose(file);
    }
};

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
            directory.writeSpherePoints(c.points);
        } else if (c.points == 0) {
            std::ofstream(directory.path / "rawPoints.txt") << "1 2 3\n4 5 six\n";
        }
        const RunResult result = directory.run(c.arguments);
        if (c.points < 0) {
            EXPECT_EQ(result.output, FILE_ERROR_TAIL);
            EXPECT_TRUE(directory.files().empty());
        } else {
            EXPECT_TRUE(endsWith(result.output, c.outputTail)) << result.output;
            EXPECT_EQ(c.outputTail.empty(), result.output.empty());
            EXPECT_EQ(directory.files(), std::vector<std::string>{"rawPoints.txt"});
        }
        EXPECT_EQ(result.status, c.status) << c.points;
    }
}

TEST(Run, ProgressDotsAndSideFileRemoval) {
    const char* const sideFiles[] = {"euclideanNeighbours.txt", "euclideanNeighboursOut.txt",
                                     "propagation.txt", "stats.txt", "timingForNeighbours.txt"};
    for (int count : {499, 500, 1000}) {
        RunDirectory directory;
        directory.writeSpherePoints(count);
        const RunResult result = directory.run();
        EXPECT_EQ(result.status, 0) << count;
        const std::string progress =
            "Calculating Neighborhood Points" + std::string(count / 500, '.') + FINISHED;
        EXPECT_NE(result.output.find("\n\n" + std::string(80, '-') + "\n" + progress),
                  std::string::npos)
            << result.output;
        EXPECT_TRUE(endsWith(result.output, "Press [Enter] to continue")) << result.output;
        for (const char* name : sideFiles) {
            EXPECT_FALSE(fs::exists(directory.path / name)) << name;
        }
        EXPECT_TRUE(fs::exists(directory.path / "rawPoints.txt"));
    }
    RunDirectory directory;
    directory.writeSpherePoints(200);
    EXPECT_EQ(directory.run("--keep-side-files").status, 0);
    EXPECT_TRUE(fs::exists(directory.path / "euclideanNeighbours.txt"));
    EXPECT_TRUE(fs::exists(directory.path / "timingForNeighbours.txt"));
}

} // namespace
