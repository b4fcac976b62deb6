// PLY body reading: walks every element of the body in header order, keeping the vertex
// coordinates and checking and skipping everything else, without reading past the buffer.
#include "formats/PlyReader.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "formats/FileBytes.h"
#include "formats/PlyHeader.h"

namespace {

// "name: problem", or "name, line N: what" for a problem "line N: what".
std::string located(const std::string& name, const std::string& problem) {
    return name + (problem.rfind("line ", 0) == 0 ? ", " : ": ") + problem;
}

constexpr double LARGEST_COORDINATE = 3.4028234663852886e38;
constexpr uint64_t MAX_VERTICES = 2147483647;

struct IntegerRange {
    int64_t low, high;
};
IntegerRange rangeOf(PlyType type) {
    switch (type) {
    case PlyType::Int8:
        return {INT8_MIN, INT8_MAX};
    case PlyType::UInt8:
        return {0, UINT8_MAX};
    case PlyType::Int16:
        return {INT16_MIN, INT16_MAX};
    case PlyType::UInt16:
        return {0, UINT16_MAX};
    case PlyType::Int32:
        return {INT32_MIN, INT32_MAX};
    default:
        return {0, UINT32_MAX};
    }
}

template <typename T> T loadBytes(const char* p, bool swap) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, p, sizeof(T));
    if (swap) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
            std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
        }
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

