// Point input: reads "rawPoints.txt" (three decimal numbers per line) into the record
// array, prints the banner and reading progress, and names the side files.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "prep/PointSetPreparation.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr int POINT_LINE_BUFFER_SIZE = 4096;
constexpr std::size_t MIN_POINT_LINE_LENGTH = 6; // shorter lines end the data
constexpr double LARGEST_FLOAT = 3.4028234663852886e38;
constexpr int32_t POINTS_PER_DOT = 500;

struct RawPoint {
    double x, y, z;
};

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Checks that [begin, end) is a whole decimal number: optional sign, digits with at most
// one decimal point (at least one digit), optional exponent with at least one digit.
bool isDecimalNumber(const char* begin, const char* end) {
    const char* p = begin;
    if (p < end && (*p == '+' || *p == '-')) {
        ++p;
    }
    int digits = 0;
    bool seenPoint = false;
    for (; p < end; ++p) {
        if (isDigit(*p)) {
            ++digits;
        } else if (*p == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) {
            ++p;
        }
        const char* exponentDigits = p;
        while (p < end && isDigit(*p)) {
            ++p;
        }
        if (p == exponentDigits) {
            return false;
        }
    }
    return p == end;
}

// Converts a token already checked by isDecimalNumber, correctly rounded.
double convertNumber(const char* begin, const char* end) {
    const char* digits = (*begin == '+') ? begin + 1 : begin;
    double value = 0.0;
    const std::from_chars_result result =
        std::from_chars(digits, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow or underflow: strtod gives the infinity or the (sub)normal/zero value.
        char copy[POINT_LINE_BUFFER_SIZE];
        const std::size_t length = static_cast<std::size_t>(end - begin);
        std::memcpy(copy, begin, length);
        copy[length] = '\0';
        value = std::strtod(copy, nullptr);
    }
    return value;
}

// Finds the next token at or after p; returns false when none is left.
bool nextToken(const char*& p, const char*& tokenBegin, const char*& tokenEnd) {
    while (*p != '\0' && isSeparator(*p)) {
        ++p;
    }
    if (*p == '\0') {
        return false;
    }
    tokenBegin = p;
    while (*p != '\0' && !isSeparator(*p)) {
        ++p;
    }
    tokenEnd = p;
    return true;
}

// The record array is large (hundreds of bytes per point); on Linux, asking for
// transparent huge pages before the records are constructed cuts the page-fault cost
// of first touching it many times over. Only a hint: failure changes nothing.
void adviseHugePages(void* begin, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t PAGE = 4096;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + PAGE - 1) & ~(PAGE - 1);
    const uintptr_t last = reinterpret_cast<uintptr_t>(begin) + bytes;
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#else
    (void)begin;
    (void)bytes;
#endif
}

} // namespace

bool parsePointLine(const char* line, double& x, double& y, double& z) {
    const char* begin[3];
    const char* end[3];
    const char* p = line;
    for (int i = 0; i < 3; ++i) {
        if (!nextToken(p, begin[i], end[i])) {
            return false;
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (!isDecimalNumber(begin[i], end[i])) {
            return false;
        }
    }
    x = convertNumber(begin[0], end[0]);
    y = convertNumber(begin[1], end[1]);
    z = convertNumber(begin[2], end[2]);
    return true;
}

bool PointSetPreparation::loadPoints(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "r");
    if (file == nullptr) {
        return false;
    }
    std::vector<char> readBuffer(1 << 20);
    std::setvbuf(file, readBuffer.data(), _IOFBF, readBuffer.size());

    if (console != nullptr) {
        *console << "fanmesh: triangle mesh reconstruction from unorganised points\n"
                 << "Surface grown as triangle fans over the point cloud\n\n"
                 << std::string(80, '-') << "\n"
                 << "Calculating Neighborhood Points" << std::flush;
    }

    std::vector<double> coordinates; // three per point
    int32_t pointCount = 0;
    char line[POINT_LINE_BUFFER_SIZE];
    while (!std::feof(file)) {
        if (std::fgets(line, POINT_LINE_BUFFER_SIZE, file) == nullptr) {
            line[0] = '\0';
        }
        std::size_t length = std::strlen(line);
        // A CR before the line end is not part of the line.
        if (length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n') {
            line[length - 2] = '\n';
            line[length - 1] = '\0';
            --length;
        } else if (length == POINT_LINE_BUFFER_SIZE - 1 && line[length - 1] == '\r') {
            // The piece filled the buffer just before the LF of a CR LF: that line end
            // belongs to this piece, as it would once the CR is dropped.
            const int next = std::fgetc(file);
            if (next == '\n') {
                line[length - 1] = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
        }
        if (length < MIN_POINT_LINE_LENGTH) {
            break;
        }
        RawPoint point;
        if (!parsePointLine(line, point.x, point.y, point.z) ||
            std::fabs(point.x) > LARGEST_FLOAT || std::fabs(point.y) > LARGEST_FLOAT ||
            std::fabs(point.z) > LARGEST_FLOAT) {
            std::fclose(file);
            keptCount = 0;
            return false;
        }
        if (pointCount == INT32_MAX) {
            std::fclose(file);
            keptCount = 0;
            return false;
        }
        coordinates.insert(coordinates.end(), {point.x, point.y, point.z});
        ++pointCount;
        if (pointCount % POINTS_PER_DOT == 0 && console != nullptr) {
            *console << "." << std::flush;
        }
    }
    std::fclose(file);
    if (console != nullptr) {
        *console << "\nFinished Calculating Neighbors\n" << std::flush;
    }

    if (pointCount == 0) {
        keptCount = 0;
        return false;
    }
    storePoints(coordinates.data(), pointCount);
    return true;
}

void PointSetPreparation::storePoints(const double* xyz, int32_t count) {
    keptCount = count;
    totalCount = count;
    std::vector<Vertex>().swap(vertices);
    vertices.reserve(static_cast<std::size_t>(count));
    adviseHugePages(vertices.data(), static_cast<std::size_t>(count) * sizeof(Vertex));
    vertices.resize(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        Vertex& vertex = vertices[i];
        vertex.normal.set(0.0, 0.0, 0.0);
        vertex.surfaceVariation = 0.0;
        vertex.eigenvalues[0] = vertex.eigenvalues[1] = vertex.eigenvalues[2] = 0.0;
        vertex.position.set(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
    }
    inputIndex.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        inputIndex[i] = i;
    }
}

void PointSetPreparation::setSideFileNames(const std::string& prefix) {
    neighbourFileName = prefix + "euclideanNeighbours.txt";
    timingFileName = prefix + "timingForNeighbours.txt";
    std::FILE* file = std::fopen(timingFileName.c_str(), "w");
    if (file != nullptr) {
        std::fclose(file);
    }
}
