// TextWriter: buffered text output for the large dump and mesh files. Its conversions give
// the same characters as printf "%lf"/"%f" (fixed, six decimals, correctly rounded) and
// "%d", at a fraction of the cost for a million records.
#pragma once

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

struct TextWriter {
    static constexpr size_t CAPACITY = 1 << 20;
    static constexpr size_t RESERVE = 512; // more than the longest single conversion
    std::FILE* file;
    std::vector<char> buffer = std::vector<char>(CAPACITY);
    size_t used = 0;
    bool failed = false;
    int errorNumber = 0; // errno of the first failed write

    explicit TextWriter(std::FILE* target) : file(target) {}
    ~TextWriter() { flush(); }
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void makeRoom() {
        if (used + RESERVE > CAPACITY) {
            flush();
        }
    }
    void flush() {
        if (used > 0 && std::fwrite(buffer.data(), 1, used, file) != used) {
            if (!failed) {
                errorNumber = errno;
            }
            failed = true;
        }
        used = 0;
    }
    void put(char c) {
        makeRoom();
        buffer[used++] = c;
    }
    // Short literal texts (header lines, separators); each must fit in RESERVE characters.
    void putText(const char* text) {
        makeRoom();
        const size_t length = std::strlen(text);
        std::memcpy(buffer.data() + used, text, length);
        used += length;
    }
    void putFixed(double value) {
        makeRoom();
        char* begin = buffer.data() + used;
        used =
            std::to_chars(begin, buffer.data() + CAPACITY, value, std::chars_format::fixed, 6).ptr -
            buffer.data();
    }
    // Values as "%lf" separated by single blanks (no blank before the first or after the last).
    void putFixedRow(const double* values, int count) {
        for (int c = 0; c < count; ++c) {
            if (c > 0) {
                put(' ');
            }
            putFixed(values[c]);
        }
    }
    // The shortest text that reads back as exactly the same double.
    void putShortest(double value) {
        makeRoom();
        char* begin = buffer.data() + used;
        used = std::to_chars(begin, buffer.data() + CAPACITY, value).ptr - buffer.data();
    }
    void putInteger(int32_t value) {
        makeRoom();
        char* begin = buffer.data() + used;
        used = std::to_chars(begin, buffer.data() + CAPACITY, value).ptr - buffer.data();
    }
    // Flushes and reports whether every write so far reached the file.
    bool finish() {
        flush();
        return !failed && std::ferror(file) == 0;
    }
};
