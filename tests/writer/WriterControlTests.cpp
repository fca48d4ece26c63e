// Writer control: the fixed control packets, identification, the wait values,
// progress, the trace hook and the link-not-open rule.
#include "WriterTestSupport.h"

#include <tuple>

namespace {

TEST_F(WriterTest, IdleExitAndControlPackets) {
    Open();
    EXPECT_TRUE(writer.SetIdle());
    EXPECT_TRUE(writer.ExitProgramMode());
    EXPECT_TRUE(writer.SendControl(13));
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Add(kIdlePacket, 10).Add(kExitPacket, 10).Add("80 0D", 10)));
}

TEST_F(WriterTest, EntryPacketByMode) {
    Open();
    const std::vector<std::pair<int32_t, std::string>> cases = {
        {0, kEntryMode0}, {1, kEntryMode1},  {2, kEntryMode2},
        {3, kEntryMode0}, {-1, kEntryMode0}, {99, kEntryMode0},
    };
    for (const auto& [mode, packet] : cases) {
        link.ClearRecords();
        writer.EntryMode = mode;
        EXPECT_TRUE(writer.EnterProgramMode());
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Add(packet, 10))) << "entry mode " << mode;
    }
}

TEST_F(WriterTest, SocketCodesByPinCount) {
    Open();
    const std::vector<std::pair<int, std::string>> cases = {
        {8, "80 07|80 0C"}, {14, "80 0C"}, {18, "80 07"}, {28, "80 08"}, {40, "80 08"},
        {0, "80 09"},       {20, "80 09"}, {-8, "80 09"}, {44, "80 09"},
    };
    for (const auto& [pins, codes] : cases) {
        link.ClearRecords();
        EXPECT_TRUE(writer.SelectSocket(pins));
        CExpect expect;
        const size_t bar = codes.find('|');
        expect.Add(codes.substr(0, bar), 10);
        if (bar != std::string::npos) {
            expect.Add(codes.substr(bar + 1), 10);
        }
        EXPECT_TRUE(SamePackets(Sent(), expect)) << pins << " pins";
    }
}

TEST_F(WriterTest, FrameUsesSocketPinsAndEntryMode) {
    Open();
    SetupMid(16, 0);
    writer.SocketPins = 8;
    writer.EntryMode = 2;
    EXPECT_TRUE(writer.ReadDeviceId());
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0].Data, Hex("80 07"));
    EXPECT_EQ(sent[1].Data, Hex("80 0C"));
    EXPECT_EQ(sent[2].Data, Hex(kEntryMode2));
    EXPECT_EQ(sent[5].Data, Hex(kExitPacket));
}

// ---------------------------------------------------------- identification

TEST_F(WriterTest, IdentificationWithBanner) {
    Open();
    link.QueueAnswer({'K', '3', '0', '1', 20, 0xAA});
    EXPECT_TRUE(writer.ReadVersion());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Add(kIdentify, 19)));
    EXPECT_EQ(writer.Version, 0x4B333031u);
    EXPECT_EQ(writer.ClockMHz, 20);
    EXPECT_EQ(writer.Banner, "KVX3 Ver.01 / CLK=20MHz");
    EXPECT_EQ(writer.ShortAnswerCount(), 0u);
}

TEST_F(WriterTest, ShortIdentificationIsTheTestVersion) {
    Open();
    for (size_t n : {4u, 1u, 0u}) {
        link.QueueAnswer({'K', '3', '0', '1', 16});
        ASSERT_TRUE(writer.ReadVersion());
        ASSERT_EQ(writer.ClockMHz, 16);
        Bytes answer = {'K', '3', '0', '1'};
        answer.resize(n);
        link.QueueAnswer(answer);
        ASSERT_TRUE(writer.ReadVersion());
        EXPECT_EQ(writer.Version, 0u) << n << " bytes";
        EXPECT_EQ(writer.ClockMHz, 4) << n << " bytes";
        EXPECT_EQ(writer.Banner, "KVX test Version") << n << " bytes";
    }
}

