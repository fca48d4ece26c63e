#include "cli/WriterCommands.h"

#include "cli/Cli.h"
#include "writer/Writer.h"

#include <cstdio>
#include <ostream>

int CmdInfo(CCliContext& ctx, const CWriterOptions& writer) {
    // The simulated chip is made for the selected device; a real writer needs no device.
    if (writer.Sim || !writer.SimChipFile.empty()) {
        if (!ctx.LoadSelectedDevice()) {
            return kExitBadInput;
        }
    }
    CWriterSession session(ctx, writer);
    const int status = session.Open();
    if (status != kExitOk) {
        return status;
    }
    CWriter& w = session.Writer();
    char version[16];
    std::snprintf(version, sizeof version, "%08X", w.Version);
    ctx.out << "Writer          " << w.Banner << '\n';
    ctx.out << "Version code    " << version << '\n';
    ctx.out << "Clock           " << w.ClockMHz << " MHz\n";
    return session.SaveChip() ? kExitOk : kExitBadInput;
}
