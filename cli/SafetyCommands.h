// The safety net's own commands: preflight, diff, snapshots, rollback,
// calibration, doctor.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliStation.h"

#include <string>

int CmdPreflight(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile);
// With `second` empty: the chip against `first`; otherwise two files.
int CmdDiff(CCliContext& ctx, const COperationOptions& options, const std::string& first,
            const std::string& second);
int CmdSnapshots(CCliContext& ctx);
int CmdRollback(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety,
                const std::string& snapshot);
// restoreWord empty: show the chip's calibration and the vault's entries.
int CmdCalibration(CCliContext& ctx, const COperationOptions& options, const std::string& restoreWord,
                   const std::string& restoreBits);
int CmdDoctor(CCliContext& ctx, const CWriterOptions& writer);
