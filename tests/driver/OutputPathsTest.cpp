// Whole-program runs of path mode on outputs that would destroy data or cannot be written:
// they are refused before the input is read, and a failed run leaves no new file in place.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/RunDirectory.h"

using meshtest::readFile;
using meshtest::RunDirectory;

TEST(OutputPaths, OutputsThatWouldOverwriteOtherFilesAreRefused) {
    RunDirectory directory;
    directory.generate("sphere", 300);
    ASSERT_EQ(
        directory.shell("mv rawPoints.txt t.xyz && mkdir side && cp t.xyz "
                        "side/propagation.txt && printf 'true\\n20\\n' > c.cfg && "
                        "{ printf 'ply\\nformat ascii 1.0\\nelement vertex 300\\nproperty "
                        "double x\\nproperty double y\\nproperty double z\\nend_header\\n'; "
                        "cat t.xyz; } > in.ply && ln -s t.xyz link.xyz && echo mine > mine.txt && "
                        "ln -s mine.txt m.ply.partial"),
        0);
    const std::string same = "is the same file as";
    meshtest::expectRefusals(
        directory, {
                       {"in.ply -o in.ply", "--output \"in.ply\" " + same + " INPUT", 2},
                       {"in.ply -q -o ./in.ply", same, 2},
                       {"t.xyz --report t.xyz", "--report \"t.xyz\" " + same + " INPUT", 2},
                       {"link.xyz --report t.xyz", same, 2},
                       {"t.xyz -o r.ply --report r.ply", "--report \"r.ply\" " + same, 2},
                       {"t.xyz -o r.ply --report side/../r.ply", same, 2},
                       {"t.xyz -o r.ply --report r.ply.partial", "temporary file of --output", 2},
                       {"t.xyz --config c.cfg --report c.cfg", "--config", 2},
                       {"side/propagation.txt --side-files side",
                        "the side file \"side/propagation.txt\" " + same + " INPUT", 2},
                       {"t.xyz --side-files . -o stats.txt.ply --report stats.txt", same, 2},
                       // A link in the temporary file's place is not written through.
                       {"t.xyz -q -o m.ply", "m.ply: cannot create temporary file", 1},
                       {"t.xyz -o m.off --binary", "--binary applies only to a .ply mesh", 2},
                   });
    // Distinct paths still run.
    EXPECT_EQ(directory.fanmesh("in.ply -q -o side/in.ply --report side/r.json").status, 0);
}

TEST(OutputPaths, UnwritableOutputsAreFoundBeforeTheInputIsRead) {
    RunDirectory directory;
    // Too few points: a run that reads the input fails with another message.
    ASSERT_EQ(directory.shell("printf '1 2 3\\n4 5 6\\n' > few.xyz && mkdir folder.ply && "
                              "touch plain"),
              0);
    meshtest::expectRefusals(
        directory, {
                       {"few.xyz -o missing/m.ply", "folder \"missing\" does not exist", 1},
                       {"few.xyz -o folder.ply", "folder.ply: is a folder", 1},
                       {"few.xyz -o plain/m.ply", "\"plain\" is not a folder", 1},
                       {"few.xyz --report missing/r.json", "missing/r.json", 1},
                       {"few.xyz --side-files plain", "plain: cannot hold the side files", 1},
                   });
}

TEST(OutputPaths, AReportThatCannotBeWrittenLeavesTheEarlierMesh) {
    RunDirectory directory;
    directory.generate("sphere", 300);
    // The report's temporary name is taken by a folder, so only writing it fails.
    ASSERT_EQ(directory.shell("echo OLD > m.ply && mkdir r.json.partial"), 0);
    const meshtest::Outcome outcome =
        directory.fanmesh("rawPoints.txt -q -o m.ply --report r.json");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("r.json: cannot create"), std::string::npos) << outcome.errors;
    EXPECT_EQ(readFile((directory.path / "m.ply").string()), "OLD\n");
    EXPECT_EQ(directory.files(),
              (std::vector<std::string>{"m.ply", "r.json.partial", "rawPoints.txt"}));
}
