// Settings file rules: positional setting lines, skipped comment and empty lines, the exact
// "false" line, "%d"-style integers and files that end early.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "driver/Settings.h"

namespace {

Settings settingsFrom(const std::string& content) {
    std::string path = ::testing::TempDir() + "settingsXXXXXX";
    const int fd = mkstemp(path.data());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    const Settings settings = readSettings(path.c_str());
    std::remove(path.c_str());
    return settings;
}

void expectSettings(const Settings& s, bool keep, int percent, int layers, bool removeFans) {
    EXPECT_EQ(s.keepLargestComponent, keep);
    EXPECT_EQ(s.unwantedPointPercent, percent);
    EXPECT_EQ(s.configuredMaxLayers, layers);
    EXPECT_EQ(s.removeInconsistentFans, removeFans);
}

TEST(Settings, MissingOrEmptyFileKeepsDefaults) {
    expectSettings(readSettings("/nonexistent/configuration.txt"), true, 20, 999, true);
    expectSettings(settingsFrom(""), true, 20, 999, true);
    expectSettings(settingsFrom("/ only a comment\n\n\r\n"), true, 20, 999, true);
}

TEST(Settings, CommentAndEmptyLinesDoNotShiftPositions) {
    expectSettings(settingsFrom("/ first\ntrue\n/ second\n\n20\n999\nfalse\n"), true, 20, 999,
                   false);
    expectSettings(settingsFrom("\n/x\nfalse\n\n\n35\n/y\n7\nfalse\nfalse\n"), false, 35, 7, false);
    // CR LF line ends: the CR is part of the line end, both for "false" and empty lines.
    expectSettings(settingsFrom("false\r\n\r\n/c\r\n12\r\n3\r\nfalse\r\n"), false, 12, 3, false);
}

TEST(Settings, OnlyTheExactFalseLineSwitchesOff) {
    expectSettings(settingsFrom("False\n1\n2\n false\n"), true, 1, 2, true);
    expectSettings(settingsFrom("false \n1\n2\n0\n"), true, 1, 2, true);
    // No line end after the last "false": it stays on.
    expectSettings(settingsFrom("false\n1\n2\nfalse"), false, 1, 2, true);
}

TEST(Settings, IntegersFollowScanfDecimalConversion) {
    expectSettings(settingsFrom("true\n20abc\n  -5\ntrue\n"), true, 20, -5, true);
    expectSettings(settingsFrom("true\nabc\n+40\ntrue\n"), true, 20, 40, true);
    expectSettings(settingsFrom("true\n0\n99999999999\ntrue\n"), true, 0, INT_MAX, true);
    // A line of blanks is a setting line: the integer keeps its default, positions move on.
    expectSettings(settingsFrom("true\n   \n15\nfalse\n"), true, 20, 15, false);
}

TEST(Settings, FileEndingEarlyLeavesTheRestAtDefaults) {
    expectSettings(settingsFrom("false\n"), false, 20, 999, true);
    expectSettings(settingsFrom("true\n50\n"), true, 50, 999, true);
}

TEST(Settings, OverlongLineIsReadInPiecesThatCountAsLines) {
    // The comment line is longer than one buffer: its second piece is a setting line.
    const std::string longComment = "/" + std::string(5000, 'x') + "\n";
    expectSettings(settingsFrom(longComment + "false\n30\n40\n"), true, 20, 30, true);
    // A 4094-character comment plus its line end fits exactly in one piece.
    const std::string fitting = "/" + std::string(4093, 'x') + "\n";
    expectSettings(settingsFrom(fitting + "false\n30\n40\nfalse\n"), false, 30, 40, false);
}

} // namespace
