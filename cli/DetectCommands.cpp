// detect and blank-check.
#include "cli/OperationRun.h"

#include <cstdio>

namespace {

const char* FamilyName(int core) {
    return core == kCorePic18 ? "PIC18" : "mid-range";
}

// The catalogue entries of the family whose ID and mask match the ID read.
std::vector<std::string> MatchingEntries(CCliContext& ctx, int core, uint32_t id) {
    std::vector<std::string> matches;
    CDeviceList list;
    list.ListPath = ctx.Device.ListPath;
    CNameList names;
    if (!list.FillSelector(names)) {
        return matches;
    }
    for (const std::string& name : names.Names) {
        if (name.empty() || name.front() == '-') {
            continue;
        }
        CDeviceList entry;
        entry.ListPath = ctx.Device.ListPath;
        if (entry.LoadDevice(name) && entry.CoreWidth == core && entry.DeviceId != 0xFFFF &&
            (id & entry.DeviceIdMask) == entry.DeviceId) {
            matches.push_back(name);
        }
    }
    return matches;
}

} // namespace

int CmdDetect(CCliContext& ctx, const COperationOptions& options) {
    COperationRun run(ctx, options);
    int status = run.Prepare("");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    CWriter& writer = run.Writer();
    writer.SocketPins = writer.PinCount;
    // The selected device's family first; the other one when nothing matches.
    const int first = ctx.Device.CoreWidth == kCorePic18 ? int{kCorePic18} : int{kCoreMidRange};
    const int second = first == kCorePic18 ? int{kCoreMidRange} : int{kCorePic18};
    for (int core : {first, second}) {
        writer.CoreWidth = core;
        writer.EntryMode = core == ctx.Device.CoreWidth ? ctx.Device.EntryMode : 0;
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
        const std::vector<std::string> matches = MatchingEntries(ctx, core, id);
        if (matches.empty()) {
            ctx.out << "  no catalogue entry has this ID\n";
            continue;
        }
        for (const std::string& name : matches) {
            ctx.out << "  " << name << (name == matches.front() ? "  (would be chosen)" : "")
                    << (name == ctx.Device.DeviceName ? "  (selected)" : "") << '\n';
        }
        return run.Finish(kExitOk);
    }
    ctx.out << "No catalogue entry matches the chip (socket wiring for " << ctx.Device.PinCount
            << " pins; choose a device of the chip's package with -d)\n";
    return run.Finish(kExitMismatch);
}

int CmdBlankCheck(CCliContext& ctx, const COperationOptions& options) {
    COperationRun run(ctx, options);
    int status = run.Prepare("");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    status = run.Run([](CRunner& r) { r.OnRead(); });
    if (status == kExitOk) {
        status = MismatchOrVerify(run);
    }
    if (status != kExitOk) {
        return run.Finish(status);
    }
    const CDeviceList& chip = ctx.Device; // the read landed in the selected device
    const bool pic18 = chip.CoreWidth == kCorePic18;
    int dirty = 0;

    // The factory calibration word is not user data.
    const bool skipCal = chip.CalFlag != 0 && chip.CalAddress != 0;
    const uint32_t units = pic18 ? static_cast<uint32_t>(chip.ProgramData.size())
                                 : static_cast<uint32_t>(chip.ProgramData.size() / 2);
    uint32_t used = 0;
    uint32_t firstUsed = 0;
    for (uint32_t i = 0; i < units; ++i) {
        if (skipCal && i == static_cast<uint32_t>(chip.CalAddress)) {
            continue;
        }
        if (chip.ProgramWord(i) != chip.BlankProgramWord()) {
            firstUsed = used == 0 ? i : firstUsed;
            ++used;
        }
    }
    if (used != 0) {
        ++dirty;
        ctx.out << "Program memory  NOT blank: " << used << (pic18 ? " bytes" : " words") << ", first at "
                << Hex(firstUsed, 4) << '\n';
    } else {
        ctx.out << "Program memory  blank" << (skipCal ? " (calibration word not counted)" : "") << '\n';
    }

    uint32_t eeprom = 0;
    for (uint8_t b : chip.EepromData) {
        eeprom += b != 0xFF ? 1 : 0;
    }
    if (chip.EepromData.empty()) {
        ctx.out << "EEPROM          none\n";
    } else if (eeprom != 0) {
        ++dirty;
        ctx.out << "EEPROM          NOT blank: " << eeprom << " bytes\n";
    } else {
        ctx.out << "EEPROM          blank\n";
    }

    bool idsBlank = true;
    for (int i = 0; i < (pic18 ? 8 : 4); ++i) {
        idsBlank &= (chip.UserId[i] & (pic18 ? 0xFFU : 0x0FU)) == (pic18 ? 0xFFU : 0x0FU);
    }
    ctx.out << "User ID         " << (idsBlank ? "blank" : "NOT blank") << '\n';
    dirty += idsBlank ? 0 : 1;

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
