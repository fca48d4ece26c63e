// The link against a simulated writer that misbehaves: it falls silent,
// answers late, answers twice or answers short. The tests look at what was
// read against the chip's own cells, so an answer taken for another packet's
// shows as data in the wrong place.
#include "EndToEndSupport.h"

#include "sim/SimWriterFaults.h"

#include <gtest/gtest.h>

namespace {

// A chip whose every program word differs from its neighbours.
void FillChip(e2e::CBench& b) {
    for (uint32_t a = 0; a < b.Device.ProgramSize; ++a) {
        b.Mid()->Poke(EMidRegion::Program, a, static_cast<uint16_t>((a * 7 + 1) & 0x3FFF));
    }
}

// Program words the writer's image holds that are not the chip's.
size_t WordsNotFromTheChip(e2e::CBench& b) {
    size_t wrong = 0;
    for (uint32_t a = 0; a < b.Device.ProgramSize; ++a) {
        wrong += b.Writer.ProgramWord(a) != b.Mid()->Peek(EMidRegion::Program, a) ? 1 : 0;
    }
    return wrong;
}

} // namespace

TEST(LinkFaults, AMuteWriterCostsThreeTimeOutsAndThenNothing) {
    e2e::CBench b("PIC16F877A");
    FillChip(b);
    CWriter& w = b.Writer;
    const CSimWriterCounters before = b.Sim.Counters();
    b.Sim.MuteAfterPacket(before.Packets + 10);
    EXPECT_FALSE(w.ReadProgram());
    EXPECT_EQ(w.LinkFault(), ELinkFault::NotAnswering);
    EXPECT_FALSE(w.IsOpen()) << "taken as not answering";
    CSimWriterCounters after = b.Sim.Counters();
    EXPECT_EQ(after.TimedOutReads, CWriterLink::kMaxSilentTransfers);
    EXPECT_EQ(after.MutedPackets, CWriterLink::kMaxSilentTransfers);
    // Three time-outs of 2 s and two drains between them, not 500 blocks' worth.
    EXPECT_LT(after.ElapsedUs - before.ElapsedUs, 7'000'000u);
    EXPECT_TRUE(w.Poll()) << "it is still attached, and the tick leaves it open";

    // Until the record is cleared, nothing more goes to it.
    EXPECT_FALSE(w.ReadEeprom());
    EXPECT_EQ(b.Sim.Counters().Packets, after.Packets);

    // It answers again: the next operation after the clear goes through.
    b.Sim.ClearFaults();
    w.ClearLinkFault();
    ASSERT_TRUE(w.ReadProgram());
    EXPECT_EQ(w.LinkFault(), ELinkFault::None);
    EXPECT_EQ(WordsNotFromTheChip(b), 0u);
}

TEST(LinkFaults, ALateAnswerIsDroppedNotTakenForTheNextPacketsOwn) {
    e2e::CBench b("PIC16F877A");
    FillChip(b);
    CWriter& w = b.Writer;
    b.Sim.AnswerLate(b.Sim.Counters().Packets + 20); // a block of the program read
    EXPECT_FALSE(w.ReadProgram());
    EXPECT_EQ(w.LinkFault(), ELinkFault::TransferFailed);
    EXPECT_EQ(w.FailedReadCount(), 1u);
    EXPECT_EQ(w.StaleAnswerCount(), 1u);
    // Only the late block is missing; every block after it is its own.
    const size_t wrong = WordsNotFromTheChip(b);
    EXPECT_GT(wrong, 0u);
    EXPECT_LE(wrong, 16u) << "one block of 16 words at most";
    EXPECT_EQ(b.Sim.Counters().Obligations.Total(), 0u);

    w.ClearLinkFault();
    ASSERT_TRUE(w.ReadProgram());
    EXPECT_EQ(WordsNotFromTheChip(b), 0u);
}

TEST(LinkFaults, AnAnswerSentTwiceFailsTheOperationAndIsGoneAfterIt) {
    e2e::CBench b("PIC16F877A");
    FillChip(b);
    CWriter& w = b.Writer;
    b.Sim.AnswerTwice(b.Sim.Counters().Packets + 20);
    EXPECT_FALSE(w.ReadProgram()) << "its answers were out of turn from there on";
    EXPECT_EQ(w.LinkFault(), ELinkFault::TransferFailed);
    EXPECT_GE(w.StaleAnswerCount(), 1u);

    w.ClearLinkFault();
    ASSERT_TRUE(w.ReadProgram()) << "the next operation is in step again";
    EXPECT_EQ(WordsNotFromTheChip(b), 0u);
}

