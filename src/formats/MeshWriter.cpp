// Mesh writing: the text formats go through the buffered TextWriter, binary PLY through a
// block buffer filled with little-endian records.
#include "formats/MeshWriter.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "formats/FileName.h"
#include "formats/ReplacingFile.h"
#include "recon/TextWriter.h"

namespace {

constexpr std::size_t MAX_VERTICES = 2147483647;

void plyHeader(TextWriter& out, const char* encoding, std::size_t vertexCount,
               std::size_t faceCount) {
    out.putText("ply\nformat ");
    out.putText(encoding);
    out.putText(" 1.0\nelement vertex ");
    out.putText(std::to_string(vertexCount).c_str());
    out.putText("\nproperty double x\nproperty double y\nproperty double z\nelement face ");
    out.putText(std::to_string(faceCount).c_str());
    out.putText("\nproperty list uchar int vertex_indices\nend_header\n");
}

// The text formats: vertex lines "<prefix>x y z", then face lines "<prefix>a b c".
void writeText(TextWriter& out, const char* vertexPrefix, const char* facePrefix, int32_t indexBase,
               const double* positions, std::size_t vertexCount, const int32_t* faces,
               std::size_t faceCount) {
    for (std::size_t i = 0; i < vertexCount; ++i) {
        out.putText(vertexPrefix);
        out.putShortest(positions[3 * i]);
        out.put(' ');
        out.putShortest(positions[3 * i + 1]);
        out.put(' ');
        out.putShortest(positions[3 * i + 2]);
        out.put('\n');
    }
    for (std::size_t f = 0; f < faceCount; ++f) {
        out.putText(facePrefix);
        out.putInteger(faces[3 * f] + indexBase);
        out.put(' ');
        out.putInteger(faces[3 * f + 1] + indexBase);
        out.put(' ');
        out.putInteger(faces[3 * f + 2] + indexBase);
        out.put('\n');
    }
}

template <typename T> char* storeLittle(char* p, T value) {
    std::memcpy(p, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(p, p + sizeof(T));
    }
    return p + sizeof(T);
}

// Binary PLY body; returns the errno of a failed write, or 0.
int writeBinaryBody(std::FILE* file, const double* positions, std::size_t vertexCount,
                    const int32_t* faces, std::size_t faceCount) {
    constexpr std::size_t BLOCK = 1 << 20;
    constexpr std::size_t FACE_BYTES = 1 + 3 * sizeof(int32_t);
    std::vector<char> block(BLOCK);
    auto flush = [&](std::size_t bytes) {
        return std::fwrite(block.data(), 1, bytes, file) == bytes ? 0 : (errno ? errno : EIO);
    };
    if constexpr (std::endian::native == std::endian::little) {
        const std::size_t bytes = vertexCount * 3 * sizeof(double);
        if (std::fwrite(positions, 1, bytes, file) != bytes) {
            return errno ? errno : EIO;
        }
    } else {
        std::size_t used = 0;
        for (std::size_t i = 0; i < 3 * vertexCount; ++i) {
            if (used + sizeof(double) > BLOCK) {
                if (const int error = flush(used)) {
                    return error;
                }
                used = 0;
            }
            storeLittle(block.data() + used, positions[i]);
            used += sizeof(double);
        }
        if (const int error = flush(used)) {
            return error;
        }
    }
    std::size_t used = 0;
    for (std::size_t f = 0; f < faceCount; ++f) {
        if (used + FACE_BYTES > BLOCK) {
            if (const int error = flush(used)) {
                return error;
            }
            used = 0;
        }
        char* p = block.data() + used;
        *p++ = 3;
        p = storeLittle(p, faces[3 * f]);
        p = storeLittle(p, faces[3 * f + 1]);
        storeLittle(p, faces[3 * f + 2]);
        used += FACE_BYTES;
    }
    return flush(used);
}

} // namespace

bool meshFormatForPath(const std::string& path, bool binary, MeshFormat& format) {
    const std::string extension = lowerExtension(path);
    if (extension == ".ply") {
        format = binary ? MeshFormat::PlyBinary : MeshFormat::PlyAscii;
    } else if (extension == ".obj") {
        format = MeshFormat::Obj;
    } else if (extension == ".off") {
        format = MeshFormat::Off;
    } else {
        return false;
    }
    return true;
}

std::string writeMesh(const std::string& path, MeshFormat format, const double* positions,
                      std::size_t vertexCount, const int32_t* faces, std::size_t faceCount) {
    ReplacingFile output;
    std::string error =
        writeMeshUnplaced(output, path, format, positions, vertexCount, faces, faceCount);
    return error.empty() ? output.replace() : error;
}

std::string writeMeshUnplaced(ReplacingFile& output, const std::string& path, MeshFormat format,
                              const double* positions, std::size_t vertexCount,
                              const int32_t* faces, std::size_t faceCount) {
    if (vertexCount > MAX_VERTICES) {
        return path + ": too many vertices to write (" + std::to_string(vertexCount) + ")";
    }
    for (std::size_t i = 0; i < 3 * faceCount; ++i) {
        if (faces[i] < 0 || static_cast<std::size_t>(faces[i]) >= vertexCount) {
            return path + ": face " + std::to_string(i / 3) + " names vertex " +
                   std::to_string(faces[i]) + ", but the mesh has " + std::to_string(vertexCount) +
                   " vertices";
        }
    }
    if (std::string error = output.open(path); !error.empty()) {
        return error;
    }
    int writeError = 0;
    {
        TextWriter out(output.file);
        switch (format) {
        case MeshFormat::PlyAscii:
            plyHeader(out, "ascii", vertexCount, faceCount);
            writeText(out, "", "3 ", 0, positions, vertexCount, faces, faceCount);
            break;
        case MeshFormat::PlyBinary:
            plyHeader(out, "binary_little_endian", vertexCount, faceCount);
            break;
        case MeshFormat::Obj:
            writeText(out, "v ", "f ", 1, positions, vertexCount, faces, faceCount);
            break;
        case MeshFormat::Off:
            out.putText("OFF\n");
            out.putText(
                (std::to_string(vertexCount) + " " + std::to_string(faceCount) + " 0\n").c_str());
            writeText(out, "", "3 ", 0, positions, vertexCount, faces, faceCount);
            break;
        }
        out.flush();
        writeError = out.failed ? (out.errorNumber ? out.errorNumber : EIO) : 0;
    }
    if (writeError == 0 && format == MeshFormat::PlyBinary) {
        writeError = writeBinaryBody(output.file, positions, vertexCount, faces, faceCount);
    }
    return output.finish(writeError);
}
