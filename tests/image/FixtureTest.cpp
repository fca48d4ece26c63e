// Hex files made by a real assembler (gpasm) from tests/fixtures/*.asm.
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::string Source(const std::string& relative) {
    return std::string(KVX3_SOURCE_DIR) + "/" + relative;
}

struct CFixture {
    const char* Device;
    const char* File;
};

class AssemblerFixture : public ::testing::TestWithParam<CFixture> {
protected:
    void SetUp() override {
        m_device.ListPath = Source("data/PicDeviceList3.txt");
        ASSERT_TRUE(m_device.LoadDevice(GetParam().Device));
        m_hex.AssignFrom(m_device);
        ASSERT_TRUE(m_hex.LoadHex(Source(GetParam().File)));
        EXPECT_EQ(m_hex.BadRecordCount, 0);
    }
    CDeviceList m_device;
    CHexFile m_hex;
};

TEST_P(AssemblerFixture, RoundTripsThroughSaveAndLoad) {
    CTempDir dir;
    ASSERT_TRUE(m_hex.SaveHex(dir.File("again.hex")));
    CHexFile again;
    again.AssignFrom(m_device);
    ASSERT_TRUE(again.LoadHex(dir.File("again.hex")));
    EXPECT_EQ(again.ProgramData, m_hex.ProgramData);
    EXPECT_EQ(again.EepromData, m_hex.EepromData);
    EXPECT_EQ(again.CompareImage(m_hex), 0) << again.VerifyFlags;
    for (int w = 0; w < m_hex.ConfigWordCount(); ++w) {
        EXPECT_EQ(again.Config[w], m_hex.Config[w]) << w;
    }
    EXPECT_EQ(again.Checksum, m_hex.Checksum);
    // Saving what was read back gives the same file again.
    ASSERT_TRUE(again.SaveHex(dir.File("third.hex")));
    EXPECT_EQ(ReadWholeFile(dir.File("third.hex")), ReadWholeFile(dir.File("again.hex")));
}

INSTANTIATE_TEST_SUITE_P(Gpasm, AssemblerFixture,
                         ::testing::Values(CFixture{"PIC16F877A", "tests/fixtures/blink16f877a.hex"},
                                           CFixture{"PIC18F452", "tests/fixtures/blink18f452.hex"}),
                         [](const auto& fixture) { return std::string(fixture.param.Device); });

TEST(AssemblerFixtures, MidRangeContents) {
    CDeviceList device;
    device.ListPath = Source("data/PicDeviceList3.txt");
    ASSERT_TRUE(device.LoadDevice("PIC16F877A"));
    CHexFile hex;
    hex.AssignFrom(device);
    ASSERT_TRUE(hex.LoadHex(Source("tests/fixtures/blink16f877a.hex")));
    EXPECT_EQ(hex.ProgramWord(0), 0x2805U) << "goto start";
    EXPECT_EQ(hex.ProgramWord(4), 0x0009U) << "retfie";
    EXPECT_EQ(hex.ProgramWord(0x800), 0x344BU) << "retlw 'K'";
    EXPECT_EQ(hex.ProgramWord(0x1FF0), 0x3455U);
    EXPECT_EQ(hex.UserId[0], 1U);
    EXPECT_EQ(hex.UserId[3], 4U);
    EXPECT_EQ(hex.Config[0], 0x3F72U);
    const uint8_t eeprom[] = {1, 2, 3, 4, 0x10, 0x20, 0x40, 0x80, 'E', 'E', 'P', 'R', 'O', 'M', 0, 0xFF};
    for (size_t i = 0; i < sizeof eeprom; ++i) {
        EXPECT_EQ(hex.EepromData[i], eeprom[i]) << i;
    }
}

TEST(AssemblerFixtures, Pic18Contents) {
    CDeviceList device;
    device.ListPath = Source("data/PicDeviceList3.txt");
    ASSERT_TRUE(device.LoadDevice("PIC18F452"));
    CHexFile hex;
    hex.AssignFrom(device);
    ASSERT_TRUE(hex.LoadHex(Source("tests/fixtures/blink18f452.hex")));
    EXPECT_EQ(hex.ProgramData[0], 0x05);
    EXPECT_EQ(hex.ProgramData[1], 0xEF);
    EXPECT_EQ(hex.ProgramData[0x7FF8], 0xDE);
    EXPECT_EQ(hex.UserId[0], 0x01U);
    EXPECT_EQ(hex.UserId[7], 0xEFU);
    EXPECT_EQ(hex.Config[1], 0x22U);
    EXPECT_EQ(hex.Config[6], 0x81U);
    EXPECT_EQ(hex.Config[13], 0x40U);
    EXPECT_EQ(hex.Config[0], 0x00U) << "CONFIG1L has no bits; absent from the file, forced to 0";
    EXPECT_EQ(hex.EepromData[8], 'E');
    EXPECT_EQ(hex.EepromData[14], 0);
}

} // namespace
