// generate_sample: writes a synthetic point cloud in the "rawPoints.txt" format
// ("%f %f %f" per line) to standard output, sampled uniformly by surface area from a
// torus (R = 3, r = 1), its upper half (z > 0, an open surface), a sphere (radius 5) or
// two separate spheres (radius 5, centres 16 apart), or a cube of side 10. Shapes with thin
// parts (a knotted tube, a thin rounded plate, a body on thin legs, two close parallel
// sheets) and noise filling a box test coarse sampling; tight clusters of points scattered
// through a box have no surface at all. Options add Gaussian noise in units
// of the mean point spacing and make the density uneven along x. The generator has its own
// seeded PRNG, so a seed always gives the same file. Points are sampled independently, so the
// storage order is already random.
#include <ANN/ANN.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double TORUS_MAJOR_RADIUS = 3.0;
constexpr double TORUS_MINOR_RADIUS = 1.0;
constexpr double SPHERE_RADIUS = 5.0;
constexpr double TWO_SPHERE_OFFSET = 8.0; // centres at x = -8 and x = +8
constexpr double CUBE_HALF_SIDE = 5.0;
// Trefoil knot tube: centre line KNOT_SCALE * (sin t + 2 sin 2t, cos t - 2 cos 2t, -sin 3t);
// strands keep about 2.4 apart, so the tube of radius 0.5 never touches itself.
constexpr double KNOT_SCALE = 2.0;
constexpr double KNOT_TUBE_RADIUS = 0.5;
// Thin plate: the points within PLATE_HALF_THICKNESS of the rectangle |x| <= 5, |y| <= 3.
constexpr double PLATE_HALF_X = 5.0;
constexpr double PLATE_HALF_Y = 3.0;
constexpr double PLATE_HALF_THICKNESS = 0.25;
// Two open squares of half side 5 in the planes z = +-SHEET_HALF_GAP.
constexpr double SHEET_HALF_SIDE = 5.0;
constexpr double SHEET_HALF_GAP = 0.2;
// Radius of the four legs of the figure.
constexpr double FIGURE_LEG_RADIUS = 0.3;
constexpr double NOISE_BOX_HALF_SIDE = 5.0;
// Clusters: one centre, uniform in the noise box, per CLUSTER_SIZE points; each point picks
// a centre at random and lies a Gaussian offset of CLUSTER_SIGMA per axis from it.
constexpr uint64_t CLUSTER_SIZE = 50;
constexpr double CLUSTER_SIGMA = 0.01;

// splitmix64: small, fast and fully determined by the seed.
struct SplitMix64 {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1) with 53 random bits.
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

struct Point {
    double x, y, z;
};

