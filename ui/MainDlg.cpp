// The main window's start-up, device selection, command routing, closing,
// the timer, and the runner's status line, writer label, controls and
// progress bar.
#include "ui/MainDlg.h"

#include "ui/AboutDlg.h"
#include "ui/DlgVerifyError.h"
#include "ui/FunctionTest.h"
#include "ui/LayoutTables.h"
#include "ui/StringTable.h"

namespace {

// The controls an operation disables, from its first start to the end of
// its sequence. Cancel, the page buttons and the cells stay usable.
constexpr int kCommandControls[] = {kIdOk,        kIdcProgram,  kIdcVerify, kIdcRead, kIdcErase,
                                    kIdcFileOpen, kIdcFileSave, kIdcDevice, kIdcTest};

// Fills the device selector.
class CComboSelector : public IDeviceSelector {
public:
    explicit CComboSelector(IWindowHost& host) : m_host(host) {}
    void AddItem(const std::string& name) override { m_host.ComboAdd(kIdcDevice, name); }

private:
    IWindowHost& m_host;
};

} // namespace

CKVX3Dlg::CKVX3Dlg(CProfile* profile) : m_pProfile(profile), m_station(*this, profile) {
    m_station.SafetyNet().SetListener(this);
}

CKVX3Dlg::~CKVX3Dlg() = default;

const CDialogLayout& CKVX3Dlg::Layout() const {
    return kMainDialog;
}

// ------------------------------------------------------------------ options

void CKVX3Dlg::LoadOptions(const CAppOptions& options) {
    m_strDevice = options.m_strDevice;
    m_bDisProtect = options.m_bDisProtect;
    m_bViewProtect = options.m_bViewProtect;
    m_bComplate = options.m_bComplate;
    m_bUserId = options.m_bUserId;
    m_bSumId = options.m_bSumId;
    m_bDevId = options.m_bDevId;
    m_bHexCheck = options.m_bHexCheck;
    m_bSkipBlank = options.m_bSkipBlank;
    m_nUserIdNo = options.m_nUserIdNo;
    m_bDeleteRegistry = options.m_bDeleteRegistry;
}

CAppOptions CKVX3Dlg::ExitOptions() const {
    CAppOptions options;
    options.m_strDevice = m_strDevice;
    options.m_bDisProtect = m_bDisProtect;
    options.m_bViewProtect = m_bViewProtect;
    options.m_bComplate = m_bComplate;
    options.m_bUserId = m_bUserId;
    options.m_bSumId = m_bSumId;
    options.m_bDevId = m_bDevId;
    options.m_bHexCheck = m_bHexCheck;
    options.m_bSkipBlank = m_bSkipBlank;
    options.m_nUserIdNo = m_nUserIdNo;
    options.m_bDeleteRegistry = m_bDeleteRegistry;
    return options;
}

CRunnerOptions CKVX3Dlg::Options() const {
    CRunnerOptions options;
    options.m_bRewriteCalibration = m_bRewriteCalibration;
    options.m_bDisProtect = m_bDisProtect;
    options.m_bComplate = m_bComplate;
    options.m_bSumId = m_bSumId;
    options.m_bHexCheck = m_bHexCheck;
    options.m_bSkipBlank = m_bSkipBlank;
    return options;
}

// ---------------------------------------------------------------- start-up

bool CKVX3Dlg::OnInitDialog() {
    CDialogLogic::OnInitDialog();
    const std::string about = StringTableText(kIdsAboutBox);
    if (!about.empty()) {
        (void)Host().AppendSystemMenuItem(kIdmAboutBox, about);
    }
    Host().SetWindowIcon(m_hIcon);

    // A catalogue that cannot be read has shown its message; the selector
    // stays empty and the built-in default device stays selected.
    Host().ComboReset(kIdcDevice);
    CComboSelector selector(Host());
    (void)m_station.Device().FillSelector(selector);
    SelectDevice(m_strDevice, true);

    SetMenuCheck(kIdmCompleteMessage, m_bComplate);
    SetMenuCheck(kIdmHexCheck, m_bHexCheck);
    SetMenuCheck(kIdmSumId, m_bSumId);
    SetMenuCheck(kIdmDeviceIdCheck, m_bDevId);
    SetMenuCheck(kIdmSkipBlank, m_bSkipBlank);
    m_station.Writer().DeviceIdCheck = m_bDevId;
    if (m_pProfile != nullptr) {
        m_bSnapshot = LoadSafetyOptions(*m_pProfile).m_bSnapshot;
    }
    m_station.SafetyNet().SetSnapshotBeforeWrite(m_bSnapshot);
    SetMenuCheck(kIdmSnapshotBeforeWrite, m_bSnapshot);
    UpdateToolsMenu();

    SetStatusText(kIdsNotConnected);
    // The first tick that finds the writer opens it.
    Host().StartTimer(kTimerId, kTimerPeriodMs);

    (void)FindFileMenu();
    RebuildRecentMenu();
    return true;
}

