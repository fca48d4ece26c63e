// The station's own steps: device selection, SUM_ID, the hex file commands,
// the recent-file list and the choice of the writer's backend.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "ops/Station.h"
#include "ops/Strings.h"
#include "settings/MemoryStore.h"
#include "settings/Profile.h"
#include "sim/SimWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

// A hex file of the device with some program words, EEPROM, user ID and
// configuration set.
std::string WriteImage(const CTempDir& dir, const std::string& device, const std::string& name) {
    CDeviceList d;
    d.ListPath = ShippedCatalogue();
    EXPECT_TRUE(d.LoadDevice(device));
    CHexFile hex;
    hex.AssignFrom(d);
    hex.ProgramData[20] = 0x34;
    hex.EepromData[3] = 0x77;
    hex.Config[0] = 0x3F72;
    hex.UserId[2] = 0x9;
    const std::string path = dir.File(name);
    EXPECT_TRUE(hex.SaveHex(path));
    return path;
}

// Ticks the station's runner until its flow has ended, pausing while a
// worker runs as the timer does.
void RunToEnd(CStation& station) {
    for (int i = 0; i < 20000 && station.Runner().IsRunning(); ++i) {
        station.Runner().OnTimer();
        if (station.Runner().IsBusy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

// A station over a recent-file list kept in memory.
struct CListStation {
    CListStation() { Station.Device().ListPath = ShippedCatalogue(); }
    CMemoryStore Store;
    CProfile Profile{Store, kCompanyKey, "KVX3"};
    CTestFrontEnd Front;
    CStation Station{Front, &Profile};
};

} // namespace

TEST(StationSelect, GivesAllThreeImagesTheDeviceAndShowsIt) {
    CRunnerBench b("PIC16F877A");
    b.Device.ProgramData[0] = 0;
    b.File.FilePath = "/kept/image.hex";
    b.Front.ClearRecords();
    ASSERT_TRUE(b.Station.SelectDevice("PIC18F452"));
    for (const CPicDevice* image : std::initializer_list<const CPicDevice*>{&b.Device, &b.File, &b.Writer}) {
        EXPECT_EQ(image->DeviceName, "PIC18F452");
        EXPECT_EQ(image->ProgramData.size(), 32768u);
        EXPECT_EQ(image->ProgramWord(0), 0xFFu);
    }
    EXPECT_EQ(b.File.FilePath, "/kept/image.hex") << "the file image keeps its path";
    EXPECT_EQ(b.Front.DeviceShows, 1);
    EXPECT_EQ(b.Front.UserIdRefreshes, 1) << "ApplySumId ends the selection";

    // A name the catalogue lacks changes nothing and shows nothing.
    b.Front.ClearRecords();
    EXPECT_FALSE(b.Station.SelectDevice("PIC99X1"));
    EXPECT_EQ(b.Device.DeviceName, "PIC18F452");
    EXPECT_EQ(b.Front.DeviceShows + b.Front.UserIdRefreshes, 0);
}

TEST(StationSelect, SumIdGoesIntoTheSelectedDeviceOnly) {
    CRunnerBench b("PIC16F877A");
    b.Front.SumId = true;
    ASSERT_TRUE(b.Station.SelectDevice("PIC16F873A"));
    // The blank default device's checksum 1FCF, ID 1 the most significant nibble.
    EXPECT_EQ(b.Device.UserId[0], 0x1u);
    EXPECT_EQ(b.Device.UserId[1], 0xFu);
    EXPECT_EQ(b.Device.UserId[2], 0xCu);
    EXPECT_EQ(b.Device.UserId[3], 0xFu);
    EXPECT_EQ(b.File.UserId[0], 0xFFu);
    EXPECT_EQ(b.Writer.UserId[0], 0xFFu);
}

TEST(StationSelect, RefusedWhileASequenceRuns) {
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    b.Link.PauseAtPacket(20);
    b.Runner.OnRead();
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    EXPECT_FALSE(b.Station.SelectDevice("PIC18F452"));
    CTempDir dir;
    EXPECT_FALSE(b.Station.ApplyHexFile(WriteImage(dir, "PIC16F877A", "a.hex")));
    EXPECT_EQ(b.Writer.DeviceName, "PIC16F877A");
    EXPECT_EQ(b.Writer.EepromData[3], 0xFF) << "the worker's image was not touched";
    b.Link.Resume();
    ASSERT_TRUE(b.RunUntilIdle());
}

TEST(StationFile, ApplyCarriesTheFileIntoDeviceAndWriterAndRefreshes) {
    CTempDir dir;
    CRunnerBench b("PIC16F877A");
    b.Front.Page = 0;
    b.Front.ClearRecords();
    ASSERT_TRUE(b.Station.ApplyHexFile(WriteImage(dir, "PIC16F877A", "a.hex")));
    for (const CPicDevice* image : std::initializer_list<const CPicDevice*>{&b.File, &b.Device, &b.Writer}) {
        EXPECT_EQ(image->ProgramData[20], 0x34);
        EXPECT_EQ(image->EepromData[3], 0x77);
        EXPECT_EQ(image->Config[0], 0x3F72u);
        EXPECT_EQ(image->UserId[2], 0x9u);
    }
    EXPECT_EQ(b.Front.ProgramDumps, 1);
    EXPECT_EQ(b.Front.EepromDumps, 1);
    EXPECT_EQ(b.Front.UserIdRefreshes, 1);
    EXPECT_EQ(b.Front.ConfigGridPages, (std::vector<int>{0}));

    // With SUM_ID the file image's own user ID is replaced first.
    b.Front.SumId = true;
    ASSERT_TRUE(b.Station.ApplyHexFile(dir.File("a.hex")));
    EXPECT_EQ(b.File.UserId[0], (b.File.Checksum >> 12) & 0xF);
    EXPECT_EQ(b.Writer.UserId[3], b.File.Checksum & 0xF);
    EXPECT_EQ(b.Device.UserId[3], b.File.Checksum & 0xF);
}

TEST(StationFile, AFileThatCannotBeReadLeavesAllThreeImages) {
    CTempDir dir;
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Station.ApplyHexFile(WriteImage(dir, "PIC16F877A", "a.hex")));
    const std::string folder = dir.File("folder.hex");
    std::filesystem::create_directory(folder);
    b.Front.ClearRecords();
    for (const std::string& path : {dir.File("absent.hex"), folder}) {
        EXPECT_FALSE(b.Station.ApplyHexFile(path));
        EXPECT_FALSE(b.Station.LoadHexFile(path));
        for (const CPicDevice* image :
             std::initializer_list<const CPicDevice*>{&b.File, &b.Device, &b.Writer}) {
            EXPECT_EQ(image->ProgramData[20], 0x34) << path;
            EXPECT_EQ(image->EepromData[3], 0x77) << path;
        }
        EXPECT_EQ(b.File.FilePath, dir.File("a.hex")) << "nothing new is watched";
    }
    // LoadHexFile says so; the status line and the displays stay as they were.
    ASSERT_EQ(b.Front.Messages.size(), 2u);
    EXPECT_EQ(b.Front.Messages[0].Text, kMsgFileNotFound);
    EXPECT_EQ(b.Front.Messages[0].Icon, EMsgIcon::Error);
    EXPECT_EQ(b.Front.Messages[0].Buttons, EMsgButtons::Ok);
    EXPECT_TRUE(b.Front.StatusIds.empty());
    EXPECT_EQ(b.Front.ProgramDumps, 0);
}

TEST(StationFile, LoadShowsItsStatusAndClearsTheBar) {
    CTempDir dir;
    CRunnerBench b("PIC16F877A");
    b.Front.ClearRecords();
    ASSERT_TRUE(b.Station.LoadHexFile(WriteImage(dir, "PIC16F877A", "a.hex")));
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsLoadHex}));
    EXPECT_EQ(b.Front.Positions, (std::vector<int>{0}));
    EXPECT_TRUE(b.Front.Messages.empty());
}

