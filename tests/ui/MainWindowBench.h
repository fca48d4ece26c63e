// The main window on a test bench, as a user meets it: the window over the
// test host, the shipped device catalogue, a settings store in memory, and
// the simulated writer with a chip in its socket behind a gate that can hold
// a running operation still.
#pragma once

#include "GatedLink.h"
#include "TestHost.h"
#include "common/TempDir.h"
#include "settings/MemoryStore.h"
#include "settings/Profile.h"
#include "sim/MidRangeChip.h"
#include "sim/SimWriter.h"
#include "ui/MainDlg.h"

#include <functional>
#include <string>
#include <vector>

std::string ShippedCatalogue();

// Fires the window's timer as it fires, until no sequence runs and no worker
// is busy; false when that does not come.
bool TickUntilIdle(CTestWindowHost& host, const CRunner& runner);

// The lines of a text, without their "\r\n" ends.
std::vector<std::string> DumpLines(const std::string& text);

class CMainWindowBench {
public:
    // The stored device type (and the chip in the socket) is `device`; with
    // `open` the window is opened at once.
    explicit CMainWindowBench(const std::string& device = "PIC16F873A", bool open = true);
    ~CMainWindowBench();

    CTempDir Dir;
    CMemoryStore Store;
    CProfile Profile{Store, kCompanyKey, "KVX3"};
    CSimWriter Sim;
    CGatedLink Link{Sim};
    CKVX3Dlg Window{&Profile};
    CTestScript Script;
    CTestWindowHost Host{Window, Script};

    CStation& Station() { return Window.Station(); }
    CDeviceList& Device() { return Window.Station().Device(); }
    CRunner& Runner() { return Window.Station().Runner(); }

    void Open() { Host.Open(); }
    // One timer tick.
    void Tick() { Host.FireTimers(); }
    // Ticks until the window has seen the writer.
    bool Connect();
    // Ticks as the timer does until no sequence runs and no worker is busy.
    bool RunToEnd();
    // Picks the type in the selector as the user does; false when it is not listed.
    bool ChooseDevice(const std::string& name);
    // A blank simulated chip of the type in the socket instead of the one there.
    void PutChip(const std::string& name);
    CMidRangeChip* MidChip() { return Sim.ChipAs<CMidRangeChip>(); }

    // Writes a hex file of the type (blank, with `change` applied) into the
    // bench's folder and returns its path.
    std::string WriteHex(const std::string& name, const std::string& device,
                         const std::function<void(CPicDevice&)>& change);
    // Opens a file through the File Open button and the scripted dialog.
    bool OpenFile(const std::string& path);

    // Texts of the four grid rows' 14 cells, left (bit 13) to right (bit 0).
    std::vector<std::string> GridRow(int row) const;
};
