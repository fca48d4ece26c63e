// The runner's core: operation start, the worker thread, progress and the
// timer tick. The steps of the sequences are in Sequences.cpp.
#include "ops/Runner.h"

#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "ops/Strings.h"
#include "writer/Writer.h"

#include <functional>
#include <system_error>

namespace {

struct COperationInfo {
    int StatusId;
    bool CountsProgram;
    bool CountsEeprom;
    WorkerProc Proc;
};

COperationInfo InfoOf(CRunner::EOperation operation) {
    using Op = CRunner::EOperation;
    switch (operation) {
    case Op::ReadAll:
        return {kIdsRead, true, true, ReadAllProc};
    case Op::ReadProgram:
        return {kIdsRead, true, false, ReadProgramProc};
    case Op::ReadData:
        return {kIdsRead, false, true, ReadDataProc};
    case Op::ReadConfig:
        // The bar is scaled as for a whole read, although a configuration
        // read counts only a few units.
        return {kIdsRead, true, true, ReadConfigProc};
    case Op::Erase:
        return {kIdsErase, true, false, EraseProc};
    case Op::Write:
        return {kIdsWrite, true, true, WriteProc};
    case Op::VerifyRead:
        return {kIdsVerify, true, true, ReadAllProc};
    case Op::CalibrationRead:
        return {kIdsCalibrationRead, true, false, ReadCalibrationProc};
    case Op::CalibrationWrite:
        return {kIdsCalibrationWrite, true, false, WriteCalibrationProc};
    }
    return {kIdsRead, false, false, ReadConfigProc};
}

} // namespace

int ProgressPosition(uint32_t counter, uint32_t total) {
    if (total == 0) {
        return counter == 0 ? 0 : 100;
    }
    // Wide arithmetic: a 32-bit product would wrap for large counters.
    const uint64_t position = uint64_t{counter} * 100 / total;
    return position >= 100 ? 100 : static_cast<int>(position);
}

CRunner::CRunner(CDeviceList& device, CHexFile& file, CWriter& writer, IRunnerFrontEnd& frontEnd,
                 IHexFileCheck* hexFileCheck)
    : m_device(device), m_file(file), m_writer(writer), m_front(frontEnd), m_pHexFileCheck(hexFileCheck) {}

CRunner::~CRunner() {
    if (m_worker.joinable()) {
        m_writer.AbortRequest.store(true);
        m_worker.join();
    }
}

bool CRunner::IsBusy() const {
    return m_writer.Busy.load();
}

bool CRunner::IsRunning() const {
    return m_nSequence != SEQ_NONE || IsBusy();
}

bool CRunner::MayStartCommand() const {
    return m_bConnected && !IsRunning();
}

bool CRunner::StartCommand() {
    if (!MayStartCommand()) {
        return false;
    }
    // What befell the link before this command (the exchanges that open the
    // writer, say) is no fault of its sequence.
    m_writer.ClearLinkFault();
    return true;
}

// ------------------------------------------------------------ operation start

bool CRunner::BeginOperation(int statusId) {
    m_writer.AbortRequest.store(false);
    m_writer.SocketPins = m_writer.PinCount;
    // From here the link records what befalls this operation; a writer
    // taken as not answering before gets another chance.
    m_writer.ClearLinkFault();
    if (!CheckDeviceId()) {
        return false;
    }
    m_front.EnableControls(false);
    m_front.SetStatusText(statusId);
    ResetProgress();
    m_writer.Busy.store(true);
    return true;
}

