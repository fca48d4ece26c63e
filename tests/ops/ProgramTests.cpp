// Program, step by step, on a chip in the writer's socket: what reaches the
// chip, in which order, and what the user is told.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "image/HexFile.h"
#include "ops/Strings.h"
#include "sim/pic18/Pic18Chip.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Trace = std::vector<CStepTrace>;

// Some program words, EEPROM bytes, user IDs and an unprotected configuration.
void FillImage(CRunnerBench& b, uint16_t seed = 0) {
    for (uint32_t a = 0; a < 64; ++a) {
        b.SetImageWord(a, static_cast<uint16_t>((0x2800 + a * 3 + seed) & 0x3FFF));
    }
    b.SetImageWord(b.Device.ProgramSize - 1, static_cast<uint16_t>(0x3400 + seed));
    for (uint32_t a = 0; a < 16; ++a) {
        b.Device.EepromData[a] = static_cast<uint8_t>(0x10 + a + seed);
    }
    for (int i = 0; i < 4; ++i) {
        b.Device.UserId[i] = static_cast<uint32_t>(i + 1);
    }
}

// The chip's program memory and EEPROM equal the selected device's image.
::testing::AssertionResult ChipHoldsImage(const CRunnerBench& b) {
    for (uint32_t a = 0; a < b.Device.ProgramSize; ++a) {
        if (b.Chip.ProgramWord(a) != b.Device.ProgramWord(a)) {
            return ::testing::AssertionFailure()
                   << "program word " << std::hex << a << ": chip " << b.Chip.ProgramWord(a) << ", image "
                   << b.Device.ProgramWord(a);
        }
    }
    for (uint32_t a = 0; a < b.Device.EepromSize; ++a) {
        if (b.Chip.EepromByte(a) != b.Device.EepromData[a]) {
            return ::testing::AssertionFailure() << "EEPROM byte " << a;
        }
    }
    for (int i = 0; i < 4; ++i) {
        if ((b.Chip.UserId(i) & 0xF) != (b.Device.UserId[i] & 0xF)) {
            return ::testing::AssertionFailure() << "user ID " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(Program, ErasesWritesAndVerifiesStepByStep) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    b.Chip.SetProgramWord(100, 0x1111); // must be gone after the erase
    FillImage(b);
    b.Device.Config[0] = 0x3F72; // code protection off
    b.Front.RunnerOptions.m_bComplate = true;
    b.Front.ClearRecords();

    b.Runner.OnProgram();
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_PROGRAM);
    EXPECT_EQ(b.Runner.Step(), 0);
    EXPECT_FALSE(b.Runner.IsBusy()); // no calibration to read first

    const Trace trace = b.TraceSequence();
    const Trace expected = {
        {0, kIdsErase, true}, {1, kIdsWrite, true}, {2, 0, false}, {3, kIdsVerify, true}, {4, 0, false},
    };
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
    EXPECT_EQ(b.Front.Enables, (std::vector<bool>{false, false, false, true}));
    EXPECT_EQ(b.Front.RangeLower, 0);
    EXPECT_EQ(b.Front.RangeUpper, 100);
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    ASSERT_EQ(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgCompleted);
    EXPECT_EQ(b.Front.Messages[0].Icon, EMsgIcon::Information);
    EXPECT_EQ(b.Front.Messages[0].Buttons, EMsgButtons::Ok);
    // Said by an explicit call first, so no front end reads the message text.
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Completed}));
    EXPECT_EQ(b.Front.Messages[0].OutcomesBefore, 1u);

    EXPECT_TRUE(ChipHoldsImage(b));
    EXPECT_EQ(b.Chip.ProgramWord(100), 0x3FFF);
    // Written once, unprotected, and never again.
    EXPECT_EQ(b.Chip.Config(0), (b.Device.Config[0] | b.Device.ConfigProtectMask[0]) & 0x3FFF);
    EXPECT_EQ(b.Chip.ConfigWrites(), 1u);
    EXPECT_FALSE(b.Runner.HasWorkerThread());
}

TEST(Program, WithoutCompletionOptionSaysNothing) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    FillImage(b);
    b.Front.RunnerOptions.m_bComplate = false;
    b.Front.ClearRecords();
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Completed}))
        << "with or without a box";
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_TRUE(ChipHoldsImage(b));
    EXPECT_TRUE(b.SimHealthy());
}

