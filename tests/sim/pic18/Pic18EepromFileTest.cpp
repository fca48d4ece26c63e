#include "Icsp.h"

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

namespace {

CPic18Chip MakeChip(const char* name, ESimTiming timing = ESimTiming::Typical) {
    return CPic18Chip(*FindPic18Model(name), timing);
}

constexpr uint8_t kWrBit = 0x02;

TEST(Pic18Eeprom, WriteNeedsTheUnlockWhereTheFamilyDoes) {
    struct CCase {
        const char* Device;
        bool Unlock;
        bool Written;
    };
    const CCase cases[] = {
        {"PIC18F452", true, true},    {"PIC18F452", false, false}, {"PIC18F1320", true, true},
        {"PIC18F1320", false, false}, {"PIC18F2550", true, true},  {"PIC18F2550", false, true},
    };
    for (const CCase& c : cases) {
        CPic18Chip chip = MakeChip(c.Device);
        CIcsp icsp(chip);
        icsp.Enter();
        icsp.StartEepromWrite(0x42, 0x99, c.Unlock);
        const uint8_t early = icsp.Eecon1();
        icsp.Wait(chip.Family().EepromWrite.Typical);
        const uint8_t late = icsp.Eecon1();
        const std::string what = std::string(c.Device) + (c.Unlock ? " with unlock" : " without unlock");
        EXPECT_EQ((early & kWrBit) != 0, c.Written) << what;
        EXPECT_EQ(late & kWrBit, 0) << what;
        EXPECT_EQ(chip.EepromByte(0x42), c.Written ? 0x99 : 0xFF) << what;
        EXPECT_EQ(icsp.ReadEeprom(0x42), c.Written ? 0x99 : 0xFF) << what;
        EXPECT_EQ(chip.Pic18Counters().UnlockFailures, c.Written ? 0u : 1u) << what;
        EXPECT_EQ(chip.Pic18Counters().EepromWrites, c.Written ? 1u : 0u) << what;
    }
}

TEST(Pic18Eeprom, WrStaysSetForTheWriteTimeOfTheTimingMode) {
    for (const ESimTiming timing : {ESimTiming::Typical, ESimTiming::Strict}) {
        CPic18Chip chip = MakeChip("PIC18F252", timing);
        const uint32_t time = timing == ESimTiming::Typical ? chip.Family().EepromWrite.Typical
                                                            : chip.Family().EepromWrite.Strict;
        CIcsp icsp(chip);
        icsp.Enter();
        icsp.StartEepromWrite(7, 0x12, true);
        const uint64_t start = icsp.Now();
        int polls = 0;
        while ((icsp.Eecon1() & kWrBit) != 0 && polls < 100000) {
            ++polls;
            icsp.Wait(100);
        }
        EXPECT_GT(polls, 2);
        EXPECT_GE(icsp.Now() - start, time);
        EXPECT_LT(icsp.Now() - start, time + 200);
        EXPECT_EQ(chip.EepromByte(7), 0x12);
        EXPECT_EQ(chip.EepromCellWrites(7), 1u);
    }
}

TEST(Pic18Eeprom, RefusedWritesAndAWriteCutByLeavingProgrammingMode) {
    CPic18Chip chip = MakeChip("PIC18F4520");
    CIcsp icsp(chip);
    icsp.Enter();
    // A second write while the first runs.
    icsp.StartEepromWrite(1, 0x01, false);
    icsp.StartEepromWrite(2, 0x02, false);
    icsp.Wait(5000);
    icsp.Instr(kNop); // the chip sees the time pass at its next command
    EXPECT_EQ(chip.EepromByte(1), 0x01);
    EXPECT_EQ(chip.EepromByte(2), 0xFF);
    EXPECT_EQ(chip.Pic18Counters().EepromWritesRefused, 1u);
    // Without WREN.
    icsp.Instr(kBcfWren);
    icsp.Instr(kBsfWr);
    EXPECT_EQ(chip.Pic18Counters().EepromWritesRefused, 2u);
    // EEPGD set: not an EEPROM write.
    icsp.Instr(kBsfEepgd);
    icsp.Instr(kBsfWren);
    icsp.Instr(kBsfWr);
    EXPECT_EQ(chip.Pic18Counters().EepromWritesRefused, 3u);
    icsp.Wait(5000);
    icsp.Instr(kNop);
    EXPECT_EQ(chip.Pic18Counters().EepromWrites, 1u);
    // Reset while writing: the byte keeps its old value.
    icsp.StartEepromWrite(4, 0x04, false);
    icsp.Exit();
    EXPECT_EQ(chip.EepromByte(4), 0xFF);
    EXPECT_EQ(chip.Pic18Counters().EepromWritesLost, 1u);
    // A stuck EEPROM cell keeps its value.
    chip.SetStuckEepromCell(9);
    icsp.Enter();
    icsp.StartEepromWrite(9, 0x00, false);
    icsp.Wait(5000);
    EXPECT_EQ(icsp.ReadEeprom(9), 0xFF);
}

TEST(Pic18Eeprom, UnlockMustComeRightBeforeWr) {
    CPic18Chip chip = MakeChip("PIC18F452");
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.StartEepromWrite(0x10, 0x77, false);
    icsp.Instr(Movlw(0x55));
    icsp.Instr(kMovwfEecon2);
    icsp.Instr(Movlw(0xAA));
    icsp.Instr(kMovwfEecon2);
    icsp.Instr(kNop); // breaks the sequence
    icsp.Instr(kBsfWr);
    icsp.Instr(Movlw(0xAA)); // AAh without 55h before it
    icsp.Instr(kMovwfEecon2);
    icsp.Instr(kBsfWr);
    icsp.Wait(20000);
    EXPECT_EQ(chip.EepromByte(0x10), 0xFF);
    EXPECT_EQ(chip.Pic18Counters().UnlockFailures, 3u);
}

TEST(Pic18File, SaveAndLoadRoundTrip) {
    CTempDir dir;
    CPic18Chip chip = MakeChip("PIC18F2455");
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.LoadAndProgram(0x5FE0, Pattern(32, 9), 1000);
    icsp.LoadAndProgram(kPic18IdAddress, {9, 8, 7, 6, 5, 4, 3, 2}, 1000);
    icsp.ProgramConfig(0, 0x24, 1000);
    icsp.StartEepromWrite(0xFF, 0x5A, false);
    icsp.Wait(5000);
    icsp.Exit();
    chip.SetDeviceId(0x1265);
    const std::string path = dir.File("chip.txt");
    ASSERT_TRUE(chip.SaveToFile(path));
    // The frame every simulated chip's file shares: header, then the model.
    EXPECT_EQ(ReadWholeFile(path).rfind("KVX3 simulated chip 1\nmodel PIC18F2455\n", 0), 0u);

    CPic18Chip copy = MakeChip("PIC18F2455");
    ASSERT_TRUE(copy.LoadFromFile(path));
    for (uint32_t a = 0; a < chip.Model().ProgramBytes; ++a) {
        ASSERT_EQ(copy.ProgramByte(a), chip.ProgramByte(a)) << a;
    }
    for (int i = 0; i < kPic18IdBytes; ++i) {
        EXPECT_EQ(copy.IdByte(i), chip.IdByte(i));
    }
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
        EXPECT_EQ(copy.ConfigByte(i), chip.ConfigByte(i));
    }
    EXPECT_EQ(copy.EepromByte(0xFF), 0x5A);
    EXPECT_EQ(copy.DeviceIdWord(), 0x1265);
    // A loaded chip reads like the saved one over ICSP.
    CIcsp c(copy);
    c.Enter();
    EXPECT_EQ(c.ReadBlock(0x5FE0, 32), Pattern(32, 9));
}

