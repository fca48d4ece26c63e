// The PIC18 engine byte for byte: table pointer, block read and write, the
// device ID step, the single-panel setup, EEPROM with its bounded poll, the
// configuration pairs, both erase methods, progress, the stop request and
// images that are not whole blocks.
#include "WriterTestSupport.h"

namespace {

std::string Insn(uint16_t i) {
    return ToHex({0x85, 0x00, static_cast<uint8_t>(i & 0xFF), static_cast<uint8_t>(i >> 8)});
}

std::string TablePointer(uint32_t a) {
    return Insn(static_cast<uint16_t>(0x0E00 | ((a >> 16) & 0xFF))) + " " + Insn(0x6EF8) + " " +
           Insn(static_cast<uint16_t>(0x0E00 | ((a >> 8) & 0xFF))) + " " + Insn(0x6EF7) + " " +
           Insn(static_cast<uint16_t>(0x0E00 | (a & 0xFF))) + " " + Insn(0x6EF6);
}

std::string ByteHex(uint32_t b) {
    return ToHex({static_cast<uint8_t>(b)});
}

const std::string kBlockRead = "86 09 86 09 86 09 86 09 86 09 86 09 86 09 86 09";
const std::string kSinglePanel =
    "85 00 A6 8E 85 00 A6 8C " + TablePointer(0x3C0006) + " 85 0C 00 00 85 00 A6 8E 85 00 A6 9C";
const std::string kDeviceIdStep = TablePointer(0x3FFFFE) + " 86 09 00 00 86 09 00 00";

// Block write of d at a, with the 1 ms wait value's bytes at the 4 MHz clock.
std::string BlockWrite(uint32_t a, const Bytes& d, const std::string& wait = "FC 17") {
    return TablePointer(a) + " 85 0D " + ToHex({d[0], d[1]}) + " 85 0D " + ToHex({d[2], d[3]}) + " 85 0D " +
           ToHex({d[4], d[5]}) + " 85 0F " + ToHex({d[6], d[7]}) + " 87 F0 81 " + wait + " CE 88 00";
}

class Pic18Test : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupPic18(16, 0);
        for (size_t i = 0; i < writer.ProgramData.size(); ++i) {
            writer.ProgramData[i] = static_cast<uint8_t>(0x10 + i);
        }
    }
    Bytes Image(size_t from, size_t count) const {
        return Bytes(writer.ProgramData.begin() + static_cast<std::ptrdiff_t>(from),
                     writer.ProgramData.begin() + static_cast<std::ptrdiff_t>(from + count));
    }
};

TEST_F(Pic18Test, DeviceId) {
    link.SetResponder([](const Bytes& p, size_t) { return AnswerLength(p) ? Bytes{0x43, 0x05} : Bytes(); });
    ASSERT_TRUE(writer.ReadDeviceId());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(CExpect().Add(kDeviceIdStep, 10))));
    EXPECT_EQ(Sent()[2].Data.size(), 32u);
    EXPECT_EQ(writer.DeviceId, 0x0543u);
}

TEST_F(Pic18Test, ProgramMemoryRead) {
    uint8_t next = 0x80;
    link.SetResponder([&next](const Bytes& p, size_t) {
        Bytes answer;
        for (size_t i = 0; i < AnswerLength(p); ++i) {
            answer.push_back(next++);
        }
        return answer;
    });
    ASSERT_TRUE(writer.ReadProgram());
    EXPECT_TRUE(SamePackets(
        Sent(), CExpect().Frame(CExpect().Add(TablePointer(0), 19).Add(kBlockRead, 19).Add(kBlockRead, 19))));
    EXPECT_EQ(Sent()[2].Data.size(), 24u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(writer.ProgramData[i], 0x80 + i);
    }
    EXPECT_EQ(writer.GetProgress(), 16);
}

TEST_F(Pic18Test, Configuration) {
    writer.Config[14] = 0x1234;
    writer.Config[15] = 0x5678;
    uint8_t next = 0;
    link.SetResponder([&next](const Bytes& p, size_t) {
        Bytes answer;
        for (size_t i = 0; i < AnswerLength(p); ++i) {
            answer.push_back(next++);
        }
        return answer;
    });
    ASSERT_TRUE(writer.ReadConfig());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(CExpect()
                                                        .Add(TablePointer(0x200000), 19)
                                                        .Add(kBlockRead, 19)
                                                        .Add(TablePointer(0x300000), 19)
                                                        .Add(kBlockRead, 19)
                                                        .Add(kBlockRead, 19)
                                                        .Add(kDeviceIdStep, 10))));
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(writer.UserId[i], i);
    }
    for (uint32_t i = 0; i < 14; ++i) {
        EXPECT_EQ(writer.Config[i], 8 + i);
    }
    EXPECT_EQ(writer.Config[14], 0x1234u); // bytes 14 and 15 are read and dropped
    EXPECT_EQ(writer.Config[15], 0x5678u);
    EXPECT_EQ(writer.DeviceId, (25u << 8) | 24u);
    EXPECT_EQ(writer.GetProgress(), 26);
}

