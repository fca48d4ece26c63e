// Any text read as a hex file, into a mid-range and a PIC18 image: never a
// crash or a touch outside the image; what is read saves again, and the saved
// file reads back to the same image without a bad record.
#include "device/DeviceList.h"
#include "fuzz/FuzzTarget.h"
#include "image/HexFile.h"

#include <string_view>

namespace {

void Feed(CHexFile& hex, std::string_view text) {
    hex.ClearImage();
    hex.ReadRecordsText(text);
    KVX3_FUZZ_CHECK(hex.ProgramData.size() == hex.ProgramBytes);
    const std::string saved = hex.FormatImage();
    CHexFile copy;
    copy.AssignFrom(hex);
    copy.ClearImage();
    copy.ReadRecordsText(saved);
    KVX3_FUZZ_CHECK(copy.BadRecordCount == 0);
    KVX3_FUZZ_CHECK(copy.ProgramData == hex.ProgramData);
    KVX3_FUZZ_CHECK(copy.EepromData == hex.EepromData);
    KVX3_FUZZ_CHECK(copy.FormatImage() == saved);
}

// A PIC18 record as the catalogue gives one (PIC18F452's legend), with a
// small program memory so that a run costs little: the address map is the
// same at any size.
CHexFile* MakePic18() {
    auto* hex = new CHexFile;
    hex->DeviceName = "PIC18F452";
    hex->CoreWidth = kCorePic18;
    hex->ProgramSize = 4096;
    hex->EepromSize = 256;
    hex->ConfigLegend =
        "[x][x][x][x][x][x][x][x][x][x][OSCEN][x][x][FOSC2][FOSC1][FOSC0]"
        "[x][x][x][x][BORV1][BORV0][BOREN][*PWRTEN][x][x][x][x][WDTPS2][WDTPS1][WDTPS0][WDTEN]"
        "[x][x][x][x][x][x][x][x][x][x][x][x][x][x][x][CCP2MX]"
        "[DEBUG][x][x][x][x][LVP][x][STVREN][x][x][x][x][CP3][CP2][CP1][CP0]"
        "[CPD][CPB][x][x][x][x][x][x][x][x][x][x][WRT3][WRT2][WRT1][WRT0]"
        "[WRTD][WRTB][WRTC][x][x][x][x][x][x][x][x][x][EBTR3][EBTR2][EBTR1][EBTR0]"
        "[x][EBTRB][x][x][x][x][x][x]";
    hex->ParseLegend();
    hex->AllocProgram();
    hex->AllocEeprom();
    return hex;
}

} // namespace

int FuzzHexFile(const uint8_t* data, size_t size) {
    static CHexFile* mid = [] {
        auto* hex = new CHexFile;
        CDeviceList device; // PIC16F873A's legend and EEPROM
        device.ProgramSize = 1024;
        device.AllocProgram();
        hex->AssignFrom(device);
        return hex;
    }();
    static CHexFile* pic18 = MakePic18();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Feed(*mid, text);
    Feed(*pic18, text);
    return 0;
}

KVX3_FUZZ_ENTRY(FuzzHexFile)
