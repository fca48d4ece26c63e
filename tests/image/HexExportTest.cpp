#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestLinks.h"

#include <gtest/gtest.h>
#include <random>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void MakePic18(CPicDevice& d, uint32_t programBytes, uint32_t eeprom) {
    d.CoreWidth = 8;
    d.ProgramSize = programBytes;
    d.EepromSize = eeprom;
    d.ConfigLegend.clear();
    for (int i = 0; i < 14; ++i) {
        d.ConfigLegend += "[A][B][C][D][x][x][CP1][CP0]";
    }
    d.ParseLegend();
    d.AllocProgram();
    d.AllocEeprom();
    for (uint32_t& id : d.UserId) {
        id = 0xFF;
    }
}

TEST(HexRecord, FormatAndChecksum) {
    const uint8_t ext[2] = {0x00, 0x00};
    EXPECT_EQ(FormatHexRecord(2, 0, 4, ext), ":020000040000FA\r\n");
    EXPECT_EQ(FormatHexRecord(0, 0, 1, nullptr), ":00000001FF\r\n");
    const uint8_t sumsTo256[2] = {0xFE, 0xFE}; // 02 + 01 + FE + FE = 0x1FF
    EXPECT_EQ(FormatHexRecord(2, 0x0100, 0, sumsTo256), ":02010000FEFE01\r\n");
    const uint8_t zero[1] = {0xFF};
    EXPECT_EQ(FormatHexRecord(1, 0x0000, 0, zero), ":01000000FF00\r\n")
        << "a sum of 0x100 gives the checksum 00";
    EXPECT_EQ(FormatHexRecord(1, 0x12345, 0, zero), ":01234500FF98\r\n") << "only the low 16 address bits";
}

TEST(HexExport, BlankDefaultDeviceGivesThreeLines) {
    CDeviceList device;
    CHexFile hex;
    hex.AssignFrom(device);
    const std::vector<std::string> lines = Lines(hex.FormatImage());
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], ":020000040000FA");
    EXPECT_EQ(lines[1], ":104000000F000F000F000F00000000000000FF3F36");
    EXPECT_EQ(lines[2], ":00000001FF");
}

TEST(HexExport, ProgramBlocksAndBlankWords) {
    CDeviceList device;
    CHexFile hex;
    hex.AssignFrom(device);
    hex.ProgramData[2 * 9] = 0x00; // word 9 = 0x3F00
    hex.ProgramData[2 * 40] = 0xFF;
    hex.ProgramData[2 * 40 + 1] = 0xFF; // 0xFFFF is not the blank word
    const std::vector<std::string> lines = Lines(hex.FormatImage());
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[1], ":10001000FF3F003FFF3FFF3FFF3FFF3FFF3FFF3FEF")
        << "the whole block, blank words included";
    EXPECT_EQ(lines[2].substr(0, 9), ":10005000");
    EXPECT_EQ(lines[2].substr(9, 4), "FFFF");
}

TEST(HexExport, MidRangeEepromAndSecondConfigurationRecord) {
    CDeviceList device;
    CHexFile hex;
    hex.AssignFrom(device);
    hex.EepromData[8] = 0x12;
    hex.EepromData[15] = 0x34;
    hex.UserId[0] = 0xA5;
    hex.ConfigCount = 3;
    hex.Config[1] = 0x3ABC;
    hex.Config[2] = 0xFFFF;
    const std::vector<std::string> lines = Lines(hex.FormatImage());
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[1], FormatHexRecord(16, 0x4210, 0,
                                        std::vector<uint8_t>{0x12, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0,
                                                             0xFF, 0, 0xFF, 0, 0x34, 0}
                                            .data())
                            .substr(0, 43));
    EXPECT_EQ(lines[2].substr(0, 11), ":1040000005") << "only the low four ID bits";
    EXPECT_EQ(lines[3],
              FormatHexRecord(
                  16, 0x4010, 0,
                  std::vector<uint8_t>{0xBC, 0x3A, 0xFF, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}.data())
                  .substr(0, 43));

    for (int count : {1, 8}) {
        hex.ConfigCount = count;
        const std::string text = hex.FormatImage();
        EXPECT_EQ(text.find(":10401000"), std::string::npos) << count;
    }
}

TEST(HexExport, Pic18SectionsAndExtendedAddresses) {
    CHexFile hex;
    MakePic18(hex, 128 * 1024, 256);
    hex.ProgramData[0x10] = 0x00;    // one 0x00 byte brings in its whole block
    hex.ProgramData[0x1FFF0] = 0x12; // upper address 0x0001
    hex.EepromData[255] = 0x77;
    const std::vector<std::string> lines = Lines(hex.FormatImage());
    const std::vector<std::string> expectedStarts = {
        ":020000040000FA", ":10001000", ":020000040001F9", ":10FFF000", ":0200000400F00A", ":0800F800",
        ":020000040020DA", ":08000000", ":020000040030CA", ":0E000000", ":00000001FF"};
    ASSERT_EQ(lines.size(), expectedStarts.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, expectedStarts[i].size()), expectedStarts[i]) << i;
    }

    CHexFile blank;
    MakePic18(blank, 1024, 0);
    const std::vector<std::string> blankLines = Lines(blank.FormatImage());
    ASSERT_EQ(blankLines.size(), 6U) << "no program and no EEPROM records, no 0x00F0 record";
}

