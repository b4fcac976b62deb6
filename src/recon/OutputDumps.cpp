// Text dumps written after construction: the record dump (positions, normals, neighbours,
// eigen data) and the fan dump (the same records with their accepted fans, cut at 16
// entries, followed by the completion order).
#include <cstdio>
#include <iostream>

#include "recon/MeshBuilder.h"

namespace {

constexpr int32_t DUMPED_FAN_ENTRIES = 16;

std::FILE* createFile(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "w");
    if (file == nullptr) {
        std::cerr << "fanmesh: cannot create \"" << fileName << "\"\n";
    }
    return file;
}

// Closes the file; false (reported) when any write or the close failed.
bool finishFile(std::FILE* file, const std::string& fileName) {
    const bool writeFailed = std::ferror(file) != 0;
    const bool closeFailed = std::fclose(file) != 0;
    if (writeFailed || closeFailed) {
        std::cerr << "fanmesh: cannot write \"" << fileName << "\"\n";
        return false;
    }
    return true;
}

void writeNeighbourLine(std::FILE* file, const Vertex& record) {
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        std::fprintf(file, "%d ", record.neighbours[k]);
    }
    std::fprintf(file, "\n");
}

} // namespace

bool MeshBuilder::writeNeighboursOut(const std::string& fileName) const {
    std::FILE* file = createFile(fileName);
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "%d %d %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf\n", totalCount, topIndex,
                 header[0], header[1], header[2], header[3], header[4], header[5], header[6],
                 header[7], header[8], header[9], header[10]);
    for (int32_t i = 0; i < totalCount; ++i) {
        const Vertex& record = vertices[i];
        std::fprintf(file, "%lf %lf %lf %lf %lf %lf\n", record.position.x, record.position.y,
                     record.position.z, record.normal.x, record.normal.y, record.normal.z);
        writeNeighbourLine(file, record);
        std::fprintf(file, "%lf %lf %lf %lf", record.surfaceVariation, record.eigenvalues[0],
                     record.eigenvalues[1], record.eigenvalues[2]);
        std::fprintf(file, "\n");
    }
    return finishFile(file, fileName);
}

bool MeshBuilder::writePropagation(const std::string& fileName) {
    std::FILE* file = createFile(fileName);
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "%d\n", totalCount);
    for (int32_t i = 0; i < totalCount; ++i) {
        Vertex& record = vertices[i];
        std::fprintf(file, "%lf %lf %lf %lf %lf %lf \n", record.position.x, record.position.y,
                     record.position.z, record.normal.x, record.normal.y, record.normal.z);
        writeNeighbourLine(file, record);
        if (state.pointState[i] != 0) {
            for (int32_t k = 0; k < DUMPED_FAN_ENTRIES; ++k) {
                std::fprintf(file, "%d ", k < record.triangleFanCount ? record.triangleFan[k] : -1);
            }
        } else {
            // A point that was not completed has no accepted fan.
            record.triangleFanCount = 0;
            for (int32_t k = 0; k < DUMPED_FAN_ENTRIES; ++k) {
                std::fprintf(file, "-1 ");
            }
        }
        std::fprintf(file, "\n");
    }
    std::fprintf(file, "%d\n", state.completedCount);
    const int32_t listed = static_cast<int32_t>(state.completionOrder.size());
    for (int32_t k = 0; k < state.completedCount && k < listed; ++k) {
        std::fprintf(file, "%d\n", state.completionOrder[k]);
    }
    return finishFile(file, fileName);
}
