// The connection doctor over a faked bus: no writer, no permission, a kernel
// driver attached, two writers; the writer's answer comes from the simulated
// writer.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "ops/ConnectionDoctor.h"
#include "sim/SimWriter.h"
#include "writer/Writer.h"

#include <gtest/gtest.h>

namespace {

class CFakeProbe : public IUsbProbe {
public:
    bool Starts = true;
    std::vector<CUsbDeviceInfo> Devices;
    EUsbOpen Open = EUsbOpen::Opened;
    EKernelDriver Driver = EKernelDriver::None;
    std::string DriverName;
    std::vector<IdPair> AskedFor;

    bool Initialise(std::string& detail) override {
        detail = Starts ? "fake 1.0" : "fake 1.0: LIBUSB_ERROR_OTHER";
        return Starts;
    }
    std::vector<CUsbDeviceInfo> FindDevices(const std::vector<IdPair>& ids) override {
        AskedFor = ids;
        return Devices;
    }
    EUsbOpen TryOpen(const CUsbDeviceInfo&, std::string& detail) override {
        detail = Open == EUsbOpen::Failed ? "LIBUSB_ERROR_BUSY" : "";
        return Open;
    }
    EKernelDriver KernelDriver(const CUsbDeviceInfo&, std::string& driver) override {
        driver = DriverName;
        return Driver;
    }
};

CUsbDeviceInfo Writer(int address, const std::string& port, uint16_t vendor = 0x0ADE,
                      uint16_t product = 0x0010) {
    CUsbDeviceInfo d;
    d.VendorId = vendor;
    d.ProductId = product;
    d.Bus = 1;
    d.Address = address;
    d.Port = port;
    d.Node = "/dev/bus/usb/001/00" + std::to_string(address);
    return d;
}

struct CDoctorRun {
    CDoctorReport Report;
    std::vector<EDoctorStep> Steps;
    std::vector<EDoctorMark> Marks;
    // The text of the first line of the step.
    std::string Line(EDoctorStep step) const {
        for (const CDoctorLine& l : Report.Lines) {
            if (l.Step == step) {
                return l.Text;
            }
        }
        return {};
    }
};

CDoctorRun Diagnose(CFakeProbe& probe, IUsbLink& link, const CDoctorSetup& setup) {
    CDoctorRun run;
    run.Report = RunConnectionDoctor(probe, link, setup);
    for (const CDoctorLine& l : run.Report.Lines) {
        run.Steps.push_back(l.Step);
        run.Marks.push_back(l.Mark);
    }
    return run;
}

// udev folders in a temporary place, the rule installed in the second or not.
CDoctorSetup Udev(const CTempDir& dir, bool installed) {
    CDoctorSetup setup;
    setup.UdevFolders = {dir.File("etc"), dir.File("lib")};
    if (installed) {
        std::filesystem::create_directories(dir.File("lib"));
        dir.Write("lib/" + setup.RuleName, "SUBSYSTEM==\"usb\"\n");
    }
    return setup;
}

} // namespace

TEST(ConnectionDoctor, AWriterThatAnswersPassesEveryStep) {
    CTempDir dir;
    CFakeProbe probe;
    probe.Devices = {Writer(5, "1-4.2")};
    CSimWriter sim;
    const CDoctorRun run = Diagnose(probe, sim, Udev(dir, true));
    EXPECT_TRUE(run.Report.WriterAnswered);
    EXPECT_EQ(run.Steps, (std::vector<EDoctorStep>{EDoctorStep::Library, EDoctorStep::Devices,
                                                   EDoctorStep::Access, EDoctorStep::UdevRule,
                                                   EDoctorStep::KernelDriver, EDoctorStep::Writer}));
    EXPECT_EQ(run.Marks, std::vector<EDoctorMark>(6, EDoctorMark::Ok));
    EXPECT_EQ(run.Line(EDoctorStep::Devices), "writer 0ADE:0010 on bus 1 port 1-4.2 (/dev/bus/usb/001/005)");
    EXPECT_NE(run.Line(EDoctorStep::UdevRule).find(dir.File("lib")), std::string::npos);
    EXPECT_NE(run.Line(EDoctorStep::Writer).find(run.Report.Banner), std::string::npos);
    EXPECT_FALSE(run.Report.Banner.empty());
    // Both identifier pairs are looked for.
    EXPECT_EQ(probe.AskedFor,
              (std::vector<IUsbProbe::IdPair>{{CWriter::kVendorId, CWriter::kProductId},
                                              {CWriter::kAltVendorId, CWriter::kAltProductId}}));
}

