// Read (all and each region), Verify and Erase against a chip in the socket.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "ops/Strings.h"

#include <gtest/gtest.h>

namespace {

// Puts recognisable content on the chip.
void FillChip(CRunnerBench& b) {
    for (uint32_t a = 0; a < 32; ++a) {
        b.Chip.SetProgramWord(a, static_cast<uint16_t>(0x3000 + a));
    }
    b.Chip.SetConfig(0, 0x3F72);
}

// A selected device image that differs from the chip in every region.
void FillDevice(CRunnerBench& b) {
    for (size_t i = 0; i < 16; ++i) {
        b.Device.ProgramData[i] = 0x55;
    }
    b.Device.EepromData[0] = 0x42;
    b.Device.UserId[0] = 0x7;
    b.Device.Config[0] = 0x3F3A;
}

// A chip with EEPROM content, written through the runner's own Program.
void ProgramEeprom(CRunnerBench& b) {
    for (uint32_t a = 0; a < b.Device.EepromSize; ++a) {
        b.Device.EepromData[a] = static_cast<uint8_t>(a);
    }
    b.Device.UserId[1] = 0x9;
    b.Runner.OnProgram();
    EXPECT_TRUE(b.RunUntilIdle());
}

} // namespace

TEST(Read, AllCopiesTheChipIntoDeviceAndFileAndDetachesTheFile) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    ProgramEeprom(b);
    FillChip(b);
    FillDevice(b);
    b.File.FilePath = "/somewhere/image.hex";
    b.Front.Page = 2;
    b.Front.ClearRecords();

    b.Runner.OnRead();
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_READ_ALL);
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsRead}));
    EXPECT_EQ(b.Runner.ProgressTotal(), 8192u * 2 + 256);
    const std::vector<CStepTrace> trace = b.TraceSequence();
    EXPECT_EQ(trace, (std::vector<CStepTrace>{{0, 0, false}}));

    for (CPicDevice* image : {static_cast<CPicDevice*>(&b.Device), static_cast<CPicDevice*>(&b.File)}) {
        EXPECT_EQ(image->ProgramWord(5), 0x3005u);
        EXPECT_EQ(image->ProgramWord(40), 0x3FFFu);
        EXPECT_EQ(image->EepromData[200], 200);
        EXPECT_EQ(image->UserId[1], 0x9u);
        EXPECT_EQ(image->Config[0], 0x3F72u);
    }
    EXPECT_TRUE(b.File.FilePath.empty());
    EXPECT_EQ(b.Front.ProgramDumps, 1);
    EXPECT_EQ(b.Front.EepromDumps, 1);
    EXPECT_EQ(b.Front.DeviceIdShows, 1);
    EXPECT_EQ(b.Front.UserIdRefreshes, 1);
    EXPECT_EQ(b.Front.ConfigGridPages, (std::vector<int>{2}));
    EXPECT_EQ(b.Front.Enables, (std::vector<bool>{false, true}));
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_TRUE(b.SimHealthy());
}

