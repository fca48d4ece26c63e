// program, read, verify, erase, detect and blank-check: the runner's flows
// driven from the command line, against a real or a simulated writer.
#include "cli/OperationCommands.h"

#include "cli/CliFrontEnd.h"
#include "cli/OperationRun.h"
#include "image/HexFile.h"
#include "ops/ImageCarry.h"
#include "ops/Runner.h"
#include "writer/Writer.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <thread>
#include <unistd.h>

int MismatchOrVerify(COperationRun& run) {
    if (run.Front().DeviceIdMismatch || run.Front().VerifyFailed) {
        return kExitMismatch;
    }
    return kExitOk;
}

int CmdProgram(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile) {
    COperationRun run(ctx, options);
    int status = run.Prepare(hexFile);
    if (status != kExitOk) {
        return run.Finish(status);
    }
    status = run.Run([](CRunner& r) { r.OnProgram(); });
    if (status == kExitOk) {
        status = MismatchOrVerify(run);
    }
    if (status == kExitOk && !run.Front().Completed) {
        ctx.Error("programming did not complete");
        status = kExitMismatch;
    }
    if (status == kExitOk) {
        const bool protectedImage = ctx.Device.IsProtected() && !options.NoProtect;
        ctx.out << "Programmed and verified " << ctx.Device.DeviceName << " from " << hexFile
                << (protectedImage ? "; code protection written last" : "") << '\n';
        ctx.out << "Checksum: " << Hex(ctx.Device.Checksum & 0xFFFF, 4) << '\n';
    }
    return run.Finish(status);
}

int CmdVerify(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile) {
    COperationRun run(ctx, options);
    int status = run.Prepare(hexFile);
    if (status != kExitOk) {
        return run.Finish(status);
    }
    status = run.Run([](CRunner& r) { r.OnVerify(); });
    if (status == kExitOk) {
        status = MismatchOrVerify(run);
    }
    if (status == kExitOk) {
        ctx.out << "Verified: the chip matches " << hexFile << '\n';
    }
    return run.Finish(status);
}

int CmdErase(CCliContext& ctx, const COperationOptions& options) {
    COperationRun run(ctx, options);
    int status = run.Prepare("");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    status = run.Run([](CRunner& r) { r.OnErase(); });
    if (status == kExitOk) {
        status = MismatchOrVerify(run);
    }
    if (status == kExitOk) {
        ctx.out << "Erased " << ctx.Device.DeviceName << '\n';
    }
    return run.Finish(status);
}

int CmdRead(CCliContext& ctx, const COperationOptions& options, const std::string& outFile,
            const std::string& region) {
    if (region != "all" && region != "program" && region != "eeprom" && region != "config") {
        ctx.Error("--region must be all, program, eeprom or config");
        return kExitBadInput;
    }
    COperationRun run(ctx, options);
    int status = run.Prepare("");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    if (region == "eeprom" && run.Writer().EepromSize == 0) {
        ctx.Error(ctx.Device.DeviceName + " has no data EEPROM");
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
        status = MismatchOrVerify(run);
    }
    if (status != kExitOk) {
        return run.Finish(status);
    }
    // As the save command does: program memory, EEPROM and configuration from
    // the selected device; the file image already holds the user ID read.
    CHexFile& file = run.File();
    file.CopyProgram(ctx.Device);
    file.CopyEeprom(ctx.Device);
    file.CopyConfig(ctx.Device);
    if (!file.SaveHex(outFile)) {
        ctx.Error("cannot write '" + outFile + "'");
        return run.Finish(kExitBadInput);
    }
    ctx.out << "Read " << region << " of " << ctx.Device.DeviceName << " into " << outFile << '\n';
    return run.Finish(kExitOk);
}
