// The commands that talk to a writer.
#pragma once

#include "cli/CliContext.h"
#include "cli/WriterSession.h"

int CmdInfo(CCliContext& ctx, const CWriterOptions& writer);