TEST_F(WriterTest, VersionZeroWithClockIsTheTestVersion) {
    Open();
    link.QueueAnswer({0, 0, 0, 0, 20});
    ASSERT_TRUE(writer.ReadVersion());
    EXPECT_EQ(writer.Version, 0u);
    EXPECT_EQ(writer.ClockMHz, 20);
    EXPECT_EQ(writer.Banner, "KVX test Version");
}

TEST_F(WriterTest, NonKBannerKeepsThePreviousText) {
    Open();
    link.QueueAnswer({'K', 'A', '1', '2', 16});
    ASSERT_TRUE(writer.ReadVersion());
    ASSERT_EQ(writer.Banner, "KVXA Ver.12 / CLK=16MHz");
    link.QueueAnswer({'X', 'B', '3', '4', 20});
    ASSERT_TRUE(writer.ReadVersion());
    EXPECT_EQ(writer.Version, 0x58423334u);
    EXPECT_EQ(writer.ClockMHz, 20);
    EXPECT_EQ(writer.Banner, "KVXA Ver.12 / CLK=16MHz");
}

TEST_F(WriterTest, BannerTextEndsAtANul) {
    Open();
    link.QueueAnswer({'K', '2', '0', 0, 4});
    ASSERT_TRUE(writer.ReadVersion());
    EXPECT_EQ(writer.Banner, "KVX2 Ver.0 / CLK=4MHz");
}

// -------------------------------------------------------------------- waits

TEST_F(WriterTest, WaitValuesForEveryClock) {
    // t (ms) -> value at f = 20, 16, 4
    const std::vector<std::tuple<unsigned, uint16_t, uint16_t, uint16_t>> table = {
        {1, 0xEC77, 0xF05F, 0xFC17}, {2, 0xD8EF, 0xE0BF, 0xF82F},  {4, 0xB1DF, 0xC17F, 0xF05F},
        {5, 0x9E57, 0xB1DF, 0xEC77}, {10, 0x3CAF, 0x63BF, 0xD8EF},
    };
    for (const auto& [t, v20, v16, v4] : table) {
        writer.ClockMHz = 20;
        EXPECT_EQ(writer.WaitValue(t), v20) << t << " ms at 20 MHz";
        writer.ClockMHz = 16;
        EXPECT_EQ(writer.WaitValue(t), v16) << t << " ms at 16 MHz";
        for (int other : {4, 0, 8, 12, 24, 255}) {
            writer.ClockMHz = other;
            EXPECT_EQ(writer.WaitValue(t), v4) << t << " ms at " << other << " MHz";
        }
    }
}

TEST_F(WriterTest, WaitsOnTheWireFollowTheClock) {
    Open();
    SetupMid(16, 0);
    writer.EraseMethod = 4; // 83 00 FE 7F, 82 1F, wait 4 ms
    const std::vector<std::pair<int, std::string>> clocks = {
        {20, "DF B1"}, {16, "7F C1"}, {4, "5F F0"}, {7, "5F F0"}};
    for (const auto& [clock, value] : clocks) {
        writer.ClockMHz = clock;
        link.ClearRecords();
        ASSERT_TRUE(writer.Erase());
        // The control packets keep their unscaled settle waits whatever the clock.
        EXPECT_TRUE(
            SamePackets(Sent(), CExpect().Frame(CExpect().Add("83 00 FE 7F 82 1F 81 00 " + value, 10))))
            << clock << " MHz";
    }
}

// ----------------------------------------------------------------- progress

TEST_F(WriterTest, TakeProgressReturnsTheCountAndLeavesZero) {
    Open();
    SetupMid(48, 0);
    ASSERT_TRUE(writer.ReadProgram());
    EXPECT_EQ(writer.GetProgress(), 96);
    EXPECT_EQ(writer.TakeProgress(), 96);
    EXPECT_EQ(writer.GetProgress(), 0);
    EXPECT_EQ(writer.TakeProgress(), 0);
}

// ------------------------------------------------------------- trace hook

