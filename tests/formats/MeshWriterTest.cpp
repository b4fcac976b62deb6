// Mesh writing: every format read back exactly, and failures that leave the target untouched
// and no temporary file behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "formats/MeshWriter.h"
#include "formats/PlyReader.h"
#include "formats/ReplacingFile.h"
#include "support/TextFiles.h"

namespace {

namespace fs = std::filesystem;

// Coordinates whose shortest text needs every kind of notation, and a zero of each sign.
const std::vector<double> POSITIONS = {0.1,  -2.5,   1e-300, 1.0 / 3.0, 123456789.125, -0.0,
                                       1e22, 5e-324, -7.0,   2.0 / 3.0, 0.0,           3.4e38};
const std::vector<int32_t> FACES = {0, 1, 2, 3, 2, 1, 0, 3, 1};

struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = ::testing::TempDir() + "formatsXXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& entry : fs::directory_iterator(path)) {
            result.push_back(entry.path().filename().string());
        }
        return result;
    }
};

// A tiny reader for the OBJ and OFF files written here: the words of the file after the
// header; in OBJ a "v" starts three coordinates and an "f" three 1-based indices, in OFF the
// counts are followed by the coordinates and then "3 a b c" per face.
void readText(const std::string& path, bool obj, std::vector<double>& positions,
              std::vector<int32_t>& faces) {
    std::istringstream in(meshtest::readFile(path));
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    auto number = [&](std::size_t i) { return std::strtod(words.at(i).c_str(), nullptr); };
    if (obj) {
        for (std::size_t i = 0; i + 3 < words.size(); i += 4) {
            for (int k = 1; k <= 3; ++k) {
                if (words[i] == "v") {
                    positions.push_back(number(i + k));
                } else {
                    EXPECT_EQ(words[i], "f");
                    faces.push_back(static_cast<int32_t>(number(i + k)) - 1);
                }
            }
        }
        return;
    }
    EXPECT_EQ(words.at(0), "OFF");
    const std::size_t vertexCount = static_cast<std::size_t>(number(1));
    std::size_t i = 4;
    for (; i < 4 + 3 * vertexCount; ++i) {
        positions.push_back(number(i));
    }
    for (; i + 3 < words.size(); i += 4) {
        EXPECT_EQ(words[i], "3");
        for (int k = 1; k <= 3; ++k) {
            faces.push_back(static_cast<int32_t>(number(i + k)));
        }
    }
}

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
    TempDir dir;
    for (const MeshFormat format : {MeshFormat::PlyAscii, MeshFormat::PlyBinary}) {
        const std::string path = dir.file("mesh.ply");
        ASSERT_EQ(write(path, format), "");
        const PointReadResult back = readPlyFile(path);
        ASSERT_TRUE(back.ok()) << back.error;
        expectSameBits(back.coordinates);
        const std::string bytes = meshtest::readFile(path);
        const std::string faceHeader = "property list uchar int vertex_indices\nend_header\n";
        ASSERT_NE(bytes.find(faceHeader), std::string::npos);
        const std::string body = bytes.substr(bytes.find(faceHeader) + faceHeader.size());
        if (format == MeshFormat::PlyBinary) {
            ASSERT_EQ(body.size(), 4 * 24 + 3 * 13u);
            const char* face = body.data() + 4 * 24 + 13; // the second face
            int32_t corners[3];
            std::memcpy(corners, face + 1, sizeof(corners));
            EXPECT_EQ(face[0], 3);
            EXPECT_EQ(corners[0], 3);
            EXPECT_EQ(corners[2], 1);
        } else {
            EXPECT_NE(body.find("\n3 3 2 1\n3 0 3 1\n"), std::string::npos);
        }
    }
    std::vector<double> positions;
    std::vector<int32_t> faces;
    ASSERT_EQ(write(dir.file("mesh.obj"), MeshFormat::Obj), "");
    readText(dir.file("mesh.obj"), true, positions, faces);
    expectSameBits(positions);
    EXPECT_EQ(faces, FACES);

    positions.clear();
    faces.clear();
    ASSERT_EQ(write(dir.file("mesh.off"), MeshFormat::Off), "");
    EXPECT_EQ(meshtest::readFile(dir.file("mesh.off")).rfind("OFF\n4 3 0\n", 0), 0u);
    readText(dir.file("mesh.off"), false, positions, faces);
    expectSameBits(positions);
    EXPECT_EQ(faces, FACES);
    EXPECT_EQ(dir.names().size(), 3u); // no temporary left
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
    TempDir dir;
    const std::string target = dir.file("mesh.ply");
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
    EXPECT_EQ(dir.names(), std::vector<std::string>{"mesh.ply"});

    fs::create_directory(dir.file("folder.off"));
    EXPECT_EQ(write(dir.file("folder.off"), MeshFormat::Off),
              dir.file("folder.off") + ": cannot write: Is a directory");
    EXPECT_EQ(write(dir.file("missing/mesh.off"), MeshFormat::Off),
              dir.file("missing/mesh.off") + ": cannot create temporary file \"" +
                  dir.file("missing/mesh.off.partial") + "\": No such file or directory");
    EXPECT_EQ(dir.names().size(), 2u);
}

} // namespace