TEST(Program, LeavingBlankAreasAloneTakesTheOptionAndLeavesTheSameChip) {
    uint64_t packets[2] = {};
    for (const bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "blank areas left alone" : "full write");
        CRunnerBench b("PIC12F675");
        ASSERT_TRUE(b.Connect());
        b.Chip.SetProgramWord(0x3FF, 0x3480); // the chip's own oscillator value
        b.Chip.SetProgramWord(200, 0x1234);   // old data the erase must take
        FillImage(b);
        b.Front.RunnerOptions.m_bSkipBlank = skip;
        const uint64_t before = b.Sim.Counters().Packets;
        b.Runner.OnProgram();
        ASSERT_TRUE(b.RunUntilIdle());
        packets[skip] = b.Sim.Counters().Packets - before;
        EXPECT_EQ(b.Writer.SkipBlank, skip);
        EXPECT_TRUE(b.Front.VerifyErrors.empty());
        EXPECT_TRUE(ChipHoldsImage(b));
        EXPECT_EQ(b.Chip.ProgramWord(200), 0x3FFF);
        EXPECT_EQ(b.Chip.ProgramWord(0x3FF), 0x3480) << "the calibration is written back";
        EXPECT_TRUE(b.SimHealthy());
    }
    EXPECT_LT(2 * packets[true], packets[false]);
}

TEST(Program, WritesProtectionOnlyAfterACleanCompare) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    FillImage(b);
    b.Device.Config[0] = 0x1F72; // CP bit 13 clear: protected
    ASSERT_TRUE(b.Device.IsProtected());
    b.Front.RunnerOptions.m_bComplate = true;
    b.Front.ClearRecords();

    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    // The read back found no difference, so it ran while the chip was still
    // readable; protection came after it.
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_EQ(b.Chip.ConfigWrites(), 2u);
    EXPECT_EQ(b.Chip.Config(0), 0x1F72);
    ASSERT_EQ(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgCompleted);
    EXPECT_EQ(b.Device.Config[0], 0x1F72u); // the image is not changed
    EXPECT_EQ(b.Writer.Config[0], 0x1F72u);
}

TEST(Program, ProtectionSkippedWhenTheOptionSaysSo) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    FillImage(b);
    b.Device.Config[0] = 0x1F72;
    b.Front.RunnerOptions.m_bDisProtect = true;
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_EQ(b.Chip.ConfigWrites(), 1u);
    EXPECT_EQ(b.Chip.Config(0) & 0x2000, 0x2000); // readable
    EXPECT_TRUE(ChipHoldsImage(b));
    EXPECT_TRUE(b.SimHealthy());
}

TEST(Program, DifferenceReportedAndNeitherProtectionNorMessageFollow) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    FillImage(b);
    b.Device.Config[0] = 0x1F72;
    b.Chip.SetStuckWord(5);
    b.Front.RunnerOptions.m_bComplate = true;
    b.Front.ClearRecords();
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_EQ(b.Front.VerifyErrors, (std::vector<int32_t>{kVerifyProgram}));
    ASSERT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::VerifyDifference}));
    EXPECT_EQ(b.Front.Outcomes[0].VerifyFlags, kVerifyProgram);
    EXPECT_EQ(b.Front.OutcomesBeforeVerifyErrors, (std::vector<size_t>{1}));
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_EQ(b.Chip.ConfigWrites(), 1u);
    EXPECT_EQ(b.Chip.Config(0) & 0x2000, 0x2000);
    EXPECT_TRUE(b.Front.ControlsEnabled());
}

TEST(Program, PreservesTheChipCalibration) {
    CRunnerBench b("PIC12F675");
    ASSERT_TRUE(b.Connect());
    ASSERT_NE(b.Device.CalFlag, 0);
    b.Chip.SetProgramWord(0x3FF, 0x3480); // the chip's own oscillator value
    b.Chip.SetConfig(0, 0x11FF);          // band-gap bits 01
    FillImage(b);
    b.SetImageWord(0x3FF, 0x3FFF);
    b.Device.Config[0] = 0x31D4;
    b.Front.RunnerOptions.m_bComplate = true;
    b.Front.ClearRecords();

    b.Runner.OnProgram();
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsCalibrationRead}));
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_PROGRAM);
    const Trace trace = b.TraceSequence();
    const Trace expected = {
        {0, kIdsErase, true},  {1, kIdsWrite, true}, {2, kIdsCalibrationWrite, true},
        {3, kIdsVerify, true}, {4, 0, false},
    };
    EXPECT_EQ(trace, expected);

    EXPECT_EQ(b.Chip.ProgramWord(0x3FF), 0x3480);
    EXPECT_EQ(b.Chip.Config(0), 0x11D4); // band-gap bits kept, the rest as the image
    // The chip's calibration is taken into the images, so it is not reported
    // as a difference.
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    ASSERT_EQ(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Device.ProgramWord(0x3FF), 0x3480u);
    EXPECT_EQ(b.File.ProgramWord(0x3FF), 0x3480u);
    EXPECT_EQ(b.Device.Config[0], 0x11D4u);
    EXPECT_EQ(b.File.Config[0] & 0x3000, 0x1000u);
    EXPECT_TRUE(ChipHoldsImage(b));
    EXPECT_TRUE(b.SimHealthy());
}

