// Bulk, chip and row erases per family, what survives them, and code
// protection: what a protected chip shows and which erase lifts it.
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

using simtest::CBench;
using simtest::CPacket;

namespace {

// Fills program memory, IDs and EEPROM with non-blank values.
void Use(CMidRangeChip& chip) {
    for (size_t i = 0; i < chip.RegionSize(EMidRegion::Program); ++i) {
        chip.Poke(EMidRegion::Program, i, 0x0123);
    }
    for (size_t i = 0; i < 4; ++i) {
        chip.Poke(EMidRegion::UserId, i, 0x0005);
    }
    for (size_t i = 0; i < chip.RegionSize(EMidRegion::Eeprom); ++i) {
        chip.Poke(EMidRegion::Eeprom, i, 0x42);
    }
}

void Protect(CMidRangeChip& chip, bool code, bool data) {
    uint16_t config = chip.Peek(EMidRegion::Config, 0);
    if (code) {
        config = static_cast<uint16_t>(config & ~chip.Device().ProtectMask);
    }
    if (data) {
        config = static_cast<uint16_t>(config & ~chip.Device().DataProtectMask);
    }
    chip.Poke(EMidRegion::Config, 0, config);
}

bool Blank(const CMidRangeChip& chip, EMidRegion region) {
    for (size_t i = 0; i < chip.RegionSize(region); ++i) {
        if (chip.Peek(region, i) != (region == EMidRegion::Eeprom ? 0xFF : 0x3FFF)) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(MidRangeErase, F629BulkEraseTakesOscCalAndBandGapBits) {
    CBench b("PIC12F629");
    CMidRangeChip& chip = b.Chip();
    EXPECT_EQ(chip.Peek(EMidRegion::Program, 0x3FF), 0x3450) << "factory RETLW";
    EXPECT_EQ(chip.Peek(EMidRegion::Config, 0), 0x21FF) << "factory band-gap bits 10";
    Use(chip);
    Protect(chip, false, true);
    b.Enter();
    b.Send(CPacket().LoadConfig(0x3FFF).Cmd(0x09).WaitMs(10));
    b.Link.Exit();
    EXPECT_EQ(chip.Peek(EMidRegion::Program, 0x3FF), 0x3FFF);
    EXPECT_EQ(chip.Peek(EMidRegion::Config, 0), 0x31FF);
    EXPECT_TRUE(Blank(chip, EMidRegion::UserId));
    EXPECT_TRUE(Blank(chip, EMidRegion::Eeprom)) << "CPD was set, so the EEPROM goes too";
    // From program space the IDs stay; without CPD the EEPROM stays.
    Use(chip);
    b.Enter();
    b.Send(CPacket().LoadProgram(0x3FFF).Cmd(0x09).WaitMs(10));
    b.Link.Exit();
    EXPECT_TRUE(Blank(chip, EMidRegion::Program));
    EXPECT_EQ(chip.Peek(EMidRegion::UserId, 0), 0x0005);
    EXPECT_EQ(chip.Peek(EMidRegion::Eeprom, 0), 0x42);
}

TEST(MidRangeErase, CalibrationWordSurvivesUnlessThePcIsOnIt) {
    struct Case {
        const char* Model;
        unsigned Increments; // from 0x2000 to the calibration word
    };
    for (const Case& c : {Case{"PIC12F683", 8}, Case{"PIC16F886", 9}}) {
        CBench b(c.Model);
        CMidRangeChip& chip = b.Chip();
        const uint16_t factory = chip.Peek(EMidRegion::Calibration, 0);
        ASSERT_NE(factory, 0x3FFF);
        Use(chip);
        Protect(chip, true, false);
        b.Enter();
        b.Send(CPacket().LoadConfig(0x3FFF).Cmd(0x09).WaitMs(10));
        b.Link.Exit();
        EXPECT_TRUE(Blank(chip, EMidRegion::Program)) << c.Model;
        EXPECT_FALSE(chip.CodeProtected()) << c.Model;
        EXPECT_EQ(chip.Peek(EMidRegion::Calibration, 0), factory) << c.Model;
        b.Enter();
        b.Send(CPacket().LoadConfig(0x3FFF).Inc(c.Increments).Cmd(0x09).WaitMs(10));
        b.Link.Exit();
        EXPECT_EQ(chip.Peek(EMidRegion::Calibration, 0), 0x3FFF) << c.Model;
    }
    // Both configuration words of the 16F886 are erased.
    CBench i("PIC16F886");
    i.Chip().Poke(EMidRegion::Config, 1, 0x0000);
    i.Enter();
    i.Send(CPacket().LoadConfig().Cmd(0x09).WaitMs(10));
    EXPECT_EQ(i.ReadWord(), 0x3FFF) << "0x2000 reads erased";
    i.Link.Exit();
    EXPECT_EQ(i.Chip().Peek(EMidRegion::Config, 1), 0x3FFF);
}

TEST(MidRangeErase, F628ABulkEraseClearsProtectionOnlyFromConfigurationSpace) {
    CBench b("PIC16F628A");
    CMidRangeChip& chip = b.Chip();
    Use(chip);
    Protect(chip, true, true);
    b.Enter();
    EXPECT_EQ(b.ReadWord(), 0) << "protected program memory reads 0";
    EXPECT_EQ(b.ReadWord(0x05) & 0xFF, 0) << "protected EEPROM reads 0";
    b.Send(CPacket().LoadProgram(0x3FFF).Cmd(0x09).WaitMs(10));
    b.Link.Exit();
    EXPECT_TRUE(Blank(chip, EMidRegion::Program));
    EXPECT_TRUE(chip.CodeProtected()) << "from program space only program memory is erased";
    b.Enter();
    b.Send(CPacket().LoadConfig().Cmd(0x09).WaitMs(10));
    b.Link.Exit();
    EXPECT_FALSE(chip.CodeProtected());
    EXPECT_FALSE(chip.DataProtected());
    EXPECT_TRUE(Blank(chip, EMidRegion::UserId));
    EXPECT_TRUE(Blank(chip, EMidRegion::Eeprom));
}

TEST(MidRangeErase, F877AProtectionYieldsOnlyToChipErase) {
    CBench b("PIC16F877A");
    CMidRangeChip& chip = b.Chip();
    Use(chip);
    Protect(chip, true, true);
    b.Enter();
    b.Send(CPacket().LoadProgram(0x3FFF).Cmd(0x09).Cmd(0x08).WaitMs(10));
    b.Send(CPacket().LoadData(0xFF).Cmd(0x0B).Cmd(0x08).WaitMs(10));
    b.Link.Exit();
    EXPECT_EQ(chip.Peek(EMidRegion::Program, 0), 0x0123) << "bulk erase refuses a protected part";
    EXPECT_EQ(chip.Peek(EMidRegion::Eeprom, 0), 0x42);
    // Chip erase from program space keeps the IDs ...
    b.Enter();
    b.Send(CPacket().Cmd(0x1F).WaitMs(10));
    b.Link.Exit();
    EXPECT_TRUE(Blank(chip, EMidRegion::Program));
    EXPECT_TRUE(Blank(chip, EMidRegion::Eeprom));
    EXPECT_FALSE(chip.CodeProtected());
    EXPECT_EQ(chip.Peek(EMidRegion::UserId, 0), 0x0005);
    // ... from configuration space it takes them too.
    b.Enter();
    b.Send(CPacket().LoadConfig(0x3FFF).Cmd(0x1F).WaitMs(10));
    b.Link.Exit();
    EXPECT_TRUE(Blank(chip, EMidRegion::UserId));
    // Unprotected, 0x09 selects the erase and 0x08 runs it; 0x09 alone does nothing.
    Use(chip);
    b.Enter();
    b.Send(CPacket().Cmd(0x09).WaitMs(10).Inc());
    EXPECT_EQ(chip.Peek(EMidRegion::Program, 0), 0x0123);
    b.Send(CPacket().Cmd(0x09).Cmd(0x08).WaitMs(10).Inc());
    EXPECT_TRUE(Blank(chip, EMidRegion::Program));
    EXPECT_EQ(chip.Peek(EMidRegion::UserId, 0), 0x0005);
}

TEST(MidRangeErase, F84ANeedsTheSetupSequenceAtTheConfigurationWord) {
    CBench b("PIC16F84A");
    CMidRangeChip& chip = b.Chip();
    Use(chip);
    Protect(chip, true, false);
    b.Enter();
    b.Send(CPacket().LoadProgram(0x3FFF).Cmd(0x09).Cmd(0x08).WaitMs(10));
    b.Send(CPacket().Cmd(0x01).Cmd(0x07).Cmd(0x08).WaitMs(10).Cmd(0x01).Cmd(0x07));
    b.Link.Exit();
    EXPECT_EQ(chip.Peek(EMidRegion::Program, 0), 0x0123) << "neither erase works on a protected part";
    // 0x01 and 0x07 must be back to back; a plain 0x08 on the configuration
    // word cannot lift the CP bits.
    b.Enter();
    b.Send(CPacket().LoadConfig(0x3FFF).Inc(7).Cmd(0x01).Read(0x04).Cmd(0x07).Cmd(0x08).WaitMs(10));
    b.Link.Exit();
    EXPECT_TRUE(chip.CodeProtected());
    b.Enter();
    b.Send(CPacket().LoadConfig(0x3FFF).Inc(7));
    b.Send(CPacket().Cmd(0x01).Cmd(0x07).Cmd(0x08).WaitMs(10).Cmd(0x01).Cmd(0x07));
    b.Link.Exit();
    EXPECT_FALSE(chip.CodeProtected());
    EXPECT_TRUE(Blank(chip, EMidRegion::Program));
    EXPECT_TRUE(Blank(chip, EMidRegion::Eeprom));
    EXPECT_TRUE(Blank(chip, EMidRegion::UserId));
}

TEST(MidRangeErase, SlowErasesNeedTheirWholeTime) {
    struct Case {
        const char* Model;
        uint8_t Command;
        unsigned ShortMs, LongMs;
    };
    // 16F818 chip erase >= 8 ms; 16F77 chip erase (0x09) 30 ms; 16F716 bulk erase 6 ms max.
    for (const Case& c :
         {Case{"PIC16F818", 0x1F, 4, 9}, Case{"PIC16F77", 0x09, 10, 31}, Case{"PIC16F716", 0x09, 3, 7}}) {
        for (unsigned ms : {c.ShortMs, c.LongMs}) {
            CBench b(c.Model, ESimTiming::Strict);
            Use(b.Chip());
            b.Enter();
            CPacket p;
            p.LoadConfig(0x3FFF).Cmd(c.Command);
            for (unsigned left = ms; left > 0; left -= left >= 10 ? 10 : left) {
                p.WaitMs(left >= 10 ? 10 : left);
            }
            b.Send(p);
            b.Link.Exit();
            EXPECT_EQ(Blank(b.Chip(), EMidRegion::Program), ms == c.LongMs) << c.Model << " " << ms << " ms";
        }
    }
}

TEST(MidRangeErase, RowErasesTakeTheirRow) {
    CBench b("PIC16F88"); // 0x08 begins a 32-word row erase, ended by 0x17
    Use(b.Chip());
    b.Enter();
    b.Send(CPacket().Inc(20));
    b.Send(CPacket().Inc(20).Cmd(0x08).WaitMs(2).Cmd(0x17));
    b.Link.Exit();
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 31), 0x0123);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 32), 0x3FFF);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 63), 0x3FFF);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 64), 0x0123);
    CBench i("PIC16F883"); // 0x11 erases 16 words
    Use(i.Chip());
    i.Enter();
    i.Send(CPacket().Inc(17).Cmd(0x11).WaitMs(7).Inc());
    EXPECT_EQ(i.Chip().Peek(EMidRegion::Program, 15), 0x0123);
    EXPECT_EQ(i.Chip().Peek(EMidRegion::Program, 16), 0x3FFF);
    EXPECT_EQ(i.Chip().Peek(EMidRegion::Program, 32), 0x0123);
}

TEST(MidRangeProtection, F629KeepsOscCalReadableAndConfigurationIsNeverHidden) {
    CBench b("PIC12F629");
    Use(b.Chip());
    b.Chip().Poke(EMidRegion::Program, 0x3FF, 0x3480);
    Protect(b.Chip(), true, false);
    b.Enter();
    EXPECT_EQ(b.ReadWord(), 0);
    EXPECT_EQ(b.ReadWord(0x05) & 0xFF, 0x42) << "CPD not set";
    for (int i = 0; i < 0x3FF / 31; ++i) {
        b.Send(CPacket().Inc(31));
    }
    b.Send(CPacket().Inc(0x3FF % 31));
    EXPECT_EQ(b.ReadWord(), 0x3480);
    b.Send(CPacket().LoadConfig().Inc(7));
    EXPECT_EQ(b.ReadWord(), 0x217F);
    b.Send(CPacket().LoadConfig());
    EXPECT_EQ(b.ReadWord(), 0x0005);
}
