// Point-file format detection from the first bytes of the file and its name.
#include "formats/PointFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "formats/FileName.h"

std::string detectPointFormat(const std::string& path, PointFormat& format) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return path + ": cannot open: " + std::strerror(errno);
    }
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fclose(file);
        return path + ": not a regular file";
    }
    char start[5] = {};
    const std::size_t got = std::fread(start, 1, 5, file);
    std::fclose(file);
    const bool plyMagic = (got >= 4 && std::memcmp(start, "ply\n", 4) == 0) ||
                          (got >= 5 && std::memcmp(start, "ply\r\n", 5) == 0);
    const std::string extension = lowerExtension(path);
    if (plyMagic || extension == ".ply") {
        format = PointFormat::Ply;
    } else if (extension.empty() || extension == ".xyz" || extension == ".txt" ||
               extension == ".pts") {
        format = PointFormat::Text;
    } else {
        return path + ": unknown point format \"" + extension +
               "\" (expected a PLY file, or text points in a .xyz, .txt or .pts file)";
    }
    return "";
}
