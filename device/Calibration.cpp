#include "device/Calibration.h"

namespace {

constexpr uint32_t kRetlwMask = 0x3F00;
constexpr uint32_t kRetlw = 0x3400;

bool HasWordPlace(const CPicDevice& device) {
    return device.CalFlag != 0 && device.CoreWidth == kCoreMidRange && device.CalAddress > 0 &&
           2ULL * static_cast<uint32_t>(device.CalAddress) + 1 < device.ProgramData.size();
}

int BitsWordOf(const CPicDevice& device) {
    for (int w = 0; w < device.ConfigWordCount(); ++w) {
        if (device.ConfigCalMask[w] != 0) {
            return w;
        }
    }
    return -1;
}

} // namespace

bool IsCalibrated(const CPicDevice& device) {
    return device.CalFlag != 0;
}

CCalibration CalibrationOf(const CPicDevice& image) {
    CCalibration c;
    if (!IsCalibrated(image)) {
        return c;
    }
    if (HasWordPlace(image)) {
        c.HasWord = true;
        c.Word = image.ProgramWord(static_cast<uint32_t>(image.CalAddress));
    }
    const int w = BitsWordOf(image);
    if (w >= 0) {
        c.HasBits = true;
        c.BitsWord = w;
        c.BitsMask = image.ConfigCalMask[w];
        c.Bits = image.Config[w] & c.BitsMask;
    }
    return c;
}

ECalibrationCheck CheckCalibration(const CPicDevice& device, std::optional<uint32_t> word,
                                   std::optional<uint32_t> bits) {
    if (!IsCalibrated(device)) {
        return ECalibrationCheck::NotCalibrated;
    }
    if (!word && !bits) {
        return ECalibrationCheck::NothingGiven;
    }
    const CCalibration places = CalibrationOf(device);
    if (word) {
        if (!places.HasWord) {
            return ECalibrationCheck::NoWord;
        }
        if (*word > 0x3FFF || (*word & kRetlwMask) != kRetlw) {
            return ECalibrationCheck::NotRetlw;
        }
    }
    if (bits) {
        if (!places.HasBits) {
            return ECalibrationCheck::NoBits;
        }
        if ((*bits & ~places.BitsMask) != 0) {
            return ECalibrationCheck::BitsOutside;
        }
    }
    return ECalibrationCheck::Ok;
}

void PutCalibration(CPicDevice& image, std::optional<uint32_t> word, std::optional<uint32_t> bits) {
    const CCalibration places = CalibrationOf(image);
    if (word && places.HasWord) {
        const size_t at = 2 * static_cast<size_t>(image.CalAddress);
        image.ProgramData[at] = static_cast<uint8_t>(*word & 0xFF);
        image.ProgramData[at + 1] = static_cast<uint8_t>((*word >> 8) & 0x3F);
    }
    if (bits && places.HasBits) {
        uint32_t& config = image.Config[places.BitsWord];
        config = (config & ~places.BitsMask) | (*bits & places.BitsMask);
    }
}
