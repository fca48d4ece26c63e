// The runner's control of its sequences: an absent or busy writer, Cancel,
// the device ID check, a writer that leaves and comes back, the progress bar
// and the worker thread's life.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "ops/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {

void SomeImage(CRunnerBench& b) {
    for (uint32_t a = 0; a < 300; ++a) {
        b.SetImageWord(a, static_cast<uint16_t>(0x2000 + a));
    }
    b.Device.Config[0] = 0x3F72;
}

// Ticks with a pause between, as the timer does while a worker runs.
void TickFor(CRunnerBench& b, int ticks) {
    for (int i = 0; i < ticks; ++i) {
        b.Runner.OnTimer();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

TEST(RunnerCommands, DoNothingWithoutAWriter) {
    CRunnerBench b("PIC16F877A");
    b.Sim.Unplug();
    TickFor(b, 3);
    EXPECT_FALSE(b.Runner.Connected());
    EXPECT_TRUE(b.Front.StatusIds.empty()); // never connected: nothing changed
    SomeImage(b);
    b.Runner.OnProgram();
    b.Runner.OnRead();
    b.Runner.OnReadProgram();
    b.Runner.OnReadData();
    b.Runner.OnReadConfig();
    b.Runner.OnVerify();
    b.Runner.OnErase();
    TickFor(b, 3);
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
    EXPECT_FALSE(b.Runner.IsBusy());
    EXPECT_EQ(b.Link.PacketsWritten(), 0u);
    EXPECT_TRUE(b.Front.StatusIds.empty());
    EXPECT_TRUE(b.Front.Enables.empty());
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_EQ(b.Writer.ProgramWord(0), 0x3FFFu); // Program did not even fill the writer
    EXPECT_TRUE(b.Runner.OnCancel());
}

TEST(RunnerCommands, ConnectionChangesShowInStatusAndWriterLabel) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsConnect}));
    ASSERT_FALSE(b.Writer.Banner.empty());
    EXPECT_EQ(b.Writer.Banner, "KVX3 Ver.17 / CLK=20MHz"); // the simulated writer's identification
    EXPECT_EQ(b.Front.WriterLabels, (std::vector<std::string>{b.Writer.Banner}));
    TickFor(b, 3); // no change, nothing shown again
    EXPECT_EQ(b.Front.StatusIds.size(), 1u);

    b.Sim.Unplug();
    TickFor(b, 3);
    EXPECT_FALSE(b.Runner.Connected());
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsConnect, kIdsNotConnected}));
    EXPECT_EQ(b.Front.WriterLabels.back(), kWriterLabelDisconnected);
    EXPECT_TRUE(b.Front.Outcomes.empty()) << "no sequence was set, so none was lost";

    b.Sim.Plug();
    TickFor(b, 1);
    EXPECT_TRUE(b.Runner.Connected());
    EXPECT_EQ(b.Front.StatusIds.back(), kIdsConnect);
    EXPECT_EQ(b.Front.WriterLabels.back(), b.Writer.Banner);
}

TEST(RunnerCommands, IgnoredWhileAWorkerOrASequenceRuns) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    SomeImage(b);
    b.Front.ClearRecords();
    b.Link.PauseAtPacket(20);
    b.Runner.OnRead();
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    b.Runner.OnProgram();
    b.Runner.OnErase();
    b.Runner.OnVerify();
    b.Runner.OnReadConfig();
    b.Runner.OnRead();
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_READ_ALL);
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsRead}));
    EXPECT_EQ(b.Writer.ProgramWord(0), 0x3FFFu); // Program did not refill the writer's image
    b.Link.Resume();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_TRUE(b.Front.ControlsEnabled());

    // Between two steps of a sequence (no worker running) as well.
    b.Runner.OnProgram();
    ASSERT_TRUE(b.TickUntil([&] { return b.Runner.Step() == 1 && !b.Runner.IsBusy(); }));
    b.Runner.OnErase();
    b.Runner.OnRead();
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_PROGRAM);
    EXPECT_EQ(b.Runner.Step(), 1);
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
}

