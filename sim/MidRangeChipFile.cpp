// Saving a simulated mid-range chip to its text file and loading it again.
#include "sim/MidRangeChip.h"
#include "sim/SimChipFile.h"

#include <cstdio>
#include <sstream>

namespace {

struct RegionName {
    EMidRegion Region;
    const char* Name;
};
constexpr RegionName kRegions[] = {
    {EMidRegion::Program, "program"},         {EMidRegion::Eeprom, "eeprom"},
    {EMidRegion::UserId, "userid"},           {EMidRegion::Config, "config"},
    {EMidRegion::Calibration, "calibration"},
};

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

} // namespace

bool CMidRangeChip::SaveToFile(const std::string& path) const {
    std::ostringstream out;
    out << kSimChipFileHeader << "\n";
    out << "model " << m_device.Name << "\n";
    out << "# family " << m_family.Id << " (" << m_family.Document << "), code-protected "
        << (CodeProtected() ? "yes" : "no") << ", data-protected " << (DataProtected() ? "yes" : "no")
        << "\n";
    out << "deviceid " << Hex(m_deviceId, 4) << "\n";
    for (const RegionName& r : kRegions) {
        const Cells* cells = RegionCells(r.Region);
        const int digits = r.Region == EMidRegion::Eeprom ? 2 : 4;
        out << r.Name << " " << cells->Value.size() << "\n";
        for (size_t i = 0; i < cells->Value.size(); ++i) {
            out << Hex(cells->Value[i], digits)
                << ((i % 16 == 15 || i + 1 == cells->Value.size()) ? "\n" : " ");
        }
    }
    out << "end\n";
    return WriteSimChipFile(path, out.str());
}

bool CMidRangeChip::LoadFromFile(const std::string& path) {
    CSimChipFileText text;
    if (!ReadSimChipFile(path, text) || text.Model != m_device.Name) {
        return false;
    }
    // Everything is read into copies first; the chip changes only when the
    // whole file is good.
    uint32_t deviceId = 0;
    bool haveDeviceId = false;
    std::vector<uint16_t> values[5];
    bool have[5] = {false, false, false, false, false};
    size_t pos = 0;
    const std::vector<std::string>& w = text.Words;
    bool ended = false;
    while (pos < w.size() && !ended) {
        const std::string key = w[pos++];
        if (key == "end") {
            ended = true;
            break;
        }
        if (key == "deviceid") {
            if (haveDeviceId || !TakeHex(w, pos, 0x3FFF, deviceId)) {
                return false;
            }
            haveDeviceId = true;
            continue;
        }
        size_t which = 0;
        while (which < 5 && key != kRegions[which].Name) {
            ++which;
        }
        if (which == 5 || have[which]) {
            return false;
        }
        const EMidRegion region = kRegions[which].Region;
        uint32_t count = 0;
        if (!TakeCount(w, pos, 0xFFFF, count) || count != RegionSize(region)) {
            return false;
        }
        const uint32_t maxValue = region == EMidRegion::Eeprom ? 0xFF : 0x3FFF;
        values[which].reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = 0;
            if (!TakeHex(w, pos, maxValue, v)) {
                return false;
            }
            values[which].push_back(static_cast<uint16_t>(v));
        }
        have[which] = true;
    }
    if (!ended || pos != w.size() || !haveDeviceId) {
        return false;
    }
    for (bool h : have) {
        if (!h) {
            return false;
        }
    }
    for (size_t r = 0; r < 5; ++r) {
        for (size_t i = 0; i < values[r].size(); ++i) {
            Poke(kRegions[r].Region, i, values[r][i]);
        }
    }
    m_deviceId = static_cast<uint16_t>(deviceId);
    return true;
}
