// PLY point reader: the x, y, z of every vertex of an ASCII, binary little endian or
// binary big endian PLY file; every other property and element is checked and skipped.
#pragma once

#include <cstddef>
#include <string>

#include "formats/PointReadResult.h"

// Reads the vertex positions of a PLY file held in memory.
//   data, size  the whole file; nothing outside data[0, size) is read, and no terminating
//               NUL is needed (safe on arbitrary bytes)
//   name        names the file in error messages
// Returns the coordinates in vertex order, or an error "name, line N: what is wrong" (or
// "name: what is wrong" when no single line is at fault).
// x, y and z must be scalar float/float32/double/float64 properties of the one "vertex"
// element; their values must be finite and at most 3.4028234663852886e38 in magnitude.
// ASCII values are taken as written (a float property keeps all its decimal digits).
// Errors: a bad or incomplete header, an unknown type, missing coordinates, a malformed or
// out-of-range ASCII value, a line with too few or too many values, a body shorter or longer
// than the header declares, a count larger than the file could hold (checked before any
// memory is reserved for it), more than 2147483647 vertices.
PointReadResult readPlyPoints(const char* data, std::size_t size, const std::string& name);

// Reads the vertex positions of the PLY file at path, as above; errors also cover a file
// that is missing, unreadable or not a regular file.
PointReadResult readPlyFile(const std::string& path);
