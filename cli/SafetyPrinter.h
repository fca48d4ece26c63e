// How the tool says what the safety net finds: the calibration notices and
// snapshots as lines on the error stream, and the preflight report.
#pragma once

#include "cli/CliContext.h"
#include "ops/Preflight.h"
#include "ops/SafetyNet.h"

#include <iosfwd>
#include <optional>
#include <string>

class CSafetyPrinter final : public ISafetyListener {
public:
    explicit CSafetyPrinter(CCliContext& ctx) : m_ctx(ctx) {}

    // Quiet: calibration notices are kept (Last) but not printed, for a
    // command that shows the calibration itself.
    bool QuietCalibration = false;
    std::optional<CCalibrationNotice> LastCalibration;
    std::optional<CSnapshotNotice> LastSnapshot;

    void OnCalibrationRead(const CCalibrationNotice& notice) override;
    void OnSnapshot(const CSnapshotNotice& notice) override;

private:
    CCliContext& m_ctx;
    bool m_bWarnedBlank = false;
};

// The vault's entries as the tool shows them: "2024-05-01 14:22:05  word 345C  bits 2000".
std::string VaultEntryText(const CVaultEntry& entry);
// "kvx3-cli -d NAME calibration --restore WORD --bits BITS" for the entry.
std::string RestoreCommand(const std::string& device, const CVaultEntry& entry);

// Each finding as "warning: ...", "note: ..." or "error: ..." with its details
// indented below; `prefix` goes before every first line.
void PrintPreflight(const CPreflightReport& report, const std::string& prefix, std::ostream& out);
// The same on the error stream, before a program.
void PrintPreflight(const CPreflightReport& report, CErrorLines& err);
