// RunPaths: the checks made on the paths of a path-mode run before any work starts: no file
// the run writes may be a file it reads or another file it writes, and every output must be
// creatable where it is named.
#pragma once

#include <string>
#include <vector>

// One file a run touches, with the role it has for the message ("INPUT", "--report", ...).
struct RunFile {
    std::string role;
    std::string path;
    bool written = false; // false: only read
};

// True when a and b name the same file: by device and inode when both exist, otherwise by
// their absolute paths with symbolic links of the existing part resolved and "." and ".."
// removed. Never throws; a path that cannot be examined counts as different.
bool isSameFile(const std::string& a, const std::string& b);

// Looks for two entries of files that are the same file where at least one of them is
// written. Returns an empty string when there is none; otherwise a message naming both,
// e.g. "--report \"r.ply\" is the same file as --output \"r.ply\"".
std::string findSameFiles(const std::vector<RunFile>& files);

// Checks, without creating anything, that a file can be created or replaced at path: its
// folder exists, is a folder and is writable, and path itself is not a folder. Returns an
// empty string when it can; otherwise "path: reason".
std::string checkCreatableFile(const std::string& path);
