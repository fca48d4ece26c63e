// The commands that run the runner's flows against a writer, each with the
// station's safety net armed: the calibration vault always, a snapshot
// before program and erase when asked for, and the preflight report before
// every program.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliStation.h"

#include <string>

// The preflight report on the error stream, then the flow. A file that is
// no image to program (unreadable, no data record) is refused with
// kExitBadInput, and with RefuseWarnings any warning with kExitMismatch,
// before the writer is touched.
int CmdProgram(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety,
               const std::string& hexFile);
// What program does on a station of the caller's (which arms its safety net
// as it likes, and then calls Finish): prepare, run the flow through the
// net, say what came of it. Returns the exit status.
int ProgramFlow(CCliStation& run, const COperationOptions& options, const std::string& hexFile);
int CmdVerify(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile);
int CmdErase(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety);
// region: all, program, eeprom or config.
int CmdRead(CCliContext& ctx, const COperationOptions& options, const std::string& outFile,
            const std::string& region);
int CmdDetect(CCliContext& ctx, const COperationOptions& options);
int CmdBlankCheck(CCliContext& ctx, const COperationOptions& options);
