// Runs kvx3-cli in this process and keeps what it printed.
#pragma once

#include "cli/Cli.h"

#include <sstream>
#include <string>
#include <vector>

struct CRun {
    int Status;
    std::string Out;
    std::string Err;
};

inline CRun RunTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}
