// Whole-program runs of path mode: every input format gives the same mesh over the input's
// own coordinates and order, every output format reads back to it, settings come from the
// file and the command line, side files go only where asked, and bad input is refused with
// its message and exit status and leaves no output behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fanmesh/fanmesh.h"
#include "support/RunDirectory.h"
#include "support/TextFiles.h"

namespace {

using meshtest::readFile;
using meshtest::RunDirectory;

struct Mesh {
    std::vector<double> vertices; // x y z per vertex
    std::vector<int32_t> faces;   // three corners per face
};

struct Outcome {
    int status;
    std::string errors; // standard error
};

// Runs fanmesh with the arguments inside the directory, standard error captured.
Outcome runFanmesh(const RunDirectory& directory, const std::string& arguments) {
    const std::string errorFile = directory.path.string() + ".stderr";
    Outcome outcome;
    outcome.status = directory.shell("'" FANMESH_BINARY_DIR "/fanmesh' " + arguments +
                                     " < /dev/null 2> '" + errorFile + "'");
    outcome.errors = readFile(errorFile);
    std::filesystem::remove(errorFile);
    return outcome;
}

std::vector<double> readTextPoints(const std::filesystem::path& path) {
    std::istringstream in(readFile(path.string()));
    std::vector<double> xyz;
    for (std::string token; in >> token;) {
        xyz.push_back(std::strtod(token.c_str(), nullptr));
    }
    return xyz;
}

template <typename T> T readBinary(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

// Reads the meshes fanmesh writes: PLY (ASCII or binary little endian), OBJ and OFF.
Mesh readMesh(const std::filesystem::path& path) {
    const std::string text = readFile(path.string());
    Mesh mesh;
    std::istringstream in(text);
    std::string word;
    const std::string extension = path.extension().string();
    if (extension == ".obj") {
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            fields >> word;
            for (int k = 0; k < 3; ++k) {
                if (word == "v") {
                    double value;
                    fields >> value;
                    mesh.vertices.push_back(value);
                } else if (word == "f") {
                    int32_t corner;
                    fields >> corner;
                    mesh.faces.push_back(corner - 1);
                }
            }
        }
        return mesh;
    }
    size_t vertexCount = 0, faceCount = 0;
    bool binary = false;
    if (extension == ".off") {
        in >> word >> vertexCount >> faceCount >> word;
    } else {
        for (std::string line; std::getline(in, line) && line != "end_header";) {
            binary = binary || line.find("binary_little_endian") != std::string::npos;
            std::sscanf(line.c_str(), "element vertex %zu", &vertexCount);
            std::sscanf(line.c_str(), "element face %zu", &faceCount);
        }
    }
    if (binary) {
        const char* p = text.data() + text.find("end_header\n") + 11;
        for (size_t i = 0; i < 3 * vertexCount; ++i) {
            mesh.vertices.push_back(readBinary<double>(p));
        }
        for (size_t f = 0; f < faceCount; ++f) {
            EXPECT_EQ(readBinary<uint8_t>(p), 3);
            for (int k = 0; k < 3; ++k) {
                mesh.faces.push_back(readBinary<int32_t>(p));
            }
        }
        EXPECT_EQ(p, text.data() + text.size());
        return mesh;
    }
    for (size_t i = 0; i < 3 * vertexCount; ++i) {
        in >> word;
        mesh.vertices.push_back(std::strtod(word.c_str(), nullptr));
    }
    for (size_t f = 0; f < faceCount; ++f) {
        int count;
        in >> count;
        EXPECT_EQ(count, 3);
        for (int k = 0; k < 3; ++k) {
            int32_t corner;
            in >> corner;
            mesh.faces.push_back(corner);
        }
    }
    return mesh;
}

// Writes the points as PLY: ASCII, or binary in either byte order, with the coordinates as
// doubles between other vertex properties and followed by an empty face element.
void writePly(const std::filesystem::path& path, const std::vector<double>& xyz,
              const std::string& format) {
    std::ofstream out(path, std::ios::binary);
    out << "ply\nformat " << format << " 1.0\ncomment written by the test\nelement vertex "
        << xyz.size() / 3
        << "\nproperty uchar red\nproperty double x\nproperty double y\nproperty float "
           "intensity\nproperty double z\nelement face 0\nproperty list uchar int "
           "vertex_indices\nend_header\n";
    const bool swap = format == "binary_big_endian";
    const auto put = [&](const void* value, size_t size) {
        char bytes[8];
        std::memcpy(bytes, value, size);
        for (size_t k = 0; swap && k < size / 2; ++k) {
            std::swap(bytes[k], bytes[size - 1 - k]);
        }
        out.write(bytes, static_cast<std::streamsize>(size));
    };
    for (size_t i = 0; i < xyz.size(); i += 3) {
        if (format == "ascii") {
            out.precision(17);
            out << "7 " << xyz[i] << " " << xyz[i + 1] << " 0.5 " << xyz[i + 2] << "\n";
            continue;
        }
        const uint8_t red = 7;
        const float intensity = 0.5f;
        put(&red, 1);
        put(&xyz[i], 8);
        put(&xyz[i + 1], 8);
        put(&intensity, 4);
        put(&xyz[i + 2], 8);
    }
}

} // namespace

