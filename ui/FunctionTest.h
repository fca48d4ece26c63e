// The writer function test (dialog 130): one radio button per state of each
// of the writer's hardware functions; every click sends that state's control
// code at once. The dialog reads nothing back and keeps no state.
#pragma once

#include "ui/DialogLogic.h"

#include <cstdint>

class CWriter;

class CKVX3FunctionTest : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override;
    // Checks the buttons of the writer's idle state; sends nothing.
    bool OnInitDialog() override;
    void OnCommand(int id) override;

    // The control code a button sends; false for an id that sends none.
    static bool ControlCodeOf(int id, uint8_t& code);

    CWriter* m_pWriter = nullptr; // the window's writer, not owned
};

// What the Test button does once a writer is connected: idle the writer, run
// the test dialog with it, and idle it again, whatever the user switched.
void RunWriterFunctionTest(IWindowHost& host, CWriter& writer);
