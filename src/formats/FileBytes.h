// FileBytes: reads a whole regular file into memory.
#pragma once

#include <string>
#include <vector>

// Reads the file at path into bytes (replacing their content).
// Returns an empty string on success; otherwise "path: reason" (cannot open, with the system's
// reason; not a regular file; read error).
std::string readFileBytes(const std::string& path, std::vector<char>& bytes);
