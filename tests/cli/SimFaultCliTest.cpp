// --sim-fault from the command line: what each fault makes of a run, in exit
// status and in words.
#include "cli/Cli.h"
#include "tests/cli/CliRun.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string Fixture() {
    return std::string(KVX3_SOURCE_DIR) + "/tests/fixtures/blink16f877a.hex";
}

// The packets the run's simulated writer counted.
uint64_t PacketsOf(const CRun& run) {
    const size_t at = run.Err.find("simulated writer: ");
    return at == std::string::npos ? 0 : std::strtoull(run.Err.c_str() + at + 18, nullptr, 10);
}

CRun Program(const std::vector<std::string>& faults, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"-d", "PIC16F877A"};
    for (const std::string& fault : faults) {
        args.push_back("--sim-fault");
        args.push_back(fault);
    }
    args.insert(args.end(), more.begin(), more.end());
    args.push_back("program");
    args.push_back(Fixture());
    return RunTool(args);
}

} // namespace

TEST(SimFaultOption, LinkFaultsEndTheRunWithTheWriterBlamed) {
    const CRun gone = Program({"unplug-after=300"});
    EXPECT_EQ(gone.Status, kExitNoWriter) << gone.Err;
    EXPECT_NE(gone.Err.find("the writer went away"), std::string::npos) << gone.Err;
    EXPECT_TRUE(gone.Out.empty()) << gone.Out;

    const CRun mute = Program({"mute-after=300"});
    EXPECT_EQ(mute.Status, kExitNoWriter);
    EXPECT_NE(mute.Err.find("ライターが応答しません"), std::string::npos) << mute.Err;
    EXPECT_NE(mute.Err.find("stopped answering"), std::string::npos) << mute.Err;

    const CRun late = Program({"late-answer-at=300"});
    EXPECT_EQ(late.Status, kExitNoWriter);
    EXPECT_NE(late.Err.find("ライターとの通信に失敗しました"), std::string::npos) << late.Err;

    EXPECT_EQ(Program({"double-answer-at=300"}).Status, kExitNoWriter);
}

TEST(SimFaultOption, ChipFaultsAreFoundByTheChecks) {
    const CRun stuck = Program({"stuck-cell=0"});
    EXPECT_EQ(stuck.Status, kExitMismatch);
    EXPECT_NE(stuck.Err.find("Program memory: NG, first at 0000"), std::string::npos) << stuck.Err;

    const CRun other = Program({"other-id=0560"});
    EXPECT_EQ(other.Status, kExitMismatch);
    EXPECT_NE(other.Err.find("デバイスIDが一致しません"), std::string::npos) << other.Err;

    const CRun none = Program({"no-chip"});
    EXPECT_EQ(none.Status, kExitMismatch) << "an empty socket reads as all ones";

    // Without the ID check an empty socket still fails the verify.
    EXPECT_EQ(Program({"no-chip"}, {"--no-devid-check"}).Status, kExitMismatch);
}

TEST(SimFaultOption, BadSpecsAreRefusedBeforeAnythingRuns) {
    CTempDir dir;
    const std::string chip = dir.File("chip.sim");
    for (const char* spec : {"explode", "unplug-after=0", "stuck-cell=FFFFF", "mute-after=x"}) {
        const CRun run = RunTool({"-d", "PIC16F877A", "--sim-chip", chip, "--sim-fault", spec, "erase"});
        EXPECT_EQ(run.Status, kExitBadInput) << spec;
        EXPECT_NE(run.Err.find("--sim-fault"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out.find("Erased"), std::string::npos);
    }
    EXPECT_NE(RunTool({"--help"}).Out.find("--sim-fault"), std::string::npos);
}

TEST(SimFaultOption, AFailedProtectWriteExitsWithItsOwnStatus) {
    // Reported "Completed" once when the writer was lost during this last
    // write after a clean compare: the chip was left unprotected.
    CTempDir dir;
    // Configuration word 0x2007 = 0x1F72: code protection on (CP clear).
    const std::string hex = dir.Write("cp.hex", ":02400E00721F1F\n:00000001FF\n");
    ASSERT_NE(RunTool({"-d", "PIC16F877A", "show", hex}).Out.find("Protected       yes"), std::string::npos);

    const CRun open = RunTool({"-d", "PIC16F877A", "--sim", "--no-protect", "program", hex});
    ASSERT_EQ(open.Status, kExitOk) << open.Err;
    const uint64_t unprotected = PacketsOf(open);
    ASSERT_GT(unprotected, 0u);

    // The writer goes after the first packet of the protect write.
    const CRun run = RunTool({"-d", "PIC16F877A", "--sim-fault",
                              "unplug-after=" + std::to_string(unprotected + 1), "program", hex});
    EXPECT_EQ(run.Status, kExitUnprotected) << run.Err;
    EXPECT_NE(run.Err.find("プロテクトの書き込みに失敗しました"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("may be unprotected"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out.find("Programmed and verified"), std::string::npos) << run.Out;

    const CRun whole = RunTool({"-d", "PIC16F877A", "--sim", "program", hex});
    EXPECT_EQ(whole.Status, kExitOk) << whole.Err;
    EXPECT_NE(whole.Out.find("code protection written last"), std::string::npos);
}
