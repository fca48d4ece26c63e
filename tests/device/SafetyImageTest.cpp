// The image logic of the safety net: configuration a user should confirm,
// the factory calibration of an image, and the decoded difference of two
// images.
#include "device/Calibration.h"
#include "device/ConfigLabels.h"
#include "device/ConfigRisks.h"
#include "device/DeviceList.h"
#include "device/ImageDiff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void Load(CDeviceList& d, const std::string& name) {
    d.ListPath = std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
    ASSERT_TRUE(d.LoadDevice(name)) << name;
}

// Sets every bit the legend calls `name` (grid spelling) in any word.
void SetBit(CPicDevice& d, const std::string& name, uint32_t value) {
    bool found = false;
    for (int w = 0; w < d.ConfigWordCount(); ++w) {
        for (const CConfigBitLabel& label : ConfigBitLabels(d, w)) {
            if (label.Name == name) {
                d.Config[w] = (d.Config[w] & ~(1U << label.Bit)) | (value << label.Bit);
                found = true;
            }
        }
    }
    ASSERT_TRUE(found) << name;
}

std::vector<EConfigRisk> Risks(const CPicDevice& d) {
    std::vector<EConfigRisk> risks;
    for (const CConfigRiskFinding& f : FindConfigRisks(d)) {
        risks.push_back(f.Risk);
    }
    return risks;
}

// A configuration with nothing to confirm: watchdog and LVP off.
void Quiet(CPicDevice& d) {
    SetBit(d, "WDTE", 0);
    SetBit(d, "LVP", 0);
}

} // namespace

TEST(ConfigRisks, ErasedDefaultsOfBothFamiliesRaiseTheirTraps) {
    CDeviceList mid;
    Load(mid, "PIC16F877A");
    EXPECT_EQ(Risks(mid), (std::vector<EConfigRisk>{EConfigRisk::LowVoltage, EConfigRisk::Watchdog}));
    CDeviceList pic18;
    Load(pic18, "PIC18F4520");
    std::vector<CConfigRiskFinding> found = FindConfigRisks(pic18);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].Risk, EConfigRisk::LowVoltage);
    EXPECT_EQ(found[0].Bits, (std::vector<std::string>{"LVP=1 (CONFIG4L)"}));
    EXPECT_EQ(found[1].Risk, EConfigRisk::Watchdog);
    // XINST is erased as 0 on this part: only an image that sets it is asked
    // about, under its bare name.
    SetBit(pic18, "XINST", 1);
    found = FindConfigRisks(pic18);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[2].Risk, EConfigRisk::ExtendedInstructions);
    EXPECT_EQ(found[2].Bits, (std::vector<std::string>{"XINST=1 (CONFIG4L)"}));
    // The catalogue names the PIC16F873A's low-voltage bit LVD, not LVP: the
    // names decide, so that entry raises the watchdog only.
    CDeviceList named;
    Load(named, "PIC16F873A");
    EXPECT_EQ(Risks(named), (std::vector<EConfigRisk>{EConfigRisk::Watchdog}));
}

TEST(ConfigRisks, ProtectionBitsByKind) {
    CDeviceList d;
    Load(d, "PIC18F452");
    SetBit(d, "LVP", 0);
    SetBit(d, "WDTEN", 0);
    EXPECT_TRUE(Risks(d).empty());
    SetBit(d, "CP1", 0);
    SetBit(d, "CPD", 0);
    SetBit(d, "CPB", 0);
    SetBit(d, "WRT0", 0);
    SetBit(d, "WRTB", 0);
    SetBit(d, "EBTR2", 0);
    SetBit(d, "*BKBUG", 0);
    const std::vector<CConfigRiskFinding> found = FindConfigRisks(d);
    EXPECT_EQ(Risks(d), (std::vector<EConfigRisk>{EConfigRisk::CodeProtect, EConfigRisk::DataProtect,
                                                  EConfigRisk::BootProtect, EConfigRisk::WriteProtect,
                                                  EConfigRisk::TableReadProtect, EConfigRisk::Debugger}));
    EXPECT_EQ(found[2].Bits, (std::vector<std::string>{"CPB=0 (CONFIG5H)", "WRTB=0 (CONFIG6H)"}));
    EXPECT_EQ(found[5].Bits, (std::vector<std::string>{"BKBUG=0 (CONFIG4L)"}));

    // Ten CP bits of one word are one code protection, said once.
    CDeviceList f84;
    Load(f84, "PIC16F84A");
    SetBit(f84, "WDTEN", 0);
    SetBit(f84, "CP", 0);
    const std::vector<CConfigRiskFinding> cp = FindConfigRisks(f84);
    ASSERT_EQ(cp.size(), 1u);
    EXPECT_EQ(cp[0].Bits, (std::vector<std::string>{"CP=0 (CONFIG1)"}));
}