TEST(Program, RewritesTheCalibrationWhenAskedTo) {
    CRunnerBench b("PIC12F675");
    ASSERT_TRUE(b.Connect());
    b.Chip.SetProgramWord(0x3FF, 0x3480);
    b.Chip.SetConfig(0, 0x11FF);
    FillImage(b);
    b.SetImageWord(0x3FF, 0x34AA);
    b.Device.Config[0] = 0x31D4;
    b.Front.RunnerOptions.m_bRewriteCalibration = true;
    b.Front.ClearRecords();

    b.Runner.OnProgram();
    EXPECT_FALSE(b.Runner.IsBusy());
    const Trace trace = b.TraceSequence();
    const Trace expected = {
        {0, kIdsErase, true}, {1, kIdsWrite, true}, {2, 0, false}, {3, kIdsVerify, true}, {4, 0, false},
    };
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(b.Chip.ProgramWord(0x3FF), 0x34AA);
    EXPECT_EQ(b.Chip.Config(0), 0x31D4);
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
}

// ------------------------------------------------------- the reload question

namespace {

// A bench with image A loaded from a file, and the file then replaced on
// disk by image B (which has more EEPROM data, so the file's size changes).
struct CReloadBench {
    explicit CReloadBench(const std::string& device = "PIC16F877A") : b(device) {
        path = dir.File("image.hex");
        FillImage(b, 0);
        EXPECT_TRUE(b.LoadImage(b.Device, path));
        CHexFile other;
        other.AssignFrom(b.Device);
        for (uint32_t a = 0; a < 64; ++a) {
            other.ProgramData[2 * a] = static_cast<uint8_t>(0x40 + a);
            other.ProgramData[2 * a + 1] = 0x30;
        }
        for (uint32_t a = 0; a < 64; ++a) {
            other.EepromData[a] = static_cast<uint8_t>(0xA0 + a);
        }
        EXPECT_TRUE(other.SaveHex(path));
        EXPECT_TRUE(b.Connect());
        b.Front.ClearRecords();
    }
    CTempDir dir;
    std::string path;
    CRunnerBench b;
};

} // namespace

TEST(ProgramReload, AskedBeforeWritingAndYesWritesTheNewFile) {
    CReloadBench r;
    CRunnerBench& b = r.b;
    b.Front.Answers = {EMsgResult::Yes};
    // The timer keeps ticking under the question; no step may run meanwhile.
    int ticksUnderModal = 0;
    b.Front.DuringModal = [&] {
        for (int i = 0; i < 3; ++i) {
            b.Runner.OnTimer();
            ++ticksUnderModal;
        }
        EXPECT_EQ(b.Runner.Step(), 1);
        EXPECT_FALSE(b.Runner.HasWorkerThread());
    };
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());

    ASSERT_GE(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgHexChanged);
    EXPECT_EQ(b.Front.Messages[0].Icon, EMsgIcon::Exclamation);
    EXPECT_EQ(b.Front.Messages[0].Buttons, EMsgButtons::YesNo);
    EXPECT_EQ(ticksUnderModal, 3);
    EXPECT_EQ(b.Front.EepromDumps, 1) << "the reload refreshes the displays once";
    EXPECT_EQ(b.Device.ProgramWord(0), 0x3040u);
    EXPECT_EQ(b.Chip.ProgramWord(0), 0x3040);
    EXPECT_EQ(b.Chip.EepromByte(63), 0xA0 + 63);
    EXPECT_TRUE(ChipHoldsImage(b));
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
}

TEST(ProgramReload, NoWritesTheLoadedImageAndAsksAgainNextTime) {
    CReloadBench r;
    CRunnerBench& b = r.b;
    const uint32_t loaded = b.Device.ProgramWord(0);
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    ASSERT_EQ(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Front.EepromDumps, 0) << "nothing reloaded";
    EXPECT_EQ(b.Chip.ProgramWord(0), loaded);
    EXPECT_EQ(b.Chip.EepromByte(63), 0xFF);

    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    ASSERT_EQ(b.Front.Messages.size(), 2u);
    EXPECT_EQ(b.Front.Messages[1].Text, kMsgHexChanged);
}

