// Test support: a fresh working directory in which the built programs run, and one way to
// run fanmesh there capturing its exit status, standard output and standard error.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/TextFiles.h"

namespace meshtest {

// What a run of the program gave.
struct Outcome {
    int status;
    std::string console; // standard output
    std::string errors;  // standard error
};

struct RunDirectory {
    std::filesystem::path path;

    RunDirectory() {
        std::string pattern = ::testing::TempDir() + "fanmeshrunXXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~RunDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }

    // Runs a shell command inside the directory; returns its exit status.
    int shell(const std::string& command) const {
        const int status = std::system(("cd '" + path.string() + "' && " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Writes "rawPoints.txt" with count points of a generated shape.
    void generate(const std::string& shape, int count, int seed = 1) const {
        ASSERT_EQ(shell("'" FANMESH_BINARY_DIR "/generate_sample' " + shape + " " +
                        std::to_string(count) + " " + std::to_string(seed) + " > rawPoints.txt"),
                  0);
    }
    // Writes the bytes to the named file in the directory; returns the file's path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
        return (path / name).string();
    }
    // Runs fanmesh with the arguments inside the directory, standard input at its end. The
    // output is captured in files beside the directory, so the run leaves none in it.
    Outcome fanmesh(const std::string& arguments = "") const {
        const std::string captured = path.string() + ".";
        Outcome outcome;
        outcome.status = shell("'" FANMESH_BINARY_DIR "/fanmesh' " + arguments +
                               " < /dev/null > '" + captured + "out' 2> '" + captured + "err'");
        outcome.console = readFile(captured + "out");
        outcome.errors = readFile(captured + "err");
        std::filesystem::remove(captured + "out");
        std::filesystem::remove(captured + "err");
        return outcome;
    }

    // Names of the entries in the directory, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The names and contents of every entry under the directory, sorted.
inline std::vector<std::string> snapshot(const RunDirectory& directory) {
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory.path)) {
        const std::string name = entry.path().lexically_relative(directory.path).string();
        entries.push_back(entry.is_regular_file() ? name + "=" + readFile(entry.path().string())
                                                  : name + "/");
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A run that must fail: its arguments, a part of its standard error, its exit status.
struct Refusal {
    std::string arguments, message;
    int status;
};

// Runs each case in the directory; checks its status and message, and that it changed
// nothing in the directory.
inline void expectRefusals(const RunDirectory& directory, const std::vector<Refusal>& cases) {
    const std::vector<std::string> before = snapshot(directory);
    for (const Refusal& c : cases) {
        const Outcome outcome = directory.fanmesh(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.errors;
        EXPECT_EQ(snapshot(directory), before) << c.arguments;
    }
}

} // namespace meshtest
