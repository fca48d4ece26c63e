// The shipped catalogue: every entry must load into a record the engines can carry.
#include "device/Bounds.h"
#include "device/DeviceList.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

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
    EXPECT_GE(midRange + pic18, 60);
    EXPECT_GE(midRange, 40);
    EXPECT_GE(pic18, 18);
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
            EXPECT_TRUE(d.EraseMethod >= 4 && d.EraseMethod <= 6);
        } else {
            EXPECT_GE(d.ConfigCount, 1);
            EXPECT_LE(d.ConfigCount, bounds::kMaxMidRangeConfigWords);
            EXPECT_GE(d.WriteBlockBytes, 2);
            EXPECT_LE(d.WriteBlockBytes, bounds::kMaxMidRangeRowBytes);
            EXPECT_GE(d.EraseMethod, 1);
            EXPECT_LE(d.EraseMethod, 7);
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

namespace {

// The erased (blank) configuration of every shipped device, from the
// configuration register tables of its data sheet and programming
// specification: what the default configuration of its entry must be, so
// that a hex file without configuration records programs the erased state.
std::map<std::string, std::vector<uint32_t>> ErasedConfiguration() {
    std::map<std::string, std::vector<uint32_t>> table;
    auto put = [&table](std::initializer_list<const char*> names, std::vector<uint32_t> words) {
        for (const char* n : names) {
            table[n] = words;
        }
    };
    put({"PIC16F873A", "PIC16F874A", "PIC16F876A", "PIC16F877A", "PIC16F627A", "PIC16F628A",
         "PIC16F648A", "PIC16F84A",  "PIC12F683",  "PIC16F684",  "PIC16F688",  "PIC16F631",
         "PIC16F677",  "PIC16F685",  "PIC16F687",  "PIC16F689",  "PIC16F690",  "PIC16F716",
         "PIC16F73",   "PIC16F74",   "PIC16F76",   "PIC16F77",   "PIC16F818",  "PIC16F819"},
        {0x3FFF});
    // Bit 10 reads 0 on the 16F87x (DS39025).
    put({"PIC16F870", "PIC16F871", "PIC16F872", "PIC16F873", "PIC16F874", "PIC16F876", "PIC16F877"},
        {0x3BFF});
    // Bits 11-9 read 0; the band-gap bits are the chip's own.
    put({"PIC12F629", "PIC12F675", "PIC16F630", "PIC16F676"}, {0x31FF});
    put({"PIC16F882", "PIC16F883", "PIC16F884", "PIC16F886", "PIC16F887", "PIC16F87", "PIC16F88"},
        {0x3FFF, 0x3FFF});
    put({"PIC18F242", "PIC18F252", "PIC18F442", "PIC18F452"},
        {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40});
    put({"PIC18F1220", "PIC18F1320"},
        {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x80, 0x85, 0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40});
    // DS39622K: XINST, IESO, FCMEN, FOSC3, LPT1OSC (and on the USB parts the
    // whole of CONFIG1L, FOSC1, VREGEN and ICPRT) are erased to 0.
    put({"PIC18F2455", "PIC18F4455"},
        {0x00, 0x05, 0x1F, 0x1F, 0x00, 0x83, 0x85, 0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40});
    put({"PIC18F2550", "PIC18F4550"},
        {0x00, 0x05, 0x1F, 0x1F, 0x00, 0x83, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40});
    put({"PIC18F2420", "PIC18F2423", "PIC18F4420", "PIC18F4423"},
        {0x00, 0x07, 0x1F, 0x1F, 0x00, 0x83, 0x85, 0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40});
    put({"PIC18F2520", "PIC18F2523", "PIC18F4520", "PIC18F4523"},
        {0x00, 0x07, 0x1F, 0x1F, 0x00, 0x83, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40});
    return table;
}

TEST(ShippedCatalogue, DefaultConfigurationIsTheErasedChip) {
    const auto erased = ErasedConfiguration();
    size_t checked = 0;
    for (const std::string& name : ShippedNames()) {
        if (!name.empty() && name.front() == '-') {
            continue;
        }
        SCOPED_TRACE(name);
        const auto it = erased.find(name);
        ASSERT_NE(it, erased.end()) << "no erased value in the table";
        CDeviceList d;
        d.ListPath = ShippedList();
        ASSERT_TRUE(d.LoadDevice(name));
        ASSERT_EQ(static_cast<size_t>(d.ConfigCount), it->second.size());
        for (size_t w = 0; w < it->second.size(); ++w) {
            EXPECT_EQ(d.Config[w], it->second[w]) << "word " << w;
        }
        ++checked;
    }
    EXPECT_EQ(checked, erased.size());
}

} // namespace
