// The commands that need no writer.
#pragma once

#include "cli/Cli.h"
#include "cli/CliContext.h"

#include <iosfwd>
#include <string>

int CmdDevices(CCliContext& ctx);
int CmdShow(CCliContext& ctx, const std::string& file);
int CmdConvert(CCliContext& ctx, const std::string& in, const std::string& out);

// The device's parameters, configuration words decoded by the legend, user
// ID and protection state.
void PrintDevice(const CPicDevice& device, std::ostream& out);
