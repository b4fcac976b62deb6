// The library call: results in the input's order and coordinates, repeatable on two
// threads at once, options honoured, and bad input refused with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fanmesh/fanmesh.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Evenly spread points on a sphere (golden-angle spiral) around centre, as x y z triples.
void addSphere(std::vector<double>& xyz, int count, double radius, double centreX) {
    for (int i = 0; i < count; ++i) {
        const double z = 1.0 - (2.0 * i + 1.0) / count;
        const double r = std::sqrt(1.0 - z * z);
        const double angle = i * PI * (3.0 - std::sqrt(5.0));
        xyz.insert(xyz.end(), {centreX + radius * r * std::cos(angle), radius * r * std::sin(angle),
                               radius * z});
    }
}

std::vector<double> sphere(int count) {
    std::vector<double> xyz;
    addSphere(xyz, count, 5.0, 0.0);
    return xyz;
}

std::string errorOf(const std::vector<double>& xyz, std::size_t count) {
    try {
        fanmesh::reconstruct(xyz.data(), count);
    } catch (const fanmesh::Error& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(Reconstruct, ResultIsInTheInputsOrderAndCoordinates) {
    std::vector<double> xyz = sphere(600);
    // Near-duplicates of points 10 and 20 are dropped, which reorders the run's records.
    xyz.insert(xyz.begin(), {xyz[30] + 1e-4, xyz[31], xyz[32], xyz[60], xyz[61] + 1e-4, xyz[62]});
    fanmesh::Options options;
    options.preparedCoordinates = true;
    const fanmesh::Result result = fanmesh::reconstruct(xyz, options);
    const std::size_t n = xyz.size() / 3;

    EXPECT_EQ(result.report.pointsRead, static_cast<int64_t>(n));
    EXPECT_EQ(result.report.faces * 3, static_cast<int64_t>(result.faces.size()));
    EXPECT_GT(result.report.pointsUsed, 590);
    EXPECT_EQ(result.report.components, 1);
    EXPECT_EQ(result.report.nonManifoldEdges, 0);
    std::set<int32_t> used(result.faces.begin(), result.faces.end());
    EXPECT_EQ(static_cast<int64_t>(used.size()), result.report.pointsUsed);
    EXPECT_LT(*used.rbegin(), static_cast<int32_t>(n));
    // Faces join near input points (spacing about 0.7 on this sphere of radius 5).
    int longEdges = 0;
    for (std::size_t f = 0; f < result.faces.size(); ++f) {
        const double* a = &xyz[3 * result.faces[f]];
        const double* b = &xyz[3 * result.faces[f % 3 == 2 ? f - 2 : f + 1]];
        longEdges += std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]) > 2.0;
    }
    EXPECT_EQ(longEdges, 0);

    // Prepared point i is input point i moved and scaled by one common map.
    ASSERT_EQ(result.preparedCoordinates.size(), xyz.size());
    const double scale =
        (result.preparedCoordinates[3] - result.preparedCoordinates[0]) / (xyz[3] - xyz[0]);
    for (std::size_t i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) {
            const double offset = result.preparedCoordinates[c] - scale * xyz[c];
            EXPECT_NEAR(result.preparedCoordinates[3 * i + c], scale * xyz[3 * i + c] + offset,
                        1e-9)
                << i;
        }
    }
    // On a sphere around the origin every used point's normal is radial and of unit length.
    for (const int32_t i : used) {
        const double* normal = &result.normals[3 * i];
        const double* point = &xyz[3 * i];
        const double along =
            (normal[0] * point[0] + normal[1] * point[1] + normal[2] * point[2]) /
            std::sqrt(point[0] * point[0] + point[1] * point[1] + point[2] * point[2]);
        EXPECT_NEAR(std::fabs(along), 1.0, 0.02) << i;
    }
}

