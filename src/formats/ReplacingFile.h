// ReplacingFile: an output file written under a temporary name beside its target and renamed
// over the target only when it is complete, so a failed write never leaves a partial file in
// the target's place nor touches an existing target.
#pragma once

#include <cstdio>
#include <string>

// The temporary name used while writing target: target + ".partial".
std::string temporaryPathFor(const std::string& target);

struct ReplacingFile {
    std::string target;
    std::string temporary;
    std::FILE* file = nullptr; // open while writing

    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { discard(); }

    // Creates (or truncates) the temporary file for target; a symbolic link in its place is
    // refused, not followed. Returns an empty string on success; otherwise
    // "target: cannot create temporary file "...": reason".
    std::string open(const std::string& targetPath);
    // Closes the temporary file and renames it over the target. writeError is the errno of a
    // failed write made through `file` (0 when every write succeeded). Flush, stream error,
    // close and rename failures are detected here too. Returns an empty string on success;
    // otherwise "target: cannot write: reason", after removing the temporary file (the target
    // is then as it was).
    std::string commit(int writeError);
    // The two steps of commit, for outputs that are put in place together: finish closes the
    // complete temporary file (same errors as commit, the temporary file then removed) and
    // keeps it; replace renames it over the target ("target: cannot write: reason" when the
    // rename fails, the temporary file then removed).
    std::string finish(int writeError);
    std::string replace();
    // Closes and removes the temporary file if it is still there.
    void discard();
};
