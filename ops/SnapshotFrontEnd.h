// The front end of the runner that reads a chip for a snapshot: it passes on
// to the station's front end what the user should see of the read (its
// status text, progress, the device ID message, a stop), keeps the rest (the
// displays, the connection texts the station's own runner gives, the
// completion) to itself, and remembers how the read ended.
#pragma once

#include "ops/RunnerFrontEnd.h"
#include "ops/SafetyNet.h"
#include "ops/Station.h"
#include "ops/Strings.h"

class CSafetyNet::CSnapshotFrontEnd final : public IRunnerFrontEnd {
public:
    explicit CSnapshotFrontEnd(IStationFrontEnd& front) : m_front(front) {}

    // A new read starts.
    void Begin() {
        m_bEnded = false;
        m_bWriterLost = false;
        m_last = EOutcome::Stopped;
    }
    // The read ran to its end without losing the writer on the way.
    bool ReadCompleted() const { return m_bEnded && m_last == EOutcome::Completed && !m_bWriterLost; }
    EOutcome LastOutcome() const { return m_bWriterLost ? EOutcome::LinkLost : m_last; }

    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override {
        return m_front.Show(text, icon, buttons);
    }
    void SetStatusText(int stringId) override {
        if (stringId == kIdsNotConnected) {
            m_bWriterLost = true;
        } else if (stringId == kIdsRead) {
            m_front.SetStatusText(stringId);
        }
    }
    void SetWriterLabel(const std::string&) override {}
    // Controls come back when the net is done with the command, not between
    // the snapshot and the command.
    void EnableControls(bool enable) override {
        if (!enable) {
            m_front.EnableControls(false);
        }
    }
    void SetProgressRange(int lower, int upper) override { m_front.SetProgressRange(lower, upper); }
    void SetProgressPos(int position) override { m_front.SetProgressPos(position); }
    void ShowVerifyError(int32_t verifyFlags) override { m_front.ShowVerifyError(verifyFlags); }
    void OnOutcome(const COutcome& outcome) override {
        m_bEnded = outcome.Kind != EOutcome::LinkLost;
        m_last = outcome.Kind;
        m_bWriterLost = m_bWriterLost || outcome.Kind == EOutcome::LinkLost;
        // The completion of the read is not the command's.
        if (outcome.Kind != EOutcome::Completed) {
            m_front.OnOutcome(outcome);
        }
    }
    void RefreshProgramDump() override {}
    void RefreshEepromDump() override {}
    void RefreshUserId() override {}
    void RefreshConfigGrid(int) override {}
    void ShowDeviceId() override {}
    int ConfigPage() const override { return 0; }
    CRunnerOptions Options() const override { return m_front.Options(); }

private:
    IStationFrontEnd& m_front;
    bool m_bEnded = false;
    bool m_bWriterLost = false;
    EOutcome m_last = EOutcome::Stopped;
};
