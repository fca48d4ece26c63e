// Leaving blank areas alone, byte for byte: which rows, words and EEPROM bytes
// are written, how the mid-range address is moved past the others (Increment
// Address at the head of the next write, whole packets of them first), what
// the PIC18 engine leaves out, and the full write of the same images.
#include "WriterTestSupport.h"

#include <algorithm>

namespace {

// Waits at the 4 MHz clock the fixture's writer reports.
const std::string kWait2 = "81 00 2F F8";
const std::string kWait3 = "81 00 47 F4";
const std::string kWait4 = "81 00 5F F0";
const std::string kWait6 = "81 00 8F E8";
const std::string kDischarge = "81 00 9B FF"; // 100 us

std::string Load(uint32_t w) {
    return "83 02 " + MidData(w);
}

// n Increment Address commands, each followed by a space.
std::string Increments(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += "82 06 ";
    }
    return s;
}

void SetWord(CWriter& w, uint32_t i, uint32_t value) {
    w.ProgramData[2 * i] = static_cast<uint8_t>(value & 0xFF);
    w.ProgramData[2 * i + 1] = static_cast<uint8_t>(value >> 8);
}

// Answers a word write's read-back with the word it loaded (after any
// increments at the packet's head), any other read with the fixture's
// device ID.
Bytes EchoLoadedWord(const Bytes& p, size_t) {
    if (AnswerLength(p) == 0) {
        return {};
    }
    for (size_t i = 0; i + 3 < p.size(); i += 2) {
        if (p[i] == 0x83 && p[i + 1] == 0x02) {
            return MidAnswerWord(((p[i + 3] << 7) & 0x3FFF) | (p[i + 2] >> 1));
        }
    }
    return MidAnswerWord(0x0E40);
}

// A packet of n Increment Address commands alone.
std::string IncrementPacket(size_t n) {
    const std::string s = Increments(n);
    return s.substr(0, s.size() - 1);
}

class MidSkipTest : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupMid(64, 0);
    }
    // Runs the program write once with blank areas left alone and once in
    // full, and returns the packets of the first.
    PacketList SkipThenFull(PacketList& full) {
        writer.SkipBlank = true;
        writer.TakeProgress();
        EXPECT_TRUE(writer.WriteProgram());
        EXPECT_EQ(writer.TakeProgress(), static_cast<int32_t>(writer.ProgramBytes)) << "skipped rows count";
        const PacketList skip = Sent();
        link.ClearRecords();
        writer.SkipBlank = false;
        EXPECT_TRUE(writer.WriteProgram());
        EXPECT_EQ(writer.TakeProgress(), static_cast<int32_t>(writer.ProgramBytes));
        full = Sent();
        return skip;
    }
};

TEST_F(MidSkipTest, LatchRowsWithDataAreWrittenWholeAndBlankOnesSteppedOver) {
    writer.WriteCycle = 2;
    writer.WriteBlockBytes = 8;  // four-word rows
    SetWord(writer, 1, 0x0123);  // row 0: one word of data, three blank
    SetWord(writer, 12, 0x2800); // row 3, after two blank rows
    SetWord(writer, 15, 0x3FFF); // blank as it stands
    PacketList full;
    const PacketList skip = SkipThenFull(full);

    const std::string program = "82 18 " + kWait2 + " 82 17 82 06";
    auto row = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return Load(a) + " 82 06 " + Load(b) + " 82 06 " + Load(c) + " 82 06 " + Load(d);
    };
    CExpect body;
    body.Add(row(0x3FFF, 0x0123, 0x3FFF, 0x3FFF), 10).Add(program, 10);
    // Rows 1 and 2 (eight words) are stepped over at the head of row 3's
    // load; the twelve blank rows after it are never sent.
    body.Add(Increments(8) + row(0x2800, 0x3FFF, 0x3FFF, 0x3FFF), 10).Add(program, 10);
    EXPECT_TRUE(SamePackets(skip, CExpect().Frame(body)));

    // The full write sends all sixteen rows, the blank ones as they are.
    ASSERT_EQ(full.size(), 3u + 16 * 2);
    EXPECT_EQ(ToHex(full[2 + 2 * 5].Data), row(0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF));
}

TEST_F(MidSkipTest, RowsThatFitOnePacketTakeTheIncrementsThatFitBesideThem) {
    writer.WriteCycle = 4;
    writer.WriteBlockBytes = 16; // eight-word rows: 60 bytes with their cycle
    SetWord(writer, 0, 0x0001);
    SetWord(writer, 40, 0x0002); // row 5: four blank rows (32 words) before it
    PacketList full;
    const PacketList skip = SkipThenFull(full);

    std::string rest;
    for (int i = 1; i < 8; ++i) {
        rest += " 82 06 " + Load(0x3FFF);
    }
    const std::string program = " 82 18 " + kWait3 + " 82 0A " + kDischarge + " 82 06";
    CExpect body;
    body.Add(Load(0x0001) + rest + program, 10);
    // Only two increments would fit beside the 60 bytes: the 32 owed go in a
    // packet of their own.
    body.Add(IncrementPacket(32), 19);
    body.Add(Load(0x0002) + rest + program, 10);
    EXPECT_TRUE(SamePackets(skip, CExpect().Frame(body)));
    for (const CPacketRecord& r : skip) {
        EXPECT_LE(r.Data.size(), 64u);
    }
    EXPECT_EQ(full.size(), 3u + 8);
}

