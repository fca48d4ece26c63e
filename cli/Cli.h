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
    // No writer found, or the writer went away, stopped answering or lost an
    // exchange during the operation: the chip may be left half done.
    kExitNoWriter = 3,
    // Programmed and verified, but writing the code protection failed: the
    // chip may be unprotected.
    kExitUnprotected = 4,
    // The simulated chip caught the host breaking its programming rules.
    kExitBreach = 5,
};

// Runs kvx3-cli with the given arguments (without the program name); what
// the tool prints goes to out and err. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
