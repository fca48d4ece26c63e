// The commands that run the runner's flows against a writer.
#pragma once

#include "cli/CliContext.h"
#include "cli/WriterSession.h"

#include <string>

struct COperationOptions {
    CWriterOptions Writer;
    bool NoProtect = false;          // never write the code protection
    bool NoDeviceIdCheck = false;    // do not compare the chip's device ID first
    bool RewriteCalibration = false; // program the image's calibration instead of keeping the chip's
    bool SumId = false;              // the user ID from the image checksum
};

int CmdProgram(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile);
int CmdVerify(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile);
int CmdErase(CCliContext& ctx, const COperationOptions& options);
// region: all, program, eeprom or config.
int CmdRead(CCliContext& ctx, const COperationOptions& options, const std::string& outFile,
            const std::string& region);
int CmdDetect(CCliContext& ctx, const COperationOptions& options);
int CmdBlankCheck(CCliContext& ctx, const COperationOptions& options);
