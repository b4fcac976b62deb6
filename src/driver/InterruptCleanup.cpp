// Interrupt cleanup: a fixed table of paths filled before files and folders are created and
// read by the signal handler. The count is published after the path is complete, so the handler
// never sees a partly written entry.
#include "driver/InterruptCleanup.h"

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

char recordedPaths[CLEANUP_PATH_COUNT][CLEANUP_PATH_SIZE];
volatile std::sig_atomic_t recordedCount = 0;

void removeRecordedPaths() {
    // Last recorded first, so that a folder goes after the files recorded inside it.
    for (int i = recordedCount - 1; i >= 0; --i) {
        // A path not created yet is simply not there; a folder is removed only when empty.
        if (unlink(recordedPaths[i]) != 0) {
            rmdir(recordedPaths[i]);
        }
    }
}

extern "C" void removeRecordedFilesAndExit(int signalNumber) {
    removeRecordedPaths();
    _exit(128 + signalNumber);
}

} // namespace

void installInterruptCleanup() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = removeRecordedFilesAndExit;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool recordFileToCreate(const char* path) {
    const int count = recordedCount;
    struct stat status;
    if (count >= CLEANUP_PATH_COUNT || std::strlen(path) >= CLEANUP_PATH_SIZE ||
        lstat(path, &status) == 0) {
        return false;
    }
    std::strcpy(recordedPaths[count], path);
    recordedCount = count + 1;
    return true;
}

void removeRecordedFiles() {
    removeRecordedPaths();
    recordedCount = 0;
}

void forgetRecordedFiles() {
    recordedCount = 0;
}
