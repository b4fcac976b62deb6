// Test support: a fresh working directory in which the built programs run.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/TextFiles.h"

namespace meshtest {

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
    // Runs fanmesh with standard input at its end and stderr discarded; console receives
    // its standard output, which leaves no file behind.
    int run(std::string& console, const std::string& arguments = "") const {
        const int status =
            shell("'" FANMESH_BINARY_DIR "/fanmesh' " + arguments + " < /dev/null > ../console-" +
                  path.filename().string() + " 2> /dev/null");
        const std::filesystem::path output =
            path.parent_path() / ("console-" + path.filename().string());
        console = readFile(output);
        std::filesystem::remove(output);
        return status;
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace meshtest
