// The main window (dialog 102 with menu 129): the device selector, the hex
// file commands with the recent files, the device's key figures, the
// configuration grid, the user ID cells, the two memory dumps, the settings
// menu, the writer test, and the operation commands with their progress.
//
// It is the station's front end: the station (ops/Station.h) owns the three
// images, the operation runner and the writer's backend, and the window shows
// what they hold and turns the user's actions into their steps. Everything it
// shows goes through the window host; nothing here knows a toolkit.
//
// The files: MainDlg.cpp (start-up, device selection, commands, closing,
// the timer, the runner's display), MainDlgFiles.cpp (hex files and the
// recent-file menu), MainDlgGrid.cpp (configuration grid and user ID),
// MainDlgInfo.cpp (key figures and dumps), MainDlgMenus.cpp (menu check marks,
// option toggles and the settings dialogs), MainDlgTools.cpp (the tools menu
// and what the safety net tells the window).
//
// Every call comes on the window's thread.
#pragma once

#include "ops/Station.h"
#include "settings/AppOptions.h"
#include "ui/DialogLogic.h"

#include <cstdint>
#include <string>
#include <vector>

class CProfile;

class CKVX3Dlg : public CDialogLogic, public IStationFrontEnd, public ISafetyListener {
public:
    // `profile` holds the recent-file list (and the application name its
    // removal uses) and the tools menu's remembered option; null keeps
    // neither. It must outlive the window. The options start at their
    // first-run values; the application loads the stored ones before the
    // window opens (LoadOptions). The safety net has no folder until the
    // application gives it one (CSafetyNet::SetFolder): no snapshot, no vault.
    explicit CKVX3Dlg(CProfile* profile = nullptr);
    ~CKVX3Dlg() override;

    const CDialogLayout& Layout() const override;

    // --- the options, loaded before the window opens and saved after it
    // has closed (settings/AppOptions.h) ---
    void LoadOptions(const CAppOptions& options);
    CAppOptions ExitOptions() const;

    std::string m_strDevice;            // the device type selected last
    bool m_bDisProtect = false;         // Program never writes code protection
    bool m_bViewProtect = true;         // protect bits coloured when protecting
    bool m_bComplate = false;           // message after a clean Program
    bool m_bUserId = false;             // carried through unchanged
    bool m_bSumId = false;              // user ID from the image checksum
    bool m_bDevId = true;               // compare the chip's device ID first
    bool m_bHexCheck = false;           // offer to reload a changed hex file
    bool m_bSkipBlank = false;          // Program leaves blank rows and EEPROM bytes unwritten
    int m_nUserIdNo = 0;                // carried through unchanged
    bool m_bDeleteRegistry = false;     // delete the settings at exit; this run only
    bool m_bRewriteCalibration = false; // rewrite a chip's calibration; this run only
    bool m_bSnapshot = false;           // Program and Erase keep a snapshot first (the tools menu)

    // --- the station: the three images, the runner (m_bConnected,
    // m_nSequence, m_nStep, m_nProgressTotal) and the writer's backend ---
    CStation& Station() { return m_station; }
    const CStation& Station() const { return m_station; }

