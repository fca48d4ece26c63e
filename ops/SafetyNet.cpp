// The safety net's snapshots and calibration vault. The snapshot's front end
// is in SnapshotFrontEnd.h.
#include "ops/SafetyNet.h"

#include "ops/SnapshotFrontEnd.h"
#include "ops/Station.h"
#include "writer/Writer.h"

namespace {

// Entries of the vault a calibration notice names.
constexpr size_t kRecentShown = 5;

} // namespace

CSafetyNet::CSafetyNet(CDeviceList& device, CWriter& writer, CRunner& runner, IStationFrontEnd& front)
    : m_device(device), m_writer(writer), m_runner(runner), m_front(front),
      m_pSnapshotFront(std::make_unique<CSnapshotFrontEnd>(front)),
      m_pSnapshotRunner(
          std::make_unique<CRunner>(m_scratchDevice, m_scratchFile, writer, *m_pSnapshotFront)) {}

CSafetyNet::~CSafetyNet() {
    // The snapshot's worker goes before its front end and images.
    m_pSnapshotRunner.reset();
}

// ---------------------------------------------------------------- commands

bool CSafetyNet::OnProgram() {
    return StartCommand(EGuardedCommand::Program);
}

bool CSafetyNet::OnErase() {
    return StartCommand(EGuardedCommand::Erase);
}

bool CSafetyNet::TakeSnapshot() {
    return StartCommand(EGuardedCommand::None);
}

bool CSafetyNet::ReadChipAside() {
    if (IsRunning() || !m_runner.Connected()) {
        return false;
    }
    return StartRead(EGuardedCommand::None, true);
}

bool CSafetyNet::RunCommand(EGuardedCommand command) {
    if (command == EGuardedCommand::Program) {
        m_runner.OnProgram();
    } else if (command == EGuardedCommand::Erase) {
        m_runner.OnErase();
    }
    return m_runner.IsRunning();
}

bool CSafetyNet::StartCommand(EGuardedCommand command) {
    if (IsRunning() || !m_runner.Connected()) {
        return false;
    }
    if (command != EGuardedCommand::None && !m_bSnapshotBeforeWrite) {
        return RunCommand(command);
    }
    if (m_folder.empty()) {
        CSnapshotNotice notice;
        notice.Outcome = ESnapshotOutcome::NotKept;
        notice.Command = command;
        Tell(notice);
        return false;
    }
    return StartRead(command, false);
}

bool CSafetyNet::StartRead(EGuardedCommand command, bool aside) {
    m_bReadAside = aside;
    m_scratchDevice.AssignFrom(m_device);
    m_scratchFile.AssignFrom(m_device);
    m_pSnapshotFront->Begin();
    m_pending = command;
    m_bSnapshotRunning = true;
    m_front.EnableControls(false);
    // The snapshot's runner sees the writer at its own first tick.
    m_pSnapshotRunner->OnTimer();
    m_pSnapshotRunner->OnRead();
    if (!m_pSnapshotRunner->IsRunning()) {
        // Refused (no writer, or the device ID check said no): said already.
        FinishSnapshot();
        return false;
    }
    return true;
}

bool CSafetyNet::OnCancel() {
    if (m_bSnapshotRunning) {
        return m_pSnapshotRunner->OnCancel();
    }
    return m_runner.OnCancel();
}

void CSafetyNet::OnTimer() {
    if (m_bSnapshotRunning) {
        m_pSnapshotRunner->OnTimer();
        if (!m_pSnapshotRunner->IsRunning()) {
            FinishSnapshot();
        }
    }
    m_runner.OnTimer();
}

void CSafetyNet::FinishReadAside() {
    const bool completed = m_pSnapshotFront->ReadCompleted();
    if (completed) {
        m_pSnapshotRunner->SetProgress(static_cast<uint32_t>(m_writer.GetProgress()));
        OnChipCalibration(true, true);
    }
    m_front.EnableControls(true);
    if (m_pListener != nullptr) {
        m_pListener->OnChipReadAside(m_scratchDevice, completed,
                                     completed ? EOutcome::Completed : m_pSnapshotFront->LastOutcome());
    }
}

