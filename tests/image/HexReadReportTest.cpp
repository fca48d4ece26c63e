// What a load finds beside the image: bytes outside the device, records cut
// short or missing, the configuration and calibration the file gives.
#include "device/DeviceList.h"
#include "image/HexFile.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string Catalogue() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

// A file image of a catalogue device, read from the text.
void Read(const std::string& device, const std::string& text, CHexFile& hex) {
    CDeviceList d;
    d.ListPath = Catalogue();
    ASSERT_TRUE(d.LoadDevice(device));
    hex.AssignFrom(d);
    std::istringstream in(text);
    hex.ReadRecords(in);
}

} // namespace

TEST(HexReadReport, BytesOutsideTheDeviceAreCountedAsMergedRunsAndNotLoaded) {
    // PIC16F628A: 2048 words (hex 0000-0FFF), one configuration word.
    const std::string outside =
        ":020000040000FA\n"
        ":04100000010203040E\n" // words 0800-0801: past program memory
        ":02400E00723FFF\n"     // CONFIG1
        ":04101000050607086A\n" // 1010-1013, not adjacent to 1000-1003
        ":04100400AABBCCDDAA\n" // 1004-1007: joins the first run although it comes later
        ":02401000FF3F70\n"     // CONFIG2 of a bigger device
        ":024012000000AC\n"     // zero padding after it: no setting, not outside
        ":00000001FF\n";
    CHexFile with;
    Read("PIC16F628A", outside, with);
    const CHexReadReport& r = with.ReadReport;
    EXPECT_EQ(r.OutsideBytes, 14u);
    EXPECT_EQ(r.OutsideRuns,
              (std::vector<CHexAddressRun>{{0x1000, 0x1007}, {0x1010, 0x1013}, {0x4010, 0x4011}}));
    EXPECT_FALSE(r.OutsideRunsCut);
    EXPECT_EQ(r.ConfigWordsLoaded, 1u) << "CONFIG2 is no word of this device";
    EXPECT_EQ(r.DataRecords, 6);
    EXPECT_TRUE(r.EndRecord);

    // The count changes nothing that is loaded.
    CHexFile without;
    Read("PIC16F628A", ":02400E00723FFF\n:00000001FF\n", without);
    EXPECT_EQ(with.ProgramData, without.ProgramData);
    EXPECT_EQ(with.Config[0], without.Config[0]);
    EXPECT_EQ(without.ReadReport.OutsideBytes, 0u);
}

TEST(HexReadReport, OurOwnExportHasNothingOutsideInEitherFamily) {
    // The export writes the reserved words 0x2004-0x2006, the zero high bytes
    // of the EEPROM and the IDs: none of them is "outside".
    for (const char* name : {"PIC16F877A", "PIC16F886", "PIC12F675", "PIC18F452", "PIC18F4550"}) {
        CDeviceList d;
        d.ListPath = Catalogue();
        ASSERT_TRUE(d.LoadDevice(name));
        CHexFile image;
        image.AssignFrom(d);
        image.ProgramData[2] = 0x12;
        image.EepromData.back() = 0x34;
        CHexFile back;
        Read(name, image.FormatImage(), back);
        EXPECT_EQ(back.ReadReport.OutsideBytes, 0u) << name;
        EXPECT_TRUE(back.ReadReport.EndRecord) << name;
        EXPECT_TRUE(back.ReadReport.UserIdLoaded) << name;
        EXPECT_EQ(back.ReadReport.ShortRecords, 0) << name;
    }
}

TEST(HexReadReport, ShortRecordsMissingEndAndNoData) {
    CHexFile hex;
    // Count 4 with two bytes and no checksum on the line; then a good record.
    Read("PIC16F877A", ":040000001234\n:02000200563F67\n", hex);
    EXPECT_EQ(hex.ReadReport.ShortRecords, 1);
    EXPECT_EQ(hex.ReadReport.DataRecords, 2);
    EXPECT_FALSE(hex.ReadReport.EndRecord);
    EXPECT_EQ(hex.ProgramWord(0), 0x3412u) << "loaded as far as it could be read";

    CHexFile empty;
    Read("PIC16F877A", "not a hex file\n\x01\x02\x03\n:00000001FF\n", empty);
    EXPECT_EQ(empty.ReadReport.DataRecords, 0);
    EXPECT_TRUE(empty.ReadReport.EndRecord);
    EXPECT_EQ(empty.ReadReport.ConfigWordsLoaded, 0u);

    // A load starts a fresh report.
    Read("PIC16F877A", ":00000001FF\n", hex);
    EXPECT_EQ(hex.ReadReport.ShortRecords, 0);
    EXPECT_EQ(hex.ReadReport.DataRecords, 0);
}

TEST(HexReadReport, ConfigurationAndCalibrationTheFileGives) {
    CHexFile pic18;
    Read("PIC18F452", ":020000040030CA\n:0300010022060EC6\n:00000001FF\n", pic18);
    EXPECT_EQ(pic18.ReadReport.ConfigWordsLoaded, 0xEu) << "registers 1 to 3";
    EXPECT_FALSE(pic18.ReadReport.CalibrationWordLoaded);

    // PIC12F675: the OSCCAL word 0x3FF is hex bytes 0x7FE-0x7FF.
    CHexFile cal;
    Read("PIC12F675", ":0207FE0080349D\n:00000001FF\n", cal);
    EXPECT_TRUE(cal.ReadReport.CalibrationWordLoaded);
    EXPECT_EQ(cal.ReadReport.ConfigWordsLoaded, 0u);
    CHexFile none;
    Read("PIC12F675", ":0207FC00FF3F85\n:00000001FF\n", none);
    EXPECT_FALSE(none.ReadReport.CalibrationWordLoaded);
    // A record that runs over the word from below.
    CHexFile over;
    Read("PIC12F675", ":0407FC00FF3F803407\n:00000001FF\n", over);
    EXPECT_EQ(over.BadRecordCount, 0);
    EXPECT_TRUE(over.ReadReport.CalibrationWordLoaded);
}

TEST(HexReadReport, RunsBeyondTheLimitAreCountedButCut) {
    std::string text;
    // Every other byte of PIC18 space at 0x100000: no two adjacent.
    text += ":020000040010EA\n";
    const size_t records = CHexReadReport::kMaxOutsideRuns + 10;
    char line[64];
    for (size_t i = 0; i < records; ++i) {
        const unsigned address = static_cast<unsigned>(2 * i) & 0xFFFF;
        const unsigned sum = (1 + (address >> 8) + (address & 0xFF) + 0x55) & 0xFF;
        std::snprintf(line, sizeof line, ":01%04X0055%02X\n", address, (0x100 - sum) & 0xFF);
        text += line;
    }
    CHexFile hex;
    Read("PIC18F452", text, hex);
    EXPECT_EQ(hex.ReadReport.OutsideBytes, records);
    EXPECT_EQ(hex.ReadReport.OutsideRuns.size(), CHexReadReport::kMaxOutsideRuns);
    EXPECT_TRUE(hex.ReadReport.OutsideRunsCut);
    EXPECT_EQ(hex.BadRecordCount, 0);
}