TEST(ConnectionDoctor, NoWriterOnTheBus) {
    CTempDir dir;
    CFakeProbe probe;
    CSimWriterConfig unplugged;
    unplugged.PluggedIn = false;
    CSimWriter sim(unplugged);
    const CDoctorRun run = Diagnose(probe, sim, Udev(dir, false));
    EXPECT_FALSE(run.Report.WriterAnswered);
    EXPECT_EQ(run.Steps, (std::vector<EDoctorStep>{EDoctorStep::Library, EDoctorStep::Devices,
                                                   EDoctorStep::UdevRule, EDoctorStep::Writer}));
    EXPECT_EQ(run.Marks, (std::vector<EDoctorMark>{EDoctorMark::Ok, EDoctorMark::Problem, EDoctorMark::Note,
                                                   EDoctorMark::Problem}));
    EXPECT_NE(run.Line(EDoctorStep::Devices).find("0ADE:0010 or 08DA:FF0B"), std::string::npos);
    EXPECT_NE(run.Line(EDoctorStep::Writer).find("plug it in"), std::string::npos);

    // Without a USB library at all.
    probe.Starts = false;
    const CDoctorRun none = Diagnose(probe, sim, Udev(dir, false));
    EXPECT_EQ(none.Marks.front(), EDoctorMark::Problem);
    EXPECT_NE(none.Line(EDoctorStep::Library).find("LIBUSB_ERROR_OTHER"), std::string::npos);
}

TEST(ConnectionDoctor, NoPermissionPointsAtTheUdevRule) {
    CTempDir dir;
    CFakeProbe probe;
    probe.Devices = {Writer(7, "3-1", 0x08DA, 0xFF0B)};
    probe.Open = EUsbOpen::NoPermission;
    probe.Driver = EKernelDriver::Unknown;
    CSimWriterConfig unplugged;
    unplugged.PluggedIn = false;
    CSimWriter sim(unplugged);
    const CDoctorRun missing = Diagnose(probe, sim, Udev(dir, false));
    EXPECT_EQ(missing.Marks,
              (std::vector<EDoctorMark>{EDoctorMark::Ok, EDoctorMark::Ok, EDoctorMark::Problem,
                                        EDoctorMark::Problem, EDoctorMark::Note, EDoctorMark::Problem}));
    EXPECT_NE(missing.Line(EDoctorStep::Access).find("may not open it"), std::string::npos);
    EXPECT_NE(
        missing.Line(EDoctorStep::UdevRule).find("sudo cp data/70-kvx3-writer.rules " + dir.File("etc")),
        std::string::npos);
    EXPECT_NE(missing.Line(EDoctorStep::Writer).find("udev rule"), std::string::npos);

    // Installed, yet not in force for this device.
    const CDoctorRun installed = Diagnose(probe, sim, Udev(dir, true));
    EXPECT_EQ(installed.Marks[3], EDoctorMark::Ok);
    EXPECT_NE(installed.Line(EDoctorStep::UdevRule).find("plug the writer in again"), std::string::npos);

    // A system without udev has no rule step.
    CDoctorSetup noUdev;
    noUdev.UdevFolders.clear();
    const CDoctorRun windows = Diagnose(probe, sim, noUdev);
    for (EDoctorStep step : windows.Steps) {
        EXPECT_NE(step, EDoctorStep::UdevRule);
    }
}

