#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestLinks.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace {

class CScriptedPrompt : public IMessageBox {
public:
    explicit CScriptedPrompt(EMsgResult answer) : Answer(answer) {}
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override {
        ++Asked;
        LastText = text;
        EXPECT_EQ(icon, EMsgIcon::Exclamation);
        EXPECT_EQ(buttons, EMsgButtons::YesNo);
        return Answer;
    }
    EMsgResult Answer;
    int Asked = 0;
    std::string LastText;
};

// A hex file image of the built-in default device (14-bit, 4096 words, 128 EEPROM).
class HexImport : public ::testing::Test {
protected:
    HexImport() { m_hex.AssignFrom(m_default); }
    bool Load(const std::string& text) { return m_hex.LoadHex(m_dir.Write("in.hex", text)); }

    CTempDir m_dir;
    CDeviceList m_default;
    CHexFile m_hex;
};

// The same with a PIC18 shape: 32 KiB program, 256 EEPROM, 14 configuration bytes.
class HexImport18 : public HexImport {
protected:
    HexImport18() {
        CPicDevice shape;
        shape.CoreWidth = 8;
        shape.ProgramSize = 32768;
        shape.EepromSize = 256;
        for (int i = 0; i < 14; ++i) {
            shape.ConfigLegend += "[A][B][C][D][E][F][G][H]";
        }
        shape.ParseLegend();
        shape.AllocProgram();
        shape.AllocEeprom();
        m_hex.AssignFrom(shape);
    }
};

TEST_F(HexImport, MidRangeAddressMap) {
    ASSERT_TRUE(Load(":020000040000FA\n"
                     ":04000000852800004F\n"         // words 0, 1
                     ":084000000100020003000400AE\n" // user IDs 1..4
                     ":02400E00723FFF\n"             // configuration word 0x3F72
                     ":0442000011AA22BB22\n"         // EEPROM 0x11, 0x22 (odd bytes dropped)
                     ":020000040020DA\n"
                     ":0100000055AA\n" // 0x200000: dropped on a 14-bit device
                     ":00000001FF\n"));
    EXPECT_EQ(m_hex.ProgramWord(0), 0x2885U);
    EXPECT_EQ(m_hex.ProgramWord(1), 0x0000U);
    EXPECT_EQ(m_hex.ProgramWord(2), 0x3FFFU);
    EXPECT_EQ(m_hex.UserId[0], 1U);
    EXPECT_EQ(m_hex.UserId[3], 4U);
    EXPECT_EQ(m_hex.Config[0], 0x3F72U | 0x1030U) << "the [-] bits are forced to 1";
    EXPECT_EQ(m_hex.EepromData[0], 0x11);
    EXPECT_EQ(m_hex.EepromData[1], 0x22);
    EXPECT_EQ(m_hex.EepromData[2], 0xFF);
    EXPECT_EQ(m_hex.BadRecordCount, 0);
    EXPECT_EQ(m_hex.FilePath, m_dir.File("in.hex"));
}

TEST_F(HexImport, LowerCaseRecordsReadTheSameAsUpperCase) {
    ASSERT_TRUE(Load(":1a000000000102030405060708090a0b0c0d0e0f10111213141516171819a1\n"));
    EXPECT_EQ(m_hex.BadRecordCount, 0);
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(m_hex.ProgramData[i], i) << i;
    }
}

TEST_F(HexImport, DamagedRecordsAreAppliedAndCounted) {
    ASSERT_TRUE(Load("\r\n"
                     "   \n"
                     "garbage line\n"
                     ":0200000012345A\n" // wrong checksum: still stored
                     ":00000001FF\n"
                     ":02000200ABCD84\n" // after the end record: still applied
                     ":04000400AB\n"     // count beyond the data: the checksum byte, then 0
                     ":0200060077\n"));  // count without data
    EXPECT_EQ(m_hex.ProgramData[0], 0x12);
    EXPECT_EQ(m_hex.ProgramData[1], 0x34);
    EXPECT_EQ(m_hex.ProgramData[2], 0xAB);
    EXPECT_EQ(m_hex.ProgramData[3], 0xCD);
    EXPECT_EQ(m_hex.ProgramData[4], 0xAB);
    EXPECT_EQ(m_hex.ProgramData[5], 0x00);
    EXPECT_EQ(m_hex.ProgramData[6], 0x77);
    EXPECT_EQ(m_hex.ProgramData[7], 0x00);
    EXPECT_EQ(m_hex.BadRecordCount, 4)
        << "garbage, wrong checksum and two short records; blank lines are fine";
}

