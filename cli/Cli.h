// The command-line front end: parses the arguments and runs one command.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses of kvx3-cli.
enum : int {
    kExitOk = 0,
    kExitMismatch = 1, // verify difference, device ID mismatch, blank check found data
    kExitBadInput = 2, // bad arguments, unknown device, unreadable file
    kExitNoWriter = 3, // no writer found
    kExitBreach = 4,   // the simulated chip caught the host breaking its programming rules
};

// Runs kvx3-cli with the given arguments (without the program name); what
// the tool prints goes to out and err. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
