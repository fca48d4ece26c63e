// The command-line flows end to end on a simulated chip kept in a file
// between runs, as a user would run them one after the other.
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "tests/cli/CliRun.h"
#include "tests/common/TempDir.h"

#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string Source(const std::string& relative) {
    return std::string(KVX3_SOURCE_DIR) + "/" + relative;
}

// The image a hex file gives for a catalogue device.
void LoadImage(const std::string& device, const std::string& path, CHexFile& hex) {
    CDeviceList d;
    d.ListPath = Source("data/PicDeviceList3.txt");
    ASSERT_TRUE(d.LoadDevice(device));
    hex.AssignFrom(d);
    ASSERT_TRUE(hex.LoadHex(path));
}

class CliOnSimulatedChip : public ::testing::TestWithParam<std::pair<const char*, const char*>> {
protected:
    std::vector<std::string> Args(std::initializer_list<std::string> tail) const {
        std::vector<std::string> args = {"-d", GetParam().first, "--sim-chip", m_chip};
        args.insert(args.end(), tail);
        return args;
    }
    std::string Fixture() const { return Source(GetParam().second); }

    CTempDir m_dir;
    std::string m_chip = m_dir.File("chip.sim");
};

TEST_P(CliOnSimulatedChip, ProgramVerifyAndReadBackInSeparateRuns) {
    const CRun program = RunTool(Args({"program", Fixture()}));
    ASSERT_EQ(program.Status, kExitOk) << program.Err;
    EXPECT_NE(program.Out.find("Programmed and verified"), std::string::npos);
    EXPECT_NE(program.Err.find("Program / EEPROM Write"), std::string::npos) << "progress lines on stderr";

    const CRun verify = RunTool(Args({"verify", Fixture()}));
    ASSERT_EQ(verify.Status, kExitOk) << verify.Err;

    const std::string back = m_dir.File("back.hex");
    const CRun read = RunTool(Args({"read", back}));
    ASSERT_EQ(read.Status, kExitOk) << read.Err;
    CHexFile fixture;
    CHexFile readBack;
    LoadImage(GetParam().first, Fixture(), fixture);
    LoadImage(GetParam().first, back, readBack);
    EXPECT_EQ(readBack.CompareImage(fixture), 0) << "flags " << readBack.VerifyFlags;
    EXPECT_EQ(readBack.ProgramData, fixture.ProgramData);
    EXPECT_EQ(readBack.EepromData, fixture.EepromData);

    const CRun detect = RunTool(Args({"detect"}));
    EXPECT_EQ(detect.Status, kExitOk) << detect.Err;
    EXPECT_NE(detect.Out.find(std::string(GetParam().first) + "  (would be chosen)"), std::string::npos)
        << detect.Out;

    const CRun used = RunTool(Args({"blank-check"}));
    EXPECT_EQ(used.Status, kExitMismatch);
    EXPECT_NE(used.Out.find("Program memory  NOT blank"), std::string::npos) << used.Out;

    ASSERT_EQ(RunTool(Args({"erase"})).Status, kExitOk);
    const CRun blank = RunTool(Args({"blank-check"}));
    EXPECT_EQ(blank.Status, kExitOk) << blank.Out;
    EXPECT_NE(blank.Out.find("The chip is blank."), std::string::npos);

    const CRun differs = RunTool(Args({"verify", Fixture()}));
    EXPECT_EQ(differs.Status, kExitMismatch);
    EXPECT_NE(differs.Err.find("Program memory: NG, first at 0000"), std::string::npos) << differs.Err;
}

// The line "Checksum: XXXX" of a run's output.
std::string ChecksumLine(const std::string& out) {
    const size_t at = out.find("Checksum: ");
    return at == std::string::npos ? std::string{} : out.substr(at, out.find('\n', at) - at);
}

TEST_P(CliOnSimulatedChip, ProgramPrintsTheChecksumOfWhatItProgrammed) {
    const CRun program = RunTool(Args({"program", Fixture()}));
    ASSERT_EQ(program.Status, kExitOk) << program.Err;
    const CRun file = RunTool({"-d", GetParam().first, "show", Fixture()});
    const CRun blank = RunTool({"-d", GetParam().first, "show"});
    ASSERT_FALSE(ChecksumLine(file.Out).empty());
    EXPECT_EQ(ChecksumLine(program.Out), ChecksumLine(file.Out));
    EXPECT_NE(ChecksumLine(program.Out), ChecksumLine(blank.Out)) << "not the blank device's";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CliOnSimulatedChip,
                         ::testing::Values(std::pair{"PIC16F877A", "tests/fixtures/blink16f877a.hex"},
                                           std::pair{"PIC18F452", "tests/fixtures/blink18f452.hex"}),
                         [](const auto& fixture) { return std::string(fixture.param.first); });

