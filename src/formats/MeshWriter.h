// Mesh writers: a triangle mesh as ASCII PLY, binary little endian PLY, OBJ or OFF, written
// to a temporary file beside the target and renamed into place only when complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/ReplacingFile.h"

enum class MeshFormat : uint8_t { PlyAscii, PlyBinary, Obj, Off };

// Chooses the format from the extension of path: ".ply" (PlyBinary when binary is set,
// PlyAscii otherwise), ".obj" or ".off", letter case ignored. Returns false, leaving format
// unchanged, for any other extension or none.
bool meshFormatForPath(const std::string& path, bool binary, MeshFormat& format);

// Writes a triangle mesh to path in the given format.
//   positions    vertexCount x 3 doubles (x, y, z of each vertex, in order)
//   faces        faceCount x 3 vertex indices, 0-based, in the order and winding to write
// ASCII formats write each coordinate as the shortest decimal text that reads back as the
// same double; binary PLY writes "double" x, y, z and a "uchar" count with "int"
// vertex_indices, little endian. OBJ indices are written 1-based, as OBJ requires.
// Returns an empty string on success. Errors, each "path: reason": a face index outside
// [0, vertexCount) or a vertex count above 2147483647 (checked before anything is created),
// the temporary file cannot be created, a write, flush or close fails (disk full), the rename
// fails. On any error the temporary file is removed and an existing file at path is untouched.
std::string writeMesh(const std::string& path, MeshFormat format, const double* positions,
                      std::size_t vertexCount, const int32_t* faces, std::size_t faceCount);

// writeMesh without the final rename: on success the complete mesh is left under its
// temporary name in `output`, and output.replace() puts it at path (destroying `output`
// first removes it instead). Errors are writeMesh's, except the rename's.
std::string writeMeshUnplaced(ReplacingFile& output, const std::string& path, MeshFormat format,
                              const double* positions, std::size_t vertexCount,
                              const int32_t* faces, std::size_t faceCount);
