// program, read, verify and erase: the runner's flows driven from the
// command line, against a real or a simulated writer, through the station's
// safety net.
#include "cli/OperationCommands.h"

#include "cli/Cli.h"
#include "ops/Preflight.h"

#include <ostream>

int CmdProgram(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety,
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
    run.PreflightSaid = true;
    run.ArmSafetyNet(safety.Snapshot);
    return run.Finish(ProgramFlow(run, options, hexFile));
}

int ProgramFlow(CCliStation& run, const COperationOptions& options, const std::string& hexFile) {
    CCliContext& ctx = run.Context();
    int status = run.Prepare(options, hexFile);
    if (status != kExitOk) {
        return status;
    }
    CSafetyNet& net = run.Station().SafetyNet();
    status = run.Run([&net](CRunner&) { net.OnProgram(); });
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
    return status;
}

int CmdVerify(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile) {
    CCliStation run(ctx);
    run.ArmSafetyNet(false);
    int status = run.Prepare(options, hexFile);
    if (status != kExitOk) {
        return run.Finish(status);
    }
    status = run.Run([](CRunner& r) { r.OnVerify(); });
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status == kExitOk) {
        ctx.out << "Verified: the chip matches " << hexFile << '\n';
    }
    return run.Finish(status);
}

int CmdErase(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety) {
    CCliStation run(ctx);
    run.ArmSafetyNet(safety.Snapshot);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    CSafetyNet& net = run.Station().SafetyNet();
    status = run.Run([&net](CRunner&) { net.OnErase(); });
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status == kExitOk) {
        ctx.out << "Erased " << run.Device().DeviceName << '\n';
    }
    return run.Finish(status);
}

int CmdRead(CCliContext& ctx, const COperationOptions& options, const std::string& outFile,
            const std::string& region) {
    if (region != "all" && region != "program" && region != "eeprom" && region != "config") {
        ctx.Error("--region must be all, program, eeprom or config");
        return kExitBadInput;
    }
    CCliStation run(ctx);
    run.ArmSafetyNet(false);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    if (region == "eeprom" && run.Writer().EepromSize == 0) {
        ctx.Error(run.Device().DeviceName + " has no data EEPROM");
        return run.Finish(kExitBadInput);
    }
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
