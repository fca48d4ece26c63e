// The recipes chosen by the method values added for the families the first
// recipes could not serve, byte for byte from their programming
// specifications: rows ended by 0x0A with the discharge time (DS41204G,
// DS41287C), the 6 ms data write, configuration by begin programming only
// (DS40245B, DS39603C, DS39607B), the long chip and bulk erases (DS39603C,
// DS30324B), and the PIC18 chip-erase keys and P10 discharge time (DS39622K).
#include "WriterTestSupport.h"

namespace {

// Waits at the 4 MHz clock the fixture's writer reports.
const std::string kWait2 = "81 00 2F F8";
const std::string kWait3 = "81 00 47 F4";
const std::string kWait4 = "81 00 5F F0";
const std::string kWait6 = "81 00 8F E8";
const std::string kWait10 = "81 00 EF D8";
const std::string kDischarge = "81 00 9B FF"; // 100 us
const std::string kDeviceIdStep = "82 06 82 06 84 04 82 06";

std::string Load(uint32_t w) {
    return "83 02 " + MidData(w);
}

class FamilyRecipeTest : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupMid(12, 0);
        for (uint32_t i = 0; i < 12; ++i) {
            writer.ProgramData[2 * i] = static_cast<uint8_t>(0x10 + i);
            writer.ProgramData[2 * i + 1] = 0x01;
        }
    }
    static uint32_t Word(uint32_t i) { return 0x0110 + i; }
    std::string Row(uint32_t first, uint32_t count) const {
        std::string s;
        for (uint32_t i = 0; i < count; ++i) {
            s += (i == 0 ? "" : " 82 06 ") + Load(Word(first + i));
        }
        return s;
    }
};

TEST_F(FamilyRecipeTest, RowsEndedBy0AWithTheDischargeTime) {
    writer.WriteCycle = 4;
    writer.WriteBlockBytes = 8;
    ASSERT_TRUE(writer.WriteProgram());
    const std::string program = " 82 18 " + kWait3 + " 82 0A " + kDischarge + " 82 06";
    CExpect body;
    body.Add(Row(0, 4) + program, 10).Add(Row(4, 4) + program, 10).Add(Row(8, 4) + program, 10);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body)));
    EXPECT_EQ(writer.GetProgress(), 24);

    // Eight words and their cycle fill 60 bytes of one packet; a longer row
    // takes a second packet for the cycle.
    link.ClearRecords();
    writer.WriteBlockBytes = 16;
    ASSERT_TRUE(writer.WriteProgram());
    ASSERT_EQ(Sent().size(), 2u + 2 + 1);
    EXPECT_EQ(Sent()[2].Data.size(), 60u);
    link.ClearRecords();
    writer.WriteBlockBytes = 22;
    ASSERT_TRUE(writer.WriteProgram());
    CExpect two;
    two.Add(Row(0, 11), 10).Add(program.substr(1), 10).Add(Load(Word(11)) + program, 10);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(two)));
}

TEST_F(FamilyRecipeTest, EepromWithTheSixMillisecondDataWrite) {
    SetupMid(4, 2);
    writer.EepromData = {0x5A, 0xC3};
    writer.EepromMethod = 2;
    ASSERT_TRUE(writer.WriteEeprom());
    CExpect body;
    body.Add("83 03 " + MidData(0x5A) + " 82 08 " + kWait6 + " 82 06", 10);
    body.Add("83 03 " + MidData(0xC3) + " 82 08 " + kWait6 + " 82 06", 10);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body)));
}

