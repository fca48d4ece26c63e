// The simulated writer with one chip per device type kept in a folder: the
// chip in the socket follows the device selection, and a chip written to is
// kept in its file across selections and stations.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "ops/Station.h"
#include "sim/MidRangeChip.h"
#include "sim/SimWriter.h"
#include "sim/pic18/Pic18Chip.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

struct CFolderStation {
    explicit CFolderStation(const std::string& folder) {
        Station.Device().ListPath = ShippedCatalogue();
        EXPECT_EQ(Station.UseSimulatorChipFolder(folder, false), EBackendResult::Ok);
    }
    CMidRangeChip* MidChip() { return Station.Simulator()->ChipAs<CMidRangeChip>(); }
    void RunToEnd() {
        for (int i = 0; i < 20000 && Station.Runner().IsRunning(); ++i) {
            Station.Runner().OnTimer();
            if (Station.Runner().IsBusy()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    CTestFrontEnd Front;
    CStation Station{Front};
};

} // namespace

TEST(StationChipFolder, FileNamesAreSafe) {
    EXPECT_EQ(SimChipFileName("PIC16F873A"), "PIC16F873A.chip");
    EXPECT_EQ(SimChipFileName("../a b"), "_.._a_b.chip");
    EXPECT_EQ(SimChipFileName(""), "_.chip");
    EXPECT_EQ(SimChipFileName("PIC\\18"), "PIC_18.chip");
}

TEST(StationChipFolder, TheChipFollowsTheSelectionAndKeepsWhatWasWritten) {
    CTempDir dir;
    const std::string folder = dir.File("chips");
    {
        CFolderStation s(folder);
        EXPECT_TRUE(IsFolder(folder)) << "the folder is made";
        ASSERT_NE(s.MidChip(), nullptr);
        EXPECT_EQ(s.MidChip()->Name(), "PIC16F873A") << "the built-in default device's chip";

        ASSERT_TRUE(s.Station.SelectDevice("PIC16F877A"));
        ASSERT_NE(s.MidChip(), nullptr);
        EXPECT_EQ(s.MidChip()->Name(), "PIC16F877A");
        EXPECT_FALSE(std::filesystem::exists(dir.File("chips/PIC16F873A.chip")))
            << "a chip nothing was written to leaves no file";

        // Program one word through the station.
        s.Station.Device().ProgramData[2 * 5] = 0x34;
        s.Station.Device().ProgramData[2 * 5 + 1] = 0x12;
        s.Station.Runner().OnTimer();
        ASSERT_TRUE(s.Station.Runner().Connected());
        s.Station.Runner().OnProgram();
        s.RunToEnd();
        ASSERT_EQ(s.MidChip()->Peek(EMidRegion::Program, 5), 0x1234);

        // Away and back: the chip comes back from its file.
        ASSERT_TRUE(s.Station.SelectDevice("PIC18F452"));
        EXPECT_TRUE(std::filesystem::exists(dir.File("chips/PIC16F877A.chip")));
        ASSERT_NE(s.Station.Simulator()->ChipAs<CPic18Chip>(), nullptr);
        ASSERT_TRUE(s.Station.SelectDevice("PIC16F877A"));
        ASSERT_NE(s.MidChip(), nullptr);
        EXPECT_EQ(s.MidChip()->Peek(EMidRegion::Program, 5), 0x1234);
        EXPECT_EQ(s.MidChip()->Peek(EMidRegion::Program, 6), 0x3FFF);
    }
    // Another station on the same folder finds the same chip.
    CFolderStation again(folder);
    ASSERT_TRUE(again.Station.SelectDevice("PIC16F877A"));
    ASSERT_NE(again.MidChip(), nullptr);
    EXPECT_EQ(again.MidChip()->Peek(EMidRegion::Program, 5), 0x1234);
}

TEST(StationChipFolder, ADamagedChipFileLeavesTheSocketEmptyAndTheFileAlone) {
    CTempDir dir;
    const std::string folder = dir.File("chips");
    ASSERT_TRUE(MakeFolders(folder));
    const std::string damaged = "not a chip\n";
    const std::string path = dir.Write("chips/PIC16F877A.chip", damaged);
    CFolderStation s(folder);
    ASSERT_TRUE(s.Station.SelectDevice("PIC16F877A"));
    EXPECT_EQ(s.Station.Simulator()->Chip(), nullptr);
    EXPECT_TRUE(s.Station.SaveSimulatedChip()) << "nothing to save";
    ASSERT_TRUE(s.Station.SelectDevice("PIC16F873A"));
    EXPECT_NE(s.MidChip(), nullptr);
    EXPECT_EQ(ReadWholeFile(path), damaged);
}

TEST(StationChipFolder, RefusedWhileTheWriterIsOpen) {
    CTempDir dir;
    CFolderStation s(dir.File("chips"));
    s.Station.Runner().OnTimer();
    ASSERT_TRUE(s.Station.Runner().Connected());
    EXPECT_EQ(s.Station.UseSimulatorChipFolder(dir.File("other"), false), EBackendResult::Busy);
    EXPECT_FALSE(IsFolder(dir.File("other")));
}