Point operator+(Point a, Point b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Point operator*(double s, Point a) {
    return {s * a.x, s * a.y, s * a.z};
}
double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Point cross(Point a, Point b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Point normalised(Point a) {
    return (1.0 / std::sqrt(dot(a, a))) * a;
}

void printPoint(double x, double y, double z) {
    std::printf("%f %f %f\n", x, y, z);
}

// Uniform on the sphere: z uniform in [-1, 1] and azimuth uniform (Archimedes).
void sampleSphere(SplitMix64& random, double centreX, double& x, double& y, double& z) {
    const double cosTheta = 2.0 * random.uniform() - 1.0;
    const double sinTheta = std::sqrt(1.0 - cosTheta * cosTheta);
    const double phi = 2.0 * PI * random.uniform();
    x = centreX + SPHERE_RADIUS * sinTheta * std::cos(phi);
    y = SPHERE_RADIUS * sinTheta * std::sin(phi);
    z = SPHERE_RADIUS * cosTheta;
}

// Uniform on the torus: the area element grows with R + r cos(v), so (u, v) pairs are
// accepted with probability (R + r cos v) / (R + r).
void sampleTorus(SplitMix64& random, double& x, double& y, double& z) {
    for (;;) {
        const double u = 2.0 * PI * random.uniform();
        const double v = 2.0 * PI * random.uniform();
        const double w = random.uniform();
        const double ring = TORUS_MAJOR_RADIUS + TORUS_MINOR_RADIUS * std::cos(v);
        if (w * (TORUS_MAJOR_RADIUS + TORUS_MINOR_RADIUS) <= ring) {
            x = ring * std::cos(u);
            y = ring * std::sin(u);
            z = TORUS_MINOR_RADIUS * std::sin(v);
            return;
        }
    }
}

// Uniform on the surface of an axis-aligned cube centred at the origin: a face chosen with
// equal probability (the faces have equal areas), then a uniform point on it. The faces are
// exactly planar, as in models sampled from CAD data.
void sampleCube(SplitMix64& random, double& x, double& y, double& z) {
    const int face = static_cast<int>(random.uniform() * 6.0);
    const double a = CUBE_HALF_SIDE * (2.0 * random.uniform() - 1.0);
    const double b = CUBE_HALF_SIDE * (2.0 * random.uniform() - 1.0);
    const double side = (face % 2 == 0) ? -CUBE_HALF_SIDE : CUBE_HALF_SIDE;
    double coordinates[3];
    const int axis = face / 2;
    coordinates[axis] = side;
    coordinates[(axis + 1) % 3] = a;
    coordinates[(axis + 2) % 3] = b;
    x = coordinates[0];
    y = coordinates[1];
    z = coordinates[2];
}

// A uniformly distributed unit vector.
Point sampleDirection(SplitMix64& random) {
    Point d;
    sampleSphere(random, 0.0, d.x, d.y, d.z);
    return (1.0 / SPHERE_RADIUS) * d;
}

// Trefoil centre line, its first and second derivatives at parameter t.
void knotCentre(double t, Point& c, Point& dc, Point& ddc) {
    c = KNOT_SCALE * Point{std::sin(t) + 2.0 * std::sin(2.0 * t),
                           std::cos(t) - 2.0 * std::cos(2.0 * t), -std::sin(3.0 * t)};
    dc = KNOT_SCALE * Point{std::cos(t) + 4.0 * std::cos(2.0 * t),
                            -std::sin(t) + 4.0 * std::sin(2.0 * t), -3.0 * std::cos(3.0 * t)};
    ddc = KNOT_SCALE * Point{-std::sin(t) - 8.0 * std::sin(2.0 * t),
                             -std::cos(t) + 8.0 * std::cos(2.0 * t), 9.0 * std::sin(3.0 * t)};
}

// Uniform on the knot tube. With u the unit offset of a surface point from the centre line,
// T the unit tangent and T' its derivative, the area element is r (|c'| - r u.T') dt dangle,
// so (t, angle) pairs are accepted in proportion to that weight. Any frame around the
// tangent serves, since the angle is uniform in every cross-section.
struct KnotSampler {
    double weightBound = 0.0;

    static double tangentTurn(const Point& dc, const Point& ddc, Point& tangent, Point& turn) {
        const double speed = std::sqrt(dot(dc, dc));
        tangent = (1.0 / speed) * dc;
        turn = (1.0 / speed) * (ddc - dot(ddc, tangent) * tangent);
        return speed;
    }
    KnotSampler() {
        for (int i = 0; i < 4096; ++i) {
            Point c, dc, ddc, tangent, turn;
            knotCentre(2.0 * PI * i / 4096.0, c, dc, ddc);
            const double speed = tangentTurn(dc, ddc, tangent, turn);
            weightBound =
                std::max(weightBound, speed + KNOT_TUBE_RADIUS * std::sqrt(dot(turn, turn)));
        }
        weightBound *= 1.05; // margin for the parameter values between the grid points
    }
    Point sample(SplitMix64& random) const {
        for (;;) {
            const double t = 2.0 * PI * random.uniform();
            const double angle = 2.0 * PI * random.uniform();
            const double w = random.uniform();
            Point c, dc, ddc, tangent, turn;
            knotCentre(t, c, dc, ddc);
            const double speed = tangentTurn(dc, ddc, tangent, turn);
            // A frame around the tangent: the coordinate axis least aligned with it.
            Point axis{1.0, 0.0, 0.0};
            if (std::fabs(tangent.y) <= std::fabs(tangent.x) &&
                std::fabs(tangent.y) <= std::fabs(tangent.z)) {
                axis = {0.0, 1.0, 0.0};
            } else if (std::fabs(tangent.z) <= std::fabs(tangent.x)) {
                axis = {0.0, 0.0, 1.0};
            }
            const Point n = normalised(cross(tangent, axis));
            const Point b = cross(tangent, n);
            const Point u = std::cos(angle) * n + std::sin(angle) * b;
            if (w * weightBound <= speed - KNOT_TUBE_RADIUS * dot(u, turn)) {
                return c + KNOT_TUBE_RADIUS * u;
            }
        }
    }
};

// Uniform on the boundary of a thin rounded plate: two flat faces, four half-cylinders
// along the edges and four quarter-spheres at the corners (together one sphere).
Point samplePlate(SplitMix64& random) {
    const double a = PLATE_HALF_X, b = PLATE_HALF_Y, r = PLATE_HALF_THICKNESS;
    const double faces = 2.0 * (4.0 * a * b);
    const double edgesX = 2.0 * PI * r * 2.0 * a; // the two half-cylinders along x
    const double edgesY = 2.0 * PI * r * 2.0 * b;
    const double corners = 4.0 * PI * r * r;
    const double pick = random.uniform() * (faces + edgesX + edgesY + corners);
    if (pick < faces) {
        const double x = a * (2.0 * random.uniform() - 1.0);
        const double y = b * (2.0 * random.uniform() - 1.0);
        return {x, y, random.uniform() < 0.5 ? -r : r};
    }
    if (pick < faces + edgesX + edgesY) {
        const bool alongX = pick < faces + edgesX;
        const double along = (alongX ? a : b) * (2.0 * random.uniform() - 1.0);
        const double side = random.uniform() < 0.5 ? -1.0 : 1.0;
        const double angle = PI * (random.uniform() - 0.5); // the outer half of the circle
        const double across = side * ((alongX ? b : a) + r * std::cos(angle));
        const double z = r * std::sin(angle);
        return alongX ? Point{along, across, z} : Point{across, along, z};
    }
    const Point d = sampleDirection(random);
    return Point{d.x < 0.0 ? -a : a, d.y < 0.0 ? -b : b, 0.0} + r * d;
}

// A capsule: the points within radius of the segment from a to b (a sphere when a == b).
struct Capsule {
    Point a, b;
    double radius;

    double area() const {
        const Point axis = b - a;
        return 2.0 * PI * radius * std::sqrt(dot(axis, axis)) + 4.0 * PI * radius * radius;
    }
    bool contains(Point p) const {
        const Point axis = b - a;
        const double length2 = dot(axis, axis);
        const double s = length2 > 0.0 ? std::clamp(dot(p - a, axis) / length2, 0.0, 1.0) : 0.0;
        const Point offset = p - (a + s * axis);
        return dot(offset, offset) < radius * radius;
    }
    // Uniform on the capsule surface: the cylinder, or a sphere split into its two end caps.
    Point sample(SplitMix64& random) const {
        const Point axis = b - a;
        const double length = std::sqrt(dot(axis, axis));
        const double cylinder = 2.0 * PI * radius * length;
        if (random.uniform() * area() < cylinder) {
            const Point t = (1.0 / length) * axis;
            const Point helper = std::fabs(t.x) < 0.9 ? Point{1.0, 0.0, 0.0} : Point{0.0, 1.0, 0.0};
            const Point n = normalised(cross(t, helper));
            const Point m = cross(t, n);
            const double angle = 2.0 * PI * random.uniform();
            return a + random.uniform() * axis +
                   radius * (std::cos(angle) * n + std::sin(angle) * m);
        }
        const Point d = sampleDirection(random);
        return (dot(d, axis) < 0.0 ? a : b) + radius * d;
    }
};

// A four-legged figure: a body, a neck with a head, and four thin legs (radius 0.3, so
// 0.6 across), all capsules. Uniform on the surface of their union: a point of one
// capsule is kept only when no other capsule holds it.
const Capsule FIGURE_PARTS[] = {
    {{-3.0, 0.0, 0.0}, {3.0, 0.0, 0.0}, 1.5},                    // body
    {{3.0, 0.0, 0.5}, {4.5, 0.0, 2.5}, 0.6},                     // neck
    {{4.5, 0.0, 2.5}, {4.5, 0.0, 2.5}, 1.0},                     // head
    {{-2.0, -0.8, -0.5}, {-2.0, -0.8, -5.0}, FIGURE_LEG_RADIUS}, // legs
    {{-2.0, 0.8, -0.5}, {-2.0, 0.8, -5.0}, FIGURE_LEG_RADIUS},
    {{2.0, -0.8, -0.5}, {2.0, -0.8, -5.0}, FIGURE_LEG_RADIUS},
    {{2.0, 0.8, -0.5}, {2.0, 0.8, -5.0}, FIGURE_LEG_RADIUS},
};

Point sampleFigure(SplitMix64& random) {
    double total = 0.0;
    for (const Capsule& part : FIGURE_PARTS) {
        total += part.area();
    }
    for (;;) {
        double pick = random.uniform() * total;
        size_t chosen = 0;
        while (chosen + 1 < std::size(FIGURE_PARTS) && pick >= FIGURE_PARTS[chosen].area()) {
            pick -= FIGURE_PARTS[chosen].area();
            ++chosen;
        }
        const Point p = FIGURE_PARTS[chosen].sample(random);
        bool hidden = false;
        for (size_t other = 0; other < std::size(FIGURE_PARTS); ++other) {
            hidden = hidden || (other != chosen && FIGURE_PARTS[other].contains(p));
        }
        if (!hidden) {
            return p;
        }
    }
}

// Two open parallel squares, close together: each takes half of the points on average.
Point sampleSheets(SplitMix64& random) {
    const double x = SHEET_HALF_SIDE * (2.0 * random.uniform() - 1.0);
    const double y = SHEET_HALF_SIDE * (2.0 * random.uniform() - 1.0);
    return {x, y, random.uniform() < 0.5 ? -SHEET_HALF_GAP : SHEET_HALF_GAP};
}

// Uniform in the volume of a cube: noise with no surface in it.
Point sampleNoiseBox(SplitMix64& random) {
    const double x = NOISE_BOX_HALF_SIDE * (2.0 * random.uniform() - 1.0);
    const double y = NOISE_BOX_HALF_SIDE * (2.0 * random.uniform() - 1.0);
    const double z = NOISE_BOX_HALF_SIDE * (2.0 * random.uniform() - 1.0);
    return {x, y, z};
}

// Standard normal value (Box-Muller; 1 - u keeps the logarithm finite).
double gaussian(SplitMix64& random);

// A point of one of the clusters around the centres.
Point sampleCluster(SplitMix64& random, const std::vector<Point>& centres) {
    const size_t k = static_cast<size_t>(random.uniform() * static_cast<double>(centres.size()));
    const Point offset{gaussian(random), gaussian(random), gaussian(random)};
    return centres[std::min(k, centres.size() - 1)] + CLUSTER_SIGMA * offset;
}

enum class Shape {
    torus,
    halfTorus,
    sphere,
    twoSpheres,
    cube,
    knot,
    plate,
    figure,
    sheets,
    noiseBox,
    clusters
};

struct ShapeName {
    const char* name;
    Shape shape;
    double halfExtentX; // bounds |x| of every point, for the density gradient
    // The shape's thinnest part and its width across (0: no thin part), for --spacing.
    const char* thinPart;
    double thinWidth;
};

const ShapeName SHAPES[] = {
    {"torus", Shape::torus, 4.0, "tube diameter", 2.0 * TORUS_MINOR_RADIUS},
    {"halftorus", Shape::halfTorus, 4.0, "tube diameter", 2.0 * TORUS_MINOR_RADIUS},
    {"sphere", Shape::sphere, 5.0, "", 0.0},
    {"twospheres", Shape::twoSpheres, 13.0, "", 0.0},
    {"cube", Shape::cube, 5.0, "", 0.0},
    {"knot", Shape::knot, 6.0, "tube diameter", 2.0 * KNOT_TUBE_RADIUS},
    {"plate", Shape::plate, 5.25, "plate thickness", 2.0 * PLATE_HALF_THICKNESS},
    {"legs", Shape::figure, 5.5, "leg diameter", 2.0 * FIGURE_LEG_RADIUS},
    {"sheets", Shape::sheets, 5.0, "gap between the sheets", 2.0 * SHEET_HALF_GAP},
    {"noisebox", Shape::noiseBox, 5.0, "", 0.0},
    {"clusters", Shape::clusters, 5.0, "", 0.0},
};

// What the shapes sample from beyond the random stream: the knot's weight bound and the
// cluster centres.
struct ShapeData {
    KnotSampler knot;
    std::vector<Point> centres;
};

// One point of the shape; index is the point's place in the output.
Point samplePoint(Shape shape, const ShapeData& data, SplitMix64& random, uint64_t index) {
    Point p{};
    switch (shape) {
    case Shape::torus:
        sampleTorus(random, p.x, p.y, p.z);
        break;
    case Shape::cube:
        sampleCube(random, p.x, p.y, p.z);
        break;
    case Shape::halfTorus:
        // The upper half (z > 0) of the torus: an open surface with two boundary circles.
        do {
            sampleTorus(random, p.x, p.y, p.z);
        } while (!(p.z > 0.0));
        break;
    case Shape::sphere:
    case Shape::twoSpheres: {
        // Two spheres take turns point by point, so both get half of the points.
        const double centreX = shape == Shape::twoSpheres
                                   ? ((index % 2 == 0) ? -TWO_SPHERE_OFFSET : TWO_SPHERE_OFFSET)
                                   : 0.0;
        sampleSphere(random, centreX, p.x, p.y, p.z);
        break;
    }
    case Shape::knot:
        p = data.knot.sample(random);
        break;
    case Shape::plate:
        p = samplePlate(random);
        break;
    case Shape::figure:
        p = sampleFigure(random);
        break;
    case Shape::sheets:
        p = sampleSheets(random);
        break;
    case Shape::noiseBox:
        p = sampleNoiseBox(random);
        break;
    case Shape::clusters:
        p = sampleCluster(random, data.centres);
        break;
    }
    return p;
}

// Mean distance from each point to its nearest other point (ANN kd-tree, exact search).
double meanSpacing(const std::vector<Point>& points) {
    if (points.size() < 2) {
        return 0.0;
    }
    const int n = static_cast<int>(points.size());
    ANNpointArray data = annAllocPts(n, 3);
    for (int i = 0; i < n; ++i) {
        data[i][0] = points[i].x;
        data[i][1] = points[i].y;
        data[i][2] = points[i].z;
    }
    double sum = 0.0;
    {
        ANNkd_tree tree(data, n, 3);
        ANNidx indices[2];
        ANNdist distances[2];
        for (int i = 0; i < n; ++i) {
            tree.annkSearch(data[i], 2, indices, distances, 0.0);
            sum += std::sqrt(distances[1]);
        }
    }
    annDeallocPts(data);
    annClose();
    return sum / n;
}

double gaussian(SplitMix64& random) {
    const double u = random.uniform();
    const double v = random.uniform();
    return std::sqrt(-2.0 * std::log(1.0 - u)) * std::cos(2.0 * PI * v);
}

int usage() {
    std::fprintf(
        stderr,
        "usage: generate_sample <shape> <count> <seed> [--noise SIGMA] [--uneven RATIO]\n"
        "                       [--spacing]\n"
        "  shape: torus halftorus sphere twospheres cube knot plate legs sheets noisebox\n"
        "         clusters\n"
        "  writes <count> points, one \"x y z\" line each, to standard output\n"
        "  --noise SIGMA   moves every point by Gaussian noise with SIGMA times the mean\n"
        "                  nearest-neighbour spacing as standard deviation per axis\n"
        "  --uneven RATIO  the density falls by RATIO (>= 1) from the -x end to the +x end\n"
        "  --spacing       also writes to standard error the mean nearest-neighbour spacing\n"
        "                  of the written points and how many spacings the shape's thinnest\n"
        "                  part measures across\n");
    return 2;
}

bool parseUnsigned(const char* text, uint64_t& value) {
    if (*text < '0' || *text > '9') {
        return false;
    }
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return *end == '\0';
}

bool parseNumber(const char* text, double minimum, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value >= minimum;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return usage();
    }
    uint64_t count = 0;
    uint64_t seed = 0;
    if (!parseUnsigned(argv[2], count) || !parseUnsigned(argv[3], seed)) {
        return usage();
    }
    const ShapeName* shape = nullptr;
    for (const ShapeName& candidate : SHAPES) {
        if (std::strcmp(argv[1], candidate.name) == 0) {
            shape = &candidate;
        }
    }
    double noise = 0.0;
    double uneven = 1.0;
    bool spacing = false;
    for (int i = 4; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--spacing") {
            spacing = true;
            continue;
        }
        const char* const value = i + 1 < argc ? argv[++i] : "";
        if (!(option == "--noise" && parseNumber(value, 0.0, noise)) &&
            !(option == "--uneven" && parseNumber(value, 1.0, uneven))) {
            return usage();
        }
    }
    if (shape == nullptr) {
        return usage();
    }
    ShapeData data;
    SplitMix64 random{seed};
    if (shape->shape == Shape::clusters) {
        // The centres come first in the random stream.
        for (uint64_t k = 0; k < std::max<uint64_t>(count / CLUSTER_SIZE, 1); ++k) {
            data.centres.push_back(sampleNoiseBox(random));
        }
    }
    std::vector<Point> points;
    points.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        Point p = samplePoint(shape->shape, data, random, i);
        if (uneven > 1.0) {
            // Keep a point with probability RATIO^-s, s running from 0 at the -x end to 1
            // at the +x end, so the density falls smoothly by RATIO across the shape.
            for (;;) {
                const double s =
                    std::clamp((p.x + shape->halfExtentX) / (2.0 * shape->halfExtentX), 0.0, 1.0);
                if (random.uniform() < std::pow(uneven, -s)) {
                    break;
                }
                p = samplePoint(shape->shape, data, random, i);
            }
        }
        points.push_back(p);
    }
    if (noise > 0.0) {
        const double sigma = noise * meanSpacing(points);
        for (Point& p : points) {
            p.x += sigma * gaussian(random);
            p.y += sigma * gaussian(random);
            p.z += sigma * gaussian(random);
        }
    }
    for (const Point& p : points) {
        printPoint(p.x, p.y, p.z);
    }
    if (spacing) {
        // Measured on the points as written (after noise), so the figure describes the file.
        const double mean = meanSpacing(points);
        std::fprintf(stderr, "mean nearest-neighbour spacing %.6f\n", mean);
        if (shape->thinWidth > 0.0 && mean > 0.0) {
            std::fprintf(stderr, "%s %g = %.2f spacings\n", shape->thinPart, shape->thinWidth,
                         shape->thinWidth / mean);
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