// The packet count of the summary line "simulated writer: N packets, ...".
uint64_t SimulatedPackets(const std::string& err) {
    const std::string mark = "simulated writer: ";
    const size_t at = err.find(mark);
    return at == std::string::npos ? 0 : std::stoull(err.substr(at + mark.size()));
}

TEST(CliOperations, ProgramLeavesBlankAreasAloneUnlessAskedForTheFullWrite) {
    CTempDir dir;
    const std::string fixture = Source("tests/fixtures/blink16f877a.hex");
    uint64_t packets[2] = {};
    CHexFile back[2];
    for (int full = 0; full < 2; ++full) {
        const std::string chip = dir.File(full ? "full.sim" : "skip.sim");
        std::vector<std::string> args = {"-d", "PIC16F877A", "--sim-chip", chip, "program", fixture};
        if (full) {
            args.push_back("--full-write");
        }
        const CRun program = RunTool(args);
        ASSERT_EQ(program.Status, kExitOk) << program.Err;
        packets[full] = SimulatedPackets(program.Err);
        const std::string out = dir.File(full ? "full.hex" : "skip.hex");
        ASSERT_EQ(RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "read", out}).Status, kExitOk);
        LoadImage("PIC16F877A", out, back[full]);
    }
    EXPECT_EQ(back[0].CompareImage(back[1]), 0) << "flags " << back[0].VerifyFlags;
    EXPECT_EQ(back[0].ProgramData, back[1].ProgramData);
    EXPECT_EQ(back[0].EepromData, back[1].EepromData);
    ASSERT_GT(packets[0], 0U);
    EXPECT_LT(2 * packets[0], packets[1]) << "the full write also writes the blank rows and bytes";
}

TEST(CliOperations, ReadOfOneRegionAndEepromOnADeviceWithout) {
    CTempDir dir;
    const std::string chip = dir.File("chip.sim");
    const std::string fixture = Source("tests/fixtures/blink16f877a.hex");
    ASSERT_EQ(RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "program", fixture}).Status, kExitOk);
    const std::string out = dir.File("eeprom.hex");
    const CRun read = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "read", out, "--region", "eeprom"});
    ASSERT_EQ(read.Status, kExitOk) << read.Err;
    CHexFile hex;
    LoadImage("PIC16F877A", out, hex);
    EXPECT_EQ(hex.EepromData[8], 'E');
    EXPECT_EQ(hex.ProgramWord(0), 0x3FFFU) << "only the EEPROM was read";

    EXPECT_EQ(RunTool({"-d", "PIC16F877A", "--sim", "read", out, "--region", "flash"}).Status, kExitBadInput);
}

TEST(CliOperations, ExitStatuses) {
    CTempDir dir;
    const std::string chip = dir.File("chip.sim");
    const std::string fixture = Source("tests/fixtures/blink16f877a.hex");

    // Nothing reaches the chip when the input cannot be read.
    const CRun missing = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "program", dir.File("absent.hex")});
    EXPECT_EQ(missing.Status, kExitBadInput);
    EXPECT_FALSE(std::filesystem::exists(chip)) << "the writer was never opened";
    EXPECT_EQ(RunTool({"-d", "NOPE", "--sim-chip", chip, "erase"}).Status, kExitBadInput);
    EXPECT_EQ(RunTool({"--sim", "program"}).Status, kExitBadInput);

    // A chip of another device type: the device ID check names both IDs.
    ASSERT_EQ(RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "erase"}).Status, kExitOk);
    const CRun other = RunTool({"-d", "PIC16F876A", "--sim-chip", chip, "program", fixture});
    EXPECT_EQ(other.Status, kExitMismatch);
    EXPECT_NE(other.Err.find("デバイスIDが一致しません"), std::string::npos) << other.Err;
    EXPECT_NE(other.Err.find("0E2"), std::string::npos) << other.Err;
    EXPECT_NE(other.Err.find("0E00"), std::string::npos) << other.Err;
    const CRun blank = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "blank-check"});
    EXPECT_EQ(blank.Status, kExitOk) << "the mismatch stopped the flow before the erase: " << blank.Out;

    // No writer: the real backend finds none here.
    const CRun none = RunTool({"info"});
    if (none.Status != kExitOk) {
        EXPECT_EQ(none.Status, kExitNoWriter);
        EXPECT_NE(none.Err.find("no writer found"), std::string::npos);
    }
}

