// What a user may hand the tool instead of a file: a folder, a device without
// end, a pipe, something far too large, a place that cannot be written. Each
// is refused before anything reaches the chip, with a message that says why,
// and never by a crash or by reading for ever.
#include "cli/Cli.h"
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "sim/SimChipFile.h"
#include "tests/cli/CliRun.h"
#include "tests/common/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

std::string Source(const std::string& relative) {
    return std::string(KVX3_SOURCE_DIR) + "/" + relative;
}

// Paths that are no file: a folder, two devices and a pipe (Windows: the
// folder; its devices and pipes have no path in a folder a user picks from).
std::vector<std::string> NotFiles(const CTempDir& dir) {
    const std::string folder = dir.File("folder");
    std::filesystem::create_directory(Utf8Path(folder));
#ifdef _WIN32
    return {folder};
#else
    const std::string fifo = dir.File("fifo");
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    return {folder, "/dev/zero", "/dev/urandom", fifo};
#endif
}

} // namespace

TEST(HostileInput, HexFilesThatAreNoFilesOrTooLarge) {
    CTempDir dir;
    const std::string chip = dir.File("chip.sim");
    std::vector<std::string> paths = NotFiles(dir);
    for (const std::string& path : paths) {
        for (const char* command : {"program", "verify"}) {
            const CRun run = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, command, path});
            EXPECT_EQ(run.Status, kExitBadInput) << command << ' ' << path;
            EXPECT_NE(run.Err.find("is not a regular file"), std::string::npos) << run.Err;
        }
        EXPECT_EQ(RunTool({"show", path}).Status, kExitBadInput) << path;
        EXPECT_EQ(RunTool({"convert", path, dir.File("out.hex")}).Status, kExitBadInput) << path;
    }
    const std::string big = dir.Write("big.hex", std::string(kMaxHexFileBytes + 1, '\n'));
    const CRun run = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "program", big});
    EXPECT_EQ(run.Status, kExitBadInput);
    EXPECT_NE(run.Err.find("larger than"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(chip)) << "the writer was never opened";
}

TEST(HostileInput, CataloguesThatAreNoFiles) {
    // A folder once ended the tool with an uncaught exception (status 134).
    CTempDir dir;
    for (const std::string& path : NotFiles(dir)) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"devices"}, {"show"}, {"--sim", "erase"}}) {
            std::vector<std::string> args = {"-l", path};
            args.insert(args.end(), command.begin(), command.end());
            const CRun run = RunTool(args);
            EXPECT_EQ(run.Status, kExitBadInput) << path << ' ' << command.back();
            EXPECT_NE(run.Err.find(kMsgDeviceListMissing), std::string::npos) << run.Err;
            EXPECT_NE(run.Err.find("is not a regular file"), std::string::npos) << run.Err;
        }
    }
    const std::string big = dir.Write("big.txt", std::string(kMaxDeviceListBytes + 1, ';'));
    const CRun run = RunTool({"-l", big, "devices"});
    EXPECT_EQ(run.Status, kExitBadInput);
    EXPECT_NE(run.Err.find("larger than"), std::string::npos) << run.Err;
}

TEST(HostileInput, ChipFilesThatAreNoFiles) {
    CTempDir dir;
    for (const std::string& path : NotFiles(dir)) {
        const CRun run = RunTool({"-d", "PIC16F877A", "--sim-chip", path, "erase"});
        EXPECT_EQ(run.Status, kExitBadInput) << path;
        EXPECT_NE(run.Err.find("is not a regular file"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out.find("Erased"), std::string::npos);
    }
    const std::string big = dir.Write("big.sim", std::string(kMaxSimChipFileBytes + 1, '#'));
    const CRun run = RunTool({"-d", "PIC16F877A", "--sim-chip", big, "erase"});
    EXPECT_EQ(run.Status, kExitBadInput);
    EXPECT_NE(run.Err.find("larger than"), std::string::npos) << run.Err;
}

TEST(HostileInput, AChipFileThatCannotBeWrittenStopsTheRunBeforeTheChip) {
    // Once the tool said "Erased" and then failed to keep the chip (status 2).
    CTempDir dir;
    const std::string chip = dir.File("no/such/folder/chip.sim");
    const CRun erase = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "erase"});
    EXPECT_EQ(erase.Status, kExitBadInput);
    EXPECT_EQ(erase.Out.find("Erased"), std::string::npos) << erase.Out;
    EXPECT_NE(erase.Err.find("cannot write the simulated chip"), std::string::npos) << erase.Err;
    EXPECT_EQ(erase.Err.find("Program / EEPROM Erase"), std::string::npos) << "nothing was started";

    const CRun program = RunTool(
        {"-d", "PIC16F877A", "--sim-chip", chip, "program", Source("tests/fixtures/blink16f877a.hex")});
    EXPECT_EQ(program.Status, kExitBadInput);
    EXPECT_TRUE(program.Out.empty()) << program.Out;
}
