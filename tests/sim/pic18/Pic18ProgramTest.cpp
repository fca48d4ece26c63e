#include "Icsp.h"

#include <gtest/gtest.h>

namespace {

CPic18Chip MakeChip(const char* name, ESimTiming timing = ESimTiming::Typical) {
    const CPic18Model* model = FindPic18Model(name);
    EXPECT_NE(model, nullptr) << name;
    return CPic18Chip(model != nullptr ? *model : CPic18Model{}, timing);
}

TEST(Pic18Chip, FactoryKnowsEveryCatalogueDeviceAndNothingElse) {
    for (const CPic18Model& model : Pic18Models()) {
        std::unique_ptr<ISimChip> chip = MakePic18SimChip(model.Name, ESimTiming::Typical);
        ASSERT_NE(chip, nullptr) << model.Name;
        EXPECT_EQ(chip->Name(), model.Name);
        EXPECT_EQ(chip->CoreWidth(), 8);
        EXPECT_EQ(chip->PinCount(), model.PinCount);
    }
    EXPECT_EQ(MakePic18SimChip("PIC16F877A", ESimTiming::Typical), nullptr);
    EXPECT_EQ(MakePic18SimChip("pic18f452", ESimTiming::Typical), nullptr);
    EXPECT_EQ(MakePic18SimChip("", ESimTiming::Typical), nullptr);
}

TEST(Pic18Chip, TablePointerMovesWithEachReadCommand) {
    CPic18Chip chip = MakeChip("PIC18F452");
    for (uint32_t a = 0x100; a < 0x110; ++a) {
        chip.SetProgramByte(a, static_cast<uint8_t>(a));
    }
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.SetTblptr(0x000104);
    EXPECT_EQ(chip.TablePointer(), 0x000104u);
    EXPECT_EQ(icsp.Read(0x8), 0x04); // no move
    EXPECT_EQ(icsp.Read(0x9), 0x04); // post-increment
    EXPECT_EQ(icsp.Read(0x9), 0x05);
    EXPECT_EQ(icsp.Read(0xA), 0x06); // post-decrement
    EXPECT_EQ(chip.TablePointer(), 0x000105u);
    EXPECT_EQ(icsp.Read(0xB), 0x06); // pre-increment
    EXPECT_EQ(icsp.Read(0x2), 0x06); // TABLAT again
    // INCF TBLPTRL,F wraps the low byte alone.
    icsp.SetTblptr(0x0001FF);
    icsp.Instr(0x2AF6);
    EXPECT_EQ(chip.TablePointer(), 0x000100u);
    // Post-increment carries through all 22 bits.
    icsp.SetTblptr(0x00FFFF);
    icsp.Read(0x9);
    EXPECT_EQ(chip.TablePointer(), 0x010000u);
    icsp.SetTblptr(0x3FFFFF);
    icsp.Read(0x9);
    EXPECT_EQ(chip.TablePointer(), 0u);
    // Entering programming mode again resets the pointer.
    icsp.SetTblptr(0x1234);
    icsp.Exit();
    icsp.Enter();
    EXPECT_EQ(chip.TablePointer(), 0u);
}

TEST(Pic18Chip, DeviceIdCarriesRevisionBitsAndCanBeReplaced) {
    for (const CPic18Model& model : Pic18Models()) {
        CPic18Chip chip(model, ESimTiming::Typical);
        CIcsp icsp(chip);
        icsp.Enter();
        const std::vector<uint8_t> id = icsp.ReadBlock(kPic18DeviceIdAddress, 2);
        const uint16_t word = static_cast<uint16_t>(id[1] << 8 | id[0]);
        EXPECT_EQ(word & ~model.RevisionMask, model.DeviceId) << model.Name;
        EXPECT_NE(word & model.RevisionMask, 0) << model.Name;
    }
    CPic18Chip chip = MakeChip("PIC18F2550");
    chip.SetDeviceId(0x1201);
    CIcsp icsp(chip);
    icsp.Enter();
    EXPECT_EQ(icsp.ReadBlock(kPic18DeviceIdAddress, 2), (std::vector<uint8_t>{0x01, 0x12}));
}

TEST(Pic18Chip, ProgrammingNeedsItsHoldTime) {
    for (const ESimTiming timing : {ESimTiming::Typical, ESimTiming::Strict}) {
        CPic18Chip chip = MakeChip("PIC18F2550", timing);
        const uint32_t need =
            timing == ESimTiming::Typical ? chip.Family().P9.Typical : chip.Family().P9.Strict;
        CIcsp icsp(chip);
        icsp.Enter();
        icsp.SelectCode();
        const std::vector<uint8_t> data = Pattern(8, 1);
        icsp.LoadAndProgram(0x40, data, need - 1);
        EXPECT_EQ(icsp.ReadBlock(0x40, 8), std::vector<uint8_t>(8, 0xFF));
        EXPECT_EQ(chip.Counters().CyclesTooShort, 1u);
        icsp.LoadAndProgram(0x40, data, need);
        EXPECT_EQ(icsp.ReadBlock(0x40, 8), data);
        EXPECT_EQ(chip.Pic18Counters().ProgrammingCycles, 1u);
        // A start-programming that never gets its hold programs nothing.
        icsp.SetTblptr(0x80);
        icsp.Cmd(0xF, 0x0000);
        icsp.Instr(kNop);
        EXPECT_EQ(chip.ProgramByte(0x80), 0xFF);
        EXPECT_EQ(chip.Counters().CyclesTooShort, 2u);
    }
}

TEST(Pic18Chip, ProgrammingOnlyClearsBits) {
    CPic18Chip chip = MakeChip("PIC18F1320");
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.LoadAndProgram(0x100, {0xF0, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1000);
    icsp.LoadAndProgram(0x100, {0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7E}, 1000);
    EXPECT_EQ(icsp.ReadBlock(0x100, 8),
              (std::vector<uint8_t>{0x00, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7E}));
    EXPECT_EQ(chip.CellWrites(0x100), 2u);
    EXPECT_EQ(chip.CellWrites(0x101), 1u);
    EXPECT_EQ(chip.CellWrites(0x102), 0u);
}

TEST(Pic18Chip, WriteBufferIsEightBytesOnOlderFamiliesAndThirtyTwoOnF2xxx) {
    // 32 bytes loaded, programming started at 0x3E.
    const std::vector<uint8_t> data = Pattern(32, 7);
    CPic18Chip small = MakeChip("PIC18F1320");
    CIcsp a(small);
    a.Enter();
    a.LoadAndProgram(0x20, data, 1000);
    const std::vector<uint8_t> got = a.ReadBlock(0x20, 32);
    // The 8-byte buffer keeps the last 8 loaded; only the row of 0x3E programs.
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 24), std::vector<uint8_t>(24, 0xFF));
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + 24, got.end()),
              std::vector<uint8_t>(data.begin() + 24, data.end()));

    CPic18Chip large = MakeChip("PIC18F4520");
    CIcsp b(large);
    b.Enter();
    b.LoadAndProgram(0x20, data, 1000);
    EXPECT_EQ(b.ReadBlock(0x20, 32), data);

    // Eight bytes a cycle into the 32-byte buffer: the other 24 holding
    // registers read 0xFF after each write, so nothing else changes.
    CPic18Chip eight = MakeChip("PIC18F2455");
    CIcsp c(eight);
    c.Enter();
    const std::vector<uint8_t> image = Pattern(64, 3);
    for (uint32_t offset = 0; offset < 64; offset += 8) {
        c.LoadAndProgram(offset, std::vector<uint8_t>(image.begin() + offset, image.begin() + offset + 8),
                         1000);
    }
    EXPECT_EQ(c.ReadBlock(0, 64), image);
    EXPECT_EQ(eight.CellWrites(0), 1u);
}

