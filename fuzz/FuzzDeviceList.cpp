// Any bytes as a device catalogue, legend and core width included: listing
// and loading every name never crashes, and every loaded record keeps its
// buffers to its sizes and its legend walks within its width.
#include "device/Bounds.h"
#include "device/ConfigLabels.h"
#include "device/DeviceList.h"
#include "fuzz/FuzzTarget.h"

#include <fstream>
#include <string>

namespace {

void CheckRecord(CDeviceList& device) {
    const size_t expected = device.CoreWidth == kCorePic18      ? device.ProgramSize
                            : device.CoreWidth == kCoreMidRange ? 2 * size_t{device.ProgramSize}
                                                                : 0;
    KVX3_FUZZ_CHECK(device.ProgramData.size() == expected);
    KVX3_FUZZ_CHECK(device.ProgramBytes == expected);
    KVX3_FUZZ_CHECK(device.EepromData.size() == device.EepromSize);
    KVX3_FUZZ_CHECK(device.CoreWidth >= 0 && device.CoreWidth <= bounds::kMaxCoreWidth);
    KVX3_FUZZ_CHECK(device.ConfigWordCount() == device.ConfigCount);
    KVX3_FUZZ_CHECK(device.CalAddress == 0 || 2 * size_t(device.CalAddress) + 1 < device.ProgramData.size());
    for (int w = 0; w < kConfigWords; ++w) {
        for (const CConfigBitLabel& label : ConfigBitLabels(device, w)) {
            KVX3_FUZZ_CHECK(label.Bit >= 0 && label.Bit < device.CoreWidth && label.Bit < 32);
            KVX3_FUZZ_CHECK((device.ConfigNamedMask[w] >> label.Bit & 1) != 0);
        }
    }
    for (int k = 0; k < 64; ++k) {
        device.NextLegendToken(k);
    }
    device.UpdateChecksum();
    (void)device.IsProtected();
}

} // namespace

int FuzzDeviceList(const uint8_t* data, size_t size) {
    static const std::string path = kvx3_fuzz::ScratchPath("list.txt");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CDeviceList list;
    list.ListPath = path;
    CNameList names;
    if (!list.FillSelector(names)) {
        return 0;
    }
    for (size_t i = 0; i < names.Names.size() && i < 16; ++i) {
        CDeviceList device;
        device.ListPath = path;
        if (device.LoadDevice(names.Names[i])) {
            KVX3_FUZZ_CHECK(device.DeviceName == names.Names[i]);
        }
        CheckRecord(device);
    }
    return 0;
}

KVX3_FUZZ_ENTRY(FuzzDeviceList)
