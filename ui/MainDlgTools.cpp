// The tools menu: the checks around a write that the safety net offers
// (preflight, the diff with the chip, snapshots and rollback, the calibration
// values, the connection doctor), and what the net tells the window. Each
// report is one modal message box.
#include "ui/MainDlg.h"

#include "device/Calibration.h"
#include "device/ImageDiff.h"
#include "settings/AppOptions.h"
#include "ui/ToolsReports.h"

namespace {

// Entries of the vault the calibration item lists.
constexpr size_t kVaultEntriesShown = 5;

// The items that talk to the writer; the others work without it.
constexpr int kWriterTools[] = {kIdmDiffChip, kIdmRollback, kIdmCalibrationValues};

} // namespace

void CKVX3Dlg::UpdateToolsMenu() {
    m_bToolsConnected = m_station.Runner().Connected();
    if (!Attached()) {
        return;
    }
    for (const int id : kWriterTools) {
        int menu = 0;
        int position = 0;
        if (FindMenuItem(Host(), id, menu, position)) {
            Host().EnableMenuItem(menu, position, m_bToolsConnected);
        }
    }
}

void CKVX3Dlg::BeginChipCommand() {
    m_bWarnedBlank = false;
}

void CKVX3Dlg::ShowReport(const std::vector<std::string>& lines, EMsgIcon icon) {
    (void)Show(JoinReport(lines), icon, EMsgButtons::Ok);
}

// ------------------------------------------------------------- the items

