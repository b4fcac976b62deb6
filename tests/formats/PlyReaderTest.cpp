// PLY point reading: the three encodings with extra properties, elements and lists, and every
// refusal with the message that names what is wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "formats/PlyReader.h"
#include "support/MeshFiles.h"

namespace {

using meshtest::PlyBuilder;

PointReadResult read(const std::string& bytes) {
    return readPlyPoints(bytes.data(), bytes.size(), "cloud.ply");
}

const double POINTS[3][3] = {{0.1, -2.5, 3e-7}, {1e30, 0.0, -0.0}, {-7.25, 1.0 / 3.0, 12345.678}};

// A cloud with a list-carrying element before the vertices, extra vertex properties in
// between the coordinates, and faces after them.
template <typename Coordinate> std::string richCloud(const std::string& encoding) {
    const std::string type = sizeof(Coordinate) == 4 ? "float" : "float64";
    PlyBuilder ply(encoding);
    ply.line("comment scanned somewhere").line("obj_info device 7");
    ply.line("element camera 1").line("property list uchar float view").line("property uint16 id");
    ply.line("element vertex 3").line("property " + type + " x").line("property uchar red");
    ply.line("property " + type + " y").line("property list int8 int tags");
    ply.line("property " + type + " z").line("property double confidence");
    ply.line("element face 2").line("property list uchar int32 vertex_indices");
    ply.line("end_header");
    ply.value(uint8_t(2)).value(1.5f).value(-2.0f).value(uint16_t(9)).endElement();
    for (const auto& p : POINTS) {
        ply.value(static_cast<Coordinate>(p[0])).value(uint8_t(200));
        ply.value(static_cast<Coordinate>(p[1])).value(int8_t(1)).value(int32_t(-4));
        ply.value(static_cast<Coordinate>(p[2])).value(0.5).endElement();
    }
    ply.value(uint8_t(3)).value(int32_t(0)).value(int32_t(1)).value(int32_t(2)).endElement();
    ply.value(uint8_t(0)).endElement();
    return ply.text;
}

TEST(PlyReader, ReadsEveryEncodingAndCoordinateTypeSkippingEverythingElse) {
    for (const char* encoding : {"ascii", "binary_little_endian", "binary_big_endian"}) {
        SCOPED_TRACE(encoding);
        const PointReadResult asFloat = read(richCloud<float>(encoding));
        const PointReadResult asDouble = read(richCloud<double>(encoding));
        ASSERT_TRUE(asFloat.ok()) << asFloat.error;
        ASSERT_TRUE(asDouble.ok()) << asDouble.error;
        ASSERT_EQ(asFloat.pointCount(), 3u);
        ASSERT_EQ(asDouble.pointCount(), 3u);
        for (int i = 0; i < 3; ++i) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(asDouble.coordinates[3 * i + c], POINTS[i][c]);
                EXPECT_EQ(asFloat.coordinates[3 * i + c], static_cast<float>(POINTS[i][c]));
            }
        }
        EXPECT_TRUE(std::signbit(asDouble.coordinates[5])); // -0.0 stays negative
    }
}

TEST(PlyReader, AsciiKeepsWrittenDigitsAndToleratesCrLfSignsAndBlankLines) {
    const std::string text = "ply\r\nformat ascii 1.0\r\nelement vertex 2\r\nproperty float x\r\n"
                             "property float y\r\nproperty float z\r\nend_header\r\n"
                             "0.1 +2 -3e2\r\n\r\n  \t0.30000000000000004\t1 1  \r\n\n";
    const PointReadResult result = read(text);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.coordinates,
              (std::vector<double>{0.1, 2.0, -300.0, 0.30000000000000004, 1, 1}));
}

