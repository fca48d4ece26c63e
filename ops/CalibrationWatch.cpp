#include "ops/CalibrationWatch.h"

#include "ops/Strings.h"

void CCalibrationWatch::SetStatusText(int stringId) {
    if (stringId == kIdsNotConnected) {
        m_bCalibrationReadRunning = false;
        m_readSequence = CRunner::SEQ_NONE;
    } else if (m_bCalibrationReadRunning) {
        // The next operation starts: the calibration read has ended.
        m_bCalibrationReadRunning = false;
        if (m_pSink != nullptr) {
            m_pSink->OnChipCalibration(true, true);
        }
    }
    if (stringId == kIdsCalibrationRead) {
        m_bCalibrationReadRunning = true;
    } else if (stringId == kIdsRead && m_pRunner != nullptr) {
        m_readSequence = m_pRunner->Sequence();
    }
    m_front.SetStatusText(stringId);
}

void CCalibrationWatch::OnOutcome(const COutcome& outcome) {
    const bool trusted = outcome.Kind != EOutcome::Stopped && outcome.Kind != EOutcome::LinkLost;
    if (m_bCalibrationReadRunning && trusted && m_pSink != nullptr) {
        m_pSink->OnChipCalibration(true, true);
    }
    m_bCalibrationReadRunning = false;
    if (outcome.Kind == EOutcome::Completed && m_pSink != nullptr) {
        if (m_readSequence == CRunner::SEQ_READ_ALL) {
            m_pSink->OnChipCalibration(true, true);
        } else if (m_readSequence == CRunner::SEQ_READ_PROGRAM) {
            m_pSink->OnChipCalibration(true, false);
        }
    }
    // After a lost writer the read goes on once it is back, but what it gives
    // is not to be trusted: it is no longer watched.
    m_readSequence = CRunner::SEQ_NONE;
    m_front.OnOutcome(outcome);
}
