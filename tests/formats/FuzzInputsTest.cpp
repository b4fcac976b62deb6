// Replays the fuzz seed corpus and every kept fuzz finding through the two text parsers,
// so that a fixed crash stays fixed in the ordinary (and the sanitizer) test build.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/Settings.h"
#include "prep/PointSetPreparation.h"
#include "support/TextFiles.h"

namespace {

std::vector<std::filesystem::path> fuzzInputs(const std::string& target) {
    std::vector<std::filesystem::path> inputs;
    for (const char* kind : {"corpus", "regressions"}) {
        const std::filesystem::path folder =
            std::filesystem::path(FANMESH_SOURCE_DIR) / "fuzz" / kind / target;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename() != ".keep") {
                inputs.push_back(entry.path());
            }
        }
    }
    return inputs;
}

TEST(FuzzInputs, ParsersAcceptOrExplainEveryKeptInput) {
    const std::vector<std::filesystem::path> points = fuzzInputs("point_file");
    EXPECT_GE(points.size(), 4u);
    for (const auto& input : points) {
        std::FILE* file = std::fopen(input.c_str(), "r");
        ASSERT_NE(file, nullptr) << input;
        std::vector<double> read;
        Failure failure;
        const bool accepted = readPointLines(file, input.string(), read, failure, nullptr);
        EXPECT_NE(accepted, failure.failed()) << input;
        std::fclose(file);
    }
    for (const auto& input : fuzzInputs("settings_file")) {
        Failure failure;
        readSettings(input.c_str(), &failure);
        EXPECT_TRUE(!failure.failed() || failure.line > 0) << input;
    }
}

} // namespace
