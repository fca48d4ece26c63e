#include "ops/CalibrationVault.h"

#include "device/TextNumbers.h"
#include "platform/Platform.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

namespace {

// A log of a few dozen bytes a line; far beyond what any bench writes in years.
constexpr size_t kMaxVaultBytes = 16 * 1024 * 1024;

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

// One to four hex digits, nothing else.
bool ParseHexField(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 4) {
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    value = ParseHexNumber(text);
    return true;
}

// The entries of the vault's text; blank lines are no entries, other lines
// that do not read are damaged.
CVaultContents ParseVaultText(const std::string& bytes) {
    CVaultContents vault;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        CVaultEntry entry;
        if (ParseVaultLine(line, entry)) {
            vault.Entries.push_back(entry);
        } else {
            ++vault.DamagedLines;
        }
    }
    return vault;
}

std::string Hex4(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

} // namespace

bool CVaultEntry::SameValue(const CVaultEntry& other) const {
    return Device == other.Device && HasWord == other.HasWord && HasBits == other.HasBits &&
           (!HasWord || Word == other.Word) && (!HasBits || Bits == other.Bits);
}

std::string VaultPath(const std::string& safetyFolder) {
    return safetyFolder + "/calibration.log";
}

std::string FormatVaultLine(const CVaultEntry& e) {
    // A catalogue name never holds a TAB or a line end; if one did, the line
    // would still read back as one entry.
    std::string device = e.Device;
    for (char& c : device) {
        c = (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    }
    std::string line = StampText(e.Time) + '\t' + device;
    if (e.HasWord) {
        line += "\tword=" + Hex4(e.Word);
    }
    if (e.HasBits) {
        line += "\tbits=" + Hex4(e.Bits);
    }
    return line;
}

bool ParseVaultLine(const std::string& raw, CVaultEntry& entry) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() < 3 || fields[1].empty()) {
        return false;
    }
    CVaultEntry e;
    if (!ParseStampText(fields[0], e.Time)) {
        return false;
    }
    e.Device = fields[1];
    for (size_t i = 2; i < fields.size(); ++i) {
        const std::string& f = fields[i];
        if (f.rfind("word=", 0) == 0 && !e.HasWord) {
            e.HasWord = ParseHexField(f.substr(5), e.Word);
            if (!e.HasWord) {
                return false;
            }
        } else if (f.rfind("bits=", 0) == 0 && !e.HasBits) {
            e.HasBits = ParseHexField(f.substr(5), e.Bits);
            if (!e.HasBits) {
                return false;
            }
        } else {
            return false;
        }
    }
    if (!e.HasWord && !e.HasBits) {
        return false;
    }
    entry = e;
    return true;
}

CVaultContents ReadVault(const std::string& path) {
    CVaultContents vault;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(path), error)) {
        return vault;
    }
    std::string bytes;
    if (!ReadSmallFile(path, kMaxVaultBytes, bytes)) {
        vault.Readable = false;
        return vault;
    }
    return ParseVaultText(bytes);
}

EVaultAppend AppendToVault(const std::string& path, const CVaultEntry& entry) {
    std::string bytes;
    std::error_code error;
    const std::filesystem::path file(path);
    if (std::filesystem::exists(file, error)) {
        if (!ReadSmallFile(path, kMaxVaultBytes, bytes)) {
            return EVaultAppend::Failed;
        }
    } else if (!MakeFolders(file.parent_path().string())) {
        return EVaultAppend::Failed;
    }
    const std::vector<CVaultEntry> last = RecentEntries(ParseVaultText(bytes), entry.Device, 1);
    if (!last.empty() && last.front().SameValue(entry)) {
        return EVaultAppend::Repeated;
    }
    if (!bytes.empty() && bytes.back() != '\n') {
        bytes += '\n';
    }
    bytes += FormatVaultLine(entry) + '\n';
    return ReplaceFileSafely(path, bytes) == EReplaceResult::Replaced ? EVaultAppend::Appended
                                                                      : EVaultAppend::Failed;
}

std::vector<CVaultEntry> RecentEntries(const CVaultContents& vault, const std::string& device, size_t count) {
    std::vector<CVaultEntry> recent;
    for (auto it = vault.Entries.rbegin(); it != vault.Entries.rend() && recent.size() < count; ++it) {
        if (it->Device == device) {
            recent.push_back(*it);
        }
    }
    return recent;
}
