// The safety net over the station on the simulated writer: the calibration
// vault fed by the runner's own reads, snapshots before Program and Erase, and
// the calibration read and restore. The tests look at the simulated chip and
// at the files in a temporary folder.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "device/ImageDiff.h"
#include "ops/SafetyNet.h"
#include "ops/Strings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

class CRecordingListener : public ISafetyListener {
public:
    void OnCalibrationRead(const CCalibrationNotice& notice) override { Calibrations.push_back(notice); }
    void OnSnapshot(const CSnapshotNotice& notice) override { Snapshots.push_back(notice); }
    void OnChipReadAside(const CDeviceList& chip, bool completed, EOutcome outcome) override {
        AsideReads.push_back({completed, outcome});
        if (completed) {
            AsideChip.AssignFrom(chip);
            AsideDiff = DiffImages(chip, *Image, IsCalibrated(chip));
        }
    }
    struct CAsideRead {
        bool Completed = false;
        EOutcome Outcome = EOutcome::Completed;
    };
    std::vector<CCalibrationNotice> Calibrations;
    std::vector<CSnapshotNotice> Snapshots;
    std::vector<CAsideRead> AsideReads;
    CDeviceList AsideChip;
    CImageDiff AsideDiff;
    const CPicDevice* Image = nullptr; // what the chip read aside is compared with
};

// A bench whose station has a safety folder, a fixed clock and a listener.
class SafetyNet : public ::testing::Test {
protected:
    void Start(const std::string& device, const std::string& chip = "") {
        m_bench = std::make_unique<CRunnerBench>(device, chip);
        Net().SetFolder(m_dir.File("kvx3"));
        Net().SetListener(&m_heard);
        Net().SetClock([this] { return CStamp{2024, 5, 1, 12, 0, m_second++}; });
        ASSERT_TRUE(B().Connect());
    }
    CRunnerBench& B() { return *m_bench; }
    CSafetyNet& Net() { return m_bench->Station.SafetyNet(); }
    // Ticks the net, as a window that offers snapshots does, until all ends.
    bool RunNet() {
        for (int i = 0; i < 40000; ++i) {
            if (!Net().IsRunning()) {
                return true;
            }
            Net().OnTimer();
            if (B().Runner.IsBusy()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return false;
    }
    CVaultContents Vault() { return ReadVault(Net().VaultFile()); }

    CTempDir m_dir;
    CRecordingListener m_heard;
    std::unique_ptr<CRunnerBench> m_bench;
    int m_second = 0;
};

} // namespace

TEST_F(SafetyNet, EveryCalibrationReadOfTheRunnerFeedsTheVaultOnce) {
    Start("PIC12F675");
    B().Chip.SetProgramWord(0x3FF, 0x3480);
    B().Chip.SetConfig(0, 0x11FF);

    B().Runner.OnErase(); // a calibration read first
    ASSERT_TRUE(B().RunUntilIdle());
    ASSERT_EQ(m_heard.Calibrations.size(), 1u);
    const CCalibrationNotice& first = m_heard.Calibrations[0];
    EXPECT_EQ(first.Device, "PIC12F675");
    EXPECT_EQ(first.Read.Word, 0x3480u);
    EXPECT_EQ(first.Read.Bits, 0x1000u);
    EXPECT_FALSE(first.WordBlank);
    EXPECT_EQ(first.Vault, EVaultRecord::Appended);
    EXPECT_EQ(ReadWholeFile(Net().VaultFile()), "2024-05-01 12:00:00\tPIC12F675\tword=3480\tbits=1000\n");

    // Verify and Read all read it again: the same value is not kept twice.
    B().Runner.OnVerify();
    ASSERT_TRUE(B().RunUntilIdle());
    B().Runner.OnRead();
    ASSERT_TRUE(B().RunUntilIdle());
    ASSERT_EQ(m_heard.Calibrations.size(), 3u);
    EXPECT_EQ(m_heard.Calibrations[1].Vault, EVaultRecord::Repeated);
    EXPECT_EQ(m_heard.Calibrations[2].Vault, EVaultRecord::Repeated);
    EXPECT_EQ(Vault().Entries.size(), 1u);

    // A read of program memory alone sees the word, not the bits: told, not kept.
    B().Runner.OnReadProgram();
    ASSERT_TRUE(B().RunUntilIdle());
    ASSERT_EQ(m_heard.Calibrations.size(), 4u);
    EXPECT_TRUE(m_heard.Calibrations[3].Read.HasWord);
    EXPECT_FALSE(m_heard.Calibrations[3].Read.HasBits);
    EXPECT_EQ(m_heard.Calibrations[3].Vault, EVaultRecord::Partial);
    // Neither a configuration read nor anything on a device without calibration.
    B().Runner.OnReadConfig();
    ASSERT_TRUE(B().RunUntilIdle());
    EXPECT_EQ(m_heard.Calibrations.size(), 4u);
    EXPECT_TRUE(B().SimHealthy());
}

TEST_F(SafetyNet, ALostCalibrationIsReportedWithTheVaultsLastEntries) {
    Start("PIC12F675");
    B().Chip.SetProgramWord(0x3FF, 0x3480);
    B().Chip.SetConfig(0, 0x11FF);
    B().Runner.OnRead();
    ASSERT_TRUE(B().RunUntilIdle());
    // Erased with calibration rewriting allowed: word and band-gap bits gone.
    B().Front.RunnerOptions.m_bRewriteCalibration = true;
    B().Runner.OnErase();
    ASSERT_TRUE(B().RunUntilIdle());
    EXPECT_EQ(B().Chip.ProgramWord(0x3FF), 0x3FFF);
    EXPECT_EQ(m_heard.Calibrations.size(), 1u) << "no calibration read while rewriting is allowed";

    B().Front.RunnerOptions.m_bRewriteCalibration = false;
    B().Runner.OnProgram();
    ASSERT_TRUE(B().RunUntilIdle());
    ASSERT_EQ(m_heard.Calibrations.size(), 2u);
    const CCalibrationNotice& lost = m_heard.Calibrations[1];
    EXPECT_TRUE(lost.WordBlank);
    EXPECT_EQ(lost.Vault, EVaultRecord::Blank) << "a lost calibration is not kept";
    ASSERT_EQ(lost.Recent.size(), 1u);
    EXPECT_EQ(lost.Recent[0].Word, 0x3480u);
    EXPECT_EQ(Vault().Entries.size(), 1u);
}

TEST_F(SafetyNet, AStoppedCalibrationReadIsNotKept) {
    Start("PIC12F675");
    // Past the device ID check (made on this thread), inside the calibration read.
    B().Link.PauseAtPacket(12);
    B().Runner.OnErase();
    ASSERT_TRUE(B().Link.WaitUntilPaused());
    EXPECT_FALSE(B().Runner.OnCancel());
    B().Link.Resume();
    ASSERT_TRUE(B().RunUntilIdle());
    EXPECT_EQ(B().Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Stopped}));
    EXPECT_TRUE(m_heard.Calibrations.empty());
    EXPECT_TRUE(Vault().Entries.empty());
}

