// Any text read as a hex file, into a mid-range and a PIC18 image: must never
// crash or touch memory outside the image; what is read must save again.
#include "device/DeviceList.h"
#include "image/HexFile.h"

#include <sstream>

namespace {

void Feed(CHexFile& hex, const std::string& text) {
    std::istringstream in(text);
    hex.ClearImage();
    hex.ReadRecords(in);
    const std::string saved = hex.FormatImage();
    std::istringstream again(saved);
    CHexFile copy;
    copy.AssignFrom(hex);
    copy.ReadRecords(again);
    if (copy.BadRecordCount != 0 || copy.ProgramData != hex.ProgramData ||
        copy.EepromData != hex.EepromData) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CHexFile* mid = [] {
        auto* hex = new CHexFile;
        CDeviceList device;
        hex->AssignFrom(device);
        return hex;
    }();
    static CHexFile* pic18 = [] {
        auto* hex = new CHexFile;
        hex->CoreWidth = 8;
        hex->ProgramSize = 4096;
        hex->EepromSize = 64;
        hex->AllocProgram();
        hex->AllocEeprom();
        return hex;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    Feed(*mid, text);
    Feed(*pic18, text);
    return 0;
}