    // --- what the host forwards ---
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int id) override;
    void OnTimer(int timerId) override;
    void OnSysCommand(int commandId) override;
    // Closes the window; refused while an operation runs (OK is disabled then).
    void OnOK() override;
    // Cancel, Escape, the close box and the exit command: a stop request
    // while a worker runs, else the window closes.
    void OnCancel() override;
    ECellBackground ControlBackground(int id) const override;

    // --- start-up and device selection ---
    // With `lookUp`, selects the name's item in the selector first and does
    // nothing more when there is none.
    void SelectDevice(const std::string& name, bool lookUp);
    void OnSelchangeDevice();
    void OnTest();
    void OnCalibrationSettings();
    void OnProtectSettings();
    void OnAboutBox();

    // --- hex files ---
    void OnFileOpen();
    void OnFileSave();
    void OnRecentFile(int number); // 1 to 4

    // --- device information ---
    void ShowProgramSize();
    void ShowEepromSize();
    void ShowPinCount();

    // --- configuration grid and user ID ---
    void ToggleConfigBit(int cellId, int row, int column);
    void OnPrev();
    void OnNext();
    void OnUserIdCell(int k); // 1 to 8
    void ApplySumId();

    // --- menu options ---
    // Sets or clears the check mark of the menu item with this id, found in
    // the pull-down menus from the last to the first.
    void SetMenuCheck(int id, bool on);
    void OnCompleteMessage();
    void OnHexCheck();
    void OnDeviceIdCheck();
    void OnSumId();
    void OnDeleteRegistry();
    void OnSkipBlank();

    // --- the tools menu (MainDlgTools.cpp) ---
    void OnPreflight();
    void OnDiffChip();
    void OnSnapshotBeforeWrite();
    void OnRollback();
    void OnCalibrationValues();
    void OnDoctor();
    // Grays the items that need the writer while it is not connected.
    void UpdateToolsMenu();

    // --- ISafetyListener ---
    void OnCalibrationRead(const CCalibrationNotice& notice) override;
    void OnSnapshot(const CSnapshotNotice& notice) override;
    void OnChipReadAside(const CDeviceList& chip, bool completed, EOutcome outcome) override;

    // --- IStationFrontEnd ---
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override;
    void SetStatusText(int stringId) override;
    void SetWriterLabel(const std::string& text) override;
    void EnableControls(bool enable) override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;
    void ShowVerifyError(int32_t verifyFlags) override;
    void OnOutcome(const COutcome& outcome) override;
    void RefreshProgramDump() override;
    void RefreshEepromDump() override;
    void RefreshUserId() override;
    void RefreshConfigGrid(int page) override;
    void ShowDeviceId() override;
    int ConfigPage() const override { return m_nConfigPage; }
    CRunnerOptions Options() const override;
    void ShowSelectedDevice() override;
    void RebuildRecentMenu() override;

    // --- window state ---
    enum : int {
        kLastConfigPage = 10, // row 0 shows word 10, row 3 word 13
        kCellColumns = 16,    // of which 0 to 13 are used
        kTimerId = 1,
        kTimerPeriodMs = 10,
    };
    int m_nConfigPage = 0; // configuration word shown in row 0
    // The File menu's position in the menu bar (the pull-down whose last
    // item is the exit command); -1 until found.
    int m_nFileMenu = -1;
    const int m_hIcon = kIdiMain;
    // Per grid cell, filled by every refresh: the bit's value, whether it is
    // a named bit that may be toggled, a code-protect bit, a calibration bit.
    uint8_t m_cellValue[kGridRows][kCellColumns] = {};
    uint8_t m_cellSettable[kGridRows][kCellColumns] = {};
    uint8_t m_cellProtect[kGridRows][kCellColumns] = {};
    uint8_t m_cellCalibration[kGridRows][kCellColumns] = {};

private:
    bool FindFileMenu();
    // A command that writes or reads the chip starts: its calibration
    // warnings may be said again.
    void BeginChipCommand();
    void ShowReport(const std::vector<std::string>& lines, EMsgIcon icon);

    CProfile* m_pProfile;
    bool m_bDiffPending = false;      // a chip read aside is for the diff
    bool m_bWarnedBlank = false;      // the blank calibration word was told during this command
    bool m_bWarnedVault = false;      // the vault that cannot be written was told (once a run)
    bool m_bCalibrationQuiet = false; // the calibration item says it all itself
    bool m_bToolsConnected = false;   // the connection the tools menu was last grayed for

    void SetWordLabel(int row, uint32_t value);

    // Last: it goes first, so a worker still running is stopped and joined
    // while the window's members are all there.
    CStation m_station;
};

// The text of a recent-file menu item: the part of the path after its last
// folder separator ('\' or '/'), with '&' doubled so that it shows as itself.
std::string RecentFileMenuText(const std::string& path);
