// InterruptCleanup: removes the files and folders a run created when SIGINT or SIGTERM stops
// it, then ends the process with status 130 or 143. The handler only reads a fixed table of
// paths, calls unlink, rmdir and _exit, all of which are safe in a signal handler.
#pragma once

#include <cstddef>

// Longest path the table holds, terminating zero included; longer paths are not recorded.
inline constexpr std::size_t CLEANUP_PATH_SIZE = 4096;
// Number of paths the table holds; further paths are not recorded.
inline constexpr int CLEANUP_PATH_COUNT = 16;

// Installs the handler for SIGINT and SIGTERM. Call once, before the first file is created.
void installInterruptCleanup();

// Records a file or folder that this run is about to create, so that an interruption
// removes it: the paths recorded last go first, and a folder only when it is empty (record a
// folder before the files in it). Returns false, recording nothing, when something of that
// name already exists (what the run did not create is never removed) or the path or the
// table is too long.
bool recordFileToCreate(const char* path);

// Removes what the recorded paths name now, as an interruption would, and forgets them (used
// when a run fails).
void removeRecordedFiles();

// Forgets every recorded path (used when the run ends normally or a result is final).
void forgetRecordedFiles();
