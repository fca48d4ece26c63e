// The simulated mid-range chip, driven by hand-built packets: the address
// counter, programming cycles and their times, latch rows, EEPROM, faults.
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

using simtest::CBench;
using simtest::CPacket;

TEST(MidRangeAddress, EntryResetsTheCounterAndItWrapsLikeTheSilicon) {
    CBench b("PIC16F628A"); // 2048 words
    CMidRangeChip& chip = b.Chip();
    chip.Poke(EMidRegion::Program, 0, 0x1111);
    chip.Poke(EMidRegion::Program, 1, 0x2222);
    b.Enter();
    EXPECT_EQ(b.ReadWord(), 0x1111);
    b.Send(CPacket().Inc());
    EXPECT_EQ(b.ReadWord(), 0x2222);
    b.Link.Exit();
    b.Enter();
    EXPECT_EQ(chip.Address(), 0);
    EXPECT_EQ(b.ReadWord(), 0x1111) << "entry puts the address back on 0";
    // Address 0x800 decodes as 0 on a 2K part; the counter itself wraps at 0x2000.
    for (int i = 0; i < 0x800 / 32; ++i) {
        b.Send(CPacket().Inc(32));
    }
    EXPECT_EQ(chip.Address(), 0x800);
    EXPECT_EQ(b.ReadWord(), 0x1111);
    for (int i = 0; i < 0x1800 / 32; ++i) {
        b.Send(CPacket().Inc(32));
    }
    EXPECT_EQ(chip.Address(), 0);

    // Configuration space: IDs, device ID with its revision, then the wrap
    // from 0x3FFF back to 0x2000.
    b.Send(CPacket().LoadConfig(0x3FFF).Inc(6));
    EXPECT_EQ(chip.Address(), 0x2006);
    EXPECT_EQ(b.ReadWord(), 0x1063);
    b.Send(CPacket().Inc());
    EXPECT_EQ(b.ReadWord(), 0x3FFF) << "blank configuration word with its unimplemented bits";
    for (int i = 0; i < (0x4000 - 0x2007) / 32; ++i) {
        b.Send(CPacket().Inc(32));
    }
    b.Send(CPacket().Inc((0x4000 - 0x2007) % 32));
    EXPECT_EQ(chip.Address(), 0x2000);
}

namespace {

struct TimedCase {
    const char* Model;
    uint8_t Begin;
    uint8_t End; // 0 = internally timed
    unsigned EnoughUs;
    unsigned ShortUs;
};

// Programs word 0x1234 at address 1 and 0x0555 at address 2 with a wait of
// `enough` and `tooShort` microseconds.
void ProgramTwo(CBench& b, const TimedCase& c) {
    b.Enter();
    for (int i = 1; i <= 2; ++i) {
        CPacket p;
        p.Inc().LoadProgram(i == 1 ? 0x1234 : 0x0555).Cmd(c.Begin).WaitUs(i == 1 ? c.EnoughUs : c.ShortUs);
        if (c.End != 0) {
            p.Cmd(c.End);
        }
        b.Send(p.Read(0x04));
    }
    b.Link.Exit();
}

} // namespace

TEST(MidRangeCycles, EveryFamilyProgramsAWordGivenItsTimeAndNotWhenCutShort) {
    const TimedCase cases[] = {
        {"PIC12F629", 0x08, 0, 2600, 1900},    // A: TPROG1 2 typ / 2.5 max
        {"PIC12F629", 0x18, 0x0A, 2100, 1900}, // A: externally timed, TPROG2 2 ms
        {"PIC12F683", 0x08, 0, 3100, 2400},    // B: 2.5 / 3
        {"PIC16F84A", 0x08, 0, 8100, 3900},    // C: erase+program 4 / 8
        {"PIC16F628A", 0x08, 0, 4100, 2400},   // D: 2.5 / 4
        {"PIC16F716", 0x18, 0x0E, 2100, 900},  // E: 1 / 2, End 0x0E
        {"PIC16F76", 0x08, 0x0E, 1100, 900},   // F: 1 ms, End 0x0E
        {"PIC16F76", 0x18, 0x0E, 1100, 900},   // F: bits 5:4 don't care
        {"PIC16F819", 0x18, 0x17, 1100, 900},  // G: >= 1 ms, End 0x17
        {"PIC16F877A", 0x18, 0x17, 1100, 900}, // H: >= 1 ms, End 0x17
        {"PIC16F877A", 0x08, 0, 8100, 3900},   // H: erase+program 4 / 8
        {"PIC16F887", 0x08, 0, 3100, 2400},    // I: 2.5 / 3
    };
    for (ESimTiming timing : {ESimTiming::Typical, ESimTiming::Strict}) {
        for (const TimedCase& c : cases) {
            CBench b(c.Model, timing);
            ProgramTwo(b, c);
            const std::string what = std::string(c.Model) + " begin " + std::to_string(c.Begin);
            EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 1), 0x1234) << what;
            EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 2), 0x3FFF)
                << what << ": a cut cycle changes nothing";
            EXPECT_EQ(b.Chip().Counters().CyclesTooShort, 1u) << what;
        }
    }
    // Between typical and maximum: only typical timing accepts it.
    for (ESimTiming timing : {ESimTiming::Typical, ESimTiming::Strict}) {
        CBench b("PIC16F84A", timing);
        ProgramTwo(b, {"PIC16F84A", 0x08, 0, 4100, 100});
        EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 1), timing == ESimTiming::Typical ? 0x1234 : 0x3FFF);
    }
}

