// Device records that the mid-range packets have no room for, or whose sizes
// disagree with their buffers: the engine clips, never grows a packet beyond
// 64 bytes, never loops forever and never touches a byte outside the image.
#include "WriterTestSupport.h"

namespace {

class MidBoundsTest : public WriterTest {
protected:
    void SetUp() override { Open(); }

    // Packets between the frame's entry and exit.
    PacketList Body() const {
        PacketList sent = Sent();
        EXPECT_GE(sent.size(), 3u);
        if (sent.size() < 3) {
            return {};
        }
        return PacketList(sent.begin() + 2, sent.end() - 1);
    }

    void ExpectNoViolations() {
        EXPECT_EQ(link.Violations(), 0);
        for (const CPacketRecord& r : Sent()) {
            EXPECT_LE(r.Data.size(), 64u);
        }
    }
};

TEST_F(MidBoundsTest, RowSizeIsClippedToAnEvenSizeInTwoToTwentyTwo) {
    // row bytes asked -> words per latch packet
    const std::vector<std::pair<int32_t, size_t>> cases = {{0, 1}, {-4, 1},  {1, 1},   {2, 1},  {7, 3},
                                                           {8, 4}, {22, 11}, {23, 11}, {40, 11}};
    for (const auto& [row, words] : cases) {
        SetupMid(33, 0);
        writer.WriteCycle = 1;
        writer.WriteBlockBytes = row;
        link.ClearRecords();
        ASSERT_TRUE(writer.WriteProgram());
        const PacketList body = Body();
        const size_t rows = (33 + words - 1) / words;
        ASSERT_EQ(body.size(), 2 * rows) << "row " << row;
        // A full row: load + increment per word except the last.
        EXPECT_EQ(body[0].Data.size(), 6 * words - 2) << "row " << row;
        // The last row holds what is left of the 33 words.
        const size_t last = 33 - (rows - 1) * words;
        EXPECT_EQ(body[body.size() - 2].Data.size(), 6 * last - 2) << "row " << row;
        EXPECT_EQ(writer.GetProgress(), 66) << "row " << row;
        writer.TakeProgress();
        ExpectNoViolations();
    }
}

TEST_F(MidBoundsTest, AtMostSixConfigurationWords) {
    SetupMid(16, 0);
    writer.ConfigCount = 9;
    ASSERT_TRUE(writer.ReadConfig());
    PacketList body = Body();
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[2].Data.size(), 6u * 4 - 2);
    EXPECT_EQ(AnswerLength(body[2].Data), 12u);

    link.ClearRecords();
    writer.BlockWrite = 0;
    ASSERT_TRUE(writer.WriteConfig(false));
    body = Body();
    ASSERT_EQ(body.size(), 1u + 8 + 1 + 6);

    link.ClearRecords();
    writer.CalAddress = 0;
    ASSERT_TRUE(writer.ReadCalibration());
    body = Body();
    EXPECT_EQ(body.size(), 1u + 6);
    ExpectNoViolations();
}

TEST_F(MidBoundsTest, ProgramMemoryNotAWholeNumberOfBlocks) {
    SetupMid(20, 0); // 16 + 4 words
    link.SetResponder([](const Bytes& p, size_t) {
        Bytes answer;
        for (size_t i = 0; i < AnswerLength(p) / 2; ++i) {
            const Bytes b = MidAnswerWord(0x1000 + static_cast<uint32_t>(i));
            answer.insert(answer.end(), b.begin(), b.end());
        }
        return answer;
    });
    ASSERT_TRUE(writer.ReadProgram());
    const PacketList body = Body();
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[0].Data.size(), 64u);
    EXPECT_EQ(body[1], (CPacketRecord{Hex("84 04 82 06 84 04 82 06 84 04 82 06 84 04 82 06"), 63}));
    EXPECT_EQ(writer.ProgramWord(19), 0x1003u);
    EXPECT_EQ(writer.GetProgress(), 40);
}

