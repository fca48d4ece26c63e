#include "Icsp.h"

#include <gtest/gtest.h>

namespace {

CPic18Chip MakeChip(const char* name, ESimTiming timing = ESimTiming::Typical) {
    return CPic18Chip(*FindPic18Model(name), timing);
}

// Puts something in every region, so an erase shows what it cleared.
void Fill(CPic18Chip& chip) {
    for (uint32_t a = 0; a < chip.Model().ProgramBytes; a += 0x100) {
        chip.SetProgramByte(a, 0x12);
    }
    for (int i = 0; i < kPic18IdBytes; ++i) {
        chip.SetIdByte(i, static_cast<uint8_t>(i));
    }
    chip.SetConfigByte(2, 0x00);
    chip.SetEepromByte(5, 0x55);
}

TEST(Pic18Config, EvenAndOddBytesAndImplementedBitsOnly) {
    CPic18Chip chip = MakeChip("PIC18F452");
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.ProgramConfig(2, 0x05, 1000); // CONFIG2L: four bits implemented
    icsp.ProgramConfig(3, 0xF2, 1000); // CONFIG2H: the odd byte of the word
    EXPECT_EQ(chip.ConfigByte(2), 0x05);
    EXPECT_EQ(chip.ConfigByte(3), 0x02);
    icsp.ProgramConfig(0, 0xFF, 1000); // CONFIG1L has no bits
    EXPECT_EQ(icsp.ReadBlock(kPic18ConfigAddress, 4), (std::vector<uint8_t>{0x00, 0x27, 0x05, 0x02}));
    // A start-programming at an even address ignores the operand's high byte.
    icsp.SetTblptr(kPic18ConfigAddress + 2);
    icsp.Cmd(0xF, 0x000F);
    icsp.Hold(0xF0, 1000);
    EXPECT_EQ(chip.ConfigByte(2), 0x0F);
    EXPECT_EQ(chip.ConfigByte(3), 0x02);
    // Too short a hold leaves the byte.
    icsp.ProgramConfig(2, 0x00, 999);
    EXPECT_EQ(chip.ConfigByte(2), 0x0F);
}

TEST(Pic18Config, OrdinaryBytesRewriteProtectionBytesOnlyClear) {
    CPic18Chip chip = MakeChip("PIC18F2455");
    EXPECT_EQ(chip.ConfigByte(0), 0x00); // blank value with implemented zeros
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.ProgramConfig(0, 0x24, 1000);
    icsp.ProgramConfig(6, 0xC5, 1000); // CONFIG4L: XINST on
    EXPECT_EQ(chip.ConfigByte(0), 0x24);
    EXPECT_EQ(chip.ConfigByte(6), 0xC5);
    icsp.ProgramConfig(0, 0x03, 1000);
    EXPECT_EQ(chip.ConfigByte(0), 0x03);
    // CONFIG5L: CP bits clear, then cannot be set by programming.
    icsp.ProgramConfig(8, 0x05, 1000);
    icsp.ProgramConfig(8, 0x07, 1000);
    EXPECT_EQ(chip.ConfigByte(8), 0x05);
    // The unlisted ICPRT bit of the 2455 stays 0; the 4550 has it.
    icsp.ProgramConfig(6, 0xE5, 1000);
    EXPECT_EQ(chip.ConfigByte(6), 0xC5);
    CPic18Chip usb = MakeChip("PIC18F4550");
    CIcsp u(usb);
    u.Enter();
    u.ProgramConfig(6, 0xE5, 1000);
    EXPECT_EQ(usb.ConfigByte(6), 0xE5);
}

TEST(Pic18Config, IdLocations) {
    for (const char* name : {"PIC18F242", "PIC18F1220", "PIC18F2520"}) {
        CPic18Chip chip = MakeChip(name);
        CIcsp icsp(chip);
        icsp.Enter();
        icsp.PanelMode(0x00);
        const std::vector<uint8_t> ids = {1, 2, 3, 4, 5, 6, 7, 8};
        icsp.LoadAndProgram(kPic18IdAddress, ids, 1000);
        EXPECT_EQ(icsp.ReadBlock(kPic18IdAddress, 10), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 0, 0}))
            << name;
        EXPECT_EQ(chip.ProgramByte(0), 0xFF) << name;
        EXPECT_EQ(chip.CellWrites(kPic18IdAddress + 7), 1u) << name;
    }
}

