#include "cli/WriterCommands.h"

#include "cli/Cli.h"
#include "writer/Writer.h"

#include <cstdio>
#include <ostream>

int CmdInfo(CCliContext& ctx, const CWriterOptions& writer) {
    CCliStation station(ctx);
    // The simulated chip is made for the selected device; a real writer needs no device.
    if (writer.Sim || !writer.SimChipFile.empty()) {
        if (!station.SelectDevice()) {
            return kExitBadInput;
        }
    }
    const int status = station.OpenWriter(writer);
    if (status != kExitOk) {
        return status;
    }
    const CWriter& w = station.Writer();
    char version[16];
    std::snprintf(version, sizeof version, "%08X", w.Version);
    ctx.out << "Writer          " << w.Banner << '\n';
    ctx.out << "Version code    " << version << '\n';
    ctx.out << "Clock           " << w.ClockMHz << " MHz\n";
    if (!station.Station().SaveSimulatedChip()) {
        ctx.Error("cannot save the simulated chip to '" + writer.SimChipFile + "'");
        return kExitBadInput;
    }
    return kExitOk;
}
