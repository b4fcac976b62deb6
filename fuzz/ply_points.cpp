// Fuzz target: the PLY point reader on arbitrary bytes. An accepted file yields whole
// points; a refusal says why.
#include <cstdint>
#include <cstdlib>

#include "formats/PlyReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const PointReadResult result =
        readPlyPoints(reinterpret_cast<const char*>(data), size, "fuzz.ply");
    if (result.ok() ? result.coordinates.size() % 3 != 0 : result.error.empty()) {
        std::abort();
    }
    return 0;
}
