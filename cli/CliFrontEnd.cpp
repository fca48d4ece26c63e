#include "cli/CliFrontEnd.h"

#include "ops/Strings.h"
#include "writer/Writer.h"

#include <cstdio>
#include <ostream>
#include <string>

namespace {

// The first place where the chip (read back into the writer) and the image
// differ, region by region, in the manner of the verify report.
void ReportDifferences(const CPicDevice& chip, const CPicDevice& image, int32_t flags, std::ostream& err) {
    const bool pic18 = image.CoreWidth == kCorePic18;
    if (flags & kVerifyDifferentDevice) {
        err << "  the read-back and the image describe different devices\n";
    }
    if (flags & kVerifyProgram) {
        const uint32_t units = pic18 ? static_cast<uint32_t>(image.ProgramData.size())
                                     : static_cast<uint32_t>(image.ProgramData.size() / 2);
        for (uint32_t i = 0; i < units; ++i) {
            if (chip.ProgramWord(i) != image.ProgramWord(i)) {
                err << "  Program memory: NG, first at " << Hex(i, 4) << ": chip "
                    << Hex(chip.ProgramWord(i), pic18 ? 2 : 4) << ", image "
                    << Hex(image.ProgramWord(i), pic18 ? 2 : 4) << '\n';
                break;
            }
        }
    }
    if (flags & kVerifyEeprom) {
        for (size_t i = 0; i < image.EepromData.size() && i < chip.EepromData.size(); ++i) {
            if (chip.EepromData[i] != image.EepromData[i]) {
                err << "  EEPROM: NG, first at " << Hex(static_cast<uint32_t>(i), 4) << ": chip "
                    << Hex(chip.EepromData[i], 2) << ", image " << Hex(image.EepromData[i], 2) << '\n';
                break;
            }
        }
    }
    if (flags & kVerifyConfig) {
        const uint32_t m = pic18 ? 0xFF : 0x3FFF;
        for (int w = 0; w < image.ConfigWordCount(); ++w) {
            const uint32_t c = (chip.ConfigProtectMask[w] & m) | chip.Config[w];
            const uint32_t i = (image.ConfigProtectMask[w] & m) | image.Config[w];
            if (c != i) {
                err << "  Config word: NG, first at " << Hex(pic18 ? 0x300000 + w : 0x2007 + w, pic18 ? 6 : 4)
                    << ": chip " << Hex(chip.Config[w], pic18 ? 2 : 4) << ", image "
                    << Hex(image.Config[w], pic18 ? 2 : 4) << '\n';
                break;
            }
        }
    }
    if (flags & kVerifyUserId) {
        const int ids = pic18 ? 8 : 4;
        const uint32_t m = pic18 ? 0xFF : 0x0F;
        for (int i = 0; i < ids; ++i) {
            if ((chip.UserId[i] & m) != (image.UserId[i] & m)) {
                err << "  User ID: NG, first at ID " << i + 1 << " ("
                    << Hex(pic18 ? 0x200000 + i : 0x2000 + i, pic18 ? 6 : 4) << "): chip "
                    << Hex(chip.UserId[i] & m, pic18 ? 2 : 1) << ", image "
                    << Hex(image.UserId[i] & m, pic18 ? 2 : 1) << '\n';
                break;
            }
        }
    }
}

} // namespace

CCliFrontEnd::CCliFrontEnd(CCliContext& ctx, CWriter& writer, bool progressIsTerminal)
    : m_ctx(ctx), m_writer(writer), m_terminal(progressIsTerminal) {}

EMsgResult CCliFrontEnd::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    FinishProgressLine();
    if (text == kMsgDeviceIdMismatch) {
        DeviceIdMismatch = true;
        const CPicDevice& device = m_ctx.Device;
        m_ctx.Error(text + ": the chip reports device ID " + Hex(m_writer.DeviceId, 4) + " (" +
                    Hex(m_writer.DeviceId & m_writer.DeviceIdMask, 4) + " under the mask " +
                    Hex(m_writer.DeviceIdMask, 4) + "), " + device.DeviceName + " has " +
                    Hex(device.DeviceId, 4));
        return EMsgResult::Ok;
    }
    if (text == kMsgCompleted) {
        Completed = true;
        return EMsgResult::Ok;
    }
    return m_ctx.Messages.Show(text, icon, buttons);
}

void CCliFrontEnd::SetStatusText(int stringId) {
    // Connection changes are not worth a progress line; operations are.
    if (stringId == kIdsConnect || stringId == kIdsNotConnected) {
        if (stringId == kIdsNotConnected) {
            FinishProgressLine();
            m_ctx.err << std::string("kvx3-cli: ") + StringText(stringId) + " (the writer is gone)\n";
        }
        return;
    }
    FinishProgressLine();
    m_status = StringText(stringId);
    m_lastDrawn = -1;
    m_position = 0;
    DrawBar(true);
}

void CCliFrontEnd::SetWriterLabel(const std::string&) {}

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
    if (m_terminal) {
        if (!force && percent == m_lastDrawn) {
            return;
        }
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        m_ctx.err << '\r' << m_status << " [" << std::string(static_cast<size_t>(filled), '#')
                  << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << percent << "%"
                  << std::flush;
        m_lineOpen = true;
    } else {
        // Not a terminal: a plain line when an operation starts and at each
        // further quarter it reaches.
        if (!force && percent / 25 <= m_lastDrawn / 25) {
            return;
        }
        // One write, so that a --trace line of the worker never lands inside it.
        m_ctx.err << m_status + ": " + std::to_string(percent) + "%\n";
    }
    m_lastDrawn = percent;
}

void CCliFrontEnd::FinishProgressLine() {
    if (m_lineOpen) {
        m_ctx.err << '\n';
        m_lineOpen = false;
    }
}

void CCliFrontEnd::ShowVerifyError(int32_t verifyFlags) {
    FinishProgressLine();
    VerifyFailed = true;
    VerifyFlags = verifyFlags;
    m_ctx.err << "kvx3-cli: verify error: the chip differs from the image\n";
    ReportDifferences(m_writer, m_ctx.Device, verifyFlags, m_ctx.err);
}

bool CCliFrontEnd::CheckHexFileBeforeWrite() {
    // The tool loads its file right before it programs; there is no change
    // watch to run.
    return false;
}
