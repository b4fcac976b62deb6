// Mesh writing: every format read back exactly, and failures that leave the target untouched
// and no temporary file behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "formats/MeshWriter.h"
#include "formats/PlyReader.h"
#include "formats/ReplacingFile.h"
#include "support/MeshFiles.h"
#include "support/RunDirectory.h"

namespace {

namespace fs = std::filesystem;

// Coordinates whose shortest text needs every kind of notation, and a zero of each sign.
const std::vector<double> POSITIONS = {0.1,  -2.5,   1e-300, 1.0 / 3.0, 123456789.125, -0.0,
                                       1e22, 5e-324, -7.0,   2.0 / 3.0, 0.0,           3.4e38};
const std::vector<int32_t> FACES = {0, 1, 2, 3, 2, 1, 0, 3, 1};

using meshtest::RunDirectory;

void expectSameBits(const std::vector<double>& read) {
    ASSERT_EQ(read.size(), POSITIONS.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(std::memcmp(&read[i], &POSITIONS[i], sizeof(double)), 0)
            << i << ": " << read[i] << " vs " << POSITIONS[i];
    }
}

std::string write(const std::string& path, MeshFormat format) {
    return writeMesh(path, format, POSITIONS.data(), POSITIONS.size() / 3, FACES.data(),
                     FACES.size() / 3);
}

TEST(MeshWriter, EveryFormatReadsBackBitForBit) {
    RunDirectory dir;
    const struct {
        MeshFormat format;
        const char* name;
        std::string start;
    } cases[] = {
        {MeshFormat::PlyAscii, "ascii.ply", "ply\nformat ascii 1.0\nelement vertex 4\n"},
        {MeshFormat::PlyBinary, "binary.ply", "ply\nformat binary_little_endian 1.0\n"},
        {MeshFormat::Obj, "mesh.obj", "v 0.1 -2.5 1e-300\n"},
        {MeshFormat::Off, "mesh.off", "OFF\n4 3 0\n"},
    };
    for (const auto& c : cases) {
        const std::string path = (dir.path / c.name).string();
        ASSERT_EQ(write(path, c.format), "");
        EXPECT_EQ(meshtest::readFile(path).rfind(c.start, 0), 0u) << c.name;
        const meshtest::Mesh mesh = meshtest::readMesh(path);
        expectSameBits(mesh.vertices);
        EXPECT_EQ(mesh.faces, FACES) << c.name;
        if (c.format == MeshFormat::PlyAscii || c.format == MeshFormat::PlyBinary) {
            // The program's own reader takes its meshes as point clouds.
            const PointReadResult back = readPlyFile(path);
            ASSERT_TRUE(back.ok()) << back.error;
            expectSameBits(back.coordinates);
        }
    }
    EXPECT_EQ(dir.files().size(), 4u); // no temporary left
}

TEST(MeshWriter, ChoosesTheFormatFromTheExtension) {
    MeshFormat format = MeshFormat::Off;
    EXPECT_TRUE(meshFormatForPath("a/b.PLY", false, format));
    EXPECT_EQ(format, MeshFormat::PlyAscii);
    EXPECT_TRUE(meshFormatForPath("b.ply", true, format));
    EXPECT_EQ(format, MeshFormat::PlyBinary);
    EXPECT_TRUE(meshFormatForPath("x.y/b.Obj", true, format));
    EXPECT_EQ(format, MeshFormat::Obj);
    EXPECT_FALSE(meshFormatForPath("x.ply/mesh", false, format));
    EXPECT_FALSE(meshFormatForPath("mesh.stl", false, format));
    EXPECT_EQ(format, MeshFormat::Obj);
}

TEST(MeshWriter, FailuresKeepTheOldTargetAndRemoveTheTemporary) {
    RunDirectory dir;
    const auto file = [&dir](const std::string& name) { return (dir.path / name).string(); };
    const std::string target = file("mesh.ply");
    std::ofstream(target) << "old mesh\n";
    const std::vector<int32_t> badFace = {0, 1, 4};
    EXPECT_EQ(writeMesh(target, MeshFormat::PlyAscii, POSITIONS.data(), 4, badFace.data(), 1),
              target + ": face 0 names vertex 4, but the mesh has 4 vertices");

    // A file size limit makes the writes fail part way, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string binaryError = write(target, MeshFormat::PlyBinary);
    const std::string asciiError = write(target, MeshFormat::Obj);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(binaryError, target + ": cannot write: File too large");
    EXPECT_EQ(asciiError, target + ": cannot write: File too large");
    EXPECT_EQ(meshtest::readFile(target), "old mesh\n");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"mesh.ply"});

    fs::create_directory(file("folder.off"));
    EXPECT_EQ(write(file("folder.off"), MeshFormat::Off),
              file("folder.off") + ": cannot write: Is a directory");
    EXPECT_EQ(write(file("missing/mesh.off"), MeshFormat::Off),
              file("missing/mesh.off") + ": cannot create temporary file \"" +
                  file("missing/mesh.off.partial") + "\": No such file or directory");
    EXPECT_EQ(dir.files().size(), 2u);
}

} // namespace
