#include "settings/RecentFiles.h"

#include "settings/KeyTreeOps.h"

std::string RecentFileEntryName(int number) {
    return "File" + std::to_string(number);
}

std::string GetRecentFile(const CProfile& profile, int number) {
    if (number < 1 || number > kRecentFileCount) {
        return {};
    }
    return profile.GetProfileString(kRecentFileSection, RecentFileEntryName(number), "");
}

std::array<std::string, kRecentFileCount> ReadRecentFiles(const CProfile& profile) {
    std::array<std::string, kRecentFileCount> entries;
    for (int i = 0; i < kRecentFileCount; ++i) {
        entries[static_cast<size_t>(i)] = GetRecentFile(profile, i + 1);
    }
    return entries;
}

void AddRecentFile(CProfile& profile, const std::string& path) {
    if (path.empty()) {
        return;
    }
    const std::array<std::string, kRecentFileCount> old = ReadRecentFiles(profile);
    profile.WriteProfileString(kRecentFileSection, RecentFileEntryName(1), path);
    int next = 2;
    for (const std::string& entry : old) {
        if (next > kRecentFileCount) {
            break;
        }
        if (entry.empty() || entry == path) {
            continue;
        }
        profile.WriteProfileString(kRecentFileSection, RecentFileEntryName(next), entry);
        ++next;
    }
}

void RemoveRecentFile(CProfile& profile, const std::string& path) {
    std::array<std::string, kRecentFileCount> entries = ReadRecentFiles(profile);
    for (std::string& entry : entries) {
        if (entry == path) {
            entry.clear();
        }
    }
    DeleteRegKeyTree(profile.Store(), "", profile.SectionPath(kRecentFileSection));
    int next = 1;
    for (const std::string& entry : entries) {
        if (!entry.empty()) {
            profile.WriteProfileString(kRecentFileSection, RecentFileEntryName(next), entry);
            ++next;
        }
    }
}