bool CKVX3Dlg::FindFileMenu() {
    m_nFileMenu = -1;
    for (int menu = Host().MenuCount() - 1; menu >= 0; --menu) {
        const int items = Host().MenuItemCount(menu);
        if (items > 0 && Host().MenuItemId(menu, items - 1) == kIdmExit) {
            m_nFileMenu = menu;
            return true;
        }
    }
    return false;
}

// ------------------------------------------------------- device selection

void CKVX3Dlg::SelectDevice(const std::string& name, bool lookUp) {
    if (!Attached()) {
        return;
    }
    CWaitCursor wait(Host());
    if (lookUp) {
        int found = -1;
        const int count = Host().ComboCount(kIdcDevice);
        for (int i = 0; i < count; ++i) {
            if (Host().ComboText(kIdcDevice, i) == name) {
                found = i;
                break;
            }
        }
        if (found < 0) {
            return;
        }
        Host().ComboSelect(kIdcDevice, found);
    }
    // Loads the type, shows it (ShowSelectedDevice), blanks the file image
    // and the writer with its parameters and applies SUM_ID.
    (void)m_station.SelectDevice(name);
}

void CKVX3Dlg::ShowSelectedDevice() {
    if (!Attached()) {
        return;
    }
    RefreshConfigGrid(0);
    m_nConfigPage = 0;
    Host().EnableItem(kIdcPrev, false);
    Host().EnableItem(kIdcNext, m_station.Device().CoreWidth == kCorePic18);
    ShowProgramSize();
    ShowEepromSize();
    ShowPinCount();
    ShowDeviceId();
    RefreshUserId();
    RefreshProgramDump();
    RefreshEepromDump();
}

void CKVX3Dlg::OnSelchangeDevice() {
    const int selection = Host().ComboSelection(kIdcDevice);
    if (selection < 0) {
        return;
    }
    const std::string text = Host().ComboText(kIdcDevice, selection);
    if (!text.empty() && text[0] == '-') {
        // A separator line: back to the current type, selected anew.
        SelectDevice(m_strDevice, true);
        return;
    }
    m_strDevice = text;
    SelectDevice(text, false);
    SetStatusText(kIdsSelectDevice);
    m_station.Runner().ResetProgress();
}

void CKVX3Dlg::OnSelChange(int id) {
    if (id == kIdcDevice) {
        OnSelchangeDevice();
    }
}

// ------------------------------------------------------------ commands

void CKVX3Dlg::OnCommand(int id) {
    if (id >= kIdcConfigCell0 && id <= kIdcConfigCellLast) {
        const int cell = id - kIdcConfigCell0;
        ToggleConfigBit(id, cell / kGridColumns, cell % kGridColumns);
        return;
    }
    if (id >= UserIdCellId(1) && id <= UserIdCellId(kUserIdCells)) {
        OnUserIdCell(id - UserIdCellId(1) + 1);
        return;
    }
    if (id >= kIdmRecentFile1 && id <= kIdmRecentFileLast) {
        OnRecentFile(id - kIdmRecentFile1 + 1);
        return;
    }
    CRunner& runner = m_station.Runner();
    switch (id) {
    case kIdcProgram:
    case kIdcRead:
    case kIdmReadAll:
    case kIdmReadProgram:
    case kIdmReadData:
    case kIdmReadConfig:
    case kIdcVerify:
    case kIdcErase:
        BeginChipCommand();
        break;
    default:
        break;
    }
    switch (id) {
    case kIdcFileOpen:
    case kIdmHexOpen:
        OnFileOpen();
        break;
    case kIdcFileSave:
    case kIdmHexSave:
        OnFileSave();
        break;
    case kIdcProgram:
        // Through the net: a snapshot first when that option is on.
        (void)m_station.SafetyNet().OnProgram();
        break;
    case kIdcRead:
    case kIdmReadAll:
        runner.OnRead();
        break;
    case kIdmReadProgram:
        runner.OnReadProgram();
        break;
    case kIdmReadData:
        runner.OnReadData();
        break;
    case kIdmReadConfig:
        runner.OnReadConfig();
        break;
    case kIdcVerify:
        runner.OnVerify();
        break;
    case kIdcErase:
        (void)m_station.SafetyNet().OnErase();
        break;
    case kIdcTest:
        OnTest();
        break;
    case kIdcPrev:
        OnPrev();
        break;
    case kIdcNext:
        OnNext();
        break;
    case kIdmExit:
        OnCancel();
        break;
    case kIdmProtectSettings:
        OnProtectSettings();
        break;
    case kIdmCalibrationSettings:
        OnCalibrationSettings();
        break;
    case kIdmCompleteMessage:
        OnCompleteMessage();
        break;
    case kIdmHexCheck:
        OnHexCheck();
        break;
    case kIdmDeviceIdCheck:
        OnDeviceIdCheck();
        break;
    case kIdmSumId:
        OnSumId();
        break;
    case kIdmDeleteRegistry:
        OnDeleteRegistry();
        break;
    case kIdmSkipBlank:
        OnSkipBlank();
        break;
    case kIdmPreflight:
        OnPreflight();
        break;
    case kIdmDiffChip:
        OnDiffChip();
        break;
    case kIdmSnapshotBeforeWrite:
        OnSnapshotBeforeWrite();
        break;
    case kIdmRollback:
        OnRollback();
        break;
    case kIdmCalibrationValues:
        OnCalibrationValues();
        break;
    case kIdmDoctor:
        OnDoctor();
        break;
    default:
        CDialogLogic::OnCommand(id); // OK and Cancel
        break;
    }
}

