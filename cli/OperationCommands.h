// The commands that run the runner's flows against a writer.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliStation.h"

#include <string>

int CmdProgram(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile);
// What program does on a station of the caller's (which then calls Finish):
// prepare, run the flow, say what came of it. Returns the exit status.
int ProgramFlow(CCliStation& run, const COperationOptions& options, const std::string& hexFile);
int CmdVerify(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile);
int CmdErase(CCliContext& ctx, const COperationOptions& options);
// region: all, program, eeprom or config.
int CmdRead(CCliContext& ctx, const COperationOptions& options, const std::string& outFile,
            const std::string& region);
int CmdDetect(CCliContext& ctx, const COperationOptions& options);
int CmdBlankCheck(CCliContext& ctx, const COperationOptions& options);
