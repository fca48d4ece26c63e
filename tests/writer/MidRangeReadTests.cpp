// Mid-range reads: device ID, configuration, program memory, EEPROM and
// calibration, byte for byte, with the answers decoded into the image.
#include "WriterTestSupport.h"

namespace {

std::string Increments(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += i == 0 ? "82 06" : " 82 06";
    }
    return s;
}

std::string RepeatText(const std::string& unit, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += (i == 0 ? "" : " ") + unit;
    }
    return s;
}

const std::string kDeviceIdStep = "82 06 82 06 84 04 82 06";

class MidReadTest : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupMid(128, 16);
    }
};

TEST_F(MidReadTest, DeviceId) {
    link.QueueAnswer({});                    // socket
    link.QueueAnswer({});                    // entry
    link.QueueAnswer({});                    // to 0x2004
    link.QueueAnswer(MidAnswerWord(0x1234)); // device ID step
    ASSERT_TRUE(writer.ReadDeviceId());
    EXPECT_TRUE(SamePackets(
        Sent(),
        CExpect().Frame(CExpect().Add("83 00 00 00 82 06 82 06 82 06 82 06", 21).Add(kDeviceIdStep, 19))));
    EXPECT_EQ(writer.DeviceId, 0x1234u);
    EXPECT_EQ(writer.GetProgress(), 0);
}

TEST_F(MidReadTest, ErasedDeviceIdBecomesNone) {
    link.SetResponder(
        [](const Bytes& p, size_t) { return AnswerLength(p) ? MidAnswerWord(0x3FFF) : Bytes(); });
    ASSERT_TRUE(writer.ReadDeviceId());
    EXPECT_EQ(writer.DeviceId, 0xFFFFu);
}

TEST_F(MidReadTest, Configuration) {
    writer.ConfigCount = 3;
    link.QueueAnswer({});
    link.QueueAnswer({});
    Bytes ids;
    for (uint32_t w : {0x3F8Au, 0x3F81u, 0x3FFFu, 0x0010u}) {
        const Bytes b = MidAnswerWord(w);
        ids.insert(ids.end(), b.begin(), b.end());
    }
    link.QueueAnswer(ids);
    link.QueueAnswer(MidAnswerWord(0x0E43));
    Bytes cfg;
    for (uint32_t w : {0x3F72u, 0x1234u, 0x0001u}) {
        const Bytes b = MidAnswerWord(w);
        cfg.insert(cfg.end(), b.begin(), b.end());
    }
    link.QueueAnswer(cfg);
    ASSERT_TRUE(writer.ReadConfig());
    EXPECT_TRUE(SamePackets(
        Sent(), CExpect().Frame(CExpect()
                                    .Add("83 00 00 00 84 04 82 06 84 04 82 06 84 04 82 06 84 04 82 06", 19)
                                    .Add(kDeviceIdStep, 19)
                                    .Add("84 04 82 06 84 04 82 06 84 04", 19))));
    EXPECT_EQ(writer.UserId[0], 0x0Au);
    EXPECT_EQ(writer.UserId[1], 0x01u);
    EXPECT_EQ(writer.UserId[2], 0x0Fu);
    EXPECT_EQ(writer.UserId[3], 0x00u);
    EXPECT_EQ(writer.DeviceId, 0x0E43u);
    EXPECT_EQ(writer.Config[0], 0x3F72u);
    EXPECT_EQ(writer.Config[1], 0x1234u);
    EXPECT_EQ(writer.Config[2], 0x0001u);
    EXPECT_EQ(writer.GetProgress(), 10);
}

TEST_F(MidReadTest, ConfigurationOfOneWordReadsOneWord) {
    writer.ConfigCount = 1;
    ASSERT_TRUE(writer.ReadConfig());
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[4], (CPacketRecord{Hex("84 04"), 19}));
}

TEST_F(MidReadTest, ProgramMemoryBlocks) {
    uint32_t next = 0;
    link.SetResponder([&next](const Bytes& p, size_t) {
        Bytes answer;
        for (size_t i = 0; i < AnswerLength(p) / 2; ++i) {
            const Bytes b = MidAnswerWord((next++ * 0x0101) & 0x3FFF);
            answer.insert(answer.end(), b.begin(), b.end());
        }
        return answer;
    });
    ASSERT_TRUE(writer.ReadProgram());
    const std::string block = RepeatText("84 04 82 06", 16);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(CExpect().Repeat(block, 63, 8))));
    for (uint32_t i = 0; i < 128; ++i) {
        ASSERT_EQ(writer.ProgramWord(i), (i * 0x0101) & 0x3FFF) << "word " << i;
    }
    EXPECT_EQ(writer.GetProgress(), 256);
}

TEST_F(MidReadTest, EepromBlocks) {
    Bytes answer;
    for (uint32_t b = 0; b < 16; ++b) {
        const uint32_t value = b * 17;
        answer.push_back(static_cast<uint8_t>((value << 1) & 0xFF));
        answer.push_back(static_cast<uint8_t>(value >> 7));
    }
    link.QueueAnswer({});
    link.QueueAnswer({});
    link.QueueAnswer(answer);
    ASSERT_TRUE(writer.ReadEeprom());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(CExpect().Add(RepeatText("84 05 82 06", 16), 64))));
    for (uint32_t b = 0; b < 16; ++b) {
        EXPECT_EQ(writer.EepromData[b], b * 17) << "byte " << b;
    }
    EXPECT_EQ(writer.GetProgress(), 16);
}

// The calibration read advances to the calibration word in packets of 30
// increments and single increments, exactly n in all.
TEST_F(MidReadTest, CalibrationAdvancesExactlyToTheWord) {
    writer.ConfigCount = 1;
    for (uint32_t n : {29u, 30u, 31u, 61u, 127u}) {
        link.ClearRecords();
        writer.CalAddress = static_cast<int32_t>(n);
        link.SetResponder([](const Bytes& p, size_t) {
            return p == Hex("84 04") ? MidAnswerWord(0x3455) : Bytes(AnswerLength(p), 0);
        });
        ASSERT_TRUE(writer.ReadCalibration());
        CExpect first;
        first.Repeat(Increments(30), 19, n / 30).Repeat("82 06", 19, n % 30).Add("84 04", 19);
        CExpect second;
        second.Add("83 00 00 00 " + Increments(6), 19).Add("82 06 84 04", 19);
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(first).Frame(second))) << "CalAddress " << n;
        EXPECT_EQ(writer.ProgramWord(n), 0x3455u);
        EXPECT_EQ(writer.GetProgress(), 0);
    }
}

TEST_F(MidReadTest, CalibrationAtZeroRunsOnlyTheConfigurationFrame) {
    writer.ConfigCount = 2;
    writer.Config[0] = 0x3FFF;
    writer.Config[1] = 0x2AAA;
    writer.ConfigCalMask[0] = 0x3000;
    writer.ConfigCalMask[1] = 0;
    writer.CalAddress = 0;
    const Bytes before = writer.ProgramData;
    link.SetResponder(
        [](const Bytes& p, size_t) { return AnswerLength(p) ? MidAnswerWord(0x1234) : Bytes(); });
    ASSERT_TRUE(writer.ReadCalibration());
    CExpect second;
    second.Add("83 00 00 00 " + Increments(6), 19).Repeat("82 06 84 04", 19, 2);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(second)));
    EXPECT_EQ(writer.ProgramData, before);
    EXPECT_EQ(writer.Config[0], 0x1FFFu); // only the calibration bits come from the chip
    EXPECT_EQ(writer.Config[1], 0x2AAAu);
}

} // namespace