TEST(HexExport, FailedSaveKeepsTheOldFile) {
    CTempDir dir;
    CDeviceList device;
    CHexFile hex;
    hex.AssignFrom(device);
    const std::string path = dir.Write("out.hex", "old contents");
    ASSERT_TRUE(hex.SaveHex(path));
    EXPECT_EQ(ReadWholeFile(path), hex.FormatImage());

#ifndef _WIN32
    // A folder closed to writing (Windows has no such folder: its read-only
    // attribute does not stop new files).
    dir.Write("keep.hex", "old contents");
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
    const bool writable = ::access(dir.Path().c_str(), W_OK) == 0; // root may write anyway
    if (!writable) {
        EXPECT_FALSE(hex.SaveHex(dir.File("keep.hex")));
        EXPECT_EQ(ReadWholeFile(dir.File("keep.hex")), "old contents");
    }
    ::chmod(dir.Path().c_str(), 0700);
#endif

    EXPECT_FALSE(hex.SaveHex(dir.File("missing-folder/out.hex")));
    std::filesystem::create_directory(dir.File("a-folder"));
    EXPECT_FALSE(hex.SaveHex(dir.File("a-folder"))) << "cannot replace a folder";
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a-folder")));
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(Utf8Text(entry.path()).find(".kvx3-tmp"), std::string::npos) << "no temporary file left";
    }
}

TEST(HexExport, SaveKeepsLinksAndPermissionsAndRefusesReadOnlyFiles) {
    namespace fs = std::filesystem;
    CTempDir dir;
    CDeviceList device;
    CHexFile hex;
    hex.AssignFrom(device);

    // A project's hex file kept elsewhere behind a link: the link stays, the
    // file behind it gets the image, with its permissions.
    fs::create_directory(dir.Path() / "build");
    const std::string real = dir.Write("build/app.hex", "old contents");
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(real, mode);
    const fs::perms kept = fs::status(real).permissions() & fs::perms::mask; // Windows: writable or not
    const bool linked = MakeSymlink(fs::path("build") / "app.hex", dir.Path() / "app.hex");
    const std::string target = linked ? dir.File("app.hex") : real;
    ASSERT_TRUE(hex.SaveHex(target));
    EXPECT_EQ(IsSymlink(dir.Path() / "app.hex"), linked);
    EXPECT_EQ(ReadWholeFile(real), hex.FormatImage());
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::mask, kept);

    fs::permissions(real, fs::perms::owner_read);
    EXPECT_FALSE(hex.SaveHex(real));
    EXPECT_FALSE(hex.SaveHex(target));
    EXPECT_EQ(ReadWholeFile(real), hex.FormatImage());
    fs::permissions(real, mode);

    // A disk that fills up halfway through the save.
    const std::string before = ReadWholeFile(real);
    hex.ProgramData[0] = 0x00;
    CReplaceFault full;
    full.Step = EReplaceStep::Write;
    full.BytesBeforeFailure = 20;
    {
        const CReplaceFaultScope fault(full);
        EXPECT_FALSE(hex.SaveHex(real));
        EXPECT_TRUE(fault.Fired());
    }
    EXPECT_EQ(ReadWholeFile(real), before);
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "build")) {
        EXPECT_EQ(entry.path().filename(), "app.hex");
        ++entries;
    }
    EXPECT_EQ(entries, 1U);
    ASSERT_TRUE(hex.SaveHex(real));
    EXPECT_NE(ReadWholeFile(real), before);
}

TEST(HexRoundTrip, RandomImagesOfBothFamilies) {
    CTempDir dir;
    std::mt19937 rng(1234);
    for (int round = 0; round < 20; ++round) {
        const bool pic18 = round % 2 == 1;
        CHexFile out;
        if (pic18) {
            MakePic18(out, round == 19 ? 128 * 1024 : 32768, 256);
        } else {
            CDeviceList device;
            out.AssignFrom(device);
            out.ConfigCount = 1 + round % 6;
        }
        for (size_t i = 0; i < out.ProgramData.size(); ++i) {
            if (rng() % 7 == 0) {
                out.ProgramData[i] = static_cast<uint8_t>(rng());
            }
        }
        if (!pic18) {
            for (size_t i = 1; i < out.ProgramData.size(); i += 2) {
                out.ProgramData[i] &= 0x3F;
            }
        }
        for (uint8_t& b : out.EepromData) {
            if (rng() % 3 == 0) {
                b = static_cast<uint8_t>(rng());
            }
        }
        for (uint32_t& id : out.UserId) {
            id = rng() & 0xFF;
        }
        for (int w = 0; w < out.ConfigWordCount(); ++w) {
            out.Config[w] =
                ((rng() & (pic18 ? 0xFF : 0x3FFF)) & ~out.ConfigZeroMask[w]) | out.ConfigOneMask[w];
        }
        const std::string path = dir.File("round.hex");
        ASSERT_TRUE(out.SaveHex(path));
        CHexFile in;
        in.AssignFrom(out);
        for (uint32_t& w : in.Config) {
            w = 0;
        }
        for (uint32_t& id : in.UserId) {
            id = 0;
        }
        ASSERT_TRUE(in.LoadHex(path));
        EXPECT_EQ(in.BadRecordCount, 0);
        EXPECT_EQ(in.ProgramData, out.ProgramData) << round;
        EXPECT_EQ(in.EepromData, out.EepromData) << round;
        for (int i = 0; i < (pic18 ? 8 : 4); ++i) {
            EXPECT_EQ(in.UserId[i], out.UserId[i] & (pic18 ? 0xFFU : 0x0FU)) << round;
        }
        for (int w = 0; w < std::min(out.ConfigWordCount(), pic18 ? 14 : 6); ++w) {
            EXPECT_EQ(in.Config[w], out.Config[w]) << round << " word " << w;
        }
    }
}

} // namespace
