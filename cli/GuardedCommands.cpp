// program, erase, read and verify: the runner's flows with the safety net
// armed (the calibration vault always, a snapshot before program and erase
// when asked for), and the preflight report before every program.
#include "cli/Cli.h"
#include "cli/GuardedRun.h"
#include "cli/SafetyCommands.h"
#include "cli/SafetyPrinter.h"

#include <ostream>

namespace {

// The file into the station as opening it does, after the writer is open.
bool LoadChecked(CCliContext& ctx, CCliStation& run, const std::string& hexFile) {
    if (!run.Station().ApplyHexFile(hexFile)) {
        ctx.Error("cannot read '" + hexFile + "'");
        return false;
    }
    return true;
}

} // namespace

int CmdProgramSafely(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety,
                     const std::string& hexFile) {
    CCliStation run(ctx);
    if (!run.SelectDevice()) {
        return kExitBadInput;
    }
    // Everything about the file is said before the writer is touched.
    const CPreflightReport report = RunPreflight(run.Device(), hexFile, options.RewriteCalibration);
    PrintPreflight(report, ctx.err);
    if (report.IsBad()) {
        ctx.Error("nothing programmed: '" + hexFile + "' is no image to program");
        return kExitBadInput;
    }
    if (safety.RefuseWarnings && report.HasWarnings()) {
        ctx.Error("nothing programmed: the preflight check found something to confirm (--refuse-warnings)");
        return kExitMismatch;
    }
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    if (!LoadChecked(ctx, run, hexFile)) {
        return run.Finish(kExitBadInput);
    }
    CSafetyPrinter printer(ctx);
    ArmSafetyNet(run, printer, safety.Snapshot);
    status = RunGuarded(ctx, run, printer, EGuardedCommand::Program);
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status == kExitOk && !run.Front().Completed) {
        ctx.Error("programming did not complete");
        status = kExitMismatch;
    }
    if (status == kExitOk) {
        CDeviceList& device = run.Device();
        const bool protectedImage = device.IsProtected() && !options.NoProtect;
        ctx.out << "Programmed and verified " << device.DeviceName << " from " << hexFile
                << (protectedImage ? "; code protection written last" : "") << '\n';
        // The checksum of what was programmed (the chip's calibration taken
        // in, which the sum leaves out), not of the blank device selected.
        device.UpdateChecksum();
        ctx.out << "Checksum: " << Hex(device.Checksum & 0xFFFF, 4) << '\n';
    }
    return run.Finish(status);
}

int CmdEraseSafely(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety) {
    CCliStation run(ctx);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    CSafetyPrinter printer(ctx);
    ArmSafetyNet(run, printer, safety.Snapshot);
    status = RunGuarded(ctx, run, printer, EGuardedCommand::Erase);
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status == kExitOk) {
        ctx.out << "Erased " << run.Device().DeviceName << '\n';
    }
    return run.Finish(status);
}

int CmdReadSafely(CCliContext& ctx, const COperationOptions& options, const std::string& outFile,
                  const std::string& region) {
    if (region != "all" && region != "program" && region != "eeprom" && region != "config") {
        ctx.Error("--region must be all, program, eeprom or config");
        return kExitBadInput;
    }
    CCliStation run(ctx);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    if (region == "eeprom" && run.Writer().EepromSize == 0) {
        ctx.Error(run.Device().DeviceName + " has no data EEPROM");
        return run.Finish(kExitBadInput);
    }
    CSafetyPrinter printer(ctx);
    ArmSafetyNet(run, printer, false);
    status = run.Run([&region](CRunner& r) {
        if (region == "program") {
            r.OnReadProgram();
        } else if (region == "eeprom") {
            r.OnReadData();
        } else if (region == "config") {
            r.OnReadConfig();
        } else {
            r.OnRead();
        }
    });
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status != kExitOk) {
        return run.Finish(status);
    }
    // As the save command does: program memory, EEPROM and configuration from
    // the selected device; the file image already holds the user ID read.
    if (!run.Station().SaveHexFile(outFile)) {
        ctx.Error("cannot write '" + outFile + "'");
        return run.Finish(kExitBadInput);
    }
    ctx.out << "Read " << region << " of " << run.Device().DeviceName << " into " << outFile << '\n';
    return run.Finish(kExitOk);
}

int CmdVerifySafely(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile) {
    CCliStation run(ctx);
    int status = run.Prepare(options, hexFile);
    if (status != kExitOk) {
        return run.Finish(status);
    }
    CSafetyPrinter printer(ctx);
    ArmSafetyNet(run, printer, false);
    status = run.Run([](CRunner& r) { r.OnVerify(); });
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status == kExitOk) {
        ctx.out << "Verified: the chip matches " << hexFile << '\n';
    }
    return run.Finish(status);
}