TEST_F(SafetyNet, WithoutAFolderTheNetWritesNothing) {
    Start("PIC12F675");
    Net().SetFolder("");
    B().Runner.OnRead();
    ASSERT_TRUE(B().RunUntilIdle());
    ASSERT_EQ(m_heard.Calibrations.size(), 1u);
    EXPECT_EQ(m_heard.Calibrations[0].Vault, EVaultRecord::Off);
    Net().SetSnapshotBeforeWrite(true);
    EXPECT_FALSE(Net().OnErase());
    ASSERT_EQ(m_heard.Snapshots.size(), 1u);
    EXPECT_EQ(m_heard.Snapshots[0].Outcome, ESnapshotOutcome::NotKept);
    EXPECT_FALSE(B().Runner.IsRunning()) << "no snapshot, no erase";
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));
}

TEST_F(SafetyNet, ProgramWithASnapshotKeepsTheChipAsItWasAndLeavesTheImagesAlone) {
    Start("PIC16F877A");
    B().Chip.SetProgramWord(0x10, 0x1234);
    B().Chip.SetProgramWord(0x1FFF, 0x0042);
    // The image to program.
    B().SetImageWord(0, 0x2805);
    B().File.FilePath = "/kept/image.hex";
    B().Front.ClearRecords();
    Net().SetSnapshotBeforeWrite(true);

    ASSERT_TRUE(Net().OnProgram());
    EXPECT_TRUE(Net().SnapshotRunning());
    // Nothing else starts meanwhile.
    EXPECT_FALSE(Net().OnErase());
    B().Runner.OnErase();
    EXPECT_EQ(B().Runner.Sequence(), CRunner::SEQ_NONE);
    EXPECT_FALSE(B().Station.SelectDevice("PIC16F628A"));
    EXPECT_EQ(B().Station.UseLink(B().Link), EBackendResult::Busy);
    ASSERT_TRUE(RunNet());

    ASSERT_EQ(m_heard.Snapshots.size(), 1u);
    const CSnapshotNotice& s = m_heard.Snapshots[0];
    EXPECT_EQ(s.Outcome, ESnapshotOutcome::Kept);
    EXPECT_EQ(s.Command, EGuardedCommand::Program);
    EXPECT_EQ(s.Snapshot.Name, "PIC16F877A_20240501-120000.hex");
    CHexFile kept;
    ASSERT_EQ(CheckSnapshot(s.Snapshot, B().Device, kept), ESnapshotCheck::Ok);
    EXPECT_EQ(kept.ProgramWord(0x10), 0x1234u);
    EXPECT_EQ(kept.ProgramWord(0x1FFF), 0x0042u);
    EXPECT_EQ(kept.ProgramWord(0), 0x3FFFu);
    EXPECT_EQ(s.Snapshot.Banner, B().Writer.Banner);

    // Then programmed as asked; the station's images are the user's still.
    EXPECT_EQ(B().Chip.ProgramWord(0), 0x2805);
    EXPECT_EQ(B().Chip.ProgramWord(0x10), 0x3FFF);
    EXPECT_EQ(B().Device.ProgramWord(0x10), 0x3FFFu);
    EXPECT_EQ(B().File.FilePath, "/kept/image.hex");
    EXPECT_EQ(B().Front.StatusIds.front(), kIdsRead);
    EXPECT_EQ(B().Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Completed}))
        << "the snapshot's read does not complete the command";
    EXPECT_EQ(B().Front.ProgramDumps, 0);
    EXPECT_TRUE(B().Front.ControlsEnabled());
    EXPECT_TRUE(B().SimHealthy());
}

