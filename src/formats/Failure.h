// Failure: why a file or a run was refused, as a value the core returns to its caller
// (which decides how to show it) instead of printing or exiting itself.
#pragma once

#include <string>

struct Failure {
    std::string file;   // the file concerned; empty when no file is
    long line = 0;      // 1-based line number in that file; 0 when no line applies
    std::string reason; // what is wrong, in words a user can act on

    // True when a failure was recorded.
    bool failed() const { return !reason.empty(); }

    // One line without line end, e.g. "rawPoints.txt, line 12: the second value 'x' is not
    // a decimal number"; the file and line parts are left out when they do not apply.
    std::string describe() const {
        std::string text = file;
        if (line > 0) {
            text += (text.empty() ? "line " : ", line ") + std::to_string(line);
        }
        return text.empty() ? reason : text + ": " + reason;
    }
};
