// The dump texts at their edges: partial last lines, other cores, no
// EEPROM, and addresses wider than five digits.
#include "MainWindowBench.h"

#include "device/PicDevice.h"
#include "ui/MemoryDump.h"

#include <gtest/gtest.h>

namespace {

void MakeImage(CPicDevice& d, int32_t core, size_t programBytes, size_t eepromBytes) {
    d.CoreWidth = core;
    d.ProgramBytes = static_cast<uint32_t>(programBytes);
    d.ProgramData.assign(programBytes, 0);
    for (size_t i = 0; i < programBytes; ++i) {
        d.ProgramData[i] = static_cast<uint8_t>(i);
    }
    d.EepromSize = static_cast<uint32_t>(eepromBytes);
    d.EepromData.assign(eepromBytes, 0xA5);
}

} // namespace

TEST(MemoryDump, APartialLastLineShowsOnlyWhatTheImageHolds) {
    CPicDevice d;
    MakeImage(d, kCorePic18, 16 + 5, 8 + 3);
    const std::vector<std::string> program = DumpLines(FormatProgramDump(d));
    ASSERT_EQ(program.size(), 2u);
    EXPECT_EQ(program[0], "00000 : 0100 0302 0504 0706 0908 0B0A 0D0C 0F0E ");
    EXPECT_EQ(program[1], "00010 : 1110 1312 14 ") << "a lone last byte as two digits";
    const std::vector<std::string> eeprom = DumpLines(FormatEepromDump(d));
    ASSERT_EQ(eeprom.size(), 2u);
    EXPECT_EQ(eeprom[1], "00008 : A5 A5 A5 ");

    // A buffer shorter than the size it claims is not read beyond its end.
    d.ProgramBytes = 64;
    EXPECT_EQ(DumpLines(FormatProgramDump(d)).size(), 2u);
    d.EepromSize = 1000;
    EXPECT_EQ(DumpLines(FormatEepromDump(d)).size(), 2u);
}

TEST(MemoryDump, MidRangeAddressesCountWordsAndOtherCoresShowNothing) {
    CPicDevice d;
    MakeImage(d, kCoreMidRange, 48, 0);
    const std::vector<std::string> program = DumpLines(FormatProgramDump(d));
    ASSERT_EQ(program.size(), 3u);
    EXPECT_EQ(program[2].substr(0, 8), "00010 : ");
    EXPECT_EQ(FormatEepromDump(d), "") << "no EEPROM, no text";
    d.CoreWidth = 16;
    EXPECT_EQ(FormatProgramDump(d), "");
}

TEST(MemoryDump, AddressesBeyondFiveDigitsAreWrittenInFull) {
    CPicDevice d;
    MakeImage(d, kCorePic18, 0x100010, 0);
    const std::vector<std::string> program = DumpLines(FormatProgramDump(d));
    ASSERT_EQ(program.size(), 0x10001u);
    EXPECT_EQ(program[0xFFFF].substr(0, 8), "FFFF0 : ");
    EXPECT_EQ(program.back(), "100000 : 0100 0302 0504 0706 0908 0B0A 0D0C 0F0E ");
}
