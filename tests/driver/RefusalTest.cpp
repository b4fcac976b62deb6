// Whole-program runs that must fail: settings outside their range, side files that cannot be
// written, and empty paths are refused with a message naming the culprit, and a failed run
// leaves none of the side files and folders it created.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/RunDirectory.h"

using meshtest::RunDirectory;

TEST(Refusal, SettingsOutsideTheirRangeAndBadSettingsFiles) {
    RunDirectory directory;
    directory.generate("sphere", 300);
    ASSERT_EQ(directory.shell("mv rawPoints.txt t.xyz && printf 'true\\n500\\n' > p500.cfg && "
                              "printf 'true\\n20\\n0\\n' > layers0.cfg && mkdir folder.cfg"),
              0);
    meshtest::expectRefusals(
        directory,
        {
            {"t.xyz --ray-hit-distance nan", "--ray-hit-distance", 2},
            {"t.xyz --ray-hit-distance inf", "--ray-hit-distance", 2},
            {"--ray-hit-distance nan", "--ray-hit-distance", 2},
            {"t.xyz --ray-reach -1", "--ray-reach", 2},
            {"t.xyz --ray-reach nan", "--ray-reach", 2},
            {"--ray-reach 3", "--ray-reach", 2},
            {"t.xyz --max-fan-tilt -5", "--max-fan-tilt", 2},
            {"t.xyz --max-fan-tilt inf", "--max-fan-tilt", 2},
            {"--max-fan-tilt 45", "--max-fan-tilt", 2},
            {"t.xyz --open-rise-limit -1", "--open-rise-limit", 2},
            {"t.xyz --open-rise-limit 91", "--open-rise-limit", 2},
            {"--open-rise-limit 30", "--open-rise-limit", 2},
            {"t.xyz --config p500.cfg",
             "fanmesh: p500.cfg: the unwanted-point percent 500 is outside 0 to 100", 2},
            {"t.xyz --config layers0.cfg", "layers0.cfg: the layer limit 0 is below 1", 2},
            {"t.xyz --config folder.cfg", "folder.cfg: cannot read: not a regular file", 1},
            {"''", "INPUT: the path is empty", 2},
            {"t.xyz -o ''", "--output: the path is empty", 2},
            {"t.xyz --report ''", "--report: the path is empty", 2},
            {"t.xyz --side-files ''", "--side-files: the path is empty", 2},
            {"t.xyz --config ''", "--config: the path is empty", 2},
        });
    // The command line's value wins over the file's, and is in range.
    EXPECT_EQ(directory.fanmesh("t.xyz -q --config p500.cfg --unwanted-percent 20").status, 0);
}

TEST(Refusal, SideFilesThatCannotBeWrittenFailTheRunAndAreNamed) {
    RunDirectory directory;
    directory.generate("sphere", 300);
    ASSERT_EQ(directory.shell("mkdir a b c && ln -s /dev/full a/stats.txt && "
                              "ln -s /dev/full b/timingForNeighbours.txt && "
                              "mkdir c/propagation.txt"),
              0);
    const struct {
        std::string folder, message;
    } cases[] = {
        {"a", "fanmesh: a/stats.txt: cannot write the side file"},
        {"b", "fanmesh: b/timingForNeighbours.txt: cannot write the side file"},
        {"c", "fanmesh: c/propagation.txt: cannot create the side file"},
    };
    for (const auto& c : cases) {
        const meshtest::Outcome outcome =
            directory.fanmesh("rawPoints.txt -q -o m.ply --side-files " + c.folder);
        EXPECT_EQ(outcome.status, 1) << c.folder;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos) << outcome.errors;
        EXPECT_FALSE(std::filesystem::exists(directory.path / "m.ply")) << c.folder;
    }
    // The run without INPUT: the same failure, without "File error".
    ASSERT_EQ(directory.shell("ln -s /dev/full stats.txt"), 0);
    const meshtest::Outcome outcome = directory.fanmesh();
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("fanmesh: stats.txt: cannot write the side file"),
              std::string::npos)
        << outcome.errors;
    EXPECT_EQ(outcome.console.find("File error"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(directory.path / "outOFFFile.ply"));
    // A link in the place of the mesh's temporary file is not written through.
    ASSERT_EQ(directory.shell("echo mine > mine.txt && "
                              "ln -s mine.txt outOFFFile.ply.partial"),
              0);
    const meshtest::Outcome linked = directory.fanmesh();
    EXPECT_EQ(linked.status, 1);
    EXPECT_NE(linked.errors.find("outOFFFile.ply"), std::string::npos) << linked.errors;
    EXPECT_EQ(meshtest::readFile((directory.path / "mine.txt").string()), "mine\n");
    EXPECT_FALSE(std::filesystem::exists(directory.path / "outOFFFile.ply"));
}

TEST(Refusal, AFailedRunRemovesTheSideFilesAndFoldersItCreated) {
    RunDirectory directory;
    ASSERT_EQ(directory.shell("awk 'BEGIN { for (i = 0; i < 10; ++i) print i, 0, 0 }' > few.xyz "
                              "&& awk 'BEGIN { for (i = 0; i < 40; ++i) print i, 2 * i, 0 }' "
                              "> line.xyz && mkdir kept && echo mine > kept/mine.txt"),
              0);
    const meshtest::Outcome few = directory.fanmesh("few.xyz -q --side-files new/a/b");
    EXPECT_EQ(few.status, 1) << few.errors;
    const meshtest::Outcome line =
        directory.fanmesh("line.xyz -q --unwanted-percent 0 --side-files new2");
    EXPECT_EQ(line.status, 3) << line.errors;
    // Points a spacing apart dropped as near-duplicates under 20 percent (the distance to the
    // 16th neighbour is 8 spacings), too few points remain: a failure after the side files
    // began.
    const meshtest::Outcome inKept =
        directory.fanmesh("line.xyz -q --unwanted-percent 20 --side-files kept");
    EXPECT_EQ(inKept.status, 1) << inKept.errors;
    EXPECT_EQ(directory.files(), (std::vector<std::string>{"few.xyz", "kept", "line.xyz"}));
    std::vector<std::string> kept;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path / "kept")) {
        kept.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(kept, std::vector<std::string>{"mine.txt"});
}