TEST(ProgramReload, NotAskedAfterAReadOrWithTheCheckOff) {
    {
        CReloadBench r;
        r.b.Front.HexCheck = false;
        r.b.Runner.OnProgram();
        ASSERT_TRUE(r.b.RunUntilIdle());
        EXPECT_TRUE(r.b.Front.Messages.empty());
        EXPECT_EQ(r.b.Front.EepromDumps, 0);
    }
    {
        CReloadBench r;
        r.b.Runner.OnRead();
        ASSERT_TRUE(r.b.RunUntilIdle());
        EXPECT_TRUE(r.b.File.FilePath.empty());
        r.b.Runner.OnProgram();
        ASSERT_TRUE(r.b.RunUntilIdle());
        EXPECT_TRUE(r.b.Front.Messages.empty());
    }
}

TEST(ProgramReload, KeepsTheCalibrationReadFromTheChip) {
    CReloadBench r("PIC12F675");
    CRunnerBench& b = r.b;
    b.Chip.SetProgramWord(0x3FF, 0x3480);
    b.Front.Answers = {EMsgResult::Yes};
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_EQ(b.Front.EepromDumps, 1) << "reloaded";
    EXPECT_EQ(b.Chip.ProgramWord(0x3FF), 0x3480);
    EXPECT_EQ(b.Chip.ProgramWord(0), 0x3040);
    EXPECT_EQ(b.Device.ProgramWord(0x3FF), 0x3480u);
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
}

TEST(ProgramReload, AFileGoneSinceItWasLoadedIsNotWrittenBlank) {
    CReloadBench r;
    CRunnerBench& b = r.b;
    const uint32_t shown = b.Device.ProgramWord(0);
    std::filesystem::remove(r.path);
    b.Front.Answers = {EMsgResult::Yes};
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    ASSERT_EQ(b.Front.Messages.size(), 2u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgHexChanged);
    EXPECT_EQ(b.Front.Messages[1].Text, kMsgFileNotFound);
    EXPECT_EQ(b.Front.Messages[1].Icon, EMsgIcon::Error);
    // The image shown is what gets written, not the blank a failed load leaves.
    EXPECT_EQ(b.Chip.ProgramWord(0), shown);
    EXPECT_TRUE(ChipHoldsImage(b));
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Completed}));
}

TEST(Program, Pic18WritesEveryRegionAndProtectionLast) {
    CRunnerBench b("PIC18F452");
    auto* chip = b.Sim.ChipAs<CPic18Chip>();
    ASSERT_NE(chip, nullptr);
    ASSERT_TRUE(b.Connect());
    for (uint32_t a = 0; a < 256; ++a) {
        b.Device.ProgramData[a] = static_cast<uint8_t>(a ^ 0x5A);
    }
    b.Device.EepromData[7] = 0x77;
    b.Device.UserId[0] = 0x12;
    b.Device.UserId[7] = 0x34;
    b.Device.Config[8] &= ~1u; // CP0: block 0 protected
    ASSERT_TRUE(b.Device.IsProtected());
    b.Front.RunnerOptions.m_bComplate = true;
    b.Front.ClearRecords();

    b.Runner.OnProgram();
    const Trace trace = b.TraceSequence();
    const Trace expected = {
        {0, kIdsErase, true}, {1, kIdsWrite, true}, {2, 0, false}, {3, kIdsVerify, true}, {4, 0, false},
    };
    EXPECT_EQ(trace, expected);
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    ASSERT_EQ(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgCompleted);

    for (uint32_t a = 0; a < 256; ++a) {
        ASSERT_EQ(chip->ProgramByte(a), b.Device.ProgramData[a]) << a;
    }
    EXPECT_EQ(chip->ProgramByte(256), 0xFF);
    EXPECT_EQ(chip->EepromByte(7), 0x77);
    EXPECT_EQ(chip->IdByte(0), 0x12);
    EXPECT_EQ(chip->IdByte(7), 0x34);
    // Written unprotected with the image, compared, then once more protected.
    EXPECT_EQ(chip->ConfigByte(8) & 0x0F, b.Device.Config[8] & 0x0F);
    EXPECT_EQ(chip->CellWrites(0x300008), 2u);
    EXPECT_TRUE(b.SimHealthy());
}