TEST_F(MidSkipTest, WordWritesStepOverBlankWordsInWholePacketsOfIncrements) {
    writer.WriteCycle = 3; // word by word, with read-back
    link.SetResponder(EchoLoadedWord);
    SetWord(writer, 0, 0x3455);
    SetWord(writer, 1, 0x3456);
    SetWord(writer, 63, 0x3480); // the last word, like an oscillator calibration
    PacketList full;
    const PacketList skip = SkipThenFull(full);

    auto write = [](uint32_t w) { return Load(w) + " 82 08 " + kWait4 + " 84 04"; };
    CExpect body;
    body.Add(write(0x3455), 10).Add("82 06", 10);
    body.Add(write(0x3456), 10).Add("82 06", 10);
    // 61 words to step over, and 26 increments fit beside the 12 bytes of
    // the write: two packets of increments are needed whatever the split.
    body.Add(IncrementPacket(32), 19).Add(IncrementPacket(29), 19);
    body.Add(write(0x3480), 10).Add("82 06", 10);
    EXPECT_TRUE(SamePackets(skip, CExpect().Frame(body)));
    EXPECT_TRUE(link.Delays().empty()) << "every word read back as loaded";
    EXPECT_EQ(full.size(), 3u + 64 * 2);
}

TEST_F(MidSkipTest, AWordWriteWithoutDeviceIdCarriesItsIncrementsToo) {
    writer.WriteCycle = 0;
    writer.DeviceId = 0xFFFF; // no read-back: a 20 ms pause per word
    SetWord(writer, 5, 0x0AAA);
    writer.SkipBlank = true;
    ASSERT_TRUE(writer.WriteProgram());
    CExpect body;
    body.Add(Increments(5) + Load(0x0AAA) + " 82 08", 10).Add("82 06", 10);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body)));
    EXPECT_EQ(link.Delays(), std::vector<unsigned>{20}) << "only the written word pauses";
}

TEST_F(MidSkipTest, ABlankImageSendsNothingAndStillCountsItsProgress) {
    writer.WriteCycle = 2;
    writer.WriteBlockBytes = 16;
    writer.SkipBlank = true;
    // Bits above the fourteen the chip keeps do not make a word non-blank.
    writer.ProgramData[7] = 0xFF;
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_TRUE(Sent().empty()) << "not even the frame";
    EXPECT_EQ(writer.GetProgress(), 128);
    writer.SkipBlank = false;
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_EQ(Sent().size(), 3u + 8 * 2);
}

TEST_F(MidSkipTest, EepromBytesOfFFAreSteppedOver) {
    SetupMid(16, 8);
    writer.EepromData = {0xA5, 0xFF, 0xFF, 0x3C, 0xFF, 0x00, 0xFF, 0xFF};
    writer.EepromMethod = 2;
    writer.SkipBlank = true;
    ASSERT_TRUE(writer.WriteEeprom());
    auto byte = [](uint32_t b) { return "83 03 " + MidData(b) + " 82 08 " + kWait6 + " 82 06"; };
    CExpect body;
    body.Add(byte(0xA5), 10).Add(Increments(2) + byte(0x3C), 10).Add(Increments(1) + byte(0x00), 10);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body)));
    EXPECT_EQ(writer.GetProgress(), 8);

    link.ClearRecords();
    writer.SkipBlank = false;
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_EQ(Sent().size(), 3u + 8) << "the full write sends every byte";
}

TEST_F(MidSkipTest, ABlankEepromSendsNothingButAClosedLinkStillFails) {
    SetupMid(16, 8);
    writer.SkipBlank = true;
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(writer.GetProgress(), 8);
    link.Unplug();
    EXPECT_FALSE(writer.Poll());
    EXPECT_FALSE(writer.WriteEeprom());
    EXPECT_FALSE(writer.WriteProgram());
}

TEST_F(MidSkipTest, ConfigurationAndCalibrationWritesAreTheSameInBothModes) {
    writer.WriteCycle = 3;
    writer.CalAddress = 40;
    writer.BlockWrite = 0;
    link.SetResponder(EchoLoadedWord);
    auto run = [&](bool skip) {
        link.ClearRecords();
        writer.SkipBlank = skip;
        EXPECT_TRUE(writer.WriteCalibration());
        EXPECT_TRUE(writer.WriteConfig(false));
        return Sent();
    };
    // A blank calibration word too is written back by the calibration write.
    const PacketList withSkip = run(true);
    EXPECT_TRUE(SamePackets(withSkip, run(false)));
    EXPECT_TRUE(std::any_of(withSkip.begin(), withSkip.end(), [](const CPacketRecord& r) {
        return ToHex(r.Data).rfind(Load(0x3FFF), 0) == 0;
    }));
}

