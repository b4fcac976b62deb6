// Output files: the mesh (header, vertex lines, one face per distinct triangle in reversed
// fan order), the fan dump (cut fans, uncompleted points), the statistics file and the
// refusal to leave a half-written mesh when a file cannot be created.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "recon/MeshBuilder.h"
#include "support/MeshInvariants.h"
#include "support/TextFiles.h"

namespace {

namespace fs = std::filesystem;

using meshtest::fileLines;
using meshtest::readFile;

// Runs each test in its own empty working directory.
class OutputFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        directory = fs::temp_directory_path() /
                    ("fanmesh-output-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                     "-" + std::to_string(getpid()));
        fs::remove_all(directory);
        fs::create_directories(directory);
        fs::current_path(directory);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(directory);
    }

    // A builder over the cloud's records and fans, as after a construction.
    void attach(MeshBuilder& builder, meshtest::TestCloud& cloud) {
        builder.console = &std::cout;
        builder.vertices = cloud.records.data();
        builder.totalCount = cloud.size();
        cloud.attachTo(builder.state);
        builder.state.pointState = cloud.state.pointState;
    }

    fs::path previous;
    fs::path directory;
};

// The three writers in the order the build runs them after construction.
bool writeOutputs(MeshBuilder& builder) {
    bool written = builder.writeNeighboursOut(builder.neighboursOutFileName);
    written = builder.writePropagation(builder.propagationFileName) && written;
    return builder.writeMesh(builder.meshFileName) && written;
}

const char* const PLY_HEADER_START = "ply\nformat ascii 1.0\ncomment made by anonymous\n";

} // namespace

TEST_F(OutputFiles, TetrahedronWritesEachTriangleOnceInReversedFanOrder) {
    meshtest::TestCloud cloud(
        {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)});
    cloud.setFan(0, {1, 2, 3});
    cloud.setFan(1, {2, 0, 3});
    cloud.setFan(2, {0, 1, 3});
    cloud.setFan(3, {0, 2, 1});
    MeshBuilder builder;
    attach(builder, cloud);
    ASSERT_TRUE(builder.setOutputFileNames(""));

    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(writeOutputs(builder));
    const std::string console = ::testing::internal::GetCapturedStdout();
    builder.closeFiles();

    EXPECT_EQ(console, "Number of points: 4\nNumber of faces: 4\n\n");
    EXPECT_EQ(readFile("outOFFFile.ply"),
              std::string(PLY_HEADER_START) +
                  "element vertex 4\nproperty float32 x\nproperty float32 y\n"
                  "property float32 z\nelement face 4\n"
                  "property list uint8 int32 vertex_index\nend_header\n"
                  "0.000000 0.000000 0.000000\n1.000000 0.000000 0.000000\n"
                  "0.000000 1.000000 0.000000\n0.000000 0.000000 1.000000\n"
                  "3 2 1 0\n3 3 2 0\n3 1 3 0\n3 2 3 1\n");
    EXPECT_FALSE(fs::exists("outOFFFile.ply.partial"));
    EXPECT_EQ(readFile("stats.txt"), "Model: \n");

    // A fan of two entries lists the same triangle in both orientations: kept once, with
    // the orientation of its first occurrence.
    meshtest::TestCloud pair({Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0)});
    pair.setFan(0, {1, 2});
    const std::vector<MeshFace> faces = collectMeshFaces(pair.state, 3);
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(faces[0].member, 1);
    EXPECT_EQ(faces[0].next, 2);
}

TEST_F(OutputFiles, NothingCompletedGivesHeaderAndVerticesOnly) {
    meshtest::TestCloud cloud({Vector3(0.5, -1, 2), Vector3(1, 0, 0), Vector3(0, 1, 0)});
    MeshBuilder builder;
    attach(builder, cloud);
    ASSERT_TRUE(builder.setOutputFileNames(""));
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(writeOutputs(builder));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Number of points: 3\nNumber of faces: 0\n\n");
    const std::vector<std::string> mesh = fileLines("outOFFFile.ply");
    ASSERT_EQ(mesh.size(), 13u);
    EXPECT_EQ(mesh[7], "element face 0");
    EXPECT_EQ(mesh[10], "0.500000 -1.000000 2.000000");

    const std::vector<std::string> fans = fileLines("propagation.txt");
    ASSERT_EQ(fans.size(), 1u + 3u * 3u + 1u);
    EXPECT_EQ(fans[0], "3");
    EXPECT_EQ(fans[1], "0.500000 -1.000000 2.000000 0.000000 0.000000 1.000000 ");
    std::string unset;
    for (int i = 0; i < 16; ++i) {
        unset += "-1 ";
    }
    EXPECT_EQ(fans[3], unset);
    EXPECT_EQ(fans[10], "0");
}

TEST_F(OutputFiles, FanDumpCutsLongFansButTheMeshKeepsAllTriangles) {
    std::vector<Vector3> points{Vector3(0, 0, 0)};
    for (int i = 0; i < 20; ++i) {
        points.emplace_back(std::cos(0.1 * i * M_PI), std::sin(0.1 * i * M_PI), 0.0);
    }
    meshtest::TestCloud cloud(points);
    std::vector<int32_t> fan;
    for (int32_t i = 1; i <= 20; ++i) {
        fan.push_back(i);
    }
    cloud.setFan(0, fan);
    cloud.records[5].triangleFanCount = 2; // stale count of a point that was not completed
    MeshBuilder builder;
    attach(builder, cloud);
    builder.state.completionOrder = {0};
    builder.state.completedCount = 1;
    ASSERT_TRUE(builder.setOutputFileNames(""));
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(writeOutputs(builder));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Number of points: 21\nNumber of faces: 20\n\n");

    const std::vector<std::string> dump = fileLines("propagation.txt");
    EXPECT_EQ(dump[3], "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 ");
    EXPECT_EQ(cloud.records[5].triangleFanCount, 0);
    EXPECT_EQ(dump[dump.size() - 2], "1");
    EXPECT_EQ(dump.back(), "0");
    const std::vector<std::string> mesh = fileLines("outOFFFile.ply");
    EXPECT_EQ(mesh.back(), "3 1 20 0");

    const std::vector<std::string> records = fileLines("euclideanNeighboursOut.txt");
    ASSERT_EQ(records.size(), 1u + 21u * 3u);
    EXPECT_EQ(records[3], "0.000000 0.000000 0.000000 0.000000");
}

TEST_F(OutputFiles, UncreatableFilesAreReportedAndLeaveNoMesh) {
    meshtest::TestCloud cloud({Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0)});
    cloud.setFan(0, {1, 2});
    MeshBuilder builder;
    attach(builder, cloud);
    EXPECT_FALSE(builder.setOutputFileNames("missing-folder/"));
    EXPECT_NE(builder.failure.find("missing-folder/stats.txt"), std::string::npos);
    builder.failure.clear();
    EXPECT_FALSE(builder.writeMesh(builder.meshFileName));
    EXPECT_NE(builder.failure.find("missing-folder/outOFFFile.ply"), std::string::npos);
    builder.closeFiles();
    EXPECT_TRUE(fs::is_empty(fs::current_path()));
}
