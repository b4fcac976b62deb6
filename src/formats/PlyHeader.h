// PlyHeader: the header of a PLY file (encoding, elements and their properties), parsed
// strictly from the bytes at the start of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PlyType : uint8_t { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

enum class PlyEncoding : uint8_t { Ascii, BinaryLittleEndian, BinaryBigEndian };

// Size in bytes of one value of the type in a binary body.
std::size_t plySize(PlyType type);
// True for float32 and float64.
bool plyIsFloat(PlyType type);

struct PlyProperty {
    std::string name;
    PlyType type = PlyType::Float32; // the value type; for a list, the type of its items
    bool isList = false;
    PlyType countType = PlyType::UInt8; // lists only: the type of the leading item count
};

struct PlyElement {
    std::string name;
    uint64_t count = 0;
    std::vector<PlyProperty> properties;
    int headerLine = 0; // 1-based line of its "element" line

    // Index of the property with this name, or -1.
    int find(const std::string& propertyName) const;
    // Fewest bytes one element can take in a binary body (every list empty).
    std::size_t minimumBinarySize() const;
};

struct PlyHeader {
    PlyEncoding encoding = PlyEncoding::Ascii;
    std::vector<PlyElement> elements;
    std::size_t bodyOffset = 0; // offset of the first body byte
    int lineCount = 0;          // lines in the header, "ply" and "end_header" included

    // Parses the header at the start of data[0, size). Returns an empty string on success;
    // otherwise the reason, prefixed with "line N: " when one header line is at fault.
    // Checks the magic line, the format line (ascii, binary_little_endian or
    // binary_big_endian, version 1.0), every element and property line (known type names,
    // integer list counts, no duplicate property, no property outside an element, no element
    // without properties) and the closing "end_header". Reads nothing past data + size.
    std::string parse(const char* data, std::size_t size);
};
