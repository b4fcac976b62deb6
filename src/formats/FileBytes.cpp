// Whole-file reading with the file's own size, so one allocation of the right size is made.
#include "formats/FileBytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

std::string readFileBytes(const std::string& path, std::vector<char>& bytes) {
    bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return path + ": cannot open: " + std::strerror(errno);
    }
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fclose(file);
        return path + ": not a regular file";
    }
    bytes.resize(static_cast<std::size_t>(status.st_size));
    errno = 0;
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool readError = std::ferror(file) != 0;
    const int reason = errno;
    std::fclose(file);
    if (readError || got != bytes.size()) {
        bytes.clear();
        return path + ": cannot read: " +
               (readError ? std::strerror(reason) : "the file shrank while being read");
    }
    return "";
}
