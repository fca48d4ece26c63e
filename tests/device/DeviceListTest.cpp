#include "device/DeviceList.h"
#include "device/Bounds.h"
#include "device/TextDecode.h"
#include "device/TextNumbers.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

namespace {

class CRecordedMessages : public IMessageBox {
public:
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons) override {
        Texts.push_back(text);
        Icons.push_back(icon);
        return EMsgResult::Ok;
    }
    std::vector<std::string> Texts;
    std::vector<EMsgIcon> Icons;
};

// The built-in default written as a catalogue line.
const std::string kDefaultLine = "PIC16F873A\t4096:14\t128\t[CP][-][DEBUG][WRT1][WRT0][CPD][LVD][BOREN][-][-]"
                                 "[*PWRTEN][WDTEN][FOSC1][FOSC0]\t28\t0\t2\t0\t0\t2\t4\t4\t:\t0E40:FFF0\t";

class DeviceListFile : public ::testing::Test {
protected:
    CDeviceList& Load(const std::string& catalogue) {
        m_device.ListPath = m_dir.Write("list.txt", catalogue);
        return m_device;
    }
    CTempDir m_dir;
    CRecordedMessages m_messages;
    CDeviceList m_device{&m_messages};
};

TEST(Numbers, HexAndDecimalReaders) {
    EXPECT_EQ(ParseHexNumber("0E40"), 0x0E40U);
    EXPECT_EQ(ParseHexNumber("0e40"), 0x0E40U) << "lower case reads as hex digits";
    EXPECT_EQ(ParseHexNumber("3FFG1"), 0x3FFU);
    EXPECT_EQ(ParseHexNumber(" 12"), 0U);
    EXPECT_EQ(ParseHexNumber(""), 0U);
    EXPECT_EQ(ParseHexNumber("12345678AB"), 0x345678ABU) << "ten characters, the low 32 bits";
    EXPECT_EQ(ParseHexNumber("123456789ABC"), 0x3456789AU) << "nothing past the tenth character";
    EXPECT_EQ(ParseDecimal("  -12x"), -12);
    EXPECT_EQ(ParseDecimal("+7"), 7);
    EXPECT_EQ(ParseDecimal("x7"), 0);
    EXPECT_EQ(ParseDecimal("99999999999"), 2147483647);
    EXPECT_EQ(ParseDecimal("-99999999999"), -2147483647 - 1);
}

TEST_F(DeviceListFile, DefaultLineLoadsLikeTheBuiltInDefault) {
    CDeviceList& d = Load("; comment\r\n" + kDefaultLine + "\r\n");
    ASSERT_TRUE(d.LoadDevice("PIC16F873A"));
    CDeviceList builtIn;
    EXPECT_EQ(d.ProgramSize, builtIn.ProgramSize);
    EXPECT_EQ(d.ConfigLegend, builtIn.ConfigLegend);
    EXPECT_EQ(d.WriteBlockBytes, 8);
    EXPECT_EQ(d.ReservedParam, 2);
    EXPECT_EQ(d.EraseMethod, 4);
    EXPECT_EQ(d.DeviceId, 0x0E40U);
    EXPECT_EQ(d.DeviceIdMask, 0xFFF0U);
    EXPECT_EQ(d.Checksum, 0x1FCFU);
    EXPECT_EQ(d.CompareImage(builtIn), 0);
}

TEST_F(DeviceListFile, SelectorListsEveryEntryInFileOrder) {
    Load("; skipped\n\nNoTab\n-------- sep --------\t\nA\t1:14\t\n A \t\nA\t2:14\t\n;x\tcomment\n");
    CNameList names;
    ASSERT_TRUE(m_device.FillSelector(names));
    const std::vector<std::string> expected = {"", "", "-------- sep --------", "A", " A ", "A"};
    EXPECT_EQ(names.Names, expected);

    ASSERT_TRUE(m_device.LoadDevice("A"));
    EXPECT_EQ(m_device.ProgramSize, 1U) << "the first of two equal names";
    EXPECT_FALSE(m_device.LoadDevice("a")) << "names compare exactly";
}

