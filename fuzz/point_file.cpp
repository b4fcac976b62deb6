// Fuzz target: the point-file reader on arbitrary bytes. Every accepted point must be
// finite and within the single-precision range; every refusal must say why.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "prep/PointSetPreparation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer; an empty file is read through /dev/null instead.
    std::FILE* file =
        size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : std::fopen("/dev/null", "r");
    if (file == nullptr) {
        return 0;
    }
    std::vector<double> coordinates;
    Failure failure;
    const bool read = readPointLines(file, "fuzz", coordinates, failure, nullptr);
    std::fclose(file);
    if (read == failure.failed()) {
        std::abort();
    }
    if (coordinates.size() % 3 != 0) {
        std::abort();
    }
    for (const double value : coordinates) {
        if (!(std::fabs(value) <= 3.5e38)) {
            std::abort();
        }
    }
    return 0;
}
