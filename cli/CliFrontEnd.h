// The command-line tool as the runner's front end: status texts and the
// progress bar on the error stream, message boxes as lines, and a record of
// what the flows reported (verify difference, device ID mismatch, success).
#pragma once

#include "cli/CliContext.h"
#include "ops/RunnerFrontEnd.h"

#include <chrono>
#include <iosfwd>
#include <string>

class CWriter;

class CCliFrontEnd : public IRunnerFrontEnd {
public:
    CCliFrontEnd(CCliContext& ctx, CWriter& writer, bool progressIsTerminal);

    CRunnerOptions RunnerOptions;

    // --- what happened ---
    bool VerifyFailed = false;
    int32_t VerifyFlags = 0;
    bool DeviceIdMismatch = false;
    bool Completed = false; // the Program flow said it ended normally
    bool HexReloaded = false;

    // --- IMessageBox ---
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override;

    // --- IRunnerFrontEnd ---
    void SetStatusText(int stringId) override;
    void SetWriterLabel(const std::string& text) override;
    void EnableControls(bool enable) override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;
    void ShowVerifyError(int32_t verifyFlags) override;
    bool CheckHexFileBeforeWrite() override;
    void RefreshProgramDump() override {}
    void RefreshEepromDump() override {}
    void RefreshUserId() override {}
    void RefreshConfigGrid(int) override {}
    void ShowDeviceId() override {}
    int ConfigPage() const override { return 0; }
    CRunnerOptions Options() const override { return RunnerOptions; }

    // Ends a progress line that is still open.
    void FinishProgressLine();

private:
    void DrawBar(bool force);

    CCliContext& m_ctx;
    CWriter& m_writer;
    bool m_terminal;
    std::string m_status;
    int m_lower = 0;
    int m_upper = 100;
    int m_position = 0;
    int m_lastDrawn = -1;
    bool m_lineOpen = false;
};