TEST_F(DeviceListFile, EmptyNameLoadsTheFirstEmptyEntry) {
    Load("\nX\t16:14\t16\n");
    ASSERT_TRUE(m_device.LoadDevice(""));
    EXPECT_EQ(m_device.DeviceName, "");
    EXPECT_EQ(m_device.ProgramSize, 0U);
    EXPECT_EQ(m_device.CoreWidth, 0);
    EXPECT_TRUE(m_device.ProgramData.empty());
    EXPECT_EQ(m_device.ConfigCount, 0);
    EXPECT_EQ(m_device.UserId[0], 0xFFU);
}

TEST_F(DeviceListFile, ColumnRules) {
    Load("NoFinalTab\t64:14\t16\t[CP][A]\t18\t1\t3\t1\t1\t9\t1\t2\t:\t0560:3FE0\n"
         "NoId\t64:14\t16\t[A]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\tremark\n"
         "Short\t64:14\n"
         "NoColon\t14\t16\t\t\t\t\t\t\t\t\t\t\t\t\n"
         "Lower\t64:14\t0\t[A]\t8\t0\t0\t0\t0\t0\t1\t1\t3ff:1\t0e40:fff0\t\n"
         "Spaced\t64:14\t0\t[A]\t8\t 1\t0\t0\t0\t0\t1\t1\t 3FF:1\t 0E40:FFF0\t\n"
         "CalBits\t1024:14\t0\t[cBG][A]\t8\t0\t0\t0\t0\t0\t1\t1\t:\t0F80:3FE0\t\n");

    ASSERT_TRUE(m_device.LoadDevice("NoFinalTab"));
    EXPECT_EQ(m_device.EntryMode, 1);
    EXPECT_EQ(m_device.ReservedParam, 9);
    EXPECT_EQ(m_device.DeviceId, 0U) << "column 13 without a TAB after it reads as empty";
    EXPECT_EQ(m_device.DeviceIdMask, 0U);

    ASSERT_TRUE(m_device.LoadDevice("NoId"));
    EXPECT_EQ(m_device.DeviceId, 0xFFFFU);
    EXPECT_EQ(m_device.DeviceIdMask, 0U);

    ASSERT_TRUE(m_device.LoadDevice("Short"));
    EXPECT_EQ(m_device.ProgramSize, 0U) << "column 1 is the last text, without a TAB";
    EXPECT_EQ(m_device.EepromSize, 0U);
    EXPECT_EQ(m_device.ConfigLegend, "");
    EXPECT_EQ(m_device.ConfigCount, 0);

    ASSERT_TRUE(m_device.LoadDevice("NoColon"));
    EXPECT_EQ(m_device.ProgramSize, 0U);
    EXPECT_EQ(m_device.CoreWidth, 14);

    ASSERT_TRUE(m_device.LoadDevice("Lower"));
    EXPECT_EQ(m_device.DeviceId, 0x0E40U);
    EXPECT_EQ(m_device.DeviceIdMask, 0xFFF0U);
    EXPECT_EQ(m_device.CalFlag, 1);

    ASSERT_TRUE(m_device.LoadDevice("Spaced"));
    EXPECT_EQ(m_device.EntryMode, 1) << "decimal columns accept leading spaces";
    EXPECT_EQ(m_device.CalAddress, 0) << "a space before a hex number reads as 0";
    EXPECT_EQ(m_device.DeviceId, 0U);

    ASSERT_TRUE(m_device.LoadDevice("CalBits"));
    EXPECT_EQ(m_device.CalFlag, 1) << "calibration bits in the legend set the flag";
    EXPECT_EQ(m_device.ConfigCalMask[0], 0x2000U);
}