TEST_F(HexImport, ExtendedAddressesAndOtherTypes) {
    ASSERT_TRUE(Load(":020000021000EC\n" // segment 0x1000 -> 0x10000
                     ":020000040000FA\n" // the later record wins
                     ":0100100011DE\n"
                     ":0400000300001234B3\n" // type 3 ignored
                     ":0400000500001234B1\n" // type 5 ignored
                     ":02000002040AEE\n"     // segment 0x040A -> 0x40A0
                     ":0100000033CC\n"));    // 0x40A0: outside every region of a 14-bit device
    EXPECT_EQ(m_hex.ProgramData[0x10], 0x11);
    EXPECT_EQ(m_hex.SegmentBase, 0x40A0U);
    EXPECT_EQ(m_hex.ProgramWord(0), 0x3FFFU);
}

TEST_F(HexImport, WordHalvesAndRegionsThatTheFileLacks) {
    m_hex.Config[0] = 0x0000;
    m_hex.UserId[2] = 9;
    // ID 0 high byte before its low byte: the low byte alone stays.
    ASSERT_TRUE(Load(":01400100AB13\n:0140000005BA\n"));
    EXPECT_EQ(m_hex.UserId[0], 0x05U);
    EXPECT_EQ(m_hex.UserId[2], 9U) << "IDs the file lacks keep their values";
    EXPECT_EQ(m_hex.Config[0], 0x1030U) << "kept, but with the [-] bits forced to 1";
}

TEST_F(HexImport, OddEepromBytesAndTheEepromEnd) {
    // EEPROM byte 127 at 0x42FE; 0x4300 is past the 128 bytes.
    ASSERT_TRUE(Load(":0442FE00AA55BB669C\n"));
    EXPECT_EQ(m_hex.EepromData[127], 0xAA);
    EXPECT_EQ(m_hex.BadRecordCount, 0);
}

TEST_F(HexImport, UnreadableFileLeavesTheImageClearedAndTheWatchAsItWas) {
    m_hex.ProgramData[0] = 0;
    m_hex.FilePath = "previous";
    EXPECT_FALSE(m_hex.LoadHex(m_dir.File("absent.hex")));
    EXPECT_EQ(m_hex.ProgramWord(0), 0x3FFFU);
    EXPECT_EQ(m_hex.FilePath, "previous");
}

TEST_F(HexImport, DevicesAndOversizedFilesAreRefusedBeforeTheyAreRead) {
    m_hex.FilePath = "previous";
#ifndef _WIN32
    // Read as a stream, /dev/zero filled the memory and /dev/urandom never ended.
    for (const char* device : {"/dev/zero", "/dev/urandom"}) {
        EXPECT_FALSE(m_hex.LoadHex(device)) << device;
        EXPECT_EQ(m_hex.LastReadResult, EReadResult::NotAFile) << device;
        EXPECT_FALSE(CanOpenHexFile(device)) << device;
    }
#endif
    std::string big(kMaxHexFileBytes + 1, '\n');
    big.replace(0, 11, ":00000001FF");
    EXPECT_FALSE(m_hex.LoadHex(m_dir.Write("big.hex", big)));
    EXPECT_EQ(m_hex.LastReadResult, EReadResult::TooLarge);
    EXPECT_EQ(m_hex.FilePath, "previous") << "nothing is watched";
}