void CKVX3Dlg::OnPreflight() {
    const CHexFile& file = m_station.File();
    if (file.FilePath.empty()) {
        (void)Show("Hexファイルが読み込まれていません。", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return;
    }
    const CPreflightReport report = CheckLoadedFile(file, m_bRewriteCalibration);
    ShowReport(PreflightReportLines(report, file.DeviceName, file.FilePath),
               report.Severity() == 0 ? EMsgIcon::Information : EMsgIcon::Exclamation);
}

void CKVX3Dlg::OnDiffChip() {
    CSafetyNet& net = m_station.SafetyNet();
    if (!m_station.Runner().Connected() || net.IsRunning()) {
        return;
    }
    BeginChipCommand();
    m_bDiffPending = true;
    if (!net.ReadChipAside()) {
        // Refused: the runner has said why.
        m_bDiffPending = false;
    }
}

void CKVX3Dlg::OnChipReadAside(const CDeviceList& chip, bool completed, EOutcome outcome) {
    if (!m_bDiffPending) {
        return;
    }
    m_bDiffPending = false;
    if (!completed) {
        (void)Show("チップを読み込めないため、差分はありません。\n" + ReadOutcomeText(outcome),
                   EMsgIcon::Exclamation, EMsgButtons::Ok);
        return;
    }
    // The chip's calibration is kept when it is programmed: no difference
    // unless rewriting it is allowed.
    const bool keepCalibration = IsCalibrated(chip) && !m_bRewriteCalibration;
    const CDeviceList& image = m_station.Device();
    const CImageDiff diff = DiffImages(chip, image, keepCalibration);
    ShowReport(DiffReportLines(chip, image, diff, keepCalibration),
               diff.Equal() ? EMsgIcon::Information : EMsgIcon::Exclamation);
}

void CKVX3Dlg::OnSnapshotBeforeWrite() {
    m_bSnapshot = !m_bSnapshot;
    m_station.SafetyNet().SetSnapshotBeforeWrite(m_bSnapshot);
    SetMenuCheck(kIdmSnapshotBeforeWrite, m_bSnapshot);
    // Remembered at once, apart from the options saved at exit.
    if (m_pProfile != nullptr) {
        CSafetyOptions options;
        options.m_bSnapshot = m_bSnapshot;
        SaveSafetyOptions(*m_pProfile, options);
    }
}

void CKVX3Dlg::OnRollback() {
    CSafetyNet& net = m_station.SafetyNet();
    if (!m_station.Runner().Connected() || net.IsRunning()) {
        return;
    }
    const std::string folder = net.SnapshotsFolder();
    const std::string device = m_station.Device().DeviceName;
    if (folder.empty()) {
        (void)Show("スナップショットの保存先がありません。", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return;
    }
    CSnapshotInfo newest;
    if (!NewestSnapshotOf(folder, device, newest)) {
        (void)Show(device + " のスナップショットはありません。\n" + folder, EMsgIcon::Information,
                   EMsgButtons::Ok);
        return;
    }
    const std::string question = "最新のスナップショットをチップに書き込みますか?\n" + newest.Name + "\n" +
                                 StampText(newest.Time) +
                                 (newest.HasRecord ? "  checksum " + HexText(newest.Checksum, 4) : "");
    if (Show(question, EMsgIcon::Exclamation, EMsgButtons::YesNo) != EMsgResult::Yes) {
        return;
    }
    CHexFile image;
    const ESnapshotCheck check = CheckSnapshot(newest, m_station.Device(), image);
    if (check != ESnapshotCheck::Ok) {
        (void)Show(SnapshotCheckText(newest, check, device), EMsgIcon::Exclamation, EMsgButtons::Ok);
        return;
    }
    // The chip goes back as it was, its user ID included: SUM_ID would put
    // the image's checksum there instead.
    const bool sumId = m_bSumId;
    m_bSumId = false;
    const bool loaded = m_station.ApplyHexFile(newest.Path);
    m_bSumId = sumId;
    if (!loaded) {
        (void)Show(SnapshotCheckText(newest, ESnapshotCheck::Unreadable, device), EMsgIcon::Exclamation,
                   EMsgButtons::Ok);
        return;
    }
    BeginChipCommand();
    (void)net.OnProgram();
}

void CKVX3Dlg::OnCalibrationValues() {
    CSafetyNet& net = m_station.SafetyNet();
    if (!m_station.Runner().Connected() || net.IsRunning()) {
        return;
    }
    const std::string device = m_station.Device().DeviceName;
    if (!IsCalibrated(m_station.Device())) {
        (void)Show(CalibrationResultText(ECalibrationResult::NotCalibrated, ECalibrationCheck::Ok),
                   EMsgIcon::Information, EMsgButtons::Ok);
        return;
    }
    BeginChipCommand();
    CCalibration read;
    ECalibrationResult result = ECalibrationResult::Ok;
    {
        CWaitCursor wait(Host());
        // This item shows the read itself: no second word about a blank one.
        m_bCalibrationQuiet = true;
        result = net.ReadChipCalibration(read);
        m_bCalibrationQuiet = false;
    }
    if (result != ECalibrationResult::Ok) {
        (void)Show(CalibrationResultText(result, ECalibrationCheck::Ok), EMsgIcon::Exclamation,
                   EMsgButtons::Ok);
        return;
    }
    const std::string vault = net.VaultFile();
    const std::vector<CVaultEntry> recent = vault.empty()
                                                ? std::vector<CVaultEntry>()
                                                : RecentEntries(ReadVault(vault), device, kVaultEntriesShown);
    std::vector<std::string> lines = CalibrationReportLines(device, read, recent, vault);
    const bool lost = read.HasWord && IsBlankCalibrationWord(read.Word);
    if (!lost || recent.empty()) {
        ShowReport(lines, lost ? EMsgIcon::Exclamation : EMsgIcon::Information);
        return;
    }
    const CVaultEntry& last = recent.front();
    lines.push_back("記録の最新の値 (" + VaultEntryLine(last) + ") をチップに書き戻しますか?");
    if (Show(JoinReport(lines), EMsgIcon::Exclamation, EMsgButtons::YesNo) != EMsgResult::Yes) {
        return;
    }
    CCalibrationRestore restore;
    {
        CWaitCursor wait(Host());
        m_bCalibrationQuiet = true;
        restore = net.RestoreCalibration(last.HasWord ? std::optional<uint32_t>(last.Word) : std::nullopt,
                                         last.HasBits ? std::optional<uint32_t>(last.Bits) : std::nullopt);
        m_bCalibrationQuiet = false;
    }
    (void)Show(CalibrationResultText(restore.Result, restore.Check),
               restore.Result == ECalibrationResult::Ok ? EMsgIcon::Information : EMsgIcon::Exclamation,
               EMsgButtons::Ok);
}

void CKVX3Dlg::OnDoctor() {
    CDoctorReport report;
    {
        CWaitCursor wait(Host());
        if (!m_station.DiagnoseConnection(report)) {
            return; // an operation runs
        }
    }
    ShowReport(DoctorReportLines(report),
               report.WriterAnswered ? EMsgIcon::Information : EMsgIcon::Exclamation);
}

// ------------------------------------------------------- the net's word

void CKVX3Dlg::OnCalibrationRead(const CCalibrationNotice& notice) {
    if (m_bCalibrationQuiet) {
        return;
    }
    if (notice.Vault == EVaultRecord::Failed && !m_bWarnedVault) {
        m_bWarnedVault = true;
        (void)Show("キャリブレーション値の記録を書き込めません:\n" + notice.VaultPath, EMsgIcon::Exclamation,
                   EMsgButtons::Ok);
    }
    // A snapshot's read and the command's own calibration read both see a
    // lost word; once a command is enough.
    if (notice.WordBlank && !m_bWarnedBlank) {
        m_bWarnedBlank = true;
        (void)Show(BlankCalibrationText(notice), EMsgIcon::Exclamation, EMsgButtons::Ok);
    }
}

void CKVX3Dlg::OnSnapshot(const CSnapshotNotice& notice) {
    const std::string text = SnapshotNoticeText(notice);
    if (!text.empty()) {
        (void)Show(text, EMsgIcon::Exclamation, EMsgButtons::Ok);
    }
}