TEST_F(Pic18Test, EepromRead) {
    SetupPic18(16, 258);
    link.SetResponder([](const Bytes& p, size_t) {
        // The address is the operand of the MOVLW before MOVWF EEADR.
        return AnswerLength(p) ? Bytes{static_cast<uint8_t>(p[10] ^ 0x5A)} : Bytes();
    });
    ASSERT_TRUE(writer.ReadEeprom());
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 258 + 1);
    const std::string read = " 85 00 A6 80 85 00 A8 50 85 00 F5 6E 85 00 00 00 86 02";
    EXPECT_EQ(
        sent[2],
        (CPacketRecord{Hex("85 00 A6 9E 85 00 A6 9C 85 00 00 0E 85 00 A9 6E 85 00 00 0E 85 00 AA 6E" + read),
                       19}));
    EXPECT_EQ(sent[2 + 257], (CPacketRecord{Hex("85 00 A6 9E 85 00 A6 9C 85 00 01 0E 85 00 A9 6E 85 00 01 0E "
                                                "85 00 AA 6E" +
                                                read),
                                            19}));
    EXPECT_EQ(sent[2].Data.size(), 42u);
    for (size_t a = 0; a < 258; ++a) {
        ASSERT_EQ(writer.EepromData[a], (a & 0xFF) ^ 0x5A) << a;
    }
    EXPECT_EQ(writer.GetProgress(), 258);
}

std::string EepromStart(uint32_t a, uint8_t b) {
    return "85 00 A6 9E 85 00 A6 9C 85 00 " + ByteHex(a & 0xFF) + " 0E 85 00 A9 6E 85 00 " + ByteHex(a >> 8) +
           " 0E 85 00 AA 6E 85 00 " + ByteHex(b) +
           " 0E 85 00 A8 6E 85 00 A6 84 85 00 55 0E 85 00 A7 6E 85 00 AA 0E 85 00 A7 6E 85 00 A6 82";
}
const std::string kEepromPoll = "85 00 A6 50 85 00 F5 6E 85 00 00 00 86 02";
const std::string kEepromEnd = "85 00 A6 94";

TEST_F(Pic18Test, EepromWriteWhoseCycleEndsAtOnceCostsThreePackets) {
    SetupPic18(16, 2);
    writer.EepromData = {0xA5, 0x3C};
    link.SetResponder([](const Bytes& p, size_t) { return AnswerLength(p) ? Bytes{0xFD} : Bytes(); });
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(CExpect()
                                                        .Add(EepromStart(0, 0xA5), 19)
                                                        .Add(kEepromPoll, 19)
                                                        .Add(kEepromEnd, 19)
                                                        .Add(EepromStart(1, 0x3C), 19)
                                                        .Add(kEepromPoll, 19)
                                                        .Add(kEepromEnd, 19))));
    EXPECT_EQ(Sent()[2].Data.size(), 56u);
    EXPECT_EQ(writer.GetProgress(), 2);
}

TEST_F(Pic18Test, EepromWriteThatNeverEndsIsLeftAfterAHundredPolls) {
    SetupPic18(16, 2);
    writer.EepromData = {0x01, 0x02};
    int polls = 0;
    link.SetResponder([&polls](const Bytes& p, size_t) {
        if (!AnswerLength(p)) {
            return Bytes();
        }
        // WR stays set for the whole first byte, and for three polls of the second.
        ++polls;
        return Bytes{static_cast<uint8_t>(polls <= 103 ? 0x02 : 0x00)};
    });
    ASSERT_TRUE(writer.WriteEeprom());
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 102 + 6 + 1);
    EXPECT_EQ(sent[2], (CPacketRecord{Hex(EepromStart(0, 0x01)), 19}));
    for (size_t i = 3; i < 103; ++i) {
        ASSERT_EQ(sent[i], (CPacketRecord{Hex(kEepromPoll), 19})) << i;
    }
    EXPECT_EQ(sent[103], (CPacketRecord{Hex(kEepromEnd), 19}));
    EXPECT_EQ(sent[104], (CPacketRecord{Hex(EepromStart(1, 0x02)), 19}));
    EXPECT_EQ(sent[109], (CPacketRecord{Hex(kEepromEnd), 19}));
    EXPECT_EQ(writer.GetProgress(), 2);
}