TEST_F(MidSkipTest, AStopRequestStillEndsTheLoop) {
    writer.WriteCycle = 2;
    writer.WriteBlockBytes = 8;
    SetWord(writer, 0, 0x0001);
    SetWord(writer, 60, 0x0002);
    writer.SkipBlank = true;
    link.SetWriteHook([this](size_t n) {
        if (n == 4) {
            writer.AbortRequest = true; // after the first row's cycle
        }
    });
    ASSERT_TRUE(writer.WriteProgram());
    link.SetWriteHook({});
    writer.AbortRequest = false;
    EXPECT_EQ(Sent().size(), 3u + 2) << "the row at word 60 is not written";
    EXPECT_LT(writer.GetProgress(), 128);
}

// ------------------------------------------------------------------- PIC18

std::string Insn(uint16_t i) {
    return ToHex({0x85, 0x00, static_cast<uint8_t>(i & 0xFF), static_cast<uint8_t>(i >> 8)});
}

std::string TablePointer(uint32_t a) {
    return Insn(static_cast<uint16_t>(0x0E00 | ((a >> 16) & 0xFF))) + " " + Insn(0x6EF8) + " " +
           Insn(static_cast<uint16_t>(0x0E00 | ((a >> 8) & 0xFF))) + " " + Insn(0x6EF7) + " " +
           Insn(static_cast<uint16_t>(0x0E00 | (a & 0xFF))) + " " + Insn(0x6EF6);
}

const std::string kSinglePanel =
    "85 00 A6 8E 85 00 A6 8C " + TablePointer(0x3C0006) + " 85 0C 00 00 85 00 A6 8E 85 00 A6 9C";

std::string BlockWrite(uint32_t a, const Bytes& d) {
    return TablePointer(a) + " 85 0D " + ToHex({d[0], d[1]}) + " 85 0D " + ToHex({d[2], d[3]}) + " 85 0D " +
           ToHex({d[4], d[5]}) + " 85 0F " + ToHex({d[6], d[7]}) + " 87 F0 81 FC 17 CE 88 00";
}

class Pic18SkipTest : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupPic18(64, 0);
        writer.WriteCycle = 100;
    }
};

TEST_F(Pic18SkipTest, BlocksOfFFAreNotSentAndTheSetupComesBeforeTheFirstBlockThatIs) {
    writer.ProgramData[3] = 0x12;  // block 0
    writer.ProgramData[47] = 0x00; // block 5, its last byte
    writer.SkipBlank = true;
    ASSERT_TRUE(writer.WriteProgram());
    Bytes block0(8, 0xFF);
    block0[3] = 0x12;
    Bytes block5(8, 0xFF);
    block5[7] = 0x00;
    CExpect body;
    body.Add(kSinglePanel, 19).Add(BlockWrite(0, block0), 19).Add(BlockWrite(40, block5), 19);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body)));
    EXPECT_EQ(writer.GetProgress(), 64);

    link.ClearRecords();
    writer.SkipBlank = false;
    ASSERT_TRUE(writer.WriteProgram());
    CExpect all;
    all.Add(kSinglePanel, 19);
    for (uint32_t a = 0; a < 64; a += 8) {
        all.Add(BlockWrite(a, Bytes(writer.ProgramData.begin() + a, writer.ProgramData.begin() + a + 8)), 19);
    }
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(all)));
}

TEST_F(Pic18SkipTest, ABlankImageSendsNothing) {
    writer.SkipBlank = true;
    ASSERT_TRUE(writer.WriteProgram());
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(writer.GetProgress(), 64);
}

TEST_F(Pic18SkipTest, EepromBytesOfFFAreNotSent) {
    SetupPic18(16, 4);
    writer.EepromData = {0xFF, 0x5A, 0xFF, 0xFF};
    // WR clears at the first poll.
    link.SetResponder([](const Bytes& p, size_t) { return AnswerLength(p) ? Bytes{0x00} : Bytes(); });
    writer.SkipBlank = true;
    ASSERT_TRUE(writer.WriteEeprom());
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 3u + 3);
    // The one start packet loads address 1 and the byte 5A.
    EXPECT_EQ(ToHex(sent[2].Data).substr(0, 7 * 12 - 1),
              Insn(0x9EA6) + " " + Insn(0x9CA6) + " " + Insn(0x0E01) + " " + Insn(0x6EA9) + " " +
                  Insn(0x0E00) + " " + Insn(0x6EAA) + " " + Insn(0x0E5A));
    EXPECT_EQ(writer.GetProgress(), 4);

    link.ClearRecords();
    writer.SkipBlank = false;
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_EQ(Sent().size(), 3u + 4 * 3);
}

} // namespace
