// The safety net's subcommands of kvx3-cli: their arguments and their
// dispatch, kept beside the tool's own list.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliStation.h"
#include "cli/SafetyCommands.h"

#include <string>

namespace CLI {
class App;
}

struct CSafetySubcommands {
    CLI::App* Preflight = nullptr;
    CLI::App* Diff = nullptr;
    CLI::App* Snapshots = nullptr;
    CLI::App* Rollback = nullptr;
    CLI::App* Calibration = nullptr;
    CLI::App* Doctor = nullptr;
    std::string PreflightFile;
    std::string DiffFirst;
    std::string DiffSecond;
    std::string RollbackName;
    std::string RestoreWord;
    std::string RestoreBits;
};

// Adds the subcommands to the tool; `commands` keeps their arguments and
// must live as long as the parse and the dispatch.
void AddSafetySubcommands(CLI::App& app, CSafetySubcommands& commands);
// Runs the one that was given and returns its exit status; -1 when none of
// them was given.
int RunSafetySubcommand(const CSafetySubcommands& commands, CCliContext& ctx,
                        const COperationOptions& options, const CSafetyCliOptions& safety);
