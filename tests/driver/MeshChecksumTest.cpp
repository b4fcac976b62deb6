// Pins the meshes of the no-argument mode: a few small generated samples, among them noisy
// and thin ones whose growth is stuck most of the time, must give exactly the mesh file they
// gave before any speed work (FNV-1a checksums of "outOFFFile.ply"). Speed-ups replay or skip
// repeated work; a difference here means one of them changed a result.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/RunDirectory.h"

namespace {

using meshtest::RunDirectory;

uint64_t fnv1a(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

TEST(MeshChecksum, SmallSamplesGiveTheirPinnedMeshes) {
    const struct {
        const char* sample; // generate_sample arguments
        uint64_t checksum;
    } cases[] = {
        {"torus 600 3 --noise 1", 0xe3e8c16d57dd9fa2ULL}, {"knot 1500 4", 0x4092cd602c8abe55ULL},
        {"sheets 600 8", 0xb95647e12ffda87cULL},          {"cube 800 6", 0x9dd7d0982419a877ULL},
        {"halftorus 800 7", 0x06b753de64d0891aULL},
    };
    for (const auto& c : cases) {
        RunDirectory directory;
        ASSERT_EQ(directory.shell("'" FANMESH_BINARY_DIR "/generate_sample' " +
                                  std::string(c.sample) + " > rawPoints.txt"),
                  0);
        directory.fanmesh();
        const std::string mesh = meshtest::readFile((directory.path / "outOFFFile.ply").string());
        ASSERT_FALSE(mesh.empty()) << c.sample;
        char hex[17];
        std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(fnv1a(mesh)));
        EXPECT_EQ(fnv1a(mesh), c.checksum) << c.sample << ": got " << hex;
    }
}

} // namespace
