// The list of recently opened hex files: File1 (the newest) to File4 in the
// key "Recent File List" of the application. The list is not kept in memory;
// every change goes to the store at once.
#pragma once

#include "settings/Profile.h"

#include <array>
#include <string>

constexpr const char* kRecentFileSection = "Recent File List";
constexpr int kRecentFileCount = 4;

// "File1" to "File4".
std::string RecentFileEntryName(int number);

// Entry `number` (1 to 4); "" when it is missing or the number is out of range.
std::string GetRecentFile(const CProfile& profile, int number);

// File1 to File4 in order, "" for a missing entry.
std::array<std::string, kRecentFileCount> ReadRecentFiles(const CProfile& profile);

// Makes `path` the newest entry. A path already in the list moves to the top
// and the others keep their order; a new path pushes the fourth entry out.
// Paths compare exactly, letter case included. An empty path changes nothing
// (it would leave a hole at the top of the list).
void AddRecentFile(CProfile& profile, const std::string& path);

// Removes every entry equal to `path` and numbers the rest from File1 again;
// the key is rewritten from scratch, so no stale entry is left behind it.
void RemoveRecentFile(CProfile& profile, const std::string& path);