TEST(Pic18Chip, FxxxTwoPanelModes) {
    const std::vector<uint8_t> first = Pattern(8, 11);
    const std::vector<uint8_t> second = Pattern(8, 12);

    // Multi-panel (the mode after entry): each cycle programs every panel's
    // buffer at the same offset, so 8 bytes at 0x2008 also put the buffer
    // panel 0 still holds (0x0000's bytes) on 0x0008.
    CPic18Chip multi = MakeChip("PIC18F452");
    CIcsp m(multi);
    m.Enter();
    EXPECT_TRUE(multi.MultiPanel());
    m.LoadAndProgram(0x0000, first, 1000);
    m.LoadAndProgram(0x2008, second, 1000);
    EXPECT_EQ(m.ReadBlock(0x0000, 8), first);
    EXPECT_EQ(m.ReadBlock(0x2008, 8), second);
    EXPECT_EQ(m.ReadBlock(0x0008, 8), first);
    EXPECT_EQ(m.ReadBlock(0x4008, 8), std::vector<uint8_t>(8, 0xFF));

    // Loading all four panels and one start programs 32 bytes at once.
    CPic18Chip all = MakeChip("PIC18F252");
    CIcsp p(all);
    p.Enter();
    for (uint32_t panel = 0; panel < 4; ++panel) {
        p.SetTblptr(panel * 0x2000 + 0x100);
        for (int i = 0; i < 4; ++i) {
            const bool last = panel == 3 && i == 3;
            p.Cmd(last ? 0xF : 0xD, static_cast<uint16_t>(panel * 0x1111 + i));
        }
    }
    p.Hold(0xF0, 1000);
    for (uint32_t panel = 0; panel < 4; ++panel) {
        EXPECT_EQ(all.ProgramByte(panel * 0x2000 + 0x100), static_cast<uint8_t>(panel * 0x11)) << panel;
    }
    EXPECT_EQ(all.Pic18Counters().ProgrammingCycles, 1u);

    // Single-panel mode: the table pointer picks the one panel.
    CPic18Chip single = MakeChip("PIC18F452");
    CIcsp s(single);
    s.Enter();
    s.PanelMode(0x00);
    EXPECT_FALSE(single.MultiPanel());
    s.LoadAndProgram(0x0000, first, 1000);
    s.LoadAndProgram(0x2008, second, 1000);
    EXPECT_EQ(s.ReadBlock(0x0008, 8), std::vector<uint8_t>(8, 0xFF));
    EXPECT_EQ(s.ReadBlock(0x2008, 8), second);

    // The panel register means nothing on the one-panel families.
    CPic18Chip fx220 = MakeChip("PIC18F1320");
    CIcsp k(fx220);
    k.Enter();
    k.PanelMode(0x40);
    EXPECT_FALSE(fx220.MultiPanel());
}

