// FileBytes: the bytes of a whole regular file, mapped read-only into memory.
#pragma once

#include <cstddef>
#include <string>

struct FileBytes {
    const char* data = nullptr; // size bytes, not NUL-terminated; nullptr for an empty file
    std::size_t size = 0;

    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() { close(); }

    // Maps the file at path (releasing any earlier one). Returns an empty string on success;
    // otherwise "path: reason" (cannot open, with the system's reason; not a regular file;
    // cannot map). The file must not be truncated by another process while it is mapped.
    std::string open(const std::string& path);
    // Releases the mapping; data becomes nullptr and size 0.
    void close();
};
