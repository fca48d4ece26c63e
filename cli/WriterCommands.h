// The commands that talk to a writer.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliStation.h"

int CmdInfo(CCliContext& ctx, const CWriterOptions& writer);
