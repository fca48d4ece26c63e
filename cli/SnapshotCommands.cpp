// snapshots and rollback: what was kept of chips before they were
// overwritten, and programming one of them back.
#include "cli/Cli.h"
#include "cli/OperationCommands.h"
#include "cli/SafetyCommands.h"

#include <ostream>

namespace {

std::string SnapshotLine(const CSnapshotInfo& s) {
    std::string line =
        s.Name + "  " + (s.Device.empty() ? std::string("?") : s.Device) + "  " + StampText(s.Time);
    if (s.HasRecord) {
        line += "  checksum " + Hex(s.Checksum, 4) + (s.Banner.empty() ? "" : "  writer " + s.Banner);
    } else {
        line += "  (no record beside it)";
    }
    return line;
}

// Says why a snapshot cannot be programmed into the selected device.
void ReportCheck(CCliContext& ctx, const CSnapshotInfo& s, ESnapshotCheck check, const std::string& device) {
    switch (check) {
    case ESnapshotCheck::Ok:
        break;
    case ESnapshotCheck::Missing:
        ctx.Error("the snapshot's hex file is gone: " + s.Path);
        break;
    case ESnapshotCheck::OtherDevice:
        ctx.Error("snapshot " + s.Name + " was taken of " +
                  (s.Device.empty() ? "an unknown device" : s.Device) + ", not of " + device +
                  (s.Device.empty() ? "" : " (select it with -d " + s.Device + ")"));
        break;
    case ESnapshotCheck::Unreadable:
        ctx.Error("snapshot " + s.Name + " cannot be read as an image: " + s.Path);
        break;
    case ESnapshotCheck::Damaged:
        ctx.Error("snapshot " + s.Name + " does not give the checksum its record names (" +
                  Hex(s.Checksum, 4) + "): it has been changed or damaged");
        break;
    }
}

} // namespace

int CmdSnapshots(CCliContext& ctx) {
    const std::string folder = SnapshotFolder(DefaultSafetyFolder());
    if (folder.empty()) {
        ctx.Error("no folder for snapshots (neither XDG_DATA_HOME nor HOME is set)");
        return kExitBadInput;
    }
    const std::vector<CSnapshotInfo> snapshots = ListSnapshots(folder);
    if (snapshots.empty()) {
        ctx.out << "No snapshots in " << folder << '\n';
        return kExitOk;
    }
    ctx.out << "Snapshots in " << folder << ", newest first:\n";
    for (const CSnapshotInfo& s : snapshots) {
        ctx.out << "  " << SnapshotLine(s) << '\n';
    }
    return kExitOk;
}

int CmdRollback(CCliContext& ctx, const COperationOptions& options, const CSafetyCliOptions& safety,
                const std::string& snapshot) {
    CCliStation run(ctx);
    if (!run.SelectDevice()) {
        return kExitBadInput;
    }
    const std::string folder = SnapshotFolder(DefaultSafetyFolder());
    const std::string device = run.Device().DeviceName;
    CSnapshotInfo chosen;
    if (snapshot.empty() ? !NewestSnapshotOf(folder, device, chosen)
                         : !FindSnapshot(folder, snapshot, chosen)) {
        ctx.Error(snapshot.empty() ? "no snapshot of " + device + " in " + folder
                                   : "no snapshot '" + snapshot + "' in " + folder);
        return kExitBadInput;
    }
    CHexFile image;
    const ESnapshotCheck check = CheckSnapshot(chosen, run.Device(), image);
    if (check != ESnapshotCheck::Ok) {
        ReportCheck(ctx, chosen, check, device);
        return kExitBadInput;
    }
    ctx.err.Line("kvx3-cli: rolling back to " + SnapshotLine(chosen));
    run.ArmSafetyNet(safety.Snapshot);
    const int status = ProgramFlow(run, options, chosen.Path);
    if (status == kExitOk) {
        ctx.out << "Rolled " << device << " back to snapshot " << chosen.Name << '\n';
    }
    return run.Finish(status);
}