TEST(RunnerCancel, ReadAbandonedWithoutCopyingAnything) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    b.Chip.SetProgramWord(0, 0x1234);
    b.File.FilePath = "/somewhere/image.hex";
    b.Front.ClearRecords();
    b.Link.PauseAtPacket(20);
    b.Runner.OnRead();
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    EXPECT_FALSE(b.Runner.OnCancel()); // the window stays open
    b.Link.Resume();
    ASSERT_TRUE(b.RunUntilIdle());

    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
    EXPECT_FALSE(b.Writer.AbortRequest.load());
    EXPECT_EQ(b.Front.Enables, (std::vector<bool>{false, true}));
    // The loops stopped at their next block (a whole read takes over 500
    // packets); the configuration read, which has no loop, still ran.
    EXPECT_LT(b.Link.PacketsWritten(), 45u);
    EXPECT_EQ(b.Writer.ProgramWord(0), 0x1234u); // it was read, but not copied
    EXPECT_EQ(b.Device.ProgramWord(0), 0x3FFFu);
    EXPECT_EQ(b.File.ProgramWord(0), 0x3FFFu);
    EXPECT_EQ(b.File.FilePath, "/somewhere/image.hex");
    EXPECT_EQ(b.Front.ProgramDumps + b.Front.EepromDumps + b.Front.UserIdRefreshes, 0);
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_TRUE(b.Runner.OnCancel()); // a second Cancel closes the window
}

TEST(RunnerCancel, ProgramAbandonedWithoutCompareProtectionOrMessage) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    SomeImage(b);
    b.Device.Config[0] = 0x1F72; // protection requested
    b.Front.RunnerOptions.m_bComplate = true;
    b.Runner.OnProgram();
    ASSERT_TRUE(b.TickUntil([&] { return b.Runner.Step() == 1 && !b.Runner.IsBusy(); }));
    b.Link.PauseAtPacket(10);
    b.Runner.OnTimer(); // step 1: the write starts
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    EXPECT_FALSE(b.Runner.OnCancel());
    b.Link.Resume();
    ASSERT_TRUE(b.RunUntilIdle());

    EXPECT_EQ(b.Runner.Step(), 2); // no step ran after the write
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Stopped}));
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_TRUE(b.Front.Messages.empty());
    EXPECT_EQ(b.Chip.ConfigWrites(), 1u);       // the unprotected write that ends every write
    EXPECT_EQ(b.Chip.ProgramWord(299), 0x3FFF); // not reached
    EXPECT_TRUE(b.Front.ControlsEnabled());
}

TEST(RunnerDeviceId, MismatchAtALaterStepEndsTheSequence) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    SomeImage(b);
    b.Front.ClearRecords();
    b.Runner.OnProgram();
    ASSERT_TRUE(b.TickUntil([&] { return b.Runner.Step() == 1 && !b.Runner.IsBusy(); }));
    b.Chip.SetDeviceId(0x0D03); // another chip now
    b.Front.DuringModal = [&] {
        // Ticks under the message find the sequence already ended.
        EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
        b.Runner.OnTimer();
        b.Runner.OnTimer();
    };
    b.Runner.OnTimer();

    ASSERT_EQ(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgDeviceIdMismatch);
    EXPECT_EQ(b.Front.Messages[0].Icon, EMsgIcon::Error);
    EXPECT_EQ(b.Front.Messages[0].Buttons, EMsgButtons::Ok);
    // Both IDs come with the outcome, before the box.
    ASSERT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::DeviceIdMismatch}));
    EXPECT_EQ(b.Front.Messages[0].OutcomesBefore, 1u);
    const COutcome& mismatch = b.Front.Outcomes[0];
    EXPECT_EQ(mismatch.ChipDeviceId & 0x3FFF, 0x0D03u);
    EXPECT_EQ(mismatch.DeviceIdMask, b.Writer.DeviceIdMask);
    EXPECT_EQ(mismatch.ExpectedDeviceId, b.Device.DeviceId);
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
    EXPECT_FALSE(b.Runner.IsBusy());
    EXPECT_FALSE(b.Runner.HasWorkerThread());
    EXPECT_TRUE(b.Front.ControlsEnabled());
    EXPECT_EQ(b.Front.StatusIds.back(), kIdsErase);
    EXPECT_TRUE(b.Chip.IsErased()); // erased, never written
}

