#include "ops/Strings.h"

namespace {

struct CStringEntry {
    int Id;
    const char* Text;
};

constexpr CStringEntry kStringTable[] = {
    {kIdsConnect, "KVX Connect"},
    {kIdsNotConnected, "KVX Non Conect"},
    {kIdsWrite, "Program / EEPROM Write"},
    {kIdsRead, "Program / EEPROM Read"},
    {kIdsVerify, "Program / EEPROM Verify"},
    {kIdsErase, "Program / EEPROM Erase"},
    {kIdsCalibrationRead, "OSC Calibration Data Read"},
    {kIdsCalibrationWrite, "OSC Calibration Data Write"},
    {kIdsLoadHex, "Load Hex File"},
    {kIdsSaveHex, "Save Hex File"},
    {kIdsSelectDevice, "Select Device"},
};

} // namespace

const char* StringText(int id) {
    for (const CStringEntry& entry : kStringTable) {
        if (entry.Id == id) {
            return entry.Text;
        }
    }
    return "";
}
