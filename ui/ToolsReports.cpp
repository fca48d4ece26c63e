#include "ui/ToolsReports.h"

#include "device/Calibration.h"
#include "device/ConfigLabels.h"
#include "device/ImageCompare.h"

#include <cstdio>

namespace {

// Runs listed per region before the rest is counted.
constexpr size_t kRunsShown = 8;

const char* LevelText(EPreflightLevel level) {
    switch (level) {
    case EPreflightLevel::Note:
        return "注意: ";
    case EPreflightLevel::Warning:
        return "警告: ";
    case EPreflightLevel::Bad:
        return "エラー: ";
    }
    return "";
}

} // namespace

std::string ReadOutcomeText(EOutcome outcome) {
    switch (outcome) {
    case EOutcome::DeviceIdMismatch:
        return "チップが選択したデバイスと違います";
    case EOutcome::Stopped:
        return "読み込みが中止されました";
    case EOutcome::LinkLost:
    case EOutcome::WriterLost:
        return "読み込み中にライターが外れました";
    case EOutcome::WriterNotAnswering:
        return "読み込み中にライターが応答しなくなりました";
    case EOutcome::TransferFailed:
        return "読み込みのパケットが失われました";
    case EOutcome::Completed:
    case EOutcome::VerifyDifference:
    case EOutcome::ProtectFailed:
        break;
    }
    return "チップを読み込めません";
}

namespace {

void AddRuns(std::vector<std::string>& lines, const std::string& region, const std::vector<CDiffRun>& runs,
             uint32_t count, int digits) {
    if (runs.empty()) {
        lines.push_back(region + ": 一致");
        return;
    }
    lines.push_back(region + ": " + std::to_string(count) + " 箇所が違います (" +
                    std::to_string(runs.size()) + " 範囲)");
    for (size_t i = 0; i < runs.size() && i < kRunsShown; ++i) {
        lines.push_back("  " + HexText(runs[i].First, digits) + "-" + HexText(runs[i].Last, digits) + "  " +
                        std::to_string(runs[i].Count()));
    }
    if (runs.size() > kRunsShown) {
        lines.push_back("  ほか " + std::to_string(runs.size() - kRunsShown) + " 範囲");
    }
}

} // namespace

std::string HexText(uint32_t value, int digits) {
    char text[16];
    (void)std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string JoinReport(const std::vector<std::string>& lines, size_t maxLines) {
    std::string text;
    const bool cut = maxLines > 0 && lines.size() > maxLines;
    const size_t shown = cut ? maxLines - 1 : lines.size();
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            text += '\n';
        }
        text += lines[i];
    }
    if (cut) {
        text += shown > 0 ? "\n…" : "…";
    }
    return text;
}

std::vector<std::string> PreflightReportLines(const CPreflightReport& report, const std::string& device,
                                              const std::string& path) {
    std::vector<std::string> lines{"書き込み前チェック: " + path + " (" + device + ")"};
    if (report.Findings.empty()) {
        lines.emplace_back("問題は見つかりませんでした。");
        return lines;
    }
    for (const CPreflightFinding& f : report.Findings) {
        lines.push_back(LevelText(f.Level) + f.Text);
        for (const std::string& detail : f.Details) {
            lines.push_back("    " + detail);
        }
    }
    return lines;
}

std::vector<std::string> DiffReportLines(const CPicDevice& chip, const CPicDevice& image,
                                         const CImageDiff& diff, bool keepCalibration) {
    std::vector<std::string> lines{"チップ (" + chip.DeviceName + ") と読み込んだデータの差分"};
    if (diff.DifferentDevice) {
        lines.emplace_back("デバイスの種類が一致しません");
        return lines;
    }
    if (chip.IsProtected()) {
        lines.emplace_back("注意: チップはコードプロテクトされているため、保護された領域は0として読めます");
    }
    const bool pic18 = chip.CoreWidth == kCorePic18;
    AddRuns(lines, "Program", diff.Program, diff.ProgramCount, pic18 ? 5 : 4);
    if (chip.EepromSize != 0) {
        AddRuns(lines, "EEPROM", diff.Eeprom, diff.EepromCount, 3);
    }
    if (diff.UserId.empty()) {
        lines.emplace_back("User ID: 一致");
    } else {
        const uint32_t mask = UserIdMask(chip.CoreWidth);
        std::string line = "User ID:";
        for (const CDiffRun& run : diff.UserId) {
            for (uint32_t i = run.First; i <= run.Last; ++i) {
                line += " ID" + std::to_string(i + 1) + " チップ " +
                        HexText(chip.UserId[i] & mask, pic18 ? 2 : 1) + " / ファイル " +
                        HexText(image.UserId[i] & mask, pic18 ? 2 : 1) + ";";
            }
        }
        line.pop_back();
        lines.push_back(line);
    }
    if (diff.ConfigBits.empty()) {
        lines.emplace_back("ConfigBit: 一致");
    }
    int word = -1;
    for (const CConfigBitDiff& bit : diff.ConfigBits) {
        if (bit.Word != word) {
            word = bit.Word;
            lines.push_back("ConfigBit " + ConfigWordName(chip.CoreWidth, word) + " (" +
                            HexText(ConfigWordAddress(chip.CoreWidth, word), pic18 ? 6 : 4) + "): チップ " +
                            HexText(chip.Config[word], pic18 ? 2 : 4) + " / ファイル " +
                            HexText(image.Config[word], pic18 ? 2 : 4));
        }
        lines.push_back("  " + bit.Name + ": チップ " + std::to_string(bit.A) + " / ファイル " +
                        std::to_string(bit.B));
    }
    if (keepCalibration) {
        const CCalibration c = CalibrationOf(chip);
        const CCalibration f = CalibrationOf(image);
        if ((c.HasWord && c.Word != f.Word) || (c.HasBits && c.Bits != f.Bits)) {
            lines.emplace_back("注意: キャリブレーション値はチップの値が残るため比較していません");
        }
    }
    lines.emplace_back(diff.Equal() ? "チップはデータと一致しています。" : "チップはデータと違います。");
    return lines;
}

