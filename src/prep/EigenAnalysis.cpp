// Normal and surface variation of every kept point from the eigen-decomposition of the scatter
// matrix of the point and its 16 neighbours (Householder tridiagonalisation, then QL with
// implicit shifts).
#include <cmath>

#include "parallel/ParallelFor.h"
#include "prep/PointSetPreparation.h"

namespace {

constexpr double ONE_SEVENTEENTH = 0.058823529411764705;
constexpr double TRIDIAGONAL_TOLERANCE = 1e-10;
constexpr double QL_PRECISION = 1e-10;
constexpr int QL_MAX_ITERATIONS = 30;
constexpr int64_t POINTS_PER_CHUNK = 4096;
// Largest possible surface variation; given to points whose scatter matrix is zero.
constexpr double DEGENERATE_SURFACE_VARIATION = 1.0 / 3.0;

} // namespace

void PointSetPreparation::householderTridiagonalize(const double a[3][3], double d[3], double e[3],
                                                    double z[3][3], int n, double tol) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) {
            z[i][j] = a[i][j];
        }
    }
    for (int i = n - 1; i >= 1; --i) {
        double f = z[i][i - 1];
        double g = 0.0;
        for (int k = 0; k <= i - 2; ++k) {
            g = g + z[i][k] * z[i][k];
        }
        double h = g + f * f;
        if (g <= tol) {
            e[i] = f;
            h = 0.0;
        } else {
            g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
            e[i] = g;
            h = h - f * g;
            z[i][i - 1] = f - g;
            f = 0.0;
            for (int j = 0; j <= i - 1; ++j) {
                z[j][i] = z[i][j] / h;
                g = 0.0;
                for (int k = 0; k <= j; ++k) {
                    g = g + z[j][k] * z[i][k];
                }
                for (int k = j + 1; k <= i - 1; ++k) {
                    g = g + z[k][j] * z[i][k];
                }
                e[j] = g / h;
                f = f + g * z[j][i];
            }
            const double hh = f / (h + h);
            for (int j = 0; j <= i - 1; ++j) {
                f = z[i][j];
                g = e[j] - hh * f;
                e[j] = g;
                for (int k = 0; k <= j; ++k) {
                    z[j][k] = z[j][k] - f * e[k] - g * z[i][k];
                }
            }
        }
        d[i] = h;
    }
    d[0] = 0.0;
    e[0] = 0.0;
    for (int i = 0; i < n; ++i) {
        if (d[i] != 0.0) {
            for (int j = 0; j <= i - 1; ++j) {
                double g = 0.0;
                for (int k = 0; k <= i - 1; ++k) {
                    g = g + z[i][k] * z[k][j];
                }
                for (int k = 0; k <= i - 1; ++k) {
                    z[k][j] = z[k][j] - g * z[k][i];
                }
            }
        }
        d[i] = z[i][i];
        z[i][i] = 1.0;
        for (int j = 0; j <= i - 1; ++j) {
            z[i][j] = 0.0;
            z[j][i] = 0.0;
        }
    }
}

