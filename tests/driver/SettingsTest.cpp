// Settings file rules: positional setting lines, skipped comment and empty lines, the exact
// "false" line, "%d"-style integers and files that end early.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "driver/Settings.h"
#include "support/RunDirectory.h"

namespace {

// Reads the settings from a file holding the content; the failure and the file's path go
// where asked.
Settings settingsFrom(const std::string& content, Failure* failure = nullptr,
                      std::string* path = nullptr) {
    const meshtest::RunDirectory folder;
    const std::string file = folder.write("configuration.txt", content);
    if (path != nullptr) {
        *path = file;
    }
    return readSettings(file.c_str(), failure);
}

TEST(Settings, LinesAreReadByPosition) {
    const std::string longComment = "/" + std::string(5000, 'x') + "\n";
    const std::string fittingComment = "/" + std::string(4093, 'x') + "\n";
    const struct {
        std::string content;
        bool keep;
        int percent, layers;
        bool removeFans;
    } cases[] = {
        {"", true, 20, 999, true},
        {"/ only a comment\n\n\r\n", true, 20, 999, true},
        {"/ first\ntrue\n/ second\n\n20\n999\nfalse\n", true, 20, 999, false},
        {"\n/x\nfalse\n\n\n35\n/y\n7\nfalse\nfalse\n", false, 35, 7, false},
        // CR LF line ends: the CR is part of the line end, for "false" and empty lines alike.
        {"false\r\n\r\n/c\r\n12\r\n3\r\nfalse\r\n", false, 12, 3, false},
        // Only the exact "false" line switches off; without a line end it stays on.
        {"False\n1\n2\n false\n", true, 1, 2, true},
        {"false \n1\n2\n0\n", true, 1, 2, true},
        {"false\n1\n2\nfalse", false, 1, 2, true},
        // Integers follow "%d": trailing letters ignored, signs, overflow saturates.
        {"true\n20abc\n  -5\ntrue\n", true, 20, -5, true},
        {"true\nabc\n+40\ntrue\n", true, 20, 40, true},
        {"true\n0\n99999999999\ntrue\n", true, 0, INT_MAX, true},
        // A line of blanks is a setting line: the integer keeps its default.
        {"true\n   \n15\nfalse\n", true, 20, 15, false},
        // Files ending early leave the rest at defaults.
        {"false\n", false, 20, 999, true},
        {"true\n50\n", true, 50, 999, true},
        // Lines of any length are read whole: a long comment does not shift the settings,
        // and text after a long run of digits is still ignored.
        {longComment + "false\n30\n40\n", false, 30, 40, true},
        {fittingComment + "false\n30\n40\nfalse\n", false, 30, 40, false},
        {"true\n7" + std::string(6000, ' ') + "9\n8\n" + longComment + "false\n", true, 7, 8,
         false},
    };
    for (const auto& c : cases) {
        const Settings s = settingsFrom(c.content);
        const std::string shown = c.content.substr(0, 40);
        EXPECT_EQ(s.keepLargestComponent, c.keep) << shown;
        EXPECT_EQ(s.unwantedPointPercent, c.percent) << shown;
        EXPECT_EQ(s.configuredMaxLayers, c.layers) << shown;
        EXPECT_EQ(s.removeInconsistentFans, c.removeFans) << shown;
    }
    // A NUL byte is an error naming its line; the settings before it stand.
    Failure failure;
    std::string path;
    const Settings stopped =
        settingsFrom("false\n/ comment\n3" + std::string(1, '\0') + "0\n5\n", &failure, &path);
    EXPECT_FALSE(stopped.keepLargestComponent);
    EXPECT_EQ(stopped.unwantedPointPercent, 20);
    EXPECT_EQ(failure.line, 3);
    EXPECT_EQ(failure.describe(), path + ", line 3: the line holds a NUL byte");

    const Settings missing = readSettings("/nonexistent/configuration.txt");
    EXPECT_TRUE(missing.keepLargestComponent && missing.removeInconsistentFans);
    EXPECT_EQ(missing.unwantedPointPercent, 20);
    EXPECT_EQ(missing.configuredMaxLayers, 999);
}

} // namespace
