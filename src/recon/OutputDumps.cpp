// Text dumps written after construction: the record dump (positions, normals, neighbours,
// eigen data) and the fan dump (the same records with their accepted fans, cut at 16
// entries, followed by the completion order).
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "recon/MeshBuilder.h"
#include "recon/TextWriter.h"

namespace {

constexpr int32_t DUMPED_FAN_ENTRIES = 16;

// Flushes and closes the file; false when any write or the close failed.
bool finishFile(std::FILE* file, TextWriter& out) {
    const bool writeFailed = !out.finish();
    const bool closeFailed = std::fclose(file) != 0;
    return !writeFailed && !closeFailed;
}

// The position and normal as six "%lf" values separated by blanks.
void writeGeometry(TextWriter& out, const Vertex& record) {
    const double values[6] = {record.position.x, record.position.y, record.position.z,
                              record.normal.x,   record.normal.y,   record.normal.z};
    out.putFixedRow(values, 6);
}

void writeNeighbourLine(TextWriter& out, const Vertex& record) {
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        out.putInteger(record.neighbours[k]);
        out.put(' ');
    }
    out.put('\n');
}

} // namespace

bool MeshBuilder::writeNeighboursOut(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "w");
    if (file == nullptr) {
        fail(fileName + ": cannot create the side file: " + std::strerror(errno));
        return false;
    }
    TextWriter out(file);
    out.putInteger(totalCount);
    out.put(' ');
    out.putInteger(topIndex);
    for (const double value : header) {
        out.put(' ');
        out.putFixed(value);
    }
    out.put('\n');
    for (int32_t i = 0; i < totalCount; ++i) {
        const Vertex& record = vertices[i];
        writeGeometry(out, record);
        out.put('\n');
        writeNeighbourLine(out, record);
        out.putFixed(record.surfaceVariation);
        for (int c = 0; c < 3; ++c) {
            out.put(' ');
            out.putFixed(record.eigenvalues[c]);
        }
        out.put('\n');
    }
    if (!finishFile(file, out)) {
        fail(fileName + ": cannot write the side file");
        return false;
    }
    return true;
}

bool MeshBuilder::writePropagation(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "w");
    if (file == nullptr) {
        fail(fileName + ": cannot create the side file: " + std::strerror(errno));
        return false;
    }
    TextWriter out(file);
    out.putInteger(totalCount);
    out.put('\n');
    for (int32_t i = 0; i < totalCount; ++i) {
        Vertex& record = vertices[i];
        writeGeometry(out, record);
        out.putText(" \n");
        writeNeighbourLine(out, record);
        if (state.pointState[i] != 0) {
            for (int32_t k = 0; k < DUMPED_FAN_ENTRIES; ++k) {
                out.putInteger(k < record.triangleFanCount ? record.triangleFan[k] : -1);
                out.put(' ');
            }
        } else {
            // A point that was not completed has no accepted fan.
            record.triangleFanCount = 0;
            for (int32_t k = 0; k < DUMPED_FAN_ENTRIES; ++k) {
                out.putText("-1 ");
            }
        }
        out.put('\n');
    }
    out.putInteger(state.completedCount);
    out.put('\n');
    const int32_t listed = static_cast<int32_t>(state.completionOrder.size());
    for (int32_t k = 0; k < state.completedCount && k < listed; ++k) {
        out.putInteger(state.completionOrder[k]);
        out.put('\n');
    }
    if (!finishFile(file, out)) {
        fail(fileName + ": cannot write the side file");
        return false;
    }
    return true;
}
