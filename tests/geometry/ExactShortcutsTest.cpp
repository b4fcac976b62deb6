// Tests of the shortcuts that must answer exactly as the plain computation: the order of two
// angles read from their cosines, and the prepared triangle's line tests against the free
// functions, on many random and on hand-picked awkward inputs.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

#include "geometry/Geometry.h"
#include "geometry/PreparedTriangle.h"

namespace {

// Angle of a cosine in degrees, computed as angleBetweenDeg does.
double degrees(double cosine) {
    return std::acos(cosine) * RADIANS_TO_DEGREES;
}

int exactOrder(double cosA, double cosB) {
    const double a = degrees(cosA);
    const double b = degrees(cosB);
    return a < b ? -1 : (a > b ? 1 : 0);
}

Vector3 randomVector(std::mt19937_64& random, double scale) {
    std::uniform_real_distribution<double> d(-scale, scale);
    const double x = d(random);
    const double y = d(random);
    const double z = d(random);
    return Vector3(x, y, z);
}

bool sameBits(const Vector3& u, const Vector3& v) {
    return std::memcmp(&u, &v, sizeof(Vector3)) == 0;
}

} // namespace

TEST(AngleOrderFromCosines, AgreesWithTheAnglesWheneverItDecides) {
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    // Offsets of the second cosine: inside, at and beyond the margin, in both directions.
    const double offsets[] = {0.0,     1e-12,    -1e-12, 5e-10, -5e-10, 1e-9,  -1e-9,
                              1.01e-9, -1.01e-9, 2e-9,   -2e-9, 1e-6,   -1e-6, 0.25};
    int decided = 0;
    for (int i = 0; i < 200000; ++i) {
        // Cosines near 1 and -1 are where acos is steepest and rounding coarsest.
        double c = unit(random);
        if (i % 4 == 1) {
            c = 1.0 - std::ldexp(std::fabs(c), -(i % 50));
        } else if (i % 4 == 2) {
            c = -1.0 + std::ldexp(std::fabs(c), -(i % 50));
        }
        for (const double offset : offsets) {
            const double other = std::clamp(c + offset, -1.0, 1.0);
            const int order = angleOrderFromCosines(c, other);
            if (order != 0) {
                ++decided;
                ASSERT_EQ(order, exactOrder(c, other)) << c << " " << other;
            }
            if (std::fabs(c - other) > 2e-9) {
                ASSERT_NE(order, 0) << c << " " << other;
            }
        }
    }
    EXPECT_GT(decided, 1000000);

    // Cosines of real vector pairs, as clampedCosine gives them.
    for (int i = 0; i < 100000; ++i) {
        const Vector3 u = randomVector(random, 1.0);
        const Vector3 v = randomVector(random, 1.0);
        const Vector3 w = randomVector(random, 1.0);
        const double cuv = clampedCosine(u, v);
        const double cuw = clampedCosine(u, w);
        const int order = angleOrderFromCosines(cuv, cuw);
        if (order != 0) {
            ASSERT_EQ(order, exactOrder(cuv, cuw));
        }
        EXPECT_EQ(vertexCosine(u, v, w), clampedCosine(difference(v, u), difference(w, u)));
    }

    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(angleOrderFromCosines(nan, 0.5), 0);
    EXPECT_EQ(angleOrderFromCosines(0.5, nan), 0);
    EXPECT_EQ(angleOrderFromCosines(1.0, -1.0), -1);
    EXPECT_EQ(angleOrderFromCosines(-1.0, 1.0), 1);
}

TEST(AngleOrderFromCosines, DecidesFixedLimitsAsTheAngleInDegreesWould) {
    // A limit's cosine from std::cos stands for the limit in degrees: whenever the order
    // is decided, the angle in degrees lies on the same side of the limit.
    const double limits[] = {15.0, 45.0, 90.0, 100.0, 120.0, 140.0, 179.0};
    const double degreesToRadians = 0.017453292519943295;
    for (const double limit : limits) {
        const double limitCosine = std::cos(limit * degreesToRadians);
        for (int k = -4000; k <= 4000; ++k) {
            const double c = std::clamp(limitCosine + k * 2.5e-13, -1.0, 1.0);
            const int order = angleOrderFromCosines(c, limitCosine);
            if (order < 0) {
                ASSERT_LT(degrees(c), limit) << limit << " " << k;
            } else if (order > 0) {
                ASSERT_GT(degrees(c), limit) << limit << " " << k;
            }
            for (const double far : {1.5e-9, -1.5e-9, 1e-3, -1e-3}) {
                const double d = std::clamp(limitCosine + far + k * 1e-13, -1.0, 1.0);
                const int farOrder = angleOrderFromCosines(d, limitCosine);
                ASSERT_NE(farOrder, 0);
                ASSERT_EQ(farOrder < 0, degrees(d) < limit);
            }
        }
    }
}

