#include "tests/usb/ChipCompare.h"

#include "sim/MidRangeChip.h"
#include "sim/pic18/Pic18Chip.h"

std::string ChipDifferences(ISimChip& chip, const CPicDevice& image) {
    auto* mid = dynamic_cast<CMidRangeChip*>(&chip);
    auto* pic18 = dynamic_cast<CPic18Chip*>(&chip);
    if (mid == nullptr && pic18 == nullptr) {
        return "no chip";
    }
    const size_t units = pic18 != nullptr ? image.ProgramData.size() : image.ProgramData.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        const uint32_t cell = pic18 != nullptr ? pic18->ProgramByte(static_cast<uint32_t>(i))
                                               : mid->Peek(EMidRegion::Program, i);
        if (cell != image.ProgramWord(static_cast<uint32_t>(i))) {
            return "program at " + std::to_string(i);
        }
    }
    for (size_t i = 0; i < image.EepromData.size(); ++i) {
        const uint32_t cell =
            pic18 != nullptr ? pic18->EepromByte(static_cast<uint32_t>(i)) : mid->Peek(EMidRegion::Eeprom, i);
        if (cell != image.EepromData[i]) {
            return "EEPROM at " + std::to_string(i);
        }
    }
    for (int i = 0; i < (pic18 != nullptr ? 8 : 4); ++i) {
        const uint32_t cell = pic18 != nullptr
                                  ? pic18->IdByte(i)
                                  : (mid->Peek(EMidRegion::UserId, static_cast<size_t>(i)) & 0x0FU);
        if (cell != (image.UserId[i] & (pic18 != nullptr ? 0xFFU : 0x0FU))) {
            return "user ID " + std::to_string(i);
        }
    }
    for (int w = 0; w < image.ConfigWordCount(); ++w) {
        const uint32_t cell =
            pic18 != nullptr ? pic18->ConfigByte(w) : mid->Peek(EMidRegion::Config, static_cast<size_t>(w));
        if ((cell & image.ConfigNamedMask[w]) != (image.Config[w] & image.ConfigNamedMask[w])) {
            return "configuration " + std::to_string(w);
        }
    }
    return "";
}

std::string NotBlank(ISimChip& chip, const CPicDevice& image) {
    auto* mid = dynamic_cast<CMidRangeChip*>(&chip);
    auto* pic18 = dynamic_cast<CPic18Chip*>(&chip);
    const size_t units = pic18 != nullptr ? image.ProgramData.size() : image.ProgramData.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        const bool erased = pic18 != nullptr ? pic18->ProgramByte(static_cast<uint32_t>(i)) == 0xFF
                                             : mid->Peek(EMidRegion::Program, i) == 0x3FFF;
        if (!erased) {
            return "program at " + std::to_string(i);
        }
    }
    for (size_t i = 0; i < image.EepromData.size(); ++i) {
        const uint32_t cell =
            pic18 != nullptr ? pic18->EepromByte(static_cast<uint32_t>(i)) : mid->Peek(EMidRegion::Eeprom, i);
        if (cell != 0xFF) {
            return "EEPROM at " + std::to_string(i);
        }
    }
    return "";
}
