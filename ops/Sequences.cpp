// The user-level commands and the steps of their sequences.
//
// A step either starts one worker operation (the next step runs at the first
// tick after Busy has dropped), does its work at once (the next step runs at
// the next tick), or does nothing because its guard is false. A completing
// step ends the sequence before it shows anything, so the ticks that keep
// coming under a modal message find the runner idle.
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "ops/Runner.h"
#include "ops/Strings.h"
#include "writer/Writer.h"

#include <algorithm>

// ------------------------------------------------------------------- helpers

bool CRunner::CalibrationApplies() const {
    return !m_front.Options().m_bRewriteCalibration && m_device.CalFlag != 0;
}

bool CRunner::CalibrationReadIfApplies() {
    if (!CalibrationApplies()) {
        return true;
    }
    return StartOperation(EOperation::CalibrationRead);
}

void CRunner::CalibrationWriteIfApplies() {
    if (CalibrationApplies()) {
        (void)StartOperation(EOperation::CalibrationWrite);
    }
}

void CRunner::TakeCalibrationIntoImages() {
    // The chip's own calibration replaces the image's, so that it is neither
    // reported as a difference nor lost from the displayed image.
    m_device.TakeCalibration(m_writer);
    m_file.TakeCalibration(m_writer);
    m_front.RefreshProgramDump();
    m_front.RefreshConfigGrid(0);
}

bool CRunner::CheckVerifyResult() {
    if (m_writer.CompareImage(m_device) == 0) {
        return true;
    }
    COutcome outcome;
    outcome.Kind = EOutcome::VerifyDifference;
    outcome.VerifyFlags = m_writer.VerifyFlags;
    m_front.OnOutcome(outcome);
    m_front.ShowVerifyError(m_writer.VerifyFlags);
    return false;
}

bool CRunner::WriteProtection(const CRunnerOptions& options) {
    m_writer.CopyConfig(m_device);
    m_writer.ClearLinkFault();
    if (!m_writer.WriteConfig(true)) {
        return false;
    }
    if (!options.m_bCheckProtect) {
        return true;
    }
    if (!m_writer.ReadConfig()) {
        return false;
    }
    for (int w = 0; w < m_device.ConfigWordCount(); ++w) {
        if (((m_writer.Config[w] ^ m_device.Config[w]) & m_device.ConfigProtectMask[w]) != 0) {
            return false;
        }
    }
    return true;
}

void CRunner::EndSequence() {
    m_nSequence = SEQ_NONE;
    m_front.EnableControls(true);
}

void CRunner::Report(EOutcome kind) {
    COutcome outcome;
    outcome.Kind = kind;
    m_front.OnOutcome(outcome);
}

void CRunner::EndOnLinkFault() {
    EndSequence();
    EOutcome kind = EOutcome::TransferFailed;
    const char* message = kMsgTransferFailed;
    switch (m_writer.LinkFault()) {
    case ELinkFault::Lost:
        kind = EOutcome::WriterLost;
        message = kMsgWriterLost;
        break;
    case ELinkFault::NotAnswering:
        kind = EOutcome::WriterNotAnswering;
        message = kMsgWriterNotAnswering;
        break;
    case ELinkFault::TransferFailed:
    case ELinkFault::None: // an operation that failed without a record: say it failed
        break;
    }
    Report(kind);
    // Said once; the record starts afresh for whatever comes next.
    m_writer.ClearLinkFault();
    m_front.Show(message, EMsgIcon::Error, EMsgButtons::Ok);
}

// ------------------------------------------------------------------ commands

void CRunner::OnProgram() {
    if (!StartCommand()) {
        return;
    }
    m_writer.CopyProgram(m_device);
    m_writer.CopyEeprom(m_device);
    m_writer.CopyUserIds(m_device);
    m_writer.CopyConfig(m_device);
    (void)m_writer.TakeProgress();
    m_nStep = 0;
    // A refused calibration read (device ID mismatch) means no sequence.
    if (!CalibrationReadIfApplies()) {
        return;
    }
    m_nSequence = SEQ_PROGRAM;
}

void CRunner::OnRead() {
    if (!StartCommand()) {
        return;
    }
    m_nSequence = SEQ_READ_ALL;
    m_nStep = 0;
    (void)StartOperation(EOperation::ReadAll);
}

void CRunner::OnReadProgram() {
    if (!StartCommand()) {
        return;
    }
    m_nSequence = SEQ_READ_PROGRAM;
    m_nStep = 0;
    (void)StartOperation(EOperation::ReadProgram);
}

void CRunner::OnReadData() {
    if (m_writer.EepromSize == 0 || !StartCommand()) {
        return;
    }
    m_nSequence = SEQ_READ_DATA;
    m_nStep = 0;
    (void)StartOperation(EOperation::ReadData);
}

void CRunner::OnReadConfig() {
    if (!StartCommand()) {
        return;
    }
    m_nSequence = SEQ_READ_CONFIG;
    m_nStep = 0;
    (void)StartOperation(EOperation::ReadConfig);
}

void CRunner::OnVerify() {
    if (!StartCommand()) {
        return;
    }
    // The writer is not filled from the selected device: the compare is
    // between the selected device and what is read back.
    m_nSequence = SEQ_VERIFY;
    m_nStep = 0;
    (void)CalibrationReadIfApplies();
}

