// PLY header parsing: splits the header into lines and words and checks each line strictly.
#include "formats/PlyHeader.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace {

struct TypeName {
    const char* name;
    PlyType type;
};
constexpr TypeName TYPE_NAMES[] = {
    {"char", PlyType::Int8},      {"int8", PlyType::Int8},       {"uchar", PlyType::UInt8},
    {"uint8", PlyType::UInt8},    {"short", PlyType::Int16},     {"int16", PlyType::Int16},
    {"ushort", PlyType::UInt16},  {"uint16", PlyType::UInt16},   {"int", PlyType::Int32},
    {"int32", PlyType::Int32},    {"uint", PlyType::UInt32},     {"uint32", PlyType::UInt32},
    {"float", PlyType::Float32},  {"float32", PlyType::Float32}, {"double", PlyType::Float64},
    {"float64", PlyType::Float64}};

bool typeNamed(std::string_view name, PlyType& type) {
    for (const TypeName& entry : TYPE_NAMES) {
        if (name == entry.name) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

// Splits a line into words separated by blanks or tabs.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t begin = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > begin) {
            result.push_back(line.substr(begin, i - begin));
        }
    }
    return result;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string atLine(int line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

} // namespace

std::size_t plySize(PlyType type) {
    switch (type) {
    case PlyType::Int8:
    case PlyType::UInt8:
        return 1;
    case PlyType::Int16:
    case PlyType::UInt16:
        return 2;
    case PlyType::Int32:
    case PlyType::UInt32:
    case PlyType::Float32:
        return 4;
    case PlyType::Float64:
        return 8;
    }
    return 0;
}

bool plyIsFloat(PlyType type) {
    return type == PlyType::Float32 || type == PlyType::Float64;
}

int PlyElement::find(const std::string& propertyName) const {
    for (std::size_t i = 0; i < properties.size(); ++i) {
        if (properties[i].name == propertyName) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::size_t PlyElement::minimumBinarySize() const {
    std::size_t bytes = 0;
    for (const PlyProperty& property : properties) {
        bytes += plySize(property.isList ? property.countType : property.type);
    }
    return bytes;
}

std::string PlyHeader::parse(const char* data, std::size_t size) {
    elements.clear();
    lineCount = 0;
    bool formatSeen = false;
    std::size_t position = 0;
    while (true) {
        if (position >= size) {
            return lineCount == 0 ? "empty file" : "the header has no \"end_header\" line";
        }
        const void* newline = std::memchr(data + position, '\n', size - position);
        const std::size_t end =
            newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - data) : size;
        std::string_view line(data + position, end - position);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        position = newline ? end + 1 : size;
        const int number = ++lineCount;

        if (number == 1) {
            if (line != "ply") {
                return "not a PLY file (the first line is not \"ply\")";
            }
            continue;
        }
        const std::vector<std::string_view> word = words(line);
        if (word.empty()) {
            return atLine(number, "empty header line");
        }
        const std::string_view keyword = word[0];
        if (keyword == "comment" || keyword == "obj_info") {
            continue;
        }
        if (keyword == "end_header") {
            if (word.size() != 1) {
                return atLine(number, "unexpected words after \"end_header\"");
            }
            if (!formatSeen) {
                return atLine(number, "the header has no \"format\" line");
            }
            if (elements.empty()) {
                return atLine(number, "the header declares no element");
            }
            if (elements.back().properties.empty()) {
                return atLine(elements.back().headerLine,
                              "element " + quoted(elements.back().name) + " has no property");
            }
            bodyOffset = position;
            return "";
        }
        if (keyword == "format") {
            if (formatSeen) {
                return atLine(number, "a second \"format\" line");
            }
            if (word.size() != 3) {
                return atLine(number, "expected \"format <encoding> 1.0\"");
            }
            if (word[1] == "ascii") {
                encoding = PlyEncoding::Ascii;
            } else if (word[1] == "binary_little_endian") {
                encoding = PlyEncoding::BinaryLittleEndian;
            } else if (word[1] == "binary_big_endian") {
                encoding = PlyEncoding::BinaryBigEndian;
            } else {
                return atLine(number, "unknown encoding " + quoted(word[1]));
            }
            if (word[2] != "1.0") {
                return atLine(number, "unsupported format version " + quoted(word[2]));
            }
            formatSeen = true;
            continue;
        }
        if (keyword == "element") {
            if (word.size() != 3) {
                return atLine(number, "expected \"element <name> <count>\"");
            }
            if (!elements.empty() && elements.back().properties.empty()) {
                return atLine(elements.back().headerLine,
                              "element " + quoted(elements.back().name) + " has no property");
            }
            PlyElement element;
            element.name = std::string(word[1]);
            element.headerLine = number;
            const char* countEnd = word[2].data() + word[2].size();
            const auto [parsedEnd, error] =
                std::from_chars(word[2].data(), countEnd, element.count);
            if (error != std::errc() || parsedEnd != countEnd) {
                return atLine(number, "bad element count " + quoted(word[2]));
            }
            if (element.name == "vertex") {
                for (const PlyElement& earlier : elements) {
                    if (earlier.name == "vertex") {
                        return atLine(number, "a second \"vertex\" element");
                    }
                }
            }
            elements.push_back(std::move(element));
            continue;
        }
        if (keyword == "property") {
            if (elements.empty()) {
                return atLine(number, "a property before the first element");
            }
            PlyProperty property;
            std::string_view typeWord;
            if (word.size() == 5 && word[1] == "list") {
                property.isList = true;
                if (!typeNamed(word[2], property.countType)) {
                    return atLine(number, "unknown type " + quoted(word[2]));
                }
                if (plyIsFloat(property.countType)) {
                    return atLine(number,
                                  "a list count must have an integer type, not " + quoted(word[2]));
                }
                typeWord = word[3];
                property.name = std::string(word[4]);
            } else if (word.size() == 3 && word[1] != "list") {
                typeWord = word[1];
                property.name = std::string(word[2]);
            } else {
                return atLine(number, "expected \"property <type> <name>\" or \"property list "
                                      "<count type> <item type> <name>\"");
            }
            if (!typeNamed(typeWord, property.type)) {
                return atLine(number, "unknown type " + quoted(typeWord));
            }
            PlyElement& element = elements.back();
            if (element.find(property.name) >= 0) {
                return atLine(number, "element " + quoted(element.name) +
                                          " has a second property " + quoted(property.name));
            }
            element.properties.push_back(std::move(property));
            continue;
        }
        return atLine(number, "unknown header keyword " + quoted(keyword));
    }
}
