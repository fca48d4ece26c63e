// The difference finders, the blank counts and the configuration labels,
// held against CompareImage, the legend masks and NextLegendToken.
#include "device/ImageCompare.h"
#include "device/ConfigLabels.h"
#include "device/DeviceList.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string Catalogue() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

bool Load(CDeviceList& d, const std::string& name) {
    d.ListPath = Catalogue();
    return d.LoadDevice(name);
}

std::vector<std::string> CatalogueDevices() {
    CDeviceList list;
    list.ListPath = Catalogue();
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

// The first index where `differs` holds, by brute force; -1 when none.
template <class Pred> int64_t FirstWhere(uint32_t count, Pred differs) {
    for (uint32_t i = 0; i < count; ++i) {
        if (differs(i)) {
            return i;
        }
    }
    return -1;
}

// The finders must name exactly the regions CompareImage flags, each at the
// first place that differs by the region's own rule.
void ExpectFindersAgree(CPicDevice& a, const CPicDevice& b, const std::string& what) {
    SCOPED_TRACE(what);
    const CImageDifferences found = FindDifferences(a, b);
    const int result = a.CompareImage(b);
    EXPECT_EQ(found.Flags, a.VerifyFlags);
    EXPECT_EQ(result != 0, found.Flags != 0);

    const bool pic18 = a.CoreWidth == kCorePic18;
    const uint32_t units = static_cast<uint32_t>(pic18 ? a.ProgramData.size() : a.ProgramData.size() / 2);
    const int64_t program =
        FirstWhere(units, [&](uint32_t i) { return a.ProgramWord(i) != b.ProgramWord(i); });
    EXPECT_EQ(found.Program.Found, program >= 0);
    if (program >= 0) {
        EXPECT_EQ(found.Program.Index, static_cast<uint32_t>(program));
        EXPECT_EQ(found.Program.Value, a.ProgramWord(found.Program.Index));
        EXPECT_EQ(found.Program.Other, b.ProgramWord(found.Program.Index));
    }
    const int64_t eeprom = FirstWhere(static_cast<uint32_t>(a.EepromData.size()),
                                      [&](uint32_t i) { return a.EepromData[i] != b.EepromData[i]; });
    EXPECT_EQ(found.Eeprom.Found, eeprom >= 0);
    if (eeprom >= 0) {
        EXPECT_EQ(found.Eeprom.Index, static_cast<uint32_t>(eeprom));
    }
    const uint32_t m = pic18 ? 0xFF : 0x3FFF;
    const int64_t config = FirstWhere(static_cast<uint32_t>(a.ConfigWordCount()), [&](uint32_t w) {
        return ((a.Config[w] | (a.ConfigProtectMask[w] & m)) != (b.Config[w] | (b.ConfigProtectMask[w] & m)));
    });
    EXPECT_EQ(found.Config.Found, config >= 0);
    if (config >= 0) {
        EXPECT_EQ(found.Config.Index, static_cast<uint32_t>(config));
        EXPECT_EQ(found.Config.Value, a.Config[config]);
    }
    const uint32_t idMask = pic18 ? 0xFF : 0x0F;
    const int64_t id = FirstWhere(
        pic18 ? 8 : 4, [&](uint32_t i) { return (a.UserId[i] & idMask) != (b.UserId[i] & idMask); });
    EXPECT_EQ(found.UserId.Found, id >= 0);
    if (id >= 0) {
        EXPECT_EQ(found.UserId.Index, static_cast<uint32_t>(id));
    }
}

TEST(ImageDifferences, AgreeWithCompareImageUnderRandomChanges) {
    std::mt19937 random(9);
    for (const char* name : {"PIC16F877A", "PIC12F675", "PIC18F452"}) {
        CDeviceList a;
        ASSERT_TRUE(Load(a, name));
        for (int trial = 0; trial < 200; ++trial) {
            CDeviceList b;
            ASSERT_TRUE(Load(b, name));
            const int changes = static_cast<int>(random() % 4);
            for (int c = 0; c < changes; ++c) {
                const uint32_t pick = random();
                switch (random() % 5) {
                case 0: // any byte of a program word, the unused high bits included
                    b.ProgramData[pick % b.ProgramData.size()] ^= static_cast<uint8_t>(1 + random() % 255);
                    break;
                case 1:
                    b.EepromData[pick % b.EepromData.size()] ^= 0x10;
                    break;
                case 2: // sometimes only a code-protect bit, which does not count
                    b.Config[pick % b.ConfigWordCount()] ^= 1U << (random() % (a.CoreWidth == 8 ? 8 : 14));
                    break;
                case 3: // sometimes only bits above the ID's width, which do not count
                    b.UserId[pick % kUserIds] ^= 1U << (random() % 12);
                    break;
                default:
                    break;
                }
            }
            ExpectFindersAgree(a, b, std::string(name) + " trial " + std::to_string(trial));
        }
    }
}

TEST(ImageDifferences, NameTheFirstPlaceWithBothValuesAndAddresses) {
    CDeviceList chip;
    CDeviceList image;
    ASSERT_TRUE(Load(chip, "PIC16F877A"));
    ASSERT_TRUE(Load(image, "PIC16F877A"));
    image.ProgramData[2 * 0x123 + 1] = 0x28; // word 0x123 = 0x28FF
    image.ProgramData[2 * 0x200] = 0;
    image.EepromData[7] = 0x42;
    image.UserId[2] = 0x5;
    const CImageDifferences d = FindDifferences(chip, image);
    EXPECT_EQ(d.Flags, kVerifyProgram | kVerifyEeprom | kVerifyUserId);
    EXPECT_EQ(d.Program.Index, 0x123U);
    EXPECT_EQ(d.Program.Value, 0x3FFFU);
    EXPECT_EQ(d.Program.Other, 0x28FFU);
    EXPECT_EQ(d.Eeprom.Index, 7U);
    EXPECT_EQ(d.Eeprom.Other, 0x42U);
    EXPECT_EQ(d.UserId.Index, 2U);
    EXPECT_EQ(d.UserId.Value, 0xFU);
    EXPECT_EQ(d.UserId.Other, 0x5U);
    EXPECT_FALSE(d.Config.Found);
    EXPECT_EQ(UserIdAddress(chip.CoreWidth, 2), 0x2002U);
    EXPECT_EQ(ConfigWordAddress(chip.CoreWidth, 0), 0x2007U);

    CDeviceList pic18;
    ASSERT_TRUE(Load(pic18, "PIC18F452"));
    CDeviceList other;
    ASSERT_TRUE(Load(other, "PIC18F452"));
    other.Config[5] ^= 0x01; // not a protect bit there
    other.ProgramData[0x7FFF] = 0x12;
    const CImageDifferences p = FindDifferences(pic18, other);
    EXPECT_EQ(p.Flags, kVerifyProgram | kVerifyConfig);
    EXPECT_EQ(p.Program.Index, 0x7FFFU) << "PIC18 program memory is counted in bytes";
    EXPECT_EQ(p.Program.Other, 0x12U);
    EXPECT_EQ(p.Config.Index, 5U);
    EXPECT_EQ(ConfigWordAddress(pic18.CoreWidth, 5), 0x300005U);
    EXPECT_EQ(UserIdAddress(pic18.CoreWidth, 7), 0x200007U);
}

TEST(ImageDifferences, OtherShapesAndBrokenBuffers) {
    CDeviceList mid;
    CDeviceList pic18;
    ASSERT_TRUE(Load(pic18, "PIC18F452"));
    const CImageDifferences d = FindDifferences(mid, pic18);
    EXPECT_EQ(d.Flags, kVerifyDifferentDevice);
    EXPECT_FALSE(d.Program.Found || d.Eeprom.Found || d.Config.Found || d.UserId.Found);
    EXPECT_EQ(mid.CompareImage(pic18), 1);
    EXPECT_EQ(mid.VerifyFlags, kVerifyDifferentDevice);

    // Same parameters, but one program buffer lost its tail: a difference,
    // found where the shorter one ends, and never read past it.
    CDeviceList whole;
    CDeviceList cut;
    cut.ProgramData.resize(100);
    for (size_t size : {size_t{100}, size_t{0}}) {
        cut.ProgramData.resize(size);
        const CImageDifferences f = FindDifferences(whole, cut);
        EXPECT_EQ(whole.CompareImage(cut), 1);
        EXPECT_EQ(f.Flags, whole.VerifyFlags);
        EXPECT_TRUE(f.Program.Found);
        EXPECT_EQ(f.Program.Index, size / 2);
    }
}

TEST(BlankCounts, CountWhatIsNotErasedByTheCompareRules) {
    CDeviceList d;
    ASSERT_TRUE(Load(d, "PIC12F675"));
    ASSERT_NE(d.CalAddress, 0);
    CBlankCounts c = CountNonBlank(d, true);
    EXPECT_EQ(c.ProgramUsed, 0U);
    EXPECT_EQ(c.EepromUsed, 0U);
    EXPECT_TRUE(c.UserIdBlank);

    // The calibration word counts only when it is asked for.
    d.ProgramData[2 * d.CalAddress] = 0x80;
    d.ProgramData[2 * d.CalAddress + 1] = 0x34;
    d.ProgramData[2 * 0x10] = 0x00;
    d.ProgramData[2 * 0x20] = 0x00;
    c = CountNonBlank(d, true);
    EXPECT_TRUE(c.CalibrationWordSkipped);
    EXPECT_EQ(c.ProgramUsed, 2U);
    EXPECT_EQ(c.FirstProgramUsed, 0x10U);
    c = CountNonBlank(d, false);
    EXPECT_FALSE(c.CalibrationWordSkipped);
    EXPECT_EQ(c.ProgramUsed, 3U);

    d.EepromData[0] = 0;
    d.EepromData[127] = 0xFE;
    EXPECT_EQ(CountNonBlank(d, true).EepromUsed, 2U);

    // A user ID is blank exactly when it compares equal to a blank one.
    CDeviceList blank;
    ASSERT_TRUE(Load(blank, "PIC12F675"));
    d.UserId[3] = 0x3FFF; // a 14-bit ID word read back: only its low four bits count
    EXPECT_TRUE(CountNonBlank(d, true).UserIdBlank);
    EXPECT_FALSE(FindDifferences(d, blank).UserId.Found);
    d.UserId[3] = 0x3FFE;
    EXPECT_FALSE(CountNonBlank(d, true).UserIdBlank);
    EXPECT_TRUE(FindDifferences(d, blank).UserId.Found);
}

TEST(ConfigLabels, DefaultWordNamesItsNamedBitsOnly) {
    CDeviceList d;
    EXPECT_EQ(ConfigWordName(d.CoreWidth, 0), "CONFIG1");
    const std::vector<CConfigBitLabel> labels = ConfigBitLabels(d, 0);
    std::string names;
    for (const CConfigBitLabel& l : labels) {
        names += l.Name + "@" + std::to_string(l.Bit) + (l.Protect ? "p " : " ");
    }
    EXPECT_EQ(names,
              "CP@13p DEBUG@11 WRT1@10 WRT0@9 CPD@8p LVD@7 BOREN@6 *PWRTEN@3 WDTEN@2 FOSC1@1 FOSC0@0 ");
    EXPECT_TRUE(ConfigBitLabels(d, 1).empty()) << "no second word";

    CPicDevice cal;
    cal.CoreWidth = kCoreMidRange;
    cal.ConfigLegend = "[cBG1][pFOO][x][-][CP]";
    cal.ParseLegend();
    const std::vector<CConfigBitLabel> c = ConfigBitLabels(cal, 0);
    ASSERT_EQ(c.size(), 3U);
    EXPECT_EQ(c[0].Name, "BG1");
    EXPECT_TRUE(c[0].Calibration);
    EXPECT_EQ(c[1].Name, "FOO") << "a leading p is not shown";
    EXPECT_EQ(c[2].Name, "CP");
    EXPECT_EQ(c[2].Bit, 9);

    EXPECT_EQ(ConfigWordName(kCorePic18, 0), "CONFIG1L");
    EXPECT_EQ(ConfigWordName(kCorePic18, 1), "CONFIG1H");
    EXPECT_EQ(ConfigWordName(kCorePic18, 13), "CONFIG7H");
}

TEST(ConfigLabels, MatchTheLegendMasksAndTheGridWalkOnEveryCatalogueEntry) {
    for (const std::string& name : CatalogueDevices()) {
        CDeviceList d;
        ASSERT_TRUE(Load(d, name)) << name;
        int index = 0;
        for (int w = 0; w < d.ConfigWordCount(); ++w) {
            uint32_t named = 0;
            uint32_t protect = 0;
            uint32_t calibration = 0;
            const std::vector<CConfigBitLabel> labels = ConfigBitLabels(d, w);
            for (const CConfigBitLabel& l : labels) {
                named |= 1U << l.Bit;
                protect |= l.Protect ? 1U << l.Bit : 0;
                calibration |= l.Calibration ? 1U << l.Bit : 0;
            }
            EXPECT_EQ(named, d.ConfigNamedMask[w]) << name << " word " << w;
            EXPECT_EQ(protect, d.ConfigProtectMask[w]) << name << " word " << w;
            EXPECT_EQ(calibration, d.ConfigCalMask[w]) << name << " word " << w;
            // The names are the grid's: NextLegendToken with its p/c removed.
            size_t next = 0;
            for (int b = d.CoreWidth - 1; b >= 0; --b) {
                const std::string token = d.NextLegendToken(index++);
                if (next < labels.size() && labels[next].Bit == b) {
                    EXPECT_EQ(labels[next].Name, LegendLabel(token)) << name;
                    ++next;
                }
            }
        }
    }
}

} // namespace