TEST(RunnerDeviceId, MismatchAtTheFirstCalibrationReadSetsNoSequence) {
    CRunnerBench b("PIC12F675", "PIC12F629"); // the wrong chip in the socket
    ASSERT_TRUE(b.Connect());
    b.Front.ClearRecords();
    b.Runner.OnProgram();
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
    EXPECT_FALSE(b.Runner.IsBusy());
    ASSERT_EQ(b.Front.Messages.size(), 1u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgDeviceIdMismatch);
    EXPECT_TRUE(b.Front.StatusIds.empty());
    TickFor(b, 3);
    EXPECT_TRUE(b.Front.StatusIds.empty());
}

TEST(RunnerDeviceId, NotComparedWithoutAnIdOrWithTheCheckOff) {
    {
        CRunnerBench b("PIC16F877A", "PIC16F876A");
        ASSERT_TRUE(b.Connect());
        b.Device.DeviceId = 0xFFFF;
        b.Runner.OnRead();
        ASSERT_TRUE(b.RunUntilIdle());
        EXPECT_TRUE(b.Front.Messages.empty());
        EXPECT_EQ(b.Front.StatusIds.back(), kIdsRead);
    }
    {
        CRunnerBench b("PIC16F877A", "PIC16F876A");
        ASSERT_TRUE(b.Connect());
        b.Writer.DeviceIdCheck = false;
        b.Runner.OnErase();
        ASSERT_TRUE(b.RunUntilIdle());
        EXPECT_TRUE(b.Front.Messages.empty());
        EXPECT_EQ(b.Front.StatusIds.back(), kIdsErase);
    }
}

TEST(RunnerWriterLoss, UnplugBetweenStepsSuspendsAndReplugContinues) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    SomeImage(b);
    b.Front.ClearRecords();
    b.Runner.OnProgram();
    ASSERT_TRUE(b.TickUntil([&] { return b.Runner.Step() == 1 && !b.Runner.IsBusy(); }));
    b.Sim.Unplug();
    TickFor(b, 5);
    EXPECT_EQ(b.Front.StatusIds.back(), kIdsNotConnected);
    EXPECT_EQ(b.Front.WriterLabels.back(), kWriterLabelDisconnected);
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::LinkLost}));
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_PROGRAM);
    EXPECT_EQ(b.Runner.Step(), 1);
    EXPECT_FALSE(b.Front.ControlsEnabled());

    b.Sim.Plug();
    b.Runner.OnTimer();
    // Connected again, and the same tick goes on with the write.
    const std::vector<int> tail(b.Front.StatusIds.end() - 2, b.Front.StatusIds.end());
    EXPECT_EQ(tail, (std::vector<int>{kIdsConnect, kIdsWrite}));
    EXPECT_EQ(b.Front.WriterLabels.back(), b.Writer.Banner);
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::LinkLost, EOutcome::Completed}));
    EXPECT_EQ(b.Chip.ProgramWord(299), 0x212B);
}

TEST(RunnerWriterLoss, UnplugDuringAnOperationEndsTheSequenceOnceTheWriterIsBack) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    SomeImage(b);
    b.Runner.OnProgram();
    ASSERT_TRUE(b.TickUntil([&] { return b.Runner.Step() == 1 && !b.Runner.IsBusy(); }));
    b.Link.PauseAtPacket(10);
    b.Runner.OnTimer();
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    b.Sim.Unplug();
    b.Link.Resume();
    ASSERT_TRUE(b.TickUntil([&] { return !b.Runner.IsBusy() && !b.Runner.Connected(); }));
    TickFor(b, 10);
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_PROGRAM); // suspended
    EXPECT_EQ(b.Runner.Step(), 2);
    EXPECT_FALSE(b.Runner.HasWorkerThread());

    // The write was cut off: going on would verify a half-written chip at
    // best, so the sequence ends and says why.
    b.Sim.Plug();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::LinkLost, EOutcome::WriterLost}));
    ASSERT_FALSE(b.Front.Messages.empty());
    EXPECT_EQ(b.Front.Messages.back().Text, kMsgWriterLost);
    EXPECT_EQ(b.Front.Messages.back().Icon, EMsgIcon::Error);
    EXPECT_TRUE(b.Front.VerifyErrors.empty());
    EXPECT_TRUE(b.Front.ControlsEnabled());
    EXPECT_EQ(b.Chip.ProgramWord(299), 0x3FFF);

    // Nothing is left over: the next Program runs clean.
    b.Front.ClearRecords();
    b.Runner.OnProgram();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_EQ(b.Front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Completed}));
    EXPECT_EQ(b.Chip.ProgramWord(299), 0x212B);
}

