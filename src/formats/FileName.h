// File-name helpers shared by the format choices of input and output files.
#pragma once

#include <cctype>
#include <string>

// The extension of the last component of path, from its last '.', in lower case (".ply");
// "" when that component has no '.' or only the leading '.' of a hidden file.
inline std::string lowerExtension(const std::string& path) {
    const std::size_t nameStart = path.find_last_of('/') + 1; // 0 when there is no '/'
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart) {
        return "";
    }
    std::string extension = path.substr(dot);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}
