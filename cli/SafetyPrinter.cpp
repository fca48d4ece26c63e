#include "cli/SafetyPrinter.h"

#include <ostream>
#include <sstream>

namespace {

const char* LevelWord(EPreflightLevel level) {
    switch (level) {
    case EPreflightLevel::Note:
        return "note";
    case EPreflightLevel::Warning:
        return "warning";
    case EPreflightLevel::Bad:
        return "error";
    }
    return "note";
}

const char* ReadOutcomeText(EOutcome outcome) {
    switch (outcome) {
    case EOutcome::DeviceIdMismatch:
        return "the chip is not the selected device";
    case EOutcome::Stopped:
        return "the read was stopped";
    case EOutcome::LinkLost:
    case EOutcome::WriterLost:
        return "the writer went away during the read";
    case EOutcome::WriterNotAnswering:
        return "the writer stopped answering during the read";
    case EOutcome::TransferFailed:
        return "a packet or an answer of the read was lost";
    case EOutcome::Completed:
    case EOutcome::VerifyDifference:
    case EOutcome::ProtectFailed:
        break;
    }
    return "the chip could not be read";
}

} // namespace

std::string VaultEntryText(const CVaultEntry& e) {
    std::string text = StampText(e.Time);
    if (e.HasWord) {
        text += "  word " + Hex(e.Word, 4);
    }
    if (e.HasBits) {
        text += "  bits " + Hex(e.Bits, 4);
    }
    return text;
}

std::string RestoreCommand(const std::string& device, const CVaultEntry& e) {
    std::string text = "kvx3-cli -d " + device + " calibration";
    if (e.HasWord) {
        text += " --restore " + Hex(e.Word, 4);
    }
    if (e.HasBits) {
        text += " --bits " + Hex(e.Bits, 4);
    }
    return text;
}

void CSafetyPrinter::OnCalibrationRead(const CCalibrationNotice& notice) {
    LastCalibration = notice;
    if (QuietCalibration) {
        return;
    }
    // A snapshot's read and the command's own calibration read both see a
    // lost word; once is enough.
    if (notice.WordBlank && !m_bWarnedBlank) {
        m_bWarnedBlank = true;
        std::string text = "kvx3-cli: warning: the chip's calibration word reads " +
                           Hex(notice.Read.Word, 4) +
                           " (blank): its factory oscillator calibration is lost\n";
        if (notice.Recent.empty()) {
            text += "  the calibration vault holds no entry for " + notice.Device +
                    (notice.VaultPath.empty() ? "" : " (" + notice.VaultPath + ")") + "\n";
        } else {
            text += "  the vault's last entries for " + notice.Device + ", newest first:\n";
            for (const CVaultEntry& e : notice.Recent) {
                text += "    " + VaultEntryText(e) + "\n";
            }
            text += "  write one back with: " + RestoreCommand(notice.Device, notice.Recent.front()) + "\n";
        }
        m_ctx.err.Lines(text);
    }
    if (notice.Vault == EVaultRecord::Failed) {
        m_ctx.err.Line("kvx3-cli: warning: cannot write the calibration vault " + notice.VaultPath);
    } else if (notice.Vault == EVaultRecord::Appended && !notice.Recent.empty()) {
        m_ctx.err.Line("kvx3-cli: note: calibration of " + notice.Device +
                       " kept in the vault: " + VaultEntryText(notice.Recent.front()));
    }
}

void CSafetyPrinter::OnSnapshot(const CSnapshotNotice& notice) {
    LastSnapshot = notice;
    switch (notice.Outcome) {
    case ESnapshotOutcome::Kept:
        m_ctx.err.Line("kvx3-cli: snapshot of the chip kept: " + notice.Snapshot.Path + " (checksum " +
                       Hex(notice.Snapshot.Checksum, 4) + ")");
        break;
    case ESnapshotOutcome::ProtectedChip:
        m_ctx.err.Line("kvx3-cli: warning: the chip is code-protected and reads as zeros: no snapshot kept");
        break;
    case ESnapshotOutcome::NotKept:
        m_ctx.Error(
            notice.Folder.empty()
                ? "no folder for snapshots (neither XDG_DATA_HOME nor HOME is set): the chip was not touched"
                : "cannot write the snapshot into " + notice.Folder + ": the chip was not touched");
        break;
    case ESnapshotOutcome::ReadFailed:
        m_ctx.Error(std::string("no snapshot: ") + ReadOutcomeText(notice.ReadOutcome) +
                    "; the chip was not touched");
        break;
    }
}

void PrintPreflight(const CPreflightReport& report, const std::string& prefix, std::ostream& out) {
    for (const CPreflightFinding& f : report.Findings) {
        out << prefix << LevelWord(f.Level) << ": " << f.Text << '\n';
        for (const std::string& line : f.Details) {
            out << "    " << line << '\n';
        }
    }
}

void PrintPreflight(const CPreflightReport& report, CErrorLines& err) {
    std::ostringstream text;
    PrintPreflight(report, "kvx3-cli: preflight: ", text);
    if (!text.str().empty()) {
        err.Lines(text.str());
    }
}