TEST_F(WriterTest, TraceHookSeesEveryPacketAndAnswer) {
    Open();
    SetupMid(16, 0);
    std::vector<std::pair<CWriter::ETraceDirection, Bytes>> trace;
    writer.SetTraceHook([&](CWriter::ETraceDirection d, std::span<const uint8_t> bytes) {
        trace.emplace_back(d, Bytes(bytes.begin(), bytes.end()));
    });
    link.SetResponder([](const Bytes& packet, size_t) {
        // One word answered for a read, nothing for a packet without reads.
        return AnswerLength(packet) != 0 ? MidAnswerWord(0x0E45) : Bytes();
    });
    ASSERT_TRUE(writer.ReadDeviceId());
    const PacketList sent = Sent();
    ASSERT_EQ(trace.size(), 2 * sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(trace[2 * i].first, CWriter::ETraceDirection::Out);
        EXPECT_EQ(trace[2 * i].second, sent[i].Data);
        EXPECT_EQ(trace[2 * i + 1].first, CWriter::ETraceDirection::In);
    }
    // The device ID step is the fourth packet; its answer is the word read.
    EXPECT_EQ(trace[7].second, MidAnswerWord(0x0E45));
    EXPECT_TRUE(trace[1].second.empty());

    writer.SetTraceHook({});
    ASSERT_TRUE(writer.SetIdle());
    EXPECT_EQ(trace.size(), 2 * sent.size());
}

// ----------------------------------------------------- short and lost answers

TEST_F(WriterTest, MissingAnswerBytesReadAsZeroAndAreCounted) {
    Open();
    SetupMid(16, 0);
    link.SetResponder([](const Bytes& packet, size_t) {
        // Only the low byte of the device ID word comes; the backend leaves
        // garbage in the rest of the buffer, which must not be taken.
        return AnswerLength(packet) != 0 ? Bytes{0x8A} : Bytes();
    });
    link.SetScribble(true);
    EXPECT_FALSE(writer.ReadDeviceId()) << "an ID read in part is no ID";
    EXPECT_EQ(writer.DeviceId, 0x45u); // 0x8A >> 1, high byte 0
    EXPECT_EQ(writer.ShortAnswerCount(), 1u);
    EXPECT_EQ(writer.LinkFault(), ELinkFault::TransferFailed);
    writer.ClearLinkFault();
    EXPECT_EQ(writer.LinkFault(), ELinkFault::None);
}

TEST_F(WriterTest, AnOtherCoreSendsNothing) {
    Open();
    writer.CoreWidth = 12;
    writer.EraseMethod = 1;
    EXPECT_TRUE(writer.ReadDeviceId());
    EXPECT_TRUE(writer.ReadConfig());
    EXPECT_TRUE(writer.ReadProgram());
    EXPECT_TRUE(writer.ReadEeprom());
    EXPECT_TRUE(writer.ReadCalibration());
    EXPECT_TRUE(writer.WriteConfig(false));
    EXPECT_TRUE(writer.WriteProgram());
    EXPECT_TRUE(writer.WriteEeprom());
    EXPECT_TRUE(writer.WriteCalibration());
    EXPECT_TRUE(writer.Erase());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(WriterTest, NothingIsSentWhileTheLinkIsNotOpen) {
    SetupMid(64, 16);
    writer.EraseMethod = 1;
    writer.CalAddress = 3;
    EXPECT_FALSE(writer.SetIdle());
    EXPECT_FALSE(writer.SendControl(0));
    EXPECT_FALSE(writer.SelectSocket(8));
    EXPECT_FALSE(writer.EnterProgramMode());
    EXPECT_FALSE(writer.ExitProgramMode());
    EXPECT_FALSE(writer.ReadVersion());
    for (int32_t core : {kCoreMidRange, kCorePic18}) {
        writer.CoreWidth = core;
        EXPECT_FALSE(writer.ReadDeviceId());
        EXPECT_FALSE(writer.ReadConfig());
        EXPECT_FALSE(writer.ReadProgram());
        EXPECT_FALSE(writer.ReadEeprom());
        EXPECT_FALSE(writer.ReadCalibration());
        EXPECT_FALSE(writer.WriteConfig(true));
        EXPECT_FALSE(writer.WriteProgram());
        EXPECT_FALSE(writer.WriteEeprom());
        EXPECT_FALSE(writer.WriteCalibration());
        EXPECT_FALSE(writer.Erase());
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(link.Delays().empty());
    EXPECT_EQ(link.PresenceChecks(), 0);
    EXPECT_EQ(link.Violations(), 0);
}

} // namespace