TEST(PlyReader, RefusesBadFilesNamingTheFileAndTheFault) {
    const std::string xyz = "property float x\nproperty float y\nproperty float z\n";
    const std::string ascii = "ply\nformat ascii 1.0\n";
    const std::string header1 = ascii + "element vertex 1\n" + xyz + "end_header\n";
    const std::string binary =
        "ply\nformat binary_little_endian 1.0\nelement vertex 2\n" + xyz + "end_header\n";
    const struct {
        std::string content;
        std::string message;
    } cases[] = {
        {"", "cloud.ply: empty file"},
        {"solid cube\n", "cloud.ply: not a PLY file"},
        {ascii + "element vertex 1\n" + xyz, "no \"end_header\" line"},
        {"ply\nelement vertex 0\n" + xyz + "end_header\n", "line 6: the header has no \"format\""},
        {"ply\nformat binary 1.0\n", "line 2: unknown encoding \"binary\""},
        {"ply\nformat ascii 2.0\n", "line 2: unsupported format version \"2.0\""},
        {ascii + "property float x\n", "line 3: a property before the first element"},
        {ascii + "element vertex 1\nproperty flaot x\n", "line 4: unknown type \"flaot\""},
        {ascii + "element vertex 1\nproperty list float int i\n", "integer type"},
        {ascii + "element vertex 1\nproperty float\n", "line 4: expected \"property <type>"},
        {ascii + "element vertex 1\n" + xyz + "property float x\n", "second property \"x\""},
        {ascii + "element vertex -1\n", "line 3: bad element count \"-1\""},
        {ascii + "element vertex 1\nelement face 0\n",
         "line 3: element \"vertex\" has no property"},
        {ascii + "element vertex 1\n" + xyz + "element vertex 1\n", "second \"vertex\" element"},
        {ascii + "element vertex 1\n" + xyz + "\nend_header\n", "line 7: empty header line"},
        {ascii + "element vertex 1\n" + xyz + "end_header extra\n", "after \"end_header\""},
        {ascii + "elephant\n", "line 3: unknown header keyword \"elephant\""},
        {ascii + "element point 1\n" + xyz + "end_header\n1 2 3\n", "no \"vertex\" element"},
        {ascii + "element vertex 1\nproperty float x\nproperty float y\nend_header\n1 2\n",
         "line 3: the vertex element has no property \"z\""},
        {ascii + "element vertex 1\nproperty int x\nproperty float y\nproperty float z\n"
                 "end_header\n1 2 3\n",
         "vertex property \"x\" must be a scalar float or double"},
        {ascii + "element vertex 3000000000\n" + xyz + "end_header\n", "too many vertices"},
        {ascii + "element vertex 100000\n" + xyz + "end_header\n1 2 3\n",
         "100000 \"vertex\" elements declared, but the rest of the file holds at most 1"},
        {header1 + "1 2        \n",
         "cloud.ply, line 8: too few values for element \"vertex\" 0 of 1"},
        {header1 + "1 2 3 4\n", "line 8: too many values for element \"vertex\" 0 of 1"},
        {header1 + "1 2 3\n4\n", "line 9: 2 bytes of unexpected data after the last element"},
        {header1 + "1 2.5.1 3\n",
         "line 8: bad value \"2.5.1\" for property \"y\" of element \"vertex\" 0 of 1"},
        {header1 + "1 2 +-3\n", "bad value \"+-3\" for property \"z\""},
        {header1 + "1 2 inf\n", "line 8: coordinate z of vertex 0 is not a finite number"},
        {header1 + "1 2 1e39\n", "coordinate z of vertex 0 is not a finite number"},
        {ascii + "element vertex 2\n" + xyz + "end_header\n\n\n1 2 3            \n",
         "line 11: truncated: the file ends before element \"vertex\" 1 of 2"},
        {ascii + "element vertex 1\n" + xyz + "property uchar red\nend_header\n1 2 3 256\n",
         "bad value \"256\" for property \"red\""},
        {ascii + "element vertex 1\n" + xyz +
             "element face 1\nproperty list uchar int v\n"
             "end_header\n1 2 3\n3 1 2\n",
         "line 11: too few values for element \"face\" 0 of 1"},
        {binary + std::string(12, '\0'), "the rest of the file holds at most 1"},
        {binary + std::string(25, '\0'), "1 bytes of unexpected data after the last element"},
    };
    for (const auto& c : cases) {
        const PointReadResult result = read(c.content);
        EXPECT_FALSE(result.ok()) << c.content;
        EXPECT_NE(result.error.find(c.message), std::string::npos)
            << "got: " << result.error << "\nexpected: " << c.message;
        EXPECT_EQ(result.error.rfind("cloud.ply", 0), 0u) << result.error;
        EXPECT_TRUE(result.coordinates.empty());
    }
}

TEST(PlyReader, RefusesBinaryFaultsInsideTheBody) {
    const std::string head = "element vertex 1\nproperty double x\nproperty double y\n"
                             "property double z\nelement face 1\nproperty list int8 int32 v\n"
                             "end_header";
    PlyBuilder nan("binary_big_endian");
    nan.line(head).value(1.0).value(std::numeric_limits<double>::quiet_NaN()).value(0.0);
    nan.value(int8_t(0));
    EXPECT_NE(read(nan.text).error.find("coordinate y of vertex 0 is not a finite"),
              std::string::npos);
    PlyBuilder negative("binary_little_endian");
    negative.line(head).value(1.0).value(2.0).value(3.0).value(int8_t(-1));
    EXPECT_NE(read(negative.text).error.find("negative list count in element \"face\" 0 of 1"),
              std::string::npos);
    PlyBuilder shortList("binary_little_endian");
    shortList.line(head).value(1.0).value(2.0).value(3.0).value(int8_t(3)).value(int32_t(0));
    EXPECT_NE(read(shortList.text).error.find("the file ends inside element \"face\" 0 of 1"),
              std::string::npos);
}

TEST(PlyReader, FileEntryPointReportsUnreadablePaths) {
    EXPECT_EQ(readPlyFile("/nonexistent/cloud.ply").error,
              "/nonexistent/cloud.ply: cannot open: No such file or directory");
    EXPECT_EQ(readPlyFile(::testing::TempDir()).error,
              ::testing::TempDir() + ": not a regular file");
    const std::string path = ::testing::TempDir() + "reader-test.ply";
    std::ofstream(path, std::ios::binary) << richCloud<double>("binary_big_endian");
    const PointReadResult result = readPlyFile(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.pointCount(), 3u);
}

} // namespace