struct CEraseCase {
    const char* Device;
    uint16_t Key;
    bool Code, Boot, Ids, Config, Eeprom;
};

TEST(Pic18Erase, EachKeyErasesItsRegions) {
    const CEraseCase cases[] = {
        // Fxx2: one byte names one erase.
        {"PIC18F452", 0x0080, true, true, true, true, true},
        {"PIC18F452", 0x0081, false, false, false, false, true},
        {"PIC18F452", 0x0083, false, true, false, false, false},
        {"PIC18F452", 0x0087, false, false, false, false, false}, // the F2xxx key: nothing
        {"PIC18F1220", 0x0080, true, true, true, true, true},
        {"PIC18F1220", 0x0081, false, false, false, false, true},
        // F2xxx: each key bit adds a region, bit 7 of 3C0004 enables.
        {"PIC18F4550", 0x3F8F, true, true, true, true, true},
        {"PIC18F4550", 0x0F87, true, true, false, true, true},
        {"PIC18F4550", 0x0084, false, false, false, false, true},
        {"PIC18F4550", 0x0081, false, true, false, false, false},
        {"PIC18F4550", 0x0082, false, false, false, true, false},
        {"PIC18F4550", 0x0088, false, false, true, false, false},
        {"PIC18F4550", 0x0080, false, false, false, false, false}, // the Fxx2 chip key
        {"PIC18F4550", 0x3F0F, false, false, false, false, false}, // no enable bit
    };
    for (const CEraseCase& c : cases) {
        CPic18Chip chip = MakeChip(c.Device);
        Fill(chip);
        CIcsp icsp(chip);
        icsp.Enter();
        icsp.BulkErase(c.Key, chip.Family().HasEraseKeyHigh, 5000);
        const std::string what = std::string(c.Device) + " key " + std::to_string(c.Key);
        EXPECT_EQ(chip.ProgramByte(0x0F00) == 0xFF, c.Code) << what;
        EXPECT_EQ(chip.ProgramByte(0x0000) == 0xFF, c.Boot) << what;
        EXPECT_EQ(chip.IdByte(3) == 0xFF, c.Ids) << what;
        EXPECT_EQ(chip.ConfigByte(2) != 0x00, c.Config) << what;
        EXPECT_EQ(chip.EepromByte(5) == 0xFF, c.Eeprom) << what;
        const bool any = c.Code || c.Boot || c.Ids || c.Config || c.Eeprom;
        EXPECT_EQ(chip.Pic18Counters().EraseCycles, any ? 1u : 0u) << what;
        EXPECT_EQ(chip.Pic18Counters().EraseKeysUnknown, any ? 0u : 1u) << what;
    }
}

TEST(Pic18Erase, BlockAndPanelKeysEraseOneRange) {
    CPic18Chip fl = MakeChip("PIC18F2550");
    Fill(fl);
    CIcsp a(fl);
    a.Enter();
    a.BulkErase(0x0280, true, 5000); // block 1: 0x2000..0x3FFF
    EXPECT_EQ(fl.ProgramByte(0x1F00), 0x12);
    EXPECT_EQ(fl.ProgramByte(0x2000), 0xFF);
    EXPECT_EQ(fl.ProgramByte(0x3F00), 0xFF);
    EXPECT_EQ(fl.ProgramByte(0x4000), 0x12);

    CPic18Chip fj = MakeChip("PIC18F252");
    Fill(fj);
    CIcsp b(fj);
    b.Enter();
    b.BulkErase(0x008A, false, 5000); // panel 3: 0x4000..0x5FFF
    EXPECT_EQ(fj.ProgramByte(0x3F00), 0x12);
    EXPECT_EQ(fj.ProgramByte(0x4000), 0xFF);
    EXPECT_EQ(fj.ProgramByte(0x6000), 0x12);
    EXPECT_EQ(fj.EepromByte(5), 0x55);
}

