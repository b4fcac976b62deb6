// Settings file reader: four positional setting lines, comments and empty lines skipped.
#include "driver/Settings.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <sstream>

bool readSettingLine(LineReader& reader, std::string& line) {
    std::string_view text;
    while (reader.next(text)) {
        line.assign(text);
        if (holdsNulByte(text)) {
            return false;
        }
        if (line[0] != '/' && line[0] != '\n') {
            return true;
        }
    }
    line.clear();
    return false;
}

bool isFalseSettingLine(const std::string& line) {
    return line == "false\n";
}

bool readIntegerSetting(const char* line, int& value) {
    const char* p = line;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') {
        return false;
    }
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) {
            magnitude = limit;
        }
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

std::string settingsRangeError(const Settings& settings) {
    if (settings.unwantedPointPercent < 0 || settings.unwantedPointPercent > MAX_UNWANTED_PERCENT) {
        return "the unwanted-point percent " + std::to_string(settings.unwantedPointPercent) +
               " is outside 0 to " + std::to_string(MAX_UNWANTED_PERCENT);
    }
    if (settings.configuredMaxLayers < MIN_MAX_LAYERS) {
        return "the layer limit " + std::to_string(settings.configuredMaxLayers) + " is below " +
               std::to_string(MIN_MAX_LAYERS);
    }
    if (!std::isfinite(settings.rayHitDistance) || settings.rayHitDistance < 0.0) {
        std::ostringstream text;
        text << "the ray hit distance " << settings.rayHitDistance
             << " is not a finite number of 0 or more";
        return text.str();
    }
    if (!std::isfinite(settings.rayReach) || settings.rayReach < 0.0) {
        std::ostringstream text;
        text << "the ray reach " << settings.rayReach << " is not a finite number of 0 or more";
        return text.str();
    }
    if (!std::isfinite(settings.maxFanTilt) || settings.maxFanTilt < 0.0) {
        std::ostringstream text;
        text << "the largest fan tilt " << settings.maxFanTilt
             << " is not a finite number of 0 or more";
        return text.str();
    }
    if (!(settings.openRiseLimit >= 0.0 && settings.openRiseLimit <= MAX_OPEN_RISE_LIMIT)) {
        std::ostringstream text;
        text << "the open-rise limit " << settings.openRiseLimit
             << " is not a number of degrees from 0 to 90";
        return text.str();
    }
    return "";
}

Settings readSettings(const char* fileName, Failure* failure) {
    std::FILE* file = std::fopen(fileName, "r");
    if (file == nullptr) {
        return Settings();
    }
    const Settings settings = readSettingsFrom(file, fileName, failure);
    std::fclose(file);
    return settings;
}

Settings readSettingsFrom(std::FILE* file, const char* fileName, Failure* failure) {
    Settings settings;
    LineReader reader(file);
    std::string line;
    if (readSettingLine(reader, line)) {
        if (isFalseSettingLine(line)) {
            settings.keepLargestComponent = false;
        }
        if (readSettingLine(reader, line)) {
            readIntegerSetting(line.c_str(), settings.unwantedPointPercent);
            if (readSettingLine(reader, line)) {
                readIntegerSetting(line.c_str(), settings.configuredMaxLayers);
                if (readSettingLine(reader, line) && isFalseSettingLine(line)) {
                    settings.removeInconsistentFans = false;
                }
            }
        }
    }
    if (holdsNulByte(line) && failure != nullptr) {
        *failure = {fileName, reader.lineNumber, "the line holds a NUL byte"};
    }
    return settings;
}