int PointSetPreparation::qlImplicit(double d[3], double e[3], double z[3][3], int n,
                                    double macheps) {
    for (int i = 1; i < n; ++i) {
        e[i - 1] = e[i];
    }
    e[n - 1] = 0.0;
    double f = 0.0;
    double b = 0.0;
    for (int l = 0; l < n; ++l) {
        int j = 0;
        double h = macheps * (std::fabs(d[l]) + std::fabs(e[l]));
        if (b < h) {
            b = h;
        }
        int m = l;
        while (std::fabs(e[m]) > b) {
            ++m;
        }
        if (m != l) {
            do {
                if (j == QL_MAX_ITERATIONS) {
                    return -1;
                }
                j = j + 1;
                double p = (d[l + 1] - d[l]) / (2.0 * e[l]);
                double r = std::sqrt(p * p + 1.0);
                h = d[l] - e[l] / (p < 0.0 ? p - r : p + r);
                for (int i = l; i < n; ++i) {
                    d[i] = d[i] - h;
                }
                f = f + h;
                p = d[m];
                double c = 1.0;
                double s = 0.0;
                for (int i = m - 1; i >= l; --i) {
                    const double g = c * e[i];
                    h = c * p;
                    if (std::fabs(p) >= std::fabs(e[i])) {
                        c = e[i] / p;
                        r = std::sqrt(c * c + 1.0);
                        e[i + 1] = s * p * r;
                        s = c / r;
                        c = 1.0 / r;
                    } else {
                        c = p / e[i];
                        r = std::sqrt(c * c + 1.0);
                        e[i + 1] = s * e[i] * r;
                        s = 1.0 / r;
                        c = c / r;
                    }
                    p = c * d[i] - s * g;
                    d[i + 1] = h + s * (c * g + s * d[i]);
                    for (int k = 0; k < n; ++k) {
                        h = z[k][i + 1];
                        z[k][i + 1] = s * z[k][i] + c * h;
                        z[k][i] = c * z[k][i] - s * h;
                    }
                }
                e[l] = s * p;
                d[l] = c * p;
            } while (std::fabs(e[l]) > b);
        }
        d[l] = d[l] + f;
    }
    for (int i = 0; i < n - 1; ++i) {
        int k = i;
        double p = d[i];
        for (int jj = i + 1; jj < n; ++jj) {
            if (d[jj] < p) {
                k = jj;
                p = d[jj];
            }
        }
        if (k != i) {
            d[k] = d[i];
            d[i] = p;
            for (int row = 0; row < n; ++row) {
                const double t = z[row][i];
                z[row][i] = z[row][k];
                z[row][k] = t;
            }
        }
    }
    return 0;
}

void PointSetPreparation::computeEigenvectors() {
    const auto analysePoint = [this](int32_t k) {
        Vertex& point = vertices[k];
        const Vector3* members[NEIGHBOUR_COUNT + 1];
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            members[l] = &vertices[point.neighbours[l]].position;
        }
        members[NEIGHBOUR_COUNT] = &point.position;

        double cx = point.position.x;
        double cy = point.position.y;
        double cz = point.position.z;
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            cx += members[l]->x;
            cy += members[l]->y;
            cz += members[l]->z;
        }
        cx *= ONE_SEVENTEENTH;
        cy *= ONE_SEVENTEENTH;
        cz *= ONE_SEVENTEENTH;

        double a[3][3] = {};
        for (int32_t l = 0; l <= NEIGHBOUR_COUNT; ++l) {
            const double dx = members[l]->x - cx;
            const double dy = members[l]->y - cy;
            const double dz = members[l]->z - cz;
            a[0][0] += dx * dx;
            a[0][1] += dx * dy;
            a[1][0] += dx * dy;
            a[0][2] += dx * dz;
            a[2][0] += dx * dz;
            a[1][1] += dy * dy;
            a[1][2] += dy * dz;
            a[2][1] += dy * dz;
            a[2][2] += dz * dz;
        }

        double d[3];
        double e[3];
        double z[3][3];
        householderTridiagonalize(a, d, e, z, 3, TRIDIAGONAL_TOLERANCE);
        qlImplicit(d, e, z, 3, QL_PRECISION);

        point.normal = Vector3(z[0][0], z[1][0], z[2][0]);
        const double variation = d[0] / ((d[2] + d[1]) + d[0]);
        point.surfaceVariation = std::isnan(variation) ? DEGENERATE_SURFACE_VARIATION : variation;
        point.eigenvalues[0] = d[0];
        point.eigenvalues[1] = d[1];
        point.eigenvalues[2] = d[2];
    };
    // Every point is analysed on its own and writes only its own record, so the points are
    // shared out among the threads; a spatially coherent order only helps the cache.
    const bool coherent = static_cast<int32_t>(spatialOrder.size()) == keptCount;
    parallelFor(keptCount, threads, POINTS_PER_CHUNK, [&](int64_t begin, int64_t end, int) {
        for (int64_t step = begin; step < end; ++step) {
            analysePoint(coherent ? spatialOrder[step] : static_cast<int32_t>(step));
        }
    });

    handOverCount = totalCount;
    handOverTop = topIndex;
    const double header[11] = {xMax,    xMin,    yMax,    yMin,        zMax,      zMin,
                               centreX, centreY, centreZ, meanSpacing, maxSpacing};
    for (int i = 0; i < 11; ++i) {
        handOverHeader[i] = static_cast<float>(header[i]);
    }
}
