// The texts of the tools menu's message boxes: what the safety net, the
// preflight check, the diff and the connection doctor found, worded for the
// window. Long reports are cut to a number of lines a message box can show.
#pragma once

#include "device/ImageDiff.h"
#include "ops/ConnectionDoctor.h"
#include "ops/Preflight.h"
#include "ops/SafetyNet.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Lines a report shows before it is cut with a final "…".
constexpr size_t kReportLines = 30;

// Upper-case hex with at least `digits` digits.
std::string HexText(uint32_t value, int digits);
// The lines joined by "\n"; beyond `maxLines` the first maxLines - 1 and a
// last line "…".
std::string JoinReport(const std::vector<std::string>& lines, size_t maxLines = kReportLines);

// The preflight of the loaded file, one line a finding (its details indented
// below), or a line that all is well.
std::vector<std::string> PreflightReportLines(const CPreflightReport& report, const std::string& device,
                                              const std::string& path);
// Where the chip differs from the window's image; `keepCalibration`: the
// calibration was left out of the comparison (it is kept when writing).
std::vector<std::string> DiffReportLines(const CPicDevice& chip, const CPicDevice& image,
                                         const CImageDiff& diff, bool keepCalibration);
std::vector<std::string> DoctorReportLines(const CDoctorReport& report);
// A calibration read from the chip and the vault's recent entries.
std::vector<std::string> CalibrationReportLines(const std::string& device, const CCalibration& chip,
                                                const std::vector<CVaultEntry>& recent,
                                                const std::string& vaultPath);
// "2024-05-01 14:22:05  word 345C  bits 2000"
std::string VaultEntryLine(const CVaultEntry& entry);
// A snapshot that was not kept (empty for a kept one, which is said by nothing).
std::string SnapshotNoticeText(const CSnapshotNotice& notice);
// The warning for a chip whose calibration word reads blank.
std::string BlankCalibrationText(const CCalibrationNotice& notice);
// Why a read of the chip ended without the whole chip.
std::string ReadOutcomeText(EOutcome outcome);
// Why a calibration could not be read or written back.
std::string CalibrationResultText(ECalibrationResult result, ECalibrationCheck check);
// Why a snapshot cannot be written to the selected device.
std::string SnapshotCheckText(const CSnapshotInfo& snapshot, ESnapshotCheck check, const std::string& device);
