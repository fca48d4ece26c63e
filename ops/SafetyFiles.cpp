#include "ops/SafetyFiles.h"

#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Digits at [pos, pos + n) of the text as a number; false when any is not a digit.
bool Digits(std::string_view text, size_t pos, size_t n, int& value) {
    if (pos + n > text.size()) {
        return false;
    }
    int v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        v = v * 10 + (text[i] - '0');
    }
    value = v;
    return true;
}

bool Plausible(const CStamp& s) {
    return s.Month >= 1 && s.Month <= 12 && s.Day >= 1 && s.Day <= 31 && s.Hour <= 23 && s.Minute <= 59 &&
           s.Second <= 60;
}

// Reads the six fields (year first) from the given positions.
bool ParseFields(std::string_view text, const size_t (&at)[6], CStamp& stamp) {
    CStamp s;
    const size_t widths[6] = {4, 2, 2, 2, 2, 2};
    int* fields[6] = {&s.Year, &s.Month, &s.Day, &s.Hour, &s.Minute, &s.Second};
    for (size_t i = 0; i < 6; ++i) {
        if (!Digits(text, at[i], widths[i], *fields[i])) {
            return false;
        }
    }
    if (!Plausible(s)) {
        return false;
    }
    stamp = s;
    return true;
}

} // namespace

std::string DefaultSafetyFolder() {
    const std::string base = UserDataFolder();
    return base.empty() ? std::string() : PathInFolder(base, "kvx3");
}

CStamp LocalStampNow() {
    const std::time_t now = std::time(nullptr);
    // Only the owner's thread stamps files, so the shared buffer of
    // localtime is not raced.
    const std::tm* local = std::localtime(&now);
    CStamp s;
    if (local != nullptr) {
        s = {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
             local->tm_hour,        local->tm_min,     local->tm_sec};
    }
    return s;
}

std::string StampText(const CStamp& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", s.Year, s.Month, s.Day, s.Hour,
                  s.Minute, s.Second);
    return text;
}

std::string StampCompact(const CStamp& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", s.Year, s.Month, s.Day, s.Hour, s.Minute,
                  s.Second);
    return text;
}

bool ParseStampText(std::string_view text, CStamp& stamp) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':') {
        return false;
    }
    return ParseFields(text, {0, 5, 8, 11, 14, 17}, stamp);
}

bool ParseStampCompact(std::string_view text, CStamp& stamp) {
    if (text.size() != 15 || text[8] != '-') {
        return false;
    }
    return ParseFields(text, {0, 4, 6, 9, 11, 13}, stamp);
}

bool ReadSmallFile(const std::string& path, size_t limit, std::string& bytes) {
    return ReadFileLimited(path, limit, bytes) == EReadResult::Read;
}