TEST(PathMode, EveryInputFormatGivesTheMeshOverTheInputPoints) {
    RunDirectory directory;
    ASSERT_EQ(directory.shell("'" FANMESH_BINARY_DIR "/generate_sample' torus 1500 3 > in.xyz "
                              "&& printf '0.0001 -2.9999 0.000001\\n' >> in.xyz"),
              0);
    const std::vector<double> xyz = readTextPoints(directory.path / "in.xyz");
    for (const char* format : {"ascii", "binary_little_endian", "binary_big_endian"}) {
        writePly(directory.path / (std::string(format) + ".ply"), xyz, format);
    }
    ASSERT_EQ(runFanmesh(directory, "in.xyz -q").status, 0);
    const std::string reference = readFile((directory.path / "in.mesh.ply").string());
    for (const char* format : {"ascii", "binary_little_endian", "binary_big_endian"}) {
        const Outcome outcome = runFanmesh(directory, std::string(format) + ".ply");
        EXPECT_EQ(outcome.status, 0) << format << outcome.errors;
        EXPECT_EQ(readFile((directory.path / (std::string(format) + ".mesh.ply")).string()),
                  reference)
            << format;
        EXPECT_NE(outcome.errors.find("points read:                    1501\n"), std::string::npos)
            << outcome.errors;
    }
    // Vertex i is input point i, exactly; the faces are the library's on the same points.
    const Mesh mesh = readMesh(directory.path / "in.mesh.ply");
    EXPECT_EQ(mesh.vertices, xyz);
    EXPECT_EQ(mesh.faces, fanmesh::reconstruct(xyz).faces);
}

TEST(PathMode, EveryOutputFormatReadsBackAndPreparedOrderMatchesTheFolderRun) {
    RunDirectory directory;
    directory.generate("sphere", 900, 4);
    // Near-duplicates make the run reorder its records.
    ASSERT_EQ(directory.shell("head -n 8 rawPoints.txt | sed 's/0 /1 /' >> rawPoints.txt && "
                              "cp rawPoints.txt points.txt"),
              0);
    const std::vector<double> xyz = readTextPoints(directory.path / "points.txt");
    ASSERT_EQ(runFanmesh(directory, "points.txt -o ascii.ply -q").status, 0);
    const Mesh reference = readMesh(directory.path / "ascii.ply");
    EXPECT_EQ(reference.vertices, xyz);
    ASSERT_FALSE(reference.faces.empty());
    // Faces join near points of the input (spacing about 0.6 on this sphere of radius 5).
    int longEdges = 0;
    for (size_t f = 0; f < reference.faces.size(); ++f) {
        const double* a = &xyz[3 * reference.faces[f]];
        const double* b = &xyz[3 * reference.faces[f % 3 == 2 ? f - 2 : f + 1]];
        longEdges += std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]) > 2.0;
    }
    EXPECT_EQ(longEdges, 0);
    for (const std::string output : {"binary.ply --binary", "mesh.obj", "mesh.off"}) {
        ASSERT_EQ(runFanmesh(directory, "points.txt -q -o " + output).status, 0) << output;
        const Mesh mesh = readMesh(directory.path / output.substr(0, output.find(' ')));
        EXPECT_EQ(mesh.vertices, xyz) << output;
        EXPECT_EQ(mesh.faces, reference.faces) << output;
    }

    // The prepared coordinates and order are the folder run's, with the same faces under the
    // same ray test.
    ASSERT_EQ(runFanmesh(directory,
                         "points.txt -q --plain-ray-test --prepared-coordinates -o prepared.ply")
                  .status,
              0);
    std::string console;
    ASSERT_EQ(directory.run(console), 0);
    const Mesh prepared = readMesh(directory.path / "prepared.ply");
    const Mesh folder = readMesh(directory.path / "outOFFFile.ply");
    EXPECT_EQ(prepared.faces, folder.faces);
    ASSERT_EQ(prepared.vertices.size(), folder.vertices.size());
    for (size_t i = 0; i < folder.vertices.size(); ++i) {
        EXPECT_NEAR(prepared.vertices[i], folder.vertices[i], 5e-7) << i;
    }
    EXPECT_NE(prepared.vertices, xyz);
}