void CSafetyNet::FinishSnapshot() {
    m_bSnapshotRunning = false;
    if (m_bReadAside) {
        m_bReadAside = false;
        FinishReadAside();
        return;
    }
    const EGuardedCommand command = m_pending;
    m_pending = EGuardedCommand::None;
    CSnapshotNotice notice;
    notice.Command = command;
    notice.Folder = SnapshotsFolder();
    if (!m_pSnapshotFront->ReadCompleted()) {
        notice.Outcome = ESnapshotOutcome::ReadFailed;
        notice.ReadOutcome = m_pSnapshotFront->LastOutcome();
        m_front.EnableControls(true);
        Tell(notice);
        return;
    }
    // The bar shows where the read's counter stopped, as after any operation.
    m_pSnapshotRunner->SetProgress(static_cast<uint32_t>(m_writer.GetProgress()));
    // The read is a calibration read like any other.
    OnChipCalibration(true, true);
    bool goOn = true;
    if (m_scratchDevice.IsProtected()) {
        notice.Outcome = ESnapshotOutcome::ProtectedChip;
    } else if (SaveSnapshot(notice.Folder, m_scratchFile, m_writer.Banner, m_clock(), notice.Snapshot) ==
               ESnapshotSave::Saved) {
        notice.Outcome = ESnapshotOutcome::Kept;
    } else {
        notice.Outcome = ESnapshotOutcome::NotKept;
        goOn = false;
    }
    Tell(notice);
    if (!goOn || command == EGuardedCommand::None || !RunCommand(command)) {
        m_front.EnableControls(true);
    }
}

void CSafetyNet::Tell(const CSnapshotNotice& notice) {
    if (m_pListener != nullptr) {
        m_pListener->OnSnapshot(notice);
    }
}

// ------------------------------------------------------------- calibration

void CSafetyNet::OnChipCalibration(bool wordRead, bool bitsRead) {
    if (!IsCalibrated(m_device)) {
        return;
    }
    CCalibrationNotice notice;
    notice.Device = m_device.DeviceName;
    const CCalibration places = CalibrationOf(m_device);
    notice.Read = CalibrationOf(m_writer);
    notice.Read.HasWord = notice.Read.HasWord && wordRead;
    notice.Read.HasBits = notice.Read.HasBits && bitsRead;
    notice.WordBlank = notice.Read.HasWord && IsBlankCalibrationWord(notice.Read.Word);
    if (!m_folder.empty()) {
        notice.VaultPath = VaultPath(m_folder);
        const bool complete = (wordRead || !places.HasWord) && (bitsRead || !places.HasBits);
        if (!complete) {
            notice.Vault = EVaultRecord::Partial;
        } else if (notice.WordBlank) {
            // A lost calibration is no calibration to keep: it would push the
            // good entries out of sight.
            notice.Vault = EVaultRecord::Blank;
        } else {
            CVaultEntry entry;
            entry.Time = m_clock();
            entry.Device = notice.Device;
            entry.HasWord = notice.Read.HasWord;
            entry.Word = notice.Read.Word;
            entry.HasBits = notice.Read.HasBits;
            entry.Bits = notice.Read.Bits;
            switch (AppendToVault(notice.VaultPath, entry)) {
            case EVaultAppend::Appended:
                notice.Vault = EVaultRecord::Appended;
                break;
            case EVaultAppend::Repeated:
                notice.Vault = EVaultRecord::Repeated;
                break;
            case EVaultAppend::Failed:
                notice.Vault = EVaultRecord::Failed;
                break;
            }
        }
        notice.Recent = RecentEntries(ReadVault(notice.VaultPath), notice.Device, kRecentShown);
    }
    if (m_pListener != nullptr) {
        m_pListener->OnCalibrationRead(notice);
    }
}