TEST_F(SafetyNet, EraseOfAProtectedChipSaysSoAndKeepsNothing) {
    Start("PIC16F877A");
    B().Chip.SetProgramWord(0x10, 0x1234);
    B().Chip.SetConfig(0, 0x1F7F); // CP and CPD on
    Net().SetSnapshotBeforeWrite(true);
    ASSERT_TRUE(Net().OnErase());
    ASSERT_TRUE(RunNet());
    ASSERT_EQ(m_heard.Snapshots.size(), 1u);
    EXPECT_EQ(m_heard.Snapshots[0].Outcome, ESnapshotOutcome::ProtectedChip);
    EXPECT_TRUE(ListSnapshots(Net().SnapshotsFolder()).empty());
    EXPECT_TRUE(B().Chip.IsErased()) << "the erase went on";
}

TEST_F(SafetyNet, NoCommandRunsWhenTheSnapshotFails) {
    // The folder cannot be made: a plain file is in its way.
    Start("PIC16F877A");
    B().Chip.SetProgramWord(0x10, 0x1234);
    m_dir.Write("kvx3", "in the way");
    Net().SetSnapshotBeforeWrite(true);
    ASSERT_TRUE(Net().OnErase());
    ASSERT_TRUE(RunNet());
    ASSERT_EQ(m_heard.Snapshots.size(), 1u);
    EXPECT_EQ(m_heard.Snapshots[0].Outcome, ESnapshotOutcome::NotKept);
    EXPECT_EQ(B().Chip.ProgramWord(0x10), 0x1234);
    EXPECT_TRUE(B().Front.ControlsEnabled());

    // A stop during the read.
    std::filesystem::remove(m_dir.File("kvx3"));
    m_heard.Snapshots.clear();
    B().Link.PauseAtPacket(20);
    ASSERT_TRUE(Net().OnErase());
    ASSERT_TRUE(B().Link.WaitUntilPaused());
    EXPECT_FALSE(B().Runner.OnCancel());
    B().Link.Resume();
    ASSERT_TRUE(RunNet());
    ASSERT_EQ(m_heard.Snapshots.size(), 1u);
    EXPECT_EQ(m_heard.Snapshots[0].Outcome, ESnapshotOutcome::ReadFailed);
    EXPECT_EQ(m_heard.Snapshots[0].ReadOutcome, EOutcome::Stopped);
    EXPECT_EQ(B().Chip.ProgramWord(0x10), 0x1234);
    EXPECT_TRUE(ListSnapshots(Net().SnapshotsFolder()).empty());
    EXPECT_TRUE(B().Front.ControlsEnabled());
}

TEST_F(SafetyNet, TheWrongChipStopsTheSnapshotWithTheRunnersMessage) {
    Start("PIC12F675", "PIC12F629");
    B().Chip.SetProgramWord(0x10, 0x1234);
    B().Front.ClearRecords();
    Net().SetSnapshotBeforeWrite(true);
    EXPECT_FALSE(Net().OnProgram());
    EXPECT_FALSE(Net().IsRunning());
    ASSERT_EQ(m_heard.Snapshots.size(), 1u);
    EXPECT_EQ(m_heard.Snapshots[0].ReadOutcome, EOutcome::DeviceIdMismatch);
    EXPECT_EQ(B().Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::DeviceIdMismatch}));
    ASSERT_EQ(B().Front.Messages.size(), 1u);
    EXPECT_EQ(B().Front.Messages[0].Text, kMsgDeviceIdMismatch);
    EXPECT_EQ(B().Chip.ProgramWord(0x10), 0x1234);
    EXPECT_TRUE(B().Front.ControlsEnabled());
}

