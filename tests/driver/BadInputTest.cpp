// Whole-program runs on bad input: the exit status, the reason on standard error, the
// "File error" line, which files exist afterwards, points set aside without changing the
// mesh of the rest, and the clean-up after SIGINT and SIGTERM.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/MeshFiles.h"
#include "support/RunDirectory.h"

namespace {

using meshtest::readFile;
using meshtest::readMesh;
using meshtest::RunDirectory;

// Point lines "x y z" of count points, point i at place(i).
template <typename Place> std::string pointLines(int count, Place place) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const auto [x, y, z] = place(i);
        text += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
    }
    return text;
}

TEST(BadInput, RefusalsNameTheFileLineAndFault) {
    struct Point {
        int x, y, z;
    };
    const std::string collinear = pointLines(60, [](int i) { return Point{i, 0, 0}; });
    const std::string grid = pointLines(2500, [](int i) { return Point{i / 50, i % 50, 0}; });
    // 25 points spread over a box, on no line or plane.
    const std::string few = pointLines(25, [](int i) {
        return Point{i * 7 % 25, i * i % 23, i * i * i % 19};
    });
    const struct {
        std::string points, settings;
        bool staleMesh;
        int status;
        std::string reason;
        bool fileError;
    } cases[] = {
        {"", "", false, 1, "rawPoints.txt: the point file cannot be opened: No such file", true},
        {"1 2 3\n4 5 6\n7 8 9mm\n", "", false, 1,
         "rawPoints.txt, line 3: the third value '9mm' is not a decimal number", true},
        {std::string("1 2 3\n\0\0\0\0\0\0\n4 5 6\n", 20), "", true, 1,
         "rawPoints.txt, line 2: the line holds a NUL byte", true},
        {"1 2 3\n4 5 6\n", "", false, 1, "rawPoints.txt: 2 points read; at least 17 are needed",
         true},
        {collinear, std::string("true\n2\0\n", 8), false, 1,
         "configuration.txt, line 2: the line holds a NUL byte", true},
        {collinear, "", false, 3,
         "rawPoints.txt: no face could be built: all 60 usable points lie on one line\n", false},
        {collinear, "", true, 3, "rawPoints.txt: no face could be built: all 60", false},
        {grid, "", false, 3,
         "rawPoints.txt: no face could be built: all 2500 usable points lie exactly in one plane "
         "and no seed point got a first fan\n",
         false},
        {few, "", false, 3,
         "rawPoints.txt: no face could be built: only 25 usable points, too few to grow a "
         "surface over them\n",
         false},
    };
    for (const auto& c : cases) {
        RunDirectory directory;
        if (!c.points.empty()) {
            directory.write("rawPoints.txt", c.points);
        }
        if (!c.settings.empty()) {
            directory.write("configuration.txt", c.settings);
        }
        if (c.staleMesh) {
            directory.write("outOFFFile.ply", "earlier mesh\n");
        }
        const meshtest::Outcome outcome = directory.fanmesh();
        EXPECT_EQ(outcome.status, c.status) << c.reason;
        EXPECT_EQ(outcome.errors.rfind("fanmesh: " + c.reason, 0), 0u) << outcome.errors;
        EXPECT_EQ(outcome.console.find("\nFile error\n") != std::string::npos, c.fileError)
            << c.reason;
        // A failed run writes no mesh and leaves an earlier one untouched, saying so.
        const auto stale = outcome.errors.find("outOFFFile.ply is left from an earlier run");
        EXPECT_EQ(stale != std::string::npos, c.staleMesh) << outcome.errors;
        EXPECT_EQ(std::filesystem::exists(directory.path / "outOFFFile.ply"), c.staleMesh);
        if (c.staleMesh) {
            EXPECT_EQ(readFile(directory.path / "outOFFFile.ply"), "earlier mesh\n");
        }
        for (const std::string& name : directory.files()) {
            EXPECT_TRUE(name == "rawPoints.txt" || name == "configuration.txt" ||
                        name == "outOFFFile.ply")
                << name << " left after: " << c.reason;
        }
    }
}