TEST(ConfigRisks, McLrOffCountsOnlyWithAnInternalOscillator) {
    CDeviceList d;
    Load(d, "PIC16F628A");
    Quiet(d);
    SetBit(d, "MCLRE", 0);
    // FOSC2:0 = 010 (HS): an external clock, so MCLR off is harmless here.
    SetBit(d, "FOSC2", 0);
    SetBit(d, "FOSC1", 1);
    SetBit(d, "FOSC0", 0);
    EXPECT_TRUE(Risks(d).empty());
    SetBit(d, "FOSC2", 1); // 110: external RC
    EXPECT_TRUE(Risks(d).empty());
    SetBit(d, "FOSC1", 0); // 100: INTOSC, I/O on the clock pins
    const std::vector<CConfigRiskFinding> found = FindConfigRisks(d);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Risk, EConfigRisk::McLrOffInternalClock);
    EXPECT_EQ(found[0].Bits, (std::vector<std::string>{"MCLRE=0 (CONFIG1)", "FOSC2:0=100 (CONFIG1)"}));
    SetBit(d, "MCLRE", 1);
    EXPECT_TRUE(Risks(d).empty());

    // PIC18: 1011 is an internal oscillator on the USB parts only.
    for (const auto& [name, internal] : {std::pair{"PIC18F4550", true}, std::pair{"PIC18F4520", false}}) {
        CDeviceList p;
        Load(p, name);
        SetBit(p, "LVP", 0);
        SetBit(p, "WDTEN", 0);
        SetBit(p, "XINST", 0);
        SetBit(p, "MCLRE", 0);
        SetBit(p, "FOSC3", 1);
        SetBit(p, "FOSC2", 0);
        SetBit(p, "FOSC1", 1);
        SetBit(p, "FOSC0", 1);
        EXPECT_EQ(!Risks(p).empty(), internal) << name;
        SetBit(p, "FOSC1", 0); // 1001: internal on both
        EXPECT_EQ(Risks(p), (std::vector<EConfigRisk>{EConfigRisk::McLrOffInternalClock})) << name;
    }
}

