// devices, show and convert: the commands that need no writer.
#include "cli/ShowCommands.h"

#include "cli/CliStation.h"
#include "device/ConfigLabels.h"
#include "device/ImageCompare.h"

#include <ostream>

namespace {

void PrintConfig(const CPicDevice& device, std::ostream& out) {
    const int words = device.ConfigWordCount();
    const int digits = device.CoreWidth == kCorePic18 ? 2 : 4;
    const int addressDigits = device.CoreWidth == kCorePic18 ? 6 : 4;
    out << "Config words    " << words << '\n';
    for (int w = 0; w < words; ++w) {
        out << "  " << ConfigWordName(device.CoreWidth, w) << ' '
            << Hex(ConfigWordAddress(device.CoreWidth, w), addressDigits) << " = "
            << Hex(device.Config[w], digits);
        for (const CConfigBitLabel& bit : ConfigBitLabels(device, w)) {
            out << ' ' << bit.Name << '=' << (device.Config[w] >> bit.Bit & 1);
        }
        out << '\n';
    }
}

void PrintUserIds(const CPicDevice& device, std::ostream& out) {
    out << "User ID        ";
    const int ids = UserIdCount(device.CoreWidth);
    const uint32_t mask = UserIdMask(device.CoreWidth);
    for (int i = 0; i < ids; ++i) {
        out << ' ' << Hex(device.UserId[i] & mask, device.CoreWidth == kCorePic18 ? 2 : 1);
    }
    if (ids == 0) {
        out << " none";
    }
    out << '\n';
}

// How much of the image holds something other than the blank value.
void PrintUsage(const CPicDevice& device, std::ostream& out) {
    const CBlankCounts counts = CountNonBlank(device, false);
    out << "Program used    " << counts.ProgramUsed << (device.CoreWidth == kCorePic18 ? " bytes" : " words")
        << " not blank\n";
    out << "EEPROM used     " << counts.EepromUsed << " bytes not blank\n";
}

// The chosen device, with FILE loaded into it as opening a file in the window
// does when a file is given. False (with a message) when either fails.
bool SelectWithFile(CCliStation& station, const std::string& path) {
    if (!station.SelectDevice()) {
        return false;
    }
    if (!path.empty() && !station.LoadFile(path)) {
        return false;
    }
    station.Device().UpdateChecksum();
    return true;
}

} // namespace

int CmdDevices(CCliContext& ctx) {
    CNameList names;
    CDeviceList quiet;
    quiet.ListPath = ctx.ListPath();
    if (!quiet.FillSelector(names)) {
        ctx.Error(std::string(kMsgDeviceListMissing) + " (" + quiet.ListPath +
                  FileProblem(quiet.ListPath, kMaxDeviceListBytes) + ")");
        return kExitBadInput;
    }
    for (const std::string& name : names.Names) {
        ctx.out << name << '\n';
    }
    return kExitOk;
}

void PrintDevice(const CPicDevice& device, std::ostream& out) {
    const bool pic18 = device.CoreWidth == kCorePic18;
    out << "Device          " << device.DeviceName << '\n';
    out << "Core            "
        << (pic18                               ? "PIC18 (8-bit configuration)"
            : device.CoreWidth == kCoreMidRange ? "14-bit mid-range"
                                                : "none")
        << '\n';
    out << "Program memory  " << device.ProgramSize << (pic18 ? " bytes" : " words") << " ("
        << device.ProgramBytes << " bytes of image)\n";
    out << "EEPROM          " << device.EepromSize << " bytes\n";
    out << "Pins            " << device.PinCount << '\n';
    if (device.DeviceId == 0xFFFF) {
        out << "Device ID       none (not checked)\n";
    } else {
        out << "Device ID       " << Hex(device.DeviceId, 4) << " mask " << Hex(device.DeviceIdMask, 4)
            << '\n';
    }
    out << "Methods         entry " << device.EntryMode << ", write cycle " << device.WriteCycle
        << ", EEPROM " << device.EepromMethod << ", block write " << device.BlockWrite << ", erase "
        << device.EraseMethod << ", row " << device.WriteBlockBytes << " bytes\n";
    out << "Calibration     ";
    if (device.CalFlag == 0) {
        out << "none\n";
    } else if (device.CalAddress != 0) {
        out << "word at " << Hex(static_cast<uint32_t>(device.CalAddress), 4) << " and configuration bits\n";
    } else {
        out << "configuration bits\n";
    }
    PrintConfig(device, out);
    PrintUserIds(device, out);
    out << "Protected       " << (device.IsProtected() ? "yes" : "no") << '\n';
}

int CmdShow(CCliContext& ctx, const std::string& file) {
    CCliStation station(ctx);
    if (!SelectWithFile(station, file)) {
        return kExitBadInput;
    }
    const CDeviceList& device = station.Device();
    PrintDevice(device, ctx.out);
    if (!file.empty()) {
        ctx.out << "File            " << file << '\n';
        PrintUsage(device, ctx.out);
    }
    ctx.out << "Checksum: " << Hex(device.Checksum & 0xFFFF, 4) << '\n';
    return kExitOk;
}

int CmdConvert(CCliContext& ctx, const std::string& in, const std::string& outPath) {
    CCliStation station(ctx);
    if (!SelectWithFile(station, in)) {
        return kExitBadInput;
    }
    if (!station.Station().SaveHexFile(outPath)) {
        ctx.Error("cannot write '" + outPath + "'");
        return kExitBadInput;
    }
    return kExitOk;
}