TEST_F(HexImport, AFolderIsNoHexFile) {
    // A folder opens as a stream that reads nothing; it must fail like a
    // missing file, not load as an empty image and be watched.
    const std::string folder = m_dir.File("folder.hex");
    std::filesystem::create_directory(folder);
    m_hex.FilePath = "previous";
    EXPECT_FALSE(m_hex.LoadHex(folder));
    EXPECT_EQ(m_hex.FilePath, "previous");
    EXPECT_FALSE(CanOpenHexFile(folder));
    EXPECT_FALSE(CanOpenHexFile(m_dir.File("absent.hex")));
    EXPECT_FALSE(CanOpenHexFile(""));

    const std::string file = m_dir.Write("real.hex", ":00000001FF\n");
    EXPECT_TRUE(CanOpenHexFile(file));
    const std::string link = m_dir.File("link.hex");
    if (MakeSymlink(Utf8Path(file), Utf8Path(link))) {
        EXPECT_TRUE(CanOpenHexFile(link)) << "a link to a file is that file";
        EXPECT_TRUE(m_hex.LoadHex(link));
    }
}

TEST_F(HexImport18, Pic18AddressMap) {
    ASSERT_TRUE(Load(":0400000001020304F2\n"
                     ":020000040020DA\n"
                     ":080000000123456789ABCDEF38\n"
                     ":020000040030CA\n"
                     ":0E0000000102030405060708090A0B0C0D0E89\n"
                     ":0200000400F00A\n"
                     ":02000000A55AFF\n"
                     ":020000040000FA\n"
                     ":02400E00723FFF\n")); // a 14-bit configuration record: program memory here
    EXPECT_EQ(m_hex.ProgramData[3], 0x04);
    EXPECT_EQ(m_hex.UserId[7], 0xEFU);
    EXPECT_EQ(m_hex.Config[13], 0x0EU);
    EXPECT_EQ(m_hex.Config[14], 0U);
    EXPECT_EQ(m_hex.EepromData[0], 0xA5);
    EXPECT_EQ(m_hex.EepromData[1], 0x5A);
    EXPECT_EQ(m_hex.ProgramData[0x400E], 0x72);
    EXPECT_EQ(m_hex.ProgramData[0x400F], 0x3F);
}

TEST_F(HexImport, ChangeWatch) {
    const std::string path = m_dir.Write("watched.hex", ":020000001234B8\n");
    ASSERT_TRUE(m_hex.LoadHex(path));
    CScriptedPrompt no(EMsgResult::No);
    EXPECT_FALSE(m_hex.CheckHexChanged(no));
    EXPECT_EQ(no.Asked, 0) << "unchanged file: no question";

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_dir.Write("watched.hex", ":02000000ABCD86\n");
    EXPECT_FALSE(m_hex.CheckHexChanged(no));
    EXPECT_EQ(no.Asked, 1);
    EXPECT_EQ(no.LastText, "Hex File が更新されています。\nリロードしますか。");
    EXPECT_FALSE(m_hex.CheckHexChanged(no));
    EXPECT_EQ(no.Asked, 2) << "No keeps the old status, so the question comes again";
    EXPECT_EQ(m_hex.ProgramData[0], 0x12);

    CScriptedPrompt yes(EMsgResult::Yes);
    EXPECT_TRUE(m_hex.CheckHexChanged(yes));
    EXPECT_EQ(m_hex.ProgramData[0], 0xAB);
    EXPECT_FALSE(m_hex.CheckHexChanged(yes));
    EXPECT_EQ(yes.Asked, 1);

    std::filesystem::remove(path);
    EXPECT_TRUE(m_hex.CheckHexChanged(yes)) << "a vanished file counts as changed";
    EXPECT_EQ(yes.Asked, 2);

    m_hex.ForgetHexFile();
    EXPECT_FALSE(m_hex.CheckHexChanged(yes));
    EXPECT_EQ(yes.Asked, 2);
}

} // namespace