TEST(StationFile, SaveWritesTheDeviceWithTheFileImagesUserId) {
    CTempDir dir;
    CRunnerBench b("PIC16F877A");
    ASSERT_TRUE(b.Station.ApplyHexFile(WriteImage(dir, "PIC16F877A", "a.hex")));
    b.Device.ProgramData[40] = 0x12;
    b.Device.UserId[2] = 0x3; // edited after the load: not saved
    b.Front.ClearRecords();
    const std::string out = dir.File("out.hex");
    ASSERT_TRUE(b.Station.SaveHexFile(out));
    EXPECT_EQ(b.Front.StatusIds, (std::vector<int>{kIdsSaveHex}));
    EXPECT_EQ(b.File.FilePath, dir.File("a.hex")) << "saving does not change the watched file";
    CHexFile saved;
    saved.AssignFrom(b.Device);
    ASSERT_TRUE(saved.LoadHex(out));
    EXPECT_EQ(saved.ProgramData[40], 0x12);
    EXPECT_EQ(saved.UserId[2], 0x9u);

    // A save that fails says so to the caller and leaves the status line.
    b.Front.ClearRecords();
    EXPECT_FALSE(b.Station.SaveHexFile(dir.File("no/such/folder/out.hex")));
    EXPECT_TRUE(b.Front.StatusIds.empty());
}

