// The operation runner: starts the long exchanges with the chip on a worker
// thread, follows their progress on the front end's 10 ms timer, notices
// their end, and strings them into the user-level sequences (Program, Read
// and its partial variants, Verify, Erase).
//
// Threads. Everything here runs on the owner's thread (the one calling the
// commands and OnTimer), except the worker procedures. At most one worker
// runs at a time. The owner's thread and the worker meet only through the
// writer's atomics Busy, AbortRequest and Progress and the writer's image:
// the runner fills the writer's image and sets Busy before it starts the
// thread; the worker clears Busy after its last engine call; the runner
// touches the writer's image again only after it has seen Busy clear. The
// finished thread is joined at the first tick that sees Busy clear (or before
// the next one starts); the destructor stops a running worker and joins it.
//
// A command given while a sequence runs or a worker is busy does nothing, as
// does one given while no writer is connected: the window disables its
// controls then, and other front ends get the same behaviour from here.
#pragma once

#include "ops/RunnerFrontEnd.h"
#include "ops/WorkerProcs.h"

#include <cstdint>
#include <thread>

class CDeviceList;
class CHexFile;
class CWriter;

// Progress bar position (0..100) for a counter against an operation's total.
// The bar is full once the counter reaches the total. With a total of 0 (an
// operation over no memory at all) the bar is empty until something is
// counted and full after that.
int ProgressPosition(uint32_t counter, uint32_t total);

// The check that the write step of Program makes between its start and the
// start of its worker: the station's watch on the loaded hex file. True when
// the file was reloaded and carried into the selected device and the writer,
// so that the reloaded image is what gets written. Runs on the owner's
// thread with the writer's Busy set and no worker started.
class IHexFileCheck {
public:
    virtual ~IHexFileCheck() = default;
    virtual bool CheckHexFileBeforeWrite() = 0;
};

class CRunner {
public:
    enum ESequence {
        SEQ_NONE,
        SEQ_PROGRAM,
        SEQ_READ_ALL,
        SEQ_READ_PROGRAM,
        SEQ_READ_DATA,
        SEQ_READ_CONFIG,
        SEQ_VERIFY,
        SEQ_ERASE,
    };

    // The worker operations: status text, progress total and procedure.
    enum class EOperation {
        ReadAll,
        ReadProgram,
        ReadData,
        ReadConfig,
        Erase,
        Write,
        VerifyRead,
        CalibrationRead,
        CalibrationWrite,
    };

    // All of them must outlive the runner. Without a hex file check the write
    // step writes what the writer holds.
    CRunner(CDeviceList& device, CHexFile& file, CWriter& writer, IRunnerFrontEnd& frontEnd,
            IHexFileCheck* hexFileCheck = nullptr);
    // Asks a running worker to stop at its next block and waits for it.
    ~CRunner();
    CRunner(const CRunner&) = delete;
    CRunner& operator=(const CRunner&) = delete;

    // --- user commands ---
    void OnProgram();
    void OnRead(); // read all
    void OnReadProgram();
    void OnReadData(); // only for a device with EEPROM
    void OnReadConfig();
    void OnVerify();
    void OnErase();
    // Cancel, Escape or the close box. While a worker runs: asks it to stop
    // (the next tick then abandons the sequence) and returns false, the window
    // stays open. Otherwise returns true: the window may close.
    bool OnCancel();
    // The 10 ms timer tick.
    void OnTimer();

    // Clears the progress bar and the writer's counter (also used by the file
    // commands and device selection).
    void ResetProgress();
    // Positions the bar for the counter against the current operation's total.
    void SetProgress(uint32_t counter);

    // --- state ---
    ESequence Sequence() const { return m_nSequence; }
    int Step() const { return m_nStep; }
    bool Connected() const { return m_bConnected; }
    uint32_t ProgressTotal() const { return m_nProgressTotal; }
    // A worker operation has been started and has not cleared Busy yet.
    bool IsBusy() const;
    // A sequence is set or a worker is busy: the commands are refused.
    bool IsRunning() const;
    // A worker thread exists that has not been joined yet.
    bool HasWorkerThread() const { return m_worker.joinable(); }

private:
    // --- operation start (Runner.cpp) ---
    bool BeginOperation(int statusId);
    bool CheckDeviceId();
    // Starts the worker of an operation whose BeginOperation has succeeded.
    void StartWorker(EOperation operation);
    // BeginOperation with the operation's status text, then StartWorker.
    bool StartOperation(EOperation operation);
    void JoinFinishedWorker();
    // The guard of every command.
    bool MayStartCommand() const;
    // The guard, and a fresh link fault record for the command's sequence.
    bool StartCommand();

    // --- sequences (Sequences.cpp) ---
    bool CalibrationApplies() const;
    // Starts the calibration read when the calibration applies. False only
    // when it applies and its start was refused.
    bool CalibrationReadIfApplies();
    void CalibrationWriteIfApplies();
    // The calibration just read, into the selected device and the file image.
    void TakeCalibrationIntoImages();
    bool CheckVerifyResult();
    // The protected configuration write after a clean compare, read back
    // when the option says so; false when it failed or did not take.
    bool WriteProtection(const CRunnerOptions& options);
    void EndSequence();
    void Report(EOutcome kind);
    // Ends the sequence over the writer's recorded link fault: the outcome
    // and the message that go with it.
    void EndOnLinkFault();
    // Runs step m_nStep; false when the sequence has no such step.
    bool RunStep();
    bool ProgramStep(int step);
    bool VerifyStep(int step);
    bool EraseStep(int step);
    bool ReadCompletion(int step);

    CDeviceList& m_device;
    CHexFile& m_file;
    CWriter& m_writer;
    IRunnerFrontEnd& m_front;
    IHexFileCheck* m_pHexFileCheck;

    bool m_bConnected = false;
    ESequence m_nSequence = SEQ_NONE;
    int m_nStep = 0;
    uint32_t m_nProgressTotal = 0;
    std::thread m_worker;
};
