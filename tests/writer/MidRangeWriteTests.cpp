// Mid-range writes and erases, byte for byte: the latch row, both word write
// variants, the EEPROM methods, the configuration methods and the calibration
// write, and erase methods 1 to 5.
#include "WriterTestSupport.h"

#include <algorithm>

namespace {

const std::string kDeviceIdStep = "82 06 82 06 84 04 82 06";
// Waits at the 4 MHz clock the fixture's writer reports.
const std::string kWait2 = "81 00 2F F8";
const std::string kWait4 = "81 00 5F F0";
const std::string kWait10 = "81 00 EF D8";

std::string Load(uint32_t w) {
    return "83 02 " + MidData(w);
}

// Answers a word write's read-back with the word it loaded, any other read
// with the given device ID word.
CFakeUsbLink::Responder EchoingChip(uint32_t deviceId) {
    return [deviceId](const Bytes& p, size_t) -> Bytes {
        if (AnswerLength(p) == 0) {
            return {};
        }
        if (p.size() >= 4 && p[0] == 0x83 && p[1] == 0x02) {
            return MidAnswerWord(((p[3] << 7) & 0x3FFF) | (p[2] >> 1));
        }
        return MidAnswerWord(deviceId);
    };
}

void SetWord(CWriter& w, uint32_t i, uint32_t value) {
    w.ProgramData[2 * i] = static_cast<uint8_t>(value & 0xFF);
    w.ProgramData[2 * i + 1] = static_cast<uint8_t>(value >> 8);
}

class MidWriteTest : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupMid(4, 0);
        SetWord(writer, 0, 0x0123);
        SetWord(writer, 1, 0x0456);
        SetWord(writer, 2, 0x3FFF);
        SetWord(writer, 3, 0x2000);
    }
};

TEST_F(MidWriteTest, LatchRowAndEndCommandByWriteCycle) {
    const std::vector<std::pair<int32_t, std::string>> cycles = {{2, "17"}, {1, "0E"}};
    for (const auto& [cycle, end] : cycles) {
        link.ClearRecords();
        writer.TakeProgress();
        writer.WriteCycle = cycle;
        writer.WriteBlockBytes = 8;
        ASSERT_TRUE(writer.WriteProgram());
        CExpect body;
        body.Add(Load(0x0123) + " 82 06 " + Load(0x0456) + " 82 06 " + Load(0x3FFF) + " 82 06 " +
                     Load(0x2000),
                 10);
        body.Add("82 18 " + kWait2 + " 82 " + end + " 82 06", 10);
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body))) << "WriteCycle " << cycle;
        EXPECT_EQ(writer.GetProgress(), 8);
    }
}

TEST_F(MidWriteTest, WordWriteWithReadBack) {
    writer.WriteCycle = 0;
    link.SetResponder(EchoingChip(0x0E40));
    ASSERT_TRUE(writer.WriteProgram());
    CExpect body;
    for (uint32_t w : {0x0123u, 0x0456u, 0x3FFFu, 0x2000u}) {
        body.Add(Load(w) + " 82 08 " + kWait4 + " 84 04", 10).Add("82 06", 10);
    }
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body)));
    EXPECT_TRUE(link.Delays().empty());
    EXPECT_EQ(writer.GetProgress(), 8);
}

TEST_F(MidWriteTest, WordWriteReadBackMismatchWaitsLonger) {
    writer.WriteCycle = 3;
    link.SetResponder([](const Bytes& p, size_t) -> Bytes {
        // The first word reads back with one bit of its high byte missing.
        if (p.size() >= 4 && p[0] == 0x83 && p[2] == MidAnswerWord(0x0123)[0]) {
            return MidAnswerWord(0x0023);
        }
        return p.size() >= 4 && p[0] == 0x83 ? MidAnswerWord(((p[3] << 7) & 0x3FFF) | (p[2] >> 1)) : Bytes();
    });
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_EQ(link.Delays(), std::vector<unsigned>{4});
}

TEST_F(MidWriteTest, WordWriteWithoutDeviceIdNeverReads) {
    writer.WriteCycle = 0;
    writer.DeviceId = 0xFFFF;
    ASSERT_TRUE(writer.WriteProgram());
    CExpect body;
    for (uint32_t w : {0x0123u, 0x0456u, 0x3FFFu, 0x2000u}) {
        body.Add(Load(w) + " 82 08", 10).Add("82 06", 10);
    }
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body)));
    EXPECT_EQ(link.Delays(), (std::vector<unsigned>{20, 20, 20, 20}));
    for (const CPacketRecord& r : Sent()) {
        EXPECT_EQ(AnswerLength(r.Data), 0u) << ToHex(r.Data);
    }
}

