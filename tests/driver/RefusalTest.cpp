// Whole-program runs that must fail: settings outside their range are refused with a message
// naming the culprit.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/RunDirectory.h"

namespace {

using meshtest::RunDirectory;

struct Refusal {
    std::string arguments, message;
    int status;
};

// Runs each case and checks its status, message and that the directory's entries are as
// before.
void expectRefusals(const RunDirectory& directory, const std::vector<Refusal>& cases) {
    const std::vector<std::string> before = directory.files();
    for (const Refusal& c : cases) {
        const meshtest::Outcome outcome = directory.fanmesh(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.errors;
        EXPECT_EQ(directory.files(), before) << c.arguments;
    }
}

} // namespace

TEST(Refusal, SettingsOutsideTheirRange) {
    RunDirectory directory;
    directory.generate("sphere", 300);
    ASSERT_EQ(directory.shell("mv rawPoints.txt t.xyz && printf 'true\\n500\\n' > p500.cfg && "
                              "printf 'true\\n20\\n0\\n' > layers0.cfg"),
              0);
    expectRefusals(
        directory,
        {
            {"t.xyz --ray-hit-distance nan", "--ray-hit-distance", 2},
            {"t.xyz --ray-hit-distance inf", "--ray-hit-distance", 2},
            {"--ray-hit-distance nan", "--ray-hit-distance", 2},
            {"t.xyz --config p500.cfg",
             "fanmesh: p500.cfg: the unwanted-point percent 500 is outside 0 to 100", 2},
            {"t.xyz --config layers0.cfg", "layers0.cfg: the layer limit 0 is below 1", 2},
        });
    // The command line's value wins over the file's, and is in range.
    EXPECT_EQ(directory.fanmesh("t.xyz -q --config p500.cfg --unwanted-percent 20").status, 0);
}
