// Micro-benchmarks of mesh writing and PLY point reading on a 10^6-vertex, 2 x 10^6-face mesh
// (a jittered 1000 x 1000 grid), against the fixed six-decimal text writer for reference.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/MeshWriter.h"
#include "formats/PlyReader.h"
#include "recon/TextWriter.h"

namespace {

struct GridMesh {
    std::vector<double> positions;
    std::vector<int32_t> faces;

    GridMesh() {
        constexpr int SIDE = 1000;
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> jitter(-0.3, 0.3);
        for (int row = 0; row < SIDE; ++row) {
            for (int column = 0; column < SIDE; ++column) {
                positions.push_back(12.5 + (column + jitter(random)) * 0.01);
                positions.push_back(-3.0 + (row + jitter(random)) * 0.01);
                positions.push_back(jitter(random) * 0.05);
            }
        }
        for (int32_t row = 0; row + 1 < SIDE; ++row) {
            for (int32_t column = 0; column + 1 < SIDE; ++column) {
                const int32_t corner = row * SIDE + column;
                faces.insert(faces.end(), {corner, corner + 1, corner + SIDE});
                faces.insert(faces.end(), {corner + 1, corner + SIDE + 1, corner + SIDE});
            }
        }
    }
    std::size_t vertexCount() const { return positions.size() / 3; }
    std::size_t faceCount() const { return faces.size() / 3; }
};

const GridMesh& mesh() {
    static const GridMesh grid;
    return grid;
}

std::string scratchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void writeFormat(benchmark::State& state, MeshFormat format, const char* name) {
    const GridMesh& grid = mesh();
    const std::string path = scratchPath(name);
    for (auto _ : state) {
        const std::string error = writeMesh(path, format, grid.positions.data(), grid.vertexCount(),
                                            grid.faces.data(), grid.faceCount());
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
        }
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}

void BM_WriteBinaryPly(benchmark::State& state) {
    writeFormat(state, MeshFormat::PlyBinary, "bench-binary.ply");
}
void BM_WriteAsciiPly(benchmark::State& state) {
    writeFormat(state, MeshFormat::PlyAscii, "bench-ascii.ply");
}

// The no-argument mode's mesh layout: six fixed decimals per coordinate.
void BM_WriteFixedDecimalsReference(benchmark::State& state) {
    const GridMesh& grid = mesh();
    const std::string path = scratchPath("bench-fixed.ply");
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "w");
        {
            TextWriter out(file);
            for (std::size_t i = 0; i < grid.vertexCount(); ++i) {
                out.putFixedRow(&grid.positions[3 * i], 3);
                out.put('\n');
            }
            for (std::size_t f = 0; f < grid.faceCount(); ++f) {
                out.putText("3 ");
                out.putInteger(grid.faces[3 * f]);
                out.put(' ');
                out.putInteger(grid.faces[3 * f + 1]);
                out.put(' ');
                out.putInteger(grid.faces[3 * f + 2]);
                out.put('\n');
            }
        }
        std::fclose(file);
    }
    std::filesystem::remove(path);
}

void readFormat(benchmark::State& state, MeshFormat format, const char* name) {
    const GridMesh& grid = mesh();
    const std::string path = scratchPath(name);
    writeMesh(path, format, grid.positions.data(), grid.vertexCount(), grid.faces.data(),
              grid.faceCount());
    for (auto _ : state) {
        const PointReadResult result = readPlyFile(path);
        if (!result.ok() || result.pointCount() != grid.vertexCount()) {
            state.SkipWithError("reading failed");
        }
    }
    std::filesystem::remove(path);
}

void BM_ReadBinaryPly(benchmark::State& state) {
    readFormat(state, MeshFormat::PlyBinary, "bench-read-binary.ply");
}
void BM_ReadAsciiPly(benchmark::State& state) {
    readFormat(state, MeshFormat::PlyAscii, "bench-read-ascii.ply");
}

} // namespace

BENCHMARK(BM_WriteBinaryPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteAsciiPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFixedDecimalsReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBinaryPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAsciiPly)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
