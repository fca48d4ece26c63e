#include "device/Bounds.h"
#include "device/DeviceList.h"

#include <gtest/gtest.h>

namespace {

TEST(Image, RootRecordStartsEmpty) {
    CPicDevice d;
    EXPECT_TRUE(d.ProgramData.empty());
    EXPECT_TRUE(d.EepromData.empty());
    EXPECT_EQ(d.ConfigCount, 1);
    EXPECT_EQ(d.UserId[0], 0U);
    EXPECT_EQ(d.CoreWidth, 0);
}

TEST(Image, DefaultDeviceHasBlankImagesAndItsChecksum) {
    CDeviceList d;
    EXPECT_EQ(d.DeviceName, "PIC16F873A");
    ASSERT_EQ(d.ProgramData.size(), 8192U);
    EXPECT_EQ(d.ProgramBytes, 8192U);
    for (uint32_t i = 0; i < 4096; ++i) {
        ASSERT_EQ(d.ProgramWord(i), 0x3FFFU) << i;
    }
    ASSERT_EQ(d.EepromData.size(), 128U);
    EXPECT_EQ(d.EepromData[127], 0xFF);
    EXPECT_EQ(d.UserId[7], 0xFFU);
    EXPECT_EQ(d.WriteBlockBytes, 8);
    EXPECT_EQ(d.DeviceId, 0x0E40U);
    EXPECT_EQ(d.DeviceIdMask, 0xFFF0U);
    EXPECT_EQ(d.Checksum, 0x1FCFU);
}

TEST(Image, AllocationFollowsTheCore) {
    CPicDevice d;
    d.CoreWidth = 8;
    d.ProgramSize = 1001;
    d.EepromSize = 0;
    d.AllocProgram();
    d.AllocEeprom();
    EXPECT_EQ(d.ProgramBytes, 1001U);
    EXPECT_EQ(d.ProgramData.size(), 1001U);
    EXPECT_EQ(d.ProgramData[1000], 0xFF);
    EXPECT_TRUE(d.EepromData.empty());

    d.CoreWidth = 5;
    d.AllocProgram();
    EXPECT_EQ(d.ProgramBytes, 0U);
    EXPECT_TRUE(d.ProgramData.empty());
}

TEST(Image, AllocProgramLeavesTheEepromAlone) {
    for (int32_t core : {kCoreMidRange, kCorePic18}) {
        CPicDevice d;
        d.CoreWidth = core;
        d.ProgramSize = 64;
        d.EepromSize = 16;
        d.AllocEeprom();
        d.EepromData[0] = 0x12;
        d.EepromData[15] = 0x00;
        d.ProgramSize = 128;
        d.AllocProgram();
        EXPECT_EQ(d.EepromData[0], 0x12) << core;
        EXPECT_EQ(d.EepromData[15], 0x00) << core;
        ASSERT_EQ(d.ProgramData.size(), core == kCoreMidRange ? 256U : 128U) << core;
        for (uint32_t i = 0; i < 128; ++i) {
            ASSERT_EQ(d.ProgramWord(i), d.BlankProgramWord()) << core << " word " << i;
        }
    }
}

TEST(Image, AbsurdSizesAreClippedWhereBuffersAreSized) {
    CPicDevice mid;
    mid.CoreWidth = 14;
    mid.ProgramSize = 0xFFFFFFFF;
    mid.EepromSize = 0xFFFFFFF0;
    mid.AllocProgram();
    mid.AllocEeprom();
    EXPECT_EQ(mid.ProgramSize, bounds::kMaxMidRangeWords);
    EXPECT_EQ(mid.ProgramData.size(), 2 * bounds::kMaxMidRangeWords);
    EXPECT_EQ(mid.EepromData.size(), bounds::kMaxMidRangeEeprom);

    CPicDevice p18;
    p18.CoreWidth = 8;
    p18.ProgramSize = 4000000000U;
    p18.EepromSize = 70000;
    p18.AllocProgram();
    p18.AllocEeprom();
    EXPECT_EQ(p18.ProgramData.size(), bounds::kMaxPic18Bytes);
    EXPECT_EQ(p18.EepromData.size(), bounds::kMaxPic18Eeprom);
}

TEST(Image, CopiesOnlyBetweenRecordsOfTheSameShape) {
    CDeviceList a;
    CDeviceList b;
    a.ProgramData[0] = 0x12;
    a.EepromData[3] = 0x34;
    EXPECT_TRUE(b.CopyProgram(a));
    EXPECT_TRUE(b.CopyEeprom(a));
    EXPECT_EQ(b.ProgramData[0], 0x12);
    EXPECT_EQ(b.EepromData[3], 0x34);

    CPicDevice other;
    other.CoreWidth = 14;
    other.ProgramSize = 2048;
    other.EepromSize = 64;
    other.AllocProgram();
    other.AllocEeprom();
    EXPECT_FALSE(other.CopyProgram(a));
    EXPECT_FALSE(other.CopyEeprom(a));
    EXPECT_EQ(other.ProgramData[0], 0xFF);

    other.ProgramSize = 4096;
    other.CoreWidth = 8; // same size, other core
    other.AllocProgram();
    EXPECT_FALSE(other.CopyProgram(a));
}

TEST(Image, AssignFromIsADeepCopy) {
    CDeviceList a;
    a.ProgramData[10] = 0x55;
    a.Config[0] = 0x1234;
    a.UserId[2] = 7;
    CPicDevice b;
    b.AssignFrom(a);
    EXPECT_EQ(b.DeviceName, a.DeviceName);
    EXPECT_EQ(b.ProgramBytes, 8192U);
    EXPECT_EQ(b.ProgramData[10], 0x55);
    EXPECT_EQ(b.Config[0], 0x1234U);
    EXPECT_EQ(b.ConfigProtectMask[0], 0x2100U);
    EXPECT_EQ(b.UserId[2], 7U);
    a.ProgramData[10] = 0;
    EXPECT_EQ(b.ProgramData[10], 0x55) << "own buffer";
    b.AssignFrom(b);
    EXPECT_EQ(b.ProgramData[10], 0x55) << "self-assignment keeps the image";
}

TEST(Image, CompareReportsEachRegion) {
    CDeviceList a;
    CDeviceList b;
    EXPECT_EQ(a.CompareImage(b), 0);
    EXPECT_EQ(a.VerifyFlags, 0);

    b.EepromData[5] = 0;
    EXPECT_EQ(a.CompareImage(b), 1);
    EXPECT_EQ(a.VerifyFlags, kVerifyEeprom);

    b.ProgramData[100] = 0;
    b.UserId[1] = 0x03;
    EXPECT_EQ(a.CompareImage(b), 1);
    EXPECT_EQ(a.VerifyFlags, kVerifyProgram | kVerifyEeprom | kVerifyUserId);

    CPicDevice small;
    small.CoreWidth = 14;
    small.ProgramSize = 2048;
    small.AllocProgram();
    EXPECT_EQ(a.CompareImage(small), 1);
    EXPECT_EQ(a.VerifyFlags, kVerifyDifferentDevice) << "only the device bit";
}

TEST(Image, CompareIgnoresProtectBitsAndHighIdBits) {
    CDeviceList a;
    CDeviceList b;
    b.Config[0] &= ~0x2000U; // CP bit only
    EXPECT_EQ(a.CompareImage(b), 0);
    b.Config[0] &= ~0x1000U; // a "[-]" bit does count
    EXPECT_EQ(a.CompareImage(b), 1);
    EXPECT_EQ(a.VerifyFlags, kVerifyConfig);

    CDeviceList c;
    c.UserId[0] = 0xF0 | (a.UserId[0] & 0x0F);
    EXPECT_EQ(a.CompareImage(c), 0) << "14-bit IDs compare their low four bits";

    CPicDevice e1;
    CPicDevice e2;
    e1.CoreWidth = e2.CoreWidth = 14;
    e1.ProgramSize = e2.ProgramSize = 16;
    e1.AllocProgram();
    e2.AllocProgram();
    e1.AllocEeprom();
    e2.AllocEeprom();
    EXPECT_EQ(e1.CompareImage(e2), 0) << "no EEPROM on either side is no difference";
}

TEST(Image, ChecksumSkipsTheCalibrationWordButNotWordZero) {
    CDeviceList d;
    d.CalAddress = 0x3FF;
    d.UpdateChecksum();
    const uint32_t base = d.Checksum;
    d.ProgramData[2 * 0x3FF] = 0x80;
    d.ProgramData[2 * 0x3FF + 1] = 0x34;
    d.UpdateChecksum();
    EXPECT_EQ(d.Checksum, base);
    d.ProgramData[0] = 0x00;
    d.UpdateChecksum();
    EXPECT_EQ(d.Checksum, (base - 0xFF) & 0xFFFF);

    // Protect bits count as unprotected, "[-]" bits do not count.
    CDeviceList p;
    p.Config[0] = 0x0000;
    p.UpdateChecksum();
    const uint32_t words = 4096U * 0x3FFF;
    EXPECT_EQ(p.Checksum, (words + 0x2100) & 0xFFFF);

    CPicDevice pic18;
    pic18.CoreWidth = 8;
    pic18.ProgramSize = 16;
    pic18.AllocProgram();
    pic18.ConfigCount = 0;
    pic18.UpdateChecksum();
    EXPECT_EQ(pic18.Checksum, 16U * 0xFF);
}

TEST(Image, TakeCalibrationAndProtection) {
    CDeviceList chip;
    CDeviceList image;
    chip.CalAddress = image.CalAddress = 0x3FF;
    chip.ConfigCalMask[0] = image.ConfigCalMask[0] = 0x3000;
    chip.ProgramData[2 * 0x3FF] = 0x48;
    chip.ProgramData[2 * 0x3FF + 1] = 0x34;
    chip.Config[0] = 0x1FFF;
    image.Config[0] = 0x3F00;
    image.TakeCalibration(chip);
    EXPECT_EQ(image.ProgramWord(0x3FF), 0x3448U);
    EXPECT_EQ(image.Config[0], 0x1F00U);

    image.Config[0] = 0x3FFF;
    EXPECT_FALSE(image.IsProtected());
    image.Config[0] &= ~0x0100U;
    EXPECT_TRUE(image.IsProtected());
    image.ConfigCount = 0;
    EXPECT_FALSE(image.IsProtected()) << "only words below ConfigCount count";
}

TEST(Image, CorruptCountsNeverIndexOutsideTheArrays) {
    CDeviceList a;
    CDeviceList b;
    b.ConfigCount = 1000;
    a.CopyConfig(b);
    EXPECT_EQ(a.ConfigWordCount(), kConfigWords);
    a.UpdateChecksum();
    EXPECT_FALSE(a.IsProtected());
    b.ConfigCount = -5;
    a.CopyConfig(b);
    EXPECT_EQ(a.ConfigWordCount(), 0);
    a.CalAddress = 0x7FFFFFFF;
    a.TakeCalibration(b); // address beyond the image: nothing copied, no crash
    EXPECT_EQ(a.ProgramWord(0), 0x3FFFU);
}

} // namespace
