// Point-file format detection: PLY by its first line or name, the text format by its name,
// and refusals that name the file.
#include <gtest/gtest.h>

#include <string>

#include "formats/PointFile.h"
#include "support/RunDirectory.h"

namespace {

using meshtest::RunDirectory;

TEST(PointFile, DetectsPlyByItsFirstLineThenFormatsByName) {
    RunDirectory folder;
    const std::string text = "0.1 0.2 0.3\n";
    const struct {
        std::string name, content;
        PointFormat expected;
    } cases[] = {
        {"scan.xyz", "ply\nformat ascii 1.0\n", PointFormat::Ply}, // content wins over name
        {"scan.dat", "ply\r\nformat ascii 1.0\r\n", PointFormat::Ply},
        {"scan.PLY", text, PointFormat::Ply}, // the PLY reader then names the fault
        {"scan.txt", text, PointFormat::Text},
        {"scan.Pts", text, PointFormat::Text},
        {"scan.xyz", "plywood 1 2\n", PointFormat::Text},
        {"rawPoints", text, PointFormat::Text},
        {".hidden", text, PointFormat::Text},
    };
    for (const auto& c : cases) {
        PointFormat format = c.expected == PointFormat::Ply ? PointFormat::Text : PointFormat::Ply;
        EXPECT_EQ(detectPointFormat(folder.write(c.name, c.content), format), "") << c.name;
        EXPECT_EQ(format, c.expected) << c.name;
    }
}

TEST(PointFile, RefusalsNameTheFileAndTheFault) {
    RunDirectory folder;
    PointFormat format = PointFormat::Text;
    const std::string stl = folder.write("part.stl", "solid part\n");
    EXPECT_EQ(detectPointFormat(stl, format),
              stl + ": unknown point format \".stl\" (expected a PLY file, or text points in a "
                    ".xyz, .txt or .pts file)");
    const std::string missing = (folder.path / "none.xyz").string();
    EXPECT_EQ(detectPointFormat(missing, format),
              missing + ": cannot open: No such file or directory");
    EXPECT_EQ(detectPointFormat(folder.path.string(), format),
              folder.path.string() + ": not a regular file");
}

} // namespace
