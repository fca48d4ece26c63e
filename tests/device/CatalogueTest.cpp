// The shipped catalogue: every entry must load into a record the engines can carry.
#include "device/Bounds.h"
#include "device/DeviceList.h"

#include <gtest/gtest.h>
#include <set>

namespace {

std::string ShippedList() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

std::vector<std::string> ShippedNames() {
    CDeviceList list;
    list.ListPath = ShippedList();
    CNameList names;
    EXPECT_TRUE(list.FillSelector(names));
    return names.Names;
}

TEST(ShippedCatalogue, HasBothFamiliesAndTheDefaultEntry) {
    int midRange = 0;
    int pic18 = 0;
    int separators = 0;
    for (const std::string& name : ShippedNames()) {
        if (!name.empty() && name.front() == '-') {
            ++separators;
            continue;
        }
        CDeviceList d;
        d.ListPath = ShippedList();
        ASSERT_TRUE(d.LoadDevice(name)) << name;
        midRange += d.CoreWidth == kCoreMidRange ? 1 : 0;
        pic18 += d.CoreWidth == kCorePic18 ? 1 : 0;
    }
    EXPECT_GE(midRange + pic18, 25);
    EXPECT_GE(midRange, 10);
    EXPECT_GE(pic18, 8);
    EXPECT_GE(separators, 4);

    CDeviceList shipped;
    shipped.ListPath = ShippedList();
    ASSERT_TRUE(shipped.LoadDevice("PIC16F873A"));
    CDeviceList builtIn;
    EXPECT_EQ(shipped.ConfigLegend, builtIn.ConfigLegend);
    EXPECT_EQ(shipped.ProgramSize, builtIn.ProgramSize);
    EXPECT_EQ(shipped.EepromSize, builtIn.EepromSize);
    EXPECT_EQ(shipped.WriteCycle, builtIn.WriteCycle);
    EXPECT_EQ(shipped.ReservedParam, builtIn.ReservedParam);
    EXPECT_EQ(shipped.EraseMethod, builtIn.EraseMethod);
    EXPECT_EQ(shipped.WriteBlockBytes, builtIn.WriteBlockBytes);
    EXPECT_EQ(shipped.DeviceId, builtIn.DeviceId);
    EXPECT_EQ(shipped.DeviceIdMask, builtIn.DeviceIdMask);
    EXPECT_EQ(shipped.Checksum, 0x1FCFU);
}

TEST(ShippedCatalogue, EveryEntryFitsTheEngines) {
    std::set<uint64_t> ids;
    for (const std::string& name : ShippedNames()) {
        if (!name.empty() && name.front() == '-') {
            continue;
        }
        SCOPED_TRACE(name);
        CDeviceList d;
        d.ListPath = ShippedList();
        ASSERT_TRUE(d.LoadDevice(name));
        EXPECT_EQ(d.DeviceName, name);
        ASSERT_TRUE(d.CoreWidth == kCoreMidRange || d.CoreWidth == kCorePic18);
        const bool pic18 = d.CoreWidth == kCorePic18;
        // Whole blocks of the read and write packets, within the largest real sizes.
        EXPECT_EQ(d.ProgramData.size(), d.ProgramBytes);
        EXPECT_GT(d.ProgramBytes, 0U);
        EXPECT_EQ(d.ProgramBytes % (pic18 ? 8 : 32), 0U);
        EXPECT_LE(d.ProgramSize, pic18 ? bounds::kMaxPic18Bytes : bounds::kMaxMidRangeWords);
        EXPECT_EQ(d.EepromData.size(), d.EepromSize);
        EXPECT_EQ(d.EepromSize % 16, 0U);
        EXPECT_LE(d.EepromSize, pic18 ? bounds::kMaxPic18Eeprom : bounds::kMaxMidRangeEeprom);
        // The legend fills whole words, nothing left over.
        std::string rest = d.ConfigLegend;
        size_t tokens = 0;
        for (size_t p = rest.find(']'); p != std::string::npos; p = rest.find(']', p + 1)) {
            ++tokens;
        }
        EXPECT_EQ(rest.back(), ']');
        EXPECT_EQ(tokens, static_cast<size_t>(d.ConfigCount * d.CoreWidth));
        if (pic18) {
            EXPECT_EQ(d.ConfigCount, bounds::kMaxPic18ConfigBytes);
            EXPECT_TRUE(d.EraseMethod == 4 || d.EraseMethod == 5);
        } else {
            EXPECT_GE(d.ConfigCount, 1);
            EXPECT_LE(d.ConfigCount, bounds::kMaxMidRangeConfigWords);
            EXPECT_GE(d.WriteBlockBytes, 2);
            EXPECT_LE(d.WriteBlockBytes, bounds::kMaxMidRangeRowBytes);
            EXPECT_GE(d.EraseMethod, 1);
            EXPECT_LE(d.EraseMethod, 5);
            if (d.CalAddress != 0) {
                EXPECT_LT(static_cast<uint32_t>(d.CalAddress), d.ProgramSize);
                EXPECT_NE(d.CalFlag, 0);
            }
        }
        EXPECT_NE(d.DeviceId, 0U);
        EXPECT_NE(d.DeviceIdMask, 0U);
        EXPECT_EQ(d.DeviceId & d.DeviceIdMask, d.DeviceId) << "the ID must survive its own mask";
        EXPECT_TRUE(ids.insert(uint64_t{static_cast<uint32_t>(d.CoreWidth)} << 32 | d.DeviceId).second)
            << "device IDs tell the entries apart";
        EXPECT_GT(d.ConfigNamedMask[0] | d.ConfigNamedMask[1], 0U);
    }
}

} // namespace
