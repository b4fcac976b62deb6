// Point-file format detection: PLY, recognised by its first line, and the text point format
// (three decimal numbers per line), recognised by its file name.
#pragma once

#include <cstdint>
#include <string>

enum class PointFormat : uint8_t { Ply, Text };

// Decides how the file at path is read:
//   Ply   when its first line is "ply" or its extension is ".ply"
//   Text  otherwise, when its extension is ".xyz", ".txt" or ".pts" or it has none
// (extensions compared without regard to letter case). Returns an empty string and sets
// format on success; otherwise "path: reason" (cannot open, not a regular file, or an
// unknown format naming the accepted ones), leaving format unchanged.
std::string detectPointFormat(const std::string& path, PointFormat& format);
