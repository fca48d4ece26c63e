#include "ui/FunctionTest.h"

#include "ui/LayoutTables.h"
#include "writer/Writer.h"

namespace {

struct CButtonCode {
    int Id;
    uint8_t Code;
};

// The DC-DC pair is numbered the other way round: ON is 1003, OFF 1002.
constexpr CButtonCode kButtonCodes[] = {
    {kIdcPowerLedOn, 0},  {kIdcPowerLedOff, 1},  {kIdcDcDcOn, 2},     {kIdcDcDcOff, 3},
    {kIdcMclrVpp, 4},     {kIdcMclrReset, 5},    {kIdcMclrNormal, 6}, {kIdcSocket18, 7},
    {kIdcSocket40, 8},    {kIdcSocketIcsp, 9},   {kIdcBusyLedOn, 10}, {kIdcBusyLedOff, 11},
    {kIdcErrorLedOn, 13}, {kIdcErrorLedOff, 14},
};

// The writer's idle state: power LED on, converter off, MCLR normal, socket
// ICSP, busy and error LEDs off.
constexpr int kIdleButtons[] = {kIdcPowerLedOn, kIdcDcDcOff,    kIdcMclrNormal,
                                kIdcSocketIcsp, kIdcBusyLedOff, kIdcErrorLedOff};

} // namespace

const CDialogLayout& CKVX3FunctionTest::Layout() const {
    return kFunctionTestDialog;
}

bool CKVX3FunctionTest::OnInitDialog() {
    CDialogLogic::OnInitDialog();
    for (int id : kIdleButtons) {
        Host().SetCheck(id, true);
    }
    return true;
}

bool CKVX3FunctionTest::ControlCodeOf(int id, uint8_t& code) {
    for (const CButtonCode& entry : kButtonCodes) {
        if (entry.Id == id) {
            code = entry.Code;
            return true;
        }
    }
    return false;
}

void CKVX3FunctionTest::OnCommand(int id) {
    uint8_t code = 0;
    if (!ControlCodeOf(id, code)) {
        CDialogLogic::OnCommand(id);
        return;
    }
    if (m_pWriter != nullptr) {
        m_pWriter->SendControl(code); // an unplugged writer sends nothing; nothing to say
    }
}

void RunWriterFunctionTest(IWindowHost& host, CWriter& writer) {
    writer.SetIdle();
    CKVX3FunctionTest dialog;
    dialog.m_pWriter = &writer;
    host.RunModalDialog(dialog);
    writer.SetIdle();
}
