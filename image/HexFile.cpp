#include "image/HexFile.h"

#include "device/TextNumbers.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>

namespace {

// The characters [pos, pos+len) of the line; characters past its end read as empty.
std::string_view Field(const std::string& line, size_t pos, size_t len) {
    if (pos >= line.size()) {
        return {};
    }
    return std::string_view(line).substr(pos, len);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t\r\f\v") == std::string::npos;
}

} // namespace

// ---------------------------------------------------------------- import

bool CHexFile::IsSoundRecord(const std::string& line) {
    std::string_view body(line);
    body.remove_prefix(1);
    while (!body.empty() && (body.back() == ' ' || body.back() == '\t' || body.back() == '\r')) {
        body.remove_suffix(1);
    }
    if (body.size() < 10 || body.size() % 2 != 0) {
        return false;
    }
    for (char c : body) {
        if (!IsHexDigit(c)) {
            return false;
        }
    }
    const uint32_t count = ParseHexNumber(body.substr(0, 2));
    if (body.size() != 2 * (count + 5)) {
        return false;
    }
    uint32_t sum = 0;
    for (size_t i = 0; i < body.size(); i += 2) {
        sum += ParseHexNumber(body.substr(i, 2));
    }
    return (sum & 0xFF) == 0;
}

bool CanOpenHexFile(const std::string& path) {
    return CanOpenForReading(path);
}

bool CHexFile::LoadHex(const std::string& path) {
    ClearImage();
    // Only a plain file, and only up to the limit: a device such as
    // /dev/zero would otherwise be read until the memory ran out.
    std::string text;
    LastReadResult = ReadFileLimited(path, kMaxHexFileBytes, text);
    if (LastReadResult != EReadResult::Read) {
        return false;
    }
    ReadRecordsText(text);
    FilePath = path;
    FileStatus = GetFileStatus(path);
    return true;
}

void CHexFile::ReadRecords(std::istream& in) {
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ReadRecordsText(text);
}

void CHexFile::ReadRecordsText(std::string_view text) {
    SegmentBase = 0;
    BadRecordCount = 0;
    std::string line;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        line.assign(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == ':') {
            if (!IsSoundRecord(line)) {
                ++BadRecordCount;
            }
        } else if (!IsBlank(line)) {
            ++BadRecordCount;
        }
        ParseHexLine(line);
    }
    ApplyConfigMasks();
    UpdateChecksum();
}

void CHexFile::ParseHexLine(const std::string& line) {
    if (line.empty() || line.front() != ':') {
        return;
    }
    const uint32_t count = ParseHexNumber(Field(line, 1, 2));
    const uint32_t address = ParseHexNumber(Field(line, 3, 4));
    const uint32_t type = ParseHexNumber(Field(line, 7, 2));
    switch (type) {
    case 0:
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t value = ParseHexNumber(Field(line, 9 + 2 * i, 2));
            const uint32_t a = SegmentBase + address + i;
            if (CoreWidth == kCorePic18) {
                if (a < ProgramSize && a < ProgramData.size()) {
                    ProgramData[a] = static_cast<uint8_t>(value);
                }
                if (a >= 0xF00000 && a - 0xF00000 < EepromSize && a - 0xF00000 < EepromData.size()) {
                    EepromData[a - 0xF00000] = static_cast<uint8_t>(value);
                }
                if (a >= 0x200000 && a <= 0x200007) {
                    UserId[a - 0x200000] = value;
                }
                if (a >= 0x300000 && a <= 0x30000D) {
                    Config[a - 0x300000] = value;
                }
            } else if (CoreWidth == kCoreMidRange) {
                if (a < 2ULL * ProgramSize && a < ProgramData.size()) {
                    ProgramData[a] = static_cast<uint8_t>(value);
                }
                if (a % 2 == 0 && a >= 0x4200 && (a - 0x4200) / 2 < EepromSize &&
                    (a - 0x4200) / 2 < EepromData.size()) {
                    EepromData[(a - 0x4200) / 2] = static_cast<uint8_t>(value);
                }
                if (a >= 0x4000 && a <= 0x4007) {
                    const uint32_t k = (a - 0x4000) / 2;
                    UserId[k] = a % 2 == 0 ? value : (UserId[k] | (value << 8));
                }
                if (a >= 0x400E && a <= 0x4019) {
                    const uint32_t k = (a - 0x400E) / 2;
                    Config[k] = a % 2 == 0 ? value : (Config[k] | (value << 8));
                }
            }
        }
        break;
    case 2:
        SegmentBase = ParseHexNumber(Field(line, 9, 4)) * 16;
        break;
    case 4:
        SegmentBase = ParseHexNumber(Field(line, 9, 4)) * 65536;
        break;
    default:
        break;
    }
}

void CHexFile::ApplyConfigMasks() {
    for (int w = 0; w < kConfigWords; ++w) {
        Config[w] = (Config[w] & ~ConfigZeroMask[w]) | ConfigOneMask[w];
    }
}