TEST(MidRangeCycles, CommandsAFamilyLacksAreIgnoredAndTheCycleRunsOn) {
    CBench b("PIC12F629");
    b.Enter();
    // 0x0E is no command of this family: the cycle is still running 2.5 ms
    // later, when its own End Programming (0x0A) ends it.
    b.Send(CPacket().LoadProgram(0x0AAA).Cmd(0x18).WaitUs(500).Cmd(0x0E).WaitUs(2000).Cmd(0x0A).Inc());
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 0), 0x0AAA);
    // ... and neither 0x17 nor any other command ends it: the next one cuts it.
    b.Send(CPacket().LoadProgram(0x0BBB).Cmd(0x18).WaitUs(2500).Cmd(0x17).Inc());
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 1), 0x3FFF);
    EXPECT_EQ(b.Chip().Counters().UnknownCommands, 2u);
    EXPECT_EQ(b.Chip().Counters().CyclesNotEnded, 1u);
    // The 16F716 has no 0x08 at all.
    CBench e("PIC16F716");
    e.Enter();
    e.Send(CPacket().LoadProgram(0x0123).Cmd(0x08).WaitMs(10).Inc());
    EXPECT_EQ(e.Chip().Peek(EMidRegion::Program, 0), 0x3FFF);
    EXPECT_EQ(e.Chip().Counters().UnknownCommands, 1u);
}

TEST(MidRangeCycles, LeavingProgrammingModeCutsACycleThatHadNoTime) {
    CBench b("PIC16F628A");
    b.Enter();
    b.Send(CPacket().LoadProgram(0x0001).Cmd(0x08).WaitMs(1));
    b.Link.Exit();
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 0), 0x3FFF);
    b.Enter();
    b.Send(CPacket().LoadProgram(0x0001).Cmd(0x08).WaitMs(5));
    b.Link.Exit();
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 0), 0x0001);
}

TEST(MidRangeLatches, ARowIsCommittedWhereThePcIsAndEndResetsTheLatches) {
    CBench b("PIC16F877A"); // 8 latches
    b.Enter();
    b.Send(CPacket().Inc(8));
    CPacket row;
    for (uint16_t i = 0; i < 8; ++i) {
        row.LoadProgram(static_cast<uint16_t>(0x0100 + i));
        if (i < 7) {
            row.Inc();
        }
    }
    b.Send(row.Cmd(0x18).WaitMs(1).Cmd(0x17));
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 8 + i), 0x0100 + i);
    }
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 7), 0x3FFF);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 16), 0x3FFF);
    // One word in the next row: the other seven latches are back at 0x3FFF,
    // and the low PC bits pick the latch.
    b.Send(CPacket().Inc(13).LoadProgram(0x0777).Cmd(0x18).WaitMs(1).Cmd(0x17));
    EXPECT_EQ(b.Chip().Address(), 28);
    for (size_t i = 24; i < 32; ++i) {
        EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, i), i == 28 ? 0x0777 : 0x3FFF) << i;
    }
    // Ended by another command instead of End Programming, the cycle
    // programs nothing, and the latches keep their words for the next row.
    b.Send(CPacket().Inc(4).LoadProgram(0x0555).Cmd(0x18).WaitMs(1).Inc());
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 32), 0x3FFF);
    EXPECT_EQ(b.Chip().Counters().CyclesNotEnded, 1u);
    b.Send(CPacket().Inc(8).LoadProgram(0x0666).Cmd(0x18).WaitMs(1).Cmd(0x17));
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 41), 0x0666);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 40), 0x0555) << "stale latch 0 programmed again";
}

