// Line reading through POSIX getline, which grows one reused buffer to the longest line.
#include "formats/LineReader.h"

#include <cstdlib>
#include <sys/types.h>

LineReader::~LineReader() {
    std::free(buffer);
}

bool LineReader::next(std::string_view& line) {
    const ssize_t read = getline(&buffer, &capacity, file);
    if (read <= 0) {
        line = std::string_view();
        return false;
    }
    ++lineNumber;
    std::size_t length = static_cast<std::size_t>(read);
    if (length >= 2 && buffer[length - 2] == '\r' && buffer[length - 1] == '\n') {
        buffer[length - 2] = '\n';
        buffer[length - 1] = '\0';
        --length;
    }
    line = std::string_view(buffer, length);
    return true;
}