bool CHexFile::CheckHexChanged(IMessageBox& prompt) {
    if (FilePath.empty()) {
        return false;
    }
    if (GetFileStatus(FilePath) == FileStatus) {
        return false;
    }
    if (prompt.Show(kMsgHexChanged, EMsgIcon::Exclamation, EMsgButtons::YesNo) != EMsgResult::Yes) {
        return false;
    }
    const std::string path = FilePath;
    LoadHex(path);
    return true;
}

// ---------------------------------------------------------------- export

std::string FormatHexRecord(uint8_t count, uint32_t address, uint8_t type, const uint8_t* data) {
    char text[16];
    const unsigned low16 = address & 0xFFFF;
    std::snprintf(text, sizeof text, ":%02X%04X%02X", count, low16, type);
    std::string line = text;
    unsigned sum = count + (low16 >> 8) + (low16 & 0xFF) + type;
    for (unsigned i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "%02X", data[i]);
        line += text;
        sum += data[i];
    }
    std::snprintf(text, sizeof text, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    line += text;
    line += "\r\n";
    return line;
}

namespace {

// Collects data records, putting an extended linear address record before
// any record whose upper 16 address bits differ from the current ones.
class CRecordWriter {
public:
    explicit CRecordWriter(std::string& out) : m_out(out) {}
    void Data(uint32_t address, const uint8_t* data, size_t count) {
        const uint32_t upper = address >> 16;
        if (upper != m_upper) {
            const uint8_t ext[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
            m_out += FormatHexRecord(2, 0, 4, ext);
            m_upper = upper;
        }
        m_out += FormatHexRecord(static_cast<uint8_t>(count), address, 0, data);
    }

private:
    std::string& m_out;
    uint32_t m_upper = 0;
};

} // namespace

std::string CHexFile::FormatImage() const {
    std::string out = ":020000040000FA\r\n";
    CRecordWriter records(out);

    // Program memory in blocks of 16 bytes; an all-blank block is left out.
    const size_t programBytes = std::min<size_t>(ProgramBytes, ProgramData.size());
    const bool pic18 = CoreWidth == kCorePic18;
    const unsigned blank = pic18 ? 0xFFFF : 0x3FFF;
    for (size_t o = 0; o < programBytes; o += 16) {
        const size_t n = std::min<size_t>(16, programBytes - o);
        bool used = false;
        for (size_t k = 0; k < n; k += 2) {
            const unsigned lo = ProgramData[o + k];
            if (k + 1 < n) {
                used |= (lo | (ProgramData[o + k + 1] << 8)) != blank;
            } else {
                used |= lo != (blank & 0xFF);
            }
        }
        if (used) {
            records.Data(static_cast<uint32_t>(o), &ProgramData[o], n);
        }
    }

    // Data EEPROM in groups of eight bytes; an all-0xFF group is left out.
    const size_t eeprom = std::min<size_t>(EepromSize, EepromData.size());
    for (size_t i = 0; i < eeprom && (pic18 || CoreWidth == kCoreMidRange); i += 8) {
        const size_t n = std::min<size_t>(8, eeprom - i);
        bool used = false;
        for (size_t k = 0; k < n; ++k) {
            used |= EepromData[i + k] != 0xFF;
        }
        if (!used) {
            continue;
        }
        if (pic18) {
            records.Data(static_cast<uint32_t>(0xF00000 + i), &EepromData[i], n);
        } else {
            // 14-bit: byte k at 0x4200 + 2k, each followed by a zero high byte.
            uint8_t words[16] = {};
            for (size_t k = 0; k < n; ++k) {
                words[2 * k] = EepromData[i + k];
            }
            records.Data(static_cast<uint32_t>(0x4200 + 2 * i), words, 2 * n);
        }
    }

    if (pic18) {
        uint8_t ids[8];
        for (int i = 0; i < 8; ++i) {
            ids[i] = static_cast<uint8_t>(UserId[i]);
        }
        records.Data(0x200000, ids, 8);
        uint8_t config[14];
        for (int i = 0; i < 14; ++i) {
            config[i] = static_cast<uint8_t>(Config[i]);
        }
        records.Data(0x300000, config, 14);
    } else if (CoreWidth == kCoreMidRange) {
        uint8_t block[16] = {};
        for (int i = 0; i < 4; ++i) {
            block[2 * i] = static_cast<uint8_t>(UserId[i] & 0x0F);
        }
        block[14] = static_cast<uint8_t>(Config[0]);
        block[15] = static_cast<uint8_t>((Config[0] >> 8) & 0x3F);
        records.Data(0x4000, block, 16);
        if (ConfigCount >= 2 && ConfigCount <= 7) {
            uint8_t more[16] = {};
            for (int k = 1; k < ConfigCount; ++k) {
                const int at = 0x400E + 2 * k - 0x4010;
                more[at] = static_cast<uint8_t>(Config[k]);
                more[at + 1] = static_cast<uint8_t>((Config[k] >> 8) & 0x3F);
            }
            records.Data(0x4010, more, 16);
        }
    }
    out += ":00000001FF\r\n";
    return out;
}

bool CHexFile::SaveHex(const std::string& path) const {
    return ReplaceFileSafely(path, FormatImage()) == EReplaceResult::Replaced;
}
