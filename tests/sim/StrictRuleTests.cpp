// The chip rules a host must keep, each a failure a test can see: an
// externally timed cycle ends only with the family's End Programming, the
// discharge time (TDIS) after it, the minimum programming times, VPP before
// VDD for a chip that runs its own code, and the writer's breach counters
// that sum them up.
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

using simtest::CBench;
using simtest::CPacket;

namespace {

TEST(StrictRules, AnExternallyTimedCycleEndsOnlyWithTheFamilysEndCommand) {
    CBench b("PIC16F877A"); // DS39589B: 0x18 ended by 0x17
    b.Enter();
    // Another command instead of End Programming: the row is not programmed.
    b.Send(CPacket().LoadProgram(0x1234).Cmd(0x18).WaitMs(2).Cmd(0x06));
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 0), 0x3FFF);
    EXPECT_EQ(b.Chip().Counters().CyclesNotEnded, 1u);
    // A command the family lacks (0x0E) is not taken for one: the cycle runs
    // on to the real End Programming.
    b.Send(CPacket().LoadProgram(0x0ABC).Cmd(0x18).WaitMs(2).Cmd(0x0E).Cmd(0x17).Cmd(0x06));
    b.Link.Exit();
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 1), 0x0ABC);
    EXPECT_EQ(b.Chip().Counters().CyclesNotEnded, 1u);
    EXPECT_EQ(b.Writer.Breaches().CyclesCutShort, 1u);

    // The voltage going before End Programming cuts the cycle short too.
    CBench c("PIC16F877A");
    c.Enter();
    c.Send(CPacket().LoadProgram(0x1234).Cmd(0x18).WaitMs(2));
    c.Link.Exit();
    EXPECT_EQ(c.Chip().Peek(EMidRegion::Program, 0), 0x3FFF);
    EXPECT_EQ(c.Chip().Counters().CyclesNotEnded, 1u);
}

TEST(StrictRules, TheDischargeTimeFollowsEndProgramming) {
    // DS41287C: TDIS 100 us after 0x0A before the next command.
    CBench b("PIC16F886", ESimTiming::Strict);
    b.Enter(1);
    b.Send(CPacket().LoadProgram(0x1111).Cmd(0x18).WaitMs(3).Cmd(0x0A).Cmd(0x06));
    EXPECT_EQ(b.Chip().Counters().DischargeCut, 1u);
    b.Send(CPacket().LoadProgram(0x2222).Cmd(0x18).WaitMs(3).Cmd(0x0A).WaitUs(100).Cmd(0x06));
    b.Link.Exit();
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 0), 0x3FFF) << "cut by the command during the discharge";
    EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 1), 0x2222);
    EXPECT_EQ(b.Chip().Counters().CyclesTooShort, 1u);
}

TEST(StrictRules, ProgrammingTimesAreTheFamilysMinimum) {
    // DS41204G: an internally timed program cycle needs at least 3 ms, in
    // typical timing too.
    for (unsigned us : {2500u, 3000u}) {
        CBench b("PIC12F683");
        b.Enter(1);
        b.Send(CPacket().LoadProgram(0x0555).Cmd(0x08).WaitUs(us).Cmd(0x06));
        b.Link.Exit();
        EXPECT_EQ(b.Chip().Peek(EMidRegion::Program, 0), us >= 3000 ? 0x0555 : 0x3FFF) << us << " us";
    }
}

TEST(StrictRules, AChipRunningItsOwnCodeEntersOnlyWithVppFirst) {
    // MCLR off (bit 5 clear) and the internal oscillator (FOSC 100).
    for (int mode : {0, 1}) {
        CBench b("PIC16F886");
        ASSERT_TRUE(b.Chip().Poke(EMidRegion::Config, 0, 0x3FDC));
        b.Enter(mode);
        EXPECT_EQ(b.Chip().InProgrammingMode(), mode == 1) << "entry mode " << mode;
        EXPECT_EQ(b.Chip().Counters().EntriesRefused, mode == 1 ? 0u : 1u);
        EXPECT_EQ(b.Writer.Breaches().EntriesRefused, mode == 1 ? 0u : 1u);
        b.Link.Exit();
    }
    // With MCLR on the chip waits in reset, and VDD first is fine.
    CBench b("PIC16F886");
    b.Enter(0);
    EXPECT_TRUE(b.Chip().InProgrammingMode());
}

TEST(StrictRules, BreachCountersSumUpTheHostsMistakes) {
    CBench b("PIC16F877A");
    EXPECT_FALSE(b.Writer.Breaches().HasBreaches());
    EXPECT_EQ(b.Writer.Breaches().Text(), "");
    // A command without VPP, a packet left unanswered, one read short, one
    // of 65 bytes, and a cycle cut short.
    b.Send(CPacket().Cmd(0x06));
    b.Enter();
    const CPacket inc = CPacket().Inc();
    b.Writer.WritePipe(b.Link.Device() + 1, inc.Bytes().data(), inc.Bytes().size());
    b.Send(CPacket().Read(0x04), 1);
    std::vector<uint8_t> big(65, 0x00);
    b.Writer.WritePipe(b.Link.Device() + 1, big.data(), big.size());
    b.Send(CPacket().LoadProgram(0x0001).Cmd(0x08).WaitMs(1).Cmd(0x06));
    const CSimBreaches breaches = b.Writer.Breaches();
    EXPECT_TRUE(breaches.HasBreaches());
    EXPECT_EQ(breaches.CommandsWithoutVpp, 1u);
    EXPECT_EQ(breaches.AnswersNotRead, 3u) << "two packets written over an unread answer, one read short";
    EXPECT_EQ(breaches.OversizePackets, 1u);
    EXPECT_EQ(breaches.CyclesCutShort, 1u);
    EXPECT_EQ(breaches.Text(),
              "1 cycle cut short, 1 command without VPP, 1 packet over 64 bytes, 3 answers not read");
}

} // namespace
