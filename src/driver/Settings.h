// Settings: the four run settings, the thread count, and the reader of the positional
// settings file "configuration.txt" (comment lines start with '/', empty lines are skipped).
#pragma once

#include <cstdio>

inline constexpr int SETTING_LINE_BUFFER_SIZE = 4096;

struct Settings {
    bool keepLargestComponent = true;   // line 1: final pass keeps the largest connected part
    int unwantedPointPercent = 20;      // line 2: distance ratio (percent) for unwanted points
    int configuredMaxLayers = 999;      // line 3: layer limit of the construction loop
    bool removeInconsistentFans = true; // line 4: final pass removes fans facing backwards
    // Not in the file: threads for the per-point work (--threads); 0 means one per core.
    // Every count gives the same output.
    int threads = 0;
};

// Returns the defaults, overridden by the setting lines of the file when it can be opened.
// A missing file or one with fewer than four setting lines is not an error: settings
// without a line keep their defaults.
Settings readSettings(const char* fileName = "configuration.txt");

// Reads lines (pieces of at most SETTING_LINE_BUFFER_SIZE - 1 characters) until one is
// neither a comment nor empty and leaves it, line end included, in the buffer. A CR LF
// line end is stored as a single LF. Returns false at the end of the file.
bool readSettingLine(std::FILE* file, char* buffer);

// True when the setting line is exactly "false" followed by its line end.
bool isFalseSettingLine(const char* line);

// Reads an integer as the "%d" conversion does (leading white space, optional sign,
// digits, rest ignored); values beyond the int range are clamped. Returns false, leaving
// the value untouched, when no number starts the line.
bool readIntegerSetting(const char* line, int& value);
