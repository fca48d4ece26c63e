#include "cli/Cli.h"

#include "cli/CliContext.h"
#include "cli/ShowCommands.h"

#include <CLI/CLI.hpp>
#include <ostream>

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app{"kvx3-cli: program, read, verify and erase PIC microcontrollers", "kvx3-cli"};
    app.require_subcommand(1);
    app.fallthrough();

    CCliOptions options;
    app.add_option("-d,--device", options.Device, "device type, as listed by 'devices'")
        ->default_val(std::string(kDefaultDeviceName));
    app.add_option("-l,--list", options.ListPath, "device list file (default: PicDeviceList3.txt beside the tool)");

    CLI::App* devices = app.add_subcommand("devices", "list the device types of the catalogue");

    std::string showFile;
    CLI::App* show = app.add_subcommand("show", "show the device's parameters, or a hex file loaded into it");
    show->add_option("FILE", showFile, "Intel HEX file");

    std::string convertIn;
    std::string convertOut;
    CLI::App* convert = app.add_subcommand("convert", "load a hex file by the device's address map and save it again");
    convert->add_option("IN", convertIn, "Intel HEX file to read")->required();
    convert->add_option("OUT", convertOut, "Intel HEX file to write")->required();

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
        err << "kvx3-cli: error: " << e.what() << "\n" << "Run 'kvx3-cli --help' for the commands.\n";
        return kExitBadInput;
    }

    CCliContext ctx(options, out, err);
    if (devices->parsed()) {
        return CmdDevices(ctx);
    }
    if (show->parsed()) {
        return CmdShow(ctx, showFile);
    }
    if (convert->parsed()) {
        return CmdConvert(ctx, convertIn, convertOut);
    }
    return kExitBadInput;
}
