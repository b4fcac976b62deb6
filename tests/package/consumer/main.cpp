// Consumer of the installed package: meshes points on a sphere through the public header
// alone and checks that a closed surface over nearly every point comes back.
#include <fanmesh/fanmesh.h>

#include <cmath>
#include <cstdio>
#include <vector>

int main() {
    std::vector<double> xyz;
    const int count = 400;
    for (int i = 0; i < count; ++i) {
        const double z = 1.0 - (2.0 * i + 1.0) / count;
        const double r = std::sqrt(1.0 - z * z);
        const double angle = i * 2.399963229728653;
        xyz.insert(xyz.end(), {r * std::cos(angle), r * std::sin(angle), z});
    }
    const fanmesh::Result mesh = fanmesh::reconstruct(xyz);
    std::printf("fanmesh %s: %lld faces, %lld of %d points used\n", fanmesh::version(),
                static_cast<long long>(mesh.report.faces),
                static_cast<long long>(mesh.report.pointsUsed), count);
    const bool closed = mesh.report.boundaryLoops == 0 && mesh.report.components == 1;
    return closed && mesh.report.pointsUsed > count * 9 / 10 ? 0 : 1;
}
