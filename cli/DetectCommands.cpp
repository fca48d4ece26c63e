// detect and blank-check.
#include "cli/Cli.h"
#include "cli/OperationCommands.h"
#include "device/ImageCompare.h"

#include <ostream>

namespace {

const char* FamilyName(int core) {
    return core == kCorePic18 ? "PIC18" : "mid-range";
}

// The catalogue entries of the family whose ID and mask match the ID read.
std::vector<std::string> MatchingEntries(const std::string& listPath, int core, uint32_t id) {
    std::vector<std::string> matches;
    CDeviceList list;
    list.ListPath = listPath;
    CNameList names;
    if (!list.FillSelector(names)) {
        return matches;
    }
    for (const std::string& name : names.Names) {
        if (name.empty() || name.front() == '-') {
            continue;
        }
        CDeviceList entry;
        entry.ListPath = listPath;
        if (entry.LoadDevice(name) && entry.CoreWidth == core && entry.DeviceId != 0xFFFF &&
            (id & entry.DeviceIdMask) == entry.DeviceId) {
            matches.push_back(name);
        }
    }
    return matches;
}

} // namespace

int CmdDetect(CCliContext& ctx, const COperationOptions& options) {
    CCliStation run(ctx);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    const CDeviceList& device = run.Device();
    CWriter& writer = run.Writer();
    writer.SocketPins = writer.PinCount;
    // The selected device's family first; the other one when nothing matches.
    const int first = device.CoreWidth == kCorePic18 ? int{kCorePic18} : int{kCoreMidRange};
    const int second = first == kCorePic18 ? int{kCoreMidRange} : int{kCorePic18};
    for (int core : {first, second}) {
        writer.CoreWidth = core;
        writer.EntryMode = core == device.CoreWidth ? device.EntryMode : 0;
        if (!writer.ReadDeviceId()) {
            ctx.Error("the writer went away");
            return run.Finish(kExitNoWriter);
        }
        const uint32_t id = writer.DeviceId & 0xFFFF;
        if (id == 0xFFFF || id == 0) {
            ctx.out << "Device ID (" << FamilyName(core) << " commands): no answer\n";
            continue;
        }
        ctx.out << "Device ID (" << FamilyName(core) << " commands): " << Hex(id, 4) << '\n';
        const std::vector<std::string> matches = MatchingEntries(device.ListPath, core, id);
        if (matches.empty()) {
            ctx.out << "  no catalogue entry has this ID\n";
            continue;
        }
        for (const std::string& name : matches) {
            ctx.out << "  " << name << (name == matches.front() ? "  (would be chosen)" : "")
                    << (name == device.DeviceName ? "  (selected)" : "") << '\n';
        }
        return run.Finish(kExitOk);
    }
    ctx.out << "No catalogue entry matches the chip (socket wiring for " << device.PinCount
            << " pins; choose a device of the chip's package with -d)\n";
    return run.Finish(kExitMismatch);
}

int CmdBlankCheck(CCliContext& ctx, const COperationOptions& options) {
    CCliStation run(ctx);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    status = run.Run([](CRunner& r) { r.OnRead(); });
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status != kExitOk) {
        return run.Finish(status);
    }
    const CDeviceList& chip = run.Device(); // the read landed in the selected device
    const bool pic18 = chip.CoreWidth == kCorePic18;
    // The factory calibration word is not user data.
    const CBlankCounts counts = CountNonBlank(chip, true);
    int dirty = 0;

    if (counts.ProgramUsed != 0) {
        ++dirty;
        ctx.out << "Program memory  NOT blank: " << counts.ProgramUsed << (pic18 ? " bytes" : " words")
                << ", first at " << Hex(counts.FirstProgramUsed, 4) << '\n';
    } else {
        ctx.out << "Program memory  blank"
                << (counts.CalibrationWordSkipped ? " (calibration word not counted)" : "") << '\n';
    }

    if (chip.EepromData.empty()) {
        ctx.out << "EEPROM          none\n";
    } else if (counts.EepromUsed != 0) {
        ++dirty;
        ctx.out << "EEPROM          NOT blank: " << counts.EepromUsed << " bytes\n";
    } else {
        ctx.out << "EEPROM          blank\n";
    }

    ctx.out << "User ID         " << (counts.UserIdBlank ? "blank" : "NOT blank") << '\n';
    dirty += counts.UserIdBlank ? 0 : 1;

    // Erased configuration values differ from part to part; they are shown,
    // not judged.
    ctx.out << "Config words   ";
    for (int w = 0; w < chip.ConfigWordCount(); ++w) {
        ctx.out << ' ' << Hex(chip.Config[w], pic18 ? 2 : 4);
    }
    ctx.out << '\n';
    ctx.out << (dirty == 0 ? "The chip is blank.\n" : "The chip is not blank.\n");
    return run.Finish(dirty == 0 ? kExitOk : kExitMismatch);
}
