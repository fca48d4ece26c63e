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

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* kMagic = "KVX3 simulated chip 1";
constexpr size_t kBytesPerLine = 32;
constexpr std::streamoff kMaxFileBytes = 16 * 1024 * 1024;

bool ParseHex(const std::string& text, size_t maxDigits, uint32_t& value) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    uint32_t v = 0;
    for (const char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return false;
        }
        v = (v << 4) | digit;
    }
    value = v;
    return true;
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

std::string StripLine(std::string line) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) {
        line.erase(hash);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return line.substr(start);
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    std::string token;
    while (in >> token) {
        tokens.push_back(token);
    }
    return tokens;
}

} // namespace

bool CPic18Chip::SaveToFile(const std::string& path) const {
    std::ostringstream out;
    char id[8];
    std::snprintf(id, sizeof id, "%04X", m_deviceIdWord);
    out << kMagic << '\n' << "model " << m_model.Name << '\n';
    out << "# family " << m_family->Name << " (" << m_family->Source << ")\n";
    out << "deviceid " << id << '\n';
    WriteRegion(out, "program", m_program.data(), m_program.size(), true);
    WriteRegion(out, "id", m_ids.data(), m_ids.size(), false);
    WriteRegion(out, "config", m_config.data(), m_config.size(), false);
    WriteRegion(out, "eeprom", m_eeprom.data(), m_eeprom.size(), true);
    out << "end\n";

    // Through a temporary file beside the target, so a failed write never
    // leaves half a chip behind.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            return false;
        }
        file << out.str();
        file.flush();
        if (!file) {
            file.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool CPic18Chip::LoadFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff fileBytes = in.tellg();
    if (fileBytes < 0 || fileBytes > kMaxFileBytes) {
        return false;
    }
    in.seekg(0, std::ios::beg);

    // Everything lands in copies first, so a bad line leaves the chip as it was.
    std::vector<uint8_t> program(m_program.size(), 0xFF);
    std::array<uint8_t, kPic18IdBytes> ids{};
    ids.fill(0xFF);
    std::array<uint8_t, kPic18ConfigBytes> config{};
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
        config[i] = m_model.ConfigBlank[i] & m_model.ConfigImplemented[i];
    }
    std::vector<uint8_t> eeprom(m_eeprom.size(), 0xFF);
    uint16_t deviceId = m_deviceIdWord;

    bool sawMagic = false;
    bool sawModel = false;
    bool sawEnd = false;
    std::string line;
    std::vector<uint8_t> bytes;
    while (std::getline(in, line)) {
        line = StripLine(line);
        const std::vector<std::string> tokens = Tokens(line);
        if (tokens.empty()) {
            continue;
        }
        if (sawEnd) {
            return false;
        }
        if (!sawMagic) {
            if (line != kMagic) {
                return false;
            }
            sawMagic = true;
            continue;
        }
        const std::string& key = tokens[0];
        if (key == "end" && tokens.size() == 1) {
            sawEnd = true;
            continue;
        }
        if (key == "model") {
            if (tokens.size() != 2 || tokens[1] != m_model.Name) {
                return false;
            }
            sawModel = true;
            continue;
        }
        if (!sawModel) {
            return false;
        }
        uint32_t value = 0;
        if (key == "deviceid") {
            if (tokens.size() != 2 || !ParseHex(tokens[1], 4, value)) {
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
        if (tokens.size() != 3 || !ParseHex(tokens[1], 6, value) || !ParseBytes(tokens[2], bytes) ||
            value > size || bytes.size() > size - value) {
            return false;
        }
        for (size_t i = 0; i < bytes.size(); ++i) {
            target[value + i] = bytes[i];
        }
    }
    if (!sawEnd) {
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
