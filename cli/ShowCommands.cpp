// devices, show and convert: the commands that need no writer.
#include "cli/ShowCommands.h"

#include "image/HexFile.h"

#include <cstdio>
#include <ostream>

namespace {

// The label and address of configuration word w, as data sheets name them.
std::string ConfigLabel(const CPicDevice& device, int w) {
    if (device.CoreWidth == kCorePic18) {
        return "CONFIG" + std::to_string(w / 2 + 1) + (w % 2 == 0 ? "L" : "H") + " " + Hex(0x300000 + w, 6);
    }
    return "CONFIG" + std::to_string(w + 1) + " " + Hex(0x2007 + w, 4);
}

void PrintConfig(CDeviceList& device, std::ostream& out) {
    const int width = device.CoreWidth == kCorePic18 ? 8 : device.CoreWidth == kCoreMidRange ? 14 : 0;
    const int words = device.ConfigWordCount();
    out << "Config words    " << words << '\n';
    int index = 0;
    for (int w = 0; w < words; ++w) {
        out << "  " << ConfigLabel(device, w) << " = " << Hex(device.Config[w], width == 8 ? 2 : 4);
        for (int b = width - 1; b >= 0; --b) {
            std::string token = device.NextLegendToken(index++);
            if ((device.ConfigNamedMask[w] >> b & 1) == 0 || token.empty()) {
                continue;
            }
            if (token.front() == 'p' || token.front() == 'c') {
                token.erase(0, 1);
            }
            out << ' ' << token << '=' << (device.Config[w] >> b & 1);
        }
        out << '\n';
    }
}

void PrintUserIds(const CPicDevice& device, std::ostream& out) {
    out << "User ID        ";
    if (device.CoreWidth == kCorePic18) {
        for (int i = 0; i < 8; ++i) {
            out << ' ' << Hex(device.UserId[i] & 0xFF, 2);
        }
    } else if (device.CoreWidth == kCoreMidRange) {
        for (int i = 0; i < 4; ++i) {
            out << ' ' << Hex(device.UserId[i] & 0x0F, 1);
        }
    } else {
        out << " none";
    }
    out << '\n';
}

// How much of the image holds something other than the blank value.
void PrintUsage(const CPicDevice& device, std::ostream& out) {
    const bool pic18 = device.CoreWidth == kCorePic18;
    const uint32_t units = pic18 ? static_cast<uint32_t>(device.ProgramData.size())
                                 : static_cast<uint32_t>(device.ProgramData.size() / 2);
    uint32_t used = 0;
    for (uint32_t i = 0; i < units; ++i) {
        used += device.ProgramWord(i) != device.BlankProgramWord() ? 1 : 0;
    }
    uint32_t eeprom = 0;
    for (uint8_t b : device.EepromData) {
        eeprom += b != 0xFF ? 1 : 0;
    }
    out << "Program used    " << used << (pic18 ? " bytes" : " words") << " not blank\n";
    out << "EEPROM used     " << eeprom << " bytes not blank\n";
}

// Loads FILE into a hex file image of the selected device and carries it into
// the device, as opening a file in the window does. False when unreadable.
bool LoadFileIntoDevice(CCliContext& ctx, const std::string& path, CHexFile& hex) {
    hex.AssignFrom(ctx.Device);
    if (!hex.LoadHex(path)) {
        ctx.Error("cannot read '" + path + "'");
        return false;
    }
    if (hex.BadRecordCount > 0) {
        ctx.err
            << "kvx3-cli: warning: " << hex.BadRecordCount << " line(s) of '" << path
            << "' are not sound Intel HEX records (wrong checksum or malformed); they were applied as far as "
               "they could be read\n";
    }
    ctx.Device.CopyProgram(hex);
    ctx.Device.CopyEeprom(hex);
    ctx.Device.CopyUserIds(hex);
    ctx.Device.CopyConfig(hex);
    ctx.Device.UpdateChecksum();
    return true;
}

} // namespace

int CmdDevices(CCliContext& ctx) {
    if (!ctx.Options.ListPath.empty()) {
        ctx.Device.ListPath = ctx.Options.ListPath;
    }
    CNameList names;
    CDeviceList quiet;
    quiet.ListPath = ctx.Device.ListPath;
    if (!quiet.FillSelector(names)) {
        ctx.Error(std::string(kMsgDeviceListMissing) + " (" + quiet.ListPath + ")");
        return kExitBadInput;
    }
    for (const std::string& name : names.Names) {
        ctx.out << name << '\n';
    }
    return kExitOk;
}

void PrintDevice(CDeviceList& device, std::ostream& out) {
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
    if (!ctx.LoadSelectedDevice()) {
        return kExitBadInput;
    }
    if (!file.empty()) {
        CHexFile hex;
        if (!LoadFileIntoDevice(ctx, file, hex)) {
            return kExitBadInput;
        }
    }
    PrintDevice(ctx.Device, ctx.out);
    if (!file.empty()) {
        ctx.out << "File            " << file << '\n';
        PrintUsage(ctx.Device, ctx.out);
    }
    ctx.out << "Checksum: " << Hex(ctx.Device.Checksum & 0xFFFF, 4) << '\n';
    return kExitOk;
}

int CmdConvert(CCliContext& ctx, const std::string& in, const std::string& outPath) {
    if (!ctx.LoadSelectedDevice()) {
        return kExitBadInput;
    }
    CHexFile hex;
    if (!LoadFileIntoDevice(ctx, in, hex)) {
        return kExitBadInput;
    }
    if (!hex.SaveHex(outPath)) {
        ctx.Error("cannot write '" + outPath + "'");
        return kExitBadInput;
    }
    return kExitOk;
}