TEST(LinkFaults, AShortAnswerFailsTheReadAndTheRestStaysInStep) {
    e2e::CBench b("PIC16F877A");
    FillChip(b);
    CWriter& w = b.Writer;
    b.Sim.ShortenAnswer(b.Sim.Counters().Packets + 20, 1);
    EXPECT_FALSE(w.ReadProgram());
    EXPECT_EQ(w.LinkFault(), ELinkFault::TransferFailed);
    EXPECT_EQ(w.ShortAnswerCount(), 1u);
    EXPECT_LE(WordsNotFromTheChip(b), 1u) << "only the word that lost its byte";
    w.ClearLinkFault();
    ASSERT_TRUE(w.ReadProgram());
    EXPECT_EQ(WordsNotFromTheChip(b), 0u);
}

TEST(LinkFaults, Pic18ReadsStayInStepToo) {
    e2e::CBench b("PIC18F452");
    for (uint32_t a = 0; a < b.Device.ProgramSize; ++a) {
        b.Pic18()->SetProgramByte(a, static_cast<uint8_t>(a * 13 + 5));
    }
    CWriter& w = b.Writer;
    b.Sim.AnswerLate(b.Sim.Counters().Packets + 40);
    EXPECT_FALSE(w.ReadProgram());
    size_t wrong = 0;
    for (uint32_t a = 0; a < b.Device.ProgramSize; ++a) {
        wrong += w.ProgramData[a] != b.Pic18()->ProgramByte(a) ? 1 : 0;
    }
    EXPECT_GT(wrong, 0u);
    EXPECT_LE(wrong, 64u) << "the late packet's bytes only";
    w.ClearLinkFault();
    ASSERT_TRUE(w.ReadProgram());
    for (uint32_t a = 0; a < b.Device.ProgramSize; ++a) {
        ASSERT_EQ(w.ProgramData[a], b.Pic18()->ProgramByte(a)) << a;
    }
}

TEST(SimFaultSpecs, EveryNamedFaultAppliesAndBadOnesAreRefused) {
    e2e::CBench mid("PIC16F877A");
    std::string error;
    for (const char* spec :
         {"unplug-after=900", "mute-after=0", "late-answer-at=3", "double-answer-at=4", "short-answer-at=5",
          "empty-answer-at=6", "stuck-cell=1F", "stuck-cell=0x1FFF", "other-id=0E40"}) {
        EXPECT_TRUE(ApplySimFault(mid.Sim, spec, error)) << spec << ": " << error;
    }
    EXPECT_EQ(mid.Mid()->DeviceIdWord(), 0x0E40);
    for (const char* spec : {"unplug-after=0", "unplug-after=x", "unplug-after", "mute-after=-1",
                             "stuck-cell=2000", "other-id=10000", "explode", "stuck-cell=", ""}) {
        error.clear();
        EXPECT_FALSE(ApplySimFault(mid.Sim, spec, error)) << spec;
        EXPECT_FALSE(error.empty()) << spec;
    }
    // The refusal says what the fault wants, with an example.
    EXPECT_FALSE(ApplySimFault(mid.Sim, "unplug-after=x", error));
    EXPECT_EQ(error, "'unplug-after' wants a packet number after '=', as in unplug-after=12");
    EXPECT_FALSE(ApplySimFault(mid.Sim, "stuck-cell", error));
    EXPECT_EQ(error, "'stuck-cell' wants a hexadecimal value after '=', as in stuck-cell=01F0");
    EXPECT_TRUE(ApplySimFault(mid.Sim, "no-chip", error));
    EXPECT_EQ(mid.Sim.Chip(), nullptr);
    EXPECT_FALSE(ApplySimFault(mid.Sim, "stuck-cell=0", error)) << "no chip to have a cell";

    e2e::CBench pic18("PIC18F452");
    EXPECT_TRUE(ApplySimFault(pic18.Sim, "stuck-cell=7FFF", error)) << error;
    EXPECT_FALSE(ApplySimFault(pic18.Sim, "stuck-cell=8000", error));
    EXPECT_TRUE(ApplySimFault(pic18.Sim, "other-id=1234", error));
    EXPECT_EQ(pic18.Pic18()->DeviceIdWord(), 0x1234);
}
