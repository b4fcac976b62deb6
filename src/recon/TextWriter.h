// TextWriter: buffered text output for the large dump and mesh files. Its conversions give
// the same characters as printf "%lf"/"%f" (fixed, six decimals, correctly rounded) and
// "%d", at a fraction of the cost for a million records.
#pragma once

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// "00" to "99": the decimal digits of the numbers 0 to 99, two characters each.
inline constexpr char DIGIT_PAIRS[] = "00010203040506070809101112131415161718192021222324"
                                      "25262728293031323334353637383940414243444546474849"
                                      "50515253545556575859606162636465666768697071727374"
                                      "75767778798081828384858687888990919293949596979899";

// Writes value as printf "%d" does (a minus sign for negative values, no leading zeros) at
// out, which must have room for 11 characters; returns the end of the text. The digits
// are formed two at a time from the end.
inline char* writeDecimal(char* out, int32_t value) {
    if (value < 0) {
        *out++ = '-';
    }
    uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[10];
    char* first = digits + sizeof digits;
    while (magnitude >= 100) {
        first -= 2;
        std::memcpy(first, DIGIT_PAIRS + 2 * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        first -= 2;
        std::memcpy(first, DIGIT_PAIRS + 2 * magnitude, 2);
    } else {
        *--first = static_cast<char>('0' + magnitude);
    }
    const size_t length = static_cast<size_t>(digits + sizeof digits - first);
    std::memcpy(out, first, length);
    return out + length;
}

// Writes value as printf "%f" does (fixed notation, six decimals, the exact binary value
// rounded to nearest with ties to even, a minus sign for every negative value including
// -0.0 and values that round to zero) into the room from begin, which must hold at least 64
// characters; returns the end of the text. Values below 2^33 in size are converted in exact
// integer arithmetic: the value is m * 2^-s with an integer m below 2^53 and s at least 20, so
// value * 10^6 is m * 10^6 (below 2^73) shifted down by s, and the bits shifted out decide
// the rounding.
// Larger values, infinities and NaN go through std::to_chars.
inline char* writeFixedSix(char* begin, char* end, double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const int exponentField = static_cast<int>((bits >> 52) & 0x7ff);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    // Biased exponents below 1023 + 33 are values below 2^33 (zero and subnormals included).
    if (exponentField >= 1023 + 33) {
        return std::to_chars(begin, end, value, std::chars_format::fixed, 6).ptr;
    }
    const uint64_t mantissa = exponentField == 0 ? fraction : (fraction | (uint64_t{1} << 52));
    // Below 2^33 the exponent is at most -20, so the scaled value is always shifted down.
    const int shift = 1075 - (exponentField == 0 ? 1 : exponentField);
    constexpr uint64_t MILLION = 1000000;
    const unsigned __int128 product = static_cast<unsigned __int128>(mantissa) * MILLION;
    uint64_t scaled = 0; // |value| * 10^6 rounded to an integer, below 2^53
    if (shift < 128) {   // otherwise product (below 2^73) is far under half of 2^shift
        const unsigned __int128 one = 1;
        const unsigned __int128 rest = product & ((one << shift) - 1);
        const unsigned __int128 half = one << (shift - 1);
        scaled = static_cast<uint64_t>(product >> shift);
        if (rest > half || (rest == half && (scaled & 1) != 0)) {
            ++scaled;
        }
    }
    char* out = begin;
    if ((bits >> 63) != 0) {
        *out++ = '-';
    }
    const uint64_t whole = scaled / MILLION;
    if (whole < 10) {
        *out++ = static_cast<char>('0' + whole);
    } else {
        out = std::to_chars(out, end, whole).ptr;
    }
    *out++ = '.';
    // The six decimals as three pairs of digits.
    const uint32_t decimals = static_cast<uint32_t>(scaled % MILLION);
    const uint32_t low = decimals % 10000;
    std::memcpy(out, DIGIT_PAIRS + 2 * (decimals / 10000), 2);
    std::memcpy(out + 2, DIGIT_PAIRS + 2 * (low / 100), 2);
    std::memcpy(out + 4, DIGIT_PAIRS + 2 * (low % 100), 2);
    return out + 6;
}

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
        used = writeFixedSix(begin, buffer.data() + CAPACITY, value) - buffer.data();
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
        used = writeDecimal(begin, value) - buffer.data();
    }
    // Flushes and reports whether every write so far reached the file.
    bool finish() {
        flush();
        return !failed && std::ferror(file) == 0;
    }
};
