#include "image/HexFile.h"
#include "tests/cli/CliRun.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string Fixture(const std::string& name) {
    return std::string(KVX3_SOURCE_DIR) + "/tests/fixtures/" + name;
}

TEST(CliShow, DefaultDeviceAndItsChecksum) {
    const CRun run = RunTool({"show"});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    EXPECT_NE(run.Out.find("Device          PIC16F873A\n"), std::string::npos);
    EXPECT_NE(run.Out.find("CONFIG1 2007 = 3FFF CP=1 DEBUG=1"), std::string::npos);
    EXPECT_NE(run.Out.find("\nChecksum: 1FCF\n"), std::string::npos) << run.Out;
}

TEST(CliShow, FileIsLoadedByTheDeviceMap) {
    const CRun run = RunTool({"-d", "PIC16F877A", "show", Fixture("blink16f877a.hex")});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    EXPECT_NE(run.Out.find("CONFIG1 2007 = 3F72"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("User ID         1 2 3 4"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("EEPROM used     15 bytes"), std::string::npos) << run.Out;
    EXPECT_TRUE(run.Err.empty()) << run.Err;

    const CRun pic18 = RunTool({"show", Fixture("blink18f452.hex"), "--device", "PIC18F452"});
    ASSERT_EQ(pic18.Status, kExitOk) << pic18.Err;
    EXPECT_NE(pic18.Out.find("CONFIG1H 300001 = 22 OSCEN=1 FOSC2=0 FOSC1=1 FOSC0=0"), std::string::npos)
        << pic18.Out;
}

TEST(CliShow, DevicesInFileOrderAndAnotherCatalogue) {
    const CRun run = RunTool({"devices"});
    ASSERT_EQ(run.Status, kExitOk);
    EXPECT_EQ(run.Out.substr(0, run.Out.find('\n')), "-------- PIC16F87xA --------");
    EXPECT_NE(run.Out.find("\nPIC16F873A\nPIC16F874A\n"), std::string::npos);

    CTempDir dir;
    const std::string list =
        dir.Write("mine.txt", "; mine\nONE\t16:14\t16\t[A]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\n");
    const CRun mine = RunTool({"-l", list, "devices"});
    EXPECT_EQ(mine.Out, "ONE\n");
    const CRun shown = RunTool({"-l", list, "-d", "ONE", "show"});
    EXPECT_EQ(shown.Status, kExitOk);
    EXPECT_NE(shown.Out.find("Device ID       none"), std::string::npos);
}

TEST(CliShow, ExitStatusesForBadInput) {
    CTempDir dir;
    EXPECT_EQ(RunTool({}).Status, kExitBadInput);
    EXPECT_EQ(RunTool({"frobnicate"}).Status, kExitBadInput);
    EXPECT_EQ(RunTool({"show", "--no-such-option"}).Status, kExitBadInput);
    EXPECT_EQ(RunTool({"convert", "only-one.hex"}).Status, kExitBadInput);

    const CRun unknown = RunTool({"-d", "PIC99X1", "show"});
    EXPECT_EQ(unknown.Status, kExitBadInput);
    EXPECT_NE(unknown.Err.find("unknown device 'PIC99X1'"), std::string::npos);

    const CRun separator = RunTool({"-d", "-------- PIC16F87xA --------", "show"});
    EXPECT_EQ(separator.Status, kExitBadInput);

    const CRun missingFile = RunTool({"show", dir.File("absent.hex")});
    EXPECT_EQ(missingFile.Status, kExitBadInput);
    EXPECT_NE(missingFile.Err.find("cannot read"), std::string::npos);

    // A path that begins with a slash is a file on every system, not an
    // option in the manner of Windows.
    const CRun slashed = RunTool({"show", "/absent.hex"});
    EXPECT_EQ(slashed.Status, kExitBadInput);
    EXPECT_NE(slashed.Err.find("cannot read"), std::string::npos) << slashed.Err;

    const CRun missingList = RunTool({"-l", dir.File("absent.txt"), "devices"});
    EXPECT_EQ(missingList.Status, kExitBadInput);
    EXPECT_NE(missingList.Err.find("デバイス リストファイルが見つかりません。"), std::string::npos);

    EXPECT_EQ(RunTool({"--help"}).Status, kExitOk);
}

TEST(CliShow, WarnsAboutDamagedRecords) {
    CTempDir dir;
    const std::string file = dir.Write("bad.hex", ":0200000012345A\nnot a record\n:00000001FF\n");
    const CRun run = RunTool({"show", file});
    EXPECT_EQ(run.Status, kExitOk);
    EXPECT_NE(run.Err.find("warning: 2 line(s)"), std::string::npos) << run.Err;
}

TEST(CliConvert, WritesTheImageAgain) {
    CTempDir dir;
    const std::string out = dir.File("out.hex");
    const CRun run = RunTool({"-d", "PIC18F452", "convert", Fixture("blink18f452.hex"), out});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    const std::string text = ReadWholeFile(out);
    EXPECT_EQ(text.substr(0, 17), ":020000040000FA\r\n");
    EXPECT_NE(text.find(":0E000000002206"), std::string::npos) << "configuration bytes at 0x300000";
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");

    EXPECT_EQ(RunTool({"convert", Fixture("blink16f877a.hex"), dir.File("no/such/dir.hex")}).Status,
              kExitBadInput);
}

} // namespace
