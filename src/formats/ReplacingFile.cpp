// Write-then-rename output: every failure path removes the temporary file.
#include "formats/ReplacingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string temporaryPathFor(const std::string& target) {
    return target + ".partial";
}

std::string ReplacingFile::open(const std::string& targetPath) {
    discard();
    target = targetPath;
    temporary = temporaryPathFor(targetPath);
    // A symbolic link in the temporary's place is not followed: writing through it would
    // overwrite the file it points to.
    const int descriptor =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    file = descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
    if (file == nullptr) {
        const std::string reason = std::strerror(errno);
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        temporary.clear();
        return target + ": cannot create temporary file \"" + temporaryPathFor(target) +
               "\": " + reason;
    }
    return "";
}

std::string ReplacingFile::commit(int writeError) {
    std::string error = finish(writeError);
    return error.empty() ? replace() : error;
}

std::string ReplacingFile::finish(int writeError) {
    if (file == nullptr) {
        return target + ": cannot write: the file is not open";
    }
    int reason = writeError;
    errno = 0;
    if (reason == 0 && (std::fflush(file) != 0 || std::ferror(file) != 0)) {
        reason = errno != 0 ? errno : EIO;
    }
    errno = 0;
    if (std::fclose(file) != 0 && reason == 0) {
        reason = errno != 0 ? errno : EIO;
    }
    file = nullptr;
    if (reason != 0) {
        discard();
        return target + ": cannot write: " + std::strerror(reason);
    }
    return "";
}

std::string ReplacingFile::replace() {
    if (file != nullptr || temporary.empty()) {
        return target + ": cannot write: the file is not finished";
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int reason = errno;
        discard();
        return target + ": cannot write: " + std::strerror(reason);
    }
    temporary.clear();
    return "";
}

void ReplacingFile::discard() {
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    if (!temporary.empty()) {
        std::remove(temporary.c_str());
        temporary.clear();
    }
}
