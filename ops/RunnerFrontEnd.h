// What the operation runner needs from the program that drives it: the main
// window, the command-line tool, or a test. Everything the runner shows or
// asks goes through here, so every front end runs the very same flows.
//
// Every call comes on the runner's owner thread (the one that calls the
// commands and OnTimer), never on the worker thread.
#pragma once

#include "device/UserPrompt.h"

#include <cstdint>
#include <string>

// The options the flows read, taken from the front end at the moment a flow
// reads them. The device-ID check option is not here: the front end copies it
// into the writer's DeviceIdCheck when it changes, and the runner reads that.
struct CRunnerOptions {
    // When off, a chip's oscillator calibration is read before and written
    // back after an erase (for devices that have one).
    bool m_bRewriteCalibration = false;
    // When on, Program never writes the code protection.
    bool m_bDisProtect = false;
    // Tell the user when a Program ended with a clean compare.
    bool m_bComplate = false;
};

class IRunnerFrontEnd : public IMessageBox {
public:
    // Status line: the string table entry with this id (see ops/Strings.h).
    virtual void SetStatusText(int stringId) = 0;
    // Writer label: the writer's banner, or kWriterLabelDisconnected.
    virtual void SetWriterLabel(const std::string& text) = 0;
    // Enables or disables the command controls and the menus (Cancel, the
    // page buttons and the user ID and configuration cells are not among them).
    virtual void EnableControls(bool enable) = 0;

    // Progress bar. The runner sets the range 0..100 and positions within it.
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int position) = 0;

    // The verify error report with the writer's VerifyFlags; modal.
    virtual void ShowVerifyError(int32_t verifyFlags) = 0;

    // The check before the write step of Program: when the hex change check is
    // on and the loaded file has changed on disk, ask; on Yes reload it and
    // carry it into the selected device and the writer, as loading a file
    // does (see CarryFileImage), and refresh the displays. True when it was
    // reloaded. The writer's Busy is set while this runs, but no worker has
    // started yet, so the writer's image may be refilled.
    virtual bool CheckHexFileBeforeWrite() = 0;

    // Display refreshes from the selected device.
    virtual void RefreshProgramDump() = 0;
    virtual void RefreshEepromDump() = 0;
    virtual void RefreshUserId() = 0;
    virtual void RefreshConfigGrid(int page) = 0;
    virtual void ShowDeviceId() = 0;

    // The configuration grid page being shown (m_nConfigPage).
    virtual int ConfigPage() const = 0;
    virtual CRunnerOptions Options() const = 0;
};
