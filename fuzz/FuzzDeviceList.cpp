// Any bytes as a device list: listing and loading every name must never crash,
// and every loaded record's buffers must match its sizes.
#include "device/DeviceList.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/kvx3-fuzz-list-" + std::to_string(getpid()) + ".txt";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CDeviceList list;
    list.ListPath = path;
    CNameList names;
    list.FillSelector(names);
    for (size_t i = 0; i < names.Names.size() && i < 16; ++i) {
        CDeviceList device;
        device.ListPath = path;
        device.LoadDevice(names.Names[i]);
        const size_t expected = device.CoreWidth == 8    ? device.ProgramSize
                                : device.CoreWidth == 14 ? 2 * size_t{device.ProgramSize}
                                                         : 0;
        if (device.ProgramData.size() != expected || device.EepromData.size() != device.EepromSize ||
            device.ProgramBytes != expected || device.ConfigWordCount() != device.ConfigCount) {
            __builtin_trap();
        }
        for (int k = 0; k < 64; ++k) {
            device.NextLegendToken(k);
        }
        device.UpdateChecksum();
        device.IsProtected();
    }
    return 0;
}
