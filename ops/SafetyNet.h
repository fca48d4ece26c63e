// The safety net around every write: snapshots of a chip before Program and
// Erase, the calibration vault fed by every calibration read, and the
// calibration read and restore commands.
//
// The net is dormant until a front end gives it a safety folder: without one
// it writes nothing, and a snapshot cannot be taken. What it finds goes to a
// listener (none: nothing is said), so each front end words it its own way.
//
// A snapshot is the runner's own Read all, run before the command on a second
// runner over the same writer and two scratch images, so that the station's
// images, displays and file watch never see it. Its progress, status text,
// device ID message and a stop or lost writer reach the station's front end
// as the command's own would. A front end that offers snapshots ticks the
// net (OnTimer) instead of the runner; the net ticks both.
//
// Threads: everything on the owner's thread, as the runner.
#pragma once

#include "device/Calibration.h"
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "ops/CalibrationVault.h"
#include "ops/CalibrationWatch.h"
#include "ops/Runner.h"
#include "ops/SnapshotStore.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CWriter;
class IStationFrontEnd;

// What became of the vault entry of a calibration read.
enum class EVaultRecord {
    Off,      // no safety folder: no vault
    Partial,  // the read did not cover every calibration part of the device: nothing kept
    Blank,    // the word reads erased: a lost calibration is not kept
    Appended, // kept
    Repeated, // the device's last entry holds the same: not kept again
    Failed,   // the vault could not be written
};

struct CCalibrationNotice {
    std::string Device;
    CCalibration Read;      // HasWord / HasBits: the parts this read covered
    bool WordBlank = false; // the calibration word reads erased: the chip has lost it
    EVaultRecord Vault = EVaultRecord::Off;
    std::string VaultPath;
    std::vector<CVaultEntry> Recent; // the vault's last entries for the device, newest first
};

enum class EGuardedCommand { None, Program, Erase };

enum class ESnapshotOutcome {
    Kept,          // the snapshot is on disk; the command went on
    ProtectedChip, // the chip is code-protected and reads as zeros: nothing kept; the command went on
    NotKept,       // no safety folder, or the files could not be written: the command did not run
    ReadFailed,    // the read was refused, stopped, or lost the writer: the command did not run
};

struct CSnapshotNotice {
    ESnapshotOutcome Outcome = ESnapshotOutcome::Kept;
    EGuardedCommand Command = EGuardedCommand::None;
    CSnapshotInfo Snapshot;                     // Kept: the snapshot
    std::string Folder;                         // where snapshots go
    EOutcome ReadOutcome = EOutcome::Completed; // ReadFailed: how the read ended
};

// Every call on the owner's thread.
class ISafetyListener {
public:
    virtual ~ISafetyListener() = default;
    // A calibration was read from a calibrated chip.
    virtual void OnCalibrationRead(const CCalibrationNotice& notice) = 0;
    // A snapshot was taken, or could not be.
    virtual void OnSnapshot(const CSnapshotNotice& notice) = 0;
    // ReadChipAside has ended: `chip` holds the whole chip when `completed`
    // (otherwise `outcome` says how the read ended). Valid during the call.
    virtual void OnChipReadAside(const CDeviceList& chip, bool completed, EOutcome outcome) {
        (void)chip;
        (void)completed;
        (void)outcome;
    }
};

enum class ECalibrationResult {
    Ok,
    NotReady,         // no writer, or an operation runs
    NotCalibrated,    // the device has no factory calibration
    DeviceIdMismatch, // the chip is not the selected device
    Refused,          // the word or bits fail the check (see Check)
    WordNotBlank,     // the chip holds another calibration word: it cannot be written over
    Mismatch,         // written, but the chip reads back something else
    LinkLost,         // the writer went during the exchange
};

struct CCalibrationRestore {
    ECalibrationResult Result = ECalibrationResult::Ok;
    ECalibrationCheck Check = ECalibrationCheck::Ok;
    CCalibration Before; // the chip's calibration before the write
    CCalibration After;  // and after it
};

class CSafetyNet final : public ICalibrationSink {
public:
    // All must outlive the net. The runner is the station's; its writer is
    // `writer`.
    CSafetyNet(CDeviceList& device, CWriter& writer, CRunner& runner, IStationFrontEnd& front);
    ~CSafetyNet() override;
    CSafetyNet(const CSafetyNet&) = delete;
    CSafetyNet& operator=(const CSafetyNet&) = delete;