TEST(RunnerProgress, FollowsTheCounterWithinTheBar) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    b.Front.ClearRecords();
    b.Link.PauseAtPacket(200);
    b.Runner.OnRead();
    EXPECT_EQ(b.Front.Positions, (std::vector<int>{0}));
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    TickFor(b, 3);
    const int expected =
        ProgressPosition(static_cast<uint32_t>(b.Writer.GetProgress()), b.Runner.ProgressTotal());
    EXPECT_GT(expected, 10);
    EXPECT_LT(expected, 90);
    EXPECT_EQ(b.Front.Positions.back(), expected);
    b.Link.Resume();
    ASSERT_TRUE(b.RunUntilIdle());
    EXPECT_TRUE(std::is_sorted(b.Front.Positions.begin(), b.Front.Positions.end()));
    EXPECT_LE(b.Front.Positions.back(), 100);
}

TEST(RunnerProgress, ZeroTotalNeverDivides) {
    // A device without program memory or EEPROM: every total is 0.
    CTempDir dir;
    const std::string line =
        "TESTEMPTY\t0:14\t0\t[CP][-][-][-][-][-][-][-][-][-][-][-][-][-]\t40\t0\t0\t0\t0\t2"
        "\t4\t1\t:\t0E20:3FF0\t\r\n";
    CRunnerBench b("TESTEMPTY", "PIC16F877A", dir.Write("list.txt", line));
    ASSERT_EQ(b.Device.DeviceName, "TESTEMPTY");
    ASSERT_TRUE(b.Connect());

    // How many packets a configuration read takes; then hold it at its last
    // one (the exit), when the routine has counted its progress.
    const size_t before = b.Link.PacketsWritten();
    b.Runner.OnReadConfig();
    ASSERT_TRUE(b.RunUntilIdle());
    const size_t packets = b.Link.PacketsWritten() - before;
    ASSERT_GT(packets, 2u);
    EXPECT_EQ(b.Runner.ProgressTotal(), 0u);

    b.Front.ClearRecords();
    b.Link.PauseAtPacket(packets);
    b.Runner.OnReadConfig();
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    ASSERT_GT(b.Writer.GetProgress(), 0);
    TickFor(b, 2);
    EXPECT_EQ(b.Front.Positions.back(), 100);
    b.Link.Resume();
    ASSERT_TRUE(b.RunUntilIdle());

    b.Front.ClearRecords();
    b.Writer.DeviceIdCheck = false; // so that packet 1 is the worker's
    b.Link.PauseAtPacket(1);
    b.Runner.OnErase();
    b.Runner.OnTimer(); // step 0 starts the erase
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    TickFor(b, 2);
    EXPECT_EQ(b.Front.Positions.back(), 0);
    b.Link.Resume();
    ASSERT_TRUE(b.RunUntilIdle());
}

TEST(RunnerWorker, JoinedAtTheTickThatSeesBusyClear) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    b.Link.PauseAtPacket(20); // past the device ID read, which runs on this thread
    b.Runner.OnReadProgram();
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    EXPECT_TRUE(b.Runner.HasWorkerThread());
    TickFor(b, 2);
    EXPECT_TRUE(b.Runner.HasWorkerThread());
    b.Link.Resume();
    while (b.Runner.IsBusy()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(b.Runner.HasWorkerThread()); // finished, not yet joined
    b.Runner.OnTimer();
    EXPECT_FALSE(b.Runner.HasWorkerThread());
    EXPECT_EQ(b.Runner.Sequence(), CRunner::SEQ_NONE);
}

TEST(RunnerWorker, DestroyingTheRunnerStopsAndJoinsItsWorker) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    auto runner = std::make_unique<CRunner>(b.Device, b.File, b.Writer, b.Front);
    runner->OnTimer();
    ASSERT_TRUE(runner->Connected());
    const size_t start = b.Link.PacketsWritten();
    b.Link.PauseAtPacket(20);
    runner->OnRead();
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        b.Link.Resume();
    });
    runner.reset();
    release.join();
    EXPECT_FALSE(b.Writer.Busy.load());
    // Stopped at the next block instead of reading all 8192 words.
    EXPECT_LT(b.Link.PacketsWritten() - start, 40u);
}