TEST(BadInput, PointsAfterAShortLineAreReportedAsNotRead) {
    // A short line ends a text file's points; points after it would be lost without a word.
    RunDirectory directory;
    directory.generate("sphere", 400, 2);
    ASSERT_EQ(directory.shell("head -n 200 rawPoints.txt > gap.xyz && echo >> gap.xyz && "
                              "tail -n +201 rawPoints.txt >> gap.xyz && "
                              "cp rawPoints.txt last.xyz && printf '0 0 1' >> last.xyz && "
                              "cp rawPoints.txt ends.xyz && printf '\\n\\n' >> ends.xyz"),
              0);
    const struct {
        std::string file, warning;
    } cases[] = {
        {"gap.xyz", "gap.xyz: line 201: warning: this line is shorter than 6 characters and "
                    "ends the points; 200 lines holding three numbers from here on are not read"},
        {"last.xyz", "last.xyz: line 401: warning: this line is shorter than 6 characters and "
                     "ends the points; 1 line holding three numbers from here on is not read"},
        {"ends.xyz", ""}, // empty lines at the end hide no point
    };
    for (const auto& c : cases) {
        const meshtest::Outcome outcome = directory.fanmesh(c.file + " -q");
        EXPECT_EQ(outcome.status, 0) << c.file;
        if (c.warning.empty()) {
            EXPECT_EQ(outcome.errors.find("ends the points"), std::string::npos) << outcome.errors;
        } else {
            EXPECT_NE(outcome.errors.find(c.warning), std::string::npos) << outcome.errors;
        }
    }
}

TEST(BadInput, RepeatedAndFarPointsLeaveTheMeshOfTheRestUnchanged) {
    RunDirectory clean;
    clean.generate("torus", 1500);
    ASSERT_EQ(clean.fanmesh().status, 0);
    const std::string points = readFile(clean.path / "rawPoints.txt");
    const std::vector<int32_t> faces = readMesh(clean.path / "outOFFFile.ply").faces;
    ASSERT_GT(faces.size(), 2000u);

    const struct {
        std::string points;
        int extra;
        std::string notice;
    } cases[] = {
        {points + points, 1500,
         "1500 points repeat an earlier point exactly and stay unused (lines 1501, 1502"},
        {"1e9 1e9 1e9\n" + points + "-3e38 0 0\n", 2,
         "2 points lie far from all others and stay unused (lines 1, 1502)"},
    };
    for (const auto& c : cases) {
        RunDirectory directory;
        directory.write("rawPoints.txt", c.points);
        const meshtest::Outcome outcome = directory.fanmesh();
        EXPECT_EQ(outcome.status, 0);
        EXPECT_NE(outcome.errors.find(c.notice), std::string::npos) << outcome.errors;
        EXPECT_NE(outcome.console.find("Number of points: " + std::to_string(1500 + c.extra)),
                  std::string::npos);
        EXPECT_EQ(readMesh(directory.path / "outOFFFile.ply").faces, faces) << c.notice;
    }
}

TEST(BadInput, InterruptionRemovesOnlyWhatTheRunCreated) {
    RunDirectory source;
    source.generate("torus", 60000);
    const std::string points = readFile(source.path / "rawPoints.txt");
    // Both modes under both signals. Files there before the run (an earlier mesh, a file of
    // a side file's name) stay as they were; path mode's side folder is removed when the run
    // created it.
    const struct {
        bool pathMode;
        int signalNumber;
        std::vector<std::string> before; // created before the run, holding "earlier\n"
    } cases[] = {
        {false, SIGINT, {"outOFFFile.ply", "propagation.txt"}},
        {false, SIGTERM, {}},
        {true, SIGINT, {}},
        {true, SIGTERM, {"out.ply", "side/propagation.txt"}},
    };
    for (const auto& c : cases) {
        RunDirectory directory;
        directory.write("rawPoints.txt", points);
        for (const std::string& name : c.before) {
            std::filesystem::create_directories((directory.path / name).parent_path());
            directory.write(name, "earlier\n");
        }
        const std::string side = c.pathMode ? "side/" : "";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            if (chdir(directory.path.c_str()) == 0) {
                const char* program = FANMESH_BINARY_DIR "/fanmesh";
                if (c.pathMode) {
                    execl(program, "fanmesh", "rawPoints.txt", "-o", "out.ply", "--side-files",
                          "side", static_cast<char*>(nullptr));
                } else {
                    execl(program, "fanmesh", static_cast<char*>(nullptr));
                }
            }
            _exit(127);
        }
        // Interrupt once the run has created its side files and begun to grow the surface.
        for (int i = 0; i < 6000 && !std::filesystem::exists(directory.path / (side + "stats.txt"));
             ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_TRUE(std::filesystem::exists(directory.path / (side + "euclideanNeighbours.txt")));
        kill(child, c.signalNumber);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signalNumber);
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(directory.path)) {
            left.push_back(entry.path().lexically_relative(directory.path).string());
        }
        std::sort(left.begin(), left.end());
        std::vector<std::string> expected = c.before;
        expected.push_back("rawPoints.txt");
        if (c.pathMode && !c.before.empty()) {
            expected.push_back("side");
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(left, expected) << "signal " << c.signalNumber;
        for (const std::string& name : c.before) {
            EXPECT_EQ(readFile(directory.path / name), "earlier\n") << name;
        }
    }
}

} // namespace
