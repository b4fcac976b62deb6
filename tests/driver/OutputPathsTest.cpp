// Whole-program runs of path mode on outputs that would destroy data or cannot be written:
// they are refused before the input is read, and a failed run leaves no new file in place.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/RunDirectory.h"

namespace {

using meshtest::readFile;
using meshtest::RunDirectory;

// The names and contents of every file under the directory, to show that a run changed none.
std::vector<std::string> snapshot(const RunDirectory& directory) {
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory.path)) {
        const std::string name = entry.path().lexically_relative(directory.path).string();
        entries.push_back(entry.is_regular_file() ? name + "=" + readFile(entry.path().string())
                                                  : name + "/");
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

struct RefusedRun {
    std::string arguments, message;
    int status;
};

void expectRefusedLeavingAllAsItWas(const RunDirectory& directory,
                                    const std::vector<RefusedRun>& cases) {
    const std::vector<std::string> before = snapshot(directory);
    for (const RefusedRun& c : cases) {
        const meshtest::Outcome outcome = directory.fanmesh(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.errors;
        EXPECT_EQ(snapshot(directory), before) << c.arguments;
    }
}

} // namespace

TEST(OutputPaths, OutputsThatAreTheInputOrEachOtherAreRefused) {
    RunDirectory directory;
    directory.generate("sphere", 300);
    ASSERT_EQ(directory.shell("mv rawPoints.txt t.xyz && mkdir side && cp t.xyz "
                              "side/propagation.txt && printf 'true\\n20\\n' > c.cfg && "
                              "{ printf 'ply\\nformat ascii 1.0\\nelement vertex 300\\nproperty "
                              "double x\\nproperty double y\\nproperty double z\\nend_header\\n'; "
                              "cat t.xyz; } > in.ply && ln -s t.xyz link.xyz"),
              0);
    const std::string same = "is the same file as";
    expectRefusedLeavingAllAsItWas(
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
    expectRefusedLeavingAllAsItWas(
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
