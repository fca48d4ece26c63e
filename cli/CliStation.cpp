#include "cli/CliStation.h"

#include "cli/Cli.h"
#include "platform/Platform.h"
#include "sim/SimChipFile.h"
#include "sim/SimWriter.h"
#include "sim/SimWriterFaults.h"

#include <cstdio>

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

CCliStation::CCliStation(CCliContext& ctx) : m_ctx(ctx), m_front(ctx), m_safety(ctx), m_station(m_front) {
    m_front.Attach(m_station);
    // The catalogue's own messages are printed by the tool's checks.
    m_station.Device().SetMessageBox(nullptr);
}

bool CCliStation::SelectDevice() {
    CDeviceList& device = m_station.Device();
    device.ListPath = m_ctx.ListPath();
    std::string text;
    if (!device.OpenList(text)) {
        m_ctx.Error(std::string(kMsgDeviceListMissing) + " (" + device.ListPath +
                    FileProblem(device.ListPath, kMaxDeviceListBytes) + ")");
        return false;
    }
    const std::string& name = m_ctx.Options.Device;
    if (!name.empty() && name.front() == '-') {
        m_ctx.Error("'" + name + "' is a separator line of the device list, not a device");
        return false;
    }
    if (!m_station.SelectDevice(name)) {
        m_ctx.Error("unknown device '" + name + "' (see 'kvx3-cli devices')");
        return false;
    }
    return true;
}

bool CCliStation::LoadFile(const std::string& path) {
    if (!m_station.ApplyHexFile(path)) {
        m_ctx.Error("cannot read '" + path + "'" + FileProblem(path, kMaxHexFileBytes));
        return false;
    }
    const int bad = m_station.File().BadRecordCount;
    if (bad > 0 && !PreflightSaid) {
        m_ctx.err.Line(
            "kvx3-cli: warning: " + std::to_string(bad) + " line(s) of '" + path +
            "' are not sound Intel HEX records (wrong checksum or malformed); they were applied as "
            "far as they could be read");
    }
    return true;
}

namespace {

// Why a simulated chip's file could not be loaded.
std::string ChipFileProblem(const std::string& path) {
    const std::string problem = FileProblem(path, kMaxSimChipFileBytes);
    return !problem.empty() ? problem
                            : ": it is no simulated chip's file, or names a model the simulator lacks";
}

} // namespace

int CCliStation::OpenWriter(const CWriterOptions& options) {
    const bool sim = options.Simulated();
    m_simulated = sim;
    const EBackendResult chosen =
        sim ? m_station.UseSimulator(options.SimChipFile, options.StrictTiming) : m_station.UseLibUsb();
    switch (chosen) {
    case EBackendResult::Ok:
        break;
    case EBackendResult::BadChipFile:
        m_ctx.Error("cannot load the simulated chip from '" + options.SimChipFile + "'" +
                    ChipFileProblem(options.SimChipFile));
        return kExitBadInput;
    case EBackendResult::NoSimModel:
        m_ctx.Error("the simulated writer has no model of " + m_station.Device().DeviceName);
        return kExitBadInput;
    case EBackendResult::Busy:
        m_ctx.Error("the writer is in use");
        return kExitBadInput;
    }
    m_simChipFile = options.SimChipFile;
    if (CSimWriter* simWriter = m_station.Simulator()) {
        for (const std::string& spec : options.SimFaults) {
            std::string error;
            if (!ApplySimFault(*simWriter, spec, error)) {
                m_ctx.Error("--sim-fault " + spec + ": " + error);
                return kExitBadInput;
            }
        }
        // Found now, not after the chip has been erased or programmed.
        if (!m_station.SaveSimulatedChip()) {
            m_saveFailureReported = true;
            m_ctx.Error("cannot write the simulated chip to '" + m_simChipFile + "'");
            return kExitBadInput;
        }
    }
    CWriter& writer = m_station.Writer();
    if (options.Trace) {
        CErrorLines& err = m_ctx.err;
        // Runs on whichever thread makes the exchange, the worker included.
        writer.SetTraceHook([&err](CWriter::ETraceDirection, std::span<const uint8_t> bytes) {
            err.Line(FormatTraceBytes(bytes.data(), bytes.size()));
        });
    }
    // A writer that is attached is found at the first poll; a few more give
    // a device that is just being enumerated a moment.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (writer.Poll()) {
            return kExitOk;
        }
        if (sim) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_ctx.Error("no writer found (USB 0ADE:0010 or 08DA:FF0B); is it plugged in, and may this user open it?");
    return kExitNoWriter;
}