TEST(CliOperations, InfoAndTrace) {
    const CRun info = RunTool({"--sim", "--trace", "info"});
    ASSERT_EQ(info.Status, kExitOk) << info.Err;
    EXPECT_NE(info.Out.find("KVX3 Ver.17 / CLK=20MHz"), std::string::npos);
    std::istringstream lines(info.Err);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) {
        all.push_back(line);
    }
    ASSERT_GE(all.size(), 4U);
    EXPECT_EQ(all[0], "80 0E 80 0B 80 03 80 00 80 06 80 09") << "the idle packet";
    EXPECT_EQ(all[2], "80 80 80 81") << "identification";
    EXPECT_EQ(all[3], "4B 33 31 37 14") << "its answer";
}

TEST(CliOperations, AFolderIsNoHexFile) {
    CTempDir dir;
    const std::string chip = dir.File("chip.sim");
    const std::string folder = dir.File("folder.hex");
    std::filesystem::create_directory(folder);
    for (const char* command : {"program", "verify"}) {
        const CRun run = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, command, folder});
        EXPECT_EQ(run.Status, kExitBadInput) << command;
        EXPECT_NE(run.Err.find("cannot read"), std::string::npos) << run.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(chip)) << "the writer was never opened";
    EXPECT_EQ(RunTool({"show", folder}).Status, kExitBadInput);
}

TEST(CliOperations, TraceAndProgressLinesStayWhole) {
    // The worker traces its packets while this thread reports the progress:
    // every line must be one or the other, never a mix.
    CTempDir dir;
    const CRun run = RunTool(
        {"-d", "PIC16F877A", "--sim", "--trace", "program", Source("tests/fixtures/blink16f877a.hex")});
    ASSERT_EQ(run.Status, kExitOk) << run.Err.substr(0, 2000);
    std::istringstream lines(run.Err);
    std::string line;
    int traced = 0;
    int progress = 0;
    while (std::getline(lines, line)) {
        bool hex = !line.empty() && line.size() % 3 == 2;
        for (size_t i = 0; hex && i < line.size(); ++i) {
            hex = i % 3 == 2 ? line[i] == ' ' : std::isxdigit(static_cast<unsigned char>(line[i])) != 0;
        }
        if (hex) {
            ++traced;
        } else if (line.rfind("Program / EEPROM ", 0) == 0 && line.back() == '%') {
            ++progress;
        } else {
            EXPECT_EQ(line.rfind("simulated writer: ", 0), 0u) << "a broken line: " << line;
        }
    }
    EXPECT_GT(traced, 1000);
    EXPECT_GE(progress, 4);
}

TEST(CliOperations, ProtectionIsWrittenLastUnlessRefused) {
    CTempDir dir;
    // The fixture with code protection on (CP, bit 13, cleared).
    CHexFile hex;
    LoadImage("PIC16F877A", Source("tests/fixtures/blink16f877a.hex"), hex);
    hex.Config[0] &= ~0x2000U;
    const std::string protectedFile = dir.File("protected.hex");
    ASSERT_TRUE(hex.SaveHex(protectedFile));

    for (bool refuse : {false, true}) {
        const std::string chip = dir.File(refuse ? "open.sim" : "locked.sim");
        std::vector<std::string> args = {"-d", "PIC16F877A", "--sim-chip", chip, "program", protectedFile};
        if (refuse) {
            args.push_back("--no-protect");
        }
        const CRun program = RunTool(args);
        ASSERT_EQ(program.Status, kExitOk) << program.Err;
        const std::string back = dir.File("back.hex");
        ASSERT_EQ(RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "read", back}).Status, kExitOk);
        CHexFile readBack;
        LoadImage("PIC16F877A", back, readBack);
        if (refuse) {
            EXPECT_EQ(readBack.ProgramWord(0), 0x2805U) << "unprotected chip reads its program";
            EXPECT_EQ(readBack.Config[0] & 0x2000U, 0x2000U);
        } else {
            EXPECT_EQ(readBack.ProgramWord(0), 0x0000U) << "a protected chip reads as zeros";
            EXPECT_EQ(readBack.Config[0] & 0x2000U, 0U);
        }
    }
}

} // namespace
