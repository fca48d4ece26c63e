// doctor: what stands between the user and the writer, one line a step.
#include "cli/Cli.h"
#include "cli/SafetyCommands.h"
#include "ops/ConnectionDoctor.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "writer/usb_link/UsbBus.h"

#include <ostream>

namespace {

const char* MarkText(EDoctorMark mark) {
    switch (mark) {
    case EDoctorMark::Ok:
        return "ok    ";
    case EDoctorMark::Note:
        return "note  ";
    case EDoctorMark::Problem:
        return "FAIL  ";
    }
    return "      ";
}

} // namespace

int CmdDoctor(CCliContext& ctx, const CWriterOptions& writer) {
    CDoctorReport report;
    if (writer.Simulated()) {
        // The simulated writer stands on a bus of its own: no udev there.
        CSimWriter sim(MakeSimChip(ctx.Options.Device, ESimTiming::Typical));
        const std::unique_ptr<IUsbProbe> probe = MakeSimulatedBusProbe();
        CDoctorSetup setup;
        setup.UdevFolders.clear();
        report = RunConnectionDoctor(*probe, sim, setup);
    } else {
        const std::unique_ptr<IUsbProbe> probe = MakeUsbBusProbe();
        const std::unique_ptr<IUsbLink> link = MakeUsbBusLink();
        if (!link) {
            ctx.out << MarkText(EDoctorMark::Problem)
                    << "this build has no USB backend: no writer can be reached\n";
            return kExitNoWriter;
        }
        CDoctorSetup setup;
#ifndef __linux__
        setup.UdevFolders.clear();
#endif
        report = RunConnectionDoctor(*probe, *link, setup);
    }
    for (const CDoctorLine& line : report.Lines) {
        ctx.out << MarkText(line.Mark) << line.Text << '\n';
    }
    return report.WriterAnswered ? kExitOk : kExitNoWriter;
}