TEST_F(MidWriteTest, EepromByMethod) {
    SetupMid(4, 2);
    writer.EepromData = {0xA5, 0x00};
    writer.EepromMethod = 1;
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_TRUE(
        SamePackets(Sent(), CExpect().Frame(CExpect()
                                                .Add("83 03 4A 01 82 18 " + kWait4 + " 82 17 82 06", 10)
                                                .Add("83 03 00 00 82 18 " + kWait4 + " 82 17 82 06", 10))));
    EXPECT_EQ(writer.GetProgress(), 2);

    for (int32_t method : {0, 3, -1}) {
        link.ClearRecords();
        writer.EepromMethod = method;
        ASSERT_TRUE(writer.WriteEeprom());
        EXPECT_TRUE(
            SamePackets(Sent(), CExpect().Frame(CExpect()
                                                    .Add("83 03 4A 01 82 08 " + kWait10 + " 82 06", 10)
                                                    .Add("83 03 00 00 82 08 " + kWait10 + " 82 06", 10))))
            << "method " << method;
    }
}

// ------------------------------------------------------------ configuration

class MidConfigTest : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupMid(16, 0);
        writer.ConfigCount = 2;
        writer.Config[0] = 0x1F30;
        writer.ConfigProtectMask[0] = 0x2030;
        writer.Config[1] = 0x3FFC;
        writer.ConfigProtectMask[1] = 0;
        writer.UserId[0] = 1;
        writer.UserId[1] = 2;
        writer.UserId[2] = 0x13; // only the low 4 bits go to the chip
        writer.UserId[3] = 0xFF;
        link.SetResponder(EchoingChip(0x0E41));
    }
    static constexpr uint32_t kIds[4] = {0x3F81, 0x3F82, 0x3F83, 0x3F8F};
};

TEST_F(MidConfigTest, WordStyleWithAndWithoutProtection) {
    writer.BlockWrite = 0;
    for (bool protect : {false, true}) {
        link.ClearRecords();
        writer.TakeProgress();
        writer.DeviceId = 0x0E40;
        ASSERT_TRUE(writer.WriteConfig(protect));
        CExpect body;
        body.Add("83 00 00 00", 10);
        for (uint32_t id : kIds) {
            body.Add(Load(id) + " 82 08 " + kWait4 + " 84 04", 10).Add("82 06", 10);
        }
        body.Add(kDeviceIdStep, 19);
        body.Add(Load(protect ? 0x1F30 : 0x3F30) + " 82 08 " + kWait10 + " 82 06", 10);
        body.Add(Load(0x3FFC) + " 82 08 " + kWait10 + " 82 06", 10);
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body))) << "protect " << protect;
        EXPECT_EQ(writer.GetProgress(), 18);
        EXPECT_EQ(writer.DeviceId, 0x0E41u);
    }
}

TEST_F(MidConfigTest, LatchStyleWithSmallRowWritesIdsOneByOne) {
    writer.BlockWrite = 1;
    writer.WriteCycle = 0;
    for (int32_t row : {2, 4, 6, 0}) {
        link.ClearRecords();
        writer.TakeProgress();
        writer.WriteBlockBytes = row;
        ASSERT_TRUE(writer.WriteConfig(false));
        CExpect body;
        body.Add("83 00 00 00", 10);
        for (uint32_t id : kIds) {
            body.Add(Load(id), 10).Add("82 18 " + kWait2 + " 82 0E 82 06", 10);
        }
        body.Add(kDeviceIdStep, 19);
        body.Add(Load(0x3F30) + " 82 08 " + kWait4 + " 82 0E 82 06", 10);
        body.Add(Load(0x3FFC) + " 82 08 " + kWait4 + " 82 0E 82 06", 10);
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body))) << "row " << row;
        EXPECT_EQ(writer.GetProgress(), 14);
    }
}

TEST_F(MidConfigTest, LatchStyleWithRowOfEightOrMoreWritesIdsAtOnce) {
    writer.BlockWrite = 1;
    writer.WriteCycle = 3;
    for (int32_t row : {8, 22, 40}) {
        link.ClearRecords();
        writer.TakeProgress();
        writer.WriteBlockBytes = row;
        ASSERT_TRUE(writer.WriteConfig(true));
        CExpect body;
        body.Add("83 00 00 00", 10);
        body.Add(Load(kIds[0]) + " 82 06 " + Load(kIds[1]) + " 82 06 " + Load(kIds[2]) + " 82 06 " +
                     Load(kIds[3]),
                 10);
        body.Add("82 18 " + kWait2 + " 82 0A 82 06", 10);
        body.Add(kDeviceIdStep, 19);
        body.Add(Load(0x1F30) + " 82 08 " + kWait4 + " 82 0A 82 06", 10);
        body.Add(Load(0x3FFC) + " 82 08 " + kWait4 + " 82 0A 82 06", 10);
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body))) << "row " << row;
        EXPECT_EQ(writer.GetProgress(), 18);
    }
}