TEST(Read, EachPartialReadChangesOnlyItsRegion) {
    enum class EKind { Program, Data, Config };
    for (EKind kind : {EKind::Program, EKind::Data, EKind::Config}) {
        SCOPED_TRACE(static_cast<int>(kind));
        CRunnerBench b("PIC16F877A");
        ASSERT_TRUE(b.Connect());
        ProgramEeprom(b);
        FillChip(b);
        FillDevice(b);
        b.File.FilePath = "/somewhere/image.hex";
        b.Front.ClearRecords();

        switch (kind) {
        case EKind::Program:
            b.Runner.OnReadProgram();
            EXPECT_EQ(b.Runner.ProgressTotal(), 8192u * 2);
            break;
        case EKind::Data:
            b.Runner.OnReadData();
            EXPECT_EQ(b.Runner.ProgressTotal(), 256u);
            break;
        case EKind::Config:
            b.Runner.OnReadConfig();
            EXPECT_EQ(b.Runner.ProgressTotal(), 8192u * 2 + 256);
            break;
        }
        EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsRead}));
        ASSERT_TRUE(b.RunUntilIdle());

        const bool program = kind == EKind::Program;
        const bool data = kind == EKind::Data;
        const bool config = kind == EKind::Config;
        EXPECT_EQ(b.Device.ProgramData[0], program ? 0x00 : 0x55);
        EXPECT_EQ(b.Device.ProgramData[1], program ? 0x30 : 0x55);
        EXPECT_EQ(b.File.ProgramData[0], program ? 0x00 : 0xFF);
        EXPECT_EQ(b.Device.EepromData[0], data ? 0x00 : 0x42);
        EXPECT_EQ(b.Device.EepromData[9], 9); // programmed before, same either way
        EXPECT_EQ(b.Device.UserId[0], config ? 0xFu : 0x7u);
        EXPECT_EQ(b.Device.Config[0], config ? 0x3F72u : 0x3F3Au);
        EXPECT_EQ(b.File.Config[0] == 0x3F72u, config);
        EXPECT_TRUE(b.File.FilePath.empty());
        EXPECT_EQ(b.Front.ProgramDumps, program ? 1 : 0);
        EXPECT_EQ(b.Front.EepromDumps, data ? 1 : 0);
        EXPECT_EQ(b.Front.UserIdRefreshes, config ? 1 : 0);
        EXPECT_EQ(b.Front.DeviceIdShows, config ? 1 : 0);
        EXPECT_EQ(b.Front.ConfigGridPages.size(), config ? 1u : 0u);
    }
}

TEST(Read, DataOnADeviceWithoutEepromDoesNothing) {
    CTempDir dir;
    std::string line = "TEST16NOEE\t8192:14\t0\t[CP][-][DEBUG][WRT1][WRT0][CPD][LVP][BOREN][-][-][*PWRTEN]"
                       "[WDTEN][FOSC1][FOSC0]\t40\t0\t2\t0\t0\t2\t4\t8\t:\t0E20:3FF0\t\r\n";
    CRunnerBench b("TEST16NOEE", "PIC16F877A", dir.Write("list.txt", line));
    ASSERT_EQ(b.Device.DeviceName, "TEST16NOEE");
    ASSERT_EQ(b.Writer.EepromSize, 0u);
    ASSERT_TRUE(b.Connect());
    const size_t packets = b.Link.PacketsWritten();
    b.Front.ClearRecords();
    b.Runner.OnReadData();
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
    EXPECT_FALSE(b.Runner.IsBusy());
    EXPECT_TRUE(b.Front.StatusIds.empty());
    EXPECT_EQ(b.Link.PacketsWritten(), packets);
}

TEST(Verify, BlankChipAgainstALoadedImageReportsTheDifferingRegions) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    CTempDir dir;
    CHexFile image;
    image.AssignFrom(b.Device);
    image.ProgramData[0] = 0x05;
    image.ProgramData[1] = 0x28;
    image.EepromData[4] = 0x44;
    image.UserId[0] = 1;
    image.Config[0] = 0x3F72;
    ASSERT_TRUE(b.LoadImage(image, dir.File("v.hex")));
    const std::vector<uint8_t> before = b.Device.ProgramData;
    b.Front.RunnerOptions.m_bComplate = true;
    b.Front.ClearRecords();

    b.Runner.OnVerify();
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_VERIFY);
    const std::vector<CStepTrace> trace = b.TraceSequence();
    EXPECT_EQ(trace, (std::vector<CStepTrace>{{0, kIdsVerify, true}, {1, 0, false}}));
    EXPECT_EQ(b.Front.VerifyErrors,
              (std::vector<int32_t>{kVerifyProgram | kVerifyEeprom | kVerifyConfig | kVerifyUserId}));
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_EQ(b.Device.ProgramData, before);
    EXPECT_EQ(b.Device.EepromData[4], 0x44);
    EXPECT_TRUE(b.Chip.IsErased());
    EXPECT_FALSE(b.File.FilePath.empty());
    EXPECT_TRUE(b.Front.ControlsEnabled());
}