TEST(ConnectionDoctor, AKernelDriverAndTwoWritersAreNamed) {
    CTempDir dir;
    CFakeProbe probe;
    probe.Devices = {Writer(5, "1-4.2"), Writer(9, "1-5", 0x08DA, 0xFF0B)};
    probe.Driver = EKernelDriver::Attached;
    probe.DriverName = "usbhid";
    CSimWriter sim;
    const CDoctorRun run = Diagnose(probe, sim, Udev(dir, true));
    EXPECT_TRUE(run.Report.WriterAnswered);
    size_t devices = 0;
    size_t drivers = 0;
    for (const CDoctorLine& l : run.Report.Lines) {
        devices += l.Step == EDoctorStep::Devices ? 1 : 0;
        if (l.Step == EDoctorStep::KernelDriver) {
            ++drivers;
            EXPECT_EQ(l.Mark, EDoctorMark::Note);
            EXPECT_NE(l.Text.find("usbhid holds its interface"), std::string::npos) << l.Text;
        }
    }
    EXPECT_EQ(devices, 3u) << "one line a writer and one that says there are two";
    EXPECT_EQ(drivers, 2u);
    EXPECT_NE(run.Report.Lines[3].Text.find("2 writers are attached"), std::string::npos);

    // Attached but refusing to open: the writer step says to plug it in again.
    probe.Open = EUsbOpen::Failed;
    CSimWriterConfig unplugged;
    unplugged.PluggedIn = false;
    CSimWriter gone(unplugged);
    const CDoctorRun stuck = Diagnose(probe, gone, Udev(dir, true));
    EXPECT_NE(stuck.Line(EDoctorStep::Access).find("LIBUSB_ERROR_BUSY"), std::string::npos);
    EXPECT_NE(stuck.Line(EDoctorStep::Writer).find("unplug it"), std::string::npos);
}

TEST(ConnectionDoctor, TheSimulatedBusShowsTheSimulatedWriter) {
    const std::unique_ptr<IUsbProbe> probe = MakeSimulatedBusProbe();
    CSimWriter sim;
    CDoctorSetup setup;
    setup.UdevFolders.clear();
    const CDoctorReport report = RunConnectionDoctor(*probe, sim, setup);
    EXPECT_TRUE(report.WriterAnswered);
    for (const CDoctorLine& l : report.Lines) {
        EXPECT_EQ(l.Mark, EDoctorMark::Ok) << l.Text;
    }
}

TEST(ConnectionDoctor, TheStationAsksItsOwnBackend) {
    CTempDir dir;
    CFakeProbe probe;
    probe.Devices = {Writer(5, "1-4.2")};
    CRunnerBench bench("PIC16F877A");
    CDoctorReport report;

    // Not open yet: the doctor opens the writer through the station's link.
    ASSERT_TRUE(bench.Station.DiagnoseConnection(probe, Udev(dir, true), report));
    EXPECT_TRUE(report.WriterAnswered);
    EXPECT_FALSE(report.Banner.empty());
    const std::string banner = report.Banner;
    EXPECT_FALSE(bench.Station.Runner().Connected());

    // Open: a second open would be refused, so the station's reading stands.
    ASSERT_TRUE(bench.Connect());
    report = {};
    ASSERT_TRUE(bench.Station.DiagnoseConnection(probe, Udev(dir, true), report));
    EXPECT_TRUE(report.WriterAnswered);
    EXPECT_EQ(report.Banner, banner);
    EXPECT_EQ(bench.Writer.Banner, banner);
    ASSERT_FALSE(report.Lines.empty());
    EXPECT_EQ(report.Lines.back().Step, EDoctorStep::Writer);

    // Nothing while an operation runs.
    bench.Runner.OnRead();
    ASSERT_TRUE(bench.Runner.IsRunning());
    report = {};
    EXPECT_FALSE(bench.Station.DiagnoseConnection(probe, Udev(dir, true), report));
    EXPECT_TRUE(report.Lines.empty());
    EXPECT_TRUE(bench.RunUntilIdle());
}

TEST(ConnectionDoctor, TheSimulatorBackendIsDiagnosedOnItsOwnBus) {
    CTestFrontEnd front;
    CStation station{front};
    ASSERT_TRUE(station.SelectDevice("PIC16F877A"));
    ASSERT_EQ(station.UseSimulator("", false), EBackendResult::Ok);
    CDoctorReport report;
    ASSERT_TRUE(station.DiagnoseConnection(report));
    EXPECT_TRUE(report.WriterAnswered);
    for (const CDoctorLine& l : report.Lines) {
        EXPECT_EQ(l.Mark, EDoctorMark::Ok) << l.Text;
        EXPECT_EQ(l.Text.find("udev"), std::string::npos) << "no udev on the simulated bus";
    }
}
