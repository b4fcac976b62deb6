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
#include "support/MeshFiles.h"
#include "support/RunDirectory.h"

namespace {

using meshtest::Mesh;
using meshtest::readFile;
using meshtest::readMesh;
using meshtest::readNumbers;
using meshtest::RunDirectory;

// Writes the points as PLY in the encoding, the coordinates as doubles between other vertex
// properties, followed by an empty face element.
void writePly(const RunDirectory& directory, const std::string& name,
              const std::vector<double>& xyz, const std::string& encoding) {
    meshtest::PlyBuilder ply(encoding);
    ply.line("comment written by the test")
        .line("element vertex " + std::to_string(xyz.size() / 3));
    ply.line("property uchar red").line("property double x").line("property double y");
    ply.line("property float intensity").line("property double z");
    ply.line("element face 0").line("property list uchar int vertex_indices").line("end_header");
    for (size_t i = 0; i < xyz.size(); i += 3) {
        ply.value(uint8_t(7)).value(xyz[i]).value(xyz[i + 1]).value(0.5f).value(xyz[i + 2]);
        ply.endElement();
    }
    directory.write(name, ply.text);
}

} // namespace

TEST(PathMode, EveryInputFormatGivesTheMeshOverTheInputPoints) {
    RunDirectory directory;
    ASSERT_EQ(directory.shell("'" FANMESH_BINARY_DIR "/generate_sample' torus 1500 3 > in.xyz "
                              "&& printf '0.0001 -2.9999 0.000001\\n' >> in.xyz"),
              0);
    const std::vector<double> xyz = readNumbers(directory.path / "in.xyz");
    for (const char* format : {"ascii", "binary_little_endian", "binary_big_endian"}) {
        writePly(directory, std::string(format) + ".ply", xyz, format);
    }
    ASSERT_EQ(directory.fanmesh("in.xyz -q").status, 0);
    const std::string reference = readFile((directory.path / "in.mesh.ply").string());
    for (const char* format : {"ascii", "binary_little_endian", "binary_big_endian"}) {
        const meshtest::Outcome outcome = directory.fanmesh(std::string(format) + ".ply");
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
    const std::vector<double> xyz = readNumbers(directory.path / "points.txt");
    ASSERT_EQ(directory.fanmesh("points.txt -o ascii.ply -q").status, 0);
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
        ASSERT_EQ(directory.fanmesh("points.txt -q -o " + output).status, 0) << output;
        const Mesh mesh = readMesh(directory.path / output.substr(0, output.find(' ')));
        EXPECT_EQ(mesh.vertices, xyz) << output;
        EXPECT_EQ(mesh.faces, reference.faces) << output;
    }

    // The prepared coordinates and order are the folder run's, with the same faces under the
    // same unwanted-point percent, ray test, hidden-neighbour rule and clean-up rule.
    ASSERT_EQ(
        directory
            .fanmesh("points.txt -q --unwanted-percent 20 --plain-ray-test --hidden-in-wedges "
                     "--allow-third-faces --prepared-coordinates -o prepared.ply")
            .status,
        0);
    ASSERT_EQ(directory.fanmesh().status, 0);
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
        EXPECT_EQ(directory.fanmesh("rawPoints.txt --report r.json " + arguments).status, 0);
        const std::string json = readFile((directory.path / "r.json").string());
        const size_t at = json.find("\"connected_components\": ");
        return at == std::string::npos ? -1 : std::atoi(json.c_str() + at + 24);
    };
    EXPECT_EQ(components(""), 1);
    EXPECT_EQ(components("--all-components -o all.ply"), 2);
    EXPECT_EQ(components("--config all.cfg -o configured.ply"), 2);
    // The file's 60 percent is overridden by the command line's 5, the default without a file.
    EXPECT_EQ(components("--config all.cfg --unwanted-percent 5 -o overridden.ply"), 2);
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
    ASSERT_EQ(directory.fanmesh("in/s.xyz").status, 0);
    EXPECT_EQ(directory.files(), std::vector<std::string>{"in"});
    EXPECT_TRUE(std::filesystem::exists(directory.path / "in/s.mesh.ply"));
    ASSERT_EQ(directory.fanmesh("in/s.xyz -o s.off --side-files side").status, 0);
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
    std::vector<double> xyz = readNumbers(directory.path / "good.xyz");
    writePly(directory, "binary.ply", xyz, "binary_little_endian");
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
        {"--allow-third-faces", "needs an INPUT", 2},
    };
    const std::vector<std::string> before = directory.files();
    for (const auto& c : cases) {
        const meshtest::Outcome outcome = directory.fanmesh(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.errors;
        EXPECT_EQ(directory.files(), before) << c.arguments;
    }
    const meshtest::Outcome help = directory.fanmesh("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"--output", "--binary", "--prepared-coordinates", "--side-files", "--config",
          "--all-components", "--unwanted-percent", "--max-layers", "--keep-inconsistent-fans",
          "--allow-third-faces", "--quiet", "--report", "--version"}) {
        EXPECT_NE(help.console.find(option), std::string::npos) << option;
    }
}