TEST_F(MidBoundsTest, SizeFieldsLargerThanTheBuffersStopAtTheBuffers) {
    SetupMid(16, 16);
    writer.ProgramBytes = 100000;
    writer.EepromSize = 4000;
    ASSERT_TRUE(writer.ReadProgram());
    EXPECT_EQ(Body().size(), 1u);
    link.ClearRecords();
    ASSERT_TRUE(writer.ReadEeprom());
    EXPECT_EQ(Body().size(), 1u);
    for (int32_t cycle : {0, 2}) {
        link.ClearRecords();
        writer.WriteCycle = cycle;
        writer.WriteBlockBytes = 8;
        ASSERT_TRUE(writer.WriteProgram());
        EXPECT_EQ(Body().size(), cycle == 0 ? 32u : 8u);
    }
    link.ClearRecords();
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_EQ(Body().size(), 16u);
    ExpectNoViolations();
}

TEST_F(MidBoundsTest, OddProgramLengthKeepsTheLastByteInside) {
    SetupMid(16, 0);
    writer.ProgramData.resize(31);
    writer.ProgramBytes = 31;
    link.SetResponder([](const Bytes& p, size_t) {
        Bytes answer;
        for (size_t i = 0; i < AnswerLength(p) / 2; ++i) {
            const Bytes b = MidAnswerWord(0x2A55);
            answer.insert(answer.end(), b.begin(), b.end());
        }
        return answer;
    });
    ASSERT_TRUE(writer.ReadProgram());
    EXPECT_EQ(writer.ProgramData.size(), 31u);
    EXPECT_EQ(writer.ProgramData[30], 0x55);
    EXPECT_EQ(writer.GetProgress(), 31);

    // The missing high byte of the last word is written as blank.
    link.ClearRecords();
    link.SetResponder({});
    writer.WriteCycle = 1;
    writer.WriteBlockBytes = 22;
    ASSERT_TRUE(writer.WriteProgram());
    const PacketList body = Body();
    ASSERT_EQ(body.size(), 4u);
    const Bytes& lastRow = body[2].Data;
    EXPECT_EQ(Bytes(lastRow.end() - 2, lastRow.end()), Hex(MidData(0x3F55)));
}

TEST_F(MidBoundsTest, EepromNotAWholeNumberOfBlocks) {
    SetupMid(16, 20);
    ASSERT_TRUE(writer.ReadEeprom());
    const PacketList body = Body();
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[1], (CPacketRecord{Hex("84 05 82 06 84 05 82 06 84 05 82 06 84 05 82 06"), 64}));
    EXPECT_EQ(writer.GetProgress(), 20);
}

TEST_F(MidBoundsTest, CalibrationAddressOutsideProgramMemoryIsNone) {
    SetupMid(64, 0);
    writer.ConfigCount = 1;
    for (int32_t cal : {64, 65, 0x7FFFFFFF, -1}) {
        link.ClearRecords();
        writer.CalAddress = cal;
        const Bytes before = writer.ProgramData;
        ASSERT_TRUE(writer.ReadCalibration());
        EXPECT_EQ(Sent().size(), 2u + 2 + 1) << "CalAddress " << cal; // one frame only
        EXPECT_EQ(writer.ProgramData, before);
    }
    // The last word is still a calibration word: socket, entry, two packets
    // of 30 increments and three single ones, the read, exit; then the
    // configuration frame of five packets.
    link.ClearRecords();
    writer.CalAddress = 63;
    ASSERT_TRUE(writer.ReadCalibration());
    EXPECT_EQ(Sent().size(), (2u + 5 + 1 + 1) + 5);
    ExpectNoViolations();
}

TEST_F(MidBoundsTest, NoProgramMemoryMeansOnlyTheFrame) {
    SetupMid(0, 0);
    ASSERT_TRUE(writer.ReadProgram());
    ASSERT_TRUE(writer.WriteProgram());
    ASSERT_TRUE(writer.ReadEeprom());
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame({}).Frame({}).Frame({}).Frame({})));
}

} // namespace
