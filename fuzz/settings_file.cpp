// Fuzz target: the settings-file reader on arbitrary bytes. A refusal must name a line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "driver/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file =
        size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : std::fopen("/dev/null", "r");
    if (file == nullptr) {
        return 0;
    }
    Failure failure;
    readSettingsFrom(file, "fuzz", &failure);
    std::fclose(file);
    if (failure.failed() && failure.line <= 0) {
        std::abort();
    }
    return 0;
}