int CCliStation::Prepare(const COperationOptions& options, const std::string& hexFile) {
    CRunnerOptions& runnerOptions = m_front.RunnerOptions;
    runnerOptions.m_bRewriteCalibration = options.RewriteCalibration;
    runnerOptions.m_bDisProtect = options.NoProtect;
    // The outcome call says when a flow completed; no message is wanted.
    runnerOptions.m_bComplate = false;
    runnerOptions.m_bSumId = options.SumId;
    // Program has just erased the chip: blank rows and bytes need no write.
    runnerOptions.m_bSkipBlank = !options.FullWrite;
    // The tool loads its file right before it programs: no change watch.
    runnerOptions.m_bHexCheck = false;

    if (!SelectDevice()) {
        return kExitBadInput;
    }
    if (!hexFile.empty() && !LoadFile(hexFile)) {
        return kExitBadInput;
    }
    const int status = OpenWriter(options.Writer);
    if (status != kExitOk) {
        return status;
    }
    m_station.Writer().DeviceIdCheck = !options.NoDeviceIdCheck;
    CRunner& runner = m_station.Runner();
    runner.OnTimer(); // the first tick sees the writer
    if (!runner.Connected()) {
        m_ctx.Error("the writer went away");
        return kExitNoWriter;
    }
    return kExitOk;
}

void CCliStation::ArmSafetyNet(bool snapshotBeforeWrite) {
    CSafetyNet& net = m_station.SafetyNet();
    net.SetFolder(DefaultSafetyFolder());
    net.SetListener(&m_safety);
    net.SetSnapshotBeforeWrite(snapshotBeforeWrite);
}

int CCliStation::TickUntilIdle() {
    CRunner& runner = m_station.Runner();
    CSafetyNet& net = m_station.SafetyNet();
    // A real writer may come back when its cable is plugged in again; nobody
    // plugs a simulated one in again in the middle of a run. Its worker runs
    // at the speed of the processor, so it is looked at more often too.
    using std::chrono::microseconds;
    const auto patience = m_simulated ? std::chrono::seconds(0) : std::chrono::seconds(5);
    const microseconds busyTick = m_simulated ? microseconds(100) : microseconds(10000);
    const microseconds idleTick = m_simulated ? microseconds(100) : microseconds(1000);
    auto lostSince = std::chrono::steady_clock::time_point{};
    while (net.IsRunning()) {
        const bool snapshot = net.SnapshotRunning();
        const bool busy = snapshot || runner.IsBusy();
        std::this_thread::sleep_for(busy ? busyTick : idleTick);
        if (!snapshot && !runner.IsBusy()) {
            // The worker has ended: show where its counter stopped before
            // the next step starts another operation.
            runner.SetProgress(static_cast<uint32_t>(m_station.Writer().GetProgress()));
        }
        net.OnTimer();
        if (!runner.Connected()) {
            const auto now = std::chrono::steady_clock::now();
            if (lostSince == std::chrono::steady_clock::time_point{}) {
                lostSince = now;
            }
            if (now - lostSince >= patience && !runner.IsBusy()) {
                m_front.FinishProgressLine();
                m_ctx.Error("the writer went away and did not come back");
                return kExitNoWriter;
            }
        } else {
            lostSince = {};
        }
    }
    m_front.FinishProgressLine();
    return kExitOk;
}

int CCliStation::OutcomeStatus() const {
    if (m_safety.LastSnapshot && m_safety.LastSnapshot->Outcome == ESnapshotOutcome::NotKept) {
        return kExitBadInput;
    }
    if (m_front.ProtectFailed) {
        return kExitUnprotected;
    }
    if (m_front.WriterFailed) {
        return kExitNoWriter;
    }
    return m_front.DeviceIdMismatch || m_front.VerifyFailed ? kExitMismatch : kExitOk;
}

int CCliStation::SaveChip(int status) {
    if (m_station.SaveSimulatedChip()) {
        m_chipSaved = true;
        return status;
    }
    m_chipSaved = false;
    if (!m_saveFailureReported) {
        m_saveFailureReported = true;
        m_ctx.Error("cannot save the simulated chip to '" + m_simChipFile + "'");
    }
    return status != kExitOk ? status : kExitBadInput;
}

int CCliStation::Finish(int status) {
    if (CSimWriter* sim = m_station.Simulator()) {
        const CSimWriterCounters c = sim->Counters();
        char line[160];
        std::snprintf(line, sizeof line,
                      "simulated writer: %llu packets, %llu bytes out, %llu bytes in, %.3f s of writer time",
                      static_cast<unsigned long long>(c.Packets), static_cast<unsigned long long>(c.BytesOut),
                      static_cast<unsigned long long>(c.BytesIn), static_cast<double>(c.ElapsedUs) / 1e6);
        m_ctx.err.Line(line);
        // A breach means the host broke a rule of the chip's programming
        // specification: a real chip could be left half-written even where the
        // simulated one read back right, so the run fails.
        const CSimBreaches breaches = sim->Breaches();
        if (breaches.HasBreaches()) {
            m_ctx.err.Line("simulated writer: breaches: " + breaches.Text());
            if (status == kExitOk) {
                status = kExitBreach;
            }
        }
    }
    return m_chipSaved ? status : SaveChip(status);
}