TEST(StationRecentFiles, OpenMovesToTheTopAndAFailedOpenRemoves) {
    CTempDir dir;
    CListStation s;
    const std::string a = WriteImage(dir, "PIC16F873A", "a.hex");
    const std::string b = WriteImage(dir, "PIC16F873A", "b.hex");
    ASSERT_TRUE(s.Station.SelectDevice("PIC16F873A"));
    ASSERT_TRUE(s.Station.OpenHexFile(a));
    ASSERT_TRUE(s.Station.OpenHexFile(b));
    ASSERT_TRUE(s.Station.OpenHexFile(a));
    EXPECT_EQ(s.Station.RecentFiles()[0], a);
    EXPECT_EQ(s.Station.RecentFiles()[1], b);
    EXPECT_EQ(s.Station.RecentFiles()[2], "");
    EXPECT_EQ(s.Front.RecentMenuBuilds, 3);
    EXPECT_EQ(s.Front.StatusIds.back(), kIdsLoadHex);

    // b is deleted: choosing it says so, and it leaves the list and the menu.
    std::filesystem::remove(b);
    s.Front.ClearRecords();
    EXPECT_FALSE(s.Station.OpenRecentFile(2));
    ASSERT_EQ(s.Front.Messages.size(), 1u);
    EXPECT_EQ(s.Front.Messages[0].Text, kMsgFileNotFound);
    EXPECT_EQ(s.Front.RecentMenuBuilds, 1);
    EXPECT_EQ(s.Station.RecentFile(1), a);
    EXPECT_EQ(s.Station.RecentFile(2), "");
    EXPECT_TRUE(s.Front.StatusIds.empty()) << "the image was not touched";

    // A folder fails like a missing file.
    s.Front.ClearRecords();
    EXPECT_FALSE(s.Station.CheckHexFileOpen(dir.Path().string()));
    EXPECT_EQ(s.Front.Messages.size(), 1u);
}

TEST(StationRecentFiles, NoListWithoutAStore) {
    CTempDir dir;
    CTestFrontEnd front;
    CStation station(front);
    station.Device().ListPath = ShippedCatalogue();
    ASSERT_TRUE(station.SelectDevice("PIC16F873A"));
    EXPECT_TRUE(station.OpenHexFile(WriteImage(dir, "PIC16F873A", "a.hex")));
    EXPECT_EQ(station.RecentFile(1), "");
    EXPECT_EQ(front.RecentMenuBuilds, 1);
}

TEST(StationBackend, SimulatorWithAChipOfTheSelectedDeviceKeptInItsFile) {
    CTempDir dir;
    const std::string chipFile = dir.File("chip.sim");
    {
        CTestFrontEnd front;
        CStation station(front);
        station.Device().ListPath = ShippedCatalogue();
        EXPECT_EQ(station.Backend(), EWriterBackend::None);
        EXPECT_FALSE(station.Writer().Poll()) << "no backend, no writer";
        ASSERT_TRUE(station.SelectDevice("PIC16F877A"));
        ASSERT_EQ(station.UseSimulator(chipFile, false), EBackendResult::Ok);
        ASSERT_NE(station.Simulator(), nullptr);
        EXPECT_TRUE(station.Writer().Poll());
        // A writer is open through it: the backend stays.
        EXPECT_EQ(station.UseLibUsb(), EBackendResult::Busy);
        EXPECT_EQ(station.Backend(), EWriterBackend::Simulated);
        station.Writer().DeviceIdCheck = false;
        station.Runner().OnTimer();
        station.Device().EepromData[0] = 0x5A;
        station.Runner().OnProgram();
        RunToEnd(station);
        EXPECT_EQ(front.OutcomeKinds(), (std::vector<EOutcome>{EOutcome::Completed}));
        EXPECT_TRUE(station.SaveSimulatedChip());
    }
    ASSERT_TRUE(std::filesystem::exists(chipFile));

    // The next run finds the programmed chip in the file, whatever the
    // selected device; without a file the chip is a blank one of that device.
    CTestFrontEnd front;
    CStation station(front);
    station.Device().ListPath = ShippedCatalogue();
    ASSERT_TRUE(station.SelectDevice("PIC18F452"));
    EXPECT_EQ(station.UseSimulator("", false), EBackendResult::Ok);
    ASSERT_TRUE(station.SelectDevice("PIC16F877A"));
    ASSERT_EQ(station.UseSimulator(chipFile, false), EBackendResult::Ok);
    station.Writer().DeviceIdCheck = false;
    station.Runner().OnTimer();
    station.Runner().OnReadData();
    RunToEnd(station);
    EXPECT_EQ(station.Device().EepromData[0], 0x5A);
}

TEST(StationBackend, RefusesWhatItCannotSimulate) {
    CTempDir dir;
    CTestFrontEnd front;
    CStation station(front);
    const std::string list =
        dir.Write("list.txt", "NOMODEL\t16:14\t16\t[CP]\t18\t0\t0\t0\t0\t0\t1\t1\t:\t-\t\r\n");
    station.Device().ListPath = list;
    ASSERT_TRUE(station.SelectDevice("NOMODEL"));
    EXPECT_EQ(station.UseSimulator("", false), EBackendResult::NoSimModel);
    EXPECT_EQ(station.UseSimulator(dir.Write("bad.sim", "not a chip\n"), false), EBackendResult::BadChipFile);
    EXPECT_EQ(station.Backend(), EWriterBackend::None);
    EXPECT_EQ(station.Simulator(), nullptr);
    EXPECT_TRUE(station.SaveSimulatedChip()) << "nothing to save";
}