TEST_F(Pic18Test, ProgramWriteBlocks) {
    writer.WriteCycle = 0;
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_TRUE(SamePackets(
        Sent(),
        CExpect().Frame(CExpect().Add(BlockWrite(0, Image(0, 8)), 19).Add(BlockWrite(8, Image(8, 8)), 19))));
    EXPECT_EQ(Sent()[2].Data.size(), 48u);
    EXPECT_EQ(writer.GetProgress(), 16);
}

TEST_F(Pic18Test, BlockWriteWaitBytesFollowTheClock) {
    writer.WriteCycle = 0;
    const std::vector<std::pair<int, std::string>> clocks = {{20, "EC 77"}, {16, "F0 5F"}, {4, "FC 17"}};
    for (const auto& [clock, wait] : clocks) {
        writer.ClockMHz = clock;
        link.ClearRecords();
        ASSERT_TRUE(writer.WriteProgram());
        EXPECT_EQ(Sent()[2].Data, Hex(BlockWrite(0, Image(0, 8), wait))) << clock << " MHz";
    }
}

TEST_F(Pic18Test, SinglePanelSetupOnlyWithWriteCycle100) {
    writer.WriteCycle = 100;
    ASSERT_TRUE(writer.WriteProgram());
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 1 + 2 + 1);
    EXPECT_EQ(sent[2], (CPacketRecord{Hex(kSinglePanel), 19}));
    EXPECT_EQ(sent[2].Data.size(), 44u);
}

CExpect ConfigPairs(const Bytes& bytes) {
    CExpect e;
    for (uint32_t k = 0; k < 7; ++k) {
        e.Add("85 00 A6 8E 85 00 A6 8C 85 00 00 EF 85 00 00 F8", 19);
        e.Add(TablePointer(0x300000 + 2 * k) + " 85 0F " + ByteHex(bytes[2 * k]) +
                  " FF 87 F0 81 00 17 FC 88 00 85 00 F6 2A 85 0F FF " + ByteHex(bytes[2 * k + 1]) +
                  " 87 F0 81 00 17 FC 88 00",
              19);
    }
    return e;
}

TEST_F(Pic18Test, ConfigurationWriteWithAndWithoutProtection) {
    Bytes plain(14);
    Bytes unprotected(14);
    for (uint32_t i = 0; i < 14; ++i) {
        writer.Config[i] = 0x30 + i;
        writer.ConfigProtectMask[i] = i % 3 == 0 ? 0x01 : 0x00;
        plain[i] = static_cast<uint8_t>(0x30 + i);
        unprotected[i] = static_cast<uint8_t>((0x30 + i) | writer.ConfigProtectMask[i]);
    }
    Bytes ids(8);
    for (uint32_t i = 0; i < 8; ++i) {
        writer.UserId[i] = 0x100 | (0xA0 + i); // only the low byte is written
        ids[i] = static_cast<uint8_t>(0xA0 + i);
    }
    for (bool protect : {false, true}) {
        link.ClearRecords();
        writer.TakeProgress();
        writer.WriteCycle = 0;
        ASSERT_TRUE(writer.WriteConfig(protect));
        CExpect body;
        body.Add(kSinglePanel, 19).Add(BlockWrite(0x200000, ids), 19);
        body.Add(ConfigPairs(protect ? plain : unprotected));
        body.Add(kDeviceIdStep, 10);
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body))) << "protect " << protect;
        EXPECT_EQ(Sent()[5].Data.size(), 52u);
        EXPECT_EQ(writer.WriteCycle, 100);
        EXPECT_EQ(writer.GetProgress(), 24);
    }
}

TEST_F(Pic18Test, ConfigurationWriteWithoutUserIds) {
    writer.WriteUserId = false;
    writer.WriteCycle = 0;
    ASSERT_TRUE(writer.WriteConfig(true));
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 14 + 1 + 1);
    EXPECT_EQ(writer.WriteCycle, 0);
    EXPECT_EQ(writer.GetProgress(), 16);
}

TEST_F(Pic18Test, SecondProgramWriteAfterConfigurationSendsTheSinglePanelSetup) {
    writer.WriteCycle = 0;
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_NE(Sent()[2].Data, Hex(kSinglePanel));
    ASSERT_TRUE(writer.WriteConfig(false));
    link.ClearRecords();
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_EQ(Sent()[2], (CPacketRecord{Hex(kSinglePanel), 19}));
}