TEST_F(SafetyNet, AChipReadAsideIsComparedWithTheFileAndTouchesNothing) {
    Start("PIC16F877A");
    m_heard.Image = &B().Device;
    B().Chip.SetProgramWord(0x10, 0x1234);
    B().SetImageWord(0x10, 0x1234);
    B().SetImageWord(0x11, 0x0042);
    B().File.FilePath = "/kept/image.hex";
    B().Front.ClearRecords();
    // Needs no folder: nothing is written.
    Net().SetFolder("");
    ASSERT_TRUE(Net().ReadChipAside());
    EXPECT_FALSE(Net().ReadChipAside()) << "one read at a time";
    EXPECT_FALSE(Net().OnProgram());
    ASSERT_TRUE(RunNet());

    ASSERT_EQ(m_heard.AsideReads.size(), 1u);
    EXPECT_TRUE(m_heard.AsideReads[0].Completed);
    EXPECT_EQ(m_heard.AsideChip.ProgramWord(0x10), 0x1234u);
    ASSERT_EQ(m_heard.AsideDiff.Program.size(), 1u);
    EXPECT_EQ(m_heard.AsideDiff.Program[0], (CDiffRun{0x11, 0x11}));
    EXPECT_TRUE(m_heard.Snapshots.empty());
    // The station's images, the displays and the completion are the user's.
    EXPECT_EQ(B().Device.ProgramWord(0x11), 0x0042u);
    EXPECT_EQ(B().File.FilePath, "/kept/image.hex");
    EXPECT_EQ(B().Front.ProgramDumps, 0);
    EXPECT_TRUE(B().Front.OutcomeKinds().empty());
    EXPECT_TRUE(B().Front.ControlsEnabled());
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("kvx3")));

    // The wrong chip: the runner's own message, and no chip to compare.
    Start("PIC12F675", "PIC12F629");
    m_heard.Image = &B().Device;
    ASSERT_FALSE(Net().ReadChipAside());
    ASSERT_EQ(m_heard.AsideReads.size(), 2u);
    EXPECT_FALSE(m_heard.AsideReads[1].Completed);
    EXPECT_EQ(m_heard.AsideReads[1].Outcome, EOutcome::DeviceIdMismatch);
    EXPECT_TRUE(B().Front.ControlsEnabled());
}

TEST_F(SafetyNet, CalibrationIsReadAndWrittenBackToAChipThatLostIt) {
    Start("PIC12F675");
    CCalibration read;
    ASSERT_EQ(Net().ReadChipCalibration(read), ECalibrationResult::Ok);
    EXPECT_EQ(read.Word, 0x345Cu) << "the simulated chip's factory value";
    EXPECT_EQ(Vault().Entries.size(), 1u);

    // Refused before anything is written.
    EXPECT_EQ(Net().RestoreCalibration(0x3FFF, std::nullopt).Result, ECalibrationResult::Refused);
    const CCalibrationRestore over = Net().RestoreCalibration(0x3480, std::nullopt);
    EXPECT_EQ(over.Result, ECalibrationResult::WordNotBlank);
    EXPECT_EQ(B().Chip.ProgramWord(0x3FF), 0x345C);

    B().Chip.SetProgramWord(0x3FF, 0x3FFF);
    B().Chip.SetConfig(0, 0x31FF);
    const CCalibrationRestore r = Net().RestoreCalibration(0x3480, 0x1000);
    EXPECT_EQ(r.Result, ECalibrationResult::Ok);
    EXPECT_EQ(r.Before.Word, 0x3FFFu);
    EXPECT_EQ(r.After.Word, 0x3480u);
    EXPECT_EQ(B().Chip.ProgramWord(0x3FF), 0x3480);
    EXPECT_EQ(B().Chip.Config(0) & 0x3000, 0x1000);
    EXPECT_EQ(B().Chip.Config(0) & 0x01FF, 0x01FF) << "the rest of the configuration as it was";
    EXPECT_EQ(Vault().Entries.back().Word, 0x3480u);
    EXPECT_TRUE(B().SimHealthy());
}

TEST_F(SafetyNet, CalibrationCommandsNeedAWriterAndACalibratedDevice) {
    Start("PIC16F877A");
    CCalibration read;
    EXPECT_EQ(Net().ReadChipCalibration(read), ECalibrationResult::NotCalibrated);
    EXPECT_EQ(Net().RestoreCalibration(0x3480, std::nullopt).Result, ECalibrationResult::NotCalibrated);
    ASSERT_TRUE(B().Select("PIC12F675"));
    B().Sim.Unplug();
    B().Runner.OnTimer();
    EXPECT_EQ(Net().ReadChipCalibration(read), ECalibrationResult::NotReady);
}
