#include "cli/Cli.h"

#include "cli/CliContext.h"
#include "cli/OperationCommands.h"
#include "cli/SafetyCli.h"
#include "cli/SafetyCommands.h"
#include "cli/ShowCommands.h"
#include "cli/WriterCommands.h"
#include "platform/Platform.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <ostream>

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app{"kvx3-cli: program, read, verify and erase PIC microcontrollers", "kvx3-cli"};
    // A path such as /tmp/a.hex is a file on every system, never an option.
    // Set before the subcommands are added, which take it over.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    app.fallthrough();
    app.footer(
        "Exit status: 0 done; 1 verify difference, device ID mismatch or data found by blank-check; "
        "2 bad arguments or input (nothing sent to the chip); 3 no writer, or the writer went away, "
        "stopped answering or lost an exchange (the chip may be half done); 4 programmed and verified, "
        "but the code protection could not be written (the chip may be unprotected); 5 (simulated "
        "writer) the simulated chip caught a breach of its programming rules.");

    CCliOptions options;
    app.add_option("-d,--device", options.Device, "device type, as listed by 'devices'")
        ->default_val(std::string(kDefaultDeviceName));
    app.add_option("-l,--list", options.ListPath,
                   "device list file (default: PicDeviceList3.txt beside the tool)");

    COperationOptions operation;
    CWriterOptions& writer = operation.Writer;
    app.add_flag("--sim", writer.Sim,
                 "use the simulated writer, with a blank chip of the selected device type");
    app.add_option("--sim-chip", writer.SimChipFile,
                   "keep the simulated chip in FILE between runs (created blank when absent); implies --sim");
    app.add_flag("--strict-timing", writer.StrictTiming,
                 "the simulated chip demands the maximum programming and erase times");
    app.add_flag("--trace", writer.Trace,
                 "print every packet written and every answer read, in hex, on stderr");
    app.add_option("--sim-fault", writer.SimFaults,
                   "a fault of the simulated writer or chip (repeatable; implies --sim): unplug-after=N, "
                   "mute-after=N, late-answer-at=N, double-answer-at=N, short-answer-at=N, empty-answer-at=N "
                   "(N counts packets from 1; opening sends two), stuck-cell=ADDR (program memory, hex), "
                   "no-chip, other-id=ID (hex)")
        ->type_name("SPEC");

    app.add_flag("--no-protect", operation.NoProtect, "program: never write the image's code protection");
    app.add_flag("--no-devid-check", operation.NoDeviceIdCheck, "do not compare the chip's device ID first");
    app.add_flag("--rewrite-calibration", operation.RewriteCalibration,
                 "program the image's calibration word and bits instead of keeping the chip's");
    app.add_flag("--sum-id", operation.SumId, "put the image's checksum into the user ID");
    app.add_flag("--full-write", operation.FullWrite,
                 "program: write every program row and EEPROM byte, blank ones too");
    CSafetyCliOptions safety;
    app.add_flag("--snapshot", safety.Snapshot,
                 "program, erase, rollback: first read the whole chip and keep it as a snapshot");
    app.add_flag("--refuse-warnings", safety.RefuseWarnings,
                 "program: stop (exit 1) when the preflight check finds anything to confirm");

    CLI::App* devices = app.add_subcommand("devices", "list the device types of the catalogue");

    std::string showFile;
    CLI::App* show = app.add_subcommand("show", "show the device's parameters, or a hex file loaded into it");
    show->add_option("FILE", showFile, "Intel HEX file");

    std::string convertIn;
    std::string convertOut;
    CLI::App* convert =
        app.add_subcommand("convert", "load a hex file by the device's address map and save it again");
    convert->add_option("IN", convertIn, "Intel HEX file to read")->required();
    convert->add_option("OUT", convertOut, "Intel HEX file to write")->required();

    CLI::App* info = app.add_subcommand("info", "open the writer and print its identification");

    std::string programFile;
    CLI::App* program =
        app.add_subcommand("program", "erase, write, verify (and protect) the chip from a hex file");
    program->add_option("FILE", programFile, "Intel HEX file")->required();

    std::string readFile;
    std::string region = "all";
    CLI::App* read = app.add_subcommand("read", "read the chip and save it as a hex file");
    read->add_option("OUT", readFile, "Intel HEX file to write")->required();
    read->add_option("--region", region, "all, program, eeprom or config")
        ->check(CLI::IsMember({"all", "program", "eeprom", "config"}));

    std::string verifyFile;
    CLI::App* verify = app.add_subcommand("verify", "compare the chip with a hex file");
    verify->add_option("FILE", verifyFile, "Intel HEX file")->required();

    CLI::App* erase = app.add_subcommand("erase", "erase the chip (its calibration is kept)");
    CLI::App* detect =
        app.add_subcommand("detect", "read the chip's device ID and list the entries it matches");
    CLI::App* blank =
        app.add_subcommand("blank-check", "read the chip and report which regions are not blank");

    CSafetySubcommands safetyCommands;
    AddSafetySubcommands(app, safetyCommands);

    // CLI11 wants argv order with the program name last-to-first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        err << "kvx3-cli: error: " << e.what() << "\n"
            << "Run 'kvx3-cli --help' for the commands.\n";
        return kExitBadInput;
    }

    // The bar is redrawn in place only on the process's own terminal; a
    // stream of a caller's choosing gets whole lines.
    const bool errIsTerminal = &err == &std::cerr && StderrIsTerminal();
    CCliContext ctx(options, out, err, errIsTerminal);
    if (devices->parsed()) {
        return CmdDevices(ctx);
    }
    if (show->parsed()) {
        return CmdShow(ctx, showFile);
    }
    if (info->parsed()) {
        return CmdInfo(ctx, writer);
    }
    if (program->parsed()) {
        return CmdProgram(ctx, operation, safety, programFile);
    }
    if (read->parsed()) {
        return CmdRead(ctx, operation, readFile, region);
    }
    if (verify->parsed()) {
        return CmdVerify(ctx, operation, verifyFile);
    }
    if (erase->parsed()) {
        return CmdErase(ctx, operation, safety);
    }
    if (detect->parsed()) {
        return CmdDetect(ctx, operation);
    }
    if (blank->parsed()) {
        return CmdBlankCheck(ctx, operation);
    }
    if (convert->parsed()) {
        return CmdConvert(ctx, convertIn, convertOut);
    }
    const int safetyStatus = RunSafetySubcommand(safetyCommands, ctx, operation, safety);
    if (safetyStatus >= 0) {
        return safetyStatus;
    }
    return kExitBadInput;
}