namespace {

// What a line counts as, by the rule: a colon, then (trailing blanks aside)
// an even number of hex digits, at least five bytes, as many as the count
// byte says, summing to 0.
bool SoundByTheRule(std::string line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
        line.pop_back();
    }
    if (line.size() < 11 || line.size() % 2 != 1) {
        return false;
    }
    unsigned sum = 0;
    std::vector<unsigned> bytes;
    for (size_t i = 1; i < line.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(line[i])) ||
            !std::isxdigit(static_cast<unsigned char>(line[i + 1]))) {
            return false;
        }
        bytes.push_back(static_cast<unsigned>(std::stoul(line.substr(i, 2), nullptr, 16)));
        sum += bytes.back();
    }
    return bytes.size() == bytes[0] + 5U && (sum & 0xFF) == 0;
}

// Reads a text line by line through ParseHexLine, the reader's way for any
// line, and counts the unsound ones by the rule.
void ReadLineByLine(CHexFile& hex, const std::string& text) {
    hex.ClearImage();
    hex.SegmentBase = 0;
    int bad = 0;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == ':') {
            bad += SoundByTheRule(line) ? 0 : 1;
        } else if (line.find_first_not_of(" \t\r\f\v") != std::string::npos) {
            ++bad;
        }
        hex.ParseHexLine(line);
    }
    hex.ApplyConfigMasks();
    hex.UpdateChecksum();
    hex.BadRecordCount = bad;
}

} // namespace

TEST_F(HexImport18, DamagedTextsReadAsTheLineByLineReaderReadsThem) {
    // A saved image, then damaged a few characters at a time: dropped, doubled,
    // replaced with digits, colons, blanks, lower-case letters or line ends.
    CHexFile source;
    source.AssignFrom(m_hex);
    std::mt19937 rng(5);
    for (size_t i = 0; i < 2048; ++i) {
        source.ProgramData[(i * 37) % source.ProgramData.size()] = static_cast<uint8_t>(rng());
    }
    source.EepromData[3] = 0x42;
    const std::string saved = source.FormatImage() + ":02000004001ED0\r\n:04000000DEADBEEFC4";
    const std::string noise = "0123456789ABCDEFabcdefG: \t\r\n\0";
    for (int round = 0; round < 300; ++round) {
        std::string text = saved;
        for (int k = 0; k < 1 + round % 7; ++k) {
            const size_t at = rng() % text.size();
            switch (rng() % 3) {
            case 0:
                text.erase(at, 1 + rng() % 3);
                break;
            case 1:
                text.insert(at, text.substr(at, 1 + rng() % 40));
                break;
            default:
                text[at] = noise[rng() % noise.size()];
                break;
            }
        }
        CHexFile fast;
        fast.AssignFrom(m_hex);
        std::istringstream in(text);
        fast.ReadRecords(in);
        CHexFile slow;
        slow.AssignFrom(m_hex);
        ReadLineByLine(slow, text);
        ASSERT_EQ(fast.ProgramData, slow.ProgramData) << "round " << round;
        ASSERT_EQ(fast.EepromData, slow.EepromData) << "round " << round;
        ASSERT_TRUE(std::equal(std::begin(fast.Config), std::end(fast.Config), std::begin(slow.Config)));
        ASSERT_TRUE(std::equal(std::begin(fast.UserId), std::end(fast.UserId), std::begin(slow.UserId)));
        ASSERT_EQ(fast.BadRecordCount, slow.BadRecordCount) << "round " << round;
        ASSERT_EQ(fast.SegmentBase, slow.SegmentBase) << "round " << round;
    }
}

TEST_F(HexImport, ALineLongerThanAnyRecordAndOneSplitAcrossReadsStillRead) {
    std::string text(70000, '0');
    text = ":" + text + "\r\n";
    // Enough lines that the last record crosses the reader's chunk boundary.
    for (int i = 0; i < 2000; ++i) {
        text += ":0100000000FF\r\n";
    }
    text += ":020002001234B6"; // the last line has no line end
    std::istringstream in(text);
    m_hex.ReadRecords(in);
    EXPECT_EQ(m_hex.BadRecordCount, 1);
    EXPECT_EQ(m_hex.ProgramWord(1), 0x3412U);
}
