// The station's ear on the runner for the factory calibration: it stands
// between the runner and the station's front end, passes every call through
// unchanged, and notices when the writer's image holds a calibration just
// read from the chip, so that it can be kept in the vault and a lost one
// reported.
//
// The runner announces every worker operation by its status text when the
// operation starts (and before anything else happens to the writer's image),
// and ends every sequence with an outcome. So:
// - a Calibration read has ended, its result in the writer, when the next
//   operation's status text or the sequence's outcome comes, unless the
//   sequence was stopped or the writer went meanwhile;
// - a completed Read all or Read program sequence leaves the chip's program
//   memory (and for Read all, its configuration) in the writer.
// A read that lost the writer on the way is not trusted, even if the
// sequence later goes on.
#pragma once

#include "ops/Runner.h"
#include "ops/RunnerFrontEnd.h"

// Told, on the owner's thread, that the writer's image holds what the chip
// gave for its calibration word (wordRead) and its calibration bits
// (bitsRead).
class ICalibrationSink {
public:
    virtual ~ICalibrationSink() = default;
    virtual void OnChipCalibration(bool wordRead, bool bitsRead) = 0;
};

class CCalibrationWatch final : public IRunnerFrontEnd {
public:
    explicit CCalibrationWatch(IRunnerFrontEnd& front) : m_front(front) {}
    // The runner whose sequences are watched and where to tell; both must
    // outlive the watch's use. Until then the watch only passes calls on.
    void Attach(const CRunner& runner, ICalibrationSink& sink) {
        m_pRunner = &runner;
        m_pSink = &sink;
    }

    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override {
        return m_front.Show(text, icon, buttons);
    }
    void SetStatusText(int stringId) override;
    void SetWriterLabel(const std::string& text) override { m_front.SetWriterLabel(text); }
    void EnableControls(bool enable) override { m_front.EnableControls(enable); }
    void SetProgressRange(int lower, int upper) override { m_front.SetProgressRange(lower, upper); }
    void SetProgressPos(int position) override { m_front.SetProgressPos(position); }
    void ShowVerifyError(int32_t verifyFlags) override { m_front.ShowVerifyError(verifyFlags); }
    void OnOutcome(const COutcome& outcome) override;
    void RefreshProgramDump() override { m_front.RefreshProgramDump(); }
    void RefreshEepromDump() override { m_front.RefreshEepromDump(); }
    void RefreshUserId() override { m_front.RefreshUserId(); }
    void RefreshConfigGrid(int page) override { m_front.RefreshConfigGrid(page); }
    void ShowDeviceId() override { m_front.ShowDeviceId(); }
    int ConfigPage() const override { return m_front.ConfigPage(); }
    CRunnerOptions Options() const override { return m_front.Options(); }

private:
    IRunnerFrontEnd& m_front;
    const CRunner* m_pRunner = nullptr;
    ICalibrationSink* m_pSink = nullptr;
    bool m_bCalibrationReadRunning = false;
    // The read sequence whose operation is under way (SEQ_NONE: none, or
    // one that lost the writer).
    CRunner::ESequence m_readSequence = CRunner::SEQ_NONE;
};