TEST(Pic18File, AReadOnlyChipFileIsNotOverwritten) {
    namespace fs = std::filesystem;
    CTempDir dir;
    CPic18Chip chip = MakeChip("PIC18F452");
    const std::string path = dir.File("chip.txt");
    ASSERT_TRUE(chip.SaveToFile(path));
    const std::string blank = ReadWholeFile(path);
    fs::permissions(path, fs::perms::owner_read);
    chip.SetEepromByte(0x10, 0x42);
    EXPECT_FALSE(chip.SaveToFile(path));
    EXPECT_EQ(ReadWholeFile(path), blank);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(chip.SaveToFile(path));
    CPic18Chip copy = MakeChip("PIC18F452");
    ASSERT_TRUE(copy.LoadFromFile(path));
    EXPECT_EQ(copy.EepromByte(0x10), 0x42);
#ifndef _WIN32 // Windows keeps a read-only attribute, not these bits
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
#endif
}

TEST(Pic18File, BadFilesAreRefusedAndChangeNothing) {
    CTempDir dir;
    const std::string head = "KVX3 simulated chip 1\nmodel PIC18F452\n";
    const std::string bad[] = {
        "",
        "nonsense\n",
        "KVX3 simulated chip 1\nmodel PIC18F2550\nend\n",            // another model
        head + "program 000000 0011\n",                              // no end
        head + "program 000000 001\nend\n",                          // odd digits
        head + "program 007FFF 0011\nend\n",                         // past the end
        head + "program FFFFFFFF 00\nend\n",                         // offset too long
        head + "program 000000 00GG\nend\n",                         // not hex
        head + "config 00000D 0000\nend\n",                          // past the 14 bytes
        head + "eeprom 000000\nend\n",                               // no data
        head + "deviceid 12345\nend\n",                              // too many digits
        head + "flash 000000 00\nend\n",                             // unknown region
        head + "end\nprogram 000000 00\n",                           // data after end
        "KVX3 simulated chip 1\nprogram 000000 00\nend\n",           // data before model
        head + "program 000000 " + std::string(66, '0') + "\nend\n", // line too long
    };
    CPic18Chip chip = MakeChip("PIC18F452");
    chip.SetProgramByte(0, 0x42);
    int n = 0;
    for (const std::string& text : bad) {
        const std::string path = dir.Write("bad" + std::to_string(n++) + ".txt", text);
        EXPECT_FALSE(chip.LoadFromFile(path)) << text;
        EXPECT_EQ(chip.ProgramByte(0), 0x42) << text;
    }
    EXPECT_FALSE(chip.LoadFromFile(dir.File("missing.txt")));
    // CR LF line ends, comments and unimplemented configuration bits are tolerated.
    const std::string path = dir.Write("good.txt", "KVX3 simulated chip 1\r\nmodel PIC18F452\r\n"
                                                   "# saved by hand\r\n  config 000000 FFFF  # both bytes\r\n"
                                                   "program 007FFE 0102\r\nend\r\n");
    EXPECT_TRUE(chip.LoadFromFile(path));
    EXPECT_EQ(chip.ConfigByte(0), 0x00);
    EXPECT_EQ(chip.ConfigByte(1), 0x27);
    EXPECT_EQ(chip.ProgramByte(0x7FFF), 0x02);
    EXPECT_EQ(chip.ProgramByte(0), 0xFF);
}

} // namespace
