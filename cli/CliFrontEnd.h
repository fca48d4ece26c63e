// The command-line tool as the station's front end: status texts and the
// progress bar on the error stream, message boxes as lines, and a record of
// how the flow ended, taken from the runner's outcome calls.
#pragma once

#include "cli/CliContext.h"
#include "ops/Station.h"

#include <optional>
#include <string>

class CCliFrontEnd : public IStationFrontEnd {
public:
    explicit CCliFrontEnd(CCliContext& ctx) : m_ctx(ctx) {}

    // The station whose images the reports read; set once it exists.
    void Attach(const CStation& station) { m_pStation = &station; }

    CRunnerOptions RunnerOptions;

    // --- what happened ---
    bool VerifyFailed = false;
    int32_t VerifyFlags = 0;
    bool DeviceIdMismatch = false;
    bool Completed = false; // the flow ran to its end (with a clean compare)
    bool Stopped = false;
    // The writer went, fell silent or lost an exchange the flow needed.
    bool WriterFailed = false;
    // Program: verified, but the code protection could not be written.
    bool ProtectFailed = false;

    // --- IMessageBox ---
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override;

    // --- IRunnerFrontEnd ---
    void SetStatusText(int stringId) override;
    void SetWriterLabel(const std::string&) override {}
    void EnableControls(bool enable) override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;
    void ShowVerifyError(int32_t verifyFlags) override;
    void OnOutcome(const COutcome& outcome) override;
    void RefreshProgramDump() override {}
    void RefreshEepromDump() override {}
    void RefreshUserId() override {}
    void RefreshConfigGrid(int) override {}
    void ShowDeviceId() override {}
    int ConfigPage() const override { return 0; }
    CRunnerOptions Options() const override { return RunnerOptions; }

    // --- IStationFrontEnd ---
    void ShowSelectedDevice() override {}
    void RebuildRecentMenu() override {}

    // Ends a progress line that is still open.
    void FinishProgressLine();

private:
    void DrawBar(bool force);

    CCliContext& m_ctx;
    const CStation* m_pStation = nullptr;
    // What an outcome adds to the message box that comes with it.
    std::string m_boxDetail;
    std::string m_status;
    int m_lower = 0;
    int m_upper = 100;
    int m_position = 0;
    int m_lastDrawn = -1;
};