TEST(PathMode, SettingsComeFromTheFileAndTheCommandLineWins) {
    RunDirectory directory;
    directory.generate("twospheres", 1200, 2);
    std::ofstream(directory.path / "all.cfg") << "/ keep all parts\nfalse\n60\n999\ntrue\n";
    const auto components = [&](const std::string& arguments) {
        EXPECT_EQ(runFanmesh(directory, "rawPoints.txt --report r.json " + arguments).status, 0);
        const std::string json = readFile((directory.path / "r.json").string());
        const size_t at = json.find("\"connected_components\": ");
        return at == std::string::npos ? -1 : std::atoi(json.c_str() + at + 24);
    };
    EXPECT_EQ(components(""), 1);
    EXPECT_EQ(components("--all-components -o all.ply"), 2);
    EXPECT_EQ(components("--config all.cfg -o configured.ply"), 2);
    // The file's 60 percent is overridden by the command line's 20, the default.
    EXPECT_EQ(components("--config all.cfg --unwanted-percent 20 -o overridden.ply"), 2);
    EXPECT_EQ(readFile((directory.path / "overridden.ply").string()),
              readFile((directory.path / "all.ply").string()));
    EXPECT_NE(readFile((directory.path / "configured.ply").string()),
              readFile((directory.path / "all.ply").string()));
}

TEST(PathMode, SideFilesOnlyWhereAskedAndNoWaitForEnter) {
    RunDirectory directory;
    directory.generate("sphere", 300);
    std::filesystem::create_directory(directory.path / "in");
    std::filesystem::rename(directory.path / "rawPoints.txt", directory.path / "in/s.xyz");
    ASSERT_EQ(runFanmesh(directory, "in/s.xyz").status, 0);
    EXPECT_EQ(directory.files(), std::vector<std::string>{"in"});
    EXPECT_TRUE(std::filesystem::exists(directory.path / "in/s.mesh.ply"));
    ASSERT_EQ(runFanmesh(directory, "in/s.xyz -o s.off --side-files side").status, 0);
    EXPECT_EQ(directory.files(), (std::vector<std::string>{"in", "s.off", "side"}));
    size_t sideFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path / "side")) {
        sideFiles += entry.path().extension() == ".txt";
    }
    EXPECT_EQ(sideFiles, 5u);
}

TEST(PathMode, BadInputIsRefusedAndLeavesNothingBehind) {
    RunDirectory directory;
    directory.generate("sphere", 200);
    ASSERT_EQ(
        directory.shell(
            "mv rawPoints.txt good.xyz && cp good.xyz good.las && head -5 good.xyz > few.xyz && "
            "printf 'ply\\nformat ascii 1.0\\nelement vertex 1\\nproperty "
            "float x\\nproperty float y\\nend_header\\n1 2\\n' > noz.ply"),
        0);
    std::vector<double> xyz = readTextPoints(directory.path / "good.xyz");
    writePly(directory.path / "binary.ply", xyz, "binary_little_endian");
    ASSERT_EQ(directory.shell("head -c 400 binary.ply > cut.ply && printf '1 2 x\\n' > bad.txt"),
              0);
    const struct {
        std::string arguments, message;
        int status;
    } cases[] = {
        {"missing.xyz", "missing.xyz: cannot open", 1},
        {"good.las", "good.las: unknown point format", 1},
        {"few.xyz", "few.xyz: too few points: 5 read, at least 17", 1},
        {"bad.txt", "bad.txt, line 1: the third value 'x' is not a decimal number", 1},
        {"noz.ply", "noz.ply", 1},
        {"cut.ply", "cut.ply", 1},
        {"good.xyz --config missing.cfg", "missing.cfg: cannot open", 1},
        {"good.xyz -o mesh.stl", "mesh.stl: unknown mesh format", 2},
        {"good.xyz --max-layers many", "--max-layers", 2},
        {"good.xyz --unwanted-percent 101", "--unwanted-percent", 2},
        {"good.xyz --keep-side-files", "--side-files", 2},
        {"--binary", "needs an INPUT", 2},
    };
    const std::vector<std::string> before = directory.files();
    for (const auto& c : cases) {
        const Outcome outcome = runFanmesh(directory, c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.errors;
        EXPECT_EQ(directory.files(), before) << c.arguments;
    }
    const Outcome help = runFanmesh(directory, "--help > help.txt");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--output", "--binary", "--prepared-coordinates", "--side-files",
                               "--config", "--all-components", "--unwanted-percent", "--max-layers",
                               "--keep-inconsistent-fans", "--quiet", "--report", "--version"}) {
        EXPECT_NE(readFile((directory.path / "help.txt").string()).find(option), std::string::npos)
            << option;
    }
}
