// A catalogue device, a writer and a simulated chip of the same type, for
// tests that run the engines end to end and then look at the chip itself.
#pragma once

#include "device/DeviceList.h"
#include "sim/MidRangeChip.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "sim/pic18/Pic18Chip.h"
#include "writer/Writer.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>

namespace e2e {

inline std::string CataloguePath() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

// Every device name of the shipped catalogue (separators left out).
inline std::vector<std::string> CatalogueDevices() {
    CDeviceList list;
    list.ListPath = CataloguePath();
    CNameList names;
    list.FillSelector(names);
    std::vector<std::string> devices;
    for (const std::string& name : names.Names) {
        if (!name.empty() && name.front() != '-') {
            devices.push_back(name);
        }
    }
    return devices;
}

struct CBench {
    explicit CBench(const std::string& name, ESimTiming timing = ESimTiming::Typical,
                    std::unique_ptr<ISimChip> chip = nullptr)
        : Sim(chip ? std::move(chip) : MakeSimChip(name, timing)), Writer(Sim) {
        Device.ListPath = CataloguePath();
        EXPECT_TRUE(Device.LoadDevice(name)) << name;
        EXPECT_NE(Sim.Chip(), nullptr) << "the simulator has a model of " << name;
        Writer.AssignFrom(Device);
        EXPECT_TRUE(Writer.Poll());
        Writer.SocketPins = Writer.PinCount;
    }

    CMidRangeChip* Mid() { return Sim.ChipAs<CMidRangeChip>(); }
    CPic18Chip* Pic18() { return Sim.ChipAs<CPic18Chip>(); }
    bool IsPic18() const { return Device.CoreWidth == kCorePic18; }

    CDeviceList Device;
    CSimWriter Sim;
    CWriter Writer;
};

// A random image that a real program could have: every named configuration
// bit random except the protect bits (unprotected) and the calibration bits
// (left as they are), "[-]" bits 1, "[x]" bits 0.
inline void FillRandomImage(CPicDevice& image, unsigned seed) {
    std::mt19937 rng(seed);
    const bool pic18 = image.CoreWidth == kCorePic18;
    for (size_t i = 0; i < image.ProgramData.size(); ++i) {
        image.ProgramData[i] = static_cast<uint8_t>(rng());
        if (!pic18 && i % 2 == 1) {
            image.ProgramData[i] &= 0x3F;
        }
    }
    for (uint8_t& b : image.EepromData) {
        b = static_cast<uint8_t>(rng());
    }
    for (int i = 0; i < 8; ++i) {
        image.UserId[i] = pic18 ? (rng() & 0xFF) : (rng() & 0x0F);
    }
    for (int w = 0; w < image.ConfigWordCount(); ++w) {
        const uint32_t free = image.ConfigUserMask[w] & ~image.ConfigProtectMask[w];
        const uint32_t keep = image.Config[w] & ~free;
        image.Config[w] = ((keep | (rng() & free)) & ~image.ConfigZeroMask[w]) | image.ConfigOneMask[w];
    }
}

// The chip's program word (mid-range) or byte (PIC18) as its cells hold it.
inline uint32_t ChipProgram(CBench& b, uint32_t i) {
    return b.IsPic18() ? b.Pic18()->ProgramByte(i) : b.Mid()->Peek(EMidRegion::Program, i);
}
inline uint32_t ChipEeprom(CBench& b, uint32_t i) {
    return b.IsPic18() ? b.Pic18()->EepromByte(i) : b.Mid()->Peek(EMidRegion::Eeprom, i);
}
inline uint32_t ChipUserId(CBench& b, int i) {
    return b.IsPic18() ? b.Pic18()->IdByte(i)
                       : (b.Mid()->Peek(EMidRegion::UserId, static_cast<size_t>(i)) & 0x0F);
}
inline uint32_t ChipConfig(CBench& b, int w) {
    return b.IsPic18() ? b.Pic18()->ConfigByte(w) : b.Mid()->Peek(EMidRegion::Config, static_cast<size_t>(w));
}

// Where the chip's cells differ from the image, region by region ("" when
// they agree). Configuration words compare on their named bits; the word at
// skipWord (a calibration word) is left out.
inline std::string ChipDifferences(CBench& b, const CPicDevice& image, int64_t skipWord = -1) {
    std::string out;
    const bool pic18 = b.IsPic18();
    const uint32_t units = pic18 ? static_cast<uint32_t>(image.ProgramData.size())
                                 : static_cast<uint32_t>(image.ProgramData.size() / 2);
    for (uint32_t i = 0; i < units; ++i) {
        if (static_cast<int64_t>(i) != skipWord && ChipProgram(b, i) != image.ProgramWord(i)) {
            out += " program@" + std::to_string(i);
            break;
        }
    }
    for (uint32_t i = 0; i < image.EepromData.size(); ++i) {
        if (ChipEeprom(b, i) != image.EepromData[i]) {
            out += " eeprom@" + std::to_string(i);
            break;
        }
    }
    for (int i = 0; i < (pic18 ? 8 : 4); ++i) {
        if (ChipUserId(b, i) != (image.UserId[i] & (pic18 ? 0xFFU : 0x0FU))) {
            out += " id" + std::to_string(i);
            break;
        }
    }
    for (int w = 0; w < image.ConfigWordCount(); ++w) {
        if ((ChipConfig(b, w) & image.ConfigNamedMask[w]) != (image.Config[w] & image.ConfigNamedMask[w])) {
            out += " config" + std::to_string(w);
            break;
        }
    }
    return out;
}

} // namespace e2e
