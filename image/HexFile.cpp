#include "image/HexFile.h"

#include "device/TextNumbers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

namespace {

// A hex digit's value, or kNotADigit for any other character.
constexpr int16_t kNotADigit = 0x100;
constexpr std::array<int16_t, 256> kDigitValue = [] {
    std::array<int16_t, 256> table{};
    table.fill(kNotADigit);
    for (int c = 0; c < 10; ++c) {
        table['0' + c] = static_cast<int16_t>(c);
    }
    for (int c = 0; c < 6; ++c) {
        table['A' + c] = static_cast<int16_t>(10 + c);
        table['a' + c] = static_cast<int16_t>(10 + c);
    }
    return table;
}();

constexpr char kUpperDigits[] = "0123456789ABCDEF";

// The longest record a count byte allows: count, two address bytes, type,
// 255 data bytes and the checksum.
constexpr size_t kMaxRecordBytes = 5 + 255;

// The bytes of a line that is a colon and nothing but pairs of hex digits
// (the way nearly every line of a hex file is); false for any other line.
bool DecodeRecord(std::string_view line, uint8_t* bytes, size_t& count) {
    if (line.empty() || line.front() != ':' || line.size() % 2 != 1 ||
        (line.size() - 1) / 2 > kMaxRecordBytes) {
        return false;
    }
    count = (line.size() - 1) / 2;
    const auto* text = reinterpret_cast<const unsigned char*>(line.data()) + 1;
    for (size_t i = 0; i < count; ++i) {
        const int high = kDigitValue[text[2 * i]];
        const int low = kDigitValue[text[2 * i + 1]];
        if (((high | low) & kNotADigit) != 0) {
            return false;
        }
        bytes[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

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

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t\r\f\v") == std::string_view::npos;
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

// The text is cut into lines in place rather than copied line by line, and a
// line that is all hex digit pairs (the usual case) is decoded once into
// bytes; any other line takes ParseHexLine's way, with the same result.
void CHexFile::ReadRecordsText(std::string_view text) {
    SegmentBase = 0;
    BadRecordCount = 0;
    ReadReport = CHexReadReport{};
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ReadLine(line);
    }
    FinishReport();
    ApplyConfigMasks();
    UpdateChecksum();
}

void CHexFile::ReadLine(std::string_view line) {
    uint8_t bytes[kMaxRecordBytes];
    size_t n = 0;
    if (DecodeRecord(line, bytes, n)) {
        // Sound: the count byte matches the length and the bytes sum to 0.
        unsigned sum = 0;
        for (size_t i = 0; i < n; ++i) {
            sum += bytes[i];
        }
        if (n < 5 || n != bytes[0] + 5U || (sum & 0xFF) != 0) {
            ++BadRecordCount;
        }
        ApplyDecodedRecord(bytes, n);
        return;
    }
    const std::string text(line);
    if (!line.empty() && line.front() == ':') {
        if (!IsSoundRecord(text)) {
            ++BadRecordCount;
        }
    } else if (!IsBlank(line)) {
        ++BadRecordCount;
    }
    ParseHexLine(text);
}

// A field of one or two bytes reads as ParseHexNumber reads its digits: the
// digits that are there, so a field cut short by the line's end is the
// value of its first byte alone, and 0 when none of it is there.
void CHexFile::ApplyDecodedRecord(const uint8_t* bytes, size_t n) {
    auto byte = [&](size_t i) -> uint32_t { return i < n ? bytes[i] : 0; };
    auto word = [&](size_t i) -> uint32_t { return i + 1 < n ? (byte(i) << 8 | byte(i + 1)) : byte(i); };
    const uint32_t count = byte(0);
    const uint32_t address = word(1);
    const uint32_t type = byte(3);
    switch (type) {
    case 0: {
        // The bytes and the checksum the count promises; what is missing
        // reads as zeros.
        NoteDataRecord(count, n < count + 5);
        uint8_t data[255];
        for (uint32_t i = 0; i < count; ++i) {
            data[i] = static_cast<uint8_t>(byte(4 + i));
        }
        ApplyData(SegmentBase + address, data, count);
        break;
    }
    case 1:
        ReadReport.EndRecord = true;
        break;
    case 2:
        SegmentBase = word(4) * 16;
        break;
    case 4:
        SegmentBase = word(4) * 65536;
        break;
    default:
        break;
    }
}

void CHexFile::ParseHexLine(const std::string& line) {
    if (line.empty() || line.front() != ':') {
        return;
    }
    const uint32_t count = ParseHexNumber(Field(line, 1, 2));
    const uint32_t address = ParseHexNumber(Field(line, 3, 4));
    const uint32_t type = ParseHexNumber(Field(line, 7, 2));
    switch (type) {
    case 0: {
        NoteDataRecord(count, line.size() < 11 + 2 * static_cast<size_t>(count));
        uint8_t data[255];
        for (uint32_t i = 0; i < count && i < sizeof data; ++i) {
            data[i] = static_cast<uint8_t>(ParseHexNumber(Field(line, 9 + 2 * i, 2)));
        }
        ApplyData(SegmentBase + address, data, std::min<uint32_t>(count, sizeof data));
        break;
    }
    case 1:
        ReadReport.EndRecord = true;
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

void CHexFile::ApplyData(uint32_t start, const uint8_t* data, uint32_t count) {
    // A record that lies wholly in program memory (nearly all of them) is
    // copied at once; the address ranges of the other regions lie above it.
    const uint64_t programEnd =
        std::min<uint64_t>(CoreWidth == kCorePic18 ? ProgramSize : 2ULL * ProgramSize, ProgramData.size());
    const bool core = CoreWidth == kCorePic18 || CoreWidth == kCoreMidRange;
    if (core && static_cast<uint64_t>(start) + count <= programEnd) {
        std::copy(data, data + count, ProgramData.begin() + start);
        // Inside the device; only the calibration word is worth noting.
        const uint64_t cal = 2ULL * static_cast<uint32_t>(CalAddress);
        if (count > 0 && CoreWidth == kCoreMidRange && CalFlag != 0 && CalAddress > 0 && start < cal + 2 &&
            cal < static_cast<uint64_t>(start) + count) {
            ReadReport.CalibrationWordLoaded = true;
        }
        return;
    }
    {
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t value = data[i];
            const uint32_t a = start + i;
            if (!NoteDataByte(a, value)) {
                NoteOutsideByte(a);
            }
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
    }
}

void CHexFile::NoteDataRecord(uint32_t count, bool cutShort) {
    if (count > 0) {
        ++ReadReport.DataRecords;
        if (cutShort) {
            ++ReadReport.ShortRecords;
        }
    }
}

// The regions follow the stores above, with two differences that make the
// count say what reaches a chip: bytes the address map takes in but never
// writes as data of their own (the odd EEPROM bytes, the high bytes of the
// mid-range IDs, the reserved words 0x2004-0x2006 that our own export fills
// with zeros) are inside, and configuration words the device does not have
// are outside although the image keeps them, unless they are zero: the
// padding that our export (like other tools) writes after the last word of
// its configuration record.
bool CHexFile::NoteDataByte(uint32_t a, uint32_t value) {
    const int words = ConfigWordCount();
    if (CoreWidth == kCorePic18) {
        if (a < std::min<size_t>(ProgramSize, ProgramData.size())) {
            return true;
        }
        if (a >= 0xF00000 && a - 0xF00000 < std::min<size_t>(EepromSize, EepromData.size())) {
            return true;
        }
        if (a >= 0x200000 && a <= 0x200007) {
            ReadReport.UserIdLoaded = true;
            return true;
        }
        if (a >= 0x300000 && a <= 0x30000D) {
            if (a - 0x300000 >= static_cast<uint32_t>(words)) {
                return value == 0;
            }
            ReadReport.ConfigWordsLoaded |= 1U << (a - 0x300000);
            return true;
        }
        return false;
    }
    if (CoreWidth != kCoreMidRange) {
        return false;
    }
    if (a < std::min<size_t>(2ULL * ProgramSize, ProgramData.size())) {
        if (CalFlag != 0 && CalAddress > 0 && a / 2 == static_cast<uint32_t>(CalAddress)) {
            ReadReport.CalibrationWordLoaded = true;
        }
        return true;
    }
    if (a >= 0x4000 && a <= 0x4007) {
        ReadReport.UserIdLoaded = true;
        return true;
    }
    if (a >= 0x4008 && a <= 0x400D) {
        return true;
    }
    if (a >= 0x400E && a <= 0x401F) {
        const uint32_t k = (a - 0x400E) / 2;
        if (k >= static_cast<uint32_t>(std::min(words, 6))) {
            return value == 0;
        }
        ReadReport.ConfigWordsLoaded |= 1U << k;
        return true;
    }
    return a >= 0x4200 && (a - 0x4200) / 2 < std::min<size_t>(EepromSize, EepromData.size());
}

void CHexFile::NoteOutsideByte(uint32_t a) {
    CHexReadReport& r = ReadReport;
    ++r.OutsideBytes;
    if (!r.OutsideRuns.empty() && r.OutsideRuns.back().Last != UINT32_MAX &&
        r.OutsideRuns.back().Last + 1 == a) {
        r.OutsideRuns.back().Last = a;
    } else if (r.OutsideRuns.size() < CHexReadReport::kMaxOutsideRuns) {
        r.OutsideRuns.push_back({a, a});
    } else {
        r.OutsideRunsCut = true;
    }
}

void CHexFile::FinishReport() {
    std::vector<CHexAddressRun>& runs = ReadReport.OutsideRuns;
    std::sort(runs.begin(), runs.end(),
              [](const CHexAddressRun& x, const CHexAddressRun& y) { return x.First < y.First; });
    std::vector<CHexAddressRun> merged;
    for (const CHexAddressRun& run : runs) {
        if (!merged.empty() && (merged.back().Last == UINT32_MAX || run.First <= merged.back().Last + 1)) {
            merged.back().Last = std::max(merged.back().Last, run.Last);
        } else {
            merged.push_back(run);
        }
    }
    runs = std::move(merged);
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

namespace {

char* PutByte(char* out, unsigned b) {
    out[0] = kUpperDigits[(b >> 4) & 0xF];
    out[1] = kUpperDigits[b & 0xF];
    return out + 2;
}

// Appends one record to out, as FormatHexRecord gives it.
void AppendHexRecord(std::string& out, uint8_t count, uint32_t address, uint8_t type, const uint8_t* data) {
    char line[1 + 2 * kMaxRecordBytes + 2];
    char* p = line;
    *p++ = ':';
    const unsigned low16 = address & 0xFFFF;
    unsigned sum = count + (low16 >> 8) + (low16 & 0xFF) + type;
    p = PutByte(p, count);
    p = PutByte(p, low16 >> 8);
    p = PutByte(p, low16 & 0xFF);
    p = PutByte(p, type);
    for (unsigned i = 0; i < count; ++i) {
        p = PutByte(p, data[i]);
        sum += data[i];
    }
    p = PutByte(p, (0x100 - (sum & 0xFF)) & 0xFF);
    *p++ = '\r';
    *p++ = '\n';
    out.append(line, static_cast<size_t>(p - line));
}

} // namespace

std::string FormatHexRecord(uint8_t count, uint32_t address, uint8_t type, const uint8_t* data) {
    std::string line;
    AppendHexRecord(line, count, address, type, data);
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
            AppendHexRecord(m_out, 2, 0, 4, ext);
            m_upper = upper;
        }
        AppendHexRecord(m_out, static_cast<uint8_t>(count), address, 0, data);
    }

private:
    std::string& m_out;
    uint32_t m_upper = 0;
};

} // namespace

std::string CHexFile::FormatImage() const {
    const size_t programBytes = std::min<size_t>(ProgramBytes, ProgramData.size());
    const size_t eepromBytes = std::min<size_t>(EepromSize, EepromData.size());
    // Room for every record a full image gives: one line per 16 program
    // bytes and per 8 EEPROM bytes, the extended addresses and the rest.
    constexpr size_t kLine = 1 + 2 * (5 + 16) + 2;
    std::string out;
    out.reserve((programBytes / 16 + eepromBytes / 8 + 16) * kLine);
    out = ":020000040000FA\r\n";
    CRecordWriter records(out);

    // Program memory in blocks of 16 bytes; an all-blank block is left out.
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