TEST(Reconstruct, RepeatsExactlyInARowAndOnTwoThreads) {
    const std::vector<double> xyz = sphere(800);
    const fanmesh::Result first = fanmesh::reconstruct(xyz);
    fanmesh::Result onThread[2];
    std::thread a([&] { onThread[0] = fanmesh::reconstruct(xyz); });
    std::thread b([&] { onThread[1] = fanmesh::reconstruct(xyz); });
    a.join();
    b.join();
    for (const fanmesh::Result& other : {fanmesh::reconstruct(xyz), onThread[0], onThread[1]}) {
        EXPECT_EQ(other.faces, first.faces);
        EXPECT_EQ(other.normals, first.normals);
    }
    EXPECT_FALSE(first.faces.empty());
}

TEST(Reconstruct, OptionsAreHonoured) {
    std::vector<double> xyz;
    addSphere(xyz, 500, 5.0, -8.0);
    addSphere(xyz, 300, 5.0, 8.0);
    const fanmesh::Result largest = fanmesh::reconstruct(xyz);
    fanmesh::Options all;
    all.allComponents = true;
    const fanmesh::Result both = fanmesh::reconstruct(xyz, all);
    EXPECT_EQ(largest.report.components, 1);
    EXPECT_EQ(both.report.components, 2);
    for (const int32_t corner : largest.faces) {
        EXPECT_LT(corner, 500); // the larger sphere comes first
    }
    fanmesh::Options coarse;
    coarse.unwantedPercent = 60; // drops every point closer than 60% of its 16th neighbour
    EXPECT_NE(fanmesh::reconstruct(xyz, coarse).faces, largest.faces);
}

TEST(Reconstruct, BadInputIsRefusedWithTheReason) {
    std::vector<double> xyz = sphere(40);
    EXPECT_NE(errorOf(xyz, 16).find("too few points: 16 read, at least 17"), std::string::npos);
    EXPECT_NE(errorOf(xyz, 0).find("too few points: 0 read"), std::string::npos);
    std::vector<double> bad = xyz;
    bad[3 * 7 + 1] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(errorOf(bad, 40).find("point 8 (counting from 1): a coordinate is not a finite"),
              std::string::npos);
    bad[3 * 7 + 1] = 1e39;
    EXPECT_NE(errorOf(bad, 40).find("point 8 (counting from 1): a coordinate is beyond"),
              std::string::npos);
    EXPECT_NE(errorOf(std::vector<double>(60, 2.5), 20)
                  .find("only 1 distinct point remains after setting aside 19 repeated"),
              std::string::npos);
    EXPECT_THROW(fanmesh::reconstruct(std::span<const double>(xyz.data(), 100)), fanmesh::Error);
}

TEST(Reconstruct, OptionsOutsideTheirRangeAreRefused) {
    const std::vector<double> xyz = sphere(40);
    const auto errorWith = [&](auto change) {
        fanmesh::Options options;
        change(options);
        try {
            fanmesh::reconstruct(xyz, options);
        } catch (const fanmesh::Error& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_EQ(errorWith([](fanmesh::Options& o) { o.unwantedPercent = 101; }),
              "the unwanted-point percent 101 is outside 0 to 100");
    EXPECT_EQ(errorWith([](fanmesh::Options& o) { o.unwantedPercent = -1; }),
              "the unwanted-point percent -1 is outside 0 to 100");
    EXPECT_EQ(errorWith([](fanmesh::Options& o) { o.maxLayers = 0; }),
              "the layer limit 0 is below 1");
    EXPECT_EQ(errorWith([](fanmesh::Options& o) { o.rayHitDistance = -0.5; }),
              "the ray hit distance -0.5 is not a finite number of 0 or more");
    EXPECT_EQ(errorWith([](fanmesh::Options& o) {
                  o.rayHitDistance = std::numeric_limits<double>::quiet_NaN();
              }),
              "the ray hit distance nan is not a finite number of 0 or more");
    // The ends of the ranges are accepted.
    EXPECT_EQ(errorWith([](fanmesh::Options& o) {
                  o.unwantedPercent = 0;
                  o.maxLayers = 1;
                  o.rayHitDistance = 0.0;
              }),
              "");
}