TEST_F(Pic18Test, EraseMethods) {
    const std::string cycle = " 85 00 00 00 87 00 81 00 77 EC 88 00";
    writer.EraseMethod = 4;
    ASSERT_TRUE(writer.Erase());
    EXPECT_TRUE(SamePackets(
        Sent(), CExpect().Frame(CExpect().Add(TablePointer(0x3C0004) + " 85 0C 80 00" + cycle, 19))));
    EXPECT_EQ(Sent()[2].Data.size(), 40u);

    link.ClearRecords();
    writer.EraseMethod = 5;
    ASSERT_TRUE(writer.Erase());
    EXPECT_TRUE(
        SamePackets(Sent(), CExpect().Frame(CExpect()
                                                .Add(TablePointer(0x3C0005) + " 85 0C 0F 0F", 19)
                                                .Add(TablePointer(0x3C0004) + " 85 0C 87 87" + cycle, 19))));
    EXPECT_EQ(Sent()[2].Data.size(), 28u);

    for (int32_t method : {0, 1, 2, 3, 7}) {
        link.ClearRecords();
        writer.EraseMethod = method;
        EXPECT_TRUE(writer.Erase());
        EXPECT_TRUE(Sent().empty()) << "method " << method;
    }
    EXPECT_EQ(writer.GetProgress(), 0);
}

TEST_F(Pic18Test, CalibrationSendsNothing) {
    writer.CalAddress = 4;
    writer.CalFlag = 1;
    EXPECT_TRUE(writer.ReadCalibration());
    EXPECT_TRUE(writer.WriteCalibration());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Pic18Test, StopRequestEndsProgramAndEepromLoops) {
    SetupPic18(64, 16);
    link.SetWriteHook([&](size_t count) {
        if (count == 4) {
            writer.AbortRequest = true;
        }
    });
    ASSERT_TRUE(writer.WriteProgram());
    PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[4].Data, Hex(kExitPacket));
    EXPECT_EQ(writer.GetProgress(), 16);

    // An EEPROM byte in progress is finished before the loop stops.
    writer.AbortRequest = false;
    writer.TakeProgress();
    link.ClearRecords();
    ASSERT_TRUE(writer.WriteEeprom());
    sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 3 + 1);
    EXPECT_EQ(sent[4].Data, Hex(kEepromEnd));
    EXPECT_EQ(writer.GetProgress(), 1);
    writer.AbortRequest = false;
}

// ------------------------------------------------------------------ bounds

TEST_F(Pic18Test, ProgramMemoryNotAWholeNumberOfBlocks) {
    SetupPic18(20, 0);
    for (size_t i = 0; i < 20; ++i) {
        writer.ProgramData[i] = static_cast<uint8_t>(i);
    }
    link.SetResponder([](const Bytes& p, size_t) { return Bytes(AnswerLength(p), 0x77); });
    ASSERT_TRUE(writer.ReadProgram());
    PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 1 + 3 + 1);
    EXPECT_EQ(sent[5], (CPacketRecord{Hex("86 09 86 09 86 09 86 09"), 19}));
    EXPECT_EQ(writer.ProgramData.size(), 20u);
    EXPECT_EQ(writer.ProgramData[19], 0x77);
    EXPECT_EQ(writer.GetProgress(), 20);

    for (size_t i = 0; i < 20; ++i) {
        writer.ProgramData[i] = static_cast<uint8_t>(i);
    }
    link.ClearRecords();
    writer.TakeProgress();
    writer.WriteCycle = 0;
    ASSERT_TRUE(writer.WriteProgram());
    sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 3 + 1);
    EXPECT_EQ(sent[4].Data, Hex(BlockWrite(16, {16, 17, 18, 19, 0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ(writer.GetProgress(), 20);
}

TEST_F(Pic18Test, SizeFieldsLargerThanTheBuffersStopAtTheBuffers) {
    SetupPic18(16, 4);
    writer.ProgramBytes = 1 << 20;
    writer.EepromSize = 5000;
    ASSERT_TRUE(writer.ReadProgram());
    EXPECT_EQ(Sent().size(), 2u + 1 + 2 + 1);
    link.ClearRecords();
    writer.WriteCycle = 0;
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_EQ(Sent().size(), 2u + 2 + 1);
    link.ClearRecords();
    ASSERT_TRUE(writer.ReadEeprom());
    EXPECT_EQ(Sent().size(), 2u + 4 + 1);
    link.ClearRecords();
    ASSERT_TRUE(writer.WriteEeprom());
    EXPECT_EQ(Sent().size(), 2u + 4 * 3 + 1);
    EXPECT_EQ(link.Violations(), 0);
}

} // namespace