bool CRunner::CheckDeviceId() {
    if (!m_writer.DeviceIdCheck || m_device.DeviceId == 0xFFFF) {
        return true;
    }
    // Runs here, on the owner's thread, before any worker starts. An ID
    // that did not come whole (the writer went or fell silent) is no ID at
    // all, and no reason to speak of a mismatch.
    if (!m_writer.ReadDeviceId()) {
        EndOnLinkFault();
        return false;
    }
    if ((m_writer.DeviceId & m_writer.DeviceIdMask) == m_device.DeviceId) {
        return true;
    }
    m_nSequence = SEQ_NONE;
    m_front.EnableControls(true);
    COutcome outcome;
    outcome.Kind = EOutcome::DeviceIdMismatch;
    outcome.ChipDeviceId = m_writer.DeviceId;
    outcome.DeviceIdMask = m_writer.DeviceIdMask;
    outcome.ExpectedDeviceId = m_device.DeviceId;
    m_front.OnOutcome(outcome);
    m_front.Show(kMsgDeviceIdMismatch, EMsgIcon::Error, EMsgButtons::Ok);
    return false;
}

void CRunner::StartWorker(EOperation operation) {
    const COperationInfo info = InfoOf(operation);
    m_nProgressTotal =
        (info.CountsProgram ? m_writer.ProgramBytes : 0) + (info.CountsEeprom ? m_writer.EepromSize : 0);
    // A previous worker has cleared Busy before this start was allowed; its
    // thread may only be returning.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    try {
        m_worker = std::thread(info.Proc, std::ref(m_writer));
    } catch (const std::system_error&) {
        // No thread to be had: run the operation here rather than leave Busy
        // set with nobody to clear it.
        (void)info.Proc(m_writer);
    }
}

bool CRunner::StartOperation(EOperation operation) {
    if (!BeginOperation(InfoOf(operation).StatusId)) {
        return false;
    }
    StartWorker(operation);
    return true;
}

void CRunner::JoinFinishedWorker() {
    if (m_worker.joinable() && !m_writer.Busy.load()) {
        m_worker.join();
    }
}

// ------------------------------------------------------------------ progress

void CRunner::ResetProgress() {
    m_front.SetProgressRange(0, 100);
    m_front.SetProgressPos(0);
    (void)m_writer.TakeProgress();
}

void CRunner::SetProgress(uint32_t counter) {
    m_front.SetProgressPos(ProgressPosition(counter, m_nProgressTotal));
}

// ------------------------------------------------------------------ commands

bool CRunner::OnCancel() {
    if (m_writer.Busy.load()) {
        m_writer.AbortRequest.store(true);
        return false;
    }
    return true;
}

void CRunner::OnTimer() {
    const bool present = m_writer.Poll();
    if (!m_bConnected && present) {
        m_front.SetStatusText(kIdsConnect);
        m_front.SetWriterLabel(m_writer.Banner);
    } else if (m_bConnected && !present) {
        m_front.SetStatusText(kIdsNotConnected);
        m_front.SetWriterLabel(kWriterLabelDisconnected);
        if (m_nSequence != SEQ_NONE) {
            Report(EOutcome::LinkLost);
        }
    }
    m_bConnected = present;
    JoinFinishedWorker();

    // Without a writer the sequence is suspended where it stands.
    if (!present || m_nSequence == SEQ_NONE) {
        return;
    }
    if (m_writer.Busy.load()) {
        SetProgress(static_cast<uint32_t>(m_writer.GetProgress()));
        return;
    }
    if (m_writer.AbortRequest.load()) {
        // Abandon: no later step runs, so nothing read is copied, no compare
        // is made and nothing is said.
        m_nSequence = SEQ_NONE;
        m_front.EnableControls(true);
        m_writer.AbortRequest.store(false);
        Report(EOutcome::Stopped);
        return;
    }
    if (m_writer.LinkFault() != ELinkFault::None) {
        // The last operation did not go through: what it read is not the
        // chip, and what it wrote is unknown. Going on would copy the one or
        // build on the other (an erase cut short and then "completed").
        EndOnLinkFault();
        return;
    }
    if (!RunStep()) {
        // Past the last step: end the sequence rather than stall in it.
        EndSequence();
        return;
    }
    ++m_nStep;
}
