#include "cli/CliFrontEnd.h"

#include "device/ImageCompare.h"
#include "ops/Strings.h"

namespace {

bool IsOperationStatus(int stringId) {
    return stringId >= kIdsWrite && stringId <= kIdsCalibrationWrite;
}

// Where the chip (read back into the writer) first differs from the image,
// region by region, in the manner of the verify report.
std::string DifferenceLines(const CPicDevice& chip, const CPicDevice& image, int32_t flags) {
    const CImageDifferences found = FindDifferences(chip, image);
    const bool pic18 = image.CoreWidth == kCorePic18;
    const int valueDigits = pic18 ? 2 : 4;
    std::string text;
    if (flags & kVerifyDifferentDevice) {
        text += "  the read-back and the image describe different devices\n";
    }
    if ((flags & kVerifyProgram) && found.Program.Found) {
        const CImageDifference& d = found.Program;
        text += "  Program memory: NG, first at " + Hex(d.Index, 4) + ": chip " + Hex(d.Value, valueDigits) +
                ", image " + Hex(d.Other, valueDigits) + '\n';
    }
    if ((flags & kVerifyEeprom) && found.Eeprom.Found) {
        const CImageDifference& d = found.Eeprom;
        text += "  EEPROM: NG, first at " + Hex(d.Index, 4) + ": chip " + Hex(d.Value, 2) + ", image " +
                Hex(d.Other, 2) + '\n';
    }
    if ((flags & kVerifyConfig) && found.Config.Found) {
        const CImageDifference& d = found.Config;
        const int w = static_cast<int>(d.Index);
        text += "  Config word: NG, first at " + Hex(ConfigWordAddress(image.CoreWidth, w), pic18 ? 6 : 4) +
                ": chip " + Hex(d.Value, valueDigits) + ", image " + Hex(d.Other, valueDigits) + '\n';
    }
    if ((flags & kVerifyUserId) && found.UserId.Found) {
        const CImageDifference& d = found.UserId;
        const int i = static_cast<int>(d.Index);
        text += "  User ID: NG, first at ID " + std::to_string(i + 1) + " (" +
                Hex(UserIdAddress(image.CoreWidth, i), pic18 ? 6 : 4) + "): chip " +
                Hex(d.Value, pic18 ? 2 : 1) + ", image " + Hex(d.Other, pic18 ? 2 : 1) + '\n';
    }
    return text;
}

} // namespace

EMsgResult CCliFrontEnd::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    FinishProgressLine();
    const std::string detail = std::move(m_boxDetail);
    m_boxDetail.clear();
    return m_ctx.Messages.Show(text + detail, icon, buttons);
}

void CCliFrontEnd::OnOutcome(const COutcome& outcome) {
    switch (outcome.Kind) {
    case EOutcome::Completed:
        Completed = true;
        break;
    case EOutcome::DeviceIdMismatch: {
        DeviceIdMismatch = true;
        const std::string name = m_pStation != nullptr ? m_pStation->Device().DeviceName : std::string{};
        // Said with the device ID message that follows.
        m_boxDetail = ": the chip reports device ID " + Hex(outcome.ChipDeviceId, 4) + " (" +
                      Hex(outcome.ChipDeviceId & outcome.DeviceIdMask, 4) + " under the mask " +
                      Hex(outcome.DeviceIdMask, 4) + "), " + name + " has " +
                      Hex(outcome.ExpectedDeviceId, 4);
        break;
    }
    case EOutcome::VerifyDifference:
        VerifyFailed = true;
        VerifyFlags = outcome.VerifyFlags;
        break;
    case EOutcome::Stopped:
        Stopped = true;
        break;
    case EOutcome::LinkLost:
        // The connection status line says it; the tool waits for the writer.
        break;
    case EOutcome::WriterLost:
        WriterFailed = true;
        m_boxDetail = ": the writer went away during the operation; it was not finished";
        break;
    case EOutcome::WriterNotAnswering:
        WriterFailed = true;
        m_boxDetail = ": the writer stays attached but stopped answering; the operation was stopped";
        break;
    case EOutcome::TransferFailed:
        WriterFailed = true;
        m_boxDetail = ": a packet or an answer was lost; the operation's result cannot be trusted";
        break;
    case EOutcome::ProtectFailed:
        ProtectFailed = true;
        m_boxDetail = ": the chip was programmed and verified, but the code protection could not be "
                      "written; the chip may be unprotected (and its user ID not the image's): program it "
                      "again";
        break;
    }
}

void CCliFrontEnd::SetStatusText(int stringId) {
    if (stringId == kIdsNotConnected) {
        FinishProgressLine();
        m_ctx.err.Line(std::string("kvx3-cli: ") + StringText(stringId) + " (the writer is gone)");
        return;
    }
    // Finding the writer and the file and device texts are not worth a line;
    // operations are.
    if (!IsOperationStatus(stringId)) {
        return;
    }
    FinishProgressLine();
    m_status = StringText(stringId);
    m_lastDrawn = -1;
    m_position = 0;
    DrawBar(true);
}

void CCliFrontEnd::EnableControls(bool enable) {
    if (enable) {
        DrawBar(false);
        FinishProgressLine();
    }
}

void CCliFrontEnd::SetProgressRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper > lower ? upper : lower + 1;
}

void CCliFrontEnd::SetProgressPos(int position) {
    m_position = position;
    DrawBar(false);
}

void CCliFrontEnd::DrawBar(bool force) {
    if (m_status.empty()) {
        return;
    }
    int percent = (m_position - m_lower) * 100 / (m_upper - m_lower);
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (m_ctx.ErrIsTerminal) {
        if (!force && percent == m_lastDrawn) {
            return;
        }
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        m_ctx.err.Progress(m_status + " [" + std::string(static_cast<size_t>(filled), '#') +
                           std::string(static_cast<size_t>(kWidth - filled), ' ') + "] " +
                           std::to_string(percent) + "%");
    } else {
        // Not a terminal: a plain line when an operation starts and at each
        // further quarter it reaches.
        if (!force && percent / 25 <= m_lastDrawn / 25) {
            return;
        }
        m_ctx.err.Line(m_status + ": " + std::to_string(percent) + "%");
    }
    m_lastDrawn = percent;
}

void CCliFrontEnd::FinishProgressLine() {
    m_ctx.err.EndProgress();
}

void CCliFrontEnd::ShowVerifyError(int32_t verifyFlags) {
    FinishProgressLine();
    std::string text = "kvx3-cli: verify error: the chip differs from the image\n";
    if (m_pStation != nullptr) {
        text += DifferenceLines(m_pStation->Writer(), m_pStation->Device(), verifyFlags);
    }
    m_ctx.err.Lines(text);
}