TEST(Pic18Chip, OneHundredTwentyEightKilobytesRoundTrip) {
    CPic18Model model = *FindPic18Model("PIC18F4550");
    model.Name = "TEST128K";
    model.ProgramBytes = 128 * 1024;
    CPic18Chip chip(model, ESimTiming::Typical);
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.SelectCode();
    const std::vector<uint8_t> image = Pattern(model.ProgramBytes, 5);
    for (uint32_t row = 0; row < model.ProgramBytes; row += 32) {
        icsp.LoadAndProgram(row, std::vector<uint8_t>(image.begin() + row, image.begin() + row + 32), 1000);
    }
    icsp.SetTblptr(0);
    std::vector<uint8_t> read;
    for (uint32_t i = 0; i < model.ProgramBytes; ++i) {
        read.push_back(icsp.Read(0x9));
    }
    EXPECT_EQ(read, image);
    EXPECT_EQ(chip.TablePointer(), model.ProgramBytes);
    EXPECT_EQ(chip.Counters().CyclesTooShort, 0u);
    // Past the end of program memory reads 0.
    EXPECT_EQ(icsp.Read(0x9), 0x00);
}

TEST(Pic18Chip, CountsWhatItDoesNotKnow) {
    CPic18Chip chip = MakeChip("PIC18F2520");
    CIcsp icsp(chip);
    chip.Pic18Command(0x0, kNop, 1);
    EXPECT_EQ(chip.Pic18Read(0x9, 2), 0xFF);
    EXPECT_EQ(chip.Counters().CommandsIgnored, 2u);
    EXPECT_EQ(chip.Counters().Commands, 0u);

    icsp.Enter();
    icsp.Cmd(0x1, 0x0000);
    icsp.Cmd(0x7, 0x1234);
    EXPECT_EQ(icsp.Read(0x5), 0xFF);
    EXPECT_EQ(chip.Counters().UnknownCommands, 3u);
    EXPECT_EQ(icsp.Read(0xC), 0xFF); // a write sent as a read
    EXPECT_EQ(chip.Pic18Counters().MisdirectedCommands, 1u);
    chip.MidCommand(0x06, icsp.Now());
    EXPECT_EQ(chip.MidRead(0x04, icsp.Now()), 0xFFFF);
    EXPECT_EQ(chip.Counters().UnknownCommands, 5u);

    // Instructions outside the interpreter are counted and change nothing.
    icsp.SetTblptr(0x123456 & 0x3FFFFF);
    const uint32_t before = chip.TablePointer();
    icsp.Instr(0x0F12); // ADDLW
    icsp.Instr(0x6E10); // MOVWF to RAM
    icsp.Instr(0x6FF6); // MOVWF TBLPTRL through the BSR
    EXPECT_EQ(chip.Pic18Counters().UnsupportedInstructions, 3u);
    EXPECT_EQ(chip.TablePointer(), before);
    // GOTO 0x100000 takes its two words.
    icsp.Instr(0xEF00);
    icsp.Instr(0xF800);
    EXPECT_EQ(chip.ProgramCounter(), 0x100000u);
    EXPECT_EQ(chip.Counters().ProgrammingEntries, 1u);
}