TEST_F(FamilyRecipeTest, ConfigurationByBeginProgrammingOnly) {
    writer.BlockWrite = 2;
    writer.ConfigCount = 2;
    writer.Config[0] = 0x3F12;
    writer.Config[1] = 0x3FFC;
    writer.ConfigProtectMask[0] = 0x2000;
    for (int i = 0; i < 4; ++i) {
        writer.UserId[i] = static_cast<uint32_t>(i + 1);
    }
    const std::vector<std::pair<int32_t, std::string>> ends = {{2, "17"}, {1, "0E"}};
    for (const auto& [cycle, end] : ends) {
        link.ClearRecords();
        writer.WriteCycle = cycle;
        writer.WriteBlockBytes = 8;
        ASSERT_TRUE(writer.WriteConfig(false));
        const std::string program = " 82 18 " + kWait3 + " 82 " + end + " " + kDischarge + " 82 06";
        const std::string configCycle = " 82 18 " + kWait4 + " 82 " + end + " " + kDischarge + " 82 06";
        CExpect body;
        body.Add("83 00 00 00", 10);
        body.Add(Load(0x3F81) + " 82 06 " + Load(0x3F82) + " 82 06 " + Load(0x3F83) + " 82 06 " +
                     Load(0x3F84) + program,
                 10);
        body.Add(kDeviceIdStep, 19);
        body.Add(Load(0x3F12) + configCycle, 10).Add(Load(0x3FFC) + configCycle, 10);
        EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(body))) << "WriteCycle " << cycle;
    }
    // Rows below four words: the user IDs one by one.
    link.ClearRecords();
    writer.WriteBlockBytes = 4;
    ASSERT_TRUE(writer.WriteConfig(true));
    EXPECT_EQ(Sent().size(), 2u + 1 + 4 + 1 + 2 + 1);
    EXPECT_EQ(Sent()[3].Data, Hex(Load(0x3F81) + " 82 18 " + kWait3 + " 82 0E " + kDischarge + " 82 06"));
}

TEST_F(FamilyRecipeTest, LongChipAndBulkErases) {
    writer.EraseMethod = 6;
    ASSERT_TRUE(writer.Erase());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(CExpect().Add("83 00 FE 7F 82 1F " + kWait10, 10))));

    link.ClearRecords();
    writer.EraseMethod = 7;
    ASSERT_TRUE(writer.Erase());
    const std::string thirty = kWait10 + " " + kWait10 + " " + kWait10;
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame(CExpect().Add("83 00 00 00 82 09 " + thirty, 10))));

    link.ClearRecords();
    SetupMid(4, 16);
    ASSERT_TRUE(writer.Erase());
    EXPECT_TRUE(SamePackets(
        Sent(),
        CExpect().Frame(CExpect().Add("83 00 00 00 82 09 " + thirty, 10).Add("82 0B " + thirty, 10))));
}

std::string Insn(uint16_t i) {
    return ToHex({0x85, 0x00, static_cast<uint8_t>(i & 0xFF), static_cast<uint8_t>(i >> 8)});
}

std::string TablePointer(uint32_t a) {
    return Insn(static_cast<uint16_t>(0x0E00 | ((a >> 16) & 0xFF))) + " " + Insn(0x6EF8) + " " +
           Insn(static_cast<uint16_t>(0x0E00 | ((a >> 8) & 0xFF))) + " " + Insn(0x6EF7) + " " +
           Insn(static_cast<uint16_t>(0x0E00 | (a & 0xFF))) + " " + Insn(0x6EF6);
}

class Pic18FamilyRecipeTest : public WriterTest {
protected:
    void SetUp() override {
        Open();
        SetupPic18(16, 0);
    }
};

TEST_F(Pic18FamilyRecipeTest, ChipEraseKeysOfDs39622) {
    writer.EraseMethod = 6;
    ASSERT_TRUE(writer.Erase());
    EXPECT_TRUE(SamePackets(
        Sent(),
        CExpect().Frame(
            CExpect()
                .Add(TablePointer(0x3C0005) + " 85 0C 3F 3F", 19)
                .Add(TablePointer(0x3C0004) + " 85 0C 8F 8F 85 00 00 00 87 00 81 00 77 EC 88 00", 19))));
}

TEST_F(Pic18FamilyRecipeTest, ConfigurationCyclesFollowedByTheDischargeTime) {
    writer.BlockWrite = 2;
    writer.WriteUserId = false;
    for (uint32_t i = 0; i < 14; ++i) {
        writer.Config[i] = 0x40 + i;
    }
    ASSERT_TRUE(writer.WriteConfig(true));
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 2u + 14 + 1 + 1);
    for (uint32_t k = 0; k < 7; ++k) {
        const std::string low = ToHex({static_cast<uint8_t>(0x40 + 2 * k)});
        const std::string high = ToHex({static_cast<uint8_t>(0x41 + 2 * k)});
        EXPECT_EQ(sent[3 + 2 * k].Data,
                  Hex(TablePointer(0x300000 + 2 * k) + " 85 0F " + low + " FF 87 F0 81 00 17 FC 88 00 " +
                      kDischarge + " 85 00 F6 2A 85 0F FF " + high + " 87 F0 81 00 17 FC 88 00"))
            << "pair " << k;
        EXPECT_EQ(sent[3 + 2 * k].Data.size(), 56u);
    }
}

} // namespace
