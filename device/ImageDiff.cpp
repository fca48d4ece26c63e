#include "device/ImageDiff.h"

#include "device/Calibration.h"
#include "device/ConfigLabels.h"
#include "device/ImageCompare.h"

#include <algorithm>

namespace {

void AddDifference(std::vector<CDiffRun>& runs, uint32_t at) {
    if (!runs.empty() && runs.back().Last + 1 == at) {
        runs.back().Last = at;
    } else {
        runs.push_back({at, at});
    }
}

} // namespace

bool CImageDiff::Equal() const {
    return !DifferentDevice && Program.empty() && Eeprom.empty() && UserId.empty() && ConfigBits.empty();
}

CImageDiff DiffImages(const CPicDevice& a, const CPicDevice& b, bool skipCalibration) {
    CImageDiff diff;
    if (!SameDeviceShape(a, b)) {
        diff.DifferentDevice = true;
        return diff;
    }
    const bool pic18 = a.CoreWidth == kCorePic18;
    const CCalibration calibration = CalibrationOf(a);
    const bool skipWord = skipCalibration && calibration.HasWord;

    const size_t bytes = std::max(a.ProgramData.size(), b.ProgramData.size());
    const uint32_t units = static_cast<uint32_t>(pic18 ? bytes : bytes / 2);
    for (uint32_t i = 0; i < units; ++i) {
        if (skipWord && i == static_cast<uint32_t>(a.CalAddress)) {
            continue;
        }
        if (a.ProgramWord(i) != b.ProgramWord(i)) {
            AddDifference(diff.Program, i);
            ++diff.ProgramCount;
        }
    }

    const size_t eeprom = std::max(a.EepromData.size(), b.EepromData.size());
    for (size_t i = 0; i < eeprom; ++i) {
        const uint8_t x = i < a.EepromData.size() ? a.EepromData[i] : 0xFF;
        const uint8_t y = i < b.EepromData.size() ? b.EepromData[i] : 0xFF;
        if (x != y) {
            AddDifference(diff.Eeprom, static_cast<uint32_t>(i));
            ++diff.EepromCount;
        }
    }

    const uint32_t idMask = UserIdMask(a.CoreWidth);
    for (int i = 0; i < UserIdCount(a.CoreWidth); ++i) {
        if ((a.UserId[i] & idMask) != (b.UserId[i] & idMask)) {
            AddDifference(diff.UserId, static_cast<uint32_t>(i));
        }
    }

    for (int w = 0; w < a.ConfigWordCount(); ++w) {
        for (const CConfigBitLabel& label : ConfigBitLabels(a, w)) {
            if (skipCalibration && label.Calibration) {
                continue;
            }
            const uint32_t x = a.Config[w] >> label.Bit & 1;
            const uint32_t y = b.Config[w] >> label.Bit & 1;
            if (x != y) {
                diff.ConfigBits.push_back({w, label.Bit, label.Name, x, y});
            }
        }
    }
    return diff;
}