TEST_F(DeviceListFile, MissingFileShowsTheMessageAndKeepsTheRecord) {
    m_device.ListPath = m_dir.File("absent.txt");
    CNameList names;
    EXPECT_FALSE(m_device.FillSelector(names));
    EXPECT_FALSE(m_device.LoadDevice("PIC16F84A"));
    ASSERT_EQ(m_messages.Texts.size(), 2U);
    EXPECT_EQ(m_messages.Texts[0], "デバイス リストファイルが見つかりません。");
    EXPECT_EQ(m_messages.Icons[0], EMsgIcon::Stop);
    EXPECT_EQ(m_device.DeviceName, "PIC16F873A");
    EXPECT_EQ(m_device.ProgramData.size(), 8192U);
}

TEST_F(DeviceListFile, UnknownNameLeavesAConsistentRecord) {
    Load(kDefaultLine + "\nSmall\t1024:14\t64\t[A]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\n");
    ASSERT_TRUE(m_device.LoadDevice("Small"));
    m_device.ProgramData[0] = 0x12;
    EXPECT_FALSE(m_device.LoadDevice("Gone"));
    EXPECT_EQ(m_device.DeviceName, "Small");
    EXPECT_EQ(m_device.ProgramData.size(), 2 * m_device.ProgramSize);
    EXPECT_EQ(m_device.EepromData.size(), m_device.EepromSize);
    EXPECT_EQ(m_device.ProgramData[0], 0x12) << "the record is left as it was";
    EXPECT_TRUE(m_messages.Texts.empty());
}

TEST_F(DeviceListFile, EditedCatalogueIsReadAtTheNextSelection) {
    Load("D\t1024:14\t64\t[A]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\n");
    ASSERT_TRUE(m_device.LoadDevice("D"));
    EXPECT_EQ(m_device.EepromSize, 64U);
    m_dir.Write("list.txt", "D\t1024:14\t128\t[A]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\n");
    ASSERT_TRUE(m_device.LoadDevice("D"));
    EXPECT_EQ(m_device.EepromSize, 128U);
}

TEST_F(DeviceListFile, AbsurdNumbersAreClipped) {
    Load("Huge\t4294967295:14\t-5\t[A]\t18\t0\t1\t0\t1\t0\t1\t1000\tFFFFFFFF:1\t0E40:3FE0\t\n"
         "Big18\t99999999:8\t99999\t[A]\t40\t0\t0\t0\t0\t0\t4\t-3\t:\t1200:FFE0\t\n"
         "Odd18\t1001:8\t17\t[A]\t40\t0\t0\t0\t0\t0\t4\t4\t:\t1200:FFE0\t\n"
         "ZeroRow\t1024:14\t0\t[A]\t18\t0\t1\t0\t0\t0\t1\t0\t:\t-\t\n");
    ASSERT_TRUE(m_device.LoadDevice("Huge"));
    EXPECT_EQ(m_device.ProgramSize, bounds::kMaxMidRangeWords);
    EXPECT_EQ(m_device.ProgramData.size(), 2 * bounds::kMaxMidRangeWords);
    EXPECT_EQ(m_device.EepromSize, 0U) << "a negative size means none";
    EXPECT_TRUE(m_device.EepromData.empty());
    EXPECT_EQ(m_device.WriteBlockBytes, bounds::kMaxMidRangeRowBytes);
    EXPECT_EQ(m_device.CalAddress, 0) << "a calibration word outside program memory";

    ASSERT_TRUE(m_device.LoadDevice("Big18"));
    EXPECT_EQ(m_device.ProgramData.size(), bounds::kMaxPic18Bytes);
    EXPECT_EQ(m_device.EepromData.size(), bounds::kMaxPic18Eeprom);
    EXPECT_EQ(m_device.WriteBlockBytes, 0);

    ASSERT_TRUE(m_device.LoadDevice("Odd18"));
    EXPECT_EQ(m_device.ProgramBytes, 1001U)
        << "a partial last block stays; the engines move it with a short packet";
    EXPECT_EQ(m_device.ProgramData.size(), 1001U);

    ASSERT_TRUE(m_device.LoadDevice("ZeroRow"));
    EXPECT_EQ(m_device.WriteBlockBytes, 2) << "a latch row is at least one word";
}