TEST(MidRangeLatches, SingleWordWritesOnFourWordLatchesLeaveTheNeighbours) {
    CBench b("PIC12F683"); // latches reset after each program cycle
    b.Enter();
    b.Send(CPacket().Inc(1).LoadProgram(0x0101).Cmd(0x08).WaitMs(4));
    b.Send(CPacket().Inc(4).LoadProgram(0x0202).Cmd(0x08).WaitMs(4).Inc());
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 1), 0x0101);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 5), 0x0202);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 4), 0x3FFF);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 6), 0x3FFF);
    EXPECT_EQ(b.Chip().WritesAt(EMidRegion::Program, 5), 1u);
    EXPECT_EQ(b.Chip().WritesAt(EMidRegion::Program, 4), 0u);
}

TEST(MidRangeCycles, ProgramOnlyClearsBitsEraseProgramReplaces) {
    CBench d("PIC16F628A"); // 0x08 program-only
    d.Chip().Poke(EMidRegion::Program, 0, 0x0F0F);
    d.Enter();
    d.Send(CPacket().LoadProgram(0x33CC).Cmd(0x08).WaitMs(5).Inc());
    EXPECT_EQ(d.Chip().Peek(EMidRegion::Program, 0), 0x0F0F & 0x33CC);
    CBench a("PIC12F675"); // 0x08 erases first
    a.Chip().Poke(EMidRegion::Program, 0, 0x0F0F);
    a.Enter();
    a.Send(CPacket().LoadProgram(0x33CC).Cmd(0x08).WaitMs(5).Inc());
    EXPECT_EQ(a.Chip().Peek(EMidRegion::Program, 0), 0x33CC);
}

TEST(MidRangeEeprom, EveryFamilyWritesAndReadsItsDataMemory) {
    for (const char* model :
         {"PIC12F629", "PIC12F683", "PIC16F84A", "PIC16F648A", "PIC16F877A", "PIC16F886"}) {
        CBench b(model);
        b.Chip().Poke(EMidRegion::Eeprom, 3, 0x0F);
        b.Enter();
        b.Send(CPacket().Inc(3).LoadData(0xA5).Cmd(0x08).WaitMs(10));
        EXPECT_EQ(b.ReadWord(0x05) & 0xFF, 0xA5) << model << ": the byte is erased before it is written";
        b.Send(CPacket().Inc().LoadData(0x5A).Cmd(0x08).WaitMs(1).Inc()); // too short
        EXPECT_EQ(b.Chip().Peek(EMidRegion::Eeprom, 4), 0xFF) << model;
    }
    // 16F818: 0x08 erases the byte, 0x18 programs it, each ended by 0x17.
    CBench g("PIC16F818");
    g.Chip().Poke(EMidRegion::Eeprom, 0, 0x0F);
    g.Enter();
    g.Send(CPacket().LoadData(0xF0).Cmd(0x18).WaitMs(2).Cmd(0x17));
    EXPECT_EQ(g.Chip().Peek(EMidRegion::Eeprom, 0), 0x00) << "program-only on an unerased byte";
    g.Send(CPacket().LoadData(0xF0).Cmd(0x08).WaitMs(2).Cmd(0x17).Cmd(0x18).WaitMs(2).Cmd(0x17));
    EXPECT_EQ(g.Chip().Peek(EMidRegion::Eeprom, 0), 0xF0);
}

TEST(MidRangeFaults, AStuckCellAndAnotherDeviceId) {
    CBench b("PIC16F648A");
    b.Chip().SetStuckCell(EMidRegion::Program, 2);
    b.Chip().SetDeviceIdWord(0x1063);
    b.Enter();
    b.Send(
        CPacket().Inc(2).LoadProgram(0x0042).Cmd(0x08).WaitMs(5).Inc().LoadProgram(0x0043).Cmd(0x08).WaitMs(
            5));
    b.Link.Exit();
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 2), 0x3FFF);
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 3), 0x0043);
    EXPECT_EQ(b.Chip().WritesAt(EMidRegion::Program, 2), 1u) << "the attempt is still counted";
    b.Enter();
    b.Send(CPacket().LoadConfig().Inc(6));
    EXPECT_EQ(b.ReadWord(), 0x1063);
    // No chip at all: everything reads as ones.
    CSimWriter empty;
    simtest::CHostLink s(empty);
    ASSERT_TRUE(s.Open());
    s.Enter(18);
    EXPECT_EQ(s.Send(CPacket().Read(0x04)), (std::vector<uint8_t>{0xFF, 0xFF}));
}