TEST(Pic18Chip, StuckCellAndEecon1Gating) {
    CPic18Chip chip = MakeChip("PIC18F2550");
    chip.SetStuckCell(0x202);
    CIcsp icsp(chip);
    icsp.Enter();
    icsp.LoadAndProgram(0x200, std::vector<uint8_t>(8, 0x00), 1000);
    EXPECT_EQ(chip.ProgramByte(0x201), 0x00);
    EXPECT_EQ(chip.ProgramByte(0x202), 0xFF);

    // With gating, a write needs EEPGD set and CFGS clear as the
    // DS documents' sequences leave them.
    CPic18Chip gated = MakeChip("PIC18F2550");
    gated.SetEecon1Gating(true);
    CIcsp g(gated);
    g.Enter();
    g.LoadAndProgram(0x300, std::vector<uint8_t>(8, 0x00), 1000);
    EXPECT_EQ(gated.ProgramByte(0x300), 0xFF);
    EXPECT_EQ(gated.Pic18Counters().ProgrammingNoTarget, 1u);
    g.SelectCode();
    g.LoadAndProgram(0x300, std::vector<uint8_t>(8, 0x00), 1000);
    EXPECT_EQ(gated.ProgramByte(0x300), 0x00);
    g.ProgramConfig(1, 0x08, 1000); // SelectConfig first: accepted
    EXPECT_EQ(gated.ConfigByte(1), 0x08);
    g.SelectCode();
    g.SetTblptr(kPic18ConfigAddress + 1);
    g.Cmd(0xF, 0x0000);
    g.Hold(0xF0, 1000);
    EXPECT_EQ(gated.ConfigByte(1), 0x08);
}

} // namespace