void CKVX3Dlg::OnTest() {
    if (!m_station.Runner().Connected()) {
        return;
    }
    RunWriterFunctionTest(Host(), m_station.Writer());
}

void CKVX3Dlg::OnSysCommand(int commandId) {
    // The low four bits of a system command are the system's own.
    if ((commandId & 0xFFF0) == kIdmAboutBox) {
        OnAboutBox();
    }
}

void CKVX3Dlg::OnAboutBox() {
    CAboutDlg about;
    (void)Host().RunModalDialog(about);
}

// ------------------------------------------------------------- closing

void CKVX3Dlg::OnOK() {
    // OK is disabled during an operation; Enter must not get round that.
    if (m_station.SafetyNet().IsRunning()) {
        return;
    }
    EndDialog(kIdOk);
}

void CKVX3Dlg::OnCancel() {
    // While a worker runs this is a stop request and the window stays.
    if (!m_station.SafetyNet().OnCancel()) {
        return;
    }
    EndDialog(kIdCancel);
}

// --------------------------------------------------------------- the timer

void CKVX3Dlg::OnTimer(int timerId) {
    if (timerId == kTimerId) {
        // The net ticks a snapshot's read, then the runner.
        m_station.SafetyNet().OnTimer();
        if (m_station.Runner().Connected() != m_bToolsConnected) {
            UpdateToolsMenu();
        }
    }
}

// ------------------------------------------------- the runner's display

EMsgResult CKVX3Dlg::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    if (!Attached()) {
        return buttons == EMsgButtons::Ok ? EMsgResult::Ok : EMsgResult::No;
    }
    return Host().Show(text, icon, buttons);
}

void CKVX3Dlg::SetStatusText(int stringId) {
    if (Attached()) {
        Host().SetItemText(kIdcStatus, StringTableText(stringId));
    }
}

void CKVX3Dlg::SetWriterLabel(const std::string& text) {
    if (Attached()) {
        Host().SetItemText(kIdcWriterLabel, text);
    }
}

void CKVX3Dlg::EnableControls(bool enable) {
    if (!Attached()) {
        return;
    }
    for (const int id : kCommandControls) {
        Host().EnableItem(id, enable);
    }
    for (int menu = Host().MenuCount() - 1; menu >= 0; --menu) {
        Host().EnableMenu(menu, enable);
    }
}

void CKVX3Dlg::SetProgressRange(int lower, int upper) {
    if (Attached()) {
        Host().SetProgressRange(kIdcProgress, lower, upper);
    }
}

void CKVX3Dlg::SetProgressPos(int position) {
    if (Attached()) {
        Host().SetProgressPos(kIdcProgress, position);
    }
}

void CKVX3Dlg::ShowVerifyError(int32_t verifyFlags) {
    if (Attached()) {
        CDlgVerifyError::Show(Host(), verifyFlags);
    }
}

void CKVX3Dlg::OnOutcome(const COutcome& /*outcome*/) {
    // The window tells the user through the runner's own message boxes and
    // the verify error report; the status line already shows the rest.
}