// The value of one binary scalar, as a double (exact for every PLY type).
double loadValue(const char* p, PlyType type, bool swap) {
    switch (type) {
    case PlyType::Int8:
        return loadBytes<int8_t>(p, swap);
    case PlyType::UInt8:
        return loadBytes<uint8_t>(p, swap);
    case PlyType::Int16:
        return loadBytes<int16_t>(p, swap);
    case PlyType::UInt16:
        return loadBytes<uint16_t>(p, swap);
    case PlyType::Int32:
        return loadBytes<int32_t>(p, swap);
    case PlyType::UInt32:
        return loadBytes<uint32_t>(p, swap);
    case PlyType::Float32:
        return loadBytes<float>(p, swap);
    case PlyType::Float64:
        return loadBytes<double>(p, swap);
    }
    return 0.0;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// Reads the body of one file; the first failure is kept in `error` and stops the walk.
struct BodyReader {
    const PlyHeader& header;
    const char* data;
    std::size_t size;
    std::size_t position;
    int line;          // ASCII: current line number in the file
    std::string error; // "[line N: ]what is wrong"
    std::vector<double>& coordinates;
    int slot[3] = {-1, -1, -1}; // property index of x, y, z in the vertex element

    std::size_t remaining() const { return size - position; }
    void fail(const std::string& message) {
        error = header.encoding == PlyEncoding::Ascii
                    ? "line " + std::to_string(line) + ": " + message
                    : message;
    }
    static std::string instance(const PlyElement& element, uint64_t index) {
        return quoted(element.name) + " " + std::to_string(index) + " of " +
               std::to_string(element.count);
    }

    // ---- binary ----
    bool binaryElement(const PlyElement& element, uint64_t index, double* xyz) {
        const bool swap = (header.encoding == PlyEncoding::BinaryBigEndian) !=
                          (std::endian::native == std::endian::big);
        for (std::size_t k = 0; k < element.properties.size(); ++k) {
            const PlyProperty& property = element.properties[k];
            std::size_t bytes = plySize(property.isList ? property.countType : property.type);
            if (remaining() < bytes) {
                fail("truncated: the file ends inside element " + instance(element, index));
                return false;
            }
            const double value = loadValue(
                data + position, property.isList ? property.countType : property.type, swap);
            position += bytes;
            if (property.isList) {
                if (value < 0) {
                    fail("negative list count in element " + instance(element, index));
                    return false;
                }
                const std::size_t itemBytes = plySize(property.type);
                if (value > static_cast<double>(remaining() / itemBytes)) {
                    fail("truncated: the file ends inside element " + instance(element, index));
                    return false;
                }
                position += static_cast<std::size_t>(value) * itemBytes;
            } else if (xyz != nullptr) {
                for (int c = 0; c < 3; ++c) {
                    if (slot[c] == static_cast<int>(k)) {
                        xyz[c] = value;
                    }
                }
            }
        }
        return true;
    }

    // ---- ASCII ----
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
    void skipBlanks() {
        while (position < size && isBlank(data[position])) {
            ++position;
        }
    }
    // Moves to the first non-blank character of the next line holding one.
    void skipEmptyLines() {
        skipBlanks();
        while (position < size && data[position] == '\n') {
            ++position;
            ++line;
            skipBlanks();
        }
    }
    // The next word on the current line; empty when the line has no more.
    std::string_view nextWord() {
        skipBlanks();
        const std::size_t begin = position;
        while (position < size && data[position] != '\n' && !isBlank(data[position])) {
            ++position;
        }
        return std::string_view(data + begin, position - begin);
    }
    // Parses an ASCII value of the given type; false when it is malformed or out of range.
    static bool asciiValue(std::string_view word, PlyType type, double& value) {
        const char* begin = word.data();
        const char* end = begin + word.size();
        if (begin != end && *begin == '+') {
            ++begin;
        }
        // from_chars takes no '+'; a '+' must not be followed by a second sign.
        if (begin == end || (begin != word.data() && *begin == '-')) {
            return false;
        }
        if (plyIsFloat(type)) {
            const auto [stop, status] = std::from_chars(begin, end, value);
            return status == std::errc() && stop == end;
        }
        int64_t integer = 0;
        const auto [stop, status] = std::from_chars(begin, end, integer);
        const IntegerRange range = rangeOf(type);
        value = static_cast<double>(integer);
        return status == std::errc() && stop == end && integer >= range.low &&
               integer <= range.high;
    }
    // Reads the next value of the line into value; on failure sets the reason.
    bool asciiNext(PlyType type, double& value, const char* role, const PlyProperty& property,
                   const PlyElement& element, uint64_t index) {
        const std::string_view word = nextWord();
        if (asciiValue(word, type, value)) {
            return true;
        }
        fail(word.empty() ? "too few values for element " + instance(element, index)
                          : "bad " + std::string(role) + " " + quoted(word) + " for property " +
                                quoted(property.name) + " of element " + instance(element, index));
        return false;
    }
    bool asciiElement(const PlyElement& element, uint64_t index, double* xyz) {
        skipEmptyLines();
        if (position >= size) {
            fail("truncated: the file ends before element " + instance(element, index));
            return false;
        }
        for (std::size_t k = 0; k < element.properties.size(); ++k) {
            const PlyProperty& property = element.properties[k];
            double value = 0.0;
            if (property.isList) {
                if (!asciiNext(property.countType, value, "list count", property, element, index)) {
                    return false;
                }
                for (double item = 0; item < value; ++item) {
                    double ignored;
                    if (!asciiNext(property.type, ignored, "list item", property, element, index)) {
                        return false;
                    }
                }
                continue;
            }
            if (!asciiNext(property.type, value, "value", property, element, index)) {
                return false;
            }
            if (xyz != nullptr) {
                for (int c = 0; c < 3; ++c) {
                    if (slot[c] == static_cast<int>(k)) {
                        xyz[c] = value;
                    }
                }
            }
        }
        skipBlanks();
        if (position < size && data[position] != '\n') {
            fail("too many values for element " + instance(element, index));
            return false;
        }
        return true;
    }

    // ---- both ----
    bool readElement(const PlyElement& element) {
        const bool binary = header.encoding != PlyEncoding::Ascii;
        const bool isVertex = element.name == "vertex";
        const std::size_t fewestBytes =
            binary ? element.minimumBinarySize() : 2 * element.properties.size();
        // Every element takes at least fewestBytes (an ASCII value is at least one character
        // and one separator; the last one may lack its separator).
        const std::size_t room = binary ? remaining() : remaining() + 1;
        if (element.count > room / fewestBytes) {
            fail("truncated: " + std::to_string(element.count) + " " + quoted(element.name) +
                 " elements declared, but the rest of the file holds at most " +
                 std::to_string(room / fewestBytes));
            return false;
        }
        if (isVertex) {
            coordinates.reserve(static_cast<std::size_t>(element.count) * 3);
        } else if (binary && element.minimumBinarySize() * element.count <= remaining()) {
            bool hasList = false;
            for (const PlyProperty& property : element.properties) {
                hasList = hasList || property.isList;
            }
            if (!hasList) { // fixed size: skipped in one step
                position += element.minimumBinarySize() * element.count;
                return true;
            }
        }
        double xyz[3] = {0.0, 0.0, 0.0};
        for (uint64_t i = 0; i < element.count; ++i) {
            double* target = isVertex ? xyz : nullptr;
            if (!(binary ? binaryElement(element, i, target) : asciiElement(element, i, target))) {
                return false;
            }
            if (isVertex) {
                for (int c = 0; c < 3; ++c) {
                    if (!std::isfinite(xyz[c]) || std::fabs(xyz[c]) > LARGEST_COORDINATE) {
                        fail("coordinate " + std::string(1, "xyz"[c]) + " of vertex " +
                             std::to_string(i) +
                             " is not a finite number of at most 3.4028234663852886e38 in "
                             "magnitude");
                        return false;
                    }
                }
                coordinates.insert(coordinates.end(), xyz, xyz + 3);
            }
        }
        return true;
    }
};

// Checks what the reader needs of the vertex element; returns its index in `vertex`.
std::string checkVertexElement(const PlyHeader& header, int& vertex, int slot[3]) {
    vertex = -1;
    for (std::size_t e = 0; e < header.elements.size(); ++e) {
        if (header.elements[e].name == "vertex") {
            vertex = static_cast<int>(e);
        }
    }
    if (vertex < 0) {
        return "the header declares no \"vertex\" element";
    }
    const PlyElement& element = header.elements[vertex];
    for (int c = 0; c < 3; ++c) {
        const std::string axis(1, "xyz"[c]);
        slot[c] = element.find(axis);
        if (slot[c] < 0) {
            return "line " + std::to_string(element.headerLine) +
                   ": the vertex element has no property \"" + axis + "\"";
        }
        const PlyProperty& property = element.properties[slot[c]];
        if (property.isList || !plyIsFloat(property.type)) {
            return "line " + std::to_string(element.headerLine) + ": vertex property \"" + axis +
                   "\" must be a scalar float or double";
        }
    }
    if (element.count > MAX_VERTICES) {
        return "line " + std::to_string(element.headerLine) + ": too many vertices (" +
               std::to_string(element.count) + "; at most " + std::to_string(MAX_VERTICES) + ")";
    }
    return "";
}

} // namespace