TEST(Calibration, OfAnImageAndTheChecksBeforeAWriteBack) {
    CDeviceList d;
    Load(d, "PIC12F675");
    EXPECT_TRUE(IsCalibrated(d));
    d.ProgramData[2 * 0x3FF] = 0x5C;
    d.ProgramData[2 * 0x3FF + 1] = 0x34;
    d.Config[0] = 0x21FF;
    const CCalibration c = CalibrationOf(d);
    EXPECT_TRUE(c.HasWord);
    EXPECT_EQ(c.Word, 0x345Cu);
    EXPECT_TRUE(c.HasBits);
    EXPECT_EQ(c.BitsMask, 0x3000u);
    EXPECT_EQ(c.Bits, 0x2000u);

    EXPECT_EQ(CheckCalibration(d, 0x3480, 0x1000), ECalibrationCheck::Ok);
    EXPECT_EQ(CheckCalibration(d, 0x3480, std::nullopt), ECalibrationCheck::Ok);
    EXPECT_EQ(CheckCalibration(d, 0x3FFF, std::nullopt), ECalibrationCheck::NotRetlw);
    EXPECT_EQ(CheckCalibration(d, 0x0480, std::nullopt), ECalibrationCheck::NotRetlw);
    EXPECT_EQ(CheckCalibration(d, 0x13480, std::nullopt), ECalibrationCheck::NotRetlw);
    EXPECT_EQ(CheckCalibration(d, 0x3480, 0x0003), ECalibrationCheck::BitsOutside);
    EXPECT_EQ(CheckCalibration(d, std::nullopt, std::nullopt), ECalibrationCheck::NothingGiven);

    PutCalibration(d, 0x3480, 0x1000);
    EXPECT_EQ(d.ProgramWord(0x3FF), 0x3480u);
    EXPECT_EQ(d.Config[0], 0x11FFu) << "only the calibration bits change";

    CDeviceList plain;
    Load(plain, "PIC16F877A");
    EXPECT_FALSE(IsCalibrated(plain));
    EXPECT_EQ(CalibrationOf(plain), CCalibration{});
    EXPECT_EQ(CheckCalibration(plain, 0x3480, std::nullopt), ECalibrationCheck::NotCalibrated);
    EXPECT_TRUE(IsBlankCalibrationWord(0x3FFF));
    EXPECT_FALSE(IsBlankCalibrationWord(0x3480));
}

TEST(ImageDiff, RunsPerRegionAndNamedConfigurationBits) {
    CDeviceList a;
    CDeviceList b;
    Load(a, "PIC16F877A");
    Load(b, "PIC16F877A");
    EXPECT_TRUE(DiffImages(a, b, false).Equal());
    for (uint32_t w : {5u, 6u, 7u, 9u, 8191u}) {
        b.ProgramData[2 * w] = 0;
    }
    b.EepromData[0] = 1;
    b.EepromData[255] = 2;
    b.UserId[1] = 0x3;
    b.UserId[2] = 0xF3; // differs above the four bits that count
    a.UserId[2] = 0x03;
    SetBit(b, "FOSC1", 0);
    SetBit(b, "CP", 0);      // code-protect bits count in a diff
    b.Config[0] &= ~0x1000U; // a "[-]" bit is no setting
    const CImageDiff diff = DiffImages(a, b, false);
    EXPECT_FALSE(diff.Equal());
    EXPECT_EQ(diff.Program, (std::vector<CDiffRun>{{5, 7}, {9, 9}, {8191, 8191}}));
    EXPECT_EQ(diff.ProgramCount, 5u);
    EXPECT_EQ(diff.Eeprom, (std::vector<CDiffRun>{{0, 0}, {255, 255}}));
    EXPECT_EQ(diff.UserId, (std::vector<CDiffRun>{{1, 1}}));
    ASSERT_EQ(diff.ConfigBits.size(), 2u);
    EXPECT_EQ(diff.ConfigBits[0].Name, "CP");
    EXPECT_EQ(diff.ConfigBits[1].Name, "FOSC1");
    EXPECT_EQ(diff.ConfigBits[1].A, 1u);
    EXPECT_EQ(diff.ConfigBits[1].B, 0u);

    CDeviceList other;
    Load(other, "PIC16F628A");
    EXPECT_TRUE(DiffImages(a, other, false).DifferentDevice);
}

TEST(ImageDiff, CalibrationIsLeftOutWhenTheChipKeepsIt) {
    CDeviceList chip;
    CDeviceList file;
    Load(chip, "PIC12F675");
    Load(file, "PIC12F675");
    PutCalibration(chip, 0x3480, 0x1000);
    const CImageDiff all = DiffImages(chip, file, false);
    EXPECT_EQ(all.Program, (std::vector<CDiffRun>{{0x3FF, 0x3FF}}));
    ASSERT_EQ(all.ConfigBits.size(), 1u);
    EXPECT_EQ(all.ConfigBits[0].Name, "BG1");
    EXPECT_TRUE(DiffImages(chip, file, true).Equal());
    chip.ProgramData[0x3FE * 2] = 0;
    EXPECT_EQ(DiffImages(chip, file, true).Program, (std::vector<CDiffRun>{{0x3FE, 0x3FE}}));
}