    // --- settings ---
    // Where the vault and the snapshots live (DefaultSafetyFolder() for the
    // user's); empty turns the net's files off.
    void SetFolder(const std::string& folder) { m_folder = folder; }
    const std::string& Folder() const { return m_folder; }
    std::string SnapshotsFolder() const { return SnapshotFolder(m_folder); }
    std::string VaultFile() const { return m_folder.empty() ? std::string() : VaultPath(m_folder); }
    void SetListener(ISafetyListener* listener) { m_pListener = listener; }
    // Program and Erase take a snapshot first.
    void SetSnapshotBeforeWrite(bool on) { m_bSnapshotBeforeWrite = on; }
    bool SnapshotBeforeWrite() const { return m_bSnapshotBeforeWrite; }
    // The clock the files are stamped with (the local time unless a test says).
    void SetClock(std::function<CStamp()> clock) { m_clock = std::move(clock); }

    // --- commands ---
    // The runner's Program and Erase, after a snapshot when that option is
    // on. False when nothing started (no writer, something runs, the
    // snapshot's read was refused, or no safety folder for the snapshot).
    bool OnProgram();
    bool OnErase();
    // A snapshot alone.
    bool TakeSnapshot();
    // Reads the whole chip as a snapshot does, into the net's own images,
    // and gives it to the listener (OnChipReadAside) instead of keeping a
    // file: a chip to compare with the file (DiffImages) without touching
    // the station's images or displays. Needs no safety folder. False when
    // nothing started (no writer, something runs, the read was refused).
    bool ReadChipAside();
    // Cancel, Escape or the close box, as the runner's OnCancel: while the
    // snapshot's read runs it is the read that is asked to stop (the command
    // after it then does not run). True when the window may close.
    bool OnCancel();
    // The timer tick: the snapshot's read while it runs, then the runner.
    void OnTimer();
    bool SnapshotRunning() const { return m_bSnapshotRunning; }
    // A snapshot or a runner sequence is under way, or a worker is busy.
    bool IsRunning() const { return m_bSnapshotRunning || m_runner.IsRunning(); }

    // --- calibration, as short exchanges made at once on this thread ---
    // Reads the chip's calibration word and bits (after the device ID check
    // when the writer asks for it); the read feeds the vault as any other.
    ECalibrationResult ReadChipCalibration(CCalibration& read);
    // Writes a calibration back to a chip that lost it: checks the values,
    // reads the chip's calibration and configuration, refuses to write over
    // another calibration word, writes the word and the configuration with
    // the bits, and reads it back. An absent value keeps the chip's.
    CCalibrationRestore RestoreCalibration(std::optional<uint32_t> word, std::optional<uint32_t> bits);

    // ICalibrationSink: the writer's image holds a calibration just read.
    void OnChipCalibration(bool wordRead, bool bitsRead) override;

private:
    class CSnapshotFrontEnd;

    bool StartCommand(EGuardedCommand command);
    bool StartRead(EGuardedCommand command, bool aside);
    void FinishReadAside();
    bool RunCommand(EGuardedCommand command);
    void FinishSnapshot();
    void Tell(const CSnapshotNotice& notice);
    bool MayExchange() const;
    bool DeviceIdMatches();

    CDeviceList& m_device;
    CWriter& m_writer;
    CRunner& m_runner;
    IStationFrontEnd& m_front;
    ISafetyListener* m_pListener = nullptr;
    std::string m_folder;
    bool m_bSnapshotBeforeWrite = false;
    std::function<CStamp()> m_clock = LocalStampNow;

    bool m_bSnapshotRunning = false;
    bool m_bReadAside = false; // the running read is ReadChipAside's
    EGuardedCommand m_pending = EGuardedCommand::None;
    CDeviceList m_scratchDevice;
    CHexFile m_scratchFile;
    std::unique_ptr<CSnapshotFrontEnd> m_pSnapshotFront;
    // Last: it joins its worker before the scratch images go.
    std::unique_ptr<CRunner> m_pSnapshotRunner;
};
