// Settings file reader: four positional setting lines, comments and empty lines skipped.
#include "driver/Settings.h"

#include <climits>
#include <cstring>

bool readSettingLine(std::FILE* file, char* buffer) {
    for (;;) {
        if (std::fgets(buffer, SETTING_LINE_BUFFER_SIZE, file) == nullptr) {
            buffer[0] = '\0';
            return false;
        }
        const std::size_t length = std::strlen(buffer);
        if (length >= 2 && buffer[length - 2] == '\r' && buffer[length - 1] == '\n') {
            buffer[length - 2] = '\n';
            buffer[length - 1] = '\0';
        }
        if (buffer[0] != '/' && buffer[0] != '\n') {
            return true;
        }
    }
}

bool isFalseSettingLine(const char* line) {
    return std::strcmp(line, "false\n") == 0;
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

Settings readSettings(const char* fileName) {
    Settings settings;
    std::FILE* file = std::fopen(fileName, "r");
    if (file == nullptr) {
        return settings;
    }
    char buffer[SETTING_LINE_BUFFER_SIZE];
    if (readSettingLine(file, buffer)) {
        if (isFalseSettingLine(buffer)) {
            settings.keepLargestComponent = false;
        }
        if (readSettingLine(file, buffer)) {
            readIntegerSetting(buffer, settings.unwantedPointPercent);
            if (readSettingLine(file, buffer)) {
                readIntegerSetting(buffer, settings.configuredMaxLayers);
                if (readSettingLine(file, buffer) && isFalseSettingLine(buffer)) {
                    settings.removeInconsistentFans = false;
                }
            }
        }
    }
    std::fclose(file);
    return settings;
}
