// Run path checks: sameness of files by identity or resolved path, and creatability of an
// output from its folder.
#include "driver/RunPaths.h"

#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

bool isSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool aExists = fs::exists(a, error);
    const bool bExists = fs::exists(b, error);
    if (aExists && bExists) {
        return fs::equivalent(a, b, error) && !error;
    }
    if (aExists != bExists) {
        return false;
    }
    const fs::path resolvedA = fs::weakly_canonical(fs::absolute(a, error), error);
    if (error) {
        return false;
    }
    const fs::path resolvedB = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && resolvedA == resolvedB;
}

std::string findSameFiles(const std::vector<RunFile>& files) {
    for (size_t i = 0; i < files.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if ((files[i].written || files[j].written) &&
                isSameFile(files[i].path, files[j].path)) {
                return files[i].role + " \"" + files[i].path + "\" is the same file as " +
                       files[j].role + " \"" + files[j].path + "\"";
            }
        }
    }
    return "";
}

std::string checkCreatableFile(const std::string& path) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        return path + ": is a folder, not a file";
    }
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!fs::exists(folder, error)) {
        return path + ": cannot create the file: the folder \"" + folder.string() +
               "\" does not exist";
    }
    if (!fs::is_directory(folder, error)) {
        return path + ": cannot create the file: \"" + folder.string() + "\" is not a folder";
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return path + ": cannot create the file: the folder \"" + folder.string() +
               "\" is not writable";
    }
    return "";
}
