// Leaving blank areas alone against the simulated chips: for one device of
// every recipe family, a Program that skips blank rows and bytes and a
// Program that writes everything leave the same cells on a chip that held
// other data before, for images whose data sits at the start, only in the
// last row, only beside the calibration word, only in EEPROM, nowhere, or
// everywhere.
#include "tests/e2e/EndToEndSupport.h"

#include <functional>
#include <random>

using e2e::CBench;

namespace {

// One device per combination of program write, EEPROM, configuration and
// erase methods that the catalogue uses.
const char* const kDevices[] = {
    "PIC16F877A", // latch rows ended by 17, EEPROM by begin programming only, chip erase
    "PIC16F873A", // the same with four-word rows
    "PIC16F877",  // word writes (08), bulk erase with the code-protect disable sequence
    "PIC16F628A", // word writes, EEPROM with 6 ms, bulk erase
    "PIC16F84A",  // erase-and-program word writes
    "PIC12F675",  // word writes ended by 0A, OSCCAL in the last word, band-gap bits
    "PIC12F683",  // four-word rows ended by 0A with the discharge time
    "PIC16F886",  // eight-word rows, two configuration words, calibration word in configuration space
    "PIC16F716",  // latch rows ended by 0E, configuration by begin programming only, no EEPROM
    "PIC16F77",   // two-word latches, the 30 ms bulk erase, no EEPROM
    "PIC16F88",   // latch rows ended by 17, the long chip erase, two configuration words
    "PIC18F452",  // 8-byte buffers in 8 KB panels, single-panel setup
    "PIC18F1320", // one panel, 8-byte buffer
    "PIC18F4550", // 32-byte buffer, chip-erase keys, the P10 discharge time
};

// Program memory in image units: words (mid-range) or bytes (PIC18).
uint32_t Units(const CPicDevice& d) {
    return d.CoreWidth == kCorePic18 ? static_cast<uint32_t>(d.ProgramData.size())
                                     : static_cast<uint32_t>(d.ProgramData.size() / 2);
}

void SetUnit(CPicDevice& d, uint32_t i, uint32_t value) {
    if (d.CoreWidth == kCorePic18) {
        d.ProgramData[i] = static_cast<uint8_t>(value);
    } else {
        d.ProgramData[2 * i] = static_cast<uint8_t>(value & 0xFF);
        d.ProgramData[2 * i + 1] = static_cast<uint8_t>((value >> 8) & 0x3F);
    }
}

// Leaves program memory and EEPROM of the chip full of other data, as a used
// chip would be (the oscillator calibration and the configuration as they
// came from the factory).
void UseChip(CBench& b, unsigned seed) {
    std::mt19937 rng(seed);
    if (b.IsPic18()) {
        CPic18Chip& chip = *b.Pic18();
        for (uint32_t a = 0; a < chip.Model().ProgramBytes; ++a) {
            chip.SetProgramByte(a, static_cast<uint8_t>(rng()));
        }
        for (uint32_t a = 0; a < chip.Model().EepromBytes; ++a) {
            chip.SetEepromByte(a, static_cast<uint8_t>(rng()));
        }
        return;
    }
    CMidRangeChip& chip = *b.Mid();
    const size_t words = chip.RegionSize(EMidRegion::Program);
    for (size_t a = 0; a < words; ++a) {
        if (!(chip.Device().OscCal && a + 1 == words)) {
            chip.Poke(EMidRegion::Program, a, static_cast<uint16_t>(rng() & 0x3FFF));
        }
    }
    for (size_t a = 0; a < chip.RegionSize(EMidRegion::Eeprom); ++a) {
        chip.Poke(EMidRegion::Eeprom, a, static_cast<uint16_t>(rng() & 0xFF));
    }
}

// Program as the runner runs it: the chip's calibration read first (where
// the device keeps one), erase, program memory, EEPROM, configuration
// without protection, the calibration written back.
void Program(CBench& b, const CPicDevice& image, bool skipBlank) {
    CWriter& w = b.Writer;
    w.CopyProgram(image);
    w.CopyEeprom(image);
    w.CopyUserIds(image);
    w.CopyConfig(image);
    const bool calibration = b.Device.CalFlag != 0;
    if (calibration) {
        ASSERT_TRUE(w.ReadCalibration());
    }
    w.SkipBlank = skipBlank;
    ASSERT_TRUE(w.Erase());
    ASSERT_TRUE(w.WriteProgram());
    ASSERT_TRUE(w.WriteEeprom());
    ASSERT_TRUE(w.WriteConfig(false));
    if (calibration) {
        ASSERT_TRUE(w.WriteCalibration());
    }
}

// Where two chips of the same device differ, "" when they agree cell for cell.
std::string CellDifferences(CBench& a, CBench& b) {
    const uint32_t units = Units(a.Device);
    for (uint32_t i = 0; i < units; ++i) {
        if (e2e::ChipProgram(a, i) != e2e::ChipProgram(b, i)) {
            return "program@" + std::to_string(i);
        }
    }
    for (uint32_t i = 0; i < a.Device.EepromData.size(); ++i) {
        if (e2e::ChipEeprom(a, i) != e2e::ChipEeprom(b, i)) {
            return "eeprom@" + std::to_string(i);
        }
    }
    for (int i = 0; i < (a.IsPic18() ? 8 : 4); ++i) {
        if (e2e::ChipUserId(a, i) != e2e::ChipUserId(b, i)) {
            return "id" + std::to_string(i);
        }
    }
    for (int w = 0; w < a.Device.ConfigWordCount(); ++w) {
        if (e2e::ChipConfig(a, w) != e2e::ChipConfig(b, w)) {
            return "config" + std::to_string(w);
        }
    }
    if (!a.IsPic18() &&
        a.Mid()->Peek(EMidRegion::Calibration, 0) != b.Mid()->Peek(EMidRegion::Calibration, 0)) {
        return "calibration";
    }
    return "";
}

struct CImageCase {
    const char* Name;
    std::function<void(CPicDevice&)> Fill;
};

std::vector<CImageCase> Images() {
    return {
        {"start",
         [](CPicDevice& d) {
             // A small program at the reset vector, as a blink program is.
             for (uint32_t i = 0; i < 40; ++i) {
                 SetUnit(d, i, 0x2800 + 7 * i);
             }
         }},
        {"last row only", [](CPicDevice& d) { SetUnit(d, Units(d) - 1, 0x00); }},
        {"beside the calibration word",
         [](CPicDevice& d) {
             // The word before the last, in the row (or next to the word) of
             // the oscillator calibration where a device keeps one there.
             SetUnit(d, Units(d) - 2, 0x0123);
         }},
        {"EEPROM only",
         [](CPicDevice& d) {
             if (!d.EepromData.empty()) {
                 d.EepromData[0] = 0x00;
                 d.EepromData.back() = 0x5A;
             }
         }},
        {"scattered",
         [](CPicDevice& d) {
             // Short gaps and long ones, so that the owed increments end at
             // every count from none to several packets.
             for (uint32_t i = 3, gap = 1; i < Units(d); i += gap, gap = gap * 3 % 97 + 1) {
                 SetUnit(d, i, i & 0x3FF);
             }
             for (uint32_t i = 1, gap = 1; i < d.EepromData.size(); i += gap, gap = gap * 5 % 41 + 1) {
                 d.EepromData[i] = static_cast<uint8_t>(i);
             }
         }},
        {"blank", [](CPicDevice&) {}},
        {"everything", [](CPicDevice& d) { e2e::FillRandomImage(d, 99); }},
    };
}

class BlankSkipOnChip : public ::testing::TestWithParam<const char*> {};

TEST_P(BlankSkipOnChip, BothWritesLeaveTheSameChip) {
    const std::string name = GetParam();
    for (const CImageCase& c : Images()) {
        SCOPED_TRACE(c.Name);
        CBench skip(name);
        CBench full(name);
        if (HasFatalFailure()) {
            return;
        }
        UseChip(skip, 3);
        UseChip(full, 3);

        CDeviceList image;
        image.AssignFrom(skip.Device);
        c.Fill(image);
        // Named configuration bits as the device's legend allows, protection off.
        for (int w = 0; w < image.ConfigWordCount(); ++w) {
            image.Config[w] |= image.ConfigProtectMask[w];
        }
        for (int i = 0; i < 4; ++i) {
            image.UserId[i] = static_cast<uint32_t>(i + 5);
        }

        Program(skip, image, true);
        Program(full, image, false);
        EXPECT_EQ(CellDifferences(skip, full), "");
        // ... and both hold the image, with the chip's own calibration where
        // it was kept (the writer's image holds it after the calibration read).
        EXPECT_EQ(e2e::ChipDifferences(skip, skip.Writer), "");
        EXPECT_FALSE(skip.Sim.Breaches().HasBreaches()) << skip.Sim.Breaches().Text();
        EXPECT_FALSE(full.Sim.Breaches().HasBreaches()) << full.Sim.Breaches().Text();
        EXPECT_LE(skip.Sim.Counters().Packets, full.Sim.Counters().Packets);
    }
}

INSTANTIATE_TEST_SUITE_P(RecipeFamilies, BlankSkipOnChip, ::testing::ValuesIn(kDevices),
                         [](const ::testing::TestParamInfo<const char*>& device) {
                             return std::string(device.param);
                         });

TEST(BlankSkipOnChip, ASmallProgramTakesAFractionOfThePackets) {
    for (const char* name : {"PIC16F877A", "PIC18F452"}) {
        SCOPED_TRACE(name);
        CBench skip(name);
        CBench full(name);
        CDeviceList image;
        image.AssignFrom(skip.Device);
        for (uint32_t i = 0; i < 64; ++i) {
            SetUnit(image, i, 0x1234 + i);
        }
        Program(skip, image, true);
        Program(full, image, false);
        EXPECT_EQ(CellDifferences(skip, full), "");
        EXPECT_LT(skip.Sim.Counters().Packets * 10, full.Sim.Counters().Packets);
        EXPECT_LT(skip.Sim.Counters().ElapsedUs * 10, full.Sim.Counters().ElapsedUs);
    }
}

TEST(BlankSkipOnChip, TheKeptCalibrationIsWrittenBackWhateverTheImageHolds) {
    // PIC12F675: the bulk erase takes the OSCCAL word and the band-gap bits;
    // with blank areas left alone they still come back, also when nothing
    // else of the image is written.
    CBench b("PIC12F675");
    const uint16_t osccal = b.Mid()->Peek(EMidRegion::Program, 0x3FF);
    const uint16_t bandGap = b.Mid()->Peek(EMidRegion::Config, 0) & 0x3000;
    CDeviceList image;
    image.AssignFrom(b.Device);
    Program(b, image, true);
    EXPECT_EQ(b.Mid()->Peek(EMidRegion::Program, 0x3FF), osccal);
    EXPECT_EQ(b.Mid()->Peek(EMidRegion::Config, 0) & 0x3000, bandGap);
    for (uint32_t a = 0; a < 0x3FF; ++a) {
        ASSERT_EQ(b.Mid()->Peek(EMidRegion::Program, a), 0x3FFF) << a;
    }
    EXPECT_FALSE(b.Sim.Breaches().HasBreaches()) << b.Sim.Breaches().Text();
}

} // namespace