TEST(Verify, ReportsOnlyTheRegionThatDiffers) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    b.Device.Config[0] = 0x3F72;
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    ASSERT_TRUE(b.Front.VerifyErrors.empty());

    b.Device.EepromData[17] = 0x01;
    b.Runner.OnVerify();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_EQ(b.Front.VerifyErrors, (std::vector<int32_t>{kVerifyEeprom}));

    b.Device.EepromData[17] = 0xFF;
    b.Front.ClearRecords();
    b.Runner.OnVerify();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_TRUE(b.Front.Messages.empty());
}

TEST(Verify, TakesTheChipCalibrationIntoTheImageFirst) {
    CRunnerBench b("PIC12F675");
    ASSERT_TRUE(b.Connect());
    b.Chip.SetProgramWord(0x3FF, 0x3480);
    b.Chip.SetConfig(0, 0x11FF); // band-gap bits 01
    b.Device.Config[0] = 0x31FF;
    b.Front.ClearRecords();

    b.Runner.OnVerify();
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsCalibrationRead}));
    const std::vector<CStepTrace> trace = b.TraceSequence();
    EXPECT_EQ(trace, (std::vector<CStepTrace>{{0, kIdsVerify, true}, {1, 0, false}}));
    EXPECT_EQ(b.Device.ProgramWord(0x3FF), 0x3480u);
    EXPECT_EQ(b.File.ProgramWord(0x3FF), 0x3480u);
    EXPECT_EQ(b.Device.Config[0], 0x11FFu);
    EXPECT_EQ(b.Front.ProgramDumps, 1);
    EXPECT_EQ(b.Front.ConfigGridPages, (std::vector<int>{0}));
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
}

TEST(Erase, BlanksTheChipAndLeavesTheImageAlone) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    ProgramEeprom(b);
    FillChip(b);
    FillDevice(b);
    b.Front.RunnerOptions.m_bComplate = true;
    b.Front.ClearRecords();

    b.Runner.OnErase();
    EXPECT_EQ(b.Writer.Config[0], 0x3FFFu);
    const std::vector<CStepTrace> trace = b.TraceSequence();
    EXPECT_EQ(trace, (std::vector<CStepTrace>{{0, kIdsErase, true}, {1, 0, false}, {2, 0, false}}));
    EXPECT_TRUE(b.Chip.IsErased());
    EXPECT_EQ(b.Device.ProgramData[0], 0x55);
    EXPECT_EQ(b.Device.Config[0], 0x3F3Au);
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_EQ(b.Front.ProgramDumps, 0);
    EXPECT_TRUE(b.Front.ControlsEnabled());
}

TEST(Erase, KeepsTheChipCalibration) {
    CRunnerBench b("PIC12F675");
    ASSERT_TRUE(b.Connect());
    b.Chip.SetProgramWord(0x3FF, 0x3480);
    b.Chip.SetProgramWord(0x10, 0x1234);
    b.Chip.SetConfig(0, 0x1180); // readable, band-gap bits 01
    b.Front.ClearRecords();

    b.Runner.OnErase();
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsCalibrationRead}));
    const std::vector<CStepTrace> trace = b.TraceSequence();
    EXPECT_EQ(trace, (std::vector<CStepTrace>{
                         {0, kIdsErase, true}, {1, kIdsCalibrationWrite, true}, {2, 0, false}}));
    EXPECT_EQ(b.Chip.ProgramWord(0x3FF), 0x3480);
    EXPECT_EQ(b.Chip.ProgramWord(0x10), 0x3FFF);
    // Blank configuration with the chip's band-gap bits, unprotected (bits
    // 11 to 9 are not implemented and read 0).
    EXPECT_EQ(b.Chip.Config(0), 0x11FF);
    EXPECT_TRUE(b.SimHealthy());
}

TEST(Erase, LeavesTheUserIdBlankWhenTheCalibrationIsWrittenBack) {
    // The calibration write-back also writes the user ID words; they must not
    // come back as the image the writer held from an earlier command.
    CRunnerBench b("PIC12F675");
    ASSERT_TRUE(b.Connect());
    for (uint32_t& id : b.Writer.UserId) {
        id = 0x05;
    }
    b.Runner.OnErase();
    b.TraceSequence();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(b.Chip.UserId(i) & 0x0F, 0x0F) << i;
    }
    EXPECT_TRUE(b.SimHealthy());
}
