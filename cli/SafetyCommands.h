// The safety net's commands and the writing commands that go through it:
// preflight, diff, snapshots, rollback, calibration, doctor; and program,
// erase, read and verify with the preflight report, the snapshot option and
// the calibration vault.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliStation.h"

#include <string>

struct CSafetyCliOptions {
    bool Snapshot = false;       // program, erase, rollback: a snapshot of the chip first
    bool RefuseWarnings = false; // program: a preflight warning stops it
};

int CmdProgramSafely(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety,
                     const std::string& hexFile);
int CmdEraseSafely(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety);
int CmdReadSafely(CCliContext& ctx, const COperationOptions& options, const std::string& outFile,
                  const std::string& region);
int CmdVerifySafely(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile);

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
