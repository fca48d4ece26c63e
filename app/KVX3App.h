// The application object of the window programs: start-up, the main
// window's modal run and shutdown, over the settings store.
//
// Order: the company key is chosen and the application name kept; the main
// window is constructed and the stored options are loaded into it; the
// writer's backend is chosen; the window runs until it closes, however it
// closes; the options are saved (and the settings deleted when the user
// asked for it); a simulated chip is saved; the window is destroyed, which
// closes the writer. No message loop follows.
//
// Two programs share it: `kvx3` drives the writer on the USB bus; `kvx3-sim`
// drives the simulated writer with one chip per device type kept in the
// user's data folder, so that a program, a restart and a verify find the
// same chip. Nothing here reads the command line.
//
// Toolkit-free: the toolkit comes in through IMainWindowRunner.
#pragma once

#include "ui/MainDlg.h"

#include <memory>
#include <string>

class ISettingsStore;

enum class EAppBackend {
    LibUsb,    // kvx3
    Simulated, // kvx3-sim
};

struct CAppSetup {
    EAppBackend Backend = EAppBackend::LibUsb;
    // Simulated: the folder of the chip files; empty for DefaultSimChipFolder().
    std::string SimChipFolder;
    // The device catalogue; empty for the one beside the executable.
    std::string DeviceListPath;
    // LibUsb: the time-out of every transfer in ms; 0 for the link's own.
    // Runs against an emulated writer keep it short, since libusb polls
    // without pause while it waits there.
    unsigned UsbTransferTimeoutMs = 0;
    // Where the snapshots and the calibration vault live; empty for
    // DefaultSafetyFolder().
    std::string SafetyFolder;
};

// What the toolkit does for the application.
class IMainWindowRunner {
public:
    virtual ~IMainWindowRunner() = default;
    // Before anything else: the toolkit's own initialisation of its controls.
    virtual void InitCommonControls() {}
    // Builds the window from its layout, attaches it, calls OnInitDialog and
    // runs it modally until it ends; returns the result it ended with (the
    // close box counts as Cancel).
    virtual int RunModal(CKVX3Dlg& window) = 0;
};

class CKVX3App {
public:
    // `store` keeps the settings and must outlive the application object;
    // `appName` is the application key's name (CurrentAppName()).
    CKVX3App(ISettingsStore& store, std::string appName, CAppSetup setup = {});
    ~CKVX3App();
    CKVX3App(const CKVX3App&) = delete;
    CKVX3App& operator=(const CKVX3App&) = delete;

    // Start-up, the run and shutdown as above. Returns false: there is no
    // message loop to run afterwards.
    bool InitInstance(IMainWindowRunner& runner);

    // The window while it exists (during InitInstance), else null.
    CKVX3Dlg* MainWindow() const { return m_pMainWnd.get(); }
    const std::string& AppName() const { return m_strAppName; }
    const CAppSetup& Setup() const { return m_setup; }

private:
    void ChooseBackend(CKVX3Dlg& window) const;

    ISettingsStore& m_store;
    const std::string m_strAppName;
    const CAppSetup m_setup;
    std::unique_ptr<CProfile> m_pProfile;
    std::unique_ptr<CKVX3Dlg> m_pMainWnd;
};

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share (on Windows %LOCALAPPDATA%); empty when none is known.
std::string DefaultDataBase();
// Where kvx3-sim keeps its chips: <data folder>/kvx3/sim-chips; empty when
// there is no data folder.
std::string DefaultSimChipFolder();

// The whole program: the user's settings store, the executable's name as the
// application name, the setup's backend; InitInstance with `runner`.
// Returns the process's exit status.
int RunKVX3App(EAppBackend backend, IMainWindowRunner& runner);
