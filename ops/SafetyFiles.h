// What the snapshots and the calibration vault share: the folder they live
// in, the time stamps they carry, and the reading of a small text file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// kvx3 in the user's data folder (UserDataFolder: $XDG_DATA_HOME or
// <home>/.local/share, %LOCALAPPDATA% on Windows); empty when none is known.
std::string DefaultSafetyFolder();

// A local date and time, to the second.
struct CStamp {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    auto operator<=>(const CStamp&) const = default;
};

// The system clock in local time.
CStamp LocalStampNow();
// "2024-05-01 14:22:05"
std::string StampText(const CStamp& stamp);
// "20240501-142205", for file names (they sort as the times do).
std::string StampCompact(const CStamp& stamp);
// The inverse of StampText and StampCompact: false, with `stamp` untouched,
// unless the text is exactly such a stamp of a valid-looking date and time.
bool ParseStampText(std::string_view text, CStamp& stamp);
bool ParseStampCompact(std::string_view text, CStamp& stamp);

// Reads the whole file into `bytes` through the bounded reader. False when
// it cannot be opened, is no regular file, or is larger than `limit` bytes.
bool ReadSmallFile(const std::string& path, size_t limit, std::string& bytes);
