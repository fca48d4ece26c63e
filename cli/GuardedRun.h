// Runs Program or Erase through the station's safety net from the command
// line: the snapshot's read (when one is taken) ticked to its end, then the
// command's own sequence.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliStation.h"
#include "cli/SafetyPrinter.h"

// kExitOk when the command's sequence ran to its end (its outcome is in the
// front end); otherwise the exit status for what stopped it: no snapshot
// could be kept (kExitBadInput), the chip is not the device
// (kExitMismatch), the writer went (kExitNoWriter).
int RunGuarded(CCliContext& ctx, CCliStation& run, CSafetyPrinter& printer, EGuardedCommand command);
