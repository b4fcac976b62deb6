// LineReader: reads text lines of any length from a C stream, so that no line is ever cut
// into pieces, and tells whether a line holds a NUL byte.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

struct LineReader {
    std::FILE* file = nullptr;
    long lineNumber = 0;    // number of the line last read, 1-based
    char* buffer = nullptr; // grown by getline, released by the destructor
    std::size_t capacity = 0;

    explicit LineReader(std::FILE* stream) : file(stream) {}
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Reads the next line and returns it with its line end, if it has one; a CR LF line
    // end is returned as a single LF. The text stays valid until the next call and is
    // followed by a NUL byte (it may also hold NUL bytes of its own). Returns false, with
    // an empty line, when the stream is at its end (or unreadable) before any character.
    bool next(std::string_view& line);

    // True when the stream reported a read error.
    bool readError() const { return std::ferror(file) != 0; }
};

// True when the text holds a NUL byte (which C string functions would take as its end).
inline bool holdsNulByte(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}