PointReadResult readPlyPoints(const char* data, std::size_t size, const std::string& name) {
    PointReadResult result;
    PlyHeader header;
    std::string problem = header.parse(data, size);
    int vertex = -1;
    int slot[3];
    if (problem.empty()) {
        problem = checkVertexElement(header, vertex, slot);
    }
    if (!problem.empty()) {
        result.error = located(name, problem);
        return result;
    }
    BodyReader reader{
        header, data, size, header.bodyOffset, header.lineCount + 1, "", result.coordinates};
    std::memcpy(reader.slot, slot, sizeof(slot));
    for (const PlyElement& element : header.elements) {
        if (!reader.readElement(element)) {
            break;
        }
    }
    if (reader.error.empty()) {
        if (header.encoding == PlyEncoding::Ascii) {
            reader.skipEmptyLines();
        }
        if (reader.position != size) {
            reader.fail(std::to_string(size - reader.position) +
                        " bytes of unexpected data after the last element");
        }
    }
    if (!reader.error.empty()) {
        result.coordinates = std::vector<double>();
        result.error = located(name, reader.error);
    }
    return result;
}

PointReadResult readPlyFile(const std::string& path) {
    FileBytes bytes;
    PointReadResult result;
    result.error = bytes.open(path);
    if (result.ok()) {
        result = readPlyPoints(bytes.data, bytes.size, path);
    }
    return result;
}
