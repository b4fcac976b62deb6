// The mesh file: collects the faces of all accepted fans, each distinct triangle once,
// and writes them as an ASCII PLY file. The file is written under a temporary name and
// renamed into place only when complete.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "recon/MeshBuilder.h"
#include "recon/TextWriter.h"

namespace {

// The three corners in ascending order (what std::sort gives, without its call and loops).
void sortThree(int32_t* corners) {
    const int32_t low = std::min(corners[0], corners[1]);
    const int32_t high = std::max(corners[0], corners[1]);
    const int32_t third = corners[2];
    corners[0] = std::min(low, third);
    corners[1] = std::max(low, std::min(high, third));
    corners[2] = std::max(high, third);
}

} // namespace

std::vector<MeshFace> collectMeshFaces(const ReconstructionState& state, int32_t count) {
    std::vector<MeshFace> faces;
    // Faces are chained per smallest corner so a duplicate lookup only visits the faces that
    // share that corner; a chained face's sorted corners are taken from the face itself.
    std::vector<int32_t> nextWithSmallest;
    std::vector<int32_t> firstBySmallest(static_cast<size_t>(count > 0 ? count : 0), -1);

    for (int32_t owner = 0; owner < count; ++owner) {
        if (state.pointState[owner] == 0) {
            continue;
        }
        const Vertex& record = state.vertices[owner];
        for (int32_t k = 0; k < record.triangleFanCount; ++k) {
            const int32_t member = record.triangleFan[k];
            const int32_t next = state.nextInFan(owner, member);
            int32_t corners[3] = {owner, member, next};
            sortThree(corners);
            if (corners[0] < 0 || corners[2] >= count) {
                continue; // a fan entry outside the record array names no vertex
            }
            bool duplicate = false;
            for (int32_t f = firstBySmallest[corners[0]]; f >= 0; f = nextWithSmallest[f]) {
                const MeshFace& face = faces[f];
                int32_t held[3] = {face.owner, face.member, face.next};
                sortThree(held);
                if (held[1] == corners[1] && held[2] == corners[2]) {
                    duplicate = true;
                    break;
                }
            }
            if (duplicate) {
                continue;
            }
            nextWithSmallest.push_back(firstBySmallest[corners[0]]);
            firstBySmallest[corners[0]] = static_cast<int32_t>(faces.size());
            faces.push_back({owner, member, next});
        }
    }
    return faces;
}

bool MeshBuilder::writeMesh(const std::string& fileName) {
    return writeMesh(fileName, collectMeshFaces(state, totalCount));
}

bool MeshBuilder::writeMesh(const std::string& fileName, const std::vector<MeshFace>& faces) {
    const int32_t faceCount = static_cast<int32_t>(faces.size());

    const std::string partialName = fileName + ".partial";
    // A symbolic link in the temporary's place is not followed: writing through it would
    // overwrite the file it points to.
    const int descriptor =
        ::open(partialName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    std::FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "w");
    if (file == nullptr) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        fail("cannot create \"" + fileName + "\" (temporary \"" + partialName + "\")");
        return false;
    }
    TextWriter out(file);
    out.putText("ply\nformat ascii 1.0\ncomment made by anonymous\nelement vertex ");
    const int32_t vertexCount = totalCount + unusedTailCount;
    out.putInteger(vertexCount);
    out.putText("\nproperty float32 x\nproperty float32 y\nproperty float32 z\nelement face ");
    out.putInteger(faceCount);
    out.putText("\nproperty list uint8 int32 vertex_index\nend_header\n");

    if (console != nullptr) {
        *console << "Number of points: " << vertexCount << "\n"
                 << "Number of faces: " << faceCount << "\n\n";
    }

    for (int32_t i = 0; i < vertexCount; ++i) {
        const Vector3& position = vertices[i].position;
        out.putFixed(position.x);
        out.put(' ');
        out.putFixed(position.y);
        out.put(' ');
        out.putFixed(position.z);
        out.put('\n');
    }
    for (const MeshFace& face : faces) {
        out.putText("3 ");
        out.putInteger(face.next);
        out.put(' ');
        out.putInteger(face.member);
        out.put(' ');
        out.putInteger(face.owner);
        out.put('\n');
    }

    const bool writeFailed = !out.finish();
    const bool closeFailed = std::fclose(file) != 0;
    if (writeFailed || closeFailed || std::rename(partialName.c_str(), fileName.c_str()) != 0) {
        std::remove(partialName.c_str());
        fail("cannot write \"" + fileName + "\"");
        return false;
    }
    return true;
}
