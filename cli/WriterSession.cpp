#include "cli/WriterSession.h"

#include "cli/Cli.h"

#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "writer/Writer.h"
#include "writer/usb_link/LibUsbLink.h"

#include <chrono>
#include <filesystem>
#include <ostream>
#include <thread>

std::string FormatTraceBytes(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 3);
    for (size_t i = 0; i < size; ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

CWriterSession::CWriterSession(CCliContext& ctx, const CWriterOptions& options)
    : m_ctx(ctx), m_options(options) {
    if (!m_options.SimChipFile.empty()) {
        m_options.Sim = true;
    }
}

CWriterSession::~CWriterSession() {
    m_writer.reset(); // closes the device before its backend goes
}

int CWriterSession::Open() {
    if (m_options.Sim) {
        const ESimTiming timing = m_options.StrictTiming ? ESimTiming::Strict : ESimTiming::Typical;
        std::unique_ptr<ISimChip> chip;
        const std::string& file = m_options.SimChipFile;
        if (!file.empty() && std::filesystem::exists(file)) {
            chip = LoadSimChipFromFile(file, timing);
            if (!chip) {
                m_ctx.Error("cannot load the simulated chip from '" + file + "'");
                return kExitBadInput;
            }
        } else {
            chip = MakeSimChip(m_ctx.Device.DeviceName, timing);
            if (!chip) {
                m_ctx.Error("the simulated writer has no model of " + m_ctx.Device.DeviceName);
                return kExitBadInput;
            }
        }
        auto sim = std::make_unique<CSimWriter>(std::move(chip));
        m_sim = sim.get();
        m_link = std::move(sim);
    } else {
        m_link = std::make_unique<CLibUsbLink>();
    }
    m_writer = std::make_unique<CWriter>(*m_link);
    if (m_options.Trace) {
        std::ostream& err = m_ctx.err;
        m_writer->SetTraceHook([&err](CWriter::ETraceDirection, std::span<const uint8_t> bytes) {
            // One write per line: the worker's trace and the progress lines
            // of the main thread share the stream.
            err << FormatTraceBytes(bytes.data(), bytes.size()) + '\n';
        });
    }
    // A writer that is attached is found at the first poll; a few more give
    // a device that is just being enumerated a moment.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (m_writer->Poll()) {
            return kExitOk;
        }
        if (m_options.Sim) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_ctx.Error("no writer found (USB 0ADE:0010 or 08DA:FF0B); is it plugged in, and may this user open it?");
    return kExitNoWriter;
}

bool CWriterSession::SaveChip() {
    if (m_sim == nullptr || m_options.SimChipFile.empty() || m_sim->Chip() == nullptr) {
        return true;
    }
    if (!m_sim->Chip()->SaveToFile(m_options.SimChipFile)) {
        m_ctx.Error("cannot save the simulated chip to '" + m_options.SimChipFile + "'");
        return false;
    }
    return true;
}
