// Saving a simulated PIC18 chip to a text file and loading it again, so that
// separate runs can program and then verify the same chip.
//
//   KVX3 simulated chip 1
//   model PIC18F452
//   # comments run to the end of a line
//   deviceid 0423
//   program 000100 0011223344...      (up to 32 bytes a line; blank rows left out)
//   id 000000 ...
//   config 000000 ...
//   eeprom 000000 ...
//   end
//
// The first two lines are those of every simulated chip's file, so a loader
// can pick the model before it hands the file to the chip.
#include "sim/pic18/Pic18Chip.h"

#include "sim/SimChipFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace {

constexpr size_t kBytesPerLine = 32;

bool ParseHex(const std::string& text, size_t maxDigits, uint32_t& value) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseBytes(const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * kBytesPerLine) {
        return false;
    }
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        uint32_t value = 0;
        if (!ParseHex(text.substr(i, 2), 2, value)) {
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

void WriteRegion(std::ostream& out, const char* name, const uint8_t* data, size_t size, bool skipBlank) {
    for (size_t row = 0; row < size; row += kBytesPerLine) {
        const size_t n = std::min(kBytesPerLine, size - row);
        bool blank = true;
        for (size_t i = 0; i < n; ++i) {
            blank = blank && data[row + i] == 0xFF;
        }
        if (blank && skipBlank) {
            continue;
        }
        char head[32];
        std::snprintf(head, sizeof head, "%s %06zX ", name, row);
        out << head;
        for (size_t i = 0; i < n; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", data[row + i]);
            out << hex;
        }
        out << '\n';
    }
}

} // namespace

bool CPic18Chip::SaveToFile(const std::string& path) const {
    std::ostringstream out;
    char id[8];
    std::snprintf(id, sizeof id, "%04X", m_deviceIdWord);
    out << kSimChipFileHeader << '\n' << "model " << m_model.Name << '\n';
    out << "# family " << m_family->Name << " (" << m_family->Source << ")\n";
    out << "deviceid " << id << '\n';
    WriteRegion(out, "program", m_program.data(), m_program.size(), true);
    WriteRegion(out, "id", m_ids.data(), m_ids.size(), false);
    WriteRegion(out, "config", m_config.data(), m_config.size(), false);
    WriteRegion(out, "eeprom", m_eeprom.data(), m_eeprom.size(), true);
    out << "end\n";
    return WriteSimChipFile(path, out.str());
}

bool CPic18Chip::LoadFromFile(const std::string& path) {
    CSimChipFileText text;
    if (!ReadSimChipFile(path, text) || text.Model != m_model.Name) {
        return false;
    }

    // Everything lands in copies first, so a bad entry leaves the chip as it was.
    std::vector<uint8_t> program(m_program.size(), 0xFF);
    std::array<uint8_t, kPic18IdBytes> ids{};
    ids.fill(0xFF);
    std::array<uint8_t, kPic18ConfigBytes> config{};
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
        config[i] = m_model.ConfigBlank[i] & m_model.ConfigImplemented[i];
    }
    std::vector<uint8_t> eeprom(m_eeprom.size(), 0xFF);
    uint16_t deviceId = m_deviceIdWord;

    // The words after the model: "deviceid ID", "<region> OFFSET BYTES" and a
    // closing "end" with nothing after it.
    const std::vector<std::string>& w = text.Words;
    size_t pos = 0;
    std::vector<uint8_t> bytes;
    while (pos < w.size()) {
        const std::string& key = w[pos++];
        if (key == "end") {
            if (pos != w.size()) {
                return false;
            }
            for (int i = 0; i < kPic18ConfigBytes; ++i) {
                config[i] &= m_model.ConfigImplemented[i];
            }
            m_program = std::move(program);
            m_ids = ids;
            m_config = config;
            m_eeprom = std::move(eeprom);
            m_deviceIdWord = deviceId;
            return true;
        }
        uint32_t value = 0;
        if (key == "deviceid") {
            if (pos >= w.size() || !ParseHex(w[pos++], 4, value)) {
                return false;
            }
            deviceId = static_cast<uint16_t>(value);
            continue;
        }
        uint8_t* target = nullptr;
        size_t size = 0;
        if (key == "program") {
            target = program.data();
            size = program.size();
        } else if (key == "id") {
            target = ids.data();
            size = ids.size();
        } else if (key == "config") {
            target = config.data();
            size = config.size();
        } else if (key == "eeprom") {
            target = eeprom.data();
            size = eeprom.size();
        } else {
            return false;
        }
        if (pos + 2 > w.size() || !ParseHex(w[pos], 6, value) || !ParseBytes(w[pos + 1], bytes) ||
            value > size || bytes.size() > size - value) {
            return false;
        }
        pos += 2;
        std::copy(bytes.begin(), bytes.end(), target + value);
    }
    return false;
}
