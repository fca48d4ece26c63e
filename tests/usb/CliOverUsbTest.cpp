// kvx3-cli as users run it, without --sim: libusb finds the emulated writer
// on the bus and the chip lives in the writer's socket. Each command must
// put on the wire exactly the packets that the same command puts on the
// simulated link, and leave the chip as the image says.
#include "tests/usb/UsbTestSupport.h"

#include "tests/usb/ChipCompare.h"

#include "cli/Cli.h"
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "tests/common/TempDir.h"

namespace {

using usbtest::CProgramRun;
using usbtest::CUsbTest;
using usbtest::RunProgram;
using usbtest::SourcePath;
using usbtest::TraceLines;

// A hang guard for one run of the tool; the longest (a PIC18F4550 Program)
// takes some 25 s on two busy cores.
constexpr auto kRunLimit = std::chrono::seconds(180);

struct CCliCase {
    const char* Device;
    const char* Fixture;
};

void PrintTo(const CCliCase& c, std::ostream* os) {
    *os << c.Device;
}

bool LoadImage(const std::string& device, const std::string& path, CHexFile& hex) {
    CDeviceList record;
    record.ListPath = SourcePath("data/PicDeviceList3.txt");
    if (!record.LoadDevice(device)) {
        return false;
    }
    hex.AssignFrom(record);
    return hex.LoadHex(path);
}

// The first place where two traces part, for the failure message.
std::string FirstDifference(const std::vector<std::string>& usb, const std::vector<std::string>& sim) {
    for (size_t i = 0; i < std::min(usb.size(), sim.size()); ++i) {
        if (usb[i] != sim[i]) {
            std::string context;
            for (size_t k = i >= 6 ? i - 6 : 0; k < std::min(i + 3, std::min(usb.size(), sim.size())); ++k) {
                context += "\n  " + usb[k] + "  |  " + sim[k];
            }
            return "line " + std::to_string(i + 1) + ": USB '" + usb[i] + "', simulated '" + sim[i] + "'" +
                   context;
        }
    }
    return usb.size() == sim.size()
               ? ""
               : "lengths " + std::to_string(usb.size()) + " and " + std::to_string(sim.size());
}

std::string Tail(const std::string& text) {
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

class CliOverUsb : public CUsbTest, public ::testing::WithParamInterface<CCliCase> {
protected:
    // Runs the command once against the writer on the bus and once against
    // the simulated link (the chip kept in a file), both with --trace, and
    // compares what went over the wire.
    CProgramRun Both(const std::vector<std::string>& command, const std::vector<std::string>& simCommand) {
        std::vector<std::string> usb = {"-d", GetParam().Device, "--trace"};
        usb.insert(usb.end(), command.begin(), command.end());
        std::vector<std::string> sim = {"-d", GetParam().Device, "--trace", "--sim-chip", m_simChip};
        sim.insert(sim.end(), simCommand.begin(), simCommand.end());
        const CProgramRun overUsb = RunProgram(usb, kRunLimit);
        const CProgramRun simulated = RunProgram(sim, kRunLimit);
        EXPECT_FALSE(overUsb.TimedOut) << command[0];
        EXPECT_EQ(overUsb.Status, kExitOk) << command[0] << ":\n" << Tail(overUsb.Err);
        EXPECT_EQ(simulated.Status, kExitOk) << command[0] << " (simulated):\n" << Tail(simulated.Err);
        const std::vector<std::string> onWire = TraceLines(overUsb.Err);
        const std::vector<std::string> expected = TraceLines(simulated.Err);
        EXPECT_GT(onWire.size(), 4U) << command[0];
        EXPECT_EQ(FirstDifference(onWire, expected), "") << command[0];
        return overUsb;
    }

    CTempDir m_dir;
    std::string m_simChip = m_dir.File("chip.sim");
};

TEST_P(CliOverUsb, ProgramVerifyReadAndEraseAsOnTheSimulatedLink) {
    const std::string fixture = SourcePath(GetParam().Fixture);
    CHexFile image;
    ASSERT_TRUE(LoadImage(GetParam().Device, fixture, image));
    CEmulatedWriter& device = MakeWriter(WriterLayout(), GetParam().Device);
    Bus().Plug(device);

    const CProgramRun program = Both({"program", fixture}, {"program", fixture});
    EXPECT_NE(program.Out.find("Programmed and verified"), std::string::npos) << program.Out;
    EXPECT_EQ(device.Inspect([&](CSimWriter& sim) { return ChipDifferences(*sim.Chip(), image); }), "");

    Both({"verify", fixture}, {"verify", fixture});

    const std::string back = m_dir.File("back.hex");
    Both({"read", back}, {"read", m_dir.File("simback.hex")});
    CHexFile readBack;
    ASSERT_TRUE(LoadImage(GetParam().Device, back, readBack));
    EXPECT_EQ(readBack.CompareImage(image), 0) << "flags " << readBack.VerifyFlags;

    Both({"erase"}, {"erase"});
    EXPECT_EQ(device.Inspect([&](CSimWriter& sim) { return NotBlank(*sim.Chip(), image); }), "");
    const CUsbdevfsCounters c = device.Counters();
    EXPECT_EQ(c.Opens, 4U) << "one open per run";
    EXPECT_EQ(c.RefusedSubmits + c.UnknownRequests + c.StaleRequests, 0U);
    const CSimWriterCounters sim = device.Inspect([](CSimWriter& s) { return s.Counters(); });
    EXPECT_EQ(sim.Obligations.Total(), 0U) << sim.LastError;
}

INSTANTIATE_TEST_SUITE_P(Chips, CliOverUsb,
                         ::testing::Values(CCliCase{"PIC16F877A", "tests/fixtures/blink16f877a.hex"},
                                           CCliCase{"PIC18F4550", "tests/fixtures/blink18f4550.hex"}),
                         [](const auto& chip) { return std::string(chip.param.Device); });

class CliOverUsbFaults : public CUsbTest {};

TEST_F(CliOverUsbFaults, AnUnplugDuringProgramIsAFailureAndTheNextRunProgramsTheChip) {
    const std::string fixture = SourcePath("tests/fixtures/blink16f877a.hex");
    CHexFile image;
    ASSERT_TRUE(LoadImage("PIC16F877A", fixture, image));
    CEmulatedWriter& device = MakeWriter(WriterLayout(), "PIC16F877A");
    Bus().Plug(device);
    device.UnplugAtPacket(300);

    const CProgramRun cut = RunProgram({"-d", "PIC16F877A", "program", fixture}, kRunLimit);
    EXPECT_FALSE(cut.TimedOut);
    EXPECT_EQ(cut.Status, kExitNoWriter) << cut.Out << cut.Err;
    EXPECT_NE(cut.Err.find("(the writer is gone)"), std::string::npos) << cut.Err;
    EXPECT_EQ(cut.Out.find("Programmed"), std::string::npos) << "no success printed: " << cut.Out;
    EXPECT_FALSE(device.Attached());
    EXPECT_EQ(device.Packets(), 300U) << "nothing after the packet the writer was working on";
    EXPECT_NE(device.Inspect([&](CSimWriter& sim) { return ChipDifferences(*sim.Chip(), image); }), "");

    Bus().Plug(device);
    const CProgramRun again = RunProgram({"-d", "PIC16F877A", "program", fixture}, kRunLimit);
    EXPECT_EQ(again.Status, kExitOk) << Tail(again.Err);
    EXPECT_EQ(device.Inspect([&](CSimWriter& sim) { return ChipDifferences(*sim.Chip(), image); }), "");
}

TEST_F(CliOverUsbFaults, ADeviceWithoutBulkPipesIsNoWriter) {
    CUsbDeviceLayout layout = WriterLayout();
    layout.Interfaces[0].Endpoints = {{0x81, kUsbInterrupt, 8}, {0x01, kUsbInterrupt, 8}};
    CEmulatedWriter& device = MakeWriter(layout);
    Bus().Plug(device);
    const CProgramRun run = RunProgram({"-d", "PIC16F877A", "erase"}, kRunLimit);
    EXPECT_EQ(run.Status, kExitNoWriter) << run.Err;
    EXPECT_NE(run.Err.find("no writer found"), std::string::npos) << run.Err;
    EXPECT_TRUE(device.Log().empty()) << "nothing was sent";
    EXPECT_EQ(device.Counters().Claims, 0U);
}

} // namespace
