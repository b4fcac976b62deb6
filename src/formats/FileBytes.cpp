// Whole-file access through a read-only shared mapping: no copy and no zero-filling of a
// buffer, which for a large file costs more than parsing it.
#include "formats/FileBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

std::string FileBytes::open(const std::string& path) {
    close();
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return path + ": cannot open: " + std::strerror(errno);
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return path + ": not a regular file";
    }
    std::string error;
    if (status.st_size > 0) {
        const std::size_t length = static_cast<std::size_t>(status.st_size);
        void* mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
        if (mapped == MAP_FAILED) {
            error = path + ": cannot map: " + std::strerror(errno);
        } else {
            data = static_cast<const char*>(mapped);
            size = length;
        }
    }
    ::close(descriptor);
    return error;
}

void FileBytes::close() {
    if (data != nullptr) {
        munmap(const_cast<char*>(data), size);
    }
    data = nullptr;
    size = 0;
}
