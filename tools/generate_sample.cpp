// generate_sample: writes a synthetic point cloud in the "rawPoints.txt" format
// ("%f %f %f" per line) to standard output, sampled uniformly by surface area from a
// torus (R = 3, r = 1), its upper half (z > 0, an open surface), a sphere (radius 5) or
// two separate spheres (radius 5, centres 16 apart), or a cube of side 10. The generator has its
// own seeded PRNG, so a seed always gives the same file. Points are sampled independently, so the
// storage order is already random.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double TORUS_MAJOR_RADIUS = 3.0;
constexpr double TORUS_MINOR_RADIUS = 1.0;
constexpr double SPHERE_RADIUS = 5.0;
constexpr double TWO_SPHERE_OFFSET = 8.0; // centres at x = -8 and x = +8
constexpr double CUBE_HALF_SIDE = 5.0;

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

int usage() {
    std::fprintf(stderr,
                 "usage: generate_sample <torus|halftorus|sphere|twospheres|cube> <count> <seed>\n"
                 "  writes <count> points, one \"x y z\" line each, to standard output\n");
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return usage();
    }
    const char* shape = argv[1];
    uint64_t count = 0;
    uint64_t seed = 0;
    if (!parseUnsigned(argv[2], count) || !parseUnsigned(argv[3], seed)) {
        return usage();
    }
    const bool torus = std::strcmp(shape, "torus") == 0;
    // The upper half (z > 0) of the torus: an open surface with two boundary circles.
    const bool halfTorus = std::strcmp(shape, "halftorus") == 0;
    const bool sphere = std::strcmp(shape, "sphere") == 0;
    const bool twoSpheres = std::strcmp(shape, "twospheres") == 0;
    const bool cube = std::strcmp(shape, "cube") == 0;
    if (!torus && !halfTorus && !sphere && !twoSpheres && !cube) {
        return usage();
    }
    SplitMix64 random{seed};
    for (uint64_t i = 0; i < count; ++i) {
        double x, y, z;
        if (torus) {
            sampleTorus(random, x, y, z);
        } else if (cube) {
            sampleCube(random, x, y, z);
        } else if (halfTorus) {
            do {
                sampleTorus(random, x, y, z);
            } while (!(z > 0.0));
        } else {
            // Two spheres take turns point by point, so both get half of the points.
            const double centreX =
                twoSpheres ? ((i % 2 == 0) ? -TWO_SPHERE_OFFSET : TWO_SPHERE_OFFSET) : 0.0;
            sampleSphere(random, centreX, x, y, z);
        }
        printPoint(x, y, z);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
