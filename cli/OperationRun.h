// One run of a runner flow from the command line: the three images, the
// writer and the runner with the tool as its front end.
#pragma once

#include "cli/Cli.h"
#include "cli/CliContext.h"
#include "cli/CliFrontEnd.h"
#include "cli/OperationCommands.h"
#include "cli/WriterSession.h"
#include "image/HexFile.h"
#include "ops/ImageCarry.h"
#include "ops/Runner.h"
#include "sim/SimWriter.h"
#include "writer/Writer.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <unistd.h>

// Everything one run of a flow needs: the three images, the writer and the
// runner with this tool as its front end.
class COperationRun {
public:
    COperationRun(CCliContext& ctx, const COperationOptions& options)
        : m_ctx(ctx), m_options(options), m_session(ctx, options.Writer) {}

    // Loads the device (and the file, when given) before anything touches the
    // writer, so that bad input never reaches the chip. Then opens the writer.
    int Prepare(const std::string& hexFile) {
        if (!m_ctx.LoadSelectedDevice()) {
            return kExitBadInput;
        }
        m_file.AssignFrom(m_ctx.Device);
        if (!hexFile.empty()) {
            if (!m_file.LoadHex(hexFile)) {
                m_ctx.Error("cannot read '" + hexFile + "'");
                return kExitBadInput;
            }
            if (m_file.BadRecordCount > 0) {
                m_ctx.err
                    << "kvx3-cli: warning: " << m_file.BadRecordCount << " line(s) of '" << hexFile
                    << "' are not sound Intel HEX records; they were applied as far as they could be read\n";
            }
        }
        const int status = m_session.Open();
        if (status != kExitOk) {
            return status;
        }
        CWriter& writer = m_session.Writer();
        writer.AssignFrom(m_file);
        writer.DeviceIdCheck = !m_options.NoDeviceIdCheck;
        if (!hexFile.empty()) {
            CarryFileImage(m_file, m_ctx.Device, writer, m_options.SumId);
        }
        m_front = std::make_unique<CCliFrontEnd>(m_ctx, writer, isatty(STDERR_FILENO) != 0);
        m_front->RunnerOptions.m_bRewriteCalibration = m_options.RewriteCalibration;
        m_front->RunnerOptions.m_bDisProtect = m_options.NoProtect;
        m_front->RunnerOptions.m_bComplate = true;
        m_runner = std::make_unique<CRunner>(m_ctx.Device, m_file, writer, *m_front);
        m_runner->OnTimer(); // the first tick sees the writer
        if (!m_runner->Connected()) {
            m_ctx.Error("the writer went away");
            return kExitNoWriter;
        }
        return kExitOk;
    }

    // Ticks the runner until the flow started by `command` has ended. Returns
    // kExitNoWriter when the writer stays away for more than a few seconds.
    template <class Command> int Run(Command command) {
        command(*m_runner);
        auto lostSince = std::chrono::steady_clock::time_point{};
        while (m_runner->IsRunning()) {
            const bool busy = m_runner->IsBusy();
            std::this_thread::sleep_for(busy ? std::chrono::milliseconds(10) : std::chrono::milliseconds(1));
            if (!m_runner->IsBusy()) {
                // The worker has ended: show where its counter stopped before
                // the next step starts another operation.
                m_runner->SetProgress(static_cast<uint32_t>(m_session.Writer().GetProgress()));
            }
            m_runner->OnTimer();
            if (!m_runner->Connected()) {
                const auto now = std::chrono::steady_clock::now();
                if (lostSince == std::chrono::steady_clock::time_point{}) {
                    lostSince = now;
                } else if (now - lostSince > std::chrono::seconds(5) && !m_runner->IsBusy()) {
                    m_front->FinishProgressLine();
                    m_ctx.Error("the writer went away and did not come back");
                    return kExitNoWriter;
                }
            } else {
                lostSince = {};
            }
        }
        m_front->FinishProgressLine();
        return kExitOk;
    }

    // Saves a simulated chip and says what the simulated writer counted.
    int Finish(int status) {
        if (CSimWriter* sim = m_session.Sim()) {
            const CSimWriterCounters c = sim->Counters();
            char line[160];
            std::snprintf(
                line, sizeof line,
                "simulated writer: %llu packets, %llu bytes out, %llu bytes in, %.3f s of writer time\n",
                static_cast<unsigned long long>(c.Packets), static_cast<unsigned long long>(c.BytesOut),
                static_cast<unsigned long long>(c.BytesIn), static_cast<double>(c.ElapsedUs) / 1e6);
            m_ctx.err << line;
        }
        return m_session.SaveChip() || status != kExitOk ? status : kExitBadInput;
    }

    CCliContext& Ctx() { return m_ctx; }
    CHexFile& File() { return m_file; }
    CWriter& Writer() { return m_session.Writer(); }
    CCliFrontEnd& Front() { return *m_front; }

private:
    CCliContext& m_ctx;
    COperationOptions m_options;
    CWriterSession m_session;
    CHexFile m_file;
    std::unique_ptr<CCliFrontEnd> m_front;
    std::unique_ptr<CRunner> m_runner;
};

// Exit status after a flow: a device ID mismatch or a verify difference is 1.
int MismatchOrVerify(COperationRun& run);