TEST_F(DeviceListFile, CoreWidthIsBoundedLikeTheSizes) {
    // A width of 2^31 - 1 once drove the legend loop two billion times a word.
    Load("Wide\t1024:2147483647\t64\t[A][B][C]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\n"
         "Negative\t1024:-8\t64\t[A][B]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\n");
    ASSERT_TRUE(m_device.LoadDevice("Wide"));
    EXPECT_EQ(m_device.CoreWidth, bounds::kMaxCoreWidth);
    EXPECT_EQ(m_device.ConfigCount, 1);
    EXPECT_EQ(m_device.ConfigNamedMask[0], 0xE0000000U) << "the three tokens are the top bits of one word";
    EXPECT_TRUE(m_device.ProgramData.empty()) << "a core without an engine has no program buffer";

    ASSERT_TRUE(m_device.LoadDevice("Negative"));
    EXPECT_EQ(m_device.CoreWidth, 0);
    EXPECT_EQ(m_device.ConfigNamedMask[0], 0U);
}

TEST_F(DeviceListFile, AFolderOrADeviceIsNoCatalogue) {
    // A folder once ended the program with an uncaught stream exception, and
    // /dev/zero or /dev/urandom were read until the memory ran out.
    std::vector<std::string> paths = {m_dir.Path().string()};
#ifndef _WIN32
    paths.push_back("/dev/zero");
    paths.push_back("/dev/urandom");
#endif
    for (const std::string& path : paths) {
        m_device.ListPath = path;
        CNameList names;
        EXPECT_FALSE(m_device.FillSelector(names)) << path;
        EXPECT_FALSE(m_device.LoadDevice("PIC16F84A")) << path;
        EXPECT_EQ(m_device.ListReadResult, EReadResult::NotAFile) << path;
        EXPECT_EQ(m_device.DeviceName, "PIC16F873A") << "the record is left as it was";
    }
    EXPECT_EQ(m_messages.Texts.size(), 2 * paths.size()) << "each refusal says the catalogue is missing";

    Load(std::string(kMaxDeviceListBytes + 1, ';'));
    EXPECT_FALSE(m_device.LoadDevice("PIC16F84A"));
    EXPECT_EQ(m_device.ListReadResult, EReadResult::TooLarge);
}

TEST_F(DeviceListFile, ShiftJisAndUtf8CataloguesGiveTheSameNames) {
    // "ＰＩＣ テスト" in Shift-JIS and in UTF-8, with a CRLF line end.
    const std::string sjisName = "\x82\x6F\x82\x68\x82\x62\x20\x83\x65\x83\x58\x83\x67";
    const std::string utf8Name = "ＰＩＣ テスト";
    const std::string tail = "\t1024:14\t64\t[A]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\xe5\x82\x99\r\n";
    for (const std::string& name : {sjisName, utf8Name}) {
        const bool sjis = name == sjisName;
        Load(name +
             (sjis ? std::string("\t1024:14\t64\t[A]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\x94\xf5\r\n") : tail));
        CNameList names;
        ASSERT_TRUE(m_device.FillSelector(names));
        ASSERT_EQ(names.Names.size(), 1U);
        EXPECT_EQ(names.Names[0], utf8Name) << (sjis ? "Shift-JIS" : "UTF-8");
        EXPECT_TRUE(m_device.LoadDevice(utf8Name));
        EXPECT_EQ(m_device.EepromSize, 64U);
    }
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFname"), "name") << "a byte-order mark is dropped";
    EXPECT_TRUE(IsValidUtf8(DecodeTextFile("\x82")));
}

TEST(DeviceListPath, BesideTheExecutable) {
    const std::string path = DefaultDeviceListPath();
    EXPECT_NE(path.find('/'), std::string::npos);
    EXPECT_EQ(path.substr(path.size() - 18), "PicDeviceList3.txt");
}

} // namespace
