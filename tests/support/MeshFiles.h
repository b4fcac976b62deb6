// Test support: reading back the meshes the program writes (PLY in ASCII or binary little
// endian, OBJ, OFF), reading text points, and building PLY files value by value in any of
// the three encodings.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/TextFiles.h"

namespace meshtest {

struct Mesh {
    std::vector<double> vertices; // x y z per vertex
    std::vector<int32_t> faces;   // three corners per face
};

// The numbers of a text file, in order (x y z per point for a point file).
inline std::vector<double> readNumbers(const std::filesystem::path& path) {
    std::istringstream in(readFile(path.string()));
    std::vector<double> numbers;
    for (std::string token; in >> token;) {
        numbers.push_back(std::strtod(token.c_str(), nullptr));
    }
    return numbers;
}

// Reads a mesh by its extension. Every face must have three corners, an OBJ file holds
// only "v" and "f" lines, and a binary PLY file ends right after its last face.
inline Mesh readMesh(const std::filesystem::path& path) {
    const std::string text = readFile(path.string());
    Mesh mesh;
    std::istringstream in(text);
    std::string word;
    const auto corners = [&](int32_t base) {
        for (int k = 0; k < 3; ++k) {
            int32_t corner = 0;
            in >> corner;
            mesh.faces.push_back(corner - base);
        }
    };
    if (path.extension() == ".obj") {
        while (in >> word) {
            EXPECT_TRUE(word == "v" || word == "f") << word;
            if (word == "v") {
                for (int k = 0; k < 3 && in >> word; ++k) {
                    mesh.vertices.push_back(std::strtod(word.c_str(), nullptr));
                }
            } else {
                corners(1);
            }
        }
        return mesh;
    }
    size_t vertexCount = 0, faceCount = 0;
    bool binary = false;
    if (path.extension() == ".off") {
        in >> word >> vertexCount >> faceCount >> word;
    } else {
        for (std::string line; std::getline(in, line) && line != "end_header";) {
            binary = binary || line.find("binary_little_endian") != std::string::npos;
            std::sscanf(line.c_str(), "element vertex %zu", &vertexCount);
            std::sscanf(line.c_str(), "element face %zu", &faceCount);
        }
    }
    if (binary) {
        const char* p = text.data() + text.find("end_header\n") + 11;
        const auto take = [&p](void* value, size_t size) {
            std::memcpy(value, p, size);
            p += size;
        };
        mesh.vertices.resize(3 * vertexCount);
        take(mesh.vertices.data(), 3 * vertexCount * sizeof(double));
        for (size_t f = 0; f < faceCount; ++f) {
            uint8_t count = 0;
            int32_t face[3];
            take(&count, 1);
            take(face, sizeof face);
            EXPECT_EQ(count, 3);
            mesh.faces.insert(mesh.faces.end(), face, face + 3);
        }
        EXPECT_EQ(p, text.data() + text.size());
        return mesh;
    }
    for (size_t i = 0; i < 3 * vertexCount && in >> word; ++i) {
        mesh.vertices.push_back(std::strtod(word.c_str(), nullptr));
    }
    for (size_t f = 0; f < faceCount; ++f) {
        int count = 0;
        in >> count;
        EXPECT_EQ(count, 3);
        corners(0);
    }
    return mesh;
}

// Builds a PLY file: header lines, then values in the chosen encoding.
struct PlyBuilder {
    std::string encoding; // "ascii", "binary_little_endian" or "binary_big_endian"
    std::string text;

    explicit PlyBuilder(std::string chosen) : encoding(std::move(chosen)) {
        text = "ply\nformat " + encoding + " 1.0\n";
    }
    PlyBuilder& line(const std::string& headerLine) {
        text += headerLine + "\n";
        return *this;
    }
    // One value: as a word (ASCII, shortest exact text) or as the bytes of type T in the
    // file's byte order.
    template <typename T> PlyBuilder& value(T v) {
        if (encoding == "ascii") {
            if constexpr (sizeof(T) == 1) {
                text += std::to_string(static_cast<int>(v)) + " ";
            } else {
                char word[64];
                std::snprintf(word, sizeof(word), "%.17g ", static_cast<double>(v));
                text += word;
            }
            return *this;
        }
        char bytes[sizeof(T)];
        std::memcpy(bytes, &v, sizeof(T));
        const bool big = encoding == "binary_big_endian";
        if (big != (std::endian::native == std::endian::big)) {
            std::reverse(bytes, bytes + sizeof(T));
        }
        text.append(bytes, sizeof(T));
        return *this;
    }
    PlyBuilder& endElement() {
        if (encoding == "ascii") {
            text += "\n";
        }
        return *this;
    }
};

} // namespace meshtest
