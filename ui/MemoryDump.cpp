#include "ui/MemoryDump.h"

#include "device/PicDevice.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kProgramLineBytes = 16;
constexpr size_t kEepromLineBytes = 8;
// "AAAAA : " + eight "XXXX " + "\r\n"
constexpr size_t kProgramLineLength = 8 + 8 * 5 + 2;
// "AAAAA : " + eight "XX " + "\r\n"
constexpr size_t kEepromLineLength = 8 + 8 * 3 + 2;

// Writes `digits` upper-case hex digits of `value`, zero-filled. An address
// wider than its field is written in full, as "%05X" does.
char* PutHex(char* out, uint32_t value, int digits) {
    int width = digits;
    while (width < 8 && (value >> (4 * width)) != 0) {
        ++width;
    }
    for (int shift = 4 * (width - 1); shift >= 0; shift -= 4) {
        *out++ = kHexDigits[(value >> shift) & 0xF];
    }
    return out;
}

char* PutAddress(char* out, uint32_t address) {
    out = PutHex(out, address, 5);
    *out++ = ' ';
    *out++ = ':';
    *out++ = ' ';
    return out;
}

char* PutLineEnd(char* out) {
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

} // namespace

std::string FormatProgramDump(const CPicDevice& device) {
    const int32_t core = device.CoreWidth;
    if (core != kCorePic18 && core != kCoreMidRange) {
        return {};
    }
    const size_t size = std::min<size_t>(device.ProgramBytes, device.ProgramData.size());
    const uint8_t* data = device.ProgramData.data();
    const size_t lines = (size + kProgramLineBytes - 1) / kProgramLineBytes;
    // Addresses wider than five digits (beyond 1 MiB) take one more.
    std::string text(lines * (kProgramLineLength + 3), '\0');
    char* const begin = text.data();
    char* out = begin;
    for (size_t b = 0; b < size; b += kProgramLineBytes) {
        const uint32_t address = static_cast<uint32_t>(core == kCorePic18 ? b : b / 2);
        out = PutAddress(out, address);
        const size_t end = std::min(b + kProgramLineBytes, size);
        size_t i = b;
        for (; i + 1 < end; i += 2) {
            const uint8_t low = data[i];
            const uint8_t high = data[i + 1];
            out[0] = kHexDigits[high >> 4];
            out[1] = kHexDigits[high & 0xF];
            out[2] = kHexDigits[low >> 4];
            out[3] = kHexDigits[low & 0xF];
            out[4] = ' ';
            out += 5;
        }
        if (i < end) {
            out[0] = kHexDigits[data[i] >> 4];
            out[1] = kHexDigits[data[i] & 0xF];
            out[2] = ' ';
            out += 3;
        }
        out = PutLineEnd(out);
    }
    text.resize(static_cast<size_t>(out - begin));
    return text;
}

std::string FormatEepromDump(const CPicDevice& device) {
    const size_t size = std::min<size_t>(device.EepromSize, device.EepromData.size());
    const uint8_t* data = device.EepromData.data();
    const size_t lines = (size + kEepromLineBytes - 1) / kEepromLineBytes;
    std::string text(lines * (kEepromLineLength + 3), '\0');
    char* const begin = text.data();
    char* out = begin;
    for (size_t o = 0; o < size; o += kEepromLineBytes) {
        out = PutAddress(out, static_cast<uint32_t>(o));
        const size_t end = std::min(o + kEepromLineBytes, size);
        for (size_t i = o; i < end; ++i) {
            out[0] = kHexDigits[data[i] >> 4];
            out[1] = kHexDigits[data[i] & 0xF];
            out[2] = ' ';
            out += 3;
        }
        out = PutLineEnd(out);
    }
    text.resize(static_cast<size_t>(out - begin));
    return text;
}