TEST(AngleSumOrderFromCosines, AgreesWithTheSumOfTheAnglesWheneverItDecides) {
    std::mt19937_64 random(4242);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double degreesToRadians = 0.017453292519943295;
    const double offsets[] = {0.0, 1e-13, -1e-13, 1e-10, -1e-10, 1e-7, -1e-7, 1e-3, -1e-3, 30.0};
    int decided = 0;
    int above = 0;
    for (const double limit : {150.0, 90.0, 10.0, 170.0}) {
        const double limitCosine = std::cos(limit * degreesToRadians);
        for (int i = 0; i < 40000; ++i) {
            // A first angle anywhere, also at or next to 0 and 180 degrees, and a second one
            // that brings the sum to the limit, to 180 or to 360, give or take an offset.
            double first = unit(random) * 180.0;
            if (i % 8 == 1) {
                first = 0.0;
            } else if (i % 8 == 2) {
                first = 180.0 - unit(random) * 1e-6;
            }
            const double target = i % 3 == 0 ? limit : (i % 3 == 1 ? 180.0 : 360.0);
            for (const double offset : offsets) {
                const double second = std::clamp(target - first + offset, 0.0, 180.0);
                const double cosA = std::cos(first * degreesToRadians);
                const double cosB = i % 5 == 0 ? -1.0 : std::cos(second * degreesToRadians);
                const double sum = degrees(cosA) + degrees(cosB);
                const int order = angleSumOrderFromCosines(cosA, cosB, limitCosine);
                if (order != 0) {
                    ++decided;
                    above += order > 0 ? 1 : 0;
                    ASSERT_EQ(order > 0, sum >= limit) << cosA << " " << cosB << " " << limit;
                }
                if (std::fabs(sum - limit) > 1e-3 && std::fabs(sum - 360.0) > 1e-3 && sum > 1e-3) {
                    ASSERT_NE(order, 0) << cosA << " " << cosB << " " << limit;
                }
            }
        }
    }
    EXPECT_GT(decided, 1000000);
    EXPECT_GT(above, 100000);
    EXPECT_GT(decided - above, 10000);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(angleSumOrderFromCosines(nan, 0.5, -0.5), 0);
    EXPECT_EQ(angleSumOrderFromCosines(0.5, nan, -0.5), 0);
}

TEST(PreparedTriangle, AnswersBitForBitAsTheFreeFunctions) {
    std::mt19937_64 random(777);
    int wedgeHits = 0;
    int triangleHits = 0;
    for (int i = 0; i < 100000; ++i) {
        Vector3 a = randomVector(random, 1.0);
        Vector3 b = randomVector(random, 1.0);
        Vector3 c = randomVector(random, 1.0);
        Vector3 direction = randomVector(random, 1.0);
        const Vector3 origin = randomVector(random, 2.0);
        switch (i % 10) {
        case 1: // degenerate: two corners equal
            c = b;
            break;
        case 2: // line parallel to the plane
            direction = difference(b, a);
            break;
        case 3: // origin on an edge's line
            a = origin;
            break;
        case 4: // all corners equal
            b = a;
            c = a;
            break;
        default:
            break;
        }
        const PreparedTriangle triangle(a, b, c);
        const double along = triangle.normal.dot(direction);
        Vector3 freeHit = origin;
        linePlaneIntersection(a, b, c, direction, origin, freeHit);
        ASSERT_TRUE(sameBits(triangle.hitPoint(direction, origin), freeHit));
        const bool wedge = inWedge(a, b, c, direction, origin);
        ASSERT_EQ(triangle.inWedgeAlong(along, direction, origin), wedge);
        const bool hits = lineHitsTriangle(a, b, c, direction, origin);
        ASSERT_EQ(triangle.lineHits(direction, origin), hits);
        ASSERT_EQ(triangle.rayHitsBehindAlong(along, direction, origin),
                  rayHitsTriangleBehind(a, b, c, direction, origin));
        wedgeHits += wedge ? 1 : 0;
        triangleHits += hits ? 1 : 0;
    }
    // Both answers occur often enough for the comparison to mean something.
    EXPECT_GT(wedgeHits, 5000);
    EXPECT_GT(triangleHits, 2000);
    EXPECT_LT(wedgeHits, 95000);
}
