// The string table, the progress bar arithmetic and the SUM_ID rule.
#include "RunnerBench.h"
#include "ops/Station.h"
#include "ops/Strings.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringTable, HoldsTheStatusTextsByIdAndNothingElse) {
    EXPECT_STREQ(StringText(103), "KVX Connect");
    EXPECT_STREQ(StringText(104), "KVX Non Conect");
    EXPECT_STREQ(StringText(105), "Program / EEPROM Write");
    EXPECT_STREQ(StringText(106), "Program / EEPROM Read");
    EXPECT_STREQ(StringText(107), "Program / EEPROM Verify");
    EXPECT_STREQ(StringText(108), "Program / EEPROM Erase");
    EXPECT_STREQ(StringText(109), "OSC Calibration Data Read");
    EXPECT_STREQ(StringText(110), "OSC Calibration Data Write");
    EXPECT_STREQ(StringText(111), "Load Hex File");
    EXPECT_STREQ(StringText(112), "Save Hex File");
    EXPECT_STREQ(StringText(113), "Select Device");
    EXPECT_STREQ(StringText(102), "");
    EXPECT_STREQ(StringText(114), "");
    EXPECT_STREQ(StringText(-1), "");
}

TEST(ProgressPosition, ScalesTruncatesAndStaysWithinTheBar) {
    EXPECT_EQ(ProgressPosition(0, 16640), 0);
    EXPECT_EQ(ProgressPosition(166, 16640), 0); // 0.997 % truncates
    EXPECT_EQ(ProgressPosition(8320, 16640), 50);
    EXPECT_EQ(ProgressPosition(16640, 16640), 100);
    // A counter past the total (configuration routines add a little extra)
    // shows a full bar, not a position beyond it.
    EXPECT_EQ(ProgressPosition(16650, 16640), 100);
    // Counters whose 32-bit product with 100 would wrap.
    EXPECT_EQ(ProgressPosition(50000000, 100000000), 50);
    EXPECT_EQ(ProgressPosition(UINT32_MAX, 1), 100);
}

TEST(ProgressPosition, ZeroTotalShowsEmptyOrFullWithoutDividing) {
    EXPECT_EQ(ProgressPosition(0, 0), 0);
    EXPECT_EQ(ProgressPosition(10, 0), 100);
    EXPECT_EQ(ProgressPosition(UINT32_MAX, 0), 100);
}

TEST(PutChecksumInUserId, MidRangeGetsFourNibblesMostSignificantInIdOne) {
    CDeviceList d;
    d.ListPath = ShippedCatalogue();
    ASSERT_TRUE(d.LoadDevice("PIC16F873A"));
    d.UserId[4] = 0x55; // not a mid-range ID word; must stay
    PutChecksumInUserId(d);
    EXPECT_EQ(d.Checksum, 0x1FCFu);
    EXPECT_EQ(d.UserId[0], 0x1u);
    EXPECT_EQ(d.UserId[1], 0xFu);
    EXPECT_EQ(d.UserId[2], 0xCu);
    EXPECT_EQ(d.UserId[3], 0xFu);
    EXPECT_EQ(d.UserId[4], 0x55u);
}

TEST(PutChecksumInUserId, Pic18GetsTwoBytesAndOtherCoresNothing) {
    CDeviceList d;
    d.ListPath = ShippedCatalogue();
    ASSERT_TRUE(d.LoadDevice("PIC18F452"));
    for (uint32_t& id : d.UserId) {
        id = 0xAA;
    }
    d.ProgramData[0] = 0x12;
    PutChecksumInUserId(d);
    EXPECT_EQ(d.UserId[0], d.Checksum & 0xFF);
    EXPECT_EQ(d.UserId[1], (d.Checksum >> 8) & 0xFF);
    for (int i = 2; i < kUserIds; ++i) {
        EXPECT_EQ(d.UserId[i], 0xAAu) << i;
    }

    CPicDevice other;
    other.CoreWidth = 12;
    other.UserId[0] = 7;
    PutChecksumInUserId(other);
    EXPECT_EQ(other.UserId[0], 7u);
}
