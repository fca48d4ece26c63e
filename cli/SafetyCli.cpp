#include "cli/SafetyCli.h"

#include <CLI/CLI.hpp>

void AddSafetySubcommands(CLI::App& app, CSafetySubcommands& c) {
    c.Preflight = app.add_subcommand("preflight", "check a hex file for the device before it is programmed");
    c.Preflight->add_option("FILE", c.PreflightFile, "Intel HEX file")->required();

    c.Diff = app.add_subcommand("diff",
                                "where the chip differs from a hex file, or two hex files from each other");
    c.Diff->add_option("FILE", c.DiffFirst, "Intel HEX file (compared with the chip when it is the only one)")
        ->required();
    c.Diff->add_option("OTHER", c.DiffSecond, "a second Intel HEX file");

    c.Snapshots = app.add_subcommand("snapshots", "list the snapshots kept before writes");
    c.Rollback =
        app.add_subcommand("rollback", "program a snapshot back (the device's newest when none is named)");
    c.Rollback->add_option("SNAPSHOT", c.RollbackName,
                           "snapshot name as listed, or the path of its hex file");

    c.Calibration = app.add_subcommand(
        "calibration", "show the chip's factory calibration and the vault's entries, or write one back");
    c.Calibration->add_option("--restore", c.RestoreWord,
                              "calibration word to write back (hex, a RETLW 34xx)");
    c.Calibration->add_option("--bits", c.RestoreBits,
                              "calibration bits to write back with it (hex, under their mask)");

    c.Doctor = app.add_subcommand("doctor", "say what stands between this user and the writer");
}

int RunSafetySubcommand(const CSafetySubcommands& c, CCliContext& ctx, const COperationOptions& options,
                        const CSafetyCliOptions& safety) {
    if (c.Preflight->parsed()) {
        return CmdPreflight(ctx, options, c.PreflightFile);
    }
    if (c.Diff->parsed()) {
        return CmdDiff(ctx, options, c.DiffFirst, c.DiffSecond);
    }
    if (c.Snapshots->parsed()) {
        return CmdSnapshots(ctx);
    }
    if (c.Rollback->parsed()) {
        return CmdRollback(ctx, options, safety, c.RollbackName);
    }
    if (c.Calibration->parsed()) {
        return CmdCalibration(ctx, options, c.RestoreWord, c.RestoreBits);
    }
    if (c.Doctor->parsed()) {
        return CmdDoctor(ctx, options.Writer);
    }
    return -1;
}