std::vector<std::string> DoctorReportLines(const CDoctorReport& report) {
    std::vector<std::string> lines{"接続診断"};
    for (const CDoctorLine& line : report.Lines) {
        const char* mark = line.Mark == EDoctorMark::Ok     ? "OK    "
                           : line.Mark == EDoctorMark::Note ? "注意  "
                                                            : "問題  ";
        lines.push_back(mark + line.Text);
    }
    lines.emplace_back(report.WriterAnswered ? "ライターは応答しています: " + report.Banner
                                             : "ライターは応答しません。");
    return lines;
}

std::string VaultEntryLine(const CVaultEntry& e) {
    std::string text = StampText(e.Time);
    if (e.HasWord) {
        text += "  word " + HexText(e.Word, 4);
    }
    if (e.HasBits) {
        text += "  bits " + HexText(e.Bits, 4);
    }
    return text;
}

std::vector<std::string> CalibrationReportLines(const std::string& device, const CCalibration& chip,
                                                const std::vector<CVaultEntry>& recent,
                                                const std::string& vaultPath) {
    std::vector<std::string> lines{"チップのキャリブレーション値 (" + device + ")"};
    if (chip.HasWord) {
        lines.push_back("  word " + HexText(chip.Word, 4) +
                        (IsBlankCalibrationWord(chip.Word) ? "  (空: 工場出荷時の値が失われています)" : ""));
    }
    if (chip.HasBits) {
        lines.push_back("  bits " + HexText(chip.Bits, 4));
    }
    if (vaultPath.empty()) {
        lines.emplace_back("キャリブレーション値の記録はありません (データフォルダがありません)");
    } else if (recent.empty()) {
        lines.push_back("記録 (" + vaultPath + ") に " + device + " の値はありません");
    } else {
        lines.push_back("記録にある " + device + " の値 (新しい順):");
        for (const CVaultEntry& e : recent) {
            lines.push_back("  " + VaultEntryLine(e));
        }
    }
    return lines;
}

std::string SnapshotNoticeText(const CSnapshotNotice& notice) {
    switch (notice.Outcome) {
    case ESnapshotOutcome::Kept:
        return {};
    case ESnapshotOutcome::ProtectedChip:
        return "チップはコードプロテクトされていて0として読めるため、スナップショットは取りませんでした。";
    case ESnapshotOutcome::NotKept:
        return (notice.Folder.empty() ? std::string("スナップショットの保存先がありません")
                                      : "スナップショットを保存できません: " + notice.Folder) +
               "\nチップには何もしていません。";
    case ESnapshotOutcome::ReadFailed:
        return std::string("スナップショットを取れません: ") + ReadOutcomeText(notice.ReadOutcome) +
               "\nチップには何もしていません。";
    }
    return {};
}

std::string BlankCalibrationText(const CCalibrationNotice& notice) {
    std::string text = "チップのキャリブレーション値が空 (" + HexText(notice.Read.Word, 4) +
                       ") です。工場出荷時の発振器のキャリブレーション値が失われています。";
    if (notice.Recent.empty()) {
        text += "\n記録に " + notice.Device + " の値はありません。";
    } else {
        text += "\n記録にある " + notice.Device + " の値 (新しい順):";
        for (const CVaultEntry& e : notice.Recent) {
            text += "\n  " + VaultEntryLine(e);
        }
        text += "\n「ツール」の「キャリブレーション値...」で書き戻せます。";
    }
    return text;
}

std::string CalibrationResultText(ECalibrationResult result, ECalibrationCheck check) {
    switch (result) {
    case ECalibrationResult::Ok:
        return "キャリブレーション値を書き込みました。";
    case ECalibrationResult::NotReady:
        return "ライターが接続されていないか、動作中です。";
    case ECalibrationResult::NotCalibrated:
        return "このデバイスにはキャリブレーション値がありません。";
    case ECalibrationResult::DeviceIdMismatch:
        return "チップが選択したデバイスと違います。";
    case ECalibrationResult::Refused:
        return check == ECalibrationCheck::NotRetlw ? "キャリブレーション値がRETLW (34xx) ではありません。"
                                                    : "このキャリブレーション値は書き込めません。";
    case ECalibrationResult::WordNotBlank:
        return "チップには別のキャリブレーション値があるため、書き込みませんでした。";
    case ECalibrationResult::Mismatch:
        return "キャリブレーション値を書き込みましたが、読み出した値が違います。";
    case ECalibrationResult::LinkLost:
        return "ライターが外れました。";
    }
    return {};
}

std::string SnapshotCheckText(const CSnapshotInfo& s, ESnapshotCheck check, const std::string& device) {
    switch (check) {
    case ESnapshotCheck::Ok:
        return {};
    case ESnapshotCheck::Missing:
        return "スナップショットのファイルがありません: " + s.Path;
    case ESnapshotCheck::OtherDevice:
        return "スナップショット " + s.Name + " は " +
               (s.Device.empty() ? std::string("不明なデバイス") : s.Device) + " のもので、" + device +
               " のものではありません。";
    case ESnapshotCheck::Unreadable:
        return "スナップショットを読み込めません: " + s.Path;
    case ESnapshotCheck::Damaged:
        return "スナップショット " + s.Name + " のチェックサムが記録 (" + HexText(s.Checksum, 4) +
               ") と違います。変更されたか壊れています。";
    }
    return {};
}