TEST_F(MidConfigTest, CalibrationWordThenConfiguration) {
    writer.BlockWrite = 0;
    writer.DeviceId = 0xFFFF;
    writer.ConfigCount = 1;
    writer.CalAddress = 2;
    SetWord(writer, 2, 0x3455);
    link.SetResponder({});
    ASSERT_TRUE(writer.WriteCalibration());
    CExpect first;
    first.Repeat("82 06", 19, 2).Add(Load(0x3455) + " 82 08", 10).Add("82 06", 10);
    CExpect second;
    second.Add("83 00 00 00", 10);
    for (uint32_t id : kIds) {
        second.Add(Load(id) + " 82 08", 10).Add("82 06", 10);
    }
    second.Add(kDeviceIdStep, 19).Add(Load(0x3F30) + " 82 08 " + kWait10 + " 82 06", 10);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(first).Frame(second)));
}

TEST_F(MidConfigTest, CalibrationWriteWithoutCalibrationWordWritesOnlyTheConfiguration) {
    writer.BlockWrite = 0;
    writer.ConfigCount = 1;
    for (int32_t cal : {0, -5, 16, 100000}) {
        link.ClearRecords();
        writer.CalAddress = cal;
        ASSERT_TRUE(writer.WriteCalibration());
        const PacketList sent = Sent();
        ASSERT_GE(sent.size(), 3u);
        EXPECT_EQ(sent[2], (CPacketRecord{Hex("83 00 00 00"), 10})) << "CalAddress " << cal;
        EXPECT_EQ(std::count(sent.begin(), sent.end(), CPacketRecord{Hex(kExitPacket), 10}), 1);
    }
}

// -------------------------------------------------------------------- erase

TEST_F(WriterTest, EraseMethods) {
    Open();
    const std::string cycle = "82 01 82 07 82 08 " + std::string("81 00 EF D8") + " 82 01 82 07";
    const std::string protectedErase = "83 00 FE 7F 82 06 82 06 82 06 82 06 82 06 82 06 82 06";
    struct Case {
        int32_t method;
        uint32_t eeprom;
        PacketList body;
    };
    const std::vector<Case> cases = {
        {1, 0, CExpect().Add("83 00 00 00 82 09 81 00 EF D8", 10)},
        {1, 16, CExpect().Add("83 00 00 00 82 09 81 00 EF D8", 10).Add("82 0B 81 00 EF D8", 10)},
        {2, 0,
         CExpect().Add("83 02 FE 7F 82 09 82 08 81 00 EF D8", 10).Add(protectedErase, 10).Add(cycle, 10)},
        {2, 16,
         CExpect()
             .Add("83 02 FE 7F 82 09 82 08 81 00 EF D8", 10)
             .Add("83 03 FE 7F 82 0B 82 08 81 00 EF D8", 10)
             .Add(protectedErase, 10)
             .Add(cycle, 10)},
        {3, 0, CExpect().Add("83 02 FE 7F", 10).Add(cycle, 10).Add(protectedErase, 10).Add(cycle, 10)},
        {3, 16,
         CExpect()
             .Add("83 02 FE 7F", 10)
             .Add(cycle, 10)
             .Add("83 03 FE 7F", 10)
             .Add(cycle, 10)
             .Add(protectedErase, 10)
             .Add(cycle, 10)},
        {4, 0, CExpect().Add("83 00 FE 7F 82 1F 81 00 5F F0", 10)},
        {4, 16, CExpect().Add("83 00 FE 7F 82 1F 81 00 5F F0", 10)},
        {5, 16, CExpect().Add("83 00 FE 7F 82 09 82 0E 81 00 5F F0", 10)},
    };
    for (const Case& c : cases) {
        SetupMid(64, c.eeprom);
        writer.EraseMethod = c.method;
        link.ClearRecords();
        ASSERT_TRUE(writer.Erase());
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(c.body)))
            << "method " << c.method << ", EEPROM " << c.eeprom;
        EXPECT_EQ(writer.GetProgress(), 0);
    }
    for (int32_t method : {0, 8, -1, 100}) {
        SetupMid(64, 16);
        writer.EraseMethod = method;
        link.ClearRecords();
        EXPECT_TRUE(writer.Erase());
        EXPECT_TRUE(Sent().empty()) << "method " << method;
    }
}

} // namespace
