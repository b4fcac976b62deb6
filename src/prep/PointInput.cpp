// Point input: reads "rawPoints.txt" (three decimal numbers per line) into the record
// array, prints the banner and reading progress, and names the side files.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "formats/LineReader.h"
#include "prep/PointSetPreparation.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t MIN_POINT_LINE_LENGTH = 6; // shorter lines end the data
constexpr double LARGEST_FLOAT = 3.4028234663852886e38;
constexpr int32_t POINTS_PER_DOT = 500;

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
        const std::string copy(begin, end);
        value = std::strtod(copy.c_str(), nullptr);
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

PointLineStatus parsePointFields(const char* line, double& x, double& y, double& z) {
    const char* begin[3];
    const char* end[3];
    const char* p = line;
    for (int i = 0; i < 3; ++i) {
        if (!nextToken(p, begin[i], end[i])) {
            return static_cast<PointLineStatus>(static_cast<int>(PointLineStatus::NoValue) + i);
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (!isDecimalNumber(begin[i], end[i])) {
            return static_cast<PointLineStatus>(static_cast<int>(PointLineStatus::BadFirst) + i);
        }
    }
    x = convertNumber(begin[0], end[0]);
    y = convertNumber(begin[1], end[1]);
    z = convertNumber(begin[2], end[2]);
    return PointLineStatus::Valid;
}

bool parsePointLine(const char* line, double& x, double& y, double& z) {
    return parsePointFields(line, x, y, z) == PointLineStatus::Valid;
}

namespace {

const char* const ORDINALS[3] = {"first", "second", "third"};

// The n-th blank-separated token of the line (n from 0), shortened and with control
// characters shown as '?', for quoting in a message.
std::string quotedToken(const char* line, int n) {
    const char* p = line;
    const char* begin = nullptr;
    const char* end = nullptr;
    for (int i = 0; i <= n; ++i) {
        if (!nextToken(p, begin, end)) {
            return "''";
        }
    }
    constexpr std::ptrdiff_t MAX_SHOWN = 40;
    std::string shown = "'";
    for (const char* c = begin; c < end && c - begin < MAX_SHOWN; ++c) {
        shown += (static_cast<unsigned char>(*c) < 32 || *c == 127) ? '?' : *c;
    }
    return shown + (end - begin > MAX_SHOWN ? "...'" : "'");
}

std::string describeLineProblem(const char* line, PointLineStatus status) {
    switch (status) {
    case PointLineStatus::NoValue:
        return "no value where three decimal numbers are needed";
    case PointLineStatus::OneValue:
        return "only one value where three decimal numbers are needed";
    case PointLineStatus::TwoValues:
        return "only two values where three decimal numbers are needed";
    default: {
        const int index = static_cast<int>(status) - static_cast<int>(PointLineStatus::BadFirst);
        return std::string("the ") + ORDINALS[index] + " value " + quotedToken(line, index) +
               " is not a decimal number";
    }
    }
}

} // namespace

namespace {

// Counts the lines from the current one (the short line that ended the data) to the end of
// the stream that hold three decimal numbers.
long countUnreadPointLines(LineReader& reader, std::string_view line) {
    long count = 0;
    double x, y, z;
    do {
        if (parsePointLine(line.data(), x, y, z)) {
            ++count;
        }
    } while (reader.next(line));
    return count;
}

} // namespace

bool readPointLines(std::FILE* file, const std::string& fileName, std::vector<double>& coordinates,
                    Failure& failure, std::ostream* console, PointDataEnd* dataEnd) {
    LineReader reader(file);
    std::string_view line;
    for (;;) {
        const bool more = reader.next(line);
        if (holdsNulByte(line)) {
            failure = {fileName, reader.lineNumber, "the line holds a NUL byte"};
            return false;
        }
        if (line.size() < MIN_POINT_LINE_LENGTH) {
            // The end of the data (or of the file).
            if (more && dataEnd != nullptr) {
                dataEnd->line = reader.lineNumber;
                dataEnd->unreadPointLines = countUnreadPointLines(reader, line);
            }
            break;
        }
        double x, y, z;
        const PointLineStatus status = parsePointFields(line.data(), x, y, z);
        if (status != PointLineStatus::Valid) {
            failure = {fileName, reader.lineNumber, describeLineProblem(line.data(), status)};
            return false;
        }
        const double values[3] = {x, y, z};
        for (int i = 0; i < 3; ++i) {
            if (std::fabs(values[i]) > LARGEST_FLOAT) {
                failure = {fileName, reader.lineNumber,
                           std::string("the ") + ORDINALS[i] + " value " +
                               quotedToken(line.data(), i) +
                               " is beyond the single-precision range (3.4e38)"};
                return false;
            }
        }
        if (coordinates.size() / 3 >= static_cast<std::size_t>(INT32_MAX)) {
            failure = {fileName, reader.lineNumber, "more points than the program can hold"};
            return false;
        }
        coordinates.insert(coordinates.end(), {x, y, z});
        if (console != nullptr && (coordinates.size() / 3) % POINTS_PER_DOT == 0) {
            *console << "." << std::flush;
        }
    }
    if (reader.readError()) {
        failure = {fileName, reader.lineNumber + 1, "the file cannot be read"};
        return false;
    }
    return true;
}

bool PointSetPreparation::loadPoints(const std::string& fileName) {
    failure.clear();
    pointFileName = fileName;
    struct stat status;
    if (stat(fileName.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        failure = Failure{fileName, 0, "this is a directory, not a point file"}.describe();
        return false;
    }
    std::FILE* file = std::fopen(fileName.c_str(), "r");
    if (file == nullptr) {
        failure = Failure{fileName, 0,
                          std::string("the point file cannot be opened: ") + std::strerror(errno)}
                      .describe();
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
    Failure lineFailure;
    dataEnd = PointDataEnd{};
    const bool read = readPointLines(file, fileName, coordinates, lineFailure, console, &dataEnd);
    std::fclose(file);
    if (!read) {
        failure = lineFailure.describe();
        keptCount = 0;
        return false;
    }
    if (console != nullptr) {
        *console << "\nFinished Calculating Neighbors\n" << std::flush;
    }
    const int32_t pointCount = static_cast<int32_t>(coordinates.size() / 3);
    if (pointCount == 0) {
        failure = Failure{fileName, 0,
                          "no point before the end of the data (an empty line or one "
                          "shorter than 6 characters ends it)"}
                      .describe();
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