void CRunner::OnErase() {
    if (!StartCommand()) {
        return;
    }
    m_nSequence = SEQ_ERASE;
    m_nStep = 0;
    const int words = m_writer.ConfigWordCount();
    if (m_writer.CoreWidth == kCorePic18 || m_writer.CoreWidth == kCoreMidRange) {
        const uint32_t blank = m_writer.CoreWidth == kCorePic18 ? 0xFF : 0x3FFF;
        for (int w = 0; w < words; ++w) {
            m_writer.Config[w] = blank;
        }
        // The calibration write-back rewrites the user ID words with the
        // configuration; they must go back blank too, not as whatever image
        // the writer held last.
        std::fill(std::begin(m_writer.UserId), std::end(m_writer.UserId), 0xFFU);
    }
    // The chip's calibration word and bits land on top of the blank words.
    (void)CalibrationReadIfApplies();
}

// ----------------------------------------------------------------- sequences

bool CRunner::RunStep() {
    switch (m_nSequence) {
    case SEQ_PROGRAM:
        return ProgramStep(m_nStep);
    case SEQ_VERIFY:
        return VerifyStep(m_nStep);
    case SEQ_ERASE:
        return EraseStep(m_nStep);
    case SEQ_READ_ALL:
    case SEQ_READ_PROGRAM:
    case SEQ_READ_DATA:
    case SEQ_READ_CONFIG:
        return ReadCompletion(m_nStep);
    case SEQ_NONE:
        break;
    }
    return false;
}

bool CRunner::ProgramStep(int step) {
    switch (step) {
    case 0:
        (void)StartOperation(EOperation::Erase);
        return true;
    case 1:
        if (BeginOperation(kIdsWrite)) {
            // A reload carries the new image into the writer before the
            // worker starts, so the reloaded image is what gets written. It
            // would also replace the calibration read from the chip with the
            // file's; the chip's is put back, or it would be lost.
            const bool keepCalibration = CalibrationApplies();
            CPicDevice chipCalibration;
            if (keepCalibration) {
                chipCalibration.AssignFrom(m_writer);
            }
            const bool reloaded = m_pHexFileCheck != nullptr && m_pHexFileCheck->CheckHexFileBeforeWrite();
            if (reloaded && keepCalibration) {
                m_writer.TakeCalibration(chipCalibration);
            }
            // Step 0 has just erased the chip, which is what lets the write
            // leave blank areas alone.
            m_writer.SkipBlank = m_front.Options().m_bSkipBlank;
            StartWorker(EOperation::Write);
        }
        return true;
    case 2:
        CalibrationWriteIfApplies();
        return true;
    case 3:
        if (CalibrationApplies()) {
            // The writer still holds the calibration read before the erase.
            TakeCalibrationIntoImages();
        }
        (void)StartOperation(EOperation::VerifyRead);
        return true;
    case 4: {
        EndSequence();
        if (!CheckVerifyResult()) {
            return true;
        }
        const CRunnerOptions options = m_front.Options();
        if (!options.m_bDisProtect && m_device.IsProtected()) {
            // Protection goes on only after a clean compare of the
            // unprotected chip; a short exchange, made here on this thread.
            // Its failure leaves a chip that reads as programmed but may be
            // open to anyone, so it is a failure of the whole Program.
            if (!WriteProtection(options)) {
                Report(EOutcome::ProtectFailed);
                m_front.Show(kMsgProtectFailed, EMsgIcon::Error, EMsgButtons::Ok);
                return true;
            }
        }
        Report(EOutcome::Completed);
        if (options.m_bComplate) {
            m_front.Show(kMsgCompleted, EMsgIcon::Information, EMsgButtons::Ok);
        }
        return true;
    }
    default:
        return false;
    }
}

bool CRunner::VerifyStep(int step) {
    switch (step) {
    case 0:
        if (CalibrationApplies()) {
            TakeCalibrationIntoImages();
        }
        (void)StartOperation(EOperation::VerifyRead);
        return true;
    case 1:
        EndSequence();
        if (CheckVerifyResult()) {
            Report(EOutcome::Completed);
        }
        return true;
    default:
        return false;
    }
}

bool CRunner::EraseStep(int step) {
    switch (step) {
    case 0:
        (void)StartOperation(EOperation::Erase);
        return true;
    case 1:
        // Writes the calibration word, then the blank configuration words
        // with the chip's calibration bits.
        CalibrationWriteIfApplies();
        return true;
    case 2:
        EndSequence();
        Report(EOutcome::Completed);
        return true;
    default:
        return false;
    }
}

bool CRunner::ReadCompletion(int step) {
    if (step != 0) {
        return false;
    }
    const ESequence sequence = m_nSequence;
    EndSequence();
    const bool program = sequence == SEQ_READ_ALL || sequence == SEQ_READ_PROGRAM;
    const bool eeprom = sequence == SEQ_READ_ALL || sequence == SEQ_READ_DATA;
    const bool config = sequence == SEQ_READ_ALL || sequence == SEQ_READ_CONFIG;
    CPicDevice* const targets[] = {&m_device, &m_file};
    for (CPicDevice* target : targets) {
        if (program) {
            target->CopyProgram(m_writer);
        }
        if (eeprom) {
            target->CopyEeprom(m_writer);
        }
        if (config) {
            target->CopyUserIds(m_writer);
            target->CopyConfig(m_writer);
        }
    }
    // The image no longer stands for the file on disk: no reload question.
    m_file.ForgetHexFile();
    if (program) {
        m_front.RefreshProgramDump();
    }
    if (eeprom) {
        m_front.RefreshEepromDump();
    }
    if (config) {
        m_front.ShowDeviceId();
        m_front.RefreshUserId();
        m_front.RefreshConfigGrid(m_front.ConfigPage());
    }
    Report(EOutcome::Completed);
    return true;
}
