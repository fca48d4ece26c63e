// The selected device's key figures and the two memory dumps. Everything
// here comes from the selected device record, never from the chip.
#include "ui/MainDlg.h"

#include "ui/MemoryDump.h"

#include <cstdio>

void CKVX3Dlg::ShowProgramSize() {
    const CDeviceList& device = m_station.Device();
    char text[64];
    // PIC18 memory counts bytes, mid-range memory words.
    if (device.CoreWidth == kCorePic18) {
        std::snprintf(text, sizeof text, "Program Memorys = %u byte", device.ProgramSize);
    } else {
        std::snprintf(text, sizeof text, "Program Memorys = %u word", device.ProgramSize);
    }
    Host().SetItemText(kIdcProgramGroup, text);
}

void CKVX3Dlg::ShowEepromSize() {
    char text[64];
    std::snprintf(text, sizeof text, "EEPROM Memorys = %u byte", m_station.Device().EepromSize);
    Host().SetItemText(kIdcEepromGroup, text);
}

void CKVX3Dlg::ShowPinCount() {
    char text[32];
    std::snprintf(text, sizeof text, "%d Pin", static_cast<int>(m_station.Device().PinCount));
    Host().SetItemText(kIdcPinCountText, text);
}

void CKVX3Dlg::ShowDeviceId() {
    if (Attached()) {
        char text[16];
        std::snprintf(text, sizeof text, "%04X", m_station.Device().DeviceId);
        Host().SetItemText(kIdcDeviceIdText, text);
    }
}

void CKVX3Dlg::RefreshProgramDump() {
    if (Attached()) {
        Host().SetItemText(kIdcProgramDump, FormatProgramDump(m_station.Device()));
    }
}

void CKVX3Dlg::RefreshEepromDump() {
    if (Attached()) {
        Host().SetItemText(kIdcEepromDump, FormatEepromDump(m_station.Device()));
    }
}