TEST(Pic18Erase, NeedsItsHoldTime) {
    for (const ESimTiming timing : {ESimTiming::Typical, ESimTiming::Strict}) {
        for (const char* name : {"PIC18F452", "PIC18F2520"}) {
            CPic18Chip chip = MakeChip(name, timing);
            const CPic18FamilyParams& f = chip.Family();
            const uint32_t need = timing == ESimTiming::Typical ? f.P11.Typical : f.P11.Strict;
            const uint16_t key = f.HasEraseKeyHigh ? 0x3F8F : 0x0080;
            Fill(chip);
            CIcsp icsp(chip);
            icsp.Enter();
            icsp.BulkErase(key, f.HasEraseKeyHigh, need - 1);
            EXPECT_EQ(chip.ProgramByte(0x100), 0x12) << name;
            EXPECT_EQ(chip.Pic18Counters().EraseTooShort, 1u) << name;
            // An erase hold without a key written first erases nothing.
            icsp.Hold(0x00, need);
            EXPECT_EQ(chip.ProgramByte(0x100), 0x12) << name;
            icsp.BulkErase(key, f.HasEraseKeyHigh, need);
            EXPECT_EQ(chip.ProgramByte(0x100), 0xFF) << name;
        }
    }
}

TEST(Pic18Protect, CodeProtectedBlocksReadZeroUntilChipErase) {
    CPic18Chip chip = MakeChip("PIC18F252");
    for (uint32_t a : {0x0010u, 0x0300u, 0x2300u, 0x4300u}) {
        chip.SetProgramByte(a, 0xA5);
    }
    chip.SetEepromByte(0, 0x3C);
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.ProgramConfig(8, 0x0E, 1000);             // CP0 on
    icsp.ProgramConfig(9, 0x40, 1000);             // CPD on, CPB off
    EXPECT_EQ(icsp.ReadBlock(0x0010, 1)[0], 0xA5); // boot block
    EXPECT_EQ(icsp.ReadBlock(0x0300, 1)[0], 0x00); // block 0
    EXPECT_EQ(icsp.ReadBlock(0x2300, 1)[0], 0xA5);
    EXPECT_EQ(icsp.ReadEeprom(0), 0x00);
    icsp.ProgramConfig(9, 0x00, 1000); // CPB on as well
    EXPECT_EQ(icsp.ReadBlock(0x0010, 1)[0], 0x00);
    EXPECT_EQ(icsp.ReadBlock(kPic18ConfigAddress + 8, 2), (std::vector<uint8_t>{0x0E, 0x00}));
    // Programming cannot lift protection; a chip erase does.
    icsp.ProgramConfig(8, 0x0F, 1000);
    EXPECT_EQ(icsp.ReadBlock(0x0300, 1)[0], 0x00);
    icsp.BulkErase(0x80, false, 5000);
    EXPECT_EQ(icsp.ReadBlock(0x0300, 1)[0], 0xFF);
    EXPECT_EQ(icsp.ReadBlock(kPic18ConfigAddress + 8, 2), (std::vector<uint8_t>{0x0F, 0xC0}));
    EXPECT_EQ(icsp.ReadEeprom(0), 0xFF);
}

TEST(Pic18Protect, BlockEraseLiftsThatBlocksProtectionOnly) {
    CPic18Chip chip = MakeChip("PIC18F4520");
    chip.SetProgramByte(0x0900, 0x11);
    chip.SetProgramByte(0x2100, 0x22);
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.ProgramConfig(8, 0x0C, 1000); // CP0 and CP1 on
    icsp.BulkErase(0x0180, true, 5000);
    EXPECT_EQ(chip.ConfigByte(8), 0x0D);
    EXPECT_EQ(icsp.ReadBlock(0x0900, 1)[0], 0xFF);
    EXPECT_EQ(icsp.ReadBlock(0x2100, 1)[0], 0x00);
    EXPECT_EQ(chip.ProgramByte(0x2100), 0x22);
}

} // namespace
